// The look and feel: its palette, and the five things it draws, rendered into images
// and measured against their geometry and colours.
#include "ui/VQComboBox.h"
#include "ui/VQLookAndFeel.h"

#include "RenderedImages.h"

#include <gtest/gtest.h>

namespace
{
    const juce::Colour panelGrey (0xff262626);
    const juce::Colour textGrey (0xff8c8c8c);

    // What a colour looks like drawn over a transparent image: JUCE keeps premultiplied
    // pixels, so compare after the same round trip.
    juce::Colour overTransparent (juce::Colour colour)
    {
        juce::Image image (juce::Image::ARGB, 1, 1, true);
        image.setPixelAt (0, 0, colour);
        return image.getPixelAt (0, 0);
    }

    juce::Label* findLabel (juce::ComboBox& box)
    {
        for (auto* child : box.getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (child))
                return label;

        return nullptr;
    }

    juce::Image drawButtonBackground (juce::TextButton& button, bool over, bool down)
    {
        VQLookAndFeel lookAndFeel;
        juce::Image image (juce::Image::ARGB, button.getWidth(), button.getHeight(), true);
        juce::Graphics g (image);
        lookAndFeel.drawButtonBackground (g, button, button.findColour (juce::TextButton::buttonColourId), over, down);
        return image;
    }
}

TEST (VQLookAndFeel, SetsItsPaletteInOrder)
{
    struct Entry { int id; juce::uint32 argb; };
    const Entry expected[] = {
        { 0x1000700, 0xff262626 }, { 0x1000600, 0xff8c8c8c }, { 0x1000800, 0xffdedede }, { 0x1000900, 0xff5273b6 },
        { 0x1000200, 0xff262626 }, { 0x1000205, 0xff8c8c8c }, { 0x1000201, 0xff8c8c8c }, { 0x1000202, 0xff5273b6 },
        { 0x1000203, 0xffdedede }, { 0x1000206, 0xff8c8c8c }, { 0x1000204, 0xff8c8c8c }, { 0x1000100, 0xff262626 },
        { 0x1000102, 0xff8c8c8c }, { 0x1000d00, 0xff262626 }, { 0x1000a00, 0xff8c8c8c }, { 0x1000e00, 0xff8c8c8c },
        { 0x1000c00, 0xff5c5c5c }, { 0x1001800, 0xff1a1a1a }, { 0x1001810, 0xff8c8c8c }, { 0x1001820, 0xff000000 },
        { 0x1001900, 0xff262626 }, { 0x1001a00, 0xff8c8c8c }, { 0x1000af0, 0xff3d527d }, { 0x1001c00, 0xffe6faff },
    };

    auto& palette = VQLookAndFeel::getPalette();
    ASSERT_EQ (palette.size(), std::size (expected));

    VQLookAndFeel lookAndFeel;

    for (size_t i = 0; i < palette.size(); ++i)
    {
        EXPECT_EQ (palette[i].colourId, expected[i].id) << "entry " << i;
        EXPECT_EQ (palette[i].argb, expected[i].argb) << "entry " << i;
        EXPECT_EQ (lookAndFeel.findColour (expected[i].id).getARGB(), expected[i].argb)
            << "colour id 0x" << std::hex << expected[i].id;
    }

    // Colours the palette leaves alone are the base class's.
    juce::LookAndFeel_V3 base;
    EXPECT_EQ (lookAndFeel.findColour (juce::Slider::thumbColourId), base.findColour (juce::Slider::thumbColourId));
    EXPECT_EQ (lookAndFeel.findColour (juce::ScrollBar::thumbColourId), base.findColour (juce::ScrollBar::thumbColourId));
}

