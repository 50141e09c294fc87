// The audio callbacks of both players in steady state: no memory is allocated and no
// lock is taken, except the audio pool's short list lock when a chunk is recycled.
// This test program counts every allocation and every mutex lock made on the thread
// that plays the device's part.
#include "playback/AudioPlayer.h"
#include "playback/VideoPlayer.h"

#include "MessageLoop.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>
#include <unistd.h>
#include <pthread.h>
#include <new>

namespace
{
    thread_local bool counting = false;
    thread_local int allocations = 0;
    thread_local int locks = 0;

    struct CountedScope
    {
        CountedScope() { allocations = locks = 0; counting = true; }
        ~CountedScope() { counting = false; }
    };
}

void* operator new (std::size_t size)
{
    if (counting)
        ++allocations;

    if (auto* memory = std::malloc (size == 0 ? 1 : size))
        return memory;

    throw std::bad_alloc();
}

void* operator new[] (std::size_t size) { return operator new (size); }
void operator delete (void* memory) noexcept { std::free (memory); }
void operator delete[] (void* memory) noexcept { std::free (memory); }
void operator delete (void* memory, std::size_t) noexcept { std::free (memory); }
void operator delete[] (void* memory, std::size_t) noexcept { std::free (memory); }

extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    using Lock = int (*) (pthread_mutex_t*);
    static auto realLock = (Lock) dlsym (RTLD_NEXT, "pthread_mutex_lock");

    if (counting)
    {
        ++locks;

        if (getenv ("VORNIQ_SHOW_LOCKS") != nullptr)
        {
            counting = false;
            void* frames[12];
            backtrace_symbols_fd (frames, backtrace (frames, 12), 2);
            write (2, "--\n", 3);
            counting = true;
        }
    }

    return realLock (mutex);
}

namespace
{
    juce::File media (const char* name)
    {
        return juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile (name);
    }
}

TEST (AudioCallback, TheVideoPlayerAllocatesNothingAndLocksOnlyThePool)
{
    for (auto* name : { "clip-25.mov", "audio.m4a" })
    {
        VideoPlayer player;
        ASSERT_TRUE (player.open (juce::File (media (name)), nullptr));
        player.prepareToPlay (512, 48000.0);
        player.play();
        ASSERT_TRUE (runMessageLoopUntil ([&] { return player.getNumQueuedAudioChunks() > 100; }, 10000));

        // The display has shown a picture, so the sound may start.
        player.getNextVideoFrame();
        juce::AudioBuffer<float> block (2, 512);
        juce::AudioSourceChannelInfo info (block);
        player.getNextAudioBlock (info);

        const int blocks = 64;
        int allocated, locked;
        {
            CountedScope scope;

            for (int i = 0; i < blocks; ++i)
                player.getNextAudioBlock (info);

            allocated = allocations;
            locked = locks;
        }

        EXPECT_EQ (allocated, 0) << name;
        // One chunk of 1024 samples is recycled every second block of 512.
        EXPECT_LE (locked, blocks / 2 + 1) << name;
        EXPECT_GT (block.getMagnitude (0, 512), 0.0f) << name << ": it really played";
        player.stop();
    }
}

TEST (AudioCallback, TheAudioPlayerAllocatesNothing)
{
    AudioPlayer player;
    ASSERT_TRUE (player.open (media ("tone-16-44100-stereo.wav"), nullptr));
    player.prepareToPlay (512, 48000.0);
    player.play();

    juce::AudioBuffer<float> block (2, 512);
    juce::AudioSourceChannelInfo info (block);

    for (int i = 0; i < 4; ++i)
        player.getNextAudioBlock (info);

    const int blocks = 64;
    int allocated, locked;
    {
        CountedScope scope;

        for (int i = 0; i < blocks; ++i)
            player.getNextAudioBlock (info);

        allocated = allocations;
        locked = locks;
    }

    EXPECT_EQ (allocated, 0);
    // JUCE's transport locks itself (its own callback lock, the resampler's and the
    // position query), three uncontended locks a block; nothing else may.
    EXPECT_LE (locked, 3 * blocks);
    EXPECT_GT (block.getMagnitude (0, 512), 0.0f);
    player.stop();
}
