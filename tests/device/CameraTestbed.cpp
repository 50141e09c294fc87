#include "CameraTestbed.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

namespace
{
    std::string hex (const std::vector<std::uint8_t>& bytes)
    {
        static const char digits[] = "0123456789ABCDEF";
        std::string text;

        for (auto b : bytes)
        {
            text += digits[b >> 4];
            text += digits[b & 15];
        }

        return text;
    }

    std::string format (const char* pattern, unsigned value)
    {
        char text[32] = {};
        std::snprintf (text, sizeof (text), pattern, value);
        return text;
    }

    void putWord (std::vector<std::uint8_t>& bytes, unsigned value)
    {
        bytes.push_back (std::uint8_t (value & 0xff));
        bytes.push_back (std::uint8_t (value >> 8));
    }

    constexpr std::uint8_t requestTypeDeviceToHost = 0x80;
    constexpr std::uint8_t requestGetDescriptor = 0x06;
    constexpr std::uint8_t descriptorTypeString = 0x03;
    constexpr unsigned languageEnglishUS = 0x0409;
    constexpr int setupPacketSize = 8;
}

//==============================================================================
std::vector<std::uint8_t> SimulatedCamera::descriptors() const
{
    std::vector<std::uint8_t> d;

    // Device descriptor.
    d.insert (d.end(), { 18, 0x01 });
    putWord (d, 0x0200);                    // USB 2.0
    d.insert (d.end(), { 0, 0, 0, 64 });    // class per interface, max packet 64
    putWord (d, vendorId);
    putWord (d, productId);
    putWord (d, release);
    d.insert (d.end(), { manufacturerIndex, productIndex, serialIndex, 1 });

    // Configuration 1: one mass-storage (bulk-only) interface, bulk IN and OUT.
    d.insert (d.end(), { 9, 0x02 });
    putWord (d, 9 + 9 + 7 + 7);
    d.insert (d.end(), { 1, 1, 0, 0x80, 250 });
    d.insert (d.end(), { 9, 0x04, 0, 0, 2, 0x08, 0x06, 0x50, 0 });
    d.insert (d.end(), { 7, 0x05, 0x81, 0x02 });
    putWord (d, 512);
    d.push_back (0);
    d.insert (d.end(), { 7, 0x05, 0x02, 0x02 });
    putWord (d, 512);
    d.push_back (0);

    return d;
}

//==============================================================================
CameraFirmware::CameraFirmware (const SimulatedCamera& camera)
    : handler (umockdev_ioctl_base_new())
{
    if (camera.manufacturerIndex != 0) strings[camera.manufacturerIndex] = camera.manufacturer;
    if (camera.productIndex != 0)      strings[camera.productIndex] = camera.product;
    if (camera.serialIndex != 0)       strings[camera.serialIndex] = camera.serialNumber;

    g_signal_connect (handler, "handle-ioctl", G_CALLBACK (&CameraFirmware::handleIoctl), this);
}

CameraFirmware::~CameraFirmware()
{
    g_signal_handlers_disconnect_by_data (handler, this);

    for (auto* urb : completed)
        g_object_unref (urb);

    g_object_unref (handler);
}

int CameraFirmware::getStringRequestCount() const
{
    std::lock_guard<std::mutex> guard (lock);
    return stringRequests;
}

int CameraFirmware::handleIoctl (UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    return static_cast<CameraFirmware*> (self)->handle (client) ? TRUE : FALSE;
}

std::vector<std::uint8_t> CameraFirmware::answer (const std::uint8_t* setup)
{
    if (setup[0] != requestTypeDeviceToHost || setup[1] != requestGetDescriptor || setup[3] != descriptorTypeString)
        return {};

    const std::uint8_t index = setup[2];
    std::vector<std::uint8_t> reply;

    if (index == 0)
    {
        reply = { 4, descriptorTypeString };
        putWord (reply, languageEnglishUS);
    }
    else
    {
        auto text = strings.find (index);

        if (text == strings.end())
            return {};

        reply = { std::uint8_t (2 + 2 * text->second.size()), descriptorTypeString };

        for (auto c : text->second)
            putWord (reply, std::uint8_t (c));
    }

    ++stringRequests;
    return reply;
}

