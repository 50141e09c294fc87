#include "plugins/dsp/Limiter.h"

#include <algorithm>
#include <cmath>

namespace effects
{
    namespace
    {
        const ParameterInfo limiterParameters[] =
        {
            { "Enabled", "",   1.0,   true },
            { "Attack",  "ms", 0.015, false },
            { "Ceiling", "",   0.9,   false },
            { "Release", "ms", 0.63,  false },
        };

        double timeCoefficient (double milliseconds, double sampleRate)
        {
            return milliseconds > 0.0 ? std::exp (-1000.0 / (milliseconds * sampleRate)) : 0.0;
        }
    }

    Limiter::Limiter()
        : Effect (limiterParameters, numParameters)
    {
        update();
    }

    double Limiter::toPlainValue (int index, double v) const
    {
        switch (index)
        {
            case attack:   return 10.0 * v;
            case ceiling:  return std::max (v, 0.001);
            case release:  return std::pow (1000.0, v);
            default:       return v;
        }
    }

    void Limiter::update()
    {
        ceilingLevel = toPlainValue (ceiling, getParameter (ceiling));
        attackCoefficient = timeCoefficient (toPlainValue (attack, getParameter (attack)), sampleRate);
        releaseCoefficient = timeCoefficient (toPlainValue (release, getParameter (release)), sampleRate);
        holdSamples = (int) std::lround (holdMilliseconds * 0.001 * sampleRate);
    }

    void Limiter::reset()
    {
        gain = 1.0;
        holdCountdown = 0;
    }

    void Limiter::processEnabled (double* const* channels, int numChannels, int numSamples)
    {
        if (numChannels < 1)
            return;

        auto* left = channels[0];
        auto* right = numChannels > 1 ? channels[1] : nullptr;
        auto c = ceilingLevel;

        for (int i = 0; i < numSamples; ++i)
        {
            auto peak = std::abs (left[i]);

            if (right != nullptr)
                peak = std::max (peak, std::abs (right[i]));

            auto target = peak > c ? c / peak : 1.0;

            if (target < gain)
            {
                gain = target + (gain - target) * attackCoefficient;
                holdCountdown = holdSamples;
            }
            else if (holdCountdown > 0)
            {
                --holdCountdown;
            }
            else
            {
                gain = target + (gain - target) * releaseCoefficient;
            }

            left[i] = std::clamp (left[i] * gain, -c, c);

            if (right != nullptr)
                right[i] = std::clamp (right[i] * gain, -c, c);
        }
    }
}
