// Cli.cpp - the command line of zt-eventlog: global options, the subcommands
// of the other files, parsing, and the run of the chosen subcommand.
#include "Cli.h"

#include <fmt/format.h>

#include <cstdlib>
#include <sstream>
#include <thread>

#include "Tool.h"
#include "ZtEventLoggerVdlProxy/ZtResultCodes.h"
#include "ZtEventLoggerVdlVersion.h"
#include "ZtTool/EventView.h"
#include "ZtTool/ResultText.h"

namespace ZtEventLog {

bool ToolContext::Sleep(int ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!Stopped()) {
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::milliseconds(0)) return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(50)));
    }
    return false;
}

int ToolContext::Fail(int32_t hr, const std::string& what) {
    out.Error(fmt::format("{}: {}", what, ZtTool::DescribeResult(hr)));
    return kExitFailed;
}

int ToolContext::FailVdl(uint32_t code, const std::string& what) {
    out.Error(fmt::format("{}: {}", what, ZtTool::DescribeVdlError(code)));
    return kExitFailed;
}

void OnRun(CLI::App* sub, ToolContext& ctx, CommandAction action) {
    sub->callback([&ctx, action = std::move(action)] { ctx.action = action; });
}

uint64_t ParseUnsigned(const std::string& text, uint64_t max, const std::string& what) {
    uint64_t v = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 20) throw UsageError(fmt::format("{} takes a number, not '{}'", what, text));
    for (char c : digits) {
        int d = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        const uint64_t base = hex ? 16 : 10;
        if (d < 0) throw UsageError(fmt::format("{} takes a number, not '{}'", what, text));
        if (v > (max - static_cast<uint64_t>(d)) / base)
            throw UsageError(fmt::format("{} must be at most {}, not '{}'", what, max, text));
        v = v * base + static_cast<uint64_t>(d);
    }
    return v;
}