bool CameraFirmware::handle (UMockdevIoctlClient* client)
{
    const auto request = umockdev_ioctl_client_get_request (client);
    auto* argument = umockdev_ioctl_client_get_arg (client);

    std::lock_guard<std::mutex> guard (lock);

    if (request == USBDEVFS_GET_CAPABILITIES)
    {
        auto* capabilities = umockdev_ioctl_data_resolve (argument, 0, sizeof (std::uint32_t), nullptr);
        *reinterpret_cast<std::uint32_t*> (capabilities->data) = USBDEVFS_CAP_BULK_CONTINUATION
                                                               | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        g_object_unref (capabilities);
        umockdev_ioctl_client_complete (client, 0, 0);
        return true;
    }

    if (request == USBDEVFS_SUBMITURB)
    {
        auto* urbData = umockdev_ioctl_data_resolve (argument, 0, sizeof (usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*> (urbData->data);

        if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->buffer_length < setupPacketSize)
        {
            g_object_unref (urbData);
            umockdev_ioctl_client_complete (client, -1, EINVAL);
            return true;
        }

        auto* bufferData = umockdev_ioctl_data_resolve (urbData, offsetof (usbdevfs_urb, buffer),
                                                        size_t (urb->buffer_length), nullptr);
        auto* buffer = bufferData->data;
        const auto requested = std::min (int (buffer[6] | (buffer[7] << 8)), urb->buffer_length - setupPacketSize);

        // The data stage is written now; libusb sees it when it reaps the URB.
        auto reply = answer (buffer);

        if (reply.empty())
        {
            urb->status = -EPIPE;   // a stall, as a real device answers an unknown request
            urb->actual_length = 0;
        }
        else
        {
            const auto length = std::min (int (reply.size()), requested);
            std::copy (reply.begin(), reply.begin() + length, buffer + setupPacketSize);
            urb->status = 0;
            urb->actual_length = length;
        }

        g_object_unref (bufferData);
        completed.push_back (urbData);
        umockdev_ioctl_client_complete (client, 0, 0);
        return true;
    }

    if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY)
    {
        if (completed.empty())
        {
            umockdev_ioctl_client_complete (client, -1, EAGAIN);
            return true;
        }

        auto* urbData = completed.front();
        completed.erase (completed.begin());

        auto* pointer = umockdev_ioctl_data_resolve (argument, 0, sizeof (void*), nullptr);
        umockdev_ioctl_data_set_ptr (pointer, 0, urbData);
        g_object_unref (pointer);
        g_object_unref (urbData);
        umockdev_ioctl_client_complete (client, 0, 0);
        return true;
    }

    if (request == USBDEVFS_DISCARDURB)
    {
        umockdev_ioctl_client_complete (client, -1, EINVAL);
        return true;
    }

    return false;
}

//==============================================================================
CameraTestbed::CameraTestbed()
    : testbed (umockdev_testbed_new())
{
    if (testbed == nullptr)
        throw std::runtime_error ("cannot make a umockdev testbed");
}

CameraTestbed::~CameraTestbed()
{
    for (auto& [syspath, node] : nodeOf)
        if (firmwareOf.count (syspath) != 0)
            umockdev_testbed_detach_ioctl (testbed, node.c_str(), nullptr);

    g_object_unref (testbed);
    firmwareOf.clear();
}

std::string CameraTestbed::getRootDir() const
{
    auto* dir = umockdev_testbed_get_root_dir (testbed);
    std::string result (dir);
    g_free (dir);
    return result;
}

void CameraTestbed::addFromString (const std::string& description)
{
    GError* error = nullptr;

    if (! umockdev_testbed_add_from_string (testbed, description.c_str(), &error))
    {
        std::string message = error != nullptr ? error->message : "unknown error";
        g_clear_error (&error);
        throw std::runtime_error ("umockdev rejected a device: " + message);
    }
}

std::string CameraTestbed::plug (const SimulatedCamera& camera)
{
    const auto busText = format ("%03u", unsigned (camera.bus));
    const auto addressText = format ("%03u", unsigned (camera.address));
    const auto node = "/dev/bus/usb/" + busText + "/" + addressText;
    const auto syspath = "/sys/devices/pci0000:00/0000:00:14.0/usb" + std::to_string (camera.bus)
                            + "/" + std::to_string (camera.bus) + "-" + std::to_string (camera.address);

    std::string description = "P: " + syspath.substr (4) + "\n";

    switch (camera.node)
    {
        case CameraNode::silent:
            description += "N: " + node.substr (5) + "=00\n";
            break;

        case CameraNode::answering:
        {
            // Attached before the device appears, so libusb can open it as soon as it
            // hears of it.
            auto firmware = std::make_unique<CameraFirmware> (camera);
            GError* error = nullptr;

            if (! umockdev_testbed_attach_ioctl (testbed, node.c_str(), firmware->getHandler(), &error))
            {
                std::string message = error != nullptr ? error->message : "unknown error";
                g_clear_error (&error);
                throw std::runtime_error ("cannot attach the camera firmware: " + message);
            }

            firmwareOf[syspath] = std::move (firmware);
            description += "N: " + node.substr (5) + "\n";
            break;
        }

        case CameraNode::unopenable:
            std::filesystem::create_directories (getRootDir() + node);
            break;
    }

    description += "E: SUBSYSTEM=usb\n"
                   "E: DEVTYPE=usb_device\n"
                   "E: DRIVER=usb\n"
                   "E: DEVNAME=" + node + "\n"
                   "E: BUSNUM=" + busText + "\n"
                   "E: DEVNUM=" + addressText + "\n"
                   "E: PRODUCT=" + format ("%x", camera.vendorId) + "/" + format ("%x", camera.productId)
                                 + "/" + format ("%x", camera.release) + "\n"
                   "A: idVendor=" + format ("%04x", camera.vendorId) + "\\n\n"
                   "A: idProduct=" + format ("%04x", camera.productId) + "\\n\n"
                   "A: bcdDevice=" + format ("%04x", camera.release) + "\\n\n"
                   "A: busnum=" + std::to_string (camera.bus) + "\\n\n"
                   "A: devnum=" + std::to_string (camera.address) + "\\n\n"
                   "A: speed=480\\n\n"
                   "A: bConfigurationValue=1\\n\n"
                   "H: descriptors=" + hex (camera.descriptors()) + "\n";

    addFromString (description);
    nodeOf[syspath] = node;
    nodeKindOf[syspath] = camera.node;
    blockDevicesOf[syspath];
    return syspath;
}

