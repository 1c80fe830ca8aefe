// The gateway's parts without a broker: the durable queue (order, bounds,
// drops, what survives a reopen) and the command topics.
#include <gtest/gtest.h>

#include <filesystem>

#include "DurableQueue.h"
#include "TopicMap.h"

namespace ZtGateway {
namespace {

QueueCommit Rows(const std::string& target, std::vector<std::pair<std::string, bool>> topics) {
    QueueCommit c;
    c.target = target;
    for (auto& [topic, retain] : topics) {
        c.items.push_back(QueueItem{0, {}, retain ? ItemKind::Retained : ItemKind::Event, topic,
                                    std::string(100, 'x'), retain});
        if (retain) c.record.emplace_back(topic, std::string(100, 'x'));
    }
    return c;
}

TEST(DurableQueue, OrderBoundsDropsAndReopen) {
    std::string path = "/tmp/zt-gateway-queue-" + std::to_string(::getpid()) + ".sqlite";
    std::filesystem::remove(path);
    std::string openError;
    {
        auto q = DurableQueue::Open(path, {5, 1u << 20}, openError);
        ASSERT_TRUE(q);
        QueueDrops drops;  // the writer's reports, read after Flush
        q->SetObserver({{}, [&](const QueueDrops& d) {
                            for (auto& [t, n] : d.byTarget) drops.byTarget[t] += n;
                            drops.retained.insert(drops.retained.end(), d.retained.begin(), d.retained.end());
                        }});
        QueueCommit first = Rows("a", {{"t/a/alarms/1", true}, {"t/a/events", false}});
        first.nextSequence = 3;
        q->Append(first);
        q->Append(Rows("b", {{"t/b/events", false}, {"t/b/events", false}}));
        q->Flush();
        EXPECT_EQ(drops.Total(), 0u);
        // Two more than the bound: the two oldest go, counted for their target,
        // and the dropped retained message leaves its topic unknown.
        q->Append(Rows("b", {{"t/b/events", false}, {"t/b/events", false}, {"t/b/events", false}}));
        q->Flush();
        EXPECT_EQ(drops.byTarget, (std::map<std::string, uint64_t>{{"a", 2}}));
        EXPECT_EQ(drops.retained, (std::vector<std::pair<std::string, std::string>>{{"a", "t/a/alarms/1"}}));
        EXPECT_EQ(q->Count(), 5u);
        EXPECT_EQ(q->Bytes(), 5u * (100 + 10));
        EXPECT_TRUE(q->Record("a").at("t/a/alarms/1").unknown);
        auto items = q->Peek(0, 10);
        ASSERT_EQ(items.size(), 5u);
        for (size_t i = 1; i < items.size(); ++i) EXPECT_GT(items[i].id, items[i - 1].id);
        EXPECT_EQ(q->Peek(items[1].id, 10).size(), 3u);
        q->Remove({items[0].id, items[1].id, items[0].id});  // a repeated ack is harmless
        q->Flush();
        EXPECT_EQ(q->Count(), 3u);
        EXPECT_EQ(q->CountFor("b"), 3u);
    }
    auto q = DurableQueue::Open(path, {5, 1u << 20}, openError);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->Count(), 3u);
    EXPECT_EQ(q->NextSequence("a"), 3u);
    EXPECT_EQ(q->NextSequence("new"), 1u);
    // Ids never come back, even once the queue was empty.
    auto left = q->Peek(0, 10);
    q->Remove({left[0].id, left[1].id, left[2].id});
    q->Flush();
    q->Append(Rows("a", {{"t/a/events", false}}));
    q->Flush();
    EXPECT_GT(q->Peek(0, 1).at(0).id, left[2].id);
    q.reset();
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-wal");
    std::filesystem::remove(path + "-shm");
}

TEST(DurableQueue, RefusesAFileThatIsNotItsOwn) {
    std::string error;
    EXPECT_FALSE(DurableQueue::Open("/proc/version", {}, error));
    EXPECT_NE(error.find("queue \"/proc/version\""), std::string::npos);
}

TEST(TopicMap, CommandTopics) {
    TopicMap t("plant/zt", "gw");
    struct {
        const char* topic;
        bool ok;
        const char* target;
        const char* verb;
    } cases[] = {
        {"plant/zt/press/cmd/confirm", true, "press", "confirm"},
        {"plant/zt/press/cmd/result", false, "", ""},
        {"plant/zt/press/cmd/confirm/x", false, "", ""},
        {"plant/zt/press/cmd/", false, "", ""},
        {"plant/ztx/press/cmd/log", false, "", ""},
        {"plant/zt//cmd/log", false, "", ""},
        {"other/press/cmd/log", false, "", ""},
    };
    for (const auto& c : cases) {
        std::string target, verb;
        EXPECT_EQ(t.ParseCommand(c.topic, target, verb), c.ok) << c.topic;
        if (c.ok) {
            EXPECT_EQ(target + "/" + verb, std::string(c.target) + "/" + c.verb);
        }
    }
    std::string target;
    EXPECT_TRUE(t.ParseAlarm("plant/zt/press/alarms/4A6F1C2E-8B3D-4F51-9C07-2E5B7A9D1F30/10/3", target));
    EXPECT_EQ(target, "press");
    EXPECT_FALSE(t.ParseAlarm("plant/zt/press/events", target));
    EXPECT_EQ(t.Alarm("press", "{4a6f1c2e-8b3d-4f51-9c07-2e5b7a9d1f30}", 10, 3),
              "plant/zt/press/alarms/4A6F1C2E-8B3D-4F51-9C07-2E5B7A9D1F30/10/3");
}

}  // namespace
}  // namespace ZtGateway
