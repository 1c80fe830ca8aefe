#include "ZtSim/EventRecord.h"

#include <cstdio>
#include <cstring>

#include "MrxWire.h"
#include "ZtSim/SimTypes.h"

namespace ZtSim {

namespace {

constexpr uint32_t kSourceInfoId = 1;
constexpr uint32_t kSourceInfoGuid = 2;
constexpr uint32_t kSourceInfoName = 4;
constexpr uint32_t kSourceDescriptorSize = 12;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[pos]; false when one is not a digit.
bool HexAt(std::string_view text, size_t pos, int digits, uint32_t& out) {
    out = 0;
    for (int i = 0; i < digits; ++i) {
        int d = HexDigit(text[pos + static_cast<size_t>(i)]);
        if (d < 0) return false;
        out = (out << 4) | static_cast<uint32_t>(d);
    }
    return true;
}

template <class T>
EventArgument Scalar(ArgType type, T v) {
    EventArgument a;
    a.type = static_cast<uint16_t>(type);
    a.bytes.resize(sizeof(T));
    // Values are stored in the machine's little-endian form.
    std::memcpy(a.bytes.data(), &v, sizeof(T));
    return a;
}

EventArgument Text(ArgType type, std::string_view text) {
    EventArgument a;
    a.type = static_cast<uint16_t>(type);
    if (!text.empty()) {
        a.bytes.assign(text.begin(), text.end());
        a.bytes.push_back(0);
    }
    return a;
}

}  // namespace

void EventGuid::Bytes(uint8_t out[16]) const {
    ZtMrxWire::Put32(out, data1);
    ZtMrxWire::Put16(out + 4, data2);
    ZtMrxWire::Put16(out + 6, data3);
    std::memcpy(out + 8, data4, 8);
}

EventGuid EventGuid::FromBytes(const uint8_t in[16]) {
    EventGuid g;
    g.data1 = ZtMrxWire::Get32(in);
    g.data2 = ZtMrxWire::Get16(in + 4);
    g.data3 = ZtMrxWire::Get16(in + 6);
    std::memcpy(g.data4, in + 8, 8);
    return g;
}

std::optional<EventGuid> ParseGuid(std::string_view text) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
        text[19] != '-' || text[24] != '-')
        return std::nullopt;
    EventGuid g;
    uint32_t v = 0;
    if (!HexAt(text, 1, 8, g.data1)) return std::nullopt;
    if (!HexAt(text, 10, 4, v)) return std::nullopt;
    g.data2 = static_cast<uint16_t>(v);
    if (!HexAt(text, 15, 4, v)) return std::nullopt;
    g.data3 = static_cast<uint16_t>(v);
    static constexpr size_t kData4At[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!HexAt(text, kData4At[i], 2, v)) return std::nullopt;
        g.data4[i] = static_cast<uint8_t>(v);
    }
    return g;
}

