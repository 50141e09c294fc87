// Repositioning and reshaping: the container seek, frame-accurate positioning, the
// single-frame steps, the change of output size and the copy of the shown picture.
#include "playback/VideoPlayer.h"
#include "playback/DecoderHold.h"
#include "shell/DebugLog.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace
{
    std::atomic<bool> resizeInProgress { false };
    std::atomic<std::int64_t> latestResizeRequest { 0 };

    constexpr std::int64_t firstBackOffUs = 10000;
    constexpr int maxSearchAttempts = 16;
}

bool VideoPlayer::seekTo (std::int64_t targetUs)
{
    if (! tryTakeDecoder())
        return false;

    endOfFile = decoderDrained = drainRequested = false;
    endOfFileSeen = streamExhausted = false;
    videoPacketPending = false;
    av_packet_unref (packet);
    lastPts = AV_NOPTS_VALUE;

    if (videoCodecContext != nullptr)
        avcodec_flush_buffers (videoCodecContext);

    if (audioCodecContext != nullptr)
        avcodec_flush_buffers (audioCodecContext);

    if (audioOnly.load())
    {
        if (audioCodecContext != nullptr)
            av_seek_frame (formatContext, audioStreamIndex,
                           (std::int64_t) (audioCodecContext->sample_rate * (double) targetUs / 1000000.0),
                           AVSEEK_FLAG_BACKWARD);
    }
    else if (videoStreamIndex >= 0)
    {
        // Targets are stream times (the origin included), so seeking to the origin
        // lands on the first picture whatever time the stream starts at.
        auto origin = startPts.load() == AV_NOPTS_VALUE ? 0 : startPts.load();
        auto t = std::min (targetUs, origin + durationUs);
        auto streamTarget = av_rescale_q (t, AVRational { 1, 1000000 }, AVRational { streamTimeBaseNum, streamTimeBaseDen });

        if (av_seek_frame (formatContext, videoStreamIndex, streamTarget, AVSEEK_FLAG_BACKWARD) < 0)
        {
            dropDecoder();
            debugLog ("Error seeking to %lld", (long long) targetUs);
            return false;
        }
    }

    dropDecoder();
    return true;
}

void VideoPlayer::setPosition (double seconds)
{
    moveTo (seconds, false);
}

void VideoPlayer::moveTo (double seconds, bool evenWhenAlreadyThere)
{
    if (! isOpen.load())
        return;

    auto d = (double) getVideoInfo().frameDurationUs / 1000000.0;

    if (! evenWhenAlreadyThere && ! audioOnly.load() && position.load() > seconds - d / 2.0
        && position.load() < seconds + d / 2.0)
        return;

    try
    {
        DecoderHold hold (*this, DecoderHold::AtEnd::clear);

        if (! isOpen.load())
            return;

        audioStarted = false;
        emptyQueues();
        position = seconds;
        audioClock = seconds;

        if (seconds > getDuration() - d)
        {
            if (audioOnly.load())
            {
                seekTo (durationUs + startPts.load());
            }
            else if (auto* frame = findLastFrame())
            {
                frame->pts -= startPts.load();
                pushPicture (frame);
            }

            return;
        }

        if (auto* frame = decodePictureAt ((std::int64_t) (seconds * 1000000.0)))
            pushPicture (frame);
    }
    catch (const std::exception& error)
    {
        workerFailed ("setPosition", error);
    }
}

VideoFrame* VideoPlayer::decodePictureAt (std::int64_t targetUs)
{
    auto origin = startPts.load() == AV_NOPTS_VALUE ? 0 : startPts.load();

    // The first picture whose time is at least the target minus half a picture; at the
    // end of the stream the last picture decoded is kept. Only that one is converted,
    // unless the stream ends first: then the last picture is decoded again, converted.
    auto wanted = origin + targetUs - (frameDurationUs >> 1);

    for (int pass = 0; pass < 2; ++pass)
    {
        if (! seekTo (origin + targetUs))
            return nullptr;

        struct ConvertFrom
        {
            ConvertFrom (std::int64_t& value, std::int64_t from) : slot (value) { slot = from; }
            ~ConvertFrom() { slot = std::numeric_limits<std::int64_t>::min(); }
            std::int64_t& slot;
        } convertFrom (convertFromUs, wanted);

        auto* frame = decodeNextVideoFrame (true, false);

        while (frame != nullptr && frame->pts < wanted)
        {
            auto* next = decodeNextVideoFrame (true, false);

            if (next == nullptr)
                break;

            frame->release();
            frame = next;
        }

        if (frame == nullptr)
            return nullptr;

        if (frame->pts >= wanted)
        {
            // Queued pictures carry times from the first picture, whichever path put them there.
            frame->pts -= origin;
            return frame;
        }

        wanted = frame->pts;
        frame->release();
    }

    return nullptr;
}

