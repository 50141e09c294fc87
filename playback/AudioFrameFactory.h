// Reusable audio chunks: resampled sound waits for the audio device in AudioFrames
// taken from an AudioFrameFactory.
#pragma once

#include <cstdint>
#include <list>
#include <mutex>

class AudioFrameFactory;

/** One chunk of resampled sound: two planar float channels in one block. A chunk
    belongs to one holder at a time (the decoder, then the audio queue, then the
    audio thread), so its samples are used without a lock. */
class AudioFrame
{
public:
    AudioFrame (AudioFrameFactory* owner, int capacity);
    virtual ~AudioFrame();

    /** Resets the counts and read positions, zeroes the samples and returns the
        chunk to its pool. */
    void recycle();

    /** Moves both read positions n samples on. Throws std::runtime_error when that
        goes past the end, leaving the chunk as it was (a broken invariant: callers
        never ask for more than remainingSamples). */
    void advance (int n);

    int id;
    std::int64_t pts = 0;
    int capacity, validSamples, remainingSamples;
    float* channelStart[2];
    float* readPosition[2];
    AudioFrameFactory* owner; // the pool outlives every chunk it made
};

/**
    The pool of audio chunks of one open file.

    Threads: the decoder acquires, the audio device thread recycles; lock guards both
    lists and is held only for the list operation itself.
*/
class AudioFrameFactory
{
public:
    /** Makes 8 chunks of the given capacity. */
    explicit AudioFrameFactory (int capacity);
    virtual ~AudioFrameFactory();

    /** A free chunk, or a new one. */
    AudioFrame* acquire();

    /** Takes a chunk back. */
    void giveBack (AudioFrame* frame);

    int getCapacity() const { return capacity; }
    size_t getNumFree() const;

private:
    const int capacity;
    mutable std::mutex lock;
    std::list<AudioFrame*> freeFrames, framesInUse;
};
