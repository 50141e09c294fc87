#include "library/AssetCollection.h"

#include "library/AlbumAsset.h"
#include "library/FileAsset.h"
#include "library/StoredValues.h"

#include <algorithm>

AssetCollection::AssetCollection() = default;

AssetCollection::~AssetCollection() = default;

void AssetCollection::add (Asset* newAsset)
{
    add (std::unique_ptr<Asset> (newAsset));
}

void AssetCollection::add (std::unique_ptr<Asset> newAsset)
{
    if (newAsset == nullptr)
        return;

    assets.push_back (std::move (newAsset));
    tellCollectionChanged (listeners);
}

void AssetCollection::remove (int id)
{
    auto found = std::find_if (assets.begin(), assets.end(),
                               [id] (const auto& asset) { return asset->getId() == id; });

    if (found == assets.end())
        return;

    // Out of the list before it is deleted, so a listener never meets it half gone.
    auto removed = std::move (*found);
    assets.erase (found);
    removed.reset();

    tellCollectionChanged (listeners);
}

void AssetCollection::clear()
{
    assets.clear();
}

Asset* AssetCollection::get (int index) const
{
    jassert (index >= 0 && index < size());
    return assets[static_cast<size_t> (index)].get();
}

Asset* AssetCollection::findById (int id) const
{
    for (const auto& asset : assets)
        if (asset->getId() == id)
            return asset.get();

    return nullptr;
}

void AssetCollection::notifyAssetChanged (int id)
{
    if (auto* asset = findById (id))
        tellAssetChanged (listeners, asset);
}

void AssetCollection::addListener (AssetCollectionListener* listener)
{
    if (listener != nullptr)
        listeners.add (listener);
}

void AssetCollection::removeListener (AssetCollectionListener* listener)
{
    if (listener != nullptr)
        listeners.remove (listener);
}

void AssetCollection::writeTo (juce::ValueTree& parent) const
{
    for (const auto& asset : assets)
    {
        juce::ValueTree node (assetNodeType);
        node.setProperty (AssetProperties::type, asset->getType(), nullptr);
        asset->writeTo (node);
        parent.appendChild (node, nullptr);
    }
}

void AssetCollection::readFrom (const juce::ValueTree& parent)
{
    assets.reserve (assets.size() + static_cast<size_t> (parent.getNumChildren()));

    for (const auto& child : parent)
    {
        auto code = StoredValues::toInt (child.getProperty (AssetProperties::type));
        std::unique_ptr<Asset> asset;

        if (code == assetTypeAlbum)
            asset = std::make_unique<AlbumAsset> (juce::String());
        else if (code == assetTypeFile)
            asset = std::make_unique<FileAsset>();

        if (asset == nullptr)
            continue;

        asset->readFrom (child);
        assets.push_back (std::move (asset));
    }

    tellCollectionChanged (listeners);
}
