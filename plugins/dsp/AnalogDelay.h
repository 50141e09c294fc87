// "Analog_Delay": the tape-style echo that opens every REVERB preset.
#pragma once

#include "plugins/dsp/DelayLine.h"
#include "plugins/dsp/Effect.h"
#include "plugins/dsp/SinePhasor.h"

#include <array>

namespace effects
{
    /**
        A tape echo added to the dry signal, which passes at unity and undelayed:
        out = in + level * echo. The echo is darkened by a tone low-pass and a gentle
        80 Hz low cut on every pass, so repeats grow darker like tape; "Tape" adds
        soft saturation in the record path and a slow wow and flutter of the delay
        time. A change of time glides (50 ms) instead of clicking.

        Parameters (normalised value v -> meaning):
        | index | name       | mapping                                                   |
        |-------|------------|-----------------------------------------------------------|
        | 0     | Enabled    | switch; off passes the signal unchanged                    |
        | 1     | Time       | 1000 ms * v (at least 1 ms)                                |
        | 2     | Echo level | linear gain of the echo, v                                 |
        | 3     | Feedback   | share of the echo recorded again, 0.95 v                   |
        | 4     | Tone       | echo low-pass cut-off 1 kHz * 20^v (1 .. 20 kHz)           |
        | 5     | Tape       | tape character 0..1: saturation and wow depth (0.25 ms v)  |

        The REVERB presets: "Room" 68 ms at 0.068 (a faint, bright reflection),
        "Jazz Club" 72 ms at 0.081, "Concert Hall" 100 ms at 0.387, "Arena" no echo
        (level 0), "Stadium" 146 ms at 0.6 with feedback 0.307 (0.29): the clearly
        delayed, repeating echo from the far stands, darkened to 2.2 kHz.
    */
    class AnalogDelay final : public Effect
    {
    public:
        enum Parameter { enabled, time, echoLevel, feedback, tone, tape, numParameters };

        static constexpr double maximumTimeMilliseconds = 1000.0;

        AnalogDelay();

        double toPlainValue (int index, double normalisedValue) const override;
        void reset() override;
        double getTailSeconds() const override;
        

    private:
        void allocate (int maximumBlockSize) override;
        void update() override;
        void processEnabled (double* const* channels, int numChannels, int numSamples) override;

        struct Channel
        {
            DelayLine line;
            SinePhasor wow, flutter;
            double toneState = 0.0, lowCutState = 0.0;
        };

        std::array<Channel, 2> channelStates;
        double targetDelaySamples = 48.0, delaySamples = 48.0;
        double glideCoefficient = 0.0;
        double level = 0.0, feedbackGain = 0.0, toneCoefficient = 1.0, lowCutCoefficient = 0.0;
        double tapeAmount = 0.0, wowDepthSamples = 0.0;
    };
}
