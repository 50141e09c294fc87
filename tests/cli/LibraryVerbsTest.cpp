// vorniq-cli library dump, add and album, run as a person would run them: what they
// print, what they leave in the library folder, and how they fail.
#include "library/LibraryDatabase.h"

#include "ChildProgram.h"

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

namespace
{
    struct Run
    {
        int status;
        std::string out, err;
    };

    Run runProgram (const std::string& program, const std::vector<std::string>& arguments,
                    const std::string& workingDirectory = {})
    {
        ChildProgram::Options options;
        options.arguments = arguments;
        options.workingDirectory = workingDirectory;
        ChildProgram child (program, options);
        auto status = child.waitForExit (60000);
        return { status.value_or (-1), child.standardOutput(), child.standardError() };
    }

    Run runCli (const std::vector<std::string>& arguments, const std::string& workingDirectory = {})
    {
        return runProgram (std::string (VORNIQ_BIN_DIR) + "/vorniq-cli", arguments, workingDirectory);
    }

    // The tool under a shell that limits the size of files it may write, with the
    // signal for that ignored, so that writing past the limit fails with EFBIG.
    Run runCliWithFileSizeLimit (int limitKiB, const std::vector<std::string>& arguments)
    {
        std::string command = "trap '' XFSZ; ulimit -f " + std::to_string (limitKiB) + "; exec \"$0\" \"$@\"";
        std::vector<std::string> shellArguments { "-c", command, std::string (VORNIQ_BIN_DIR) + "/vorniq-cli" };
        shellArguments.insert (shellArguments.end(), arguments.begin(), arguments.end());
        return runProgram ("/bin/sh", shellArguments);
    }

    std::string fileBytes (const juce::File& file)
    {
        return readTextFile (file.getFullPathName().toStdString());
    }

    class LibraryVerbsTest : public ::testing::Test
    {
    protected:
        juce::File makeMediaFile (const juce::String& name)
        {
            auto file = media.getChildFile (name);
            file.replaceWithText ("recording");
            return file;
        }

        juce::var dump()
        {
            auto run = runCli ({ "library", "dump", libraryPath });
            EXPECT_EQ (run.status, 0) << run.err;
            auto parsed = juce::JSON::parse (juce::String::fromUTF8 (run.out.data(), (int) run.out.size()));
            EXPECT_TRUE (parsed.isObject()) << run.out;
            return parsed;
        }

        juce::StringArray folderEntries() const
        {
            juce::StringArray names;
            for (const auto& f : library.findChildFiles (juce::File::findFilesAndDirectories, false, "*"))
                names.add (f.getFileName());
            names.sort (false);
            return names;
        }

        ScratchFolder scratch;
        juce::File root { juce::String (scratch.path()) };
        juce::File library { root.getChildFile ("Media") };
        juce::File media { root.getChildFile ("camera") };
        std::string libraryPath { library.getFullPathName().toStdString() };

        void SetUp() override
        {
            library.createDirectory();
            media.createDirectory();
        }
    };
}

TEST_F (LibraryVerbsTest, DumpOfAFolderWithoutADatabaseIsTheEmptyLibraryAndLeavesNoFile)
{
    auto run = runCli ({ "library", "dump", libraryPath });
    EXPECT_EQ (run.status, 0) << run.err;
    EXPECT_EQ (run.out, "{\n  \"Assets\": [],\n  \"Albums\": []\n}\n");
    EXPECT_TRUE (run.err.empty());
    EXPECT_TRUE (folderEntries().isEmpty());
}

TEST_F (LibraryVerbsTest, AddedFilesKeepTheirIdsFromOneRunToTheNext)
{
    auto clip = makeMediaFile ("CLIP0001.MOV");
    makeMediaFile ("memo.m4a");
    auto before = juce::Time::currentTimeMillis();

    // Relative paths are taken from the working folder.
    auto added = runCli ({ "library", "add", ".", clip.getFullPathName().toStdString(), "../camera/memo.m4a" }, libraryPath);
    auto after = juce::Time::currentTimeMillis();
    ASSERT_EQ (added.status, 0) << added.err;

    auto printedIds = juce::StringArray::fromLines (juce::String (added.out).trim());
    ASSERT_EQ (printedIds.size(), 2);

    auto assets = dump()["Assets"];
    ASSERT_EQ (assets.size(), 2);

    for (int i = 0; i < 2; ++i)
    {
        auto asset = assets[i];
        auto* object = asset.getDynamicObject();
        ASSERT_NE (object, nullptr);

        juce::StringArray keys;
        for (auto& property : object->getProperties())
            keys.add (property.name.toString());

        EXPECT_EQ (keys, juce::StringArray ({ "type", "id", "name", "thumburl", "importms", "url" }));
        EXPECT_EQ (asset["type"].toString(), "fila");
        EXPECT_EQ (asset["id"].toString(), printedIds[i]) << "the id printed by add is the stored one";
        EXPECT_EQ (asset["thumburl"].toString(), "");
        EXPECT_GE (static_cast<juce::int64> (asset["importms"]), before);
        EXPECT_LE (static_cast<juce::int64> (asset["importms"]), after);
    }

    EXPECT_EQ (assets[0]["name"].toString(), "CLIP0001.MOV");
    EXPECT_EQ (assets[0]["url"].toString(), clip.getFullPathName());
    EXPECT_EQ (assets[1]["name"].toString(), "memo.m4a");
    EXPECT_EQ (assets[1]["url"].toString(), media.getChildFile ("memo.m4a").getFullPathName());
}

