// EventLoggerFixture.h - an in-process simulator with a router adapter
// connected to the local target and a listener for the event logger
// service's notification frames.
#ifndef ZT_TEST_EVENT_LOGGER_FIXTURE_H
#define ZT_TEST_EVENT_LOGGER_FIXTURE_H

#include <atomic>
#include <string>

#include "AdapterTestUtil.h"
#include "RecordReader.h"
#include "SimFixture.h"
#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"
#include "ZtSim/EventLoggerService.h"

namespace ZtTest {

// An event class used across the tests.
inline const ZtSim::EventGuid kTestClass{0x6F1E2A40, 0x0C3B, 0x4C59, {0x9A, 0x62, 0x1D, 0x7E, 0x8B, 0x3C, 0x5A, 0x01}};

inline ZtSim::EventDescription TestEvent(uint32_t id, bool needsConfirmation = false, uint32_t qualifier = 0) {
    ZtSim::EventDescription d;
    d.eventClass = kTestClass;
    d.eventId = id;
    d.keyQualifier = qualifier;
    d.severity = 2;
    d.needsConfirmation = needsConfirmation;
    d.source.id = 100 + id;
    d.source.name = "Station" + std::to_string(id);
    d.arguments = {ZtSim::EventArgument::UInt32(id), ZtSim::EventArgument::Bstr("drive " + std::to_string(id))};
    return d;
}

// A decoded sample: its FILETIME, the frame and, where it carries one, the record.
struct Notification {
    long timeStamp = 0;
    ReadFrame frame;
    std::optional<ReadRecord> record;
};

// One more client of the simulator, subscribed to the frames of the event
// logger service on `target` for its whole life.
struct Subscriber {
    explicit Subscriber(const char* target) {
        EXPECT_EQ(adapter.Connect(target), 0u);
        EXPECT_EQ(adapter.VdlSyncAddDeviceNotificationReq(ZtSim::kEventLoggerPort, ZtSim::kEventNotificationGroup, 0,
                                                          &listener, 0),
                  0u);
    }
    ~Subscriber() {
        adapter.VdlSyncDelDeviceNotificationReq(ZtSim::kEventLoggerPort, &listener, 0);
        adapter.Disconnect();
    }
    ZtEventLoggerVdlApi::VdlR3AdapterImpl adapter;
    SampleListener listener;
};

class EventLoggerFixture : public SimFixture {
protected:
    static constexpr uint64_t kClockStart = 0x01DA000000000000ull;
    static constexpr uint64_t kTick = 1000;

    void SetUp() override {
        SimFixture::SetUp();
        service = ZtSim::EventLoggerOf(sim->Local());
        ASSERT_TRUE(service);
        ASSERT_EQ(adapter.Connect(""), 0u);
    }
    void TearDown() override {
        // Subscriptions are process-wide; leave none behind.
        adapter.VdlSyncDelDeviceNotificationReq(ZtSim::kEventLoggerPort, &listener, 0);
        adapter.Disconnect();
        service.reset();  // it publishes on a target of the simulator
        SimFixture::TearDown();
    }
    void Subscribe() {
        ASSERT_EQ(adapter.VdlSyncAddDeviceNotificationReq(ZtSim::kEventLoggerPort, ZtSim::kEventNotificationGroup, 0,
                                                          &listener, 0),
                  0u);
    }
    // Every record and frame time is the next tick: kClockStart + n * kTick.
    void UseTicks() {
        service->SetClock([this] { return kClockStart + kTick * ++ticks; });
    }
    static uint64_t Tick(int n) { return kClockStart + kTick * static_cast<uint64_t>(n); }

    // Waits for n samples and decodes them; a frame or record that does not
    // read fails the test.
    std::vector<Notification> Notifications(size_t n) {
        EXPECT_TRUE(WaitFor([&] { return listener.Count() >= n; })) << listener.Count() << " of " << n;
        std::vector<Notification> out;
        for (const auto& s : listener.Samples()) {
            Notification note;
            note.timeStamp = s.timeStamp;
            EXPECT_EQ(ReadNotificationFrame(s.bytes, note.frame), "");
            if (!note.frame.payload.empty()) {
                ReadRecord r;
                EXPECT_EQ(ReadEventRecord(note.frame.payload, r), "");
                EXPECT_EQ(r.length, note.frame.payload.size());  // one record per frame, nothing behind it
                note.record = r;
            }
            out.push_back(std::move(note));
        }
        return out;
    }

    std::shared_ptr<ZtSim::EventLoggerService> service;
    ZtEventLoggerVdlApi::VdlR3AdapterImpl adapter;
    SampleListener listener;
    std::atomic<uint64_t> ticks{0};
};

}  // namespace ZtTest

#endif  // ZT_TEST_EVENT_LOGGER_FIXTURE_H
