// Starting a program detached, as the agent's listener does on each connect.
#include "ChildProgram.h"
#include "agent/DeviceListener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace std::chrono_literals;

TEST (StartDetached, StartsAnExistingProgramAndReportsAMissingOne)
{
    ScratchFolder scratch;
    const auto program = scratch / "note";
    writeTextFile (program, "#!/bin/sh\necho \"$#\" > \"$0.ran\"\n");
    std::filesystem::permissions (program, std::filesystem::perms (0755));

    EXPECT_FALSE (startDetached (scratch / "missing"));
    EXPECT_FALSE (startDetached (""));

    ASSERT_TRUE (startDetached (program));

    for (int i = 0; i < 250 && readTextFile (program + ".ran").empty(); ++i)
        std::this_thread::sleep_for (20ms);

    EXPECT_EQ (readTextFile (program + ".ran"), "0\n");
}

TEST (DeviceListener, StartsTheProgramOnConnectOnly)
{
    ScratchFolder scratch;
    const auto program = scratch / "note";
    writeTextFile (program, "#!/bin/sh\necho started >> \"$0.log\"\n");
    std::filesystem::permissions (program, std::filesystem::perms (0755));

    DeviceListener listener (program);
    listener.cameraDisconnected();
    listener.cameraConnected();
    listener.cameraConnected();

    for (int i = 0; i < 250 && readTextFile (program + ".log").size() < 16; ++i)
        std::this_thread::sleep_for (20ms);

    std::this_thread::sleep_for (200ms);
    EXPECT_EQ (readTextFile (program + ".log"), "started\nstarted\n");
}
