#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"

#include "RecordingStreamWriter.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace filter_test;

constexpr GUID kGuid = detail::ParseGuidLiteral("30264E87-48E7-40B7-B71D-AD38673E571B");
constexpr const char* kGuidText = "{30264E87-48E7-40B7-B71D-AD38673E571B}";

using Build = std::function<void(IZtEventFilter*)>;

template <class I>
CComPtr<I> Facet(IZtEventFilter* filter) {
    CComPtr<I> facet;
    EXPECT_EQ(filter->QueryInterface(iid_of<I>(), reinterpret_cast<void**>(facet.ReleaseAndGetAddressOf())), S_OK);
    return facet;
}

CComPtr<IZtEventFilter> Built(const Build& build) {
    auto filter = NewFilter();
    build(filter);
    return filter;
}

auto Cmp(int code) { return static_cast<tagZtFilterCompareEnum>(code); }

struct WireCase {
    const char* name;
    Build build;
    std::string written;
};

TEST(ZtEventFilter, EachExpressionIsWrittenWithItsKindMembersAndWidths) {
    const std::string g = kGuidText;
    const WireCase cases[] = {
        {"empty", [](IZtEventFilter*) {}, "[ ]"},
        {"type", [](IZtEventFilter* f) { f->AddEventTypeExpression(EventTypeAlarm, FilterEqual); },
         "[ { kind=u16:1 cmp=u16:0 value=u16:1 } ]"},
        {"class", [](IZtEventFilter* f) { f->AddEventClassExpression(kGuid, FilterNotEqual); },
         "[ { kind=u16:2 cmp=u16:1 value=" + g + " } ]"},
        {"id", [](IZtEventFilter* f) { f->AddEventIdExpression(4000000000u, FilterGreater); },
         "[ { kind=u16:3 cmp=u16:4 value=u32:4000000000 } ]"},
        {"severity", [](IZtEventFilter* f) { f->AddSeverityExpression(SeverityError, FilterGreaterOrEqual); },
         "[ { kind=u16:4 cmp=u16:5 value=u16:3 } ]"},
        {"time",
         [](IZtEventFilter* f) { f->AddTimeStampExpression(TimeStampDisposed, 133000000000000001, FilterLess); },
         "[ { kind=u16:5 cmp=u16:2 which=u16:3 value=u64:133000000000000001 } ]"},
        {"source guid", [](IZtEventFilter* f) { f->AddSourceGuidExpression(kGuid, FilterEqual); },
         "[ { kind=u16:6 cmp=u16:0 value=" + g + " } ]"},
        {"source id", [](IZtEventFilter* f) { f->AddSourceIdExpression(7, FilterLessOrEqual); },
         "[ { kind=u16:7 cmp=u16:3 value=u32:7 } ]"},
        {"source name", [](IZtEventFilter* f) { f->AddSourceNameExpression(Bstr("Axis"), FilterContains); },
         "[ { kind=u16:8 cmp=u16:6 value=\"Axis\" } ]"},
        {"null name", [](IZtEventFilter* f) { f->AddSourceNameExpression(nullptr, FilterEqual); },
         "[ { kind=u16:8 cmp=u16:0 value=\"\" } ]"},
        {"json",
         [](IZtEventFilter* f) { f->AddJsonAttributeExpression(Bstr("axis.state"), Bstr("on"), FilterStartsWith); },
         "[ { kind=u16:9 cmp=u16:7 path=\"axis.state\" value=\"on\" } ]"},
        {"alarm flags",
         [](IZtEventFilter* f) {
             auto a = Facet<IZtAlarmFilter>(f);
             a->AddIsActiveExpression(5);  // any non-zero value is true
             a->AddIsRaisedExpression(0);
             a->AddIsWaitForConfirmationExpression(1);
             a->AddConfirmationStateExpression(ConfirmationWaitForConfirmation, FilterNotEqual);
         },
         "[ { kind=u16:10 value=true } { kind=u16:11 value=false } { kind=u16:12 value=true } "
         "{ kind=u16:13 cmp=u16:1 value=u16:2 } ]"},
        {"device",
         [](IZtEventFilter* f) {
             auto d = Facet<IZtSegbusDeviceEventFilter>(f);
             d->AddIsSegbusDeviceEventExpression(-1);
             d->AddVendorIdExpression(2, FilterEqual);
             d->AddProductCodeExpression(0x44C2C52, FilterEqual);
             d->AddRevisionNoExpression(0x00110000, FilterGreaterOrEqual);
         },
         "[ { kind=u16:14 value=true } { kind=u16:15 cmp=u16:0 value=u32:2 } "
         "{ kind=u16:16 cmp=u16:0 value=u32:72100946 } { kind=u16:17 cmp=u16:5 value=u32:1114112 } ]"},
        {"or, not",  // severity >= 3 OR NOT source name contains "Axis"
         [](IZtEventFilter* f) {
             f->AddSeverityExpression(SeverityError, FilterGreaterOrEqual);
             f->AddLogicalOperator();
             f->AddNotOperator();
             f->AddSourceNameExpression(Bstr("Axis"), FilterContains);
         },
         "[ { kind=u16:4 cmp=u16:5 value=u16:3 } { kind=u16:20 } { kind=u16:21 } "
         "{ kind=u16:8 cmp=u16:6 value=\"Axis\" } ]"},
        {"nested groups",
         [](IZtEventFilter* f) {
             auto inner = Built([](IZtEventFilter* i) {
                 i->AddEventIdExpression(1, FilterEqual);
                 i->AddLogicalOperator();
                 i->AddEventIdExpression(2, FilterEqual);
             });
             auto outer = Built([&](IZtEventFilter* o) {
                 o->AddNotOperator();
                 o->AddExpressionGroup(inner);
             });
             f->AddSeverityExpression(SeverityInfo, FilterEqual);
             f->AddExpressionGroup(outer);
         },
         "[ { kind=u16:4 cmp=u16:0 value=u16:1 } { kind=u16:22 items=[ { kind=u16:21 } { kind=u16:22 items=[ "
         "{ kind=u16:3 cmp=u16:0 value=u32:1 } { kind=u16:20 } { kind=u16:3 cmp=u16:0 value=u32:2 } ] } ] } ]"},
    };
    for (const auto& c : cases) EXPECT_EQ(Written(Built(c.build)), c.written) << c.name;
}

