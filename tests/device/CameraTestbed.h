// Simulated cameras, disks and their plugging for the device and agent tests, built on
// umockdev: the real libusb, libudev and libmount code sees them as hardware.
#pragma once

#include "device/CameraDeviceWatcher.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

/** How a simulated camera's device node behaves when a program opens it. */
enum class CameraNode
{
    silent,      ///< opens, but answers no USB request: string reads fail
    answering,   ///< answers string descriptor requests with the camera's texts
    unopenable   ///< cannot be opened (a folder stands in: root may open any file)
};

/** A USB device as plugged in. Defaults: one of our cameras, silent. */
struct SimulatedCamera
{
    std::uint16_t vendorId = cameraVendorId;
    std::uint16_t productId = 0x0101;
    std::uint16_t release = 0x0100;
    int bus = 1;
    int address = 2;     ///< also its port: sysfs name "<bus>-<address>"
    CameraNode node = CameraNode::silent;

    std::uint8_t manufacturerIndex = 1, productIndex = 2, serialIndex = 3;
    std::string manufacturer = "Quorel Optics";
    std::string product = "Corvane C1";
    std::string serialNumber = "CV1-000417";

    /** The sysfs "descriptors" attribute: device descriptor and one complete
        configuration (a mass-storage interface with two bulk endpoints). */
    std::vector<std::uint8_t> descriptors() const;
};

/** A disk, optionally with partitions; numbers follow the sd convention. */
struct SimulatedDisk
{
    std::string name = "sdb";
    unsigned major = 8, minor = 16;
    bool removable = true;
    int partitionCount = 1;    ///< partitions <name>1.., minors minor+1..
};

/**
    Answers the USB control requests a camera gets from libusb: GET_DESCRIPTOR for
    strings (language list and the texts), stalling anything else. Runs on umockdev's
    ioctl thread; the counter may be read on any thread.
*/
class CameraFirmware
{
public:
    explicit CameraFirmware (const SimulatedCamera& camera);
    ~CameraFirmware();

    UMockdevIoctlBase* getHandler() const   { return handler; }

    /** String descriptor requests answered so far (language list included). */
    int getStringRequestCount() const;

private:
    static int handleIoctl (UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self);
    bool handle (UMockdevIoctlClient* client);
    std::vector<std::uint8_t> answer (const std::uint8_t* setup);

    UMockdevIoctlBase* handler = nullptr;
    std::map<std::uint8_t, std::string> strings;

    mutable std::mutex lock;
    std::vector<UMockdevIoctlData*> completed;   // submitted URBs waiting to be reaped; owned
    int stringRequests = 0;
};

/**
    A umockdev testbed (it sets $UMOCKDEV_DIR for this process and its children) with
    helpers to plug and unplug cameras and storage. Main test thread only.
*/
class CameraTestbed
{
public:
    CameraTestbed();
    ~CameraTestbed();

    /** Adds the device and sends its "add" uevent; returns its sysfs path. */
    std::string plug (const SimulatedCamera& camera);

    /** Adds a disk and its partitions below a plugged USB device. */
    void addDisk (const std::string& usbSyspath, const SimulatedDisk& disk);

    /** Adds a disk that is not on USB (an internal SATA disk, or a card reader
        on the board for a removable one). */
    void addInternalDisk (const SimulatedDisk& disk, const std::string& controllerPath = "/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0");

    /** Sends "remove" uevents and removes the device with everything below it. */
    void unplug (const std::string& usbSyspath);

    /** The folder umockdev redirects /dev, /sys and /proc into. */
    std::string getRootDir() const;

    UMockdevTestbed* get() const    { return testbed; }

private:
    void addFromString (const std::string& description);
    void addBlockDevices (const std::string& parentPath, const SimulatedDisk& disk, std::vector<std::string>& added);

    UMockdevTestbed* testbed = nullptr;
    std::map<std::string, std::vector<std::string>> blockDevicesOf;   // USB syspath -> block syspaths
    std::map<std::string, std::string> nodeOf;                        // USB syspath -> /dev path
    std::map<std::string, std::unique_ptr<CameraFirmware>> firmwareOf;
    std::map<std::string, CameraNode> nodeKindOf;
    int nextHost = 6;
};

/** A clock for timing reports. */
using TestClock = std::chrono::steady_clock;

/** Seconds between two time points, as a double for printing and comparing. */
inline double secondsBetween (TestClock::time_point from, TestClock::time_point to)
{
    return std::chrono::duration<double> (to - from).count();
}