TEST_F (LibraryVerbsTest, AlbumsKeepTheirMembersInOrderWithDuplicates)
{
    auto added = runCli ({ "library", "add", libraryPath,
                           makeMediaFile ("a.wav").getFullPathName().toStdString(),
                           makeMediaFile ("b.MOV").getFullPathName().toStdString() });
    ASSERT_EQ (added.status, 0) << added.err;
    auto ids = juce::StringArray::fromLines (juce::String (added.out).trim());

    auto made = runCli ({ "library", "album", libraryPath, "Trip", ids[1].toStdString(), ids[0].toStdString(), ids[1].toStdString() });
    ASSERT_EQ (made.status, 0) << made.err;
    auto empty = runCli ({ "library", "album", libraryPath, "Empty" });
    ASSERT_EQ (empty.status, 0) << empty.err;

    auto albums = dump()["Albums"];
    ASSERT_EQ (albums.size(), 2);

    auto trip = albums[0];
    EXPECT_EQ (trip["type"].toString(), "alba");
    EXPECT_EQ (trip["id"].toString(), juce::String (made.out).trim());
    EXPECT_EQ (trip["name"].toString(), "Trip");
    EXPECT_FALSE (trip.hasProperty ("url"));
    ASSERT_EQ (trip["members"].size(), 3);
    EXPECT_EQ (trip["members"][0].toString(), ids[1]);
    EXPECT_EQ (trip["members"][1].toString(), ids[0]);
    EXPECT_EQ (trip["members"][2].toString(), ids[1]);
    EXPECT_EQ (albums[1]["name"].toString(), "Empty");
    EXPECT_EQ (albums[1]["members"].size(), 0);
    EXPECT_EQ (dump()["Assets"].size(), 2) << "the files are untouched";
}

TEST_F (LibraryVerbsTest, TheDumpIsStrictJsonWhateverTheNamesHold)
{
    // Quotes, backslashes, control characters and non-ASCII.
    const std::string oddName = "we\"ird\\name\x01\x7f\t\xc3\xa9\xe2\x82\xac.wav";
    auto odd = media.getFullPathName().toStdString() + "/" + oddName;
    writeTextFile (odd, "recording");
    ASSERT_EQ (runCli ({ "library", "add", libraryPath, odd }).status, 0);

    auto run = runCli ({ "library", "dump", libraryPath });
    ASSERT_EQ (run.status, 0) << run.err;
    writeTextFile (scratch / "dump.json", run.out);

    auto check = runProgram ("/usr/bin/python3", { "-c",
        "import json,sys; d=json.load(open(sys.argv[1])); a=d['Assets'][0]; print(a['name']); print(a['url'])", scratch / "dump.json" });
    EXPECT_EQ (check.status, 0) << check.err << "\n" << run.out;
    EXPECT_EQ (check.out, oddName + "\n" + odd + "\n");
}

