#include "playback/ToolbarComponent.h"
#include "shell/ApplicationCommands.h"
#include "shell/TimeText.h"
#include "ui/Artwork.h"

namespace
{
    constexpr int timerIntervalMs = 100;
    constexpr int fastSpeed = 4;
    constexpr juce::uint32 positionTrackColour = 0xffbdcfd4;
    constexpr juce::uint32 timeTextColour = 0xff808080;

    void setPictures (VQImageButton& button, const juce::String& artworkName)
    {
        auto pictures = getButtonPictures (artworkName);
        button.setStateImages (pictures.normal, pictures.over, pictures.down, pictures.disabled);
    }
}

ToolbarComponent::ToolbarComponent()
{
    auto& commands = getCommandManager();

    struct ButtonSetup
    {
        VQImageButton& button;
        const char* artwork;
        bool toggles;
        juce::CommandID command;
    };

    const ButtonSetup buttons[] = {
        { infoButton,        "info",        false, CommandIds::properties },
        { playButton,        "play",        true,  0 },
        { rewindButton,      "rewind",      false, 0 },
        { forwardButton,     "forward",     true,  0 },
        { nextButton,        "next",        false, 0 },
        { previousButton,    "previous",    false, 0 },
        { fullscreenButton,  "fullscreen",  false, CommandIds::fullscreen },
        { volumeLoudButton,  nullptr,       true,  0 },
        { volumeQuietButton, nullptr,       true,  0 },
    };

    for (auto& setup : buttons)
    {
        if (setup.artwork != nullptr)
            setPictures (setup.button, setup.artwork);

        setup.button.setClickingTogglesState (setup.toggles);

        if (setup.command != 0)
            setup.button.setCommandToTrigger (&commands, setup.command, true);

        addAndMakeVisible (setup.button);
        setup.button.addListener (this);
    }

    // The volume buttons have a normal picture only.
    volumeLoudButton.setStateImages (getArtwork ("volumeLoud"), {}, {}, {});
    volumeQuietButton.setStateImages (getArtwork ("volumeQuiet"), {}, {}, {});

    volumeSlider.setName ("volume slider");
    volumeSlider.setRange (0.0, 1.0, 0.0);
    volumeSlider.setSliderImages (getArtwork ("volumeSliderThumb"), getArtwork ("volumeSliderBackground"));
    volumeSlider.setColour (juce::Slider::trackColourId, juce::Colours::transparentBlack);
    volumeSlider.setSliderStyle (juce::Slider::LinearBar);
    volumeSlider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    volumeSlider.setValue (1.0, juce::dontSendNotification);
    addAndMakeVisible (volumeSlider);
    volumeSlider.addListener (this);

    positionSlider.setName ("position slider");
    positionSlider.setRange (0.0, 1.0);
    positionSlider.setSliderImages (getArtwork ("positionSliderThumb"), getArtwork ("positionSliderBackground"));
    positionSlider.setColour (juce::Slider::trackColourId, juce::Colour (positionTrackColour));
    positionSlider.setSliderStyle (juce::Slider::LinearHorizontal);
    positionSlider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    addAndMakeVisible (positionSlider);
    positionSlider.addListener (this);

    for (auto* label : { &elapsedLabel, &remainingLabel })
    {
        label->setFont (juce::Font (15.0f, juce::Font::plain));
        label->setJustificationType (label == &elapsedLabel ? juce::Justification::centredRight
                                                            : juce::Justification::centredLeft);
        label->setEditable (false, false, false);
        label->setColour (juce::Label::textColourId, juce::Colour (timeTextColour));
        label->setColour (juce::Label::backgroundColourId, juce::Colours::transparentBlack);
        label->setText ("0:0", juce::dontSendNotification);
        addAndMakeVisible (*label);
    }

    barFill = getArtwork ("toolbarFill");
    barLeft = getArtwork ("toolbarLeft");
    barRight = getArtwork ("toolbarRight");
}

ToolbarComponent::~ToolbarComponent()
{
    stopTimer();
}

void ToolbarComponent::setPlayer (IMediaPlayer* newPlayer)
{
    player = newPlayer;

    if (player == nullptr)
        return;

    auto info = player->getMediaInfo();
    auto isVideo = info.kind == MediaKind::video;
    nextButton.setEnabled (isVideo);
    previousButton.setEnabled (isVideo);
    forwardButton.setEnabled (isVideo);

    remainingLabel.setText (formatTime (info.duration), juce::dontSendNotification);
    elapsedLabel.setText (formatTime (0.0), juce::dontSendNotification);

    auto volume = (float) volumeSlider.getValue();
    player->setVolume (volume * volume);
}

void ToolbarComponent::addListener (Transport::Listener* listener)
{
    if (listener != nullptr)
        listeners.addIfNotAlreadyThere (listener);
}

void ToolbarComponent::removeListener (Transport::Listener* listener)
{
    listeners.removeAllInstancesOf (listener);
}

void ToolbarComponent::showTransportState (int state)
{
    if (state != Transport::stopped)
        return;

    for (auto* button : { &playButton, &forwardButton })
        if (button->getToggleState())
            button->setToggleState (false, juce::dontSendNotification);
}

void ToolbarComponent::setVisible (bool shouldBeVisible)
{
    juce::Component::setVisible (shouldBeVisible);

    if (shouldBeVisible)
        startTimer (timerIntervalMs);
    else
        stopTimer();
}

