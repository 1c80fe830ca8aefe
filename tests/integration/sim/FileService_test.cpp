#include "ZtSim/FileService.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "SimFixture.h"
#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"

namespace {

namespace fs = std::filesystem;

// A sandbox with a folder outside it that no request may reach.
class SandboxEscape : public ZtTest::SimFixture {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "zt-outside-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        outside = tmpl;
        std::ofstream(outside / "secret.txt") << "secret";
        SimFixture::SetUp();
        root = sim->Files().Root();
        fs::create_directory(root / "in");
        std::ofstream(root / "in/file.txt") << "inside";
        fs::create_directory_symlink(outside, root / "out");             // leads out
        fs::create_symlink(outside / "secret.txt", root / "secret.lnk");  // a file out
        fs::create_symlink(outside / "none.txt", root / "dangling");      // would create a file out
        fs::create_directory_symlink(root / "in", root / "alias");        // stays inside
        access = std::make_unique<ZtEventLoggerVdlApi::VdlAccessImpl>("", ZtSim::kDefaultSymbolPort);
    }
    void TearDown() override {
        access.reset();
        EXPECT_EQ(sim->Files().OpenFiles(), 0u);
        SimFixture::TearDown();
        std::error_code ec;
        fs::remove_all(outside, ec);
    }
    std::vector<std::string> OutsideNames() {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(outside)) names.push_back(e.path().filename().string());
        return names;
    }

    fs::path outside, root;
    std::unique_ptr<ZtEventLoggerVdlApi::VdlAccessImpl> access;
};

TEST_F(SandboxEscape, PathsLeavingTheSandboxAreRefused) {
    const std::string up = "../" + outside.filename().string();
    const std::string refused[] = {
        up + "/secret.txt", "in/../../x", "..\\x", "/etc/passwd", outside.string() + "/secret.txt",
        "\\etc\\passwd", "C:\\x.txt", "out/secret.txt", "out", "secret.lnk", "dangling", "alias/../../x",
        ".", "", "./",  // the sandbox itself
    };
    const int code = static_cast<int>(ZtSim::kErrPathRefused);
    for (const std::string& p : refused) {
        EXPECT_EQ(access->ReadFile(p).second, code) << p;
        EXPECT_EQ(access->WriteFile(p, "pwned"), code) << p;
        EXPECT_EQ(access->GetFileStatus(p).second, code) << p;
        EXPECT_EQ(access->RmFile(p), code) << p;
        EXPECT_EQ(access->RmDir(p), code) << p;
        if (p.find_first_not_of("./") != std::string::npos) {
            EXPECT_EQ(access->MkDir(p + "/new"), code) << p;
        }
    }
    EXPECT_EQ(OutsideNames(), std::vector<std::string>{"secret.txt"});
    std::ifstream in(outside / "secret.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "secret");
    EXPECT_TRUE(fs::is_symlink(root / "out"));
}

TEST_F(SandboxEscape, PathsInsideAreServed) {
    EXPECT_EQ(access->ReadFile("in/file.txt"), (std::pair<std::string, int>{"inside", 0}));
    EXPECT_EQ(access->ReadFile("alias\\file.txt"), (std::pair<std::string, int>{"inside", 0}));  // a link inside
    EXPECT_EQ(access->ReadFile("./in//file.txt").second, 0);
    EXPECT_EQ(access->WriteFile("alias/new.txt", "x"), 0);
    EXPECT_TRUE(fs::exists(root / "in/new.txt"));
    EXPECT_EQ(access->MkDir("in/a/b"), 0);
    EXPECT_EQ(access->MkDir("in/a/b"), 0);  // already there
    EXPECT_EQ(access->RmDir("in/a/b"), 0);
    EXPECT_EQ(access->RmFile("in/file.txt"), 0);
    // Opening a folder is refused; so is an open mode the service does not know.
    uint8_t h[4];
    char path[] = "in";
    EXPECT_EQ(access->Adapter().VdlSyncReadWriteReq(ZtSim::kSystemServicePort, 120, 0x10011, 4, h, 3, path),
              ZtSim::kErrPathRefused);
    EXPECT_EQ(access->Adapter().VdlSyncReadWriteReq(ZtSim::kSystemServicePort, 120, 0x10014, 4, h, 3, path), 1803u);
    EXPECT_EQ(access->Adapter().VdlSyncReadWriteReq(ZtSim::kSystemServicePort, 125, 0, 4, h, 3, path), 1793u);
    EXPECT_EQ(access->Adapter().VdlSyncReadWriteReq(ZtSim::kSystemServicePort, 121, 999, 0, nullptr, 0, nullptr),
              1804u);
}

TEST(FileServiceFolder, TemporarySandboxIsRemovedWithTheService) {
    fs::path root;
    {
        ZtSim::FileService files("");
        root = files.Root();
        std::ofstream(root / "x.txt") << "x";
        EXPECT_TRUE(fs::exists(root / "x.txt"));
    }
    EXPECT_FALSE(fs::exists(root));
    // A named folder is made when missing and kept.
    std::string tmpl = (fs::temp_directory_path() / "zt-named-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    { ZtSim::FileService files(fs::path(tmpl) / "box"); }
    EXPECT_TRUE(fs::is_directory(fs::path(tmpl) / "box"));
    fs::remove_all(tmpl);
}

}  // namespace
