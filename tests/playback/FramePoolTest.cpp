// The frame pools on their own: video frames reused, counted and resized without a
// frame ever too small for the pictures written into it, audio chunks reset on reuse.
#include "playback/AudioFrameFactory.h"
#include "playback/FrameFactory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace
{
    // The bytes a picture of this size needs, rows padded as the pool pads them.
    size_t bytesNeeded (int width, int height)
    {
        return (size_t) ((width * 4 + 15) & ~15) * (size_t) height;
    }
}

TEST (FramePool, AReleasedFrameComesBackAndANewFrameGetsANewId)
{
    FrameFactory pool (64, 32, 2);
    EXPECT_EQ (pool.getNumFree(), 2u);
    EXPECT_EQ (pool.getNumInUse(), 0u);

    auto* first = pool.acquire();
    auto* second = pool.acquire();
    ASSERT_NE (first, nullptr);
    ASSERT_NE (second, nullptr);
    EXPECT_NE (first, second);
    EXPECT_NE (first->id, second->id);
    EXPECT_EQ (first->refCount.load(), 1);
    EXPECT_EQ (pool.getNumFree(), 0u);
    EXPECT_EQ (pool.getNumInUse(), 2u);

    // All in use: the pool grows by a frame of its own size with an id never seen.
    auto* third = pool.acquire();
    ASSERT_NE (third, nullptr);
    EXPECT_NE (third->id, first->id);
    EXPECT_NE (third->id, second->id);
    EXPECT_EQ (third->width, 64);
    EXPECT_EQ (third->height, 32);
    EXPECT_GE (third->getAllocatedBytes(), bytesNeeded (64, 32));
    EXPECT_EQ (pool.getNumInUse(), 3u);

    auto firstId = first->id;
    first->release();
    EXPECT_EQ (pool.getNumFree(), 1u);
    EXPECT_EQ (pool.getNumInUse(), 2u);

    auto* again = pool.acquire();
    EXPECT_EQ (again, first);
    EXPECT_EQ (again->id, firstId);
    EXPECT_EQ (again->refCount.load(), 1);
    EXPECT_EQ (pool.getNumFree(), 0u);

    for (auto* frame : { again, second, third })
        frame->release();

    EXPECT_EQ (pool.getNumFree(), 3u);
    EXPECT_EQ (pool.getNumInUse(), 0u);
}

TEST (FramePool, AFrameReleasedTwiceOrNotInUseGoesBackOnce)
{
    FrameFactory pool (16, 16, 1);
    auto* frame = pool.acquire();
    ASSERT_NE (frame, nullptr);

    frame->release();
    frame->release();
    EXPECT_EQ (frame->refCount.load(), 0);
    EXPECT_EQ (pool.getNumFree(), 1u);
    EXPECT_EQ (pool.getNumInUse(), 0u);

    // Given back again directly, or a frame of another pool: both ignored.
    pool.giveBack (frame);
    FrameFactory otherPool (16, 16, 1);
    auto* stranger = otherPool.acquire();
    pool.giveBack (stranger);
    EXPECT_EQ (pool.getNumFree(), 1u);
    EXPECT_EQ (otherPool.getNumInUse(), 1u);
    stranger->release();

    // One entry on the free list: two acquires give two different frames.
    auto* a = pool.acquire();
    auto* b = pool.acquire();
    EXPECT_EQ (a, frame);
    EXPECT_NE (b, frame);
    EXPECT_EQ (a->refCount.load(), 1);
    EXPECT_EQ (pool.getNumInUse(), 2u);
    a->release();
    b->release();
    EXPECT_EQ (pool.getNumFree(), 2u);
}

TEST (FramePool, AFrameStaysOutOfThePoolUntilItsLastHolderReleasesIt)
{
    FrameFactory pool (16, 16, 1);
    auto* frame = pool.acquire();
    ASSERT_NE (frame, nullptr);
    frame->addRef();
    frame->addRef();
    EXPECT_EQ (frame->refCount.load(), 3);

    for (int holdersLeft = 2; holdersLeft > 0; --holdersLeft)
    {
        frame->release();
        EXPECT_EQ (frame->refCount.load(), holdersLeft);
        EXPECT_EQ (pool.getNumFree(), 0u);
        EXPECT_EQ (pool.getNumInUse(), 1u);
    }

    frame->release();
    EXPECT_EQ (pool.getNumFree(), 1u);
    EXPECT_EQ (pool.getNumInUse(), 0u);
}

