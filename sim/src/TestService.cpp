#include "ZtSim/TestService.h"

#include "ZtSim/Target.h"

namespace ZtSim {

void TestService::SetData(uint32_t group, uint32_t offset, std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> lk(mutex_);
    data_[{group, offset}] = std::move(bytes);
}

void TestService::SetError(uint32_t group, uint32_t offset, uint32_t error) {
    std::lock_guard<std::mutex> lk(mutex_);
    errors_[{group, offset}] = error;
}

void TestService::ClearError(uint32_t group, uint32_t offset) {
    std::lock_guard<std::mutex> lk(mutex_);
    errors_.erase({group, offset});
}

std::vector<uint8_t> TestService::Data(uint32_t group, uint32_t offset) {
    std::lock_guard<std::mutex> lk(mutex_);
    auto it = data_.find({group, offset});
    return it == data_.end() ? std::vector<uint8_t>() : it->second;
}

std::tuple<uint16_t, uint16_t, std::vector<uint8_t>> TestService::LastControl() {
    std::lock_guard<std::mutex> lk(mutex_);
    return lastControl_;
}

Reply TestService::Handle(Target& target, const Request& request) {
    requests_.fetch_add(1);
    if (request.kind == RequestKind::ReadState) return Default(target, request);
    std::lock_guard<std::mutex> lk(mutex_);
    if (request.kind == RequestKind::WriteControl) {
        lastControl_ = {request.vdlState, request.deviceState,
                        std::vector<uint8_t>(request.data.begin(), request.data.end())};
        return Reply::Ok();
    }
    Key key{request.indexGroup, request.indexOffset};
    if (auto e = errors_.find(key); e != errors_.end()) return Reply::Error(e->second);
    switch (request.kind) {
        case RequestKind::Write:
            data_[key].assign(request.data.begin(), request.data.end());
            return Reply::Ok();
        case RequestKind::ReadWrite:
            if (request.indexGroup == kEchoGroup)
                return Reply::Data(std::vector<uint8_t>(request.data.begin(), request.data.end()));
            [[fallthrough]];
        case RequestKind::Read: {
            auto it = data_.find(key);
            if (it == data_.end()) return Reply::Error(MRX_ERR_NOT_FOUND);
            return Reply::Data(it->second);
        }
        default:
            return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
    }
}

uint32_t TestService::CanSubscribe(Target&, uint32_t, uint32_t) { return 0; }

}  // namespace ZtSim
