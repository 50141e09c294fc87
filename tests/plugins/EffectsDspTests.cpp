// The effects' signal processing measured directly, without a host: what each one
// does to a signal, held against the figures its parameter documentation promises.
#include <gtest/gtest.h>

#include "plugins/analysis/ResponseAnalysis.h"
#include "plugins/dsp/AnalogDelay.h"
#include "plugins/dsp/Compressor.h"
#include "plugins/dsp/EffectCatalogue.h"
#include "plugins/dsp/HallReverb.h"
#include "plugins/dsp/Isolator.h"
#include "plugins/dsp/Limiter.h"
#include "plugins/dsp/Mixer.h"
#include "plugins/dsp/PlateReverb.h"
#include "plugins/dsp/RoomReverb.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using effects::ResponseAnalysis;

namespace
{
    struct Stereo
    {
        std::vector<double> left, right;

        explicit Stereo (size_t length) : left (length, 0.0), right (length, 0.0) {}
    };

    /** Runs the effect over the signal in blocks of blockSize, in place. */
    void runInBlocks (effects::Effect& effect, Stereo& signal, int blockSize = 512)
    {
        for (size_t start = 0; start < signal.left.size(); start += (size_t) blockSize)
        {
            auto n = (int) std::min ((size_t) blockSize, signal.left.size() - start);
            double* channels[] = { signal.left.data() + start, signal.right.data() + start };
            effect.process (channels, 2, n);
        }
    }

    double dbOf (double magnitude)
    {
        return 20.0 * std::log10 (magnitude);
    }

    double peakOf (const std::vector<double>& samples, size_t from = 0, size_t to = SIZE_MAX)
    {
        double peak = 0.0;

        for (size_t i = from; i < std::min (to, samples.size()); ++i)
            peak = std::max (peak, std::abs (samples[i]));

        return peak;
    }

    /** The low-frequency decay time (T20 below 1 kHz) of the effect's wet response. */
    double measureDecaySeconds (effects::Effect& effect, double sampleRate, double seconds)
    {
        auto length = (size_t) (seconds * sampleRate);
        Stereo signal (length);
        signal.left[0] = signal.right[0] = 1.0;
        runInBlocks (effect, signal);
        signal.left[0] -= 1.0;    // the dry impulse is not part of the decay
        signal.right[0] -= 1.0;

        // Two Butterworth sections at 1 kHz, as an octave-band analyser would.
        for (auto* channel : { &signal.left, &signal.right })
        {
            for (int pass = 0; pass < 2; ++pass)
            {
                effects::Biquad lowPass;
                lowPass.setCoefficients (effects::Biquad::makeLowPass (sampleRate, 1000.0, 0.7071));

                for (auto& x : *channel)
                    x = lowPass.process (x);
            }
        }

        auto decay = ResponseAnalysis::energyDecayDb ({ signal.left, signal.right });
        return ResponseAnalysis::decayTimeSeconds (decay, sampleRate, -5.0, -25.0);
    }
}

//==============================================================================
TEST (EffectParameters, AreClampedSnappedAndIgnoredOutsideTheTable)
{
    effects::Limiter limiter;

    limiter.setParameter (effects::Limiter::ceiling, 1.7);
    EXPECT_EQ (limiter.getParameter (effects::Limiter::ceiling), 1.0);
    limiter.setParameter (effects::Limiter::ceiling, -0.0204);
    EXPECT_EQ (limiter.getParameter (effects::Limiter::ceiling), 0.0);
    limiter.setParameter (effects::Limiter::ceiling, std::nan (""));
    EXPECT_EQ (limiter.getParameter (effects::Limiter::ceiling), 0.0);

    // The switch at index 0 stores exactly 1.0 or 0.0.
    limiter.setParameter (effects::Limiter::enabled, 0.7);
    EXPECT_EQ (limiter.getParameter (effects::Limiter::enabled), 1.0);
    limiter.setParameter (effects::Limiter::enabled, 0.3);
    EXPECT_EQ (limiter.getParameter (effects::Limiter::enabled), 0.0);

    limiter.setParameter (17, 0.5);
    limiter.setParameter (-1, 0.5);
    EXPECT_EQ (limiter.getParameter (17), 0.0);
}

