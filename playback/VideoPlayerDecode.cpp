// The running core: reading and decoding packets, the two queues, the decode-ahead
// worker, the choice of picture against the audio clock, and the transport.
#include "playback/VideoPlayer.h"
#include "playback/DecoderHold.h"
#include "shell/DebugLog.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <chrono>
#include <cmath>

namespace
{
    std::string errorText (int errorCode)
    {
        char text[512] = {};
        av_strerror (errorCode, text, sizeof (text));
        return text;
    }

    void sleepMicroseconds (int us)
    {
        std::this_thread::sleep_for (std::chrono::microseconds (us));
    }

    // Counts a consumer (render or audio thread) as inside the queues for its scope,
    // so that a decoder holder can wait until none is.
    struct ConsumerScope
    {
        explicit ConsumerScope (std::atomic<int>& counter) : count (counter) { ++count; }
        ~ConsumerScope() { --count; }
        std::atomic<int>& count;
    };
}

//==============================================================================
bool VideoPlayer::tryTakeDecoder()
{
    return ! busy.exchange (true);
}

void VideoPlayer::dropDecoder()
{
    busy = false;
}

void VideoPlayer::waitForWorkersToIdle()
{
    auto isDecodeThread = std::this_thread::get_id() == decodeThreadId.load();

    while (busy.load() || consumersInside.load() > 0
           || (! isDecodeThread && (decodeThreadRunning.load() || stepThreadsRunning.load() > 0)))
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
}

std::int64_t VideoPlayer::toMicroseconds (std::int64_t streamTime) const
{
    if (streamTime == AV_NOPTS_VALUE)
        streamTime = 0;

    return av_rescale_q (streamTime, AVRational { streamTimeBaseNum, streamTimeBaseDen }, AVRational { 1, 1000000 });
}

double VideoPlayer::audioSampleRate() const
{
    auto rate = decoderSampleRate.load();
    return rate > 0.0 ? rate : 44100.0;
}

void VideoPlayer::pushPicture (VideoFrame* frame)
{
    if (! videoQueue.push (frame))
        frame->release();
}

void VideoPlayer::pushAudio (AudioFrame* chunk)
{
    if (! audioQueue.push (chunk))
        chunk->recycle();
}

void VideoPlayer::emptyQueues()
{
    while (auto* frame = videoQueue.pop())
        frame->release();

    while (auto* chunk = audioQueue.pop())
        chunk->recycle();
}

//==============================================================================
VideoFrame* VideoPlayer::decodeNextVideoFrame (bool convert, bool honourAbort)
{
    if (! tryTakeDecoder())
        return nullptr;

    if (abortRequested.load() && honourAbort)
    {
        dropDecoder();
        return nullptr;
    }

    try
    {
        for (;;)
        {
            // A picture the decoder already holds comes first.
            if (videoCodecContext != nullptr && ! audioOnly.load())
            {
                decodeTiming.toggle();
                auto received = avcodec_receive_frame (videoCodecContext, decodedFrame);
                decodeTiming.toggle();

                if (received == 0)
                {
                    auto* frame = receivePicture (convert);
                    dropDecoder();
                    return frame;
                }

                if (received == AVERROR_EOF)
                {
                    decoderDrained = true;
                    streamExhausted = true;
                    dropDecoder();
                    return nullptr;
                }

                if (videoPacketPending)
                {
                    auto sent = avcodec_send_packet (videoCodecContext, packet);

                    if (sent == AVERROR (EAGAIN))
                        continue;

                    videoPacketPending = false;
                    av_packet_unref (packet);
                    continue;
                }
            }

            if (endOfFile)
            {
                // Draining: the decoder gives up the pictures it still holds, one a call.
                if (decoderDrained || audioOnly.load() || videoCodecContext == nullptr || drainRequested)
                {
                    decoderDrained = true;
                    streamExhausted = true;
                    dropDecoder();
                    return nullptr;
                }

                avcodec_send_packet (videoCodecContext, nullptr);
                drainRequested = true;
                continue;
            }

            auto result = av_read_frame (formatContext, packet);

            if (result >= 0)
            {
                if (packet->stream_index == audioStreamIndex)
                {
                    decodeAudioPacket (*packet);

                    if (audioQueue.size() > 495)
                    {
                        dropDecoder();
                        return nullptr;
                    }

                    continue;
                }

                if (audioOnly.load() || packet->stream_index != videoStreamIndex || videoCodecContext == nullptr)
                {
                    av_packet_unref (packet);
                    continue;
                }

                decodeTiming.toggle();
                auto sent = avcodec_send_packet (videoCodecContext, packet);
                decodeTiming.toggle();

                if (sent == AVERROR (EAGAIN))
                {
                    // The decoder wants its pictures taken first; the packet waits.
                    videoPacketPending = true;
                    continue;
                }

                // A damaged packet is skipped; the decoder goes on with the next one.
                av_packet_unref (packet);
                continue;
            }

            if (result == AVERROR_EOF)
            {
                endOfFile = true;
                endOfFileSeen = true;
                continue;
            }

            if (! audioOnly.load() && avio_feof (formatContext->pb))
            {
                endOfFile = true;
                endOfFileSeen = true;
                continue;
            }

            if (formatContext->pb != nullptr && formatContext->pb->error != 0)
                throw std::runtime_error (errorText (result));

            sleepMicroseconds (100);
        }
    }
    catch (...)
    {
        av_packet_unref (packet);
        dropDecoder();
        throw;
    }
}

