// The texts and resources of the service proxy: message texts, event class
// names, cause/remedy and detail lists, the resource cache and resource files.
// Lookups run on the caller's thread without a lock of the proxy; several may
// run at once.
#include <iterator>
#include <limits>
#include <string_view>

#include "ServiceFrames.h"
#include "ServiceReplies.h"
#include "ZtAtlCom/AtlException.h"
#include "ZtAtlCom/BStr.h"
#include "ZtEventLoggerUmProxy.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::ZtAtlCall;

namespace {

constexpr size_t kQueryReplyBuffer = 2064;
constexpr size_t kReadWriteReplyBuffer = 2048;
constexpr uint32_t kOffsetClearCache = 100;
constexpr uint32_t kOffsetLoadFile = 200;
constexpr uint32_t kOffsetUnloadFile = 300;

// A text lookup: *text receives a new BSTR (null for the empty text) only on
// success; on failure it is left as it was.
HRESULT TextLookup(VdlR3AdapterCore& adapter, const RequestFrame& frame, char** text) {
    ReplyBuffer reply(kQueryReplyBuffer);
    RequestRetry retry(adapter);
    size_t got = 0;
    uint32_t rc = ReadWrite(adapter, kGroupQuery, 0, frame.data(), frame.size(), reply, retry, got);
    if (rc != 0) return VdlErrorToHResult(rc);
    std::string_view found;
    HRESULT hr = ParseTextReply(reply.data(), got, &found);
    if (ZtAtlCom::Failed(hr)) return hr;
    ZtAtlCom::BSTR copy = nullptr;
    if (!found.empty()) {
        copy = ZtAtlCom::SysAllocStringByteLen(found.data(), static_cast<ZtAtlCom::UINT>(found.size()));
        if (copy == nullptr) return ZtAtlCom::E_OUTOFMEMORY;
    }
    *text = copy;
    return ZtAtlCom::S_OK;
}

// A list lookup: one Entry (three texts) per reply entry, appended only when
// the whole reply reads. Every failure of the request or the reply is
// E_FAIL; the Vdl error is not passed on.
template <class Entry>
HRESULT ListLookup(VdlR3AdapterCore& adapter, const RequestFrame& frame, std::vector<Entry>& out) {
    ReplyBuffer reply(kQueryReplyBuffer);
    RequestRetry retry(adapter, RequestRetry::SizeRetry::Uncounted);
    size_t got = 0;
    if (ReadWrite(adapter, kGroupQuery, 0, frame.data(), frame.size(), reply, retry, got) != 0) return ZtAtlCom::E_FAIL;
    std::vector<std::string_view> texts;
    if (ZtAtlCom::Failed(ParseListReply(reply.data(), got, texts))) return ZtAtlCom::E_FAIL;
    std::vector<Entry> entries;
    entries.reserve(texts.size() / 3);
    for (size_t i = 0; i + 2 < texts.size(); i += 3)
        entries.push_back(Entry{std::string(texts[i]), std::string(texts[i + 1]), std::string(texts[i + 2])});
    out.reserve(out.size() + entries.size());
    out.insert(out.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
    return ZtAtlCom::S_OK;
}

}  // namespace

HRESULT ZtEventLoggerUmProxy::GetMessageString(const ZtEventKey& key,
                                               const ZtEventLoggerCommon::ZtEventArguments& arguments,
                                               void* argumentData, int64_t languageId, char** text) {
    if (text == nullptr) return ZtAtlCom::E_POINTER;
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall(
        [&] { return TextLookup(*m_adapter, MessageTextFrame(key, arguments, argumentData, languageId), text); });
}

HRESULT ZtEventLoggerUmProxy::GetEventClassName(const GUID& eventClass, int64_t languageId, char** text) {
    if (text == nullptr) return ZtAtlCom::E_POINTER;
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] { return TextLookup(*m_adapter, ClassNameFrame(eventClass, languageId), text); });
}

HRESULT ZtEventLoggerUmProxy::GetCauseRemedy(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                                             std::vector<CauseRemedy>& out) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] { return ListLookup(*m_adapter, CauseRemedyFrame(eventClass, eventId, languageId), out); });
}

HRESULT ZtEventLoggerUmProxy::GetEventClassDetails(const GUID& eventClass, int64_t languageId,
                                                   std::vector<Detail>& out) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] { return ListLookup(*m_adapter, ClassDetailsFrame(eventClass, languageId), out); });
}

HRESULT ZtEventLoggerUmProxy::GetEventDetails(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                                              std::vector<Detail>& out) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] { return ListLookup(*m_adapter, EventDetailsFrame(eventClass, eventId, languageId), out); });
}

// The reply is read (and retried for) but not looked at.
HRESULT ZtEventLoggerUmProxy::VdlSyncReadWrite(unsigned long indexGroup, unsigned long indexOffset,
                                               unsigned long writeLength, const void* writeData) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    if (indexGroup > std::numeric_limits<uint32_t>::max() || indexOffset > std::numeric_limits<uint32_t>::max())
        return ZtAtlCom::E_INVALIDARG;
    return ZtAtlCall([&] {
        ReplyBuffer reply(kReadWriteReplyBuffer);
        RequestRetry retry(*m_adapter);
        size_t got = 0;
        return VdlErrorToHResult(ReadWrite(*m_adapter, static_cast<uint32_t>(indexGroup),
                                           static_cast<uint32_t>(indexOffset), writeData, writeLength, reply, retry,
                                           got));
    });
}

HRESULT ZtEventLoggerUmProxy::ClearResourceCache() {
    return VdlSyncReadWrite(kGroupResource, kOffsetClearCache, 0, nullptr);
}

// The path goes with its NUL.
HRESULT ZtEventLoggerUmProxy::LoadResourceFile(const std::string& path) {
    if (path.empty()) return ZtAtlCom::E_INVALIDARG;
    return VdlSyncReadWrite(kGroupResource, kOffsetLoadFile, path.size() + 1, path.c_str());
}

HRESULT ZtEventLoggerUmProxy::UnloadResourceFile(const std::string& path) {
    if (path.empty()) return ZtAtlCom::E_INVALIDARG;
    return VdlSyncReadWrite(kGroupResource, kOffsetUnloadFile, path.size() + 1, path.c_str());
}

}  // namespace ZtEventLoggerVdlProxy
