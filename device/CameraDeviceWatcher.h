// The USB watcher for the maker's cameras, shared by Vorniq and VorniqStartupApp.
// It needs nothing of JUCE or the user interface: libusb, libudev and libmount only.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>

/** Receives the watcher's reports.

    Callbacks run without any of the watcher's locks held, one at a time, on the thread
    that delivers the watcher's notifications: normally the thread that performed the
    rescan (a short-lived hotplug rescan thread, or whoever called rescan()); when a
    rescan finds a change while another thread is still calling listeners, that thread
    delivers this change too, right after the one it is busy with, so every listener
    hears the changes in the order the rescans found them.

    A callback may add or remove listeners (itself included) and may call rescan(). It
    must not destroy the watcher, and it must not wait for a thread that could at that
    moment be removing this very listener: removeListener() waits for the callback to
    return. Hand the change to the message thread asynchronously instead.
*/
class CameraDeviceListener
{
public:
    virtual ~CameraDeviceListener() = default;

    /** A camera has been found where none was before. */
    virtual void cameraConnected() {}

    /** The camera that was connected has gone. */
    virtual void cameraDisconnected() {}
};

/** The maker's USB vendor ID. No real manufacturer owns it: the cameras are
    recognised by it together with the product table below. */
constexpr std::uint16_t cameraVendorId = 0x3f17;

/** Product IDs in ascending order; cameraModelNames[i] belongs to cameraProductIds[i]. */
constexpr std::array<std::uint16_t, 8> cameraProductIds { 0x0101, 0x0102, 0x0103, 0x0104,
                                                          0x0105, 0x0106, 0x0107, 0x0108 };

constexpr std::array<const char*, 8> cameraModelNames { "Corvane", "Lirrow", "Daltry", "Esker",
                                                        "Fennick", "Orvik", "Tamsel", "Tamsel-UX" };

/** The maker text reported for a camera that cannot be opened. */
constexpr const char* cameraFallbackManufacturer = "QUOREL";

/**
    Tells its listeners when one of the maker's cameras is plugged in or removed,
    and answers questions about the connected one.

    Threads:
    - the constructing thread starts libusb (a context of the watcher's own) and
      performs the first rescan;
    - the watcher's event thread lets libusb handle its events; libusb calls the
      hotplug callback there, which only starts a rescan thread;
    - every hotplug event starts one short-lived rescan thread: it waits 3 s after an
      arrival (woken early when the watcher is destroyed) and rescans at once after
      a departure;
    - rescan(), the listener functions and the accessors may be called from any thread.

    Locks, always taken in this order and never held during a listener callback:
    - rescanLock is held for the whole examination of the bus, so only one rescan
      writes the device record at a time, and the changes are queued for the listeners
      in the order the rescans found them;
    - recordLock guards the device record (descriptor, connected, texts) for the short
      copy in or out; the accessors read it under this lock;
    - listenerLock guards the listener set, the queue of changes not yet delivered and
      the note of which listener is being called by which thread;
    - pendingLock guards the list of rescan threads and, with its condition variable,
      wakes a rescan thread that waits for an arrival when the watcher is destroyed.

    Listeners are called from a copy of the set taken under listenerLock, without the
    lock held, one listener at a time, by one delivering thread at a time. Just before
    each call the listener is looked up again, so one removed in the meantime is
    skipped. removeListener() waits while the listener is being called on another
    thread, so once it returns the listener is neither being called nor will it be.

    The destructor stops and joins every thread the watcher started before libusb is
    released; no thread touches the watcher after it.
*/
class CameraDeviceWatcher
{
public:
    /** Initialises libusb, registers for hotplug events, starts the event thread and
        rescans once. Without libusb the watcher simply reports no camera. */
    CameraDeviceWatcher();

    /** Stops the event thread and any pending rescan thread, then releases libusb.
        Any thread but one inside a listener callback. */
    ~CameraDeviceWatcher();

    /** Registers a listener; null and duplicates are ignored. Any thread. */
    void addListener (CameraDeviceListener* listener);

    /** Unregisters a listener; null is ignored. Any thread, inside a callback too. When
        it returns, the listener is not being called and will not be called again. */
    void removeListener (CameraDeviceListener* listener);

    /** Examines the bus now, on the calling thread, and tells the listeners if the
        connected state changed. Any thread. */
    void rescan();

    /** True when the last rescan found a camera. Any thread. */
    bool isConnected() const;

    /** The connected camera's model name (kept after it goes away). Any thread. */
    std::string getModelName() const;

    /** The connected camera's maker text (kept after it goes away). Any thread. */
    std::string getManufacturer() const;

    /** The connected camera's serial number text (kept after it goes away). Any thread. */
    std::string getSerialNumber() const;

    /** The device release number as four upper-case hexadecimal digits, or empty
        when no camera is connected. Any thread. */
    std::string getFirmwareVersion() const;

    /** The mount point of the connected camera's storage, or empty when no camera is
        connected or none of its volumes is mounted. Any thread; reads the device
        registry and the mount table, so not for every paint. */
    std::string getVolumePath() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared;

    CameraDeviceWatcher (const CameraDeviceWatcher&) = delete;
    CameraDeviceWatcher& operator= (const CameraDeviceWatcher&) = delete;
};