VideoFrame* VideoPlayer::findPictureBefore (std::int64_t target)
{
    // Seek ever further back, doubling the distance, until the first picture decoded
    // after the seek lies before the target (or the stream's first picture is reached).
    auto origin = startPts.load() == AV_NOPTS_VALUE ? 0 : startPts.load();
    auto back = firstBackOffUs;
    VideoFrame* frame = nullptr;

    for (int attempt = 0;; ++attempt)
    {
        auto seekPoint = std::max (target - back, origin);

        if (seekTo (seekPoint))
        {
            frame = decodeNextVideoFrame (true, false);

            if (frame != nullptr && frame->pts < target)
                return frame;
        }

        if (seekPoint == origin)
            return frame;

        if (frame != nullptr)
        {
            frame->release();
            frame = nullptr;
        }

        if (attempt + 1 >= maxSearchAttempts || target - back < origin)
            return nullptr;

        back *= 2;
    }
}

VideoFrame* VideoPlayer::findLastFrame()
{
    auto origin = startPts.load() == AV_NOPTS_VALUE ? 0 : startPts.load();
    auto end = origin + durationUs;
    auto* frame = findPictureBefore (end);

    if (frame == nullptr)
        return nullptr;

    while (auto* next = decodeNextVideoFrame (true, false))
    {
        frame->release();
        frame = next;
    }

    return frame;
}

VideoFrame* VideoPlayer::decodeFrameNear (std::int64_t timeUs)
{
    auto origin = startPts.load() == AV_NOPTS_VALUE ? 0 : startPts.load();
    std::int64_t target;

    if (timeUs >= 0)
        target = origin + timeUs;
    else
        target = lastPts.load() != AV_NOPTS_VALUE ? lastPts.load() : origin;

    auto emptyWithAbortRaised = [this]
    {
        auto previous = abortRequested.exchange (true);

        while (consumersInside.load() > 0)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));

        emptyQueues();
        abortRequested = previous;
    };

    emptyWithAbortRaised();

    auto* frame = findPictureBefore (target);

    if (frame == nullptr)
        return nullptr;

    for (;;)
    {
        if (frame->pts + (3 * frameDurationUs) / 2 >= target)
        {
            frame->pts -= origin;
            return frame;
        }

        frame->release();
        emptyWithAbortRaised();
        frame = decodeNextVideoFrame (true, false);

        if (frame == nullptr)
            return nullptr;
    }
}

void VideoPlayer::oneFrameIncrement()
{
    if (playing.load() || ! isOpen.load())
        return;

    audioStarted = false;

    if (! videoQueue.isEmpty())
    {
        stepPending = true;
        return;
    }

    ++stepThreadsRunning;

    std::thread ([this]
    {
        try
        {
            for (int i = 0, n = std::abs (speed.load()); i < n; ++i)
            {
                // The picture ring takes one producer at a time: the decode-ahead may run too.
                std::lock_guard<std::mutex> producer (pictureProducerLock);

                if (auto* frame = decodeNextVideoFrame (true, true))
                {
                    frame->pts -= startPts.load();
                    pushPicture (frame);
                }
            }
        }
        catch (const std::exception& error)
        {
            workerFailed ("Step", error);
        }

        --stepThreadsRunning;
    }).detach();
}

