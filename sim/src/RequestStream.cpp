#include "ZtSim/RequestStream.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cstring>

#include "MrxWire.h"

namespace ZtSim {

namespace {

enum Tag : uint8_t { kStartObject = 1, kStartArray = 2, kKey = 3, kValue = 4, kEndArray = 5, kEndObject = 6 };

// Reads the binary body; each method returns an error text, empty when fine.
class BinaryReader {
public:
    explicit BinaryReader(std::span<const uint8_t> b) : b_(b) {}

    std::string Root(StreamValue& out) {
        if (auto e = Value(out, 0); !e.empty()) return e;
        if (pos_ != b_.size()) return "bytes after the body value at " + std::to_string(pos_);
        return {};
    }

private:
    bool Has(size_t n) const { return b_.size() - pos_ >= n; }

    template <class T>
    T Scalar() {
        T v;
        std::memcpy(&v, b_.data() + pos_, sizeof(T));  // little-endian, as the machine
        pos_ += sizeof(T);
        return v;
    }

    // One value that starts with its tag at pos_.
    std::string Value(StreamValue& out, size_t depth) {
        if (!Has(1)) return "value missing at " + std::to_string(pos_);
        const uint8_t tag = b_[pos_++];
        switch (tag) {
            case kStartObject:
            case kStartArray:
                if (depth + 1 > kMaxStreamDepth) return "nesting deeper than " + std::to_string(kMaxStreamDepth);
                return tag == kStartObject ? Object(out, depth + 1) : Array(out, depth + 1);
            case kValue:
                return Scalar(out);
            default:
                return "tag " + std::to_string(tag) + " where a value belongs, at " + std::to_string(pos_ - 1);
        }
    }

    std::string Object(StreamValue& out, size_t depth) {
        out.kind = StreamValue::Kind::Object;
        for (;;) {
            if (!Has(1)) return "object left open";
            const uint8_t tag = b_[pos_++];
            if (tag == kEndObject) return {};
            if (tag != kKey) return "tag " + std::to_string(tag) + " where a key belongs, at " + std::to_string(pos_ - 1);
            if (!Has(8)) return "key hash truncated";
            out.keys.push_back(Scalar<uint64_t>());
            out.items.emplace_back();
            if (auto e = Value(out.items.back(), depth); !e.empty()) return e;
        }
    }

    std::string Array(StreamValue& out, size_t depth) {
        out.kind = StreamValue::Kind::Array;
        for (;;) {
            if (!Has(1)) return "array left open";
            if (b_[pos_] == kEndArray) {
                ++pos_;
                return {};
            }
            out.items.emplace_back();
            if (auto e = Value(out.items.back(), depth); !e.empty()) return e;
        }
    }

    std::string Scalar(StreamValue& out) {
        if (!Has(1)) return "type byte missing";
        const uint8_t type = b_[pos_++];
        static constexpr size_t kWidth[14] = {0, 1, 1, 2, 4, 8, 1, 2, 4, 8, 4, 8, 0, 16};
        if (type == 0 || type > 13) return "unknown type byte " + std::to_string(type);
        if (!Has(kWidth[type])) return "value of type " + std::to_string(type) + " truncated";
        using K = StreamValue::Kind;
        switch (type) {
            case 1: {
                const uint8_t v = Scalar<uint8_t>();
                if (v > 1) return "bool of value " + std::to_string(v);
                out.kind = K::Bool;
                out.boolean = v != 0;
                return {};
            }
            case 2: out.kind = K::Int; out.sint = Scalar<int8_t>(); return {};
            case 3: out.kind = K::Int; out.sint = Scalar<int16_t>(); return {};
            case 4: out.kind = K::Int; out.sint = Scalar<int32_t>(); return {};
            case 5: out.kind = K::Int; out.sint = Scalar<int64_t>(); return {};
            case 6: out.kind = K::Uint; out.uint = Scalar<uint8_t>(); return {};
            case 7: out.kind = K::Uint; out.uint = Scalar<uint16_t>(); return {};
            case 8: out.kind = K::Uint; out.uint = Scalar<uint32_t>(); return {};
            case 9: out.kind = K::Uint; out.uint = Scalar<uint64_t>(); return {};
            case 10: out.kind = K::Double; out.real = Scalar<float>(); return {};
            case 11: out.kind = K::Double; out.real = Scalar<double>(); return {};
            case 12: {
                const auto* start = b_.data() + pos_;
                const auto* nul = static_cast<const uint8_t*>(std::memchr(start, 0, b_.size() - pos_));
                if (nul == nullptr) return "text without its NUL";
                out.kind = K::Text;
                out.text.assign(reinterpret_cast<const char*>(start), static_cast<size_t>(nul - start));
                pos_ += static_cast<size_t>(nul - start) + 1;
                return {};
            }
            case 13: {
                out.kind = K::Guid;
                out.guid = EventGuid::FromBytes(b_.data() + pos_);
                pos_ += 16;
                return {};
            }
        }
        return "unknown type byte";
    }

