#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"

#include "RecordingStreamWriter.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace filter_test;

CComPtr<IZtExportSettings> NewSettings() { return Make<IZtExportSettings>(CLSID_ZtExportSettings); }

CComPtr<IZtCsvExportSettings> CsvOf(IZtExportSettings* settings) {
    CComPtr<IZtCsvExportSettings> csv;
    EXPECT_EQ(
        settings->QueryInterface(IID_IZtCsvExportSettings, reinterpret_cast<void**>(csv.ReleaseAndGetAddressOf())),
        S_OK);
    return csv;
}

std::string DelimiterOf(IZtCsvExportSettings* csv) {
    BSTR text = nullptr;
    EXPECT_EQ(csv->get_Delimiter(&text), S_OK);
    std::string result(text ? text : "", SysStringLen(text));
    SysFreeString(text);
    return result;
}

TEST(ZtExportSettings, DefaultsAreWrittenWithTheirWidths) {
    auto settings = NewSettings();
    auto csv = CsvOf(settings);
    unsigned int maxCount = 9;
    tagZtEventOrderEnum order = EventOrderOldestFirst;
    VARIANT_BOOL header = 0;
    long langId = 0;
    IZtEventFilter* filter = reinterpret_cast<IZtEventFilter*>(&maxCount);
    EXPECT_EQ(settings->get_MaxCount(&maxCount), S_OK);
    EXPECT_EQ(settings->get_Order(&order), S_OK);
    EXPECT_EQ(settings->get_Filter(&filter), S_OK);
    EXPECT_EQ(csv->get_WithHeader(&header), S_OK);
    EXPECT_EQ(csv->get_LangId(&langId), S_OK);
    EXPECT_EQ(maxCount, 0u);
    EXPECT_EQ(order, EventOrderNewestFirst);
    EXPECT_EQ(filter, nullptr);
    EXPECT_EQ(header, VARIANT_TRUE);
    EXPECT_EQ(langId, 1033);
    EXPECT_EQ(DelimiterOf(csv), ",");
    EXPECT_EQ(Written(settings), "{ maxCount=u32:0 order=u16:0 csv={ delimiter=\",\" header=true langId=i32:1033 } }");

    EXPECT_EQ(settings->get_MaxCount(nullptr), E_POINTER);
    EXPECT_EQ(settings->get_Filter(nullptr), E_POINTER);
    EXPECT_EQ(csv->get_Delimiter(nullptr), E_POINTER);
}

TEST(ZtExportSettings, PropertiesAndACopiedFilterAreWritten) {
    auto settings = NewSettings();
    auto csv = CsvOf(settings);
    auto filter = NewFilter();
    filter->AddSeverityExpression(SeverityError, FilterGreaterOrEqual);
    ASSERT_EQ(settings->put_Filter(filter), S_OK);
    filter->AddLogicalOperator();  // later changes stay out of the settings
    settings->put_MaxCount(100);
    settings->put_Order(EventOrderOldestFirst);
    csv->put_Delimiter(Bstr(";"));
    csv->put_WithHeader(VARIANT_FALSE);
    csv->put_LangId(1031);
    EXPECT_EQ(DelimiterOf(csv), ";");
    EXPECT_EQ(Written(settings),
              "{ maxCount=u32:100 order=u16:1 filter=[ { kind=u16:4 cmp=u16:5 value=u16:3 } ] "
              "csv={ delimiter=\";\" header=false langId=i32:1031 } }");

    // get_Filter hands out a new object with a copy; changing it changes nothing here.
    CComPtr<IZtEventFilter> copy;
    ASSERT_EQ(settings->get_Filter(copy.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy.IsEqualObject(filter));
    EXPECT_EQ(Written(copy), "[ { kind=u16:4 cmp=u16:5 value=u16:3 } ]");
    copy->Clear();
    EXPECT_NE(Written(settings).find("filter=[ {"), std::string::npos);

    EXPECT_EQ(settings->put_Filter(NewForeignFilter()), E_INVALIDARG);
    ASSERT_EQ(settings->put_Filter(nullptr), S_OK);
    EXPECT_EQ(settings->get_Filter(copy.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_FALSE(copy);
    EXPECT_EQ(Written(settings).find("filter"), std::string::npos);
}

struct SettingsCase {
    const char* name;
    std::function<void(IZtExportSettings*, IZtCsvExportSettings*)> change;
    std::string fault;  // empty: valid
};

TEST(ZtExportSettings, ValidationCoversOrderDelimiterHeaderLanguageAndFilter) {
    const std::string delimiter = "The CSV delimiter must be exactly one character other than '\"', CR and LF.";
    auto put = [](const char* text) {
        return [text](IZtExportSettings*, IZtCsvExportSettings* c) { c->put_Delimiter(Bstr(text)); };
    };
    const SettingsCase cases[] = {
        {"defaults", [](IZtExportSettings*, IZtCsvExportSettings*) {}, ""},
        {"tab", put("\t"), ""},
        {"two-byte character", put("\xC2\xA7"), ""},
        {"order 2",
         [](IZtExportSettings* s, IZtCsvExportSettings*) { s->put_Order(static_cast<tagZtEventOrderEnum>(2)); },
         "The order 2 is neither 0 (newest first) nor 1 (oldest first)."},
        {"no delimiter", [](IZtExportSettings*, IZtCsvExportSettings* c) { c->put_Delimiter(nullptr); }, delimiter},
        {"two characters", put(";;"), delimiter},
        {"quote", put("\""), delimiter},
        {"CR", put("\r"), delimiter},
        {"LF", put("\n"), delimiter},
        {"truncated character", put("\xC2"), delimiter},
        {"overlong form", put("\xC0\xBB"), delimiter},
        {"header 1", [](IZtExportSettings*, IZtCsvExportSettings* c) { c->put_WithHeader(1); },
         "WithHeader 1 is neither VARIANT_TRUE nor VARIANT_FALSE."},
        {"negative language", [](IZtExportSettings*, IZtCsvExportSettings* c) { c->put_LangId(-1); },
         "The language id -1 is outside 0 to 2147483647."},
        {"wide language", [](IZtExportSettings*, IZtCsvExportSettings* c) { c->put_LangId(2147483648L); },
         "The language id 2147483648 is outside 0 to 2147483647."},
        {"invalid filter",
         [](IZtExportSettings* s, IZtCsvExportSettings*) {
             auto f = NewFilter();
             f->AddNotOperator();
             s->put_Filter(f);
         },
         "Filter item 1: NOT has no expression after it."},
    };
    for (const auto& c : cases) {
        auto settings = NewSettings();
        c.change(settings, CsvOf(settings));
        EXPECT_EQ(FaultOf(settings), c.fault) << c.name;

        // Validate agrees and hands out the fault as an error object that tells it.
        auto validation = SerializableOf<IZtSettingsValidation>(settings);
        ASSERT_TRUE(validation);
        bool valid = false;
        IZtUnknown* error = reinterpret_cast<IZtUnknown*>(&valid);
        ASSERT_EQ(validation->Validate(&valid, &error), S_OK);
        EXPECT_EQ(valid, c.fault.empty()) << c.name;
        EXPECT_EQ(error != nullptr, !c.fault.empty()) << c.name;
        if (error) {
            void* told = nullptr;
            EXPECT_EQ(error->ZtQueryInterface(IID_IZtFilterValidation, &told), S_OK);
            static_cast<IZtFilterValidation*>(told)->ZtRelease();
            error->ZtRelease();
            EXPECT_EQ(Written(settings), "(refused)") << c.name;
        }
    }
}

}  // namespace
