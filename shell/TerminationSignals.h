// SIGTERM, SIGINT and SIGHUP (a desktop session ending, Ctrl-C, a closed terminal)
// become ordinary quit requests instead of killing the program mid-write.
#pragma once

#include <functional>

namespace TerminationSignals
{
    /** Blocks the signals in the calling thread and so in every thread started from
        it afterwards. Call first thing in main, before any thread exists. */
    void blockInProcess();

    /** Starts a thread that waits for the signals and calls onSignal (on that thread)
        for each one. A signal that arrived earlier is delivered at once. */
    void startHandling (std::function<void()> onSignal);

    /** Ends the waiting thread. Signals arriving afterwards stay pending. */
    void stopHandling();
}
