// The real program, started as the desktop would start it: first start, the launch
// decision, single instance, quitting, damaged settings and the update check.
#include "ChildProgram.h"
#include "VersionServer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <juce_data_structures/juce_data_structures.h>
#include <sstream>
#include <sys/stat.h>

namespace
{
    const std::string vorniq = VORNIQ_BIN_DIR "/Vorniq";

    class VorniqProgram : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            ::chmod (runtime.path().c_str(), 0700);
        }

        ChildProgram::Options optionsWith (std::vector<std::string> arguments = {})
        {
            ChildProgram::Options options;
            options.arguments = std::move (arguments);
            options.environment = {
                { "HOME", home.path() },
                { "XDG_RUNTIME_DIR", runtime.path() },
                { "XDG_CONFIG_HOME", home / ".config" },
                { "VORNIQ_PROMPT_SCRIPT", home / "prompts" },
                { "VORNIQ_PROMPT_LOG", home / "prompts.log" },
                { "VORNIQ_UPDATE_BASE_URL", updateBaseUrl },
            };
            return options;
        }

        std::unique_ptr<ChildProgram> start (std::vector<std::string> arguments = {})
        {
            return std::make_unique<ChildProgram> (vorniq, optionsWith (std::move (arguments)));
        }

        // Starts the program and waits until its window is up.
        std::unique_ptr<ChildProgram> startAndWait (std::vector<std::string> arguments = {})
        {
            auto program = start (std::move (arguments));
            EXPECT_TRUE (program->waitForStandardError ("vorniq: started", 20000)) << program->standardError();
            return program;
        }

        // Quits as a desktop session ending does, and expects an orderly end.
        void quit (ChildProgram& program)
        {
            program.sendSignal (SIGTERM);
            auto status = program.waitForExit (15000);
            ASSERT_TRUE (status.has_value()) << "the program did not quit";
            EXPECT_EQ (*status, 0) << program.standardError();
        }

        std::string settingsPath() const { return home / ".Vorniq/Vorniq.settings"; }

        juce::String setting (const char* key) const
        {
            juce::PropertiesFile file { juce::File (settingsPath()), juce::PropertiesFile::Options() };
            return file.getValue (key, "<absent>");
        }

        void writeSettings (const std::string& entries)
        {
            writeTextFile (settingsPath(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>\n" + entries
                                               + "</PROPERTIES>\n");
        }

        ScratchFolder home, runtime;
        std::string updateBaseUrl = "http://127.0.0.1:9";
    };
}

TEST_F (VorniqProgram, FirstStartWritesLanguageAndLibraryPath)
{
    auto program = startAndWait();
    quit (*program);

    auto library = home / "Documents/QUOREL Vorniq/Media/";
    EXPECT_EQ (setting ("language"), "en");
    EXPECT_EQ (setting ("libraryPath").toStdString(), library);
    EXPECT_TRUE (std::filesystem::is_directory (library + "Thumbnails"));
    EXPECT_EQ (program->standardOutput(), "");
}

TEST_F (VorniqProgram, TheLaunchDecisionEndsCameraEventsWithStatusOne)
{
    struct Case { const char* name; const char* autoLaunch; std::vector<std::string> arguments; };
    const Case cases[] = {
        { "disconnected, autoLaunch on", "1", { "-disconnected:" } },
        { "disconnected, autoLaunch off", "0", { "-disconnected:" } },
        { "connected, autoLaunch off", "0", { "-connected:\"/media/user/CAM\"" } },
    };

    for (auto& c : cases)
    {
        writeSettings (std::string ("  <VALUE name=\"autoLaunch\" val=\"") + c.autoLaunch + "\"/>\n");
        auto program = start (c.arguments);
        auto status = program->waitForExit (20000);
        ASSERT_TRUE (status.has_value()) << c.name;
        EXPECT_EQ (*status, 1) << c.name;
        EXPECT_EQ (program->standardError().find ("vorniq: started"), std::string::npos) << c.name;
    }
}