void ToolbarComponent::paint (juce::Graphics& g)
{
    // The bar pictures are made for double pixel density.
    g.addTransform (juce::AffineTransform::scale (0.5f));

    if (barFill.isValid())
    {
        g.setTiledImageFill (barFill, 0, 0, 1.0f);
        g.fillRect (0, 0, getWidth() * 2, getHeight() * 2);
    }

    if (barLeft.isValid())
        g.drawImageAt (barLeft, 0, 0);

    if (barRight.isValid())
        g.drawImageAt (barRight, 2 * getWidth() - barRight.getWidth(), 0);
}

void ToolbarComponent::resized()
{
    auto w = getWidth();
    auto cx = w / 2;

    infoButton.setBounds (6, 5, 39, 39);
    previousButton.setBounds (46, 5, 39, 39);
    rewindButton.setBounds (86, 5, 39, 39);
    playButton.setBounds (126, 5, 49, 39);
    forwardButton.setBounds (176, 5, 39, 39);
    nextButton.setBounds (216, 5, 39, 39);
    elapsedLabel.setBounds (cx - 255, 18, 70, 15);
    positionSlider.setBounds (cx - 185, 10, 371, 31);
    remainingLabel.setBounds (cx + 185, 18, 70, 15);
    volumeQuietButton.setBounds (w - 265, 15, 21, 21);
    volumeSlider.setBounds (w - 245, 15, 171, 20);
    volumeLoudButton.setBounds (w - 75, 15, 21, 21);
    fullscreenButton.setBounds (w - 45, 5, 39, 39);
}

void ToolbarComponent::sendTransportRequest (int state)
{
    // Last added first; a listener may delete the toolbar.
    juce::Component::BailOutChecker checker (this);

    for (auto i = listeners.size(); --i >= 0;)
    {
        listeners.getUnchecked (i)->transportStateChanged (state);

        if (checker.shouldBailOut())
            return;

        i = juce::jmin (i, listeners.size());
    }
}

void ToolbarComponent::buttonClicked (juce::Button* button)
{
    if (button == &playButton)
    {
        auto on = playButton.getToggleState();

        // A fast playback falls back to normal speed before it stops.
        if (! on)
            forwardButton.setToggleState (false, juce::sendNotification);

        sendTransportRequest (on ? Transport::startRequested : Transport::stopRequested);
        return;
    }

    if (button == &volumeQuietButton)
    {
        volumeSlider.setValue (0.0, juce::sendNotificationAsync);
        return;
    }

    if (button == &volumeLoudButton)
    {
        volumeSlider.setValue (1.0, juce::sendNotificationAsync);
        return;
    }

    if (player == nullptr)
        return;

    if (button == &forwardButton)
    {
        auto on = forwardButton.getToggleState();

        if (on)
            playButton.setToggleState (true, juce::sendNotification);

        // Play's listener may have taken the player away meanwhile.
        if (player != nullptr)
            player->playAtSpeed (on ? fastSpeed : 1);
    }
    else if (button == &rewindButton)
    {
        player->setPosition (player->getStartPosition());
    }
    else if (button == &nextButton)
    {
        player->oneFrameIncrement();
    }
    else if (button == &previousButton)
    {
        player->oneFrameDecrement();
    }
}

void ToolbarComponent::sliderValueChanged (juce::Slider* slider)
{
    if (player == nullptr)
        return;

    if (slider == &volumeSlider)
    {
        auto volume = (float) volumeSlider.getValue();
        player->setVolume (volume * volume);
    }
    else if (slider == &positionSlider)
    {
        auto start = player->getStartPosition();
        auto range = player->getEndPosition() - start;
        auto t = positionSlider.getValue() * range + start;
        player->setPosition (t);
        remainingLabel.setText (formatTime (juce::jmax (0.0, player->getDuration() - t)), juce::dontSendNotification);
        elapsedLabel.setText (formatTime (t), juce::dontSendNotification);
    }
}

void ToolbarComponent::sliderDragStarted (juce::Slider* slider)
{
    if (slider != &positionSlider || player == nullptr)
        return;

    if (playButton.getToggleState())
    {
        wasPlayingBeforeDrag = true;
        player->stop();
    }
}

void ToolbarComponent::sliderDragEnded (juce::Slider* slider)
{
    if (slider != &positionSlider || player == nullptr)
        return;

    if (wasPlayingBeforeDrag)
    {
        wasPlayingBeforeDrag = false;
        player->play();
        playButton.setToggleState (true, juce::dontSendNotification);
    }
}

void ToolbarComponent::timerCallback()
{
    if (positionSlider.isMouseButtonDown() || player == nullptr)
        return;

    auto start = player->getStartPosition();
    auto range = player->getEndPosition() - start;
    auto fraction = (player->getPosition() - start) / (range > 0.0 ? range : 1.0);
    auto shown = positionSlider.getValue() * range + start;

    if (! positionSlider.isUserDragging())
        positionSlider.setValue (fraction, juce::dontSendNotification);

    remainingLabel.setText (formatTime (juce::jmax (0.0, player->getDuration() - shown)), juce::dontSendNotification);
    elapsedLabel.setText (formatTime (shown), juce::dontSendNotification);

    if (player->getMediaKind() == MediaKind::video)
    {
        previousButton.setEnabled (fraction > 0.0);
        nextButton.setEnabled (fraction < 1.0);
    }
}
