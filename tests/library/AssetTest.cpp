// Assets: kind codes, ids from the shared generator, placeholders by extension,
// thumbnails, the node layout, and renaming the media file.
#include "library/AssetPlaceholders.h"
#include "library/FileAsset.h"
#include "library/ThumbnailDecoder.h"

#include "ChildProgram.h"
#include "LibraryFixtures.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
    juce::File touchFile (const juce::File& file)
    {
        file.getParentDirectory().createDirectory();
        file.replaceWithText ("not really media");
        return file;
    }

    juce::StringArray propertyNames (const juce::ValueTree& node)
    {
        juce::StringArray names;

        for (int i = 0; i < node.getNumProperties(); ++i)
            names.add (node.getPropertyName (i).toString());

        return names;
    }

    class AssetTest : public ::testing::Test
    {
    private:
        ScratchFolder scratch;

    protected:
        juce::File folder { juce::String (scratch.path()) };
    };
}

TEST (AssetTypeCodes, AreTheLettersReadAsOneBigEndianInt)
{
    EXPECT_EQ (assetTypeFile, 1718185057);
    EXPECT_EQ (assetTypeAlbum, 1634493025);
    EXPECT_EQ (assetTypeFile, ('f' << 24) | ('i' << 16) | ('l' << 8) | 'a');
    EXPECT_EQ (assetTypeAlbum, ('a' << 24) | ('l' << 16) | ('b' << 8) | 'a');

    EXPECT_EQ (FileAsset().getType(), assetTypeFile);
    EXPECT_EQ (AlbumAsset ("Holiday").getType(), assetTypeAlbum);
}

TEST (AssetIds, NewAssetsDrawDifferentIdsFromTheSharedGenerator)
{
    std::set<int> ids;
    bool sawNegative = false;

    for (int i = 0; i < 200; ++i)
    {
        // Both kinds draw from the same generator.
        auto id = (i % 2 == 0) ? FileAsset().getId() : AlbumAsset ("a").getId();
        ids.insert (id);
        sawNegative = sawNegative || id < 0;
    }

    EXPECT_EQ (ids.size(), 200u);
    EXPECT_TRUE (sawNegative) << "the full signed range is used";
}

TEST_F (AssetTest, AFileAssetIsNamedAfterItsFileAndStampedNow)
{
    auto file = touchFile (folder.getChildFile ("CLIP0001.MOV"));
    auto before = juce::Time::currentTimeMillis();
    FileAsset asset (file);
    auto after = juce::Time::currentTimeMillis();

    EXPECT_EQ (asset.getName(), "CLIP0001.MOV");
    EXPECT_EQ (asset.getFile(), file);
    EXPECT_TRUE (asset.getThumbnailUrl().isEmpty());
    EXPECT_GE (asset.getImportTime(), before);
    EXPECT_LE (asset.getImportTime(), after);

    asset.setName ("Holiday");
    EXPECT_EQ (asset.getName(), "Holiday");
    EXPECT_TRUE (file.existsAsFile()) << "setName does not touch the file";
}

TEST_F (AssetTest, PlaceholdersFollowTheExtension)
{
    const auto video = AssetPlaceholders::getVideo();
    const auto audio = AssetPlaceholders::getAudio();

    struct Case { const char* fileName; bool isVideo; };
    const Case cases[] = {
        { "clip.MOV", true },  { "clip.mov", true },   { "clip.Mov", true },
        { "memo.wav", false }, { "memo.m4a", false },  { "memo.WAV", false },
        { "clip.mov.wav", false }, { "clipmov", false }, { "clip.mp4", false },
    };

    for (const auto& c : cases)
    {
        FileAsset asset (folder.getChildFile (c.fileName));
        EXPECT_TRUE (asset.getThumbnail() == (c.isVideo ? video : audio)) << c.fileName;
    }
}

TEST_F (AssetTest, DefaultFileAssetHasNoFileAndNoPicture)
{
    FileAsset asset;
    EXPECT_TRUE (asset.getName().isEmpty());
    EXPECT_EQ (asset.getFile(), juce::File());
    EXPECT_TRUE (asset.getThumbnail().isNull());
}

