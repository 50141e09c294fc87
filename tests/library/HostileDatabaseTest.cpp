// Any "Assets.db" at all: empty, cut off anywhere, random, absurd counts and lengths,
// deep nesting, unknown kinds. Nothing crashes, hangs or grows without bound, and
// whatever cannot be read is the empty library. Also: every tree JUCE writes within
// the limits is still read.
#include "library/LibraryDatabase.h"
#include "library/TreeStreamValidator.h"

#include "ChildProgram.h"
#include "LibraryFixtures.h"

#include <gtest/gtest.h>

#include <chrono>

namespace
{
    struct Loaded
    {
        bool ok;
        int numFiles, numAlbums;
    };

    // The reading half of loadLibrary, without the file: what the library would hold.
    Loaded loadFromBytes (const void* data, size_t numBytes)
    {
        AssetCollection library, albums;
        auto root = LibraryDatabase::readTree (data, numBytes);
        library.readFrom (root.getChildWithName ("Assets"));
        albums.readFrom (root.getChildWithName ("Albums"));
        return { root.isValid(), library.size(), albums.size() };
    }

    Loaded loadFromBytes (const LayoutBytes& bytes)
    {
        return loadFromBytes (bytes.data(), bytes.size());
    }

    juce::MemoryBlock smallLibraryBytes()
    {
        AssetCollection library, albums;
        fillNumberedLibrary (library, albums, "t", 3, 2);
        return storedBytes (library, albums);
    }

    // A root "AssetLibrary" with an "Assets" node whose children are given.
    LayoutBytes libraryWithAssets (int numChildren, const std::function<void (LayoutBytes&)>& children)
    {
        LayoutBytes b;
        b.text ("AssetLibrary").compressed (0).compressed (1);
        b.text ("Assets").compressed (0).compressed (numChildren);
        children (b);
        return b;
    }

    void fileAssetNode (LayoutBytes& b, int type, int id)
    {
        b.text ("Asset").compressed (3)
         .text ("type").intValue (type)
         .text ("id").intValue (id)
         .text ("url").stringValue ("/media/clip.mov")
         .compressed (0);
    }

    juce::var randomValue (juce::Random& random, int depth)
    {
        switch (random.nextInt (depth < 3 ? 9 : 8))
        {
            case 0:  return random.nextInt();
            case 1:  return random.nextInt64();
            case 2:  return random.nextDouble() * 1e9;
            case 3:  return random.nextBool();
            case 4:  return juce::var();
            case 5:
            {
                // Any bytes at all: a file name on Linux need not be UTF-8.
                char bytes[12];
                auto length = random.nextInt (12);
                for (int i = 0; i < length; ++i)
                    bytes[i] = static_cast<char> (1 + random.nextInt (255));
                return juce::String (juce::CharPointer_UTF8 (bytes), juce::CharPointer_UTF8 (bytes + length));
            }
            case 6:
            {
                juce::MemoryBlock block (static_cast<size_t> (random.nextInt (20)));
                random.fillBitsRandomly (block.getData(), block.getSize());
                return block;
            }
            case 7:  return juce::String ("plain text");
            default:
            {
                juce::Array<juce::var> array;
                for (int i = random.nextInt (4); --i >= 0;)
                    array.add (randomValue (random, depth + 1));
                return array;
            }
        }
    }

    juce::ValueTree randomTree (juce::Random& random, int depth)
    {
        juce::ValueTree tree ("node" + juce::String (random.nextInt (5)));

        for (int i = random.nextInt (5); --i >= 0;)
            tree.setProperty ("p" + juce::String (random.nextInt (8)), randomValue (random, 0), nullptr);

        if (depth < 6)
            for (int i = random.nextInt (4); --i >= 0;)
                tree.appendChild (randomTree (random, depth + 1), nullptr);

        return tree;
    }
}

TEST (HostileDatabase, EveryTreeJuceWritesWithinTheLimitsIsRead)
{
    juce::Random random (20240611);

    for (int i = 0; i < 300; ++i)
    {
        auto tree = randomTree (random, 1);
        juce::MemoryOutputStream out;
        tree.writeToStream (out);

        ASSERT_TRUE (TreeStreamValidator::isCompleteTree (out.getData(), out.getDataSize())) << "tree " << i;
        EXPECT_TRUE (LibraryDatabase::readTree (out.getData(), out.getDataSize()).isEquivalentTo (tree)) << "tree " << i;
    }
}