TEST_F (VorniqProgram, CameraFolderFromTheCommandLine)
{
    struct Case { const char* name; std::string argument; std::string logged; };
    const Case cases[] = {
        { "quoted path with spaces and letters", "-connected:\"/media/user/My Cam (2) \xc3\xa9\"",
          "camera folder: \"/media/user/My Cam (2) \xc3\xa9\"" },
        { "no camera, no arguments", "", "camera folder: \"\"" },
        { "no quotes", "-connected:/media/user/CAM", "" },
        { "no closing quote", "-connected:\"/media/user/CAM", "" },
    };

    for (auto& c : cases)
    {
        auto program = startAndWait (c.argument.empty() ? std::vector<std::string>() : std::vector<std::string> { c.argument });
        quit (*program);
        auto log = program->standardError();

        if (c.logged.empty())
        {
            EXPECT_EQ (log.find ("camera folder:"), std::string::npos) << c.name << "\n" << log;
        }
        else
        {
            EXPECT_NE (log.find (c.logged), std::string::npos) << c.name << "\n" << log;
        }
    }
}

TEST_F (VorniqProgram, ASecondStartHandsOverAndEnds)
{
    auto running = startAndWait();

    auto second = start ({ "-connected:\"/media/user/Second Cam\"" });
    auto status = second->waitForExit (20000);
    ASSERT_TRUE (status.has_value());
    EXPECT_EQ (*status, 0);
    EXPECT_EQ (second->standardError().find ("vorniq: started"), std::string::npos);

    EXPECT_TRUE (running->waitForStandardError ("another start handed over: \"-connected:\"/media/user/Second Cam\"\n", 10000))
        << running->standardError();
    EXPECT_TRUE (running->waitForStandardError ("camera folder: \"/media/user/Second Cam\"", 10000));
    quit (*running);
}

TEST_F (VorniqProgram, ACrashedCopyNeverBlocksTheNextStart)
{
    auto crashed = startAndWait();
    crashed->sendSignal (SIGKILL);
    crashed->waitForExit (10000);
    ASSERT_TRUE (std::filesystem::exists (runtime / "vorniq.socket"));

    auto next = startAndWait();
    EXPECT_TRUE (next->isRunning());
    quit (*next);
}

TEST_F (VorniqProgram, DamagedOrUnwritableSettingsStillStart)
{
    struct Case { const char* name; std::function<void()> damage; };
    const Case cases[] = {
        { "random bytes", [this] { writeTextFile (settingsPath(), std::string ("\x00\xff<PROP\x13", 9) + "garbage"); } },
        { "truncated XML", [this] { writeTextFile (settingsPath(), "<?xml version=\"1.0\"?>\n<PROPERTIES>\n  <VALUE name=\"lang"); } },
        { "settings folder is a file", [this] { writeTextFile (home / ".Vorniq", "not a folder"); } },
    };

    for (auto& c : cases)
    {
        std::filesystem::remove_all (home / ".Vorniq");
        c.damage();
        auto program = startAndWait();
        EXPECT_TRUE (program->isRunning()) << c.name;
        quit (*program);
    }

    // A readable file again gets every key's default and the two start-up keys.
    std::filesystem::remove_all (home / ".Vorniq");
    writeTextFile (settingsPath(), "garbage");
    quit (*startAndWait());
    EXPECT_EQ (setting ("language"), "en");
}

TEST_F (VorniqProgram, QuittingWithAModalWindowOpenClosesItFirst)
{
    // The update notice is a modal alert window of the real prompter.
    VersionServer server ("{\"/archive/vorniq/Vorniq_Mac.txt\": {\"body\": \"9.0.0.40\"}}");
    updateBaseUrl = server.baseUrl();
    auto options = optionsWith();
    options.unsetEnvironment = { "VORNIQ_PROMPT_SCRIPT" };
    options.environment.erase ("VORNIQ_PROMPT_SCRIPT");
    ChildProgram program (vorniq, options);

    ASSERT_TRUE (program.waitForStandardError ("vorniq: update notice: New version available:", 20000))
        << program.standardError();

    program.sendSignal (SIGTERM);
    auto status = program.waitForExit (15000);
    ASSERT_TRUE (status.has_value());
    EXPECT_EQ (*status, 0);

    auto log = program.standardError();
    auto dismissed = log.find ("quit: modal windows dismissed, trying again in 200 ms");
    auto quitLine = log.find ("vorniq: quit\n");
    ASSERT_NE (dismissed, std::string::npos) << log;
    ASSERT_NE (quitLine, std::string::npos) << log;
    EXPECT_LT (dismissed, quitLine);
}

