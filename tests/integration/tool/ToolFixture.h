// ToolFixture.h - runs the zt-eventlog command line in-process (RunCli) on
// an argument vector and captures what it prints, against an in-process
// simulator with the demo machine's texts.
#ifndef ZT_TEST_TOOL_FIXTURE_H
#define ZT_TEST_TOOL_FIXTURE_H

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "Cli.h"
#include "SimFixture.h"
#include "ZtSim/EventLoggerService.h"

namespace ZtTest {

// A stream that one thread writes while another reads what it holds.
class SharedText : public std::streambuf {
public:
    std::string Text() {
        std::lock_guard<std::mutex> lk(m_mutex);
        return m_text;
    }

protected:
    int_type overflow(int_type c) override {
        if (c == traits_type::eof()) return traits_type::not_eof(c);
        std::lock_guard<std::mutex> lk(m_mutex);
        m_text += static_cast<char>(c);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_text.append(s, static_cast<size_t>(n));
        return n;
    }

private:
    std::mutex m_mutex;
    std::string m_text;
};

struct ToolRun {
    int rc = -1;
    std::string out, err;
};

inline ToolRun RunTool(const std::vector<std::string>& args, const std::atomic<bool>* stop = nullptr) {
    std::ostringstream out, err;
    ToolRun r;
    r.rc = ZtEventLog::RunCli(args, {out, err, false, false}, stop);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// The demo machine's classes (sim/data/demo_machine.resources.json).
inline const char* kAxesClass = "{4A6F1C2E-8B3D-4F51-9C07-2E5B7A9D1F30}";
inline const ZtSim::EventGuid kAxes{0x4A6F1C2E, 0x8B3D, 0x4F51, {0x9C, 0x07, 0x2E, 0x5B, 0x7A, 0x9D, 0x1F, 0x30}};

// Axis following error (id 10, waits for a confirmation) or limit switch (11).
inline ZtSim::EventDescription AxisAlarm(uint32_t id, const char* axis) {
    ZtSim::EventDescription d;
    d.eventClass = kAxes;
    d.eventId = id;
    d.keyQualifier = id == 10 ? 3 : 0;
    d.severity = id == 10 ? 3 : 2;
    d.needsConfirmation = id == 10;
    d.source.id = 13;
    d.source.name = std::string("Machine.Axes.") + axis;
    d.jsonAttribute = std::string("{\"axis\":\"") + axis + "\"}";
    if (id == 10)
        d.arguments = {ZtSim::EventArgument::Bstr(axis), ZtSim::EventArgument::Double(0.473),
                       ZtSim::EventArgument::Double(0.25)};
    else
        d.arguments = {ZtSim::EventArgument::Bstr(axis), ZtSim::EventArgument::String("+"),
                       ZtSim::EventArgument::Float(612.5f)};
    return d;
}

inline ZtSim::SimOptions ToolSimOptions(uint16_t port = 0) {
    ZtSim::SimOptions o = DefaultSimOptions();
    o.port = port;
    o.resourceFiles = {ZT_DEMO_RESOURCES};
    return o;
}

class ToolFixture : public SimFixture {
protected:
    void SetUp() override { StartSim(ToolSimOptions()); }
    std::shared_ptr<ZtSim::EventLoggerService> Events() { return ZtSim::EventLoggerOf(sim->Local()); }
};

}  // namespace ZtTest

#endif  // ZT_TEST_TOOL_FIXTURE_H
