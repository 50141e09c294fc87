#include "plugins/dsp/Compressor.h"

#include <algorithm>
#include <cmath>

namespace effects
{
    namespace
    {
        const ParameterInfo compressorParameters[] =
        {
            { "Enabled",     "",   1.0, true },
            { "Stereo link", "",   1.0, false },
            { "Amount",      "",   0.3, false },
            { "Attack",      "ms", 0.0, false },
            { "Release",     "ms", 0.5, false },
        };

        double timeCoefficient (double milliseconds, double sampleRate)
        {
            return std::exp (-1000.0 / (milliseconds * sampleRate));
        }

        // log10 of the magnitude in dB; the detector never sees exact zeros because
        // quiet samples are sorted out against the knee start beforehand.
        double toDb (double magnitude)
        {
            return 20.0 * std::log10 (magnitude);
        }
    }

    Compressor::Compressor()
        : Effect (compressorParameters, numParameters)
    {
        update();
    }

    double Compressor::toPlainValue (int index, double v) const
    {
        switch (index)
        {
            case amount:   return -36.0 * v;                        // threshold in dBFS
            case attack:   return 1.0 * std::pow (100.0, v);
            case release:  return 10.0 * std::pow (100.0, v);
            default:       return v;
        }
    }

    void Compressor::update()
    {
        auto a = getParameter (amount);
        thresholdDb = -36.0 * a;
        ratio = 1.0 + 8.0 * a;
        makeUpDb = -thresholdDb * (1.0 - 1.0 / ratio);
        link = getParameter (stereoLink);
        kneeStartLinear = std::pow (10.0, (thresholdDb - kneeWidthDb * 0.5) / 20.0);
        attackCoefficient = timeCoefficient (toPlainValue (attack, getParameter (attack)), sampleRate);
        releaseCoefficient = timeCoefficient (toPlainValue (release, getParameter (release)), sampleRate);
    }

    void Compressor::reset()
    {
        reductionLeft = reductionRight = 0.0;
    }

    double Compressor::gainReductionDb (double levelDb) const noexcept
    {
        auto overshoot = levelDb - thresholdDb;

        if (2.0 * overshoot < -kneeWidthDb)
            return 0.0;

        if (2.0 * std::abs (overshoot) <= kneeWidthDb)
        {
            auto k = overshoot + kneeWidthDb * 0.5;
            return (1.0 - 1.0 / ratio) * k * k / (2.0 * kneeWidthDb);
        }

        return overshoot * (1.0 - 1.0 / ratio);
    }

    double Compressor::getStaticOutputDb (double inputDb) const noexcept
    {
        return inputDb - gainReductionDb (inputDb) + makeUpDb;
    }

    double Compressor::smooth (double& state, double reductionDb) const noexcept
    {
        auto coefficient = reductionDb > state ? attackCoefficient : releaseCoefficient;
        state = coefficient * state + (1.0 - coefficient) * reductionDb;
        return state;
    }

    void Compressor::processEnabled (double* const* channels, int numChannels, int numSamples)
    {
        if (numChannels < 1)
            return;

        auto* left = channels[0];
        auto* right = numChannels > 1 ? channels[1] : nullptr;
        auto linked = right == nullptr || link >= 1.0;

        // The make-up gain and the reduction are combined into one exponential per
        // sample; with the reduction settled at zero only the make-up is applied.
        auto reductionToGain = [this] (double reduction)
        {
            return std::pow (10.0, (makeUpDb - reduction) * 0.05);
        };

        auto makeUp = std::pow (10.0, makeUpDb * 0.05);

        auto levelReduction = [this] (double magnitude)
        {
            return magnitude > kneeStartLinear ? gainReductionDb (toDb (magnitude)) : 0.0;
        };

        for (int i = 0; i < numSamples; ++i)
        {
            auto l = left[i];
            auto r = right != nullptr ? right[i] : l;

            if (linked)
            {
                auto reduction = smooth (reductionLeft, levelReduction (std::max (std::abs (l), std::abs (r))));
                auto gain = reduction > 1.0e-9 ? reductionToGain (reduction) : makeUp;
                left[i] = l * gain;

                if (right != nullptr)
                    right[i] = r * gain;
            }
            else
            {
                auto peak = std::max (std::abs (l), std::abs (r));
                auto detectLeft = link * peak + (1.0 - link) * std::abs (l);
                auto detectRight = link * peak + (1.0 - link) * std::abs (r);
                auto reductionL = smooth (reductionLeft, levelReduction (detectLeft));
                auto reductionR = smooth (reductionRight, levelReduction (detectRight));
                left[i] = l * (reductionL > 1.0e-9 ? reductionToGain (reductionL) : makeUp);
                right[i] = r * (reductionR > 1.0e-9 ? reductionToGain (reductionR) : makeUp);
            }
        }
    }
}