TEST (FramePool, ResizeKeepsOrDropsFramesAndNeverHandsOutOneTooSmall)
{
    struct Case { const char* name; int width, height; bool keepsFree, reusesHandedOut; };
    const Case cases[] = {
        { "same size", 64, 32, true, true },
        { "bigger", 128, 64, false, false },
        { "wider", 80, 32, false, false },
        { "taller", 64, 33, false, false },
        { "smaller", 32, 16, false, true },
        { "same bytes, other shape", 32, 64, false, true },
    };

    for (auto& c : cases)
    {
        FrameFactory pool (64, 32, 3);
        auto* handedOut = pool.acquire();
        ASSERT_NE (handedOut, nullptr);

        pool.resize (c.width, c.height);
        EXPECT_EQ (pool.getWidth(), c.width) << c.name;
        EXPECT_EQ (pool.getHeight(), c.height) << c.name;
        EXPECT_EQ (pool.getNumFree(), c.keepsFree ? 2u : 0u) << c.name;
        EXPECT_EQ (pool.getNumInUse(), 1u) << c.name;

        handedOut->release();
        auto numFree = pool.getNumFree();
        EXPECT_EQ (numFree, (c.keepsFree ? 2u : 0u) + (c.reusesHandedOut ? 1u : 0u)) << c.name;
        EXPECT_EQ (pool.getNumInUse(), 0u) << c.name;

        // Every frame the pool hands out now holds a picture of the new size, one more
        // than it has free included.
        std::vector<VideoFrame*> frames;

        for (size_t i = 0; i <= numFree; ++i)
        {
            auto* frame = pool.acquire();
            ASSERT_NE (frame, nullptr) << c.name;
            EXPECT_GE (frame->getAllocatedBytes(), bytesNeeded (c.width, c.height)) << c.name << ", frame " << i;
            frames.push_back (frame);
        }

        for (auto* frame : frames)
            frame->release();

        EXPECT_EQ (pool.getNumFree(), numFree + 1) << c.name;
    }
}

TEST (FramePool, FramesAcquiredAndReleasedOnManyThreadsAllComeBack)
{
    constexpr int numThreads = 4, rounds = 3000;
    FrameFactory pool (32, 8, 2);
    std::atomic<bool> sharedFrame { false };
    std::vector<std::thread> threads;

    for (int t = 0; t < numThreads; ++t)
    {
        threads.emplace_back ([&pool, &sharedFrame, t]
        {
            for (int round = 0; round < rounds; ++round)
            {
                auto* frame = pool.acquire();

                if (frame == nullptr)
                {
                    sharedFrame = true;
                    return;
                }

                // A frame belongs to one holder: no other thread may write it meanwhile.
                frame->data[0] = (std::uint8_t) t;
                frame->pts = round;

                if (round % 3 == 0)
                {
                    frame->addRef();
                    frame->release();
                }

                std::this_thread::yield();

                if (frame->data[0] != (std::uint8_t) t || frame->pts != round)
                    sharedFrame = true;

                frame->release();
            }
        });
    }

    for (auto& thread : threads)
        thread.join();

    EXPECT_FALSE (sharedFrame.load());
    EXPECT_EQ (pool.getNumInUse(), 0u);
    EXPECT_GE (pool.getNumFree(), 2u);
    EXPECT_LE (pool.getNumFree(), (size_t) numThreads);
}