TEST_F (LibraryVerbsTest, ErrorsEndWithAMessageAndLeaveTheLibraryAlone)
{
    auto clip = makeMediaFile ("clip.mov").getFullPathName().toStdString();
    ASSERT_EQ (runCli ({ "library", "add", libraryPath, clip }).status, 0);
    auto db = LibraryDatabase::getDatabaseFile (library);
    auto saved = fileBytes (db);

    struct Case { const char* label; std::vector<std::string> arguments; int status; const char* words; };
    const auto missing = root.getChildFile ("nowhere").getFullPathName().toStdString();
    const Case cases[] = {
        { "dump of no folder",    { "library", "dump", missing },                    1, "no such library folder" },
        { "add to no folder",     { "library", "add", missing, clip },               1, "no such library folder" },
        { "album in no folder",   { "library", "album", missing, "A" },              1, "no such library folder" },
        { "add of no file",       { "library", "add", libraryPath, clip, clip + ".gone" }, 1, "no such media file" },
        { "album of a stranger",  { "library", "album", libraryPath, "A", "12345" }, 1, "no media file with the id 12345" },
        { "album of a non-id",    { "library", "album", libraryPath, "A", "12x" },   2, "is not an asset id" },
        { "album of a huge id",   { "library", "album", libraryPath, "A", "99999999999" }, 2, "is not an asset id" },
        { "album without a name", { "library", "album", libraryPath, "" },           2, "needs a name" },
        { "add without files",    { "library", "add", libraryPath },                 2, "usage" },
        { "dump of two folders",  { "library", "dump", libraryPath, libraryPath },   2, "usage" },
        { "an unknown action",    { "library", "frobnicate", libraryPath },          2, "unknown library action" },
        { "no action",            { "library" },                                     2, "library needs an action" },
        { "an unknown verb",      { "frobnicate" },                                  2, "unknown verb" },
        { "nothing at all",       {},                                                2, "usage" },
    };

    for (const auto& c : cases)
    {
        auto run = runCli (c.arguments);
        EXPECT_EQ (run.status, c.status) << c.label << ": " << run.err;
        EXPECT_NE (run.err.find (c.words), std::string::npos) << c.label << ": " << run.err;
        EXPECT_TRUE (run.out.empty()) << c.label << ": " << run.out;
        EXPECT_EQ (fileBytes (db), saved) << c.label;
    }

    EXPECT_FALSE (juce::File (missing).exists());
    EXPECT_EQ (folderEntries(), juce::StringArray ({ "Assets.db" }));
}

TEST_F (LibraryVerbsTest, ADatabaseThatCannotBeReadIsNeverOverwritten)
{
    auto db = LibraryDatabase::getDatabaseFile (library);
    auto clip = makeMediaFile ("clip.mov").getFullPathName().toStdString();
    const std::string damaged ("AssetLibrary\0\0\x05", 15);
    writeTextFile (db.getFullPathName().toStdString(), damaged);

    for (const auto& arguments : { std::vector<std::string> { "library", "dump", libraryPath },
                                   std::vector<std::string> { "library", "add", libraryPath, clip },
                                   std::vector<std::string> { "library", "album", libraryPath, "A" } })
    {
        auto run = runCli (arguments);
        EXPECT_EQ (run.status, 1) << arguments[1];
        EXPECT_NE (run.err.find ("is damaged"), std::string::npos) << run.err;
        EXPECT_NE (run.err.find (db.getFullPathName().toStdString()), std::string::npos) << run.err;
        EXPECT_EQ (fileBytes (db), damaged) << arguments[1];
    }

    db.deleteFile();
    db.createDirectory();
    auto run = runCli ({ "library", "dump", libraryPath });
    EXPECT_EQ (run.status, 1);
    EXPECT_NE (run.err.find ("is not a file"), std::string::npos) << run.err;
}

TEST_F (LibraryVerbsTest, ASaveThatCannotWriteKeepsThePreviousDatabaseWhole)
{
    // A library of a few hundred files makes a database larger than the limit below.
    std::vector<std::string> arguments { "library", "add", libraryPath };
    for (int i = 0; i < 300; ++i)
        arguments.push_back (makeMediaFile ("CLIP" + juce::String (i).paddedLeft ('0', 4) + ".MOV").getFullPathName().toStdString());
    ASSERT_EQ (runCli (arguments).status, 0);

    auto db = LibraryDatabase::getDatabaseFile (library);
    auto saved = fileBytes (db);
    ASSERT_GT (saved.size(), 32u * 1024u);

    // ulimit -f counts blocks of 512 or 1024 bytes, depending on the shell: at most 16 KiB.
    auto run = runCliWithFileSizeLimit (16, { "library", "add", libraryPath, makeMediaFile ("one more.wav").getFullPathName().toStdString() });
    EXPECT_EQ (run.status, 1) << run.err;
    EXPECT_NE (run.err.find ("Cannot write"), std::string::npos) << run.err;
    EXPECT_NE (run.err.find ("left as it was"), std::string::npos) << run.err;
    EXPECT_EQ (fileBytes (db), saved);
    EXPECT_EQ (folderEntries(), juce::StringArray ({ "Assets.db" })) << "the unfinished file is removed";
    EXPECT_EQ (dump()["Assets"].size(), 300);
}

TEST_F (LibraryVerbsTest, HelpListsEveryVerb)
{
    auto run = runCli ({ "help" });
    EXPECT_EQ (run.status, 0);
    EXPECT_TRUE (run.err.empty());

    for (auto* line : { "vorniq-cli library dump <library folder>",
                        "vorniq-cli library add <library folder> <media file>...",
                        "vorniq-cli library album <library folder> <name> [<member id>...]" })
        EXPECT_NE (run.out.find (line), std::string::npos) << line << " in\n" << run.out;
}
