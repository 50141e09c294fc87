#include "cli/Verb.h"

#include <cmath>

#include <algorithm>
#include <iostream>
#include <memory>

namespace
{
    // Built on first use, so registrations from any file's static initialisation
    // find it ready.
    std::vector<std::unique_ptr<Verb>>& registeredVerbs()
    {
        static std::vector<std::unique_ptr<Verb>> verbs;
        return verbs;
    }
}

Verb::Registration::Registration (const char* name, std::initializer_list<const char*> usageLines, Run run)
{
    auto verb = std::make_unique<Verb>();
    verb->name = name;

    for (auto* line : usageLines)
        verb->usageLines.add (line);

    verb->run = std::move (run);
    jassert (Verb::find (verb->name) == nullptr);
    registeredVerbs().push_back (std::move (verb));
}

std::vector<const Verb*> Verb::getAll()
{
    std::vector<const Verb*> all;

    for (auto& verb : registeredVerbs())
        all.push_back (verb.get());

    std::sort (all.begin(), all.end(), [] (auto* a, auto* b) { return a->name < b->name; });
    return all;
}

const Verb* Verb::find (const juce::String& name)
{
    for (auto& verb : registeredVerbs())
        if (verb->name == name)
            return verb.get();

    return nullptr;
}

juce::String Verb::getUsage()
{
    juce::String usage ("usage:\n");

    for (auto* verb : getAll())
        for (auto& line : verb->usageLines)
            usage << "  vorniq-cli " << line << "\n";

    usage << "  vorniq-cli help\n";
    return usage;
}

int reportFailure (const juce::String& message)
{
    std::cerr << "vorniq-cli: " << message << std::endl;
    return ExitStatus::failure;
}

int reportUsageError (const juce::String& message, const Verb& verb)
{
    std::cerr << "vorniq-cli: " << message << "\nusage:\n";

    for (auto& line : verb.usageLines)
        std::cerr << "  vorniq-cli " << line << "\n";

    std::cerr << std::flush;
    return ExitStatus::usage;
}

juce::File fileFromArgument (const juce::String& argument)
{
    return juce::File::getCurrentWorkingDirectory().getChildFile (argument);
}

bool parseSeconds (const juce::String& text, double& seconds)
{
    auto trimmed = text.trim();

    if (trimmed.isEmpty() || ! trimmed.containsOnly ("0123456789.+-eE"))
        return false;

    seconds = trimmed.getDoubleValue();
    return std::isfinite (seconds) && seconds >= 0.0;
}
