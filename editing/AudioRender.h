// The offline render of a recording's trim range through the effects chain into a
// WAV file, and the normalisation of the rendered file.
#pragma once

#include "editing/EffectsChain.h"
#include "playback/IMediaPlayer.h"

#include <juce_audio_formats/juce_audio_formats.h>

/** How a render is normalised, as the save dialog passes it. */
namespace NormaliseMode
{
    inline constexpr int off = 0;
    inline constexpr int fullScale = 1;    ///< peak to 0 dB
    inline constexpr int broadcast = 2;    ///< peak to -3 dB
    inline constexpr int halfScale = 3;    ///< peak to -6 dB
    inline constexpr int mute = 4;         ///< silence of the same length, not normalised
}

/**
    Renders the player's trim range through the chain into target as a WAV file with
    the media's sample rate, channel count and bit depth, followed by a faded 4096-
    sample effect tail when the chain is active, then normalises it by mode.

    The caller owns the audio device: it must have closed it first (no audio callback
    may use the player or the chain meanwhile) and, afterwards, releases the player and
    the chain (releaseResources(), release()) and restarts the device. This function
    prepares both for blocks of 4096 at the media's rate, plays, and stops the player
    at the end; a player with offline-render switches (the video player) is put into
    audio-only, offline mode for the render and restored afterwards.

    Runs on the calling worker thread, which must not be the message thread while the
    player needs it (the video player decodes from a timer); a player that needs no
    message thread (the audio file player) may render on the message thread.

    When the mode normalises, the sound is first written as 32-bit float and the
    normalisation writes the media's bit depth: effects can take the sound past full
    scale (the reverbs come after the limiter), and an integer file would clip it
    before the normalisation could bring it down.

    The target should not exist; if it does, it is rewritten from its first byte.
    Returns true when every block was written; false when the file could not be
    created or a write failed (the normalisation is then still attempted, on
    whatever was written).
*/
bool renderTrimmedAudio (IMediaPlayer& player, EffectsChain& chain, const juce::File& target, int normaliseMode);

/**
    Rewrites a WAV file scaled so that the given peak lands on the target level:
    gain = 10^(targetDb / 20) / peak (or / 1 for a peak of 0), in single precision;
    a gain of exactly 1 leaves every sample as it is. The file keeps its bit depth
    unless outputBitsPerSample names another. It is left untouched when it cannot be
    read, the temporary file beside it cannot be written, or a write fails on the way.
    Any thread.
*/
void normaliseWavFile (const juce::File& file, float peak, float targetLevelDb, int outputBitsPerSample = 0);

/**
    Writes numSamples of the buffer with rounding to the writer's bit depth, so that
    integer samples that were read into floats come back exactly. (JUCE's own float
    path scales by 2^31 - 1 and truncates, which loses one step of 16- and 24-bit
    samples above half scale.) Any thread.
*/
bool writeRoundedSamples (juce::AudioFormatWriter& writer, const juce::AudioBuffer<float>& buffer, int numSamples);