TEST (EffectParameters, EveryEffectHasItsSwitchAtIndexZero)
{
    for (auto name : effects::EffectCatalogue::names)
    {
        auto effect = effects::EffectCatalogue::create (name);
        ASSERT_NE (effect, nullptr) << name;
        EXPECT_STREQ (effect->getParameterInfo (0).name, "Enabled") << name;
        EXPECT_TRUE (effect->getParameterInfo (0).isSwitch) << name;
    }

    EXPECT_EQ (effects::EffectCatalogue::create ("Limiter"), nullptr);
}

//==============================================================================
struct CrossoverCase
{
    double value, sampleRate, expectedHz;
};

class IsolatorBands : public ::testing::TestWithParam<CrossoverCase> {};

TEST_P (IsolatorBands, SumBackToTheInputFlatWithinATenthOfADecibel)
{
    auto [value, sampleRate, expectedHz] = GetParam();
    effects::Isolator isolator;
    isolator.prepare (sampleRate, 512);
    isolator.setParameter (effects::Isolator::crossover, value);
    EXPECT_NEAR (isolator.getCrossoverFrequency(), expectedHz, 1.0);

    Stereo signal (1 << 15);
    signal.left[0] = 1.0;
    signal.right[0] = 0.3;    // channel 1 is replaced, not mixed in
    runInBlocks (isolator, signal);

    std::vector<double> sum (signal.left.size());

    for (size_t i = 0; i < sum.size(); ++i)
        sum[i] = signal.left[i] + signal.right[i];

    auto frequencies = ResponseAnalysis::logFrequencies (20.0, 0.45 * sampleRate, 120);
    double worst = 0.0;

    for (auto db : ResponseAnalysis::magnitudeDb (sum, frequencies, sampleRate))
        worst = std::max (worst, std::abs (db));

    std::printf ("Isolator %.3f at %.0f Hz: crossover %.1f Hz, band sum within %.2e dB\n",
                 value, sampleRate, expectedHz, worst);
    EXPECT_LT (worst, 0.1);

    // And they are real bands: -6 dB each at the crossover, and steep (LR4, 24 dB an
    // octave) two octaves away.
    auto bandsAt = [&] (double frequency)
    {
        auto high = ResponseAnalysis::magnitudeDb (signal.left, { frequency }, sampleRate)[0];
        auto low = ResponseAnalysis::magnitudeDb (signal.right, { frequency }, sampleRate)[0];
        return std::make_pair (low, high);
    };

    auto atCrossover = bandsAt (expectedHz);
    EXPECT_NEAR (atCrossover.first, -6.02, 0.1);
    EXPECT_NEAR (atCrossover.second, -6.02, 0.1);

    if (4.0 * expectedHz < 0.45 * sampleRate)
    {
        EXPECT_LT (bandsAt (4.0 * expectedHz).first, -40.0);
    }

    if (expectedHz / 4.0 > 5.0)
    {
        EXPECT_LT (bandsAt (expectedHz / 4.0).second, -40.0);
    }
}

INSTANTIATE_TEST_SUITE_P (MasteringSplits, IsolatorBands, ::testing::Values (
    CrossoverCase { 0.03, 44100.0, 319.4 },
    CrossoverCase { 0.373, 44100.0, 3742.5 },
    CrossoverCase { 0.06, 48000.0, 618.8 },
    CrossoverCase { 0.45, 48000.0, 4511.0 },
    CrossoverCase { 0.03, 96000.0, 319.4 },
    CrossoverCase { 1.0, 48000.0, 10000.0 },
    CrossoverCase { 0.0, 48000.0, 20.0 }));

TEST (Isolator, SwitchedOffLeavesChannelZeroAndSilencesChannelOne)
{
    effects::Isolator isolator;
    isolator.prepare (48000.0, 64);
    isolator.setParameter (effects::Isolator::enabled, 0.0);
    Stereo signal (64);

    for (size_t i = 0; i < 64; ++i)
    {
        signal.left[i] = std::sin (0.1 * (double) i);
        signal.right[i] = 0.5;
    }

    auto original = signal.left;
    runInBlocks (isolator, signal);
    EXPECT_EQ (signal.left, original);
    EXPECT_EQ (peakOf (signal.right), 0.0);
}

