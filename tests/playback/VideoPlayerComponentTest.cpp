// The video display under the test display's real OpenGL (Mesa) with a real
// VideoPlayer playing through JACK: pictures read back from the screen, uploads only
// for new pictures, live resizes, a screen of another density, and 20 s of 29.97 fps
// playback without a late picture.
#include "playback/VideoPlayerComponent.h"

#include "ChildProgram.h"
#include "JackOutput.h"
#include "MessageLoop.h"
#include "ReferenceFrames.h"
#include "ScreenCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <malloc.h>
#include <random>

namespace
{
    juce::File media (const char* name)
    {
        return juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile (name);
    }

    void writeScreenshot (const juce::Image& image, const juce::String& name)
    {
        auto file = juce::File (VORNIQ_SCREENSHOT_DIR).getChildFile (name + ".png");
        file.getParentDirectory().createDirectory();
        file.deleteFile();
        juce::FileOutputStream out (file);
        juce::PNGImageFormat().writeImageToStream (image, out);
    }

    double meanDifference (const juce::Image& a, const juce::Image& b)
    {
        double total = 0.0;

        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
            {
                auto p = a.getPixelAt (x, y), q = b.getPixelAt (x, y);
                total += std::abs (p.getRed() - q.getRed()) + std::abs (p.getGreen() - q.getGreen())
                         + std::abs (p.getBlue() - q.getBlue());
            }

        return total / (3.0 * a.getWidth() * a.getHeight());
    }

    // The area of a capture that is not black: where the picture is.
    juce::Rectangle<int> pictureArea (const juce::Image& image)
    {
        int left = image.getWidth(), top = image.getHeight(), right = -1, bottom = -1;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
            {
                auto c = image.getPixelAt (x, y);
                if (c.getRed() + c.getGreen() + c.getBlue() > 30)
                {
                    left = std::min (left, x);
                    top = std::min (top, y);
                    right = std::max (right, x);
                    bottom = std::max (bottom, y);
                }
            }

        return right < 0 ? juce::Rectangle<int>() : juce::Rectangle<int> (left, top, right - left + 1, bottom - top + 1);
    }

    // A top-level window holding one display, as the editor panel holds it.
    struct DisplayWindow
    {
        DisplayWindow (VideoPlayer& player, juce::Rectangle<int> screenBounds)
        {
            tolerateXErrorsLikeTheApplication();
            window.setOpaque (true);
            window.addAndMakeVisible (display);
            display.setPlayer (&player);
            window.setBounds (screenBounds);
            display.setBounds (window.getLocalBounds());
            window.addToDesktop (0);
            window.setVisible (true);
        }

        ~DisplayWindow()
        {
            window.removeFromDesktop();
        }

        juce::Image capture() const
        {
            return captureScreenArea (display.getScreenBounds());
        }

        void resize (int width, int height)
        {
            window.setSize (width, height);
            display.setBounds (window.getLocalBounds());
        }

        bool waitForUploads (std::int64_t count, int timeoutMs = 10000)
        {
            return runMessageLoopUntil ([&] { return display.getStatistics().uploads >= count; }, timeoutMs);
        }

        juce::Component window;
        VideoPlayerComponent display;
    };

    struct Clip
    {
        Clip (const char* name)
        {
            opened = player.open (media (name), &error);
        }

        ~Clip()
        {
            player.close();
        }

        int frameIndexOf (std::int64_t pts) const
        {
            return (int) std::llround ((double) pts / (double) player.getFrameDurationUs());
        }

        VideoPlayer player;
        std::string error;
        bool opened = false;
    };

    void pause (int ms)
    {
        runMessageLoopUntil ([] { return false; }, ms);
    }
}

