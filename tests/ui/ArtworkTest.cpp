// The program's compiled-in pictures: each one is there at its stored size, the four
// states of a button can be told apart, glyphs stand out from the bars at both pixel
// densities, the bar pieces tile without seams, and the slider pictures line up with
// the geometry the slider draws with.
#include "ui/Artwork.h"

#include "RenderedImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <cmath>

namespace
{
    struct Stored
    {
        juce::String name;
        int width, height;
    };

    const char* const states[] = { "Normal", "Over", "Down", "Disabled" };

    struct Family
    {
        const char* base;
        int width, height;      // stored, at double density
        juce::uint32 background; // what the button sits on
    };

    // The buttons, by where they sit: the toolbar (39 x 39, Play 49 x 39), the top bar
    // (41 x 41) and the editor panel (81 x 31 and 61 x 31).
    const Family families[] = {
        { "info", 78, 78, 0xff262626 }, { "previous", 78, 78, 0xff262626 }, { "rewind", 78, 78, 0xff262626 },
        { "play", 98, 78, 0xff262626 }, { "forward", 78, 78, 0xff262626 }, { "next", 78, 78, 0xff262626 },
        { "fullscreen", 78, 78, 0xff262626 },
        { "back", 82, 82, 0xff2c2c2c }, { "settings", 82, 82, 0xff2c2c2c }, { "add", 82, 82, 0xff2c2c2c },
        { "import", 82, 82, 0xff2c2c2c }, { "edit", 82, 82, 0xff2c2c2c },
        { "trim", 162, 62, 0xff1a1a1a }, { "mix", 162, 62, 0xff1a1a1a }, { "snapshot", 162, 62, 0xff1a1a1a },
        { "cancel", 122, 62, 0xff1a1a1a }, { "save", 122, 62, 0xff1a1a1a }, { "trimStart", 122, 62, 0xff1a1a1a },
        { "trimEnd", 122, 62, 0xff1a1a1a },
    };

    std::vector<Stored> everyPicture()
    {
        std::vector<Stored> pictures;

        for (auto& family : families)
            for (auto* state : states)
                pictures.push_back ({ juce::String (family.base) + state, family.width, family.height });

        const Stored others[] = {
            { "volumeQuiet", 42, 42 }, { "volumeLoud", 42, 42 },
            { "checkBoxUnchecked", 36, 36 }, { "checkBoxChecked", 36, 36 },
            { "positionSliderBackground", 742, 62 }, { "positionSliderThumb", 40, 62 },
            { "volumeSliderBackground", 342, 40 }, { "volumeSliderThumb", 40, 40 },
            { "toolbarFill", 40, 100 }, { "toolbarLeft", 20, 100 }, { "toolbarRight", 20, 100 },
            { "navBarFill", 40, 82 }, { "navBarLeft", 20, 82 }, { "navBarRight", 20, 82 },
            { "modeAllMedia", 62, 62 }, { "modeRecentlyAdded", 62, 62 }, { "modeAlbums", 62, 62 }, { "modeCamera", 62, 62 },
            { "audioPlayerPicture", 2048, 1148 }, { "aboutBackground", 800, 450 },
            { "videoPlaceholder", 1024, 574 }, { "audioPlaceholder", 1024, 574 }, { "albumPlaceholder", 1024, 574 },
        };

        pictures.insert (pictures.end(), std::begin (others), std::end (others));
        return pictures;
    }

    // The picture drawn on a plain background, as the widget shows it, optionally
    // halved the way the widgets draw double-density pictures.
    juce::Image onBackground (const juce::Image& picture, juce::Colour background, bool halved)
    {
        auto width = halved ? picture.getWidth() / 2 : picture.getWidth();
        auto height = halved ? picture.getHeight() / 2 : picture.getHeight();
        juce::Image out (juce::Image::RGB, width, height, false);
        juce::Graphics g (out);
        g.fillAll (background);
        g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
        g.drawImage (picture, 0, 0, width, height, 0, 0, picture.getWidth(), picture.getHeight());
        return out;
    }

