// The video player against FFmpeg itself: what it opens and how it fails, frame
// accuracy of positioning and steps, the trim range rules, and the transport.
#include "playback/VideoPlayer.h"

#include "ChildProgram.h"
#include "MessageLoop.h"
#include "ReferenceFrames.h"

#include <gtest/gtest.h>
#include <juce_audio_devices/juce_audio_devices.h>

#include <cstring>

#include <cmath>
#include <thread>

namespace
{
    juce::File media (const char* name)
    {
        return juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile (name);
    }

    struct ChangeCounter : juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++changes; }
        int changes = 0;
    };

    // The index the positioning rule gives: the first picture whose time is at least
    // t minus half a picture. Picture k of a constant-rate stream is at k * num / den s.
    int expectedIndex (double t, std::int64_t frameNum, std::int64_t frameDen, std::int64_t frameDurationUs, int frameCount)
    {
        auto target = (std::int64_t) (t * 1000000.0);

        for (int k = 0; k < frameCount; ++k)
            if (k * frameNum * 1000000 / frameDen >= target - (frameDurationUs >> 1))
                return k;

        return frameCount - 1;
    }

    struct Clip
    {
        const char* name;
        std::int64_t frameNum, frameDen; // seconds per picture = num / den
        int frameCount;
    };

    // What the display shows after its next repaint.
    juce::Image shownAfterRepaint (VideoPlayer& player)
    {
        player.getNextVideoFrame();
        return player.getCurrentFrameImage();
    }

    const Clip clip2997 { "clip-2997.mov", 1001, 30000, 300 };
    const Clip clip25 { "clip-25.mov", 1, 25, 200 };
    // No edit list: the first picture is at 80 ms of the stream's own time.
    const Clip clipOffset { "clip-offset.mov", 1, 25, 100 };
}

TEST (VideoPlayer, OpensVideoAndAudioFilesAndDescribesThem)
{
    struct Case { const char* name; int kind; double width, height; int bits; double rate; int channels; std::int64_t frameUs; };
    const Case cases[] = {
        { "clip-2997.mov", 2, 640, 360, 16, 48000, 2, 33366 },
        { "clip-25.mov", 2, 640, 360, 16, 48000, 2, 40000 },
        { "pcm24.mov", 2, 640, 360, 24, 48000, 2, 40000 },
        { "audio.m4a", 1, 16, 48000, 16, 48000, 2, 3000000 },
    };

    for (auto& c : cases)
    {
        VideoPlayer player;
        ASSERT_TRUE (player.canOpen (media (c.name)));
        std::string error;
        ASSERT_TRUE (player.open (media (c.name), &error)) << c.name << ": " << error;

        auto info = player.getMediaInfo();
        EXPECT_EQ (info.kind, c.kind) << c.name;
        EXPECT_EQ (player.getMediaKind(), c.kind);
        EXPECT_EQ (info.widthOrBitDepth, c.width) << c.name;
        EXPECT_EQ (info.heightOrSampleRate, c.height) << c.name;
        EXPECT_EQ (info.bitsPerSample, c.bits) << c.name;
        EXPECT_EQ (info.sampleRate, c.rate) << c.name;
        EXPECT_EQ (info.numChannels, c.channels) << c.name;
        EXPECT_EQ (player.getFrameDurationUs(), c.frameUs) << c.name;
        EXPECT_DOUBLE_EQ (player.getEndPosition(), player.getDuration());
        EXPECT_DOUBLE_EQ (player.getPosition(), 0.0);
        player.close();
        EXPECT_DOUBLE_EQ (player.getPosition(), 0.0);
        EXPECT_EQ (player.getMediaKind(), c.kind) << "the last kind stays after close";
    }

    VideoPlayer player;
    EXPECT_FALSE (player.canOpen (media ("tone-16-48000-stereo.wav")));
    EXPECT_TRUE (player.canOpen (juce::File ("/x/CLIP.MOV")));
    ASSERT_TRUE (player.open (media ("clip-2997.mov"), nullptr));
    EXPECT_EQ (player.getFrameRateNumerator(), 30000);
    EXPECT_EQ (player.getFrameRateDenominator(), 1001);
    EXPECT_NEAR (player.getDuration(), 10.01, 0.001);
}

