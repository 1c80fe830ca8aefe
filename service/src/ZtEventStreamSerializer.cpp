#include "ZtEventStreamSerializer.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "ServiceProtocol.h"
#include "ZtAtlCom/ComPtr.h"
#include "ZtBinaryStreamWriter.h"
#include "ZtEventEntity.h"
#include "ZtJsonStreamWriter.h"
#include "ZtStreamBuffer.h"

namespace ZtEventLoggerCommon {

using ZtAtlCom::ZtComPtrLite;
using ZtEventLoggerVdlProxy::IZtStreamBuffer;
using ZtEventLoggerVdlProxy::IZtStreamWriter;
using ZtEventLoggerVdlProxy::ZtBinaryStreamWriter;
using ZtEventLoggerVdlProxy::ZtJsonStreamWriter;
using ZtEventLoggerVdlProxy::ZtStreamBuffer;
using ZtEventLoggerVdlProxy::ZtStreamTarget;

namespace {

constexpr size_t kHeaderSize = sizeof(ZtEventStreamHeader);

using ZtEventLoggerVdlProxy::OwnedSerializedStream;

void PutHeader(unsigned char* data, uint16_t type, uint16_t format, uint32_t payload) {
    const ZtEventStreamHeader h{ZtEventLoggerVdlProxy::kStreamVersion, type, format, payload};
    std::memcpy(data, &h, sizeof(h));
}

// The common frame of the key/value streams: a 1024-byte array of size 16
// with the header, a buffer counting from offset 12, the writer of the
// format, then content(writer). The writer is released before the payload
// length is stored, so the NUL the JSON writer adds is counted.
template <class Content>
SerializedStream* BuildKeyValueStream(uint16_t type, ZtEventLoggerDataFormat format, Content&& content) noexcept {
    try {
        OwnedSerializedStream stream(new SerializedStream{kHeaderSize + 4, nullptr});
        stream->data = new unsigned char[ZtEventStreamSerializer::kFirstCapacity]();
        const uint16_t wireFormat = format == ZtDataFormatJson ? 1 : 0;
        PutHeader(stream->data, type, wireFormat, 0);
        ZtStreamTarget target{stream.get(), ZtEventStreamSerializer::kFirstCapacity};
        // Counted here rather than in the header itself: the array moves when
        // it grows.
        unsigned int payload = 0;
        {
            auto* buffer = new ZtStreamBuffer<unsigned int>(&target, kHeaderSize, &payload);
            buffer->ZtAddRef();
            ZtComPtrLite<IZtStreamBuffer> bufferRef(buffer);
            IZtStreamWriter* made = nullptr;
            if (wireFormat == 1)
                made = new ZtJsonStreamWriter(buffer);
            else
                made = new ZtBinaryStreamWriter<ZtStreamBuffer<unsigned int>>(buffer);
            made->ZtAddRef();
            ZtComPtrLite<IZtStreamWriter> madeRef(made);
            void* queried = nullptr;
            if (ZtAtlCom::Succeeded(made->ZtQueryInterface(ZtEventLoggerVdlProxy::g_IID_IZtStreamWriter, &queried)) &&
                queried != nullptr) {
                ZtComPtrLite<IZtStreamWriter> writer(static_cast<IZtStreamWriter*>(queried));
                content(writer.get());
            }
        }
        if (stream->data == nullptr) return nullptr;  // the buffer could not grow
        std::memcpy(stream->data + 8, &payload, sizeof(payload));
        return stream.release();
    } catch (...) {
        return nullptr;
    }
}

void WriteHandle(IZtStreamWriter* w, uint16_t handle) {
    w->Key("handle");
    w->Value(static_cast<unsigned short>(handle));
}

void WriteTimeStamp(IZtStreamWriter* w, int64_t timeStamp) {
    if (timeStamp == 0) return;
    w->Key("timeStamp");
    w->Value(static_cast<unsigned long>(timeStamp));
}

// The serialisable's result is not looked at: whatever it wrote is sent.
void WriteObject(IZtStreamWriter* w, const char* key, IZtStreamSerializable* object) {
    if (object == nullptr) return;
    w->Key(key);
    object->Serialize(w);
}

}  // namespace

SerializedStream* ZtEventStreamSerializer::CreateGetLoggedEventsStream(IZtStreamSerializable* settings, uint16_t handle,
                                                                       ZtEventLoggerDataFormat format) noexcept {
    return BuildKeyValueStream(kStreamGetLoggedEvents, format, [&](IZtStreamWriter* w) {
        w->StartObject();
        WriteHandle(w, handle);
        WriteObject(w, "settings", settings);
        w->EndObject();
    });
}

SerializedStream* ZtEventStreamSerializer::CreateConfirmAlarmsStream(int64_t timeStamp, IZtStreamSerializable* filter,
                                                                     uint16_t handle,
                                                                     ZtEventLoggerDataFormat format) noexcept {
    return BuildKeyValueStream(kStreamConfirmAlarms, format, [&](IZtStreamWriter* w) {
        w->StartObject();
        WriteHandle(w, handle);
        WriteTimeStamp(w, timeStamp);
        WriteObject(w, "filter", filter);
        w->EndObject();
    });
}

SerializedStream* ZtEventStreamSerializer::CreateClearAlarmsStream(int64_t timeStamp, bool resetConfirmation,
                                                                   IZtStreamSerializable* filter, uint16_t handle,
                                                                   ZtEventLoggerDataFormat format) noexcept {
    return BuildKeyValueStream(kStreamClearAlarms, format, [&](IZtStreamWriter* w) {
        w->StartObject();
        WriteHandle(w, handle);
        WriteTimeStamp(w, timeStamp);
        w->Key("bResetConfirmation");
        w->Value(resetConfirmation);
        WriteObject(w, "filter", filter);
        w->EndObject();
    });
}

SerializedStream* ZtEventStreamSerializer::CreateExportLoggedEventsStream(const char* fileName,
                                                                          IZtStreamSerializable* settings,
                                                                          uint16_t handle,
                                                                          ZtEventLoggerDataFormat format) noexcept {
    return BuildKeyValueStream(kStreamExportLoggedEvents, format, [&](IZtStreamWriter* w) {
        w->StartObject();
        WriteHandle(w, handle);
        w->Key("fileName");
        w->Value(fileName);
        WriteObject(w, "settings", settings);
        w->EndObject();
    });
}

}  // namespace ZtEventLoggerCommon

