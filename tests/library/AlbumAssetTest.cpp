// Albums: members in order with duplicates, the node layout, and who is told when.
#include "library/AlbumAsset.h"
#include "library/AssetPlaceholders.h"

#include "LibraryFixtures.h"

#include <gtest/gtest.h>

namespace
{
    std::vector<int> membersOf (const AlbumAsset& album)
    {
        std::vector<int> members;

        for (int i = 0; i < album.getNumMembers(); ++i)
            members.push_back (album.getMember (i));

        return members;
    }

    using Log = std::vector<std::string>;
}

TEST (AlbumAsset, ANewAlbumShowsTheAlbumPlaceholderAndHasNoMembers)
{
    AlbumAsset album ("Holiday");
    EXPECT_EQ (album.getName(), "Holiday");
    EXPECT_EQ (album.getNumMembers(), 0);
    EXPECT_TRUE (album.getThumbnail() == AssetPlaceholders::getAlbum());
}

TEST (AlbumAsset, MembersKeepTheirOrderAndDuplicates)
{
    AlbumAsset album ("a");

    for (int id : { 7, -3, 7, 0 })
        album.addMember (id);

    EXPECT_EQ (membersOf (album), (std::vector<int> { 7, -3, 7, 0 }));

    album.removeMember (7);
    EXPECT_EQ (membersOf (album), (std::vector<int> { -3, 7, 0 })) << "only the first occurrence goes";

    album.clearMembers();
    EXPECT_EQ (album.getNumMembers(), 0);
}

TEST (AlbumAsset, NodeHasOneMemberChildPerMemberAfterTheCommonProperties)
{
    auto album = makeStoredAlbum (-9, "Trip", "", 55, { 3, 1, 3 });
    juce::ValueTree node ("Asset");
    album->writeTo (node);

    EXPECT_FALSE (node.hasProperty ("url"));
    EXPECT_EQ (node.getNumProperties(), 4);
    ASSERT_EQ (node.getNumChildren(), 3);

    const int expected[] = { 3, 1, 3 };

    for (int i = 0; i < 3; ++i)
    {
        auto child = node.getChild (i);
        EXPECT_EQ (child.getType().toString(), "a");
        EXPECT_EQ (child.getNumProperties(), 1);
        EXPECT_TRUE (child["id"].isInt());
        EXPECT_EQ (static_cast<int> (child["id"]), expected[i]);
    }

    juce::ValueTree empty ("Asset");
    makeStoredAlbum (1, "Empty", "", 1, {})->writeTo (empty);
    EXPECT_EQ (empty.getNumChildren(), 0);
}

TEST (AlbumAsset, ReadingTakesEveryChildsIdWhateverItsTypeAndTellsNobody)
{
    juce::ValueTree node ("Asset");
    node.setProperty ("id", 12, nullptr);
    node.setProperty ("name", "Mixed", nullptr);
    node.setProperty ("importms", (juce::int64) 99, nullptr);

    for (auto [type, id] : { std::pair<const char*, int> { "a", 5 }, { "member", 6 }, { "a", 5 } })
        node.appendChild (juce::ValueTree (type, { { "id", id } }), nullptr);

    AlbumAsset album ({});
    Log log;
    RecordingListener listener (log, "grid");
    album.addListener (&listener);
    album.readFrom (node);

    EXPECT_EQ (album.getId(), 12);
    EXPECT_EQ (album.getName(), "Mixed");
    EXPECT_EQ (album.getImportTime(), 99);
    EXPECT_EQ (membersOf (album), (std::vector<int> { 5, 6, 5 }));
    EXPECT_TRUE (log.empty());
    EXPECT_TRUE (album.getThumbnail() == AssetPlaceholders::getAlbum());

    album.removeListener (&listener);
}

TEST (AlbumAsset, ListenersAreToldLastRegisteredFirstAndOnlyOfRealChanges)
{
    AlbumAsset album ("a");
    Log log;
    RecordingListener first (log, "first"), second (log, "second");

    album.addListener (&first);
    album.addListener (&second);
    album.addListener (&first);     // already there: ignored
    album.addListener (nullptr);    // ignored

    album.addMember (4);
    EXPECT_EQ (log, (Log { "second", "first" }));

    log.clear();
    album.removeMember (99);
    EXPECT_TRUE (log.empty()) << "removing an id that is not a member tells nobody";
    EXPECT_EQ (album.getNumMembers(), 1);

    album.clearMembers();
    EXPECT_TRUE (log.empty()) << "clearMembers tells nobody";

    album.addMember (4);
    log.clear();
    album.removeMember (4);
    EXPECT_EQ (log, (Log { "second", "first" }));

    album.removeListener (&second);
    album.removeListener (&first);
}

TEST (AlbumAsset, AListenerMayRemoveItselfOrAnotherFromInsideACallback)
{
    AlbumAsset album ("a");
    Log log;
    RecordingListener first (log, "first"), second (log, "second"), third (log, "third");

    album.addListener (&first);
    album.addListener (&second);
    album.addListener (&third);

    // third (called first) removes first, which then must not be called; second
    // removes itself and is still called exactly once.
    third.onCall = [&] { album.removeListener (&first); };
    second.onCall = [&] { album.removeListener (&second); };

    album.addMember (1);
    EXPECT_EQ (log, (Log { "third", "second" }));

    log.clear();
    album.addMember (2);
    EXPECT_EQ (log, (Log { "third" }));

    album.removeListener (&third);
}
