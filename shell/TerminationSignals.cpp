#include "shell/TerminationSignals.h"

#include <atomic>
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
