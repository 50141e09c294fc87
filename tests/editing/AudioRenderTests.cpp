// The offline render through the real players and the chain into WAV files, and the
// normalisation of those files: exact copies when nothing is to change, the tail of
// an effect, silence for "mute", the normalise targets, and the failures.
#include <gtest/gtest.h>

#include "ChildProgram.h"
#include "MessageLoop.h"
#include "editing/AudioRender.h"
#include "playback/AudioPlayer.h"
#include "playback/VideoPlayer.h"

#include <cmath>
#include <thread>
#include <vector>

namespace
{
    juce::File testMedia (const char* name)
    {
        return juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile (name);
    }

    juce::File plugins()
    {
        return juce::File (VORNIQ_PLUGINS_DIR);
    }

    /** A WAV file's samples as the integers stored in it (or floats for float files). */
    struct WavContents
    {
        double sampleRate = 0.0;
        int numChannels = 0, bitsPerSample = 0;
        juce::int64 length = 0;
        std::vector<std::vector<int>> samples;       // scaled to 32 bits, as JUCE reads them
        std::vector<std::vector<float>> floats;
    };

    WavContents readWav (const juce::File& file, juce::int64 start = 0, juce::int64 count = -1)
    {
        WavContents contents;
        juce::WavAudioFormat wav;
        auto input = file.createInputStream();

        if (input == nullptr)
            return contents;

        std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (input.release(), true));

        if (reader == nullptr)
            return contents;

        contents.sampleRate = reader->sampleRate;
        contents.numChannels = (int) reader->numChannels;
        contents.bitsPerSample = (int) reader->bitsPerSample;
        contents.length = reader->lengthInSamples;

        auto n = (int) (count < 0 ? reader->lengthInSamples - start : count);
        contents.samples.assign ((size_t) contents.numChannels, std::vector<int> ((size_t) n + 1, 0));
        std::vector<int*> channels;

        for (auto& channel : contents.samples)
            channels.push_back (channel.data());

        channels.push_back (nullptr);
        reader->read (channels.data(), contents.numChannels, start, n, false);

        juce::AudioBuffer<float> buffer (contents.numChannels, juce::jmax (1, n));
        reader->read (&buffer, 0, n, start, true, true);

        for (int c = 0; c < contents.numChannels; ++c)
        {
            contents.samples[(size_t) c].resize ((size_t) n);
            contents.floats.emplace_back (buffer.getReadPointer (c), buffer.getReadPointer (c) + n);
        }

        return contents;
    }

    float peakOf (const WavContents& contents)
    {
        float peak = 0.0f;

        for (const auto& channel : contents.floats)
            for (auto x : channel)
                peak = std::max (peak, std::abs (x));

        return peak;
    }

    /** Writes a WAV file of the given samples (one vector per channel). */
    void writeWav (const juce::File& file, double rate, int bits, const std::vector<std::vector<float>>& channels)
    {
        file.deleteFile();
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (file.createOutputStream().release(), rate,
                                                                              (unsigned int) channels.size(), bits, {}, 0));
        ASSERT_NE (writer, nullptr);
        juce::AudioBuffer<float> buffer ((int) channels.size(), (int) channels[0].size());

        for (size_t c = 0; c < channels.size(); ++c)
            buffer.copyFrom ((int) c, 0, channels[c].data(), (int) channels[c].size());

        ASSERT_TRUE (writeRoundedSamples (*writer, buffer, buffer.getNumSamples()));
    }

    /** The audio file player on a test recording with a trim range, and a chain. */
    struct Render
    {
        Render (const char* media, double start, double end)
        {
            std::string error;
            EXPECT_TRUE (player.open (testMedia (media), &error)) << error;
            player.setEndPosition (end);
            player.setStartPosition (start);
        }

        ~Render()
        {
            player.releaseResources();
            chain.release();
        }

        bool run (int mode)
        {
            auto result = renderTrimmedAudio (player, chain, target, mode);
            return result;
        }

        AudioPlayer player;
        EffectsChain chain { plugins() };
        ScratchFolder folder;
        juce::File target { juce::File (folder.path()).getChildFile ("render.wav") };
    };
}

//==============================================================================
struct CopyCase
{
    const char* media;
    double start, end;
};

