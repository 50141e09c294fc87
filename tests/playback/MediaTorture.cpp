// Puts one media file through everything a user can do with it in a player: open,
// play with a display and an audio device pulling, seek, step, resize, snapshot,
// close. Any crash, hang or leak of the players shows here; a file that cannot be
// opened is fine. Used by tools/mutate-media on damaged copies of the test media.
//   media-torture <file>
#include "playback/AudioPlayer.h"
#include "playback/VideoPlayer.h"

#include <juce_events/juce_events.h>

#include <cstdio>
#include <random>

namespace
{
    void pump (int milliseconds)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
    }

    void exercise (IMediaPlayer& player, VideoPlayer* video, std::mt19937& random)
    {
        juce::AudioBuffer<float> block (2, 512);
        std::uniform_real_distribution<double> anywhere (0.0, std::max (0.1, player.getDuration()));

        player.prepareToPlay (512, 48000.0);
        player.play();

        for (int i = 0; i < 120; ++i)
        {
            if (video != nullptr)
                video->getNextVideoFrame();

            block.clear();
            player.getNextAudioBlock (juce::AudioSourceChannelInfo (block));
            pump (2);

            switch (i % 30)
            {
                case 10: player.setPosition (anywhere (random)); break;
                case 12: player.stop(); player.oneFrameIncrement(); break;
                case 14: player.oneFrameDecrement(); break;
                case 16: if (video != nullptr) video->setOutputSize (320, 180, 1.0); break;
                case 18: if (video != nullptr) video->getCurrentFrameImage(); break;
                case 20: player.playAtSpeed (4); break;
                case 24: player.setPosition (player.getDuration()); player.play(); break;
                case 26: player.stop(); player.play(); break;
                default: break;
            }
        }

        player.stop();
        player.releaseResources();
        player.prepareToPlay (1024, 44100.0);
        player.setPosition (0.0);
        player.close();
    }
}

int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::fprintf (stderr, "usage: media-torture <file>\n");
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    juce::File file (juce::String::fromUTF8 (argv[1]));
    std::mt19937 random (12345);

    VideoPlayer video;
    AudioPlayer audio;
    IMediaPlayer* player = video.canOpen (file) ? (IMediaPlayer*) &video : (IMediaPlayer*) &audio;
    std::string error;

    if (! player->open (file, &error))
    {
        std::printf ("not opened: %s\n", error.c_str());
        return 0;
    }

    exercise (*player, player == &video ? &video : nullptr, random);

    // Once more, after a close: the player must be reusable.
    if (player->open (file, &error))
        exercise (*player, player == &video ? &video : nullptr, random);

    std::printf ("played\n");
    return 0;
}
