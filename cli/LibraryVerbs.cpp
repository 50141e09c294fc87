// vorniq-cli library: reading and changing a library folder's database from the
// command line, through the same loading and saving code as the program's browser.
#include "cli/JsonText.h"
#include "cli/Verb.h"

#include "library/AlbumAsset.h"
#include "library/FileAsset.h"
#include "library/LibraryDatabase.h"

#include <iostream>
#include <limits>

namespace
{
    int runLibrary (const juce::StringArray& arguments);

    const Verb::Registration registration ("library",
                                           { "library dump <library folder>",
                                             "library add <library folder> <media file>...",
                                             "library album <library folder> <name> [<member id>...]" },
                                           runLibrary);

    const Verb& libraryVerb()
    {
        return *Verb::find ("library");
    }

    // The library folder named on the command line, which must exist: the tool never
    // makes a library somewhere a typing error pointed it to.
    bool findLibraryFolder (const juce::String& argument, juce::File& folder)
    {
        folder = fileFromArgument (argument);

        if (folder.isDirectory())
            return true;

        reportFailure ("no such library folder: \"" + folder.getFullPathName() + "\"");
        return false;
    }

    juce::String typeLetters (int type)
    {
        const char letters[] = { static_cast<char> ((type >> 24) & 0xff), static_cast<char> ((type >> 16) & 0xff),
                                 static_cast<char> ((type >> 8) & 0xff), static_cast<char> (type & 0xff) };
        return juce::String::fromUTF8 (letters, 4);
    }

    void writeAssetJson (juce::MemoryOutputStream& out, const Asset& asset)
    {
        const juce::String indent ("      ");

        out << "    {\n"
            << indent << "\"type\": " << JsonText::quoted (typeLetters (asset.getType())) << ",\n"
            << indent << "\"id\": " << asset.getId() << ",\n"
            << indent << "\"name\": " << JsonText::quoted (asset.getName()) << ",\n"
            << indent << "\"thumburl\": " << JsonText::quoted (asset.getThumbnailUrl()) << ",\n"
            << indent << "\"importms\": " << juce::String (asset.getImportTime());

        if (auto* file = dynamic_cast<const FileAsset*> (&asset))
            out << ",\n" << indent << "\"url\": " << JsonText::quoted (file->getFile().getFullPathName());

        if (auto* album = dynamic_cast<const AlbumAsset*> (&asset))
        {
            out << ",\n" << indent << "\"members\": [";

            for (int i = 0; i < album->getNumMembers(); ++i)
                out << (i > 0 ? ", " : "") << album->getMember (i);

            out << "]";
        }

        out << "\n    }";
    }

    void writeCollectionJson (juce::MemoryOutputStream& out, const char* key, const AssetCollection& collection)
    {
        out << "  \"" << key << "\": [";

        for (int i = 0; i < collection.size(); ++i)
        {
            out << (i > 0 ? ",\n" : "\n");
            writeAssetJson (out, *collection.get (i));
        }

        out << (collection.size() > 0 ? "\n  ]" : "]");
    }

    // Loads the folder's library for a change, refusing to go on with a database
    // that could not be read: saving then would replace it with an empty library.
    bool loadForChange (const juce::File& folder, AssetCollection& library, AssetCollection& albums)
    {
        auto loaded = LibraryDatabase::loadLibrary (folder, library, albums);

        if (loaded.wasOk())
            return true;

        reportFailure (loaded.getErrorMessage() + " Nothing was changed.");
        return false;
    }

    bool save (const juce::File& folder, const AssetCollection& library, const AssetCollection& albums)
    {
        auto saved = LibraryDatabase::saveLibrary (folder, library, albums);

        if (saved.wasOk())
            return true;

        reportFailure (saved.getErrorMessage() + " The library database was left as it was.");
        return false;
    }

