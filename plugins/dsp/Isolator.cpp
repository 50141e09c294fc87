#include "plugins/dsp/Isolator.h"

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

    void Isolator::process (double* const* channels, int numChannels, int numSamples)
    {
        if (numChannels < 2)
            return;

        auto* high = channels[0];
        auto* low = channels[1];

        if (! isEnabled())
        {
            for (int i = 0; i < numSamples; ++i)
                low[i] = 0.0;

            return;
        }

        for (int i = 0; i < numSamples; ++i)
            splitter.process (high[i], low[i], high[i]);
    }
}
