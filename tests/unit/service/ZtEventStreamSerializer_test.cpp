// Request streams byte for byte: the key/value streams in binary and JSON
// form, every value type, buffer growth, and the send-message record built
// from small fakes of the argument and source-info interfaces.
#include "ZtEventStreamSerializer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "RecordBytes.h"
#include "ReplyBytes.h"
#include "ZtBinaryStreamWriter.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::HRESULT;
using ZtAtlCom::REFIID;
using ZtAtlCom::UINT;
using ZtAtlCom::ULONG;
using ZtEventLoggerCommon::ZtDataFormatBinary;
using ZtEventLoggerCommon::ZtDataFormatJson;
using ZtTest::Bytes;
using ZtTest::Hex;
using Serializer = ZtEventLoggerVdlProxy::ZtEventStreamSerializer;

// The stream's bytes; frees the stream.
Bytes Take(SerializedStream* s) {
    EXPECT_NE(s, nullptr);
    if (s == nullptr) return {};
    Bytes b(s->data, s->data + s->size);
    FreeSerializedStream(s);
    return b;
}

std::string JsonPayload(const Bytes& b) { return b.size() > 12 ? std::string(b.begin() + 12, b.end()) : ""; }

// A serialisable that runs the given writer calls.
class Calls : public IZtStreamSerializable {
public:
    explicit Calls(std::function<void(IZtStreamWriter*)> f) : f_(std::move(f)) {}
    ULONG ZtAddRef() override { return 1; }
    ULONG ZtRelease() override { return 1; }
    HRESULT ZtQueryInterface(REFIID, void** p) override {
        *p = nullptr;
        return ZtAtlCom::ZT_E_NOINTERFACE;
    }
    HRESULT Serialize(IZtStreamWriter* w) override {
        f_(w);
        return 0;
    }

private:
    std::function<void(IZtStreamWriter*)> f_;
};

const GUID kIUnknown = ZtAtlCom::IID_IUnknown;  // {00000000-0000-0000-C000-000000000046}

void EveryValue(IZtStreamWriter* w) {
    w->StartArray();
    w->Value(true);
    w->Value(static_cast<signed char>(-2));
    w->Value(static_cast<short>(-3));
    w->Value(4);
    w->Value(-5L);
    w->Value(static_cast<unsigned char>(6));
    w->Value(static_cast<unsigned short>(7));
    w->Value(8u);
    w->Value(9ul);
    w->Value(0.5f);
    w->Value(0.25);
    w->Value("ab");
    w->Value(static_cast<const char*>(nullptr));
    w->Value(kIUnknown);
    w->EndArray();
}

TEST(StreamKeyHash, StopsAtTheFirstDotAndWidensCharactersWithTheirSign) {
    EXPECT_EQ(ZtStreamKeyHash("handle"), 0xB38DFCC520227AE4ull);
    EXPECT_EQ(ZtStreamKeyHash("handle.x"), 0xB38DFCC520227AE4ull);
    EXPECT_EQ(ZtStreamKeyHash("\xC3\xA9"), 0x2AB1ull);
    EXPECT_EQ(ZtStreamKeyHash(""), 0u);
    EXPECT_EQ(ZtStreamKeyHash(".handle"), 0u);
    EXPECT_EQ(ZtStreamKeyHash(nullptr), 0u);
}

