// library_save_loop <library folder>: saves two different libraries into the folder
// in turn, as fast as it can, until it is killed (or after a minute). The kill test
// stops it at random moments. "ready" on standard error after the first save.
#include "library/LibraryDatabase.h"

#include "LibraryFixtures.h"

#include <iostream>

int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::cerr << "usage: library_save_loop <library folder>" << std::endl;
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juceInitialiser;
    const juce::File folder (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));

    AssetCollection first, firstAlbums, second, secondAlbums;
    fillNumberedLibrary (first, firstAlbums, "first", 6000, 30);
    fillNumberedLibrary (second, secondAlbums, "second", 3500, 60);

    const auto deadline = juce::Time::getMillisecondCounter() + 60000;

    for (int round = 0; juce::Time::getMillisecondCounter() < deadline; ++round)
    {
        auto& library = (round % 2 == 0) ? second : first;
        auto& albums = (round % 2 == 0) ? secondAlbums : firstAlbums;
        auto result = LibraryDatabase::saveLibrary (folder, library, albums);

        if (result.failed())
        {
            std::cerr << result.getErrorMessage() << std::endl;
            return 1;
        }

        if (round == 0)
            std::cerr << "ready" << std::endl;
    }

    return 0;
}
