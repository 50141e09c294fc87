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

        values[(size_t) index] = value;
        update();
    }

    double Effect::getParameter (int index) const noexcept
    {
        return index >= 0 && index < numParameters ? values[(size_t) index] : 0.0;
    }

    void Effect::prepare (double newSampleRate, int maximumBlockSize)
    {
        sampleRate = newSampleRate > 0.0 ? newSampleRate : 44100.0;
        allocate (std::max (1, maximumBlockSize));
        update();
        reset();
    }
}