TEST_F (VorniqProgram, UpdateCheckShowsOnlyNewerVersions)
{
    struct Case { const char* body; bool shown; };
    const Case cases[] = { { "9.0.0.40", true }, { "9.1", true }, { "9.0.0.39", false }, { "8.9.9.99", false },
                           { "9.0.0.40\\n", false } };

    for (auto& c : cases)
    {
        VersionServer server (std::string ("{\"/archive/vorniq/Vorniq_Mac.txt\": {\"body\": \"") + c.body + "\"}}");
        updateBaseUrl = server.baseUrl();
        std::filesystem::remove (home / "prompts.log");

        auto program = startAndWait();
        // The check has ended once the server was asked and the answer handled.
        for (int i = 0; i < 100 && server.requestedPaths().empty(); ++i)
            program->waitForExit (50);
        program->waitForExit (1000);
        quit (*program);

        auto prompts = readTextFile (home / "prompts.log");
        auto expected = std::string ("info\tNew version available:\tVersion ") + (c.shown ? c.body : "") + " is now available\n";

        if (c.shown)
        {
            EXPECT_EQ (prompts, expected) << c.body;
        }
        else
        {
            EXPECT_EQ (prompts, "") << c.body;
        }

        // Without a camera no firmware file is asked for.
        EXPECT_EQ (server.requestedPaths(), std::vector<std::string> { "/archive/vorniq/Vorniq_Mac.txt" }) << c.body;
    }
}

TEST_F (VorniqProgram, AWaitingUpdateCheckNeverDelaysQuitting)
{
    VersionServer server ("{\"/archive/vorniq/Vorniq_Mac.txt\": {\"body\": \"9.9\", \"delay\": 120}}");
    updateBaseUrl = server.baseUrl();

    auto program = startAndWait();
    for (int i = 0; i < 100 && server.requestedPaths().empty(); ++i)
        program->waitForExit (50);
    ASSERT_FALSE (server.requestedPaths().empty());

    quit (*program);
    EXPECT_EQ (readTextFile (home / "prompts.log"), "");
}

TEST_F (VorniqProgram, NotificationsCanBeSwitchedOff)
{
    VersionServer server ("{\"/archive/vorniq/Vorniq_Mac.txt\": {\"body\": \"9.9\"}}");
    updateBaseUrl = server.baseUrl();
    writeSettings ("  <VALUE name=\"notifyNewApp\" val=\"0\"/>\n");

    auto program = startAndWait();
    program->waitForExit (1500);
    quit (*program);
    EXPECT_TRUE (server.requestedPaths().empty());
}

namespace
{
    // Runs a desktop tool (xdotool, xprop) against the test display and returns what it printed.
    std::string runTool (std::vector<std::string> command)
    {
        ChildProgram::Options options;
        auto program = command.front();
        options.arguments.assign (command.begin() + 1, command.end());
        ChildProgram tool (program, options);
        tool.waitForExit (10000);
        return tool.standardOutput();
    }

    struct WindowGeometry { int x = -1, y = -1, width = -1, height = -1; };

    WindowGeometry geometryOf (const std::string& window)
    {
        WindowGeometry geometry;
        auto text = runTool ({ "/usr/bin/xdotool", "getwindowgeometry", "--shell", window });
        std::istringstream lines (text);

        for (std::string line; std::getline (lines, line);)
        {
            auto value = [&] { return std::stoi (line.substr (line.find ('=') + 1)); };
            if (line.rfind ("X=", 0) == 0) geometry.x = value();
            if (line.rfind ("Y=", 0) == 0) geometry.y = value();
            if (line.rfind ("WIDTH=", 0) == 0) geometry.width = value();
            if (line.rfind ("HEIGHT=", 0) == 0) geometry.height = value();
        }

        return geometry;
    }
}

