// Reusable decoded pictures: every picture the video player decodes lives in a
// VideoFrame taken from a FrameFactory and goes back to it when done.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>

class FrameFactory;

/** Hands out serial numbers for video and audio frames alike. Any thread. */
int nextFrameSerialNumber();

/** The steady clock in microseconds, the time base of frame bookkeeping. */
std::int64_t steadyClockMicroseconds();

/**
    One decoded picture: 32-bit pixels in B, G, R, A byte order. A frame belongs to one
    holder at a time (a queue, the decoder, or the player's current-frame slot), so its
    pixels are read and written without a lock; refCount is atomic.
*/
class VideoFrame
{
public:
    VideoFrame (FrameFactory* owner, int width, int height);
    virtual ~VideoFrame();

    /** Drops one holder's reference; the last one returns the frame to its pool. A
        frame already back in its pool is left alone. Any thread. */
    void release();

    /** Counts one more holder (the pool's acquire, and the player's shown-picture
        slot when the picture also stays queued). */
    void addRef();

    /** The bytes the pixel memory holds. */
    size_t getAllocatedBytes() const { return allocatedBytes; }

    int id;
    std::int64_t acquireTime = 0;
    std::int64_t pts = 0;
    bool keyFrame = false;
    int width, height, stride;
    std::uint8_t* data = nullptr;
    FrameFactory* owner; // the pool outlives every frame it made
    std::atomic<int> refCount { 0 };

private:
    size_t allocatedBytes = 0;
};

/**
    The pool of video frames of one open file. It grows on demand and never shrinks,
    except that a change of the picture size drops the free frames.

    Threads: decoder threads acquire, the render and message threads release; lock
    guards both lists and the size.
*/
class FrameFactory
{
public:
    /** Makes count frames of the given size. */
    FrameFactory (int width, int height, int count);
    virtual ~FrameFactory();

    /** A free frame (or a new one of the current size), counted as in use; null only
        when memory runs out. */
    VideoFrame* acquire();

    /** Takes a frame back. A frame that is not in use is ignored; one whose memory is
        too small for the current size (it was handed out before a resize) is
        destroyed instead of being handed out again. */
    void giveBack (VideoFrame* frame);

    /** Drops the free frames when the size changes; frames in use are untouched. */
    void resize (int width, int height);

    int getWidth() const;
    int getHeight() const;

    /** Frames on the free list and in use. */
    size_t getNumFree() const;
    size_t getNumInUse() const;

private:
    mutable std::mutex lock;
    int width, height;
    std::list<VideoFrame*> freeFrames, framesInUse;
};
