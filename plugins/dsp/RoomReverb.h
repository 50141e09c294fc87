// "Room": small spaces, from a box room to a club.
#pragma once

#include "plugins/dsp/Reverb.h"

namespace effects
{
    /**
        Early reflections spaced by the size, light diffusion and a short eight-line
        network.

        Parameters (normalised value v -> meaning):
        | index | name      | mapping                                                      |
        |-------|-----------|--------------------------------------------------------------|
        | 0     | Enabled   | switch; off passes the signal unchanged                       |
        | 1     | Decay     | RT60 = 0.3 s + 2.7 s * v (0.3 .. 3 s)                         |
        | 2     | Size      | spacing of reflections and lines: scale 0.4 + 1.2 v           |
        | 3     | Damping   | high-frequency RT60 = (1 - 0.8 v) * RT60                      |
        | 4     | Wet level | linear gain of the reverberation added to the dry signal, v   |

        "Room" sends decay (0 - 0.2) / 9.8 (below the range: 0.3 s), size 0.04 (a box
        of a room), damping 0.547, wet 0.161: small, short and subtle. "Jazz Club"
        sends decay 0.313 (1.15 s), size 0.558, damping 0.5 and wet 0.739.
    */
    class RoomReverb final : public Reverb
    {
    public:
        enum Parameter { enabled, decay, size, damping, wetLevel, numParameters };

        RoomReverb();

        double toPlainValue (int index, double normalisedValue) const override;

    private:
        void update() override;
    };
}
