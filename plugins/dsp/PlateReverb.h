// "Plate": the bright, instantly dense sound of a vibrating steel plate.
#pragma once

#include "plugins/dsp/Reverb.h"

namespace effects
{
    /**
        No early reflections: four tight diffusers make the onset dense at once,
        then a lightly modulated eight-line network of 11 to 38 ms carries the tail.

        Parameters (normalised value v -> meaning):
        | index | name      | mapping                                                      |
        |-------|-----------|--------------------------------------------------------------|
        | 0     | Enabled   | switch; off passes the signal unchanged                       |
        | 1     | Pre-delay | 100 ms * v                                                    |
        | 2     | Decay     | RT60 = 0.5 s + 4.5 s * v                                      |
        | 3     | Damping   | high-frequency RT60 = (1 - 0.9 v) * RT60                      |
        | 4     | Wet level | linear gain of the reverberation added to the dry signal, v   |

        The presets run from "Jazz Club" (decay 0.121 -> 1.0 s, wet 0.3) through
        "Concert Hall" (2.1 s, bright: damping 0.148) and "Arena" (3.8 s) to
        "Stadium" (5.0 s, dark: damping 0.832).
    */
    class PlateReverb final : public Reverb
    {
    public:
        enum Parameter { enabled, preDelay, decay, damping, wetLevel, numParameters };

        PlateReverb();

        double toPlainValue (int index, double normalisedValue) const override;

    private:
        void update() override;
    };
}
