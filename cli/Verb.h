// The verbs of vorniq-cli. Each verb lives in a file of its own and registers itself
// with one static Verb::Registration there; Main.cpp only dispatches.
#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <vector>

/** The exit statuses of vorniq-cli. */
namespace ExitStatus
{
    inline constexpr int success = 0;
    inline constexpr int failure = 1;   ///< the work could not be done (message on standard error)
    inline constexpr int usage = 2;     ///< the command line was wrong (usage on standard error)
}

/**
    One verb of the command-line tool: its name (the first argument), the usage lines
    it adds to the tool's help, and the function that runs it with the arguments that
    follow its name. The function writes its results to standard output, its errors
    to standard error, and returns an ExitStatus.

    Registrations happen during static initialisation, before main; everything else
    runs on the tool's main thread, which is JUCE's message thread.
*/
class Verb
{
public:
    using Run = std::function<int (const juce::StringArray& arguments)>;

    /** Adds a verb to the tool. Declare one as a static object in the verb's file:
            static const Verb::Registration registration ("probe", { "probe <media file>" }, runProbe); */
    class Registration
    {
    public:
        Registration (const char* name, std::initializer_list<const char*> usageLines, Run run);
    };

    juce::String name;
    juce::StringArray usageLines;   ///< without the leading "vorniq-cli "
    Run run;

    /** Every registered verb, ordered by name. */
    static std::vector<const Verb*> getAll();

    /** The verb with that name, or null. */
    static const Verb* find (const juce::String& name);

    /** The whole usage text of the tool, every verb's lines. */
    static juce::String getUsage();
};

/** Writes "vorniq-cli: <message>" and a line break to standard error and returns
    ExitStatus::failure, for verbs to end with. */
int reportFailure (const juce::String& message);

/** Writes "vorniq-cli: <message>", the usage lines of verb and a line break to
    standard error and returns ExitStatus::usage. */
int reportUsageError (const juce::String& message, const Verb& verb);

/** A file named on the command line, relative to the working folder. */
juce::File fileFromArgument (const juce::String& argument);

/** Reads a time in seconds (a finite number, not negative); false when text is not one. */
bool parseSeconds (const juce::String& text, double& seconds);
