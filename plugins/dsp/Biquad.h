// One second-order filter section (transposed direct form II, double precision) and
// the cookbook designs the effects use. All designs share one bilinear mapping, so
// identities between analogue prototypes (such as low-pass plus high-pass of a
// Linkwitz-Riley pair giving an all-pass) hold exactly for the digital filters too.
#pragma once

#include <cmath>

namespace effects
{
    class Biquad
    {
    public:
        struct Coefficients
        {
            double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
        };

        static Coefficients makeLowPass (double sampleRate, double frequency, double q) noexcept
        {
            auto w = prewarp (sampleRate, frequency);
            auto alpha = std::sin (w) / (2.0 * q), c = std::cos (w);
            return normalise ((1.0 - c) * 0.5, 1.0 - c, (1.0 - c) * 0.5, 1.0 + alpha, -2.0 * c, 1.0 - alpha);
        }

        static Coefficients makeHighPass (double sampleRate, double frequency, double q) noexcept
        {
            auto w = prewarp (sampleRate, frequency);
            auto alpha = std::sin (w) / (2.0 * q), c = std::cos (w);
            return normalise ((1.0 + c) * 0.5, -(1.0 + c), (1.0 + c) * 0.5, 1.0 + alpha, -2.0 * c, 1.0 - alpha);
        }

        static Coefficients makeAllPass (double sampleRate, double frequency, double q) noexcept
        {
            auto w = prewarp (sampleRate, frequency);
            auto alpha = std::sin (w) / (2.0 * q), c = std::cos (w);
            return normalise (1.0 - alpha, -2.0 * c, 1.0 + alpha, 1.0 + alpha, -2.0 * c, 1.0 - alpha);
        }

        void setCoefficients (const Coefficients& newCoefficients) noexcept   { coefficients = newCoefficients; }

        void reset() noexcept                                                   { s1 = s2 = 0.0; }

        double process (double x) noexcept
        {
            auto y = coefficients.b0 * x + s1;
            s1 = coefficients.b1 * x - coefficients.a1 * y + s2;
            s2 = coefficients.b2 * x - coefficients.a2 * y;
            return y;
        }

    private:
        static double prewarp (double sampleRate, double frequency) noexcept
        {
            constexpr double twoPi = 6.283185307179586;
            auto nyquistSafe = std::fmin (frequency, sampleRate * 0.49);
            return twoPi * std::fmax (nyquistSafe, 1.0) / sampleRate;
        }

        static Coefficients normalise (double b0, double b1, double b2, double a0, double a1, double a2) noexcept
        {
            return { b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0 };
        }

        Coefficients coefficients;
        double s1 = 0.0, s2 = 0.0;
    };
}
