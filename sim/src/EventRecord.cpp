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
