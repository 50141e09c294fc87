#include "playback/AudioFrameFactory.h"
#include "playback/FrameFactory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

AudioFrame::AudioFrame (AudioFrameFactory* pool, int frameCapacity)
    : id (nextFrameSerialNumber()),
      capacity (frameCapacity),
      validSamples (frameCapacity),
      remainingSamples (frameCapacity),
      owner (pool)
{
    auto* block = (float*) std::calloc ((size_t) capacity * 2, sizeof (float));

    if (block == nullptr)
        throw std::bad_alloc();

    channelStart[0] = readPosition[0] = block;
    channelStart[1] = readPosition[1] = block + capacity;
}

AudioFrame::~AudioFrame()
{
    std::free (channelStart[0]);
}

void AudioFrame::recycle()
{
    remainingSamples = validSamples = capacity;
    readPosition[0] = channelStart[0];
    readPosition[1] = channelStart[1];
    std::memset (channelStart[0], 0, sizeof (float) * (size_t) capacity * 2);
    owner->giveBack (this);
}

void AudioFrame::advance (int n)
{
    // Refused before anything moves: a chunk must never read past its block.
    if (n > remainingSamples)
        throw std::runtime_error ("Error! Offsetting audio frame read by more than its capacity");

    readPosition[0] += n;
    readPosition[1] += n;
    remainingSamples -= n;
}

//==============================================================================
AudioFrameFactory::AudioFrameFactory (int frameCapacity)
    : capacity (frameCapacity)
{
    for (int i = 0; i < 8; ++i)
        freeFrames.push_back (new AudioFrame (this, capacity));
}

AudioFrameFactory::~AudioFrameFactory()
{
    std::lock_guard<std::mutex> guard (lock);

    for (auto* frame : freeFrames)
        delete frame;

    for (auto* frame : framesInUse)
        delete frame;
}

AudioFrame* AudioFrameFactory::acquire()
{
    std::lock_guard<std::mutex> guard (lock);

    // Moving list nodes between the lists (splice) allocates nothing.
    if (freeFrames.empty())
        framesInUse.push_back (new AudioFrame (this, capacity));
    else
        framesInUse.splice (framesInUse.end(), freeFrames, freeFrames.begin());

    return framesInUse.back();
}

void AudioFrameFactory::giveBack (AudioFrame* frame)
{
    std::lock_guard<std::mutex> guard (lock);
    auto found = std::find (framesInUse.begin(), framesInUse.end(), frame);

    if (found != framesInUse.end())
        freeFrames.splice (freeFrames.end(), framesInUse, found);
}

size_t AudioFrameFactory::getNumFree() const
{
    std::lock_guard<std::mutex> guard (lock);
    return freeFrames.size();
}
