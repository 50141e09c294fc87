// Screenshots of the toolbar at the main window's smallest width and a wide one, at
// 1x and 2x, stopped and playing fast, for review by eye.
#include "playback/ToolbarComponent.h"
#include "playback/VideoPlayer.h"

#include "MessageLoop.h"

#include <gtest/gtest.h>

namespace
{
    juce::File writeToolbarScreenshot (ToolbarComponent& toolbar, const juce::String& name, float scale)
    {
        auto image = toolbar.createComponentSnapshot (toolbar.getLocalBounds(), true, scale);
        auto file = juce::File (VORNIQ_SCREENSHOT_DIR).getChildFile ("playback/" + name + ".png");
        file.getParentDirectory().createDirectory();
        file.deleteFile();
        juce::FileOutputStream out (file);
        juce::PNGImageFormat().writeImageToStream (image, out);
        return file;
    }
}

TEST (ToolbarScreenshots, At1040And1600PixelsWide)
{
    VideoPlayer player;
    ASSERT_TRUE (player.open (juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile ("clip-2997.mov"), nullptr));

    ToolbarComponent toolbar;
    toolbar.setVisible (true);
    toolbar.setPlayer (&player);
    player.setPosition (3.5);
    toolbar.getVolumeSlider().setValue (0.7, juce::sendNotificationSync);
    runMessageLoopUntil ([] { return false; }, 300);

    for (auto width : { 1040, 1600 })
    {
        toolbar.setSize (width, 50);

        for (auto scale : { 1.0f, 2.0f })
        {
            auto suffix = juce::String (width) + (scale > 1.0f ? "@2x" : "");
            toolbar.getPlayButton().setToggleState (false, juce::dontSendNotification);
            toolbar.getForwardButton().setToggleState (false, juce::dontSendNotification);
            EXPECT_TRUE (writeToolbarScreenshot (toolbar, "toolbar-" + suffix, scale).existsAsFile());

            // Playing fast: Play and Forward on, the pointer over Rewind.
            toolbar.getPlayButton().setToggleState (true, juce::dontSendNotification);
            toolbar.getForwardButton().setToggleState (true, juce::dontSendNotification);
            toolbar.getRewindButton().setState (juce::Button::buttonOver);
            EXPECT_TRUE (writeToolbarScreenshot (toolbar, "toolbar-playing-fast-" + suffix, scale).existsAsFile());
            toolbar.getRewindButton().setState (juce::Button::buttonNormal);
        }
    }

    toolbar.setPlayer (nullptr);
    player.close();
}
