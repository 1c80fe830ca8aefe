// Files, target information, runtime state and state changes of VdlAccessImpl.
#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <mutex>

#include "AccessFixture.h"
#include "ZtSim/Target.h"
#include "ZtSim/TargetAccess.h"

namespace {

using namespace ZtEventLoggerVdlApi;
namespace fs = std::filesystem;

class TargetAccess : public ZtTest::AccessFixture {
protected:
    // Records each request of a file group before the file service serves it.
    struct Seen {
        std::string path;
        uint32_t readLength;
        size_t written;
        uint32_t error;
    };
    void Observe(uint32_t group) {
        system->SetGroupHandler(group, [this](ZtSim::Target&, const ZtSim::Request& r) {
            std::string text(r.data.begin(), r.data.end());
            std::string path = text.substr(0, text.find('\0'));
            std::lock_guard<std::mutex> lk(seenMutex);
            // A target too busy for the request (1793) as often as asked, then served.
            ZtSim::Reply reply = refusals[path] > 0 ? ZtSim::Reply::Error(1793) : sim->Files().Handle(r);
            if (refusals[path] > 0) --refusals[path];
            seen.push_back({path, r.readLength, r.data.size(), reply.error});
            return reply;
        });
    }
    std::vector<Seen> Seen_() {
        std::lock_guard<std::mutex> lk(seenMutex);
        return seen;
    }
    void MakeFile(const std::string& rel, const std::string& contents) {
        std::ofstream(Sandbox() / rel, std::ios::binary) << contents;
    }
    std::string FileText(const std::string& rel) {
        std::ifstream in(Sandbox() / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static std::string Pattern(size_t n) {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
        return s;
    }
    long long ElapsedMs(std::chrono::steady_clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
    }

    std::mutex seenMutex;
    std::vector<Seen> seen;
    std::map<std::string, int> refusals;  // path: requests to refuse
};

TEST_F(TargetAccess, WriteFileSendsTextAndNulInChunks) {
    Observe(ZtSim::kFileWriteGroup);
    const std::string text = Pattern(20000);
    ASSERT_EQ(access->WriteFile("big.txt", text), 0);
    auto s = Seen_();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].written, 16128u);
    EXPECT_EQ(s[1].written, 3873u);  // the last chunk carries the terminating 0
    EXPECT_EQ(FileText("big.txt"), text + std::string(1, '\0'));

