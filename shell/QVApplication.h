// The application object: start-up decision, command line, single instance, camera
// events, quitting and shutdown.
#pragma once

#include "device/CameraDeviceWatcher.h"

#include <juce_gui_basics/juce_gui_basics.h>

class MainWindow;
class InstanceChannel;

/**
    Vorniq's application object. It lives for the whole run and owns the camera
    watcher, the settings store and the main window.

    Threads: everything runs on the message thread, except cameraConnected() and
    cameraDisconnected(), which the watcher calls on its rescan threads; those hand
    the change to the message thread asynchronously, so the watcher and the message
    thread never wait for each other.
*/
class QVApplication : public juce::JUCEApplication,
                      public CameraDeviceListener
{
public:
    QVApplication();
    ~QVApplication() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;

    void cameraConnected() override;
    void cameraDisconnected() override;

    /** Interprets "-connected:" and "-disconnected:"; always returns true. Message thread. */
    bool handleCommandLine (const juce::String& commandLine);

    /** The channel through which later starts hand their command lines over; the
        program's entry point sets it before the framework starts. */
    static void adoptInstanceChannel (std::unique_ptr<InstanceChannel> channel);

    /** The camera watcher, for the parts of the program that ask about the camera. */
    CameraDeviceWatcher& getCameraWatcher() { return cameraWatcher; }

    /** The running application object, or null. */
    static QVApplication* getRunningApplication();

private:
    class AsyncQuitRetrier;

    void startFirmwareCheck (class FirmwareVersionChecker& checker);
    void applyCameraChange (bool connected);

    CameraDeviceWatcher cameraWatcher;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<juce::ApplicationProperties> settings;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QVApplication)
};