TEST (Isolator, ThreeBandsOfTheMasteringGraphAddUpNearlyFlat)
{
    // The graph splits the top of the first split again. Its bass band misses the
    // second split's all-pass, so the sum is not exactly flat: measured here.
    for (auto [a, b] : { std::make_pair (0.03, 0.373), std::make_pair (0.06, 0.45) })
    {
        effects::Isolator first, second;
        first.prepare (48000.0, 512);
        second.prepare (48000.0, 512);
        first.setParameter (effects::Isolator::crossover, a);
        second.setParameter (effects::Isolator::crossover, b);

        Stereo bands (1 << 15), top (1 << 15);
        bands.left[0] = 1.0;
        runInBlocks (first, bands);
        top.left = bands.left;
        runInBlocks (second, top);

        std::vector<double> sum (bands.left.size());

        for (size_t i = 0; i < sum.size(); ++i)
            sum[i] = bands.right[i] + top.left[i] + top.right[i];

        double worst = 0.0;

        for (auto db : ResponseAnalysis::magnitudeDb (sum, ResponseAnalysis::logFrequencies (20.0, 20000.0, 200), 48000.0))
            worst = std::max (worst, std::abs (db));

        std::printf ("Three bands at %.3f / %.3f: sum within %.3f dB\n", a, b, worst);
        EXPECT_LT (worst, 0.3);
    }
}

//==============================================================================
TEST (Compressor, StaticCurveMatchesThresholdRatioKneeAndMakeUp)
{
    double worstError = 0.0;

    for (auto amount : { 0.325, 0.65, 1.0 })
    {
        // The documented mapping, worked out here independently of the effect.
        auto threshold = -36.0 * amount, ratio = 1.0 + 8.0 * amount, knee = 6.0;
        auto makeUp = -threshold * (1.0 - 1.0 / ratio);

        auto expectedOutputDb = [&] (double x)
        {
            if (x < threshold - knee / 2)
                return x + makeUp;

            if (x > threshold + knee / 2)
                return threshold + (x - threshold) / ratio + makeUp;

            auto k = x - threshold + knee / 2;
            return x + (1.0 / ratio - 1.0) * k * k / (2.0 * knee) + makeUp;
        };

        for (double levelDb = -48.0; levelDb <= 0.0; levelDb += 1.5)
        {
            effects::Compressor compressor;
            compressor.prepare (48000.0, 512);
            compressor.setParameter (effects::Compressor::amount, amount);

            // A square wave has the same magnitude at every sample: the steady state
            // shows the static curve itself.
            Stereo signal (48000);
            auto a = std::pow (10.0, levelDb / 20.0);

            for (size_t i = 0; i < signal.left.size(); ++i)
                signal.left[i] = signal.right[i] = (i / 24) % 2 == 0 ? a : -a;

            runInBlocks (compressor, signal);
            auto measured = dbOf (std::abs (signal.left.back()));
            auto error = std::abs (measured - expectedOutputDb (levelDb));
            worstError = std::max (worstError, error);
            EXPECT_LT (error, 0.01) << "amount " << amount << ", level " << levelDb << " dB";
            EXPECT_NEAR (measured, compressor.getStaticOutputDb (levelDb), 1.0e-6);
        }
    }

    std::printf ("Compressor static curve: largest error %.2e dB\n", worstError);
}

TEST (Compressor, LinkedChannelsGetTheSameGain)
{
    effects::Compressor compressor;
    compressor.prepare (48000.0, 512);
    compressor.setParameter (effects::Compressor::amount, 0.65);
    Stereo signal (24000);

    for (size_t i = 0; i < signal.left.size(); ++i)
    {
        signal.left[i] = (i / 24) % 2 == 0 ? 0.9 : -0.9;       // loud
        signal.right[i] = (i / 24) % 2 == 0 ? 0.01 : -0.01;    // quiet
    }

    runInBlocks (compressor, signal);
    EXPECT_NEAR (signal.left.back() / 0.9, signal.right.back() / 0.01, 1.0e-12);

    // Unlinked, the quiet side is left at the make-up gain alone.
    compressor.setParameter (effects::Compressor::stereoLink, 0.0);
    compressor.reset();
    Stereo unlinked (24000);

    for (size_t i = 0; i < unlinked.left.size(); ++i)
    {
        unlinked.left[i] = (i / 24) % 2 == 0 ? 0.9 : -0.9;
        unlinked.right[i] = (i / 24) % 2 == 0 ? 0.01 : -0.01;
    }

    runInBlocks (compressor, unlinked);
    EXPECT_NEAR (dbOf (std::abs (unlinked.right.back()) / 0.01), compressor.getMakeUpDb(), 1.0e-6);
}

