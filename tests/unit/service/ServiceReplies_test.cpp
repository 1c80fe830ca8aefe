// Replies of the service, well-formed and hostile: every count, offset, size
// and text must fit the bytes received, and a refused reply yields nothing.
#include "ServiceReplies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RecordBytes.h"
#include "ReplyBytes.h"
#include "ZtServiceInterfaces.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using Bytes = std::vector<uint8_t>;
using ZtAtlCom::MakeHResult;
constexpr HRESULT kOk = 0, kBad = ZT_E_BAD_REPLY;

using ZtTest::ActiveReply;
using ZtTest::Cat;
using ZtTest::ListReply;
using ZtTest::StreamReply;
using ZtTest::Text;
using ZtTest::TextReply;

enum class Parser { Active, Records, Text, List };

struct Case {
    const char* what;
    Parser parser;
    Bytes reply;
    HRESULT hr;
    size_t items;  // records or texts
};

TEST(ServiceReplies, EveryParserChecksEveryFieldAgainstTheBytes) {
    ZtTest::RecordLayout layout;
    layout.json = "{}";
    layout.types = {4};
    layout.data = {1, 2, 3, 4};
    const Bytes rec = ZtTest::BuildRecord(layout), two = Cat(rec, rec);
    const uint32_t n = static_cast<uint32_t>(rec.size());
    Bytes badJson = rec;
    badJson[92] = 0xFF;  // JSON size beyond the record
    const Bytes cut(rec.begin(), rec.end() - 1);
    const Bytes texts = Text(std::string("id\0cause\0remedy\0n\0t\0c\0", 22));
    const Case cases[] = {
        {"active: two records", Parser::Active, ActiveReply(2, 2 * n, two), kOk, 2},
        {"active: none", Parser::Active, ActiveReply(0, 0, {}), kOk, 0},
        {"active: count beyond the records", Parser::Active, ActiveReply(3, 2 * n, two), kBad, 0},
        {"active: a record outside the length", Parser::Active, ActiveReply(2, n, two), kBad, 0},
        {"active: length beyond the bytes", Parser::Active, ActiveReply(1, n + 1, rec), kBad, 0},
        {"active: record cut", Parser::Active, ActiveReply(1, n - 1, cut), kBad, 0},
        {"active: head cut", Parser::Active, {1, 0, 0, 0, 1, 0, 0, 0}, kBad, 0},
        {"records: two at offset 12", Parser::Records, StreamReply(200, 0, 2, 12, two), kOk, 2},
        {"records: a gap before the block", Parser::Records, StreamReply(214, 5, 1, 16, Cat({9, 9, 9, 9}, rec)), kOk,
         1},
        {"records: count 0, offset ignored", Parser::Records, StreamReply(200, 0, 0, 0xFFFFFFFF, {}), kOk, 0},
        {"records: count beyond", Parser::Records, StreamReply(200, 0, 3, 12, two), kBad, 0},
        {"records: count huge", Parser::Records, StreamReply(200, 0, 0xFFFFFFFF, 12, two), kBad, 0},
        {"records: offset into the head", Parser::Records, StreamReply(200, 0, 1, 4, rec), kBad, 0},
        {"records: offset beyond the payload", Parser::Records, StreamReply(200, 0, 1, 0x7FFFFFF0, rec), kBad, 0},
        {"records: payload beyond the bytes", Parser::Records, StreamReply(200, 0, 1, 12, rec, 12 + n + 1), kBad, 0},
        {"records: payload ends inside a record", Parser::Records, StreamReply(200, 0, 2, 12, two, 12 + 2 * n - 1),
         kBad, 0},
        {"records: payload shorter than the head", Parser::Records, StreamReply(200, 0, 0, 12, {}, 8), kBad, 0},
        {"records: a record's own blocks outside it", Parser::Records, StreamReply(200, 0, 2, 12, Cat(rec, badJson)),
         kBad, 0},
        {"records: head cut", Parser::Records, Bytes(20, 0), kBad, 0},
        {"text: found", Parser::Text, TextReply(100, 7, 16, 6, Text(std::string("Motor\0", 6))), kOk, 5},
        {"text: length 1 is empty", Parser::Text, TextReply(100, 7, 16, 1, {0}), kOk, 0},
        {"text: length 0 is empty", Parser::Text, TextReply(102, 7, 0xFFFF, 0, {}), kOk, 0},
        {"text: no NUL at its end", Parser::Text, TextReply(100, 7, 16, 5, Text("Motor")), kBad, 0},
        {"text: beyond the payload", Parser::Text, TextReply(100, 7, 16, 7, Text(std::string("Motor\0", 6))), kBad, 0},
        {"text: offset into the head", Parser::Text, TextReply(100, 7, 8, 2, Text(std::string("M\0", 2))), kBad, 0},
        {"text: offset beyond", Parser::Text, TextReply(100, 7, 0xFFFFFFF0, 0x20, {}), kBad, 0},
        {"text: payload beyond the bytes", Parser::Text, TextReply(100, 7, 16, 2, Text(std::string("M\0", 2)), 100),
         kBad, 0},
        {"text: head cut", Parser::Text, Bytes(27, 0), kBad, 0},
        {"list: two entries", Parser::List, ListReply(104, 7, 2, 16, texts), kOk, 6},
        {"list: none", Parser::List, ListReply(106, 7, 0, 0xFFFFFFFF, {}), kOk, 0},
        {"list: a text without its NUL", Parser::List, ListReply(104, 7, 2, 16, Bytes(texts.begin(), texts.end() - 1)),
         kBad, 0},
        {"list: count huge", Parser::List, ListReply(104, 7, 0x55555556, 16, texts), kBad, 0},
        {"list: offset beyond", Parser::List, ListReply(108, 7, 1, 0x1000, texts), kBad, 0},
        {"list: empty payload", Parser::List, ListReply(104, 7, 0, 16, {}, 0), kBad, 0},
    };
    for (const auto& c : cases) {
        // An exact-size copy, so that any read past the reply is caught.
        std::unique_ptr<uint8_t[]> copy(new uint8_t[c.reply.size() + 1]);
        std::memcpy(copy.get(), c.reply.data(), c.reply.size());
        ZtEventEntity* kept = reinterpret_cast<ZtEventEntity*>(new unsigned char[120]());
        std::vector<ZtEventEntity*> records{kept};
        std::vector<std::string_view> views{"kept"};
        std::string_view text = "untouched";
        HRESULT hr = 0;
        size_t items = 0;
        switch (c.parser) {
            case Parser::Active: hr = ParseActiveEventsReply(copy.get(), c.reply.size(), records); break;
            case Parser::Records: hr = ParseStreamRecords(copy.get(), c.reply.size(), records); break;
            case Parser::Text: hr = ParseTextReply(copy.get(), c.reply.size(), &text); break;
            case Parser::List: hr = ParseListReply(copy.get(), c.reply.size(), views); break;
        }
        if (c.parser == Parser::Text) {
            if (hr != kOk) {
                EXPECT_EQ(text, "untouched") << c.what;
            }
            items = hr == kOk ? text.size() : 0;
        } else {
            items = c.parser == Parser::List ? views.size() - 1 : records.size() - 1;
        }
        EXPECT_EQ(hr, c.hr) << c.what;
        EXPECT_EQ(items, c.items) << c.what;
        EXPECT_EQ(records[0], kept) << c.what;
        for (size_t i = 1; i < records.size(); ++i)
            EXPECT_EQ(Bytes(reinterpret_cast<uint8_t*>(records[i]), reinterpret_cast<uint8_t*>(records[i]) + n), rec)
                << c.what;
        if (c.parser == Parser::List && hr == kOk && items == 6) {
            EXPECT_EQ(std::vector<std::string_view>(views.begin() + 1, views.end()),
                      (std::vector<std::string_view>{"id", "cause", "remedy", "n", "t", "c"}));
        }
        FreeEventRecords(records);
    }
}

TEST(ServiceReplies, ServiceResults) {
    struct Case {
        const char* what;
        Bytes reply;
        HRESULT hr;  // parsed and mapped
    } cases[] = {
        {"success", StreamReply(216, 1, 0, 12, {}), 0},
        {"refused", StreamReply(216, 1, 1804, 12, Text(std::string("no such alarm\0", 14))), MakeHResult(0x9811070Cu)},
        {"a result that would map to success", StreamReply(216, 1, 0x80000005u, 12, {}), kBad},
        {"payload beyond the bytes", StreamReply(216, 1, 0, 12, {}, 13), kBad},
        {"head cut", Bytes(23, 0), kBad},
    };
    for (const auto& c : cases) {
        uint32_t result = 0;
        HRESULT hr = ParseStreamResult(c.reply.data(), c.reply.size(), &result);
        EXPECT_EQ(ZtAtlCom::Failed(hr) ? hr : ServiceResultToHResult(result), c.hr) << c.what;
    }
}

}  // namespace