TEST (VQLookAndFeel, ButtonBackgroundIsFlatWithOutlineContrastedWhenOverOrDownAndFadedWhenDisabled)
{
    juce::TextButton button ("OK");
    button.setColour (juce::TextButton::buttonColourId, panelGrey);
    button.setColour (juce::TextButton::textColourOffId, textGrey);
    button.setSize (60, 24);

    auto base = panelGrey.withMultipliedSaturation (0.9f).withMultipliedAlpha (0.9f);

    struct Case { const char* name; bool enabled, over, down; juce::Colour fill; };
    const Case cases[] = {
        { "normal", true, false, false, base },
        { "mouse over", true, true, false, base.contrasting (0.1f) },
        { "down", true, false, true, base.contrasting (0.2f) },
        { "over and down", true, true, true, base.contrasting (0.2f) },
        { "disabled", false, false, false, panelGrey.withMultipliedSaturation (0.9f).withMultipliedAlpha (0.5f) },
    };

    for (auto& c : cases)
    {
        button.setEnabled (c.enabled);
        auto image = drawButtonBackground (button, c.over, c.down);

        EXPECT_TRUE (sameColour (image.getPixelAt (30, 12), overTransparent (c.fill)))
            << c.name << ": fill " << image.getPixelAt (30, 12).toDisplayString (true);
        // A one-pixel outline in the text colour round the (w - 1) x (h - 1) rectangle
        // at (0.5, 0.5), and no gradient inside.
        for (auto edge : { juce::Point<int> (30, 0), juce::Point<int> (30, 23), juce::Point<int> (0, 12), juce::Point<int> (59, 12) })
            EXPECT_TRUE (sameColour (image.getPixelAt (edge.x, edge.y), textGrey, 3))
                << c.name << ": outline at " << edge.x << ", " << edge.y << " is " << image.getPixelAt (edge.x, edge.y).toDisplayString (true);
        EXPECT_TRUE (sameColour (image.getPixelAt (30, 3), image.getPixelAt (30, 20), 1)) << c.name << ": no gradient";
    }

    button.setEnabled (true);
    auto normal = drawButtonBackground (button, false, false);
    auto down = drawButtonBackground (button, false, true);
    EXPECT_FALSE (sameColour (normal.getPixelAt (30, 12), down.getPixelAt (30, 12), 8)) << "down must look different";
}

TEST (VQLookAndFeel, ConnectedEdgesHaveSquareCorners)
{
    juce::TextButton button ("OK");
    button.setSize (60, 24);

    struct Case { const char* name; int flags; bool topLeft, topRight, bottomLeft, bottomRight; };
    const Case cases[] = {
        { "free", 0, false, false, false, false },
        { "connected on the left", juce::Button::ConnectedOnLeft, true, false, true, false },
        { "connected on the right", juce::Button::ConnectedOnRight, false, true, false, true },
        { "connected on the top", juce::Button::ConnectedOnTop, true, true, false, false },
        { "connected below", juce::Button::ConnectedOnBottom, false, false, true, true },
    };

    for (auto& c : cases)
    {
        button.setConnectedEdges (c.flags);
        auto image = drawButtonBackground (button, false, false);
        // A square corner covers the corner pixel; a rounded one (radius 4) leaves it clear.
        auto covered = [&image] (int x, int y) { return image.getPixelAt (x, y).getAlpha() > 100; };
        EXPECT_EQ (covered (0, 0), c.topLeft) << c.name << ": top left";
        EXPECT_EQ (covered (59, 0), c.topRight) << c.name << ": top right";
        EXPECT_EQ (covered (0, 23), c.bottomLeft) << c.name << ": bottom left";
        EXPECT_EQ (covered (59, 23), c.bottomRight) << c.name << ": bottom right";
    }

    // A button too small to have an inside draws nothing.
    button.setSize (1, 24);
    auto image = drawButtonBackground (button, false, false);
    EXPECT_EQ (countPixels (image, [] (juce::Colour c) { return c.getAlpha() > 0; }), 0);
}

