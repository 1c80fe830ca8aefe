// Request streams, filters, message formatting and CSV fields of the
// simulated event logger service, without a router in between.
#include "ZtSim/RequestStream.h"

#include <gtest/gtest.h>

#include <functional>

#include "StreamWriter.h"
#include "ZtSim/CsvExport.h"
#include "ZtSim/EventFilter.h"
#include "ZtSim/MessageFormat.h"

namespace {

using namespace ZtSim;
using ZtTest::StreamWriter;

TEST(RequestStream, KeysAreKnownByTheirHash) {
    EXPECT_EQ(KeyHash("handle"), 0xB38DFCC520227AE4ull);
    EXPECT_EQ(KeyHash("handle.x"), KeyHash("handle"));
    EXPECT_EQ(KeyHash(""), 0u);
    for (const char* k : {"timeStamp", "bResetConfirmation", "filter", "settings", "fileName", "\xC3\xA4"})
        EXPECT_EQ(KeyHash(k), ZtTest::HashKey(k)) << k;
}

TEST(RequestStream, BinaryAndJsonGiveTheSameTree) {
    StreamWriter w;
    w.Obj().Key("handle").U16(7).Key("timeStamp").U64(1ull << 60).Key("bResetConfirmation").Bool(true);
    w.Key("filter").Arr().Obj().Key("kind").U16(2).Key("cmp").U16(0).Key("value").Guid({0x01020304, 5, 6, {7}});
    w.EndObj().EndArr().EndObj();
    const std::string json =
        R"({"handle":7,"timeStamp":1152921504606846976,"bResetConfirmation":true,)"
        R"("filter":[{"kind":2,"cmp":0,"value":"{01020304-0005-0006-0700-000000000000}"}]})";
    for (const auto& bytes : {w.Stream(218), ZtTest::JsonStream(218, json)}) {
        RequestStream s;
        ASSERT_EQ(DecodeRequestStream(bytes, s), "");
        EXPECT_EQ(s.type, 218u);
        const StreamValue& b = s.body;
        EXPECT_EQ(b.Find("handle")->Unsigned(), 7u);
        EXPECT_EQ(b.Find("timeStamp")->Unsigned(), 1ull << 60);
        EXPECT_EQ(b.Find("bResetConfirmation")->Boolean(), true);
        const StreamValue* f = b.Find("filter");
        ASSERT_TRUE(f && f->items.size() == 1);
        EXPECT_EQ(f->items[0].Find("value")->Guid(), (EventGuid{0x01020304, 5, 6, {7}}));
        EXPECT_EQ(b.Find("missing"), nullptr);
    }
}

// Streams that must be refused, never read past their end.
TEST(RequestStream, HostileStreamsAreRefused) {
    auto body = [](std::initializer_list<uint8_t> b) {
        StreamWriter w;
        w.Raw(b);
        return w.Stream(216);
    };
    auto deep = [](size_t n) {
        StreamWriter w;
        for (size_t i = 0; i < n; ++i) w.Arr();
        for (size_t i = 0; i < n; ++i) w.EndArr();
        return w.Stream(216);
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"short header", {1, 0, 0, 0, 216, 0, 0}},
        {"version 2", {2, 0, 0, 0, 216, 0, 0, 0, 1, 0, 0, 0, 1, 6, 0, 0}},
        {"payload beyond the bytes", {1, 0, 0, 0, 216, 0, 0, 0, 9, 0, 0, 0, 1, 6, 0, 0}},
        {"empty body", body({})},
        {"unknown tag", body({1, 7, 6})},
        {"unknown type byte", body({4, 14, 0})},
        {"type byte 0", body({4, 0})},
        {"open array", body({2, 4, 7, 1, 0})},
        {"open object", body({1, 3, 1, 2, 3, 4, 5, 6, 7, 8, 4, 1, 1})},
        {"truncated key", body({1, 3, 1, 2, 3})},
        {"truncated value", body({1, 3, 1, 2, 3, 4, 5, 6, 7, 8, 4, 9, 1, 2})},
        {"key inside an array", body({2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 5})},
        {"value without key", body({1, 4, 1, 1, 6})},
        {"array closed as object", body({2, 6})},
        {"bool of 2", body({4, 1, 2})},
        {"text without NUL", body({4, 12, 'a', 'b'})},
        {"bytes after the value", body({1, 6, 1, 6})},
        {"nested too deep", deep(kMaxStreamDepth + 1)},
        {"JSON syntax", ZtTest::JsonStream(216, "{\"handle\":1")},
        {"JSON two values", ZtTest::JsonStream(216, "{} {}")},
        {"JSON nested too deep", ZtTest::JsonStream(216, std::string(100000, '['))},
        {"JSON NUL inside", ZtTest::JsonStream(216, std::string("{\"a\":\"x\0y\"}", 11))},
    };
    for (const auto& c : cases) {
        RequestStream s;
        EXPECT_NE(DecodeRequestStream(c.bytes, s), "") << c.what;
    }
    RequestStream s;
    EXPECT_EQ(DecodeRequestStream(deep(kMaxStreamDepth), s), "");
}

