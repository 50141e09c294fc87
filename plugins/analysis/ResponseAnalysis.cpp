#include "plugins/analysis/ResponseAnalysis.h"

#include <cmath>
#include <limits>

namespace effects
{
    std::vector<double> ResponseAnalysis::logFrequencies (double low, double high, int count)
    {
        std::vector<double> frequencies;

        for (int i = 0; i < count; ++i)
            frequencies.push_back (low * std::pow (high / low, count > 1 ? (double) i / (count - 1) : 0.0));

        return frequencies;
    }

    std::vector<double> ResponseAnalysis::magnitudeDb (const std::vector<double>& impulseResponse,
                                                       const std::vector<double>& frequencies, double sampleRate)
    {
        std::vector<double> result;

        for (auto frequency : frequencies)
        {
            auto w = 6.283185307179586 * frequency / sampleRate;
            auto coefficient = 2.0 * std::cos (w);
            double s1 = 0.0, s2 = 0.0;

            for (auto x : impulseResponse)
            {
                auto s = x + coefficient * s1 - s2;
                s2 = s1;
                s1 = s;
            }

            // |X(w)|^2 from the Goertzel state after the last sample.
            auto power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
            result.push_back (10.0 * std::log10 (std::max (power, 1.0e-300)));
        }

        return result;
    }

    std::vector<double> ResponseAnalysis::energyDecayDb (const std::vector<std::vector<double>>& channels)
    {
        size_t length = 0;

        for (const auto& channel : channels)
            length = std::max (length, channel.size());

        std::vector<double> energy (length, 0.0);
        double sum = 0.0;

        for (size_t i = length; i-- > 0;)
        {
            for (const auto& channel : channels)
                if (i < channel.size())
                    sum += channel[i] * channel[i];

            energy[i] = sum;
        }

        auto total = length > 0 ? energy[0] : 0.0;

        for (auto& e : energy)
            e = e > 0.0 && total > 0.0 ? 10.0 * std::log10 (e / total) : -std::numeric_limits<double>::infinity();

        return energy;
    }

    double ResponseAnalysis::decayTimeSeconds (const std::vector<double>& energyDecay, double sampleRate,
                                               double fromDb, double toDb)
    {
        double n = 0.0, sumT = 0.0, sumY = 0.0, sumTT = 0.0, sumTY = 0.0;
        auto reached = false;

        for (size_t i = 0; i < energyDecay.size(); ++i)
        {
            auto y = energyDecay[i];

            if (y > fromDb)
                continue;

            if (y < toDb)
            {
                reached = true;
                break;
            }

            auto t = (double) i / sampleRate;
            n += 1.0;
            sumT += t;
            sumY += y;
            sumTT += t * t;
            sumTY += t * y;
        }

        if (! reached || n < 2.0)
            return 0.0;

        auto slope = (n * sumTY - sumT * sumY) / (n * sumTT - sumT * sumT);    // dB per second
        return slope < 0.0 ? -60.0 / slope : 0.0;
    }
}
