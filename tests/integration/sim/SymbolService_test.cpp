#include "ZtSim/SymbolService.h"

#include <gtest/gtest.h>

#include <cstring>

#include "SimFixture.h"
#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"
#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"
#include "ZtSim/SimConfig.h"

namespace {

using ZtSim::SymbolDefinition;
using Bytes = std::vector<uint8_t>;

TEST(SymbolServiceRecord, BytesOfTheInformationRecord) {
    SymbolDefinition s;
    s.name = "A.b";
    s.type = 3;
    s.typeName = "DINT";
    s.size = 4;
    s.comment = "c";
    s.indexGroup = 0x4040;
    s.indexOffset = 0x10;
    const Bytes expected = {
        41, 0, 0, 0,             // record length: the head (30) and the three texts with their NULs
        0x40, 0x40, 0, 0,        // index group
        0x10, 0, 0, 0,           // index offset
        4, 0, 0, 0,              // size
        3, 0, 0, 0,              // data type
        0, 0, 0, 0,              // flags
        3, 0, 4, 0, 1, 0,        // name, type-name and comment lengths
        'A', '.', 'b', 0, 'D', 'I', 'N', 'T', 0, 'c', 0,
    };
    EXPECT_EQ(ZtSim::SymbolService::InfoRecord(s), expected);
}

TEST(SymbolFile, ParsesValuesOfEveryKind) {
    std::vector<SymbolDefinition> symbols;
    std::string error;
    ASSERT_TRUE(ZtSim::ParseSymbolFile(R"json({"symbols": [
        {"name": "i", "type": 2, "value": -2},
        {"name": "u", "type": 19, "value": "4294967295"},
        {"name": "r", "type": 4, "value": 1.5},
        {"name": "w", "type": 31, "size": 6, "value": "\u00e9"},
        {"name": "s", "type": 30, "size": 4, "value": "ab"},
        {"name": "x", "type": 65, "value": "0x0102"},
        {"name": "h", "type": 3, "hex": "78563412", "comment": "raw"},
        {"name": "b", "type": 33, "value": true}
    ]})json", symbols, error)) << error;
    ASSERT_EQ(symbols.size(), 8u);
    float r = 1.5f;
    Bytes rb(4);
    std::memcpy(rb.data(), &r, 4);
    const Bytes want[] = {{0xFE, 0xFF}, {0xFF, 0xFF, 0xFF, 0xFF}, rb, {0xE9, 0, 0, 0, 0, 0}, {'a', 'b', 0, 0},
                          {1, 2},       {0x78, 0x56, 0x34, 0x12}, {1}};
    for (size_t i = 0; i < symbols.size(); ++i) {
        EXPECT_EQ(symbols[i].value, want[i]) << symbols[i].name;
        EXPECT_EQ(symbols[i].size, want[i].size()) << symbols[i].name;
    }
    EXPECT_EQ(symbols[0].typeName, "INT");
    EXPECT_EQ(symbols[6].comment, "raw");

