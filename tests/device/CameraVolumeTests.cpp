// Where the connected camera's storage is mounted: simulated block devices below the
// simulated camera, and fixture mount tables in mountinfo format.
#include "CameraTestbed.h"

#include "ChildProgram.h"
#include "device/CameraDeviceWatcher.h"
#include "device/CameraVolumeFinder.h"
#include "device/MountTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <sys/sysmacros.h>

namespace
{
    const std::string rootMount = "22 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n";

    class CameraVolumeTest : public ::testing::Test
    {
    protected:
        CameraVolumeTest()
        {
            setenv ("VORNIQ_MOUNTINFO", mountTablePath.c_str(), 1);
            writeMounts ("");
        }

        ~CameraVolumeTest() override
        {
            unsetenv ("VORNIQ_MOUNTINFO");
        }

        /** The mount table: the root file system, then the given lines. */
        void writeMounts (const std::string& lines)
        {
            writeTextFile (mountTablePath, rootMount + lines);
        }

        /** Plugs a camera with one removable disk sdb (8:16) with partitions sdb1.. */
        std::string plugCameraWithCard (int partitions = 1, std::uint16_t productId = 0x0105)
        {
            SimulatedCamera camera;
            camera.productId = productId;
            const auto syspath = testbed.plug (camera);

            SimulatedDisk card;
            card.partitionCount = partitions;
            testbed.addDisk (syspath, card);
            return syspath;
        }

        CameraTestbed testbed;
        ScratchFolder scratch;
        const std::string mountTablePath = scratch / "mountinfo";
    };
}

TEST_F (CameraVolumeTest, MountedPartitionOfTheCameraGivesItsMountPoint)
{
    plugCameraWithCard();
    writeMounts ("40 22 8:17 / /media/ana/CAMERA rw,nosuid,nodev,relatime shared:200 - vfat /dev/sdb1 rw,uid=1000\n");

    CameraDeviceWatcher watcher;
    ASSERT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getVolumePath(), "/media/ana/CAMERA");
}

TEST_F (CameraVolumeTest, StorageNotMountedYetGivesEmpty)
{
    plugCameraWithCard();

    CameraDeviceWatcher watcher;
    ASSERT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getVolumePath(), "");

    // ... and the mount point once the desktop has mounted it.
    writeMounts ("40 22 8:17 / /media/ana/CAMERA rw - vfat /dev/sdb1 rw\n");
    EXPECT_EQ (watcher.getVolumePath(), "/media/ana/CAMERA");
}

TEST_F (CameraVolumeTest, NoCameraConnectedGivesEmptyEvenWhenItsCardIsMounted)
{
    const auto syspath = plugCameraWithCard();
    writeMounts ("40 22 8:17 / /media/ana/CAMERA rw - vfat /dev/sdb1 rw\n");

    CameraDeviceWatcher watcher;
    ASSERT_EQ (watcher.getVolumePath(), "/media/ana/CAMERA");

    testbed.unplug (syspath);
    watcher.rescan();
    EXPECT_EQ (watcher.getVolumePath(), "");
}

TEST_F (CameraVolumeTest, MountPointWithSpacesAndAccentsIsUnescaped)
{
    plugCameraWithCard();
    writeMounts ("40 22 8:17 / /media/ana/Cam\\303\\251ra\\040d'\\303\\251t\\303\\251 rw - vfat /dev/sdb1 rw\n"
                 "41 22 8:33 / /media/ana/Zo\xc3\xab\\040Two rw - vfat /dev/sdc1 rw\n");

    CameraDeviceWatcher watcher;
    EXPECT_EQ (watcher.getVolumePath(), "/media/ana/Caméra d'été");
}

TEST_F (CameraVolumeTest, RawUtf8MountPointComesBackAsIs)
{
    plugCameraWithCard();
    writeMounts ("40 22 8:17 / /media/ana/Zo\xc3\xab\\040\xe5\x86\x99\xe7\x9c\x9f rw - vfat /dev/sdb1 rw\n");

    CameraDeviceWatcher watcher;
    EXPECT_EQ (watcher.getVolumePath(), "/media/ana/Zo\xc3\xab \xe5\x86\x99\xe7\x9c\x9f");
}

TEST_F (CameraVolumeTest, FirstMountOfTheCamerasStorageInTheTableWins)
{
    plugCameraWithCard (2);
    writeMounts ("40 22 8:18 / /media/ana/SECOND rw - exfat /dev/sdb2 rw\n"
                 "41 22 8:17 / /media/ana/FIRST rw - vfat /dev/sdb1 rw\n");

    CameraDeviceWatcher watcher;
    EXPECT_EQ (watcher.getVolumePath(), "/media/ana/SECOND");
}

