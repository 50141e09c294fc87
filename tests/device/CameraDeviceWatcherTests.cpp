// The camera watcher against simulated USB buses: hotplug timing, which devices count,
// what it reads from a camera, its listeners' guarantees and its life cycle.
#include "CameraTestbed.h"

#include "device/CameraDeviceWatcher.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <future>
#include <thread>
#include <vector>

#include <libusb.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
    /** Notes every report with its time and thread. */
    class RecordingListener : public CameraDeviceListener
    {
    public:
        struct Event
        {
            bool connected;
            TestClock::time_point when;
            std::thread::id thread;
        };

        void cameraConnected() override       { record (true); }
        void cameraDisconnected() override    { record (false); }

        /** Waits until at least count reports have come; false when the time ran out. */
        bool waitForEvents (size_t count, std::chrono::milliseconds timeout)
        {
            std::unique_lock<std::mutex> lock (mutex);
            return changed.wait_for (lock, timeout, [&] { return events.size() >= count; });
        }

        std::vector<Event> getEvents() const
        {
            std::lock_guard<std::mutex> lock (mutex);
            return events;
        }

    private:
        void record (bool connected)
        {
            std::lock_guard<std::mutex> lock (mutex);
            events.push_back ({ connected, TestClock::now(), std::this_thread::get_id() });
            changed.notify_all();
        }

        mutable std::mutex mutex;
        std::condition_variable changed;
        std::vector<Event> events;
    };

    /** A listener whose callbacks block until released, to hold a delivery open. */
    class BlockingListener : public CameraDeviceListener
    {
    public:
        void cameraConnected() override       { enter (true); }
        void cameraDisconnected() override    { enter (false); }

        bool waitUntilEntered (int calls, std::chrono::milliseconds timeout)
        {
            std::unique_lock<std::mutex> lock (mutex);
            return changed.wait_for (lock, timeout, [&] { return int (seen.size()) >= calls; });
        }

        void release()
        {
            std::lock_guard<std::mutex> lock (mutex);
            released = true;
            changed.notify_all();
        }

        bool isInsideCall() const
        {
            std::lock_guard<std::mutex> lock (mutex);
            return inside;
        }

        std::vector<bool> getSeen() const
        {
            std::lock_guard<std::mutex> lock (mutex);
            return seen;
        }

    private:
        void enter (bool connected)
        {
            std::unique_lock<std::mutex> lock (mutex);
            seen.push_back (connected);
            inside = true;
            changed.notify_all();
            changed.wait_for (lock, 20s, [&] { return released; });
            inside = false;
        }

        mutable std::mutex mutex;
        std::condition_variable changed;
        std::vector<bool> seen;
        bool released = false, inside = false;
    };

    /** The release number of the first of our cameras in a libusb device list of
        our own, which lists the bus in the same order as the watcher's. */
    int releaseOfFirstCameraInList()
    {
        libusb_context* context = nullptr;

        if (libusb_init (&context) != LIBUSB_SUCCESS)
            return -1;

        libusb_device** devices = nullptr;
        const auto count = libusb_get_device_list (context, &devices);
        int release = -1;

        for (ssize_t i = 0; i < count && release < 0; ++i)
        {
            libusb_device_descriptor descriptor {};

            if (libusb_get_device_descriptor (devices[i], &descriptor) == 0 && descriptor.idVendor == cameraVendorId)
                release = descriptor.bcdDevice;
        }

        if (devices != nullptr)
            libusb_free_device_list (devices, 1);

        libusb_exit (context);
        return release;
    }

    class CameraDeviceWatcherTest : public ::testing::Test
    {
    protected:
        CameraTestbed testbed;
        RecordingListener listener;
    };

    SimulatedCamera cameraWith (std::uint16_t productId, std::uint16_t release, int address = 2,
                                CameraNode node = CameraNode::silent)
    {
        SimulatedCamera camera;
        camera.productId = productId;
        camera.release = release;
        camera.address = address;
        camera.node = node;
        return camera;
    }
}

//==============================================================================
TEST_F (CameraDeviceWatcherTest, CameraPresentBeforeConstructionIsConnectedWithoutAnyReport)
{
    testbed.plug (cameraWith (0x0103, 0x0110));

    CameraDeviceWatcher watcher;
    watcher.addListener (&listener);

    EXPECT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getFirmwareVersion(), "0110");

    // Longer than the arrival delay, so a first scan done late would show up here.
    EXPECT_FALSE (listener.waitForEvents (1, 4500ms));
    watcher.removeListener (&listener);
}

