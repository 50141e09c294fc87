// The owning, ordered list of assets: the library's files, its albums, or the
// files found on a connected camera.
#pragma once

#include "library/Asset.h"
#include "library/AssetCollectionListener.h"

#include <memory>
#include <vector>

/**
    Owns its assets and keeps them in insertion order, which is the order of the
    database and of the tiles. Listeners are called last registered first; one may
    remove itself (or another) from inside a callback.

    Threads: the message thread, and threads holding the MessageManagerLock (the
    import thread adds to the library; the thumbnail thread reports changed camera
    assets). Nothing here is locked: that lock is what keeps calls apart.
*/
class AssetCollection
{
public:
    AssetCollection();

    /** Deletes every asset. */
    virtual ~AssetCollection();

    /** Takes ownership of newAsset, appends it, then tells every listener
        collectionChanged. Null is ignored. */
    void add (Asset* newAsset);

    /** The same, for an asset already held by a unique_ptr. */
    void add (std::unique_ptr<Asset> newAsset);

    /** Deletes the first asset with that id and tells every listener once; an unknown
        id changes nothing and tells nobody. */
    void remove (int id);

    /** Deletes every asset without telling anybody. */
    void clear();

    /** How many assets the collection holds. */
    int size() const noexcept   { return static_cast<int> (assets.size()); }

    /** The asset at index; the caller keeps 0 <= index < size(). */
    Asset* get (int index) const;

    /** The first asset with that id (a linear search in list order), or null. */
    Asset* findById (int id) const;

    /** Tells every listener assetChanged with the asset of that id; tells nobody
        when no asset has it. */
    void notifyAssetChanged (int id);

    /** Registers a listener; null or one already registered is ignored. */
    void addListener (AssetCollectionListener* listener);

    /** Unregisters a listener; safe from inside a callback. */
    void removeListener (AssetCollectionListener* listener);

    /** Appends to parent one "Asset" node per asset, in order: "type" first, then
        whatever the asset writes. */
    void writeTo (juce::ValueTree& parent) const;

    /** Appends one asset per child of parent whose "type" is a known kind (the type
        decides, not the parent), silently skipping the others, then tells every
        listener collectionChanged once, even when nothing was read. The collection
        is not cleared first. */
    void readFrom (const juce::ValueTree& parent);

    /** The node type of a stored asset. */
    static inline const juce::Identifier assetNodeType { "Asset" };

private:
    std::vector<std::unique_ptr<Asset>> assets;
    AssetListenerList listeners;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AssetCollection)
};