TEST (VideoPlayer, AVideoWithoutSoundOpens)
{
    VideoPlayer player;
    std::string error;
    ASSERT_TRUE (player.open (media ("silent.mov"), &error)) << error;
    EXPECT_EQ (player.getMediaInfo().kind, 2);
    EXPECT_EQ (player.getMediaInfo().numChannels, 0);
    EXPECT_TRUE (player.getCurrentFrameImage().isValid());
}

TEST (VideoPlayer, FailuresComeBackAsTextsAndLeaveThePlayerClosed)
{
    ScratchFolder folder;
    writeTextFile (folder / "empty.mov", "");

    struct Case { const char* name; juce::File file; };
    const Case cases[] = {
        { "zero bytes", juce::File (folder / "empty.mov") },
        { "text named .mov", media ("not-a-video.mov") },
        { "missing", juce::File (folder / "missing.mov") },
        { "audio-only file without audio", juce::File (folder / "empty.m4a") },
    };

    for (auto& c : cases)
    {
        VideoPlayer player;
        std::string error;
        EXPECT_FALSE (player.open (c.file, &error)) << c.name;
        EXPECT_FALSE (error.empty()) << c.name;
        EXPECT_FALSE (player.isMediaOpen());
        EXPECT_FALSE (player.getCurrentFrameImage().isValid());
        player.play();
        player.setPosition (1.0);
        player.oneFrameIncrement();
        player.oneFrameDecrement();
    }

    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("clip-25.mov"), nullptr));
    std::string error;
    EXPECT_FALSE (player.open (media ("clip-2997.mov"), &error));
    EXPECT_EQ (error, "Cannot load video because another video is still open. Please close and try again.");
    EXPECT_FALSE (player.isMediaOpen());
    EXPECT_TRUE (player.open (media ("clip-2997.mov"), &error)) << error;
}

TEST (VideoPlayer, PositioningShowsThePictureFFmpegDecodesAtThatIndex)
{
    for (auto& clip : { clip2997, clip25, clipOffset })
    {
        VideoPlayer player;
        ASSERT_TRUE (player.open (media (clip.name), nullptr));
        auto frameUs = player.getFrameDurationUs();
        auto duration = player.getDuration();

        const double times[] = { 0.0, 0.04, 0.5, 1.0, 1.98, 2.0, 3.3333, 4.0101, 6.02, duration - 0.5, duration - 0.01, duration };

        for (auto t : times)
        {
            player.setPosition (t);
            auto index = expectedIndex (t, clip.frameNum, clip.frameDen, frameUs, clip.frameCount);
            auto image = shownAfterRepaint (player);
            EXPECT_GT (psnr (image, referenceFrame (media (clip.name), index)), 45.0)
                << clip.name << " at " << t << " s, picture " << index;

            // Once shown, the position is the time of the picture on screen; paused on
            // the last picture of the stream it reports the end position.
            auto shownTime = index == clip.frameCount - 1 ? player.getEndPosition()
                                                          : (double) index * (double) clip.frameNum / (double) clip.frameDen;
            EXPECT_NEAR (player.getPosition(), shownTime, 1.0e-5) << clip.name << " at " << t;

            // Positioning is idempotent: the same target again keeps what is queued.
            auto queued = player.getNumQueuedPictures();
            player.setPosition (t);
            EXPECT_EQ (player.getNumQueuedPictures(), queued);
        }
    }
}

