// The player for audio files that the video player does not take (WAV recordings and
// the like), on JUCE's audio format readers and transport source.
#pragma once

#include "playback/IMediaPlayer.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <atomic>

/**
    Plays an audio file through JUCE's transport source.

    Threads: getNextAudioBlock() runs on the audio device thread, everything else on
    the message thread. The transport locks itself. Reaching the end position is
    noticed on the audio thread, which only raises endReached; the transport is
    stopped on the message thread (handleAsyncUpdate), so exactly one stop message
    follows. fileOpen and endPosition are atomics because the audio thread reads them.
*/
class AudioPlayer : public IMediaPlayer,
                    public juce::ChangeBroadcaster,
                    private juce::ChangeListener,
                    private juce::AsyncUpdater
{
public:
    AudioPlayer();
    ~AudioPlayer() override;

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

    void setVolume (float gain) override;
    float getVolume() override;

private:
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void handleAsyncUpdate() override;

    juce::AudioFormatManager formatManager;
    std::unique_ptr<juce::AudioFormatReaderSource> readerSource;
    juce::AudioTransportSource transport;
    MediaInfo mediaInfo;
    double startPosition = 0.0;
    std::atomic<double> endPosition { 0.0 };
    std::atomic<bool> fileOpen { false };
    std::atomic<bool> endReached { false };
    std::atomic<double> endReachedAt { 0.0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioPlayer)
};
