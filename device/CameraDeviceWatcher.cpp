#include "device/CameraDeviceWatcher.h"

#include "device/CameraVolumeFinder.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <system_error>
#include <thread>
#include <vector>

#include <libusb.h>

namespace
{
    /** How long an arrival waits before the bus is examined: a camera needs a moment
        after enumeration before it answers string requests. */
    constexpr auto arrivalDelay = std::chrono::seconds (3);

    /** How long libusb may wait for events before the event thread looks at the
        stop flag again (the destructor also wakes it at once). */
    constexpr timeval eventTimeout { 3, 0 };

    /** Pause after libusb failed to handle events, so a broken context cannot spin. */
    constexpr auto eventErrorPause = std::chrono::milliseconds (100);

    constexpr int stringBufferSize = 128;
}

//==============================================================================
struct CameraDeviceWatcher::Shared
{
    /** What the last rescan found. */
    struct Record
    {
        libusb_device_descriptor descriptor {};
        bool connected = false;
        std::string manufacturer, modelName, serialNumber;
    };

    ~Shared()
    {
        stop();
    }

    //==============================================================================
    void start()
    {
        if (libusb_init (&context) != LIBUSB_SUCCESS)
        {
            context = nullptr;
            return;
        }

        const auto registered = libusb_hotplug_register_callback (context,
                                                                  LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED
                                                                      | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT,
                                                                  0, cameraVendorId,
                                                                  LIBUSB_HOTPLUG_MATCH_ANY,
                                                                  LIBUSB_HOTPLUG_MATCH_ANY,
                                                                  hotplugEvent, this, &hotplugHandle);

        if (registered != LIBUSB_SUCCESS)
        {
            hotplugHandle = 0;
        }
        else
        {
            try
            {
                eventThread = std::thread ([this] { handleEvents(); });
            }
            catch (const std::system_error&)
            {
                // Without an event thread nobody would see the events: explicit
                // rescans still work.
                libusb_hotplug_deregister_callback (context, hotplugHandle);
                hotplugHandle = 0;
            }
        }

        rescan();
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock (pendingLock);

            if (stopRequested)
                return;

            stopRequested = true;
        }

        stopSignal.notify_all();

        if (context == nullptr)
            return;

        if (hotplugHandle != 0)
            libusb_hotplug_deregister_callback (context, hotplugHandle);

        if (eventThread.joinable())
        {
            libusb_interrupt_event_handler (context);
            eventThread.join();
        }

        // The event thread is gone, so no hotplug callback can add a rescan thread now.
        std::map<std::uint64_t, std::thread> remaining;

        {
            std::lock_guard<std::mutex> lock (pendingLock);
            remaining.swap (pendingRescans);
            finishedRescans.clear();
        }

        for (auto& pending : remaining)
            pending.second.join();

