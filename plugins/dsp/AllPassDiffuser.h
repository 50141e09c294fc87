// A Schroeder all-pass: smears a transient into a dense burst without colouring
// the long-term spectrum. The reverbs put a few in series before their tanks.
#pragma once

#include "plugins/dsp/DelayLine.h"

#include <algorithm>
#include <cmath>

namespace effects
{
    class AllPassDiffuser
    {
    public:
        /** Allocates for delays up to maximumMilliseconds (not real-time). */
        void allocate (double sampleRate, double maximumMilliseconds)
        {
            rate = sampleRate;
            line.setMaximumDelay ((int) std::ceil (maximumMilliseconds * 0.001 * sampleRate) + 2);
        }

        void configure (double milliseconds, double feedback) noexcept
        {
            delay = std::clamp ((int) std::lround (milliseconds * 0.001 * rate), 1, line.getMaximumDelay());
            gain = feedback;
        }

        void reset() noexcept      { line.reset(); }

        double process (double x) noexcept
        {
            auto delayed = line.read (delay);
            auto w = x + gain * delayed;
            line.push (w);
            return delayed - gain * w;
        }

    private:
        DelayLine line;
        double rate = 44100.0, gain = 0.5;
        int delay = 1;
    };
}
