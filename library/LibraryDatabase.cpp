#include "library/LibraryDatabase.h"

#include "library/StoredValues.h"
#include "library/ThumbnailDecoder.h"
#include "library/TreeStreamValidator.h"

#include <atomic>
#include <cerrno>
#include <system_error>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    const juce::Identifier rootNodeType   { "AssetLibrary" };
    const juce::Identifier assetsNodeType { "Assets" };
    const juce::Identifier albumsNodeType { "Albums" };

    juce::String describeError (int errorNumber)
    {
        return std::generic_category().message (errorNumber);
    }

    juce::String quoted (const juce::File& f)
    {
        return "\"" + f.getFullPathName() + "\"";
    }

    // Reads the whole database. Only a regular file is opened: a pipe or a device in
    // its place would block or never end.
    juce::Result readDatabaseFile (const juce::File& db, juce::MemoryBlock& content)
    {
        struct stat info {};

        if (::stat (db.getFullPathName().toRawUTF8(), &info) != 0)
            return juce::Result::fail ("Cannot open the library database " + quoted (db) + ": " + describeError (errno) + ".");

        if (! S_ISREG (info.st_mode))
            return juce::Result::fail ("The library database " + quoted (db) + " is not a file.");

        if (info.st_size > LibraryDatabase::largestFileBytes)
            return juce::Result::fail ("The library database " + quoted (db) + " is too large to be a library ("
                                       + juce::String (static_cast<juce::int64> (info.st_size)) + " bytes).");

        juce::FileInputStream in (db);

        if (in.failedToOpen())
            return juce::Result::fail ("Cannot open the library database " + quoted (db) + ": " + in.getStatus().getErrorMessage() + ".");

        // The size may change while we read; never read past the limit.
        in.readIntoMemoryBlock (content, LibraryDatabase::largestFileBytes + 1);

        if (static_cast<juce::int64> (content.getSize()) > LibraryDatabase::largestFileBytes)
        {
            content.reset();
            return juce::Result::fail ("The library database " + quoted (db) + " is too large to be a library.");
        }

        return juce::Result::ok();
    }

    // The thumbnail files that reading the tree may decode: those of the assets of a
    // known kind (whether the files exist, the batch finds out in parallel).
    juce::StringArray storedThumbnailPaths (const juce::ValueTree& root)
    {
        juce::StringArray paths;

        for (auto* nodeType : { &assetsNodeType, &albumsNodeType })
        {
            for (const auto& node : root.getChildWithName (*nodeType))
            {
                auto type = StoredValues::toInt (node.getProperty (AssetProperties::type));
                auto file = Asset::fileFromStoredPath (StoredValues::toText (node.getProperty (AssetProperties::thumbUrl)));

                if ((type == assetTypeFile || type == assetTypeAlbum) && file != juce::File())
                    paths.add (file.getFullPathName());
            }
        }

        return paths;
    }

    class FileDescriptor
    {
    public:
        explicit FileDescriptor (int descriptor) noexcept : fd (descriptor) {}
        ~FileDescriptor()                       { if (fd >= 0) ::close (fd); }

        int get() const noexcept                { return fd; }

        int close() noexcept
        {
            auto result = ::close (fd);
            fd = -1;
            return result;
        }

    private:
        int fd;

        JUCE_DECLARE_NON_COPYABLE (FileDescriptor)
    };

    bool writeAll (int fd, const void* data, size_t numBytes)
    {
        auto* bytes = static_cast<const char*> (data);

        while (numBytes > 0)
        {
            auto written = ::write (fd, bytes, juce::jmin (numBytes, static_cast<size_t> (1 << 20)));

            if (written < 0)
            {
                if (errno == EINTR)
                    continue;

                return false;
            }

            bytes += written;
            numBytes -= static_cast<size_t> (written);
        }

        return true;
    }

    // A name beside target that no other save uses: the process id and a counter,
    // and O_EXCL against anything left behind by a save that was killed.
    int createSiblingFile (const juce::File& target, juce::String& path)
    {
        static std::atomic<unsigned int> counter { 0 };

        for (int attempt = 0; attempt < 1000; ++attempt)
        {
            path = target.getParentDirectory()
                         .getChildFile ("." + target.getFileName() + "." + juce::String (static_cast<int> (::getpid()))
                                        + "." + juce::String (counter++) + ".saving")
                         .getFullPathName();

            auto fd = ::open (path.toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);

            if (fd >= 0 || errno != EEXIST)
                return fd;
        }

        errno = EEXIST;
        return -1;
    }
}

