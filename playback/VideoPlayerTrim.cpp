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

namespace
{
    // The tool's time notation, which takes no negative time: a range before the first
    // picture starts at the beginning.
    juce::String toolTimeText (double seconds)
    {
        auto milliseconds = std::max (0ll, std::llround (seconds * 1000.0));
        return formatTime ((double) (milliseconds / 1000)) + "." + juce::String (milliseconds % 1000).paddedLeft ('0', 3);
    }
}

juce::String VideoPlayer::formatTrimTime (double seconds) const
{
    // Positions count from the first picture; the tool seeks in the stream's own time.
    auto origin = startPts.load();
    return toolTimeText (origin != AV_NOPTS_VALUE ? seconds + (double) origin / 1000000.0 : seconds);
}

juce::StringArray VideoPlayer::getTrimArguments (const juce::String& outputPath, const juce::File& audioFile) const
{
    auto start = startPosition.load();
    auto length = toolTimeText (endPosition.load() - start); // a duration: no origin
    auto input = juce::String::fromUTF8 (path.c_str());

    // A full path, so that a name starting with a dash is never taken for an option.
    auto output = juce::File::getCurrentWorkingDirectory().getChildFile (outputPath).getFullPathName();

    juce::StringArray arguments { "-ss", formatTrimTime (start), "-i", input };

    if (audioFile.existsAsFile())
        arguments.addArray ({ "-ss", formatTrimTime (start), "-i", audioFile.getFullPathName(), "-t", length,
                              "-map", "0:v", "-map", "1:a", "-c", "copy", output, "-y" });
    else
        arguments.addArray ({ "-t", length, "-c:v", "copy", "-c:a", "copy", output, "-y" });

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
