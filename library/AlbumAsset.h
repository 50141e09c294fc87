// An album: an asset holding an ordered list of the ids of library files.
#pragma once

#include "library/Asset.h"
#include "library/AssetCollectionListener.h"

#include <vector>

/**
    An album of the library. Its node gets one child of type "a" per member, in
    member order, each with the member's id as the int property "id". Members are
    ids, not pointers: a member whose file asset is gone is simply not shown.

    Listeners hear collectionChanged when a member is added or removed, so the grid
    can watch an open album as it watches a collection. They are called last
    registered first.

    Threads: message thread only.
*/
class AlbumAsset : public Asset
{
public:
    /** An album with no members, showing the album placeholder. */
    explicit AlbumAsset (const juce::String& name);

    ~AlbumAsset() override;

    /** assetTypeAlbum. */
    int getType() const override;

    /** The common properties, then one "a" child per member. */
    void writeTo (juce::ValueTree& node) const override;

    /** The common reading (the placeholder stays unless the stored thumbnail file
        exists), then appends the "id" of every child in order, whatever the child's
        type. Tells no listener. */
    void readFrom (const juce::ValueTree& node) override;

    /** Appends id (duplicates are allowed), then tells every listener. */
    void addMember (int memberId);

    /** Removes the first occurrence of id and tells every listener; when id is not a
        member nothing changes and nobody is told. */
    void removeMember (int memberId);

    /** Empties the member list without telling anybody. */
    void clearMembers();

    /** How many members the album has (a duplicated id counts each time). */
    int getNumMembers() const noexcept      { return static_cast<int> (members.size()); }

    /** The id at index; the caller keeps 0 <= index < getNumMembers(). */
    int getMember (int index) const;

    /** Registers a listener; null or one already registered is ignored. */
    void addListener (AssetCollectionListener* listener);

    /** Unregisters a listener; safe from inside one of its callbacks. */
    void removeListener (AssetCollectionListener* listener);

    /** The child node type and property of a member. */
    static inline const juce::Identifier memberNodeType { "a" };

private:
    std::vector<int> members;
    AssetListenerList listeners;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AlbumAsset)
};