TEST (VideoPlayer, StepsForwardAndBackOnePictureAtATime)
{
    for (auto& clip : { clip2997, clip25, clipOffset })
    {
        VideoPlayer player;
        ASSERT_TRUE (player.open (media (clip.name), nullptr));
        auto reference = [&] (int index) { return referenceFrame (media (clip.name), index); };

        // A fresh player shows the first picture without moving.
        EXPECT_GT (psnr (player.getCurrentFrameImage(), reference (0)), 45.0) << clip.name;
        EXPECT_DOUBLE_EQ (player.getPosition(), 0.0);

        auto start = 60; // a key frame boundary: stepping back must cross into the previous GOP
        player.setPosition ((double) start * clip.frameNum / clip.frameDen);
        EXPECT_GT (psnr (shownAfterRepaint (player), reference (start)), 45.0) << clip.name;

        player.oneFrameIncrement();
        player.getNextVideoFrame(); // the repaint that takes the stepped-over picture away
        ASSERT_TRUE (runMessageLoopUntil ([&] { return player.getNumQueuedPictures() > 0; }, 5000));
        EXPECT_GT (psnr (shownAfterRepaint (player), reference (start + 1)), 45.0) << clip.name << " one step on";

        player.oneFrameDecrement();
        EXPECT_GT (psnr (shownAfterRepaint (player), reference (start)), 45.0) << clip.name << " one step back";

        player.oneFrameDecrement();
        EXPECT_GT (psnr (shownAfterRepaint (player), reference (start - 1)), 45.0) << clip.name << " over the key frame";

        // At the first picture, stepping back keeps it.
        player.setPosition (0.0);
        shownAfterRepaint (player);
        player.oneFrameDecrement();
        EXPECT_GT (psnr (shownAfterRepaint (player), reference (0)), 45.0) << clip.name << " before the first";
    }
}

TEST (VideoPlayer, TheLastPictureIsFound)
{
    for (auto& clip : { clip2997, clip25, clipOffset })
    {
        VideoPlayer player;
        ASSERT_TRUE (player.open (media (clip.name), nullptr));
        player.setPosition (player.getDuration());
        EXPECT_GT (psnr (shownAfterRepaint (player), referenceFrame (media (clip.name), clip.frameCount - 1)), 45.0)
            << clip.name;
    }
}

TEST (VideoPlayer, TrimRangeSnapsToThePictureGrid)
{
    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("clip-25.mov"), nullptr));

    struct Case { double requested, stored; };
    const Case starts[] = { { 1.03, 1.04 }, { 1.01, 1.0 }, { 0.0, 0.0 }, { 2.03, 2.04 }, { 7.99, 8.0 } };

    for (auto& c : starts)
    {
        player.setStartPosition (c.requested);
        EXPECT_NEAR (player.getStartPosition(), c.stored, 1.0e-9) << c.requested;
    }

    player.setStartPosition (1.0);
    player.setEndPosition (0.5);
    EXPECT_NEAR (player.getEndPosition(), 8.0, 1.0e-9) << "an end before the start is ignored";
    player.setEndPosition (5.01);
    EXPECT_NEAR (player.getEndPosition(), 5.0, 1.0e-9);
    player.setStartPosition (6.0);
    EXPECT_NEAR (player.getStartPosition(), 1.0, 1.0e-9) << "a start after the end is ignored";

    player.close();
    EXPECT_DOUBLE_EQ (player.getStartPosition(), 0.0) << "closing resets the start";
}

TEST (VideoPlayer, TransportRules)
{
    VideoPlayer player;
    ChangeCounter counter;
    player.addChangeListener (&counter);
    ASSERT_TRUE (player.open (media ("clip-25.mov"), nullptr));

    player.play();
    player.play();
    runMessageLoopUntil ([] { return false; }, 50);
    EXPECT_TRUE (player.isPlaying());
    EXPECT_EQ (counter.changes, 1) << "a second play changes nothing";

    player.playAtSpeed (4);
    player.stop();
    player.stop();
    runMessageLoopUntil ([] { return false; }, 50);
    EXPECT_FALSE (player.isPlaying());
    EXPECT_EQ (counter.changes, 2);

    // Play at the end position only sends a message; the player stays stopped.
    player.setEndPosition (2.0);
    player.setPosition (2.0);
    shownAfterRepaint (player);
    player.play();
    runMessageLoopUntil ([] { return false; }, 50);
    EXPECT_FALSE (player.isPlaying());
    EXPECT_EQ (counter.changes, 3);
    player.removeChangeListener (&counter);
}

