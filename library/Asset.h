// One item of the media library: the fields every asset has, its id from the
// process-wide generator, and the node layout it stores itself in.
#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <juce_graphics/juce_graphics.h>

/** The kind of a FileAsset: the letters "fila" read as one big-endian 32-bit value. */
inline constexpr int assetTypeFile = 0x66696C61;

/** The kind of an AlbumAsset: the letters "alba" read as one big-endian 32-bit value. */
inline constexpr int assetTypeAlbum = 0x616C6261;

/** The property names of an asset's node, in the order in which they are set. */
namespace AssetProperties
{
    inline const juce::Identifier type     { "type" };
    inline const juce::Identifier id       { "id" };
    inline const juce::Identifier name     { "name" };
    inline const juce::Identifier thumbUrl { "thumburl" };
    inline const juce::Identifier importMs { "importms" };
    inline const juce::Identifier url      { "url" };
}

/**
    The abstract library item: a media file or an album. Assets are owned by one
    AssetCollection; everybody else holds plain pointers that stay valid until the
    collection removes or clears them.

    Threads: the message thread creates and changes assets. The only exception is the
    thumbnail thread, which calls setThumbnailFile on camera assets under the rules
    of the thumbnail updater; nothing here is locked.
*/
class Asset
{
public:
    /** Draws a new id from the shared generator, sets the name, no thumbnail file, a
        null picture and the import time to now. */
    explicit Asset (const juce::String& name);

    virtual ~Asset();

    /** The kind as a four-character code: assetTypeFile or assetTypeAlbum. */
    virtual int getType() const = 0;

    /** Stores "id", "name", "thumburl" and "importms", in that order, into node.
        Subclasses append their own after calling this. Message thread. */
    virtual void writeTo (juce::ValueTree& node) const;

    /** Restores the four stored fields from node (a missing property reads as 0 or
        empty), then decodes the thumbnail file if one exists at the stored path.
        Message thread. */
    virtual void readFrom (const juce::ValueTree& node);

    /** The id within the library; 0 is also used to mean "none" by some callers. */
    int getId() const noexcept                      { return id; }

    /** The name shown under the tile. */
    const juce::String& getName() const noexcept    { return name; }

    /** Only assigns the name: the media file is not touched and nobody is told. */
    void setName (const juce::String& newName)      { name = newName; }

    /** The full path of the thumbnail JPEG file, or empty when there is none. */
    const juce::String& getThumbnailUrl() const noexcept { return thumbnailUrl; }

    /** The picture shown on the tile: the decoded thumbnail, a shared placeholder, or
        a null image when the thumbnail file could not be decoded. The decoded
        thumbnail is at most ThumbnailDecoder::maxWidth pixels wide; whoever needs the
        full-size picture reads getThumbnailUrl's file itself. */
    const juce::Image& getThumbnail() const noexcept { return thumbnail; }

    /** Milliseconds since 1970-01-01 UTC at which this asset object was first made
        (the import or the album's creation), kept across restarts by the database. */
    juce::int64 getImportTime() const noexcept      { return importTime; }

    /** The file a stored path names: paths that are not absolute ("/...") give an
        empty File, since the program only ever stores absolute paths and JUCE would
        resolve anything else against the working folder. Any thread. */
    static juce::File fileFromStoredPath (const juce::String& storedPath);

    /** If f exists, remembers its full path and decodes it as the picture (a null
        image when it cannot be decoded); if f does not exist nothing changes.
        Message thread, or the thumbnail thread for camera assets. */
    void setThumbnailFile (const juce::File& f);

protected:
    /** Replaces the picture without touching the thumbnail path (placeholders). */
    void setThumbnailImage (const juce::Image& image)   { thumbnail = image; }

    /** True when a file exists at the stored thumbnail path. */
    bool hasThumbnailFile() const;

private:
    int id;
    juce::String name;
    juce::String thumbnailUrl;
    juce::Image thumbnail;
    juce::int64 importTime;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Asset)
};
