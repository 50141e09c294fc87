// The common face of the eight effects: a small table of normalised parameters and
// in-place processing of double-precision channels. Plain C++, nothing of JUCE.
#pragma once

#include <array>

namespace effects
{
    /** How a host should present one parameter. */
    struct ParameterInfo
    {
        const char* name;       ///< short title, e.g. "Crossover"
        const char* units;      ///< units of the plain value, e.g. "Hz"; "" for none
        double defaultValue;    ///< normalised, 0..1
        bool isSwitch;          ///< an on/off switch: stored as exactly 1.0 (value >= 0.5) or 0.0
    };

    /**
        One effect. Parameter 0 of every effect is its on/off switch ("Enabled"); an
        effect that is off passes its input unchanged (the Isolator and the Mixer
        define what "unchanged" means for their channel routing).

        Threads: prepare() is not real-time (it allocates); setParameter(), reset()
        and process() are real-time safe and must all come from the one thread that
        processes, or from any thread while nothing processes. Nothing here locks.
    */
    class Effect
    {
    public:
        static constexpr int maxParameters = 8;

        virtual ~Effect() = default;

        /** The number of parameters, including the switch at index 0. */
        int getNumParameters() const noexcept                      { return numParameters; }

        /** The table entry of one parameter; index must be below getNumParameters(). */
        const ParameterInfo& getParameterInfo (int index) const     { return table[index]; }

        /** Stores a normalised value, clamped to 0..1 (switches snap to 0 or 1), and
            updates whatever depends on it. Indices outside the table are ignored. */
        void setParameter (int index, double normalisedValue);

        /** The stored normalised value, or 0.0 for an index outside the table. */
        double getParameter (int index) const noexcept;

        /** True while parameter 0 reads 1.0. */
        bool isEnabled() const noexcept                             { return values[0] >= 0.5; }

        /** The value in the parameter's units (Hz, ms, dB, s, ...) that a normalised
            value stands for. */
        virtual double toPlainValue (int index, double normalisedValue) const = 0;

        /** Allocates for a sample rate and a largest block, then resets. */
        void prepare (double newSampleRate, int maximumBlockSize);

        /** Forgets the signal so far (delay lines, envelopes, filter states). */
        virtual void reset() = 0;

        /** Processes numSamples samples of numChannels channels in place. Every
            pointer below numChannels is valid; one channel is treated as mono. An
            effect that was off starts from silence when it is switched on again, so
            no echo or tail of what it heard before comes back. */
        void process (double* const* channels, int numChannels, int numSamples);

        /** How long the effect goes on sounding after its input falls silent. */
        virtual double getTailSeconds() const                         { return 0.0; }

        double getSampleRate() const noexcept                        { return sampleRate; }

    protected:
        Effect (const ParameterInfo* parameterTable, int numberOfParameters);

        /** Allocates the effect's buffers for sampleRate (already set). */
        virtual void allocate (int maximumBlockSize) = 0;

        /** Recomputes what follows from the stored parameter values and the sample
            rate. Called after every change and after prepare(). */
        virtual void update() = 0;

        /** The work while the effect is on. */
        virtual void processEnabled (double* const* channels, int numChannels, int numSamples) = 0;

        /** What the effect does while it is off: by default nothing (the signal passes). */
        virtual void processDisabled (double* const*, int, int) {}

        double sampleRate = 44100.0;

    private:
        const ParameterInfo* table;
        int numParameters;
        bool resetBeforeNextBlock = false;
        std::array<double, maxParameters> values {};
    };
}
