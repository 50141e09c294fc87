// The transport strip under the player view: frame steps, rewind, play, fast
// forward, the position slider with its times, the volume and the two commands.
#pragma once

#include "playback/IMediaPlayer.h"
#include "ui/VQImageButton.h"
#include "ui/VQImageSlider.h"

#include <juce_gui_basics/juce_gui_basics.h>

/**
    The transport toolbar. It drives the current player directly for everything but
    starting and stopping, which it asks of its Transport::Listeners (state 1 to
    start, 5 to stop); the listener answers with showTransportState. A 100 ms timer
    keeps the position slider and the time labels in step with the player while the
    toolbar is visible. The Fullscreen and Info buttons trigger their application
    commands. Message thread only.
*/
class ToolbarComponent : public juce::Component,
                         private juce::Timer,
                         private juce::Button::Listener,
                         private juce::Slider::Listener
{
public:
    /** Builds the buttons, the two sliders and the two time labels. */
    ToolbarComponent();
    ~ToolbarComponent() override;

    /** The player to drive (not owned; the owner keeps it alive while it is set, or
        sets null before it goes). Enables the frame steps and fast forward for video
        only, shows the duration, and gives the player the slider's volume. */
    void setPlayer (IMediaPlayer* newPlayer);

    /** Adds a listener for start and stop requests, unless it is null or already added. */
    void addListener (Transport::Listener* listener);

    /** Removes a listener. */
    void removeListener (Transport::Listener* listener);

    /** Shows a transport state the listener settled on: for 0 (stopped) Play and
        Forward are released without notification; other states change nothing. */
    void showTransportState (int state);

    /** Shows or hides the toolbar; its timer runs only while it is visible. */
    void setVisible (bool shouldBeVisible) override;

    /** The bar pictures, at half scale. */
    void paint (juce::Graphics& g) override;

    /** Places the controls: the transport buttons at the left, the position slider
        centred, the volume and Fullscreen at the right. */
    void resized() override;

    /** The controls by role, for tests and screenshots. Message thread. */
    VQImageButton& getPlayButton()              { return playButton; }
    VQImageButton& getRewindButton()            { return rewindButton; }
    VQImageButton& getForwardButton()           { return forwardButton; }
    VQImageButton& getNextButton()              { return nextButton; }
    VQImageButton& getPreviousButton()          { return previousButton; }
    VQImageButton& getVolumeLoudButton()        { return volumeLoudButton; }
    VQImageButton& getVolumeQuietButton()       { return volumeQuietButton; }
    VQImageButton& getFullscreenButton()        { return fullscreenButton; }
    VQImageButton& getInfoButton()              { return infoButton; }
    VQImageSlider& getVolumeSlider()            { return volumeSlider; }
    VQImageSlider& getPositionSlider()          { return positionSlider; }
    juce::Label& getRemainingLabel()            { return remainingLabel; }
    juce::Label& getElapsedLabel()              { return elapsedLabel; }

private:
    void sliderValueChanged (juce::Slider* slider) override;
    void sliderDragStarted (juce::Slider* slider) override;
    void sliderDragEnded (juce::Slider* slider) override;
    void buttonClicked (juce::Button* button) override;
    void timerCallback() override;

    void sendTransportRequest (int state);

    // Not owned: the owner keeps the player alive while it is set here.
    IMediaPlayer* player = nullptr;
    VQImageButton playButton { "Play" };
    VQImageButton rewindButton { "Rewind" };
    VQImageButton forwardButton { "Forward" };
    VQImageButton nextButton { "Next" };
    VQImageButton previousButton { "Previous" };
    VQImageButton volumeLoudButton { "Volume Loud" };
    VQImageButton volumeQuietButton { "Volume Quiet" };
    VQImageButton fullscreenButton { "Fullscreen" };
    VQImageButton infoButton { "Info" };
    VQImageSlider volumeSlider;
    VQImageSlider positionSlider;
    juce::Label remainingLabel;
    juce::Label elapsedLabel;
    // Not owned: each listener removes itself, or outlives the toolbar.
    juce::Array<Transport::Listener*> listeners;
    bool wasPlayingBeforeDrag = false;

    juce::Image barFill, barLeft, barRight;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ToolbarComponent)
};