namespace
{
    // Files beside target that a save killed before its rename left behind: their
    // process has gone. A running save (this process or another) keeps its file.
    void removeLeftoversOfKilledSaves (const juce::File& target)
    {
        auto prefix = "." + target.getFileName() + ".";

        for (auto& file : target.getParentDirectory().findChildFiles (juce::File::findFiles, false, prefix + "*.saving"))
        {
            auto pidText = file.getFileName().fromFirstOccurrenceOf (prefix, false, false).upToFirstOccurrenceOf (".", false, false);

            if (pidText.isEmpty() || ! pidText.containsOnly ("0123456789"))
                continue;

            auto pid = static_cast<pid_t> (pidText.getIntValue());

            if (pid > 0 && pid != ::getpid() && ::kill (pid, 0) != 0 && errno == ESRCH)
                file.deleteFile();
        }
    }
}

juce::File LibraryDatabase::getDatabaseFile (const juce::File& libraryFolder)
{
    return libraryFolder.getChildFile (fileName);
}

juce::ValueTree LibraryDatabase::makeTree (const AssetCollection& library, const AssetCollection& albums)
{
    juce::ValueTree root (rootNodeType);

    juce::ValueTree assetsNode (assetsNodeType);
    library.writeTo (assetsNode);
    root.appendChild (assetsNode, nullptr);

    juce::ValueTree albumsNode (albumsNodeType);
    albums.writeTo (albumsNode);
    root.appendChild (albumsNode, nullptr);

    return root;
}

juce::MemoryBlock LibraryDatabase::toBytes (const AssetCollection& library, const AssetCollection& albums)
{
    juce::MemoryOutputStream out;
    makeTree (library, albums).writeToStream (out);
    return out.getMemoryBlock();
}

juce::ValueTree LibraryDatabase::readTree (const void* data, size_t numBytes)
{
    if (! TreeStreamValidator::isCompleteTree (data, numBytes))
        return {};

    return juce::ValueTree::readFromData (data, numBytes);
}

juce::Result LibraryDatabase::loadLibrary (const juce::File& libraryFolder, AssetCollection& library, AssetCollection& albums)
{
    library.clear();
    albums.clear();

    auto db = getDatabaseFile (libraryFolder);
    auto result = juce::Result::ok();
    juce::ValueTree root;

    if (! db.exists())
    {
        auto created = db.create();

        if (created.failed())
            result = juce::Result::fail ("Cannot create the library database " + quoted (db) + ": " + created.getErrorMessage() + ".");
    }
    else
    {
        juce::MemoryBlock content;
        result = readDatabaseFile (db, content);

        if (result.wasOk() && content.getSize() > 0)
        {
            root = readTree (content.getData(), content.getSize());

            if (! root.isValid())
                result = juce::Result::fail ("The library database " + quoted (db) + " is damaged and cannot be read.");
        }
    }

    // Every thumbnail is decoded as its asset is read; decoding them all first, on
    // every core, makes a library of large thumbnails load several times faster.
    const ThumbnailDecoder::Batch thumbnails (storedThumbnailPaths (root));

    library.readFrom (root.getChildWithName (assetsNodeType));
    albums.readFrom (root.getChildWithName (albumsNodeType));
    return result;
}

juce::Result LibraryDatabase::saveLibrary (const juce::File& libraryFolder, const AssetCollection& library, const AssetCollection& albums)
{
    if (! libraryFolder.isDirectory())
        return juce::Result::fail ("Cannot save the library: the library folder " + quoted (libraryFolder) + " does not exist.");

    auto content = toBytes (library, albums);
    return replaceFileContent (getDatabaseFile (libraryFolder), content.getData(), content.getSize());
}

juce::Result LibraryDatabase::replaceFileContent (const juce::File& target, const void* data, size_t numBytes)
{
    auto fail = [&target] (const juce::String& why)
    {
        return juce::Result::fail ("Cannot write " + quoted (target) + ": " + why + ".");
    };

    if (target.isDirectory())
        return fail ("it is a folder");

    juce::String newPath;
    FileDescriptor fd (createSiblingFile (target, newPath));

    if (fd.get() < 0)
        return fail (describeError (errno));

    auto abandon = [&] (int errorNumber)
    {
        if (fd.get() >= 0)
            fd.close();

        ::unlink (newPath.toRawUTF8());
        return fail (describeError (errorNumber));
    };

    struct stat previous {};

    if (::stat (target.getFullPathName().toRawUTF8(), &previous) == 0 && S_ISREG (previous.st_mode))
        if (::fchmod (fd.get(), previous.st_mode & 07777) != 0)
            return abandon (errno);

    if (! writeAll (fd.get(), data, numBytes) || ::fsync (fd.get()) != 0 || fd.close() != 0)
        return abandon (errno);

    if (::rename (newPath.toRawUTF8(), target.getFullPathName().toRawUTF8()) != 0)
        return abandon (errno);

    // The rename itself reaches the disk with the folder's entry.
    auto folderPath = target.getParentDirectory().getFullPathName();
    FileDescriptor folder (::open (folderPath.toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));

    if (folder.get() >= 0)
        ::fsync (folder.get());

    removeLeftoversOfKilledSaves (target);
    return juce::Result::ok();
}
