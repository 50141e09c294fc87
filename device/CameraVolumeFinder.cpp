#include "device/CameraVolumeFinder.h"

#include "device/MountTable.h"
#include "device/UdevHandles.h"

#include <algorithm>

namespace
{
    struct BlockDeviceFound
    {
        CameraStorageDevice storage;
        std::string syspath, diskSyspath;
        bool isPartition = false;
    };
}

CameraVolumeFinder::CameraVolumeFinder (std::uint16_t vendor, std::uint16_t product)
    : vendorId (vendor), productId (product)
{
}

std::vector<CameraStorageDevice> CameraVolumeFinder::findStorageDevices() const
{
    std::vector<CameraStorageDevice> result;

    Udev::Context udev (udev_new());

    if (udev == nullptr)
        return result;

    Udev::Enumerate enumerate (udev_enumerate_new (udev.get()));

    if (enumerate == nullptr
         || udev_enumerate_add_match_subsystem (enumerate.get(), "block") < 0
         || udev_enumerate_scan_devices (enumerate.get()) < 0)
        return result;

    // First every block device of the camera, then the leaves among them: a whole disk
    // only counts when none of its partitions was found.
    std::vector<BlockDeviceFound> found;
    udev_list_entry* entry = nullptr;

    udev_list_entry_foreach (entry, udev_enumerate_get_list_entry (enumerate.get()))
    {
        Udev::Device device (udev_device_new_from_syspath (udev.get(), udev_list_entry_get_name (entry)));

        if (device == nullptr || udev_device_get_devnode (device.get()) == nullptr)
            continue;

        const char* type = udev_device_get_devtype (device.get());

        if (type == nullptr)
            continue;

        const std::string typeName (type);

        if (typeName != "disk" && typeName != "partition")
            continue;

        auto* usbDevice = Udev::usbDeviceOf (device.get());
        auto* disk = Udev::diskOf (device.get());

        if (usbDevice == nullptr || disk == nullptr
             || Udev::parseHex16 (Udev::attribute (usbDevice, "idVendor")) != vendorId
             || Udev::parseHex16 (Udev::attribute (usbDevice, "idProduct")) != productId
             || Udev::attribute (disk, "removable") != "1")
            continue;

        BlockDeviceFound item;
        item.storage.node = udev_device_get_devnode (device.get());
        item.storage.number = udev_device_get_devnum (device.get());
        item.syspath = udev_device_get_syspath (device.get());
        item.diskSyspath = udev_device_get_syspath (disk);
        item.isPartition = typeName == "partition";
        found.push_back (std::move (item));
    }

    for (auto& item : found)
    {
        if (result.size() == maxStorageDevices)
            break;

        const bool isDiskWithPartitions = ! item.isPartition
            && std::any_of (found.begin(), found.end(), [&item] (const BlockDeviceFound& other)
                            {
                                return other.isPartition && other.diskSyspath == item.syspath;
                            });

        if (! isDiskWithPartitions)
            result.push_back (item.storage);
    }

    return result;
}

std::string CameraVolumeFinder::findMountPoint (const MountTable& mounts) const
{
    const auto storage = findStorageDevices();

    if (storage.empty())
        return {};

    for (auto& mount : mounts.getEntries())
    {
        if (mount.isNetwork)
            continue;

        for (auto& device : storage)
        {
            const bool sameNumber = mount.deviceNumber != 0 && mount.deviceNumber == device.number;
            const bool sameNode = mount.deviceNumber == 0 && mount.source == device.node;

            if (sameNumber || sameNode)
                return mount.target;
        }
    }

    return {};
}

std::string CameraVolumeFinder::findMountPoint() const
{
    return findMountPoint (MountTable::read());
}
