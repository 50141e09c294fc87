// Vorniq's entry point: hand the command line to a running copy, or start.
#include "shell/InstanceChannel.h"
#include "shell/QVApplication.h"
#include "shell/TerminationSignals.h"

namespace
{
    juce::JUCEApplicationBase* createVorniqApplication()
    {
        return new QVApplication();
    }

    // The command line as the framework gives it to the application.
    juce::String joinArguments (int argc, char* argv[])
    {
        juce::String joined;

        for (int i = 1; i < argc; ++i)
        {
            juce::String argument (juce::CharPointer_UTF8 (argv[i]));
            joined << (argument.containsChar (' ') && ! argument.isQuotedString() ? argument.quoted ('"') : argument)
                   << ' ';
        }

        return joined.trim();
    }
}

int main (int argc, char* argv[])
{
    TerminationSignals::blockInProcess();

    std::unique_ptr<InstanceChannel> channel;

    if (InstanceChannel::claim (joinArguments (argc, argv).toStdString(), channel)
        == InstanceChannel::Outcome::handedOver)
        return 0;

    QVApplication::adoptInstanceChannel (std::move (channel));

    juce::JUCEApplicationBase::createInstance = &createVorniqApplication;
    return juce::JUCEApplicationBase::main (argc, const_cast<const char**> (argv));
}