TEST_F (CameraVolumeTest, OtherDrivesAndNetworkSharesAreNotTheCamera)
{
    plugCameraWithCard();

    SimulatedCamera stick;
    stick.vendorId = 0x0781;   // a memory stick of another maker
    stick.productId = 0x5581;
    stick.address = 3;
    const auto stickPath = testbed.plug (stick);
    SimulatedDisk stickDisk;
    stickDisk.name = "sdc";
    stickDisk.minor = 32;
    testbed.addDisk (stickPath, stickDisk);

    writeMounts ("40 22 8:33 / /media/ana/STICK rw - vfat /dev/sdc1 rw\n"
                 "41 22 0:52 / /mnt/nas rw - nfs4 nas:/photos rw\n"
                 "42 22 0:53 / /run/user/1000 rw - tmpfs tmpfs rw\n");

    CameraDeviceWatcher watcher;
    ASSERT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getVolumePath(), "");
}

TEST_F (CameraVolumeTest, AnotherModelOfOurCamerasIsNotTheConnectedOne)
{
    plugCameraWithCard (1, 0x0105);

    // The same maker's other model, later in the bus, with its card mounted.
    SimulatedCamera second;
    second.productId = 0x0106;
    second.address = 3;
    const auto secondPath = testbed.plug (second);
    SimulatedDisk secondCard;
    secondCard.name = "sdc";
    secondCard.minor = 32;
    testbed.addDisk (secondPath, secondCard);

    const auto first = CameraVolumeFinder (cameraVendorId, 0x0105).findStorageDevices();
    ASSERT_EQ (first.size(), 1u);
    EXPECT_EQ (first[0].node, "/dev/sdb1");

    writeMounts ("40 22 8:33 / /media/ana/ORVIK rw - vfat /dev/sdc1 rw\n");
    EXPECT_EQ (CameraVolumeFinder (cameraVendorId, 0x0105).findMountPoint(), "");
    EXPECT_EQ (CameraVolumeFinder (cameraVendorId, 0x0106).findMountPoint(), "/media/ana/ORVIK");
}

TEST_F (CameraVolumeTest, StorageDevicesArePartitionsOrWholeDisksWithoutThem)
{
    const auto syspath = plugCameraWithCard (2);

    SimulatedDisk unpartitioned;
    unpartitioned.name = "sdd";
    unpartitioned.minor = 48;
    unpartitioned.partitionCount = 0;
    testbed.addDisk (syspath, unpartitioned);

    SimulatedDisk fixedDisk;
    fixedDisk.name = "sde";
    fixedDisk.minor = 64;
    fixedDisk.removable = false;
    testbed.addDisk (syspath, fixedDisk);

    std::vector<std::string> nodes;

    for (auto& device : CameraVolumeFinder (cameraVendorId, 0x0105).findStorageDevices())
    {
        nodes.push_back (device.node);

        if (device.node == "/dev/sdb1")
        {
            EXPECT_EQ (device.number, makedev (8, 17));
        }
    }

    std::sort (nodes.begin(), nodes.end());
    EXPECT_EQ (nodes, (std::vector<std::string> { "/dev/sdb1", "/dev/sdb2", "/dev/sdd" }));

    // The whole disk that has partitions is no storage device of its own.
    writeMounts ("40 22 8:16 / /media/ana/RAW rw - vfat /dev/sdb rw\n"
                 "41 22 8:48 / /media/ana/WHOLE rw - vfat /dev/sdd rw\n");
    CameraDeviceWatcher watcher;
    EXPECT_EQ (watcher.getVolumePath(), "/media/ana/WHOLE");
}

TEST_F (CameraVolumeTest, NoMoreThanThirtyStorageDevicesAreCollected)
{
    plugCameraWithCard (35);

    const auto storage = CameraVolumeFinder (cameraVendorId, 0x0105).findStorageDevices();
    EXPECT_EQ (storage.size(), CameraVolumeFinder::maxStorageDevices);

    for (auto& device : storage)
        EXPECT_EQ (device.node.rfind ("/dev/sdb", 0), 0u) << device.node;
}

TEST_F (CameraVolumeTest, TableWithoutDeviceNumbersIsMatchedByNode)
{
    plugCameraWithCard();
    writeTextFile (mountTablePath, "/dev/nvme0n1p2 / ext4 rw 0 0\n"
                                   "/dev/sdb1 /media/ana/CAMERA vfat rw 0 0\n");

    CameraDeviceWatcher watcher;
    EXPECT_EQ (watcher.getVolumePath(), "/media/ana/CAMERA");
}

TEST_F (CameraVolumeTest, ByDefaultTheProcessesOwnMountTableIsRead)
{
    unsetenv ("VORNIQ_MOUNTINFO");
    EXPECT_EQ (MountTable::getDefaultPath(), "/proc/self/mountinfo");

    // umockdev shows this file as /proc/self/mountinfo.
    writeTextFile (testbed.getRootDir() + "/proc/self/mountinfo",
                   rootMount + "40 22 8:17 / /media/ana/FROM\\040PROC rw - vfat /dev/sdb1 rw\n");
    plugCameraWithCard();

    CameraDeviceWatcher watcher;
    EXPECT_EQ (watcher.getVolumePath(), "/media/ana/FROM PROC");
}
