// Collections: ownership, order, lookups, who is told of what, and reading nodes.
#include "library/AssetCollection.h"

#include "LibraryFixtures.h"

#include <gtest/gtest.h>

namespace
{
    using Log = std::vector<std::string>;

    // A real asset kind whose destruction the test can see.
    class CountedAsset : public Asset
    {
    public:
        CountedAsset (int& liveCount) : Asset ("counted"), live (liveCount) { ++live; }
        ~CountedAsset() override { --live; }
        int getType() const override { return 0x74657374; }

    private:
        int& live;
    };

    juce::ValueTree assetNode (juce::var type, int id)
    {
        juce::ValueTree node ("Asset");

        if (! type.isVoid())
            node.setProperty ("type", type, nullptr);

        node.setProperty ("id", id, nullptr);
        node.setProperty ("name", "asset " + juce::String (id), nullptr);
        return node;
    }

    std::vector<int> idsOf (const AssetCollection& collection)
    {
        std::vector<int> ids;

        for (int i = 0; i < collection.size(); ++i)
            ids.push_back (collection.get (i)->getId());

        return ids;
    }
}

TEST (AssetCollection, OwnsItsAssetsAndDeletesThemOnClearRemoveAndDestruction)
{
    int live = 0;

    {
        AssetCollection collection;

        for (int i = 0; i < 3; ++i)
            collection.add (new CountedAsset (live));

        EXPECT_EQ (live, 3);
        collection.remove (collection.get (1)->getId());
        EXPECT_EQ (live, 2);
        collection.clear();
        EXPECT_EQ (live, 0);
        EXPECT_EQ (collection.size(), 0);

        collection.add (std::make_unique<CountedAsset> (live));
        collection.add (nullptr);
        EXPECT_EQ (collection.size(), 1);
    }

    EXPECT_EQ (live, 0);
}

TEST (AssetCollection, KeepsInsertionOrderAndFindsTheFirstWithAnId)
{
    AssetCollection collection;
    collection.add (makeStoredFileAsset (5, "first five", "/m/a.wav", "", 1));
    collection.add (makeStoredFileAsset (-2, "minus two", "/m/b.wav", "", 2));
    collection.add (makeStoredFileAsset (5, "second five", "/m/c.wav", "", 3));

    EXPECT_EQ (idsOf (collection), (std::vector<int> { 5, -2, 5 }));
    ASSERT_NE (collection.findById (5), nullptr);
    EXPECT_EQ (collection.findById (5)->getName(), "first five");
    EXPECT_EQ (collection.findById (-2), collection.get (1));
    EXPECT_EQ (collection.findById (77), nullptr);

    collection.remove (5);
    EXPECT_EQ (idsOf (collection), (std::vector<int> { -2, 5 }));
    EXPECT_EQ (collection.get (1)->getName(), "second five") << "only the first with the id goes";
}

TEST (AssetCollection, AddAndRemoveTellListenersOnceUnknownIdsTellNobody)
{
    AssetCollection collection;
    Log log;
    RecordingListener first (log, "first"), second (log, "second");
    collection.addListener (&first);
    collection.addListener (&second);
    collection.addListener (&second);
    collection.addListener (nullptr);

    collection.add (makeStoredFileAsset (1, "a", "/m/a.wav", "", 1));
    EXPECT_EQ (log, (Log { "second", "first" }));

    log.clear();
    collection.remove (999);
    EXPECT_TRUE (log.empty());
    EXPECT_EQ (collection.size(), 1);

    collection.remove (1);
    EXPECT_EQ (log, (Log { "second", "first" }));
    EXPECT_EQ (collection.size(), 0);

    collection.removeListener (&first);
    collection.removeListener (&second);
}