TEST_F (AssetTest, SetFileKeepsARealThumbnailAndOtherwiseSwitchesPlaceholder)
{
    auto thumbnail = folder.getChildFile ("thumb.jpg");
    writeTestJpeg (thumbnail, 640, 360);

    FileAsset asset (folder.getChildFile ("memo.wav"));
    EXPECT_TRUE (asset.getThumbnail() == AssetPlaceholders::getAudio());

    asset.setFile (folder.getChildFile ("clip.mov"));
    EXPECT_TRUE (asset.getThumbnail() == AssetPlaceholders::getVideo());

    asset.setThumbnailFile (thumbnail);
    auto picture = asset.getThumbnail();
    asset.setFile (folder.getChildFile ("memo.wav"));
    EXPECT_TRUE (asset.getThumbnail() == picture) << "a thumbnail file that exists wins over the placeholder";
}

TEST_F (AssetTest, SetThumbnailFileDecodesAtMostTileWidth)
{
    FileAsset asset (folder.getChildFile ("clip.mov"));
    auto placeholder = asset.getThumbnail();

    asset.setThumbnailFile (folder.getChildFile ("missing.jpg"));
    EXPECT_TRUE (asset.getThumbnailUrl().isEmpty()) << "a missing file changes nothing";
    EXPECT_TRUE (asset.getThumbnail() == placeholder);

    auto thumbnail = folder.getChildFile ("Thumbnails/clip.jpg");
    thumbnail.getParentDirectory().createDirectory();
    writeTestJpeg (thumbnail, 1920, 1080);
    asset.setThumbnailFile (thumbnail);

    EXPECT_EQ (asset.getThumbnailUrl(), thumbnail.getFullPathName());
    EXPECT_EQ (asset.getThumbnail().getWidth(), ThumbnailDecoder::maxWidth);
    EXPECT_EQ (asset.getThumbnail().getHeight(), 270);

    auto notAPicture = touchFile (folder.getChildFile ("notes.jpg"));
    asset.setThumbnailFile (notAPicture);
    EXPECT_EQ (asset.getThumbnailUrl(), notAPicture.getFullPathName());
    EXPECT_TRUE (asset.getThumbnail().isNull()) << "a file that cannot be decoded gives a null picture";
}

TEST_F (AssetTest, FileAssetNodeHasThePropertiesInOrder)
{
    auto asset = makeStoredFileAsset (-42, "clip.MOV", "/media/clip.MOV", "/lib/Thumbnails/clip.jpg", 1234567890123);
    juce::ValueTree node ("Asset");
    asset->writeTo (node);

    EXPECT_EQ (propertyNames (node), juce::StringArray ({ "id", "name", "thumburl", "importms", "url" }));
    EXPECT_TRUE (node["id"].isInt());
    EXPECT_EQ (static_cast<int> (node["id"]), -42);
    EXPECT_TRUE (node["name"].isString());
    EXPECT_EQ (node["name"].toString(), "clip.MOV");
    EXPECT_EQ (node["thumburl"].toString(), "/lib/Thumbnails/clip.jpg");
    EXPECT_TRUE (node["importms"].isInt64());
    EXPECT_EQ (static_cast<juce::int64> (node["importms"]), 1234567890123);
    EXPECT_TRUE (node["url"].isString()) << "the plain path, not a URL";
    EXPECT_EQ (node["url"].toString(), "/media/clip.MOV");
    EXPECT_EQ (node.getNumChildren(), 0);
}

TEST_F (AssetTest, ReadingAFileAssetRestoresEveryField)
{
    auto asset = makeStoredFileAsset (-42, "Holiday", "/media/clip.MOV", "", 1234567890123);

    EXPECT_EQ (asset->getId(), -42);
    EXPECT_EQ (asset->getName(), "Holiday");
    EXPECT_EQ (asset->getFile().getFullPathName(), "/media/clip.MOV");
    EXPECT_TRUE (asset->getThumbnailUrl().isEmpty());
    EXPECT_EQ (asset->getImportTime(), 1234567890123);
    EXPECT_TRUE (asset->getThumbnail() == AssetPlaceholders::getVideo());
}

