// The library database: where it lives, what a load and a save do, the exact bytes
// of the file, and saves that cannot write.
#include "library/LibraryDatabase.h"
#include "library/AssetPlaceholders.h"

#include "ChildProgram.h"
#include "LibraryFixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
    using Log = std::vector<std::string>;

    class LibraryDatabaseTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            library.addListener (&libraryListener);
            albums.addListener (&albumsListener);
        }

        void TearDown() override
        {
            library.removeListener (&libraryListener);
            albums.removeListener (&albumsListener);
        }

        ScratchFolder scratch;
        juce::File root { juce::String (scratch.path()) };
        AssetCollection library, albums;
        Log log;
        RecordingListener libraryListener { log, "library" }, albumsListener { log, "albums" };
    };

    struct LibraryRecord
    {
        int type, id;
        juce::String name, thumbnailUrl, path;
        juce::int64 importTime;
        std::vector<int> members;

        bool operator== (const LibraryRecord& other) const
        {
            return std::tie (type, id, name, thumbnailUrl, path, importTime, members)
                == std::tie (other.type, other.id, other.name, other.thumbnailUrl, other.path, other.importTime, other.members);
        }
    };

    std::vector<LibraryRecord> recordsOf (const AssetCollection& collection)
    {
        std::vector<LibraryRecord> records;

        for (int i = 0; i < collection.size(); ++i)
        {
            auto* asset = collection.get (i);
            LibraryRecord record { asset->getType(), asset->getId(), asset->getName(), asset->getThumbnailUrl(), {}, asset->getImportTime(), {} };

            if (auto* file = dynamic_cast<FileAsset*> (asset))
                record.path = file->getFile().getFullPathName();

            if (auto* album = dynamic_cast<AlbumAsset*> (asset))
                for (int m = 0; m < album->getNumMembers(); ++m)
                    record.members.push_back (album->getMember (m));

            records.push_back (record);
        }

        return records;
    }

    mode_t currentUmask()
    {
        auto mask = ::umask (0);
        ::umask (mask);
        return mask;
    }

    mode_t permissionsOf (const juce::File& file)
    {
        struct stat info {};
        ::stat (file.getFullPathName().toRawUTF8(), &info);
        return info.st_mode & 07777;
    }
}

TEST_F (LibraryDatabaseTest, TheDatabaseIsTheLibraryFoldersChildAssetsDb)
{
    auto folder = root.getChildFile ("Media");
    EXPECT_EQ (LibraryDatabase::getDatabaseFile (folder), folder.getChildFile ("Assets.db"));
}

TEST_F (LibraryDatabaseTest, LoadingWithoutADatabaseCreatesTheFolderAndAnEmptyFile)
{
    auto folder = root.getChildFile ("QUOREL Vorniq/Media");
    auto result = LibraryDatabase::loadLibrary (folder, library, albums);

    EXPECT_TRUE (result.wasOk()) << result.getErrorMessage();
    EXPECT_TRUE (LibraryDatabase::getDatabaseFile (folder).existsAsFile());
    EXPECT_EQ (LibraryDatabase::getDatabaseFile (folder).getSize(), 0);
    EXPECT_EQ (library.size(), 0);
    EXPECT_EQ (albums.size(), 0);
    EXPECT_EQ (log, (Log { "library", "albums" })) << "each collection is told once";

    log.clear();
    EXPECT_TRUE (LibraryDatabase::loadLibrary (folder, library, albums).wasOk()) << "an empty file is the empty library";
    EXPECT_EQ (log, (Log { "library", "albums" }));
}

TEST_F (LibraryDatabaseTest, ASavedLibraryLoadsBackWithEveryFieldAndTheSameIds)
{
    auto folder = root.getChildFile ("lib");
    folder.createDirectory();
    auto thumbnail = folder.getChildFile ("Thumbnails/b.jpg");
    thumbnail.getParentDirectory().createDirectory();
    writeTestJpeg (thumbnail, 1280, 720);

    // Assets made the way the program makes them: ids drawn, import times now.
    AssetCollection savedLibrary, savedAlbums;
    auto* clip = new FileAsset (folder.getChildFile ("CLIP0001.MOV"));
    auto* memo = new FileAsset (folder.getChildFile ("memo.m4a"));
    memo->setThumbnailFile (thumbnail);
    memo->setName (juce::CharPointer_UTF8 ("R\xc3\xa9union"));
    savedLibrary.add (clip);
    savedLibrary.add (memo);
    auto* trip = new AlbumAsset ("Trip");
    trip->addMember (memo->getId());
    trip->addMember (clip->getId());
    trip->addMember (memo->getId());
    savedAlbums.add (trip);
    savedAlbums.add (new AlbumAsset ("Empty"));

    ASSERT_TRUE (LibraryDatabase::saveLibrary (folder, savedLibrary, savedAlbums).wasOk());

    // Something is there before; loading replaces it silently.
    library.add (makeStoredFileAsset (1, "stale", "/stale.wav", "", 1));
    log.clear();

    auto result = LibraryDatabase::loadLibrary (folder, library, albums);
    ASSERT_TRUE (result.wasOk()) << result.getErrorMessage();
    EXPECT_EQ (log, (Log { "library", "albums" }));
    EXPECT_TRUE (recordsOf (library) == recordsOf (savedLibrary));
    EXPECT_TRUE (recordsOf (albums) == recordsOf (savedAlbums));
    EXPECT_EQ (library.get (0)->getId(), clip->getId());
    EXPECT_TRUE (library.get (0)->getThumbnail() == AssetPlaceholders::getVideo());
    EXPECT_EQ (library.get (1)->getThumbnail().getWidth(), 480);
    EXPECT_TRUE (albums.get (0)->getThumbnail() == AssetPlaceholders::getAlbum());
}