TEST(StreamSerializer, BinaryStreamsByteForByte) {
    const std::string kHandle = "03 E4 7A 22 20 C5 FC 8D B3 ", kTime = "03 13 B0 6E 81 43 E5 00 0F ",
                      kReset = "03 2D 8A 58 0F 17 58 7B 35 ", kFilter = "03 61 B7 51 15 5E FC 8D B3 ",
                      kSettings = "03 D9 22 2A 3E C3 2C 24 30 ", kFile = "03 BE A3 FF 81 76 E3 3F 30 ";
    Calls empty([](IZtStreamWriter* w) {
        w->StartObject();
        w->Key("a.b");  // hashed as "a"
        w->Value(static_cast<const char*>(nullptr));
        w->EndObject();
    });
    Calls values(EveryValue);
    struct Case {
        const char* what;
        SerializedStream* stream;
        std::string bytes;
    } cases[] = {
        {"confirm, the worked example", Serializer::CreateConfirmAlarmsStream(0, nullptr, 1, ZtDataFormatBinary),
         "01 00 00 00 D8 00 00 00 0F 00 00 00 01 " + kHandle + "04 07 01 00 06"},
        {"confirm with a negative time stamp and a filter",
         Serializer::CreateConfirmAlarmsStream(-2, &empty, 0xFFFE, ZtDataFormatBinary),
         "01 00 00 00 D8 00 00 00 39 00 00 00 01 " + kHandle + "04 07 FE FF " + kTime +
             "04 09 FE FF FF FF FF FF FF FF " + kFilter + "01 03 9D FF FF FF FF FF FF FF 04 0C 00 06 06"},
        {"clear, flag false, no time stamp",
         Serializer::CreateClearAlarmsStream(0, false, nullptr, 3,
                                             static_cast<ZtEventLoggerCommon::ZtEventLoggerDataFormat>(7)),
         "01 00 00 00 DA 00 00 00 1B 00 00 00 01 " + kHandle + "04 07 03 00 " + kReset + "04 01 00 06"},
        {"logged events with every value type", Serializer::CreateGetLoggedEventsStream(&values, 2, ZtDataFormatBinary),
         "01 00 00 00 D6 00 00 00 75 00 00 00 01 " + kHandle + "04 07 02 00 " + kSettings +
             "02 04 01 01 04 02 FE 04 03 FD FF 04 04 04 00 00 00 04 05 FB FF FF FF FF FF FF FF 04 06 06 "
             "04 07 07 00 04 08 08 00 00 00 04 09 09 00 00 00 00 00 00 00 04 0A 00 00 00 3F "
             "04 0B 00 00 00 00 00 00 D0 3F 04 0C 61 62 00 04 0C 00 "
             "04 0D 00 00 00 00 00 00 00 00 C0 00 00 00 00 00 00 46 05 06"},
        {"export with a null file name",
         Serializer::CreateExportLoggedEventsStream(nullptr, nullptr, 4, ZtDataFormatBinary),
         "01 00 00 00 D2 00 00 00 1B 00 00 00 01 " + kHandle + "04 07 04 00 " + kFile + "04 0C 00 06"},
    };
    for (auto& c : cases) EXPECT_EQ(Take(c.stream), Hex(c.bytes)) << c.what;
}

TEST(StreamSerializer, JsonStreams) {
    Calls values(EveryValue);
    Calls dangling([](IZtStreamWriter*) {});  // writes nothing after its key
    Calls misuse([](IZtStreamWriter* w) {
        EXPECT_FALSE(w->EndArray());  // no array open
        w->StartObject();
        EXPECT_FALSE(w->Value(1));  // a value where a name belongs
        EXPECT_TRUE(w->Key(nullptr));
        EXPECT_TRUE(w->Value(1));
        EXPECT_FALSE(w->EndArray());  // an object is open
        EXPECT_TRUE(w->EndObject());
    });
    struct Case {
        const char* what;
        SerializedStream* stream;
        std::string json;
    } cases[] = {
        {"confirm", Serializer::CreateConfirmAlarmsStream(0, nullptr, 1, ZtDataFormatJson), "{\"handle\":1}"},
        {"confirm with time", Serializer::CreateConfirmAlarmsStream(5, nullptr, 1, ZtDataFormatJson),
         "{\"handle\":1,\"timeStamp\":5}"},
        {"clear", Serializer::CreateClearAlarmsStream(-1, true, nullptr, 9, ZtDataFormatJson),
         "{\"handle\":9,\"timeStamp\":18446744073709551615,\"bResetConfirmation\":true}"},
        {"every value", Serializer::CreateGetLoggedEventsStream(&values, 2, ZtDataFormatJson),
         "{\"handle\":2,\"settings\":[true,-2,-3,4,-5,6,7,8,9,0.5,0.25,\"ab\",\"\","
         "\"{00000000-0000-0000-C000-000000000046}\"]}"},
        {"nothing after a key", Serializer::CreateGetLoggedEventsStream(&dangling, 3, ZtDataFormatJson),
         "{\"handle\":3,\"settings\"}"},
        {"calls refused in their place", Serializer::CreateGetLoggedEventsStream(&misuse, 4, ZtDataFormatJson),
         "{\"handle\":4,\"settings\":{\"\":1}}"},
        {"export", Serializer::CreateExportLoggedEventsStream("a\"b.csv", nullptr, 5, ZtDataFormatJson),
         "{\"handle\":5,\"fileName\":\"a\\\"b.csv\"}"},
    };
    for (auto& c : cases) {
        Bytes b = Take(c.stream);
        ASSERT_GE(b.size(), 13u) << c.what;
        EXPECT_EQ(b[6], 1) << c.what;  // format
        uint32_t payload;
        std::memcpy(&payload, b.data() + 8, 4);
        EXPECT_EQ(payload, b.size() - 12) << c.what;
        EXPECT_EQ(JsonPayload(b), c.json + std::string(1, '\0')) << c.what;
    }
    EXPECT_EQ(Take(Serializer::CreateConfirmAlarmsStream(0, nullptr, 1, ZtDataFormatJson)),
              Hex("01 00 00 00 D8 00 01 00 0D 00 00 00 7B 22 68 61 6E 64 6C 65 22 3A 31 7D 00"));
}