TEST (VideoDisplayGeometry, FitsTheSourceWithEvenSizesAndBars)
{
    struct Case
    {
        int componentWidth, componentHeight;
        double scale;
        int sourceWidth, sourceHeight;
        int width, height;
        double x, y;
    };

    const Case cases[] = {
        // A 1080p clip on a screen of scale 2: a 2000 x 1600 viewport, 1125 high made even.
        { 1000, 800, 2.0, 1920, 1080, 2000, 1124, 0.0, 238.0 },
        // A tall component: bars above and below.
        { 640, 800, 1.0, 1920, 1080, 640, 360, 0.0, 220.0 },
        // A wide component: bars left and right.
        { 1000, 300, 1.0, 1920, 1080, 532, 300, 234.0, 0.0 },
        // Exactly the source's shape: no bars.
        { 640, 360, 1.0, 640, 360, 640, 360, 0.0, 0.0 },
        { 320, 180, 2.0, 640, 360, 640, 360, 0.0, 0.0 },
        // Odd sizes lose their last pixel.
        { 641, 361, 1.0, 641, 361, 640, 360, 0.5, 0.5 },
        { 500, 400, 1.5, 1920, 1080, 750, 420, 0.0, 90.0 },
        // No stream yet: the whole component.
        { 801, 600, 1.0, 0, 0, 800, 600, 0.5, 0.0 },
    };

    for (auto& c : cases)
    {
        auto g = VideoPlayerComponent::computeOutputGeometry (c.componentWidth, c.componentHeight, c.scale,
                                                              c.sourceWidth, c.sourceHeight);
        auto where = std::to_string (c.sourceWidth) + "x" + std::to_string (c.sourceHeight) + " in "
                     + std::to_string (c.componentWidth) + "x" + std::to_string (c.componentHeight) + " at "
                     + std::to_string (c.scale);
        EXPECT_EQ (g.width, c.width) << where;
        EXPECT_EQ (g.height, c.height) << where;
        EXPECT_DOUBLE_EQ (g.x, c.x) << where;
        EXPECT_DOUBLE_EQ (g.y, c.y) << where;
        EXPECT_EQ (g.width % 2, 0);
        EXPECT_EQ (g.height % 2, 0);
    }
}

TEST (VideoPlayerComponent, APlayingClipShowsChangingPicturesAndAPausedOneRepaintsWithoutUploading)
{
    Clip clip ("clip-2997.mov");
    ASSERT_TRUE (clip.opened) << clip.error;
    JackOutput output (clip.player);

    if (! output.isOpen())
        GTEST_SKIP() << "no JACK server: run inside tools/headless-session (" << output.getError() << ")";

    DisplayWindow w (clip.player, { 60, 60, 640, 360 });
    EXPECT_EQ (clip.player.getOutputWidth(), 640);
    EXPECT_EQ (clip.player.getOutputHeight(), 360);
    EXPECT_EQ (clip.player.getDisplayScale(), 1.0);
    ASSERT_TRUE (w.waitForUploads (1)) << "the first picture never reached the display";
    pause (300);

    // Paused at the start: the picture the player has at the head of its queue (the
    // first or, after the player's reconversion to the display's size, the second),
    // exactly as FFmpeg decodes it and the right way up.
    auto first = w.capture();
    ASSERT_TRUE (first.isValid());
    auto firstIndex = clip.frameIndexOf (w.display.getStatistics().lastUploadedPts);
    EXPECT_LE (firstIndex, 1);
    EXPECT_GT (psnr (first, referenceFrame (media ("clip-2997.mov"), firstIndex, 640, 360)), 35.0)
        << "frame " << firstIndex;
    writeScreenshot (first, "playback/display-first-picture");

    clip.player.play();
    pause (1500);
    auto playingA = w.capture();
    pause (500);
    auto playingB = w.capture();
    EXPECT_GT (meanDifference (first, playingA), 1.0) << "the picture moved on";
    EXPECT_GT (meanDifference (playingA, playingB), 1.0) << "and keeps moving";
    EXPECT_GT (w.display.getStatistics().uploads, 30) << "about 60 pictures in 2 s";

    // Paused: the repaints go on, the uploads stop, and the picture stays.
    clip.player.stop();
    pause (200);
    auto before = w.display.getStatistics();
    pause (800);
    auto after = w.display.getStatistics();
    EXPECT_GE (after.renders, before.renders + 10) << "repaints about every 30 ms";
    EXPECT_EQ (after.uploads, before.uploads) << "no uploads while paused";

    auto pausedA = w.capture();
    pause (300);
    auto pausedB = w.capture();
    EXPECT_LT (meanDifference (pausedA, pausedB), 0.01) << "the same picture, from the texture";
    auto index = clip.frameIndexOf (after.lastUploadedPts);
    EXPECT_GT (psnr (pausedA, referenceFrame (media ("clip-2997.mov"), index, 640, 360)), 35.0)
        << "the paused picture is frame " << index;
    writeScreenshot (pausedA, "playback/display-paused");

    // Size changes after the first picture wait for the owner's refresh.
    w.resize (480, 360);
    pause (200);
    EXPECT_EQ (clip.player.getOutputWidth(), 640) << "only refreshOutputSize and the live-resize pair reconvert";
    w.display.refreshOutputSize();
    EXPECT_EQ (clip.player.getOutputWidth(), 480);
    EXPECT_EQ (clip.player.getOutputHeight(), 270);
    EXPECT_FALSE (clip.player.isPlaying());
    ASSERT_TRUE (runMessageLoopUntil ([&] { return pictureArea (w.capture()) == juce::Rectangle<int> (0, 45, 480, 270); }, 5000))
        << "the picture is shown at the new size with bars above and below; it is at "
        << pictureArea (w.capture()).toString();
}

