// watch keeps working across a simulator restart: it says the link was
// lost, reconnects, and reports how the active list changed meanwhile; the
// demo runs by itself for a few seconds and ends.
#include <rapidjson/document.h>

#include <thread>

#include "ToolFixture.h"

namespace {

using namespace std::chrono_literals;

// The JSON lines of the text whose "change" is the one given.
std::vector<std::string> Changes(const std::string& text, const std::string& change) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a line still being written
        std::string line = text.substr(start, end - start);
        start = end + 1;
        rapidjson::Document d;
        d.Parse(line.c_str());
        if (!d.HasParseError() && d.IsObject() && d.HasMember("change") && d["change"].GetString() == change)
            lines.push_back(line);
    }
    return lines;
}

TEST(ToolWatch, ReconnectsAcrossASimulatorRestart) {
    auto sim = std::make_unique<ZtSim::Simulator>(ZtTest::ToolSimOptions());
    const uint16_t port = sim->Port();
    ::setenv("ZT_MRX_ROUTER", sim->Address().c_str(), 1);
    auto events = ZtSim::EventLoggerOf(sim->Local());
    ASSERT_EQ(events->RaiseAlarm(ZtTest::AxisAlarm(10, "Z")), ZtSim::EventResult::Ok);

    ZtTest::SharedText out, err;
    std::ostream outStream(&out), errStream(&err);
    std::atomic<bool> stop{false};
    int rc = -1;
    std::thread watch([&] {
        rc = ZtEventLog::RunCli({"--json", "watch", "--heartbeat", "300"}, {outStream, errStream, false, false}, &stop);
    });
    // A failed assertion ends the watch too, before the streams go.
    struct Join {
        std::atomic<bool>& stop;
        std::thread& thread;
        ~Join() {
            stop = true;
            if (thread.joinable()) thread.join();
        }
    } join{stop, watch};
    auto waitFor = [&](const char* change, size_t count) {
        return ZtTest::WaitFor([&] { return Changes(out.Text(), change).size() >= count; }, 15000);
    };
    EXPECT_TRUE(waitFor("connected", 1)) << out.Text();
    EXPECT_TRUE(waitFor("active", 1)) << out.Text();  // the list follows its heading line
    ASSERT_EQ(events->RaiseAlarm(ZtTest::AxisAlarm(11, "Y")), ZtSim::EventResult::Ok);
    EXPECT_TRUE(waitFor("raised", 1)) << out.Text();

    // The controller goes away and comes back on the same address with another list.
    events.reset();
    sim.reset();
    EXPECT_TRUE(waitFor("link-lost", 1)) << out.Text();
    ZtSim::SimOptions again = ZtTest::ToolSimOptions(port);
    sim = std::make_unique<ZtSim::Simulator>(again);
    events = ZtSim::EventLoggerOf(sim->Local());
    ZtSim::EventDescription spindle = ZtTest::AxisAlarm(11, "Y");
    spindle.eventId = 12;
    ASSERT_EQ(events->RaiseAlarm(ZtTest::AxisAlarm(11, "Y")), ZtSim::EventResult::Ok);
    ASSERT_EQ(events->RaiseAlarm(spindle), ZtSim::EventResult::Ok);
    ASSERT_TRUE(waitFor("reconnected", 1)) << out.Text() << err.Text();
    rapidjson::Document back;
    back.Parse(Changes(out.Text(), "reconnected").front().c_str());
    EXPECT_EQ(back["active"].GetInt(), 2);
    EXPECT_EQ(back["new"].GetInt(), 1);      // id 12
    EXPECT_EQ(back["gone"].GetInt(), 1);     // id 10
    EXPECT_EQ(back["changed"].GetInt(), 1);  // id 11, raised again at another time
    ASSERT_TRUE(waitFor("gone", 1)) << out.Text();
    EXPECT_EQ(Changes(out.Text(), "gone").size(), 1u);
    EXPECT_NE(Changes(out.Text(), "gone")[0].find("\"id\":10"), std::string::npos);

    // Events of the new link arrive, and Ctrl-C ends the watch cleanly.
    ASSERT_EQ(events->ClearAlarm(spindle), ZtSim::EventResult::Ok);
    EXPECT_TRUE(waitFor("cleared", 1)) << out.Text();
    stop = true;
    watch.join();
    EXPECT_EQ(rc, 0) << err.Text();
    EXPECT_TRUE(ZtTest::WaitFor([&] { return sim->SubscriptionCount() == 0; }, 3000)) << "the watch unsubscribed";
}

TEST(ToolWatch, FirstConnectionToAWrongTargetEnds) {
    ZtSim::Simulator sim(ZtTest::ToolSimOptions());
    ::setenv("ZT_MRX_ROUTER", sim.Address().c_str(), 1);
    const ZtTest::ToolRun r = ZtTest::RunTool({"-t", "NoSuchRoute", "watch"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("ZT_E_VDL_TARGET_NOT_FOUND"), std::string::npos) << r.err;
}

TEST(ToolDemo, RunsAFewSecondsAndEnds) {
    const auto start = std::chrono::steady_clock::now();
    const ZtTest::ToolRun r = ZtTest::RunTool({"--json", "demo", "--seconds", "3", "--speed", "4"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_LT(took, 15s);
    EXPECT_GE(Changes(r.out, "raised").size(), 3u) << r.out;
    EXPECT_GE(Changes(r.out, "message").size(), 1u) << r.out;
    EXPECT_GE(Changes(r.out, "confirmed").size(), 1u) << r.out;
}

}  // namespace
