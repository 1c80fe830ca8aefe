// Replies of an untrusted event logger service through the parser the build
// selects (ZT_REPLY_PARSER: 1 active events, 2 records of a stream reply,
// 3 service result, 4 text, 5 list). Everything a parser hands out is read
// whole, so that a check that lets a bad reply through shows up as an
// out-of-bounds read.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "RecordWalk.h"
#include "ServiceReplies.h"
#include "ZtServiceInterfaces.h"

namespace {

using namespace ZtEventLoggerVdlProxy;

volatile uint8_t g_sink;

void Touch(std::string_view text) {
    uint8_t x = 0;
    for (char c : text) x ^= static_cast<uint8_t>(c);
    g_sink = x;
}

void Parse(const uint8_t* bytes, size_t size) {
    std::vector<ZtEventEntity*> records;
    std::vector<std::string_view> texts;
    std::string_view text;
    uint32_t result = 0;
#if ZT_REPLY_PARSER == 1
    (void)ParseActiveEventsReply(bytes, size, records);
#elif ZT_REPLY_PARSER == 2
    (void)ParseStreamRecords(bytes, size, records);
#elif ZT_REPLY_PARSER == 3
    if (ParseStreamResult(bytes, size, &result) == 0)
        g_sink = static_cast<uint8_t>(ServiceResultToHResult(result));
#elif ZT_REPLY_PARSER == 4
    (void)ParseTextReply(bytes, size, &text);
#elif ZT_REPLY_PARSER == 5
    (void)ParseListReply(bytes, size, texts);
#else
#error "ZT_REPLY_PARSER selects the parser"
#endif
    (void)result;
    Touch(text);
    for (std::string_view t : texts) Touch(t);
    for (ZtEventEntity* r : records) WalkRecord(r);
    FreeEventRecords(records);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size heap copy, so that any read past the end is caught.
    auto* copy = static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (size != 0) std::memcpy(copy, data, size);
    Parse(copy, size);
    std::free(copy);
    return 0;
}