TEST_F (CameraDeviceWatcherTest, PluggedCameraIsReportedOnceAfterTheArrivalDelay)
{
    CameraDeviceWatcher watcher;
    watcher.addListener (&listener);
    ASSERT_FALSE (watcher.isConnected());

    const auto pluggedAt = TestClock::now();
    testbed.plug (cameraWith (0x0104, 0x0203));

    ASSERT_TRUE (listener.waitForEvents (1, 10s));
    const auto events = listener.getEvents();
    const auto delay = secondsBetween (pluggedAt, events[0].when);
    std::printf ("arrival reported after %.3f s\n", delay);

    EXPECT_TRUE (events[0].connected);
    EXPECT_GE (delay, 2.5);
    EXPECT_NE (events[0].thread, std::this_thread::get_id());
    EXPECT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getFirmwareVersion(), "0203");

    EXPECT_FALSE (listener.waitForEvents (2, 3s)) << "the arrival was reported more than once";
    watcher.removeListener (&listener);
}

TEST_F (CameraDeviceWatcherTest, UnpluggedCameraIsReportedAtOnceAndKeepsItsTexts)
{
    auto camera = cameraWith (0x0102, 0x0101, 2, CameraNode::answering);
    camera.product = "Lirrow L2";
    const auto syspath = testbed.plug (camera);

    CameraDeviceWatcher watcher;
    watcher.addListener (&listener);
    ASSERT_TRUE (watcher.isConnected());

    const auto unpluggedAt = TestClock::now();
    testbed.unplug (syspath);

    ASSERT_TRUE (listener.waitForEvents (1, 5s));
    const auto events = listener.getEvents();
    const auto delay = secondsBetween (unpluggedAt, events[0].when);
    std::printf ("departure reported after %.3f s\n", delay);

    EXPECT_FALSE (events[0].connected);
    EXPECT_LT (delay, 2.0);
    EXPECT_FALSE (watcher.isConnected());
    EXPECT_EQ (watcher.getFirmwareVersion(), "");
    EXPECT_EQ (watcher.getModelName(), "Lirrow L2");
    EXPECT_EQ (watcher.getManufacturer(), "Quorel Optics");
    EXPECT_EQ (watcher.getSerialNumber(), "CV1-000417");

    EXPECT_FALSE (listener.waitForEvents (2, 4s)) << "the departure was reported more than once";
    watcher.removeListener (&listener);
}

TEST_F (CameraDeviceWatcherTest, CameraLeavingWithinTheArrivalDelayIsNeverReported)
{
    CameraDeviceWatcher watcher;
    watcher.addListener (&listener);

    const auto syspath = testbed.plug (cameraWith (0x0101, 0x0100));
    std::this_thread::sleep_for (1s);
    testbed.unplug (syspath);

    EXPECT_FALSE (listener.waitForEvents (1, 4500ms));
    EXPECT_FALSE (watcher.isConnected());
    watcher.removeListener (&listener);
}

TEST_F (CameraDeviceWatcherTest, DevicesOutsideTheCameraTableAreIgnored)
{
    CameraDeviceWatcher watcher;
    watcher.addListener (&listener);

    struct Case { std::uint16_t vendorId, productId; };
    const Case cases[] = {
        { cameraVendorId, 0x0100 },    // just below the table
        { cameraVendorId, 0x0109 },    // just above it
        { cameraVendorId, 0x0201 },
        { 0x1d6b, 0x0101 },            // a camera's product ID under another vendor
    };

    int address = 2;

    for (auto& c : cases)
    {
        auto device = cameraWith (c.productId, 0x0100, address++);
        device.vendorId = c.vendorId;
        testbed.plug (device);
    }

    EXPECT_FALSE (listener.waitForEvents (1, 4500ms));
    watcher.rescan();
    EXPECT_FALSE (watcher.isConnected());
    EXPECT_EQ (watcher.getFirmwareVersion(), "");
    EXPECT_TRUE (listener.getEvents().empty());
    watcher.removeListener (&listener);
}

