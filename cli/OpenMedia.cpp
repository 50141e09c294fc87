#include "cli/OpenMedia.h"

#include "playback/AudioPlayer.h"
#include "playback/VideoPlayer.h"

std::unique_ptr<IMediaPlayer> openInProgramsPlayer (const juce::File& file, std::string& error, juce::String* kind)
{
    std::unique_ptr<IMediaPlayer> player;
    auto isVideo = VideoPlayer().canOpen (file);

    if (isVideo)
        player = std::make_unique<VideoPlayer>();
    else
        player = std::make_unique<AudioPlayer>();

    if (! player->canOpen (file))
    {
        error = "no player handles this kind of file";
        return nullptr;
    }

    if (kind != nullptr)
        *kind = isVideo ? "video" : "audio";

    if (! player->open (file, &error))
        return nullptr;

    return player;
}
