// Finds where the connected camera's storage is mounted: the device registry (libudev)
// names the camera's block devices, the mount table (libmount) says where they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

class MountTable;

/** A block device that holds a file system of the camera. */
struct CameraStorageDevice
{
    std::string node;       ///< e.g. /dev/sdb1
    dev_t number = 0;       ///< major:minor
};

/**
    Looks up the storage of one camera, given by its USB vendor and product ID.
    Stateless apart from the IDs: use it on any thread.
*/
class CameraVolumeFinder
{
public:
    /** No more storage devices than this are collected for one camera. */
    static constexpr std::size_t maxStorageDevices = 30;

    /** For the camera with these IDs; nothing is looked up until asked. */
    CameraVolumeFinder (std::uint16_t vendorId, std::uint16_t productId);

    /** The camera's block devices that can hold a file system: its partitions, and
        its whole disks that have no partitions, each only when its disk is removable
        and it sits on a USB device with our vendor and product ID. In the registry's
        order, at most maxStorageDevices of them. */
    std::vector<CameraStorageDevice> findStorageDevices() const;

    /** The mount point of the first local mount in the table whose source is one of
        the camera's storage devices (compared by device number, and by node for a
        table without numbers), or empty when none is mounted. */
    std::string findMountPoint (const MountTable& mounts) const;

    /** The same, in the system's mount table. */
    std::string findMountPoint() const;

private:
    std::uint16_t vendorId, productId;
};
