// The event and alarm requests of the service proxy against the simulated
// event logger service: the bytes on the wire, the retries and the replies,
// well-formed and hostile.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "RecordBytes.h"
#include "RequestFixture.h"
#include "ServiceReplies.h"
#include "ZtEventLoggerUmProxy.h"
#include "ZtEventStreamSerializer.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::MakeHResult;
using ZtSim::Reply;
using ZtSim::RequestKind;
using ZtTest::Bytes;
using ZtTest::Hex;
using ZtTest::StreamReply;

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

Bytes CopyOf(const ZtEventEntity* r) {
    auto* p = reinterpret_cast<const uint8_t*>(r);
    return {p, p + ZtEventLoggerCommon::RecordLength(r)};
}

// The records of an active-event reply as the service built them.
std::vector<Bytes> RecordsOf(const std::vector<uint8_t>& reply) {
    std::vector<Bytes> out;
    uint32_t count;
    std::memcpy(&count, reply.data() + 4, 4);
    size_t at = 12;
    for (uint32_t i = 0; i < count; ++i) {
        auto* r = reinterpret_cast<const ZtEventEntity*>(reply.data() + at);
        out.push_back(CopyOf(r));
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
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(CopyOf(events[i]), expected[i]) << i;
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

const std::string kHandleKey = "03 E4 7A 22 20 C5 FC 8D B3 ";

uint32_t U32At(const Bytes& b, size_t at) {
    uint32_t v = 0;
    if (b.size() >= at + 4) std::memcpy(&v, b.data() + at, 4);
    return v;
}

TEST_F(EventRequests, EveryRequestByteForByte) {
    // Stream requests get a stream reply of their own type; writes succeed.
    for (auto [group, offset] : {std::pair{100u, 0u}, {200u, 0u}, {200u, 2u}, {500u, 0u}, {600u, 0u}})
        Script(group, offset, [](const ZtSim::Request& r, int) {
            if (r.kind != RequestKind::ReadWrite) return Reply::Ok();
            return Reply::Data(StreamReply(static_cast<uint16_t>(r.data[4] | r.data[5] << 8), 0, 0, 12, {}));
        });
    ZtEventKey key{};
    for (int i = 0; i < 16; ++i) reinterpret_cast<uint8_t*>(&key.eventClass)[i] = static_cast<uint8_t>(i);
    key.eventId = 0x01020304;
    key.keyQualifier = 5;
    SerializedStream* message =
        ZtEventStreamSerializer::CreateSendMessageStream(key.eventClass, 9, SeverityInfo, nullptr, 0, nullptr, nullptr);
    ASSERT_NE(message, nullptr);
    const std::string messageBytes(message->data, message->data + message->size);
    struct Case {
        const char* what;
        std::function<HRESULT()> call;
        RequestKind kind;
        uint32_t group, offset, readLength;
        Bytes bytes;
    } cases[] = {
        {"confirm event", [&] { return proxy->ConfirmEvent(key); }, RequestKind::Write, 100, 0, 0,
         Hex("01 00 00 00 03 00 00 00 18 00 00 00 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F "
             "04 03 02 01 05 00 00 00 00 00 00 00")},
        {"confirm all", [&] { return proxy->ConfirmAllAlarms(); }, RequestKind::Write, 100, 0, 0,
         Hex("01 00 00 00 08 00 00 00 00 00 00 00 00 00 00 00")},
        {"clear all, reset", [&] { return proxy->ClearAllAlarms(true); }, RequestKind::Write, 100, 0, 0,
         Hex("01 00 00 00 09 00 00 00 01 00 00 00 01 00 00 00")},
        {"clear all", [&] { return proxy->ClearAllAlarms(false); }, RequestKind::Write, 100, 0, 0,
         Hex("01 00 00 00 09 00 00 00 01 00 00 00 00 00 00 00")},
        {"clear the log", [&] { return proxy->ClearLoggedEvents(); }, RequestKind::Write, 600, 0, 0, {}},
        {"send message", [&] { return proxy->SendMessage(message); }, RequestKind::Write, 100, 0, 0,
         ZtTest::Text(messageBytes)},
        {"newest 100", [&] { return proxy->GetLoggedEvents(events, 100); }, RequestKind::ReadWrite, 200, 2, 102424,
         Hex("01 00 00 00 C8 00 00 00 04 00 00 00 64 00 00 00 00 00 00 00")},
        {"confirm alarms", [&] { return proxy->ConfirmAlarms(0, nullptr); }, RequestKind::ReadWrite, 100, 0, 2064,
         Hex("01 00 00 00 D8 00 00 00 0F 00 00 00 01 " + kHandleKey + "04 07 01 00 06")},
        {"clear alarms", [&] { return proxy->ClearAlarms(0, true, nullptr); }, RequestKind::ReadWrite, 100, 0, 2064,
         Hex("01 00 00 00 DA 00 00 00 1B 00 00 00 01 " + kHandleKey +
             "04 07 02 00 03 2D 8A 58 0F 17 58 7B 35 04 01 01 06")},
        {"logged events by settings", [&] { return proxy->GetLoggedEvents2(events, nullptr); }, RequestKind::ReadWrite,
         200, 0, 1024024, Hex("01 00 00 00 D6 00 00 00 0F 00 00 00 01 " + kHandleKey + "04 07 03 00 06")},
        {"export", [&] { return proxy->ExportLoggedEvents("a", nullptr); }, RequestKind::ReadWrite, 500, 0, 2064,
         Hex("01 00 00 00 D2 00 00 00 1C 00 00 00 01 " + kHandleKey +
             "04 07 04 00 03 BE A3 FF 81 76 E3 3F 30 04 0C 61 00 06")},
    };
    for (const auto& c : cases) {
        Forget();
        EXPECT_EQ(c.call(), 0) << c.what;
        auto seen = Seen();
        ASSERT_EQ(seen.size(), 1u) << c.what;
        EXPECT_EQ(seen[0].kind, c.kind) << c.what;
        EXPECT_EQ(seen[0].indexGroup, c.group) << c.what;
        EXPECT_EQ(seen[0].indexOffset, c.offset) << c.what;
        EXPECT_EQ(seen[0].readLength, c.kind == RequestKind::ReadWrite ? c.readLength : 0u) << c.what;
        EXPECT_EQ(seen[0].data, c.bytes) << c.what;
    }
    EXPECT_EQ(messageBytes.size(), 136u);
    FreeSerializedStream(message);  // SendMessage leaves it to its caller
    Forget();
    EXPECT_EQ(proxy->SendMessage(nullptr), ZtAtlCom::E_OUTOFMEMORY);
    EXPECT_TRUE(Seen().empty());
}

TEST_F(EventRequests, LoggedEventsRetriesAndBuffers) {
    const uint32_t kMiB64 = 64u << 20;
    struct Case {
        const char* what;
        uint32_t count;
        std::vector<Reply> first;  // then success
        HRESULT hr;
        std::vector<uint32_t> counts, readLengths;
    } cases[] = {
        {"fewer: halved, same buffer",
         100,
         {Reply::Error(1802), Reply::Error(1802)},
         0,
         {100, 50, 25},
         {102424, 102424, 102424}},
        {"error 1 too", 7, {Reply::Error(1)}, 0, {7, 3}, {7192, 7192}},
        {"too small: grows as asked", 100, {Reply::SizeHint(200000)}, 0, {100, 100}, {102424, 200000}},
        {"too small at most three times",
         1,
         {Reply::SizeHint(2000), Reply::SizeHint(3000), Reply::SizeHint(4000), Reply::SizeHint(5000)},
         MakeHResult(0x98110705u),
         {1, 1, 1, 1},
         {1048, 2000, 3000, 4000}},
        {"busy and fewer share one counter",
         100,
         {Reply::Error(6), Reply::Error(1802), Reply::Error(6)},
         0,
         {100, 100, 50, 50},
         {102424, 102424, 102424, 102424}},
        {"other errors stop", 100, {Reply::Error(1804)}, MakeHResult(0x9811070Cu), {100}, {102424}},
        {"4194304 events do not wrap to 24 bytes", 4194304, {}, 0, {4194304}, {kMiB64}},
        {"no events", 0, {}, 0, {0}, {24}},
    };
    for (const auto& c : cases) {
        Forget();
        Script(200, 2, [first = c.first](const ZtSim::Request&, int n) {
            return n < static_cast<int>(first.size()) ? first[n] : Reply::Data(StreamReply(200, 0, 0, 12, {}));
        });
        EXPECT_EQ(proxy->GetLoggedEvents(events, c.count), c.hr) << c.what;
        std::vector<uint32_t> counts, lengths;
        for (auto& s : Seen()) {
            counts.push_back(U32At(s.data, 12));
            lengths.push_back(s.readLength);
        }
        EXPECT_EQ(counts, c.counts) << c.what;
        EXPECT_EQ(lengths, c.readLengths) << c.what;
    }
}

TEST_F(EventRequests, RecordsAreReadFromTheBytesReceivedOnly) {
    ZtTest::RecordLayout a, b;
    a.eventId = 1;
    b.eventId = 2;
    b.json = "{\"k\":2}";
    const Bytes ra = ZtTest::BuildRecord(a), rb = ZtTest::BuildRecord(b);
    Answers(200, 2, Reply::Data(StreamReply(200, 0, 2, 12, ZtTest::Cat(ra, rb))));
    ASSERT_EQ(proxy->GetLoggedEvents(events, 10), 0);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(CopyOf(events[0]), ra);
    EXPECT_EQ(CopyOf(events[1]), rb);
    // Two records announced, one sent, the payload length lying about it: the
    // zeros of the reply buffer behind the record must not pass as a second.
    Answers(200, 0, Reply::Data(StreamReply(214, 1, 2, 12, ra, 12 + ra.size() + 120)));
    EXPECT_EQ(proxy->GetLoggedEvents2(events, nullptr), ZT_E_BAD_REPLY);
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(EventRequests, ServiceResultsAndErrors) {
    struct Case {
        const char* what;
        Reply reply;
        HRESULT hr;
    } cases[] = {
        {"refused by the service", Reply::Data(StreamReply(216, 1, 1804, 12, ZtTest::Text(std::string("gone\0", 5)))),
         MakeHResult(0x9811070Cu)},
        {"refused by the router", Reply::Error(1793), MakeHResult(0x98110701u)},
        {"reply cut", Reply::Data(Bytes(10, 0)), ZT_E_BAD_REPLY},
    };
    for (const auto& c : cases) {
        Answers(100, 0, c.reply);
        EXPECT_EQ(proxy->ConfirmAlarms(0, nullptr), c.hr) << c.what;
        Answers(500, 0, c.reply);
        EXPECT_EQ(proxy->ExportLoggedEvents("x.csv", nullptr), c.hr) << c.what;
    }
    // Writes are not retried: an injected busy answer comes back at once.
    sim->Faults().FailNext(1, 6, 132);
    EXPECT_EQ(proxy->ConfirmAllAlarms(), MakeHResult(0x98110006u));
    EXPECT_EQ(proxy->ConfirmAllAlarms(), 0);
}

TEST_F(EventRequests, ABusyServiceIsRetriedTwentyTimesThenReported) {
    Answers(100, 0, Reply::Error(6));
    EXPECT_EQ(proxy->ClearAlarms(0, false, nullptr), MakeHResult(0x98110006u));
    EXPECT_EQ(Seen().size(), 21u);
}

TEST_F(EventRequests, RequestsFromSeveralThreadsGetDistinctHandles) {
    Script(100, 0, [](const ZtSim::Request&, int) { return Reply::Data(StreamReply(216, 0, 0, 12, {})); });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([this] {
            for (int i = 0; i < 25; ++i) EXPECT_EQ(proxy->ConfirmAlarms(0, nullptr), 0);
        });
    for (auto& t : threads) t.join();
    std::set<uint32_t> handles;
    for (auto& s : Seen()) handles.insert(s.data[24] | s.data[25] << 8);
    EXPECT_EQ(handles.size(), 100u);
    EXPECT_EQ(*handles.begin(), 1u);
    EXPECT_EQ(*handles.rbegin(), 100u);
}

}  // namespace