TEST_F (AssetTest, AStoredThumbnailReplacesThePlaceholderOnlyWhenItsFileExists)
{
    auto thumbnail = folder.getChildFile ("Thumbnails/memo.jpg");
    thumbnail.getParentDirectory().createDirectory();
    writeTestJpeg (thumbnail, 1024, 576);

    auto withThumbnail = makeStoredFileAsset (1, "memo.wav", "/media/memo.wav", thumbnail.getFullPathName(), 1);
    EXPECT_EQ (withThumbnail->getThumbnail().getWidth(), 480);
    EXPECT_EQ (withThumbnail->getThumbnail().getHeight(), 270);

    auto gonePath = folder.getChildFile ("Thumbnails/gone.jpg").getFullPathName();
    auto withGoneThumbnail = makeStoredFileAsset (2, "memo.wav", "/media/memo.wav", gonePath, 1);
    EXPECT_TRUE (withGoneThumbnail->getThumbnail() == AssetPlaceholders::getAudio());
    EXPECT_EQ (withGoneThumbnail->getThumbnailUrl(), gonePath) << "the path is kept for the next save";
}

TEST_F (AssetTest, MissingPropertiesReadAsZeroOrEmpty)
{
    FileAsset asset;
    asset.readFrom (juce::ValueTree ("Asset"));

    EXPECT_EQ (asset.getId(), 0);
    EXPECT_TRUE (asset.getName().isEmpty());
    EXPECT_TRUE (asset.getThumbnailUrl().isEmpty());
    EXPECT_EQ (asset.getImportTime(), 0);
    EXPECT_EQ (asset.getFile(), juce::File());
    EXPECT_TRUE (asset.getThumbnail() == AssetPlaceholders::getAudio());
}

TEST_F (AssetTest, StoredValuesOfTheWrongKindAreReadSafely)
{
    struct Case { juce::var id; int expectedId; juce::var importMs; juce::int64 expectedImportMs; };
    const Case cases[] = {
        { juce::var ("123"), 123, juce::var ("-5"), -5 },
        { juce::var ("99999999999999999999999"), -159383553, juce::var (1e300), 0 },   // wraps like a 64-bit int, then 32
        { juce::var (std::numeric_limits<double>::quiet_NaN()), 0, juce::var (-1.5), -1 },
        { juce::var (12.75), 12, juce::var ((juce::int64) 1 << 40), (juce::int64) 1 << 40 },
        { juce::var (true), 1, juce::var(), 0 },
    };

    for (const auto& c : cases)
    {
        juce::ValueTree node ("Asset");
        node.setProperty ("id", c.id, nullptr);
        node.setProperty ("importms", c.importMs, nullptr);
        node.setProperty ("url", "relative/path.mov", nullptr);

        FileAsset asset;
        asset.readFrom (node);
        EXPECT_EQ (asset.getId(), c.expectedId) << c.id.toString();
        EXPECT_EQ (asset.getImportTime(), c.expectedImportMs) << c.importMs.toString();
        EXPECT_EQ (asset.getFile(), juce::File()) << "a relative stored path names no file";
    }
}

