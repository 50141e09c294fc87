#include "plugins/dsp/Effect.h"

#include <algorithm>

namespace effects
{
    Effect::Effect (const ParameterInfo* parameterTable, int numberOfParameters)
        : table (parameterTable),
          numParameters (std::min (numberOfParameters, maxParameters))
    {
        for (int i = 0; i < numParameters; ++i)
            values[(size_t) i] = table[i].defaultValue;
    }

    void Effect::setParameter (int index, double normalisedValue)
    {
        if (index < 0 || index >= numParameters)
            return;

        // NaN fails both comparisons of std::clamp's contract; treat it as 0.
        auto value = normalisedValue == normalisedValue ? std::clamp (normalisedValue, 0.0, 1.0) : 0.0;

        if (table[index].isSwitch)
            value = value >= 0.5 ? 1.0 : 0.0;

        // Switched off: the next block it processes after being switched on again
        // starts from silence.
        if (index == 0 && value == 0.0)
            resetBeforeNextBlock = true;

        values[(size_t) index] = value;
        update();
    }

    double Effect::getParameter (int index) const noexcept
    {
        return index >= 0 && index < numParameters ? values[(size_t) index] : 0.0;
    }

    void Effect::process (double* const* channels, int numChannels, int numSamples)
    {
        if (! isEnabled())
        {
            resetBeforeNextBlock = true;
            processDisabled (channels, numChannels, numSamples);
            return;
        }

        if (resetBeforeNextBlock)
        {
            reset();
            resetBeforeNextBlock = false;
        }

        processEnabled (channels, numChannels, numSamples);
    }

    void Effect::prepare (double newSampleRate, int maximumBlockSize)
    {
        sampleRate = newSampleRate > 0.0 ? newSampleRate : 44100.0;
        allocate (std::max (1, maximumBlockSize));
        update();
        reset();
        resetBeforeNextBlock = false;
    }
}
