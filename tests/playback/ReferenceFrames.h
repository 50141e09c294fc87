// Pictures as FFmpeg's own tool decodes them, and how close a picture comes to one.
#pragma once

#include "ChildProgram.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

/** The picture FFmpeg's tool decodes at a frame index, converted to BGRA with
    nearest-neighbour sampling as the player converts: at the source size, or at
    another ("320:180"). */
inline std::string referenceFrame (const juce::File& file, int index, const std::string& size = "iw:ih")
{
    ScratchFolder folder;
    ChildProgram::Options options;
    options.arguments = { "-hide_banner", "-loglevel", "error", "-nostdin", "-i", file.getFullPathName().toStdString(),
                          "-vf", "select=eq(n\\," + std::to_string (index) + "),scale=" + size + ":flags=neighbor,format=bgra",
                          "-vsync", "0", "-frames:v", "1", "-f", "rawvideo", folder / "frame.raw" };
    ChildProgram ffmpeg ("/usr/bin/ffmpeg", options);
    auto status = ffmpeg.waitForExit (60000);
    EXPECT_TRUE (status.has_value() && *status == 0) << ffmpeg.standardError();
    return readTextFile (folder / "frame.raw");
}

inline std::string referenceFrame (const juce::File& file, int index, int width, int height)
{
    return referenceFrame (file, index, std::to_string (width) + ":" + std::to_string (height));
}

/** Peak signal-to-noise ratio of a picture against raw BGRA bytes of its size, colour
    channels only; 99 for identical pictures, 0 when the sizes differ. */
inline double psnr (const juce::Image& image, const std::string& reference)
{
    if (! image.isValid() || reference.size() != (size_t) image.getWidth() * (size_t) image.getHeight() * 4)
        return 0.0;

    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
    double squaredError = 0.0;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
        {
            auto pixel = pixels.getPixelColour (x, y);
            auto* expected = (const unsigned char*) reference.data() + ((size_t) y * (size_t) image.getWidth() + (size_t) x) * 4;
            const double differences[] = { (double) pixel.getBlue() - expected[0], (double) pixel.getGreen() - expected[1],
                                           (double) pixel.getRed() - expected[2] };
            for (auto d : differences)
                squaredError += d * d;
        }

    if (squaredError == 0.0)
        return 99.0;

    return 10.0 * std::log10 (255.0 * 255.0 / (squaredError / (3.0 * image.getWidth() * image.getHeight())));
}
