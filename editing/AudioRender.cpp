#include "editing/AudioRender.h"

#include <cmath>
#include <limits>
#include <vector>

namespace
{
    constexpr int renderBlockSize = 4096;
    constexpr int fileBufferSize = 32768;

    std::unique_ptr<juce::AudioFormatWriter> createWavWriter (const juce::File& target, double sampleRate,
                                                              int numChannels, int bitsPerSample)
    {
        std::unique_ptr<juce::FileOutputStream> stream (target.createOutputStream (fileBufferSize));

        if (stream == nullptr || stream->failedToOpen())
            return {};

        // Written from the first byte even if something was there before.
        stream->setPosition (0);
        stream->truncate();

        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), sampleRate,
                                                                              (unsigned int) numChannels,
                                                                              bitsPerSample, {}, 0));
        if (writer != nullptr)
            stream.release();    // the writer owns it now

        return writer;
    }

    float targetLevelFor (int mode)
    {
        switch (mode)
        {
            case NormaliseMode::fullScale:  return 0.0f;
            case NormaliseMode::broadcast:  return -3.0f;
            case NormaliseMode::halfScale:  return -6.0f;
            default:                        return 0.0f;
        }
    }
}

bool writeRoundedSamples (juce::AudioFormatWriter& writer, const juce::AudioBuffer<float>& buffer, int numSamples)
{
    if (numSamples <= 0)
        return true;

    if (writer.isFloatingPoint())
        return writer.writeFromAudioSampleBuffer (buffer, 0, numSamples);

    auto bits = juce::jlimit (8, 32, writer.getBitsPerSample());
    auto numChannels = juce::jmin ((int) writer.getNumChannels(), buffer.getNumChannels());
    auto scale = std::ldexp (1.0, bits - 1);
    auto shift = 32 - bits;
    constexpr int chunk = 1024;
    std::vector<int> scratch ((size_t) juce::jmax (1, (int) writer.getNumChannels()) * chunk, 0);
    std::vector<const int*> channels ((size_t) writer.getNumChannels() + 1, nullptr);

    for (int c = 0; c < (int) writer.getNumChannels(); ++c)
        channels[(size_t) c] = scratch.data() + (size_t) c * chunk;

    for (int start = 0; start < numSamples; start += chunk)
    {
        auto n = juce::jmin (chunk, numSamples - start);

        for (int c = 0; c < (int) writer.getNumChannels(); ++c)
        {
            auto* destination = scratch.data() + (size_t) c * chunk;

            if (c >= numChannels)
            {
                std::fill (destination, destination + n, 0);
                continue;
            }

            const auto* source = buffer.getReadPointer (c, start);

            for (int i = 0; i < n; ++i)
            {
                // Round at the file's own resolution, then place the value in the top
                // bits, where the writer takes it from.
                auto q = std::nearbyint ((double) source[i] * scale);
                q = juce::jlimit (-scale, scale - 1.0, q);
                destination[i] = (int) ((std::int64_t) q * ((std::int64_t) 1 << shift));
            }
        }

        if (! writer.write (channels.data(), n))
            return false;
    }

    return true;
}

void normaliseWavFile (const juce::File& file, float peak, float targetLevelDb, int outputBitsPerSample)
{
    // (JUCE's WAV reader does not take a null stream, which a missing file gives.)
    auto input = file.createInputStream();

    if (input == nullptr)
        return;

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (input.release(), true));

    if (reader == nullptr)
        return;

    juce::TemporaryFile temporary (file);
    std::unique_ptr<juce::FileOutputStream> stream (temporary.getFile().createOutputStream (fileBufferSize));

    if (stream == nullptr || stream->failedToOpen())
        return;

    std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), reader->sampleRate,
                                                                          reader->numChannels,
                                                                          outputBitsPerSample > 0 ? outputBitsPerSample
                                                                                                  : (int) reader->bitsPerSample,
                                                                          reader->metadataValues, 0));
    if (writer == nullptr)
        return;

    stream.release();

    auto targetGain = std::pow (10.0, (double) targetLevelDb / 20.0);
    auto divisor = peak != 0.0f ? (double) peak : 1.0;
    auto gain = (float) (targetGain / divisor);

    juce::AudioBuffer<float> buffer ((int) reader->numChannels, renderBlockSize);
    auto complete = true;

    for (juce::int64 position = 0; position < reader->lengthInSamples;)
    {
        auto n = (int) juce::jmin ((juce::int64) renderBlockSize, reader->lengthInSamples - position);
        buffer.clear();
        reader->read (&buffer, 0, n, position, true, true);

        if (gain != 1.0f)
        {
            if (gain == 0.0f)
                buffer.clear();
            else
                buffer.applyGain (gain);
        }

        if (! writeRoundedSamples (*writer, buffer, n))
        {
            complete = false;
            break;
        }

        position += n;
    }

    writer.reset();
    reader.reset();

    // A write that failed half-way leaves the rendered file as it was rather than
    // replacing it with a shorter one; the temporary file goes with `temporary`.
    if (complete)
        temporary.overwriteTargetFileWithTemporary();
}

