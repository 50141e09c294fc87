// Presets chosen on the message thread while the audio thread processes, as they are
// while a recording plays. Run under ThreadSanitizer by tools/run-effects-thread-sanitizer;
// without it, this still checks that nothing breaks or stalls.
#include <gtest/gtest.h>

#include "MessageLoop.h"
#include "editing/EffectsChain.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

TEST (EffectsChainThreads, PresetsChangeSafelyWhileTheAudioThreadProcesses)
{
    EffectsChain chain { juce::File (VORNIQ_PLUGINS_DIR) };
    chain.prepare (512, 48000.0);
    ASSERT_TRUE (chain.isInitialised());

    std::atomic<bool> stop { false }, finite { true };
    std::atomic<int> blocks { 0 };

    std::thread audio ([&]
    {
        juce::AudioBuffer<float> block (2, 512);
        juce::MidiBuffer midi;

        for (int b = 0; ! stop.load(); ++b)
        {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 512; ++i)
                    block.setSample (c, i, 0.8f * std::sin (0.02f * (float) (b * 512 + i) + (float) c));

            chain.process (block, midi);

            if (! std::isfinite (block.getMagnitude (0, 512)))
                finite = false;

            blocks.fetch_add (1);

            // About the pace of a device with a little room, so the two threads
            // overlap the whole time.
            std::this_thread::sleep_for (std::chrono::microseconds (500));
        }
    });

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (1500);
    int round = 0;

    while (std::chrono::steady_clock::now() < deadline)
    {
        chain.setPreset (1 + round % 10);

        if (round % 7 == 3)
            chain.setCategoryEnabled (round % 3, false);

        (void) chain.isActive();

        // Lets JUCE's host pass the changes on to the plug-ins' controllers.
        juce::MessageManager::getInstance()->runDispatchLoopUntil (2);
        ++round;
    }

    stop = true;
    audio.join();
    chain.release();

    EXPECT_GT (round, 100);
    EXPECT_GT (blocks.load(), 100);
    EXPECT_TRUE (finite.load());
}