TEST (VideoPlayerComponent, ALiveResizeEndsWithThePictureAtTheNewSize)
{
    Clip clip ("clip-2997.mov");
    ASSERT_TRUE (clip.opened) << clip.error;
    JackOutput output (clip.player);

    if (! output.isOpen())
        GTEST_SKIP() << "no JACK server: run inside tools/headless-session (" << output.getError() << ")";

    DisplayWindow w (clip.player, { 60, 60, 640, 360 });
    ASSERT_TRUE (w.waitForUploads (1));
    clip.player.play();
    pause (500);

    w.display.beginLiveResize();
    EXPECT_FALSE (clip.player.isPlaying()) << "a live resize pauses";

    // The drag: many sizes, no reconversion while it lasts.
    for (int width = 640; width <= 800; width += 40)
    {
        w.resize (width, 360 + (width - 640) * 2);
        pause (20);
    }

    EXPECT_EQ (clip.player.getOutputWidth(), 640) << "nothing reconverts during the drag";
    auto uploadsBefore = w.display.getStatistics().uploads;

    // The end: the resize thread converts to the new size; the message thread goes on.
    w.display.endLiveResize();
    auto expected = VideoPlayerComponent::computeOutputGeometry (800, 680, 1.0, 640, 360);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return clip.player.getOutputWidth() == expected.width
                                                   && clip.player.getOutputHeight() == expected.height; }, 5000));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return w.display.getStatistics().uploads > uploadsBefore; }, 5000))
        << "a picture of the new size was uploaded";

    auto expectedArea = juce::Rectangle<int> (0, juce::roundToInt (expected.y), expected.width, expected.height);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return pictureArea (w.capture()) == expectedArea; }, 5000))
        << "expected the picture at " << expectedArea.toString() << ", it is at " << pictureArea (w.capture()).toString();

    auto shown = w.capture();
    auto index = clip.frameIndexOf (w.display.getStatistics().lastUploadedPts);
    EXPECT_GT (psnr (shown.getClippedImage (expectedArea), referenceFrame (media ("clip-2997.mov"), index, expected.width, expected.height)), 30.0)
        << "frame " << index << " at " << expected.width << " x " << expected.height;
    writeScreenshot (shown, "playback/display-after-live-resize");

    // Playing again shows new pictures at the new size.
    clip.player.play();
    auto uploadsPlaying = w.display.getStatistics().uploads;
    EXPECT_TRUE (w.waitForUploads (uploadsPlaying + 10));
    EXPECT_EQ (pictureArea (w.capture()), expectedArea);
}

TEST (VideoPlayerComponent, ResizingWhileThePlayerRendersNeverDrawsAReleasedPicture)
{
    // The player releases the shown picture and may destroy free frames when its
    // output size changes; the display must never upload a picture across that. With
    // a fixed mapping threshold every picture lives in memory of its own that goes
    // back to the system when the picture is destroyed, so touching one crashes.
    mallopt (M_MMAP_THRESHOLD, 128 * 1024);
    Clip clip ("clip-1080.mov");
    ASSERT_TRUE (clip.opened) << clip.error;
    DisplayWindow w (clip.player, { 0, 0, 1600, 900 });
    ASSERT_TRUE (w.waitForUploads (1));

    // The render thread renders without pause, so that it is uploading whenever the
    // player has a new picture.
    auto* context = juce::OpenGLContext::getContextAttachedTo (w.display);
    ASSERT_NE (context, nullptr);
    context->setContinuousRepainting (true);

    std::mt19937 random (1148);
    // Large pictures, so that an upload takes a while; every size differs from the one
    // before, so that every resize destroys the free pictures.
    std::uniform_int_distribution<int> width (1200, 1600), height (675, 900);
    // At least eight seconds of it, and on a loaded machine longer, until enough
    // resizes and uploads have crossed each other.
    auto start = juce::Time::getMillisecondCounter();
    int resizes = 0;
    auto enoughDone = [&]
    {
        auto elapsed = juce::Time::getMillisecondCounter() - start;
        return elapsed > 60000
            || (elapsed > 8000 && resizes > 50 && w.display.getStatistics().uploads > 20);
    };

    // The end of a live resize every few milliseconds: the resize thread reconfigures
    // the player back to back while the render thread uploads each new picture, and
    // now and then the message thread reconfigures it too.
    while (! enoughDone())
    {
        w.resize (width (random), height (random));

        if (resizes % 10 == 9)
        {
            w.display.refreshOutputSize();
        }
        else
        {
            w.display.beginLiveResize();
            w.display.endLiveResize();
        }

        ++resizes;
        pause (5);
    }

    context->setContinuousRepainting (false);

    // Settle at a known size and check the picture is whole and in place.
    w.resize (960, 540);
    w.display.refreshOutputSize();
    clip.player.setPosition (0.5);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return pictureArea (w.capture()) == juce::Rectangle<int> (0, 0, 960, 540); }, 5000))
        << "after " << resizes << " resizes the picture is at " << pictureArea (w.capture()).toString();
    EXPECT_TRUE (clip.player.isMediaOpen());
    EXPECT_GT (resizes, 50);
    EXPECT_GT (w.display.getStatistics().uploads, 20);
}