namespace ZtEventLoggerVdlProxy {

namespace {

using ZtEventLoggerCommon::kEventHeadSize;
using ZtEventLoggerCommon::ZtSourceInfoDescriptor;

constexpr size_t kHeaderSize = sizeof(ZtEventStreamHeader);

// One source-info item or argument as read: its type code and bytes. An item
// that could not be read keeps type 0 and no bytes.
struct Item {
    uint32_t type = 0;
    std::vector<unsigned char> bytes;
};

// Reads every item first and lays the record out from what was read, so
// that an object that changes or fails between its size query and its data
// can neither overrun the record nor leave sizes that do not match it.
std::vector<Item> ReadSourceInfo(IZtSourceInfo* info) {
    std::vector<Item> items;
    if (info == nullptr) return items;
    ZtAtlCom::CComPtr<IZtSourceInfoDataProvider> provider;
    if (ZtAtlCom::Failed(info->QueryInterface(IID_IZtSourceInfoDataProvider,
                                              reinterpret_cast<void**>(provider.ReleaseAndGetAddressOf()))) ||
        provider == nullptr)
        return items;
    int count = 0;
    if (ZtAtlCom::Failed(info->get_Count(&count)) || count < 0) count = 0;
    items.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<unsigned int>(i);
        unsigned int size = 0;
        if (ZtAtlCom::Failed(provider->GetData(index, nullptr, nullptr, &size))) continue;
        std::vector<unsigned char> bytes(size);
        unsigned char none = 0;
        // The room given is what the size query reported: never more.
        tagZtSourceInfoTypeEnum type = SourceInfoName;
        unsigned int room = size;
        if (ZtAtlCom::Failed(provider->GetData(index, &type, size != 0 ? bytes.data() : &none, &room)) || room != size)
            continue;
        items[i] = {static_cast<uint32_t>(type), std::move(bytes)};
    }
    return items;
}

std::vector<Item> ReadArguments(IZtArguments* arguments) {
    std::vector<Item> items;
    if (arguments == nullptr) return items;
    int count = 0;
    if (ZtAtlCom::Failed(arguments->get_Count(&count)) || count < 0) count = 0;
    items.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        ZtAtlCom::CComPtr<IZtArgumentEntry> entry;
        if (ZtAtlCom::Failed(arguments->get_Item(i, entry.ReleaseAndGetAddressOf())) || entry == nullptr) continue;
        tagZtEventArgumentTypeEnum type = ArgNone;
        unsigned int size = 0;
        if (ZtAtlCom::Failed(entry->GetData(&type, nullptr, &size))) continue;
        std::vector<unsigned char> bytes(size);
        unsigned char none = 0;
        unsigned int written = 0;
        if (ZtAtlCom::Failed(entry->GetData(&type, size != 0 ? bytes.data() : &none, &written)) || written != size)
            continue;
        items[i] = {static_cast<uint32_t>(type), std::move(bytes)};
    }
    return items;
}

