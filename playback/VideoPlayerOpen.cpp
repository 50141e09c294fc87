// Opening and closing: the container, the streams, the decoders, the picture
// converter, the resampler and the timing values derived from the streams.
#include "playback/VideoPlayer.h"
#include "playback/DecoderHold.h"
#include "shell/DebugLog.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <thread>

namespace
{
    std::string errorText (int errorCode)
    {
        char text[512] = {};
        av_strerror (errorCode, text, sizeof (text));
        return text;
    }
}

void VideoPlayer::throwError (int errorCode)
{
    throw std::runtime_error (errorText (errorCode));
}

VideoPlayer::VideoPlayer()
{
    startPts = 0;
    lastPts = 0;
    avformat_network_init();
    av_log_set_level (AV_LOG_ERROR);
}

VideoPlayer::~VideoPlayer()
{
    cancelPendingUpdate();
    closeVideo();
}

bool VideoPlayer::canOpen (const juce::File& file)
{
    return file.hasFileExtension ("mov") || file.hasFileExtension ("m4a");
}

MediaInfo VideoPlayer::getMediaInfo()   { return mediaInfo; }
int VideoPlayer::getMediaKind()         { return mediaInfo.kind; }

double VideoPlayer::getDuration()
{
    return getVideoInfo().durationMs / 1000.0;
}

VideoPlayer::VideoInfo VideoPlayer::getVideoInfo() const
{
    std::lock_guard<std::mutex> guard (videoInfoLock);
    return videoInfo;
}

bool VideoPlayer::open (const juce::File& file, std::string* errorMessage)
{
    // Opening is one of the operations that own the decoder: no resize meanwhile.
    std::unique_lock<std::recursive_mutex> control (controlLock);
    audioOnly = file.hasFileExtension ("m4a");

    try
    {
        if (formatContext != nullptr)
            throw std::runtime_error ("Cannot load video because another video is still open. Please close and try again.");

        path = file.getFullPathName().toStdString();
        openStream();
        initStream();
        endPosition = getDuration();

        mediaInfo = {};
        mediaInfo.kind = audioOnly ? MediaKind::audio : MediaKind::video;
        mediaInfo.file = file;
        mediaInfo.duration = endPosition.load();

        if (audioCodecContext != nullptr)
        {
            mediaInfo.bitsPerSample = av_get_bytes_per_sample (audioCodecContext->sample_fmt) * 8;

            if (audioCodecName.find ("AAC") != std::string::npos)
                mediaInfo.bitsPerSample = 16;
            else if (audioCodecName.find ("24-bit") != std::string::npos)
                mediaInfo.bitsPerSample = 24;

            mediaInfo.sampleRate = audioCodecContext->sample_rate;
            mediaInfo.numChannels = audioCodecContext->ch_layout.nb_channels;
        }

        mediaInfo.widthOrBitDepth = audioOnly ? (double) mediaInfo.bitsPerSample : (double) sourceWidth;
        mediaInfo.heightOrSampleRate = audioOnly ? mediaInfo.sampleRate : (double) sourceHeight;

        isOpen = true;
        return true;
    }
    catch (const std::exception& error)
    {
        debugLog ("EXCEPTION in open: %s", error.what());
        closeVideo();

        if (errorMessage != nullptr)
            *errorMessage = error.what();

        return false;
    }
}

