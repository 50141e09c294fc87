#include "shell/QVApplication.h"
#include "shell/DebugLog.h"
#include "shell/InstanceChannel.h"
#include "shell/MainWindow.h"
#include "shell/ResourcePaths.h"
#include "shell/Settings.h"
#include "shell/TerminationSignals.h"
#include "shell/UpdateCheckers.h"

namespace
{
    std::unique_ptr<InstanceChannel>& instanceChannel()
    {
        static std::unique_ptr<InstanceChannel> channel;
        return channel;
    }

    // The update checkers live from their first start to the end of the process; a
    // check still waiting for the server is called off at shutdown, never waited for.
    VersionChecker& applicationChecker()
    {
        static VersionChecker checker;
        return checker;
    }

    FirmwareVersionChecker& startupFirmwareChecker()
    {
        static FirmwareVersionChecker checker;
        return checker;
    }

    FirmwareVersionChecker& relaunchFirmwareChecker()
    {
        static FirmwareVersionChecker checker;
        return checker;
    }

    bool applicationCheckerUsed = false, startupFirmwareCheckerUsed = false, relaunchFirmwareCheckerUsed = false;
}

//==============================================================================
class QVApplication::AsyncQuitRetrier : private juce::Timer
{
public:
    AsyncQuitRetrier() { startTimer (200); }

private:
    void timerCallback() override
    {
        stopTimer();
        delete this;

        if (auto* app = juce::JUCEApplicationBase::getInstance())
            app->systemRequestedQuit();
    }
};

//==============================================================================
QVApplication::QVApplication() = default;

QVApplication::~QVApplication()
{
    mainWindow.reset();
    settings.reset();
}

const juce::String QVApplication::getApplicationName()    { return "Vorniq"; }
const juce::String QVApplication::getApplicationVersion() { return "9.0.0.39"; }
// One copy per user is kept by the instance channel (Main.cpp), before the framework
// starts. JUCE's own check on Linux is a lock file shared by every user of the machine
// that cannot hand the command line over, so it is left out.
bool QVApplication::moreThanOneInstanceAllowed()          { return true; }

QVApplication* QVApplication::getRunningApplication()
{
    return dynamic_cast<QVApplication*> (juce::JUCEApplicationBase::getInstance());
}

void QVApplication::adoptInstanceChannel (std::unique_ptr<InstanceChannel> channel)
{
    instanceChannel() = std::move (channel);
}

void QVApplication::initialise (const juce::String& commandLine)
{
    // 1. The settings store.
    settings.reset (getAppProperties());
    settings->setStorageParameters (getSettingsFileOptions());
    auto* userSettings = settings->getUserSettings();

    // 2. Language, always written back so the key exists after the first start.
    auto language = userSettings->getValue (SettingsKeys::language, SettingsDefaults::languageUnset);

    if (language == SettingsDefaults::languageUnset)
        language = getDefaultLanguage();

    userSettings->setValue (SettingsKeys::language, language);

    // 3. Translations, for Japanese only.
    if (language == "ja")
    {
        auto path = getTranslationFilePath();

        if (path.isNotEmpty() && juce::File (path).existsAsFile())
            juce::LocalisedStrings::setCurrentMappings (new juce::LocalisedStrings (juce::File (path), false));
    }
    else
    {
        juce::LocalisedStrings::setCurrentMappings (nullptr);
    }

    // 4. and 5. Update checks.
    if (userSettings->getBoolValue (SettingsKeys::notifyNewApp, SettingsDefaults::notifyNewApp))
    {
        applicationCheckerUsed = true;
        applicationChecker().startThread();
    }

    startupFirmwareCheckerUsed = true;
    startFirmwareCheck (startupFirmwareChecker());

    // 6. Library path.
    juce::String libraryPath;

    if (userSettings->containsKey (SettingsKeys::libraryPath))
    {
        libraryPath = userSettings->getValue (SettingsKeys::libraryPath);
    }
    else
    {
        libraryPath = getDefaultLibraryPath();
        userSettings->setValue (SettingsKeys::libraryPath, libraryPath);
    }

    // 7. Thumbnail folder; a failure to create it is not fatal.
    juce::File thumbnails (libraryPath + "Thumbnails/");

    if (! thumbnails.isDirectory())
        thumbnails.createDirectory();

    // 8. Launch decision.
    auto autoLaunch = userSettings->getBoolValue (SettingsKeys::autoLaunch, SettingsDefaults::autoLaunch);

    if ((! autoLaunch && commandLine.contains ("-connected:")) || commandLine.contains ("-disconnected:"))
    {
        debugLog ("launch declined by the command line");
        juce::Process::terminate();
    }

    // 9. to 11.
    mainWindow = std::make_unique<MainWindow> (getApplicationName());
    handleCommandLine (commandLine);
    cameraWatcher.addListener (this);

    if (auto& channel = instanceChannel())
        channel->startReceiving ([] (const std::string& received)
        {
            auto text = juce::String::fromUTF8 (received.data(), (int) received.size());

            juce::MessageManager::callAsync ([text]
            {
                if (auto* app = getRunningApplication())
                    app->anotherInstanceStarted (text);
            });
        });

    TerminationSignals::startHandling ([]
    {
        juce::MessageManager::callAsync ([]
        {
            debugLog ("termination signal: quit requested");

            if (auto* app = juce::JUCEApplicationBase::getInstance())
                app->systemRequestedQuit();
        });
    });

    debugLog ("started");
}

