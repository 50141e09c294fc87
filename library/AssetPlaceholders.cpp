#include "library/AssetPlaceholders.h"

#include <BinaryData.h>

juce::Image AssetPlaceholders::getVideo()
{
    return juce::ImageCache::getFromMemory (BinaryData::videoPlaceholder_png, BinaryData::videoPlaceholder_pngSize);
}

juce::Image AssetPlaceholders::getAudio()
{
    return juce::ImageCache::getFromMemory (BinaryData::audioPlaceholder_png, BinaryData::audioPlaceholder_pngSize);
}

juce::Image AssetPlaceholders::getAlbum()
{
    return juce::ImageCache::getFromMemory (BinaryData::albumPlaceholder_png, BinaryData::albumPlaceholder_pngSize);
}
