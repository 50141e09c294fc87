#include "plugins/dsp/HallReverb.h"

namespace effects
{
    namespace
    {
        const ParameterInfo hallParameters[] =
        {
            { "Enabled",   "",   1.0, true },
            { "Pre-delay", "ms", 0.2, false },
            { "Decay",     "s",  0.4, false },
            { "Size",      "",   0.5, false },
            { "Wet level", "",   0.4, false },
        };

        Reverb::Voicing hallVoicing()
        {
            Reverb::Voicing voicing;
            voicing.network.lineMilliseconds = { 31.7, 37.3, 41.9, 47.3, 53.9, 59.3, 67.1, 73.7 };
            voicing.network.modulationMilliseconds = 0.6;
            voicing.maximumScale = 1.5;
            voicing.diffuserMilliseconds = { 4.3, 6.1, 8.7, 12.3 };
            voicing.numDiffusers = 4;
            voicing.diffusion = 0.7;
            voicing.earlyReflections = false;
            voicing.maximumPreDelayMilliseconds = 100.0;
            return voicing;
        }
    }

    HallReverb::HallReverb()
        : Reverb (hallParameters, numParameters, hallVoicing())
    {
        update();
    }

    double HallReverb::toPlainValue (int index, double v) const
    {
        switch (index)
        {
            case preDelay:  return 100.0 * v;
            case decay:     return 0.8 + 3.2 * v;
            case size:      return 0.5 + v;
            default:        return v;
        }
    }

    void HallReverb::update()
    {
        Shape shape;
        shape.preDelayMilliseconds = toPlainValue (preDelay, getParameter (preDelay));
        shape.lengthScale = toPlainValue (size, getParameter (size));
        shape.lowFrequencySeconds = toPlainValue (decay, getParameter (decay)) * shape.lengthScale;
        shape.highFrequencySeconds = 0.5 * shape.lowFrequencySeconds;
        shape.wetLevel = getParameter (wetLevel);
        setShape (shape);
    }
}
