// The removable-drive test of the import copy rule: a fixture mount table over
// simulated internal disks, card readers, USB sticks and network shares.
#include "CameraTestbed.h"

#include "ChildProgram.h"
#include "device/MountTable.h"
#include "device/RemovableDrive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace
{
    class RemovableDriveTest : public ::testing::Test
    {
    protected:
        RemovableDriveTest()
        {
            SimulatedDisk internal;
            internal.name = "sda";
            internal.minor = 0;
            internal.removable = false;
            internal.partitionCount = 2;
            testbed.addInternalDisk (internal);

            // An SD card in a reader on the board: removable, not on USB.
            SimulatedDisk card;
            card.name = "mmcblk0";
            card.major = 179;
            card.minor = 0;
            card.removable = true;
            testbed.addInternalDisk (card, "/devices/platform/sdhci.0/mmc_host/mmc0/mmc0:0001");

            SimulatedCamera stick;
            stick.vendorId = 0x0781;
            stick.productId = 0x5581;
            stick.address = 3;
            SimulatedDisk stickDisk;
            stickDisk.name = "sdc";
            stickDisk.minor = 32;
            testbed.addDisk (testbed.plug (stick), stickDisk);

            // A USB hard disk reports itself as fixed, but can be unplugged all the same.
            SimulatedCamera enclosure;
            enclosure.vendorId = 0x152d;
            enclosure.productId = 0x0578;
            enclosure.address = 4;
            SimulatedDisk usbDisk;
            usbDisk.name = "sdd";
            usbDisk.minor = 48;
            usbDisk.removable = false;
            testbed.addDisk (testbed.plug (enclosure), usbDisk);

            writeTextFile (mountTablePath,
                "22 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n"
                "30 22 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
                "40 22 179:1 / /media/ana/SDCARD rw - exfat /dev/mmcblk0p1 rw\n"
                "41 22 8:33 / /media/ana/STICK rw - vfat /dev/sdc1 rw\n"
                "42 22 8:49 / /media/ana/Big\\040Disk rw - ext4 /dev/sdd1 rw\n"
                "43 22 0:52 / /mnt/nas rw - nfs4 nas:/photos rw\n"
                "44 22 0:30 / /run/user/1000 rw - tmpfs tmpfs rw\n"
                "45 22 0:61 / /home/ana/loop rw - btrfs /dev/sdc1 rw\n");
            setenv ("VORNIQ_MOUNTINFO", mountTablePath.c_str(), 1);
        }

        ~RemovableDriveTest() override
        {
            unsetenv ("VORNIQ_MOUNTINFO");
        }

        CameraTestbed testbed;
        ScratchFolder scratch;
        const std::string mountTablePath = scratch / "mountinfo";
    };
}

TEST_F (RemovableDriveTest, DrivesThatCanBeUnpluggedAreRemovable)
{
    struct Case { const char* path; bool removable; };
    const Case cases[] = {
        { "/media/ana/STICK/DCIM/clip.mp4",  true },    // USB, removable
        { "/media/ana/STICK",                true },    // the mount point itself
        { "/media/ana/STICK/",               true },
        { "/media/ana/Big Disk/Film/a.mov",  true },    // USB, reports fixed
        { "/media/ana/SDCARD/DCIM/b.mov",    true },    // removable, not USB
        { "/media/ana/STICKY/clip.mp4",      false },   // a name that only starts like one
        { "/home/ana/Videos/c.mov",          false },   // internal disk
        { "/boot/efi/x",                     false },
        { "/mnt/nas/d.mov",                  false },   // network share
        { "/run/user/1000/e.mov",            false },   // memory
        { "/home/ana/loop/f.mov",            true },    // no block number, but its source is the stick
        { "",                                false },
    };

    for (auto& c : cases)
        EXPECT_EQ (isOnRemovableDrive (c.path), c.removable) << '"' << c.path << '"';
}

TEST_F (RemovableDriveTest, RelativePathsStartAtTheWorkingFolder)
{
    // The stick mounted at a real folder, to stand in.
    const auto mountPoint = scratch / "stick";
    std::filesystem::create_directories (mountPoint);
    ScratchFolder tables;
    writeTextFile (tables / "mountinfo", "22 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
                                         "41 22 8:33 / " + std::filesystem::canonical (mountPoint).string()
                                            + " rw - vfat /dev/sdc1 rw\n");
    const auto mounts = MountTable::read (tables / "mountinfo");

    char previous[4096] = {};
    ASSERT_NE (getcwd (previous, sizeof (previous)), nullptr);
    ASSERT_EQ (chdir (mountPoint.c_str()), 0);

    const bool onStick = isOnRemovableDrive ("DCIM/clip.mp4", mounts);
    const bool besideIt = isOnRemovableDrive ("../clip.mp4", mounts);

    ASSERT_EQ (chdir (previous), 0);
    EXPECT_TRUE (onStick);
    EXPECT_FALSE (besideIt);
}

TEST_F (RemovableDriveTest, SymbolicLinksAreFollowedToTheirDrive)
{
    // The stick mounted at a real folder, so that a link can lead into it.
    const auto mountPoint = scratch / "stick";
    std::filesystem::create_directories (mountPoint);
    const auto realMountPoint = std::filesystem::canonical (mountPoint).string();

    ScratchFolder tables;
    writeTextFile (tables / "mountinfo", "22 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
                                         "41 22 8:33 / " + realMountPoint + " rw - vfat /dev/sdc1 rw\n");
    const auto mounts = MountTable::read (tables / "mountinfo");

    const auto link = scratch / "to-stick";
    ASSERT_EQ (symlink (mountPoint.c_str(), link.c_str()), 0);

    EXPECT_TRUE (isOnRemovableDrive (link + "/DCIM/clip.mp4", mounts));
    EXPECT_TRUE (isOnRemovableDrive (mountPoint + "/clip.mp4", mounts));
    EXPECT_FALSE (isOnRemovableDrive (scratch / "clip.mp4", mounts));
}

TEST_F (RemovableDriveTest, ExplicitTableIsUsed)
{
    ScratchFolder other;
    writeTextFile (other / "mountinfo", "22 1 8:33 / / rw - vfat /dev/sdc1 rw\n");

    EXPECT_TRUE (isOnRemovableDrive ("/home/ana/x", MountTable::read (other / "mountinfo")));
    EXPECT_FALSE (isOnRemovableDrive ("/home/ana/x"));
}
