// "Isolator": the two-way band splitter of the mastering graph.
#pragma once

#include "plugins/dsp/Effect.h"
#include "plugins/dsp/LinkwitzRileyCrossover.h"

namespace effects
{
    /**
        Reads channel 0 and delivers its two bands: the part above the crossover on
        channel 0 and the part below it on channel 1 (whatever channel 1 held is
        replaced). The bands are a fourth-order Linkwitz-Riley pair: they add up to an
        all-pass of the input, flat in magnitude, with no delay.

        Parameters (normalised value -> meaning):
        | index | name      | mapping                                                      |
        |-------|-----------|--------------------------------------------------------------|
        | 0     | Enabled   | switch; off: channel 0 unchanged, channel 1 silent (the two   |
        |       |           | still add up to the input)                                    |
        | 1     | Crossover | 20 Hz + v * 9980 Hz (0 -> 20 Hz, 1 -> 10 kHz), linear         |

        The mastering presets send 0.03 / 0.06 for the first split (320 / 619 Hz) and
        0.373 / 0.45 for the second (3.74 / 4.51 kHz): bass, middle and top bands.
        With one channel only, the block is left as it is.
    */
    class Isolator final : public Effect
    {
    public:
        enum Parameter { enabled, crossover, numParameters };

        Isolator();

        double toPlainValue (int index, double normalisedValue) const override;
        void reset() override;
        

        /** The crossover frequency now in use, in Hz. */
        double getCrossoverFrequency() const noexcept    { return frequency; }

    private:
        void allocate (int) override {}
        void update() override;
        void processEnabled (double* const* channels, int numChannels, int numSamples) override;
        void processDisabled (double* const* channels, int numChannels, int numSamples) override;

        LinkwitzRileyCrossover splitter;
        double frequency = 1000.0;
    };
}