TEST (VQLookAndFeel, ComboBoxHasOneArrowFadedToThirtyPercentWhenDisabled)
{
    VQLookAndFeel lookAndFeel;
    juce::ComboBox box;
    box.setLookAndFeel (&lookAndFeel);
    box.setSize (180, 21);

    // The arrow button area is what the text leaves at the right: from the label's
    // right edge to the box's.
    auto* label = findLabel (box);
    ASSERT_NE (label, nullptr);
    auto bx = label->getRight(), bw = 180 - bx, bh = 21;

    auto expectedEnabled = juce::Colour (0xff8c8c8c);
    auto expectedDisabled = juce::Colour (0xff262626).interpolatedWith (juce::Colour (0xff8c8c8c), 0.3f);

    for (auto enabled : { true, false })
    {
        box.setEnabled (enabled);
        auto image = renderComponent (box);
        auto expected = enabled ? expectedEnabled : expectedDisabled;
        auto isArrow = [&] (juce::Colour c) { return sameColour (c, expected, 5); };
        auto where = enabled ? "enabled" : "disabled";

        // One downward triangle with its corners at (bx + 0.5 bw, 0.7 bh),
        // (bx + 0.7 bw, 0.4 bh) and (bx + 0.3 bw, 0.4 bh); only its inside is tested,
        // since the anti-aliased rim may pass any grey.
        auto inside = image.getClippedImage ({ 4, 4, 172, 13 });
        auto arrow = boundsOfPixels (inside, isArrow).translated (4, 4);
        EXPECT_NEAR (arrow.getX(), bx + 0.3 * bw, 1.5) << where;
        EXPECT_NEAR (arrow.getRight(), bx + 0.7 * bw, 1.5) << where;
        EXPECT_NEAR (arrow.getY(), 0.4 * bh, 1.5) << where;
        EXPECT_NEAR (arrow.getBottom(), 0.7 * bh, 1.5) << where;
        auto tip = juce::Point<int> (juce::roundToInt (bx + 0.5 * bw), juce::roundToInt (0.45 * bh));
        EXPECT_TRUE (isArrow (image.getPixelAt (tip.x, tip.y))) << where << ": " << image.getPixelAt (tip.x, tip.y).toDisplayString (true);

        // It points down: each row is narrower than the one above.
        auto rowWidth = [&] (int y)
        {
            int n = 0;
            for (int x = bx; x < 180; ++x)
                n += isArrow (image.getPixelAt (x, y)) ? 1 : 0;
            return n;
        };
        EXPECT_GT (rowWidth (9), rowWidth (13)) << where;

        // Nothing else inside the box has the arrow's colour: a single arrow.
        EXPECT_EQ (countPixels (image.getClippedImage ({ 4, 4, bx - 4, 13 }), isArrow), 0) << where << ": a second arrow";
    }

    // The outline (line 2, corner 6) in the outline grey, over a fill in the button colour.
    box.setEnabled (true);
    auto image = renderComponent (box);
    EXPECT_TRUE (sameColour (image.getPixelAt (90, 0), juce::Colour (0xff5c5c5c), 30)) << image.getPixelAt (90, 0).toDisplayString (true);
    EXPECT_TRUE (sameColour (image.getPixelAt (90, 10), juce::Colour (0xff262626), 2));
    box.setLookAndFeel (nullptr);
}

TEST (VQLookAndFeel, ComboBoxTextLeavesRoomForTheIconOnlyInAVQComboBox)
{
    VQLookAndFeel lookAndFeel;
    VQComboBox iconBox;
    juce::ComboBox plainBox;

    for (juce::ComboBox* box : { (juce::ComboBox*) &iconBox, &plainBox })
    {
        box->setLookAndFeel (&lookAndFeel);
        box->setSize (180, 21);
    }

    auto* iconLabel = findLabel (iconBox);
    ASSERT_NE (iconLabel, nullptr);
    EXPECT_EQ (iconLabel->getBounds(), juce::Rectangle<int> (30, 1, 180 - 21 - 20, 19));
    EXPECT_FLOAT_EQ (iconLabel->getFont().getHeight(), lookAndFeel.getComboBoxFont (iconBox).getHeight());

    auto* plainLabel = findLabel (plainBox);
    ASSERT_NE (plainLabel, nullptr);
    EXPECT_EQ (plainLabel->getBounds(), juce::Rectangle<int> (1, 1, 180 + 3 - 21, 19));

    iconBox.setLookAndFeel (nullptr);
    plainBox.setLookAndFeel (nullptr);
}

