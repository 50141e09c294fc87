// What the presets do to the sound, measured on the chain's output: the mastering
// presets are louder with their peaks held at the limiter's ceiling, "Wide" widens,
// "Mono" folds, and the reverbs grow longer from "Room" to "Stadium".
#include <gtest/gtest.h>

#include "editing/EffectsChain.h"
#include "plugins/analysis/ResponseAnalysis.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace
{
    constexpr double rate = 48000.0;

    struct Signal
    {
        std::vector<float> left, right;
    };

    /** Four seconds of something like music: a kick every half second, a bass line,
        a chord, and hi-hat noise, peaking at -1 dBFS. */
    Signal makeMusic()
    {
        auto length = (size_t) (4.0 * rate);
        Signal signal { std::vector<float> (length), std::vector<float> (length) };
        std::mt19937 random (3);
        std::uniform_real_distribution<double> noise (-1.0, 1.0);
        constexpr double twoPi = 6.283185307179586;
        double peak = 0.0;

        for (size_t i = 0; i < length; ++i)
        {
            auto t = (double) i / rate;
            auto beat = std::fmod (t, 0.5);
            auto kick = 0.6 * std::exp (-beat * 18.0) * std::sin (twoPi * (50.0 + 80.0 * std::exp (-beat * 30.0)) * beat);
            auto bass = 0.25 * std::sin (twoPi * 82.4 * t);
            auto chord = 0.08 * (std::sin (twoPi * 329.6 * t) + std::sin (twoPi * 415.3 * t) + std::sin (twoPi * 493.9 * t));
            auto hat = 0.15 * std::exp (-std::fmod (t, 0.25) * 60.0) * noise (random);
            auto l = kick + bass + chord + hat;
            auto r = kick + bass + 0.8 * chord - hat;
            signal.left[i] = (float) l;
            signal.right[i] = (float) r;
            peak = std::max ({ peak, std::abs (l), std::abs (r) });
        }

        auto scale = (float) (std::pow (10.0, -1.0 / 20.0) / peak);

        for (size_t i = 0; i < length; ++i)
        {
            signal.left[i] *= scale;
            signal.right[i] *= scale;
        }

        return signal;
    }

    /** The signal through a chain with the given presets, in device-sized blocks. */
    Signal processed (const Signal& input, std::initializer_list<int> presets, int blockSize = 512)
    {
        EffectsChain chain { juce::File (VORNIQ_PLUGINS_DIR) };
        chain.prepare (blockSize, rate);

        for (auto preset : presets)
            chain.setPreset (preset);

        Signal output = input;
        juce::AudioBuffer<float> block (2, blockSize);
        juce::MidiBuffer midi;

        for (size_t start = 0; start < input.left.size(); start += (size_t) blockSize)
        {
            auto n = (int) std::min ((size_t) blockSize, input.left.size() - start);
            block.setSize (2, n, false, false, true);
            block.copyFrom (0, 0, input.left.data() + start, n);
            block.copyFrom (1, 0, input.right.data() + start, n);
            chain.process (block, midi);
            std::copy (block.getReadPointer (0), block.getReadPointer (0) + n, output.left.begin() + (long) start);
            std::copy (block.getReadPointer (1), block.getReadPointer (1) + n, output.right.begin() + (long) start);
        }

        chain.release();
        return output;
    }

    double rmsDb (const Signal& signal, size_t from)
    {
        double sum = 0.0;

        for (size_t i = from; i < signal.left.size(); ++i)
            sum += (double) signal.left[i] * signal.left[i] + (double) signal.right[i] * signal.right[i];

        return 10.0 * std::log10 (sum / (2.0 * (double) (signal.left.size() - from)));
    }

    float peakOf (const Signal& signal)
    {
        float peak = 0.0f;

        for (size_t i = 0; i < signal.left.size(); ++i)
            peak = std::max ({ peak, std::abs (signal.left[i]), std::abs (signal.right[i]) });

        return peak;
    }
}

