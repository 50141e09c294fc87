// Reading the mount table and finding the mount that holds a path. Plain files only.
#include "ChildProgram.h"
#include "device/MountTable.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/sysmacros.h>

namespace
{
    MountTable tableFrom (const std::string& text)
    {
        ScratchFolder scratch;
        writeTextFile (scratch / "mountinfo", text);
        return MountTable::read (scratch / "mountinfo");
    }
}

TEST (MountTable, ReadsMountinfoFieldsAndUnescapesMountPoints)
{
    const auto table = tableFrom (
        "22 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
        "40 22 8:17 / /media/ana/My\\040Card\\011Tab\\134Slash rw,nosuid - vfat /dev/sdb1 rw,uid=1000\n"
        "41 22 0:52 / /mnt/nas rw - nfs4 nas:/photos rw,vers=4.2\n"
        "42 22 0:53 / /mnt/office rw - cifs //server/share rw\n"
        "43 22 0:30 / /run/user/1000 rw - tmpfs tmpfs rw\n");

    const auto& entries = table.getEntries();
    ASSERT_EQ (entries.size(), 5u);

    EXPECT_EQ (entries[0].target, "/");
    EXPECT_EQ (entries[0].source, "/dev/nvme0n1p2");
    EXPECT_EQ (entries[0].deviceNumber, makedev (259, 2));

    EXPECT_EQ (entries[1].target, "/media/ana/My Card\tTab\\Slash");
    EXPECT_EQ (entries[1].source, "/dev/sdb1");
    EXPECT_EQ (entries[1].fileSystemType, "vfat");
    EXPECT_EQ (entries[1].deviceNumber, makedev (8, 17));
    EXPECT_FALSE (entries[1].isNetwork);

    EXPECT_TRUE (entries[2].isNetwork);
    EXPECT_TRUE (entries[3].isNetwork);
    EXPECT_FALSE (entries[4].isNetwork);
}

TEST (MountTable, SkipsBrokenLinesAndReadsNothingFromAMissingFile)
{
    const auto table = tableFrom ("40 22 8:17 / /media/ana/CARD rw - vfat /dev/sdb1 rw\n"
                                  "this is not a mount\n"
                                  "41 22\n"
                                  "42 22 8:33 / /media/ana/STICK rw - vfat /dev/sdc1 rw\n");
    ASSERT_EQ (table.getEntries().size(), 2u);
    EXPECT_EQ (table.getEntries()[0].target, "/media/ana/CARD");
    EXPECT_EQ (table.getEntries()[1].target, "/media/ana/STICK");

    EXPECT_TRUE (MountTable::read ("/nonexistent/mountinfo").getEntries().empty());
}

TEST (MountTable, DefaultPathIsTheEnvironmentsOrTheProcesses)
{
    unsetenv ("VORNIQ_MOUNTINFO");
    EXPECT_EQ (MountTable::getDefaultPath(), "/proc/self/mountinfo");

    setenv ("VORNIQ_MOUNTINFO", "", 1);
    EXPECT_EQ (MountTable::getDefaultPath(), "/proc/self/mountinfo");

    setenv ("VORNIQ_MOUNTINFO", "/tmp/fixture mountinfo", 1);
    EXPECT_EQ (MountTable::getDefaultPath(), "/tmp/fixture mountinfo");
    unsetenv ("VORNIQ_MOUNTINFO");
}

TEST (MountTable, MountHoldingAPathIsTheLongestMatchingFolderAndTheLastOfEqualOnes)
{
    const auto table = tableFrom (
        "22 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
        "30 22 8:3 / /media rw - ext4 /dev/sda3 rw\n"
        "40 30 8:17 / /media/card rw - vfat /dev/sdb1 rw\n"
        "41 30 8:33 / /media/card2 rw - vfat /dev/sdc1 rw\n"
        "42 40 8:49 / /media/card rw - vfat /dev/sdd1 rw\n");   // mounted over the first card

    struct Case { const char* path; const char* source; };
    const Case cases[] = {
        { "/media/card/DCIM/clip.mp4", "/dev/sdd1" },
        { "/media/card",               "/dev/sdd1" },
        { "/media/card2/x",            "/dev/sdc1" },
        { "/media/cardboard/x",        "/dev/sda3" },
        { "/media",                    "/dev/sda3" },
        { "/home/ana/Videos",          "/dev/sda2" },
        { "/",                         "/dev/sda2" },
    };

    for (auto& c : cases)
    {
        auto* mount = table.findMountHolding (c.path);
        ASSERT_NE (mount, nullptr) << c.path;
        EXPECT_EQ (mount->source, c.source) << c.path;
    }

    EXPECT_EQ (tableFrom ("40 22 8:17 / /media/card rw - vfat /dev/sdb1 rw\n").findMountHolding ("/home"), nullptr);
}
