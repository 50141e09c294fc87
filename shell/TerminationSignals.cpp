#include "shell/TerminationSignals.h"

#include <atomic>
#include <pthread.h>
#include <csignal>
#include <ctime>
#include <thread>

namespace
{
    sigset_t terminationSet()
    {
        sigset_t set;
        sigemptyset (&set);
        sigaddset (&set, SIGTERM);
        sigaddset (&set, SIGINT);
        sigaddset (&set, SIGHUP);
        return set;
    }

    std::atomic<bool> stopRequested { false };
    std::thread waiter;
}

namespace TerminationSignals
{
    void blockInProcess()
    {
        auto set = terminationSet();
        pthread_sigmask (SIG_BLOCK, &set, nullptr);

        // Programs started from here (the ffmpeg tool, a document viewer) must stay
        // stoppable: a blocked mask would survive their exec. A forked child unblocks
        // the signals again before it runs anything.
        static const bool childHandlerInstalled = [] { return pthread_atfork (nullptr, nullptr, [] {
            auto signals = terminationSet();
            pthread_sigmask (SIG_UNBLOCK, &signals, nullptr);
        }) == 0; }();
        (void) childHandlerInstalled;
    }

    void startHandling (std::function<void()> onSignal)
    {
        stopHandling();
        stopRequested = false;

        waiter = std::thread ([callback = std::move (onSignal)]
        {
            auto set = terminationSet();
            const timespec pollInterval { 0, 100 * 1000 * 1000 };

            while (! stopRequested)
                if (sigtimedwait (&set, nullptr, &pollInterval) > 0 && ! stopRequested)
                    callback();
        });
    }

    void stopHandling()
    {
        stopRequested = true;

        if (waiter.joinable())
            waiter.join();
    }
}
