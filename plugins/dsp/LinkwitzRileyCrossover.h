// A fourth-order Linkwitz-Riley crossover that splits one signal into a low and a
// high band without delaying either.
#pragma once

#include "plugins/dsp/Biquad.h"

namespace effects
{
    /**
        The low band is two cascaded Butterworth low-pass sections (LR4). The high band
        is taken as A(x) - low, where A is the second-order all-pass at the same
        frequency: for LR4 the identity LP4 + HP4 = AP2 holds, so this is exactly the
        LR4 high-pass, and low + high is exactly the all-pass A(x). The two bands
        therefore add up to the input with a flat magnitude (0 dB at every frequency)
        and a phase rotation of up to 360 degrees around the crossover; nothing is
        delayed (no look-ahead, no linear-phase filter), which matters because the
        effects chain does not compensate latency.
    */
    class LinkwitzRileyCrossover
    {
    public:
        void setFrequency (double sampleRate, double frequency) noexcept
        {
            constexpr double butterworthQ = 0.7071067811865476;
            auto lowPass = Biquad::makeLowPass (sampleRate, frequency, butterworthQ);
            lowPass1.setCoefficients (lowPass);
            lowPass2.setCoefficients (lowPass);
            allPass.setCoefficients (Biquad::makeAllPass (sampleRate, frequency, butterworthQ));
        }

        void reset() noexcept
        {
            lowPass1.reset();
            lowPass2.reset();
            allPass.reset();
        }

        /** Splits one sample. */
        void process (double x, double& low, double& high) noexcept
        {
            low = lowPass2.process (lowPass1.process (x));
            high = allPass.process (x) - low;
        }

    private:
        Biquad lowPass1, lowPass2, allPass;
    };
}
