// The one player interface through which the program opens, plays, positions, trims
// and inspects a recording; the video player and the audio file player implement it.
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <string>

/** What a player knows of its open file. The two middle fields mean different things
    for the two kinds: width and height for video, bit depth and sample rate for audio. */
struct MediaInfo
{
    juce::File file;
    int kind = 0;                     ///< 1 audio, 2 video
    double duration = 0.0;            ///< seconds
    double widthOrBitDepth = 0.0;     ///< video: coded width in pixels; audio: bits per sample
    double heightOrSampleRate = 0.0;  ///< video: coded height in pixels; audio: sample rate in Hz
    double sampleRate = 0.0;          ///< the sound's sample rate in Hz
    int bitsPerSample = 0;            ///< bits per sample of the sound
    int numChannels = 0;              ///< channels of the sound
};

/** Media kind codes. */
namespace MediaKind
{
    inline constexpr int audio = 1;
    inline constexpr int video = 2;
}

namespace Transport
{
    /** Transport states carried from the toolbar to the main content controller and back. */
    enum State
    {
        stopped = 0,
        startRequested = 1,
        playing = 2,
        stopRequested = 5
    };

    /** Receives play and stop requests. Message thread. */
    class Listener
    {
    public:
        virtual ~Listener() = default;

        /** One of the State codes. */
        virtual void transportStateChanged (int state) = 0;
    };
}

/**
    The abstract player. Positions and durations are seconds from the first picture.

    Threads: getNextAudioBlock() runs on the audio device thread; everything else on
    the message thread, except a private player that the thumbnail maker drives from
    its own thread. prepareToPlay() and releaseResources() may come at any time, also
    while nothing is open.
*/
class IMediaPlayer : public juce::AudioSource
{
public:
    ~IMediaPlayer() override = default;

    /** Opens the file; on failure returns false and, when errorMessage is given, the
        user-facing reason. */
    virtual bool open (const juce::File& file, std::string* errorMessage) = 0;

    /** Stops and releases the file. */
    virtual void close() = 0;

    /** Whether this player handles the file (asked before open). */
    virtual bool canOpen (const juce::File& file) = 0;

    /** Properties of the open file. */
    virtual MediaInfo getMediaInfo() = 0;

    /** 1 audio, 2 video. */
    virtual int getMediaKind() = 0;

    /** Starts playing at normal speed from the current position. */
    virtual void play() = 0;

    /** Pauses at the current position. */
    virtual void stop() = 0;

    virtual bool isPlaying() = 0;

    /** Plays with a speed factor (the toolbar uses 4 and 1). */
    virtual void playAtSpeed (int speed) = 0;

    /** Start of the trim range; ignored when after the end. */
    virtual void setStartPosition (double seconds) = 0;
    virtual double getStartPosition() = 0;

    /** End of the trim range, where playback stops; ignored when before the start. */
    virtual void setEndPosition (double seconds) = 0;
    virtual double getEndPosition() = 0;

    /** The current playback position. */
    virtual double getPosition() = 0;

    /** Seeks. */
    virtual void setPosition (double seconds) = 0;

    /** The full media duration. */
    virtual double getDuration() = 0;

    /** Shows the next frame while paused (video only). */
    virtual void oneFrameIncrement() {}

    /** Shows the previous frame while paused (video only). */
    virtual void oneFrameDecrement() {}

    /** Linear output gain. */
    virtual void setVolume (float gain) = 0;
    virtual float getVolume() = 0;
};

/** The two switches of a player that can render its sound offline (the video player):
    audio-only decoding, and waiting for decoded sound instead of dropping late sound. */
class OfflineRenderSwitches
{
public:
    virtual ~OfflineRenderSwitches() = default;

    /** Sets audio-only mode; returns the previous value. */
    virtual bool setAudioOnly (bool shouldBeAudioOnly) = 0;

    /** Sets offline rendering; returns the previous value. */
    virtual bool setOfflineRendering (bool shouldRenderOffline) = 0;
};
