// The firmware check against a loopback update server: a newer version is announced
// once, anything else (older, equal, broken, slow, unreachable) says nothing, and
// nothing ever hangs.
#include "shell/UpdateCheckers.h"
#include "ui/Prompter.h"

#include "MessageLoop.h"
#include "VersionServer.h"

#include <gtest/gtest.h>

namespace
{
    struct Notice { juce::String title, message; };

    class RecordingPrompter : public Prompter
    {
    public:
        explicit RecordingPrompter (std::vector<Notice>& store) : notices (store) {}

        void showInfoAsync (const juce::String& title, const juce::String& message) override
        {
            notices.push_back ({ title, message });
        }

    private:
        std::vector<Notice>& notices;
    };

    class FirmwareCheck : public ::testing::Test
    {
    protected:
        void SetUp() override { setPrompter (std::make_unique<RecordingPrompter> (notices)); }
        void TearDown() override { setPrompter (nullptr); }

        // Runs one check to its end on the message loop.
        void runCheck (const std::string& url, const char* current)
        {
            checker.setRequest (url, current);
            ASSERT_TRUE (checker.startThread());
            ASSERT_TRUE (runMessageLoopUntil ([&] { return ! checker.isThreadRunning(); }, 20000));
            runMessageLoopUntil ([] { return false; }, 50); // let an async notice land
        }

        std::vector<Notice> notices;
        FirmwareVersionChecker checker;
    };

    const std::string path = "/archive/vorniq/Corvanever.txt";

    std::string route (const std::string& fields)
    {
        return "{\"" + path + "\": {" + fields + "}}";
    }
}

TEST_F (FirmwareCheck, NewerFirmwareIsAnnouncedWithTheTextAsReceived)
{
    VersionServer server (route ("\"body\": \"1.20\""));
    runCheck (server.baseUrl() + path, "0110");

    ASSERT_EQ (notices.size(), 1u);
    EXPECT_EQ (notices[0].title, "New firmware version available:");
    EXPECT_EQ (notices[0].message, "Version 1.20 is now available");
    EXPECT_EQ (server.requestedPaths(), std::vector<std::string> { path });
}

TEST_F (FirmwareCheck, NothingIsShownForAnAnswerThatIsNotNewer)
{
    struct Case { const char* name; std::string fields; };
    const Case cases[] = {
        { "same version", "\"body\": \"1.10\"" },
        { "older version", "\"body\": \"1.0.9\"" },
        { "error page", "\"status\": 500, \"body\": \"<html><body>Internal error</body></html>\"" },
        { "not found page", "\"status\": 404, \"body\": \"Not Found\"" },
        { "binary garbage", "\"body_hex\": \"00ff13fe9a0d0a7f\"" },
        { "empty body", "\"body\": \"\"" },
        { "huge body of garbage", "\"body_hex\": \"" + std::string (8192, 'f') + "\", \"repeat\": 2000" },
    };

    for (auto& c : cases)
    {
        VersionServer server (route (c.fields));
        runCheck (server.baseUrl() + path, "0110");
        EXPECT_TRUE (notices.empty()) << c.name;
        notices.clear();
    }
}

TEST_F (FirmwareCheck, AnUnreachableServerIsSilent)
{
    // Nothing listens on the port of a server that has gone.
    std::string url;
    {
        VersionServer gone ("{}");
        url = gone.baseUrl() + path;
    }

    runCheck (url, "0110");
    EXPECT_TRUE (notices.empty());
}

TEST_F (FirmwareCheck, ASlowServerCanBeCalledOff)
{
    struct Case { const char* name; const char* fields; };
    const Case cases[] = {
        { "answers late", "\"body\": \"9.99\", \"delay\": 60" },
        { "trickles", "\"body\": \"9.99999999\", \"trickle\": 5" },
    };

    for (auto& c : cases)
    {
        VersionServer server (route (c.fields));
        checker.setRequest (server.baseUrl() + path, "0110");
        ASSERT_TRUE (checker.startThread());
        runMessageLoopUntil ([&] { return ! server.requestedPaths().empty(); }, 5000);

        // Quitting calls the check off; it must end long before the server answers.
        checker.cancel();
        EXPECT_TRUE (runMessageLoopUntil ([&] { return ! checker.isThreadRunning(); }, 5000)) << c.name;
        EXPECT_TRUE (notices.empty()) << c.name;
        checker.stopThread (10000);
    }
}