TEST(StreamSerializer, WritesLargerThanTwiceTheBufferGrowItUntilTheyFit) {
    for (size_t length : {900u, 2500u, 70000u}) {
        const std::string big(length, 'x');
        Calls text([&](IZtStreamWriter* w) { w->Value(big.c_str()); });
        Calls many([&](IZtStreamWriter* w) {
            w->StartArray();
            for (size_t i = 0; i < length / 8; ++i) w->Value(static_cast<unsigned int>(i));
            w->EndArray();
        });
        Bytes one = Take(Serializer::CreateGetLoggedEventsStream(&text, 1, ZtDataFormatBinary));
        ASSERT_EQ(one.size(), 12 + 1 + 9 + 4 + 9 + 2 + length + 1 + 1) << length;
        EXPECT_EQ(std::string(one.begin() + 37, one.end() - 2), big);
        EXPECT_EQ(one.back(), 6);
        Bytes b = Take(Serializer::CreateGetLoggedEventsStream(&many, 1, ZtDataFormatBinary));
        ASSERT_EQ(b.size(), 12 + 1 + 9 + 4 + 9 + 1 + 6 * (length / 8) + 1 + 1) << length;
        uint32_t payload, last;
        std::memcpy(&payload, b.data() + 8, 4);
        EXPECT_EQ(payload, b.size() - 12);
        std::memcpy(&last, b.data() + b.size() - 6, 4);
        EXPECT_EQ(last, length / 8 - 1);
        Bytes j = Take(Serializer::CreateGetLoggedEventsStream(&text, 1, ZtDataFormatJson));
        EXPECT_EQ(JsonPayload(j), "{\"handle\":1,\"settings\":\"" + big + "\"}" + std::string(1, '\0'));
    }
}

// --- send-message records ---------------------------------------------------

template <class I>
class DispatchFake : public I {
public:
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, ZtAtlCom::LCID, ZtAtlCom::ITypeInfo**) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, ZtAtlCom::LPOLESTR*, UINT, ZtAtlCom::LCID, ZtAtlCom::DISPID*) override {
        return ZtAtlCom::E_NOTIMPL;
    }
    HRESULT Invoke(ZtAtlCom::DISPID, REFIID, ZtAtlCom::LCID, ZtAtlCom::WORD, ZtAtlCom::DISPPARAMS*,
                   ZtAtlCom::tagVARIANT*, ZtAtlCom::EXCEPINFO*, UINT*) override {
        return ZtAtlCom::E_NOTIMPL;
    }
    int refs = 1;
};

// One source item or argument: its type code and bytes. failData: the data
// call fails; grow: the item grows by that much between size query and data.
struct FakeItem {
    uint32_t type;
    Bytes bytes;
    bool failData = false;
    size_t grow = 0;
};

