// vorniq-cli render: a recording's trim range through the effect presets into a WAV
// file, with the player the program would use and the same render as the program's
// save, so that recordings can be processed in batches.
#include "cli/JsonText.h"
#include "cli/OpenMedia.h"
#include "cli/Verb.h"

#include "editing/AudioRender.h"
#include "shell/ResourcePaths.h"

#include <atomic>
#include <iostream>
#include <thread>

namespace
{
    int runRender (const juce::StringArray& arguments);

    const Verb::Registration renderRegistration ("render",
        { "render <in> <out.wav> [--start <s>] [--end <s>] [--reverb <1..5>] [--mastering <6..8>]",
          "       [--stereo <9|10>] [--normalise <0..4>]   (0 off, 1 0 dB, 2 -3 dB, 3 -6 dB, 4 mute)" },
        runRender);

    bool parseWhole (const juce::String& text, int low, int high, int& value)
    {
        auto trimmed = text.trim();

        if (trimmed.isEmpty() || ! trimmed.containsOnly ("0123456789"))
            return false;

        value = trimmed.getIntValue();
        return value >= low && value <= high;
    }

    juce::int64 lengthOfWav (const juce::File& file)
    {
        auto input = file.createInputStream();

        if (input == nullptr)
            return -1;

        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (input.release(), true));
        return reader != nullptr ? reader->lengthInSamples : -1;
    }

    int runRender (const juce::StringArray& arguments)
    {
        auto& verb = *Verb::find ("render");
        juce::StringArray positional;
        double start = 0.0, end = -1.0;
        int normaliseMode = NormaliseMode::off;
        juce::Array<int> presets;

        for (int i = 0; i < arguments.size(); ++i)
        {
            const auto& argument = arguments[i];

            if (! argument.startsWith ("--"))
            {
                positional.add (argument);
                continue;
            }

            if (i + 1 >= arguments.size())
                return reportUsageError (argument + " needs a value", verb);

            const auto& value = arguments[++i];
            int number = 0;

            if (argument == "--start")
            {
                if (! parseSeconds (value, start))
                    return reportUsageError ("not a time in seconds: \"" + value + "\"", verb);
            }
            else if (argument == "--end")
            {
                if (! parseSeconds (value, end))
                    return reportUsageError ("not a time in seconds: \"" + value + "\"", verb);
            }
            else if (argument == "--reverb" || argument == "--mastering" || argument == "--stereo")
            {
                auto low = argument == "--reverb" ? 1 : argument == "--mastering" ? 6 : 9;
                auto high = argument == "--reverb" ? 5 : argument == "--mastering" ? 8 : 10;

                if (! parseWhole (value, low, high, number))
                    return reportUsageError (argument + " takes a preset from " + juce::String (low) + " to "
                                             + juce::String (high), verb);

                presets.add (number);
            }
            else if (argument == "--normalise")
            {
                if (! parseWhole (value, 0, 4, normaliseMode))
                    return reportUsageError ("--normalise takes a mode from 0 to 4", verb);
            }
            else
            {
                return reportUsageError ("unknown option " + argument, verb);
            }
        }

        if (positional.size() != 2)
            return reportUsageError ("render takes an input and an output file", verb);

        auto input = fileFromArgument (positional[0]);
        auto output = fileFromArgument (positional[1]);

        if (! output.hasFileExtension ("wav"))
            return reportUsageError ("the output must be a .wav file", verb);

        if (! input.existsAsFile())
            return reportFailure ("no such file: \"" + input.getFullPathName() + "\"");

        if (output == input || output.getLinkedTarget() == input.getLinkedTarget())
            return reportFailure ("the output would overwrite the input \"" + input.getFullPathName() + "\"");

        std::string error;
        auto player = openInProgramsPlayer (input, error);

        if (player == nullptr)
            return reportFailure (input.getFullPathName() + ": " + juce::String (error));

        // A video without a sound stream opens like any other, and the render would
        // then fail on a WAV file of no channels.
        auto info = player->getMediaInfo();

        if (info.numChannels <= 0 || info.sampleRate <= 0.0)
            return reportFailure (input.getFullPathName() + ": the recording has no sound, so there is nothing to render");

        auto duration = player->getDuration();

        if (end < 0.0)
            end = duration;

        if (start > duration || end > duration + 1.0e-9)
            return reportFailure ("the range " + juce::String (start) + " to " + juce::String (end)
                                  + " s lies outside the recording (" + juce::String (duration) + " s)");

        if (end < start)
            return reportUsageError ("the end comes before the start", verb);

        player->setEndPosition (end);
        player->setStartPosition (start);

        // The chain of the program's own plug-in folder, prepared as a device would
        // be before the presets are chosen.
        EffectsChain chain;
        chain.prepare (4096, info.sampleRate);

        auto pluginsMissing = ! chain.isInitialised();

        if (pluginsMissing)
            std::cerr << "vorniq-cli: no effect plug-ins found in \"" << getPluginsPath()
                      << "\": the sound passes unchanged\n" << std::flush;

        for (auto preset : presets)
            chain.setPreset (preset);

        if (output.exists() && ! output.deleteFile())
            return reportFailure ("cannot replace \"" + output.getFullPathName() + "\"");

        // As in the program's save, the render runs on a worker thread while this,
        // the message thread, keeps dispatching: the video player decodes from a timer
        // and JUCE prepares plug-ins on the message thread.
        std::atomic<bool> finished { false }, written { false };
        std::thread worker ([&]
        {
            written = renderTrimmedAudio (*player, chain, output, normaliseMode);
            finished = true;
        });

        while (! finished.load())
            juce::MessageManager::getInstance()->runDispatchLoopUntil (10);

        worker.join();
        player->releaseResources();
        chain.release();
        player->close();

        if (! written.load())
        {
            // What was written before the failure is no sound file anyone could use.
            output.deleteFile();
            return reportFailure ("cannot write \"" + output.getFullPathName() + "\"");
        }

        std::cout << "{\n"
                  << "  \"output\": " << JsonText::quoted (output.getFullPathName()) << ",\n"
                  << "  \"samples\": " << lengthOfWav (output) << ",\n"
                  << "  \"sampleRate\": " << info.sampleRate << ",\n"
                  << "  \"channels\": " << info.numChannels << ",\n"
                  << "  \"bitsPerSample\": " << info.bitsPerSample << ",\n"
                  << "  \"effects\": " << (chain.isActive() ? "true" : "false") << ",\n"
                  << "  \"normalise\": " << normaliseMode << "\n"
                  << "}\n" << std::flush;

        if (pluginsMissing && ! presets.isEmpty())
            return reportFailure ("the effects were not applied");

        return ExitStatus::success;
    }
}
