// zt-gateway as a program: killed while the broker is away and started
// again (the durable queue is delivered, the sequence goes on), and bad
// configurations (exit status 2 and a message naming the place).
#include "GatewayFixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ZtTest {
namespace {

class Child {
public:
    Child(const std::string& config, const std::string& errFile) {
        pid_ = ::fork();
        if (pid_ == 0) {
            int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            ::dup2(fd, 2);
            ::execl(ZT_GATEWAY_EXE, "zt-gateway", "--config", config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Child() {
        if (pid_ > 0) Signal(SIGKILL);
    }
    int Signal(int sig) {
        ::kill(pid_, sig);
        return Wait();
    }
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class GatewayProcessTest : public GatewayFixture {
protected:
    void SetUp() override {
        GatewayFixture::SetUp();
        char tmpl[] = "/tmp/zt-gateway-test-XXXXXX";
        dir = ::mkdtemp(tmpl);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        GatewayFixture::TearDown();
    }
    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(dir + "/" + name) << text;
        return dir + "/" + name;
    }
    int64_t QueuedEvents() {
        sqlite3* db = nullptr;
        int64_t n = -1;
        if (sqlite3_open_v2((dir + "/queue.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT count(*) FROM queue WHERE kind = 0", -1, &s, nullptr) == SQLITE_OK &&
                sqlite3_step(s) == SQLITE_ROW) {
                n = sqlite3_column_int64(s, 0);
            }
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
        return n;
    }
    std::string dir;
};

TEST_F(GatewayProcessTest, KilledWhileTheBrokerIsAwayDeliversItsQueueAfterARestart) {
    MosquittoBroker broker;  // not started yet
    std::string config = Write("gateway.json", R"({"id": "gw2", "topicPrefix": "zt", "router": ")" + sim->Address() +
                                                   R"(", "targets": [{"name": "press", "target": "Press"}],
        "broker": {"port": )" + std::to_string(broker.Port()) + R"(}, "queue": {"path": "queue.sqlite"}})");
    auto& press = Service("Press");
    {
        Child gateway(config, dir + "/stderr.txt");
        ASSERT_TRUE(WaitFor([&] { return press.LoggedEventCount() == 0 && sim->SubscriptionCount() > 0; }));
        for (uint32_t id : {1u, 2u, 3u}) press.RaiseAlarm(GwEvent(id));
        press.ClearAlarm(GwEvent(2));
        ASSERT_TRUE(WaitFor([&] { return QueuedEvents() == 4; })) << Slurp(dir + "/stderr.txt");
        gateway.Signal(SIGKILL);
    }
    ASSERT_TRUE(broker.Start());
    MqttProbe probe(broker.Port());
    ASSERT_TRUE(probe.Connect({"zt/#"}));
    Child gateway(config, dir + "/stderr.txt");
    ASSERT_TRUE(probe.WaitFor([&](auto&) { return EventsOf(probe, "zt/press/events").size() >= 4; }));
    // The status the first run queued, then the second run's own.
    ASSERT_TRUE(WaitStatus(probe, {"press"}, "online", 2));
    press.RaiseAlarm(GwEvent(4));
    ASSERT_TRUE(probe.WaitFor([&](auto&) { return EventsOf(probe, "zt/press/events").size() >= 5; }));
    auto events = EventsOf(probe, "zt/press/events");
    EXPECT_EQ(Transitions(events),
              (std::vector<std::string>{"raised 1", "raised 2", "raised 3", "cleared! 2", "raised 4"}));
    for (size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i].seq, i + 1);
    ASSERT_TRUE(probe.WaitFor([&](auto&) {
        return Topics(MqttProbe::RetainedState(broker.Port(), "zt/press/alarms/#")) ==
               std::set<std::string>{AlarmTopic("press", 1), AlarmTopic("press", 3), AlarmTopic("press", 4)};
    }));
    EXPECT_EQ(gateway.Signal(SIGTERM), 0);
    auto status = probe.On("zt/gateway/gw2/status");
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(JsonField(status.back().payload, "state"), "offline");
    EXPECT_NE(Slurp(dir + "/stderr.txt").find("INFO  gateway: stopped; stats"), std::string::npos);
}

TEST_F(GatewayProcessTest, BadConfigurationExitsWithStatusTwoNamingThePlace) {
    struct Case {
        std::string text, message;
    } cases[] = {
        {"{", "gateway.json: line 1, column 2: "},
        {R"({"targets": []})", "targets: expected a list of at least one target"},
        {R"({"targets": [{"name": "a", "target": "x"}, {"name": "b", "target": "y", "router": "nohost"}]})",
         "targets[1].router: expected \"host:port\""},
        {R"({"targets": [{"name": "a/b", "target": "x"}]})", "targets[0].name: expected 1-64 characters"},
        {R"({"targets": [{"name": "a", "target": "x"}], "broker": {"port": 70000}})",
         "broker.port: expected a whole number from 1 to 65535"},
        {R"({"targets": [{"name": "a", "target": "x"}], "commands": ["reboot"]})", "commands[0]: expected one of"},
        {R"({"targets": [{"name": "a", "target": "x"}], "broker": {"user": "u", "passwordFile": "missing"}})",
         "broker.passwordFile: cannot read"},
        {R"({"targets": [{"name": "a", "target": "x"}], "topicPrefix": "plant/#"})", "topicPrefix: expected"},
        {R"({"targets": [{"name": "a", "target": "x", "langauges": [1031]}]})",
         "targets[0].langauges: unknown member"},
    };
    for (const Case& c : cases) {
        std::string path = Write("gateway.json", c.text);
        std::string err = dir + "/err.txt";
        std::filesystem::remove(err);
        Child gateway(path, err);
        EXPECT_EQ(gateway.Wait(), 2) << c.text;
        EXPECT_NE(Slurp(err).find(c.message), std::string::npos) << c.text << " -> " << Slurp(err);
    }
}

}  // namespace
}  // namespace ZtTest