void QVApplication::startFirmwareCheck (FirmwareVersionChecker& checker)
{
    auto* userSettings = getAppProperties()->getUserSettings();

    if (! userSettings->getBoolValue (SettingsKeys::notifyNewFirmware, SettingsDefaults::notifyNewFirmware)
        || ! cameraWatcher.isConnected())
        return;

    checker.setRequest (getUpdateServerBaseUrl() + "/archive/vorniq/" + juce::String (cameraWatcher.getModelName())
                            + "ver.txt",
                        juce::String (cameraWatcher.getFirmwareVersion()));
    checker.startThread();
}

bool QVApplication::handleCommandLine (const juce::String& commandLine)
{
    auto connected = commandLine.indexOf ("-connected:");

    if (connected >= 0)
    {
        auto p = connected + (int) std::strlen ("-connected:");

        if (commandLine[p] == '"')
        {
            auto closing = commandLine.indexOfChar (p + 1, '"');

            if (closing >= 0)
                mainWindow->setCameraFolder (juce::File (commandLine.substring (p + 1, closing)));
        }
    }
    else if (commandLine.contains ("-disconnected:"))
    {
        mainWindow->setCameraFolder (juce::File());
    }
    else
    {
        mainWindow->setCameraFolder (juce::File (juce::String (cameraWatcher.getVolumePath())));
    }

    return true;
}

void QVApplication::anotherInstanceStarted (const juce::String& commandLine)
{
    debugLog ("another start handed over: %s", commandLine.toRawUTF8());
    cameraWatcher.rescan();

    if (mainWindow != nullptr)
        handleCommandLine (commandLine);

    relaunchFirmwareCheckerUsed = true;
    startFirmwareCheck (relaunchFirmwareChecker());
}

void QVApplication::systemRequestedQuit()
{
    if (juce::ModalComponentManager::getInstance()->cancelAllModalComponents())
    {
        debugLog ("quit: modal windows dismissed, trying again in 200 ms");
        new AsyncQuitRetrier();
        return;
    }

    debugLog ("quit");
    quit();
}

void QVApplication::cameraConnected()
{
    applyCameraChange (true);
}

void QVApplication::cameraDisconnected()
{
    applyCameraChange (false);
}

void QVApplication::applyCameraChange (bool connected)
{
    auto apply = [connected]
    {
        auto* app = getRunningApplication();

        if (app == nullptr || app->mainWindow == nullptr)
            return;

        app->mainWindow->setCameraFolder (connected ? juce::File (juce::String (app->cameraWatcher.getVolumePath()))
                                                    : juce::File());
    };

    // A rescan on the message thread (a second start) reports in order, at once; one
    // on a watcher thread is handed over rather than making that thread wait for the
    // message thread.
    if (juce::MessageManager::existsAndIsCurrentThread())
        apply();
    else
        juce::MessageManager::callAsync (apply);
}

void QVApplication::shutdown()
{
    debugLog ("shutting down");
    cameraWatcher.removeListener (this);
    TerminationSignals::stopHandling();
    instanceChannel().reset();

    if (applicationCheckerUsed)
        applicationChecker().cancel();

    if (startupFirmwareCheckerUsed)
        startupFirmwareChecker().cancel();

    if (relaunchFirmwareCheckerUsed)
        relaunchFirmwareChecker().cancel();

    mainWindow.reset();
    settings.reset();
    releaseAppProperties();
}
