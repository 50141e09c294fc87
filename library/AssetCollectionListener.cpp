#include "library/AssetCollectionListener.h"

// g++ 12 reports JUCE 7.0.5's ListenerList iterator, which links itself into the list
// while it runs and unlinks itself in its destructor, as a dangling pointer. It is
// not one; the pragma keeps the false alarm out of the build.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"

void tellCollectionChanged (AssetListenerList& listeners)
{
    listeners.call ([] (AssetCollectionListener& l) { l.collectionChanged(); });
}

void tellAssetChanged (AssetListenerList& listeners, Asset* changedAsset)
{
    listeners.call ([changedAsset] (AssetCollectionListener& l) { l.assetChanged (changedAsset); });
}

#pragma GCC diagnostic pop