// Events the filter items are evaluated against.
struct Sample {
    uint32_t id;
    EventDescription e;
    EventState s;
};

std::vector<Sample> Samples() {
    const EventGuid a{0xA, 1, 1, {1}}, b{0xB, 2, 2, {2}};
    auto make = [&](uint32_t id, bool alarm, EventGuid cls, uint16_t severity) {
        Sample x{id, {}, {}};
        x.e.eventClass = cls;
        x.e.eventId = id;
        x.e.severity = severity;
        x.s.eventType = alarm ? 1 : 0;
        x.s.fileTimeRaised = 1000 + id;
        return x;
    };
    std::vector<Sample> v;
    v.push_back(make(1, false, a, 0));  // message, no source
    v.back().e.jsonAttribute = R"({"line":{"no":3,"name":"L3"},"batch":"B-17"})";
    v.push_back(make(2, true, a, 2));  // raised, waiting
    v.back().s.isRaised = 1;
    v.back().s.confirmationState = kConfirmationWaiting;
    v.back().e.source = {7, b, std::string("Axis.X")};
    v.push_back(make(3, true, b, 3));  // cleared, waiting
    v.back().s.confirmationState = kConfirmationWaiting;
    v.back().s.fileTimeCleared = 2000;
    v.back().e.source.name = "Conveyor.Axis";
    v.push_back(make(4, true, b, 4));  // raised, confirmed; a device event
    v.back().s.isRaised = 1;
    v.back().s.confirmationState = kConfirmationDone;
    v.back().s.fileTimeConfirmed = 3000;
    v.back().e.jsonAttribute = R"({"device":{"vendorId":2,"productCode":4711,"revisionNo":3},"line":{"no":12}})";
    v.push_back(make(5, true, a, 1));  // ended: cleared without confirmation
    v.back().s.fileTimeCleared = 2100;
    v.back().e.source.id = 9;
    return v;
}

using Build = std::function<void(StreamWriter&)>;

void Item(StreamWriter& w, uint16_t kind, uint16_t cmp, const Build& value) {
    w.Obj().Key("kind").U16(kind).Key("cmp").U16(cmp).Key("value");
    value(w);
    w.EndObj();
}
Build U32(uint32_t v) { return [v](StreamWriter& w) { w.U32(v); }; }
Build U16(uint16_t v) { return [v](StreamWriter& w) { w.U16(v); }; }
Build Str(std::string s) { return [s](StreamWriter& w) { w.Str(s); }; }
Build Flag(uint16_t kind, bool v) {
    return [kind, v](StreamWriter& w) { w.Obj().Key("kind").U16(kind).Key("value").Bool(v).EndObj(); };
}
Build Cmp(uint16_t kind, uint16_t cmp, Build value) {
    return [=](StreamWriter& w) { Item(w, kind, cmp, value); };
}
Build Op(uint16_t kind) { return [kind](StreamWriter& w) { w.Obj().Key("kind").U16(kind).EndObj(); }; }
Build Group(std::vector<Build> items) {
    return [items](StreamWriter& w) {
        w.Obj().Key("kind").U16(22).Key("items").Arr();
        for (const auto& i : items) i(w);
        w.EndArr().EndObj();
    };
}
Build Json(std::string path, std::string value, uint16_t cmp) {
    return [=](StreamWriter& w) {
        w.Obj().Key("kind").U16(9).Key("cmp").U16(cmp).Key("path").Str(path).Key("value").Str(value).EndObj();
    };
}
Build Time(uint16_t which, uint64_t t, uint16_t cmp) {
    return [=](StreamWriter& w) {
        w.Obj().Key("kind").U16(5).Key("cmp").U16(cmp).Key("which").U16(which).Key("value").U64(t).EndObj();
    };
}