TEST (HostileDatabase, AnEmptyFileIsTheEmptyLibraryNotADamagedOne)
{
    ScratchFolder scratch;
    juce::File folder (juce::String (scratch.path()));
    writeDatabase (folder, "", 0);

    AssetCollection library, albums;
    EXPECT_TRUE (LibraryDatabase::loadLibrary (folder, library, albums).wasOk());
    EXPECT_EQ (library.size() + albums.size(), 0);
}

TEST (HostileDatabase, EveryCutOffVersionOfALibraryReadsAsEmpty)
{
    auto whole = smallLibraryBytes();
    ASSERT_EQ (loadFromBytes (whole.getData(), whole.getSize()).numFiles, 3);

    for (size_t length = 0; length < whole.getSize(); ++length)
    {
        auto loaded = loadFromBytes (whole.getData(), length);
        EXPECT_FALSE (loaded.ok) << "cut at " << length;
        EXPECT_EQ (loaded.numFiles + loaded.numAlbums, 0) << "cut at " << length;
    }
}

TEST (HostileDatabase, ChangingAnySingleByteNeverBreaksTheReader)
{
    auto whole = smallLibraryBytes();

    for (size_t index = 0; index < whole.getSize(); ++index)
    {
        for (int value : { 0x00, 0x7f, 0x80, 0xff })
        {
            juce::MemoryBlock changed (whole);
            static_cast<juce::uint8*> (changed.getData())[index] = static_cast<juce::uint8> (value);
            auto loaded = loadFromBytes (changed.getData(), changed.getSize());

            // Either it is still a complete tree (and holds no more than the whole did)
            // or it is the empty library.
            if (! loaded.ok)
            {
                EXPECT_EQ (loaded.numFiles + loaded.numAlbums, 0);
            }

            EXPECT_LE (loaded.numFiles, 3);
        }
    }
}

TEST (HostileDatabase, RandomBytesNeverBreakTheReader)
{
    juce::Random random (77);

    for (int i = 0; i < 3000; ++i)
    {
        juce::MemoryBlock bytes (static_cast<size_t> (random.nextInt (600)));
        random.fillBitsRandomly (bytes.getData(), bytes.getSize());

        // Half of them start like a library, so the walk gets past the first node.
        if (i % 2 == 0 && bytes.getSize() > 20)
            bytes.copyFrom ("AssetLibrary\0\0\x01" "Assets\0\0", 0, 23);

        loadFromBytes (bytes.getData(), bytes.getSize());
    }
}

TEST (HostileDatabase, AbsurdCountsAndLengthsAreRefusedAtOnce)
{
    struct Case { const char* label; LayoutBytes bytes; };
    std::vector<Case> cases;

    cases.push_back ({ "a null tree", LayoutBytes().raw ({ 0, 0, 0 }) });
    cases.push_back ({ "2^31-1 children", LayoutBytes().text ("AssetLibrary").compressed (0).compressed (0x7fffffff) });
    cases.push_back ({ "2^31-1 properties", LayoutBytes().text ("AssetLibrary").compressed (0x7fffffff) });
    cases.push_back ({ "a negative child count", LayoutBytes().text ("AssetLibrary").compressed (0).compressed (-1) });
    cases.push_back ({ "a negative property count", LayoutBytes().text ("AssetLibrary").compressed (-5).compressed (0) });
    cases.push_back ({ "a compressed int of 5 bytes", LayoutBytes().text ("AssetLibrary").raw ({ 5, 1, 0, 0, 0, 0 }).compressed (0) });
    cases.push_back ({ "the largest negative count", LayoutBytes().text ("AssetLibrary").compressed (0).raw ({ 0x84, 0, 0, 0, 0x80 }) });
    cases.push_back ({ "a binary value of 2 GB", LayoutBytes().text ("Asset").compressed (1).text ("blob")
                                                     .compressed (0x7fffffff).raw ({ 8, 1, 2, 3 }).compressed (0) });
    cases.push_back ({ "a string value of 2 GB", LayoutBytes().text ("Asset").compressed (1).text ("name")
                                                     .compressed (0x7fffffff).raw ({ 5, 'a', 0 }).compressed (0) });
    cases.push_back ({ "an array of 2^31-1 values", LayoutBytes().text ("Asset").compressed (1).text ("list")
                                                       .compressed (6).raw ({ 7 }).compressed (0x7fffffff).compressed (0) });
    cases.push_back ({ "an int that claims 4 bytes", LayoutBytes().text ("Asset").compressed (1).text ("id")
                                                        .compressed (4).raw ({ 1, 1, 2, 3, 4 }).compressed (0) });
    cases.push_back ({ "a bool that claims more", LayoutBytes().text ("Asset").compressed (1).text ("b")
                                                     .compressed (3).raw ({ 2, 0, 0 }).compressed (0) });
    cases.push_back ({ "a negative value length", LayoutBytes().text ("Asset").compressed (1).text ("b")
                                                     .compressed (-3).compressed (0) });
    cases.push_back ({ "an empty property name", LayoutBytes().text ("Asset").compressed (1).text ("").intValue (1).compressed (0) });
    cases.push_back ({ "a name without its end", LayoutBytes().raw ({ 'A', 's', 's', 'e', 't' }) });
    cases.push_back ({ "an empty child type", libraryWithAssets (1, [] (LayoutBytes& b) { b.raw ({ 0, 0, 0 }); }) });

    for (auto& c : cases)
    {
        auto started = std::chrono::steady_clock::now();
        auto loaded = loadFromBytes (c.bytes);
        auto took = std::chrono::steady_clock::now() - started;

        EXPECT_FALSE (loaded.ok) << c.label;
        EXPECT_EQ (loaded.numFiles + loaded.numAlbums, 0) << c.label;
        EXPECT_LT (took, std::chrono::seconds (5)) << c.label << " is refused without working through the count";
    }
}

