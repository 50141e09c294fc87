#include "plugins/dsp/Isolator.h"

#include <algorithm>

namespace effects
{
    namespace
    {
        const ParameterInfo isolatorParameters[] =
        {
            { "Enabled",   "",   1.0, true },
            { "Crossover", "Hz", 0.5, false },
        };
    }

    Isolator::Isolator()
        : Effect (isolatorParameters, numParameters)
    {
        update();
    }

    double Isolator::toPlainValue (int index, double v) const
    {
        return index == crossover ? 20.0 + v * 9980.0 : v;
    }

    void Isolator::update()
    {
        frequency = toPlainValue (crossover, getParameter (crossover));
        splitter.setFrequency (sampleRate, frequency);
    }

    void Isolator::reset()
    {
        splitter.reset();
    }

    void Isolator::processEnabled (double* const* channels, int numChannels, int numSamples)
    {
        if (numChannels < 2)
            return;

        auto* high = channels[0];
        auto* low = channels[1];

        for (int i = 0; i < numSamples; ++i)
            splitter.process (high[i], low[i], high[i]);
    }

    void Isolator::processDisabled (double* const* channels, int numChannels, int numSamples)
    {
        if (numChannels >= 2)
            std::fill (channels[1], channels[1] + numSamples, 0.0);
    }
}
