// The player the program would open a recording in, for the verbs that work on one.
#pragma once

#include "playback/IMediaPlayer.h"

#include <memory>
#include <string>

/** Opens file in the video player when it takes the file (".mov", ".m4a"), else in
    the audio file player. Returns null with error set when neither opens it; kind,
    when given, becomes "video" or "audio". */
std::unique_ptr<IMediaPlayer> openInProgramsPlayer (const juce::File& file, std::string& error,
                                                    juce::String* kind = nullptr);
