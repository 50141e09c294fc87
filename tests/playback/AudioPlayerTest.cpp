// The audio file player: what it opens, its trim range rules, its stop at the end
// position with one change message, and playback through a real JACK device.
#include "playback/AudioPlayer.h"

#include "ChildProgram.h"
#include "MessageLoop.h"

#include <gtest/gtest.h>

namespace
{
    juce::File media (const char* name)
    {
        return juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile (name);
    }

    struct ChangeCounter : juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++changes; }
        int changes = 0;
    };

    // Pulls blocks as an audio device would, pumping the message loop in between.
    void pullBlocks (AudioPlayer& player, int blocks, int blockSize = 512)
    {
        juce::AudioBuffer<float> buffer (2, blockSize);

        for (int i = 0; i < blocks; ++i)
        {
            buffer.clear();
            player.getNextAudioBlock (juce::AudioSourceChannelInfo (buffer));
            juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
        }
    }
}

TEST (AudioPlayer, OpensWavFilesAndDescribesThem)
{
    struct Case { const char* name; int bits; double rate; int channels; };
    const Case cases[] = {
        { "tone-16-44100-mono.wav", 16, 44100.0, 1 },   { "tone-16-48000-stereo.wav", 16, 48000.0, 2 },
        { "tone-24-44100-stereo.wav", 24, 44100.0, 2 }, { "tone-24-48000-mono.wav", 24, 48000.0, 1 },
    };

    for (auto& c : cases)
    {
        AudioPlayer player;
        ASSERT_TRUE (player.canOpen (media (c.name))) << c.name;
        std::string error;
        ASSERT_TRUE (player.open (media (c.name), &error)) << c.name << ": " << error;

        auto info = player.getMediaInfo();
        EXPECT_EQ (info.kind, MediaKind::audio);
        EXPECT_EQ (player.getMediaKind(), MediaKind::audio);
        EXPECT_EQ (info.file, media (c.name));
        EXPECT_NEAR (info.duration, 3.0, 1.0e-3) << c.name;
        EXPECT_EQ (info.widthOrBitDepth, c.bits);
        EXPECT_EQ (info.heightOrSampleRate, c.rate);
        EXPECT_EQ (info.sampleRate, c.rate);
        EXPECT_EQ (info.bitsPerSample, c.bits);
        EXPECT_EQ (info.numChannels, c.channels);
        EXPECT_DOUBLE_EQ (player.getEndPosition(), player.getDuration());
    }
}

TEST (AudioPlayer, RefusesWhatItCannotRead)
{
    AudioPlayer player;
    EXPECT_FALSE (player.canOpen (media ("clip-25.mov")));
    EXPECT_TRUE (player.canOpen (juce::File ("/nowhere/memo.WAV")));

    ScratchFolder folder;
    writeTextFile (folder / "fake.wav", "RIFF but not really a wave file");

    for (auto file : { media ("not-a-video.mov"), juce::File (folder / "fake.wav"), juce::File (folder / "missing.wav") })
    {
        std::string error;
        EXPECT_FALSE (player.open (file, &error)) << file.getFullPathName();
        EXPECT_EQ (error, "Error opening audio file.");
        EXPECT_FALSE (player.open (file, nullptr));
    }

    // A failed open leaves the file that was open in place.
    ASSERT_TRUE (player.open (media ("tone-16-48000-stereo.wav"), nullptr));
    EXPECT_FALSE (player.open (juce::File (folder / "fake.wav"), nullptr));
    EXPECT_NEAR (player.getDuration(), 3.0, 1.0e-3);
}

TEST (AudioPlayer, TrimRangeRules)
{
    AudioPlayer player;
    ASSERT_TRUE (player.open (media ("tone-16-48000-stereo.wav"), nullptr));
    player.prepareToPlay (512, 48000.0);

    player.setPosition (1.0);
    player.setStartPosition (2.0);
    EXPECT_NEAR (player.getPosition(), 2.0, 1.0e-3) << "a start after the position moves it";

    player.setPosition (2.5);
    player.setStartPosition (2.2);
    EXPECT_NEAR (player.getPosition(), 2.5, 1.0e-3) << "a start before the position leaves it";

    player.setStartPosition (3.5);
    EXPECT_DOUBLE_EQ (player.getStartPosition(), 2.2) << "a start after the end is ignored";

    player.setEndPosition (1.0);
    EXPECT_NEAR (player.getEndPosition(), 3.0, 1.0e-3) << "an end before the start is ignored";

    player.setEndPosition (2.4);
    EXPECT_DOUBLE_EQ (player.getEndPosition(), 2.4);
    EXPECT_NEAR (player.getPosition(), 2.4, 1.0e-3) << "an end before the position pulls it back";

    player.setVolume (0.25f);
    EXPECT_FLOAT_EQ (player.getVolume(), 0.25f);
    player.releaseResources();
}

