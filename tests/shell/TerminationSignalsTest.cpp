// Quit signals are taken by the program's own thread, but whatever it starts can be stopped.
#include "shell/TerminationSignals.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <csignal>

namespace
{
    // The signals blocked in a process, from the SigBlk line of its status.
    unsigned long long blockedSignalsOf (const juce::String& status)
    {
        for (auto& line : juce::StringArray::fromLines (status))
            if (line.startsWith ("SigBlk:"))
                return std::stoull (line.fromFirstOccurrenceOf (":", false, false).trim().toStdString(), nullptr, 16);

        return ~0ull;
    }

    constexpr unsigned long long bit (int signal) { return 1ull << (signal - 1); }
}

TEST (TerminationSignals, BlockedHereButNotInStartedPrograms)
{
    sigset_t before;
    pthread_sigmask (SIG_BLOCK, nullptr, &before);
    TerminationSignals::blockInProcess();

    sigset_t mine;
    pthread_sigmask (SIG_BLOCK, nullptr, &mine);
    EXPECT_TRUE (sigismember (&mine, SIGTERM) && sigismember (&mine, SIGINT) && sigismember (&mine, SIGHUP));

    // Started as the program starts the ffmpeg tool.
    juce::ChildProcess child;
    ASSERT_TRUE (child.start (juce::StringArray { "/bin/cat", "/proc/self/status" }));
    auto blocked = blockedSignalsOf (child.readAllProcessOutput());
    EXPECT_EQ (blocked & (bit (SIGTERM) | bit (SIGINT) | bit (SIGHUP)), 0ull) << std::hex << blocked;

    pthread_sigmask (SIG_SETMASK, &before, nullptr);
}