TEST (HostileDatabase, NestingIsBoundedWithoutRecursingThroughIt)
{
    TreeStreamValidator::Limits limits;

    auto nested = [] (int depth)
    {
        LayoutBytes b;
        for (int i = 0; i < depth; ++i)
            b.text ("n").compressed (0).compressed (i + 1 < depth ? 1 : 0);
        return b;
    };

    auto atLimit = nested (limits.maxDepth);
    EXPECT_TRUE (TreeStreamValidator::isCompleteTree (atLimit.data(), atLimit.size()));

    auto overLimit = nested (limits.maxDepth + 1);
    EXPECT_FALSE (TreeStreamValidator::isCompleteTree (overLimit.data(), overLimit.size()));

    // A million levels: JUCE's reader would recurse a million times.
    auto deep = nested (1000000);
    EXPECT_FALSE (loadFromBytes (deep).ok);

    // Arrays inside arrays count as nesting too: 200 arrays, each the only element
    // of the one around it, with every byte count right.
    std::vector<juce::uint8> value { 0x01, 0x02, 7, 0x00 };   // the innermost, empty array

    for (int i = 1; i < 200; ++i)
    {
        LayoutBytes outer;
        outer.compressed (static_cast<juce::int64> (value.size()) + 3).raw ({ 7, 1, 1 });
        auto bytes = outer.get();
        bytes.insert (bytes.end(), value.begin(), value.end());
        value = bytes;
    }

    LayoutBytes arrays;
    arrays.text ("Asset").compressed (1).text ("list");
    for (auto byte : value)
        arrays.raw ({ byte });
    arrays.compressed (0);

    EXPECT_FALSE (TreeStreamValidator::isCompleteTree (arrays.data(), arrays.size()));
    TreeStreamValidator::Limits deeper;
    deeper.maxDepth = 1000;
    EXPECT_TRUE (TreeStreamValidator::isCompleteTree (arrays.data(), arrays.size(), deeper)) << "refused for its depth alone";
}

TEST (HostileDatabase, PropertyAndNameCountsAreBounded)
{
    TreeStreamValidator::Limits limits;

    auto withProperties = [] (int count, bool distinct)
    {
        LayoutBytes b;
        b.text ("Asset").compressed (count);
        for (int i = 0; i < count; ++i)
            b.text (distinct ? "p" + std::to_string (i) : "p").intValue (i);
        b.compressed (0);
        return b;
    };

    auto most = withProperties (limits.maxPropertiesPerNode, false);
    EXPECT_TRUE (TreeStreamValidator::isCompleteTree (most.data(), most.size()));
    auto tooMany = withProperties (limits.maxPropertiesPerNode + 1, false);
    EXPECT_FALSE (TreeStreamValidator::isCompleteTree (tooMany.data(), tooMany.size()));

    // Every distinct name joins JUCE's process-wide string pool, a sorted array.
    LayoutBytes names;
    const int numNodes = limits.maxDistinctNames + 1;
    names.text ("root").compressed (0).compressed (numNodes);
    for (int i = 0; i < numNodes; ++i)
        names.text ("n" + std::to_string (i)).compressed (0).compressed (0);
    EXPECT_FALSE (TreeStreamValidator::isCompleteTree (names.data(), names.size()));

    TreeStreamValidator::Limits fewNodes;
    fewNodes.maxNodes = 10;
    LayoutBytes wide;
    wide.text ("root").compressed (0).compressed (10);
    for (int i = 0; i < 10; ++i)
        wide.text ("n").compressed (0).compressed (0);
    EXPECT_FALSE (TreeStreamValidator::isCompleteTree (wide.data(), wide.size(), fewNodes)) << "11 nodes";
}

