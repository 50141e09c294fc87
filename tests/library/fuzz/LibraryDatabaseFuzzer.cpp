// libFuzzer target: any bytes as "Assets.db", read the way loadLibrary reads them.
// Beyond surviving, what is read must save and read back unchanged.
#include "library/LibraryDatabase.h"

#include "FuzzerSetup.h"

namespace
{
    [[noreturn]] void checkFailed (const char* what)
    {
        std::fprintf (stderr, "LIBRARY CHECK FAILED: %s\n", what);
        std::abort();
    }
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    FuzzerSetup::start (true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    AssetCollection library, albums;
    auto root = LibraryDatabase::readTree (data, size);
    library.readFrom (root.getChildWithName ("Assets"));
    albums.readFrom (root.getChildWithName ("Albums"));

    if (! root.isValid() && library.size() + albums.size() != 0)
        checkFailed ("unreadable-but-not-empty");

    auto saved = LibraryDatabase::toBytes (library, albums);
    AssetCollection libraryAgain, albumsAgain;
    auto again = LibraryDatabase::readTree (saved.getData(), saved.getSize());

    if (! again.isValid())
        checkFailed ("own-save-unreadable");

    libraryAgain.readFrom (again.getChildWithName ("Assets"));
    albumsAgain.readFrom (again.getChildWithName ("Albums"));

    if (LibraryDatabase::toBytes (libraryAgain, albumsAgain) != saved)
        checkFailed ("own-save-reads-back-different");

    return 0;
}