TEST (PresetSound, MaximizeIsLouderWithPeaksAtTheCeilingAndUltraLouderStill)
{
    auto music = makeMusic();
    auto settled = (size_t) rate;    // past the compressors' first second
    auto original = rmsDb (music, settled);
    auto maximize = processed (music, { 6 });
    auto ultra = processed (music, { 7 });
    auto clearAndPower = processed (music, { 8 });

    std::printf ("Loudness (RMS): original %.2f dB, Maximize %.2f dB (peak %.4f), Ultra Maximize %.2f dB (peak %.4f), "
                 "Clear & Power %.2f dB (peak %.4f)\n",
                 original, rmsDb (maximize, settled), peakOf (maximize), rmsDb (ultra, settled), peakOf (ultra),
                 rmsDb (clearAndPower, settled), peakOf (clearAndPower));

    EXPECT_GT (rmsDb (maximize, settled), original + 2.0);
    EXPECT_GT (rmsDb (ultra, settled), rmsDb (maximize, settled) + 1.0);
    EXPECT_GT (rmsDb (clearAndPower, settled), original);

    // The limiter's ceiling (0.9) holds, and the peaks reach it.
    for (const auto* result : { &maximize, &ultra, &clearAndPower })
    {
        EXPECT_LE (peakOf (*result), 0.9f);
        EXPECT_GT (peakOf (*result), 0.9f * 0.89f);    // within 1 dB
    }
}

TEST (PresetSound, WideWidensAndMonoFolds)
{
    auto music = makeMusic();

    auto sideToMid = [] (const Signal& signal)
    {
        double side = 0.0, mid = 0.0;

        for (size_t i = 0; i < signal.left.size(); ++i)
        {
            auto m = 0.5 * (signal.left[i] + signal.right[i]), s = 0.5 * (signal.left[i] - signal.right[i]);
            mid += m * m;
            side += s * s;
        }

        return 10.0 * std::log10 (side / mid);
    };

    auto wide = processed (music, { 9 });
    auto mono = processed (music, { 10 });

    // The side gains 2.2 (6.8 dB) against the mid.
    EXPECT_NEAR (sideToMid (wide) - sideToMid (music), 20.0 * std::log10 (2.2), 0.5);
    EXPECT_EQ (mono.left, mono.right);
    EXPECT_LE (peakOf (wide), 0.9f);
}

TEST (PresetSound, ReverbsGrowFromASmallShortRoomToABigLongStadiumWithItsEcho)
{
    const char* names[] = { "Room", "Jazz Club", "Concert Hall", "Arena", "Stadium" };
    std::vector<double> decayTimes;
    Signal impulse { std::vector<float> ((size_t) (9.0 * rate)), std::vector<float> ((size_t) (9.0 * rate)) };
    impulse.left[0] = impulse.right[0] = 0.5f;
    Signal stadium;

    for (int preset = 1; preset <= 5; ++preset)
    {
        auto response = processed (impulse, { preset }, 4096);
        std::vector<double> left (response.left.begin(), response.left.end());
        std::vector<double> right (response.right.begin(), response.right.end());
        left[0] -= 0.5;    // the dry sound is not part of the decay
        right[0] -= 0.5;

        auto decay = effects::ResponseAnalysis::energyDecayDb ({ left, right });
        decayTimes.push_back (effects::ResponseAnalysis::decayTimeSeconds (decay, rate, -5.0, -25.0));
        std::printf ("%s: decay time (T20) %.2f s\n", names[preset - 1], decayTimes.back());

        if (preset == 5)
            stadium = response;
    }

    EXPECT_LT (decayTimes[0], 0.5);    // small and short

    for (size_t i = 1; i < decayTimes.size(); ++i)
        EXPECT_GT (decayTimes[i], decayTimes[i - 1] * 1.05) << names[i];

    EXPECT_GT (decayTimes[4], 3.0);    // big and long

    // The Room plug-in's presets (1, 2) all decay faster than the Hall's (3 to 5).
    EXPECT_LT (std::max (decayTimes[0], decayTimes[1]), std::min ({ decayTimes[2], decayTimes[3], decayTimes[4] }));

    // "Stadium" has the delayed echo: a peak at 146 ms well above the reverberation
    // around it, repeated (darker) at 292 ms.
    auto peakNear = [&] (double seconds, double width)
    {
        float peak = 0.0f;

        for (auto i = (size_t) ((seconds - width) * rate); i < (size_t) ((seconds + width) * rate); ++i)
            peak = std::max (peak, std::abs (stadium.left[i]));

        return peak;
    };

    auto echo = peakNear (0.146, 0.002);
    auto around = std::max (peakNear (0.120, 0.01), peakNear (0.175, 0.01));
    std::printf ("Stadium: echo at 146 ms %.1f dB above the reverberation around it\n",
                 20.0 * std::log10 (echo / around));
    EXPECT_GT (echo, 2.0f * around);

    auto repeat = peakNear (0.292, 0.002);
    auto aroundRepeat = std::max (peakNear (0.266, 0.01), peakNear (0.321, 0.01));
    std::printf ("Stadium: repeat at 292 ms %.1f dB above the reverberation around it\n",
                 20.0 * std::log10 (repeat / aroundRepeat));
    EXPECT_GT (repeat, 1.4f * aroundRepeat);
}
