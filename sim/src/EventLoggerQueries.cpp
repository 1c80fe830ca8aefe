// The query requests of the simulated event logger service: texts and the
// export on group 500, resource files on group 800.
#include <cstdio>
#include <filesystem>

#include "MrxWire.h"
#include "ServiceReplies.h"
#include "ZtSim/CsvExport.h"
#include "ZtSim/EventLoggerService.h"
#include "ZtSim/FileService.h"
#include "ZtSim/RequestStream.h"

namespace ZtSim {

namespace {

using ZtMrxWire::Get32;

constexpr size_t kClassQuerySize = 24;       // lang at 4, class at 8 (from the payload)
constexpr size_t kEventQuerySize = 28;       // and the event id at 24
constexpr size_t kMessageQueryHeadSize = 52;  // and qualifier, arguments descriptor

bool WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace

Reply EventLoggerService::Query(const Request& request) {
    if (request.kind != RequestKind::ReadWrite) return NotSupported();
    auto frame = ReadRequestFrame(request.data);
    if (!frame) return Malformed();
    switch (frame->type) {
        case kRequestExport: {
            RequestStream stream;
            if (!DecodeRequestStream(request.data, stream).empty() || stream.body.kind != StreamValue::Kind::Object)
                return Malformed();
            const StreamValue* h = stream.body.Find("handle");
            auto handle = h ? h->Unsigned(UINT32_MAX) : std::optional<uint64_t>(0);
            if (!handle) return Malformed();
            return Export(request, static_cast<uint32_t>(*handle), stream.body);
        }
        case kRequestMessageText:
        case kRequestClassName:
        case kRequestCauseRemedy:
        case kRequestClassDetails:
        case kRequestEventDetails:
            return TextQuery(request, frame->type, frame->payload);
        default:
            return NotSupported();
    }
}

Reply EventLoggerService::TextQuery(const Request&, uint16_t type, std::span<const uint8_t> p) {
    const bool classOnly = type == kRequestClassName || type == kRequestClassDetails;
    if (type == kRequestMessageText ? p.size() < kMessageQueryHeadSize
                                    : p.size() != (classOnly ? kClassQuerySize : kEventQuerySize))
        return Malformed();
    const uint32_t lang = Get32(p.data() + 4);
    const EventGuid cls = EventGuid::FromBytes(p.data() + 8);
    switch (type) {
        case kRequestClassName:
            return Reply::Data(TextReply(type, texts_.ClassName(cls, lang)));
        case kRequestClassDetails:
            return Reply::Data(ListReply(type, texts_.ClassDetails(cls, lang)));
        case kRequestCauseRemedy:
            return Reply::Data(ListReply(type, texts_.CauseRemedy(cls, Get32(p.data() + 24), lang)));
        case kRequestEventDetails:
            return Reply::Data(ListReply(type, texts_.EventDetails(cls, Get32(p.data() + 24), lang)));
        default:
            break;
    }
    EventKey key{cls, Get32(p.data() + 24), Get32(p.data() + 28)};
    // The argument descriptor counts its offsets from the payload's start.
    const uint32_t count = Get32(p.data() + 32), typesOffset = Get32(p.data() + 36), typesSize = Get32(p.data() + 40);
    const uint32_t dataOffset = Get32(p.data() + 44), dataSize = Get32(p.data() + 48);
    auto within = [&](uint64_t off, uint64_t size) { return off >= kMessageQueryHeadSize && off + size <= p.size(); };
    if ((typesSize != 0 && !within(typesOffset, typesSize)) || (dataSize != 0 && !within(dataOffset, dataSize)))
        return Malformed();
    std::vector<EventArgument> args;
    auto types = typesSize != 0 ? p.subspan(typesOffset, typesSize) : std::span<const uint8_t>();
    auto data = dataSize != 0 ? p.subspan(dataOffset, dataSize) : std::span<const uint8_t>();
    if (!ParseArguments(count, types, data, args).empty()) return Malformed();
    return Reply::Data(TextReply(type, texts_.MessageText(key, args, lang)));
}

Reply EventLoggerService::Export(const Request& request, uint32_t handle, const StreamValue& body) {
    const StreamValue* name = body.Find("fileName");
    auto fileName = name ? name->Text() : std::nullopt;
    if (!fileName) return Malformed();
    LogSettings settings;
    if (const auto* s = body.Find("settings"); s && !settings.Parse(*s).empty()) return Malformed();
    // The file is written only when its result can be told.
    if (request.readLength < kCommandReplySize) return Reply::SizeHint(kCommandReplySize);
    auto result = [&](uint32_t code, std::string_view text) {
        return Reply::Data(ResultReply(kRequestExport, handle, code, text));
    };
    if (!files_) return result(kResultRefused, "this target has no file system");
    auto path = files_->Resolve(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(fileName->data()),
                                                         fileName->size()));
    if (!path) return result(kResultRefused, "path refused");
    std::error_code ec;
    if (std::filesystem::is_directory(*path, ec)) return result(kResultRefused, "path names a folder");
    if (!std::filesystem::is_directory(path->parent_path(), ec)) return result(kResultNoneFound, "no such folder");

    std::vector<CsvRow> rows;
    {
        std::lock_guard<std::mutex> lk(mutex_);
        VisitLog(settings.oldestFirst, settings.maxCount, &settings.filter, [&](LogRow&& r) {
            rows.push_back(CsvRow{r.seq, std::move(r.event), r.state});
        });
    }
    // Texts and the file are made outside the service lock: notifications go on meanwhile.
    const std::string csv = BuildCsv(rows, settings.delimiter, settings.header, settings.langId, texts_);
    if (!WriteFile(*path, csv)) return result(kResultWriteFailed, "file could not be written");
    return Reply::Data(StreamReply(kRequestExport, handle, 0, {}));
}

Reply EventLoggerService::ResourceRequest(const Request& request) {
    if (request.kind != RequestKind::ReadWrite) return NotSupported();
    if (request.indexOffset == kClearCacheOffset) {
        texts_.ClearCache();
        return Reply::Ok();
    }
    if (!files_) return Reply::Error(MRX_ERR_INVALID_PARAMETER);
    auto path = files_->Resolve(request.data);
    if (!path) return Reply::Error(kErrPathRefused);
    if (request.indexOffset == kUnloadResourceOffset) return Reply::Error(texts_.Unload(path->string()));
    std::string error;
    return Reply::Error(texts_.Load(path->string(), error));
}

}  // namespace ZtSim