TEST (HostileDatabase, UnknownKindsAndValuesAreSkippedWhileTheRestLoads)
{
    auto bytes = libraryWithAssets (5, [] (LayoutBytes& b)
    {
        fileAssetNode (b, 0x66696C61, 1);
        fileAssetNode (b, 1234, 2);                        // an unknown kind
        b.text ("Asset").compressed (2)                     // no "type" at all, and an odd value
         .text ("id").intValue (3)
         .text ("future").compressed (4).raw ({ 42, 1, 2, 3 })
         .compressed (0);
        b.text ("Thing").compressed (1).text ("type").intValue (0x66696C61).compressed (0);  // node type is not looked at
        fileAssetNode (b, 0x616C6261, 5);                  // an album among the files
    });
    bytes.raw ({ 0xde, 0xad, 0xbe, 0xef });                 // after the tree: ignored

    AssetCollection library, albums;
    auto root = LibraryDatabase::readTree (bytes.data(), bytes.size());
    ASSERT_TRUE (root.isValid());
    library.readFrom (root.getChildWithName ("Assets"));
    albums.readFrom (root.getChildWithName ("Albums"));

    ASSERT_EQ (library.size(), 3);
    EXPECT_EQ (library.get (0)->getId(), 1);
    EXPECT_EQ (library.get (1)->getType(), assetTypeFile);
    EXPECT_EQ (library.get (2)->getId(), 5);
    EXPECT_EQ (library.get (2)->getType(), assetTypeAlbum);
    EXPECT_EQ (albums.size(), 0) << "no Albums node: an empty album collection";
}

TEST (HostileDatabase, StoredPathsThatNameNoPlainFileAreNotOpened)
{
    // A thumbnail path naming a device, a folder or a relative path must neither
    // block nor read without end.
    for (auto path : { "/dev/zero", "/dev/urandom", "/", "relative/thumb.jpg", "~nobody-here/x.jpg" })
    {
        auto bytes = libraryWithAssets (1, [path] (LayoutBytes& b)
        {
            b.text ("Asset").compressed (3)
             .text ("type").intValue (0x66696C61)
             .text ("thumburl").stringValue (path)
             .text ("url").stringValue (path)
             .compressed (0);
        });

        auto started = std::chrono::steady_clock::now();
        AssetCollection library;
        library.readFrom (LibraryDatabase::readTree (bytes.data(), bytes.size()).getChildWithName ("Assets"));
        ASSERT_EQ (library.size(), 1) << path;
        EXPECT_TRUE (library.get (0)->getThumbnail().isNull() || library.get (0)->getThumbnail().getWidth() == 1024) << path;
        EXPECT_LT (std::chrono::steady_clock::now() - started, std::chrono::seconds (5)) << path;
    }
}

TEST (HostileDatabase, InputsTheFuzzerFoundStayHarmless)
{
    // Every input that once broke the reader is kept in regressions/ (see
    // tools/fuzz-library-database); each must now load as the empty library or as a
    // complete tree, without crashing.
    juce::File folder (VORNIQ_LIBRARY_REGRESSIONS_DIR);
    auto inputs = folder.findChildFiles (juce::File::findFiles, false, "*.db");
    ASSERT_FALSE (inputs.isEmpty()) << "the regression inputs are missing from " << folder.getFullPathName();

    for (const auto& input : inputs)
    {
        juce::MemoryBlock bytes;
        ASSERT_TRUE (input.loadFileAsData (bytes));
        auto loaded = loadFromBytes (bytes.getData(), bytes.getSize());

        if (! loaded.ok)
        {
            EXPECT_EQ (loaded.numFiles + loaded.numAlbums, 0) << input.getFileName();
        }
    }
}