void VideoPlayer::openStream()
{
    decodeTiming.reset();
    conversionTiming.reset();
    framePathTiming.reset();
    busy = false;
    abortRequested = false;
    failurePending = false;

    if (auto result = avformat_open_input (&formatContext, path.c_str(), nullptr, nullptr); result < 0)
        throwError (result);

    decodedFrame = av_frame_alloc();
    packet = av_packet_alloc();

    if (decodedFrame == nullptr || packet == nullptr)
        throw std::runtime_error ("Unable to open video. Out of memory.");

    if (auto result = avformat_find_stream_info (formatContext, nullptr); result < 0)
        throwError (result);

    const AVCodec* videoDecoder = nullptr;
    videoStreamIndex = av_find_best_stream (formatContext, AVMEDIA_TYPE_VIDEO, -1, -1, &videoDecoder, 0);

    if (videoStreamIndex < 0 && ! audioOnly)
        throwError (videoStreamIndex);

    if (videoStreamIndex >= 0 && ! audioOnly)
    {
        auto* stream = formatContext->streams[videoStreamIndex];
        videoCodecContext = avcodec_alloc_context3 (videoDecoder);

        if (videoCodecContext == nullptr || avcodec_parameters_to_context (videoCodecContext, stream->codecpar) < 0)
            throw std::runtime_error ("Error opening video. Incorrect format.");

        videoCodecContext->pkt_timebase = stream->time_base;
        videoCodecContext->thread_count = (int) std::max (1u, std::thread::hardware_concurrency());
        debugLog ("MaxThreads = %d", videoCodecContext->thread_count);

        sourceWidth = videoCodecContext->width;
        sourceHeight = videoCodecContext->height;

        if (outputWidth.load() == 0)
        {
            outputWidth = sourceWidth;
            outputHeight = sourceHeight;
        }

        if (auto result = avcodec_open2 (videoCodecContext, videoDecoder, nullptr); result < 0)
            throwError (result);

        if (outputWidth.load() != 0)
            scaler = sws_getCachedContext (scaler, sourceWidth, sourceHeight, videoCodecContext->pix_fmt,
                                           outputWidth, outputHeight, AV_PIX_FMT_BGRA, SWS_POINT,
                                           nullptr, nullptr, nullptr);
    }

    const AVCodec* audioDecoder = nullptr;
    audioStreamIndex = av_find_best_stream (formatContext, AVMEDIA_TYPE_AUDIO, -1, -1, &audioDecoder, 0);

    if (audioStreamIndex < 0)
    {
        if (audioOnly)
            throwError (audioStreamIndex);

        noAudioStream = true;
    }
    else
    {
        auto* stream = formatContext->streams[audioStreamIndex];
        audioCodecContext = avcodec_alloc_context3 (audioDecoder);

        if (audioCodecContext == nullptr || avcodec_parameters_to_context (audioCodecContext, stream->codecpar) < 0)
            throw std::runtime_error ("Error opening audio stream. Incorrect format.");

        audioCodecContext->pkt_timebase = stream->time_base;

        if (auto result = avcodec_open2 (audioCodecContext, audioDecoder, nullptr); result < 0)
            throwError (result);

        decoderSampleRate = audioCodecContext->sample_rate;
        makeResampler();

        if (resampler == nullptr)
            throw std::runtime_error ("Error: unable to initialize audio processor.");

        if (auto result = swr_init (resampler); result < 0)
            throwError (result);
    }

    // The frame rate as the timing decoder states it: its time base inverted, per
    // frame rather than per tick. The decoding API no longer fills the decoder's time
    // base, so it is taken as the old one was: one tick of the stream's frame rate
    // for video, one sample for audio.
    if (videoCodecContext != nullptr)
    {
        auto rate = formatContext->streams[videoStreamIndex]->r_frame_rate;
        auto ticks = std::max (1, videoCodecContext->ticks_per_frame);
        frameRateNum = rate.num * ticks;
        frameRateDen = ticks * rate.den;
    }
    else if (audioCodecContext != nullptr)
    {
        frameRateNum = audioCodecContext->sample_rate;
        frameRateDen = 1;
    }

    while (frameRateDen >= 2 && frameRateNum % 2 == 0 && frameRateDen % 2 == 0)
    {
        frameRateNum /= 2;
        frameRateDen /= 2;
    }

    if (frameRateDen == 0)
    {
        frameRateNum = 30;
        frameRateDen = 1;
    }

    auto timingStreamIndex = videoStreamIndex >= 0 ? videoStreamIndex : audioStreamIndex;
    auto* timingStream = formatContext->streams[timingStreamIndex];
    auto timeBase = timingStream->time_base;

    if (timingStream->duration != AV_NOPTS_VALUE)
        durationUs = timingStream->duration * timeBase.num * 1000000 / (timeBase.den != 0 ? timeBase.den : 1);
    else
        durationUs = formatContext->duration;

    audioCodecName = audioDecoder != nullptr && audioCodecContext != nullptr && audioDecoder->long_name != nullptr
                         ? audioDecoder->long_name
                         : "";
    debugLog ("Audio codec: %s", audioCodecName.c_str());

    startPts = AV_NOPTS_VALUE;
    lastPts = AV_NOPTS_VALUE;
    streamTimeBaseNum = timeBase.num;
    streamTimeBaseDen = timeBase.den;

    if (audioOnly)
    {
        frameDurationUs = 3000000;
    }
    else
    {
        auto average = timingStream->avg_frame_rate;

        if (average.num != 0)
            frameDurationUs = (std::int64_t) average.den * 1000000 / average.num;
        else if (frameRateNum != 0)
            frameDurationUs = (std::int64_t) frameRateDen * 1000000 / frameRateNum;
        else
            frameDurationUs = 1000000 / 30;
    }

    endOfFile = decoderDrained = drainRequested = false;
    endOfFileSeen = streamExhausted = false;
    videoPacketPending = false;
}

