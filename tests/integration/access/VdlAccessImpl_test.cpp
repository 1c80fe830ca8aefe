#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "AccessFixture.h"
#include "AdapterTestUtil.h"
#include "ZtSim/Target.h"

namespace {

using namespace ZtEventLoggerVdlApi;
using Bytes = std::vector<uint8_t>;

class SymbolAccess : public ZtTest::AccessFixture {
protected:
    void Add(const std::string& name, uint32_t type, uint32_t size, Bytes value = {}) {
        ZtSim::SymbolDefinition s;
        s.name = name;
        s.type = type;
        s.typeName = "T" + std::to_string(type);
        s.size = size;
        s.value = std::move(value);
        symbols->AddSymbol(s);
    }
};

template <class T>
Bytes Raw(T v) {
    Bytes b(sizeof(T));
    std::memcpy(b.data(), &v, sizeof(T));
    return b;
}

TEST_F(SymbolAccess, ReadsEveryDataType) {
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"MAIN.nInt", "-1234"},
        {"MAIN.nDint", "123456789"},
        {"MAIN.fReal", "3.500000"},
        {"MAIN.fLreal", "-2.250000"},
        {"MAIN.nSint", "-1"},  // 0xFF as a signed 8-bit value
        {"MAIN.nUsint", "255"},
        {"MAIN.nUint", "65535"},
        {"MAIN.nUdint", "4294967295"},
        {"MAIN.nLint", "-9223372036854775808"},
        {"MAIN.nUlint", "18446744073709551615"},
        {"MAIN.sText", std::string("hello\0\0\0\0\0\0", 11)},  // all the symbol's bytes
        {"MAIN.wsText", "gr\xC3\xBC\xC3\x9F" "e"},
        {"MAIN.bFlag", "1"},
        {"main.stdata", "0x0aff00"},  // names match regardless of case
    };
    for (const auto& c : cases) {
        auto [text, rc] = access->Read(c.name);
        EXPECT_EQ(rc, 0) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
        EXPECT_EQ(symbols->LiveHandles(), 0u) << c.name;
    }
    // 0xFF is -1 for a bit too (it reads as signed 8-bit).
    ASSERT_TRUE(symbols->SetValue("MAIN.bFlag", {0xFF}));
    EXPECT_EQ(access->Read("MAIN.bFlag").first, "-1");
}

