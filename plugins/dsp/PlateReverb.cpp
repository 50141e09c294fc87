#include "plugins/dsp/PlateReverb.h"

namespace effects
{
    namespace
    {
        const ParameterInfo plateParameters[] =
        {
            { "Enabled",   "",   1.0, true },
            { "Pre-delay", "ms", 0.1, false },
            { "Decay",     "s",  0.3, false },
            { "Damping",   "",   0.3, false },
            { "Wet level", "",   0.4, false },
        };

        Reverb::Voicing plateVoicing()
        {
            Reverb::Voicing voicing;
            voicing.network.lineMilliseconds = { 11.3, 14.1, 17.9, 21.1, 25.7, 29.3, 33.1, 37.9 };
            voicing.network.modulationMilliseconds = 0.2;
            voicing.maximumScale = 1.0;
            voicing.diffuserMilliseconds = { 0.9, 1.7, 2.9, 4.3 };
            voicing.numDiffusers = 4;
            voicing.diffusion = 0.75;
            voicing.earlyReflections = false;
            voicing.maximumPreDelayMilliseconds = 100.0;
            return voicing;
        }
    }

    PlateReverb::PlateReverb()
        : Reverb (plateParameters, numParameters, plateVoicing())
    {
        update();
    }

    double PlateReverb::toPlainValue (int index, double v) const
    {
        switch (index)
        {
            case preDelay:  return 100.0 * v;
            case decay:     return 0.5 + 4.5 * v;
            case damping:   return 1.0 - 0.9 * v;
            default:        return v;
        }
    }

    void PlateReverb::update()
    {
        Shape shape;
        shape.preDelayMilliseconds = toPlainValue (preDelay, getParameter (preDelay));
        shape.lengthScale = 1.0;
        shape.lowFrequencySeconds = toPlainValue (decay, getParameter (decay));
        shape.highFrequencySeconds = shape.lowFrequencySeconds * toPlainValue (damping, getParameter (damping));
        shape.wetLevel = getParameter (wetLevel);
        setShape (shape);
    }
}