TEST (VideoPlayer, TrimCommandArgumentsAndTimeText)
{
    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("clip-25.mov"), nullptr));

    struct Case { double seconds; const char* text; };
    const Case times[] = { { 0.0, "00:00:00.000" }, { 65.0333, "00:01:05.033" }, { 3723.004, "01:02:03.004" },
                           { 59.9996, "00:01:00.000" }, { -1.0, "00:00:00.000" } };

    for (auto& c : times)
        EXPECT_EQ (player.formatTrimTime (c.seconds), c.text) << c.seconds;

    player.setStartPosition (1.52);
    player.setEndPosition (6.52);
    auto input = media ("clip-25.mov").getFullPathName();

    EXPECT_EQ (player.getTrimArguments ("/out/a b.mov", juce::File()),
               juce::StringArray (std::initializer_list<juce::String> { "-ss", "00:00:01.520", "-i", input, "-t", "00:00:05.000", "-c:v", "copy",
                                    "-c:a", "copy", "/out/a b.mov", "-y" }));

    // A relative output becomes a full path, so a leading dash is never an option.
    EXPECT_EQ (player.getTrimArguments ("-x.mov", juce::File())[10],
               juce::File::getCurrentWorkingDirectory().getChildFile ("-x.mov").getFullPathName());

    // A folder or a missing file gives the trim form; a sound file the mux form.
    EXPECT_EQ (player.getTrimArguments ("o.mov", media ("")).size(), 12);
    EXPECT_EQ (player.getTrimArguments ("o.mov", media ("missing.wav")).size(), 12);
    auto wav = media ("tone-16-48000-stereo.wav");
    EXPECT_EQ (player.getTrimArguments ("o.mov", wav),
               juce::StringArray (std::initializer_list<juce::String> { "-ss", "00:00:01.520", "-i", input, "-ss", "00:00:01.520", "-i",
                                    wav.getFullPathName(), "-t", "00:00:05.000", "-map", "0:v", "-map", "1:a", "-c",
                                    "copy", juce::File::getCurrentWorkingDirectory().getChildFile ("o.mov").getFullPathName(), "-y" }));

    // A stream that starts late is sought in its own time, but the length stays the length.
    VideoPlayer late;
    ASSERT_TRUE (late.open (media ("clip-offset.mov"), nullptr));
    late.setStartPosition (1.0);
    late.setEndPosition (3.0);
    auto lateArguments = late.getTrimArguments ("/out/o.mov", juce::File());
    EXPECT_EQ (lateArguments[1], "00:00:01.080");
    EXPECT_EQ (lateArguments[5], "00:00:02.000");
}

TEST (VideoPlayer, TrimCommandCopiesTheRangeWhateverThePathHolds)
{
    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("clip-25.mov"), nullptr));
    player.setStartPosition (2.0);
    player.setEndPosition (4.0);

    ScratchFolder folder;
    const char* names[] = { "plain.mov", "with space.mov", "quote\"and'apostrophe.mov", "$(touch pwned).mov",
                            "`id`;rm -rf x.mov", "-leading-dash.mov", "new\nline.mov" };

    for (auto* name : names)
    {
        auto output = juce::File (folder.path()).getChildFile (name);
        ASSERT_TRUE (player.runTrimCommand (output.getFullPathName(), juce::File()));
        EXPECT_TRUE (output.existsAsFile()) << name;

        VideoPlayer trimmed;
        ASSERT_TRUE (trimmed.open (output, nullptr)) << name;
        EXPECT_NEAR (trimmed.getDuration(), 2.0, 0.1) << name;
    }

    EXPECT_FALSE (juce::File (folder / "pwned").exists());
    EXPECT_FALSE (juce::File::getCurrentWorkingDirectory().getChildFile ("pwned").exists());
}

