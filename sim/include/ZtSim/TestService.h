// TestService.h - a service for tests on port kTestPort of the local target.
//
// Read: the bytes set for (group, offset), 1804 when none. Write: stores the
// bytes as the value of (group, offset). Read-write on kEchoGroup answers the
// written bytes; on other groups the bytes set for (group, offset). Errors set
// with SetError win over data. Every group and offset may be subscribed to.
#ifndef ZT_SIM_TEST_SERVICE_H
#define ZT_SIM_TEST_SERVICE_H

#include <atomic>
#include <map>
#include <mutex>
#include <utility>

#include "SimTypes.h"

namespace ZtSim {

constexpr uint32_t kEchoGroup = 1;

class TestService : public Service {
public:
    void SetData(uint32_t group, uint32_t offset, std::vector<uint8_t> bytes);
    void SetError(uint32_t group, uint32_t offset, uint32_t error);
    void ClearError(uint32_t group, uint32_t offset);
    std::vector<uint8_t> Data(uint32_t group, uint32_t offset);
    // The last write control request (vdl state, device state, data).
    std::tuple<uint16_t, uint16_t, std::vector<uint8_t>> LastControl();
    size_t RequestCount() const { return requests_.load(); }

    Reply Handle(Target& target, const Request& request) override;
    uint32_t CanSubscribe(Target& target, uint32_t indexGroup, uint32_t indexOffset) override;

private:
    using Key = std::pair<uint32_t, uint32_t>;
    std::mutex mutex_;
    std::map<Key, std::vector<uint8_t>> data_;
    std::map<Key, uint32_t> errors_;
    std::tuple<uint16_t, uint16_t, std::vector<uint8_t>> lastControl_;
    std::atomic<size_t> requests_{0};
};

}  // namespace ZtSim

#endif  // ZT_SIM_TEST_SERVICE_H
