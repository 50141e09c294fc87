#include "plugins/dsp/Reverb.h"

#include <algorithm>
#include <cmath>

namespace effects
{
    namespace
    {
        // Early reflections at scale 1 (ms) and their gains: a shoe-box pattern,
        // different on the two sides so the image is wide.
        constexpr std::array<std::array<double, 8>, 2> reflectionMilliseconds
        { {
            { 2.3, 4.7, 6.1, 8.9, 11.3, 14.9, 17.7, 21.1 },
            { 3.1, 5.3, 7.3, 9.7, 12.7, 15.7, 19.3, 23.9 }
        } };

        constexpr std::array<double, 8> reflectionGains { 0.62, -0.53, 0.47, -0.41, 0.35, -0.3, 0.25, -0.21 };
    }

    Reverb::Reverb (const ParameterInfo* table, int numberOfParameters, const Voicing& newVoicing)
        : Effect (table, numberOfParameters),
          voicing (newVoicing)
    {
    }

    void Reverb::allocate (int)
    {
        network.allocate (sampleRate, voicing.network, voicing.maximumScale);

        for (size_t c = 0; c < 2; ++c)
        {
            preDelays[c].setMaximumDelay ((int) std::ceil (voicing.maximumPreDelayMilliseconds * 0.001 * sampleRate) + 2);
            reflectionLines[c].setMaximumDelay (voicing.earlyReflections
                                                    ? (int) std::ceil (24.0 * voicing.maximumScale * 0.001 * sampleRate) + 2
                                                    : 1);

            for (int d = 0; d < voicing.numDiffusers; ++d)
                diffusers[c][(size_t) d].allocate (sampleRate, voicing.diffuserMilliseconds[(size_t) d] * voicing.maximumScale * 1.2);
        }

        allocated = true;
    }

    void Reverb::setShape (const Shape& newShape)
    {
        shape = newShape;

        if (! allocated)
            return;

        auto scale = std::clamp (shape.lengthScale, 0.05, voicing.maximumScale);
        network.configure (scale, shape.lowFrequencySeconds, shape.highFrequencySeconds);
        preDelaySamples = std::clamp ((int) std::lround (shape.preDelayMilliseconds * 0.001 * sampleRate),
                                      0, preDelays[0].getMaximumDelay());

        for (size_t c = 0; c < 2; ++c)
        {
            // The two sides' diffusers differ slightly, which decorrelates them.
            for (int d = 0; d < voicing.numDiffusers; ++d)
                diffusers[c][(size_t) d].configure (voicing.diffuserMilliseconds[(size_t) d] * scale * (c == 0 ? 1.0 : 1.13),
                                                    voicing.diffusion);

            if (voicing.earlyReflections)
                for (size_t t = 0; t < 8; ++t)
                    reflectionDelays[c][t] = std::clamp ((int) std::lround (reflectionMilliseconds[c][t] * scale * 0.001 * sampleRate),
                                                         1, reflectionLines[c].getMaximumDelay());
        }
    }

    double Reverb::getTailSeconds() const
    {
        return shape.preDelayMilliseconds * 0.001 + shape.lowFrequencySeconds;
    }

    void Reverb::reset()
    {
        network.reset();

        for (size_t c = 0; c < 2; ++c)
        {
            preDelays[c].reset();
            reflectionLines[c].reset();

            for (auto& diffuser : diffusers[c])
                diffuser.reset();
        }
    }

    void Reverb::processEnabled (double* const* channels, int numChannels, int numSamples)
    {
        if (numChannels < 1 || ! allocated)
            return;

        auto* left = channels[0];
        auto* right = numChannels > 1 ? channels[1] : nullptr;
        auto wet = shape.wetLevel;

        for (int i = 0; i < numSamples; ++i)
        {
            std::array<double, 2> dry { left[i], right != nullptr ? right[i] : left[i] };
            std::array<double, 2> early { 0.0, 0.0 }, diffused {};

            for (size_t c = 0; c < 2; ++c)
            {
                auto x = dry[c];

                if (preDelaySamples > 0)
                {
                    auto delayed = preDelays[c].read (preDelaySamples);
                    preDelays[c].push (x);
                    x = delayed;
                }

                if (voicing.earlyReflections)
                {
                    for (size_t t = 0; t < 8; ++t)
                        early[c] += reflectionGains[t] * reflectionLines[c].read (reflectionDelays[c][t]);

                    reflectionLines[c].push (x);
                }

                for (int d = 0; d < voicing.numDiffusers; ++d)
                    x = diffusers[c][(size_t) d].process (x);

                diffused[c] = x;
            }

            double lateLeft, lateRight;
            network.process (diffused[0], diffused[1], lateLeft, lateRight);

            if (right != nullptr)
            {
                left[i] = dry[0] + wet * (early[0] + lateLeft);
                right[i] = dry[1] + wet * (early[1] + lateRight);
            }
            else
            {
                left[i] = dry[0] + wet * 0.5 * (early[0] + early[1] + lateLeft + lateRight);
            }
        }

        network.endBlock();
    }
}
