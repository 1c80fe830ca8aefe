// RequestFixture.h - a service proxy connected to the in-process simulator,
// with scripted handlers on the event logger service that record every
// request they are given and answer as the test says.
#ifndef ZT_TEST_REQUEST_FIXTURE_H
#define ZT_TEST_REQUEST_FIXTURE_H

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ReplyBytes.h"
#include "SimFixture.h"
#include "ZtEventLoggerUmProxy.h"
#include "ZtSim/EventLoggerService.h"

namespace ZtTest {

// One request as the service saw it.
struct SeenRequest {
    ZtSim::RequestKind kind;
    uint32_t indexGroup, indexOffset, readLength;
    std::vector<uint8_t> data;
};

class RequestFixture : public SimFixture {
protected:
    using Answer = std::function<ZtSim::Reply(const ZtSim::Request&, int n)>;

    void SetUp() override {
        SimFixture::SetUp();
        service = ZtSim::EventLoggerOf(sim->Local());
        ASSERT_TRUE(service);
        adapter = std::make_shared<ZtEventLoggerVdlApi::VdlR3AdapterCore>();
        proxy = new ZtEventLoggerVdlProxy::ZtEventLoggerUmProxy(adapter, nullptr);
        proxy->ZtAddRef();
        ASSERT_EQ(adapter->Connect("localhost"), 0u);
    }
    void TearDown() override {
        adapter->Disconnect();
        proxy->ZtRelease();
        service.reset();
        SimFixture::TearDown();
    }

    // Serves (group, offset) with answer(request, n), n counting from 0, and
    // records each request.
    void Script(uint32_t group, uint32_t offset, Answer answer) {
        // The service calls a copy of the handler: the count lives outside it.
        auto n = std::make_shared<std::atomic<int>>(0);
        service->SetHandler(group, offset, [this, answer, n](ZtSim::Target&, const ZtSim::Request& r) {
            {
                std::lock_guard<std::mutex> lk(mutex);
                seen.push_back({r.kind, r.indexGroup, r.indexOffset, r.readLength, {r.data.begin(), r.data.end()}});
            }
            return answer(r, (*n)++);
        });
    }
    // The same, always with the given reply.
    void Answers(uint32_t group, uint32_t offset, ZtSim::Reply reply) {
        Script(group, offset, [reply](const ZtSim::Request&, int) { return reply; });
    }
    std::vector<SeenRequest> Seen() {
        std::lock_guard<std::mutex> lk(mutex);
        return seen;
    }
    void Forget() {
        std::lock_guard<std::mutex> lk(mutex);
        seen.clear();
    }

    std::shared_ptr<ZtSim::EventLoggerService> service;
    std::shared_ptr<ZtEventLoggerVdlApi::VdlR3AdapterCore> adapter;
    ZtEventLoggerVdlProxy::ZtEventLoggerUmProxy* proxy = nullptr;
    std::mutex mutex;
    std::vector<SeenRequest> seen;
};

}  // namespace ZtTest

#endif  // ZT_TEST_REQUEST_FIXTURE_H
