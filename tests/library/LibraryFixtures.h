// Libraries with known content for the tests: assets restored from nodes, so that
// their ids and import times are chosen by the test instead of drawn.
#pragma once

#include "library/AlbumAsset.h"
#include "library/AssetCollection.h"
#include "library/FileAsset.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

/** A file asset as the database would restore it. */
std::unique_ptr<FileAsset> makeStoredFileAsset (int id, const juce::String& name, const juce::String& path,
                                                const juce::String& thumbnailPath, juce::int64 importMs);

/** An album as the database would restore it. */
std::unique_ptr<AlbumAsset> makeStoredAlbum (int id, const juce::String& name, const juce::String& thumbnailPath,
                                             juce::int64 importMs, const std::vector<int>& members);

/** Appends numFiles files and numAlbums albums (each holding a few of the files), all
    named after tag, to library and albums. The same arguments give the same library. */
void fillNumberedLibrary (AssetCollection& library, AssetCollection& albums,
                          const juce::String& tag, int numFiles, int numAlbums);

/** The stored form of both collections: equal bytes mean equal libraries. */
juce::MemoryBlock storedBytes (const AssetCollection& library, const AssetCollection& albums);

/** A picture whose left half is red and right half blue, on nothing else, so
    that a decoded copy shows whether colours and sides survived. */
juce::Image makeTestPicture (int width, int height);

/** makeTestPicture written as a JPEG (JUCE's writer, quality 0.9) or a PNG. */
void writeTestJpeg (const juce::File& file, int width, int height);
void writeTestPng (const juce::File& file, int width, int height);

/** A listener that writes "<name>" for collectionChanged and "<name>:<asset id>" for
    assetChanged into a shared log, and then runs an optional action. */
class RecordingListener : public AssetCollectionListener
{
public:
    RecordingListener (std::vector<std::string>& sharedLog, std::string listenerName)
        : log (sharedLog), name (std::move (listenerName)) {}

    void collectionChanged() override
    {
        log.push_back (name);

        if (onCall)
            onCall();
    }

    void assetChanged (Asset* changedAsset) override
    {
        log.push_back (name + ":" + std::to_string (changedAsset->getId()));

        if (onCall)
            onCall();
    }

    std::function<void()> onCall;

private:
    std::vector<std::string>& log;
    std::string name;
};

/**
    Bytes of JUCE's binary tree stream built by hand, straight from the documented
    layout and without JUCE's writer: zero-terminated UTF-8 names, compressed ints
    (a byte with the number of magnitude bytes, 0x80 for negative values, then the
    magnitude little-endian), and values as a compressed byte count, a marker and
    the data.
*/
class LayoutBytes
{
public:
    LayoutBytes& raw (std::initializer_list<int> values)
    {
        for (auto v : values)
            bytes.push_back (static_cast<juce::uint8> (v));
        return *this;
    }

    LayoutBytes& text (const std::string& utf8)
    {
        bytes.insert (bytes.end(), utf8.begin(), utf8.end());
        bytes.push_back (0);
        return *this;
    }

    LayoutBytes& compressed (juce::int64 value)
    {
        auto magnitude = static_cast<juce::uint64> (value < 0 ? -value : value);
        std::vector<juce::uint8> digits;

        for (; magnitude > 0; magnitude >>= 8)
            digits.push_back (static_cast<juce::uint8> (magnitude & 0xff));

        bytes.push_back (static_cast<juce::uint8> (digits.size() | (value < 0 ? 0x80 : 0)));
        bytes.insert (bytes.end(), digits.begin(), digits.end());
        return *this;
    }

    LayoutBytes& littleEndian (juce::uint64 value, int numBytes)
    {
        for (int i = 0; i < numBytes; ++i)
            bytes.push_back (static_cast<juce::uint8> ((value >> (8 * i)) & 0xff));
        return *this;
    }

    LayoutBytes& intValue (int value)
    {
        return compressed (5).raw ({ 1 }).littleEndian (static_cast<juce::uint32> (value), 4);
    }

    LayoutBytes& int64Value (juce::int64 value)
    {
        return compressed (9).raw ({ 6 }).littleEndian (static_cast<juce::uint64> (value), 8);
    }

    LayoutBytes& stringValue (const std::string& utf8)
    {
        compressed (static_cast<juce::int64> (utf8.size()) + 2).raw ({ 5 });
        return text (utf8);
    }

    const std::vector<juce::uint8>& get() const noexcept { return bytes; }
    size_t size() const noexcept { return bytes.size(); }
    const void* data() const noexcept { return bytes.data(); }

private:
    std::vector<juce::uint8> bytes;
};

/** Writes bytes as libraryFolder's Assets.db, creating the folder. */
void writeDatabase (const juce::File& libraryFolder, const void* data, size_t numBytes);

/** The bytes of libraryFolder's Assets.db. */
std::vector<juce::uint8> readDatabase (const juce::File& libraryFolder);
