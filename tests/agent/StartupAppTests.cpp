// VorniqStartupApp as the desktop runs it, on a simulated USB bus, with a stand-in for
// Vorniq that notes each start and then stays running.
#include "../device/CameraTestbed.h"

#include "ChildProgram.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
    /** One start of the stand-in, as it noted it. */
    struct Launch
    {
        pid_t pid = 0;
        int argumentCount = -1;
        std::string blockedSignals;
        pid_t session = 0;
    };

    bool isAlive (pid_t pid)
    {
        // A zombie has ended too: only a process that still runs counts.
        std::ifstream stat ("/proc/" + std::to_string (pid) + "/stat");
        std::string text;

        if (! std::getline (stat, text))
            return false;

        const auto close = text.rfind (')');
        return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
    }

    bool processExists (pid_t pid)
    {
        return std::filesystem::exists ("/proc/" + std::to_string (pid));
    }

    template <typename Condition>
    bool waitFor (Condition condition, std::chrono::milliseconds timeout)
    {
        const auto deadline = TestClock::now() + timeout;

        while (! condition())
        {
            if (TestClock::now() > deadline)
                return false;

            std::this_thread::sleep_for (20ms);
        }

        return true;
    }

    class StartupAppTest : public ::testing::Test
    {
    protected:
        StartupAppTest()
        {
            writeTextFile (standIn,
                "#!/bin/sh\n"
                "# Stands in for Vorniq: notes how it was started, then stays a while.\n"
                "blocked=$(sed -n 's/^SigBlk:[[:space:]]*//p' /proc/$$/status)\n"
                "session=$(cut -d' ' -f6 /proc/$$/stat)\n"
                "echo \"$$ $# $blocked $session\" >> \"$VORNIQ_TEST_LAUNCH_LOG\"\n"
                "exec sleep 30\n");
            std::filesystem::permissions (standIn, std::filesystem::perms (0755));
        }

        ~StartupAppTest() override
        {
            for (auto& launch : getLaunches())
                ::kill (launch.pid, SIGKILL);
        }

        /** Starts the agent and waits until it has settled in its wait for signals,
            which it reaches only after the watcher and its listener are set up. */
        std::unique_ptr<ChildProgram> startAgent (const std::string& launchPath)
        {
            ChildProgram::Options options;
            options.environment["VORNIQ_LAUNCH_PATH"] = launchPath;
            options.environment["VORNIQ_TEST_LAUNCH_LOG"] = logPath;
            auto agent = std::make_unique<ChildProgram> (VORNIQ_AGENT_EXECUTABLE, options);

            const auto waiting = std::to_string (SYS_rt_sigtimedwait) + " ";
            const auto syscallFile = "/proc/" + std::to_string (agent->getPid()) + "/syscall";

            const bool settled = waitFor ([&]
            {
                return readTextFile (syscallFile).rfind (waiting, 0) == 0 || ! agent->isRunning();
            }, 10s);

            EXPECT_TRUE (settled && agent->isRunning()) << "the agent did not settle: " << agent->standardError();
            return agent;
        }

        std::vector<Launch> getLaunches() const
        {
            std::vector<Launch> launches;
            std::istringstream lines (readTextFile (logPath));
            std::string line;

            while (std::getline (lines, line))
            {
                std::istringstream fields (line);
                Launch launch;

                if (fields >> launch.pid >> launch.argumentCount >> launch.blockedSignals >> launch.session)
                    launches.push_back (launch);
            }

            return launches;
        }

        bool waitForLaunches (size_t count, std::chrono::milliseconds timeout) const
        {
            return waitFor ([&] { return getLaunches().size() >= count; }, timeout);
        }

        CameraTestbed testbed;
        ScratchFolder scratch;
        const std::string standIn = scratch / "Vorniq";
        const std::string logPath = scratch / "launches";
    };
}

//==============================================================================
TEST_F (StartupAppTest, PluggedCameraStartsTheProgramOnceWithoutArgumentsAfterTheArrivalDelay)
{
    auto agent = startAgent (standIn);

    const auto pluggedAt = TestClock::now();
    testbed.plug (SimulatedCamera {});

    ASSERT_TRUE (waitForLaunches (1, 10s));
    const auto delay = secondsBetween (pluggedAt, TestClock::now());
    std::printf ("program started %.3f s after the plug\n", delay);
    EXPECT_GE (delay, 2.5);

    const auto launch = getLaunches()[0];
    EXPECT_EQ (launch.argumentCount, 0);
    EXPECT_EQ (launch.blockedSignals, "0000000000000000") << "the program inherited the agent's blocked signals";
    EXPECT_EQ (launch.session, launch.pid) << "the program does not run in a session of its own";

    std::this_thread::sleep_for (3s);
    EXPECT_EQ (getLaunches().size(), 1u);
    EXPECT_TRUE (agent->isRunning());
}

