// Playing a player through the test session's JACK server.
#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_audio_utils/juce_audio_utils.h>

/** A JACK output device feeding from one audio source while it exists. isOpen() is
    false when no JACK server answers (outside tools/headless-session). */
class JackOutput
{
public:
    explicit JackOutput (juce::AudioSource& source)
    {
        devices.setCurrentAudioDeviceType ("JACK", true);
        error = devices.initialise (0, 2, nullptr, false);

        if (devices.getCurrentAudioDevice() != nullptr)
        {
            sourcePlayer.setSource (&source);
            devices.addAudioCallback (&sourcePlayer);
        }
    }

    ~JackOutput()
    {
        devices.removeAudioCallback (&sourcePlayer);
        sourcePlayer.setSource (nullptr);
        devices.closeAudioDevice();
    }

    bool isOpen() const { return devices.getCurrentAudioDevice() != nullptr; }
    juce::String getError() const { return error; }

private:
    juce::AudioDeviceManager devices;
    juce::AudioSourcePlayer sourcePlayer;
    juce::String error;
};