VideoFrame* VideoPlayer::receivePicture (bool convert)
{
    auto* frame = videoPool->acquire();

    if (frame == nullptr)
    {
        av_frame_unref (decodedFrame);
        throw std::runtime_error ("Player unable to get a new frame from factory");
    }

    frame->keyFrame = decodedFrame->key_frame != 0;

    // Picture times are presentation times. The first picture fixes the origin.
    auto pts = toMicroseconds (decodedFrame->best_effort_timestamp);

    if (startPts.load() == AV_NOPTS_VALUE)
    {
        startPts = pts;
        debugLog ("upts0 == %lld (decode time %lld)", (long long) pts, (long long) toMicroseconds (decodedFrame->pkt_dts));
    }
    else if (lastPts.load() != AV_NOPTS_VALUE && pts < lastPts.load())
    {
        pts = lastPts.load() + frameDurationUs;
    }

    frame->pts = pts;
    lastPts = pts;

    // Positioning drops the pictures before its target unseen: no need to convert them.
    if (convert && pts >= convertFromUs)
    {
        if (scaler == nullptr)
        {
            frame->release();
            av_frame_unref (decodedFrame);
            throw std::runtime_error ("Player unable to create scaling context");
        }

        auto width = outputWidth.load(), height = outputHeight.load();

        // Never write more than the frame holds: a frame made before a resize is smaller.
        if ((size_t) width * 4 * (size_t) height > frame->getAllocatedBytes())
        {
            frame->release();
            av_frame_unref (decodedFrame);
            throw std::runtime_error ("Player unable to get a new frame from factory");
        }

        std::uint8_t* planes[4] = { frame->data, nullptr, nullptr, nullptr };
        int strides[4] = { width * 4, 0, 0, 0 };
        conversionTiming.toggle();
        sws_scale (scaler, decodedFrame->data, decodedFrame->linesize, 0, videoCodecContext->height, planes, strides);
        conversionTiming.toggle();
        frame->width = width;
        frame->height = height;
        frame->stride = width * 4;
    }

    av_frame_unref (decodedFrame);
    return frame;
}

void VideoPlayer::decodeAudioPacket (AVPacket& audioPacket)
{
    if (resampler == nullptr || audioCodecContext == nullptr)
    {
        av_packet_unref (&audioPacket);
        return;
    }

    auto sent = avcodec_send_packet (audioCodecContext, &audioPacket);
    av_packet_unref (&audioPacket);

    // A damaged packet is skipped, as damaged pictures are.
    if (sent < 0 && sent != AVERROR (EAGAIN) && sent != AVERROR_INVALIDDATA && sent != AVERROR_EOF)
        throw std::runtime_error (errorText (sent));

    receiveAudioFrames();
}