class RenderWithoutEffects : public ::testing::TestWithParam<CopyCase> {};

TEST_P (RenderWithoutEffects, IsABitExactCopyOfTheTrimRange)
{
    const auto& c = GetParam();
    Render render (c.media, c.start, c.end);
    ASSERT_TRUE (render.run (NormaliseMode::off));

    auto input = readWav (testMedia (c.media));
    auto first = (juce::int64) (c.start * input.sampleRate);
    auto count = (juce::int64) (input.sampleRate * (c.end - c.start));
    auto output = readWav (render.target);
    auto expected = readWav (testMedia (c.media), first, count);

    EXPECT_EQ (output.sampleRate, input.sampleRate);
    EXPECT_EQ (output.numChannels, input.numChannels);
    EXPECT_EQ (output.bitsPerSample, input.bitsPerSample);
    EXPECT_EQ (output.length, count);    // no tail: the chain is not active
    EXPECT_EQ (output.samples, expected.samples);
}

INSTANTIATE_TEST_SUITE_P (TestMedia, RenderWithoutEffects, ::testing::Values (
    CopyCase { "tone-16-48000-stereo.wav", 0.5, 1.7 },
    CopyCase { "tone-16-44100-mono.wav", 0.0, 3.0 },
    CopyCase { "tone-24-44100-stereo.wav", 1.25, 2.0 },
    CopyCase { "tone-24-48000-mono.wav", 0.1, 0.1 + 5000.0 / 48000.0 }));

TEST (RenderTrimmedAudio, ShorterThanOneSampleWritesOnlyTheFadedTailWhenAnEffectIsOn)
{
    {
        Render render ("tone-16-48000-stereo.wav", 1.0, 1.0 + 0.5 / 48000.0);
        ASSERT_TRUE (render.run (NormaliseMode::off));
        EXPECT_EQ (readWav (render.target).length, 0);
    }

    Render render ("tone-16-48000-stereo.wav", 1.0, 1.0 + 0.5 / 48000.0);
    render.chain.prepare (512, 48000.0);
    render.chain.setPreset (3);
    ASSERT_TRUE (render.run (NormaliseMode::off));

    auto tail = readWav (render.target);
    ASSERT_EQ (tail.length, 4096);
    EXPECT_GT (peakOf (tail), 0.01f);    // the player's sound and the chain's response

    // The fade: 1 at the first sample, falling by 1/4096 a sample.
    auto loudestLate = 0.0f;

    for (size_t i = 4000; i < 4096; ++i)
        loudestLate = std::max (loudestLate, std::abs (tail.floats[0][i]));

    EXPECT_LT (loudestLate, 0.03f * peakOf (tail) + 1.0e-4f);
}

TEST (RenderTrimmedAudio, AnActiveEffectAddsAFadedTailOfOneBlock)
{
    Render render ("tone-16-48000-stereo.wav", 0.0, 1.0);
    render.chain.prepare (512, 48000.0);
    render.chain.setPreset (5);
    ASSERT_TRUE (render.run (NormaliseMode::off));

    auto output = readWav (render.target);
    ASSERT_EQ (output.length, 48000 + 4096);
    EXPECT_LE (std::abs (output.floats[0].back()), 1.0f / 4096.0f + 1.0e-4f);
}

TEST (RenderTrimmedAudio, MuteWritesSilenceOfTheExactLength)
{
    struct Case { int preset; juce::int64 expectedLength; };

    for (const auto& c : { Case { 0, 57600 }, Case { 7, 57600 + 4096 } })
    {
        Render render ("tone-16-48000-stereo.wav", 0.5, 1.7);

        if (c.preset != 0)
        {
            render.chain.prepare (512, 48000.0);
            render.chain.setPreset (c.preset);
        }

        ASSERT_TRUE (render.run (NormaliseMode::mute));
        auto output = readWav (render.target);
        EXPECT_EQ (output.length, c.expectedLength);
        EXPECT_EQ (peakOf (output), 0.0f);
    }
}