TEST_F (CameraDeviceWatcherTest, OfTwoCamerasTheFirstInTheListCountsAndTheOtherLeavesUnreported)
{
    const auto first = testbed.plug (cameraWith (0x0102, 0x0201, 2));
    const auto second = testbed.plug (cameraWith (0x0105, 0x0202, 3));

    const auto expected = releaseOfFirstCameraInList();
    ASSERT_TRUE (expected == 0x0201 || expected == 0x0202);
    const auto& counted = expected == 0x0201 ? first : second;
    const auto& other = expected == 0x0201 ? second : first;

    CameraDeviceWatcher watcher;
    watcher.addListener (&listener);
    ASSERT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getFirmwareVersion(), expected == 0x0201 ? "0201" : "0202");

    testbed.unplug (other);
    EXPECT_FALSE (listener.waitForEvents (1, 2500ms));
    EXPECT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getFirmwareVersion(), expected == 0x0201 ? "0201" : "0202");

    testbed.unplug (counted);
    ASSERT_TRUE (listener.waitForEvents (1, 5s));
    EXPECT_FALSE (listener.getEvents()[0].connected);
    watcher.removeListener (&listener);
}

TEST_F (CameraDeviceWatcherTest, CountedCameraLeavingWhileAnotherStaysChangesTheRecordWithoutReport)
{
    const auto first = testbed.plug (cameraWith (0x0102, 0x0201, 2));
    const auto second = testbed.plug (cameraWith (0x0105, 0x0202, 3));
    const auto expected = releaseOfFirstCameraInList();
    ASSERT_TRUE (expected == 0x0201 || expected == 0x0202);

    CameraDeviceWatcher watcher;
    watcher.addListener (&listener);

    testbed.unplug (expected == 0x0201 ? first : second);

    // The departure rescan finds the other camera: still connected, so nothing to tell.
    EXPECT_FALSE (listener.waitForEvents (1, 2500ms));
    EXPECT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getFirmwareVersion(), expected == 0x0201 ? "0202" : "0201");
    watcher.removeListener (&listener);
}

//==============================================================================
struct FirmwareCase
{
    std::uint16_t release;
    const char* text;
};

class FirmwareVersionTest : public ::testing::TestWithParam<FirmwareCase>
{
protected:
    CameraTestbed testbed;
};

TEST_P (FirmwareVersionTest, IsTheReleaseNumberInFourUpperCaseHexDigits)
{
    const auto syspath = testbed.plug (cameraWith (0x0101, GetParam().release));

    CameraDeviceWatcher watcher;
    EXPECT_EQ (watcher.getFirmwareVersion(), GetParam().text);

    testbed.unplug (syspath);
    watcher.rescan();
    EXPECT_EQ (watcher.getFirmwareVersion(), "") << "no camera, no version";
}

INSTANTIATE_TEST_SUITE_P (Releases, FirmwareVersionTest,
                          ::testing::Values (FirmwareCase { 0x0005, "0005" },
                                             FirmwareCase { 0xABCD, "ABCD" },
                                             FirmwareCase { 0x0110, "0110" },
                                             FirmwareCase { 0x0000, "0000" },
                                             FirmwareCase { 0xFFFF, "FFFF" }),
                          [] (const ::testing::TestParamInfo<FirmwareCase>& param) { return "Release" + std::string (param.param.text); });

//==============================================================================
struct TextsCase
{
    const char* name;
    SimulatedCamera camera;
    const char* manufacturer;
    const char* modelName;
    const char* serialNumber;
};

class CameraTextsTest : public ::testing::TestWithParam<TextsCase>
{
protected:
    CameraTestbed testbed;
};

TEST_P (CameraTextsTest, ComeFromTheStringDescriptorsOrTheTable)
{
    testbed.plug (GetParam().camera);

    CameraDeviceWatcher watcher;
    ASSERT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getManufacturer(), GetParam().manufacturer);
    EXPECT_EQ (watcher.getModelName(), GetParam().modelName);
    EXPECT_EQ (watcher.getSerialNumber(), GetParam().serialNumber);
}

namespace
{
    SimulatedCamera answeringCamera (std::uint16_t productId, std::uint8_t serialIndex = 3)
    {
        auto camera = cameraWith (productId, 0x0100, 2, CameraNode::answering);
        camera.product = "Daltry D3";
        camera.serialIndex = serialIndex;
        return camera;
    }

