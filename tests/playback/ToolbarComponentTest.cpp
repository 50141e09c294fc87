// The transport toolbar driving real players, with the controller's relay between
// them as the main content component does it: repeated codes ignored, 1 plays, 5
// stops, and the player's change messages come back as 2 or 0.
#include "playback/AudioPlayer.h"
#include "playback/ToolbarComponent.h"
#include "playback/VideoPlayer.h"
#include "shell/ApplicationCommands.h"
#include "shell/TimeText.h"

#include "JackOutput.h"
#include "MessageLoop.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
    juce::File media (const char* name)
    {
        return juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile (name);
    }

    // The controller's side of the transport protocol, logging what it is told.
    struct Controller : Transport::Listener, juce::ChangeListener
    {
        Controller (ToolbarComponent& t, IMediaPlayer& p, juce::ChangeBroadcaster& b)
            : toolbar (t), player (p), broadcaster (b)
        {
            toolbar.addListener (this);
            broadcaster.addChangeListener (this);
        }

        ~Controller() override
        {
            toolbar.removeListener (this);
            broadcaster.removeChangeListener (this);
        }

        void transportStateChanged (int state) override
        {
            received.push_back (state);
            forwardOnWhenReceived.push_back (toolbar.getForwardButton().getToggleState());

            if (state == lastState)
                return;

            lastState = state;
            toolbar.showTransportState (state);

            if (state == Transport::startRequested)
                player.play();
            else if (state == Transport::stopRequested)
                player.stop();
        }

        void changeListenerCallback (juce::ChangeBroadcaster*) override
        {
            transportStateChanged (player.isPlaying() ? Transport::playing : Transport::stopped);
        }

        // The requests the toolbar itself sent (1 and 5), in order.
        std::vector<int> requests() const
        {
            std::vector<int> out;
            for (auto s : received)
                if (s == Transport::startRequested || s == Transport::stopRequested)
                    out.push_back (s);
            return out;
        }

        ToolbarComponent& toolbar;
        IMediaPlayer& player;
        juce::ChangeBroadcaster& broadcaster;
        int lastState = Transport::stopped;
        std::vector<int> received;
        std::vector<bool> forwardOnWhenReceived;
    };

    // A toolbar as the main content component shows it, on a video or an audio player.
    template <typename Player>
    struct Setup
    {
        explicit Setup (const char* file)
        {
            opened = player.open (media (file), &error);
            toolbar.setSize (1040, 50);
            toolbar.setVisible (true);
            toolbar.setPlayer (&player);
        }

        ~Setup()
        {
            toolbar.setPlayer (nullptr);
            player.close();
        }

        void click (juce::Button& button)
        {
            button.triggerClick();
            settle();
        }

        static void settle (int ms = 60)
        {
            runMessageLoopUntil ([] { return false; }, ms);
        }

        Player player;
        std::string error;
        bool opened = false;
        ToolbarComponent toolbar;
        Controller controller { toolbar, player, player };
    };

    using VideoSetup = Setup<VideoPlayer>;
    using AudioSetup = Setup<AudioPlayer>;

    // How far one repaint moves a playing video: up to four pictures at speed 4, none
    // beyond the due one at speed 1 while the clock stands still (no audio device).
    double advanceOverRepaints (VideoPlayer& player, int repaints)
    {
        runMessageLoopUntil ([&] { return player.getNumQueuedPictures() > 40; }, 5000);
        auto before = player.getPosition();

        for (int i = 0; i < repaints; ++i)
            player.getNextVideoFrame();

        return (player.getPosition() - before) / ((double) player.getFrameDurationUs() / 1000000.0);
    }

    juce::MouseEvent mouseAt (juce::Component& component, juce::Point<float> position, bool buttonDown)
    {
        auto now = juce::Time::getCurrentTime();
        return { juce::Desktop::getInstance().getMainMouseSource(), position,
                 buttonDown ? juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier) : juce::ModifierKeys(),
                 juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
                 &component, &component, now, position, now, 1, false };
    }
}

