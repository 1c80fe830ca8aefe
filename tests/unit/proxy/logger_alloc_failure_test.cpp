// The factory with each allocation of an event logger's construction failed
// in turn (this executable replaces operator new and wraps malloc): the
// result is the logger or E_OUTOFMEMORY with nothing created and nothing
// leaked (ASan), and the next logger works.
#include "CZtEventLogger.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

#include "../runtime/AllocFailure.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"

extern "C" void* __real_malloc(std::size_t size);
extern "C" void* __real_calloc(std::size_t count, std::size_t size);

namespace {
// Only the constructing thread's allocations are counted and failed: the
// worker thread the logger starts allocates on its own schedule.
const std::thread::id g_testThread = std::this_thread::get_id();
bool FailThisCall() { return std::this_thread::get_id() == g_testThread && ZtTest::AllocFailure::FailThisCall(); }
void* Allocate(std::size_t size) noexcept { return FailThisCall() ? nullptr : __real_malloc(size ? size : 1); }
}  // namespace

extern "C" void* __wrap_malloc(std::size_t size) { return FailThisCall() ? nullptr : __real_malloc(size); }
extern "C" void* __wrap_calloc(std::size_t count, std::size_t size) {
    return FailThisCall() ? nullptr : __real_calloc(count, size);
}

void* ZtTestAllocate(std::size_t size) noexcept { return Allocate(size); }
#include "../runtime/AllocFailureOperators.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using namespace ZtAtlCom;

TEST(LoggerAllocFailure, AFailedConstructionCreatesNothing) {
    HRESULT hr = S_OK;
    IZtEventLogger3* logger = nullptr;
    int failures = 0;
    ZtTest::AllocFailure::FailEachAllocation(
        "logger", 400,
        [&] {
            logger = reinterpret_cast<IZtEventLogger3*>(0x1);
            hr = ZtTest::AllocFailure::Armed([&] {
                return ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtEventLogger, IID_IZtEventLogger3,
                                                                reinterpret_cast<void**>(&logger));
            });
        },
        [&](int n) {
            SCOPED_TRACE("allocation " + std::to_string(n));
            if (hr == S_OK) {
                ASSERT_NE(logger, nullptr);
                VARIANT_BOOL connected = -1;
                EXPECT_EQ(logger->get_IsConnected(&connected), S_OK);
                EXPECT_EQ(logger->Release(), 0u);
            } else {
                ++failures;
                EXPECT_EQ(hr, E_OUTOFMEMORY);
                EXPECT_EQ(logger, reinterpret_cast<IZtEventLogger3*>(0x1)) << "the out-pointer was written";
            }
        });
    EXPECT_GT(failures, 10) << "the construction makes fewer allocations than it should";
    std::printf("%d allocations of the construction failed in turn\n", failures);
}

}  // namespace