TEST (AudioPlayer, StopsAtTheEndPositionWithOneChangeMessage)
{
    AudioPlayer player;
    ChangeCounter counter;
    player.addChangeListener (&counter);
    ASSERT_TRUE (player.open (media ("tone-16-48000-stereo.wav"), nullptr));
    player.prepareToPlay (512, 48000.0);
    player.setEndPosition (1.0);

    player.play();
    EXPECT_TRUE (player.isPlaying());
    runMessageLoopUntil ([&] { return counter.changes == 1; }, 2000);
    EXPECT_EQ (counter.changes, 1) << "start";

    // 1 s is 93.75 blocks of 512: playback stops at the first block that starts after it.
    pullBlocks (player, 120);
    runMessageLoopUntil ([&] { return ! player.isPlaying(); }, 2000);
    EXPECT_FALSE (player.isPlaying());
    runMessageLoopUntil ([] { return false; }, 100);
    EXPECT_EQ (counter.changes, 2) << "exactly one stop message";
    EXPECT_GT (player.getPosition(), 1.0);
    EXPECT_LT (player.getPosition(), 1.0 + 2 * 512 / 48000.0);

    // Nothing past the end is heard while the stop is on its way.
    juce::AudioBuffer<float> buffer (2, 512);
    player.play();
    buffer.clear();
    player.getNextAudioBlock (juce::AudioSourceChannelInfo (buffer));
    EXPECT_EQ (buffer.getMagnitude (0, 512), 0.0f);
    runMessageLoopUntil ([&] { return ! player.isPlaying(); }, 2000);

    player.removeChangeListener (&counter);
    player.releaseResources();
}

TEST (AudioPlayer, WithoutAFileTheBlockIsSilent)
{
    AudioPlayer player;
    player.prepareToPlay (256, 44100.0);
    juce::AudioBuffer<float> buffer (2, 256);
    buffer.applyGain (0.0f);
    for (int channel = 0; channel < 2; ++channel)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (channel), 0.7f, 256);

    player.getNextAudioBlock (juce::AudioSourceChannelInfo (buffer));
    EXPECT_EQ (buffer.getMagnitude (0, 256), 0.0f);
    player.releaseResources();
}

TEST (AudioPlayer, PlaysThroughARealJackDevice)
{
    juce::AudioDeviceManager devices;
    devices.setCurrentAudioDeviceType ("JACK", true);
    auto error = devices.initialise (0, 2, nullptr, false);
    auto* device = devices.getCurrentAudioDevice();

    if (device == nullptr)
        GTEST_SKIP() << "no JACK server: run inside tools/headless-session (" << error << ")";

    AudioPlayer player;
    ChangeCounter counter;
    player.addChangeListener (&counter);
    ASSERT_TRUE (player.open (media ("tone-16-44100-stereo.wav"), nullptr));
    player.setEndPosition (1.0);

    juce::AudioSourcePlayer sourcePlayer;
    sourcePlayer.setSource (&player);
    devices.addAudioCallback (&sourcePlayer);

    auto started = juce::Time::getMillisecondCounterHiRes();
    player.play();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return counter.changes >= 2; }, 10000)) << "no stop at the end position";
    auto elapsed = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;

    // The device's clock drove the file (at 48 kHz, resampled from 44.1 kHz) to its end position.
    EXPECT_GT (elapsed, 0.8);
    EXPECT_FALSE (player.isPlaying());
    EXPECT_NEAR (player.getPosition(), 1.0, 0.1);
    runMessageLoopUntil ([] { return false; }, 200);
    EXPECT_EQ (counter.changes, 2);

    devices.removeAudioCallback (&sourcePlayer);
    sourcePlayer.setSource (nullptr);
    player.removeChangeListener (&counter);
}
