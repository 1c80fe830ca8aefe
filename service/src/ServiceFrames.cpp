#include "ServiceFrames.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "ZtEventLoggerVdlApi/VdlR3AdapterCore.h"

namespace ZtEventLoggerVdlProxy {

namespace {

constexpr size_t kHeaderSize = sizeof(ZtEventStreamHeader);
constexpr size_t kReserved = 4;

// Header, payloadLength zero bytes and the reserved bytes.
RequestFrame Frame(uint16_t type, uint32_t payloadLength, size_t reserved = kReserved) {
    RequestFrame f(kHeaderSize + payloadLength + reserved, 0);
    const ZtEventStreamHeader h{kStreamVersion, type, 0, payloadLength};
    std::memcpy(f.data(), &h, sizeof(h));
    return f;
}

template <class T>
void Put(RequestFrame& f, size_t at, const T& value) {
    std::memcpy(f.data() + at, &value, sizeof(T));
}

// The head every query shares: language id at 16, event class at 20.
RequestFrame Query(uint16_t type, uint32_t payloadLength, const GUID& eventClass, int64_t languageId) {
    RequestFrame f = Frame(type, payloadLength);
    Put(f, 16, static_cast<uint32_t>(languageId));
    Put(f, 20, eventClass);
    return f;
}

}  // namespace

RequestFrame ConfirmEventFrame(const ZtEventKey& key) {
    RequestFrame f = Frame(kRequestConfirmEvent, sizeof(ZtEventKey));
    Put(f, kHeaderSize, key);
    return f;
}

RequestFrame ConfirmAllAlarmsFrame() { return Frame(kRequestConfirmAllAlarms, 0); }

RequestFrame ClearAllAlarmsFrame(bool resetConfirmation) {
    RequestFrame f = Frame(kRequestClearAllAlarms, 1, 3);
    f[kHeaderSize] = resetConfirmation ? 1 : 0;
    return f;
}

RequestFrame LoggedEventsFrame(uint32_t count) {
    RequestFrame f = Frame(kRequestLoggedEvents, 4);
    Put(f, kHeaderSize, count);
    return f;
}

RequestFrame MessageTextFrame(const ZtEventKey& key, const ZtEventArguments& arguments, const void* argumentBase,
                              int64_t languageId) {
    constexpr uint32_t kBlocks = 52;  // the argument blocks, counted from 12
    const uint64_t t = arguments.typesSize, d = arguments.dataSize;
    if (kHeaderSize + kBlocks + t + d + kReserved > std::numeric_limits<uint32_t>::max())
        throw std::invalid_argument("argument blocks too large");
    RequestFrame f = Query(kRequestMessageText, static_cast<uint32_t>(kBlocks + t + d), key.eventClass, languageId);
    Put(f, 36, key.eventId);
    Put(f, 40, key.keyQualifier);
    Put(f, 44, arguments.argumentCount);
    Put(f, 48, kBlocks);
    Put(f, 52, static_cast<uint32_t>(t));
    Put(f, 56, static_cast<uint32_t>(kBlocks + t));
    Put(f, 60, static_cast<uint32_t>(d));
    if (argumentBase != nullptr && arguments.argumentCount != 0) {
        const auto* base = static_cast<const unsigned char*>(argumentBase);
        if (t != 0) std::memcpy(f.data() + 64, base + arguments.typesOffset, t);
        if (d != 0) std::memcpy(f.data() + 64 + t, base + arguments.dataOffset, d);
    }
    return f;
}

RequestFrame ClassNameFrame(const GUID& eventClass, int64_t languageId) {
    return Query(kRequestClassName, 24, eventClass, languageId);
}

RequestFrame CauseRemedyFrame(const GUID& eventClass, uint32_t eventId, int64_t languageId) {
    RequestFrame f = Query(kRequestCauseRemedy, 28, eventClass, languageId);
    Put(f, 36, eventId);
    return f;
}

RequestFrame ClassDetailsFrame(const GUID& eventClass, int64_t languageId) {
    return Query(kRequestClassDetails, 24, eventClass, languageId);
}

RequestFrame EventDetailsFrame(const GUID& eventClass, uint32_t eventId, int64_t languageId) {
    RequestFrame f = Query(kRequestEventDetails, 28, eventClass, languageId);
    Put(f, 36, eventId);
    return f;
}

uint32_t ReadWrite(ZtEventLoggerVdlApi::VdlR3AdapterCore& adapter, uint32_t indexGroup, uint32_t indexOffset,
                   const void* request, size_t requestSize, ReplyBuffer& reply, RequestRetry& retry,
                   size_t& bytesRead) {
    bytesRead = 0;
    return retry.Run(reply, [&](ReplyBuffer& buffer) {
        unsigned long n = 0;
        const uint32_t rc = adapter.VdlSyncReadWriteReq(kServicePort, indexGroup, indexOffset, buffer.size(),
                                                        buffer.data(), requestSize, const_cast<void*>(request), n);
        bytesRead = rc == 0 ? std::min<size_t>(n, buffer.size()) : 0;
        return rc;
    });
}

}  // namespace ZtEventLoggerVdlProxy
