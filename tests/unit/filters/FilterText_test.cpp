#include "ZtFilterSyntax/FilterText.h"

#include "RecordingStreamWriter.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace filter_test;
using ZtFilterSyntax::CheckFilterText;
using ZtFilterSyntax::CreateFilterFromText;
using ZtFilterSyntax::FilterTextResult;
using ZtFilterSyntax::ParseFilterText;

// What a text makes of a new filter, as the filter writes itself.
std::string WrittenFor(const std::string& text) {
    auto filter = NewFilter();
    FilterTextResult result = ParseFilterText(text, filter, ZtEventLoggerVdlFilterCreateInstance);
    if (!result.Ok()) return "(" + result.Describe() + ")";
    EXPECT_EQ(FaultOf(filter), "") << text;
    return Written(filter);
}

const std::string A = "{ kind=u16:3 cmp=u16:0 value=u32:1 }";  // id = 1
const std::string B = "{ kind=u16:3 cmp=u16:0 value=u32:2 }";  // id = 2
const std::string C = "{ kind=u16:3 cmp=u16:0 value=u32:3 }";  // id = 3
const std::string OR = "{ kind=u16:20 }";
const std::string NOT = "{ kind=u16:21 }";
std::string Group(const std::string& items) { return "{ kind=u16:22 items=[ " + items + " ] }"; }

TEST(FilterText, TextsBecomeTheExpressionCallsTheySay) {
    const std::string guid = "{30264E87-48E7-40B7-B71D-AD38673E571B}";
    const struct {
        std::string text;
        std::string written;
    } cases[] = {
        {"", "[ ]"},
        {" \t\n", "[ ]"},
        {"severity>=3 and source~\"Axis\" and not confirmed",
         "[ { kind=u16:4 cmp=u16:5 value=u16:3 } { kind=u16:8 cmp=u16:6 value=\"Axis\" } " + NOT +
             " { kind=u16:5 cmp=u16:1 which=u16:2 value=u64:0 } ]"},
        {"Severity = Critical OR severity < warning",
         "[ { kind=u16:4 cmp=u16:0 value=u16:4 } " + OR + " { kind=u16:4 cmp=u16:2 value=u16:2 } ]"},
        {"type = alarm and type != 0 and message and not alarm",
         "[ { kind=u16:1 cmp=u16:0 value=u16:1 } { kind=u16:1 cmp=u16:1 value=u16:0 } "
         "{ kind=u16:1 cmp=u16:0 value=u16:0 } " +
             NOT + " { kind=u16:1 cmp=u16:0 value=u16:1 } ]"},
        {"class = " + guid + " and source.guid != \"30264e87-48e7-40b7-b71d-ad38673e571b\"",
         "[ { kind=u16:2 cmp=u16:0 value=" + guid + " } { kind=u16:6 cmp=u16:1 value=" + guid + " } ]"},
        {"id == 0x10 and source.id <= 4294967295",
         "[ { kind=u16:3 cmp=u16:0 value=u32:16 } { kind=u16:7 cmp=u16:3 value=u32:4294967295 } ]"},
        {"raised >= 2024-05-01T12:30:00Z and cleared < \"2024-05-01 14:30:00.12345678+02:00\" and disposed = 5",
         "[ { kind=u16:5 cmp=u16:5 which=u16:0 value=u64:133590402000000000 } "
         "{ kind=u16:5 cmp=u16:2 which=u16:1 value=u64:133590402001234567 } "
         "{ kind=u16:5 cmp=u16:0 which=u16:3 value=u64:5 } ]"},
        {"raised and raised = false and active != true and waiting and device and cleared = false",
         "[ { kind=u16:11 value=true } { kind=u16:11 value=false } { kind=u16:10 value=false } "
         "{ kind=u16:12 value=true } { kind=u16:14 value=true } { kind=u16:5 cmp=u16:0 which=u16:1 value=u64:0 } ]"},
        {"confirmation = waiting or confirmation >= 3",
         "[ { kind=u16:13 cmp=u16:0 value=u16:2 } " + OR + " { kind=u16:13 cmp=u16:5 value=u16:3 } ]"},
        {"device.vendor = 2 and device.product = 0x44C2C52 and device.revision > 1",
         "[ { kind=u16:15 cmp=u16:0 value=u32:2 } { kind=u16:16 cmp=u16:0 value=u32:72100946 } "
         "{ kind=u16:17 cmp=u16:4 value=u32:1 } ]"},
        {"json.axis.state = \"on\" and json.count > 5 and json.\"my key\" ^= 'it\\'s' and source.name $= \"\\u00e9\"",
         "[ { kind=u16:9 cmp=u16:0 path=\"axis.state\" value=\"on\" } { kind=u16:9 cmp=u16:4 path=\"count\" "
         "value=\"5\" } "
         "{ kind=u16:9 cmp=u16:7 path=\"my key\" value=\"it's\" } { kind=u16:8 cmp=u16:8 value=\"\xC3\xA9\" } ]"},
        // Examples of docs/filter-syntax.md.
        {"active and (severity = critical or json.axis.fault = true)",
         "[ { kind=u16:10 value=true } " +
             Group("{ kind=u16:4 cmp=u16:0 value=u16:4 } " + OR +
                   " { kind=u16:9 cmp=u16:0 path=\"axis.fault\" value=\"true\" }") +
             " ]"},
        {"raised >= 2024-05-01T12:30:00Z and raised < \"2024-05-02\"",
         "[ { kind=u16:5 cmp=u16:5 which=u16:0 value=u64:133590402000000000 } "
         "{ kind=u16:5 cmp=u16:2 which=u16:0 value=u64:133590816000000000 } ]"},
        {"confirmation = waiting and not alarm = false",
         "[ { kind=u16:13 cmp=u16:0 value=u16:2 } " + NOT + " { kind=u16:1 cmp=u16:1 value=u16:1 } ]"},
        // Grouping: only what the flat form cannot say becomes a group.
        {"id = 1 and (id = 2 or id = 3)", "[ " + A + " " + Group(B + " " + OR + " " + C) + " ]"},
        {"(id = 1 or id = 2) or id = 3", "[ " + A + " " + OR + " " + B + " " + OR + " " + C + " ]"},
        {"id = 1 or id = 2 and id = 3", "[ " + A + " " + OR + " " + B + " " + C + " ]"},
        {"(id = 1 and id = 2) and ((id = 3))", "[ " + A + " " + B + " " + C + " ]"},
        {"not (id = 1 and id = 2)", "[ " + NOT + " " + Group(A + " " + B) + " ]"},
        {"not not (id = 1)", "[ " + NOT + " " + NOT + " " + A + " ]"},
        {"not (id = 1 or (id = 2 and not id = 3))",
         "[ " + NOT + " " + Group(A + " " + OR + " " + B + " " + NOT + " " + C) + " ]"},
    };
    for (const auto& c : cases) EXPECT_EQ(WrittenFor(c.text), c.written) << c.text;
}