    std::span<const uint8_t> b_;
    size_t pos_ = 0;
};

std::string FromJson(const rapidjson::Value& v, StreamValue& out, size_t depth) {
    using K = StreamValue::Kind;
    if (v.IsObject() || v.IsArray()) {
        if (depth + 1 > kMaxStreamDepth) return "nesting deeper than " + std::to_string(kMaxStreamDepth);
        if (v.IsObject()) {
            out.kind = K::Object;
            for (const auto& m : v.GetObject()) {
                out.keys.push_back(KeyHash(std::string_view(m.name.GetString(), m.name.GetStringLength())));
                out.items.emplace_back();
                if (auto e = FromJson(m.value, out.items.back(), depth + 1); !e.empty()) return e;
            }
        } else {
            out.kind = K::Array;
            for (const auto& e : v.GetArray()) {
                out.items.emplace_back();
                if (auto err = FromJson(e, out.items.back(), depth + 1); !err.empty()) return err;
            }
        }
        return {};
    }
    if (v.IsNull()) {
        out.kind = K::Null;
    } else if (v.IsBool()) {
        out.kind = K::Bool;
        out.boolean = v.GetBool();
    } else if (v.IsUint64()) {
        out.kind = K::Uint;
        out.uint = v.GetUint64();
    } else if (v.IsInt64()) {
        out.kind = K::Int;
        out.sint = v.GetInt64();
    } else if (v.IsNumber()) {
        out.kind = K::Double;
        out.real = v.GetDouble();
    } else {
        out.kind = K::Text;
        out.text.assign(v.GetString(), v.GetStringLength());
    }
    return {};
}

}  // namespace

uint64_t KeyHash(std::string_view key) {
    if (auto dot = key.find('.'); dot != std::string_view::npos) key = key.substr(0, dot);
    if (auto nul = key.find('\0'); nul != std::string_view::npos) key = key.substr(0, nul);
    uint64_t r = 0;
    for (auto it = key.rbegin(); it != key.rend(); ++it) {
        const auto s = static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(*it)));
        r = ~(r >> 3) + ~s + (r << 7);
    }
    return r;
}

const StreamValue* StreamValue::Find(uint64_t keyHash) const {
    if (kind != Kind::Object) return nullptr;
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == keyHash) return &items[i];
    return nullptr;
}

std::optional<uint64_t> StreamValue::Unsigned(uint64_t max) const {
    if (kind == Kind::Uint && uint <= max) return uint;
    if (kind == Kind::Int && sint >= 0 && static_cast<uint64_t>(sint) <= max) return static_cast<uint64_t>(sint);
    return std::nullopt;
}

std::optional<int64_t> StreamValue::Signed() const {
    if (kind == Kind::Int) return sint;
    if (kind == Kind::Uint && uint <= static_cast<uint64_t>(INT64_MAX)) return static_cast<int64_t>(uint);
    return std::nullopt;
}

std::optional<bool> StreamValue::Boolean() const {
    if (kind == Kind::Bool) return boolean;
    return std::nullopt;
}

std::optional<std::string_view> StreamValue::Text() const {
    if (kind == Kind::Text) return std::string_view(text);
    return std::nullopt;
}

std::optional<EventGuid> StreamValue::Guid() const {
    if (kind == Kind::Guid) return guid;
    if (kind == Kind::Text) return ParseGuid(text);
    return std::nullopt;
}

std::string DecodeBinaryBody(std::span<const uint8_t> body, StreamValue& out) {
    out = StreamValue{};
    return BinaryReader(body).Root(out);
}

std::string DecodeJsonBody(std::span<const uint8_t> body, StreamValue& out) {
    out = StreamValue{};
    size_t n = body.size();
    while (n > 0 && body[n - 1] == 0) --n;  // the writer's closing NUL
    if (std::memchr(body.data(), 0, n) != nullptr) return "NUL inside the JSON text";
    rapidjson::Document doc;
    // Iterative parsing: a hostile nesting depth cannot exhaust the stack.
    // Anything but blanks after the value is refused by the parser itself.
    doc.Parse<rapidjson::kParseIterativeFlag>(reinterpret_cast<const char*>(body.data()), n);
    if (doc.HasParseError())
        return std::string("JSON error at ") + std::to_string(doc.GetErrorOffset()) + ": " +
               rapidjson::GetParseError_En(doc.GetParseError());
    return FromJson(doc, out, 0);
}

std::string DecodeRequestStream(std::span<const uint8_t> bytes, RequestStream& out) {
    if (bytes.size() < 12) return "shorter than the stream header";
    if (ZtMrxWire::Get32(bytes.data()) != 1) return "stream version is not 1";
    out.type = ZtMrxWire::Get16(bytes.data() + 4);
    out.format = ZtMrxWire::Get16(bytes.data() + 6);
    const uint32_t length = ZtMrxWire::Get32(bytes.data() + 8);
    if (length > bytes.size() - 12) return "payload length beyond the bytes received";
    auto body = bytes.subspan(12, length);
    return out.format == kStreamFormatJson ? DecodeJsonBody(body, out.body) : DecodeBinaryBody(body, out.body);
}

}  // namespace ZtSim