std::string GuidText(const EventGuid& g) {
    char buf[40];
    std::snprintf(buf, sizeof(buf), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
                  g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return buf;
}

EventArgument EventArgument::Boolean(bool v) { return Scalar<uint8_t>(ArgType::Boolean, v ? 1 : 0); }
EventArgument EventArgument::Int8(int8_t v) { return Scalar(ArgType::Int8, v); }
EventArgument EventArgument::Int16(int16_t v) { return Scalar(ArgType::Int16, v); }
EventArgument EventArgument::Int32(int32_t v) { return Scalar(ArgType::Int32, v); }
EventArgument EventArgument::Int64(int64_t v) { return Scalar(ArgType::Int64, v); }
EventArgument EventArgument::UInt8(uint8_t v) { return Scalar(ArgType::UInt8, v); }
EventArgument EventArgument::UInt16(uint16_t v) { return Scalar(ArgType::UInt16, v); }
EventArgument EventArgument::UInt32(uint32_t v) { return Scalar(ArgType::UInt32, v); }
EventArgument EventArgument::UInt64(uint64_t v) { return Scalar(ArgType::UInt64, v); }
EventArgument EventArgument::Float(float v) { return Scalar(ArgType::Float, v); }
EventArgument EventArgument::Double(double v) { return Scalar(ArgType::Double, v); }
EventArgument EventArgument::Char(char v) { return Scalar(ArgType::Char, v); }
EventArgument EventArgument::WChar(char16_t v) { return Scalar(ArgType::WChar, v); }
EventArgument EventArgument::String(std::string_view text) { return Text(ArgType::String, text); }
EventArgument EventArgument::Bstr(std::string_view text) { return Text(ArgType::Bstr, text); }

EventArgument EventArgument::Raw(uint16_t type, std::vector<uint8_t> bytes) {
    EventArgument a;
    a.type = type;
    a.bytes = std::move(bytes);
    return a;
}

bool EventKey::Matches(const EventKey& other) const {
    if (eventId != other.eventId || !(eventClass == other.eventClass)) return false;
    return keyQualifier == 0 || other.keyQualifier == 0 || keyQualifier == other.keyQualifier;
}

std::vector<uint8_t> BuildEventRecord(const EventDescription& event, const EventState& state) {
    // Source items in the order id, guid, name, with their data bytes.
    struct Item {
        uint32_t type;
        std::vector<uint8_t> data;
    };
    std::vector<Item> items;
    if (event.source.id) {
        Item it{kSourceInfoId, std::vector<uint8_t>(4)};
        ZtMrxWire::Put32(it.data.data(), *event.source.id);
        items.push_back(std::move(it));
    }
    if (event.source.guid) {
        Item it{kSourceInfoGuid, std::vector<uint8_t>(16)};
        event.source.guid->Bytes(it.data.data());
        items.push_back(std::move(it));
    }
    if (event.source.name) {
        Item it{kSourceInfoName, std::vector<uint8_t>(event.source.name->begin(), event.source.name->end())};
        it.data.push_back(0);
        items.push_back(std::move(it));
    }

    const auto count = static_cast<uint32_t>(items.size());
    uint32_t sourceSize = count * kSourceDescriptorSize;
    for (const auto& it : items) sourceSize += static_cast<uint32_t>(it.data.size());
    const uint32_t jsonSize =
        event.jsonAttribute.empty() ? 0 : static_cast<uint32_t>(event.jsonAttribute.size() + 1);
    const auto argCount = static_cast<uint32_t>(event.arguments.size());
    const uint32_t typesSize = 2 * argCount;
    uint32_t dataSize = 0;
    for (const auto& a : event.arguments) dataSize += static_cast<uint32_t>(a.bytes.size());

    const auto sourceOffset = static_cast<uint32_t>(kEventRecordHeadSize);
    const uint32_t jsonOffset = sourceOffset + sourceSize;
    const uint32_t typesOffset = jsonOffset + jsonSize;
    const uint32_t dataOffset = typesOffset + typesSize;

    uint8_t guid[16];
    event.eventClass.Bytes(guid);
    Bytes b;
    b.Raw(guid, 16)
        .U32(event.eventId)
        .U32(event.keyQualifier)
        .U16(event.severity)
        .Zeros(2)
        .U32(count)
        .U32(sourceOffset)
        .U32(sourceSize)
        .U8(state.isRaised)
        .Zeros(1)
        .U16(state.eventType)
        .Zeros(4)
        .U64(state.fileTimeRaised)
        .U64(state.fileTimeCleared)
        .U64(state.fileTimeDisposed)
        .U16(state.confirmationState)
        .Zeros(6)
        .U64(state.fileTimeConfirmed)
        .U32(jsonOffset)
        .U32(jsonSize)
        .U32(argCount)
        .U32(typesOffset)
        .U32(typesSize)
        .U32(dataOffset)
        .U32(dataSize)
        .Zeros(4);

    uint32_t itemOffset = sourceOffset + count * kSourceDescriptorSize;
    for (const auto& it : items) {
        b.U32(it.type).U32(itemOffset).U32(static_cast<uint32_t>(it.data.size()));
        itemOffset += static_cast<uint32_t>(it.data.size());
    }
    for (const auto& it : items) b.Raw(it.data.data(), it.data.size());
    if (jsonSize != 0) b.Text(event.jsonAttribute);
    for (const auto& a : event.arguments) b.U16(a.type);
    for (const auto& a : event.arguments)
        if (!a.bytes.empty()) b.Raw(a.bytes.data(), a.bytes.size());
    return b.Take();
}

}  // namespace ZtSim

namespace ZtSim {

std::optional<int> ArgumentWidth(uint16_t type) {
    switch (static_cast<ArgType>(type)) {
        case ArgType::None: return 0;
        case ArgType::Boolean: case ArgType::Int8: case ArgType::UInt8: case ArgType::Char: return 1;
        case ArgType::Int16: case ArgType::UInt16: case ArgType::WChar: return 2;
        case ArgType::Int32: case ArgType::UInt32: case ArgType::Float: return 4;
        case ArgType::Int64: case ArgType::UInt64: case ArgType::Double: return 8;
        case ArgType::String: case ArgType::Bstr: return kTextArgument;
    }
    return std::nullopt;
}

std::string ParseArguments(uint32_t count, std::span<const uint8_t> types, std::span<const uint8_t> data,
                           std::vector<EventArgument>& out) {
    if (types.size() != 2ull * count) return "argument types size is not twice the count";
    out.clear();
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t type = ZtMrxWire::Get16(types.data() + 2 * i);
        auto width = ArgumentWidth(type);
        if (!width) return "argument " + std::to_string(i) + " of undefined type " + std::to_string(type);
        size_t n = static_cast<size_t>(*width);
        if (*width == kTextArgument) {
            // An empty text has no bytes at all: it is recognised by a used-up block only.
            n = 0;
            while (at + n < data.size() && data[at + n] != 0) ++n;
            if (at + n < data.size())
                ++n;
            else if (n != 0)
                return "text argument " + std::to_string(i) + " without its NUL";
        }
        if (n > data.size() - at) return "argument " + std::to_string(i) + " beyond the data block";
        out.push_back(EventArgument::Raw(type, std::vector<uint8_t>(data.begin() + at, data.begin() + at + n)));
        at += n;
    }
    if (at != data.size()) return "data block not used up by the arguments";
    return {};
}

