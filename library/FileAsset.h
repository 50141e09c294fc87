// A media file of the library or of the camera: an asset with the file it stands for.
#pragma once

#include "library/Asset.h"

/**
    A recording (".mov", ".wav", ".m4a") as a library item. Its node gets the
    property "url" with the file's plain full path after the common ones.

    Threads: as Asset; everything here is for the message thread.
*/
class FileAsset : public Asset
{
public:
    /** An empty asset with no file and no placeholder, to be filled by readFrom. */
    FileAsset();

    /** An asset for f: the name is f's file name with its extension, then setFile. */
    explicit FileAsset (const juce::File& f);

    ~FileAsset() override;

    /** assetTypeFile. */
    int getType() const override;

    /** The common properties, then "url". */
    void writeTo (juce::ValueTree& node) const override;

    /** setFile with the file named by "url" (which always picks the placeholder for
        its extension, the thumbnail path still being empty), then the common reading,
        which puts the stored thumbnail in its place when its file exists. */
    void readFrom (const juce::ValueTree& node) override;

    /** The media file. */
    const juce::File& getFile() const noexcept  { return file; }

    /** Points the asset at f. Unless a file exists at the thumbnail path, the picture
        becomes the video placeholder for a ".mov" file (any case) and the audio
        placeholder for anything else. */
    void setFile (const juce::File& f);

    /** Renames the media file on disk to newName's base name with the file's current
        extension (whatever extension newName has is dropped). When that name is taken
        by another file, the folder's next free name with a bracketed number is used.
        On success newName becomes the final file name and true is returned; an empty
        newName, a name with a "/" in it or a failed move returns false and changes
        nothing. The display name
        is the caller's to change. */
    bool renameFile (juce::String& newName);

private:
    juce::File file;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FileAsset)
};
