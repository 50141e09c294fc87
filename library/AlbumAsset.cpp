#include "library/AlbumAsset.h"

#include "library/AssetPlaceholders.h"
#include "library/StoredValues.h"

#include <algorithm>

AlbumAsset::AlbumAsset (const juce::String& albumName)
    : Asset (albumName)
{
    setThumbnailImage (AssetPlaceholders::getAlbum());
}

AlbumAsset::~AlbumAsset() = default;

int AlbumAsset::getType() const
{
    return assetTypeAlbum;
}

void AlbumAsset::writeTo (juce::ValueTree& node) const
{
    Asset::writeTo (node);

    for (auto memberId : members)
    {
        juce::ValueTree member (memberNodeType);
        member.setProperty (AssetProperties::id, memberId, nullptr);
        node.appendChild (member, nullptr);
    }
}

void AlbumAsset::readFrom (const juce::ValueTree& node)
{
    Asset::readFrom (node);

    members.reserve (members.size() + static_cast<size_t> (node.getNumChildren()));

    for (const auto& child : node)
        members.push_back (StoredValues::toInt (child.getProperty (AssetProperties::id)));
}

void AlbumAsset::addMember (int memberId)
{
    members.push_back (memberId);
    tellCollectionChanged (listeners);
}

void AlbumAsset::removeMember (int memberId)
{
    auto found = std::find (members.begin(), members.end(), memberId);

    if (found == members.end())
        return;

    members.erase (found);
    tellCollectionChanged (listeners);
}

void AlbumAsset::clearMembers()
{
    members.clear();
}

int AlbumAsset::getMember (int index) const
{
    jassert (index >= 0 && index < getNumMembers());
    return members[static_cast<size_t> (index)];
}

void AlbumAsset::addListener (AssetCollectionListener* listener)
{
    if (listener != nullptr)
        listeners.add (listener);
}

void AlbumAsset::removeListener (AssetCollectionListener* listener)
{
    if (listener != nullptr)
        listeners.remove (listener);
}
