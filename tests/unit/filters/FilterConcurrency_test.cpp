#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"

#include "RecordingStreamWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace filter_test;

// Adds, snapshots, groups and settings copies from several threads at once:
// each snapshot is whole (refused as a whole, or written as one array) and
// two filters added to each other at the same time do not deadlock.
TEST(FilterConcurrency, AddSerializeAndCrossGroupingDoNotRace) {
    auto a = NewFilter();
    auto b = NewFilter();
    auto settings = Make<IZtExportSettings>(CLSID_ZtExportSettings);
    constexpr int kRounds = 1000;
    std::atomic<int> torn{0};

    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            a->AddEventIdExpression(i, FilterEqual);
            a->AddLogicalOperator();
            a->AddSourceNameExpression(Bstr("Axis"), FilterContains);
            if (i % 20 == 19) a->Clear();
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            a->AddExpressionGroup(b);
            b->AddExpressionGroup(a);
            if (i % 20 == 19) b->Clear();
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            const std::string written = Written(a);
            if (written != "(refused)" && (written.front() != '[' || written.back() != ']')) ++torn;
            settings->put_Filter(i % 2 ? a : b);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) FaultOf(settings);  // checks IsValid against the message
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(torn.load(), 0);
}

}  // namespace
