// ZtJsonStreamWriter.h - the JSON form of request bodies (internal).
//
// The same writer calls as the binary form, turned into compact JSON text by
// a rapidjson writer (UTF-8 in and out) whose output stream is the request's
// buffer: keys and texts as JSON strings (a null text as ""), signed values
// through Int/Int64, unsigned ones through Uint/Uint64, float and double as
// the shortest decimal form, a GUID as its braced upper-case text. When the
// writer is destroyed it puts one NUL behind the text, so the payload of a
// JSON request is the text and its NUL.
//
// A call that the JSON writer could not accept in its place (a second root,
// a value where a member name belongs, an end without its start) is refused
// with false and writes nothing; every other call returns rapidjson's result.
#ifndef ZT_JSON_STREAM_WRITER_H
#define ZT_JSON_STREAM_WRITER_H

#include <memory>
#include <vector>

#include "ZtStreamBuffer.h"

namespace ZtEventLoggerVdlProxy {

class ZtJsonStreamWriter final : public ZtStreamObject<IZtStreamWriter, &g_IID_IZtStreamWriter> {
public:
    // Writes into buffer (not null), which it does not own and which must
    // outlive it. The count starts at 0. Throws std::bad_alloc.
    explicit ZtJsonStreamWriter(IZtStreamBuffer* buffer);

    bool StartObject() override;
    bool StartArray() override;
    bool Key(const char* key) override;
    bool Value(bool value) override;
    bool Value(signed char value) override;
    bool Value(short value) override;
    bool Value(int value) override;
    bool Value(long value) override;
    bool Value(unsigned char value) override;
    bool Value(unsigned short value) override;
    bool Value(unsigned int value) override;
    bool Value(unsigned long value) override;
    bool Value(float value) override;
    bool Value(double value) override;
    bool Value(const char* value) override;
    bool Value(const GUID& value) override;
    bool EndArray() override;
    bool EndObject() override;

private:
    class Json;
    ~ZtJsonStreamWriter() override;

    // What rapidjson would refuse by assertion is refused here instead.
    bool Admit(bool isString);
    bool Reserve() noexcept;
    template <class Call>
    bool Scalar(bool isString, Call call);

    IZtStreamBuffer* m_buffer;
    std::unique_ptr<Json> m_json;
    // The open objects and arrays (true: array) and their value counts, as
    // rapidjson keeps them.
    struct Level {
        bool inArray;
        uint64_t values;
    };
    std::vector<Level> m_levels;
    bool m_hasRoot = false;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_JSON_STREAM_WRITER_H