TEST(FilterText, BadTextsGiveTheColumnAndWhatIsWrong) {
    const struct {
        std::string text;
        std::size_t column;
        std::string message;
    } cases[] = {
        {"severity >=", 12, "expected a value after '>=' but found the end of the text"},
        {"severity >= 7", 13, "severity takes verbose, info, warning, error, critical or 0 to 4, not '7'"},
        {"severity ~ 3", 10, "'~' does not apply to severity; use =, !=, <, <=, > or >="},
        {"severity", 9, "expected an operator after 'severity' but found the end of the text"},
        {"source ~ \"Axis", 10, "this text has no closing quote"},
        {"source = Axis", 10, "source takes a quoted text (source ~ \"Axis\"), not 'Axis'"},
        {"(id = 1 and (id = 2)", 1, "this '(' is never closed"},
        {"id = 1)", 7, "')' has no matching '('"},
        {"(id = 1 id = 2)", 9, "expected 'and', 'or' or ')' but found 'id'"},
        {"id = 1 id = 2", 8, "expected 'and', 'or' or the end of the text but found 'id'"},
        {"and id = 1", 1, "expected a comparison, 'not' or '(' but found 'and'"},
        {"id = 1 and", 11, "expected a comparison, 'not' or '(' but found the end of the text"},
        {"not", 4, "expected a comparison, 'not' or '(' but found the end of the text"},
        {"= 1", 1, "expected a field name, 'not' or '(' but found '='"},
        {"id = 4294967296", 6, "id takes a number from 0 to 4294967295, not '4294967296'"},
        {"id = -1", 6, "id takes a number from 0 to 4294967295, not '-1'"},
        {"id = \"1\"", 6, "id takes a number from 0 to 4294967295, not a quoted text"},
        {"raised > 2023-02-29", 10,
         "raised takes a time such as 2024-05-01T12:30:00Z or a FILETIME number, not '2023-02-29'"},
        {"raised > 1601-01-01T00:30+01:00", 10,
         "raised takes a time such as 2024-05-01T12:30:00Z or a FILETIME number, not '1601-01-01T00:30+01:00'"},
        {"active = 1", 10, "active is compared with true or false"},
        {"active < true", 8, "'<' does not apply to active; use = or !="},
        {"class = {1234}", 9, "class takes a GUID such as {30264E87-48E7-40B7-B71D-AD38673E571B}, not '{1234}'"},
        {"id ! 1", 4, "'!' alone is no operator; write '!=' or 'not'"},
        {"id = 1 & id = 2", 8, "unexpected character '&'"},
        {"source = \"a\\qb\"", 12, "unknown escape '\\q'"},
        {"source = \"\\ud800\"", 11, "'\\u' gives half of a surrogate pair"},
        {"source = \"\\u0000\"", 11, "a text cannot hold the character 0"},
        {"json. = 1", 1, "'json.' needs a member path, e.g. json.axis.state"},
        {"json.a..b = 1", 1, "the JSON path 'a..b' has an empty member"},
        {"json.a = abc", 10, "json.a takes a quoted text, a number, true, false or null, not 'abc'"},
        {"source = \"\xC3\xA4\" xx", 14, "expected 'and', 'or' or the end of the text but found 'xx'"},
        {std::string(33, '(') + "id = 1" + std::string(33, ')'), 33,
         "parentheses and 'not' nest deeper than 32 levels"},
        {std::string("id = 1\0", 7), 7, "the text holds a zero byte"},
        {std::string(1 << 20, ' ') + "x", (1 << 20) + 1, "the text is longer than 1048576 bytes"},
    };
    for (const auto& c : cases) {
        FilterTextResult result = CheckFilterText(c.text);
        EXPECT_EQ(result.hr, E_INVALIDARG) << c.text;
        EXPECT_EQ(result.column, c.column) << c.text;
        EXPECT_EQ(result.message, c.message) << c.text;
    }
    EXPECT_EQ(CheckFilterText("foo = 3").Describe().rfind("column 1: unknown field 'foo' (fields: type, class,", 0),
              0u);
}

