// The three pictures a tile shows while an asset has no thumbnail of its own.
#pragma once

#include <juce_graphics/juce_graphics.h>

/**
    The placeholders are PNG pictures (1024 x 574) compiled into the program. They
    come from JUCE's image cache, so every asset that shows one shares one decoded
    image. Any thread (the image cache has its own lock).
*/
namespace AssetPlaceholders
{
    /** For a FileAsset whose file has the extension ".mov" and no thumbnail file. */
    juce::Image getVideo();

    /** For any other FileAsset without a thumbnail file. */
    juce::Image getAudio();

    /** For every new AlbumAsset. */
    juce::Image getAlbum();
}