namespace
{
    // The sound FFmpeg's own tool decodes from a file, resampled to stereo float at a rate.
    std::vector<float> referenceSound (const juce::File& file, int sampleRate)
    {
        ScratchFolder folder;
        ChildProgram::Options options;
        options.arguments = { "-hide_banner", "-loglevel", "error", "-nostdin", "-i", file.getFullPathName().toStdString(),
                              "-vn", "-ar", std::to_string (sampleRate), "-ac", "2", "-f", "f32le", folder / "sound.raw" };
        ChildProgram ffmpeg ("/usr/bin/ffmpeg", options);
        ffmpeg.waitForExit (60000);
        auto bytes = readTextFile (folder / "sound.raw");
        std::vector<float> samples (bytes.size() / sizeof (float));
        std::memcpy (samples.data(), bytes.data(), samples.size() * sizeof (float));
        return samples; // interleaved L R
    }

    // Pulls the whole sound of a file from the player as the file render does.
    juce::AudioBuffer<float> renderOffline (VideoPlayer& player, int sampleRate, int blockSize)
    {
        auto wasAudioOnly = player.setAudioOnly (true);
        auto wasOffline = player.setOfflineRendering (true);
        player.prepareToPlay (blockSize, sampleRate);
        player.play();
        player.setPosition (0.0);

        auto total = (int) (player.getDuration() * sampleRate);
        juce::AudioBuffer<float> sound (2, total);
        sound.clear();

        for (int done = 0; done < total; done += blockSize)
        {
            auto n = std::min (blockSize, total - done);
            player.getNextAudioBlock (juce::AudioSourceChannelInfo (&sound, done, n));
        }

        player.stop();
        player.setAudioOnly (wasAudioOnly);
        player.setOfflineRendering (wasOffline);
        return sound;
    }

    // The largest sample difference between the player's sound and FFmpeg's, at the
    // best alignment within a millisecond, leaving out the first and last 100 ms (where
    // the encoder's priming and the resampler's filter start and end differently).
    double largestDifference (const juce::AudioBuffer<float>& sound, const std::vector<float>& interleaved,
                              int sampleRate, int* lagFound = nullptr)
    {
        auto frames = (int) std::min ((size_t) sound.getNumSamples(), interleaved.size() / 2);
        auto margin = sampleRate / 10, maxLag = sampleRate / 1000;
        double best = 1.0e9;

        for (int lag = -maxLag; lag <= maxLag; ++lag)
        {
            double largest = 0.0;

            for (int i = margin; i < frames - margin && largest < best; ++i)
                for (int channel = 0; channel < 2; ++channel)
                    largest = std::max (largest, (double) std::abs (sound.getSample (channel, i)
                                                                    - interleaved[(size_t) (i + lag) * 2 + (size_t) channel]));

            if (largest < best)
            {
                best = largest;

                if (lagFound != nullptr)
                    *lagFound = lag;
            }
        }

        return best;
    }
}

TEST (VideoPlayer, TheSoundMatchesFFmpegsOwnDecode)
{
    // At the file's own rate the samples are FFmpeg's but for float rounding; at another
    // rate the two resamplers' filters start at slightly different phases.
    struct Case { const char* name; int rate; double tolerance; };
    const Case cases[] = { { "clip-25.mov", 48000, 1.0e-4 }, { "audio.m4a", 48000, 1.0e-4 }, { "pcm24.mov", 48000, 1.0e-4 },
                           { "clip-2997.mov", 44100, 3.0e-3 } };

    for (auto& c : cases)
    {
        VideoPlayer player;
        ASSERT_TRUE (player.open (media (c.name), nullptr));
        auto sound = renderOffline (player, c.rate, 4096);
        auto reference = referenceSound (media (c.name), c.rate);
        ASSERT_GT (reference.size(), (size_t) c.rate) << c.name;
        EXPECT_GT (sound.getMagnitude (0, sound.getNumSamples()), 0.1f) << c.name;
        int lag = 0;
        EXPECT_LT (largestDifference (sound, reference, c.rate, &lag), c.tolerance) << c.name << " (best at a lag of " << lag << ")";
    }
}

