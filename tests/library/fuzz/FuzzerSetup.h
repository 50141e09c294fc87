// What both fuzzers share: JUCE started once, and its assertions either made fatal,
// so that libFuzzer keeps the input that set one off, or silenced.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>
#include <cstdlib>

namespace FuzzerSetup
{
    class AssertionLogger : public juce::Logger
    {
    public:
        explicit AssertionLogger (bool fatal) : assertionsAreFatal (fatal) {}

        // JUCE is never shut down here, so its singletons assert as the process
        // exits; that is no finding.
        static inline bool exiting = false;

        void logMessage (const juce::String& message) override
        {
            if (assertionsAreFatal && ! exiting && message.startsWith ("JUCE Assertion failure"))
            {
                std::fprintf (stderr, "%s\n", message.toRawUTF8());
                std::abort();
            }
        }

    private:
        bool assertionsAreFatal;
    };

    inline void start (bool assertionsAreFatal)
    {
        // Never deleted, as the fuzzer ends the process from inside its loop; held
        // here so that the leak checker does not count it.
        static juce::ScopedJuceInitialiser_GUI* juceInitialiser = new juce::ScopedJuceInitialiser_GUI();
        static AssertionLogger* logger = new AssertionLogger (assertionsAreFatal);
        juce::ignoreUnused (juceInitialiser);
        juce::Logger::setCurrentLogger (logger);
        std::atexit ([] { AssertionLogger::exiting = true; });
    }
}
