// Texts and resources of the service proxy against the simulated event
// logger service: the query frames byte for byte, text and list replies
// well-formed and hostile, the growth of list replies, resource files.
#include <gtest/gtest.h>

#include "RecordBytes.h"
#include "RequestFixture.h"
#include "ServiceReplies.h"
#include "ZtEventLoggerUmProxy.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::MakeHResult;
using ZtSim::Reply;
using ZtSim::RequestKind;
using ZtTest::Bytes;
using ZtTest::Hex;
using ZtTest::Text;

const std::string kClassHex = "40 2A 1E 6F 3B 0C 59 4C 9A 62 1D 7E 8B 3C 5A 01 ";

GUID Class() {
    GUID g;
    const Bytes b = Hex(kClassHex);
    std::memcpy(&g, b.data(), 16);
    return g;
}

// Answers each query with a reply of its own kind: a text for 100 and 102,
// an empty list for the lists; resource requests with nothing.
Reply ByKind(const ZtSim::Request& r, int) {
    const uint16_t type = r.data.size() >= 6 ? static_cast<uint16_t>(r.data[4] | r.data[5] << 8) : 0;
    if (r.indexGroup == 800) return Reply::Ok();
    if (type == 100 || type == 102) return Reply::Data(ZtTest::TextReply(type, 7, 16, 3, Text(std::string("ok\0", 3))));
    return Reply::Data(ZtTest::ListReply(type, 7, 0, 16, {}));
}

class TextRequests : public ZtTest::RequestFixture {};

TEST_F(TextRequests, EveryQueryByteForByte) {
    for (auto [group, offset] : {std::pair{500u, 0u}, {800u, 100u}, {800u, 200u}, {800u, 300u}, {801u, 9u}})
        Script(group, offset, ByKind);
    ZtTest::RecordLayout layout;
    std::memcpy(layout.eventClass, Hex(kClassHex).data(), 16);
    layout.eventId = 0x0A0B0C0D;
    layout.qualifier = 3;
    layout.types = {4, 21};
    layout.data = {7, 0, 0, 0, 'a', 'b', 0};
    Bytes record = ZtTest::BuildRecord(layout);
    auto* entity = reinterpret_cast<ZtEventEntity*>(record.data());
    const ZtEventKey key{Class(), 0x0A0B0C0D, 3};
    const ZtEventLoggerCommon::ZtEventArguments none{};
    const int64_t lang = 0x100000407;  // only the low 32 bits go
    std::vector<CauseRemedy> causes;
    std::vector<Detail> details;
    char* text = nullptr;
    const std::string query = "00 00 00 00 07 04 00 00 " + kClassHex;
    struct Case {
        const char* what;
        std::function<HRESULT()> call;
        uint32_t group, offset, readLength;
        Bytes bytes;
    } cases[] = {
        {"message text, no arguments", [&] { return proxy->GetMessageString(key, none, nullptr, lang, &text); }, 500, 0,
         2064,
         Hex("01 00 00 00 64 00 00 00 34 00 00 00 " + query +
             "0D 0C 0B 0A 03 00 00 00 00 00 00 00 34 00 00 00 00 00 00 00 34 00 00 00 00 00 00 00 00 00 00 00")},
        {"message text of a record", [&] { return proxy->GetMessageString(entity, lang, &text); }, 500, 0, 2064,
         Hex("01 00 00 00 64 00 00 00 3F 00 00 00 " + query +
             "0D 0C 0B 0A 03 00 00 00 02 00 00 00 34 00 00 00 04 00 00 00 38 00 00 00 07 00 00 00 "
             "04 00 15 00 07 00 00 00 61 62 00 00 00 00 00")},
        {"class name", [&] { return proxy->GetEventClassName(Class(), lang, &text); }, 500, 0, 2064,
         Hex("01 00 00 00 66 00 00 00 18 00 00 00 " + query + "00 00 00 00")},
        {"cause/remedy", [&] { return proxy->GetCauseRemedy(Class(), 0x0A0B0C0D, lang, causes); }, 500, 0, 2064,
         Hex("01 00 00 00 68 00 00 00 1C 00 00 00 " + query + "0D 0C 0B 0A 00 00 00 00")},
        {"class details", [&] { return proxy->GetEventClassDetails(Class(), lang, details); }, 500, 0, 2064,
         Hex("01 00 00 00 6A 00 00 00 18 00 00 00 " + query + "00 00 00 00")},
        {"event details", [&] { return proxy->GetEventDetails(Class(), 0x0A0B0C0D, lang, details); }, 500, 0, 2064,
         Hex("01 00 00 00 6C 00 00 00 1C 00 00 00 " + query + "0D 0C 0B 0A 00 00 00 00")},
        {"clear the resource cache", [&] { return proxy->ClearResourceCache(); }, 800, 100, 2048, {}},
        {"load a file", [&] { return proxy->LoadResourceFile("a"); }, 800, 200, 2048, Hex("61 00")},
        {"unload a file", [&] { return proxy->UnloadResourceFile("de/texts.xml"); }, 800, 300, 2048,
         Text(std::string("de/texts.xml\0", 13))},
        {"any read-write", [&] { return proxy->VdlSyncReadWrite(801, 9, 3, "xyz"); }, 801, 9, 2048, Text("xyz")},
    };
    for (const auto& c : cases) {
        Forget();
        EXPECT_EQ(c.call(), 0) << c.what;
        auto seen = Seen();
        ASSERT_EQ(seen.size(), 1u) << c.what;
        EXPECT_EQ(seen[0].kind, RequestKind::ReadWrite) << c.what;
        EXPECT_EQ(seen[0].indexGroup, c.group) << c.what;
        EXPECT_EQ(seen[0].indexOffset, c.offset) << c.what;
        EXPECT_EQ(seen[0].readLength, c.readLength) << c.what;
        EXPECT_EQ(seen[0].data, c.bytes) << c.what;
        ZtAtlCom::SysFreeString(text);
        text = nullptr;
    }
    Forget();
    EXPECT_EQ(proxy->LoadResourceFile(""), ZtAtlCom::E_INVALIDARG);
    EXPECT_EQ(proxy->UnloadResourceFile(""), ZtAtlCom::E_INVALIDARG);
    EXPECT_TRUE(Seen().empty());
}

