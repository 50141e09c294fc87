// Rendering components into images for the widget tests, reading their pixels, and
// writing the screenshots that let a person review the look.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <vector>

/** The component painted into an image at a scale (its children included). */
inline juce::Image renderComponent (juce::Component& component, float scale = 1.0f)
{
    return component.createComponentSnapshot (component.getLocalBounds(), true, scale);
}

/** A picture of one solid colour, for telling which picture a widget drew. */
inline juce::Image solidPicture (int width, int height, juce::Colour colour)
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    image.clear (image.getBounds(), colour);
    return image;
}

/** Whether two colours are the same within a tolerance on every channel. */
inline bool sameColour (juce::Colour a, juce::Colour b, int tolerance = 2)
{
    return std::abs ((int) a.getRed() - (int) b.getRed()) <= tolerance
        && std::abs ((int) a.getGreen() - (int) b.getGreen()) <= tolerance
        && std::abs ((int) a.getBlue() - (int) b.getBlue()) <= tolerance
        && std::abs ((int) a.getAlpha() - (int) b.getAlpha()) <= tolerance;
}

/** The bounding box of the pixels that satisfy a test; empty when none does. */
inline juce::Rectangle<int> boundsOfPixels (const juce::Image& image, const std::function<bool (juce::Colour)>& test)
{
    int left = image.getWidth(), top = image.getHeight(), right = -1, bottom = -1;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (test (image.getPixelAt (x, y)))
            {
                left = juce::jmin (left, x);
                top = juce::jmin (top, y);
                right = juce::jmax (right, x);
                bottom = juce::jmax (bottom, y);
            }

    if (right < 0)
        return {};

    return { left, top, right - left + 1, bottom - top + 1 };
}

/** The number of pixels that satisfy a test. */
inline int countPixels (const juce::Image& image, const std::function<bool (juce::Colour)>& test)
{
    int count = 0;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (test (image.getPixelAt (x, y)))
                ++count;

    return count;
}

/** Writes a PNG into the build tree's screenshot folder; returns its file. */
inline juce::File writeScreenshot (const juce::Image& image, const juce::String& name)
{
    auto file = juce::File (VORNIQ_SCREENSHOT_DIR).getChildFile (name + ".png");
    file.getParentDirectory().createDirectory();
    file.deleteFile();

    juce::FileOutputStream out (file);
    juce::PNGImageFormat png;

    if (out.failedToOpen() || ! png.writeImageToStream (image, out))
        return {};

    return file;
}

/**
    A contact sheet: rows of captioned tiles on the program's dark background, so that
    every state of a widget can be seen side by side.
*/
class ContactSheet
{
public:
    explicit ContactSheet (juce::Colour backgroundColour = juce::Colour (0xff1a1a1a))
        : background (backgroundColour)
    {
    }

    /** Starts a new row with a heading. */
    void startRow (const juce::String& heading)
    {
        rows.push_back ({ heading, {} });
    }

    /** Adds a captioned tile to the current row. */
    void add (const juce::String& caption, const juce::Image& tile)
    {
        if (rows.empty())
            startRow ({});

        rows.back().tiles.push_back ({ caption, tile });
    }

    /** The sheet as one image. */
    juce::Image render() const
    {
        constexpr int margin = 12, captionHeight = 16, headingHeight = 22;
        int width = 0, height = margin;

        for (auto& row : rows)
        {
            int rowWidth = margin, rowHeight = 0;

            for (auto& tile : row.tiles)
            {
                rowWidth += juce::jmax (tile.image.getWidth(), 60) + margin;
                rowHeight = juce::jmax (rowHeight, tile.image.getHeight());
            }

            width = juce::jmax (width, rowWidth);
            height += headingHeight + rowHeight + captionHeight + margin;
        }

        juce::Image sheet (juce::Image::ARGB, juce::jmax (width, 200), height, true);
        juce::Graphics g (sheet);
        g.fillAll (background);
        g.setFont (juce::Font (13.0f));
        int y = margin;

        for (auto& row : rows)
        {
            g.setColour (juce::Colour (0xffdedede));
            g.drawText (row.heading, margin, y, sheet.getWidth() - 2 * margin, headingHeight - 4,
                        juce::Justification::bottomLeft);
            y += headingHeight;

            int x = margin, rowHeight = 0;

            for (auto& tile : row.tiles)
            {
                g.drawImageAt (tile.image, x, y);
                g.setColour (juce::Colour (0xff8c8c8c));
                g.drawText (tile.caption, x, y + tile.image.getHeight() + 2, juce::jmax (tile.image.getWidth(), 60),
                            captionHeight - 2, juce::Justification::centredLeft);
                x += juce::jmax (tile.image.getWidth(), 60) + margin;
                rowHeight = juce::jmax (rowHeight, tile.image.getHeight());
            }

            y += rowHeight + captionHeight + margin;
        }

        return sheet;
    }

private:
    struct Tile
    {
        juce::String caption;
        juce::Image image;
    };

    struct Row
    {
        juce::String heading;
        std::vector<Tile> tiles;
    };

    juce::Colour background;
    std::vector<Row> rows;
};