bool renderTrimmedAudio (IMediaPlayer& player, EffectsChain& chain, const juce::File& target, int normaliseMode)
{
    // 1. What to render.
    auto info = player.getMediaInfo();
    auto startPosition = player.getStartPosition();
    auto endPosition = player.getEndPosition();
    auto remaining = (juce::int64) (info.sampleRate * (endPosition - startPosition));

    // 2. The video player waits for its decoder instead of dropping sound.
    auto* switches = dynamic_cast<OfflineRenderSwitches*> (&player);
    bool previousAudioOnly = false, previousOfflineRendering = false;

    if (switches != nullptr)
    {
        previousAudioOnly = switches->setAudioOnly (true);
        previousOfflineRendering = switches->setOfflineRendering (true);
    }

    // 4. (The caller has closed the device.) Blocks of 4096 at the media's rate.
    player.prepareToPlay (renderBlockSize, info.sampleRate);
    chain.prepare (renderBlockSize, info.sampleRate);

    // 5.
    player.play();
    player.setPosition (startPosition);

    // 6. (Float while the normalisation is still to come; see the header.)
    auto normalises = normaliseMode == NormaliseMode::fullScale || normaliseMode == NormaliseMode::broadcast
                      || normaliseMode == NormaliseMode::halfScale;
    auto writer = createWavWriter (target, info.sampleRate, info.numChannels, normalises ? 32 : info.bitsPerSample);
    auto complete = writer != nullptr;

    // 7. Cleared once when made, so that the positions a short first block never
    // fills measure as silence.
    juce::AudioBuffer<float> block (2, renderBlockSize);
    block.clear();
    juce::MidiBuffer noMidi;
    float peak = 0.0f;

    // The chain runs over exactly the samples that are written: in a short last
    // block, running it over the whole buffer would put the previous pass through
    // the effects a second time, measure that in the peak (so "-3 dB" would come
    // out near -4.8 dB with "Wide" and a mastering preset on) and
    // leave the effects' state ahead of the sound, so the tail would not follow on.
    auto fill = [&] (int n)
    {
        juce::AudioSourceChannelInfo channelInfo (&block, 0, n);
        player.getNextAudioBlock (channelInfo);
        float* channels[] = { block.getWritePointer (0), block.getWritePointer (1) };
        juce::AudioBuffer<float> written (channels, 2, n);
        chain.process (written, noMidi);
    };

    if (writer != nullptr)
    {
        // 8. The trim range, block by block.
        while (remaining > 0)
        {
            auto n = (int) juce::jmin (remaining, (juce::int64) renderBlockSize);
            block.clear (0, n);

            if (normaliseMode != NormaliseMode::mute)
                fill (n);

            if (! writeRoundedSamples (*writer, block, n))
            {
                complete = false;
                break;
            }

            remaining -= n;

            if (normaliseMode != NormaliseMode::off)
                peak = juce::jmax (peak, block.getMagnitude (0, n));
        }

        // 9. The effect tail, faded out over one block; not part of the peak.
        if (chain.isActive())
        {
            block.clear();

            if (normaliseMode != NormaliseMode::mute)
            {
                fill (renderBlockSize);

                for (int c = 0; c < block.getNumChannels(); ++c)
                    block.applyGainRamp (c, 0, renderBlockSize, 1.0f, 0.0f);
            }

            if (! writeRoundedSamples (*writer, block, renderBlockSize))
                complete = false;
        }
    }

    // 10. Flushes and closes the file.
    writer.reset();

    // 11.
    player.stop();

    if (switches != nullptr)
    {
        switches->setAudioOnly (previousAudioOnly);
        switches->setOfflineRendering (previousOfflineRendering);
    }

    // 12.
    if (normalises)
        normaliseWavFile (target, peak, targetLevelFor (normaliseMode), info.bitsPerSample);

    return complete;
}
