// vorniq-cli render run as a child process, as a person or a batch script would run
// it: the same render as the program's save, and clear failures.
#include <gtest/gtest.h>

#include "ChildProgram.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>

namespace
{
    const std::string tool = std::string (VORNIQ_BIN_DIR) + "/vorniq-cli";

    std::string testMedia (const char* name)
    {
        return std::string (VORNIQ_TEST_MEDIA_DIR) + "/" + name;
    }

    struct Run
    {
        int status = -1;
        std::string out, err;
    };

    Run render (std::vector<std::string> arguments, std::map<std::string, std::string> environment = {})
    {
        arguments.insert (arguments.begin(), "render");
        ChildProgram child (tool, { arguments, environment, {}, {} });
        Run run;
        run.status = child.waitForExit (120000).value_or (-1);
        run.out = child.standardOutput();
        run.err = child.standardError();
        return run;
    }

    struct Samples
    {
        juce::int64 length = -1;
        std::vector<std::vector<int>> channels;
        float peak = 0.0f;
    };

    Samples readSamples (const std::string& path, juce::int64 start = 0, juce::int64 count = -1)
    {
        Samples samples;
        juce::File file (path);
        auto input = file.createInputStream();

        if (input == nullptr)
            return samples;

        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (input.release(), true));

        if (reader == nullptr)
            return samples;

        samples.length = reader->lengthInSamples;
        auto n = (int) (count < 0 ? reader->lengthInSamples - start : count);
        samples.channels.assign (reader->numChannels, std::vector<int> ((size_t) n + 1, 0));
        std::vector<int*> pointers;

        for (auto& channel : samples.channels)
            pointers.push_back (channel.data());

        pointers.push_back (nullptr);
        reader->read (pointers.data(), (int) reader->numChannels, start, n, false);

        for (auto& channel : samples.channels)
        {
            channel.resize ((size_t) n);

            for (auto x : channel)
                samples.peak = std::max (samples.peak, std::abs ((float) x / 2147483648.0f));
        }

        return samples;
    }
}

TEST (RenderVerb, WithoutEffectsCopiesTheTrimRangeExactly)
{
    ScratchFolder folder;
    auto output = folder / "copy.wav";
    auto run = render ({ testMedia ("tone-16-48000-stereo.wav"), output, "--start", "0.5", "--end", "1.7" });
    ASSERT_EQ (run.status, 0) << run.err;
    EXPECT_NE (run.out.find ("\"samples\": 57600"), std::string::npos) << run.out;
    EXPECT_NE (run.out.find ("\"effects\": false"), std::string::npos) << run.out;

    auto rendered = readSamples (output);
    EXPECT_EQ (rendered.length, 57600);
    EXPECT_EQ (rendered.channels, readSamples (testMedia ("tone-16-48000-stereo.wav"), 24000, 57600).channels);
}

TEST (RenderVerb, AppliesPresetsAddsTheTailAndNormalises)
{
    ScratchFolder folder;
    auto output = folder / "hall.wav";
    auto run = render ({ testMedia ("tone-24-44100-stereo.wav"), output, "--reverb", "3", "--mastering", "6",
                         "--stereo", "9", "--normalise", "2" });
    ASSERT_EQ (run.status, 0) << run.err;
    EXPECT_NE (run.out.find ("\"effects\": true"), std::string::npos) << run.out;

    EXPECT_EQ (readSamples (output).length, 3 * 44100 + 4096);

    // The recording's part (the tail is not measured for the peak) peaks at -3 dB.
    auto recordingPart = readSamples (output, 0, 3 * 44100);
    EXPECT_NEAR (20.0 * std::log10 (recordingPart.peak), -3.0, 0.01);
}

TEST (RenderVerb, RendersTheSoundOfAVideoPlayersFile)
{
    ScratchFolder folder;
    auto output = folder / "clip.wav";
    auto run = render ({ testMedia ("clip-25.mov"), output, "--start", "1", "--end", "4", "--mastering", "7" });
    ASSERT_EQ (run.status, 0) << run.err;

    auto rendered = readSamples (output);
    EXPECT_EQ (rendered.length, 3 * 48000 + 4096);
    EXPECT_GT (rendered.peak, 0.5f);
    EXPECT_LE (rendered.peak, 0.9f);    // the limiter's ceiling
}

TEST (RenderVerb, WithoutPluginsPassesTheSoundUnchangedAndSaysSo)
{
    ScratchFolder resources, folder;
    writeTextFile (resources / "Plugins/.keep", "");
    auto output = folder / "plain.wav";
    auto run = render ({ testMedia ("tone-16-48000-mono.wav"), output, "--mastering", "8" },
                       { { "VORNIQ_RESOURCES", resources.path() } });

    EXPECT_EQ (run.status, 1);
    EXPECT_NE (run.err.find ("no effect plug-ins found"), std::string::npos) << run.err;
    EXPECT_NE (run.err.find ("passes unchanged"), std::string::npos) << run.err;
    EXPECT_EQ (readSamples (output).channels, readSamples (testMedia ("tone-16-48000-mono.wav")).channels);
}

TEST (RenderVerb, FailuresEndWithAMessageAndAStatus)
{
    ScratchFolder folder;
    writeTextFile (folder / "notes.wav", "not a recording");
    auto copy = folder / "take.wav";
    ASSERT_TRUE (juce::File (testMedia ("tone-16-48000-stereo.wav")).copyFileTo (juce::File (copy)));
    auto original = readSamples (copy);

    struct Case { std::vector<std::string> arguments; int status; std::string message; };

    const Case cases[] =
    {
        { { folder / "missing.wav", folder / "out.wav" },                     1, "no such file" },
        { { folder / "notes.wav", folder / "out.wav" },                       1, "notes.wav" },
        { { copy, folder / "no folder/out.wav" },                             1, "cannot write" },
        { { copy, copy },                                                     1, "overwrite the input" },
        { { copy, folder / "out.wav", "--start", "9" },                       1, "outside the recording" },
        { { copy, folder / "out.wav", "--start", "2", "--end", "1" },         2, "end comes before the start" },
        { { copy, folder / "out.wav", "--reverb", "6" },                      2, "--reverb takes a preset from 1 to 5" },
        { { copy, folder / "out.wav", "--stereo", "8" },                      2, "--stereo takes a preset from 9 to 10" },
        { { copy, folder / "out.wav", "--normalise", "loud" },                2, "--normalise takes a mode" },
        { { copy, folder / "out.mp3" },                                       2, "must be a .wav file" },
        { { copy },                                                           2, "an input and an output" },
        { { copy, folder / "out.wav", "--wet" , "1" },                        2, "unknown option" },
    };

    for (const auto& c : cases)
    {
        auto run = render (c.arguments);
        EXPECT_EQ (run.status, c.status) << c.message;
        EXPECT_NE (run.err.find (c.message), std::string::npos) << run.err;
    }

    EXPECT_EQ (readSamples (copy).channels, original.channels);
}
