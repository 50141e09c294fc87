// The FFmpeg player for ".mov" video and ".m4a" audio. Its work is split by concern:
// opening (VideoPlayerOpen.cpp), decoding and the clock (VideoPlayerDecode.cpp), the
// audio source (VideoPlayerAudio.cpp), seeking, steps and output size
// (VideoPlayerSeek.cpp) and the stream-copy trim command (VideoPlayerTrim.cpp).
#pragma once

#include "playback/AudioFrameFactory.h"
#include "playback/FrameFactory.h"
#include "playback/FrameRing.h"
#include "playback/IMediaPlayer.h"

#include <juce_events/juce_events.h>
#include <juce_graphics/juce_graphics.h>

#include <atomic>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
struct SwrContext;

/**
    Plays a video file (or an ".m4a" file in audio-only mode) decoded ahead with FFmpeg.

    Threads and what guards what:
    - The message thread (or, for the thumbnail maker's private player, its own
      thread) opens, closes, seeks, steps and drives the transport; controlLock
      serialises these "decoder holders" with the display's resize thread.
    - The decode-ahead thread (at most one, started by the timer) and the short step
      thread decode into the queues. `busy` is the decoder lock, taken by exchange;
      decoder state (FFmpeg contexts, startPts, lastPts, endOfFile, decoderDrained)
      is only touched with `busy` held, or by a holder once every worker is idle.
    - A holder raises abortRequested and waits until `busy` is free, no worker runs
      and no consumer is inside the queues (consumersInside), then owns the decoder.
    - The display's render thread pops pictures (getNextVideoFrame) and the audio
      device thread pops sound (getNextAudioBlock); both count themselves in
      consumersInside and leave at once when abortRequested is raised, and neither
      waits for anything.
    - The shown picture (currentFrame) holds a reference of its own; shownLock is held
      just long enough to swap it or to take a further reference, so a snapshot never
      copies a picture that went back to the pool meanwhile.
    - Positions, the clock and the flags are atomics.
    - A decoder error inside a worker stops playback and closes the media on the
      message thread.
*/
class VideoPlayer : public IMediaPlayer,
                    public juce::ChangeBroadcaster,
                    private juce::Timer,
                    public OfflineRenderSwitches,
                    private juce::AsyncUpdater
{
public:
    VideoPlayer();
    ~VideoPlayer() override;

    //==============================================================================
    void prepareToPlay (int samplesPerBlockExpected, double sampleRate) override;
    void releaseResources() override;
    void getNextAudioBlock (const juce::AudioSourceChannelInfo& block) override;

    bool open (const juce::File& file, std::string* errorMessage) override;
    void close() override;
    bool canOpen (const juce::File& file) override;
    MediaInfo getMediaInfo() override;
    int getMediaKind() override;

    void play() override;
    void stop() override;
    bool isPlaying() override;
    void playAtSpeed (int speed) override;

    void setStartPosition (double seconds) override;
    double getStartPosition() override;
    void setEndPosition (double seconds) override;
    double getEndPosition() override;
    double getPosition() override;
    void setPosition (double seconds) override;
    double getDuration() override;

    void oneFrameIncrement() override;
    void oneFrameDecrement() override;

    void setVolume (float gain) override;
    float getVolume() override;

    bool setAudioOnly (bool shouldBeAudioOnly) override;
    bool setOfflineRendering (bool shouldRenderOffline) override;

    //==============================================================================
    /** What the display and the timing code read of the open stream. */
    struct VideoInfo
    {
        int sourceWidth = 0, sourceHeight = 0;
        std::int64_t frameDurationUs = 0;
        int durationMs = 0;
    };

    /** The picture due now, for the display's render thread; valid until the next
        call, setOutputSize or close. Render thread. */
    VideoFrame* getNextVideoFrame();

    /** Plays or pauses, sending a change message when that changes anything. Any thread. */
    void setPlaying (bool shouldPlay);

    /** Reconfigures the picture output; returns true when it did. Of several requests
        arriving together only the newest goes ahead. Message thread or the display's
        resize thread. */
    bool setOutputSize (int width, int height, double scale);

    /** A copy of the shown picture (decoding one when none is shown yet), at the
        output size; a null image when there is none. Owner's thread. */
    juce::Image getCurrentFrameImage();

    /** Cuts the trim range of the open file into outputPath by stream copy with the
        ffmpeg tool, taking the sound from audioFile instead when that is an existing
        file. Waits for the tool; returns false only when it could not be started.
        The arguments go to the tool as a list, never through a shell. Export thread. */
    bool runTrimCommand (const juce::String& outputPath, const juce::File& audioFile);

    /** The arguments runTrimCommand passes to the tool, in order. */
    juce::StringArray getTrimArguments (const juce::String& outputPath, const juce::File& audioFile) const;

    /** The tool's time text for a trim time: 00:01:05.033. */
    juce::String formatTrimTime (double seconds) const;

    bool isMediaOpen() const { return isOpen.load(); }
    int getOutputWidth() const { return outputWidth.load(); }
    int getOutputHeight() const { return outputHeight.load(); }
    double getDisplayScale() const { return displayScale.load(); }
    VideoInfo getVideoInfo() const;

    /** Duration of one picture in microseconds. */
    std::int64_t getFrameDurationUs() const { return frameDurationUs; }

    /** The frame rate as derived from the timing decoder. */
    int getFrameRateNumerator() const { return frameRateNum; }
    int getFrameRateDenominator() const { return frameRateDen; }

    /** The presentation time origin (microseconds of the first picture), or the
        smallest int64 when no picture has been decoded yet. */
    std::int64_t getStartPts() const { return startPts; }

    /** The audio clock in seconds on the audio stream's scale. */
    double getAudioClock() const { return audioClock.load(); }

    /** Entries waiting in the two queues. */
    int getNumQueuedPictures() const { return videoQueue.size(); }
    int getNumQueuedAudioChunks() const { return audioQueue.size(); }

private:
    friend struct DecoderHold;

    //==============================================================================
    // Opening (VideoPlayerOpen.cpp)
    void openStream();
    void initStream();
    void closeVideo();
    void makeResampler();
    [[noreturn]] static void throwError (int errorCode);

    // Decoding (VideoPlayerDecode.cpp)
    VideoFrame* decodeNextVideoFrame (bool convert, bool honourAbort);
    VideoFrame* receivePicture (bool convert);
    void decodeAudioPacket (AVPacket& packet);
    void receiveAudioFrames();
    bool addToQueue();
    void timerCallback() override;
    void handleAsyncUpdate() override;
    void workerFailed (const char* where, const std::exception& error);
    void emptyQueues();
    void pushPicture (VideoFrame* frame);
    void pushAudio (AudioFrame* chunk);
    bool tryTakeDecoder();
    void dropDecoder();
    void waitForWorkersToIdle();

    // Seeking (VideoPlayerSeek.cpp)
    bool releaseShownPicture();
    void moveTo (double seconds, bool evenWhenAlreadyThere);
    bool seekTo (std::int64_t targetUs);
    VideoFrame* decodePictureAt (std::int64_t targetUs);
    VideoFrame* findPictureBefore (std::int64_t targetUs);
    VideoFrame* findLastFrame();
    VideoFrame* decodeFrameNear (std::int64_t timeUs);

    double audioSampleRate() const;
    double snapToPictureGrid (double seconds) const;
    std::int64_t toMicroseconds (std::int64_t streamTime) const;

    //==============================================================================
    // Container and decoders; touched only with `busy` held or by a decoder holder.
    AVFormatContext* formatContext = nullptr;
    int videoStreamIndex = -1, audioStreamIndex = -1;
    AVCodecContext* videoCodecContext = nullptr;
    AVCodecContext* audioCodecContext = nullptr;
    AVFrame* decodedFrame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    double resamplerRate = 0.0; // the device rate the resampler converts to
    bool videoPacketPending = false;
    std::mutex pictureProducerLock; // the decode-ahead and step threads: decode and queue as one
    std::int64_t convertFromUs = std::numeric_limits<std::int64_t>::min(); // earlier pictures stay unconverted

    // Picture output.
    std::atomic<int> outputWidth { 0 }, outputHeight { 0 };
    std::atomic<double> displayScale { 0.0 };

    // Derived stream properties.
    int sourceWidth = 0, sourceHeight = 0;
    std::int64_t durationUs = 0;
    std::int64_t frameDurationUs = 0;
    int frameRateNum = 0, frameRateDen = 0;
    std::string audioCodecName;
    std::string path;
    int streamTimeBaseNum = 1, streamTimeBaseDen = 1;
    std::atomic<std::int64_t> startPts { 0 }, lastPts { 0 };
    VideoInfo videoInfo;
    mutable std::mutex videoInfoLock;

    // Decoder state.
    bool endOfFile = false, decoderDrained = false;
    // endOfFile and decoderDrained as other threads may read them: the input has been
    // read to its end, and every picture (or, audio-only, every packet) is out.
    std::atomic<bool> endOfFileSeen { false }, streamExhausted { false };
    std::atomic<bool> busy { false }, abortRequested { false }, stepPending { false }, decodeThreadRunning { false };
    std::atomic<int> stepThreadsRunning { 0 };
    std::atomic<std::thread::id> decodeThreadId {};
    bool drainRequested = false;
    std::atomic<int> consumersInside { 0 };
    std::atomic<bool> failurePending { false };
    std::recursive_mutex controlLock;

    // Queues and pools.
    std::unique_ptr<FrameFactory> videoPool;
    std::unique_ptr<AudioFrameFactory> audioPool;
    FrameRing<VideoFrame, 256> videoQueue;
    FrameRing<AudioFrame, 512> audioQueue;
    std::atomic<VideoFrame*> currentFrame { nullptr };
    std::mutex shownLock; // held only to swap the shown picture or take a reference to it

    // Transport.
    std::atomic<bool> isOpen { false }, playing { false }, audioStarted { false }, audioOnly { false },
                      noAudioStream { false }, offlineRendering { false };
    std::atomic<int> speed { 1 };
    std::atomic<double> position { 0.0 }, startPosition { 0.0 }, endPosition { 0.0 };
    std::atomic<double> audioClock { 0.0 };
    std::atomic<double> deviceSampleRate { 44100.0 };
    std::atomic<int> deviceBlockSize { 1024 };
    std::atomic<float> volume { 1.0f };
    std::atomic<double> decoderSampleRate { 0.0 };

    MediaInfo mediaInfo;

    // Statistics, printed through the debug log at close.
    struct Stopwatch
    {
        std::int64_t startedAt = 0;
        std::vector<double> durationsMs;

        void toggle (std::int64_t start = 0);
        void reset();
        double average() const;
        double minimum() const;
        double maximum() const;
    };

    Stopwatch decodeTiming, conversionTiming, framePathTiming;
    std::mutex framePathTimingLock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VideoPlayer)
};
