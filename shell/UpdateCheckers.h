// The update checks: background threads that fetch one version file each from the
// update server and tell the user, without blocking, when a newer version exists.
#pragma once

#include <juce_core/juce_core.h>
#include <mutex>
#include <optional>
#include <string>

/** Scheme and host of the update server: $VORNIQ_UPDATE_BASE_URL when set, else the
    build setting. Any thread. */
juce::String getUpdateServerBaseUrl();

/** The version comparisons of the two checks, on the raw bytes of the texts. */
namespace VersionTexts
{
    /** The text without its "." characters. */
    std::string withoutDots (std::string text);

    /** The number the text starts with, read as C's atoi does (0 when it starts with
        no digits), taken as an unsigned 32-bit number. */
    juce::uint32 leadingNumber (const std::string& text);

    /** True when the remote application version is newer than the local one: dots
        removed, the shorter text padded with "0" to the other's length, then the
        leading numbers compared. */
    bool isNewerApplicationVersion (const std::string& local, const std::string& remote);

    /** True when the remote firmware text (dots removed, not padded) is a larger
        number than the camera's current version text. */
    bool isNewerFirmwareVersion (const std::string& current, const std::string& remote);
}

/**
    What the two checkers share: one fetch of a small text file that can be called
    off from another thread, and the asynchronous notice.

    Threads: run() and fetch() on the checker's own thread; cancel() from any thread
    (the message thread at shutdown). streamLock guards activeStream.
*/
class UpdateCheck : public juce::Thread
{
public:
    /** Stops the thread, calling off a fetch that is still waiting. */
    ~UpdateCheck() override;

    /** Asks the thread to end and breaks off a fetch in progress; does not wait.
        Any thread. */
    void cancel();

    /** The most a version file may hold; a larger answer is cut off here. */
    static constexpr int maxVersionFileBytes = 4096;

protected:
    explicit UpdateCheck (const juce::String& threadName);

    /** The whole body of url (at most maxVersionFileBytes), or nothing when the
        server cannot be reached or the check was cancelled. Checker thread. */
    std::optional<std::string> fetch (const juce::URL& url);

    /** Shows "Version <text> is now available" under title, asynchronously, while
        holding the message-manager lock; nothing when the lock cannot be had. */
    void announce (const juce::String& title, const std::string& versionText);

private:
    std::mutex streamLock;
    juce::WebInputStream* activeStream = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateCheck)
};

/** Checks "/archive/vorniq/Vorniq_Mac.txt" against the running application's version. */
class VersionChecker : public UpdateCheck
{
public:
    VersionChecker();
    ~VersionChecker() override;

    void run() override;
};

/**
    Checks the connected camera's firmware file against its current version text.
    setRequest() may be called while an earlier check of the same object still runs;
    requestLock guards the two fields, and run() works on a copy taken at its start.
*/
class FirmwareVersionChecker : public UpdateCheck
{
public:
    FirmwareVersionChecker();
    ~FirmwareVersionChecker() override;

    /** Sets what the next run fetches and compares. Any thread. */
    void setRequest (const juce::String& versionFileUrl, const juce::String& currentVersion);

    void run() override;

private:
    std::mutex requestLock;
    juce::String url;
    juce::String firmwareVersion;
};
