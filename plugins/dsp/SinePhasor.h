// A sine oscillator for slow modulation that costs four multiplications a sample:
// a unit vector turned by a fixed angle each step.
#pragma once

#include <cmath>

namespace effects
{
    class SinePhasor
    {
    public:
        void setFrequency (double sampleRate, double hertz) noexcept
        {
            auto step = 6.283185307179586 * hertz / sampleRate;
            stepCos = std::cos (step);
            stepSin = std::sin (step);
        }

        void setPhase (double radians) noexcept
        {
            c = std::cos (radians);
            s = std::sin (radians);
        }

        /** The current sine value; then moves one step on. */
        double next() noexcept
        {
            auto value = s;
            auto newC = c * stepCos - s * stepSin;
            s = s * stepCos + c * stepSin;
            c = newC;
            return value;
        }

        /** Pulls the vector back onto the unit circle (call once a block). */
        void renormalise() noexcept
        {
            auto length = std::sqrt (c * c + s * s);

            if (length > 0.0)
            {
                c /= length;
                s /= length;
            }
            else
            {
                c = 1.0;
            }
        }

    private:
        double c = 1.0, s = 0.0, stepCos = 1.0, stepSin = 0.0;
    };
}