void VideoPlayer::makeResampler()
{
    AVChannelLayout outputLayout = AV_CHANNEL_LAYOUT_STEREO;
    AVChannelLayout inputLayout {};

    if (audioCodecContext->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_copy (&inputLayout, &audioCodecContext->ch_layout);
    else
        av_channel_layout_from_mask (&inputLayout, (1ull << std::max (1, audioCodecContext->ch_layout.nb_channels)) - 1);

    resampler = nullptr;
    auto result = swr_alloc_set_opts2 (&resampler, &outputLayout, AV_SAMPLE_FMT_FLTP, (int) deviceSampleRate.load(),
                                       &inputLayout, audioCodecContext->sample_fmt, audioCodecContext->sample_rate,
                                       0, nullptr);
    av_channel_layout_uninit (&inputLayout);

    if (result < 0)
        swr_free (&resampler);

    resamplerRate = deviceSampleRate.load();
}

void VideoPlayer::initStream()
{
    debugLog ("initStream: %s", path.c_str());
    position = 0.0;
    audioClock = 0.0;

    {
        std::lock_guard<std::mutex> guard (videoInfoLock);
        videoInfo = { sourceWidth, sourceHeight, frameDurationUs, (int) (durationUs / 1000) };
    }

    videoPool = std::make_unique<FrameFactory> (outputWidth, outputHeight, 3);
    audioPool = std::make_unique<AudioFrameFactory> (1024);

    try
    {
        if (audioOnly)
        {
            decodeNextVideoFrame (false, true);
        }
        else
        {
            for (int i = 0; i < 6; ++i)
            {
                auto* frame = decodeNextVideoFrame (false, false);

                if (frame == nullptr)
                    throw std::runtime_error ("Player failed decoding next frame");

                frame->release();
            }
        }
    }
    catch (const std::exception& error)
    {
        debugLog ("EXCEPTION in initStream: %s", error.what());
    }

    {
        DecoderHold hold (*this, DecoderHold::AtEnd::restore);
        emptyQueues();
    }

    seekTo (startPts);
    addToQueue();

    if (audioOnly)
        startTimer (33);
    else
        startTimer (std::max (1, (int) (frameDurationUs / 1500)));
}

void VideoPlayer::close()
{
    // The workers are stopped first, so the figures are read while nobody adds to them.
    closeVideo();

    debugLog ("Decode timing - avg: %gms, min: %gms, max: %gms", decodeTiming.average(), decodeTiming.minimum(), decodeTiming.maximum());
    debugLog ("Conversion timing - avg: %gms, min: %gms, max: %gms", conversionTiming.average(), conversionTiming.minimum(), conversionTiming.maximum());

    std::lock_guard<std::mutex> guard (framePathTimingLock);
    debugLog ("Frame path - avg: %gms, min: %gms, max: %gms", framePathTiming.average(), framePathTiming.minimum(), framePathTiming.maximum());
}

void VideoPlayer::closeVideo()
{
    debugLog ("closeVideo");
    stopTimer();

    std::unique_lock<std::recursive_mutex> control (controlLock);
    playing = false;
    abortRequested = true;
    waitForWorkersToIdle();
    isOpen = false;
    failurePending = false;

    releaseShownPicture();
    emptyQueues();

    av_frame_free (&decodedFrame);
    av_packet_free (&packet);
    avcodec_free_context (&videoCodecContext);
    avcodec_free_context (&audioCodecContext);
    avformat_close_input (&formatContext);
    sws_freeContext (scaler);
    scaler = nullptr;

    if (resampler != nullptr)
        swr_close (resampler);

    swr_free (&resampler);
    videoPool.reset();
    audioPool.reset();

    videoStreamIndex = audioStreamIndex = -1;
    position = 0.0;
    startPosition = 0.0;
    audioOnly = false;
    noAudioStream = false;
    decoderSampleRate = 0.0;
    videoPacketPending = false;
    endOfFile = decoderDrained = drainRequested = false;
    endOfFileSeen = streamExhausted = false;
}

//==============================================================================
void VideoPlayer::Stopwatch::toggle (std::int64_t start)
{
    auto now = steadyClockMicroseconds();

    if (start != 0)
    {
        durationsMs.push_back ((double) (now - start) / 1000.0);
    }
    else if (startedAt == 0)
    {
        startedAt = now;
    }
    else
    {
        durationsMs.push_back ((double) (now - startedAt) / 1000.0);
        startedAt = 0;
    }
}

void VideoPlayer::Stopwatch::reset()
{
    startedAt = 0;
    durationsMs.clear();
}

double VideoPlayer::Stopwatch::average() const
{
    if (durationsMs.empty())
        return 0.0;

    double sum = 0.0;

    for (auto d : durationsMs)
        sum += d;

    return sum / (double) durationsMs.size();
}

double VideoPlayer::Stopwatch::minimum() const
{
    return durationsMs.empty() ? 0.0 : *std::min_element (durationsMs.begin(), durationsMs.end());
}

double VideoPlayer::Stopwatch::maximum() const
{
    return durationsMs.empty() ? 0.0 : *std::max_element (durationsMs.begin(), durationsMs.end());
}