void VideoPlayer::receiveAudioFrames()
{
    auto* avFrame = av_frame_alloc();

    if (avFrame == nullptr)
        throw std::runtime_error ("Unable to open video. Out of memory.");

    try
    {
        for (;;)
        {
            auto received = avcodec_receive_frame (audioCodecContext, avFrame);

            if (received == AVERROR (EAGAIN) || received == AVERROR_EOF)
                break;

            if (received == AVERROR_INVALIDDATA)
                continue;

            if (received < 0)
                throw std::runtime_error (errorText (received));

            auto* chunk = audioPool->acquire();
            auto n = swr_convert (resampler, (std::uint8_t**) chunk->readPosition, chunk->validSamples,
                                  (const std::uint8_t**) avFrame->extended_data, avFrame->nb_samples);

            for (;;)
            {
                if (n < 0)
                {
                    chunk->recycle();
                    throw std::runtime_error (errorText (n));
                }

                chunk->pts = avFrame->best_effort_timestamp;

                if (audioOnly.load() && startPts.load() == AV_NOPTS_VALUE)
                    startPts = avFrame->best_effort_timestamp;

                if (n <= 0)
                {
                    chunk->recycle();
                    break;
                }

                chunk->remainingSamples = chunk->validSamples = n;
                pushAudio (chunk);
                chunk = audioPool->acquire();
                n = swr_convert (resampler, (std::uint8_t**) chunk->readPosition, chunk->validSamples, nullptr, 0);
            }

            av_frame_unref (avFrame);
        }
    }
    catch (...)
    {
        av_frame_free (&avFrame);
        throw;
    }

    av_frame_free (&avFrame);
}

//==============================================================================
bool VideoPlayer::addToQueue()
{
    try
    {
        if ((! audioOnly.load() && videoQueue.size() > 248) || audioQueue.size() > 480)
            return false;

        auto current = speed.load();
        auto n = std::abs (current);

        for (int i = 0; i < n; ++i)
        {
            // Decoded and queued in one go, so a step thread's picture cannot come between.
            std::lock_guard<std::mutex> producer (pictureProducerLock);
            auto* frame = current > 0 ? decodeNextVideoFrame (true, true) : decodeFrameNear (-1);

            if (frame == nullptr)
                continue;

            if (current > 0)
                frame->pts -= startPts.load();

            {
                std::lock_guard<std::mutex> guard (framePathTimingLock);
                framePathTiming.toggle (frame->acquireTime);
            }

            pushPicture (frame);
        }

        return true;
    }
    catch (const std::exception& error)
    {
        workerFailed ("addToQueue", error);
        return false;
    }
}

void VideoPlayer::workerFailed (const char* where, const std::exception& error)
{
    debugLog ("EXCEPTION in %s: %s", where, error.what());

    // Nothing decodes any more; the media is closed on the message thread.
    abortRequested = true;
    failurePending = true;
    setPlaying (false);
    triggerAsyncUpdate();
}

void VideoPlayer::handleAsyncUpdate()
{
    if (failurePending.load())
        closeVideo();
}

void VideoPlayer::timerCallback()
{
    auto queuesFull = [this]
    {
        return (! audioOnly.load() && videoQueue.size() > 128) || audioQueue.size() > 256;
    };

    if (! isOpen.load() || abortRequested.load() || queuesFull() || streamExhausted.load())
        return;

    if (decodeThreadRunning.exchange (true))
        return;

    std::thread ([this, queuesFull]
    {
        decodeThreadId = std::this_thread::get_id();

        while (isOpen.load())
        {
            if (abortRequested.load() || queuesFull() || streamExhausted.load())
                break;

            addToQueue();
        }

        decodeThreadId = std::thread::id();
        decodeThreadRunning = false;
    }).detach();
}

