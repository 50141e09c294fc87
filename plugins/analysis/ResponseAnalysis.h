// Measurements of an effect's responses: magnitude at chosen frequencies, the energy
// decay curve of an impulse response and the decay time read from it. Used by the
// tests, the benchmarks and the plot tool alike, so all of them measure the same way.
#pragma once

#include <vector>

namespace effects
{
    /** Stateless; any thread. */
    struct ResponseAnalysis
    {
        /** count frequencies spaced evenly on a logarithmic axis from low to high. */
        static std::vector<double> logFrequencies (double low, double high, int count);

        /** The magnitude in dB of the transfer function whose impulse response is given,
            at each frequency (a Goertzel sum over the whole response). */
        static std::vector<double> magnitudeDb (const std::vector<double>& impulseResponse,
                                                const std::vector<double>& frequencies, double sampleRate);

        /** Schroeder's backward-integrated energy of the response (the channels'
            energies added), in dB relative to the total; -inf where nothing is left. */
        static std::vector<double> energyDecayDb (const std::vector<std::vector<double>>& channels);

        /** The time for a 60 dB decay, extrapolated from a straight-line fit of the
            energy decay curve between fromDb and toDb (T20 for -5 .. -25 dB, T30 for
            -5 .. -35 dB); 0 when the curve never reaches toDb. */
        static double decayTimeSeconds (const std::vector<double>& energyDecay, double sampleRate,
                                        double fromDb = -5.0, double toDb = -25.0);
    };
}
