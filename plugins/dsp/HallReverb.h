// "Hall": concert halls, arenas and stadiums.
#pragma once

#include "plugins/dsp/Reverb.h"

namespace effects
{
    /**
        Pre-delay, four long diffusers and a slowly modulated eight-line network with
        lines of 16 to 110 ms. In a real hall the reverberation time grows with the
        volume, so the size stretches both the lines and the decay.

        Parameters (normalised value v -> meaning):
        | index | name      | mapping                                                      |
        |-------|-----------|--------------------------------------------------------------|
        | 0     | Enabled   | switch; off passes the signal unchanged                       |
        | 1     | Pre-delay | 100 ms * v                                                    |
        | 2     | Decay     | RT60 of a medium hall (size 0.5): 0.8 s + 3.2 s * v           |
        | 3     | Size      | scale 0.5 + v of lines and diffusers; RT60 = decay * scale    |
        | 4     | Wet level | linear gain of the reverberation added to the dry signal, v   |
        High frequencies decay in half the time (air absorption).

        "Concert Hall": 15 ms, decay 0.46, size 0.414 -> RT60 2.1 s; "Arena": 9 ms,
        decay 1.0, size 0.699 -> 4.8 s; "Stadium": 19 ms, decay 1.0, size 0.8 -> 5.2 s.
    */
    class HallReverb final : public Reverb
    {
    public:
        enum Parameter { enabled, preDelay, decay, size, wetLevel, numParameters };

        HallReverb();

        double toPlainValue (int index, double normalisedValue) const override;

    private:
        void update() override;
    };
}