StreamValue Filter(const std::vector<Build>& items) {
    StreamWriter w;
    w.Arr();
    for (const auto& i : items) i(w);
    w.EndArr();
    StreamValue v;
    EXPECT_EQ(DecodeBinaryBody(w.w.bytes, v), "");
    return v;
}

TEST(EventFilter, EveryItemSelectsExactlyItsEvents) {
    enum { Eq, Ne, Lt, Le, Gt, Ge, Contains, Starts, Ends };
    const Build OR = Op(20), NOT = Op(21);
    const EventGuid b{0xB, 2, 2, {2}};
    struct Case {
        const char* what;
        std::vector<Build> items;
        std::vector<uint32_t> ids;
    } cases[] = {
        {"empty", {}, {1, 2, 3, 4, 5}},
        {"event type alarm", {Cmp(1, Eq, U16(1))}, {2, 3, 4, 5}},
        {"event type message", {Cmp(1, Lt, U16(1))}, {1}},
        {"class", {Cmp(2, Eq, [&](StreamWriter& w) { w.Guid(b); })}, {3, 4}},
        {"class not", {Cmp(2, Ne, [&](StreamWriter& w) { w.Guid(b); })}, {1, 2, 5}},
        {"id >= 4", {Cmp(3, Ge, U32(4))}, {4, 5}},
        {"severity > 2", {Cmp(4, Gt, U16(2))}, {3, 4}},
        {"raised <= 1002", {Time(0, 1002, Le)}, {1, 2}},
        {"cleared set", {Time(1, 0, Gt)}, {3, 5}},
        {"confirmed unset", {Time(2, 0, Eq)}, {1, 2, 3, 5}},
        {"disposed", {Time(3, 0, Ne)}, {}},
        {"source guid", {Cmp(6, Eq, [&](StreamWriter& w) { w.Guid(b); })}, {2}},
        {"source guid not: missing is false", {Cmp(6, Ne, [&](StreamWriter& w) { w.Guid(b); })}, {}},
        {"source id", {Cmp(7, Le, U32(9))}, {2, 5}},
        {"source name contains", {Cmp(8, Contains, Str("Axis"))}, {2, 3}},
        {"source name starts", {Cmp(8, Starts, Str("Axis"))}, {2}},
        {"source name ends", {Cmp(8, Ends, Str("Axis"))}, {3}},
        {"source name is case-sensitive", {Cmp(8, Eq, Str("axis.x"))}, {}},
        {"json number", {Json("line.no", "10", Gt)}, {4}},
        {"json text", {Json("batch", "B-", Starts)}, {1}},
        {"json nested text", {Json("line.name", "L3", Eq)}, {1}},
        {"json object as text", {Json("line", "{\"no\":12}", Eq)}, {4}},
        {"json missing member", {NOT, Json("nothing", "x", Ne)}, {1, 2, 3, 4, 5}},
        {"active", {Flag(10, true)}, {2, 3, 4}},
        {"not active: messages never", {Flag(10, false)}, {5}},
        {"raised", {Flag(11, true)}, {2, 4}},
        {"waiting", {Flag(12, true)}, {2, 3}},
        {"confirmation state", {Cmp(13, Eq, U16(3))}, {4}},
        {"device event", {Flag(14, true)}, {4}},
        {"not a device event", {Flag(14, false)}, {1, 2, 3, 5}},
        {"vendor", {Cmp(15, Eq, U32(2))}, {4}},
        {"product code", {Cmp(16, Ge, U32(4711))}, {4}},
        {"revision", {Cmp(17, Lt, U32(3))}, {}},
        {"AND", {Flag(10, true), Cmp(4, Ge, U16(3))}, {3, 4}},
        {"OR binds looser", {Cmp(3, Eq, U32(1)), OR, Flag(11, true), Cmp(4, Eq, U16(4))}, {1, 4}},
        {"NOT", {NOT, Cmp(1, Eq, U16(1))}, {1}},
        {"NOT NOT", {NOT, NOT, Cmp(3, Eq, U32(2))}, {2}},
        {"group", {NOT, Group({Cmp(3, Eq, U32(1)), OR, Cmp(3, Eq, U32(2))}), Cmp(3, Lt, U32(5))}, {3, 4}},
        {"worked example", {Cmp(4, Ge, U16(3)), OR, NOT, Cmp(8, Contains, Str("Axis"))}, {1, 3, 4, 5}},
    };
    const auto samples = Samples();
    for (const auto& c : cases) {
        EventFilter f;
        ASSERT_EQ(f.Compile(Filter(c.items)), "") << c.what;
        std::vector<uint32_t> got;
        for (const auto& s : samples)
            if (f.Matches(s.e, s.s)) got.push_back(s.id);
        EXPECT_EQ(got, c.ids) << c.what;
    }
}

