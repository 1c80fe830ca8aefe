// TargetCommands.cpp - routes, symbol, file, info, state, config-mode and
// restart: the target-access toolkit (VdlAccessImpl) and the router adapter.
#include <fmt/format.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "Tool.h"
#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"
#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"
#include "ZtTool/EventJson.h"
#include "rapidjson/stringbuffer.h"
#include "rapidjson/writer.h"

namespace ZtEventLog {

using namespace ZtEventLoggerVdlApi;

namespace {

constexpr unsigned short kSystemServicePort = 10000;

std::string NetIdText(const MrxNetId& id) {
    return fmt::format("{}.{}.{}.{}.{}.{}", id.b[0], id.b[1], id.b[2], id.b[3], id.b[4], id.b[5]);
}

// A compact JSON object of string and number members, in the given order.
class JsonObject {
public:
    JsonObject() : m_writer(m_buffer) { m_writer.StartObject(); }
    JsonObject& Str(const char* key, std::string_view value) {
        m_writer.Key(key);
        const std::string v = ZtTool::ValidUtf8(value);
        m_writer.String(v.data(), static_cast<rapidjson::SizeType>(v.size()));
        return *this;
    }
    JsonObject& Num(const char* key, int64_t value) {
        m_writer.Key(key);
        m_writer.Int64(value);
        return *this;
    }
    JsonObject& Bool(const char* key, bool value) {
        m_writer.Key(key);
        m_writer.Bool(value);
        return *this;
    }
    std::string Done() {
        m_writer.EndObject();
        return std::string(m_buffer.GetString(), m_buffer.GetSize());
    }

private:
    rapidjson::StringBuffer m_buffer;
    rapidjson::Writer<rapidjson::StringBuffer> m_writer;
};

const char* RuntimeStateName(unsigned state) {
    switch (state) {
    case VDL_STATE_RUN: return "run";
    case VDL_STATE_STOP: return "stop";
    case VDL_STATE_ERROR: return "error";
    case VDL_STATE_CONFIG: return "config";
    case 16: return "reconfiguring";
    case 0: return "unknown";
    default: return "other";
    }
}

// Target access for one subcommand, connected to the chosen target.
std::unique_ptr<VdlAccessImpl> OpenAccess(ToolContext& ctx, unsigned short symbolPort = 851) {
    auto access = std::make_unique<VdlAccessImpl>(ctx.options.target, symbolPort);
    if (ctx.options.timeoutMs > 0) access->Adapter().VdlSyncSetTimeout(ctx.options.timeoutMs);
    return access;
}

int Routes(ToolContext& ctx) {
    VdlR3AdapterImpl adapter;
    if (uint32_t rc = adapter.Connect(""); rc != 0) return ctx.FailVdl(rc, "cannot reach the router");
    if (ctx.options.timeoutMs > 0) adapter.VdlSyncSetTimeout(ctx.options.timeoutMs);
    auto [routes, rc] = adapter.ListVdlRoutes();
    adapter.Disconnect();
    if (ctx.out.Json()) {
        for (const auto& r : routes)
            ctx.out.Line(JsonObject().Str("name", r.name).Str("address", r.firstText).Str("netId", NetIdText(r.netId)).Done());
    } else {
        Table t({"NAME", "ADDRESS", "NETID"});
        for (const auto& r : routes) t.Row({r.name, r.firstText, NetIdText(r.netId)});
        t.Print(ctx.out);
    }
    if (rc != 0) return ctx.FailVdl(rc, "the route table is incomplete");
    return kExitOk;
}

struct SymbolOptions {
    int port = 851;
    std::vector<std::string> names;
    std::string name, value;
};

int SymbolRead(ToolContext& ctx, const SymbolOptions& o) {
    auto access = OpenAccess(ctx, static_cast<unsigned short>(o.port));
    int result = kExitOk;
    for (const auto& name : o.names) {
        auto [text, rc] = access->Read(name);
        if (rc != 0) {
            result = ctx.FailVdl(static_cast<uint32_t>(rc), fmt::format("cannot read {}", name));
            continue;
        }
        // A string symbol comes with its trailing zero bytes.
        if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
        if (ctx.out.Json()) ctx.out.Line(JsonObject().Str("name", name).Str("value", text).Done());
        else if (o.names.size() == 1) ctx.out.Line(text);
        else ctx.out.Line(fmt::format("{} = {}", name, text));
    }
    return result;
}

int SymbolWrite(ToolContext& ctx, const SymbolOptions& o) {
    auto access = OpenAccess(ctx, static_cast<unsigned short>(o.port));
    int rc = 0;
    try {
        rc = access->Write(o.name, o.value);
    } catch (const std::invalid_argument&) {
        throw UsageError(fmt::format("{} holds a number; '{}' is not one", o.name, o.value));
    } catch (const std::out_of_range&) {
        throw UsageError(fmt::format("'{}' is out of range for {}", o.value, o.name));
    }
    if (rc != 0) return ctx.FailVdl(static_cast<uint32_t>(rc), fmt::format("cannot write {}", o.name));
    if (ctx.out.Json()) ctx.out.Line(JsonObject().Str("name", o.name).Str("written", o.value).Done());
    return kExitOk;
}

int SymbolInfoCommand(ToolContext& ctx, const SymbolOptions& o) {
    auto access = OpenAccess(ctx, static_cast<unsigned short>(o.port));
    SymbolInfo info = access->GetSymbolInfo(o.name);
    if (info.error != 0) return ctx.FailVdl(static_cast<uint32_t>(info.error), fmt::format("no information on {}", o.name));
    if (ctx.out.Json()) {
        ctx.out.Line(JsonObject()
                         .Str("name", info.name)
                         .Str("typeName", info.typeName)
                         .Num("dataType", info.dataType)
                         .Num("size", info.size)
                         .Num("indexGroup", info.indexGroup)
                         .Num("indexOffset", info.indexOffset)
                         .Str("comment", info.comment)
                         .Done());
    } else {
        Table t({"NAME", "TYPE", "CODE", "SIZE", "GROUP", "OFFSET", "COMMENT"});
        t.Row({info.name, info.typeName, fmt::format("{}", info.dataType), fmt::format("{}", info.size),
               fmt::format("0x{:X}", info.indexGroup), fmt::format("0x{:X}", info.indexOffset), info.comment});
        t.Print(ctx.out);
    }
    return kExitOk;
}

struct FileOptions {
    std::string remote, local;
    bool raw = false, dir = false;
};

int FileGet(ToolContext& ctx, const FileOptions& o) {
    auto access = OpenAccess(ctx);
    std::pair<std::string, int> result;
    {
        Progress progress(ctx.out, "reading " + o.remote);
        result = access->ReadFile(o.remote);
    }
    auto& [data, rc] = result;
    if (rc != 0) return ctx.FailVdl(static_cast<uint32_t>(rc), fmt::format("cannot read {}", o.remote));
    // Files written by `file put` carry the terminating 0 the toolkit adds.
    if (!o.raw && !data.empty() && data.back() == '\0') data.pop_back();
    if (o.local.empty() || o.local == "-") {
        ctx.out.Raw().write(data.data(), static_cast<std::streamsize>(data.size()));
        ctx.out.Raw().flush();
        return ctx.out.Raw() ? kExitOk : kExitFailed;
    }
    std::ofstream file(o.local, std::ios::binary | std::ios::trunc);
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!file.flush()) {
        ctx.out.Error(fmt::format("cannot write {}", o.local));
        return kExitFailed;
    }
    ctx.out.Note(fmt::format("{} bytes of {} written to {}", data.size(), o.remote, o.local));
    return kExitOk;
}

int FilePut(ToolContext& ctx, const FileOptions& o) {
    std::string data;
    if (o.local == "-") {
        data.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream file(o.local, std::ios::binary);
        if (!file) {
            ctx.out.Error(fmt::format("cannot open {}", o.local));
            return kExitFailed;
        }
        std::ostringstream s;
        s << file.rdbuf();
        data = s.str();
    }
    auto access = OpenAccess(ctx);
    int rc = 0;
    {
        Progress progress(ctx.out, "writing " + o.remote);
        rc = access->WriteFile(o.remote, data);
    }
    if (rc != 0) return ctx.FailVdl(static_cast<uint32_t>(rc), fmt::format("cannot write {}", o.remote));
    ctx.out.Note(fmt::format("{} bytes written to {}", data.size(), o.remote));
    return kExitOk;
}

int FileRemove(ToolContext& ctx, const FileOptions& o) {
    auto access = OpenAccess(ctx);
    const int rc = o.dir ? access->RmDir(o.remote) : access->RmFile(o.remote);
    if (rc != 0) return ctx.FailVdl(static_cast<uint32_t>(rc), fmt::format("cannot remove {}", o.remote));
    return kExitOk;
}

int FileMkdir(ToolContext& ctx, const FileOptions& o) {
    auto access = OpenAccess(ctx);
    if (int rc = access->MkDir(o.remote); rc != 0)
        return ctx.FailVdl(static_cast<uint32_t>(rc), fmt::format("cannot make the folder {}", o.remote));
    return kExitOk;
}

int FileExists(ToolContext& ctx, const FileOptions& o) {
    auto access = OpenAccess(ctx);
    auto [status, rc] = access->GetFileStatus(o.remote);
    const bool exists = rc == 0;
    // Only "not found" means absent; any other failure is a failure.
    if (!exists && rc != VDL_ERR_NOT_FOUND)
        return ctx.FailVdl(static_cast<uint32_t>(rc), fmt::format("cannot tell whether {} exists", o.remote));
    if (ctx.out.Json()) ctx.out.Line(JsonObject().Str("path", o.remote).Bool("exists", exists).Done());
    else ctx.out.Line(exists ? "yes" : "no");
    return exists ? kExitOk : kExitFailed;
}

int Info(ToolContext& ctx) {
    auto access = OpenAccess(ctx);
    auto [text, rc] = access->GetTargetInfo();
    if (rc != 0) return ctx.FailVdl(static_cast<uint32_t>(rc), "cannot read the target information");
    if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    if (ctx.out.Json()) ctx.out.Line(JsonObject().Str("info", text).Done());
    else ctx.out.Line(text);
    return kExitOk;
}

int State(ToolContext& ctx, int port) {
    auto access = OpenAccess(ctx);
    unsigned short vdl = 0, device = 0;
    const uint32_t rc = access->Adapter().VdlSyncReadStateReq(static_cast<unsigned short>(port), &vdl, &device);
    if (rc != 0) return ctx.FailVdl(rc, fmt::format("cannot read the state of port {}", port));
    if (ctx.out.Json()) {
        ctx.out.Line(JsonObject().Num("port", port).Num("state", vdl).Str("stateName", RuntimeStateName(vdl))
                         .Num("deviceState", device).Done());
    } else {
        const Style style = vdl == VDL_STATE_RUN ? Style::Green : vdl == VDL_STATE_ERROR ? Style::Red : Style::Yellow;
        ctx.out.Line(fmt::format("{} (state {}, device state {})", ctx.out.Paint(RuntimeStateName(vdl), style), vdl, device));
    }
    return kExitOk;
}

int ChangeState(ToolContext& ctx, bool toConfig) {
    auto access = OpenAccess(ctx);
    bool reached = false;
    {
        Progress progress(ctx.out, toConfig ? "switching to configuration mode" : "restarting");
        reached = toConfig ? access->SetConfigMode() : access->RestartCorvex();
    }
    const unsigned short now = access->GetVdlState();
    if (ctx.out.Json()) {
        ctx.out.Line(JsonObject().Bool("reached", reached).Num("state", now).Str("stateName", RuntimeStateName(now)).Done());
    } else if (reached) {
        ctx.out.Line(toConfig ? "in configuration mode" : "running");
    }
    if (!reached) {
        ctx.out.Error(fmt::format("the target did not reach {} within about 10 s (its state: {} {})",
                                  toConfig ? "configuration mode" : "run", now, RuntimeStateName(now)));
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

void AddTargetCommands(CLI::App& app, ToolContext& ctx) {
    auto* routes = app.add_subcommand("routes", "list the route table of the message router");
    routes->group("Target access");
    OnRun(routes, ctx, Routes);

    auto so = std::make_shared<SymbolOptions>();
    auto* symbol = app.add_subcommand("symbol", "read and write variables of a control program by name");
    symbol->group("Target access");
    symbol->require_subcommand(1);
    symbol->add_option("-p,--port", so->port, "router port of the program (default 851)")->check(CLI::Range(1, 65535));
    auto* read = symbol->add_subcommand("read", "print the values of symbols as text");
    read->add_option("names", so->names, "symbol names (MAIN.counter, ...)")->required();
    OnRun(read, ctx, [so](ToolContext& c) { return SymbolRead(c, *so); });
    auto* write = symbol->add_subcommand("write", "write the value of a symbol given as text");
    write->add_option("name", so->name, "symbol name")->required();
    write->add_option("value", so->value, "value: a number, a text, or 0x and two hex digits per byte of a structure")
        ->required();
    OnRun(write, ctx, [so](ToolContext& c) { return SymbolWrite(c, *so); });
    auto* info = symbol->add_subcommand("info", "print the type, size and place of a symbol");
    info->add_option("name", so->name, "symbol name")->required();
    OnRun(info, ctx, [so](ToolContext& c) { return SymbolInfoCommand(c, *so); });

    auto fo = std::make_shared<FileOptions>();
    auto* file = app.add_subcommand("file", "files on the target (paths inside its file area)");
    file->group("Target access");
    file->require_subcommand(1);
    auto* get = file->add_subcommand("get", "copy a file from the target (to standard output by default)");
    get->add_option("path", fo->remote, "path on the target")->required();
    get->add_option("local", fo->local, "local file; - or nothing: standard output");
    get->add_flag("--raw", fo->raw, "keep a terminating 0 byte (the one `file put` adds)");
    OnRun(get, ctx, [fo](ToolContext& c) { return FileGet(c, *fo); });
    auto* put = file->add_subcommand("put", "copy a local file to the target (a 0 byte is added at its end)");
    put->add_option("local", fo->local, "local file; -: standard input")->required();
    put->add_option("path", fo->remote, "path on the target")->required();
    OnRun(put, ctx, [fo](ToolContext& c) { return FilePut(c, *fo); });
    auto* rm = file->add_subcommand("rm", "remove a file (or with --dir an empty folder)");
    rm->add_option("path", fo->remote, "path on the target")->required();
    rm->add_flag("--dir", fo->dir, "remove a folder");
    OnRun(rm, ctx, [fo](ToolContext& c) { return FileRemove(c, *fo); });
    auto* mkdir = file->add_subcommand("mkdir", "make a folder and any missing parents");
    mkdir->add_option("path", fo->remote, "path on the target")->required();
    OnRun(mkdir, ctx, [fo](ToolContext& c) { return FileMkdir(c, *fo); });
    auto* exists = file->add_subcommand("exists", "print yes or no; exit status 0 when the file exists, 1 when not");
    exists->add_option("path", fo->remote, "path on the target")->required();
    OnRun(exists, ctx, [fo](ToolContext& c) { return FileExists(c, *fo); });

    auto* infoCmd = app.add_subcommand("info", "print the target's description");
    infoCmd->group("Target access");
    OnRun(infoCmd, ctx, Info);

    auto statePort = std::make_shared<int>(kSystemServicePort);
    auto* state = app.add_subcommand("state", "print the runtime state of the target (run, stop, config, error)");
    state->group("Target access");
    state->add_option("-p,--port", *statePort, "read the state of this port instead (default 10000, the runtime)")
        ->check(CLI::Range(1, 65535));
    OnRun(state, ctx, [statePort](ToolContext& c) { return State(c, *statePort); });

    auto* config = app.add_subcommand("config-mode", "switch the runtime into configuration mode and wait for it");
    config->group("Target access");
    OnRun(config, ctx, [](ToolContext& c) { return ChangeState(c, true); });
    auto* restart = app.add_subcommand("restart", "restart the runtime into run mode and wait for it");
    restart->group("Target access");
    OnRun(restart, ctx, [](ToolContext& c) { return ChangeState(c, false); });
}

}  // namespace ZtEventLog
