// What "Room", "Hall" and "Plate" share: pre-delay, input diffusion, an optional set
// of early reflections, the late reverberation network and the wet level.
#pragma once

#include "plugins/dsp/AllPassDiffuser.h"
#include "plugins/dsp/DelayLine.h"
#include "plugins/dsp/Effect.h"
#include "plugins/dsp/FeedbackDelayNetwork.h"

#include <array>

namespace effects
{
    /**
        out = in + wet * (early + late). The dry signal passes at unity and undelayed;
        the wet part starts after the pre-delay, goes through a chain of all-pass
        diffusers and into the feedback delay network. A voicing with early
        reflections adds eight discrete reflections per side, spaced by the size.

        Subclasses choose the voicing and turn their parameters into a shape in
        update(); everything else is here.
    */
    class Reverb : public Effect
    {
    public:
        struct Voicing
        {
            FeedbackDelayNetwork::Design network;
            double maximumScale = 1.0;                   ///< largest length scale a size can ask for
            std::array<double, 4> diffuserMilliseconds {};
            int numDiffusers = 0;
            double diffusion = 0.6;                      ///< all-pass feedback
            bool earlyReflections = false;
            double maximumPreDelayMilliseconds = 0.0;
        };

        struct Shape
        {
            double preDelayMilliseconds = 0.0;
            double lengthScale = 1.0;                    ///< stretches lines, diffusers and reflections
            double lowFrequencySeconds = 1.0;            ///< reverberation time (RT60) at low frequencies
            double highFrequencySeconds = 0.5;           ///< RT60 near Nyquist
            double wetLevel = 0.0;
        };

        void reset() override;
        double getTailSeconds() const override;
        

        /** The shape now in use (from the parameters). */
        const Shape& getShape() const noexcept       { return shape; }

    protected:
        Reverb (const ParameterInfo* table, int numberOfParameters, const Voicing& voicing);

        /** Subclasses call this from update(). */
        void setShape (const Shape& newShape);

    private:
        void allocate (int maximumBlockSize) override;
        void processEnabled (double* const* channels, int numChannels, int numSamples) override;

        Voicing voicing;
        Shape shape;
        FeedbackDelayNetwork network;
        std::array<DelayLine, 2> preDelays, reflectionLines;
        std::array<std::array<AllPassDiffuser, 4>, 2> diffusers;
        std::array<std::array<int, 8>, 2> reflectionDelays {};
        int preDelaySamples = 0;
        bool allocated = false;
    };
}