struct FaultCase {
    const char* name;
    Build build;
    std::string fault;  // empty: valid
};

TEST(ZtEventFilter, ValidationNamesTheFirstFaultAndAcceptsEveryWellFormedFilter) {
    auto id = [](IZtEventFilter* f) { f->AddEventIdExpression(1, FilterEqual); };
    const std::string numbers =
        " does not apply to numbers and times (use equal, not equal, less, less or equal, "
        "greater or greater or equal).";
    const FaultCase cases[] = {
        {"OR first", [&](IZtEventFilter* f) { f->AddLogicalOperator(), id(f); },
         "Item 1: OR has no expression before it."},
        {"OR last", [&](IZtEventFilter* f) { id(f), f->AddLogicalOperator(); },
         "Item 2: OR has no expression after it."},
        {"two ORs", [&](IZtEventFilter* f) { id(f), f->AddLogicalOperator(), f->AddLogicalOperator(), id(f); },
         "Item 2: OR has no expression after it."},
        {"NOT last", [&](IZtEventFilter* f) { id(f), f->AddNotOperator(); }, "Item 2: NOT has no expression after it."},
        {"NOT before OR", [&](IZtEventFilter* f) { id(f), f->AddNotOperator(), f->AddLogicalOperator(), id(f); },
         "Item 2: NOT has no expression after it."},
        {"empty group", [](IZtEventFilter* f) { f->AddExpressionGroup(NewFilter()); }, "Item 1: the group is empty."},
        {"fault inside a group",
         [&](IZtEventFilter* f) {
             id(f), f->AddExpressionGroup(Built([&](IZtEventFilter* g) { id(g), g->AddNotOperator(); }));
         },
         "Item 2.2: NOT has no expression after it."},
        {"unknown code", [](IZtEventFilter* f) { f->AddSeverityExpression(SeverityInfo, Cmp(9)); },
         "Item 1 (severity): the comparison code 9 is unknown (0 to 8)."},
        {"negative code", [](IZtEventFilter* f) { f->AddEventIdExpression(1, Cmp(-1)); },
         "Item 1 (event id): the comparison code -1 is unknown (0 to 8)."},
        {"number contains", [](IZtEventFilter* f) { f->AddEventIdExpression(1, FilterContains); },
         "Item 1 (event id): the comparison 'contains'" + numbers},
        {"time ends with", [](IZtEventFilter* f) { f->AddTimeStampExpression(TimeStampRaised, 1, FilterEndsWith); },
         "Item 1 (time stamp): the comparison 'ends with'" + numbers},
        {"text less", [](IZtEventFilter* f) { f->AddSourceNameExpression(Bstr("a"), FilterLess); },
         "Item 1 (source name): the comparison 'less' does not apply to texts (use equal, not equal, contains, "
         "starts with or ends with)."},
        {"guid greater", [](IZtEventFilter* f) { f->AddEventClassExpression(kGuid, FilterGreater); },
         "Item 1 (event class): the comparison 'greater' does not apply to GUIDs (use equal or not equal)."},
        {"type 2", [](IZtEventFilter* f) { f->AddEventTypeExpression(static_cast<tagEventTypeEnum>(2), FilterEqual); },
         "Item 1 (event type): 2 is neither 0 (message) nor 1 (alarm)."},
        {"severity 5",
         [](IZtEventFilter* f) { f->AddSeverityExpression(static_cast<tagSeverityLevelEnum>(5), FilterEqual); },
         "Item 1 (severity): 5 is not a severity (0 verbose to 4 critical)."},
        {"severity -1",
         [](IZtEventFilter* f) { f->AddSeverityExpression(static_cast<tagSeverityLevelEnum>(-1), FilterEqual); },
         "Item 1 (severity): -1 is not a severity (0 verbose to 4 critical)."},
        {"time 4",
         [](IZtEventFilter* f) { f->AddTimeStampExpression(static_cast<tagZtTimeStampEnum>(4), 0, FilterEqual); },
         "Item 1 (time stamp): 4 names no time stamp (0 raised, 1 cleared, 2 confirmed, 3 disposed)."},
        {"time before 1601", [](IZtEventFilter* f) { f->AddTimeStampExpression(TimeStampRaised, -1, FilterEqual); },
         "Item 1 (time stamp): the FILETIME -1 lies before 1601."},
        {"state 65536",
         [](IZtEventFilter* f) {
             Facet<IZtAlarmFilter>(f)->AddConfirmationStateExpression(static_cast<tagConfirmationStateEnum>(65536),
                                                                      FilterEqual);
         },
         "Item 1 (confirmation state): 65536 is not a confirmation state (0 to 65535)."},
        {"zero in name", [](IZtEventFilter* f) { f->AddSourceNameExpression(Bstr("Ax\0is", 5), FilterEqual); },
         "Item 1 (source name): the text holds a zero byte."},
        {"empty path", [](IZtEventFilter* f) { f->AddJsonAttributeExpression(nullptr, Bstr("1"), FilterEqual); },
         "Item 1 (JSON attribute): the path is empty."},
        {"empty member", [](IZtEventFilter* f) { f->AddJsonAttributeExpression(Bstr("a..b"), Bstr("1"), FilterEqual); },
         "Item 1 (JSON attribute): the path \"a..b\" has an empty member."},
        {"trailing dot", [](IZtEventFilter* f) { f->AddJsonAttributeExpression(Bstr("a."), Bstr("1"), FilterEqual); },
         "Item 1 (JSON attribute): the path \"a.\" has an empty member."},
        {"zero in value",
         [](IZtEventFilter* f) { f->AddJsonAttributeExpression(Bstr("a"), Bstr("1\0", 2), FilterEqual); },
         "Item 1 (JSON attribute): the value holds a zero byte."},
        // Valid forms.
        {"empty filter", [](IZtEventFilter*) {}, ""},
        {"not not", [&](IZtEventFilter* f) { f->AddNotOperator(), f->AddNotOperator(), id(f); }, ""},
        {"or not", [&](IZtEventFilter* f) { id(f), f->AddLogicalOperator(), f->AddNotOperator(), id(f); }, ""},
        {"json ordered", [](IZtEventFilter* f) { f->AddJsonAttributeExpression(Bstr("n"), Bstr("5"), FilterGreater); },
         ""},
        {"text ends with", [](IZtEventFilter* f) { f->AddSourceNameExpression(Bstr("1"), FilterEndsWith); }, ""},
        {"time unset", [](IZtEventFilter* f) { f->AddTimeStampExpression(TimeStampCleared, 0, FilterEqual); }, ""},
        {"state 3",
         [](IZtEventFilter* f) {
             Facet<IZtAlarmFilter>(f)->AddConfirmationStateExpression(ConfirmationStateThree, FilterLess);
         },
         ""},
        {"group of groups",
         [&](IZtEventFilter* f) {
             f->AddExpressionGroup(Built([&](IZtEventFilter* g) { g->AddExpressionGroup(Built(id)); }));
         },
         ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FaultOf(Built(c.build)), c.fault) << c.name;
}

TEST(ZtEventFilter, AnInvalidFilterIsNeverWritten) {
    auto filter = NewFilter();
    filter->AddLogicalOperator();
    EXPECT_EQ(Written(filter), "(refused)");
}

TEST(ZtEventFilter, GroupsAndSnapshotsAreCopiesTakenAtTheTimeOfTheCall) {
    auto group = Built([](IZtEventFilter* g) { g->AddEventIdExpression(1, FilterEqual); });
    auto filter = NewFilter();
    ASSERT_EQ(filter->AddExpressionGroup(group), S_OK);
    group->AddLogicalOperator();  // would make the group invalid
    auto snapshot = SerializableOf<IZtStreamSerializable>(filter);
    ASSERT_EQ(filter->AddExpressionGroup(filter), S_OK);  // itself, as it was
    filter->AddNotOperator();                             // after the snapshot
    RecordingStreamWriter writer;
    ASSERT_EQ(snapshot->Serialize(&writer), S_OK);
    EXPECT_EQ(writer.text, "[ { kind=u16:22 items=[ { kind=u16:3 cmp=u16:0 value=u32:1 } ] } ]");
    filter->Clear();
    EXPECT_EQ(Written(filter), "[ ]");
}

TEST(ZtEventFilter, GroupsAndSizeAreBoundedAndForeignGroupsRefused) {
    auto filter = NewFilter();
    EXPECT_EQ(filter->AddExpressionGroup(nullptr), E_POINTER);
    EXPECT_EQ(filter->AddExpressionGroup(NewForeignFilter()), E_INVALIDARG);

    auto nested = Built([](IZtEventFilter* f) { f->AddEventIdExpression(1, FilterEqual); });
    for (int depth = 1; depth <= 32; ++depth) {
        auto outer = NewFilter();
        ASSERT_EQ(outer->AddExpressionGroup(nested), S_OK) << depth;
        nested = outer;
    }
    EXPECT_EQ(NewFilter()->AddExpressionGroup(nested), E_INVALIDARG);

    // Adding a filter to itself doubles it: refused once it would pass 10000 items.
    auto doubling = Built([](IZtEventFilter* f) { f->AddEventIdExpression(1, FilterEqual); });
    HRESULT hr = S_OK;
    int doublings = 0;
    while ((hr = doubling->AddExpressionGroup(doubling)) == S_OK) ++doublings;
    EXPECT_EQ(hr, E_INVALIDARG);
    EXPECT_EQ(doublings, 12);  // 2^13 - 1 = 8191 items; the next would be 16383
    EXPECT_EQ(FaultOf(doubling), "");

    auto flat = NewFilter();
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(flat->AddEventIdExpression(i, FilterEqual), S_OK);
    EXPECT_EQ(flat->AddNotOperator(), E_INVALIDARG);
}

TEST(ZtEventFilter, FactoryAnswersItsTwoClassesAndTheirInterfacesOnly) {
    const CLSID unknown = detail::ParseGuidLiteral("9131811A-838B-CD6C-C549-3BF441F55FF7");  // the event logger's
    struct Case {
        const CLSID& clsid;
        const IID& iid;
        HRESULT hr;
    };
    const Case cases[] = {
        {CLSID_ZtEventFilter, IID_IZtEventFilter, S_OK},
        {CLSID_ZtEventFilter, IID_IZtAlarmFilter, S_OK},
        {CLSID_ZtEventFilter, IID_IZtSegbusDeviceEventFilter, S_OK},
        {CLSID_ZtEventFilter, IID_IZtStreamSerializableProvider, S_OK},
        {CLSID_ZtEventFilter, IID_IDispatch, S_OK},
        {CLSID_ZtEventFilter, IID_ISupportErrorInfo, S_OK},
        {CLSID_ZtEventFilter, IID_IZtExportSettings, E_NOINTERFACE},
        {CLSID_ZtExportSettings, IID_IZtExportSettings, S_OK},
        {CLSID_ZtExportSettings, IID_IZtCsvExportSettings, S_OK},
        {CLSID_ZtExportSettings, IID_IZtStreamSerializableProvider, S_OK},
        {CLSID_ZtExportSettings, IID_IZtEventFilter, E_NOINTERFACE},
        {unknown, IID_IUnknown, REGDB_E_CLASSNOTREG},
    };
    int sentinel = 0;
    for (const auto& c : cases) {
        void* object = &sentinel;
        EXPECT_EQ(ZtEventLoggerVdlFilterCreateInstance(c.clsid, c.iid, &object), c.hr);
        if (c.hr == S_OK) {
            ASSERT_NE(object, nullptr);
            EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u);
        } else {
            EXPECT_EQ(object, c.hr == REGDB_E_CLASSNOTREG ? static_cast<void*>(&sentinel) : nullptr);
        }
    }
    EXPECT_EQ(ZtEventLoggerVdlFilterCreateInstance(CLSID_ZtEventFilter, IID_IUnknown, nullptr), E_POINTER);

    auto errorInfo = Make<ISupportErrorInfo>(CLSID_ZtEventFilter);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IZtAlarmFilter), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

    // The filter's serializable validates as a filter, not as settings.
    auto filter = NewFilter();
    EXPECT_TRUE(SerializableOf<IZtFilterValidation>(filter));
    EXPECT_FALSE(SerializableOf<IZtSettingsValidation>(filter));

    uint32_t major = 0, minor = 0, build = 9;
    EXPECT_EQ(ZtEventLoggerVdlFilterVersion(&major, &minor, &build), 0u);
    EXPECT_EQ(major * 100 + minor * 10 + build, 210u);
}

}  // namespace
