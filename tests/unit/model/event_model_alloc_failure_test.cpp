// Every allocation the event model makes is failed in turn (this executable
// replaces the global operator new and wraps malloc): each operation must
// then succeed or report E_OUTOFMEMORY with nothing reported, the list and
// the objects as they were, and nothing leaked (ASan).
#include "CZtArguments.h"
#include "CZtSourceInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <set>

#include "../runtime/AllocFailure.h"
#include "ModelFakes.h"
#include "ZtAtlCom/ComVariant.h"

extern "C" void* __real_malloc(std::size_t size);
extern "C" void* __real_calloc(std::size_t count, std::size_t size);

using ZtTest::AllocFailure::FailThisCall;

extern "C" void* __wrap_malloc(std::size_t size) { return FailThisCall() ? nullptr : __real_malloc(size); }
extern "C" void* __wrap_calloc(std::size_t count, std::size_t size) {
    return FailThisCall() ? nullptr : __real_calloc(count, size);
}

namespace {
void* Allocate(std::size_t size) noexcept { return FailThisCall() ? nullptr : __real_malloc(size ? size : 1); }
}  // namespace

void* ZtTestAllocate(std::size_t size) noexcept { return Allocate(size); }
#include "../runtime/AllocFailureOperators.h"

namespace {

using namespace ZtTest;
using ZtTest::AllocFailure::Armed;

template <class Run, class Check>
void FailEach(const char* what, Run run, Check check) {
    ZtTest::AllocFailure::FailEachAllocation(what, 80, run, check);
}

void ExpectOkOrNoMemory(HRESULT hr, const char* what) {
    EXPECT_TRUE(hr == S_OK || hr == E_OUTOFMEMORY) << what << ": " << std::hex << hr;
}

TEST(EventModelAllocFailure, NotificationsAreDroppedWholeOrMadeWhole) {
    // A new alarm, a raised-again alarm and a message.
    struct Case {
        const char* what;
        std::vector<Bytes> before;
        std::function<HRESULT(ZtEventHandler*, Bytes&)> op;
        Bytes record;
        const char* reported;
        std::vector<uint32_t> listedOnSuccess, listedOnFailure;
    } cases[] = {
        {"new alarm", {}, [](ZtEventHandler* h, Bytes& r) { return h->OnNewEvent(AsRecord(r)); }, Alarm(3),
         "raised", {3}, {}},
        {"raised again", {Alarm(3, 1, 2, 1000)},
         [](ZtEventHandler* h, Bytes& r) { return h->OnNewEvent(AsRecord(r)); }, Alarm(3, 1, 2, 2000), "raised",
         {3}, {3}},
        {"message", {}, [](ZtEventHandler* h, Bytes& r) { return h->OnNewMessage(AsRecord(r)); }, Alarm(8),
         "message", {}, {}},
    };
    for (Case& c : cases) {
        std::unique_ptr<HandlerRig> rig;
        HRESULT hr = S_OK;
        FailEach(
            c.what,
            [&] {
                rig = std::make_unique<HandlerRig>();
                rig->proxy.active = c.before;
                ASSERT_EQ(rig->handler->OnConnected(), S_OK);
                hr = Armed([&] { return c.op(rig->handler, c.record); });
            },
            [&](int n) {
                SCOPED_TRACE(std::string(c.what) + ", allocation " + std::to_string(n));
                ExpectOkOrNoMemory(hr, c.what);
                auto calls = rig->publisher.Calls();
                EXPECT_EQ(calls.size(), hr == S_OK ? 1u : 0u);
                if (!calls.empty()) {
                    EXPECT_EQ(calls[0].what, c.reported);
                }
                EXPECT_EQ(rig->Listed(), hr == S_OK ? c.listedOnSuccess : c.listedOnFailure);
                if (CComPtr<IZtAlarm> a = rig->Find(3)) {
                    long raisedAt = 0;
                    a->get_FileTimeRaised(&raisedAt);
                    // A failed copy of a re-raise keeps the old record.
                    EXPECT_EQ(raisedAt, hr == S_OK ? AsRecord(c.record)->fileTimeRaised : 1000);
                }
                rig.reset();
            });
    }
}

TEST(EventModelAllocFailure, ListReadsLeaveAConsistentList) {
    const std::vector<Bytes> before{Alarm(1), Alarm(2, 1, 2, 1000), Alarm(5)};
    const std::vector<Bytes> service{Alarm(2, 1, 2, 2000), Alarm(3), Alarm(4), Alarm(5, 0, 2)};
    for (bool resync : {false, true}) {
        std::unique_ptr<HandlerRig> rig;
        HRESULT hr = S_OK;
        std::vector<uint32_t> ids;
        FailEach(
            resync ? "resynchronize" : "connect",
            [&] {
                rig = std::make_unique<HandlerRig>();
                rig->proxy.active = before;
                ASSERT_EQ(rig->handler->OnConnected(), S_OK);
                ids = rig->Listed();
                rig->proxy.active = service;
                hr = Armed([&] { return resync ? rig->handler->Resynchronize() : rig->handler->OnConnected(); });
            },
            [&](int n) {
                SCOPED_TRACE("allocation " + std::to_string(n));
                ExpectOkOrNoMemory(hr, "read");
                // A host following the events sees exactly the list the handler keeps.
                std::set<uint32_t> mirror(ids.begin(), ids.end());
                for (const auto& call : rig->publisher.Calls()) {
                    if (call.what == "raised") mirror.insert(call.id);
                    if (call.removed) mirror.erase(call.id);
                }
                std::vector<uint32_t> listed = rig->Listed();
                if (resync) {
                    EXPECT_EQ(std::set<uint32_t>(listed.begin(), listed.end()), mirror);
                }
                if (hr == S_OK) {
                    EXPECT_EQ(listed, (std::vector<uint32_t>{2, 3, 4, 5}));
                }
                // The next read heals whatever could not be made.
                EXPECT_EQ(resync ? rig->handler->Resynchronize() : rig->handler->OnConnected(), S_OK);
                EXPECT_EQ(rig->Listed(), (std::vector<uint32_t>{2, 3, 4, 5}));
                rig.reset();
            });
    }
}

TEST(EventModelAllocFailure, ArgumentsAndSourceInfoKeepTheirValue) {
    CComPtr<IZtArguments> list;
    ASSERT_EQ((Create<CZtArguments, IZtArguments>(list.ReleaseAndGetAddressOf())), S_OK);
    ASSERT_EQ(list->Add(CComVariant("first")), S_OK);
    CComPtr<IZtArgumentEntry> entry;
    ASSERT_EQ(list->get_Item(0, entry.ReleaseAndGetAddressOf()), S_OK);
    CComVariant text("a longer text");
    HRESULT set = S_OK, add = S_OK;
    FailEach(
        "argument set",
        [&] {
            set = Armed([&] { return entry->Set(text); });
            add = Armed([&] { return list->Add(text); });
        },
        [&](int) {
            ExpectOkOrNoMemory(set, "Set");
            ExpectOkOrNoMemory(add, "Add");
            BSTR value = nullptr;
            ASSERT_EQ(entry->GetString(&value), S_OK);
            EXPECT_STREQ(value, set == S_OK ? "a longer text" : "first");  // never a VT_ERROR reported as success
            SysFreeString(value);
            int count = 0;
            list->get_Count(&count);
            EXPECT_EQ(count, add == S_OK ? 2 : 1);
            while (count > 1) list->Remove(--count);
            entry->Set(CComVariant("first"));
        });

    CComPtr<IZtSourceInfo> source;
    ASSERT_EQ((Create<CZtSourceInfo, IZtSourceInfo>(source.ReleaseAndGetAddressOf())), S_OK);
    char first[] = "first", second[] = "second";
    ASSERT_EQ(source->put_Name(first), S_OK);
    HRESULT put = S_OK;
    FailEach(
        "source name", [&] { put = Armed([&] { return source->put_Name(second); }); },
        [&](int) {
            EXPECT_TRUE(put == S_OK || put == ZT_E_SOURCE_INFO_NO_MEMORY) << std::hex << put;
            BSTR name = nullptr;
            ASSERT_EQ(source->get_Name(&name), S_OK);
            EXPECT_STREQ(name, put == S_OK ? "second" : "first");
            SysFreeString(name);
            source->put_Name(first);
        });
}

}  // namespace
