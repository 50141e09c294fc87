#include "library/FileAsset.h"

#include "library/AssetPlaceholders.h"
#include "library/StoredValues.h"

FileAsset::FileAsset()
    : Asset ({})
{
}

FileAsset::FileAsset (const juce::File& f)
    : Asset (f.getFileName())
{
    setFile (f);
}

FileAsset::~FileAsset() = default;

int FileAsset::getType() const
{
    return assetTypeFile;
}

void FileAsset::writeTo (juce::ValueTree& node) const
{
    Asset::writeTo (node);
    node.setProperty (AssetProperties::url, file.getFullPathName(), nullptr);
}

void FileAsset::readFrom (const juce::ValueTree& node)
{
    setFile (fileFromStoredPath (StoredValues::toText (node.getProperty (AssetProperties::url))));
    Asset::readFrom (node);
}

void FileAsset::setFile (const juce::File& f)
{
    file = f;

    if (! hasThumbnailFile())
        setThumbnailImage (file.hasFileExtension (".mov") ? AssetPlaceholders::getVideo()
                                                          : AssetPlaceholders::getAudio());
}

bool FileAsset::renameFile (juce::String& newName)
{
    if (newName.isEmpty())
        return false;

    auto base = newName.containsChar ('.') ? newName.upToLastOccurrenceOf (".", false, false)
                                           : newName;

    // The new name is a name in the file's own folder, never a path to elsewhere.
    if (base.containsChar ('/'))
        return false;

    auto extension = file.getFileExtension();
    auto folder = file.getParentDirectory();
    auto target = folder.getChildFile (base + extension);

    if (target.exists() && target != file)
        target = folder.getNonexistentChildFile (base, extension, true);

    if (! file.moveFileTo (target))
        return false;

    newName = target.getFileName();
    file = target;
    return true;
}
