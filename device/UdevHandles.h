// Owning handles for the libudev objects the device code uses, and the two questions
// it asks the device registry about every block device. Private to device/.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <libudev.h>

namespace Udev
{
    struct ContextRelease     { void operator() (struct udev* u) const            { udev_unref (u); } };
    struct EnumerateRelease   { void operator() (udev_enumerate* e) const         { udev_enumerate_unref (e); } };
    struct DeviceRelease      { void operator() (udev_device* d) const            { udev_device_unref (d); } };

    using Context   = std::unique_ptr<struct udev, ContextRelease>;
    using Enumerate = std::unique_ptr<udev_enumerate, EnumerateRelease>;
    using Device    = std::unique_ptr<udev_device, DeviceRelease>;

    /** The text of a device attribute, or empty when it has none. */
    inline std::string attribute (udev_device* device, const char* name)
    {
        const char* value = device != nullptr ? udev_device_get_sysattr_value (device, name) : nullptr;
        return value != nullptr ? value : "";
    }

    /** A 16-bit number written in hexadecimal (either case, surrounding white space
        allowed), as the idVendor and idProduct attributes are; nothing when the text
        is not exactly that. */
    inline std::optional<std::uint16_t> parseHex16 (const std::string& text)
    {
        auto first = text.find_first_not_of (" \t\n");
        auto last = text.find_last_not_of (" \t\n");

        if (first == std::string::npos || last - first + 1 > 4)
            return {};

        unsigned value = 0;

        for (auto i = first; i <= last; ++i)
        {
            auto c = text[i];
            unsigned digit = 0;

            if (c >= '0' && c <= '9')       digit = unsigned (c - '0');
            else if (c >= 'a' && c <= 'f')  digit = unsigned (c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')  digit = unsigned (c - 'A' + 10);
            else                            return {};

            value = value * 16 + digit;
        }

        return std::uint16_t (value);
    }

    /** The whole disk a block device belongs to: the device itself for a disk, its
        parent disk for a partition. Not owned: it lives as long as the device. */
    inline udev_device* diskOf (udev_device* blockDevice)
    {
        const char* type = udev_device_get_devtype (blockDevice);

        if (type != nullptr && std::string (type) == "partition")
            return udev_device_get_parent_with_subsystem_devtype (blockDevice, "block", "disk");

        return blockDevice;
    }

    /** The USB device a block device sits on, or null. Not owned: it lives as long as
        the block device. */
    inline udev_device* usbDeviceOf (udev_device* blockDevice)
    {
        return udev_device_get_parent_with_subsystem_devtype (blockDevice, "usb", "usb_device");
    }
}