uint64_t DataSize(const std::vector<Item>& items) {
    uint64_t n = 0;
    for (const Item& item : items) n += item.bytes.size();
    return n;
}

}  // namespace

SerializedStream* ZtEventStreamSerializer::CreateSendMessageStream(const GUID& eventClass, uint32_t eventId,
                                                                   tagSeverityLevelEnum severity,
                                                                   const char* jsonAttribute, uint32_t jsonLength,
                                                                   IZtSourceInfo* sourceInfo,
                                                                   IZtArguments* arguments) noexcept {
    try {
        const std::vector<Item> sources = ReadSourceInfo(sourceInfo);
        const std::vector<Item> args = ReadArguments(arguments);
        if (jsonAttribute == nullptr) jsonLength = 0;

        const uint64_t table = sizeof(ZtSourceInfoDescriptor) * static_cast<uint64_t>(sources.size());
        const uint64_t sourceSize = table + DataSize(sources);
        const uint64_t jsonOffset = kEventHeadSize + sourceSize;
        const uint64_t jsonSize = jsonLength != 0 ? static_cast<uint64_t>(jsonLength) + 1 : 0;
        const uint64_t typesOffset = jsonOffset + jsonSize;
        const uint64_t typesSize = 2 * static_cast<uint64_t>(args.size());
        const uint64_t dataOffset = typesOffset + typesSize;
        const uint64_t recordSize = dataOffset + DataSize(args);
        // Every offset and size of the record and the header is 32-bit.
        if (recordSize > std::numeric_limits<uint32_t>::max() - kHeaderSize - 4) return nullptr;

        OwnedSerializedStream stream(new SerializedStream{recordSize + kHeaderSize + 4, nullptr});
        stream->data = new unsigned char[static_cast<size_t>(stream->size)]();
        unsigned char* const record = stream->data + kHeaderSize;
        ZtEventLoggerCommon::PutHeader(stream->data, ZtEventLoggerCommon::kStreamSendMessage, 0,
                                       static_cast<uint32_t>(recordSize));

        ZtEventEntity head{};
        head.eventClass = eventClass;
        head.eventId = eventId;
        head.severityLevel = static_cast<uint16_t>(severity);
        head.sourceInfoCount = static_cast<uint32_t>(sources.size());
        head.sourceInfoOffset = static_cast<uint32_t>(kEventHeadSize);
        head.sourceInfoSize = static_cast<uint32_t>(sourceSize);
        head.jsonAttributeOffset = static_cast<uint32_t>(jsonOffset);
        head.jsonAttributeSize = static_cast<uint32_t>(jsonSize);
        head.arguments = {static_cast<uint32_t>(args.size()), static_cast<uint32_t>(typesOffset),
                          static_cast<uint32_t>(typesSize), static_cast<uint32_t>(dataOffset),
                          static_cast<uint32_t>(recordSize - dataOffset)};
        std::memcpy(record, &head, sizeof(head));

        size_t at = kEventHeadSize + static_cast<size_t>(table);
        for (size_t i = 0; i < sources.size(); ++i) {
            const ZtSourceInfoDescriptor d{sources[i].type, static_cast<uint32_t>(at),
                                           static_cast<uint32_t>(sources[i].bytes.size())};
            std::memcpy(record + kEventHeadSize + i * sizeof(d), &d, sizeof(d));
            if (d.size != 0) std::memcpy(record + at, sources[i].bytes.data(), d.size);
            at += d.size;
        }
        if (jsonSize != 0) std::memcpy(record + jsonOffset, jsonAttribute, jsonLength);  // the NUL is there
        at = static_cast<size_t>(dataOffset);
        for (size_t i = 0; i < args.size(); ++i) {
            const auto code = static_cast<uint16_t>(args[i].type);
            std::memcpy(record + typesOffset + 2 * i, &code, sizeof(code));
            if (!args[i].bytes.empty()) std::memcpy(record + at, args[i].bytes.data(), args[i].bytes.size());
            at += args[i].bytes.size();
        }
        return stream.release();
    } catch (...) {
        return nullptr;
    }
}

}  // namespace ZtEventLoggerVdlProxy
