// "Mixer": joins a band (channel 1) onto the signal rebuilt so far (channel 0).
#pragma once

#include "plugins/dsp/Effect.h"

namespace effects
{
    /**
        Writes out * (through * ch0 + band * ch1) into channel 0 and leaves channel 1
        as it is. Pure gains: nothing is delayed.

        Parameters (normalised value v -> meaning):
        | index | name          | mapping                                                   |
        |-------|---------------|-----------------------------------------------------------|
        | 0     | Enabled       | switch; off: channel 0 = ch0 + ch1 at unity (plain sum)    |
        | 1     | Output        | 24 (v - 0.5) dB: 0.5 -> 0 dB, 0 -> -12 dB, 1 -> +12 dB     |
        | 2     | Band level    | gain of channel 1, 12 (v - 0.5) dB (-6 .. +6 dB)           |
        | 3     | Through level | gain of channel 0, 12 (v - 0.5) dB (-6 .. +6 dB)           |
        | 4     | Band polarity | switch; 1 (v >= 0.5): band added as it is; 0: inverted     |

        In the mastering graph the inner mixers join the middle band onto the top band
        and the outer mixers join the bass band onto that. "Maximize" takes the bass
        down 3 dB (band level 0.25) so that the limiter has headroom for the rest;
        "Ultra Maximize" drives the outer mixers' output 9.1 dB (0.88) into the
        limiter; "Clear & Power" lowers the middle and top by 4.1 dB (inner output
        0.33) and the bass by 3.8 dB (0.18) before the limiter brings everything up.
    */
    class Mixer final : public Effect
    {
    public:
        enum Parameter { enabled, output, bandLevel, throughLevel, bandPolarity, numParameters };

        Mixer();

        double toPlainValue (int index, double normalisedValue) const override;
        void reset() override {}
        

    private:
        void allocate (int) override {}
        void update() override;
        void processEnabled (double* const* channels, int numChannels, int numSamples) override;
        void processDisabled (double* const* channels, int numChannels, int numSamples) override;

        double throughGain = 1.0, bandGain = 1.0;
    };
}