class FakeSourceInfo : public DispatchFake<IZtSourceInfo>, public IZtSourceInfoDataProvider {
public:
    explicit FakeSourceInfo(std::vector<FakeItem> items, bool provides = true)
        : items_(std::move(items)), provides_(provides) {}
    HRESULT QueryInterface(REFIID iid, void** p) override {
        *p = nullptr;
        if (!(iid == IID_IZtSourceInfoDataProvider) || !provides_) return ZtAtlCom::E_NOINTERFACE;
        *p = static_cast<IZtSourceInfoDataProvider*>(this);
        AddRef();
        return 0;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT get_Count(int* n) override {
        *n = static_cast<int>(items_.size());
        return 0;
    }
    HRESULT GetData(unsigned int i, tagZtSourceInfoTypeEnum* type, void* dest, unsigned int* size) override {
        if (size == nullptr) return ZtAtlCom::E_POINTER;
        if (i >= items_.size()) return ZtAtlCom::DISP_E_BADINDEX;
        const FakeItem& it = items_[i];
        if (dest == nullptr) {
            *size = static_cast<unsigned int>(it.bytes.size());
            return 0;
        }
        if (it.failData) return ZtAtlCom::E_FAIL;
        Bytes now = it.bytes;
        now.resize(now.size() + it.grow, 'g');
        if (*size < now.size()) return ZtAtlCom::MakeHResult(0x98110705u);
        if (type) *type = static_cast<tagZtSourceInfoTypeEnum>(it.type);
        std::memcpy(dest, now.data(), now.size());
        *size = static_cast<unsigned int>(now.size());
        return 0;
    }
    HRESULT IsSourceInfoTypeSupported(tagZtSourceInfoTypeEnum, ZtAtlCom::VARIANT_BOOL*) override {
        return ZtAtlCom::E_NOTIMPL;
    }
    HRESULT Clear() override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT get_Id(unsigned int*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT put_Id(unsigned int) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT get_Guid(GUID*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT put_Guid(GUID) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT get_Name(ZtAtlCom::BSTR*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT put_Name(ZtAtlCom::BSTR) override { return ZtAtlCom::E_NOTIMPL; }

private:
    std::vector<FakeItem> items_;
    bool provides_;
};

class FakeEntry : public DispatchFake<IZtArgumentEntry> {
public:
    explicit FakeEntry(FakeItem item) : item_(std::move(item)) {}
    HRESULT QueryInterface(REFIID, void** p) override {
        *p = nullptr;
        return ZtAtlCom::E_NOINTERFACE;
    }
    HRESULT GetData(tagZtEventArgumentTypeEnum* type, void* dest, unsigned int* size) override {
        *size = static_cast<unsigned int>(item_.bytes.size());
        if (type) *type = static_cast<tagZtEventArgumentTypeEnum>(item_.type);
        if (dest == nullptr) return 0;
        if (item_.failData) return ZtAtlCom::E_FAIL;
        if (!item_.bytes.empty()) std::memcpy(dest, item_.bytes.data(), item_.bytes.size());
        return 0;
    }
    HRESULT Set(ZtAtlCom::VARIANT) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT Get(ZtAtlCom::VARIANT*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetBoolean(ZtAtlCom::VARIANT_BOOL*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetInt8(signed char*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetInt16(short*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetInt32(int*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetInt64(long*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetUInt8(unsigned char*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetUInt16(unsigned short*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetUInt32(unsigned int*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetUInt64(unsigned long*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetFloat(float*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetDouble(double*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetString(ZtAtlCom::BSTR*) override { return ZtAtlCom::E_NOTIMPL; }

private:
    FakeItem item_;
};

// Entries given as null cannot be obtained (get_Item fails).
class FakeArguments : public DispatchFake<IZtArguments> {
public:
    explicit FakeArguments(std::vector<FakeEntry*> entries) : entries_(std::move(entries)) {}
    HRESULT QueryInterface(REFIID, void** p) override {
        *p = nullptr;
        return ZtAtlCom::E_NOINTERFACE;
    }
    HRESULT get_Count(int* n) override {
        *n = static_cast<int>(entries_.size());
        return 0;
    }
    HRESULT get_Item(int i, IZtArgumentEntry** out) override {
        if (entries_[i] == nullptr) return ZtAtlCom::E_FAIL;
        entries_[i]->AddRef();
        *out = entries_[i];
        return 0;
    }
    HRESULT get__NewEnum(ZtAtlCom::IUnknown**) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT get_Size(int*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT Add(ZtAtlCom::VARIANT) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT AddV(ZtAtlCom::SAFEARRAY*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT Set(int, ZtAtlCom::VARIANT) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT Remove(int) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT Clear() override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT get_TimeRaised(ZtAtlCom::DATE*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT put_TimeRaised(ZtAtlCom::DATE) override { return ZtAtlCom::E_NOTIMPL; }

private:
    std::vector<FakeEntry*> entries_;
};

const GUID kClass{0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01}};

// The expected stream: header (800, E), the record as the test support lays
// it out, 4 zero bytes.
Bytes Expected(ZtTest::RecordLayout layout) {
    std::memcpy(layout.eventClass, &kClass, 16);
    layout.eventId = 77;
    layout.severity = 3;
    layout.isRaised = 0;
    layout.eventType = 0;
    layout.confirmation = 0;
    Bytes record = ZtTest::BuildRecord(layout);
    Bytes b = Hex("01 00 00 00 20 03 00 00");
    uint32_t e = static_cast<uint32_t>(record.size());
    b.insert(b.end(), reinterpret_cast<uint8_t*>(&e), reinterpret_cast<uint8_t*>(&e) + 4);
    b.insert(b.end(), record.begin(), record.end());
    b.insert(b.end(), 4, 0);
    return b;
}

TEST(SendMessageStream, RecordsByteForByte) {
    const Bytes id = {7, 0, 0, 0}, name = {'P', 'r', 'e', 's', 's', 0};
    Bytes guid(16);
    std::memcpy(guid.data(), &kClass, 16);
    FakeEntry flag({1, {1}}), number({4, {7, 0, 0, 0}}), text({21, {'a', 'b', 0}}), empty({21, {}});
    FakeEntry broken({4, {1, 2, 3, 4}, true});
    FakeSourceInfo full({{1, id}, {2, guid}, {4, name}});
    FakeSourceInfo failing({{1, id, true}, {4, name, false, 40}});
    FakeSourceInfo unprovided({{1, id}}, false);
    FakeArguments args({&flag, &number, &text, &empty});
    FakeArguments brokenArgs({&flag, nullptr, &broken, &text});
    const char* json = "{\"a\":1}";

    using Source = ZtTest::RecordLayout::Source;
    ZtTest::RecordLayout none, all, faulty;
    all.sources = {Source{1, id}, Source{2, guid}, Source{4, name}};
    all.json = json;
    all.types = {1, 4, 21, 21};
    all.data = {1, 7, 0, 0, 0, 'a', 'b', 0};
    faulty.sources = {Source{0, {}}, Source{0, {}}};  // the second grew after its size was taken
    faulty.types = {1, 0, 0, 21};
    faulty.data = {1, 'a', 'b', 0};
    struct Case {
        const char* what;
        IZtSourceInfo* source;
        IZtArguments* arguments;
        const char* json;
        uint32_t jsonLength;
        Bytes expected;
    } cases[] = {
        {"empty", nullptr, nullptr, nullptr, 0, Expected(none)},
        {"empty JSON text", nullptr, nullptr, "", 0, Expected(none)},
        {"source info without provider", &unprovided, nullptr, nullptr, 0, Expected(none)},
        {"full", &full, &args, json, 7, Expected(all)},
        {"items and entries that cannot be read", &failing, &brokenArgs, nullptr, 0, Expected(faulty)},
    };
    for (const auto& c : cases) {
        Bytes b = Take(Serializer::CreateSendMessageStream(kClass, 77, SeverityError, c.json, c.jsonLength, c.source,
                                                           c.arguments));
        EXPECT_EQ(b, c.expected) << c.what;
    }
    EXPECT_EQ(Expected(none).size(), 136u);
    // Every reference taken was given back.
    for (auto* f : {&flag, &number, &text, &empty, &broken}) EXPECT_EQ(f->refs, 1);
    for (auto* s : {&full, &failing, &unprovided}) EXPECT_EQ(s->refs, 1);
}

}  // namespace