void VideoPlayer::oneFrameDecrement()
{
    if (playing.load() || ! isOpen.load())
        return;

    try
    {
        DecoderHold hold (*this, DecoderHold::AtEnd::clear);

        if (! isOpen.load())
            return;

        // Read inside the hold: a resize on the display's thread may release the shown
        // picture until then.
        std::int64_t time = 0;

        {
            std::lock_guard<std::mutex> guard (shownLock);

            if (auto* shown = currentFrame.load())
                time = shown->pts;
        }

        audioStarted = false;

        if (auto* frame = decodeFrameNear (time))
        {
            pushPicture (frame);
            audioClock = (double) frame->pts / 1000000.0;
        }
    }
    catch (const std::exception& error)
    {
        workerFailed ("Step", error);
    }
}

bool VideoPlayer::setOutputSize (int width, int height, double scale)
{
    auto now = steadyClockMicroseconds();
    latestResizeRequest = now;

    while (resizeInProgress.exchange (true))
    {
        if (latestResizeRequest.load() > now)
            return false;

        std::this_thread::sleep_for (std::chrono::milliseconds (20));
    }

    struct ClearOnExit
    {
        ~ClearOnExit() { resizeInProgress = false; }
    } clearOnExit;

    if (scale == displayScale.load() && width == outputWidth.load() && height == outputHeight.load())
        return false;

    try
    {
        DecoderHold hold (*this, DecoderHold::AtEnd::restore);

        displayScale = scale;
        outputWidth = width;
        outputHeight = height;

        // The picture on screen or, when the display has not taken it yet, the one
        // about to be shown (a resize that came just before converted it).
        std::optional<std::int64_t> time;

        if (auto* shown = currentFrame.load())
            time = shown->pts;
        else if (auto* next = videoQueue.peek())
            time = next->pts;

        emptyQueues();

        if (videoCodecContext != nullptr && width != 0)
            scaler = sws_getCachedContext (scaler, sourceWidth, sourceHeight, videoCodecContext->pix_fmt, width, height,
                                           AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);

        releaseShownPicture();

        if (videoPool != nullptr)
            videoPool->resize (width, height);

        // That picture, converted again at the new size, so a paused window keeps
        // showing the same picture rather than the key frame's.
        if (time.has_value() && isOpen.load())
            if (auto* picture = decodePictureAt (*time))
                pushPicture (picture);
    }
    catch (const std::exception& error)
    {
        workerFailed ("setOutputSize", error);
    }

    return true;
}

bool VideoPlayer::releaseShownPicture()
{
    VideoFrame* frame;

    {
        std::lock_guard<std::mutex> guard (shownLock);
        frame = currentFrame.exchange (nullptr);
    }

    if (frame == nullptr)
        return false;

    frame->release();
    return true;
}

juce::Image VideoPlayer::getCurrentFrameImage()
{
    if (! isOpen.load())
        return {};

    std::unique_lock<std::recursive_mutex> control (controlLock);
    VideoFrame* frame = nullptr;

    {
        // A reference of our own for the copy: the render thread may move on meanwhile.
        std::lock_guard<std::mutex> guard (shownLock);
        frame = currentFrame.load();

        if (frame != nullptr)
            frame->addRef();
    }

    try
    {
        if (frame == nullptr)
        {
            VideoFrame* shown = nullptr;

            if (! videoQueue.isEmpty())
            {
                // The head, taken while the render thread is held off (it could drop the
                // picture as late meanwhile). Shown and still queued, the shown slot holds
                // a reference of its own.
                DecoderHold hold (*this, DecoderHold::AtEnd::restore);

                if ((shown = videoQueue.peek()) != nullptr)
                    shown->addRef();
            }

            if (shown == nullptr)
            {
                shown = decodeNextVideoFrame (true, true);

                if (shown == nullptr)
                    return {};

                shown->pts -= startPts.load();
            }

            std::lock_guard<std::mutex> guard (shownLock);

            if (auto* previous = currentFrame.exchange (shown))
                previous->release();

            shown->addRef();
            frame = shown;
        }
    }
    catch (const std::exception& error)
    {
        workerFailed ("getCurrentFrameImage", error);
        return {};
    }

    juce::Image image (juce::Image::ARGB, frame->width, frame->height, true);

    {
        juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);

        for (int y = 0; y < frame->height; ++y)
            std::memcpy (pixels.getLinePointer (y), frame->data + (size_t) y * (size_t) frame->stride,
                         (size_t) std::min (frame->stride, pixels.lineStride));
    }

    frame->release();
    return image;
}
