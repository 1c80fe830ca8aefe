// The event and alarm requests of the service proxy against the simulated
// event logger service: the bytes on the wire, the retries and the replies,
// well-formed and hostile.
#include "ZtEventLoggerUmProxy.h"

#include <gtest/gtest.h>

#include "RecordBytes.h"
#include "RequestFixture.h"
#include "ServiceReplies.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::MakeHResult;
using ZtSim::Reply;
using ZtTest::Le;

const ZtSim::EventGuid kClass{0x6F1E2A40, 0x0C3B, 0x4C59, {0x9A, 0x62, 0x1D, 0x7E, 0x8B, 0x3C, 0x5A, 0x01}};

ZtSim::EventDescription Alarm(uint32_t id, size_t jsonBytes = 0) {
    ZtSim::EventDescription d;
    d.eventClass = kClass;
    d.eventId = id;
    d.severity = 3;
    d.source.id = 100 + id;
    d.source.name = "Station" + std::to_string(id);
    d.jsonAttribute = jsonBytes ? "{\"pad\":\"" + std::string(jsonBytes, 'x') + "\"}" : "";
    d.arguments = {ZtSim::EventArgument::UInt32(id), ZtSim::EventArgument::Bstr("drive")};
    return d;
}

std::vector<uint8_t> Bytes(const ZtEventEntity* r) {
    auto* p = reinterpret_cast<const uint8_t*>(r);
    return {p, p + ZtEventLoggerCommon::RecordLength(r)};
}

// The records of an active-event reply as the service built them.
std::vector<std::vector<uint8_t>> RecordsOf(const std::vector<uint8_t>& reply) {
    std::vector<std::vector<uint8_t>> out;
    uint32_t count;
    std::memcpy(&count, reply.data() + 4, 4);
    size_t at = 12;
    for (uint32_t i = 0; i < count; ++i) {
        auto* r = reinterpret_cast<const ZtEventEntity*>(reply.data() + at);
        out.push_back(Bytes(r));
        at += out.back().size();
    }
    return out;
}

class EventRequests : public ZtTest::RequestFixture {
protected:
    void TearDown() override {
        FreeEventRecords(events);
        RequestFixture::TearDown();
    }
    std::vector<ZtEventEntity*> events;
};

TEST_F(EventRequests, ActiveEventsComeInRaiseOrderAndTheBufferDoublesUntilTheyFit) {
    service->RaiseAlarm(Alarm(1));
    service->RaiseAlarm(Alarm(2, 3000));
    service->RaiseAlarm(Alarm(3, 6000));
    Script(200, 1, [this](const ZtSim::Request&, int) { return Reply::Data(service->ActiveEventsReply()); });
    ASSERT_EQ(proxy->ReadActiveEvents(events), 0);
    auto expected = RecordsOf(service->ActiveEventsReply());
    ASSERT_EQ(events.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Bytes(events[i]), expected[i]) << i;
    std::vector<uint32_t> sizes;
    for (auto& s : Seen()) {
        EXPECT_EQ(s.kind, ZtSim::RequestKind::Read);
        sizes.push_back(s.readLength);
    }
    EXPECT_EQ(sizes, (std::vector<uint32_t>{4095, 8190, 16380}));
    // A second read appends; nothing present is removed.
    ASSERT_EQ(proxy->ReadActiveEvents(events), 0);
    EXPECT_EQ(events.size(), 6u);
}

TEST_F(EventRequests, ActiveEventsOfTheBuiltInServiceAndAnEmptyList) {
    ASSERT_EQ(proxy->ReadActiveEvents(events), 0);  // nothing raised: count 0
    EXPECT_TRUE(events.empty());
    service->RaiseAlarm(Alarm(7));
    ASSERT_EQ(proxy->ReadActiveEvents(events), 0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->eventId, 7u);
}

TEST_F(EventRequests, EndlessTooSmallAnswersStopAtTheReplyBound) {
    Script(200, 1, [](const ZtSim::Request& r, int) { return Reply::SizeHint(r.readLength + 1); });
    EXPECT_EQ(proxy->ReadActiveEvents(events), MakeHResult(0x98110705u));
    auto seen = Seen();
    ASSERT_EQ(seen.size(), 15u);  // 4095 << 14 is the last size within 64 MiB
    EXPECT_EQ(seen.back().readLength, 4095u << 14);
    EXPECT_TRUE(events.empty());
}

TEST_F(EventRequests, HostileActiveEventRepliesAppendNothing) {
    auto record = ZtTest::BuildRecord(ZtTest::RecordLayout{});
    auto reply = [&](uint32_t count, uint32_t length, const std::vector<uint8_t>& body) {
        std::vector<uint8_t> b;
        Le(b, 1, 4);
        Le(b, count, 4);
        Le(b, length, 4);
        b.insert(b.end(), body.begin(), body.end());
        return b;
    };
    auto two = record;
    two.insert(two.end(), record.begin(), record.end());
    auto cut = record;
    cut.resize(100);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"count beyond the records", reply(3, static_cast<uint32_t>(two.size()), two)},
        {"length beyond the bytes", reply(1, 0x10000, record)},
        {"record cut", reply(1, static_cast<uint32_t>(cut.size()), cut)},
        {"record outside the length", reply(2, static_cast<uint32_t>(record.size()), two)},
        {"head only", {1, 0, 0, 0, 1, 0}},
    };
    ZtEventEntity* keep = reinterpret_cast<ZtEventEntity*>(new unsigned char[120]());
    events.push_back(keep);
    for (const auto& c : cases) {
        Answers(200, 1, Reply::Data(c.bytes));
        EXPECT_EQ(proxy->ReadActiveEvents(events), ZT_E_BAD_REPLY) << c.what;
        ASSERT_EQ(events.size(), 1u) << c.what;
        EXPECT_EQ(events[0], keep);
    }
}

}  // namespace
