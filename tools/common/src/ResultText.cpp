// ResultText.cpp - sentences of result codes, from the shared code table.
#include "ZtTool/ResultText.h"

#include <fmt/format.h>

#include "ZtEventLoggerVdlProxy/ZtResultCodes.h"

namespace ZtTool {

namespace {

bool InServiceRange(uint32_t bits) { return (bits & 0xFFFF0000u) == 0x98110000u; }

}  // namespace

std::string DescribeResult(int32_t hr) {
    const auto bits = static_cast<uint32_t>(hr);
    if (const ZtResultCode* c = ZtFindResultCode(hr)) return fmt::format("{} (0x{:08X} {})", c->sentence, bits, c->name);
    if (InServiceRange(bits))
        return fmt::format("the controller or the router reported Vdl error {} (0x{:08X})", bits & 0xFFFFu, bits);
    return fmt::format("error 0x{:08X}", bits);
}

std::string DescribeVdlError(uint32_t code) {
    if (const ZtResultCode* c = ZtFindVdlError(code))
        return fmt::format("{} (Vdl error {}, 0x{:08X} {})", c->sentence, code, c->value, c->name);
    return fmt::format("the controller or the router reported Vdl error {}", code);
}

std::string ResultName(int32_t hr) {
    if (const ZtResultCode* c = ZtFindResultCode(hr)) return c->name;
    return fmt::format("0x{:08X}", static_cast<uint32_t>(hr));
}

int32_t ConnectResultToHResult(int32_t result) {
    if (result > 0 && result <= 0xFFFF) return ZtVdlErrorToHResult(static_cast<uint32_t>(result));
    return result;
}

bool IsLinkLoss(int32_t hr) {
    switch (static_cast<uint32_t>(ConnectResultToHResult(hr))) {
    case 0x98110006u:  // service port gone: the runtime restarts
    case 0x98110007u:  // no route to the controller
    case 0x98110745u:  // time-out
    case 0x98110748u:  // no router
    case 0x98220002u:  // no event logger service to subscribe to
        return true;
    default:
        return false;
    }
}

}  // namespace ZtTool
