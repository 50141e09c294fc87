#include "LibraryFixtures.h"

#include "library/LibraryDatabase.h"

std::unique_ptr<FileAsset> makeStoredFileAsset (int id, const juce::String& name, const juce::String& path,
                                                const juce::String& thumbnailPath, juce::int64 importMs)
{
    juce::ValueTree node (AssetCollection::assetNodeType);
    node.setProperty (AssetProperties::type, assetTypeFile, nullptr);
    node.setProperty (AssetProperties::id, id, nullptr);
    node.setProperty (AssetProperties::name, name, nullptr);
    node.setProperty (AssetProperties::thumbUrl, thumbnailPath, nullptr);
    node.setProperty (AssetProperties::importMs, importMs, nullptr);
    node.setProperty (AssetProperties::url, path, nullptr);

    auto asset = std::make_unique<FileAsset>();
    asset->readFrom (node);
    return asset;
}

std::unique_ptr<AlbumAsset> makeStoredAlbum (int id, const juce::String& name, const juce::String& thumbnailPath,
                                             juce::int64 importMs, const std::vector<int>& members)
{
    juce::ValueTree node (AssetCollection::assetNodeType);
    node.setProperty (AssetProperties::type, assetTypeAlbum, nullptr);
    node.setProperty (AssetProperties::id, id, nullptr);
    node.setProperty (AssetProperties::name, name, nullptr);
    node.setProperty (AssetProperties::thumbUrl, thumbnailPath, nullptr);
    node.setProperty (AssetProperties::importMs, importMs, nullptr);

    for (auto member : members)
    {
        juce::ValueTree child (AlbumAsset::memberNodeType);
        child.setProperty (AssetProperties::id, member, nullptr);
        node.appendChild (child, nullptr);
    }

    auto album = std::make_unique<AlbumAsset> (juce::String());
    album->readFrom (node);
    return album;
}

void fillNumberedLibrary (AssetCollection& library, AssetCollection& albums,
                          const juce::String& tag, int numFiles, int numAlbums)
{
    const auto firstId = static_cast<int> (tag.hashCode() & 0x0fffffff) * 7;
    const juce::int64 firstImport = 1700000000000;

    for (int i = 0; i < numFiles; ++i)
    {
        auto name = tag + "-" + juce::String (i).paddedLeft ('0', 5) + (i % 3 == 0 ? ".wav" : ".MOV");
        library.add (makeStoredFileAsset (firstId + i, name, "/media/camera/DCIM/" + tag + "/" + name,
                                          "/media/library/Thumbnails/" + tag + "-" + juce::String (i) + ".jpg",
                                          firstImport + i * 1000));
    }

    for (int i = 0; i < numAlbums; ++i)
    {
        std::vector<int> members;

        for (int m = 0; m < 5 && numFiles > 0; ++m)
            members.push_back (firstId + (i * 5 + m) % numFiles);

        albums.add (makeStoredAlbum (-(firstId + i), tag + " album " + juce::String (i), {},
                                     firstImport + numFiles * 1000 + i, members));
    }
}

juce::MemoryBlock storedBytes (const AssetCollection& library, const AssetCollection& albums)
{
    return LibraryDatabase::toBytes (library, albums);
}

juce::Image makeTestPicture (int width, int height)
{
    juce::Image picture (juce::Image::RGB, width, height, true);
    juce::Graphics g (picture);
    g.setColour (juce::Colour (0xffd02020));
    g.fillRect (0, 0, width / 2, height);
    g.setColour (juce::Colour (0xff2040d0));
    g.fillRect (width / 2, 0, width - width / 2, height);
    return picture;
}

namespace
{
    void writePicture (const juce::File& file, const juce::Image& picture, juce::ImageFileFormat& format)
    {
        file.deleteFile();
        juce::FileOutputStream out (file);
        jassert (out.openedOk());
        format.writeImageToStream (picture, out);
    }
}

void writeTestJpeg (const juce::File& file, int width, int height)
{
    juce::JPEGImageFormat jpeg;
    jpeg.setQuality (0.9f);
    writePicture (file, makeTestPicture (width, height), jpeg);
}

void writeTestPng (const juce::File& file, int width, int height)
{
    juce::PNGImageFormat png;
    writePicture (file, makeTestPicture (width, height), png);
}

void writeDatabase (const juce::File& libraryFolder, const void* data, size_t numBytes)
{
    libraryFolder.createDirectory();
    auto db = LibraryDatabase::getDatabaseFile (libraryFolder);

    // JUCE's replaceWithData deletes the file for empty data.
    if (numBytes == 0)
    {
        db.deleteFile();
        db.create();
        return;
    }

    db.replaceWithData (data, numBytes);
}

std::vector<juce::uint8> readDatabase (const juce::File& libraryFolder)
{
    juce::MemoryBlock content;
    LibraryDatabase::getDatabaseFile (libraryFolder).loadFileAsData (content);
    auto* begin = static_cast<const juce::uint8*> (content.getData());
    return std::vector<juce::uint8> (begin, begin + content.getSize());
}