TEST(EventFilter, InvalidFiltersAreRefused) {
    const Build OR = Op(20), NOT = Op(21);
    const Build id = Cmp(3, 0, U32(1));
    struct Case {
        const char* what;
        std::vector<Build> items;
    } cases[] = {
        {"OR first", {OR, id}},
        {"OR last", {id, OR}},
        {"two ORs", {id, OR, OR, id}},
        {"NOT last", {id, NOT}},
        {"NOT before OR", {id, NOT, OR, id}},
        {"empty group", {Group({})}},
        {"unknown kind", {Cmp(18, 0, U32(1))}},
        {"unknown comparison", {Cmp(3, 9, U32(1))}},
        {"contains on a number", {Cmp(3, 6, U32(1))}},
        {"ordered on a text", {Cmp(8, 2, Str("a"))}},
        {"ordered on a GUID", {Cmp(2, 4, [](StreamWriter& w) { w.Guid({}); })}},
        {"severity 5", {Cmp(4, 0, U16(5))}},
        {"text for a number", {Cmp(3, 0, Str("1"))}},
        {"time stamp which 4", {Time(4, 0, 0)}},
        {"item not an object", {[](StreamWriter& w) { w.U16(3); }}},
        {"no cmp", {[](StreamWriter& w) { w.Obj().Key("kind").U16(3).Key("value").U32(1).EndObj(); }}},
    };
    for (const auto& c : cases) {
        EventFilter f;
        EXPECT_NE(f.Compile(Filter(c.items)), "") << c.what;
    }
}

TEST(MessageFormat, EveryArgumentTypeAndSpec) {
    using A = EventArgument;
    const std::vector<A> args = {A::Boolean(true), A::Int8(-5),         A::Int16(-300),   A::Int32(-70000),
                                 A::Int64(-5000000000), A::UInt8(200),  A::UInt16(60000), A::UInt32(4000000000u),
                                 A::UInt64(18000000000000000000ull),    A::Float(14.5f),  A::Double(87.25),
                                 A::Char('Z'),        A::WChar(u'\u00e4'), A::String("tank"), A::Bstr("M1"),
                                 A::Raw(0, {}),       A::Raw(15, {1, 2})};
    struct Case {
        const char* pattern;
        const char* text;
    } cases[] = {
        {"{0} {1} {2} {3} {4}", "true -5 -300 -70000 -5000000000"},
        {"{5} {6} {7} {8}", "200 60000 4000000000 18000000000000000000"},
        {"{9} {10} {11} {12} {13} {14}", "14.5 87.25 Z \xC3\xA4 tank M1"},
        {"[{15}] {16}", "[] ?"},
        {"{9:.1f} {10:.3f} {10:.0f} {3:x} {6:X} {5:05d} {1:4}", "14.5 87.250 87 fffeee90 EA60 00200   -5"},
        {"{10:d} {7:.2f} {1:03d} {13:6s}", "87 4000000000.00 -05   tank"},
        {"{{0}} {17} {0:q} {x} {1", "{0} {17} {0:q} {x} {1"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatMessage(c.pattern, args), c.text) << c.pattern;
}

TEST(CsvExport, FieldsAreQuotedAsNeeded) {
    struct Case {
        const char* field;
        const char* delimiter;
        const char* out;
    } cases[] = {
        {"plain", ",", "plain"},       {"a,b", ",", "\"a,b\""},   {"a,b", ";", "a,b"},
        {"a;b", ";", "\"a;b\""},       {"say \"hi\"", ",", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", ",", "\"two\r\nlines\""}, {"", ",", ""}, {"x\xC2\xA7y", "\xC2\xA7", "\"x\xC2\xA7y\""},
    };
    for (const auto& c : cases) EXPECT_EQ(CsvField(c.field, c.delimiter), c.out) << c.field;
    EXPECT_EQ(FileTimeText(0), "");
    EXPECT_EQ(FileTimeText(116444736000000000ull + 10000000ull * 86400 + 1234567), "1970-01-02T00:00:00.1234567Z");
}

}  // namespace
