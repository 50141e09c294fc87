// "Compressor": feed-forward, soft-knee, stereo-linked dynamics for one band pair.
#pragma once

#include "plugins/dsp/Effect.h"

namespace effects
{
    /**
        A feed-forward compressor after Giannoulis, Massberg and Reiss ("Digital
        dynamic range compressor design", JAES 2012): the level of each sample (in
        dB) goes through the static curve, and the resulting gain reduction is
        smoothed with separate attack and release times (smooth branching peak
        detector in the log domain). Both channels get the same gain when the link
        is full, so the stereo image does not wander. Nothing looks ahead, so
        nothing is delayed.

        Static curve for a level x (dBFS), threshold T, ratio R and knee width W:
            x < T - W/2:          y = x
            |x - T| <= W/2:       y = x + (1/R - 1) (x - T + W/2)^2 / (2W)
            x > T + W/2:          y = T + (x - T) / R
        then the make-up gain M is added.

        Parameters (normalised value v -> meaning):
        | index | name        | mapping                                                    |
        |-------|-------------|------------------------------------------------------------|
        | 0     | Enabled     | switch; off passes the signal unchanged                     |
        | 1     | Stereo link | detector = v * max(|L|, |R|) + (1 - v) * own channel        |
        | 2     | Amount      | T = -36 v dBFS, R = 1 + 8 v, W = 6 dB, and automatic        |
        |       |             | make-up M = -T (1 - 1/R) dB: a full-scale signal stays at   |
        |       |             | full scale and everything below it comes up                 |
        | 3     | Attack      | 1 ms * 100^v (1 ms .. 100 ms)                               |
        | 4     | Release     | 10 ms * 100^v (10 ms .. 1 s)                                |

        The mastering presets send link 1.0, attack 0.0 (1 ms), release 0.5 (100 ms)
        and an amount of 0.325 (T = -11.7 dB, R = 3.6, M = +8.45 dB) or 0.65
        (T = -23.4 dB, R = 6.2, M = +19.6 dB).
    */
    class Compressor final : public Effect
    {
    public:
        enum Parameter { enabled, stereoLink, amount, attack, release, numParameters };

        static constexpr double kneeWidthDb = 6.0;

        Compressor();

        double toPlainValue (int index, double normalisedValue) const override;
        void reset() override;
        

        double getThresholdDb() const noexcept    { return thresholdDb; }
        double getRatio() const noexcept          { return ratio; }
        double getMakeUpDb() const noexcept       { return makeUpDb; }

        /** The static curve: output level in dB (make-up included) for a steady input
            level in dB. */
        double getStaticOutputDb (double inputDb) const noexcept;

    private:
        void allocate (int) override {}
        void update() override;
        void processEnabled (double* const* channels, int numChannels, int numSamples) override;

        double gainReductionDb (double levelDb) const noexcept;
        double smooth (double& state, double reductionDb) const noexcept;

        double thresholdDb = 0.0, ratio = 1.0, makeUpDb = 0.0, link = 1.0;
        double kneeStartLinear = 1.0;
        double attackCoefficient = 0.0, releaseCoefficient = 0.0;
        double reductionLeft = 0.0, reductionRight = 0.0;
    };
}
