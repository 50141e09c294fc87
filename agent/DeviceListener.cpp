#include "agent/DeviceListener.h"

#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

DeviceListener::DeviceListener (std::string path)
    : programPath (std::move (path))
{
}

DeviceListener::~DeviceListener() = default;

void DeviceListener::cameraConnected()
{
    startDetached (programPath);
}

void DeviceListener::cameraDisconnected()
{
}

bool startDetached (const std::string& path)
{
    posix_spawnattr_t attributes;

    if (posix_spawnattr_init (&attributes) != 0)
        return false;

    // The agent blocks its end signals for sigwait; the program must not inherit that.
    sigset_t noSignals, endSignals;
    sigemptyset (&noSignals);
    sigemptyset (&endSignals);
    sigaddset (&endSignals, SIGINT);
    sigaddset (&endSignals, SIGTERM);

    posix_spawnattr_setsigmask (&attributes, &noSignals);
    posix_spawnattr_setsigdefault (&attributes, &endSignals);
    posix_spawnattr_setflags (&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    std::string argumentZero (path);
    char* arguments[] = { argumentZero.data(), nullptr };

    pid_t child = 0;
    const auto result = posix_spawn (&child, path.c_str(), nullptr, &attributes, arguments, environ);
    posix_spawnattr_destroy (&attributes);

    if (result != 0)
        return false;

    try
    {
        std::thread ([child]
        {
            while (::waitpid (child, nullptr, 0) < 0 && errno == EINTR)
            {
            }
        }).detach();
    }
    catch (const std::system_error&)
    {
        // No thread to be had: the child is collected when the agent ends.
    }

    return true;
}
