// "limiter": the final peak limiter of the MASTERING and STEREO effects.
#pragma once

#include "plugins/dsp/Effect.h"

namespace effects
{
    /**
        A stereo-linked peak limiter with no latency whose output never exceeds the
        ceiling.

        Why there is no look-ahead: a look-ahead limiter delays the audio so that the
        gain can come down before a peak arrives. The effects chain does not
        compensate latency, and a delay would shift the sound against the picture of
        a saved movie. So the gain computer works on the undelayed signal: the target
        gain min(1, ceiling / peak) is held for 5 ms and followed with a very short
        attack and a smooth release; a hard ceiling stage after it catches the few
        samples at the start of a sharp transient that the smoothed gain has not yet
        reached. The output is never louder than the ceiling, at the price of a
        clip lasting a fraction of a millisecond on sharp transients, where the ear
        barely hears it.

        Parameters (normalised value v -> meaning):
        | index | name    | mapping                                                      |
        |-------|---------|--------------------------------------------------------------|
        | 0     | Enabled | switch; off passes the signal unchanged                       |
        | 1     | Attack  | 10 ms * v (0 = instantaneous); presets: 0.015 -> 0.15 ms      |
        | 2     | Ceiling | the largest output magnitude, linear = v (at least 0.001);    |
        |       |         | presets: 0.9 -> -0.92 dBFS                                    |
        | 3     | Release | 1 ms * 1000^v (1 ms .. 1 s); presets: 0.63 -> 78 ms           |
    */
    class Limiter final : public Effect
    {
    public:
        enum Parameter { enabled, attack, ceiling, release, numParameters };

        static constexpr double holdMilliseconds = 5.0;

        Limiter();

        double toPlainValue (int index, double normalisedValue) const override;
        void reset() override;
        

        /** The ceiling now in use, as a linear magnitude. */
        double getCeiling() const noexcept      { return ceilingLevel; }

    private:
        void allocate (int) override {}
        void update() override;
        void processEnabled (double* const* channels, int numChannels, int numSamples) override;

        double ceilingLevel = 1.0;
        double attackCoefficient = 0.0, releaseCoefficient = 0.0;
        int holdSamples = 0;
        double gain = 1.0;
        int holdCountdown = 0;
    };
}
