#include "ZtJsonStreamWriter.h"

#include <rapidjson/writer.h>

#include <cstdio>
#include <cstring>

namespace ZtEventLoggerVdlProxy {

// UTF-8 in and out, the standard allocator, no write flags; the default level
// stack and decimal places.
class ZtJsonStreamWriter::Json
    : public rapidjson::Writer<IZtStreamBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, rapidjson::CrtAllocator, 0> {
public:
    using Writer::Writer;
};

namespace {

rapidjson::SizeType Length(const char* text) { return static_cast<rapidjson::SizeType>(std::strlen(text)); }

}  // namespace

ZtJsonStreamWriter::ZtJsonStreamWriter(IZtStreamBuffer* buffer)
    : m_buffer(buffer), m_json(std::make_unique<Json>(*buffer)) {}

ZtJsonStreamWriter::~ZtJsonStreamWriter() {
    m_json.reset();
    // The service reads the body as one NUL-terminated text.
    if (m_buffer != nullptr) {
        m_buffer->Put('\0');
        m_buffer = nullptr;
    }
}

// The rules rapidjson asserts on: one root only, and inside an object a name
// (a string) before every value. Serialisable objects come from outside, so
// a wrong sequence must not reach those assertions.
bool ZtJsonStreamWriter::Admit(bool isString) {
    if (m_levels.empty()) {
        if (m_hasRoot) return false;
        m_hasRoot = true;
        return true;
    }
    Level& top = m_levels.back();
    if (!top.inArray && top.values % 2 == 0 && !isString) return false;
    ++top.values;
    return true;
}

// Room for one more level before anything changes, so that a start either
// happens whole or not at all (and no exception reaches a serialisable).
bool ZtJsonStreamWriter::Reserve() noexcept {
    try {
        m_levels.reserve(m_levels.size() + 1);
        return true;
    } catch (...) {
        return false;
    }
}

template <class Call>
bool ZtJsonStreamWriter::Scalar(bool isString, Call call) {
    return Admit(isString) && call(*m_json);
}

bool ZtJsonStreamWriter::StartObject() {
    if (!Reserve() || !Admit(false)) return false;
    m_levels.push_back({false, 0});
    return m_json->StartObject();
}

bool ZtJsonStreamWriter::StartArray() {
    if (!Reserve() || !Admit(false)) return false;
    m_levels.push_back({true, 0});
    return m_json->StartArray();
}

bool ZtJsonStreamWriter::EndObject() {
    if (m_levels.empty() || m_levels.back().inArray) return false;
    m_levels.pop_back();
    return m_json->EndObject();
}

bool ZtJsonStreamWriter::EndArray() {
    if (m_levels.empty() || !m_levels.back().inArray) return false;
    m_levels.pop_back();
    return m_json->EndArray();
}

// A null text is written as the empty text, as the binary form does.
bool ZtJsonStreamWriter::Key(const char* key) {
    if (key == nullptr) key = "";
    return Scalar(true, [&](Json& j) { return j.Key(key, Length(key)); });
}

bool ZtJsonStreamWriter::Value(const char* value) {
    if (value == nullptr) value = "";
    return Scalar(true, [&](Json& j) { return j.String(value, Length(value)); });
}

bool ZtJsonStreamWriter::Value(const GUID& value) {
    char text[40];
    std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", value.Data1, value.Data2,
                  value.Data3, value.Data4[0], value.Data4[1], value.Data4[2], value.Data4[3], value.Data4[4],
                  value.Data4[5], value.Data4[6], value.Data4[7]);
    return Scalar(true, [&](Json& j) { return j.String(text, Length(text)); });
}

bool ZtJsonStreamWriter::Value(bool value) {
    return Scalar(false, [&](Json& j) { return j.Bool(value); });
}
bool ZtJsonStreamWriter::Value(signed char value) {
    return Scalar(false, [&](Json& j) { return j.Int(value); });
}
bool ZtJsonStreamWriter::Value(short value) {
    return Scalar(false, [&](Json& j) { return j.Int(value); });
}
bool ZtJsonStreamWriter::Value(int value) {
    return Scalar(false, [&](Json& j) { return j.Int(value); });
}
bool ZtJsonStreamWriter::Value(long value) {
    return Scalar(false, [&](Json& j) { return j.Int64(value); });
}
bool ZtJsonStreamWriter::Value(unsigned char value) {
    return Scalar(false, [&](Json& j) { return j.Uint(value); });
}
bool ZtJsonStreamWriter::Value(unsigned short value) {
    return Scalar(false, [&](Json& j) { return j.Uint(value); });
}
bool ZtJsonStreamWriter::Value(unsigned int value) {
    return Scalar(false, [&](Json& j) { return j.Uint(value); });
}
bool ZtJsonStreamWriter::Value(unsigned long value) {
    return Scalar(false, [&](Json& j) { return j.Uint64(value); });
}
bool ZtJsonStreamWriter::Value(float value) {
    return Scalar(false, [&](Json& j) { return j.Double(static_cast<double>(value)); });
}
bool ZtJsonStreamWriter::Value(double value) {
    return Scalar(false, [&](Json& j) { return j.Double(value); });
}

}  // namespace ZtEventLoggerVdlProxy
