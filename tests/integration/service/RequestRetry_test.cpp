// The retry policy of service requests against a simulated service that
// answers "port not open", "buffer too small" and other errors.
#include "ServiceProtocol.h"

#include <gtest/gtest.h>

#include <atomic>

#include "SimFixture.h"
#include "ZtEventLoggerVdlApi/VdlR3AdapterCore.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using ZtEventLoggerVdlApi::VdlR3AdapterCore;

// Answers the first `busy` requests with error 6, then asks for `growth` more
// bytes than the reply buffer it was given, then succeeds with `size` bytes.
class ScriptedService : public ZtSim::Service {
public:
    ZtSim::Reply Handle(ZtSim::Target&, const ZtSim::Request& r) override {
        int n = requests++;
        if (r.kind == ZtSim::RequestKind::ReadState) return ZtSim::Reply::State(5, 0);
        if (n < busy) return ZtSim::Reply::Error(6);
        if (n < busy + growths) return ZtSim::Reply::SizeHint(r.readLength + growth);
        if (error != 0) return ZtSim::Reply::Error(error);
        return ZtSim::Reply::Data(std::vector<uint8_t>(size, 0x42));
    }
    int busy = 0, growths = 0;
    uint32_t growth = 1000, size = 10, error = 0;
    std::atomic<int> requests{0};
};

class Retry : public ZtTest::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        service = std::make_shared<ScriptedService>();
        sim->Local().AddService(kServicePort, service);
        ASSERT_EQ(adapter.Connect("localhost"), 0u);
    }
    uint32_t Run(RequestRetry& retry, ReplyBuffer& reply) {
        return retry.Run(reply, [&](ReplyBuffer& buf) {
            unsigned long n = 0;
            uint8_t w[4] = {1, 2, 3, 4};
            return adapter.VdlSyncReadWriteReq(kServicePort, kGroupQuery, 0, buf.size(), buf.data(), 4, w, n);
        });
    }
    std::shared_ptr<ScriptedService> service;
    VdlR3AdapterCore adapter;
};

TEST_F(Retry, BusyServiceIsRetriedTwentyTimes) {
    struct Case {
        int busy;
        uint32_t result;
        int requests;
    } cases[] = {{3, 0, 4}, {20, 0, 21}, {21, 6, 21}};
    for (const auto& c : cases) {
        service->requests = 0;
        service->busy = c.busy;
        RequestRetry retry(adapter);
        ReplyBuffer reply(2064);
        EXPECT_EQ(Run(retry, reply), c.result) << c.busy;
        EXPECT_EQ(service->requests.load(), c.requests) << c.busy;
    }
}

TEST_F(Retry, SizeRetriesCountedOrNot) {
    struct Case {
        RequestRetry::SizeRetry rule;
        int growths;
        uint32_t result;
        size_t finalSize;
    } cases[] = {
        {RequestRetry::SizeRetry::Counted, 1, 0, 3064},
        {RequestRetry::SizeRetry::Counted, 3, 0, 5064},      // counter 0, 1, 2 allowed
        {RequestRetry::SizeRetry::Counted, 4, 1797, 5064},   // the fourth is refused
        {RequestRetry::SizeRetry::Uncounted, 6, 0, 8064},
    };
    for (const auto& c : cases) {
        service->requests = 0;
        service->growths = c.growths;
        RequestRetry retry(adapter, c.rule);
        ReplyBuffer reply(2064);
        EXPECT_EQ(Run(retry, reply), c.result) << c.growths;
        EXPECT_EQ(reply.size(), c.finalSize) << c.growths;
    }
}

TEST_F(Retry, UselessHintsAndOtherErrorsStop) {
    // A 1797 without a size hint leaves the buffer's own bytes: no growth, stop.
    service->error = 1797;
    RequestRetry retry(adapter);
    ReplyBuffer reply(2064, 0);
    EXPECT_EQ(Run(retry, reply), 1797u);
    EXPECT_EQ(service->requests.load(), 1);
    // A hint beyond what any reply can carry is not followed.
    service->requests = 0;
    service->error = 0;
    service->growths = 1;
    service->growth = RequestRetry::kMaxReplySize;
    RequestRetry big(adapter);
    EXPECT_EQ(Run(big, reply), 1797u);
    EXPECT_EQ(reply.size(), 2064u);
    // Any other error stops at once; so does a link that is down.
    service->requests = 0;
    service->growths = 0;
    service->error = 1804;
    RequestRetry other(adapter);
    EXPECT_EQ(Run(other, reply), 1804u);
    EXPECT_EQ(service->requests.load(), 1);
    service->error = 0;
    service->busy = 100;
    adapter.Disconnect();
    RequestRetry down(adapter);
    EXPECT_NE(Run(down, reply), 0u);
    EXPECT_EQ(down.Counter(), 0);
}

}  // namespace
