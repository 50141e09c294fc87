// The stream-copy trim and mux command: the ffmpeg tool cuts the trim range without
// re-encoding the picture, optionally taking the sound from a rendered WAV file.
#include "playback/VideoPlayer.h"
#include "shell/DebugLog.h"
#include "shell/ResourcePaths.h"
#include "shell/TimeText.h"

extern "C"
{
#include <libavutil/avutil.h>
}

#include <cmath>

juce::String VideoPlayer::formatTrimTime (double seconds) const
{
    auto origin = startPts.load();
    auto s = origin != AV_NOPTS_VALUE ? seconds + (double) origin / 1000000.0 : seconds;

    // The tool takes no negative time in this notation: a range before the first
    // picture starts at the beginning.
    auto milliseconds = std::max (0ll, std::llround (s * 1000.0));
    return formatTime ((double) (milliseconds / 1000)) + "." + juce::String (milliseconds % 1000).paddedLeft ('0', 3);
}

juce::StringArray VideoPlayer::getTrimArguments (const juce::String& outputPath, const juce::File& audioFile) const
{
    auto start = startPosition.load();
    auto length = endPosition.load() - start;
    auto input = juce::String::fromUTF8 (path.c_str());

    juce::StringArray arguments { "-ss", formatTrimTime (start), "-i", input };

    if (audioFile.existsAsFile())
        arguments.addArray ({ "-ss", formatTrimTime (start), "-i", audioFile.getFullPathName(), "-t", formatTrimTime (length),
                              "-map", "0:v", "-map", "1:a", "-c", "copy", outputPath, "-y" });
    else
        arguments.addArray ({ "-t", formatTrimTime (length), "-c:v", "copy", "-c:a", "copy", outputPath, "-y" });

    return arguments;
}

bool VideoPlayer::runTrimCommand (const juce::String& outputPath, const juce::File& audioFile)
{
    juce::StringArray command { getFFmpegPath() };
    command.addArray (getTrimArguments (outputPath, audioFile));
    debugLog ("calling: %s", command.joinIntoString (" ").toRawUTF8());

    juce::ChildProcess tool;

    if (! tool.start (command, 0))
        return false;

    tool.waitForProcessToFinish (-1);
    return true;
}