    std::vector<TextsCase> textsCases()
    {
        return {
            { "Readable", answeringCamera (0x0103), "Quorel Optics", "Daltry D3", "CV1-000417" },
            { "WithoutSerialNumber", answeringCamera (0x0103, 0), "Quorel Optics", "Daltry D3", "" },
            { "Unopenable", cameraWith (0x0104, 0x0100, 2, CameraNode::unopenable), "QUOREL", "Esker", "" },
            { "OpensButAnswersNothing", cameraWith (0x0104, 0x0100, 2, CameraNode::silent), "", "", "" },
        };
    }
}

INSTANTIATE_TEST_SUITE_P (Cameras, CameraTextsTest, ::testing::ValuesIn (textsCases()),
                          [] (const ::testing::TestParamInfo<TextsCase>& param) { return std::string (param.param.name); });

TEST_F (CameraDeviceWatcherTest, UnopenableCameraIsNamedFromTheProductTable)
{
    CameraDeviceWatcher watcher;

    for (size_t i = 0; i < cameraProductIds.size(); ++i)
    {
        const auto syspath = testbed.plug (cameraWith (cameraProductIds[i], 0x0100, 2, CameraNode::unopenable));
        watcher.rescan();
        EXPECT_TRUE (watcher.isConnected());
        EXPECT_EQ (watcher.getModelName(), cameraModelNames[i]) << "product " << cameraProductIds[i];
        EXPECT_EQ (watcher.getManufacturer(), "QUOREL");

        testbed.unplug (syspath);
        watcher.rescan();
        EXPECT_FALSE (watcher.isConnected());
    }
}

TEST_F (CameraDeviceWatcherTest, CameraThatAnswersNothingKeepsTheTextsOfTheCameraBefore)
{
    auto readable = answeringCamera (0x0103);
    const auto syspath = testbed.plug (readable);

    CameraDeviceWatcher watcher;
    ASSERT_EQ (watcher.getModelName(), "Daltry D3");

    testbed.unplug (syspath);
    watcher.rescan();
    testbed.plug (cameraWith (0x0106, 0x0300, 4, CameraNode::silent));
    watcher.rescan();

    EXPECT_TRUE (watcher.isConnected());
    EXPECT_EQ (watcher.getFirmwareVersion(), "0300");
    EXPECT_EQ (watcher.getModelName(), "Daltry D3");
    EXPECT_EQ (watcher.getManufacturer(), "Quorel Optics");
}

//==============================================================================
TEST_F (CameraDeviceWatcherTest, NullAndRepeatedListenersAreIgnored)
{
    CameraDeviceWatcher watcher;
    watcher.addListener (nullptr);
    watcher.addListener (&listener);
    watcher.addListener (&listener);
    watcher.removeListener (nullptr);

    testbed.plug (cameraWith (0x0101, 0x0100));
    watcher.rescan();

    ASSERT_TRUE (listener.waitForEvents (1, 2s));
    EXPECT_FALSE (listener.waitForEvents (2, 4s)) << "a listener added twice was told twice";
    EXPECT_EQ (listener.getEvents().size(), 1u);
    watcher.removeListener (&listener);
}

TEST_F (CameraDeviceWatcherTest, ListenersAreToldInAscendingPointerOrderOnTheRescanningThread)
{
    struct OrderListener : public CameraDeviceListener
    {
        std::vector<const void*>* order = nullptr;
        std::thread::id thread;
        void cameraConnected() override    { order->push_back (this); thread = std::this_thread::get_id(); }
    };

    std::vector<const void*> order;
    OrderListener listeners[3];
    CameraDeviceWatcher watcher;

    for (int i = 2; i >= 0; --i)
    {
        listeners[i].order = &order;
        watcher.addListener (&listeners[i]);
    }

    testbed.plug (cameraWith (0x0101, 0x0100));
    watcher.rescan();

    // The rescan has found the camera before its arrival thread wakes, so this
    // thread delivered, and has done so before rescan returned.
    ASSERT_EQ (order.size(), 3u);
    EXPECT_EQ (order[0], &listeners[0]);
    EXPECT_EQ (order[1], &listeners[1]);
    EXPECT_EQ (order[2], &listeners[2]);
    EXPECT_EQ (listeners[0].thread, std::this_thread::get_id());

    for (auto& l : listeners)
        watcher.removeListener (&l);
}

