// ZtStreamBuffer.h - the growable byte buffer request streams are written
// into (internal).
//
// A buffer writes into the data array of one SerializedStream from a write
// position on, growing the array by doubling (until a write fits), raising
// the stream's size to the end of what was written and counting every byte
// in a payload-length counter. It lives inside one serializer call on one
// thread; its count is interlocked all the same.
#ifndef ZT_STREAM_BUFFER_H
#define ZT_STREAM_BUFFER_H

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

// The output side of a request stream, byte by byte. Also the output stream
// of the JSON writer (Ch, Put, Flush are what it needs).
struct IZtStreamBuffer : IZtUnknown {
    using Ch = char;
    // Puts byte into buffer (through its Put).
    virtual void PutUnsafe(IZtStreamBuffer& buffer, unsigned char byte) = 0;
    virtual void Put(char byte) = 0;
    // Nothing is held back: does nothing.
    virtual void Flush() = 0;
    virtual ~IZtStreamBuffer() = default;
};
ZT_DECLARE_IID(IZtStreamBuffer, "ECC20E71-CB34-4B2A-8884-B5894322D265")

// The counting and the one interface id of the stream objects (buffer and
// writers): ZtQueryInterface answers *iid alone, any other id gives
// 0x9811071A with a null out-pointer; ZtRelease destroys at 0.
template <class Interface, const GUID* iid>
class ZtStreamObject : public Interface {
public:
    ULONG ZtAddRef() override { return m_refs.Increment(); }
    ULONG ZtRelease() override {
        ULONG n = m_refs.Decrement();
        if (n == 0) delete this;
        return n;
    }
    HRESULT ZtQueryInterface(const ZtAtlCom::IID& id, void** object) override {
        if (object == nullptr) return ZtAtlCom::E_POINTER;
        *object = nullptr;
        if (!(id == *iid)) return ZtAtlCom::ZT_E_NOINTERFACE;
        *object = static_cast<Interface*>(this);
        ZtAddRef();
        return ZtAtlCom::S_OK;
    }

private:
    ZtAtlCom::ZtUnknownCount m_refs;
};

// The stream being written and the capacity of its data array.
struct ZtStreamTarget {
    SerializedStream* stream;
    uint64_t capacity;
};

template <class Counter>
class ZtStreamBuffer final : public ZtStreamObject<IZtStreamBuffer, &g_IID_IZtStreamBuffer> {
public:
    // Writes into target from position on, counting into *counter (may be
    // null). The count starts at 0.
    ZtStreamBuffer(ZtStreamTarget* target, uint64_t position, Counter* counter) noexcept
        : m_target(target), m_position(position), m_counter(counter) {}

    void PutUnsafe(IZtStreamBuffer& buffer, unsigned char byte) override { buffer.Put(static_cast<char>(byte)); }
    void Put(char byte) override { Write(&byte, 1); }
    void Flush() override {}

    // Stores a run of n bytes at the write position. False when the stream has
    // no data array, also after the array could not be grown: the stream is
    // then dropped whole (data null, size 0) so that no partial request is
    // ever sent.
    bool Write(const void* bytes, size_t n) noexcept {
        SerializedStream* s = m_target->stream;
        if (s->data == nullptr) return false;
        const uint64_t need = m_position + n;
        const bool counterFull =
            m_counter != nullptr && n > static_cast<uint64_t>(std::numeric_limits<Counter>::max() - *m_counter);
        if (need < m_position || counterFull || (need > m_target->capacity && !Grow(need))) {
            Drop();
            return false;
        }
        if (n != 0) std::memcpy(s->data + m_position, bytes, n);
        if (s->size < need) s->size = need;
        m_position = need;
        if (m_counter != nullptr) *m_counter += static_cast<Counter>(n);
        return true;
    }

    uint64_t Position() const noexcept { return m_position; }

private:
    ~ZtStreamBuffer() override = default;

    // Doubles the capacity until need fits (a capacity of 0 becomes need).
    bool Grow(uint64_t need) noexcept {
        uint64_t capacity = m_target->capacity == 0 ? need : m_target->capacity;
        while (capacity < need) {
            if (capacity > std::numeric_limits<uint64_t>::max() / 2) return false;
            capacity *= 2;
        }
        if (capacity > std::numeric_limits<size_t>::max()) return false;
        auto* data = new (std::nothrow) unsigned char[static_cast<size_t>(capacity)];
        if (data == nullptr) return false;
        SerializedStream* s = m_target->stream;
        std::memcpy(data, s->data, static_cast<size_t>(s->size));
        delete[] s->data;
        s->data = data;
        m_target->capacity = capacity;
        return true;
    }
    void Drop() noexcept {
        SerializedStream* s = m_target->stream;
        delete[] s->data;
        s->data = nullptr;
        s->size = 0;
        m_target->capacity = 0;
    }

    ZtStreamTarget* m_target;
    uint64_t m_position;
    Counter* m_counter;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_STREAM_BUFFER_H