TEST (ToolbarComponent, LaysOutItsControls)
{
    ToolbarComponent toolbar;

    for (auto width : { 1040, 1600 })
    {
        toolbar.setSize (width, 50);
        auto cx = width / 2;

        struct Case { juce::Component& control; juce::Rectangle<int> bounds; };
        const Case cases[] = {
            { toolbar.getInfoButton(), { 6, 5, 39, 39 } },
            { toolbar.getPreviousButton(), { 46, 5, 39, 39 } },
            { toolbar.getRewindButton(), { 86, 5, 39, 39 } },
            { toolbar.getPlayButton(), { 126, 5, 49, 39 } },
            { toolbar.getForwardButton(), { 176, 5, 39, 39 } },
            { toolbar.getNextButton(), { 216, 5, 39, 39 } },
            { toolbar.getElapsedLabel(), { cx - 255, 18, 70, 15 } },
            { toolbar.getPositionSlider(), { cx - 185, 10, 371, 31 } },
            { toolbar.getRemainingLabel(), { cx + 185, 18, 70, 15 } },
            { toolbar.getVolumeQuietButton(), { width - 265, 15, 21, 21 } },
            { toolbar.getVolumeSlider(), { width - 245, 15, 171, 20 } },
            { toolbar.getVolumeLoudButton(), { width - 75, 15, 21, 21 } },
            { toolbar.getFullscreenButton(), { width - 45, 5, 39, 39 } },
        };

        for (auto& c : cases)
        {
            EXPECT_EQ (c.control.getBounds(), c.bounds) << c.control.getName() << " at width " << width;
            EXPECT_TRUE (c.control.isVisible()) << c.control.getName();
        }
    }

    EXPECT_EQ (toolbar.getPlayButton().getButtonText(), "Play");
    EXPECT_EQ (toolbar.getVolumeQuietButton().getButtonText(), "Volume Quiet");
    EXPECT_EQ (toolbar.getVolumeSlider().getName(), "volume slider");
    EXPECT_EQ (toolbar.getPositionSlider().getName(), "position slider");
    EXPECT_EQ (toolbar.getVolumeSlider().getValue(), 1.0);
    EXPECT_EQ (toolbar.getVolumeSlider().getSliderStyle(), juce::Slider::LinearBar);
    EXPECT_EQ (toolbar.getPositionSlider().getSliderStyle(), juce::Slider::LinearHorizontal);
    EXPECT_EQ (toolbar.getPositionSlider().findColour (juce::Slider::trackColourId), juce::Colour (0xffbdcfd4));
    EXPECT_EQ (toolbar.getVolumeSlider().findColour (juce::Slider::trackColourId).getAlpha(), 0);
    EXPECT_EQ (toolbar.getElapsedLabel().getText(), "0:0");
    EXPECT_EQ (toolbar.getRemainingLabel().getText(), "0:0");
    EXPECT_EQ (toolbar.getElapsedLabel().getJustificationType(), juce::Justification::centredRight);
    EXPECT_EQ (toolbar.getRemainingLabel().getJustificationType(), juce::Justification::centredLeft);
    EXPECT_EQ (toolbar.getElapsedLabel().findColour (juce::Label::textColourId), juce::Colour (0xff808080));
    EXPECT_TRUE (toolbar.getPlayButton().getClickingTogglesState());
    EXPECT_TRUE (toolbar.getForwardButton().getClickingTogglesState());
    EXPECT_FALSE (toolbar.getRewindButton().getClickingTogglesState());
    EXPECT_EQ (toolbar.getFullscreenButton().getCommandID(), CommandIds::fullscreen);
    EXPECT_EQ (toolbar.getInfoButton().getCommandID(), CommandIds::properties);
}

