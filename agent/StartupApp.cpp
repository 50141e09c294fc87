// VorniqStartupApp: started with the desktop session, it has no window and starts
// Vorniq whenever one of the maker's cameras is plugged in. It ends on SIGTERM or SIGINT.
#include "agent/DeviceListener.h"
#include "device/CameraDeviceWatcher.h"

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>

#include <pthread.h>

namespace
{
    /** Where Vorniq was installed, unless $VORNIQ_LAUNCH_PATH says otherwise (tests). */
    std::string getLaunchPath()
    {
        if (const char* path = std::getenv ("VORNIQ_LAUNCH_PATH"); path != nullptr && *path != 0)
            return path;

        return VORNIQ_DEFAULT_LAUNCH_PATH;
    }
}

int main()
{
    // Blocked before the watcher starts its threads, so that every thread inherits the
    // mask and the signals wait for sigwait below instead of killing the agent mid-way.
    sigset_t endSignals;
    sigemptyset (&endSignals);
    sigaddset (&endSignals, SIGTERM);
    sigaddset (&endSignals, SIGINT);
    pthread_sigmask (SIG_BLOCK, &endSignals, nullptr);

    auto listener = std::make_unique<DeviceListener> (getLaunchPath());

    // The watcher's first rescan runs before the listener is registered: a camera that
    // is already plugged in starts nothing.
    auto watcher = std::make_unique<CameraDeviceWatcher>();
    watcher->addListener (listener.get());

    int received = 0;

    while (sigwait (&endSignals, &received) != 0)
    {
    }

    watcher->removeListener (listener.get());
    listener.reset();
    watcher.reset();
    return 0;
}