void CameraTestbed::addBlockDevices (const std::string& parentPath, const SimulatedDisk& disk, std::vector<std::string>& added)
{
    const auto diskPath = parentPath + "/block/" + disk.name;
    std::string description;

    auto describe = [&] (const std::string& path, const std::string& name, const char* type, unsigned minor,
                         const std::string& extraAttributes)
    {
        description += "P: " + path.substr (4) + "\n"
                       "N: " + name + "=00\n"
                       "E: SUBSYSTEM=block\n"
                       "E: DEVTYPE=" + type + "\n"
                       "E: DEVNAME=/dev/" + name + "\n"
                       "E: MAJOR=" + std::to_string (disk.major) + "\n"
                       "E: MINOR=" + std::to_string (minor) + "\n"
                       "A: dev=" + std::to_string (disk.major) + ":" + std::to_string (minor) + "\\n\n"
                       + extraAttributes + "\n";
        added.push_back (path);
    };

    describe (diskPath, disk.name, "disk", disk.minor,
              std::string ("A: removable=") + (disk.removable ? "1" : "0") + "\\n\n");

    for (int i = 1; i <= disk.partitionCount; ++i)
    {
        // sdb1, but mmcblk0p1: a "p" keeps the numbers apart.
        const auto name = disk.name + (std::isdigit ((unsigned char) disk.name.back()) ? "p" : "") + std::to_string (i);
        describe (diskPath + "/" + name, name, "partition", disk.minor + unsigned (i),
                  "A: partition=" + std::to_string (i) + "\\n\n");
    }

    addFromString (description);
}

void CameraTestbed::addDisk (const std::string& usbSyspath, const SimulatedDisk& disk)
{
    const auto host = std::to_string (nextHost++);
    const auto name = usbSyspath.substr (usbSyspath.rfind ('/') + 1);
    const auto scsiPath = usbSyspath + "/" + name + ":1.0/host" + host + "/target" + host + ":0:0/" + host + ":0:0:0";

    addBlockDevices (scsiPath, disk, blockDevicesOf[usbSyspath]);
}

void CameraTestbed::addInternalDisk (const SimulatedDisk& disk, const std::string& controllerPath)
{
    std::vector<std::string> added;
    addBlockDevices ("/sys" + controllerPath, disk, added);
}

void CameraTestbed::unplug (const std::string& usbSyspath)
{
    // What lies below goes first, as when the kernel tears a device down.
    auto& below = blockDevicesOf[usbSyspath];

    for (auto path = below.rbegin(); path != below.rend(); ++path)
    {
        umockdev_testbed_uevent (testbed, path->c_str(), "remove");
        umockdev_testbed_remove_device (testbed, path->c_str());
    }

    blockDevicesOf.erase (usbSyspath);

    umockdev_testbed_uevent (testbed, usbSyspath.c_str(), "remove");
    umockdev_testbed_remove_device (testbed, usbSyspath.c_str());

    const auto node = nodeOf[usbSyspath];

    if (firmwareOf.count (usbSyspath) != 0)
    {
        umockdev_testbed_detach_ioctl (testbed, node.c_str(), nullptr);
        firmwareOf.erase (usbSyspath);
    }

    if (nodeKindOf[usbSyspath] == CameraNode::unopenable)
    {
        std::error_code ignored;
        std::filesystem::remove (getRootDir() + node, ignored);
    }

    nodeOf.erase (usbSyspath);
    nodeKindOf.erase (usbSyspath);
}