    for (const char* bad : {
             "[{\"type\": 2}]",                                    // no name
             "[{\"name\": \"a\"}]",                                // no type
             "[{\"name\": \"a\", \"type\": 16, \"value\": 200}]",  // does not fit SINT
             "[{\"name\": \"a\", \"type\": 17, \"value\": -1}]",
             "[{\"name\": \"a\", \"type\": 30, \"size\": 2, \"value\": \"abc\"}]",
             "[{\"name\": \"a\", \"type\": 65, \"value\": \"0x0g\"}]",
             "{\"other\": []}", "[1]", "{",
         }) {
        EXPECT_FALSE(ZtSim::ParseSymbolFile(bad, symbols, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

class SymbolServiceLink : public ZtTest::SimFixture {};

TEST_F(SymbolServiceLink, SymbolFileAndPortFromTheConfiguration) {
    ZtSim::SimOptions o = ZtTest::DefaultSimOptions();
    std::string error, text;
    ASSERT_TRUE(ZtSim::ReadTextFile(ZT_SAMPLE_SYMBOLS, text, error)) << error;
    ASSERT_TRUE(ZtSim::ParseSimOptions(
        std::string(R"({"symbolFile": ")") + ZT_SAMPLE_SYMBOLS + R"(", "symbolPort": 852,
                       "targetInfo": "Press line 2", "stateTiming": {"leaveMs": 5, "configMs": 6, "restartMs": 7}})",
        o, error))
        << error;
    EXPECT_EQ(o.symbolPort, 852);
    EXPECT_EQ(o.stateTiming.restartMs, 7u);
    StartSim(o);
    ZtEventLoggerVdlApi::VdlAccessImpl access("", 852);
    EXPECT_EQ(access.Read("MAIN.wsOperator").first, "J\xC3\xBCrgen");
    EXPECT_EQ(access.Read("MAIN.stAxis").first, "0x0100000064000000");
    EXPECT_EQ(access.GetTargetInfo().first, "Press line 2");
    EXPECT_EQ(sim->Local().FindService(ZtSim::kDefaultSymbolPort), nullptr);

    for (const char* json : {R"({"symbolPort": 70000})", R"({"stateTiming": 5})", R"({"sandbox": 1})"})
        EXPECT_FALSE(ZtSim::ParseSimOptions(json, o, error)) << json;
    o.symbolFile = "/no/such/symbols.json";
    EXPECT_THROW(ZtSim::Simulator bad(o), std::runtime_error);
}

TEST_F(SymbolServiceLink, HandleRequestsOnTheWire) {
    ZtEventLoggerVdlApi::VdlR3AdapterImpl adapter;
    ASSERT_EQ(adapter.Connect(""), 0u);
    auto symbols = sim->Local().ServiceAs<ZtSim::SymbolService>(ZtSim::kDefaultSymbolPort);
    const uint16_t port = ZtSim::kDefaultSymbolPort;
    char name[] = "MAIN.nDint";
    uint8_t buf[8] = {};
    unsigned long n = 0;
    // A reply buffer too small for the handle: no handle is made.
    EXPECT_EQ(adapter.VdlSyncReadWriteReq(port, 0xF003, 0, 2, buf, sizeof(name), name, n), 1797u);
    EXPECT_EQ(symbols->LiveHandles(), 0u);
    ASSERT_EQ(adapter.VdlSyncReadWriteReq(port, 0xF003, 0, 4, buf, sizeof(name) - 1, name, n), 0u);  // NUL optional
    uint32_t handle = buf[0] | buf[1] << 8 | buf[2] << 16 | static_cast<uint32_t>(buf[3]) << 24;
    EXPECT_EQ(symbols->LiveHandles(), 1u);
    // Values: a short read is refused with the size needed; an oversized write too.
    EXPECT_EQ(adapter.VdlSyncReadReq(port, 0xF005, handle, 2, buf), 1797u);
    EXPECT_EQ(buf[0], 4);
    uint8_t five[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(adapter.VdlSyncWriteReq(port, 0xF005, handle, 5, five), 1797u);
    EXPECT_EQ(adapter.VdlSyncWriteReq(port, 0xF005, handle, 2, five), 0u);
    EXPECT_EQ(symbols->Value("MAIN.nDint"), (Bytes{1, 2, 0x5B, 0x07}));  // over 123456789 = 0x075BCD15
    EXPECT_EQ(adapter.VdlSyncReadReq(port, 0xF005, handle + 1, 4, buf), 1804u);
    // Release: exactly four bytes naming a live handle.
    EXPECT_EQ(adapter.VdlSyncWriteReq(port, 0xF006, 0, 2, buf), 1798u);
    uint8_t h[4] = {static_cast<uint8_t>(handle), static_cast<uint8_t>(handle >> 8),
                    static_cast<uint8_t>(handle >> 16), static_cast<uint8_t>(handle >> 24)};
    EXPECT_EQ(adapter.VdlSyncWriteReq(port, 0xF006, 0, 4, h), 0u);
    EXPECT_EQ(adapter.VdlSyncWriteReq(port, 0xF006, 0, 4, h), 1804u);
    EXPECT_EQ(symbols->LiveHandles(), 0u);
    EXPECT_EQ(adapter.VdlSyncReadReq(port, 0xF005, handle, 4, buf), 1804u);
    EXPECT_EQ(adapter.VdlSyncReadReq(port, 0x4040, 0, 4, buf), 1793u);
}

}  // namespace