TEST_F (LibraryDatabaseTest, TheFileIsTheDocumentedStreamByteForByte)
{
    const std::string longThumbnail = "/library/Thumbnails/" + std::string (280, 't') + ".jpg";   // 304 bytes
    const std::string cafe = "Caf\xc3\xa9.MOV";

    AssetCollection savedLibrary, savedAlbums;
    savedLibrary.add (makeStoredFileAsset (-123456789, juce::CharPointer_UTF8 (cafe.c_str()),
                                           juce::CharPointer_UTF8 (("/media/" + cafe).c_str()),
                                           longThumbnail, 1700000000123));
    savedLibrary.add (makeStoredFileAsset (7, "memo.wav", "/media/memo.wav", "", 42));
    savedAlbums.add (makeStoredAlbum (-1, "Trip", "", (juce::int64) 1 << 40, { 7, -123456789, 7 }));

    auto folder = root.getChildFile ("lib");
    folder.createDirectory();
    ASSERT_TRUE (LibraryDatabase::saveLibrary (folder, savedLibrary, savedAlbums).wasOk());

    auto fileProperties = [] (LayoutBytes& b, int id, const std::string& name, const std::string& thumb,
                              juce::int64 importMs, const std::string& url)
    {
        b.text ("Asset").compressed (6)
         .text ("type").intValue (0x66696C61)
         .text ("id").intValue (id)
         .text ("name").stringValue (name)
         .text ("thumburl").stringValue (thumb)
         .text ("importms").int64Value (importMs)
         .text ("url").stringValue (url)
         .compressed (0);
    };

    LayoutBytes expected;
    expected.text ("AssetLibrary").compressed (0).compressed (2);
    expected.text ("Assets").compressed (0).compressed (2);
    fileProperties (expected, -123456789, cafe, longThumbnail, 1700000000123, "/media/" + cafe);
    fileProperties (expected, 7, "memo.wav", "", 42, "/media/memo.wav");
    expected.text ("Albums").compressed (0).compressed (1);
    expected.text ("Asset").compressed (5)
            .text ("type").intValue (0x616C6261)
            .text ("id").intValue (-1)
            .text ("name").stringValue ("Trip")
            .text ("thumburl").stringValue ("")
            .text ("importms").int64Value ((juce::int64) 1 << 40)
            .compressed (3);

    for (int member : { 7, -123456789, 7 })
        expected.text ("a").compressed (1).text ("id").intValue (member).compressed (0);

    // A few spot checks of the builder against the documented encodings.
    EXPECT_EQ (LayoutBytes().compressed (0).get(), (std::vector<juce::uint8> { 0x00 }));
    EXPECT_EQ (LayoutBytes().compressed (306).get(), (std::vector<juce::uint8> { 0x02, 0x32, 0x01 }));
    EXPECT_EQ (LayoutBytes().compressed (-2).get(), (std::vector<juce::uint8> { 0x81, 0x02 }));
    EXPECT_EQ (LayoutBytes().intValue (-1).get(), (std::vector<juce::uint8> { 0x01, 0x05, 0x01, 0xff, 0xff, 0xff, 0xff }));
    EXPECT_EQ (LayoutBytes().stringValue ("").get(), (std::vector<juce::uint8> { 0x01, 0x02, 0x05, 0x00 }));

    EXPECT_EQ (readDatabase (folder), expected.get());

    // And the hand-made bytes read back into the same library.
    auto handMade = root.getChildFile ("handmade");
    writeDatabase (handMade, expected.data(), expected.size());
    ASSERT_TRUE (LibraryDatabase::loadLibrary (handMade, library, albums).wasOk());
    EXPECT_TRUE (recordsOf (library) == recordsOf (savedLibrary));
    EXPECT_TRUE (recordsOf (albums) == recordsOf (savedAlbums));
    EXPECT_EQ (library.get (0)->getId(), -123456789);
    EXPECT_EQ (library.get (0)->getName().toStdString(), cafe);
}