TEST_F(SymbolAccess, WritesEveryDataTypeByteForByte) {
    struct Case {
        const char* name;
        const char* text;
        Bytes stored;      // the symbol's first bytes afterwards
        std::string read;  // what reading it back gives
    } cases[] = {
        {"MAIN.nInt", "-32768", {0x00, 0x80}, "-32768"},
        {"MAIN.nInt", " 32767 ", {0xFF, 0x7F}, "32767"},  // blanks around a number are fine
        {"MAIN.nDint", "-2147483648", {0x00, 0x00, 0x00, 0x80}, "-2147483648"},
        {"MAIN.fReal", "1.25", Raw(1.25f), "1.250000"},
        {"MAIN.fReal", "inf", Raw(std::numeric_limits<float>::infinity()), "inf"},
        {"MAIN.fLreal", "-0.5", Raw(-0.5), "-0.500000"},
        {"MAIN.nSint", "-128", {0x80}, "-128"},
        {"MAIN.nSint", "127", {0x7F}, "127"},
        {"MAIN.nUsint", "0", {0x00}, "0"},
        {"MAIN.nUsint", "255", {0xFF}, "255"},
        {"MAIN.nUint", "65535", {0xFF, 0xFF}, "65535"},
        {"MAIN.nUdint", "4294967295", {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
        {"MAIN.nLint", "-9223372036854775808", Raw(INT64_MIN), "-9223372036854775808"},
        {"MAIN.nUlint", "18446744073709551615", Raw(UINT64_MAX), "18446744073709551615"},
        {"MAIN.nUlint", "-0", Raw(uint64_t{0}), "0"},
        {"MAIN.bFlag", "-1", {0xFF}, "-1"},
        {"MAIN.sText", "0123456789", {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0},
         std::string("0123456789\0", 11)},
        {"MAIN.sText", "ab", {'a', 'b', 0, '3'}, std::string("ab\0" "3456789\0", 11)},  // only text and NUL written
        {"MAIN.wsText", "\xC3\xA4\xE2\x82\xAC\xF0\x9D\x84\x9E", {0xE4, 0, 0xAC, 0x20, 0x34, 0xD8, 0x1E, 0xDD, 0, 0},
         "\xC3\xA4\xE2\x82\xAC\xF0\x9D\x84\x9E"},
        {"MAIN.stData", "0x0AFF00", {0x0A, 0xFF, 0x00}, "0x0aff00"},
        {"MAIN.stData", "0X1b2C3d", {0x1B, 0x2C, 0x3D}, "0x1b2c3d"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(access->Write(c.name, c.text), 0) << c.name << " " << c.text;
        Bytes now = symbols->Value(c.name);
        now.resize(std::min(now.size(), c.stored.size()));
        EXPECT_EQ(now, c.stored) << c.name << " " << c.text;
        EXPECT_EQ(access->Read(c.name).first, c.read) << c.name << " " << c.text;
        EXPECT_EQ(symbols->LiveHandles(), 0u);
    }
}

TEST_F(SymbolAccess, RefusedWritesLeaveTheSymbolAsItWas) {
    Add("MAIN.wsShort", 31, 6);  // three units: two characters and the 0 unit
    struct Case {
        const char* name;
        std::string text;
        int code;
    } cases[] = {
        {"MAIN.nUsint", "256", 1803},
        {"MAIN.nUsint", "-1", 1803},
        {"MAIN.nSint", "-129", 1803},
        {"MAIN.nSint", "128", 1803},
        {"MAIN.bFlag", "128", 1803},
        {"MAIN.nInt", "32768", 1803},
        {"MAIN.nInt", "-32769", 1803},
        {"MAIN.nUint", "65536", 1803},
        {"MAIN.nUdint", "4294967296", 1803},
        {"MAIN.nDint", "2147483648", 1803},
        {"MAIN.nUlint", "-1", 1803},  // the parser would wrap it to the largest value
        {"MAIN.fReal", "nan", 1803},
        {"MAIN.fReal", "-NAN", 1803},
        {"MAIN.fLreal", "nan(123)", 1803},
        {"MAIN.sText", "0123456789X", 1797},  // 11 characters and the NUL in 11 bytes
        {"MAIN.wsShort", "abc", 1797},
        {"MAIN.wsText", "\xFF\xFE", 1797},  // not UTF-8
        {"MAIN.stData", "0x0aff", 1798},
        {"MAIN.stData", "0x0aff0g", 1798},
        {"MAIN.stData", "0aff00", 1798},
        {"MAIN.stData", "0x0aff0000", 1797},
        {"MAIN.tDuration", "100", 1793},  // a type without a text form
    };
    for (const auto& c : cases) {
        const Bytes before = symbols->Value(c.name);
        const size_t handlesBefore = symbols->HandleRequests();
        EXPECT_EQ(access->Write(c.name, c.text), c.code) << c.name << " " << c.text;
        EXPECT_EQ(symbols->Value(c.name), before) << c.name << " " << c.text;
        // Refused after the handle was obtained, and released all the same.
        EXPECT_EQ(symbols->HandleRequests(), handlesBefore + 1) << c.name;
        EXPECT_EQ(symbols->LiveHandles(), 0u) << c.name;
    }
    EXPECT_EQ(access->Write("MAIN.wsShort", "ab"), 0);
    EXPECT_EQ(access->Read("MAIN.wsShort").first, "ab");
}

TEST_F(SymbolAccess, ParserExceptionsPassWithTheHandleReleased) {
    struct Case {
        const char* name;
        const char* text;
        bool outOfRange;
    } cases[] = {
        {"MAIN.nInt", "abc", false},
        {"MAIN.nInt", "12abc", false},  // not a silent 12
        {"MAIN.nDint", "1.5", false},   // not a silent 1
        {"MAIN.nUdint", "", false},
        {"MAIN.fReal", "x1", false},
        {"MAIN.nLint", "9223372036854775808", true},
        {"MAIN.nUsint", "99999999999999999999", true},
        {"MAIN.fReal", "1e39", true},
        {"MAIN.fLreal", "1e400", true},
    };
    for (const auto& c : cases) {
        const Bytes before = symbols->Value(c.name);
        if (c.outOfRange)
            EXPECT_THROW(access->Write(c.name, c.text), std::out_of_range) << c.text;
        else
            EXPECT_THROW(access->Write(c.name, c.text), std::invalid_argument) << c.text;
        EXPECT_EQ(symbols->Value(c.name), before) << c.text;
        EXPECT_EQ(symbols->LiveHandles(), 0u) << c.text;
    }
}

TEST_F(SymbolAccess, UnsupportedTypeIsRefusedAfterTheHandleWasReleased) {
    Add("MAIN.tOther", 13, 4, {1, 2, 3, 4});
    for (const char* name : {"MAIN.tDuration", "MAIN.tOther"}) {
        const size_t before = symbols->HandleRequests();
        auto [text, rc] = access->Read(name);
        EXPECT_EQ(rc, 1793) << name;
        EXPECT_TRUE(text.empty());
        EXPECT_EQ(access->Write(name, "1"), 1793) << name;
        EXPECT_EQ(symbols->HandleRequests(), before + 2) << name;
        EXPECT_EQ(symbols->LiveHandles(), 0u) << name;
    }
}

TEST_F(SymbolAccess, UnknownNameMakesNoHandleRequest) {
    auto info = access->GetSymbolInfo("MAIN.nope");
    EXPECT_EQ(info.error, static_cast<int32_t>(ZtSim::kErrSymbolNotFound));
    EXPECT_TRUE(info.name.empty() && info.typeName.empty() && info.comment.empty());
    EXPECT_EQ(info.size + info.dataType + info.indexGroup + info.indexOffset, 0u);
    auto [text, rc] = access->Read("MAIN.nope");
    EXPECT_EQ(rc, static_cast<int>(ZtSim::kErrSymbolNotFound));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(access->Write("MAIN.nope", "1"), static_cast<int>(ZtSim::kErrSymbolNotFound));
    EXPECT_EQ(symbols->HandleRequests(), 0u);
}

TEST_F(SymbolAccess, SymbolInformation) {
    auto info = access->GetSymbolInfo("main.nint");
    EXPECT_EQ(info.error, 0);
    EXPECT_EQ(info.name, "MAIN.nInt");
    EXPECT_EQ(info.typeName, "INT");
    EXPECT_EQ(info.comment, "signed 16-bit");
    EXPECT_EQ(info.dataType, 2u);
    EXPECT_EQ(info.size, 2u);
    EXPECT_EQ(info.indexGroup, 0x4040u);
    EXPECT_EQ(info.indexOffset, symbols->Find("MAIN.nInt")->indexOffset);

    // A record longer than the 1024 bytes read is the router's 1797.
    ZtSim::SymbolDefinition big;
    big.name = "MAIN.big";
    big.type = 3;
    big.size = 4;
    big.comment.assign(1100, 'c');
    symbols->AddSymbol(big);
    EXPECT_EQ(access->GetSymbolInfo("MAIN.big").error, 1797);
}

TEST_F(SymbolAccess, SizeNotMatchingTheTypeIsRefusedNotOverrun) {
    // Numbers are moved through a variable of the type's width: another size
    // would read or write past it.
    Add("MAIN.nWide", 2, 8, {1, 2, 3, 4, 5, 6, 7, 8});
    Add("MAIN.nNarrow", 3, 2, {1, 2});
    Add("MAIN.fOdd", 5, 4, {0, 0, 0x80, 0x3F});
    Add("MAIN.bWide", 33, 2, {1, 0});
    for (const char* name : {"MAIN.nWide", "MAIN.nNarrow", "MAIN.fOdd", "MAIN.bWide"}) {
        const Bytes before = symbols->Value(name);
        auto [text, rc] = access->Read(name);
        EXPECT_EQ(rc, 1797) << name;
        EXPECT_TRUE(text.empty());
        EXPECT_EQ(access->Write(name, "1"), 1797) << name;
        EXPECT_EQ(symbols->Value(name), before) << name;
        EXPECT_EQ(symbols->LiveHandles(), 0u) << name;
    }
}

// A structure size the target reports decides an allocation only within the
// bound, for writing as for reading.
TEST_F(SymbolAccess, HugeStructureSizesAreRefused) {
    SymbolInfo info = access->GetSymbolInfo("MAIN.stData");
    ASSERT_EQ(info.error, 0);
    SymbolHandle handle(*access, "MAIN.stData");
    ASSERT_EQ(handle.Error(), 0);
    info.size = 0xFFFFFFF0u;  // as a lying information record gives it
    EXPECT_EQ(access->WriteStruct(handle, info, "0x00"), 1797);
    EXPECT_EQ(access->ReadStruct(handle, info).second, 1797);
    info.size = 64u * 1024u * 1024u + 1;
    EXPECT_EQ(access->WriteStruct(handle, info, "0x00"), 1797);
    EXPECT_EQ(symbols->Value("MAIN.stData"), (Bytes{0x0A, 0xFF, 0x00}));
}

TEST_F(SymbolAccess, SixteenBitStrings) {
    // A lone surrogate cannot become UTF-8.
    ASSERT_TRUE(symbols->SetValue("MAIN.wsText", {'a', 0, 0x00, 0xD8, 'b', 0}));
    auto [text, rc] = access->Read("MAIN.wsText");
    EXPECT_EQ(rc, 1798);
    EXPECT_TRUE(text.empty());
    // Without a 0 unit the text is the whole symbol; an odd last byte is no unit.
    Add("MAIN.wsOdd", 31, 5, {'x', 0, 'y', 0, 'z'});
    EXPECT_EQ(access->Read("MAIN.wsOdd"), (std::pair<std::string, int>{"xy", 0}));
    // A string symbol of size 0 holds not even the NUL.
    Add("MAIN.sEmpty", 30, 0);
    EXPECT_EQ(access->Read("MAIN.sEmpty"), (std::pair<std::string, int>{"", 0}));
    EXPECT_EQ(access->Write("MAIN.sEmpty", ""), 1797);
}

TEST_F(SymbolAccess, FailedValueRequestsGiveTheirCode) {
    sim->Faults().Add({ZtSim::FaultKind::Error, 1861, 0, 2, ZtSim::kDefaultSymbolPort, 0xF005});
    EXPECT_EQ(access->Read("MAIN.nDint"), (std::pair<std::string, int>{"", 1861}));
    EXPECT_EQ(access->Write("MAIN.nDint", "5"), 1861);
    EXPECT_EQ(access->Read("MAIN.nDint").first, "123456789");
    sim->Faults().Add({ZtSim::FaultKind::Error, 1864, 0, 1, ZtSim::kDefaultSymbolPort, 0xF003});
    EXPECT_EQ(access->Read("MAIN.nDint").second, 1864);
}

TEST_F(SymbolAccess, HandlesDirectly) {
    auto [handle, rc] = access->GetHandle("MAIN.nInt");
    ASSERT_EQ(rc, 0);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(symbols->LiveHandles(), 1u);
    EXPECT_EQ(access->ReleaseHandle(handle), 0);
    EXPECT_EQ(symbols->LiveHandles(), 0u);
    EXPECT_EQ(access->ReleaseHandle(handle), 1804);
    EXPECT_EQ(access->GetHandle("MAIN.nope"), (std::pair<uint32_t, int>{0, ZtSim::kErrSymbolNotFound}));
    {
        SymbolHandle h(*access, "MAIN.nDint");
        EXPECT_EQ(h.Error(), 0);
        EXPECT_EQ(symbols->LiveHandles(), 1u);
        auto info = access->GetSymbolInfo("MAIN.nDint");
        EXPECT_EQ(access->WriteNumeric<int32_t>(h, info, "77"), 0);
        EXPECT_EQ(access->ReadNumeric<int32_t>(h, info).first, "77");
    }
    EXPECT_EQ(symbols->LiveHandles(), 0u);
    SymbolHandle none(*access, "MAIN.nope");
    EXPECT_EQ(none.Handle(), 0u);
    EXPECT_EQ(none.Error(), static_cast<int32_t>(ZtSim::kErrSymbolNotFound));
}

TEST_F(SymbolAccess, NotificationsUseTheSymbolPortByDefault) {
    ZtTest::SampleListener listener;
    // The symbol service offers no notifications; the test service does.
    EXPECT_EQ(access->VdlSyncAddDeviceNotificationReq(1, 0, &listener, 7), 1793u);
    EXPECT_EQ(access->VdlSyncAddDeviceNotificationReq(ZtSim::kTestPort, 1, 0, &listener, 7), 0u);
    ASSERT_EQ(sim->Local().Publish(ZtSim::kTestPort, 1, 0, Bytes{1, 2}), 1u);
    EXPECT_TRUE(ZtTest::WaitFor([&] { return listener.Count() == 1; }));
    EXPECT_EQ(access->VdlSyncDelDeviceNotificationReq(ZtSim::kTestPort, &listener, 7), 0u);
    EXPECT_EQ(access->VdlSyncDelDeviceNotificationReq(&listener, 7), 1804u);
}

// A symbol service that answers information requests with given bytes.
class RecordService : public ZtSim::Service {
public:
    explicit RecordService(Bytes record) : record_(std::move(record)) {}
    ZtSim::Reply Handle(ZtSim::Target& t, const ZtSim::Request& r) override {
        if (r.indexGroup == ZtSim::kSymInfoByName) return ZtSim::Reply::Data(record_);
        if (r.indexGroup == ZtSim::kSymHandleByName) ++handleRequests;
        return Default(t, r);
    }
    Bytes record_;
    int handleRequests = 0;
};

TEST_F(SymbolAccess, MalformedInformationRecordsAreRefused) {
    ZtSim::SymbolDefinition s = *symbols->Find("MAIN.nInt");
    const Bytes good = ZtSim::SymbolService::InfoRecord(s);
    auto with = [&](size_t at, uint8_t v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    Bytes cut = good;
    cut.resize(good.size() - 3);
    for (const Bytes& bad : {Bytes(12, 0), cut, with(0, 20), with(1, 4), with(24, 0xF0), with(28, 0x40),
                             with(good.size() - 1, 'x')}) {
        auto service = std::make_shared<RecordService>(bad);
        sim->Local().AddService(ZtSim::kDefaultSymbolPort, service);
        auto info = access->GetSymbolInfo("MAIN.nInt");
        EXPECT_EQ(info.error, 1798);
        EXPECT_TRUE(info.name.empty());
        EXPECT_EQ(access->Read("MAIN.nInt").second, 1798);
        EXPECT_EQ(access->Write("MAIN.nInt", "1"), 1798);
        EXPECT_EQ(service->handleRequests, 0);
    }
}

}  // namespace