TEST (VideoPlayer, ADeviceRestartAtAnotherRateRebuildsTheSound)
{
    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("clip-25.mov"), nullptr));
    player.prepareToPlay (512, 48000.0);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return player.getNumQueuedAudioChunks() > 10; }, 5000));

    player.releaseResources();
    player.prepareToPlay (512, 44100.0);

    auto sound = renderOffline (player, 44100, 512);
    EXPECT_LT (largestDifference (sound, referenceSound (media ("clip-25.mov"), 44100), 44100), 3.0e-3);
}

TEST (VideoPlayer, BlocksOf512TakeTwoPerChunkAndTheClockFollows)
{
    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("audio.m4a"), nullptr));
    player.prepareToPlay (512, 48000.0);
    player.play();
    ASSERT_TRUE (runMessageLoopUntil ([&] { return player.getNumQueuedAudioChunks() > 4; }, 5000));

    juce::AudioBuffer<float> block (2, 512);
    std::vector<double> clocks;

    for (int i = 0; i < 6; ++i)
    {
        player.getNextAudioBlock (juce::AudioSourceChannelInfo (block));
        clocks.push_back (player.getAudioClock());
    }

    // Each block starts its clock where the previous one ended: 512 samples on.
    for (size_t i = 1; i < clocks.size(); ++i)
        EXPECT_NEAR (clocks[i] - clocks[i - 1], 512.0 / 48000.0, 1.0e-6) << i;

    // Volume 0: silence, but the sound drains and the clock runs.
    player.setVolume (0.0f);
    auto before = player.getAudioClock();
    block.clear();
    player.getNextAudioBlock (juce::AudioSourceChannelInfo (block));
    EXPECT_EQ (block.getMagnitude (0, 512), 0.0f);
    EXPECT_NEAR (player.getAudioClock() - before, 512.0 / 48000.0, 1.0e-6);
    player.stop();
}

TEST (VideoPlayer, WhilePausedStaleSoundIsDroppedAndFastPlaybackIsSilent)
{
    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("clip-25.mov"), nullptr));
    player.prepareToPlay (1024, 48000.0);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return player.getNumQueuedAudioChunks() > 50 && player.getNumQueuedPictures() > 60; }, 10000));

    // Fast playback moves the pictures on and plays no sound.
    player.playAtSpeed (4);
    juce::AudioBuffer<float> block (2, 1024);

    for (int i = 0; i < 10; ++i)
    {
        player.getNextVideoFrame();
        block.clear();
        player.getNextAudioBlock (juce::AudioSourceChannelInfo (block));
        EXPECT_EQ (block.getMagnitude (0, 1024), 0.0f);
    }

    EXPECT_NEAR (player.getPosition(), 39 * 0.04, 1.0e-6) << "up to four pictures a repaint";
    player.stop();

    // Paused, and then playing again: no sound from before the position is heard.
    player.getNextAudioBlock (juce::AudioSourceChannelInfo (block));
    player.play();
    player.getNextVideoFrame();
    block.clear();
    player.getNextAudioBlock (juce::AudioSourceChannelInfo (block));
    EXPECT_GT (block.getMagnitude (0, 1024), 0.0f);
    EXPECT_GE (player.getAudioClock(), player.getPosition() - 2 * 1024.0 / 48000.0);
    player.stop();
}

TEST (VideoPlayer, ConcurrentResizesEndAtTheNewestSize)
{
    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("clip-25.mov"), nullptr));
    shownAfterRepaint (player);

    std::atomic<int> reconfigured { 0 };
    auto resizer = [&] (int first)
    {
        for (int i = 0; i < 20; ++i)
            if (player.setOutputSize (320 + 16 * ((first + i) % 5), 180, 1.0))
                ++reconfigured;
    };

    std::thread a (resizer, 0), b (resizer, 2);
    a.join();
    b.join();
    EXPECT_GT (reconfigured.load(), 0);

    // Whatever won, the player converts to the size it reports.
    player.setPosition (2.0);
    auto image = shownAfterRepaint (player);
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getWidth(), player.getOutputWidth());
    EXPECT_EQ (image.getHeight(), 180);

    // The same size again reconfigures nothing.
    EXPECT_FALSE (player.setOutputSize (player.getOutputWidth(), player.getOutputHeight(), 1.0));
    EXPECT_TRUE (player.setOutputSize (160, 90, 2.0));
    player.setPosition (1.0);
    EXPECT_EQ (shownAfterRepaint (player).getWidth(), 160);
}