TEST (ToolbarComponent, SettingAPlayerShowsItsDurationAndEnablesVideoOnlyControlsForVideo)
{
    VideoSetup video ("clip-2997.mov");
    ASSERT_TRUE (video.opened) << video.error;
    EXPECT_EQ (video.toolbar.getRemainingLabel().getText(), formatTime (video.player.getDuration()));
    EXPECT_EQ (video.toolbar.getElapsedLabel().getText(), "00:00:00");
    EXPECT_TRUE (video.toolbar.getForwardButton().isEnabled());
    EXPECT_TRUE (video.toolbar.getNextButton().isEnabled());
    EXPECT_TRUE (video.toolbar.getPreviousButton().isEnabled());
    EXPECT_FLOAT_EQ (video.player.getVolume(), 1.0f);

    AudioSetup audio ("tone-16-48000-stereo.wav");
    ASSERT_TRUE (audio.opened) << audio.error;
    EXPECT_FALSE (audio.toolbar.getForwardButton().isEnabled());
    EXPECT_FALSE (audio.toolbar.getNextButton().isEnabled());
    EXPECT_FALSE (audio.toolbar.getPreviousButton().isEnabled());

    // The timer leaves them disabled for audio, wherever the position is.
    audio.player.setPosition (1.5);
    AudioSetup::settle (300);
    EXPECT_FALSE (audio.toolbar.getNextButton().isEnabled());
    EXPECT_FALSE (audio.toolbar.getPreviousButton().isEnabled());

    // The same toolbar, given a video after an audio file, enables them again.
    audio.toolbar.setPlayer (&video.player);
    EXPECT_TRUE (audio.toolbar.getNextButton().isEnabled());
    audio.toolbar.setPlayer (&audio.player);
}

TEST (ToolbarComponent, ForwardWhileStoppedPlaysAtSpeedFourWithPlayOnAndForwardAgainGoesBackToSpeedOne)
{
    VideoSetup s ("clip-2997.mov");
    ASSERT_TRUE (s.opened) << s.error;

    s.click (s.toolbar.getForwardButton());
    EXPECT_TRUE (s.toolbar.getForwardButton().getToggleState());
    EXPECT_TRUE (s.toolbar.getPlayButton().getToggleState()) << "Play is shown on";
    EXPECT_TRUE (s.player.isPlaying());
    EXPECT_EQ (s.controller.requests(), std::vector<int> ({ Transport::startRequested }));
    EXPECT_EQ (s.controller.lastState, Transport::playing) << "the player's change came back as 2";
    EXPECT_GE (advanceOverRepaints (s.player, 3), 9.0) << "speed 4: up to four pictures a repaint";

    s.click (s.toolbar.getForwardButton());
    EXPECT_FALSE (s.toolbar.getForwardButton().getToggleState());
    EXPECT_TRUE (s.toolbar.getPlayButton().getToggleState()) << "still playing";
    EXPECT_TRUE (s.player.isPlaying());
    EXPECT_LE (advanceOverRepaints (s.player, 3), 1.01) << "speed 1: pictures wait for the clock";
    EXPECT_EQ (s.controller.requests(), std::vector<int> ({ Transport::startRequested })) << "no new request";
}

TEST (ToolbarComponent, PlayOffDuringFastPlaybackReleasesForwardFirstThenSendsStop)
{
    VideoSetup s ("clip-2997.mov");
    ASSERT_TRUE (s.opened) << s.error;

    s.click (s.toolbar.getForwardButton());
    ASSERT_TRUE (s.player.isPlaying());
    s.controller.received.clear();
    s.controller.forwardOnWhenReceived.clear();

    s.click (s.toolbar.getPlayButton());
    ASSERT_EQ (s.controller.requests(), std::vector<int> ({ Transport::stopRequested }));
    ASSERT_FALSE (s.controller.forwardOnWhenReceived.empty());
    EXPECT_FALSE (s.controller.forwardOnWhenReceived.front()) << "Forward was released before 5 was sent";
    EXPECT_FALSE (s.toolbar.getForwardButton().getToggleState());
    EXPECT_FALSE (s.toolbar.getPlayButton().getToggleState());
    EXPECT_FALSE (s.player.isPlaying());
    EXPECT_EQ (s.controller.lastState, Transport::stopped);

    // Playing again runs at normal speed: the stop went through speed 1.
    s.click (s.toolbar.getPlayButton());
    EXPECT_TRUE (s.player.isPlaying());
    EXPECT_LE (advanceOverRepaints (s.player, 3), 1.01);
}

