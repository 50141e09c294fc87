#include "playback/FrameFactory.h"

#include <algorithm>
#include <chrono>

extern "C"
{
#include <libavutil/mem.h>
}

int nextFrameSerialNumber()
{
    static std::atomic<int> counter { 0 };
    return ++counter;
}

std::int64_t steadyClockMicroseconds()
{
    using namespace std::chrono;
    return duration_cast<microseconds> (steady_clock::now().time_since_epoch()).count();
}

//==============================================================================
VideoFrame::VideoFrame (FrameFactory* pool, int frameWidth, int frameHeight)
    : id (nextFrameSerialNumber()),
      width (frameWidth),
      height (frameHeight),
      stride ((frameWidth * 4 + 15) & ~15),
      owner (pool)
{
    allocatedBytes = (size_t) std::max (0, stride) * (size_t) std::max (0, height);
    data = (std::uint8_t*) av_malloc (std::max<size_t> (allocatedBytes, 16));
}

VideoFrame::~VideoFrame()
{
    av_free (data);
}

void VideoFrame::release()
{
    // Never below zero: a frame released again while already back in its pool is left
    // alone, without touching a count that a new holder may have raised meanwhile.
    auto current = refCount.load();

    do
    {
        if (current <= 0)
            return;
    }
    while (! refCount.compare_exchange_weak (current, current - 1));

    if (current == 1)
        owner->giveBack (this);
}

void VideoFrame::addRef()
{
    ++refCount;
}

//==============================================================================
FrameFactory::FrameFactory (int frameWidth, int frameHeight, int count)
    : width (frameWidth), height (frameHeight)
{
    for (int i = 0; i < count; ++i)
        freeFrames.push_back (new VideoFrame (this, width, height));
}

FrameFactory::~FrameFactory()
{
    std::lock_guard<std::mutex> guard (lock);

    for (auto* frame : freeFrames)
        delete frame;

    for (auto* frame : framesInUse)
        delete frame;
}

VideoFrame* FrameFactory::acquire()
{
    std::lock_guard<std::mutex> guard (lock);

    // Moving list nodes between the lists (splice) allocates nothing.
    if (freeFrames.empty())
    {
        auto* made = new (std::nothrow) VideoFrame (this, width, height);

        if (made == nullptr || made->data == nullptr)
        {
            delete made;
            return nullptr;
        }

        framesInUse.push_back (made);
    }
    else
    {
        framesInUse.splice (framesInUse.end(), freeFrames, freeFrames.begin());
    }

    auto* frame = framesInUse.back();
    frame->acquireTime = steadyClockMicroseconds();
    frame->addRef();
    return frame;
}

void FrameFactory::giveBack (VideoFrame* frame)
{
    std::lock_guard<std::mutex> guard (lock);
    auto found = std::find (framesInUse.begin(), framesInUse.end(), frame);

    if (found == framesInUse.end())
        return;

    // A frame made for an older, smaller size must never be filled at the new size.
    auto neededBytes = (size_t) (((width * 4 + 15) & ~15)) * (size_t) height;

    if (frame->getAllocatedBytes() < neededBytes)
    {
        framesInUse.erase (found);
        delete frame;
    }
    else
    {
        freeFrames.splice (freeFrames.end(), framesInUse, found);
    }
}

void FrameFactory::resize (int newWidth, int newHeight)
{
    std::lock_guard<std::mutex> guard (lock);

    if (newWidth == width && newHeight == height)
        return;

    for (auto* frame : freeFrames)
        delete frame;

    freeFrames.clear();
    width = newWidth;
    height = newHeight;
}

int FrameFactory::getWidth() const           { std::lock_guard<std::mutex> guard (lock); return width; }
int FrameFactory::getHeight() const          { std::lock_guard<std::mutex> guard (lock); return height; }
size_t FrameFactory::getNumFree() const      { std::lock_guard<std::mutex> guard (lock); return freeFrames.size(); }
size_t FrameFactory::getNumInUse() const     { std::lock_guard<std::mutex> guard (lock); return framesInUse.size(); }