TEST (AssetCollection, NotifyAssetChangedTellsOnlyAboutAssetsItHolds)
{
    AssetCollection collection;
    collection.add (makeStoredFileAsset (8, "a", "/m/a.wav", "", 1));
    Log log;
    RecordingListener first (log, "first"), second (log, "second");
    collection.addListener (&first);
    collection.addListener (&second);

    collection.notifyAssetChanged (8);
    EXPECT_EQ (log, (Log { "second:8", "first:8" }));

    log.clear();
    collection.notifyAssetChanged (9);
    EXPECT_TRUE (log.empty());

    collection.removeListener (&first);
    collection.removeListener (&second);
}

TEST (AssetCollection, AListenerMayRemoveItselfFromInsideACallback)
{
    AssetCollection collection;
    Log log;
    RecordingListener first (log, "first"), second (log, "second");
    collection.addListener (&first);
    collection.addListener (&second);
    second.onCall = [&] { collection.removeListener (&second); };

    collection.add (makeStoredFileAsset (1, "a", "/m/a.wav", "", 1));
    collection.add (makeStoredFileAsset (2, "b", "/m/b.wav", "", 1));
    EXPECT_EQ (log, (Log { "second", "first", "first" }));

    collection.removeListener (&first);
}

TEST (AssetCollection, ClearTellsNobodyAndReadFromTellsOnceEvenWhenItReadsNothing)
{
    AssetCollection collection;
    collection.add (makeStoredFileAsset (1, "a", "/m/a.wav", "", 1));
    Log log;
    RecordingListener listener (log, "grid");
    collection.addListener (&listener);

    collection.clear();
    EXPECT_TRUE (log.empty());

    collection.readFrom (juce::ValueTree ("Assets"));
    EXPECT_EQ (log, (Log { "grid" }));

    log.clear();
    collection.readFrom (juce::ValueTree());
    EXPECT_EQ (log, (Log { "grid" })) << "an invalid parent reads as empty";

    collection.removeListener (&listener);
}

TEST (AssetCollection, WriteToPutsTheTypeFirstAndOneNodePerAssetInOrder)
{
    AssetCollection collection;
    collection.add (makeStoredFileAsset (1, "a.MOV", "/m/a.MOV", "", 1));
    collection.add (makeStoredAlbum (2, "album", "", 2, { 1 }));

    juce::ValueTree parent ("Assets");
    collection.writeTo (parent);

    ASSERT_EQ (parent.getNumChildren(), 2);

    for (int i = 0; i < 2; ++i)
    {
        auto node = parent.getChild (i);
        EXPECT_EQ (node.getType().toString(), "Asset");
        EXPECT_EQ (node.getPropertyName (0).toString(), "type");
        EXPECT_TRUE (node["type"].isInt());
        EXPECT_EQ (static_cast<int> (node["id"]), i + 1);
    }

    EXPECT_EQ (static_cast<int> (parent.getChild (0)["type"]), assetTypeFile);
    EXPECT_EQ (static_cast<int> (parent.getChild (1)["type"]), assetTypeAlbum);
}

TEST (AssetCollection, ReadFromSkipsUnknownTypesAndLetsTheTypeDecide)
{
    juce::ValueTree parent ("Albums");
    parent.appendChild (assetNode (assetTypeFile, 1), nullptr);
    parent.appendChild (assetNode (1234, 2), nullptr);
    parent.appendChild (assetNode (assetTypeAlbum, 3), nullptr);
    parent.appendChild (assetNode (juce::var(), 4), nullptr);
    parent.appendChild (assetNode ("text", 5), nullptr);
    parent.appendChild (assetNode ((juce::int64) assetTypeAlbum, 6), nullptr);

    AssetCollection collection;
    collection.add (makeStoredFileAsset (100, "already there", "/m/x.wav", "", 1));
    collection.readFrom (parent);

    EXPECT_EQ (idsOf (collection), (std::vector<int> { 100, 1, 3, 6 })) << "not cleared first; unknown kinds skipped";
    EXPECT_NE (dynamic_cast<FileAsset*> (collection.get (1)), nullptr) << "a file stored among the albums stays a file";
    EXPECT_NE (dynamic_cast<AlbumAsset*> (collection.get (2)), nullptr);
    EXPECT_NE (dynamic_cast<AlbumAsset*> (collection.get (3)), nullptr);
}
