#include "device/RemovableDrive.h"

#include "device/MountTable.h"
#include "device/UdevHandles.h"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace
{
    /** The device number of a block device node, or 0. */
    dev_t blockDeviceNumberOf (const std::string& node)
    {
        struct stat info {};

        if (node.empty() || node[0] != '/' || ::stat (node.c_str(), &info) != 0 || ! S_ISBLK (info.st_mode))
            return 0;

        return info.st_rdev;
    }

    bool isRemovableBlockDevice (const MountEntry& mount)
    {
        Udev::Context udev (udev_new());

        if (udev == nullptr)
            return false;

        // mountinfo gives the device number of the file system; a table without one, or
        // a file system whose number is not a block device's (btrfs, overlay), is tried
        // through its source node.
        Udev::Device device;

        if (mount.deviceNumber != 0)
            device.reset (udev_device_new_from_devnum (udev.get(), 'b', mount.deviceNumber));

        if (device == nullptr)
            if (auto number = blockDeviceNumberOf (mount.source); number != 0)
                device.reset (udev_device_new_from_devnum (udev.get(), 'b', number));

        if (device == nullptr)
            return false;

        auto* disk = Udev::diskOf (device.get());

        return (disk != nullptr && Udev::attribute (disk, "removable") == "1")
                || Udev::usbDeviceOf (device.get()) != nullptr;
    }
}

bool isOnRemovableDrive (const std::string& path, const MountTable& mounts)
{
    if (path.empty())
        return false;

    std::error_code error;
    auto absolute = std::filesystem::absolute (path, error);

    if (error)
        return false;

    // Symbolic links are followed as far as the path exists, so a link into a card
    // counts as the card.
    auto resolved = std::filesystem::weakly_canonical (absolute, error);

    if (error)
        resolved = absolute.lexically_normal();

    auto text = resolved.string();

    while (text.size() > 1 && text.back() == '/')
        text.pop_back();

    auto* mount = mounts.findMountHolding (text);

    return mount != nullptr && ! mount->isNetwork && isRemovableBlockDevice (*mount);
}

bool isOnRemovableDrive (const std::string& path)
{
    return isOnRemovableDrive (path, MountTable::read());
}
