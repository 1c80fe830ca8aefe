#include "ZtEventLoggerVdlApi/VdlAccess.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "AccessFixture.h"
#include "ZtSim/Target.h"

namespace {

using namespace ZtEventLoggerVdlApi;

// A text handed out by the facade, freed as the contract says.
using Text = std::unique_ptr<char[]>;

class Facade : public ZtTest::AccessFixture {
protected:
    void SetUp() override {
        AccessFixture::SetUp();
        facade = std::make_unique<VdlAccess>(nullptr, ZtSim::kDefaultSymbolPort);
    }
    void TearDown() override {
        facade.reset();
        AccessFixture::TearDown();
    }
    std::unique_ptr<VdlAccess> facade;
};

TEST_F(Facade, ReadCoreHandsOutANewArrayEndingAtTheFirstNul) {
    char* raw = nullptr;
    ASSERT_EQ(facade->ReadCore("MAIN.sText", &raw), 0u);
    Text text(raw);
    EXPECT_STREQ(text.get(), "hello");
    ASSERT_EQ(facade->ReadCore("MAIN.nSint", &raw), 0u);
    EXPECT_STREQ(Text(raw).get(), "-1");

    char sentinel = 0;
    char* untouched = &sentinel;
    EXPECT_EQ(facade->ReadCore("MAIN.nope", &untouched), ZtSim::kErrSymbolNotFound);
    EXPECT_EQ(facade->ReadCore("MAIN.tDuration", &untouched), 1793u);
    EXPECT_EQ(untouched, &sentinel);
    EXPECT_EQ(facade->ReadCore(nullptr, &raw), 1803u);
    EXPECT_EQ(facade->ReadCore("MAIN.nInt", nullptr), 1803u);
}

TEST_F(Facade, NoExceptionCrossesTheFacade) {
    struct Case {
        const char* name;
        const char* text;
        uint32_t code;
    } cases[] = {
        {"MAIN.nInt", "abc", 1803},                   // not a number
        {"MAIN.nInt", "12abc", 1803},
        {"MAIN.nLint", "99999999999999999999", 1803},  // beyond the parser
        {"MAIN.fReal", "1e39", 1803},
        {"MAIN.fReal", "nan", 1803},
        {"MAIN.nUsint", "256", 1803},
        {"MAIN.sText", "far too long for it", 1797},
        {"MAIN.nInt", "-5", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(facade->WriteCore(c.name, c.text), c.code) << c.text;
        EXPECT_EQ(symbols->LiveHandles(), 0u) << c.text;
    }
    char* raw = nullptr;
    ASSERT_EQ(facade->ReadCore("MAIN.nInt", &raw), 0u);
    EXPECT_STREQ(Text(raw).get(), "-5");
    EXPECT_EQ(facade->WriteCore("MAIN.nInt", nullptr), 1803u);
    EXPECT_EQ(facade->WriteCore(nullptr, "1"), 1803u);
}

TEST_F(Facade, FilesAndTargetInformation) {
    ASSERT_EQ(facade->MkDirCore("logs/today"), 0u);
    ASSERT_EQ(facade->WriteFileCore("logs/today/a.txt", "line 1\nline 2\n"), 0u);
    bool exists = false;
    EXPECT_EQ(facade->FileExistsCore("logs/today/a.txt", exists), 0u);
    EXPECT_TRUE(exists);
    EXPECT_EQ(facade->FileExistsCore("logs/today/none.txt", exists), 0u);
    EXPECT_FALSE(exists);
    EXPECT_EQ(facade->FileExistsCore(nullptr, exists), 1803u);

    char* raw = nullptr;
    ASSERT_EQ(facade->ReadFileCore("logs/today/a.txt", &raw), 0u);
    Text text(raw);
    // The written terminating 0 is part of the file; the array adds its own.
    EXPECT_EQ(std::string(text.get(), 16), std::string("line 1\nline 2\n\0\0", 16));

    std::ofstream(Sandbox() / "empty.txt");
    ASSERT_EQ(facade->ReadFileCore("empty.txt", &raw), 0u);
    EXPECT_STREQ(Text(raw).get(), "");

    char sentinel = 0;
    char* untouched = &sentinel;
    EXPECT_EQ(facade->ReadFileCore("missing.txt", &untouched), 1804u);
    EXPECT_EQ(untouched, &sentinel);

    ASSERT_EQ(facade->GetTargetInfoCore(&raw), 0u);
    EXPECT_STREQ(Text(raw).get(), "Simulated controller local-plc (5.80.201.232.1.1)");
    EXPECT_EQ(facade->GetTargetInfoCore(nullptr), 1803u);

    EXPECT_EQ(facade->RmFileCore("logs/today/a.txt"), 0u);
    EXPECT_EQ(facade->RmDirCore("logs/today"), 0u);
    EXPECT_EQ(facade->RmDirCore("logs/today"), 1804u);
    for (auto op : {&VdlAccess::MkDirCore, &VdlAccess::RmDirCore, &VdlAccess::RmFileCore})
        EXPECT_EQ((facade.get()->*op)(nullptr), 1803u);
}

TEST_F(Facade, StateMapping) {
    struct Case {
        uint16_t state;
        int mapped;
    } cases[] = {{5, CORVEX_STATE_RUN},    {15, CORVEX_STATE_CONFIG}, {6, CORVEX_STATE_STOP},
                 {11, CORVEX_STATE_ERROR}, {16, CORVEX_STATE_UNKNOWN}, {0, CORVEX_STATE_UNKNOWN}};
    for (const auto& c : cases) {
        sim->Local().SetState(c.state);
        EXPECT_EQ(facade->GetCORVEXState(), c.mapped) << c.state;
    }
    EXPECT_TRUE(facade->RestartCorvex());
    EXPECT_EQ(facade->GetCORVEXState(), CORVEX_STATE_RUN);
    EXPECT_TRUE(facade->SetConfigMode());
    EXPECT_EQ(facade->GetCORVEXState(), CORVEX_STATE_CONFIG);

    VdlAccess nowhere("9.9.9.9.1.1", ZtSim::kDefaultSymbolPort);
    EXPECT_EQ(nowhere.GetCORVEXState(), CORVEX_STATE_UNKNOWN);
    EXPECT_TRUE(nowhere == nowhere);
    EXPECT_TRUE(nowhere != *facade);
    sim->Stop();
    EXPECT_EQ(facade->GetCORVEXState(), CORVEX_STATE_UNKNOWN);
}

}  // namespace