std::string ParseEventRecord(std::span<const uint8_t> b, EventDescription& e, EventState& s, size_t* length) {
    using ZtMrxWire::Get16;
    using ZtMrxWire::Get32;
    using ZtMrxWire::Get64;
    if (b.size() < kEventRecordHeadSize) return "record shorter than its head";
    const uint8_t* p = b.data();
    const uint32_t sourceCount = Get32(p + 28), sourceOffset = Get32(p + 32), sourceSize = Get32(p + 36);
    const uint32_t jsonOffset = Get32(p + 88), jsonSize = Get32(p + 92);
    const uint32_t argCount = Get32(p + 96), typesOffset = Get32(p + 100), typesSize = Get32(p + 104);
    const uint32_t dataOffset = Get32(p + 108), dataSize = Get32(p + 112);
    const uint64_t total = kEventRecordHeadSize + uint64_t{sourceSize} + jsonSize + typesSize + dataSize;
    if (total > b.size()) return "record longer than the bytes";
    auto within = [&](uint64_t off, uint64_t size) { return off >= kEventRecordHeadSize && off + size <= total; };
    if (!within(sourceOffset, sourceSize) || !within(jsonOffset, jsonSize) || !within(typesOffset, typesSize) ||
        !within(dataOffset, dataSize))
        return "a tail outside the record";

    EventDescription ev;
    ev.eventClass = EventGuid::FromBytes(p);
    ev.eventId = Get32(p + 16);
    ev.keyQualifier = Get32(p + 20);
    ev.severity = Get16(p + 24);

    if (uint64_t{sourceCount} * kSourceDescriptorSize > sourceSize) return "source table beyond its block";
    for (uint32_t i = 0; i < sourceCount; ++i) {
        const uint8_t* d = p + sourceOffset + kSourceDescriptorSize * i;
        const uint32_t type = Get32(d), off = Get32(d + 4), size = Get32(d + 8);
        if (off < sourceOffset || uint64_t{off} + size > uint64_t{sourceOffset} + sourceSize)
            return "source item outside its block";
        if (type == kSourceInfoId && !ev.source.id) {
            if (size != 4) return "source id not 4 bytes";
            ev.source.id = Get32(p + off);
        } else if (type == kSourceInfoGuid && !ev.source.guid) {
            if (size != 16) return "source GUID not 16 bytes";
            ev.source.guid = EventGuid::FromBytes(p + off);
        } else if (type == kSourceInfoName && !ev.source.name) {
            if (size == 0 || p[off + size - 1] != 0) return "source name without its NUL";
            ev.source.name = std::string(reinterpret_cast<const char*>(p + off), size - 1);
            if (ev.source.name->find('\0') != std::string::npos) return "NUL inside the source name";
        }
    }
    if (jsonSize > 1) {
        if (p[jsonOffset + jsonSize - 1] != 0) return "JSON attribute without its NUL";
        ev.jsonAttribute.assign(reinterpret_cast<const char*>(p + jsonOffset), jsonSize - 1);
        if (ev.jsonAttribute.find('\0') != std::string::npos) return "NUL inside the JSON attribute";
    }
    if (auto err = ParseArguments(argCount, b.subspan(typesOffset, typesSize), b.subspan(dataOffset, dataSize),
                                  ev.arguments);
        !err.empty())
        return err;

    EventState st;
    st.isRaised = p[40];
    st.eventType = Get16(p + 42);
    st.fileTimeRaised = Get64(p + 48);
    st.fileTimeCleared = Get64(p + 56);
    st.fileTimeDisposed = Get64(p + 64);
    st.confirmationState = Get16(p + 72);
    st.fileTimeConfirmed = Get64(p + 80);
    ev.needsConfirmation = st.confirmationState != kConfirmationNone;
    e = std::move(ev);
    s = st;
    if (length != nullptr) *length = static_cast<size_t>(total);
    return {};
}

}  // namespace ZtSim
