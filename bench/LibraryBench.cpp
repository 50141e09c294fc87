// library-bench: loading and saving libraries of 10,000 and 100,000 assets, and
// loading 1,000 assets whose thumbnails are 3840 x 2160 JPEGs, with times, resident
// memory and ratios against references measured in the same run (JUCE's own tree
// reader and writer on the same data, JUCE's own full-size JPEG decode of the same
// files).
//
//   library-bench [<bench media folder>] [<test media folder>]
//
// Every measurement runs in a child process of its own (this program again, with
// --scenario), so that the resident memory it prints belongs to that measurement
// alone. Its files go to <bench media folder>/library (a temporary folder without
// one); the 4K thumbnails are made there with the ffmpeg tool on the first run and
// kept for the next. The test media folder is not used.
#include "library/LibraryDatabase.h"
#include "library/AlbumAsset.h"
#include "library/FileAsset.h"
#include "library/ThumbnailDecoder.h"

#include <juce_events/juce_events.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace
{
    using Clock = std::chrono::steady_clock;

    double millisecondsSince (Clock::time_point start)
    {
        return std::chrono::duration<double, std::milli> (Clock::now() - start).count();
    }

    // "VmRSS" (resident now) or "VmHWM" (the most it has been), in MB.
    double residentMegabytes (const char* field)
    {
        std::ifstream status ("/proc/self/status");
        std::string line;

        while (std::getline (status, line))
            if (line.rfind (field, 0) == 0)
                return std::stod (line.substr (line.find (':') + 1)) / 1024.0;

        return 0.0;
    }

    juce::ValueTree storedNode (int type, int id, const juce::String& name, const juce::String& thumbnail, juce::int64 importMs)
    {
        juce::ValueTree node ("Asset");
        node.setProperty ("type", type, nullptr);
        node.setProperty ("id", id, nullptr);
        node.setProperty ("name", name, nullptr);
        node.setProperty ("thumburl", thumbnail, nullptr);
        node.setProperty ("importms", importMs, nullptr);
        return node;
    }

    // numFiles clips with thumbnail paths, and one album of ten for every hundred.
    // thumbnailFor gives each file's thumbnail path.
    void makeLibrary (int numFiles, const std::function<juce::String (int)>& thumbnailFor,
                      AssetCollection& library, AssetCollection& albums)
    {
        const juce::String media ("/home/user/Documents/QUOREL Vorniq/Media/");

        for (int i = 0; i < numFiles; ++i)
        {
            auto name = "CLIP" + juce::String (i).paddedLeft ('0', 6) + (i % 4 == 0 ? ".wav" : ".MOV");
            auto node = storedNode (assetTypeFile, 1000 + i, name, thumbnailFor (i), 1700000000000 + i);
            node.setProperty ("url", media + name, nullptr);
            auto asset = std::make_unique<FileAsset>();
            asset->readFrom (node);
            library.add (std::move (asset));
        }

        for (int a = 0; a < numFiles / 100; ++a)
        {
            auto node = storedNode (assetTypeAlbum, -1 - a, "Album " + juce::String (a), {}, 1700000000000 + a);

            for (int m = 0; m < 10; ++m)
                node.appendChild (juce::ValueTree ("a", { { "id", 1000 + (a * 10 + m) % numFiles } }), nullptr);

            auto album = std::make_unique<AlbumAsset> (juce::String());
            album->readFrom (node);
            albums.add (std::move (album));
        }
    }

    juce::String missingThumbnail (int i)
    {
        return "/home/user/Documents/QUOREL Vorniq/Media/Thumbnails/CLIP" + juce::String (i).paddedLeft ('0', 6) + ".jpg";
    }

    void print (const juce::String& line)
    {
        std::cout << line << std::endl;
    }

    juce::String ms (double value)       { return juce::String (value, 1) + " ms"; }
    juce::String mb (double value)       { return juce::String (value, 1) + " MB"; }
    juce::String ratio (double a, double b) { return juce::String (b > 0 ? a / b : 0.0, 2); }

    //==========================================================================
    int saveScenario (const juce::File& folder, int numFiles)
    {
        AssetCollection library, albums;
        makeLibrary (numFiles, missingThumbnail, library, albums);
        folder.createDirectory();

        // Reference: JUCE's own writer into a plain file, no flush to the disk.
        auto plain = folder.getChildFile ("plain.db");
        auto referenceStart = Clock::now();
        {
            juce::FileOutputStream out (plain, 16384);
            out.setPosition (0);
            out.truncate();
            LibraryDatabase::makeTree (library, albums).writeToStream (out);
            out.flush();
        }
        auto referenceMs = millisecondsSince (referenceStart);
        plain.deleteFile();

        auto start = Clock::now();
        auto result = LibraryDatabase::saveLibrary (folder, library, albums);
        auto saveMs = millisecondsSince (start);

        if (result.failed())
        {
            std::cerr << result.getErrorMessage() << std::endl;
            return 1;
        }

        print ("save " + juce::String (numFiles) + " assets: " + ms (saveMs)
               + " (" + juce::String (LibraryDatabase::getDatabaseFile (folder).getSize() / 1024) + " KB;"
               + " JUCE's writer to a plain file without sync " + ms (referenceMs)
               + ", ratio " + ratio (saveMs, referenceMs) + ")");
        return 0;
    }

    int loadScenario (const juce::File& folder, int numFiles, double targetMs)
    {
        auto db = LibraryDatabase::getDatabaseFile (folder);
        juce::MemoryBlock warm;
        db.loadFileAsData (warm);   // both readers get the file from the page cache
        auto baseMb = residentMegabytes ("VmRSS");

        AssetCollection library, albums;
        auto start = Clock::now();
        auto result = LibraryDatabase::loadLibrary (folder, library, albums);
        auto loadMs = millisecondsSince (start);
        auto loadedMb = residentMegabytes ("VmRSS");

        if (result.failed() || library.size() != numFiles)
        {
            std::cerr << "load failed: " << result.getErrorMessage() << std::endl;
            return 1;
        }

        // Reference: JUCE's tree reader alone on the same bytes in memory, building
        // only the tree (the load reads the file into memory too, then checks the
        // stream, has JUCE read it and makes the assets).
        auto referenceStart = Clock::now();
        {
            juce::MemoryBlock bytes;
            db.loadFileAsData (bytes);
            auto tree = juce::ValueTree::readFromData (bytes.getData(), bytes.getSize());
            juce::ignoreUnused (tree);
        }
        auto referenceMs = millisecondsSince (referenceStart);

        auto target = targetMs > 0 ? "target < " + ms (targetMs) + ": " + (loadMs < targetMs ? "met" : "NOT MET") + "; "
                                   : juce::String();
        print ("load " + juce::String (numFiles) + " assets: " + ms (loadMs)
               + " (" + target + "JUCE's tree reader alone " + ms (referenceMs) + ", ratio " + ratio (loadMs, referenceMs) + ";"
               + " resident " + mb (loadedMb) + ", of which the library " + mb (loadedMb - baseMb) + ")");
        return 0;
    }

    //==========================================================================
    juce::File thumbnailsFolder (const juce::File& work)   { return work.getChildFile ("thumbs4k"); }

    juce::File thumbnailFile (const juce::File& work, int i)
    {
        return thumbnailsFolder (work).getChildFile ("CLIP" + juce::String (i).paddedLeft ('0', 6) + ".jpg");
    }

    // 1,000 thumbnail files as the program writes them: 4K frames from ffmpeg's test
    // picture, plain or with some grain as a camera's sensor gives, written again by
    // JUCE's JPEG writer at its default quality, as the thumbnail updater does. 50
    // distinct frames, each linked under 20 names.
    bool makeThumbnails (const juce::File& work, int count, bool grainy)
    {
        auto folder = thumbnailsFolder (work);
        auto frames = work.getChildFile ("frames4k");
        const int distinct = 50;

        if (thumbnailFile (work, count - 1).existsAsFile())
            return true;

        folder.createDirectory();
        frames.createDirectory();

        if (! frames.getChildFile ("frame050.jpg").existsAsFile())
        {
            print ("making " + juce::String (distinct) + " 3840 x 2160 thumbnails with ffmpeg and JUCE's JPEG writer...");
            juce::ChildProcess ffmpeg;
            juce::StringArray command { "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                        "-f", "lavfi", "-i", grainy ? "testsrc2=size=3840x2160:rate=25,noise=alls=6:allf=t"
                                                            : "testsrc2=size=3840x2160:rate=25",
                                        "-frames:v", juce::String (distinct), "-q:v", "2",
                                        frames.getChildFile ("source%03d.jpg").getFullPathName() };

            if (! ffmpeg.start (command) || ! ffmpeg.waitForProcessToFinish (600000) || ffmpeg.getExitCode() != 0)
            {
                std::cerr << "ffmpeg failed: " << ffmpeg.readAllProcessOutput() << std::endl;
                return false;
            }

            for (int i = 1; i <= distinct; ++i)
            {
                auto source = frames.getChildFile ("source" + juce::String (i).paddedLeft ('0', 3) + ".jpg");
                auto frame = frames.getChildFile ("frame" + juce::String (i).paddedLeft ('0', 3) + ".jpg");
                auto picture = juce::ImageFileFormat::loadFrom (source);
                juce::FileOutputStream out (frame);
                juce::JPEGImageFormat jpeg;

                if (! picture.isValid() || out.failedToOpen() || ! jpeg.writeImageToStream (picture, out))
                    return false;

                source.deleteFile();
            }
        }

        for (int i = 0; i < count; ++i)
        {
            auto frame = frames.getChildFile ("frame" + juce::String (1 + i % distinct).paddedLeft ('0', 3) + ".jpg");
            auto target = thumbnailFile (work, i);

            if (! target.exists() && ! frame.createSymbolicLink (target, false))
                return false;
        }

        return true;
    }

    int prepareThumbnailLibrary (const juce::File& work, int count, bool grainy)
    {
        if (! makeThumbnails (work, count, grainy))
            return 1;

        AssetCollection library, albums;
        makeLibrary (count, [&work] (int i) { return thumbnailFile (work, i).getFullPathName(); }, library, albums);
        auto folder = work.getChildFile ("thumbs-library");
        folder.createDirectory();
        auto result = LibraryDatabase::saveLibrary (folder, library, albums);

        if (result.failed())
        {
            std::cerr << result.getErrorMessage() << std::endl;
            return 1;
        }

        return 0;
    }

    int thumbnailScenario (const juce::File& work, int count, double targetMs, double targetMb)
    {
        auto folder = work.getChildFile ("thumbs-library");

        // The files come from the page cache for every reader alike.
        for (int i = 0; i < 50; ++i)
        {
            juce::MemoryBlock warm;
            thumbnailFile (work, i).loadFileAsData (warm);
        }

        AssetCollection library, albums;
        auto start = Clock::now();
        auto result = LibraryDatabase::loadLibrary (folder, library, albums);
        auto loadMs = millisecondsSince (start);
        auto residentMb = residentMegabytes ("VmRSS");

        if (result.failed() || library.size() != count)
        {
            std::cerr << "load failed: " << result.getErrorMessage() << std::endl;
            return 1;
        }

        juce::int64 pictureBytes = 0;
        int largestWidth = 0;

        for (int i = 0; i < library.size(); ++i)
        {
            const auto& picture = library.get (i)->getThumbnail();
            const juce::Image::BitmapData pixels (picture, juce::Image::BitmapData::readOnly);
            pictureBytes += (juce::int64) pixels.lineStride * picture.getHeight();
            largestWidth = juce::jmax (largestWidth, picture.getWidth());
        }

        auto averageKB = 0.0;
        for (int i = 0; i < 50; ++i)
            averageKB += thumbnailFile (work, i).getSize() / 1024.0 / 50;

        print ("load " + juce::String (count) + " assets with 3840 x 2160 thumbnails (JPEGs of "
               + juce::String (juce::roundToInt (averageKB)) + " KB on average): " + ms (loadMs)
               + " (target < " + ms (targetMs) + ": " + (loadMs < targetMs ? "met" : "NOT MET") + ");"
               + " resident " + mb (residentMb) + " (target < " + mb (targetMb) + ": " + (residentMb < targetMb ? "met" : "NOT MET") + "),"
               + " peak " + mb (residentMegabytes ("VmHWM")) + ";"
               + " pictures " + mb (pictureBytes / 1048576.0) + ", at most " + juce::String (largestWidth) + " wide");

        // Reference: the same files decoded at full size by JUCE, measured on a
        // sample and compared per file.
        const int sample = 20;
        double juceMs = 0, scaledMs = 0;
        juce::int64 fullBytes = 0;

        for (int i = 0; i < sample; ++i)
        {
            auto file = thumbnailFile (work, i);
            auto juceStart = Clock::now();
            auto full = juce::ImageFileFormat::loadFrom (file);
            juceMs += millisecondsSince (juceStart);

            const juce::Image::BitmapData pixels (full, juce::Image::BitmapData::readOnly);
            fullBytes += (juce::int64) pixels.lineStride * full.getHeight();

            auto scaledStart = Clock::now();
            auto scaled = ThumbnailDecoder::decode (file);
            scaledMs += millisecondsSince (scaledStart);
        }

        auto perFileFullMb = fullBytes / (double) sample / 1048576.0;
        print ("  reference, " + juce::String (sample) + " of the files: JUCE's full-size decode "
               + ms (juceMs / sample) + " and " + mb (perFileFullMb) + " a file, the scaled decode "
               + ms (scaledMs / sample) + " and " + mb (pictureBytes / (double) count / 1048576.0) + " a file;"
               + " ratio " + ratio (scaledMs, juceMs) + " in time, " + ratio (pictureBytes / (double) count / 1048576.0, perFileFullMb) + " in memory;"
               + " full size for all " + juce::String (count) + " would take about "
               + juce::String (juceMs / sample * count / 1000.0, 1) + " s and " + juce::String (perFileFullMb * count / 1024.0, 1) + " GB");
        return 0;
    }

    //==========================================================================
    int runChild (const juce::StringArray& arguments)
    {
        juce::ChildProcess child;
        juce::StringArray command { juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName() };
        command.addArray (arguments);

        if (! child.start (command))
        {
            std::cerr << "cannot start " << command.joinIntoString (" ") << std::endl;
            return 1;
        }

        std::cout << child.readAllProcessOutput() << std::flush;
        child.waitForProcessToFinish (-1);
        return static_cast<int> (child.getExitCode());
    }

    int runScenario (const juce::StringArray& args)
    {
        auto name = args[0];
        const juce::File work (args[1]);
        auto count = args[2].getIntValue();
        auto grainy = args[3] == "grainy";

        if (name == "save")       return saveScenario (work.getChildFile ("library-" + juce::String (count)), count);
        if (name == "load")       return loadScenario (work.getChildFile ("library-" + juce::String (count)), count, count >= 100000 ? 1000.0 : 0.0);
        if (name == "prepare")    return prepareThumbnailLibrary (work, count, grainy);
        if (name == "thumbnails") return thumbnailScenario (work, count, 3000.0, 700.0);

        std::cerr << "unknown scenario " << name << std::endl;
        return 2;
    }
}