HRESULT FailingFactory(const CLSID&, const IID&, void** ppv) {
    *ppv = nullptr;
    return E_OUTOFMEMORY;
}

TEST(FilterText, FailedCallsClearTheFilterAndBadTextLeavesItUntouched) {
    auto foreign = NewForeignFilter();
    FilterTextResult result = ParseFilterText("id = 1 and", foreign, ZtEventLoggerVdlFilterCreateInstance);
    EXPECT_EQ(result.hr, E_INVALIDARG);
    EXPECT_EQ(foreign->calls, "");

    // A filter without the alarm interface cannot take alarm-state expressions.
    result = ParseFilterText("id = 1 and active", foreign, ZtEventLoggerVdlFilterCreateInstance);
    EXPECT_EQ(result.hr, E_NOINTERFACE);
    EXPECT_EQ(result.Describe(), "column 12: the filter does not take this kind of expression");
    EXPECT_EQ(foreign->calls, "Id Clear");

    foreign->calls.clear();
    foreign->failing = "Severity";
    result = ParseFilterText("id = 1 or severity = 3", foreign, ZtEventLoggerVdlFilterCreateInstance);
    EXPECT_EQ(result.hr, E_OUTOFMEMORY);
    EXPECT_EQ(result.column, 11u);
    EXPECT_EQ(foreign->calls, "Id Or Severity Clear");

    auto filter = NewFilter();
    result = ParseFilterText("id = 1 and (id = 2 or id = 3)", filter, FailingFactory);
    EXPECT_EQ(result.Describe(), "column 12: no filter could be made for the group: out of memory");
    EXPECT_EQ(Written(filter), "[ ]");

    EXPECT_EQ(ParseFilterText("id = 1", nullptr, ZtEventLoggerVdlFilterCreateInstance).hr, E_POINTER);
    EXPECT_EQ(ParseFilterText("id = 1", filter, nullptr).hr, E_POINTER);

    IZtEventFilter* made = reinterpret_cast<IZtEventFilter*>(&result);
    EXPECT_EQ(CreateFilterFromText("id = 1 or", ZtEventLoggerVdlFilterCreateInstance, &made).column, 10u);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(CreateFilterFromText("id = 1", FailingFactory, &made).hr, E_OUTOFMEMORY);
    ASSERT_TRUE(CreateFilterFromText("id = 1", ZtEventLoggerVdlFilterCreateInstance, &made).Ok());
    EXPECT_EQ(Written(made), "[ " + A + " ]");
    EXPECT_EQ(made->Release(), 0u);
}

// Text made of the grammar's own pieces, shuffled: whatever is accepted must
// give a filter that validates; nothing may crash.
TEST(FilterText, ShuffledPiecesEitherFailCleanlyOrGiveValidFilters) {
    const char* pieces[] = {"id",       "=",    "1",      "and",        "or", "not",   "(",      ")",
                            "severity", ">=",   "error",  "source",     "~",  "\"x\"", "active", "json.a",
                            "!=",       "true", "raised", "2024-01-01", "\"", "\\"};
    std::mt19937 random(7);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) text += std::string(pieces[random() % std::size(pieces)]) + " ";
        auto filter = NewFilter();
        FilterTextResult result = ParseFilterText(text, filter, ZtEventLoggerVdlFilterCreateInstance);
        if (result.Ok()) {
            ++accepted;
            EXPECT_EQ(FaultOf(filter), "") << text;
        } else {
            EXPECT_GE(result.column, 1u) << text;
            EXPECT_LE(result.column, text.size() + 1) << text;
            EXPECT_FALSE(result.message.empty()) << text;
        }
    }
    EXPECT_GT(accepted, 10);
}

}  // namespace