TEST (RenderTrimmedAudio, NormalisesThePeakToTheModesTarget)
{
    struct Case { int mode; double targetDb; };

    for (const auto& c : { Case { NormaliseMode::fullScale, 0.0 }, Case { NormaliseMode::broadcast, -3.0 },
                           Case { NormaliseMode::halfScale, -6.0 } })
    {
        Render render ("tone-24-48000-stereo.wav", 0.25, 2.5);
        ASSERT_TRUE (render.run (c.mode));
        auto peak = peakOf (readWav (render.target));
        EXPECT_NEAR (20.0 * std::log10 (peak), c.targetDb, 0.01) << c.mode;
    }
}

TEST (RenderTrimmedAudio, NormalisesTheRenderedSoundAlsoWhenTheLastBlockIsShort)
{
    // 1.3 s at 48 kHz is 15 blocks and 976 samples. With effects that raise the level,
    // the short last block must not be measured through the chain twice.
    Render render ("tone-16-48000-stereo.wav", 0.2, 1.5);
    render.chain.prepare (512, 48000.0);
    render.chain.setPreset (9);
    render.chain.setPreset (7);
    ASSERT_TRUE (render.run (NormaliseMode::broadcast));

    auto recordingPart = readWav (render.target, 0, 62400);
    EXPECT_EQ (recordingPart.bitsPerSample, 16);
    EXPECT_NEAR (20.0 * std::log10 (peakOf (recordingPart)), -3.0, 0.01);
}

TEST (RenderTrimmedAudio, NormalisesSoundThatTheEffectsTookPastFullScaleWithoutClipping)
{
    // A reverb after the limiter takes a loud recording past full scale; normalised,
    // it must come down intact, in the recording's own bit depth, not clipped first.
    ScratchFolder folder;
    auto loud = juce::File (folder.path()).getChildFile ("loud.wav");
    std::vector<float> left (96000), right (96000);

    for (size_t i = 0; i < left.size(); ++i)
    {
        left[i] = 0.95f * std::sin (0.05f * (float) i);
        right[i] = 0.95f * std::sin (0.031f * (float) i);
    }

    writeWav (loud, 48000.0, 24, { left, right });

    AudioPlayer player;
    ASSERT_TRUE (player.open (loud, nullptr));
    EffectsChain chain { plugins() };
    chain.prepare (512, 48000.0);
    chain.setPreset (4);     // "Arena"
    chain.setPreset (6);     // "Maximize"
    auto target = juce::File (folder.path()).getChildFile ("render.wav");

    ASSERT_TRUE (renderTrimmedAudio (player, chain, target, NormaliseMode::halfScale));
    auto rendered = readWav (target, 0, 96000);
    EXPECT_EQ (rendered.bitsPerSample, 24);
    EXPECT_NEAR (20.0 * std::log10 (peakOf (rendered)), -6.0, 0.01);

    // Nothing sits flat at the top, as clipped sound would.
    auto peak = peakOf (rendered);
    int atPeak = 0;

    for (auto x : rendered.floats[0])
        if (std::abs (x) > 0.999f * peak)
            ++atPeak;

    EXPECT_LT (atPeak, 20);
    player.releaseResources();
    chain.release();
}

TEST (RenderTrimmedAudio, AnUnwritableTargetFailsAndLeavesThePlayerStopped)
{
    Render render ("tone-16-48000-stereo.wav", 0.0, 1.0);
    auto target = juce::File (render.folder.path()).getChildFile ("no such folder").getChildFile ("render.wav");
    EXPECT_FALSE (renderTrimmedAudio (render.player, render.chain, target, NormaliseMode::fullScale));
    EXPECT_FALSE (target.exists());
    EXPECT_FALSE (render.player.isPlaying());
}