TEST_F (CameraDeviceWatcherTest, RemovedListenerIsNoLongerTold)
{
    RecordingListener removed;
    CameraDeviceWatcher watcher;
    watcher.addListener (&removed);
    watcher.addListener (&listener);
    watcher.removeListener (&removed);

    const auto syspath = testbed.plug (cameraWith (0x0101, 0x0100));
    watcher.rescan();
    testbed.unplug (syspath);
    watcher.rescan();

    ASSERT_TRUE (listener.waitForEvents (2, 2s));
    EXPECT_TRUE (removed.getEvents().empty());
    watcher.removeListener (&listener);
}

TEST_F (CameraDeviceWatcherTest, RemoveListenerWaitsForItsRunningCallback)
{
    BlockingListener blocking;
    CameraDeviceWatcher watcher;
    watcher.addListener (&blocking);

    testbed.plug (cameraWith (0x0101, 0x0100));
    auto rescanning = std::async (std::launch::async, [&] { watcher.rescan(); });
    ASSERT_TRUE (blocking.waitUntilEntered (1, 5s));

    auto removing = std::async (std::launch::async, [&] { watcher.removeListener (&blocking); });
    EXPECT_EQ (removing.wait_for (500ms), std::future_status::timeout)
        << "removeListener returned while the listener was still being called";
    EXPECT_TRUE (blocking.isInsideCall());

    blocking.release();
    ASSERT_EQ (removing.wait_for (5s), std::future_status::ready);
    EXPECT_FALSE (blocking.isInsideCall());
    ASSERT_EQ (rescanning.wait_for (5s), std::future_status::ready);
}

TEST_F (CameraDeviceWatcherTest, ListenerMayRemoveItselfAndRescanFromItsCallback)
{
    struct SelfRemovingListener : public CameraDeviceListener
    {
        CameraDeviceWatcher* watcher = nullptr;
        int calls = 0;

        void cameraConnected() override
        {
            ++calls;
            watcher->rescan();                 // nothing changed: no nested report
            watcher->removeListener (this);
        }
    };

    CameraDeviceWatcher watcher;
    SelfRemovingListener selfRemoving;
    selfRemoving.watcher = &watcher;
    watcher.addListener (&selfRemoving);
    watcher.addListener (&listener);

    const auto syspath = testbed.plug (cameraWith (0x0101, 0x0100));
    auto rescanning = std::async (std::launch::async, [&] { watcher.rescan(); });
    ASSERT_EQ (rescanning.wait_for (5s), std::future_status::ready) << "a callback's own calls deadlocked";

    testbed.unplug (syspath);
    watcher.rescan();
    testbed.plug (cameraWith (0x0101, 0x0100));
    watcher.rescan();

    EXPECT_EQ (selfRemoving.calls, 1);
    ASSERT_TRUE (listener.waitForEvents (3, 2s));
    watcher.removeListener (&listener);
}

TEST_F (CameraDeviceWatcherTest, ListenerRemovedByAnEarlierCallbackIsNotCalled)
{
    struct RemovingListener : public CameraDeviceListener
    {
        CameraDeviceWatcher* watcher = nullptr;
        CameraDeviceListener* victim = nullptr;
        void cameraConnected() override    { watcher->removeListener (victim); }
    };

    // Listeners are called in ascending address order: the first removes the second.
    struct Pair
    {
        RemovingListener remover;
        RecordingListener victim;
    } pair;

    CameraDeviceWatcher watcher;
    pair.remover.watcher = &watcher;
    pair.remover.victim = &pair.victim;
    watcher.addListener (&pair.victim);
    watcher.addListener (&pair.remover);

    testbed.plug (cameraWith (0x0101, 0x0100));
    watcher.rescan();

    EXPECT_TRUE (pair.victim.getEvents().empty()) << "a listener was called after its removal";
    watcher.removeListener (&pair.remover);
}

TEST_F (CameraDeviceWatcherTest, RescanDuringABusyCallbackReturnsAndItsChangeFollowsInOrder)
{
    BlockingListener blocking;
    CameraDeviceWatcher watcher;
    watcher.addListener (&blocking);

    const auto syspath = testbed.plug (cameraWith (0x0101, 0x0100));
    auto rescanning = std::async (std::launch::async, [&] { watcher.rescan(); });
    ASSERT_TRUE (blocking.waitUntilEntered (1, 5s));

    // A listener that waits for this thread (say the message thread) would deadlock
    // if this rescan waited for it.
    testbed.unplug (syspath);
    auto second = std::async (std::launch::async, [&] { watcher.rescan(); });
    EXPECT_EQ (second.wait_for (2s), std::future_status::ready) << "rescan waited for a busy listener";
    EXPECT_FALSE (watcher.isConnected());

    blocking.release();
    ASSERT_TRUE (blocking.waitUntilEntered (2, 5s));
    EXPECT_EQ (blocking.getSeen(), (std::vector<bool> { true, false }));
    ASSERT_EQ (rescanning.wait_for (5s), std::future_status::ready);
    watcher.removeListener (&blocking);
}