TEST (ToolbarComponent, DraggingThePositionSliderPausesAndResumes)
{
    VideoSetup s ("clip-2997.mov");
    ASSERT_TRUE (s.opened) << s.error;
    s.click (s.toolbar.getPlayButton());
    ASSERT_TRUE (s.player.isPlaying());

    auto& slider = s.toolbar.getPositionSlider();
    slider.mouseDown (mouseAt (slider, { 60.0f, 15.0f }, true));
    VideoSetup::settle();
    EXPECT_FALSE (s.player.isPlaying()) << "paused during the drag";
    EXPECT_FALSE (s.toolbar.getPlayButton().getToggleState()) << "the pause came back as 0";

    slider.mouseDrag (mouseAt (slider, { 185.0f, 15.0f }, true));
    VideoSetup::settle (250);
    auto target = slider.getValue() * s.player.getDuration();
    EXPECT_NEAR (slider.getValue(), 0.5, 0.05) << "the timer does not move a held slider";
    EXPECT_NEAR (s.player.getPosition(), target, 0.05) << "the player follows the drag";
    EXPECT_EQ (s.toolbar.getElapsedLabel().getText(), formatTime (target));

    slider.mouseUp (mouseAt (slider, { 185.0f, 15.0f }, false));
    VideoSetup::settle();
    EXPECT_TRUE (s.player.isPlaying()) << "resumed at the end of the drag";
    EXPECT_TRUE (s.toolbar.getPlayButton().getToggleState()) << "Play shows on afterwards";
    EXPECT_EQ (s.controller.requests(), std::vector<int> ({ Transport::startRequested })) << "the toolbar sent no requests of its own";

    // Without playback a drag neither pauses nor resumes.
    s.click (s.toolbar.getPlayButton());
    ASSERT_FALSE (s.player.isPlaying());
    slider.mouseDown (mouseAt (slider, { 100.0f, 15.0f }, true));
    slider.mouseUp (mouseAt (slider, { 100.0f, 15.0f }, false));
    VideoSetup::settle();
    EXPECT_FALSE (s.player.isPlaying());
}

TEST (ToolbarComponent, ThePositionSliderSpansTheTrimRange)
{
    VideoSetup s ("clip-2997-24s.mov");
    ASSERT_TRUE (s.opened) << s.error;
    s.player.setStartPosition (10.0);
    s.player.setEndPosition (20.0);
    auto frame = (double) s.player.getFrameDurationUs() / 1000000.0;

    auto& slider = s.toolbar.getPositionSlider();
    slider.setValue (0.5, juce::sendNotificationSync);
    EXPECT_NEAR (s.player.getPosition(), 15.0, frame) << "the slider's middle is 15 s";
    auto t = 0.5 * (s.player.getEndPosition() - s.player.getStartPosition()) + s.player.getStartPosition();
    EXPECT_EQ (s.toolbar.getElapsedLabel().getText(), formatTime (t));
    EXPECT_EQ (s.toolbar.getRemainingLabel().getText(), formatTime (s.player.getDuration() - t));

    slider.setValue (0.0, juce::sendNotificationSync);
    EXPECT_NEAR (s.player.getPosition(), 10.0, frame);

    // The timer shows a position inside the range as its fraction of the range.
    s.player.setPosition (17.5);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return std::abs (slider.getValue() - 0.75) < 0.01; }, 2000))
        << "the slider shows " << slider.getValue();
    VideoSetup::settle (250);
    EXPECT_EQ (s.toolbar.getElapsedLabel().getText(), "00:00:17");

    // Rewind goes to the start of the range.
    s.click (s.toolbar.getRewindButton());
    EXPECT_NEAR (s.player.getPosition(), s.player.getStartPosition(), frame);
}