TEST_F(TextRequests, TextRepliesGiveATextOrLeaveTheOutputAlone) {
    char* const kUntouched = reinterpret_cast<char*>(0x1);
    struct Case {
        const char* what;
        Reply reply;
        HRESULT hr;
        const char* text;  // null: the empty text (a null BSTR)
    } cases[] = {
        {"found", Reply::Data(ZtTest::TextReply(100, 7, 16, 17, Text(std::string("Motor overheated\0", 17)))), 0,
         "Motor overheated"},
        {"a length of 1 is the empty text", Reply::Data(ZtTest::TextReply(100, 7, 16, 1, {0})), 0, nullptr},
        {"text beyond the reply", Reply::Data(ZtTest::TextReply(100, 7, 16, 40, Text("Motor"))), ZT_E_BAD_REPLY,
         kUntouched},
        {"service error", Reply::Error(1804), MakeHResult(0x9811070Cu), kUntouched},
        {"too small three times", Reply::SizeHint(9000), MakeHResult(0x98110705u), kUntouched},
    };
    for (const auto& c : cases) {
        Answers(500, 0, c.reply);
        char* text = kUntouched;
        EXPECT_EQ(proxy->GetEventClassName(Class(), 7, &text), c.hr) << c.what;
        if (c.text == nullptr || c.text == kUntouched) {
            EXPECT_EQ(text, c.text) << c.what;
        } else {
            EXPECT_STREQ(text, c.text) << c.what;
        }
        if (text != kUntouched) ZtAtlCom::SysFreeString(text);
    }
    EXPECT_EQ(proxy->GetEventClassName(Class(), 7, nullptr), ZtAtlCom::E_POINTER);
}

TEST_F(TextRequests, ListRepliesAppendWholeOrNothing) {
    const Bytes six = Text(std::string("n1\0t1\0c1\0n2\0t2\0c2\0", 18));
    struct Case {
        const char* what;
        std::function<Reply(int)> reply;
        HRESULT hr;
        size_t added;
        int requests;
    } cases[] = {
        {"two entries", [&](int) { return Reply::Data(ZtTest::ListReply(106, 7, 2, 16, six)); }, 0, 2, 1},
        {"none", [&](int) { return Reply::Data(ZtTest::ListReply(106, 7, 0, 16, {})); }, 0, 0, 1},
        {"texts run out", [&](int) { return Reply::Data(ZtTest::ListReply(106, 7, 3, 16, six)); }, ZtAtlCom::E_FAIL, 0,
         1},
        {"service error", [&](int) { return Reply::Error(1804); }, ZtAtlCom::E_FAIL, 0, 1},
        {"grown five times, uncounted",
         [&](int n) {
             return n < 5 ? Reply::SizeHint(3000 + 1000 * n) : Reply::Data(ZtTest::ListReply(106, 7, 2, 16, six));
         },
         0, 2, 6},
        {"growth without end is cut off", [&](int n) { return Reply::SizeHint(3000 + 1000 * n); }, ZtAtlCom::E_FAIL, 0,
         17},
    };
    for (const auto& c : cases) {
        Forget();
        Script(500, 0, [&](const ZtSim::Request&, int n) { return c.reply(n); });
        std::vector<Detail> details{{"kept", "", ""}};
        EXPECT_EQ(proxy->GetEventClassDetails(Class(), 7, details), c.hr) << c.what;
        ASSERT_EQ(details.size(), 1 + c.added) << c.what;
        EXPECT_EQ(details[0].name, "kept");
        if (c.added == 2) {
            EXPECT_EQ(details[1].name + details[1].text + details[1].comment, "n1t1c1") << c.what;
            EXPECT_EQ(details[2].name + details[2].text + details[2].comment, "n2t2c2") << c.what;
        }
        EXPECT_EQ(Seen().size(), static_cast<size_t>(c.requests)) << c.what;
    }
    // Cause/remedy fill their own fields in order; an empty payload fails.
    std::vector<CauseRemedy> causes;
    Answers(500, 0, Reply::Data(ZtTest::ListReply(104, 7, 1, 16, Text(std::string("E1\0hot\0cool it\0", 15)))));
    ASSERT_EQ(proxy->GetCauseRemedy(Class(), 1, 7, causes), 0);
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].id + "|" + causes[0].cause + "|" + causes[0].remedy, "E1|hot|cool it");
    Answers(500, 0, Reply::Data(ZtTest::ListReply(104, 7, 0, 16, {}, 0)));
    EXPECT_EQ(proxy->GetCauseRemedy(Class(), 1, 7, causes), ZtAtlCom::E_FAIL);
}

}  // namespace
