// The library database "Assets.db": reading it into the two library collections and
// writing them back, without any user interface, for the browser, the command-line
// tool and the tests alike.
#pragma once

#include "library/AssetCollection.h"

/**
    The database is one ValueTree in JUCE's binary stream form: a root
    "AssetLibrary" with an "Assets" node holding the library's media files and an
    "Albums" node holding its albums, each an "Asset" node per asset in collection
    order.

    Reading is safe against any file: the data is checked by TreeStreamValidator
    before JUCE reads it, and whatever cannot be read gives the empty library.
    Saving never loses the library: the new database is written beside the old one,
    flushed to the disk and then put in the old one's place with one rename, so a
    save that fails, or a process killed while saving, leaves the previous file
    whole.

    The browser owns the collections; its loadLibrary and saveLibrary call these
    with the folder named by the "libraryPath" setting, which always ends with a
    path separator: LibraryDatabase::loadLibrary (juce::File (libraryPath), ...).

    Threads: the functions that take collections run where the collections may be
    changed (the message thread); the others may be called on any thread.
*/
namespace LibraryDatabase
{
    /** The database's file name in the library folder. */
    inline constexpr const char* fileName = "Assets.db";

    /** Databases larger than this are refused rather than read (a library of a
        million assets is about a quarter of it). */
    inline constexpr juce::int64 largestFileBytes = 256 * 1024 * 1024;

    /** libraryFolder's child "Assets.db". */
    juce::File getDatabaseFile (const juce::File& libraryFolder);

    /** The tree of the two collections: root "AssetLibrary", then "Assets" filled by
        library, then "Albums" filled by albums. */
    juce::ValueTree makeTree (const AssetCollection& library, const AssetCollection& albums);

    /** The tree in the binary form that is stored. */
    juce::MemoryBlock toBytes (const AssetCollection& library, const AssetCollection& albums);

    /** Reads the tree stored in data, or an invalid tree when data does not hold one
        complete, well-formed tree (empty data included). */
    juce::ValueTree readTree (const void* data, size_t numBytes);

    /** Empties both collections silently, then fills them from libraryFolder's
        database: "Assets" into library, "Albums" into albums (each telling its
        listeners once, even when nothing was read). A missing database is created
        as an empty file, with the folder when that is missing too, and gives the
        empty library, as does an empty file. A database that cannot be opened, is
        too large or is damaged also leaves both collections empty; the result then
        says why (the browser does not show it; the command-line tool does). */
    juce::Result loadLibrary (const juce::File& libraryFolder, AssetCollection& library, AssetCollection& albums);

    /** Writes both collections to libraryFolder's database, replacing it as a whole:
        on failure (no such folder, no room, no permission, the database is a folder)
        the previous database is left as it was and the result says why. */
    juce::Result saveLibrary (const juce::File& libraryFolder, const AssetCollection& library, const AssetCollection& albums);

    /** Replaces target with data in one step: a new file beside it, written and
        flushed to the disk, renamed over target, and the folder flushed. The new
        file keeps the permissions of the one it replaces. On failure target is left
        as it was and no new file is left behind. */
    juce::Result replaceFileContent (const juce::File& target, const void* data, size_t numBytes);
}
