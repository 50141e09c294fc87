// vorniq-cli, the program's command-line tool: finds the verb named by the first
// argument and runs it. The verbs themselves live in their own files (Verb.h).
#include "cli/Verb.h"

#include <juce_events/juce_events.h>

#include <iostream>

int main (int argc, char* argv[])
{
    // The library code shares its placeholder pictures through JUCE's image cache,
    // whose housekeeping timer needs a message manager; no window is ever opened.
    const juce::ScopedJuceInitialiser_GUI juceInitialiser;

    juce::StringArray arguments;

    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    if (arguments.isEmpty())
    {
        std::cerr << Verb::getUsage() << std::flush;
        return ExitStatus::usage;
    }

    const auto verbName = arguments[0];

    if (verbName == "help" || verbName == "--help" || verbName == "-h")
    {
        std::cout << Verb::getUsage() << std::flush;
        return ExitStatus::success;
    }

    auto* verb = Verb::find (verbName);

    if (verb == nullptr)
    {
        std::cerr << "vorniq-cli: unknown verb \"" << verbName << "\"\n" << Verb::getUsage() << std::flush;
        return ExitStatus::usage;
    }

    arguments.remove (0);
    return verb->run (arguments);
}
