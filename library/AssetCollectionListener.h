// How the grid (and anybody else) hears about changes to a collection or an album.
#pragma once

#include <juce_core/juce_core.h>

class Asset;

/**
    Told when a collection's list of assets changes or one of its assets gets a new
    picture. Albums use the same interface for their member lists. Callbacks come on
    the message thread, or on a thread holding the MessageManagerLock.
*/
class AssetCollectionListener
{
public:
    virtual ~AssetCollectionListener() = default;

    /** The list of assets (or an album's members) changed or was reloaded: anything
        built from it must be rebuilt. */
    virtual void collectionChanged() {}

    /** The given asset's picture changed. The pointer is never null. */
    virtual void assetChanged (Asset* /*changedAsset*/) {}
};

/** The listeners of a collection or an album: called last registered first, no
    duplicates, and a listener may remove itself or another from inside a callback. */
using AssetListenerList = juce::ListenerList<AssetCollectionListener>;

/** Calls collectionChanged on every listener of listeners. */
void tellCollectionChanged (AssetListenerList& listeners);

/** Calls assetChanged with changedAsset on every listener of listeners. */
void tellAssetChanged (AssetListenerList& listeners, Asset* changedAsset);
