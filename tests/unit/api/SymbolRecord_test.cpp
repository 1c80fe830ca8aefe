#include "SymbolRecord.h"

#include <gtest/gtest.h>

#include "ZtSim/SymbolService.h"

namespace {

using ZtEventLoggerVdlApi::SymbolInfo;
using ZtEventLoggerVdlApi::detail::DecodeSymbolRecord;

std::vector<uint8_t> Record() {
    ZtSim::SymbolDefinition s;
    s.name = "MAIN.n";
    s.type = 3;
    s.typeName = "DINT";
    s.size = 4;
    s.comment = "count";
    s.indexGroup = 0x4040;
    s.indexOffset = 8;
    return ZtSim::SymbolService::InfoRecord(s);
}

TEST(SymbolRecord, DecodesEveryField) {
    auto r = Record();
    SymbolInfo info;
    ASSERT_EQ(DecodeSymbolRecord(r.data(), r.size(), info), 0u);
    EXPECT_EQ(info.indexGroup, 0x4040u);
    EXPECT_EQ(info.indexOffset, 8u);
    EXPECT_EQ(info.size, 4u);
    EXPECT_EQ(info.dataType, 3u);
    EXPECT_EQ(info.name, "MAIN.n");
    EXPECT_EQ(info.typeName, "DINT");
    EXPECT_EQ(info.comment, "count");
    // Trailing bytes after the record (the rest of a reply buffer) are no concern.
    r.resize(1024, 0xEE);
    ASSERT_EQ(DecodeSymbolRecord(r.data(), r.size(), info), 0u);
    EXPECT_EQ(info.comment, "count");
}

TEST(SymbolRecord, TextsEndAtTheirFirstNul) {
    auto r = Record();
    r[30 + 4] = 0;  // "MAIN" then NUL inside the announced name length
    SymbolInfo info;
    ASSERT_EQ(DecodeSymbolRecord(r.data(), r.size(), info), 0u);
    EXPECT_EQ(info.name, "MAIN");
    EXPECT_EQ(info.typeName, "DINT");
}

TEST(SymbolRecord, ClaimsBeyondTheBytesReceivedAreRefused) {
    const auto good = Record();
    auto with = [&](auto change) {
        auto r = good;
        change(r);
        return r;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t size;  // bytes received
    } cases[] = {
        {"shorter than the head", good, 29},
        {"record longer than received", good, good.size() - 1},
        {"record length below the head", with([](auto& r) { r[0] = 29; }), good.size()},
        {"record length huge", with([](auto& r) { r[3] = 0x80; }), good.size()},
        {"name length past the record", with([](auto& r) { r[24] = 0xFF; r[25] = 0xFF; }), good.size()},
        {"type-name length past the record", with([](auto& r) { r[26] = 200; }), good.size()},
        {"comment without its NUL", with([](auto& r) { r.back() = 'x'; }), good.size()},
        {"comment length one too long", with([](auto& r) { r[28] = 6; }), good.size()},
    };
    for (const auto& c : cases) {
        SymbolInfo info;
        info.name = "untouched";
        EXPECT_EQ(DecodeSymbolRecord(c.bytes.data(), c.size, info), 1798u) << c.what;
        EXPECT_EQ(info.name, "untouched") << c.what;
    }
    SymbolInfo info;
    EXPECT_EQ(DecodeSymbolRecord(nullptr, 0, info), 1798u);
}

}  // namespace
