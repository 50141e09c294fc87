// The audio source side: the resampler for the device's rate, draining the audio
// queue into the device buffer, the audio clock, and the offline-render switches.
#include "playback/VideoPlayer.h"
#include "playback/DecoderHold.h"
#include "shell/DebugLog.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libswresample/swresample.h>
}

#include <chrono>

void VideoPlayer::prepareToPlay (int samplesPerBlockExpected, double sampleRate)
{
    debugLog ("VideoPlayer::prepareToPlay samples: %d, sr: %g", samplesPerBlockExpected, sampleRate);

    std::unique_lock<std::recursive_mutex> control (controlLock);
    deviceSampleRate = sampleRate;
    deviceBlockSize = samplesPerBlockExpected;

    // A device that starts again at another rate without having stopped first would
    // otherwise play sound made for the old rate, at the wrong pitch.
    if (isOpen.load() && resampler != nullptr && resamplerRate != sampleRate)
    {
        DecoderHold hold (*this, DecoderHold::AtEnd::keepRaised);
        swr_close (resampler);
        swr_free (&resampler);
    }

    auto rebuilt = false;

    if (isOpen.load() && resampler == nullptr && audioCodecContext != nullptr)
    {
        DecoderHold hold (*this, DecoderHold::AtEnd::keepRaised);
        debugLog ("SRC reinit: from %d to %d, %d to %d", audioCodecContext->sample_rate, (int) sampleRate,
                  (int) audioCodecContext->sample_fmt, 8);
        makeResampler();

        if (resampler != nullptr)
            swr_init (resampler);

        // What is queued was made for the old rate.
        emptyQueues();
        rebuilt = true;
    }

    if (failurePending.load())
        return;

    abortRequested = false;

    // The decoder stands past what was thrown away: bring it back to where playback
    // is, so that neither sound nor pictures are skipped.
    if (rebuilt)
        moveTo (position.load(), true);
}

void VideoPlayer::releaseResources()
{
    debugLog ("VideoPlayer::releaseResources");

    // Workers stay out until the next prepareToPlay or open.
    DecoderHold hold (*this, DecoderHold::AtEnd::keepRaised);

    if (resampler != nullptr)
    {
        swr_close (resampler);
        swr_free (&resampler);
    }
}

void VideoPlayer::getNextAudioBlock (const juce::AudioSourceChannelInfo& block)
{
    block.clearActiveBufferRegion();

    struct Inside
    {
        explicit Inside (std::atomic<int>& c) : count (c) { ++count; }
        ~Inside() { --count; }
        std::atomic<int>& count;
    } inside (consumersInside);

    if (abortRequested.load())
        return;

    auto dt = 1.0 / audioSampleRate();
    auto outputting = offlineRendering.load()
                      || (playing.load() && (audioStarted.load() || audioOnly.load()) && speed.load() == 1);

    if (outputting)
    {
        auto remaining = block.numSamples;
        auto first = true;
        auto gain = volume.load();

        while (remaining > 0)
        {
            auto* chunk = audioQueue.peek();

            if (chunk == nullptr)
            {
                if (offlineRendering.load() && ! endOfFileSeen.load() && ! abortRequested.load() && isOpen.load())
                {
                    // Rendering to a file: wait for the decoder rather than drop sound.
                    std::this_thread::sleep_for (std::chrono::milliseconds (1));
                    continue;
                }

                // The silent clock lets pictures run on without sound, at the pace the
                // device plays its blocks.
                if (remaining == block.numSamples && ! videoQueue.isEmpty())
                    audioClock = audioClock.load() + block.numSamples / deviceSampleRate.load();

                break;
            }

            auto n = std::min (chunk->remainingSamples, remaining);

            if (first)
            {
                audioClock = (double) (chunk->pts + chunk->capacity - chunk->remainingSamples) * dt;
                first = false;
            }

            if (n > 0)
            {
                auto offset = block.startSample + (block.numSamples - remaining);
                block.buffer->copyFrom (0, offset, chunk->readPosition[0], n, gain);

                if (block.buffer->getNumChannels() >= 2)
                    block.buffer->copyFrom (1, offset, chunk->readPosition[1], n, gain);
            }

            chunk->advance (n);
            remaining -= n;

            if (chunk->remainingSamples == 0)
            {
                audioQueue.pop();
                chunk->recycle();
            }
        }

        if (audioOnly.load())
        {
            position = audioClock.load();

            if (playing.load())
            {
                if (audioQueue.isEmpty() && endOfFileSeen.load())
                    setPlaying (false);

                if (position.load() >= endPosition.load())
                    setPlaying (false);
            }
        }

        return;
    }

    if (audioOnly.load())
        return;

    // Paused: sound lying more than a block before the position is stale.
    while (auto* chunk = audioQueue.peek())
    {
        auto chunkTime = (double) (chunk->pts + chunk->capacity - chunk->remainingSamples) * dt;

        if (position.load() > chunkTime + deviceBlockSize.load() * dt)
        {
            audioQueue.pop();
            chunk->recycle();
        }
        else
        {
            break;
        }
    }
}

void VideoPlayer::setVolume (float gain)   { volume = gain; }
float VideoPlayer::getVolume()             { return volume.load(); }

bool VideoPlayer::setAudioOnly (bool shouldBeAudioOnly)
{
    return audioOnly.exchange (shouldBeAudioOnly);
}

bool VideoPlayer::setOfflineRendering (bool shouldRenderOffline)
{
    return offlineRendering.exchange (shouldRenderOffline);
}