TEST_F (VorniqProgram, TheWindowOpensCentredAt1040By600WithItsSizeLimits)
{
    // A window manager, as on a desktop: it draws the title bar and applies the limits.
    ChildProgram windowManager ("/usr/bin/openbox", ChildProgram::Options { { "--sm-disable" }, { { "HOME", home.path() } }, {}, {} });
    for (int i = 0; i < 50 && runTool ({ "/usr/bin/xprop", "-root", "_NET_SUPPORTING_WM_CHECK" }).find ("window id") == std::string::npos; ++i)
        windowManager.waitForExit (100);

    auto program = startAndWait();
    std::string window;
    for (int i = 0; i < 300 && window.empty(); ++i)
    {
        window = runTool ({ "/usr/bin/xdotool", "search", "--onlyvisible", "--pid", std::to_string (program->getPid()), "--name", "^Vorniq$" });
        window = window.substr (0, window.find ('\n'));
        if (window.empty())
            program->waitForExit (100);
    }
    ASSERT_FALSE (window.empty()) << "no visible window titled Vorniq";

    // Wait until the window manager has taken the window over (it sets the frame's extents).
    auto managed = [&] { return runTool ({ "/usr/bin/xprop", "-id", window, "_NET_FRAME_EXTENTS" }).find ("=") != std::string::npos; };

    for (int i = 0; i < 300 && ! managed(); ++i)
        program->waitForExit (50);

    if (! managed())
    {
        // Another test's window manager may hold the display (openbox then refuses to start).
        quit (*program);
        GTEST_SKIP() << "no window manager took the window over";
    }

    // Centred on the 1920 x 1200 test screen, give or take the window manager's frame.
    // The window manager frames the window at the corner of the screen first and then
    // moves it where it asked to be, so on a busy machine that can take a moment.
    auto screen = runTool ({ "/usr/bin/xdotool", "getdisplaygeometry" });
    auto screenWidth = std::stoi (screen), screenHeight = std::stoi (screen.substr (screen.find (' ') + 1));
    auto centred = [&] (const WindowGeometry& g)
    {
        return std::abs (g.x + g.width / 2 - screenWidth / 2) <= 30 && std::abs (g.y + g.height / 2 - screenHeight / 2) <= 50;
    };
    auto opened = geometryOf (window);

    for (int i = 0; i < 100 && ! centred (opened); ++i)
    {
        program->waitForExit (50);
        opened = geometryOf (window);
    }

    EXPECT_EQ (opened.width, 1040);
    EXPECT_EQ (opened.height, 600);
    EXPECT_NEAR (opened.x + opened.width / 2, screenWidth / 2, 30);
    EXPECT_NEAR (opened.y + opened.height / 2, screenHeight / 2, 50);

    // The window gives the window manager its size limits as it is configured, and
    // dragging it smaller than 1040 x 400 is refused (the limits include the frame).
    auto limited = [&] { return runTool ({ "/usr/bin/xprop", "-id", window, "WM_NORMAL_HINTS" }).find ("minimum size") != std::string::npos; };

    for (int i = 0; i < 300 && ! limited(); ++i)
        program->waitForExit (50);

    ASSERT_TRUE (limited()) << "the window never gave its size limits";
    runTool ({ "/usr/bin/xdotool", "windowsize", window, "500", "300" });
    auto shrunk = geometryOf (window);
    for (int i = 0; i < 100 && shrunk.height == opened.height; ++i)
    {
        program->waitForExit (50);
        shrunk = geometryOf (window);
    }
    EXPECT_GE (shrunk.width, 1040 - 30);
    EXPECT_GE (shrunk.height, 400 - 30);
    EXPECT_LT (shrunk.height, 600);

    // The close button asks the application to quit, which ends the program in order.
    runTool ({ "/usr/bin/wmctrl", "-i", "-c", window });
    auto status = program->waitForExit (15000);
    ASSERT_TRUE (status.has_value()) << "closing the window did not quit";
    EXPECT_EQ (*status, 0);
    EXPECT_NE (program->standardError().find ("vorniq: quit\n"), std::string::npos);
}

TEST_F (VorniqProgram, AnotherUsersCopyDoesNotStopThisOne)
{
    // JUCE's machine-wide lock, as a copy run by someone else on the machine holds it.
    juce::InterProcessLock machineWide ("juceAppLock_Vorniq");
    ASSERT_TRUE (machineWide.enter (0));

    auto program = startAndWait();
    EXPECT_TRUE (program->isRunning());
    quit (*program);
    machineWide.exit();
}
