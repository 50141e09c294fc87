// The late reverberation shared by "Room", "Hall" and "Plate": eight delay lines
// mixed through a Hadamard matrix, with frequency-dependent decay (Jot's method).
#pragma once

#include "plugins/dsp/DelayLine.h"
#include "plugins/dsp/SinePhasor.h"

#include <array>

namespace effects
{
    /**
        Each line's output is filtered by a one-pole low-pass whose gain makes the
        line lose exactly 60 dB in the reverberation time at low frequencies and in
        the high-frequency time near Nyquist. The lines are then mixed by a scaled
        8 x 8 Hadamard matrix (lossless), and the two input channels are added back
        in with different sign patterns. The two outputs are orthogonal sums of the
        lines, so left and right are decorrelated. The first four lines can be
        modulated slowly, which smears the modes of long tails.

        The input is scaled by sqrt(1 - g^2) for the mean loop gain g, which keeps the
        energy of the tail about the same for every reverberation time.

        Real-time safe after allocate(); not thread-safe (one processing thread).
    */
    class FeedbackDelayNetwork
    {
    public:
        static constexpr int numLines = 8;

        struct Design
        {
            std::array<double, numLines> lineMilliseconds;  ///< lengths at scale 1
            double modulationMilliseconds = 0.0;             ///< depth of the first four lines
        };

        /** Allocates for the design's lines stretched up to maximumScale. */
        void allocate (double sampleRate, const Design& design, double maximumScale);

        /** Line lengths = design lengths * lengthScale; reverberation times in seconds
            at low frequencies and near Nyquist. */
        void configure (double lengthScale, double lowFrequencySeconds, double highFrequencySeconds);

        void reset();

        /** One stereo sample in, one out (the wet signal only). */
        void process (double inLeft, double inRight, double& outLeft, double& outRight) noexcept;

        /** Call once a block: keeps the modulation oscillators exact. */
        void endBlock() noexcept;

    private:
        Design design;
        double sampleRate = 44100.0, maximumScale = 1.0;
        std::array<DelayLine, numLines> lines;
        std::array<double, numLines> lengths {}, gains {}, poles {}, filterStates {};
        std::array<SinePhasor, 4> modulators;
        double modulationSamples = 0.0, inputGain = 1.0;
    };
}
