// What the grid reads to know which assets it shows.
#pragma once

class Asset;

/**
    The grid's view of what it shows: a count and an asset for each position. The
    browser implements it; the grid holds a non-owning pointer. Message thread.
*/
class AssetDataSource
{
public:
    virtual ~AssetDataSource() = default;

    /** How many positions the grid shows. */
    virtual int getNumAssets() = 0;

    /** The asset at index (0 <= index < getNumAssets()), or null when that position
        refers to an asset that no longer exists; the grid then leaves it out. */
    virtual Asset* getAsset (int index) = 0;
};
