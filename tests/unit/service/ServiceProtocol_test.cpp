#include "ServiceProtocol.h"

#include <gtest/gtest.h>

#include <cstring>

#include "EventHandlerStub.h"
#include "RecordBytes.h"
#include "ZtServiceInterfaces.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::MakeHResult;

TEST(ServiceProtocol, VdlErrorMapping) {
    struct Case {
        uint32_t error;
        HRESULT hr;
    } cases[] = {{0, 0},
                 {6, MakeHResult(0x98110006u)},
                 {1797, MakeHResult(0x98110705u)},
                 {1807, MakeHResult(0x9811070Fu)},
                 {1804, MakeHResult(0x9811070Cu)},
                 {0xFFFF, MakeHResult(0x9811FFFFu)}};
    for (const auto& c : cases) EXPECT_EQ(VdlErrorToHResult(c.error), c.hr) << c.error;
    EXPECT_EQ(SubscriptionErrorToHResult(6), MakeHResult(0x98220002u));
    EXPECT_EQ(SubscriptionErrorToHResult(1807), MakeHResult(0x9811070Fu));
    EXPECT_EQ(SubscriptionErrorToHResult(0), 0);
}

TEST(ServiceProtocol, RequestHandlesWrapModulo65535) {
    RequestHandleCounter c;
    EXPECT_EQ(c.Next(), 1);
    EXPECT_EQ(c.Next(), 2);
    for (int i = 3; i < 65535; ++i) c.Next();
    EXPECT_EQ(c.Next(), 0);  // the 65535th
    EXPECT_EQ(c.Next(), 1);  // the 65536th
}

using ZtTest::EventHandlerStub;

std::vector<uint8_t> Frame(uint32_t version, uint16_t type, const std::vector<uint8_t>& payload) {
    return ZtTest::BuildFrame(version, type, payload);
}

TEST(ServiceProtocol, FramesDispatchByType) {
    ZtTest::RecordLayout layout;
    layout.eventId = 31;
    auto record = ZtTest::BuildRecord(layout);
    struct Case {
        uint32_t version;
        uint16_t type;
        bool withRecord;
        const char* call;  // null: no handler call
        bool activity;
        HRESULT hr;
    } cases[] = {
        {1, 0, true, "message", true, 0},       {1, 1, true, "raised", true, 0},
        {1, 2, true, "cleared", true, 0},       {1, 3, false, nullptr, true, 0},
        {1, 4, false, "list cleared", true, 0}, {1, 5, false, nullptr, false, 0},
        {1, 6, true, "confirmed", true, 0},     {1, 7, true, "disposed", true, 0},
        {1, 8, false, nullptr, true, 0},        {1, 9, false, nullptr, true, 0},
        {1, 0xFFFF, false, nullptr, true, 0},   {2, 1, true, nullptr, false, MakeHResult(0x9811070Eu)},
        {0, 4, false, nullptr, false, MakeHResult(0x9811070Eu)},
    };
    for (const auto& c : cases) {
        EventHandlerStub h;
        auto f = Frame(c.version, c.type, c.withRecord ? record : std::vector<uint8_t>());
        ASSERT_EQ(CheckNotificationFrame(f.data(), f.size()), FrameCheck::Ok);
        bool activity = !c.activity;
        EXPECT_EQ(DispatchNotificationFrame(reinterpret_cast<const ZtEventStreamHeader*>(f.data()), &h, &activity),
                  c.hr)
            << c.type;
        EXPECT_EQ(activity, c.activity) << c.type;
        auto calls = h.Calls();
        if (c.call == nullptr) {
            EXPECT_TRUE(calls.empty()) << c.type;
        } else {
            ASSERT_EQ(calls.size(), 1u) << c.type;
            EXPECT_EQ(calls[0].what, c.call);
            if (c.withRecord) {
                EXPECT_EQ(calls[0].eventId, 31u);
                EXPECT_EQ(calls[0].record, record);
            }
        }
    }
}

TEST(ServiceProtocol, FrameChecksRefuseWhatDoesNotFit) {
    ZtTest::RecordLayout layout;
    layout.json = "{}";
    auto record = ZtTest::BuildRecord(layout);
    auto good = Frame(1, 1, record);
    auto longer = good;
    uint32_t big = static_cast<uint32_t>(record.size() + 1);
    std::memcpy(longer.data() + 8, &big, 4);
    auto shortRecord = Frame(1, 1, std::vector<uint8_t>(record.begin(), record.begin() + 100));
    auto jsonOut = record;
    uint32_t off = 0xFFFFFF00u;
    std::memcpy(jsonOut.data() + 88, &off, 4);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        FrameCheck expect;
    } cases[] = {
        {"good", good, FrameCheck::Ok},
        {"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 11), FrameCheck::HeaderIncomplete},
        {"payload longer than received", longer, FrameCheck::PayloadBeyondBytes},
        {"record head cut", shortRecord, FrameCheck::BadRecord},
        {"record tail outside", Frame(1, 2, jsonOut), FrameCheck::BadRecord},
        {"type without record needs none", Frame(1, 4, {}), FrameCheck::Ok},
        {"other version is not inspected", Frame(2, 1, {}), FrameCheck::Ok},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckNotificationFrame(c.bytes.data(), c.bytes.size()), c.expect) << c.what;
    // Dispatch itself refuses a record that does not fit the declared payload.
    EventHandlerStub h;
    auto bad = Frame(1, 1, std::vector<uint8_t>(50, 0));
    EXPECT_EQ(DispatchNotificationFrame(reinterpret_cast<const ZtEventStreamHeader*>(bad.data()), &h, nullptr),
              ZT_E_BAD_RECORD);
    EXPECT_TRUE(h.Calls().empty());
}

TEST(ServiceProtocol, InterfaceIdsFixedAtLoad) {
    EXPECT_EQ(g_IID_IZtEventHandler, ZtAtlCom::detail::ParseGuidLiteral("C6EECA0D-19F5-4ED9-8C4A-DFBFBD071DE0"));
    EXPECT_EQ(g_IID_IZtEventLoggerUmProxy.Data1, 0x0CFB641Au);
    EXPECT_EQ(g_IID_IZtStreamBuffer.Data4[7], 0x65);
    const uint8_t bytes[16] = {0x1A, 0x64, 0xFB, 0x0C, 0x46, 0x6D, 0xF4, 0x48,
                               0xA9, 0x15, 0x28, 0x49, 0x69, 0xED, 0xDF, 0x53};
    EXPECT_EQ(0, std::memcmp(&g_IID_IZtEventLoggerUmProxy, bytes, 16));
}

}  // namespace