TEST_F (LibraryDatabaseTest, ADatabaseThatCannotBeReadGivesTheEmptyLibraryAndSaysWhy)
{
    struct Case { const char* label; std::function<void (const juce::File&)> make; const char* expectedWords; };
    const Case cases[] = {
        { "a folder in its place", [] (const juce::File& f) { LibraryDatabase::getDatabaseFile (f).createDirectory(); }, "not a file" },
        { "damaged", [] (const juce::File& f) { writeDatabase (f, "\x05garbage", 8); }, "damaged" },
        { "cut off", [] (const juce::File& f)
            {
                AssetCollection a, b;
                fillNumberedLibrary (a, b, "cut", 3, 1);
                auto bytes = storedBytes (a, b);
                writeDatabase (f, bytes.getData(), bytes.getSize() - 1);
            }, "damaged" },
    };

    for (const auto& c : cases)
    {
        auto folder = root.getChildFile (c.label);
        folder.createDirectory();
        c.make (folder);

        library.add (makeStoredFileAsset (1, "stale", "/stale.wav", "", 1));
        log.clear();
        auto result = LibraryDatabase::loadLibrary (folder, library, albums);

        EXPECT_TRUE (result.failed()) << c.label;
        EXPECT_TRUE (result.getErrorMessage().contains (c.expectedWords)) << result.getErrorMessage();
        EXPECT_TRUE (result.getErrorMessage().contains (LibraryDatabase::getDatabaseFile (folder).getFullPathName()));
        EXPECT_EQ (library.size(), 0) << c.label;
        EXPECT_EQ (albums.size(), 0) << c.label;
        EXPECT_EQ (log, (Log { "library", "albums" })) << c.label;
    }
}

TEST_F (LibraryDatabaseTest, SavingReplacesTheFileWholeAndLeavesNothingBeside)
{
    auto folder = root.getChildFile ("lib");
    folder.createDirectory();

    AssetCollection first, firstAlbums, second, secondAlbums;
    fillNumberedLibrary (first, firstAlbums, "first", 50, 3);
    fillNumberedLibrary (second, secondAlbums, "second", 2, 0);

    ASSERT_TRUE (LibraryDatabase::saveLibrary (folder, first, firstAlbums).wasOk());
    EXPECT_EQ (permissionsOf (LibraryDatabase::getDatabaseFile (folder)), 0666 & ~currentUmask());

    // A user who closed the database to others keeps it so.
    ::chmod (LibraryDatabase::getDatabaseFile (folder).getFullPathName().toRawUTF8(), 0640);
    ASSERT_TRUE (LibraryDatabase::saveLibrary (folder, second, secondAlbums).wasOk());

    auto bytes = storedBytes (second, secondAlbums);
    auto* begin = static_cast<const juce::uint8*> (bytes.getData());
    EXPECT_EQ (readDatabase (folder), std::vector<juce::uint8> (begin, begin + bytes.getSize()));
    EXPECT_EQ (permissionsOf (LibraryDatabase::getDatabaseFile (folder)), 0640u);
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles), 1);
    EXPECT_EQ (folder.findChildFiles (juce::File::findFilesAndDirectories, false, ".*").size(), 0) << "no temporary file is left";
}

TEST_F (LibraryDatabaseTest, ASaveRemovesWhatKilledSavesLeftButNotARunningOnesFile)
{
    auto folder = root.getChildFile ("lib");
    folder.createDirectory();

    // A process that has ended, as a save killed before its rename.
    ChildProgram ended ("/bin/true", ChildProgram::Options {});
    ASSERT_TRUE (ended.waitForExit (10000).has_value());
    auto killed = folder.getChildFile (".Assets.db." + juce::String (ended.getPid()) + ".0.saving");
    auto running = folder.getChildFile (".Assets.db." + juce::String ((int) ::getppid()) + ".3.saving");
    auto unrelated = folder.getChildFile (".Assets.db.notes.saving");

    for (auto* file : { &killed, &running, &unrelated })
        ASSERT_TRUE (file->replaceWithText ("partial"));

    AssetCollection library, albums;
    fillNumberedLibrary (library, albums, "asset", 3, 1);
    ASSERT_TRUE (LibraryDatabase::saveLibrary (folder, library, albums).wasOk());

    EXPECT_FALSE (killed.exists());
    EXPECT_TRUE (running.exists());
    EXPECT_TRUE (unrelated.exists());
}

TEST_F (LibraryDatabaseTest, ASaveThatCannotWriteLeavesThePreviousStateAlone)
{
    AssetCollection some, someAlbums;
    fillNumberedLibrary (some, someAlbums, "some", 5, 1);

    auto missing = root.getChildFile ("no such folder");
    auto missingResult = LibraryDatabase::saveLibrary (missing, some, someAlbums);
    EXPECT_TRUE (missingResult.failed());
    EXPECT_TRUE (missingResult.getErrorMessage().contains ("does not exist")) << missingResult.getErrorMessage();
    EXPECT_FALSE (missing.exists()) << "saving never makes a library folder";

    auto folder = root.getChildFile ("lib");
    auto db = LibraryDatabase::getDatabaseFile (folder);
    db.getChildFile ("keep").create();   // Assets.db is a folder here
    auto folderResult = LibraryDatabase::saveLibrary (folder, some, someAlbums);
    EXPECT_TRUE (folderResult.failed());
    EXPECT_TRUE (db.getChildFile ("keep").existsAsFile());
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories, ".*"), 0) << "no temporary file is left";
}