TEST (ToolbarComponent, NextAndPreviousAreDisabledAtTheEndsOfTheRange)
{
    VideoSetup s ("clip-2997.mov");
    ASSERT_TRUE (s.opened) << s.error;

    struct Case { double position; bool previous, next; };
    const Case cases[] = { { 0.0, false, true }, { 5.0, true, true }, { 1000.0, true, false }, { 0.0, false, true } };

    for (auto& c : cases)
    {
        s.player.setPosition (c.position);
        ASSERT_TRUE (runMessageLoopUntil ([&] { return s.toolbar.getPreviousButton().isEnabled() == c.previous
                                                       && s.toolbar.getNextButton().isEnabled() == c.next; }, 2000))
            << "at " << c.position << " s: previous " << s.toolbar.getPreviousButton().isEnabled()
            << ", next " << s.toolbar.getNextButton().isEnabled();
    }

    // Next and Previous step the picture while paused.
    s.player.setPosition (2.0);
    runMessageLoopUntil ([&] { return s.player.getNumQueuedPictures() > 5; }, 3000);
    s.player.getNextVideoFrame();
    auto before = s.player.getPosition();
    s.click (s.toolbar.getNextButton());
    s.player.getNextVideoFrame();
    s.player.getNextVideoFrame();
    EXPECT_NEAR (s.player.getPosition() - before, (double) s.player.getFrameDurationUs() / 1000000.0, 0.002);
    s.click (s.toolbar.getPreviousButton());
    s.player.getNextVideoFrame();
    EXPECT_NEAR (s.player.getPosition(), before, 0.002);

    // The timer stops while the toolbar is hidden.
    s.toolbar.setVisible (false);
    s.player.setPosition (0.0);
    VideoSetup::settle (300);
    EXPECT_TRUE (s.toolbar.getPreviousButton().isEnabled()) << "not updated while hidden";
    s.toolbar.setVisible (true);
    EXPECT_TRUE (runMessageLoopUntil ([&] { return ! s.toolbar.getPreviousButton().isEnabled(); }, 2000));
}

