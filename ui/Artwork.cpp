#include "ui/Artwork.h"

#include <BinaryData.h>

juce::Image getArtwork (const juce::String& name)
{
    int size = 0;

    if (auto* data = BinaryData::getNamedResource ((name + "_png").toRawUTF8(), size))
        return juce::ImageCache::getFromMemory (data, size);

    return {};
}

ButtonPictures getButtonPictures (const juce::String& baseName)
{
    return { getArtwork (baseName + "Normal"), getArtwork (baseName + "Over"),
             getArtwork (baseName + "Down"), getArtwork (baseName + "Disabled") };
}
