// AdapterTestUtil.h - listeners that record what the router adapter tells them.
#ifndef ZT_TEST_ADAPTER_TEST_UTIL_H
#define ZT_TEST_ADAPTER_TEST_UTIL_H

#include <atomic>
#include <mutex>
#include <vector>

#include "ZtEventLoggerVdlApi/VdlListeners.h"

namespace ZtTest {

using ZtEventLoggerVdlApi::ConnectionState;

class RecordingListener : public ZtEventLoggerVdlApi::IConnectionStateListener {
public:
    explicit RecordingListener(uint32_t refuseConnectedWith = 0) : refuse_(refuseConnectedWith) {}
    uint32_t OnConnectionStateChaned(ConnectionState state) override {
        std::lock_guard<std::mutex> lk(m_);
        states_.push_back(static_cast<int>(state));
        return state == ConnectionState::Connected ? refuse_ : 0;
    }
    std::vector<int> States() {
        std::lock_guard<std::mutex> lk(m_);
        return states_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lk(m_);
        states_.clear();
    }

private:
    std::mutex m_;
    std::vector<int> states_;
    uint32_t refuse_;
};

class SampleListener : public ZtEventLoggerVdlApi::IVdlNotificationListener {
public:
    struct Sample {
        unsigned short port;
        long timeStamp;
        std::vector<uint8_t> bytes;
        long userValue;
    };
    uint32_t OnVdlNotification(unsigned short port, long timeStamp, unsigned long size, void* data,
                               long userValue) override {
        auto* p = static_cast<uint8_t*>(data);
        std::lock_guard<std::mutex> lk(m_);
        samples_.push_back({port, timeStamp, std::vector<uint8_t>(p, p + size), userValue});
        count_++;
        return 0;
    }
    std::vector<Sample> Samples() {
        std::lock_guard<std::mutex> lk(m_);
        return samples_;
    }
    size_t Count() const { return count_.load(); }

private:
    std::mutex m_;
    std::vector<Sample> samples_;
    std::atomic<size_t> count_{0};
};

}  // namespace ZtTest

#endif  // ZT_TEST_ADAPTER_TEST_UTIL_H
