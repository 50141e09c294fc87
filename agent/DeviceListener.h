// What the launcher agent does when the watcher reports a camera: start Vorniq.
#pragma once

#include "device/CameraDeviceWatcher.h"

#include <string>

/**
    Starts the program at a fixed path, without arguments and without waiting for it,
    each time a camera is connected; does nothing when it goes.

    Called by the watcher on its delivering thread (a hotplug rescan thread); returns
    as soon as the program has been started.
*/
class DeviceListener : public CameraDeviceListener
{
public:
    /** programPath: the executable to start on each connect. */
    explicit DeviceListener (std::string programPath);
    ~DeviceListener() override;

    /** Starts the program; when it is missing or cannot be started, nothing happens. */
    void cameraConnected() override;

    /** Does nothing: a running Vorniq notices the camera going by itself. */
    void cameraDisconnected() override;

private:
    const std::string programPath;

    DeviceListener (const DeviceListener&) = delete;
    DeviceListener& operator= (const DeviceListener&) = delete;
};

/** Starts the executable at path with no arguments, in a session of its own, with
    the default signal mask and SIGINT/SIGTERM at their default actions, and never waits
    for it: a detached thread collects its exit status so that no zombie remains.
    False when it could not be started. Any thread. */
bool startDetached (const std::string& path);
