// Several threads reading and writing symbols through one target-access
// object: each call has its own handle, and none is left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "AccessFixture.h"

namespace {

class SymbolAccessThreads : public ZtTest::AccessFixture {};

TEST_F(SymbolAccessThreads, HandlesArePerCallAndAllReleased) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 40;
    const char* names[kThreads] = {"MAIN.nInt", "MAIN.nDint", "MAIN.nUint", "MAIN.nLint"};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                const std::string value = std::to_string(t * 1000 + i);
                if (access->Write(names[t], value) != 0) ++failures;
                auto [text, rc] = access->Read(names[t]);
                if (rc != 0 || text != value) ++failures;
                if (access->GetSymbolInfo("MAIN.sText").error != 0) ++failures;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(symbols->LiveHandles(), 0u);
    EXPECT_EQ(symbols->HandleRequests(), static_cast<size_t>(kThreads * kRounds * 2));
}

}  // namespace
