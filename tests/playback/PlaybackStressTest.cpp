// Every thread that may touch a video player does so at once, many times over: the
// message thread opens, plays, seeks, steps and closes; a render thread takes
// pictures; an audio thread takes sound; a resize thread changes the output size.
// Run under ThreadSanitizer by tools/run-thread-sanitizer.
#include "playback/VideoPlayer.h"

#include "MessageLoop.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace
{
    juce::File media (const char* name)
    {
        return juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile (name);
    }
}

TEST (PlaybackStress, AllThreadsAtOnce)
{
    VideoPlayer player;
    std::atomic<bool> running { true };
    std::atomic<int> picturesSeen { 0 }, blocksPlayed { 0 }, resizes { 0 };

    std::thread render ([&]
    {
        while (running)
        {
            // Only a display that coordinates with resizes may read the picture itself.
            if (player.isMediaOpen() && player.getNextVideoFrame() != nullptr)
                ++picturesSeen;

            std::this_thread::sleep_for (std::chrono::milliseconds (3));
        }
    });

    std::thread audio ([&]
    {
        juce::AudioBuffer<float> block (2, 512);

        while (running)
        {
            player.getNextAudioBlock (juce::AudioSourceChannelInfo (block));
            ++blocksPlayed;
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }
    });

    std::thread resizer ([&]
    {
        int step = 0;

        while (running)
        {
            if (player.setOutputSize (320 + 32 * (step++ % 4), 180, 1.0))
                ++resizes;

            std::this_thread::sleep_for (std::chrono::milliseconds (37));
        }
    });

    std::mt19937 random (99);
    const char* files[] = { "clip-25.mov", "clip-2997.mov", "audio.m4a", "silent.mov" };
    player.prepareToPlay (512, 48000.0);

    for (int round = 0; round < 12; ++round)
    {
        auto file = media (files[round % 4]);
        std::string error;
        ASSERT_TRUE (player.open (file, &error)) << error;
        std::uniform_real_distribution<double> anywhere (0.0, player.getDuration());

        for (int i = 0; i < 40; ++i)
        {
            switch (random() % 8)
            {
                case 0: player.play(); break;
                case 1: player.stop(); break;
                case 2: player.setPosition (anywhere (random)); break;
                case 3: player.oneFrameIncrement(); break;
                case 4: player.oneFrameDecrement(); break;
                case 5: player.playAtSpeed (4); break;
                case 6: player.getCurrentFrameImage(); break;
                default: player.setPosition (player.getDuration()); break;
            }

            runMessageLoopUntil ([] { return false; }, 15);
        }

        player.close();
    }

    running = false;
    render.join();
    audio.join();
    resizer.join();
    player.releaseResources();

    EXPECT_GT (picturesSeen.load(), 0);
    EXPECT_GT (blocksPlayed.load(), 0);
    EXPECT_GT (resizes.load(), 0);
}
