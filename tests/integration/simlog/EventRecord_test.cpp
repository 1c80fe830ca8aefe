#include "ZtSim/EventRecord.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "RecordReader.h"

namespace {

using namespace ZtSim;
using Bytes = std::vector<uint8_t>;

// {00112233-4455-6677-8899-AABBCCDDEEFF}
const EventGuid kClass{0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};

void Put(Bytes& b, size_t at, std::initializer_list<uint8_t> bytes) {
    ASSERT_LE(at + bytes.size(), b.size());
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
}

TEST(EventRecord, ThreeArgumentAlarmIsByteExact) {
    EventDescription d;
    d.eventClass = kClass;
    d.eventId = 0x01020304;
    d.keyQualifier = 5;
    d.severity = 3;
    d.arguments = {EventArgument::Boolean(true), EventArgument::Int32(7), EventArgument::Bstr("ab")};
    EventState s;
    s.isRaised = 1;
    s.eventType = 1;
    s.fileTimeRaised = 0x01D9A0B0C0D0E0F0ull;
    s.confirmationState = kConfirmationWaiting;

    Bytes expected(134, 0);
    Put(expected, 0, {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
    Put(expected, 16, {0x04, 0x03, 0x02, 0x01});  // event id
    Put(expected, 20, {5, 0, 0, 0});              // qualifier
    Put(expected, 24, {3, 0});                    // severity
    Put(expected, 32, {120, 0, 0, 0});            // source table where the tails start; count and size 0
    Put(expected, 40, {1, 0, 1, 0});              // isRaised, reserved, eventType
    Put(expected, 48, {0xF0, 0xE0, 0xD0, 0xC0, 0xB0, 0xA0, 0xD9, 0x01});
    Put(expected, 72, {2, 0});                    // waiting for confirmation
    Put(expected, 88, {120, 0, 0, 0});            // no JSON attribute: offset 120, size 0
    Put(expected, 96, {3, 0, 0, 0, 120, 0, 0, 0, 6, 0, 0, 0, 126, 0, 0, 0, 8, 0, 0, 0});
    Put(expected, 120, {1, 0, 4, 0, 21, 0});      // types
    Put(expected, 126, {1, 7, 0, 0, 0, 'a', 'b', 0});
    EXPECT_EQ(BuildEventRecord(d, s), expected);
}

TEST(EventRecord, EveryTailKindIsByteExact) {
    EventDescription d;
    d.eventClass = kClass;
    d.eventId = 9;
    d.severity = 1;
    d.source.id = 0x2A;
    d.source.guid = EventGuid{0xA0A1A2A3, 0xB0B1, 0xC0C1, {1, 2, 3, 4, 5, 6, 7, 8}};
    d.source.name = "Tank";
    d.jsonAttribute = "{\"a\":1}";
    d.arguments = {EventArgument::UInt16(0x1234), EventArgument::String("")};
    EventState s;  // a message
    s.fileTimeRaised = 0x0102030405060708ull;

    Bytes e(195, 0);
    Put(e, 0, {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
    Put(e, 16, {9, 0, 0, 0});
    Put(e, 24, {1, 0});
    Put(e, 28, {3, 0, 0, 0, 120, 0, 0, 0, 61, 0, 0, 0});  // three items, table at 120, 36 + 4 + 16 + 5 bytes
    Put(e, 48, {8, 7, 6, 5, 4, 3, 2, 1});
    Put(e, 88, {181, 0, 0, 0, 8, 0, 0, 0});                // JSON: 7 characters and the NUL
    Put(e, 96, {2, 0, 0, 0, 189, 0, 0, 0, 4, 0, 0, 0, 193, 0, 0, 0, 2, 0, 0, 0});
    // Descriptors: type, offset, size.
    Put(e, 120, {1, 0, 0, 0, 156, 0, 0, 0, 4, 0, 0, 0});
    Put(e, 132, {2, 0, 0, 0, 160, 0, 0, 0, 16, 0, 0, 0});
    Put(e, 144, {4, 0, 0, 0, 176, 0, 0, 0, 5, 0, 0, 0});
    Put(e, 156, {0x2A, 0, 0, 0});
    Put(e, 160, {0xA3, 0xA2, 0xA1, 0xA0, 0xB1, 0xB0, 0xC1, 0xC0, 1, 2, 3, 4, 5, 6, 7, 8});
    Put(e, 176, {'T', 'a', 'n', 'k', 0});
    Put(e, 181, {'{', '"', 'a', '"', ':', '1', '}', 0});
    Put(e, 189, {7, 0, 14, 0});    // an empty text has a type code ...
    Put(e, 193, {0x34, 0x12});     // ... but no data bytes
    EXPECT_EQ(BuildEventRecord(d, s), e);
}

TEST(EventRecord, ArgumentsEncodeByType) {
    struct Case {
        EventArgument arg;
        uint16_t type;
        Bytes bytes;
    } cases[] = {
        {EventArgument::Boolean(true), 1, {1}},
        {EventArgument::Boolean(false), 1, {0}},
        {EventArgument::Int8(-2), 2, {0xFE}},
        {EventArgument::Int16(-2), 3, {0xFE, 0xFF}},
        {EventArgument::Int32(-70000), 4, {0x90, 0xEE, 0xFE, 0xFF}},
        {EventArgument::Int64(-1), 5, Bytes(8, 0xFF)},
        {EventArgument::UInt8(200), 6, {200}},
        {EventArgument::UInt16(0x1234), 7, {0x34, 0x12}},
        {EventArgument::UInt32(0xA1B2C3D4), 8, {0xD4, 0xC3, 0xB2, 0xA1}},
        {EventArgument::UInt64(0x0102030405060708ull), 9, {8, 7, 6, 5, 4, 3, 2, 1}},
        {EventArgument::Float(1.5f), 10, {0, 0, 0xC0, 0x3F}},
        {EventArgument::Double(-2.0), 11, {0, 0, 0, 0, 0, 0, 0, 0xC0}},
        {EventArgument::Char('A'), 12, {0x41}},
        {EventArgument::WChar(u'\u00E9'), 13, {0xE9, 0x00}},
        {EventArgument::String("ab"), 14, {'a', 'b', 0}},
        {EventArgument::Bstr("\xC3\xA9"), 21, {0xC3, 0xA9, 0}},  // UTF-8 bytes as they are
        {EventArgument::String(""), 14, {}},
        {EventArgument::Bstr(""), 21, {}},
        {EventArgument::Raw(17, {9, 9}), 17, {9, 9}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.arg.type, c.type);
        EXPECT_EQ(c.arg.bytes, c.bytes) << "type " << c.type;
        // And in a record: one code, the bytes at the data offset.
        EventDescription d;
        d.arguments = {c.arg};
        auto r = BuildEventRecord(d, {});
        ASSERT_EQ(r.size(), 120 + 2 + c.bytes.size());
        EXPECT_EQ(ZtTest::Le16(&r[120]), c.type);
        EXPECT_EQ(Bytes(r.begin() + 122, r.end()), c.bytes);
    }
}

TEST(EventRecord, RecordsReadBackWithEveryTail) {
    struct Case {
        const char* what;
        EventSource source;
        std::string json;
        std::vector<EventArgument> args;
    } cases[] = {
        {"nothing", {}, "", {}},
        {"id only", {7u, std::nullopt, std::nullopt}, "", {}},
        {"guid only", {std::nullopt, kClass, std::nullopt}, "", {}},
        {"empty name", {std::nullopt, std::nullopt, std::string()}, "", {}},
        {"name and id", {0xFFFFFFFFu, std::nullopt, std::string("Press.Hydraulics")}, "", {}},
        {"json only", {}, "{\"k\":[1,2]}", {}},
        {"all", {1u, kClass, std::string("Line 2 \xE2\x80\x93 Palletiser")}, "{}",
         {EventArgument::Double(3.25), EventArgument::Bstr("x"), EventArgument::Int64(-5), EventArgument::Bstr("")}},
    };
    for (const auto& c : cases) {
        EventDescription d;
        d.eventClass = kClass;
        d.eventId = 77;
        d.source = c.source;
        d.jsonAttribute = c.json;
        d.arguments = c.args;
        auto bytes = BuildEventRecord(d, {});
        ZtTest::ReadRecord r;
        ASSERT_EQ(ZtTest::ReadEventRecord(bytes, r), "") << c.what;
        EXPECT_EQ(r.length, bytes.size()) << c.what;
        // Tails in the order source info, JSON, types, data, each right behind the last.
        EXPECT_EQ(r.sourceOffset, 120u) << c.what;
        EXPECT_EQ(r.jsonOffset, r.sourceOffset + r.sourceSize) << c.what;
        EXPECT_EQ(r.typesOffset, r.jsonOffset + r.jsonSize) << c.what;
        EXPECT_EQ(r.dataOffset, r.typesOffset + r.typesSize) << c.what;
        EXPECT_EQ(r.sourceId, c.source.id) << c.what;
        EXPECT_EQ(r.sourceGuid.has_value(), c.source.guid.has_value()) << c.what;
        EXPECT_EQ(r.sourceName, c.source.name) << c.what;
        EXPECT_EQ(r.json, c.json) << c.what;
        EXPECT_EQ(r.jsonSize, c.json.empty() ? 0u : c.json.size() + 1) << c.what;
        ASSERT_EQ(r.args.size(), c.args.size()) << c.what;
        for (size_t i = 0; i < c.args.size(); ++i) {
            EXPECT_EQ(r.args[i].type, c.args[i].type) << c.what;
            EXPECT_EQ(r.args[i].bytes, c.args[i].bytes) << c.what;
        }
    }
}

TEST(EventRecord, GuidTexts) {
    struct Case {
        const char* text;
        bool ok;
    } cases[] = {
        {"{00112233-4455-6677-8899-AABBCCDDEEFF}", true},
        {"{00112233-4455-6677-8899-aabbccddeeff}", true},
        {"00112233-4455-6677-8899-AABBCCDDEEFF", false},
        {"{00112233-4455-6677-8899AABBCCDDEEFF-}", false},
        {"{00112233-4455-6677-8899-AABBCCDDEEFG}", false},
        {"{00112233-4455-6677-8899-AABBCCDDEEFF}x", false},
        {"{0x112233-4455-6677-8899-AABBCCDDEEFF}", false},
        {"", false},
    };
    for (const auto& c : cases) {
        auto g = ParseGuid(c.text);
        ASSERT_EQ(g.has_value(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(*g, kClass) << c.text;
            EXPECT_EQ(GuidText(*g), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
        }
    }
}

TEST(EventRecord, KeysMatchAsClientsMatchThem) {
    EventGuid other = kClass;
    other.data4[7] = 0;
    struct Case {
        EventKey a, b;
        bool match;
    } cases[] = {
        {{kClass, 1, 0}, {kClass, 1, 7}, true},
        {{kClass, 1, 7}, {kClass, 1, 0}, true},
        {{kClass, 1, 7}, {kClass, 1, 7}, true},
        {{kClass, 1, 5}, {kClass, 1, 7}, false},
        {{kClass, 1, 0}, {kClass, 2, 0}, false},
        {{kClass, 1, 0}, {other, 1, 0}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.a.Matches(c.b), c.match) << c.a.keyQualifier << " " << c.b.keyQualifier;
}

}  // namespace
