#include "shell/UpdateCheckers.h"
#include "shell/DebugLog.h"
#include "ui/Prompter.h"

#include <juce_events/juce_events.h>

#ifndef VORNIQ_UPDATE_BASE_URL
 #define VORNIQ_UPDATE_BASE_URL "http://updates.vorniq.invalid"
#endif

juce::String getUpdateServerBaseUrl()
{
    return juce::SystemStats::getEnvironmentVariable ("VORNIQ_UPDATE_BASE_URL", VORNIQ_UPDATE_BASE_URL);
}

//==============================================================================
namespace VersionTexts
{
    std::string withoutDots (std::string text)
    {
        text.erase (std::remove (text.begin(), text.end(), '.'), text.end());
        return text;
    }

    juce::uint32 leadingNumber (const std::string& text)
    {
        // atoi stops at the first NUL, as the C string it reads would.
        return (juce::uint32) std::atoi (text.c_str());
    }

    bool isNewerApplicationVersion (const std::string& local, const std::string& remote)
    {
        auto localDigits = withoutDots (local);
        auto remoteDigits = withoutDots (remote);

        if (localDigits.size() < remoteDigits.size())
            localDigits.append (remoteDigits.size() - localDigits.size(), '0');

        if (remoteDigits.size() < localDigits.size())
            remoteDigits.append (localDigits.size() - remoteDigits.size(), '0');

        return leadingNumber (localDigits) < leadingNumber (remoteDigits);
    }

    bool isNewerFirmwareVersion (const std::string& current, const std::string& remote)
    {
        return leadingNumber (current) < leadingNumber (withoutDots (remote));
    }
}

//==============================================================================
UpdateCheck::UpdateCheck (const juce::String& threadName)
    : juce::Thread (threadName)
{
}

UpdateCheck::~UpdateCheck()
{
    cancel();
    stopThread (10000);
}

void UpdateCheck::cancel()
{
    signalThreadShouldExit();

    std::lock_guard<std::mutex> guard (streamLock);

    if (activeStream != nullptr)
        activeStream->cancel();
}

std::optional<std::string> UpdateCheck::fetch (const juce::URL& url)
{
    juce::WebInputStream stream (url, false);
    stream.withConnectionTimeout (5000).withNumRedirectsToFollow (5);

    {
        std::lock_guard<std::mutex> guard (streamLock);

        if (threadShouldExit())
            return {};

        activeStream = &stream;
    }

    std::optional<std::string> body;

    if (stream.connect (nullptr) && ! threadShouldExit())
    {
        std::string text;
        char buffer[1024];

        while (! threadShouldExit() && (int) text.size() < maxVersionFileBytes)
        {
            auto wanted = juce::jmin ((int) sizeof (buffer), maxVersionFileBytes - (int) text.size());
            auto got = stream.read (buffer, wanted);

            if (got <= 0)
                break;

            text.append (buffer, (size_t) got);
        }

        if (! threadShouldExit())
            body = std::move (text);
    }

    std::lock_guard<std::mutex> guard (streamLock);
    activeStream = nullptr;
    return body;
}

void UpdateCheck::announce (const juce::String& title, const std::string& versionText)
{
    // The version text goes in as received; bytes that are not UTF-8 are taken one
    // character each (as Latin-1) rather than dropped.
    juce::String version;

    if (juce::CharPointer_UTF8::isValidString (versionText.data(), (int) versionText.size()))
        version = juce::String::fromUTF8 (versionText.data(), (int) versionText.size());
    else
        for (auto byte : versionText)
            version += juce::String::charToString ((juce::juce_wchar) (unsigned char) byte);

    auto message = juce::translate ("Version") + " " + version + " " + juce::translate ("is now available");

    const juce::MessageManagerLock lock (this);

    if (! lock.lockWasGained())
        return;

    // The box itself is opened by the message thread: opening a window from here,
    // even with the lock held, would wait for the message thread we are blocking.
    juce::MessageManager::callAsync ([title, message]
    {
        debugLog ("update notice: %s", title.toRawUTF8());
        getPrompter().showInfoAsync (title, message);
    });
}

//==============================================================================
VersionChecker::VersionChecker()
    : UpdateCheck ("AsyncURL")
{
}

VersionChecker::~VersionChecker()
{
    cancel();
    stopThread (10000);
}

void VersionChecker::run()
{
    auto remote = fetch (juce::URL (getUpdateServerBaseUrl() + "/archive/vorniq/Vorniq_Mac.txt"));

    if (! remote.has_value())
        return;

    auto* app = juce::JUCEApplicationBase::getInstance();
    auto local = app != nullptr ? app->getApplicationVersion().toStdString() : std::string();

    if (VersionTexts::isNewerApplicationVersion (local, *remote))
        announce (juce::translate ("New version available:"), *remote);
}

//==============================================================================
FirmwareVersionChecker::FirmwareVersionChecker()
    : UpdateCheck ("AsyncURL2")
{
}

FirmwareVersionChecker::~FirmwareVersionChecker()
{
    cancel();
    stopThread (10000);
}

void FirmwareVersionChecker::setRequest (const juce::String& versionFileUrl, const juce::String& currentVersion)
{
    std::lock_guard<std::mutex> guard (requestLock);
    url = versionFileUrl;
    firmwareVersion = currentVersion;
}

void FirmwareVersionChecker::run()
{
    juce::String requestUrl, current;

    {
        std::lock_guard<std::mutex> guard (requestLock);
        requestUrl = url;
        current = firmwareVersion;
    }

    auto remote = fetch (juce::URL (requestUrl));

    if (! remote.has_value())
        return;

    if (VersionTexts::isNewerFirmwareVersion (current.toStdString(), *remote))
        announce (juce::translate ("New firmware version available:"), *remote);
}