    int dump (const juce::StringArray& arguments)
    {
        if (arguments.size() != 1)
            return reportUsageError ("library dump takes one library folder", libraryVerb());

        juce::File folder;

        if (! findLibraryFolder (arguments[0], folder))
            return ExitStatus::failure;

        AssetCollection library, albums;

        // A folder without a database holds the empty library; reading it must not
        // leave a new file behind, so the database is only loaded when it is there.
        if (LibraryDatabase::getDatabaseFile (folder).exists())
        {
            auto loaded = LibraryDatabase::loadLibrary (folder, library, albums);

            if (loaded.failed())
                return reportFailure (loaded.getErrorMessage());
        }

        juce::MemoryOutputStream out;
        out << "{\n";
        writeCollectionJson (out, "Assets", library);
        out << ",\n";
        writeCollectionJson (out, "Albums", albums);
        out << "\n}\n";

        std::cout.write (static_cast<const char*> (out.getData()), static_cast<std::streamsize> (out.getDataSize()));
        std::cout.flush();
        return std::cout.good() ? ExitStatus::success : reportFailure ("cannot write to standard output");
    }

    int add (const juce::StringArray& arguments)
    {
        if (arguments.size() < 2)
            return reportUsageError ("library add takes a library folder and at least one media file", libraryVerb());

        juce::File folder;

        if (! findLibraryFolder (arguments[0], folder))
            return ExitStatus::failure;

        juce::Array<juce::File> mediaFiles;

        for (int i = 1; i < arguments.size(); ++i)
        {
            auto file = fileFromArgument (arguments[i]);

            if (! file.existsAsFile())
                return reportFailure ("no such media file: \"" + file.getFullPathName() + "\". Nothing was changed.");

            mediaFiles.add (file);
        }

        AssetCollection library, albums;

        if (! loadForChange (folder, library, albums))
            return ExitStatus::failure;

        juce::StringArray newIds;

        for (auto& file : mediaFiles)
        {
            auto asset = std::make_unique<FileAsset> (file);
            newIds.add (juce::String (asset->getId()));
            library.add (std::move (asset));
        }

        if (! save (folder, library, albums))
            return ExitStatus::failure;

        // The new ids, one a line, so that a script can put the files in an album.
        std::cout << newIds.joinIntoString ("\n") << std::endl;
        return ExitStatus::success;
    }

    bool parseId (const juce::String& text, int& id)
    {
        auto trimmed = text.trim();
        auto digits = trimmed.startsWithChar ('-') ? trimmed.substring (1) : trimmed;

        if (digits.isEmpty() || ! digits.containsOnly ("0123456789") || digits.length() > 10)
            return false;

        auto value = trimmed.getLargeIntValue();

        if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
            return false;

        id = static_cast<int> (value);
        return true;
    }

    int album (const juce::StringArray& arguments)
    {
        if (arguments.size() < 2)
            return reportUsageError ("library album takes a library folder and a name", libraryVerb());

        juce::File folder;

        if (! findLibraryFolder (arguments[0], folder))
            return ExitStatus::failure;

        const auto& name = arguments[1];

        if (name.isEmpty())
            return reportUsageError ("an album needs a name", libraryVerb());

        std::vector<int> members;

        for (int i = 2; i < arguments.size(); ++i)
        {
            int id = 0;

            if (! parseId (arguments[i], id))
                return reportUsageError ("\"" + arguments[i] + "\" is not an asset id", libraryVerb());

            members.push_back (id);
        }

        AssetCollection library, albums;

        if (! loadForChange (folder, library, albums))
            return ExitStatus::failure;

        // Members are files of the library; an id that names none is a mistake the
        // album would carry silently.
        for (auto id : members)
            if (dynamic_cast<FileAsset*> (library.findById (id)) == nullptr)
                return reportFailure ("the library has no media file with the id " + juce::String (id) + ". Nothing was changed.");

        auto newAlbum = std::make_unique<AlbumAsset> (name);

        for (auto id : members)
            newAlbum->addMember (id);

        auto newId = newAlbum->getId();
        albums.add (std::move (newAlbum));

        if (! save (folder, library, albums))
            return ExitStatus::failure;

        std::cout << newId << std::endl;
        return ExitStatus::success;
    }

    int runLibrary (const juce::StringArray& arguments)
    {
        const auto& action = arguments[0];
        auto rest = arguments;
        rest.remove (0);

        if (action == "dump")   return dump (rest);
        if (action == "add")    return add (rest);
        if (action == "album")  return album (rest);

        return reportUsageError (action.isEmpty() ? juce::String ("library needs an action")
                                                  : "unknown library action \"" + action + "\"",
                                 libraryVerb());
    }
}