TEST (Compressor, AttackAndReleaseFollowTheirTimes)
{
    // A step from -40 dB to 0 dB and back: the gain reduction settles to within
    // e^-3 of its target after three time constants.
    effects::Compressor compressor;
    compressor.prepare (48000.0, 512);
    compressor.setParameter (effects::Compressor::amount, 0.65);
    compressor.setParameter (effects::Compressor::attack, 0.5);     // 10 ms
    compressor.setParameter (effects::Compressor::release, 0.5);    // 100 ms

    Stereo signal (48000 * 2);

    for (size_t i = 0; i < signal.left.size(); ++i)
    {
        auto loud = i >= 48000 && i < 72000;
        auto a = loud ? 1.0 : 0.01;
        signal.left[i] = signal.right[i] = (i / 24) % 2 == 0 ? a : -a;
    }

    runInBlocks (compressor, signal);

    auto reductionAt = [&] (size_t i)
    {
        auto input = i >= 48000 && i < 72000 ? 1.0 : 0.01;
        return compressor.getMakeUpDb() - dbOf (std::abs (signal.left[i]) / input);
    };

    auto full = reductionAt (71999);
    EXPECT_NEAR (reductionAt (48000 + 480), full * (1.0 - std::exp (-1.0)), 0.05 * full);
    EXPECT_NEAR (reductionAt (72000 + 4800), full * std::exp (-1.0), 0.05 * full);
}

//==============================================================================
TEST (Limiter, NeverExceedsItsCeilingOnSharpPeaks)
{
    std::mt19937 random (7);
    std::normal_distribution<double> noise (0.0, 0.25);
    double loudestOut = 0.0;

    for (auto ceiling : { 0.9, 0.5 })
    {
        for (auto attack : { 0.0, 0.015, 0.5 })
        {
            effects::Limiter limiter;
            limiter.prepare (48000.0, 512);
            limiter.setParameter (effects::Limiter::ceiling, ceiling);
            limiter.setParameter (effects::Limiter::attack, attack);
            limiter.setParameter (effects::Limiter::release, 0.63);

            // Noise with single-sample spikes up to +12 dB over full scale, a burst of
            // a loud tone and a step: every kind of sharp onset.
            Stereo signal (96000);

            for (size_t i = 0; i < signal.left.size(); ++i)
            {
                signal.left[i] = noise (random);
                signal.right[i] = noise (random);

                if (i % 997 == 0)
                    signal.left[i] = (i % 2 == 0 ? 4.0 : -4.0);

                if (i >= 40000 && i < 44000)
                    signal.right[i] = 1.8 * std::sin (0.3 * (double) i);

                if (i >= 60000 && i < 70000)
                    signal.left[i] = 2.5;
            }

            runInBlocks (limiter, signal, 333);
            auto loudest = std::max (peakOf (signal.left), peakOf (signal.right));
            loudestOut = std::max (loudestOut, loudest / ceiling);
            EXPECT_LE (loudest, ceiling) << "ceiling " << ceiling << ", attack " << attack;
        }
    }

    std::printf ("Limiter: loudest output %.6f of the ceiling\n", loudestOut);
}

