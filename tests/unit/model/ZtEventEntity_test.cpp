#include "ZtEventEntity.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "RecordBytes.h"

namespace {

using namespace ZtEventLoggerCommon;
using ZtTest::BuildRecord;
using ZtTest::RecordLayout;

const ZtEventEntity* AsRecord(const std::vector<uint8_t>& b) { return reinterpret_cast<const ZtEventEntity*>(b.data()); }

TEST(EventEntity, HeadFieldOffsets) {
    EXPECT_EQ(offsetof(ZtEventEntity, eventId), 16u);
    EXPECT_EQ(offsetof(ZtEventEntity, severityLevel), 24u);
    EXPECT_EQ(offsetof(ZtEventEntity, sourceInfoCount), 28u);
    EXPECT_EQ(offsetof(ZtEventEntity, isRaised), 40u);
    EXPECT_EQ(offsetof(ZtEventEntity, eventType), 42u);
    EXPECT_EQ(offsetof(ZtEventEntity, fileTimeRaised), 48u);
    EXPECT_EQ(offsetof(ZtEventEntity, fileTimeDisposed), 64u);
    EXPECT_EQ(offsetof(ZtEventEntity, confirmationState), 72u);
    EXPECT_EQ(offsetof(ZtEventEntity, fileTimeConfirmed), 80u);
    EXPECT_EQ(offsetof(ZtEventEntity, jsonAttributeOffset), 88u);
    EXPECT_EQ(offsetof(ZtEventEntity, arguments), 96u);
}

TEST(EventEntity, LengthRuleWithEveryTailKind) {
    RecordLayout none;
    auto bare = BuildRecord(none);
    size_t len = 0;
    ASSERT_EQ(CheckRecord(bare.data(), bare.size(), &len), RecordCheck::Ok);
    EXPECT_EQ(len, 120u);
    EXPECT_EQ(RecordLength(AsRecord(bare)), 120u);

    // Three arguments of types 1, 4 and 21 holding true, 7 and "ab".
    RecordLayout three;
    three.types = {1, 4, 21};
    three.data = {1, 7, 0, 0, 0, 'a', 'b', 0};
    auto r3 = BuildRecord(three);
    EXPECT_EQ(AsRecord(r3)->arguments.typesSize, 6u);
    EXPECT_EQ(AsRecord(r3)->arguments.dataSize, 8u);
    EXPECT_EQ(RecordLength(AsRecord(r3)), 134u);

    // An empty text argument: a type code, no data bytes.
    RecordLayout empty;
    empty.types = {21};
    auto re = BuildRecord(empty);
    EXPECT_EQ(RecordLength(AsRecord(re)), 122u);

    RecordLayout all = three;
    all.sources = {{1, {5, 0, 0, 0}}, {4, {'P', 'L', 'C', 0}}};
    all.json = "{\"a\":1}";
    auto ra = BuildRecord(all);
    EXPECT_EQ(RecordLength(AsRecord(ra)), 134u + (24 + 8) + 8);
    ASSERT_EQ(CheckRecord(ra.data(), ra.size(), &len), RecordCheck::Ok);
    EXPECT_EQ(len, ra.size());
}

TEST(EventEntity, RecordsReachingBeyondTheirBytesAreRefused) {
    RecordLayout s;
    s.sources = {{4, {'N', 0}}};
    s.json = "{}";
    s.types = {4};
    s.data = {1, 0, 0, 0};
    const auto good = BuildRecord(s);
    auto patch = [&](size_t at, uint32_t v) {
        auto b = good;
        std::memcpy(b.data() + at, &v, 4);
        return b;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t available;
        RecordCheck expect;
    } cases[] = {
        {"whole", good, good.size(), RecordCheck::Ok},
        {"bytes beyond the record are fine", good, good.size(), RecordCheck::Ok},
        {"head cut", good, 119, RecordCheck::HeadIncomplete},
        {"last byte missing", good, good.size() - 1, RecordCheck::LengthBeyondBytes},
        {"source table count too big", patch(28, 9), good.size(), RecordCheck::SourceInfoOutside},
        {"source table offset huge", patch(32, 0xFFFFFFF0u), good.size(), RecordCheck::SourceInfoOutside},
        {"source item offset outside", patch(120 + 4, 0x7FFFFFFFu), good.size(), RecordCheck::SourceInfoOutside},
        {"source item size wraps", patch(120 + 8, 0xFFFFFFFFu), good.size(), RecordCheck::SourceInfoOutside},
        {"json offset outside", patch(88, static_cast<uint32_t>(good.size())), good.size(), RecordCheck::JsonOutside},
        {"types not two bytes per argument", patch(96, 2), good.size(), RecordCheck::TypesOutside},
        {"types offset outside", patch(100, 0xFFFFFFFFu), good.size(), RecordCheck::TypesOutside},
        {"data offset outside", patch(108, static_cast<uint32_t>(good.size() - 2)), good.size(),
         RecordCheck::DataOutside},
        {"sizes sum past 4 GiB", patch(112, 0xFFFFFFFFu), good.size(), RecordCheck::LengthBeyondBytes},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckRecord(c.bytes.data(), c.available, nullptr), c.expect) << c.what;
    EXPECT_EQ(CheckRecord(nullptr, 500, nullptr), RecordCheck::HeadIncomplete);
}

// Readers take 4 bytes of an id, 16 of a GUID, scan a name or a text for its
// NUL: items and values that do not fit their types are refused; the spans
// of the values that pass lie inside the data block.
TEST(EventEntity, ItemsAndArgumentsMustFitTheirTypes) {
    using Span = std::pair<uint32_t, uint32_t>;  // offset in the data block, size
    struct Case {
        const char* what;
        std::vector<RecordLayout::Source> sources;
        std::vector<uint16_t> types;
        std::vector<uint8_t> data;
        RecordCheck expect;
        std::vector<Span> spans;
    } cases[] = {
        {"id of 1 byte", {{1, {5}}}, {}, {}, RecordCheck::SourceInfoMismatch, {}},
        {"GUID of 4 bytes", {{2, {1, 2, 3, 4}}}, {}, {}, RecordCheck::SourceInfoMismatch, {}},
        {"name without its NUL", {{4, {'P', 'L', 'C'}}}, {}, {}, RecordCheck::SourceInfoMismatch, {}},
        {"name of 0 bytes", {{4, {}}}, {}, {}, RecordCheck::SourceInfoMismatch, {}},
        {"items of every type", {{1, {5, 0, 0, 0}}, {2, std::vector<uint8_t>(16, 7)}, {4, {0}}, {3, {9}}}, {}, {},
         RecordCheck::Ok, {}},
        {"code 15 is undefined", {}, {15}, {}, RecordCheck::ArgumentsMismatch, {}},
        {"code 20 is undefined", {}, {20}, {1, 2, 3, 4, 5, 6, 7, 8}, RecordCheck::ArgumentsMismatch, {}},
        {"code 22 is undefined", {}, {22}, {}, RecordCheck::ArgumentsMismatch, {}},
        {"Int32 with 2 bytes", {}, {4}, {1, 0}, RecordCheck::ArgumentsMismatch, {}},
        {"Double with 4 bytes", {}, {11}, {1, 0, 0, 0}, RecordCheck::ArgumentsMismatch, {}},
        {"text without its NUL", {}, {21}, {'a', 'b'}, RecordCheck::ArgumentsMismatch, {}},
        {"bytes left over", {}, {4}, {1, 0, 0, 0, 9}, RecordCheck::ArgumentsMismatch, {}},
        {"data without types", {}, {}, {1}, RecordCheck::ArgumentsMismatch, {}},
        {"bool, Int32, text", {}, {1, 4, 21}, {1, 7, 0, 0, 0, 'a', 'b', 0}, RecordCheck::Ok, {{0, 1}, {1, 4}, {5, 3}}},
        {"empty text before a number", {}, {21, 4}, {7, 0, 0, 0}, RecordCheck::Ok, {{0, 0}, {0, 4}}},
        {"texts, char, wide char, none", {}, {14, 12, 21, 13, 0}, {'x', 0, 'c', 'y', 'z', 0, 1, 0}, RecordCheck::Ok,
         {{0, 2}, {2, 1}, {3, 3}, {6, 2}, {8, 0}}},
    };
    for (const auto& c : cases) {
        RecordLayout s;
        s.sources = c.sources;
        s.types = c.types;
        s.data = c.data;
        const auto bytes = BuildRecord(s);
        ASSERT_EQ(CheckRecord(bytes.data(), bytes.size(), nullptr), c.expect) << c.what;
        if (c.expect != RecordCheck::Ok) continue;
        const ZtEventEntity* e = AsRecord(bytes);
        for (uint32_t i = 0; i < c.spans.size(); ++i) {
            auto span = ArgumentAt(e, i);
            ASSERT_TRUE(span) << c.what << ", argument " << i;
            EXPECT_EQ(span->type, c.types[i]) << c.what << ", argument " << i;
            EXPECT_EQ(span->offset, e->arguments.dataOffset + c.spans[i].first) << c.what << ", argument " << i;
            EXPECT_EQ(span->size, c.spans[i].second) << c.what << ", argument " << i;
        }
        EXPECT_FALSE(ArgumentAt(e, static_cast<uint32_t>(c.types.size()))) << c.what;
    }
}

ZtEventKey Key(uint8_t firstByte, uint32_t data1, uint32_t id, uint32_t qualifier) {
    ZtEventKey k{};
    k.eventClass.Data1 = data1;
    std::memcpy(&k.eventClass, &firstByte, 1);  // overrides the low byte of Data1
    k.eventId = id;
    k.keyQualifier = qualifier;
    return k;
}

TEST(EventEntity, KeyOrder) {
    ZtEventKeyLess less;
    struct Case {
        const char* what;
        ZtEventKey a, b;
        bool aBeforeB, bBeforeA;
    } cases[] = {
        {"qualifier 0 matches any qualifier", Key(1, 0, 5, 0), Key(1, 0, 5, 7), false, false},
        {"both qualifiers set: qualifier first", Key(1, 0, 9, 5), Key(1, 0, 1, 7), true, false},
        {"same qualifier: id next", Key(1, 0, 1, 5), Key(1, 0, 2, 5), true, false},
        {"id before class", Key(9, 0, 1, 0), Key(1, 0, 2, 0), true, false},
        // 0x02000001 < 0x01000002 numerically, but the first byte in memory decides.
        {"class by raw bytes", Key(0x01, 0x02000001u, 3, 0), Key(0x02, 0x01000002u, 3, 0), true, false},
        {"equal", Key(3, 3, 3, 3), Key(3, 3, 3, 3), false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(less(c.a, c.b), c.aBeforeB) << c.what;
        EXPECT_EQ(less(c.b, c.a), c.bBeforeA) << c.what;
    }
    EXPECT_TRUE(KeysEquivalent(Key(1, 0, 5, 0), Key(1, 0, 5, 7)));
    EXPECT_FALSE(KeysEquivalent(Key(1, 0, 5, 5), Key(1, 0, 5, 7)));
    // A record's first 24 bytes are its key.
    RecordLayout s;
    s.eventId = 77;
    s.qualifier = 3;
    auto r = BuildRecord(s);
    EXPECT_EQ(KeyOf(AsRecord(r)).eventId, 77u);
    EXPECT_EQ(KeyOf(AsRecord(r)).keyQualifier, 3u);
}

TEST(EventEntity, FileTimeToDate) {
    struct Case {
        uint64_t ft;
        double date;
        ZtAtlCom::HRESULT hr;
    } cases[] = {
        {0, 0.0, ZtAtlCom::S_FALSE},
        {94353120000000000ull, 0.0, ZtAtlCom::S_OK},
        {94353120000000000ull + 864000000000ull, 1.0, ZtAtlCom::S_OK},
        {94353120000000000ull + 432000000000ull, 0.5, ZtAtlCom::S_OK},
        {133000000000000000ull, (133000000000000000.0 - 94353120000000000.0) / 8.64e11, ZtAtlCom::S_OK},
    };
    for (const auto& c : cases) {
        double d = -1;
        EXPECT_EQ(FileTimeToDate(c.ft, &d), c.hr) << c.ft;
        EXPECT_DOUBLE_EQ(d, c.date) << c.ft;
    }
    EXPECT_EQ(FileTimeToDate(1, nullptr), ZtAtlCom::E_POINTER);
}

TEST(EventEntity, TextsAndSourceInfo) {
    RecordLayout s;
    s.sources = {{1, {7, 0, 0, 0}}, {4, {'M', 'i', 'x', 'e', 'r', 0}}, {4, {'X', 0}}};
    s.json = "{\"line\":2}";
    auto r = BuildRecord(s);
    const ZtEventEntity* e = AsRecord(r);
    ZtAtlCom::BSTR text = nullptr;
    ASSERT_EQ(JsonAttribute(e, &text), ZtAtlCom::S_OK);
    EXPECT_STREQ(text, "{\"line\":2}");
    EXPECT_EQ(ZtAtlCom::SysStringByteLen(text), 10u);
    ZtAtlCom::SysFreeString(text);
    auto name = FindSourceInfo(e, 4);
    ASSERT_TRUE(name);  // the first descriptor of the type wins
    ASSERT_EQ(RecordText(e, name->offset, name->size, &text), ZtAtlCom::S_OK);
    EXPECT_STREQ(text, "Mixer");
    ZtAtlCom::SysFreeString(text);
    EXPECT_FALSE(FindSourceInfo(e, 2));
    for (uint32_t size : {0u, 1u}) {
        text = reinterpret_cast<ZtAtlCom::BSTR>(1);
        EXPECT_EQ(RecordText(e, 0, size, &text), ZtAtlCom::S_OK);
        EXPECT_EQ(text, nullptr);
    }
}

TEST(EventEntity, ArgumentCopyOut) {
    RecordLayout s;
    s.types = {1, 4};
    s.data = {1, 9, 0, 0, 0};
    auto r = BuildRecord(s);
    const ZtEventEntity* e = AsRecord(r);
    auto info = ArgumentsInfo(e);
    EXPECT_EQ(info.argumentCount, 2u);
    EXPECT_EQ(info.typesOffset, 0u);
    EXPECT_EQ(info.dataOffset, 4u);
    uint8_t buf[9] = {};
    EXPECT_EQ(CopyArgumentData(e, buf, 8), ZtAtlCom::E_INVALIDARG);
    ASSERT_EQ(CopyArgumentData(e, buf, 9), ZtAtlCom::S_OK);
    const uint8_t expect[9] = {1, 0, 4, 0, 1, 9, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(buf, expect, 9));
    RecordLayout none;
    auto rn = BuildRecord(none);
    EXPECT_EQ(CopyArgumentData(AsRecord(rn), nullptr, 0), ZtAtlCom::S_OK);
    EXPECT_EQ(EventTypeOf(AsRecord(rn)), 1);
}

}  // namespace
