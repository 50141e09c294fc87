#include "plugins/dsp/Mixer.h"

#include <cmath>

namespace effects
{
    namespace
    {
        const ParameterInfo mixerParameters[] =
        {
            { "Enabled",       "",   1.0, true },
            { "Output",        "dB", 0.5, false },
            { "Band level",    "dB", 0.5, false },
            { "Through level", "dB", 0.5, false },
            { "Band polarity", "",   1.0, true },
        };

        double dbToGain (double db)
        {
            return std::pow (10.0, db / 20.0);
        }
    }

    Mixer::Mixer()
        : Effect (mixerParameters, numParameters)
    {
        update();
    }

    double Mixer::toPlainValue (int index, double v) const
    {
        switch (index)
        {
            case output:        return 24.0 * (v - 0.5);
            case bandLevel:
            case throughLevel:  return 12.0 * (v - 0.5);
            default:            return v;
        }
    }

    void Mixer::update()
    {
        auto out = dbToGain (toPlainValue (output, getParameter (output)));
        auto polarity = getParameter (bandPolarity) >= 0.5 ? 1.0 : -1.0;
        throughGain = out * dbToGain (toPlainValue (throughLevel, getParameter (throughLevel)));
        bandGain = polarity * out * dbToGain (toPlainValue (bandLevel, getParameter (bandLevel)));
    }

    void Mixer::processEnabled (double* const* channels, int numChannels, int numSamples)
    {
        if (numChannels < 2)
            return;

        auto* through = channels[0];
        const auto* band = channels[1];

        for (int i = 0; i < numSamples; ++i)
            through[i] = throughGain * through[i] + bandGain * band[i];
    }

    void Mixer::processDisabled (double* const* channels, int numChannels, int numSamples)
    {
        if (numChannels < 2)
            return;

        for (int i = 0; i < numSamples; ++i)
            channels[0][i] += channels[1][i];
    }
}