//==============================================================================
TEST (FramePool, ARecycledAudioChunkComesBackSilentAndReset)
{
    AudioFrameFactory pool (256);
    EXPECT_EQ (pool.getCapacity(), 256);
    EXPECT_EQ (pool.getNumFree(), 8u);

    std::vector<AudioFrame*> chunks;
    std::set<int> ids;

    for (int i = 0; i < 9; ++i)
    {
        chunks.push_back (pool.acquire());
        ids.insert (chunks.back()->id);
        EXPECT_EQ (chunks.back()->capacity, 256);
    }

    EXPECT_EQ (ids.size(), 9u);
    EXPECT_EQ (pool.getNumFree(), 0u);

    auto* chunk = chunks.front();

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < chunk->capacity; ++i)
            chunk->channelStart[ch][i] = 0.5f + (float) i;

    chunk->validSamples = 100;
    chunk->remainingSamples = 100;
    chunk->advance (60);
    EXPECT_EQ (chunk->remainingSamples, 40);
    EXPECT_EQ (chunk->readPosition[0], chunk->channelStart[0] + 60);
    EXPECT_EQ (chunk->readPosition[1], chunk->channelStart[1] + 60);

    chunk->recycle();
    EXPECT_EQ (pool.getNumFree(), 1u);

    // Recycled twice: still one entry on the free list.
    chunk->recycle();
    EXPECT_EQ (pool.getNumFree(), 1u);

    auto* again = pool.acquire();
    ASSERT_EQ (again, chunk);
    EXPECT_EQ (pool.getNumFree(), 0u);
    EXPECT_EQ (again->validSamples, again->capacity);
    EXPECT_EQ (again->remainingSamples, again->capacity);

    for (int ch = 0; ch < 2; ++ch)
    {
        EXPECT_EQ (again->readPosition[ch], again->channelStart[ch]);
        int loud = 0;

        for (int i = 0; i < again->capacity; ++i)
            loud += again->channelStart[ch][i] != 0.0f ? 1 : 0;

        EXPECT_EQ (loud, 0) << "channel " << ch;
    }

    for (auto* each : chunks)
        each->recycle();

    EXPECT_EQ (pool.getNumFree(), 9u);
}

TEST (FramePool, AdvancingAnAudioChunkPastItsEndIsRefusedAndLeavesItAsItWas)
{
    struct Case { int first, second; bool refused; };
    const Case cases[] = {
        { 100, 156, false }, { 256, 0, false }, { 0, 256, false },
        { 257, 0, true },    { 200, 57, true }, { 0, 1000, true },
    };

    for (auto& c : cases)
    {
        AudioFrameFactory pool (256);
        auto* chunk = pool.acquire();
        auto label = std::to_string (c.first) + " then " + std::to_string (c.second);

        auto step = [chunk, &label] (int n) -> bool
        {
            auto remaining = chunk->remainingSamples;
            float* positions[2] = { chunk->readPosition[0], chunk->readPosition[1] };

            try
            {
                chunk->advance (n);
            }
            catch (const std::runtime_error&)
            {
                EXPECT_EQ (chunk->remainingSamples, remaining) << label;
                EXPECT_EQ (chunk->readPosition[0], positions[0]) << label;
                EXPECT_EQ (chunk->readPosition[1], positions[1]) << label;
                return false;
            }

            EXPECT_EQ (chunk->remainingSamples, remaining - n) << label;
            EXPECT_EQ (chunk->readPosition[0], positions[0] + n) << label;
            EXPECT_EQ (chunk->readPosition[1], positions[1] + n) << label;
            return true;
        };

        auto accepted = step (c.first) && step (c.second);
        EXPECT_EQ (accepted, ! c.refused) << label;
        EXPECT_GE (chunk->remainingSamples, 0) << label;
        EXPECT_LE (chunk->readPosition[0], chunk->channelStart[0] + chunk->capacity) << label;
        chunk->recycle();
    }
}

TEST (FramePool, AudioChunksAcquiredAndRecycledOnManyThreadsAllComeBack)
{
    constexpr int numThreads = 4, rounds = 3000;
    AudioFrameFactory pool (64);
    std::atomic<bool> sharedChunk { false };
    std::vector<std::thread> threads;

    for (int t = 0; t < numThreads; ++t)
    {
        threads.emplace_back ([&pool, &sharedChunk, t]
        {
            for (int round = 0; round < rounds; ++round)
            {
                auto* chunk = pool.acquire();

                if (chunk->readPosition[0] != chunk->channelStart[0] || chunk->channelStart[1][0] != 0.0f)
                    sharedChunk = true;

                chunk->channelStart[1][0] = (float) (t + 1);
                chunk->pts = round;
                std::this_thread::yield();

                if (chunk->channelStart[1][0] != (float) (t + 1) || chunk->pts != round)
                    sharedChunk = true;

                chunk->recycle();
            }
        });
    }

    for (auto& thread : threads)
        thread.join();

    // Never more than one chunk a thread in use: the 8 the pool starts with suffice.
    EXPECT_FALSE (sharedChunk.load());
    EXPECT_EQ (pool.getNumFree(), 8u);
}