//==============================================================================
VideoFrame* VideoPlayer::getNextVideoFrame()
{
    ConsumerScope inside (consumersInside);

    if (abortRequested.load())
        return nullptr;

    auto n = std::abs (speed.load());

    for (int pass = 0; pass < n; ++pass)
    {
        auto* frame = videoQueue.peek();

        if (frame == nullptr)
            break;

        // The shown picture holds a reference of its own: a picture that stays at the
        // head of the queue while paused is held by both, so emptying the queue can
        // never hand the shown picture back to the pool.
        auto makeCurrent = [this] (VideoFrame* shown, bool takenFromQueue)
        {
            VideoFrame* previous;

            {
                std::lock_guard<std::mutex> guard (shownLock);
                previous = currentFrame.exchange (shown);

                if (previous != shown && ! takenFromQueue)
                    shown->addRef();
            }

            if (previous == shown)
            {
                if (takenFromQueue)
                    shown->release();
            }
            else if (previous != nullptr)
            {
                previous->release();
            }

            position = (double) shown->pts / 1000000.0;
        };

        if (n == 1 && playing.load())
        {
            audioStarted = true;
            auto blockSeconds = deviceBlockSize.load() / deviceSampleRate.load();
            auto origin = startPts.load() == AV_NOPTS_VALUE ? 0 : startPts.load();
            bool shown = false;

            while (frame != nullptr)
            {
                auto framePts = (double) (origin + frame->pts) / 1000000.0;
                auto clock = audioClock.load();

                if (framePts > clock + 0.5 * blockSeconds)
                    return currentFrame.load();

                if (clock > framePts + (double) getVideoInfo().frameDurationUs / 1000000.0)
                {
                    // More than a frame late: never shown.
                    videoQueue.pop();
                    position = (double) frame->pts / 1000000.0;
                    frame->release();
                    frame = videoQueue.peek();
                    continue;
                }

                videoQueue.pop();
                makeCurrent (frame, true);
                shown = true;
                break;
            }

            if (! shown)
                break;

            continue;
        }

        // Fast playback, or paused.
        auto stepWasPending = stepPending.exchange (false);

        if (n > 1 || stepWasPending)
        {
            videoQueue.pop();
            makeCurrent (frame, true);
        }
        else
        {
            makeCurrent (frame, false);
        }
    }

    // In audio-only mode there are no pictures; the sound ends playback there.
    if (playing.load() && ! audioOnly.load())
    {
        if (videoQueue.isEmpty() && streamExhausted.load())
            setPlaying (false);

        if (position.load() >= endPosition.load())
            setPlaying (false);
    }

    return currentFrame.load();
}

//==============================================================================
void VideoPlayer::play()
{
    if (position.load() < endPosition.load())
    {
        if (playing.load())
            return;

        playing = true;
    }

    sendChangeMessage();
}

void VideoPlayer::playAtSpeed (int newSpeed)
{
    if (position.load() < endPosition.load())
    {
        speed = newSpeed;

        if (playing.load())
            return;

        playing = true;
    }

    sendChangeMessage();
}

void VideoPlayer::stop()
{
    if (! playing.load())
        return;

    playing = false;
    audioStarted = false;
    speed = 1;
    sendChangeMessage();
}

void VideoPlayer::setPlaying (bool shouldPlay)
{
    if (playing.exchange (shouldPlay) == shouldPlay)
        return;

    if (! shouldPlay)
    {
        audioStarted = false;
        speed = 1;
    }

    sendChangeMessage();
}

bool VideoPlayer::isPlaying()
{
    return playing.load();
}

double VideoPlayer::getPosition()
{
    if (isOpen.load() && ! playing.load() && streamExhausted.load() && videoQueue.size() <= 1 && ! audioOnly.load())
        return endPosition.load();

    return position.load();
}

double VideoPlayer::snapToPictureGrid (double seconds) const
{
    // Trim points of a video fall on picture times: the nearest one, half up.
    if (audioOnly.load())
        return seconds;

    auto d = (double) getVideoInfo().frameDurationUs / 1000000.0;

    if (d <= 0.0)
        return seconds;

    auto r = std::fmod (seconds, d);
    return r < d / 2.0 ? seconds - r : seconds - r + d;
}

void VideoPlayer::setStartPosition (double seconds)
{
    if (seconds > endPosition.load())
        return;

    seconds = snapToPictureGrid (seconds);

    startPosition = seconds;
}

double VideoPlayer::getStartPosition() { return startPosition.load(); }

void VideoPlayer::setEndPosition (double seconds)
{
    if (seconds < startPosition.load())
        return;

    seconds = snapToPictureGrid (seconds);

    endPosition = seconds;
}

double VideoPlayer::getEndPosition() { return endPosition.load(); }
