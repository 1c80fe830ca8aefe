#include "ZtAtlCom/ConnectionPoint.h"

#include "EventObjects.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace ZtTest;

class ConnectionPointTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateObject<CTestSource>(&source), S_OK);
        point = PointOf(static_cast<ITestSource*>(source));
        ASSERT_NE(point, nullptr);
    }
    void TearDown() override {
        point = nullptr;
        if (source) source->Release();
        for (auto* sink : sinks) {
            EXPECT_EQ(sink->Refs(), 1u) << "the source kept or over-released a sink";
            sink->Release();
        }
        EXPECT_EQ(g_liveSources.load(), 0);
        EXPECT_EQ(g_liveSinks.load(), 0);
    }
    RecordingSink* NewSink(HRESULT result = S_OK, HRESULT queryFailure = S_OK) {
        return sinks.emplace_back(new RecordingSink(result, queryFailure));
    }
    DWORD Advise(IUnknown* sink) {
        DWORD cookie = 0;
        EXPECT_EQ(point->Advise(sink, &cookie), S_OK);
        return cookie;
    }
    HRESULT Fire() { return FireEvent<1>(source->m_vec, source); }
    ULONG SourceRefs() { return RefsOf(static_cast<ITestSource*>(source)); }

    CComObject<CTestSource>* source = nullptr;
    CComPtr<IConnectionPoint> point;
    std::vector<RecordingSink*> sinks;
};

TEST_F(ConnectionPointTest, CookiesCountFromOneTheTableDoublesAndFreedSlotsAreReused) {
    for (DWORD expected = 1; expected <= 4; ++expected) EXPECT_EQ(Advise(NewSink()), expected);
    EXPECT_EQ(source->m_vec.GetSize(), 4);
    EXPECT_EQ(Advise(NewSink()), 5u);
    EXPECT_EQ(source->m_vec.GetSize(), 8);
    EXPECT_EQ(sinks[0]->Refs(), 2u);

    EXPECT_EQ(point->Unadvise(2), S_OK);
    EXPECT_EQ(sinks[1]->Refs(), 1u);
    EXPECT_EQ(Advise(NewSink()), 2u);
    EXPECT_EQ(point->Unadvise(1), S_OK);
    for (DWORD cookie : {0u, 1u, 6u, 9u, 0xFFFFFFFFu})
        EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION) << cookie;
    // Releasing the source releases the sinks still advised (checked in TearDown).
}

TEST_F(ConnectionPointTest, AdviseRefusalsLeaveTheTableAlone) {
    struct Case {
        const char* what;
        HRESULT queryFailure;
        bool nullSink, nullCookie;
        HRESULT expected;
    } cases[] = {
        {"null sink", S_OK, true, false, E_POINTER},
        {"null cookie", S_OK, false, true, E_POINTER},
        {"sink without the events interface", E_NOINTERFACE, false, false, CONNECT_E_CANNOTCONNECT},
        {"sink whose query fails otherwise", E_UNEXPECTED, false, false, E_UNEXPECTED},
    };
    for (const auto& c : cases) {
        RecordingSink* sink = NewSink(S_OK, c.queryFailure);
        DWORD cookie = 77;
        EXPECT_EQ(point->Advise(c.nullSink ? nullptr : sink, c.nullCookie ? nullptr : &cookie), c.expected) << c.what;
        if (!c.nullCookie) {
            EXPECT_EQ(cookie, 0u) << c.what;
        }
        EXPECT_EQ(source->m_vec.GetSize(), 0) << c.what;
        EXPECT_EQ(sink->Refs(), 1u) << c.what;
    }
}