TEST_F (StartupAppTest, CameraPresentAtStartStartsNothingUntilItIsPluggedAgain)
{
    const auto syspath = testbed.plug (SimulatedCamera {});
    auto agent = startAgent (standIn);

    std::this_thread::sleep_for (4500ms);
    EXPECT_TRUE (getLaunches().empty()) << "a camera that was already there started the program";

    testbed.unplug (syspath);
    std::this_thread::sleep_for (2500ms);
    EXPECT_TRUE (getLaunches().empty()) << "unplugging started the program";

    testbed.plug (SimulatedCamera {});
    EXPECT_TRUE (waitForLaunches (1, 10s));
}

TEST_F (StartupAppTest, EveryPlugStartsAnotherCopyWithoutWaitingForTheFirst)
{
    auto agent = startAgent (standIn);

    const auto syspath = testbed.plug (SimulatedCamera {});
    ASSERT_TRUE (waitForLaunches (1, 10s));

    testbed.unplug (syspath);
    std::this_thread::sleep_for (2500ms);
    EXPECT_EQ (getLaunches().size(), 1u) << "unplugging started the program";

    testbed.plug (SimulatedCamera {});
    ASSERT_TRUE (waitForLaunches (2, 10s));

    const auto launches = getLaunches();
    ASSERT_EQ (launches.size(), 2u);
    EXPECT_NE (launches[0].pid, launches[1].pid);
    EXPECT_TRUE (isAlive (launches[0].pid)) << "the first copy should still be running";
    EXPECT_TRUE (isAlive (launches[1].pid));
}

TEST_F (StartupAppTest, EndedProgramsLeaveNoZombieBehind)
{
    auto agent = startAgent (standIn);
    testbed.plug (SimulatedCamera {});
    ASSERT_TRUE (waitForLaunches (1, 10s));

    const auto pid = getLaunches()[0].pid;
    ::kill (pid, SIGKILL);

    EXPECT_TRUE (waitFor ([&] { return ! processExists (pid); }, 5s)) << "the ended program was not collected";
    EXPECT_TRUE (agent->isRunning());
}

TEST_F (StartupAppTest, MissingProgramDoesNothingAndSaysNothing)
{
    auto agent = startAgent (scratch / "not-installed/Vorniq");
    testbed.plug (SimulatedCamera {});

    std::this_thread::sleep_for (5s);
    EXPECT_TRUE (agent->isRunning());
    EXPECT_EQ (agent->standardOutput(), "");
    EXPECT_EQ (agent->standardError(), "");

    agent->sendSignal (SIGTERM);
    EXPECT_EQ (agent->waitForExit (5000), 0);
}

//==============================================================================
class StartupAppEndTest : public StartupAppTest,
                          public ::testing::WithParamInterface<int>
{
};

TEST_P (StartupAppEndTest, EndSignalStopsTheAgentPromptlyWithStatusZeroWhileItsProgramRuns)
{
    auto agent = startAgent (standIn);
    testbed.plug (SimulatedCamera {});
    ASSERT_TRUE (waitForLaunches (1, 10s));
    const auto program = getLaunches()[0].pid;

    const auto signalledAt = TestClock::now();
    agent->sendSignal (GetParam());
    EXPECT_EQ (agent->waitForExit (5000), 0);
    std::printf ("agent ended %.3f s after the signal\n", secondsBetween (signalledAt, TestClock::now()));

    EXPECT_TRUE (isAlive (program)) << "the started program went with the agent";

    // The program may be asked to end like any other: SIGTERM is not blocked for it.
    ::kill (program, SIGTERM);
    EXPECT_TRUE (waitFor ([&] { return ! isAlive (program); }, 5s));
}

INSTANTIATE_TEST_SUITE_P (Signals, StartupAppEndTest, ::testing::Values (SIGTERM, SIGINT),
                          [] (const ::testing::TestParamInfo<int>& param)
                          {
                              return std::string (param.param == SIGTERM ? "SIGTERM" : "SIGINT");
                          });
