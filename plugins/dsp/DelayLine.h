// A circular delay line of doubles with whole-sample and interpolated reads. The
// memory is allocated once by setMaximumDelay(); everything else is real-time safe.
#pragma once

#include <cmath>
#include <vector>

namespace effects
{
    class DelayLine
    {
    public:
        /** Allocates room for delays up to maximumDelay samples (not real-time). */
        void setMaximumDelay (int maximumDelay)
        {
            size_t size = 8;

            while (size < (size_t) maximumDelay + 4)
                size <<= 1;

            buffer.assign (size, 0.0);
            mask = size - 1;
            writeIndex = 0;
        }

        /** The longest delay that can be read. */
        int getMaximumDelay() const noexcept     { return buffer.empty() ? 0 : (int) buffer.size() - 4; }

        void reset() noexcept
        {
            std::fill (buffer.begin(), buffer.end(), 0.0);
        }

        /** The sample pushed `delay` pushes ago (1 = the last one); read before push(). */
        double read (int delay) const noexcept
        {
            return buffer[(writeIndex - (size_t) delay) & mask];
        }

        /** Linear interpolation between whole-sample reads; delay >= 1. */
        double readLinear (double delay) const noexcept
        {
            auto whole = (int) delay;
            auto fraction = delay - whole;
            auto a = read (whole), b = read (whole + 1);
            return a + fraction * (b - a);
        }

        /** Cubic (Hermite) interpolation; delay >= 2. */
        double readCubic (double delay) const noexcept
        {
            auto whole = (int) delay;
            auto t = delay - whole;
            auto ym1 = read (whole - 1), y0 = read (whole), y1 = read (whole + 1), y2 = read (whole + 2);
            auto c1 = 0.5 * (y1 - ym1);
            auto c2 = ym1 - 2.5 * y0 + 2.0 * y1 - 0.5 * y2;
            auto c3 = 0.5 * (y2 - ym1) + 1.5 * (y0 - y1);
            return ((c3 * t + c2) * t + c1) * t + y0;
        }

        void push (double x) noexcept
        {
            buffer[writeIndex] = x;
            writeIndex = (writeIndex + 1) & mask;
        }

    private:
        std::vector<double> buffer;
        size_t mask = 0, writeIndex = 0;
    };
}
