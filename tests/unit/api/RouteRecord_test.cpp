#include "RouteRecord.h"

#include <gtest/gtest.h>

#include "ZtSim/SystemService.h"

namespace {

using ZtEventLoggerVdlApi::detail::DecodeRouteRecord;

std::vector<uint8_t> Record(const std::string& first, const std::string& name) {
    return ZtSim::SystemService::RouteRecord({name, first, MrxNetId{{1, 2, 3, 4, 5, 6}}});
}

TEST(RouteRecord, LayoutOfTheSimulatorRecordDecodes) {
    auto rec = Record("192.168.1.1", "Plc1");
    ASSERT_EQ(rec.size(), 44u + 12 + 5);
    EXPECT_EQ(rec[32], 12);  // length of the first text with its NUL
    auto r = DecodeRouteRecord(rec.data(), rec.size());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->firstText, "192.168.1.1");
    EXPECT_EQ(r->name, "Plc1");
    EXPECT_EQ(r->netId, (MrxNetId{{1, 2, 3, 4, 5, 6}}));
}

TEST(RouteRecord, TruncatedOrUnterminatedRecordsAreRefused) {
    auto good = Record("10.0.0.1", "A");
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool ok;
    };
    std::vector<Case> cases;
    cases.push_back({"whole", good, true});
    cases.push_back({"shorter than the head", std::vector<uint8_t>(good.begin(), good.begin() + 43), false});
    cases.push_back({"name NUL missing", std::vector<uint8_t>(good.begin(), good.end() - 1), false});
    cases.push_back({"first text cut", std::vector<uint8_t>(good.begin(), good.begin() + 46), false});
    auto zeroLen = good;
    zeroLen[32] = 0;
    cases.push_back({"zero length", zeroLen, false});
    auto noFirstNul = good;
    noFirstNul[44 + 8] = 'x';  // the first text's NUL overwritten; the length still points past it
    cases.push_back({"first text without NUL", noFirstNul, false});
    auto huge = good;
    huge[35] = 0x80;
    cases.push_back({"length beyond the record", huge, false});
    auto earlyNul = good;
    earlyNul[46] = 0;  // an earlier NUL inside the first text just shortens it
    cases.push_back({"NUL inside the first text", earlyNul, true});
    for (const auto& c : cases) EXPECT_EQ(DecodeRouteRecord(c.bytes.data(), c.bytes.size()).has_value(), c.ok) << c.what;
    EXPECT_FALSE(DecodeRouteRecord(nullptr, 100));
}

}  // namespace