//==============================================================================
TEST_F (CameraDeviceWatcherTest, WatcherWhoseLibusbFailedToStartReportsNoCamera)
{
    testbed.plug (cameraWith (0x0101, 0x0100));

    // libusb needs file descriptors to start (its event and udev sockets); with none
    // left to open, libusb_init fails for real.
    rlimit original {};
    ASSERT_EQ (getrlimit (RLIMIT_NOFILE, &original), 0);
    const auto firstFree = dup (0);
    ASSERT_GE (firstFree, 0);
    close (firstFree);

    auto limited = original;
    limited.rlim_cur = rlim_t (firstFree);
    ASSERT_EQ (setrlimit (RLIMIT_NOFILE, &limited), 0);
    auto failed = std::make_unique<CameraDeviceWatcher>();
    ASSERT_EQ (setrlimit (RLIMIT_NOFILE, &original), 0);

    failed->addListener (&listener);
    EXPECT_FALSE (failed->isConnected());
    failed->rescan();
    EXPECT_FALSE (failed->isConnected());
    EXPECT_EQ (failed->getFirmwareVersion(), "");
    EXPECT_EQ (failed->getModelName(), "");
    EXPECT_EQ (failed->getVolumePath(), "");

    testbed.plug (cameraWith (0x0102, 0x0100, 3));
    EXPECT_FALSE (listener.waitForEvents (1, 4s));
    failed->removeListener (&listener);
    failed.reset();

    // With file descriptors to spare libusb starts, and the same bus shows the camera.
    CameraDeviceWatcher working;
    EXPECT_TRUE (working.isConnected());
}

TEST_F (CameraDeviceWatcherTest, DestroyingTheWatcherDuringAnArrivalDelayIsPromptAndSilent)
{
    // A second watcher on the same bus shows when the arrival was due.
    RecordingListener witness;
    CameraDeviceWatcher witnessWatcher;
    witnessWatcher.addListener (&witness);

    auto watcher = std::make_unique<CameraDeviceWatcher>();
    watcher->addListener (&listener);

    const auto pluggedAt = TestClock::now();
    testbed.plug (cameraWith (0x0101, 0x0100));
    std::this_thread::sleep_for (1500ms);

    const auto destroyStarted = TestClock::now();
    watcher.reset();
    const auto destroyTook = secondsBetween (destroyStarted, TestClock::now());
    std::printf ("destroyed during an arrival delay in %.3f s\n", destroyTook);
    EXPECT_LT (destroyTook, 1.0) << "the destructor waited for the arrival delay";

    ASSERT_TRUE (witness.waitForEvents (1, 10s)) << "the arrival never came, so nothing was pending";
    EXPECT_GE (secondsBetween (pluggedAt, witness.getEvents()[0].when), 2.5);
    EXPECT_FALSE (listener.waitForEvents (1, 2s));
    EXPECT_TRUE (listener.getEvents().empty());
    witnessWatcher.removeListener (&witness);
}

TEST_F (CameraDeviceWatcherTest, TwoWatchersInOneProcessWorkIndependently)
{
    RecordingListener other;
    auto first = std::make_unique<CameraDeviceWatcher>();
    CameraDeviceWatcher second;
    first->addListener (&listener);
    second.addListener (&other);

    const auto syspath = testbed.plug (cameraWith (0x0107, 0x0100));
    ASSERT_TRUE (listener.waitForEvents (1, 10s));
    ASSERT_TRUE (other.waitForEvents (1, 10s));

    first->removeListener (&listener);
    first.reset();

    testbed.unplug (syspath);
    ASSERT_TRUE (other.waitForEvents (2, 5s)) << "the second watcher stopped hearing events";
    EXPECT_FALSE (other.getEvents()[1].connected);
    second.removeListener (&other);
}