TEST_F (AssetTest, RenameFileKeepsTheExtensionAndTakesTheNextFreeName)
{
    struct Case { const char* newName; const char* existing; const char* expected; };
    const Case cases[] = {
        { "Holiday.txt", nullptr,       "Holiday.MOV" },
        { "Holiday",     nullptr,       "Holiday.MOV" },
        { "Holiday.txt", "Holiday.MOV", "Holiday(2).MOV" },
        { "a.b.c",       nullptr,       "a.b.MOV" },
        { "CLIP0001.mp4", nullptr,      "CLIP0001.MOV" },   // the file's own name: no bracket
    };

    for (const auto& c : cases)
    {
        auto caseFolder = folder.getChildFile (juce::String (c.newName) + "-" + (c.existing ? "taken" : "free"));
        auto original = touchFile (caseFolder.getChildFile ("CLIP0001.MOV"));

        if (c.existing != nullptr)
            touchFile (caseFolder.getChildFile (c.existing));

        FileAsset asset (original);
        juce::String newName (c.newName);

        ASSERT_TRUE (asset.renameFile (newName)) << c.newName;
        EXPECT_EQ (newName, c.expected);
        EXPECT_EQ (asset.getFile(), caseFolder.getChildFile (c.expected));
        EXPECT_TRUE (asset.getFile().existsAsFile());
        EXPECT_EQ (asset.getName(), "CLIP0001.MOV") << "the display name is the caller's to change";

        if (c.existing != nullptr)
        {
            EXPECT_TRUE (caseFolder.getChildFile (c.existing).existsAsFile()) << "the other file is left alone";
        }

        if (juce::String (c.expected) != "CLIP0001.MOV")
        {
            EXPECT_FALSE (original.exists());
        }
    }
}

TEST_F (AssetTest, RenameFileFailsWithoutChangingAnything)
{
    auto original = touchFile (folder.getChildFile ("CLIP0001.MOV"));
    folder.getChildFile ("sub").createDirectory();

    struct Case { const char* newName; bool fileThere; };
    const Case cases[] = { { "", true }, { "sub/Holiday.mov", true }, { "Holiday.mov", false } };

    for (const auto& c : cases)
    {
        if (! c.fileThere)
            original.deleteFile();

        FileAsset asset (original);
        juce::String newName (c.newName);

        EXPECT_FALSE (asset.renameFile (newName)) << c.newName;
        EXPECT_EQ (newName, c.newName);
        EXPECT_EQ (asset.getFile(), original);
        EXPECT_EQ (original.existsAsFile(), c.fileThere);
    }

    EXPECT_FALSE (folder.getChildFile ("Holiday.MOV").exists());
    EXPECT_FALSE (folder.getChildFile ("sub/Holiday.MOV").exists());
}

TEST_F (AssetTest, StoredTextsOfTheWrongKindAreReadSafely)
{
    struct Case { juce::var value; const char* expected; };
    const Case cases[] = {
        { juce::var (std::numeric_limits<double>::quiet_NaN()), "" },   // JUCE's own text of NaN is undefined behaviour
        { juce::var (std::numeric_limits<double>::infinity()), "inf" },
        { juce::var (1.5), "1.5" },
        { juce::var (42), "42" },
        { juce::var(), "" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.expected);
        juce::ValueTree node ("Asset");
        node.setProperty ("name", c.value, nullptr);
        node.setProperty ("thumburl", c.value, nullptr);
        node.setProperty ("url", c.value, nullptr);

        FileAsset asset;
        asset.readFrom (node);
        EXPECT_EQ (asset.getName(), c.expected);
        EXPECT_EQ (asset.getThumbnailUrl(), c.expected);
        EXPECT_EQ (asset.getFile(), juce::File());
    }
}

TEST_F (AssetTest, StoredBytesThatAreNotUtf8AreHeldAsTheyWillBeSaved)
{
    // A stored path ending in two stray continuation bytes: JUCE reads them as they
    // are but writes them back as "0/", so the path must be held that way from the
    // start, or the file named by a loaded asset would change from one save to the
    // next (the trailing "/" is dropped only once it is there).
    LayoutBytes stored;
    stored.text ("Asset").compressed (1).text ("url").stringValue ("/media/clip\xb0\xaf").compressed (0);

    auto throughTheFile = [] (const juce::ValueTree& tree)
    {
        juce::MemoryOutputStream out;
        tree.writeToStream (out);
        return juce::ValueTree::readFromData (out.getData(), out.getDataSize());
    };

    FileAsset loaded;
    loaded.readFrom (juce::ValueTree::readFromData (stored.data(), stored.size()));
    juce::ValueTree saved ("Asset");
    loaded.writeTo (saved);

    FileAsset reloaded;
    reloaded.readFrom (throughTheFile (saved));
    EXPECT_EQ (reloaded.getFile(), loaded.getFile());
    EXPECT_EQ (loaded.getFile().getFullPathName(), "/media/clip0");
}