TEST (VQLookAndFeel, TwentyPixelSliderHasDiscOfRadiusEightRingOfRadiusFiveAndTrackFiveThick)
{
    VQLookAndFeel lookAndFeel;
    const auto track = juce::Colour (0xffd02020);
    const auto thumb = juce::Colour (0xff20d040);
    const auto disc = juce::Colour (0xff212121);

    juce::Slider slider (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
    slider.setLookAndFeel (&lookAndFeel);
    slider.setColour (juce::Slider::trackColourId, track);
    slider.setColour (juce::Slider::thumbColourId, thumb);
    slider.setRange (0.0, 1.0);
    slider.setValue (0.5);
    slider.setSize (200, 20);
    EXPECT_EQ (lookAndFeel.getSliderThumbRadius (slider), 9);

    auto image = renderComponent (slider);
    auto cx = juce::roundToInt (slider.getPositionOfValue (0.5));
    const int cy = 10;

    auto colourAtDistance = [&] (int dx) { return image.getPixelAt (cx + dx, cy); };
    // The disc of radius r - 1 = 8 in dark grey, the ring of radius r - 4 = 5 with a
    // 4-pixel line (3 to 7) in the thumb colour.
    EXPECT_TRUE (sameColour (colourAtDistance (0), disc, 4)) << colourAtDistance (0).toDisplayString (true);
    EXPECT_TRUE (sameColour (colourAtDistance (1), disc, 4));
    EXPECT_TRUE (sameColour (colourAtDistance (5), thumb, 4)) << colourAtDistance (5).toDisplayString (true);
    EXPECT_TRUE (sameColour (colourAtDistance (-5), thumb, 4));
    EXPECT_TRUE (sameColour (image.getPixelAt (cx, cy - 5), thumb, 4));
    EXPECT_TRUE (sameColour (colourAtDistance (7) , disc, 30)) << colourAtDistance (7).toDisplayString (true);
    EXPECT_FALSE (sameColour (colourAtDistance (10), disc, 30)) << "the disc ends at radius 8";
    EXPECT_EQ (image.getPixelAt (cx, cy - 9).getAlpha(), 0) << "nothing above the disc";

    // The track, away from the thumb: t = r - 4 = 5 thick, centred on the track line.
    auto trackRows = boundsOfPixels (image.getClippedImage ({ 30, 0, 1, 20 }),
                                     [&] (juce::Colour c) { return sameColour (c, track, 4); });
    EXPECT_EQ (trackRows.getY(), 8);
    EXPECT_EQ (trackRows.getHeight(), 4) << "rows 8 to 11 full, 7.5 and 12.5 half covered";
    auto partial = image.getPixelAt (30, 7);
    EXPECT_GT (partial.getAlpha(), 60);
    EXPECT_LT (partial.getAlpha(), 200);

    // The track runs t / 2 beyond both ends of the slider's travel.
    auto start = slider.getPositionOfValue (0.0);
    EXPECT_GT (image.getPixelAt ((int) start - 2, cy).getAlpha(), 100);
    EXPECT_EQ (image.getPixelAt ((int) start - 4, cy).getAlpha(), 0);

    // A vertical slider: the same track, standing.
    juce::Slider vertical (juce::Slider::LinearVertical, juce::Slider::NoTextBox);
    vertical.setLookAndFeel (&lookAndFeel);
    vertical.setColour (juce::Slider::trackColourId, track);
    vertical.setColour (juce::Slider::thumbColourId, thumb);
    vertical.setRange (0.0, 1.0);
    vertical.setValue (0.5);
    vertical.setSize (20, 200);
    auto standing = renderComponent (vertical);
    auto columns = boundsOfPixels (standing.getClippedImage ({ 0, 30, 20, 1 }),
                                   [&] (juce::Colour c) { return sameColour (c, track, 4); });
    EXPECT_EQ (columns.getX(), 8);
    EXPECT_EQ (columns.getWidth(), 4);
    auto vcy = juce::roundToInt (vertical.getPositionOfValue (0.5));
    EXPECT_TRUE (sameColour (standing.getPixelAt (10, vcy), disc, 4));
    EXPECT_TRUE (sameColour (standing.getPixelAt (10, vcy + 5), thumb, 4));

    slider.setLookAndFeel (nullptr);
    vertical.setLookAndFeel (nullptr);
}

TEST (VQLookAndFeel, TwoValueSlidersKeepTheBaseClassThumbs)
{
    VQLookAndFeel lookAndFeel;
    juce::LookAndFeel_V3 base;
    const auto thumb = juce::Colour (0xffd95c36);

    auto render = [&] (juce::LookAndFeel& lf)
    {
        juce::Image image (juce::Image::ARGB, 200, 40, true);
        juce::Graphics g (image);
        juce::Slider slider (juce::Slider::TwoValueHorizontal, juce::Slider::NoTextBox);
        slider.setColour (juce::Slider::thumbColourId, thumb);
        slider.setSize (200, 40);
        lf.drawLinearSliderThumb (g, 10, 0, 180, 40, 100.0f, 50.0f, 150.0f, juce::Slider::TwoValueHorizontal, slider);
        return image;
    };

    auto ours = render (lookAndFeel);
    auto theirs = render (base);

    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ (ours.getPixelAt (x, y), theirs.getPixelAt (x, y)) << x << ", " << y;

    EXPECT_GT (countPixels (ours, [] (juce::Colour c) { return c.getAlpha() > 0; }), 0);
}
