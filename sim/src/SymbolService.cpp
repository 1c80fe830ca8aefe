#include "ZtSim/SymbolService.h"

#include <algorithm>
#include <cstring>

#include "MrxWire.h"

namespace ZtSim {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The name a client wrote: up to its NUL, or all of it.
std::string_view WrittenName(std::span<const uint8_t> data) {
    std::string_view s(reinterpret_cast<const char*>(data.data()), data.size());
    if (auto nul = s.find('\0'); nul != std::string_view::npos) s = s.substr(0, nul);
    return s;
}

}  // namespace

SymbolService::SymbolService(std::vector<SymbolDefinition> symbols) {
    for (auto& s : symbols) AddSymbol(std::move(s));
}

void SymbolService::AddSymbol(SymbolDefinition symbol) {
    std::lock_guard<std::mutex> lk(mutex_);
    symbol.value.resize(symbol.size, 0);
    auto key = Lower(symbol.name);
    if (auto it = symbols_.find(key); it != symbols_.end()) {
        symbol.indexOffset = it->second.indexOffset;
    } else {
        symbol.indexOffset = nextOffset_;
        nextOffset_ += (symbol.size + 3u) & ~3u;
    }
    symbols_[key] = std::move(symbol);
}

SymbolDefinition* SymbolService::FindLocked(std::string_view name) {
    auto it = symbols_.find(Lower(name));
    return it == symbols_.end() ? nullptr : &it->second;
}

std::optional<SymbolDefinition> SymbolService::Find(const std::string& name) const {
    std::lock_guard<std::mutex> lk(mutex_);
    auto it = symbols_.find(Lower(name));
    if (it == symbols_.end()) return std::nullopt;
    return it->second;
}

std::vector<uint8_t> SymbolService::Value(const std::string& name) const {
    auto s = Find(name);
    return s ? s->value : std::vector<uint8_t>();
}

bool SymbolService::SetValue(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lk(mutex_);
    SymbolDefinition* s = FindLocked(name);
    if (s == nullptr || bytes.size() > s->value.size()) return false;
    std::copy(bytes.begin(), bytes.end(), s->value.begin());
    return true;
}

size_t SymbolService::LiveHandles() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return handles_.size();
}

std::vector<uint8_t> SymbolService::InfoRecord(const SymbolDefinition& symbol) {
    const size_t length = 30 + symbol.name.size() + 1 + symbol.typeName.size() + 1 + symbol.comment.size() + 1;
    Bytes b;
    b.U32(static_cast<uint32_t>(length))
        .U32(symbol.indexGroup)
        .U32(symbol.indexOffset)
        .U32(symbol.size)
        .U32(symbol.type)
        .U32(0)  // flags
        .U16(static_cast<uint16_t>(symbol.name.size()))
        .U16(static_cast<uint16_t>(symbol.typeName.size()))
        .U16(static_cast<uint16_t>(symbol.comment.size()))
        .Text(symbol.name)
        .Text(symbol.typeName)
        .Text(symbol.comment);
    return b.Take();
}

Reply SymbolService::Handle(Target& target, const Request& request) {
    if (request.kind == RequestKind::ReadState) return Default(target, request);
    const bool readWrite = request.kind == RequestKind::ReadWrite;
    std::lock_guard<std::mutex> lk(mutex_);
    switch (request.indexGroup) {
        case kSymHandleByName: {
            if (!readWrite) break;
            handleRequests_.fetch_add(1);
            SymbolDefinition* s = FindLocked(WrittenName(request.data));
            if (s == nullptr) return Reply::Error(kErrSymbolNotFound);
            // A client that cannot take the handle would never release it.
            if (request.readLength < 4) return Reply::SizeHint(4);
            uint32_t handle = nextHandle_++;
            if (nextHandle_ == 0) nextHandle_ = 1;
            handles_[handle] = Lower(s->name);
            return Reply::Data(Bytes().U32(handle).Take());
        }
        case kSymInfoByName: {
            if (!readWrite) break;
            SymbolDefinition* s = FindLocked(WrittenName(request.data));
            if (s == nullptr) return Reply::Error(kErrSymbolNotFound);
            return Reply::Data(InfoRecord(*s));
        }
        case kSymValueByHandle: {
            auto h = handles_.find(request.indexOffset);
            if (h == handles_.end()) return Reply::Error(MRX_ERR_NOT_FOUND);
            SymbolDefinition& s = symbols_.at(h->second);
            if (request.kind == RequestKind::Read) return Reply::Data(s.value);
            if (request.kind == RequestKind::Write) {
                if (request.data.size() > s.value.size()) return Reply::Error(MRX_ERR_INVALID_SIZE);
                std::copy(request.data.begin(), request.data.end(), s.value.begin());
                return Reply::Ok();
            }
            break;
        }
        case kSymReleaseHandle: {
            if (request.kind != RequestKind::Write && !readWrite) break;
            if (request.data.size() != 4) return Reply::Error(MRX_ERR_INVALID_DATA);
            uint32_t handle = ZtMrxWire::Get32(request.data.data());
            if (handles_.erase(handle) == 0) return Reply::Error(MRX_ERR_NOT_FOUND);
            return Reply::Ok();
        }
        default:
            break;
    }
    return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
}

}  // namespace ZtSim
