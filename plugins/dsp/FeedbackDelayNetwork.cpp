#include "plugins/dsp/FeedbackDelayNetwork.h"

#include <algorithm>
#include <cmath>

namespace effects
{
    namespace
    {
        // Signs with which the two inputs reach the lines, and with which the lines
        // make the two outputs (two different rows of the Hadamard matrix).
        constexpr std::array<double, 8> leftInputSigns  {  1, -1,  1,  1, -1,  1, -1, -1 };
        constexpr std::array<double, 8> rightInputSigns {  1,  1, -1,  1,  1, -1, -1,  1 };
        constexpr std::array<double, 8> leftOutputSigns {  1,  1,  1,  1, -1, -1, -1, -1 };
        constexpr std::array<double, 8> rightOutputSigns { 1, -1,  1, -1,  1, -1,  1, -1 };

        constexpr std::array<double, 4> modulationHertz { 0.31, 0.43, 0.57, 0.71 };
    }

    void FeedbackDelayNetwork::allocate (double newSampleRate, const Design& newDesign, double newMaximumScale)
    {
        sampleRate = newSampleRate;
        design = newDesign;
        maximumScale = newMaximumScale;
        modulationSamples = design.modulationMilliseconds * 0.001 * sampleRate;

        for (int i = 0; i < numLines; ++i)
        {
            auto longest = design.lineMilliseconds[(size_t) i] * 0.001 * sampleRate * maximumScale;
            lines[(size_t) i].setMaximumDelay ((int) std::ceil (longest + modulationSamples) + 4);
        }

        for (size_t i = 0; i < modulators.size(); ++i)
            modulators[i].setFrequency (sampleRate, modulationHertz[i]);

        reset();
    }

    void FeedbackDelayNetwork::configure (double lengthScale, double lowFrequencySeconds, double highFrequencySeconds)
    {
        auto scale = std::clamp (lengthScale, 0.05, maximumScale);
        auto lowTime = std::max (lowFrequencySeconds, 0.01);
        auto highTime = std::clamp (highFrequencySeconds, 0.005, lowTime);
        double gainSum = 0.0;

        for (size_t i = 0; i < (size_t) numLines; ++i)
        {
            auto length = std::max (2.0 + modulationSamples, design.lineMilliseconds[i] * 0.001 * sampleRate * scale);
            lengths[i] = length;

            // Jot: gain for -60 dB over the reverberation time; a one-pole low-pass
            // whose Nyquist gain gives the high-frequency time.
            auto seconds = length / sampleRate;
            auto g = std::pow (10.0, -3.0 * seconds / lowTime);
            auto highGain = std::pow (10.0, -3.0 * seconds / highTime);
            auto r = highGain / g;                        // (1 - p) / (1 + p)
            gains[i] = g;
            poles[i] = (1.0 - r) / (1.0 + r);
            gainSum += g;
        }

        auto meanGain = gainSum / numLines;
        inputGain = std::sqrt (std::max (1.0 - meanGain * meanGain, 1.0e-6));
    }

    void FeedbackDelayNetwork::reset()
    {
        for (auto& line : lines)
            line.reset();

        filterStates.fill (0.0);

        for (size_t i = 0; i < modulators.size(); ++i)
            modulators[i].setPhase (1.3 * (double) i);
    }

    void FeedbackDelayNetwork::process (double inLeft, double inRight, double& outLeft, double& outRight) noexcept
    {
        std::array<double, numLines> v;

        for (size_t i = 0; i < (size_t) numLines; ++i)
        {
            auto raw = i < modulators.size() && modulationSamples > 0.0
                         ? lines[i].readLinear (lengths[i] + modulationSamples * modulators[i].next())
                         : lines[i].read ((int) lengths[i]);

            filterStates[i] = (1.0 - poles[i]) * raw + poles[i] * filterStates[i];
            v[i] = gains[i] * filterStates[i];
        }

        double left = 0.0, right = 0.0;

        for (size_t i = 0; i < (size_t) numLines; ++i)
        {
            left += leftOutputSigns[i] * v[i];
            right += rightOutputSigns[i] * v[i];
        }

        constexpr double outputScale = 0.35355339059327373;   // 1 / sqrt (8)
        outLeft = left * outputScale;
        outRight = right * outputScale;

        // Fast Hadamard transform, scaled to stay lossless.
        for (size_t half = 1; half < (size_t) numLines; half <<= 1)
        {
            for (size_t start = 0; start < (size_t) numLines; start += half << 1)
            {
                for (size_t j = start; j < start + half; ++j)
                {
                    auto a = v[j], b = v[j + half];
                    v[j] = a + b;
                    v[j + half] = a - b;
                }
            }
        }

        auto l = inLeft * inputGain, r = inRight * inputGain;

        for (size_t i = 0; i < (size_t) numLines; ++i)
            lines[i].push (v[i] * outputScale + leftInputSigns[i] * l + rightInputSigns[i] * r);
    }

    void FeedbackDelayNetwork::endBlock() noexcept
    {
        for (auto& modulator : modulators)
            modulator.renormalise();
    }
}