TEST (VideoPlayer, AResizeKeepsThePictureOnScreen)
{
    // Pictures between key frames, early and late in a clip, and on a clip whose stream starts late.
    struct Case { Clip clip; double time; int index; };
    const Case cases[] = { { clip2997, 1.5, 45 }, { clip2997, 9.95, 298 }, { clipOffset, 1.5, 37 } };

    for (auto& c : cases)
    {
        VideoPlayer player;
        ASSERT_TRUE (player.open (media (c.clip.name), nullptr));
        player.setPosition (c.time);
        shownAfterRepaint (player);
        auto position = player.getPosition();

        ASSERT_TRUE (player.setOutputSize (320, 180, 1.0));
        auto image = shownAfterRepaint (player);
        ASSERT_EQ (image.getWidth(), 320);
        EXPECT_GT (psnr (image, referenceFrame (media (c.clip.name), c.index, "320:180")), 45.0)
            << c.clip.name << " at " << c.time << " s";
        EXPECT_NEAR (player.getPosition(), position, 1.0e-6) << c.clip.name;

        // Resizes faster than the display repaints: the picture converted for the
        // first is still waiting to be shown when the second comes.
        ASSERT_TRUE (player.setOutputSize (480, 270, 1.0));
        ASSERT_TRUE (player.setOutputSize (400, 224, 1.0));
        image = shownAfterRepaint (player);
        ASSERT_EQ (image.getWidth(), 400) << c.clip.name << ": no picture after two resizes";
        EXPECT_GT (psnr (image, referenceFrame (media (c.clip.name), c.index, "400:224")), 45.0)
            << c.clip.name << " at " << c.time << " s, two resizes";
    }
}

TEST (VideoPlayer, ADecoderFailureClosesTheMediaAndTheNextFileOpensAndPlays)
{
    // Pictures of 30000 x 20000 need more memory than FFmpeg allocates at once, so the
    // decoder fails inside the resize, on the caller's thread.
    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("clip-25.mov"), nullptr));
    shownAfterRepaint (player);
    player.setOutputSize (30000, 20000, 1.0);
    player.getNextVideoFrame();
    EXPECT_FALSE (player.isPlaying());

    // The media is closed on the message thread; nothing else happens to the program.
    EXPECT_TRUE (runMessageLoopUntil ([&] { return ! player.isMediaOpen(); }, 5000));
    EXPECT_FALSE (player.getCurrentFrameImage().isValid());

    // Given a size it can hold, the same player opens the next file and positions and
    // converts as before, and stays open.
    ASSERT_TRUE (player.setOutputSize (320, 180, 1.0));
    ASSERT_TRUE (player.open (media ("clip-2997.mov"), nullptr));
    player.setPosition (1.5);
    EXPECT_GT (psnr (shownAfterRepaint (player), referenceFrame (media ("clip-2997.mov"), 45, "320:180")), 45.0);
    runMessageLoopUntil ([] { return false; }, 200);
    EXPECT_TRUE (player.isMediaOpen());
}