        libusb_exit (context);
        context = nullptr;
    }

    //==============================================================================
    // Event thread.
    void handleEvents()
    {
        while (! stopRequested)
        {
            auto timeout = eventTimeout;
            const auto result = libusb_handle_events_timeout_completed (context, &timeout, nullptr);

            if (result < 0 && result != LIBUSB_ERROR_INTERRUPTED && result != LIBUSB_ERROR_TIMEOUT)
            {
                std::unique_lock<std::mutex> lock (pendingLock);
                stopSignal.wait_for (lock, eventErrorPause, [this] { return stopRequested.load(); });
            }
        }
    }

    // Called by libusb on the event thread. No USB work here: libusb forbids most of
    // it inside a hotplug callback, and the camera is not ready yet anyway.
    static int LIBUSB_CALL hotplugEvent (libusb_context*, libusb_device*, libusb_hotplug_event event, void* userData)
    {
        static_cast<Shared*> (userData)->startHotplugRescan (event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
        return 0;
    }

    void startHotplugRescan (bool afterArrival)
    {
        std::lock_guard<std::mutex> lock (pendingLock);

        if (stopRequested)
            return;

        for (auto id : finishedRescans)
        {
            auto found = pendingRescans.find (id);

            if (found != pendingRescans.end())
            {
                found->second.join();
                pendingRescans.erase (found);
            }
        }

        finishedRescans.clear();

        const auto id = nextRescanId++;

        try
        {
            // The raw pointer is safe: the watcher's destructor joins this thread
            // before the shared state can go.
            pendingRescans.emplace (id, std::thread ([this, id, afterArrival] { runHotplugRescan (id, afterArrival); }));
        }
        catch (const std::system_error&)
        {
            // No thread to be had: this event goes unreported; the next event or an
            // explicit rescan catches up with the bus.
        }
    }

    // A short-lived rescan thread.
    void runHotplugRescan (std::uint64_t id, bool afterArrival)
    {
        bool stopping = false;

        {
            std::unique_lock<std::mutex> lock (pendingLock);

            if (afterArrival)
                stopping = stopSignal.wait_for (lock, arrivalDelay, [this] { return stopRequested.load(); });
            else
                stopping = stopRequested;
        }

        if (! stopping)
            rescan();

        std::lock_guard<std::mutex> lock (pendingLock);
        finishedRescans.push_back (id);
    }

    //==============================================================================
    void rescan()
    {
        {
            std::lock_guard<std::mutex> scanning (rescanLock);

            Record found;

            {
                std::lock_guard<std::mutex> lock (recordLock);
                found = record;
            }

            const bool wasConnected = found.connected;
            found.connected = false;

            if (context != nullptr)
                examineBus (found);

            {
                std::lock_guard<std::mutex> lock (recordLock);
                record = found;
            }

            // Queued while rescanLock is still held, so changes queue in the order
            // the rescans found them.
            if (found.connected != wasConnected)
            {
                std::lock_guard<std::mutex> lock (listenerLock);
                undelivered.push_back (found.connected);
            }
        }

        deliverChanges();
    }

    void examineBus (Record& found)
    {
        libusb_device** devices = nullptr;
        const auto count = libusb_get_device_list (context, &devices);

        for (ssize_t i = 0; i < count; ++i)
        {
            libusb_device_descriptor descriptor {};

            if (libusb_get_device_descriptor (devices[i], &descriptor) != LIBUSB_SUCCESS
                 || descriptor.idVendor != cameraVendorId)
                continue;

            const auto product = std::find (cameraProductIds.begin(), cameraProductIds.end(), descriptor.idProduct);

            if (product == cameraProductIds.end())
                continue;

            found.descriptor = descriptor;
            found.connected = true;

            libusb_device_handle* handle = nullptr;

            if (libusb_open (devices[i], &handle) != LIBUSB_SUCCESS)
            {
                found.manufacturer = cameraFallbackManufacturer;
                found.modelName = cameraModelNames[size_t (product - cameraProductIds.begin())];
            }
            else
            {
                readString (handle, descriptor.iManufacturer, found.manufacturer);
                readString (handle, descriptor.iProduct, found.modelName);
                readString (handle, descriptor.iSerialNumber, found.serialNumber);
                libusb_close (handle);
            }

            break;
        }

        if (devices != nullptr)
            libusb_free_device_list (devices, 1);
    }

    /** Replaces text with the string descriptor at index; a missing index or a failed
        read leaves it as it was. */
    static void readString (libusb_device_handle* handle, std::uint8_t index, std::string& text)
    {
        if (index == 0)
            return;

        unsigned char buffer[stringBufferSize] = {};
        const auto length = libusb_get_string_descriptor_ascii (handle, index, buffer, sizeof (buffer));

        if (length >= 0)
            text.assign (reinterpret_cast<const char*> (buffer), size_t (length));
    }

    //==============================================================================
    // Listeners.
    void addListener (CameraDeviceListener* listener)
    {
        if (listener == nullptr)
            return;

        std::lock_guard<std::mutex> lock (listenerLock);
        listeners.insert (listener);
    }

    void removeListener (CameraDeviceListener* listener)
    {
        if (listener == nullptr)
            return;

        std::unique_lock<std::mutex> lock (listenerLock);
        listeners.erase (listener);

        // From inside its own callback there is nothing to wait for: the call is below
        // us on this very stack.
        const auto self = std::this_thread::get_id();
        listenerCallEnded.wait (lock, [&]
        {
            return listenerBeingCalled != listener || deliveringThread == self;
        });
    }

    /** Calls the listeners for every queued change, unless another thread is already
        doing so: that thread then delivers these changes too. */
    void deliverChanges()
    {
        std::unique_lock<std::mutex> lock (listenerLock);

        if (delivering)
            return;

        struct Delivery
        {
            Shared& owner;
            std::unique_lock<std::mutex>& lock;

            ~Delivery()
            {
                if (! lock.owns_lock())
                    lock.lock();

                owner.delivering = false;
                owner.deliveringThread = {};
                owner.listenerBeingCalled = nullptr;
                owner.listenerCallEnded.notify_all();
            }
        };

        delivering = true;
        deliveringThread = std::this_thread::get_id();
        Delivery delivery { *this, lock };

        while (! undelivered.empty())
        {
            const bool nowConnected = undelivered.front();
            undelivered.pop_front();

            const std::vector<CameraDeviceListener*> toCall (listeners.begin(), listeners.end());

            for (auto* listener : toCall)
            {
                if (listeners.count (listener) == 0)
                    continue;   // removed by an earlier callback

                listenerBeingCalled = listener;
                lock.unlock();

                if (nowConnected)
                    listener->cameraConnected();
                else
                    listener->cameraDisconnected();

                lock.lock();
                listenerBeingCalled = nullptr;
                listenerCallEnded.notify_all();
            }
        }
    }

    //==============================================================================
    Record getRecord() const
    {
        std::lock_guard<std::mutex> lock (recordLock);
        return record;
    }

    //==============================================================================
    // Set by start() before any other thread exists, cleared by stop() after they end.
    libusb_context* context = nullptr;
    libusb_hotplug_callback_handle hotplugHandle = 0;
    std::thread eventThread;

    std::atomic<bool> stopRequested { false };   // written under pendingLock

    std::mutex rescanLock;                        // held for a whole rescan

    mutable std::mutex recordLock;
    Record record;                                // guarded by recordLock

    std::mutex listenerLock;
    std::condition_variable listenerCallEnded;
    std::set<CameraDeviceListener*> listeners;    // guarded by listenerLock, like the four below
    std::deque<bool> undelivered;                 // changes found, not yet told: true = connected
    bool delivering = false;
    std::thread::id deliveringThread;
    CameraDeviceListener* listenerBeingCalled = nullptr;

    std::mutex pendingLock;
    std::condition_variable stopSignal;
    std::map<std::uint64_t, std::thread> pendingRescans;   // guarded by pendingLock, like the two below
    std::vector<std::uint64_t> finishedRescans;            // ended, not yet joined
    std::uint64_t nextRescanId = 0;
};

