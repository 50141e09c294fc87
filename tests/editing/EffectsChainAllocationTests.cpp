// The chain's process() on the real-time path: after prepare() it must not touch the
// heap. This program replaces the C allocator (which operator new and JUCE's buffers
// both use) with one that counts the calls made by the thread under watch.
#include <gtest/gtest.h>

#include "editing/EffectsChain.h"

#include <atomic>
#include <cmath>
#include <cstdlib>

extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);
    void __libc_free (void*);
}

namespace
{
    thread_local bool watching = false;
    std::atomic<int> heapCalls { 0 };

    void note()
    {
        if (watching)
            heapCalls.fetch_add (1, std::memory_order_relaxed);
    }

    /** Counts the heap calls of this thread while it lives. */
    struct HeapWatch
    {
        HeapWatch()   { watching = true; }
        ~HeapWatch()  { watching = false; }
    };
}

extern "C"
{
    void* malloc (size_t size)                 { note(); return __libc_malloc (size); }
    void* calloc (size_t count, size_t size)   { note(); return __libc_calloc (count, size); }
    void* realloc (void* pointer, size_t size) { note(); return __libc_realloc (pointer, size); }
    void* memalign (size_t alignment, size_t size)       { note(); return __libc_memalign (alignment, size); }
    void* aligned_alloc (size_t alignment, size_t size)  { note(); return __libc_memalign (alignment, size); }

    int posix_memalign (void** result, size_t alignment, size_t size)
    {
        note();
        *result = __libc_memalign (alignment, size);
        return *result != nullptr ? 0 : 12;    // ENOMEM
    }

    void free (void* pointer)
    {
        if (pointer != nullptr)
            note();

        __libc_free (pointer);
    }
}

namespace
{
    void fillWithMusic (juce::AudioBuffer<float>& block, int blockIndex)
    {
        for (int c = 0; c < block.getNumChannels(); ++c)
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (c, i, 0.7f * std::sin (0.031f * (float) (blockIndex * block.getNumSamples() + i) + (float) c));
    }
}

TEST (EffectsChainRealTime, TheWatchSeesAllocations)
{
    heapCalls = 0;
    {
        HeapWatch watch;
        juce::AudioBuffer<float> buffer (2, 100);
    }
    EXPECT_GT (heapCalls.load(), 0);
}

TEST (EffectsChainRealTime, ProcessAllocatesNothingAfterPrepareWithEveryCategoryOn)
{
    EffectsChain chain { juce::File (VORNIQ_PLUGINS_DIR) };
    chain.prepare (512, 48000.0);
    ASSERT_TRUE (chain.isInitialised());

    chain.setPreset (5);     // "Stadium"
    chain.setPreset (7);     // "Ultra Maximize"
    chain.setPreset (9);     // "Wide"

    juce::AudioBuffer<float> block (2, 512);
    juce::MidiBuffer midi;
    heapCalls = 0;

    // From the very first block after prepare, with preset changes from the message
    // thread in between and the device's block shrinking below the prepared size.
    for (int b = 0; b < 400; ++b)
    {
        if (b == 100)
            chain.setPreset (3);

        if (b == 200)
            chain.setPreset (8);

        if (b == 300)
            chain.setCategoryEnabled (EffectCategory::stereo, false);

        // Switched off, the compressors and the reverbs still run on every block.
        if (b == 320)
            chain.setCategoryEnabled (EffectCategory::mastering, false);

        if (b == 340)
            chain.setCategoryEnabled (EffectCategory::reverb, false);

        auto size = b < 350 ? 512 : 256 + b % 128;
        block.setSize (2, size, false, false, true);
        fillWithMusic (block, b);

        HeapWatch watch;
        chain.process (block, midi);
    }

    EXPECT_EQ (heapCalls.load(), 0);
    chain.release();
}

TEST (EffectsChainRealTime, ProcessAllocatesNothingAtTheRendersBlockSize)
{
    EffectsChain chain { juce::File (VORNIQ_PLUGINS_DIR) };
    chain.prepare (4096, 44100.0);
    chain.setPreset (2);
    chain.setPreset (6);
    chain.setPreset (10);

    juce::AudioBuffer<float> block (2, 4096);
    juce::MidiBuffer midi;
    heapCalls = 0;

    for (int b = 0; b < 20; ++b)
    {
        fillWithMusic (block, b);
        HeapWatch watch;
        chain.process (block, midi);
    }

    EXPECT_EQ (heapCalls.load(), 0);
    chain.release();
}
