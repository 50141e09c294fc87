#include "plugins/dsp/AnalogDelay.h"

#include <algorithm>
#include <cmath>

namespace effects
{
    namespace
    {
        const ParameterInfo analogDelayParameters[] =
        {
            { "Enabled",    "",   1.0,  true },
            { "Time",       "ms", 0.25, false },
            { "Echo level", "",   0.3,  false },
            { "Feedback",   "",   0.3,  false },
            { "Tone",       "Hz", 0.5,  false },
            { "Tape",       "",   1.0,  false },
        };

        constexpr double twoPi = 6.283185307179586;

        double onePoleCoefficient (double hertz, double sampleRate)
        {
            return 1.0 - std::exp (-twoPi * hertz / sampleRate);
        }

        // tanh, close enough for saturation, without a library call.
        double softClip (double x)
        {
            if (x > 3.0)  return 1.0;
            if (x < -3.0) return -1.0;
            auto x2 = x * x;
            return x * (27.0 + x2) / (27.0 + 9.0 * x2);
        }
    }

    AnalogDelay::AnalogDelay()
        : Effect (analogDelayParameters, numParameters)
    {
        update();
        delaySamples = targetDelaySamples;
    }

    double AnalogDelay::toPlainValue (int index, double v) const
    {
        switch (index)
        {
            case time:       return std::max (1.0, maximumTimeMilliseconds * v);
            case feedback:   return 0.95 * v;
            case tone:       return 1000.0 * std::pow (20.0, v);
            default:         return v;
        }
    }

    void AnalogDelay::allocate (int)
    {
        auto longest = (int) std::ceil ((maximumTimeMilliseconds + 2.0) * 0.001 * sampleRate) + 8;

        for (size_t c = 0; c < channelStates.size(); ++c)
        {
            auto& channel = channelStates[c];
            channel.line.setMaximumDelay (longest);
            channel.wow.setFrequency (sampleRate, 0.55 + 0.07 * (double) c);
            channel.flutter.setFrequency (sampleRate, 6.3 - 0.4 * (double) c);
        }
    }

    void AnalogDelay::update()
    {
        targetDelaySamples = std::max (2.0, toPlainValue (time, getParameter (time)) * 0.001 * sampleRate);
        glideCoefficient = std::exp (-1.0 / (0.05 * sampleRate));
        level = getParameter (echoLevel);
        feedbackGain = toPlainValue (feedback, getParameter (feedback));
        toneCoefficient = onePoleCoefficient (std::min (toPlainValue (tone, getParameter (tone)), 0.45 * sampleRate),
                                              sampleRate);
        lowCutCoefficient = onePoleCoefficient (80.0, sampleRate);
        tapeAmount = getParameter (tape);
        wowDepthSamples = 0.25e-3 * sampleRate * tapeAmount;
    }

    double AnalogDelay::getTailSeconds() const
    {
        // Each repeat is feedbackGain quieter: count the repeats down to -60 dB.
        auto seconds = targetDelaySamples / sampleRate;
        auto repeats = feedbackGain > 0.001 ? 1.0 + 3.0 / -std::log10 (feedbackGain) : 1.0;
        return seconds * repeats;
    }

    void AnalogDelay::reset()
    {
        for (size_t c = 0; c < channelStates.size(); ++c)
        {
            auto& channel = channelStates[c];
            channel.line.reset();
            channel.toneState = channel.lowCutState = 0.0;
            channel.wow.setPhase (1.7 * (double) c);
            channel.flutter.setPhase (0.9 + 2.1 * (double) c);
        }

        delaySamples = targetDelaySamples;
    }

    void AnalogDelay::processEnabled (double* const* channels, int numChannels, int numSamples)
    {
        if (numChannels < 1)
            return;

        auto usedChannels = std::min (numChannels, (int) channelStates.size());
        auto longest = (double) channelStates[0].line.getMaximumDelay() - 4.0;
        auto startDelay = delaySamples;

        for (int c = 0; c < usedChannels; ++c)
        {
            auto& state = channelStates[(size_t) c];
            auto* samples = channels[c];
            auto d = startDelay;

            for (int i = 0; i < numSamples; ++i)
            {
                d = targetDelaySamples + (d - targetDelaySamples) * glideCoefficient;
                auto modulation = wowDepthSamples * (0.75 * state.wow.next() + 0.25 * state.flutter.next());
                auto readDelay = std::clamp (d + modulation, 2.0, longest);

                auto echo = state.line.readCubic (readDelay);
                state.toneState += toneCoefficient * (echo - state.toneState);
                state.lowCutState += lowCutCoefficient * (state.toneState - state.lowCutState);
                echo = state.toneState - state.lowCutState;

                auto dry = samples[i];
                auto record = dry + feedbackGain * echo;
                record += tapeAmount * (softClip (record) - record);
                state.line.push (record);

                samples[i] = dry + level * echo;
            }

            state.wow.renormalise();
            state.flutter.renormalise();

            if (c == usedChannels - 1)
                delaySamples = d;
        }
    }
}