TEST_F(ConnectionPointTest, TheContainerFindsItsPointWhichHasAnIdentityOfItsOwn) {
    CComPtr<IConnectionPointContainer> container;
    source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.ReleaseAndGetAddressOf()));
    IConnectionPoint* found = reinterpret_cast<IConnectionPoint*>(0x1);
    EXPECT_EQ(container->FindConnectionPoint(IID_ITestSource, &found), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(container->FindConnectionPoint(IID__ITestEvents, nullptr), E_POINTER);

    // The point counts on its source.
    ULONG refs = SourceRefs();
    point->AddRef();
    EXPECT_EQ(SourceRefs(), refs + 1);
    point->Release();

    // The point answers for itself only; the source is no connection point.
    void* p = nullptr;
    EXPECT_EQ(point->QueryInterface(IID_IUnknown, &p), S_OK);
    EXPECT_EQ(p, static_cast<void*>(point.p));
    point->Release();
    EXPECT_EQ(point->QueryInterface(IID_IConnectionPointContainer, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(source->QueryInterface(IID_IConnectionPoint, &p), E_NOINTERFACE);

    IID iid{};
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, IID__ITestEvents);
    CComPtr<IConnectionPointContainer> back;
    EXPECT_EQ(point->GetConnectionPointContainer(back.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(back, container);
    back = nullptr;
    EXPECT_EQ(SourceRefs(), refs);
}

TEST_F(ConnectionPointTest, EnumConnectionPoints) {
    CComPtr<IConnectionPointContainer> container;
    source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.ReleaseAndGetAddressOf()));
    EXPECT_EQ(container->EnumConnectionPoints(nullptr), E_POINTER);
    ULONG refs = SourceRefs();
    CComPtr<IEnumConnectionPoints> e;
    ASSERT_EQ(container->EnumConnectionPoints(e.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(SourceRefs(), refs + 2) << "the owner reference and the copied point";

    IConnectionPoint* got[2] = {};
    ULONG fetched = 9;
    ASSERT_EQ(e->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0], point.p);
    got[0]->Release();
    EXPECT_EQ(e->Next(2, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(1), S_OK);
    EXPECT_EQ(e->Skip(1), S_FALSE);
    EXPECT_EQ(e->Reset(), S_OK);

    // A clone shares the array; it stays readable after the original is gone.
    CComPtr<IEnumConnectionPoints> clone;
    EXPECT_EQ(e->Clone(nullptr), E_POINTER);
    ASSERT_EQ(e->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
    e = nullptr;
    ASSERT_EQ(clone->Next(2, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(got[0], point.p);
    got[0]->Release();
    clone = nullptr;
    EXPECT_EQ(SourceRefs(), refs);
}

TEST_F(ConnectionPointTest, EnumConnectionsReportsEachConnectionWithItsOwnCookie) {
    RecordingSink* a = NewSink();
    RecordingSink* b = NewSink();
    EXPECT_EQ(Advise(a), 1u);
    EXPECT_EQ(Advise(NewSink()), 2u);
    EXPECT_EQ(Advise(b), 3u);
    point->Unadvise(2);
    EXPECT_EQ(Advise(a), 2u);  // one sink advised twice

    EXPECT_EQ(point->EnumConnections(nullptr), E_POINTER);
    CComPtr<IEnumConnections> e;
    ASSERT_EQ(point->EnumConnections(e.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(a->Refs(), 1u + 2 + 2) << "the test's, the table's two, the enumerator's two";
    CONNECTDATA records[4] = {};
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(2, records, nullptr), E_POINTER);
    ASSERT_EQ(e->Next(4, records, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 3u);
    struct Expected {
        RecordingSink* sink;
        DWORD cookie;
    } expected[] = {{a, 1}, {a, 2}, {b, 3}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(records[i].pUnk, static_cast<IUnknown*>(expected[i].sink)) << i;
        EXPECT_EQ(records[i].dwCookie, expected[i].cookie) << i;
    }
    EXPECT_EQ(a->Refs(), 1u + 2 + 2 + 2) << "each record handed out carries a reference";

    // The clone keeps the records alive when the original is released.
    CComPtr<IEnumConnections> clone;
    ASSERT_EQ(e->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
    e = nullptr;
    EXPECT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(clone->Skip(2), S_OK);
    CONNECTDATA last{};
    ASSERT_EQ(clone->Next(1, &last, nullptr), S_OK);
    EXPECT_EQ(last.dwCookie, 3u);
    last.pUnk->Release();
    clone = nullptr;

    // Every cookie reported unadvises exactly its own connection.
    for (ULONG i = 0; i < fetched; ++i) {
        EXPECT_EQ(point->Unadvise(records[i].dwCookie), S_OK) << i;
        records[i].pUnk->Release();
    }
    EXPECT_EQ(a->Refs(), 1u);
}

TEST_F(ConnectionPointTest, FireEventWithoutSinksOrOwner) {
    EXPECT_EQ(Fire(), S_OK);
    EXPECT_EQ(FireEvent<1>(source->m_vec, static_cast<CTestSource*>(nullptr)), E_INVALIDARG);
}

TEST_F(ConnectionPointTest, ASinkHeldOnlyByTheTableMayUnadviseItselfDuringItsCall) {
    auto* sink = new RecordingSink();
    DWORD cookie = Advise(sink);
    int calls = 0;
    sink->onInvoke = [&calls, p = point.p, cookie] {
        ++calls;
        EXPECT_EQ(p->Unadvise(cookie), S_OK);
    };
    sink->Release();  // the table's reference is the only one left
    EXPECT_EQ(Fire(), S_OK);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(g_liveSinks.load(), 0) << "released once its call returned";
}

// The source stays alive until the firing ends, then goes with its last reference.
TEST_F(ConnectionPointTest, ASinkMayReleaseTheSourcesLastReferenceDuringItsCall) {
    RecordingSink* first = NewSink();
    RecordingSink* second = NewSink();
    Advise(first);
    Advise(second);
    point = nullptr;
    auto* owner = std::exchange(source, nullptr);
    first->onInvoke = [owner] { owner->Release(); };
    int liveDuringSecond = -1;
    second->onInvoke = [&liveDuringSecond] { liveDuringSecond = g_liveSources.load(); };
    EXPECT_EQ(FireEvent<1>(owner->m_vec, owner), S_OK);
    EXPECT_EQ(second->CallCount(), 1);
    EXPECT_EQ(liveDuringSecond, 1) << "the source was destroyed while its sinks were walked";
    EXPECT_EQ(g_liveSources.load(), 0);
}

TEST_F(ConnectionPointTest, ArgumentsArriveFirstGivenFirstWithTheirTypes) {
    RecordingSink* first = NewSink();
    RecordingSink* second = NewSink();
    Advise(first);
    Advise(second);
    auto* item = new TrackedDispatch();
    SHORT removed = VARIANT_TRUE;
    ASSERT_EQ(FireEvent<4>(source->m_vec, source, removed, item), S_OK);
    ASSERT_EQ((source->Fire<3>(static_cast<IDispatch*>(nullptr))), S_OK);
    ASSERT_EQ(source->Fire<1>(), S_OK);
    EXPECT_EQ(item->Refs(), 1u) << "the argument's reference was given back after each call";
    item->Release();

    for (auto* sink : {first, second}) {
        auto calls = sink->Calls();
        ASSERT_EQ(calls.size(), 3u);
        const SeenCall& c = calls[0];
        EXPECT_EQ(c.id, 4);
        EXPECT_TRUE(c.nullIid);
        EXPECT_EQ(c.lcid, 0u);
        EXPECT_EQ(c.flags, DISPATCH_METHOD);
        EXPECT_TRUE(c.outputsNull);
        EXPECT_EQ(c.cArgs, 2u);
        EXPECT_EQ(c.cNamedArgs, 0u);
        EXPECT_TRUE(c.namedNull);
        ASSERT_EQ(c.args.size(), 2u);
        EXPECT_EQ(c.args[0].vt, VT_I2);
        EXPECT_EQ(c.args[0].i2, VARIANT_TRUE);
        EXPECT_EQ(c.args[1].vt, VT_DISPATCH);
        EXPECT_EQ(c.args[1].dispatch, static_cast<IDispatch*>(item));
        EXPECT_EQ(c.args[1].dispatchRefs, 2u) << "the VARIANT holds a reference during the call";

        EXPECT_EQ(calls[1].id, 3);
        ASSERT_EQ(calls[1].args.size(), 1u);
        EXPECT_EQ(calls[1].args[0].vt, VT_DISPATCH);
        EXPECT_EQ(calls[1].args[0].dispatch, nullptr);
        EXPECT_EQ(calls[2].cArgs, 0u);
        EXPECT_TRUE(calls[2].argsNull);
    }
}

TEST_F(ConnectionPointTest, TheResultIsThatOfTheLastSinkCalled) {
    constexpr HRESULT kThrows = 0x7FFF0001;
    struct Case {
        std::vector<HRESULT> results;
        bool unadviseLast;
        HRESULT expected;
    } cases[] = {
        {{E_FAIL, S_OK}, false, S_OK},
        {{S_OK, E_UNEXPECTED}, false, E_UNEXPECTED},
        {{S_OK, S_FALSE}, false, S_FALSE},
        {{E_UNEXPECTED, S_OK}, true, E_UNEXPECTED},
        {{kThrows, S_OK}, false, S_OK},
        {{S_OK, kThrows}, false, E_FAIL},
    };
    for (const auto& c : cases) {
        source->Release();
        ASSERT_EQ(CreateObject<CTestSource>(&source), S_OK);
        point = PointOf(static_cast<ITestSource*>(source));
        std::vector<RecordingSink*> advised;
        for (HRESULT r : c.results) {
            RecordingSink* sink = advised.emplace_back(NewSink(r));
            sink->m_throws = r == kThrows;
            Advise(sink);
        }
        if (c.unadviseLast) point->Unadvise(static_cast<DWORD>(advised.size()));
        EXPECT_EQ(Fire(), c.expected);
        for (std::size_t i = 0; i < advised.size(); ++i)
            EXPECT_EQ(advised[i]->CallCount(), c.unadviseLast && i + 1 == advised.size() ? 0 : 1);
    }
}

// Sinks that advise or unadvise from inside their call: no deadlock, and the
// slots read when firing started decide who is called.
TEST_F(ConnectionPointTest, SinksMayChangeTheTableWhileTheyAreCalled) {
    struct Case {
        const char* what;
        int advised;                  // sinks 0..advised-1, cookies 1..advised
        int caller;                   // the sink that acts inside its call
        std::function<void(IConnectionPoint*, IUnknown* extra)> act;
        std::vector<int> calls;       // per advised sink
        int extraCalls, extraCallsNextTime;
    } cases[] = {
        {"unadvises a later sink", 3, 0, [](IConnectionPoint* p, IUnknown*) { p->Unadvise(2); }, {1, 0, 1}, 0, 0},
        {"unadvises an earlier sink", 3, 1, [](IConnectionPoint* p, IUnknown*) { p->Unadvise(1); }, {1, 1, 1}, 0, 0},
        {"unadvises itself", 2, 0, [](IConnectionPoint* p, IUnknown*) { p->Unadvise(1); }, {1, 1}, 0, 0},
        {"advises into a free slot", 2, 0,
         [](IConnectionPoint* p, IUnknown* extra) { DWORD c; p->Advise(extra, &c); }, {1, 1}, 1, 1},
        {"advises into a grown table", 4, 0,
         [](IConnectionPoint* p, IUnknown* extra) { DWORD c; p->Advise(extra, &c); }, {1, 1, 1, 1}, 0, 1},
    };
    for (const auto& c : cases) {
        source->Release();
        ASSERT_EQ(CreateObject<CTestSource>(&source), S_OK);
        point = PointOf(static_cast<ITestSource*>(source));
        std::vector<RecordingSink*> advised;
        for (int i = 0; i < c.advised; ++i) Advise(advised.emplace_back(NewSink()));
        RecordingSink* extra = NewSink();
        bool acted = false;
        IConnectionPoint* p = point;
        advised[c.caller]->onInvoke = [&] {
            if (!std::exchange(acted, true)) c.act(p, extra);
        };
        EXPECT_EQ(Fire(), S_OK) << c.what;
        for (int i = 0; i < c.advised; ++i) EXPECT_EQ(advised[i]->CallCount(), c.calls[i]) << c.what << ", sink " << i;
        EXPECT_EQ(extra->CallCount(), c.extraCalls) << c.what;
        Fire();
        EXPECT_EQ(extra->CallCount(), c.extraCalls + c.extraCallsNextTime) << c.what << ", next firing";
    }
}

}  // namespace