    double luminance (juce::Colour c)
    {
        auto channel = [] (juce::uint8 v)
        {
            auto s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow ((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel (c.getRed()) + 0.7152 * channel (c.getGreen()) + 0.0722 * channel (c.getBlue());
    }

    double contrast (juce::Colour a, juce::Colour b)
    {
        auto la = luminance (a), lb = luminance (b);
        return (std::max (la, lb) + 0.05) / (std::min (la, lb) + 0.05);
    }

    // The colour most pixels of an image have: the plate or bar a glyph sits on.
    juce::Colour surroundOf (const juce::Image& image)
    {
        std::map<juce::uint32, int> counts;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                ++counts[image.getPixelAt (x, y).getARGB() & 0xfff0f0f0];

        auto most = std::max_element (counts.begin(), counts.end(),
                                      [] (auto& a, auto& b) { return a.second < b.second; });
        return juce::Colour (most->first | 0xff000000);
    }

    // How a glyph stands out from what it sits on: the share of pixels that differ
    // clearly from the surround ("ink"), and the contrast of the strongest tenth of
    // them (the glyph's body, not its anti-aliased rim).
    struct Ink
    {
        double coverage = 0.0, contrast = 1.0;
    };

    Ink measureInk (const juce::Image& image)
    {
        auto surround = surroundOf (image);
        std::vector<double> contrasts;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
            {
                auto c = contrast (image.getPixelAt (x, y), surround);
                if (c > 1.5)
                    contrasts.push_back (c);
            }

        Ink ink;
        ink.coverage = (double) contrasts.size() / (double) (image.getWidth() * image.getHeight());

        if (! contrasts.empty())
        {
            std::sort (contrasts.begin(), contrasts.end());
            ink.contrast = contrasts[contrasts.size() * 9 / 10];
        }

        return ink;
    }

    // How different two pictures of a button look: the mean difference over the
    // pixels where either of them shows something other than the bar.
    double visibleDifference (const juce::Image& a, const juce::Image& b, juce::Colour background)
    {
        double total = 0.0;
        int count = 0;

        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
            {
                auto p = a.getPixelAt (x, y), q = b.getPixelAt (x, y);

                if (sameColour (p, background, 3) && sameColour (q, background, 3))
                    continue;

                total += std::abs (p.getRed() - q.getRed()) + std::abs (p.getGreen() - q.getGreen())
                         + std::abs (p.getBlue() - q.getBlue());
                ++count;
            }

        return count > 0 ? total / (3.0 * count) : 0.0;
    }

    // Opaque for every purpose: JUCE fills the last column of a picture to 253 of 255.
    bool isOpaqueEverywhere (const juce::Image& image)
    {
        return countPixels (image, [] (juce::Colour c) { return c.getAlpha() < 250; }) == 0;
    }
}

TEST (Artwork, EveryPictureIsCompiledInAtItsStoredSize)
{
    for (auto& stored : everyPicture())
    {
        auto image = getArtwork (stored.name);
        ASSERT_TRUE (image.isValid()) << stored.name << " is missing";
        EXPECT_EQ (image.getWidth(), stored.width) << stored.name;
        EXPECT_EQ (image.getHeight(), stored.height) << stored.name;
        EXPECT_GT (countPixels (image, [] (juce::Colour c) { return c.getAlpha() > 128; }), image.getWidth() * image.getHeight() / 100)
            << stored.name << " is (nearly) empty";
    }

    // Fetched through the image cache: one decoded picture for everyone.
    EXPECT_EQ (getArtwork ("playNormal").getPixelData(), getArtwork ("playNormal").getPixelData());
    EXPECT_FALSE (getArtwork ("noSuchPicture").isValid());

    auto play = getButtonPictures ("play");
    EXPECT_TRUE (play.normal.isValid() && play.over.isValid() && play.down.isValid() && play.disabled.isValid());
}

TEST (Artwork, TheFourStatesOfEveryButtonCanBeToldApart)
{
    for (auto& family : families)
    {
        auto pictures = getButtonPictures (family.base);
        const juce::Image images[] = { pictures.normal, pictures.over, pictures.down, pictures.disabled };
        juce::Colour background (family.background);

        for (auto halved : { false, true })
        {
            auto where = juce::String (family.base) + (halved ? " at 1x: " : " at 2x: ");
            juce::Image shown[4];
            for (int i = 0; i < 4; ++i)
                shown[i] = onBackground (images[i], background, halved);

            for (int i = 0; i < 4; ++i)
                for (int j = i + 1; j < 4; ++j)
                    EXPECT_GT (visibleDifference (shown[i], shown[j], background), 15.0)
                        << where << states[i] << " and " << states[j] << " look alike";

            // Hover and pressed are the two a person must never confuse.
            EXPECT_GT (visibleDifference (shown[1], shown[2], background), 30.0) << where << "hover and pressed";
        }
    }
}

TEST (Artwork, GlyphsStandOutAtBothDensitiesAndDisabledOnesRecede)
{
    for (auto& family : families)
    {
        auto pictures = getButtonPictures (family.base);
        juce::Colour background (family.background);

        for (auto halved : { false, true })
        {
            auto where = juce::String (family.base) + (halved ? " at 1x" : " at 2x");
            auto normal = measureInk (onBackground (pictures.normal, background, halved));
            auto over = measureInk (onBackground (pictures.over, background, halved));
            auto down = measureInk (onBackground (pictures.down, background, halved));
            auto disabled = measureInk (onBackground (pictures.disabled, background, halved));

            EXPECT_GE (normal.contrast, 3.0) << where << ": normal";
            EXPECT_GE (over.contrast, 4.5) << where << ": mouse over";
            EXPECT_GE (down.contrast, 3.0) << where << ": pressed";
            EXPECT_GT (normal.coverage, 0.04) << where << ": the glyph is too slight to see";
            EXPECT_LT (disabled.contrast, normal.contrast) << where << ": disabled must look weaker";
            EXPECT_GT (over.contrast, normal.contrast) << where << ": hover must lift the glyph";
        }
    }

    for (auto* name : { "volumeQuiet", "volumeLoud", "modeAllMedia", "modeRecentlyAdded", "modeAlbums", "modeCamera" })
    {
        auto ink = measureInk (onBackground (getArtwork (name), juce::Colour (0xff262626), false));
        EXPECT_GE (ink.contrast, 3.0) << name;
    }

    // Checked and unchecked boxes differ plainly at 18 x 18.
    juce::Colour dialog (0xff1a1a1a);
    auto unchecked = onBackground (getArtwork ("checkBoxUnchecked"), dialog, true);
    auto checked = onBackground (getArtwork ("checkBoxChecked"), dialog, true);
    EXPECT_GT (visibleDifference (unchecked, checked, dialog), 30.0);
    EXPECT_GE (measureInk (unchecked).contrast, 2.0) << "an unchecked box is still visible";
}

TEST (Artwork, BarPiecesAreOpaqueAndTileWithoutSeams)
{
    for (auto* bar : { "toolbar", "navBar" })
    {
        auto fill = getArtwork (juce::String (bar) + "Fill");
        auto left = getArtwork (juce::String (bar) + "Left");
        auto right = getArtwork (juce::String (bar) + "Right");

        for (auto* piece : { &fill, &left, &right })
            EXPECT_TRUE (isOpaqueEverywhere (*piece)) << bar;

        // JUCE fills a path that ends on the picture's right edge to 253 of 255 in the
        // last column, so tiles may differ there by two levels, which no eye sees.
        for (int y = 0; y < fill.getHeight(); ++y)
        {
            auto fillColour = fill.getPixelAt (0, y);
            EXPECT_TRUE (sameColour (fill.getPixelAt (fill.getWidth() - 1, y), fillColour, 2)) << bar << ": tiles meet at row " << y;
            EXPECT_TRUE (sameColour (left.getPixelAt (left.getWidth() - 1, y), fillColour, 3)) << bar << ": left end meets the fill at row " << y;
            EXPECT_TRUE (sameColour (right.getPixelAt (0, y), fillColour, 3)) << bar << ": right end meets the fill at row " << y;
        }
    }

    for (auto* name : { "aboutBackground", "audioPlayerPicture" })
        EXPECT_TRUE (isOpaqueEverywhere (getArtwork (name))) << name;
}

TEST (Artwork, SliderPicturesLineUpWithTheTrackTheSliderFills)
{
    // The position slider fills (10, 13), 5 high, from its left end to the thumb's
    // centre; in the double-density background that band must lie in the groove.
    auto groove = getArtwork ("positionSliderBackground");
    for (int x = 20; x < 722; x += 7)
        for (int y = 26; y < 36; ++y)
            ASSERT_EQ (groove.getPixelAt (x, y).getAlpha(), 255) << "the groove is missing at " << x << ", " << y;
    EXPECT_EQ (groove.getPixelAt (300, 4).getAlpha(), 0) << "the groove leaves the toolbar visible around it";

    // The thumbs are centred on their picture, so the thumb's middle is where the fill ends.
    for (auto* name : { "positionSliderThumb", "volumeSliderThumb" })
    {
        auto thumb = getArtwork (name);
        auto body = boundsOfPixels (thumb, [] (juce::Colour c) { return c.getAlpha() > 128; });
        EXPECT_NEAR (body.getCentreX(), thumb.getWidth() / 2, 1) << name;
        EXPECT_NEAR (body.getCentreY(), thumb.getHeight() / 2, 2) << name;
    }

    // The volume groove widens from left to right.
    auto volume = getArtwork ("volumeSliderBackground");
    auto heightAt = [&volume] (int x)
    {
        return boundsOfPixels (volume.getClippedImage ({ x, 0, 1, volume.getHeight() }),
                               [] (juce::Colour c) { return c.getAlpha() > 128; }).getHeight();
    };
    EXPECT_LT (heightAt (40), heightAt (300));
}

TEST (Artwork, TheAboutBackgroundKeepsTheDarkTextsReadable)
{
    // The version line, the notice and the two links sit at h - 42 to h - 10 in
    // 0xff4d4c4c.
    auto about = getArtwork ("aboutBackground");
    const juce::Colour text (0xff4d4c4c);

    for (int y = 450 - 44; y < 450 - 8; y += 3)
        for (int x = 10; x < 790; x += 20)
            ASSERT_GE (contrast (about.getPixelAt (x, y), text), 4.5) << "at " << x << ", " << y;
}
