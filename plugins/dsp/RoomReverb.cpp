#include "plugins/dsp/RoomReverb.h"

namespace effects
{
    namespace
    {
        const ParameterInfo roomParameters[] =
        {
            { "Enabled",   "",  1.0, true },
            { "Decay",     "s", 0.2, false },
            { "Size",      "",  0.3, false },
            { "Damping",   "",  0.5, false },
            { "Wet level", "",  0.3, false },
        };

        Reverb::Voicing roomVoicing()
        {
            Reverb::Voicing voicing;
            voicing.network.lineMilliseconds = { 9.7, 11.9, 13.3, 15.1, 17.3, 19.7, 22.1, 25.3 };
            voicing.network.modulationMilliseconds = 0.0;
            voicing.maximumScale = 1.6;
            voicing.diffuserMilliseconds = { 1.1, 2.3, 0.0, 0.0 };
            voicing.numDiffusers = 2;
            voicing.diffusion = 0.5;
            voicing.earlyReflections = true;
            voicing.maximumPreDelayMilliseconds = 0.0;
            return voicing;
        }
    }

    RoomReverb::RoomReverb()
        : Reverb (roomParameters, numParameters, roomVoicing())
    {
        update();
    }

    double RoomReverb::toPlainValue (int index, double v) const
    {
        switch (index)
        {
            case decay:    return 0.3 + 2.7 * v;
            case size:     return 0.4 + 1.2 * v;
            case damping:  return 1.0 - 0.8 * v;
            default:       return v;
        }
    }

    void RoomReverb::update()
    {
        Shape shape;
        shape.lengthScale = toPlainValue (size, getParameter (size));
        shape.lowFrequencySeconds = toPlainValue (decay, getParameter (decay));
        shape.highFrequencySeconds = shape.lowFrequencySeconds * toPlainValue (damping, getParameter (damping));
        shape.wetLevel = getParameter (wetLevel);
        setShape (shape);
    }
}