TEST (ToolbarComponent, VolumeQuietAndLoudSetTheSliderAndThePlayersSquaredGain)
{
    VideoSetup s ("clip-2997.mov");
    ASSERT_TRUE (s.opened) << s.error;

    s.click (s.toolbar.getVolumeQuietButton());
    EXPECT_EQ (s.toolbar.getVolumeSlider().getValue(), 0.0);
    EXPECT_TRUE (runMessageLoopUntil ([&] { return s.player.getVolume() == 0.0f; }, 2000)) << "gain " << s.player.getVolume();

    s.toolbar.getVolumeSlider().setValue (0.5, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (s.player.getVolume(), 0.25f) << "the gain is the square of the slider";

    s.click (s.toolbar.getVolumeLoudButton());
    EXPECT_TRUE (runMessageLoopUntil ([&] { return s.player.getVolume() == 1.0f; }, 2000));

    // A new player takes the slider's volume.
    s.toolbar.getVolumeSlider().setValue (0.2, juce::sendNotificationSync);
    AudioSetup audio ("tone-16-48000-stereo.wav");
    ASSERT_TRUE (audio.opened);
    s.toolbar.setPlayer (&audio.player);
    EXPECT_NEAR (audio.player.getVolume(), 0.04f, 1e-6);
    s.toolbar.setPlayer (&s.player);
}

TEST (ToolbarComponent, FullscreenAndInfoTriggerTheirCommandsThroughTheCommandManager)
{
    struct CommandTarget : juce::ApplicationCommandTarget
    {
        juce::ApplicationCommandTarget* getNextCommandTarget() override { return nullptr; }

        void getAllCommands (juce::Array<juce::CommandID>& commands) override
        {
            commands.addArray ({ CommandIds::fullscreen, CommandIds::properties });
        }

        void getCommandInfo (juce::CommandID id, juce::ApplicationCommandInfo& info) override
        {
            info.setInfo (id == CommandIds::fullscreen ? "Full Screen" : "Properties", "test", "View", 0);
        }

        bool perform (const InvocationInfo& info) override
        {
            performed.push_back (info.commandID);
            return true;
        }

        std::vector<juce::CommandID> performed;
    } target;

    auto& commands = getCommandManager();
    commands.registerAllCommandsForTarget (&target);
    commands.setFirstCommandTarget (&target);

    {
        VideoSetup s ("clip-2997.mov");
        ASSERT_TRUE (s.opened) << s.error;
        commands.commandStatusChanged();
        ASSERT_TRUE (runMessageLoopUntil ([&] { return s.toolbar.getFullscreenButton().isEnabled()
                                                       && s.toolbar.getInfoButton().isEnabled(); }, 2000));
        EXPECT_EQ (s.toolbar.getFullscreenButton().getTooltip(), "test") << "the tooltip comes from the command";

        s.click (s.toolbar.getFullscreenButton());
        ASSERT_TRUE (runMessageLoopUntil ([&] { return target.performed.size() == 1; }, 2000));
        s.click (s.toolbar.getInfoButton());
        ASSERT_TRUE (runMessageLoopUntil ([&] { return target.performed.size() == 2; }, 2000));
        EXPECT_EQ (target.performed, std::vector<juce::CommandID> ({ CommandIds::fullscreen, CommandIds::properties }));
        EXPECT_TRUE (s.controller.received.empty()) << "the commands are not transport requests";
        EXPECT_FALSE (s.player.isPlaying());
    }

    commands.setFirstCommandTarget (nullptr);
    commands.clearCommands();
}

TEST (ToolbarComponent, ListenersAreCalledLastAddedFirstOnceEachAndStopWhenTheToolbarGoes)
{
    auto toolbar = std::make_unique<ToolbarComponent>();
    std::vector<std::string> calls;

    struct Recorder : Transport::Listener
    {
        Recorder (std::string n, std::vector<std::string>& c) : name (std::move (n)), calls (c) {}
        void transportStateChanged (int state) override { calls.push_back (name + std::to_string (state)); }
        std::string name;
        std::vector<std::string>& calls;
    };

    Recorder first ("first:", calls), second ("second:", calls);
    toolbar->addListener (&first);
    toolbar->addListener (&second);
    toolbar->addListener (&first);
    toolbar->addListener (nullptr);

    toolbar->getPlayButton().setToggleState (true, juce::sendNotificationSync);
    toolbar->getPlayButton().setToggleState (false, juce::sendNotificationSync);
    EXPECT_EQ (calls, std::vector<std::string> ({ "second:1", "first:1", "second:5", "first:5" }));

    // A listener that deletes the toolbar: the ones added before it are not called.
    struct Deleter : Transport::Listener
    {
        std::unique_ptr<ToolbarComponent>* owner = nullptr;
        void transportStateChanged (int) override { owner->reset(); }
    } deleter;

    deleter.owner = &toolbar;
    toolbar->addListener (&deleter);
    calls.clear();
    toolbar->getPlayButton().setToggleState (true, juce::sendNotificationSync);
    EXPECT_EQ (toolbar, nullptr);
    EXPECT_TRUE (calls.empty());
}

TEST (ToolbarComponent, ReachingTheEndReleasesPlayWithoutAStopRequest)
{
    AudioSetup s ("tone-16-48000-stereo.wav");
    ASSERT_TRUE (s.opened) << s.error;
    JackOutput output (s.player);

    if (! output.isOpen())
        GTEST_SKIP() << "no JACK server: run inside tools/headless-session (" << output.getError() << ")";

    s.player.setEndPosition (0.5);
    s.click (s.toolbar.getPlayButton());
    ASSERT_TRUE (s.player.isPlaying());
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! s.player.isPlaying(); }, 5000));
    AudioSetup::settle (200);

    EXPECT_FALSE (s.toolbar.getPlayButton().getToggleState()) << "released by state 0";
    EXPECT_EQ (s.controller.requests(), std::vector<int> ({ Transport::startRequested }));
    EXPECT_EQ (s.controller.lastState, Transport::stopped);
}

TEST (ToolbarComponent, WithoutAPlayerTheControlsDoNothing)
{
    ToolbarComponent toolbar;
    toolbar.setSize (1040, 50);
    toolbar.setVisible (true);

    for (auto* button : { &toolbar.getRewindButton(), &toolbar.getNextButton(), &toolbar.getPreviousButton(),
                          &toolbar.getForwardButton(), &toolbar.getVolumeQuietButton() })
        button->triggerClick();

    toolbar.getPositionSlider().setValue (0.3, juce::sendNotificationSync);
    runMessageLoopUntil ([] { return false; }, 250);
    EXPECT_EQ (toolbar.getElapsedLabel().getText(), "0:0");
}
