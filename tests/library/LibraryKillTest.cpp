// Saving never loses the library: a process saving in a loop is killed at random
// moments, and every time the database loads whole, as the old or the new library.
#include "library/LibraryDatabase.h"

#include "ChildProgram.h"
#include "LibraryFixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

TEST (LibraryKill, ADatabaseSavedWhileKilledLoadsAsTheOldOrTheNewLibrary)
{
    ScratchFolder scratch;
    const juce::File folder (juce::String (scratch.path()));

    AssetCollection first, firstAlbums, second, secondAlbums;
    fillNumberedLibrary (first, firstAlbums, "first", 6000, 30);
    fillNumberedLibrary (second, secondAlbums, "second", 3500, 60);
    const auto firstBytes = storedBytes (first, firstAlbums);
    const auto secondBytes = storedBytes (second, secondAlbums);
    ASSERT_TRUE (LibraryDatabase::saveLibrary (folder, first, firstAlbums).wasOk());

    juce::Random random (4711);
    int sawFirst = 0, sawSecond = 0;
    const int rounds = 40;

    for (int round = 0; round < rounds; ++round)
    {
        ChildProgram saver (std::string (VORNIQ_BIN_DIR) + "/library_save_loop", { { scratch.path() } });
        ASSERT_TRUE (saver.waitForStandardError ("ready", 30000)) << saver.standardError();

        std::this_thread::sleep_for (std::chrono::microseconds (random.nextInt (40000)));
        saver.sendSignal (SIGKILL);
        ASSERT_EQ (saver.waitForExit (10000), 128 + SIGKILL) << "round " << round << ": " << saver.standardError();

        AssetCollection library, albums;
        auto result = LibraryDatabase::loadLibrary (folder, library, albums);
        ASSERT_TRUE (result.wasOk()) << "round " << round << ": " << result.getErrorMessage();

        auto loaded = storedBytes (library, albums);
        ASSERT_TRUE (loaded == firstBytes || loaded == secondBytes) << "round " << round << ": a library that was never saved";
        (loaded == firstBytes ? sawFirst : sawSecond)++;
    }

    // Killed saves leave their unfinished file beside the database; it is never read.
    auto leftovers = folder.findChildFiles (juce::File::findFiles, false, ".Assets.db.*.saving").size();
    std::cout << "first " << sawFirst << ", second " << sawSecond << ", killed mid-write " << leftovers << " times" << std::endl;
    EXPECT_EQ (sawFirst + sawSecond, rounds);
}