//==============================================================================
CameraDeviceWatcher::CameraDeviceWatcher()
    : shared (std::make_shared<Shared>())
{
    shared->start();
}

CameraDeviceWatcher::~CameraDeviceWatcher()
{
    shared->stop();
}

void CameraDeviceWatcher::addListener (CameraDeviceListener* listener)
{
    shared->addListener (listener);
}

void CameraDeviceWatcher::removeListener (CameraDeviceListener* listener)
{
    shared->removeListener (listener);
}

void CameraDeviceWatcher::rescan()
{
    shared->rescan();
}

bool CameraDeviceWatcher::isConnected() const
{
    return shared->getRecord().connected;
}

std::string CameraDeviceWatcher::getModelName() const
{
    return shared->getRecord().modelName;
}

std::string CameraDeviceWatcher::getManufacturer() const
{
    return shared->getRecord().manufacturer;
}

std::string CameraDeviceWatcher::getSerialNumber() const
{
    return shared->getRecord().serialNumber;
}

std::string CameraDeviceWatcher::getFirmwareVersion() const
{
    const auto found = shared->getRecord();

    if (! found.connected)
        return {};

    char text[8] = {};
    std::snprintf (text, sizeof (text), "%04X", unsigned (found.descriptor.bcdDevice));
    return text;
}

std::string CameraDeviceWatcher::getVolumePath() const
{
    const auto found = shared->getRecord();

    if (! found.connected)
        return {};

    return CameraVolumeFinder (found.descriptor.idVendor, found.descriptor.idProduct).findMountPoint();
}