TEST (RenderTrimmedAudio, ThroughTheVideoPlayerWaitsForEverySampleAndRestoresItsModes)
{
    // The video player decodes from its timer on the message thread, so the render
    // runs on a worker thread while this (the message) thread dispatches, as the
    // program's exporter thread does.
    VideoPlayer player;
    std::string error;
    ASSERT_TRUE (player.open (testMedia ("audio.m4a"), &error)) << error;
    player.setEndPosition (6.0);
    player.setStartPosition (2.0);

    // An ".m4a" file is opened in audio-only mode already; offline rendering is off.
    auto audioOnlyBefore = player.setAudioOnly (false);
    player.setAudioOnly (audioOnlyBefore);

    EffectsChain chain { plugins() };
    ScratchFolder folder;
    auto target = juce::File (folder.path()).getChildFile ("render.wav");
    std::atomic<bool> finished { false }, written { false };

    std::thread worker ([&]
    {
        written = renderTrimmedAudio (player, chain, target, NormaliseMode::off);
        finished = true;
    });

    EXPECT_TRUE (runMessageLoopUntil ([&] { return finished.load(); }, 60000));
    worker.join();
    player.releaseResources();
    chain.release();

    ASSERT_TRUE (written.load());
    auto output = readWav (target);
    EXPECT_EQ (output.length, (juce::int64) (4.0 * player.getMediaInfo().sampleRate));

    // Sound all the way: no block lost while the decoder caught up.
    auto quietest = 1.0f;

    for (size_t start = 0; start + 4800 <= output.floats[0].size(); start += 4800)
    {
        auto loudest = 0.0f;

        for (size_t i = start; i < start + 4800; ++i)
            loudest = std::max (loudest, std::abs (output.floats[0][i]));

        quietest = std::min (quietest, loudest);
    }

    EXPECT_GT (quietest, 0.05f);
    EXPECT_EQ (player.setAudioOnly (audioOnlyBefore), audioOnlyBefore);
    EXPECT_FALSE (player.setOfflineRendering (false));
}

//==============================================================================
TEST (NormaliseWavFile, AppliesTheTargetOverThePeak)
{
    struct Case { float peak, targetDb, expectedGain; };

    const Case cases[] =
    {
        { 0.5f,  -3.0f, 1.4159f },      // -3 dB is 0.70795: 0.70795 / 0.5
        { 1.0f,   0.0f, 1.0f },
        { 0.25f,  0.0f, 4.0f },
        { 0.0f,  -6.0f, 0.50119f },     // silence: the target gain itself
        { 2.0f,  -6.0f, 0.25059f },
    };

    for (const auto& c : cases)
    {
        ScratchFolder folder;
        auto file = juce::File (folder.path()).getChildFile ("take.wav");
        writeWav (file, 48000.0, 32, { { 0.1f, -0.2f, 0.05f }, { 0.0f, 0.15f, -0.1f } });

        normaliseWavFile (file, c.peak, c.targetDb);
        auto result = readWav (file);
        ASSERT_EQ (result.length, 3);
        EXPECT_NEAR (result.floats[0][1] / -0.2f, c.expectedGain, 1.0e-4f) << c.peak << " / " << c.targetDb;
        EXPECT_NEAR (result.floats[1][2] / -0.1f, c.expectedGain, 1.0e-4f);
    }
}

TEST (NormaliseWavFile, WithAGainOfExactlyOneLeavesEverySampleAsItIs)
{
    // Extremes included: JUCE's own float writer would turn 32767 into 32766.
    for (auto bits : { 16, 24 })
    {
        ScratchFolder folder;
        auto file = juce::File (folder.path()).getChildFile ("take.wav");
        auto step = 1.0f / (float) (1 << (bits - 1));
        std::vector<float> left { 0.0f, step, -step, 0.5f, 0.5f + step, 1.0f - step, -1.0f, 0.61f, -0.999f };
        std::vector<float> right (left.rbegin(), left.rend());
        writeWav (file, 44100.0, bits, { left, right });
        auto before = readWav (file);

        normaliseWavFile (file, 1.0f, 0.0f);
        auto after = readWav (file);
        EXPECT_EQ (after.bitsPerSample, bits);
        EXPECT_EQ (after.samples, before.samples) << bits << " bits";
        EXPECT_EQ (after.floats[0][5], 1.0f - step);
        EXPECT_EQ (after.floats[0][6], -1.0f);
    }
}

TEST (NormaliseWavFile, LeavesAFileItCannotReadUntouched)
{
    ScratchFolder folder;
    auto file = juce::File (folder.path()).getChildFile ("notes.wav");
    ASSERT_TRUE (file.replaceWithText ("not a wave file"));
    normaliseWavFile (file, 0.5f, 0.0f);
    EXPECT_EQ (file.loadFileAsString(), "not a wave file");
    EXPECT_EQ (juce::File (folder.path()).getNumberOfChildFiles (juce::File::findFiles), 1);
}
