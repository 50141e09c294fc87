// The three placeholder pictures: compiled in, 1024 x 574, drawn, distinct, and
// shared by every asset that shows them.
#include "library/AlbumAsset.h"
#include "library/AssetPlaceholders.h"
#include "library/FileAsset.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
    std::set<juce::uint32> coloursOf (const juce::Image& picture)
    {
        std::set<juce::uint32> colours;

        for (int y = 0; y < picture.getHeight(); y += 7)
            for (int x = 0; x < picture.getWidth(); x += 7)
                colours.insert (picture.getPixelAt (x, y).getARGB());

        return colours;
    }
}

TEST (PlaceholderArtwork, EachIsADrawnPictureOfItsStoredSize)
{
    struct Case { const char* name; juce::Image picture; };
    const Case cases[] = {
        { "video", AssetPlaceholders::getVideo() },
        { "audio", AssetPlaceholders::getAudio() },
        { "album", AssetPlaceholders::getAlbum() },
    };

    for (const auto& c : cases)
    {
        ASSERT_TRUE (c.picture.isValid()) << c.name;
        EXPECT_EQ (c.picture.getWidth(), 1024) << c.name;
        EXPECT_EQ (c.picture.getHeight(), 574) << c.name;

        auto colours = coloursOf (c.picture);
        EXPECT_GT (colours.size(), 20u) << c.name << " is not blank";

        // The program's dark look: the corners are dark grey, and the picture has
        // the accent blue somewhere.
        auto corner = c.picture.getPixelAt (2, 2);
        EXPECT_LT (corner.getBrightness(), 0.25f) << c.name;
        EXPECT_TRUE (std::any_of (colours.begin(), colours.end(), [] (juce::uint32 argb)
        {
            auto colour = juce::Colour (argb);
            return colour.getBlue() > 150 && colour.getBlue() > colour.getRed() + 60;
        })) << c.name;
    }

    EXPECT_NE (coloursOf (cases[0].picture), coloursOf (cases[1].picture));
    EXPECT_NE (coloursOf (cases[1].picture), coloursOf (cases[2].picture));
    EXPECT_NE (coloursOf (cases[0].picture), coloursOf (cases[2].picture));
}

TEST (PlaceholderArtwork, AssetsShareOneDecodedImage)
{
    FileAsset first (juce::File ("/media/a.MOV")), second (juce::File ("/media/b.mov"));
    AlbumAsset one ("one"), two ("two");

    EXPECT_TRUE (first.getThumbnail() == second.getThumbnail()) << "the same pixel data, not a copy";
    EXPECT_TRUE (one.getThumbnail() == two.getThumbnail());
    EXPECT_GE (first.getThumbnail().getReferenceCount(), 3);
}
