#include "library/Asset.h"

#include "library/StoredValues.h"
#include "library/ThumbnailDecoder.h"

#include <mutex>

namespace
{
    // One generator for the whole process, made on first use and seeded with the
    // clock at that moment. No check against existing ids is made: the database
    // keeps the ids it stores, so collisions would only come from the generator.
    // The import thread may create assets while the message thread does too, hence
    // the lock.
    int drawAssetId()
    {
        static std::mutex generatorLock;
        static juce::Random generator (juce::Time::currentTimeMillis());

        const std::lock_guard<std::mutex> guard (generatorLock);
        return generator.nextInt();
    }
}

Asset::Asset (const juce::String& assetName)
    : id (drawAssetId()),
      name (assetName),
      importTime (juce::Time::currentTimeMillis())
{
}

Asset::~Asset() = default;

void Asset::writeTo (juce::ValueTree& node) const
{
    node.setProperty (AssetProperties::id, id, nullptr);
    node.setProperty (AssetProperties::name, name, nullptr);
    node.setProperty (AssetProperties::thumbUrl, thumbnailUrl, nullptr);
    node.setProperty (AssetProperties::importMs, importTime, nullptr);
}

void Asset::readFrom (const juce::ValueTree& node)
{
    id = StoredValues::toInt (node.getProperty (AssetProperties::id));
    name = StoredValues::toText (node.getProperty (AssetProperties::name));
    thumbnailUrl = StoredValues::toText (node.getProperty (AssetProperties::thumbUrl));
    importTime = StoredValues::toInt64 (node.getProperty (AssetProperties::importMs));

    if (hasThumbnailFile())
        thumbnail = ThumbnailDecoder::decode (juce::File (thumbnailUrl));
}

void Asset::setThumbnailFile (const juce::File& f)
{
    if (! f.exists())
        return;

    thumbnailUrl = f.getFullPathName();
    thumbnail = ThumbnailDecoder::decode (f);
}

bool Asset::hasThumbnailFile() const
{
    return fileFromStoredPath (thumbnailUrl).exists();
}

juce::File Asset::fileFromStoredPath (const juce::String& storedPath)
{
    if (! storedPath.startsWithChar ('/'))
        return {};

    return juce::File (storedPath);
}