namespace {

constexpr const char* kDescription =
    "zt-eventlog: the alarms and messages of a controller's event logger, its log and texts, and access to its "
    "variables, files and run state";

void AddGlobalOptions(CLI::App& app, GlobalOptions& o) {
    app.add_option("-t,--target", o.target,
                   "controller: a NetId (5.12.34.56.1.1), a local alias (localhost) or a route name; "
                   "default: the router's own target")
        ->group("Target");
    app.add_option("--router", o.router,
                   "the message router as host:port; default: $ZT_MRX_ROUTER, else 127.0.0.1:47800")
        ->group("Target");
    app.add_option("--timeout", o.timeoutMs, "request time-out in ms for target access and the tool's own waits")
        ->check(CLI::Range(1, 600000))
        ->group("Target");
    app.add_option("-l,--lang", o.language,
                   "language of texts: en, de, ... or an id (1033, 1031); a list (en,de) gives every one in JSON")
        ->group("Output");
    app.add_flag("--json", o.json, "one JSON object per line, for scripts")->group("Output");
    app.add_option("--color", o.color, "auto (on a terminal, unless NO_COLOR is set), always or never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->group("Output");
}

void BuildApp(CLI::App& app, ToolContext& ctx) {
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", fmt::format("zt-eventlog {}", ZT_EVENT_LOGGER_VDL_VERSION_STRING));
    app.footer("Exit status: 0 done, 1 the operation failed (the error is printed), 2 the command line is wrong.\n"
               "Filters: docs/filter-syntax.md. Reference: docs/zt-eventlog.md.");
    AddGlobalOptions(app, ctx.options);
    AddWatchCommands(app, ctx);
    AddEventCommands(app, ctx);
    AddTextCommands(app, ctx);
    AddTargetCommands(app, ctx);
    auto* md = app.add_subcommand("help-markdown", "print the reference of every subcommand in Markdown");
    md->group("");  // hidden: used to make docs/zt-eventlog.md
    OnRun(md, ctx, [](ToolContext& c) {
        c.out.Raw() << HelpMarkdown();
        return kExitOk;
    });
    auto* codes = app.add_subcommand("help-codes", "print the table of result codes in Markdown");
    codes->group("");  // hidden: the code table of docs/user-guide.md
    OnRun(codes, ctx, [](ToolContext& c) {
        c.out.Raw() << CodesMarkdown();
        return kExitOk;
    });
}

// Applies the global options before the subcommand runs.
int Prepare(ToolContext& ctx) {
    const GlobalOptions& o = ctx.options;
    ctx.out.SetColor(o.json ? "never" : o.color);
    ctx.out.SetJson(o.json);
    auto langs = ZtTool::ParseLanguageList(o.language);
    if (!langs) {
        ctx.out.Error(fmt::format("--lang takes en, de, fr, it, es, nl, ja, zh or a number, not '{}'", o.language));
        return kExitUsage;
    }
    ctx.languages = *langs;
    if (!o.router.empty()) {
        const size_t colon = o.router.rfind(':');
        bool ok = colon != std::string::npos && colon > 0 && colon + 1 < o.router.size();
        if (ok) {
            try {
                ParseUnsigned(o.router.substr(colon + 1), 65535, "the router port");
            } catch (const UsageError&) {
                ok = false;
            }
        }
        if (!ok) {
            ctx.out.Error(fmt::format("--router takes host:port, not '{}'", o.router));
            return kExitUsage;
        }
        // The router client reads the address when it opens its port.
        ::setenv("ZT_MRX_ROUTER", o.router.c_str(), 1);
    }
    return kExitOk;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliStreams streams, const std::atomic<bool>* stop) {
    Output out(streams.out, streams.err, streams.outTerminal, streams.errTerminal);
    ToolContext ctx{GlobalOptions{}, out, stop, {}, {}};
    try {
        CLI::App app{kDescription, "zt-eventlog"};
        BuildApp(app, ctx);
        std::vector<std::string> argvText;
        argvText.reserve(args.size() + 1);
        argvText.push_back("zt-eventlog");
        argvText.insert(argvText.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argvText) argv.push_back(a.data());
        // CLI11 would only say that a subcommand is required.
        if (!args.empty() && !args[0].empty() && args[0][0] != '-') {
            bool known = false;
            for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
                if (sub->check_name(args[0])) known = true;
            if (!known) {
                streams.err << "zt-eventlog: unknown subcommand '" << args[0]
                            << "'\n(zt-eventlog --help lists the subcommands)\n";
                return kExitUsage;
            }
        }
        try {
            app.parse(static_cast<int>(argv.size()), argv.data());
        } catch (const CLI::CallForHelp& e) {
            app.exit(e, streams.out, streams.err);
            return kExitOk;
        } catch (const CLI::CallForAllHelp& e) {
            app.exit(e, streams.out, streams.err);
            return kExitOk;
        } catch (const CLI::CallForVersion& e) {
            app.exit(e, streams.out, streams.err);
            return kExitOk;
        } catch (const CLI::ParseError& e) {
            streams.err << "zt-eventlog: " << e.what() << "\n(zt-eventlog --help lists the subcommands)\n";
            return kExitUsage;
        }
        if (int rc = Prepare(ctx); rc != kExitOk) return rc;
        if (!ctx.action) return kExitUsage;
        return ctx.action(ctx);
    } catch (const UsageError& e) {
        out.Error(e.what());
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        out.Error("out of memory");
        return kExitFailed;
    } catch (const std::exception& e) {
        out.Error(e.what());
        return kExitFailed;
    } catch (...) {
        out.Error("unexpected failure");
        return kExitFailed;
    }
}

std::string CodesMarkdown() {
    std::string md = "| code | name | meaning |\n|---|---|---|\n";
    for (const ZtResultCode& e : ZtResultCodes::kEntries) {
        std::string code = fmt::format("0x{:08X}", e.value);
        if ((e.value & 0xFFFF0000u) == 0x98110000u) code += fmt::format(" (Vdl {})", e.value & 0xFFFFu);
        md += fmt::format("| {} | `{}` | {} |\n", code, e.name, e.sentence);
    }
    return md;
}

std::string HelpMarkdown() {
    std::ostringstream sink;
    Output out(sink, sink, false, false);
    ToolContext ctx{GlobalOptions{}, out, nullptr, {}, {}};
    CLI::App app{kDescription, "zt-eventlog"};
    BuildApp(app, ctx);
    std::string md =
        "# zt-eventlog reference\n\n"
        "Generated by `zt-eventlog help-markdown` from the tool's own help texts; do not edit by hand\n"
        "(`scripts/gen-docs` writes this file). The user guide is [user-guide.md](user-guide.md); the\n"
        "filter syntax is [filter-syntax.md](filter-syntax.md).\n\n"
        "## zt-eventlog\n\n```\n" + app.help() + "```\n";
    std::function<void(CLI::App*, const std::string&)> walk = [&](CLI::App* parent, const std::string& path) {
        for (CLI::App* sub : parent->get_subcommands([](CLI::App* s) { return !s->get_group().empty(); })) {
            const std::string name = path + " " + sub->get_name();
            md += "\n## " + name + "\n\n```\n" + sub->help() + "```\n";
            walk(sub, name);
        }
    };
    walk(&app, "zt-eventlog");
    return md;
}

}  // namespace ZtEventLog