TEST (VideoPlayer, PlaysThroughARealJackDeviceInStepWithTheClock)
{
    juce::AudioDeviceManager devices;
    devices.setCurrentAudioDeviceType ("JACK", true);
    auto error = devices.initialise (0, 2, nullptr, false);

    if (devices.getCurrentAudioDevice() == nullptr)
        GTEST_SKIP() << "no JACK server: run inside tools/headless-session (" << error << ")";

    struct Case { const char* name; double end; bool hasSound; };
    const Case cases[] = { { "clip-2997.mov", 3.0, true }, { "clip-offset.mov", 0.0, false } };

    for (auto& c : cases)
    {
        VideoPlayer player;
        ChangeCounter counter;
        player.addChangeListener (&counter);
        ASSERT_TRUE (player.open (media (c.name), nullptr));

        if (c.end > 0.0)
            player.setEndPosition (c.end);

        auto length = player.getEndPosition();
        juce::AudioSourcePlayer sourcePlayer;
        sourcePlayer.setSource (&player);
        devices.addAudioCallback (&sourcePlayer);
        ASSERT_TRUE (runMessageLoopUntil ([&] { return player.getNumQueuedPictures() > 20; }, 5000));

        // The display's render thread: asks for the picture due about every 4 ms.
        struct Shown { std::int64_t pts; double clock; };
        std::vector<Shown> shown;
        std::atomic<bool> rendering { true };
        std::thread render ([&]
        {
            VideoFrame* last = nullptr;
            std::int64_t lastPts = -1;

            while (rendering)
            {
                auto* frame = player.getNextVideoFrame();

                if (frame != nullptr && (frame != last || frame->pts != lastPts))
                {
                    shown.push_back ({ frame->pts, player.getAudioClock() });
                    last = frame;
                    lastPts = frame->pts;
                }

                std::this_thread::sleep_for (std::chrono::milliseconds (4));
            }
        });

        auto started = juce::Time::getMillisecondCounterHiRes();
        player.play();
        auto ended = runMessageLoopUntil ([&] { return counter.changes >= 2; }, (int) (length * 1000) + 10000);
        auto elapsed = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;
        rendering = false;
        render.join();
        devices.removeAudioCallback (&sourcePlayer);
        sourcePlayer.setSource (nullptr);

        ASSERT_TRUE (ended) << c.name << ": playback did not stop by itself";
        runMessageLoopUntil ([] { return false; }, 200);
        EXPECT_EQ (counter.changes, 2) << c.name << ": one start and one stop message";
        EXPECT_FALSE (player.isPlaying());

        // It played for its length, at the device's pace (also on the silent clock,
        // whatever rate the sound would have had).
        EXPECT_NEAR (elapsed, length, 0.03 * length + 0.15) << c.name;
        EXPECT_NEAR (player.getPosition(), length, 0.1) << c.name;

        // Pictures came in order, and none was shown more than a frame late.
        auto frameSeconds = (double) player.getFrameDurationUs() / 1.0e6;
        auto origin = (double) player.getStartPts() / 1.0e6;
        ASSERT_GT (shown.size(), (size_t) (length / frameSeconds / 2)) << c.name;
        int late = 0;

        for (size_t i = 1; i < shown.size(); ++i)
        {
            EXPECT_GT (shown[i].pts, shown[i - 1].pts) << c.name << " picture " << i;

            if (shown[i].clock > origin + (double) shown[i].pts / 1.0e6 + frameSeconds + 1024.0 / 48000.0)
                ++late;
        }

        EXPECT_EQ (late, 0) << c.name;
        player.removeChangeListener (&counter);
    }
}

TEST (VideoPlayer, PictureTimesNeverStepBack)
{
    VideoPlayer player;
    ASSERT_TRUE (player.open (media ("steps-back.mov"), nullptr));
    std::vector<std::int64_t> times;

    // Step through every picture, as the Next button does.
    for (int i = 0; i < 100; ++i)
    {
        auto* frame = player.getNextVideoFrame();

        if (frame != nullptr && (times.empty() || times.back() != frame->pts))
            times.push_back (frame->pts);

        player.oneFrameIncrement();
        player.getNextVideoFrame();

        if (! runMessageLoopUntil ([&] { return player.getNumQueuedPictures() > 0; }, 1000))
            break; // the last picture
    }

    ASSERT_GE (times.size(), (size_t) 60);

    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE (times[i], times[i - 1]) << "picture " << i;
}
