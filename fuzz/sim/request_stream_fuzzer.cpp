// Request streams from an untrusted client: the decoder must refuse every
// stream it cannot read, and what it accepts must compile as a filter or
// settings, or be refused, without reading past the bytes given.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ZtSim/EventFilter.h"
#include "ZtSim/RequestStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size heap copy, so that any read past the end is caught.
    auto* copy = static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (size != 0) std::memcpy(copy, data, size);
    ZtSim::RequestStream stream;
    if (ZtSim::DecodeRequestStream(std::span<const uint8_t>(copy, size), stream).empty()) {
        ZtSim::EventFilter filter;
        ZtSim::LogSettings settings;
        if (const auto* f = stream.body.Find("filter"); f && filter.Compile(*f).empty()) {
            ZtSim::EventDescription event;
            event.jsonAttribute = R"({"device":{"vendorId":2},"line":{"no":3}})";
            event.source.name = "Axis";
            ZtSim::EventState state;
            state.eventType = 1;
            (void)filter.Matches(event, state);
        }
        if (const auto* s = stream.body.Find("settings")) (void)settings.Parse(*s);
    }
    std::free(copy);
    return 0;
}