TEST (Limiter, LeavesASignalBelowTheCeilingUntouchedAndRecoversAfterAPeak)
{
    effects::Limiter limiter;
    limiter.prepare (48000.0, 512);
    limiter.setParameter (effects::Limiter::ceiling, 0.9);
    limiter.setParameter (effects::Limiter::attack, 0.0);      // instantaneous
    limiter.setParameter (effects::Limiter::release, 0.63);    // 78 ms

    Stereo signal (48000);

    for (size_t i = 0; i < signal.left.size(); ++i)
        signal.left[i] = signal.right[i] = 0.5 * std::sin (0.01 * (double) i);

    auto original = signal.left;
    runInBlocks (limiter, signal);
    EXPECT_EQ (signal.left, original);

    // One peak at twice the ceiling: the gain halves, then comes back (5 ms hold,
    // then the release) to within 1 % after about five release times.
    Stereo peak (48000);
    peak.left[0] = 1.8;

    for (size_t i = 1; i < peak.left.size(); ++i)
        peak.left[i] = 0.1;

    runInBlocks (limiter, peak);
    EXPECT_NEAR (peak.left[0], 0.9, 1.0e-12);
    EXPECT_NEAR (peak.left[100], 0.05, 1.0e-3);
    EXPECT_NEAR (peak.left[(size_t) (0.005 * 48000 + 5 * 0.078 * 48000)], 0.1, 1.0e-3);
}

//==============================================================================
TEST (Mixer, JoinsTheBandOntoChannelZeroWithItsGains)
{
    struct Case { double output, band, through, polarity, expectedThrough, expectedBand; };

    const Case cases[] =
    {
        { 0.5,  0.5,  0.5, 1.0, 1.0, 1.0 },                                      // unity: the plain sum
        { 0.5,  0.25, 0.5, 1.0, 1.0, std::pow (10.0, -3.0 / 20) },               // "Maximize" outer
        { 0.88, 0.5,  0.5, 1.0, std::pow (10.0, 9.12 / 20), std::pow (10.0, 9.12 / 20) },   // "Ultra" outer
        { 0.5,  0.5,  0.5, 0.0, 1.0, -1.0 },                                     // band inverted
    };

    for (const auto& c : cases)
    {
        effects::Mixer mixer;
        mixer.prepare (48000.0, 16);
        mixer.setParameter (effects::Mixer::output, c.output);
        mixer.setParameter (effects::Mixer::bandLevel, c.band);
        mixer.setParameter (effects::Mixer::throughLevel, c.through);
        mixer.setParameter (effects::Mixer::bandPolarity, c.polarity);

        Stereo signal (1);
        signal.left[0] = 0.3;
        signal.right[0] = 0.2;
        runInBlocks (mixer, signal);
        EXPECT_NEAR (signal.left[0], 0.3 * c.expectedThrough + 0.2 * c.expectedBand, 1.0e-9);
        EXPECT_EQ (signal.right[0], 0.2);
    }
}

//==============================================================================
TEST (AnalogDelay, EchoesAtItsTimeAndRepeatsWithItsFeedback)
{
    // Set while switched off, as the chain does: switching on starts at the new time
    // instead of gliding there from the old one.
    effects::AnalogDelay delay;
    delay.prepare (48000.0, 512);
    delay.setParameter (effects::AnalogDelay::enabled, 0.0);
    Stereo nothing (16);
    runInBlocks (delay, nothing);
    delay.setParameter (effects::AnalogDelay::enabled, 1.0);
    delay.setParameter (effects::AnalogDelay::time, 0.146);        // "Stadium": 146 ms
    delay.setParameter (effects::AnalogDelay::echoLevel, 0.6);
    delay.setParameter (effects::AnalogDelay::feedback, 0.307);
    delay.setParameter (effects::AnalogDelay::tone, 1.0);          // bright, so the shape stays
    delay.setParameter (effects::AnalogDelay::tape, 0.0);          // no wow

    Stereo signal (48000);
    signal.left[0] = signal.right[0] = 1.0;
    runInBlocks (delay, signal);

    EXPECT_EQ (signal.left[0], 1.0);                                // dry, undelayed
    auto echo = (size_t) std::lround (0.146 * 48000);
    auto first = std::max_element (signal.left.begin() + 1, signal.left.begin() + (long) echo + 50) - signal.left.begin();
    EXPECT_NEAR ((double) first, (double) echo, 2.0);

    auto firstPeak = peakOf (signal.left, echo - 50, echo + 50);
    auto secondPeak = peakOf (signal.left, 2 * echo - 50, 2 * echo + 50);
    EXPECT_GT (firstPeak, 0.3);
    EXPECT_NEAR (secondPeak / firstPeak, 0.95 * 0.307, 0.05);
}