    seen.clear();
    ASSERT_EQ(access->WriteFile("empty.txt", ""), 0);
    ASSERT_EQ(Seen_().size(), 1u);
    EXPECT_EQ(Seen_()[0].written, 1u);
}

TEST_F(TargetAccess, ReadFileInChunks) {
    Observe(ZtSim::kFileReadGroup);
    const std::string contents = Pattern(70000) + std::string("\0tail", 5);
    MakeFile("data.bin", contents);
    auto [read, rc] = access->ReadFile("data.bin");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(read, contents);
    auto s = Seen_();
    ASSERT_EQ(s.size(), 4u);  // 32768 + 32768 + 4469, then 0 bytes
    for (const auto& c : s) EXPECT_EQ(c.readLength, 0x8000u);

    MakeFile("empty.bin", "");
    EXPECT_EQ(access->ReadFile("empty.bin"), (std::pair<std::string, int>{"", 0}));
    EXPECT_EQ(access->ReadFile("missing.bin"), (std::pair<std::string, int>{"", 1804}));
    EXPECT_EQ(access->ReadFile("/etc/hostname").second, static_cast<int>(ZtSim::kErrPathRefused));
}

TEST_F(TargetAccess, FailedChunksCloseTheFileAndAreReported) {
    // The n-th request of a group is served, but answered with an error.
    auto failNth = [this](uint32_t group, int n, uint32_t error) {
        auto count = std::make_shared<int>(0);
        system->SetGroupHandler(group, [this, count, n, error](ZtSim::Target&, const ZtSim::Request& r) {
            ZtSim::Reply reply = sim->Files().Handle(r);
            return ++*count == n ? ZtSim::Reply::Error(error) : reply;
        });
    };
    MakeFile("data.bin", Pattern(0x9000));
    // The bytes before a failed chunk come back with its code, not as the whole file.
    failNth(ZtSim::kFileReadGroup, 2, 1861);
    EXPECT_EQ(access->ReadFile("data.bin"), (std::pair<std::string, int>{Pattern(0x8000), 1861}));
    EXPECT_EQ(sim->Files().OpenFiles(), 0u);
    failNth(ZtSim::kFileWriteGroup, 2, 1861);
    EXPECT_EQ(access->WriteFile("out.txt", Pattern(0x9000)), 1861);
    EXPECT_EQ(sim->Files().OpenFiles(), 0u);
    EXPECT_EQ(FileText("out.txt").size(), 2 * 0x3F00u);  // no third chunk after the failed second
    // A close that fails is the result.
    failNth(ZtSim::kFileCloseGroup, 1, 1798);
    EXPECT_EQ(access->WriteFile("out.txt", "abc"), 1798);
    failNth(ZtSim::kFileCloseGroup, 1, 1798);
    EXPECT_EQ(access->ReadFile("data.bin"), (std::pair<std::string, int>{Pattern(0x9000), 1798}));
    EXPECT_EQ(access->WriteFile("no/such/folder.txt", "abc"), 1804);
    // An open that fails leaves nothing to close.
    sim->Faults().Add({ZtSim::FaultKind::Error, 1861, 0, 1, ZtSim::kSystemServicePort, ZtSim::kFileOpenGroup});
    EXPECT_EQ(access->ReadFile("data.bin"), (std::pair<std::string, int>{"", 1861}));
}

TEST_F(TargetAccess, MkDirWalksUpAndBackDown) {
    Observe(ZtSim::kMkDirGroup);
    struct Step {
        const char* path;
        uint32_t error;
    };
    struct Case {
        const char* what;
        std::vector<const char*> existing;
        const char* path;
        int result;
        std::vector<Step> steps;
        int refusals = 0;  // of the full path
    } cases[] = {
        {"only a exists", {"a"}, "a/b/c", 0, {{"a/b/c", 1804}, {"a/b", 0}, {"a/b/c", 0}}},
        {"none exists",
         {},
         "x/y/z",
         0,
         {{"x/y/z", 1804}, {"x/y", 1804}, {"x", 0}, {"x/y", 0}, {"x/y/z", 0}}},
        {"all exist", {"p", "p/q"}, "p/q", 0, {{"p/q", 1827}, {"p", 1827}}},
        {"escape refused", {}, "../out", 1803, {{"../out", 1803}, {"..", 1803}}},
        {"absolute refused", {}, "/tmp/zt", 1803, {{"/tmp/zt", 1803}, {"/tmp", 1803}}},
        // The full path fails otherwise while parents are missing: it is tried
        // again once they are made, and that attempt decides.
        {"full path busy, a parent missing",
         {},
         "r/s/t",
         0,
         {{"r/s/t", 1793}, {"r/s", 1804}, {"r", 0}, {"r/s", 0}, {"r/s/t", 0}},
         1},
        {"full path busy, its parent made on the way up", {"m"}, "m/n/o", 0, {{"m/n/o", 1793}, {"m/n", 0}, {"m/n/o", 0}},
         1},
        {"full path still busy", {}, "u/v", 1793, {{"u/v", 1793}, {"u", 0}, {"u/v", 1793}}, 2},
        {"full path busy, nothing missing", {"k"}, "k/l", 1793, {{"k/l", 1793}, {"k", 1827}}, 1},
    };
    for (const auto& c : cases) {
        for (const char* d : c.existing) fs::create_directory(Sandbox() / d);
        {
            std::lock_guard<std::mutex> lk(seenMutex);
            seen.clear();
            refusals[c.path] = c.refusals;
        }
        EXPECT_EQ(access->MkDir(c.path), c.result) << c.what;
        auto s = Seen_();
        ASSERT_EQ(s.size(), c.steps.size()) << c.what;
        for (size_t i = 0; i < s.size(); ++i) {
            EXPECT_EQ(s[i].path, c.steps[i].path) << c.what << " step " << i;
            EXPECT_EQ(s[i].error, c.steps[i].error) << c.what << " step " << i;
        }
    }
    for (const char* made : {"a/b/c", "x/y/z", "r/s/t", "m/n/o"}) EXPECT_TRUE(fs::is_directory(Sandbox() / made)) << made;
}

TEST_F(TargetAccess, RemoveAndStatus) {
    fs::create_directories(Sandbox() / "d/sub");
    MakeFile("d/f.txt", "12345");
    auto [record, rc] = access->GetFileStatus("d/f.txt");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(record[0], 0x80);  // a file, 5 bytes
    EXPECT_EQ(record[4], 5);
    EXPECT_EQ(access->GetFileStatus("d/none").second, 1804);
    struct Case {
        int (VdlAccessImpl::*op)(std::string_view);
        const char* path;
        int code;
    } cases[] = {
        {&VdlAccessImpl::RmFile, "d/none", 1804},  {&VdlAccessImpl::RmFile, "d/sub", 1803},
        {&VdlAccessImpl::RmFile, "d/f.txt", 0},    {&VdlAccessImpl::RmDir, "d", 1803},  // not empty
        {&VdlAccessImpl::RmDir, "d/none", 1804},   {&VdlAccessImpl::RmDir, "d/sub", 0},
        {&VdlAccessImpl::RmDir, "d", 0},           {&VdlAccessImpl::RmDir, ".", 1803},  // the sandbox itself
    };
    for (const auto& c : cases) EXPECT_EQ((access.get()->*c.op)(c.path), c.code) << c.path;
    EXPECT_FALSE(fs::exists(Sandbox() / "d"));
}

TEST_F(TargetAccess, TargetInformation) {
    auto [text, rc] = access->GetTargetInfo();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(text, "Simulated controller local-plc (5.80.201.232.1.1)");
    // A length the reply cannot be believed for is refused, not allocated.
    for (uint32_t length : {0xFFFFFFFFu, 2u * 1024u * 1024u}) {
        system->SetGroupHandler(ZtSim::kTargetInfoGroup, [length](ZtSim::Target&, const ZtSim::Request&) {
            return ZtSim::Reply::Data(ZtSim::Bytes().U32(length).Take());
        });
        EXPECT_EQ(access->GetTargetInfo(), (std::pair<std::string, int>{"", 1798})) << length;
    }
    // A text shorter than announced stays zero-filled up to the length.
    system->SetGroupHandler(ZtSim::kTargetInfoGroup, [](ZtSim::Target&, const ZtSim::Request& r) {
        if (r.readLength == 4) return ZtSim::Reply::Data(ZtSim::Bytes().U32(6).Take());
        return ZtSim::Reply::Data({'a', 'b'});
    });
    EXPECT_EQ(access->GetTargetInfo(), (std::pair<std::string, int>{std::string("ab\0\0\0\0", 6), 0}));
    sim->Faults().FailNext(1, 1861, ZtSim::kSystemServicePort);
    EXPECT_EQ(access->GetTargetInfo(), (std::pair<std::string, int>{"", 1861}));
}

TEST_F(TargetAccess, StateChanges) {
    ASSERT_EQ(access->Adapter().VdlSyncSetTimeout(3000), 0u);
    struct Case {
        const char* what;
        uint16_t from;
        bool toConfig;
        uint16_t to;
        long long minMs;  // the whole change, the reconfiguration included
    } cases[] = {
        {"run to configuration mode", ZtSim::kStateRun, true, ZtSim::kStateConfig,
         ZtTest::kLeaveMs + ZtTest::kConfigMs},
        // Already there: it must wait for the runtime to leave, then come back;
        // returning at the first poll (still 15) would be too early.
        {"configuration mode again", ZtSim::kStateConfig, true, ZtSim::kStateConfig,
         ZtTest::kLeaveMs + ZtTest::kConfigMs},
        {"restart from configuration mode", ZtSim::kStateConfig, false, ZtSim::kStateRun,
         ZtTest::kLeaveMs + ZtTest::kRestartMs},
        {"restart from run", ZtSim::kStateRun, false, ZtSim::kStateRun, ZtTest::kLeaveMs + ZtTest::kRestartMs},
        {"restart from error", ZtSim::kStateError, false, ZtSim::kStateRun, ZtTest::kLeaveMs + ZtTest::kRestartMs},
    };
    for (const auto& c : cases) {
        sim->Local().SetState(c.from);
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(c.toConfig ? access->SetConfigMode() : access->RestartCorvex()) << c.what;
        EXPECT_GE(ElapsedMs(start), c.minMs) << c.what;
        EXPECT_EQ(sim->Local().VdlState(), c.to) << c.what;
        EXPECT_EQ(access->GetVdlState(), c.to) << c.what;
        EXPECT_EQ(access->Adapter().VdlSyncGetTimeout(), 3000u) << c.what;  // restored
    }
}

TEST_F(TargetAccess, StateOfAnUnreachableTargetIsZero) {
    sim->Local().SetState(ZtSim::kStateError);
    EXPECT_EQ(access->GetVdlState(), ZtSim::kStateError);
    VdlAccessImpl nowhere("9.9.9.9.1.1", ZtSim::kDefaultSymbolPort);  // no route to it
    EXPECT_EQ(nowhere.GetVdlState(), 0);
    EXPECT_EQ(nowhere.GetTargetInfo().second, 7);
    sim->Stop();
    EXPECT_EQ(access->GetVdlState(), 0);
}

}  // namespace
