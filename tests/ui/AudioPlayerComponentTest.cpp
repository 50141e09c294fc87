// The audio view: the program's audio picture in a black frame.
#include "ui/Artwork.h"
#include "ui/AudioPlayerComponent.h"

#include "RenderedImages.h"

#include <gtest/gtest.h>

TEST (AudioPlayerComponent, ShowsTheAudioPictureInsideAOnePixelBlackMargin)
{
    AudioPlayerComponent view;
    ASSERT_TRUE (view.getImage().isValid());
    EXPECT_EQ (view.getImage().getWidth(), 2048);
    EXPECT_EQ (view.getImage().getHeight(), 1148);
    EXPECT_EQ (view.getImage().getPixelData(), getArtwork ("audioPlayerPicture").getPixelData()) << "shared through the image cache";

    view.setSize (1040, 509);
    juce::ImageComponent* picture = nullptr;
    for (auto* child : view.getChildren())
        if (auto* image = dynamic_cast<juce::ImageComponent*> (child))
            picture = image;

    ASSERT_NE (picture, nullptr);
    EXPECT_TRUE (picture->isVisible());
    EXPECT_EQ (picture->getBounds(), juce::Rectangle<int> (1, 1, 1038, 507));

    auto image = renderComponent (view);
    for (auto corner : { juce::Point<int> (0, 0), juce::Point<int> (1039, 0), juce::Point<int> (0, 508), juce::Point<int> (1039, 508) })
        EXPECT_EQ (image.getPixelAt (corner.x, corner.y), juce::Colour (0xff000000)) << corner.x << ", " << corner.y;

    // The picture keeps its proportions, centred: its middle is in the middle.
    auto centre = image.getPixelAt (520, 254);
    EXPECT_GT (centre.getBrightness(), 0.05f) << "the picture is drawn";
    writeScreenshot (image, "ui/audio-player-component");
}