//==============================================================================
struct DecayCase
{
    const char* name;
    std::vector<std::pair<int, double>> parameters;
    double expectedSeconds;
};

class ReverbDecay : public ::testing::TestWithParam<DecayCase> {};

TEST_P (ReverbDecay, MatchesTheDesignedReverberationTime)
{
    const auto& c = GetParam();
    auto effect = effects::EffectCatalogue::create (c.name);
    effect->prepare (48000.0, 512);

    for (auto [index, value] : c.parameters)
        effect->setParameter (index, value);

    auto measured = measureDecaySeconds (*effect, 48000.0, std::max (1.5, 1.6 * c.expectedSeconds));
    std::printf ("%s: target RT60 %.2f s, measured %.2f s\n", c.name, c.expectedSeconds, measured);
    EXPECT_NEAR (measured, c.expectedSeconds, 0.2 * c.expectedSeconds);
}

// The values the REVERB presets send (see each effect's parameter table).
INSTANTIATE_TEST_SUITE_P (PresetValues, ReverbDecay, ::testing::Values (
    DecayCase { "Room",  { { 1, (0.0 - 0.2) / 9.8 }, { 2, 0.04 },  { 3, 0.547 }, { 4, 0.161 } }, 0.30 },
    DecayCase { "Room",  { { 1, (3.27 - 0.2) / 9.8 }, { 2, 0.5578 }, { 3, 0.5 }, { 4, 0.739 } }, 1.146 },
    DecayCase { "Hall",  { { 1, 0.154 }, { 2, 0.46 }, { 3, 0.414 }, { 4, 0.5 } },   2.077 },
    DecayCase { "Hall",  { { 1, 0.088 }, { 2, 1.0 },  { 3, 0.699 }, { 4, 0.65 } },  4.796 },
    DecayCase { "Hall",  { { 1, 0.188 }, { 2, 1.0 },  { 3, 0.8 },   { 4, 0.6 } },   5.2 },
    DecayCase { "Plate", { { 1, 0.0 },   { 2, 0.1209 }, { 3, 0.5 }, { 4, 0.3 } },   1.044 },
    DecayCase { "Plate", { { 1, 0.121 }, { 2, 0.7258 }, { 3, 0.573 }, { 4, 0.43 } }, 3.766 },
    DecayCase { "Plate", { { 1, 0.15 },  { 2, 1.0 },  { 3, 0.832 }, { 4, 0.5 } },   5.0 }));

TEST (Reverbs, KeepTheDrySignalAndStartTheWetAfterThePreDelay)
{
    effects::HallReverb hall;
    hall.prepare (48000.0, 512);
    hall.setParameter (effects::HallReverb::preDelay, 0.188);    // 18.8 ms
    hall.setParameter (effects::HallReverb::wetLevel, 0.6);

    Stereo signal (4800);
    signal.left[0] = signal.right[0] = 1.0;
    runInBlocks (hall, signal);

    EXPECT_EQ (signal.left[0], 1.0);
    EXPECT_EQ (peakOf (signal.left, 1, (size_t) (0.0188 * 48000)), 0.0);
    EXPECT_GT (peakOf (signal.left, (size_t) (0.0188 * 48000)), 0.001);
}

TEST (Effects, SwitchedOnAgainStartFromSilence)
{
    // What a reverb or an echo heard before it was switched off must not come back.
    for (auto name : { "Analog_Delay", "Room", "Hall", "Plate" })
    {
        auto effect = effects::EffectCatalogue::create (name);
        effect->prepare (48000.0, 512);
        Stereo loud (4800);

        for (size_t i = 0; i < loud.left.size(); ++i)
            loud.left[i] = loud.right[i] = std::sin (0.05 * (double) i);

        runInBlocks (*effect, loud);
        effect->setParameter (0, 0.0);
        Stereo passing (480);
        runInBlocks (*effect, passing);
        effect->setParameter (0, 1.0);

        Stereo silence (48000);
        runInBlocks (*effect, silence);
        EXPECT_EQ (peakOf (silence.left), 0.0) << name;
        EXPECT_EQ (peakOf (silence.right), 0.0) << name;
    }
}