TEST (VideoPlayerComponent, MovingToAScreenOfAnotherDensityPausesAndConvertsAgain)
{
    Clip clip ("clip-1080.mov");
    ASSERT_TRUE (clip.opened) << clip.error;
    DisplayWindow w (clip.player, { 100, 100, 500, 400 });
    EXPECT_EQ (clip.player.getOutputWidth(), 500);
    EXPECT_EQ (clip.player.getOutputHeight(), 280);
    ASSERT_TRUE (w.waitForUploads (1));

    // Moving within the same screen changes nothing.
    clip.player.play();
    w.display.moved();
    EXPECT_TRUE (clip.player.isPlaying());
    EXPECT_EQ (clip.player.getOutputWidth(), 500);

    // The same window on a screen of twice the density.
    juce::Desktop::getInstance().setGlobalScaleFactor (2.0f);
    EXPECT_EQ (w.display.findDisplayScale(), 2.0);
    w.display.moved();
    juce::Desktop::getInstance().setGlobalScaleFactor (1.0f);

    EXPECT_FALSE (clip.player.isPlaying()) << "the move pauses";
    EXPECT_EQ (clip.player.getDisplayScale(), 2.0);
    auto expected = VideoPlayerComponent::computeOutputGeometry (500, 400, 2.0, 1920, 1080);
    EXPECT_EQ (clip.player.getOutputWidth(), expected.width);
    EXPECT_EQ (clip.player.getOutputHeight(), expected.height);
    EXPECT_EQ (expected.width, 1000);
    EXPECT_EQ (expected.height, 562);
}

TEST (VideoPlayerComponent, Plays29_97FramesASecondFor20SecondsWithoutAPictureShownLate)
{
    Clip clip ("clip-2997-24s.mov");
    ASSERT_TRUE (clip.opened) << clip.error;
    JackOutput output (clip.player);

    if (! output.isOpen())
        GTEST_SKIP() << "no JACK server: run inside tools/headless-session (" << output.getError() << ")";

    clip.player.setEndPosition (20.0);
    DisplayWindow w (clip.player, { 40, 40, 320, 180 });
    ASSERT_TRUE (w.waitForUploads (1));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return clip.player.getNumQueuedPictures() > 60; }, 5000));

    auto uploadsAtStart = w.display.getStatistics().uploads;
    auto started = juce::Time::getMillisecondCounterHiRes();
    clip.player.play();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return ! clip.player.isPlaying(); }, 30000)) << "playback did not stop at 20 s";
    auto seconds = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;

    auto statistics = w.display.getStatistics();
    auto shown = statistics.uploads - uploadsAtStart;
    auto frames = (int) (clip.player.getEndPosition() / ((double) clip.player.getFrameDurationUs() / 1000000.0));
    std::cout << "20 s at 29.97 fps: " << shown << " of " << frames << " pictures shown in " << seconds
              << " s, the latest " << statistics.worstLatenessSeconds * 1000.0 << " ms after its time" << std::endl;

    EXPECT_EQ (statistics.latePictures, 0) << "pictures shown more than a frame late";
    EXPECT_LE (statistics.worstLatenessSeconds, (double) clip.player.getFrameDurationUs() / 1000000.0);
    EXPECT_GE (shown, frames * 9 / 10) << "pictures dropped because the display did not keep up";
    EXPECT_NEAR (seconds, 20.0, 1.5) << "played in real time";
    EXPECT_NEAR (clip.player.getPosition(), 20.0, 0.1);
}