int main (int argc, char* argv[])
{
    const juce::ScopedJuceInitialiser_GUI juceInitialiser;
    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    if (args[0] == "--scenario")
        return runScenario ({ args[1], args[2], args[3], args[4] });

    auto work = args.isEmpty() ? juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("vorniq-library-bench")
                               : juce::File::getCurrentWorkingDirectory().getChildFile (args[0]).getChildFile ("library");
    work.createDirectory();
    print ("library-bench: files in " + work.getFullPathName());
    int failures = 0;

    for (auto count : { 10000, 100000 })
    {
        failures += runChild ({ "--scenario", "save", work.getFullPathName(), juce::String (count) }) != 0;
        failures += runChild ({ "--scenario", "load", work.getFullPathName(), juce::String (count) }) != 0;
    }

    // Thumbnails of plain and of grainy pictures: the time goes to libjpeg's entropy
    // decoding, which grows with the size of the file.
    for (auto* kind : { "plain", "grainy" })
    {
        auto folder = work.getChildFile (juce::String ("thumbnails-") + kind).getFullPathName();
        failures += runChild ({ "--scenario", "prepare", folder, "1000", kind }) != 0;
        failures += runChild ({ "--scenario", "thumbnails", folder, "1000", kind }) != 0;
    }

    return failures == 0 ? 0 : 1;
}
