// Presenters.cpp - lines and the live screen of watch and demo.
#include "Presenters.h"

#include <fmt/format.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "ZtTool/EventJson.h"
#include "ZtTool/TimeText.h"

namespace ZtEventLog {

namespace {

std::string WithRemoved(std::string line, bool removed) {
    if (removed && !line.empty() && line.back() == '}') line.insert(line.size() - 1, ",\"removed\":true");
    return line;
}

std::string JsonText(std::string_view s) {
    const std::string v = ZtTool::ValidUtf8(s);
    std::string out = "\"";
    for (char c : v) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) out += fmt::format("\\u{:04x}", c);
            else out += c;
        }
    }
    return out + "\"";
}

std::vector<EventItem> ToItems(const std::vector<ZtTool::EventView>& views) {
    std::vector<EventItem> items;
    for (const auto& v : views) items.push_back({v, {}});
    return items;
}

}  // namespace

int TerminalWidth() {
    winsize w{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col >= 40) return w.ws_col;
    return 80;
}

void LinePresenter::Connected(const std::string& target, const std::vector<EventItem>& alarms, const ListDiff* diff,
                              double downSeconds) {
    Output& out = m_ctx.out;
    if (out.Json()) {
        if (!diff) {
            out.Line(fmt::format("{{\"change\":\"connected\",\"target\":{},\"active\":{}}}", JsonText(target), alarms.size()));
            for (const auto& a : alarms) out.Line(ZtTool::EventJsonLine(a.view, "active"));
        } else {
            out.Line(fmt::format("{{\"change\":\"reconnected\",\"target\":{},\"active\":{},\"new\":{},\"gone\":{},"
                                 "\"changed\":{},\"downSeconds\":{:.1f}}}",
                                 JsonText(target), alarms.size(), diff->added.size(), diff->gone.size(),
                                 diff->changed.size(), downSeconds));
            for (const auto& v : diff->added) out.Line(ZtTool::EventJsonLine(v, "new"));
            for (const auto& v : diff->gone) out.Line(ZtTool::EventJsonLine(v, "gone"));
            for (const auto& v : diff->changed) out.Line(ZtTool::EventJsonLine(v, "changed"));
        }
        return;
    }
    if (!diff) {
        out.Line(fmt::format("connected to {}: {} active alarm{}", target, alarms.size(), alarms.size() == 1 ? "" : "s"));
        if (!alarms.empty())
            for (const auto& l : EventTable(out, alarms, false).Lines(out)) out.Line("  " + l);
        return;
    }
    out.Line(out.Paint(fmt::format("link back after {:.1f} s: {} active alarm{}; meanwhile {} new, {} gone, {} changed",
                                   downSeconds, alarms.size(), alarms.size() == 1 ? "" : "s", diff->added.size(),
                                   diff->gone.size(), diff->changed.size()),
                       Style::Green));
    for (const auto& v : diff->added) out.Line("  " + ChangeLine(out, "new", v));
    for (const auto& v : diff->gone) out.Line("  " + ChangeLine(out, "gone", v));
    for (const auto& v : diff->changed) out.Line("  " + ChangeLine(out, "changed", v));
}

void LinePresenter::Event(const LiveEvent& e) {
    Output& out = m_ctx.out;
    if (out.Json()) {
        out.Line(WithRemoved(ZtTool::EventJsonLine(e.view, ChangeName(e.change)), e.removed));
        return;
    }
    std::string line = ChangeLine(out, ChangeName(e.change), e.view);
    if (e.removed) line += out.Paint("  (ended)", Style::Dim);
    out.Line(line);
}

void LinePresenter::LinkLost(const std::string& reason) {
    if (m_ctx.out.Json()) m_ctx.out.Line(fmt::format("{{\"change\":\"link-lost\",\"reason\":{}}}", JsonText(reason)));
    else m_ctx.out.Line(m_ctx.out.Paint("link lost: " + reason + "; reconnecting", Style::BoldRed));
}

void LinePresenter::Retrying(int attempt, int waitMs, const std::string& reason) {
    if (m_ctx.out.Json())
        m_ctx.out.Line(fmt::format("{{\"change\":\"retry\",\"attempt\":{},\"waitMs\":{},\"reason\":{}}}", attempt, waitMs,
                                   JsonText(reason)));
    else
        m_ctx.out.Line(fmt::format("not connected ({}); next try in {:.1f} s", reason, waitMs / 1000.0));
}

LiveScreen::LiveScreen(ToolContext& ctx, std::string title) : m_ctx(ctx), m_title(std::move(title)) {}

void LiveScreen::Feed(std::string line) {
    m_feed.push_back(std::move(line));
    while (m_feed.size() > 12) m_feed.pop_front();
    m_dirty = true;
}

void LiveScreen::Connected(const std::string& target, const std::vector<EventItem>& alarms, const ListDiff* diff,
                           double downSeconds) {
    m_alarms.Reset(alarms);
    if (diff)
        Feed(m_ctx.out.Paint(fmt::format("link back after {:.1f} s: {} active; {} new, {} gone, {} changed", downSeconds,
                                         alarms.size(), diff->added.size(), diff->gone.size(), diff->changed.size()),
                             Style::Green));
    else
        Feed(fmt::format("connected to {}: {} active alarm{}", target, alarms.size(), alarms.size() == 1 ? "" : "s"));
    m_status = "connected";
}

void LiveScreen::Event(const LiveEvent& e) {
    m_alarms.Apply(e);
    Feed(ChangeLine(m_ctx.out, ChangeName(e.change), e.view));
}

void LiveScreen::LinkLost(const std::string& reason) {
    Feed(m_ctx.out.Paint("link lost: " + reason, Style::BoldRed));
    m_status = "reconnecting";
}

void LiveScreen::Retrying(int attempt, int waitMs, const std::string& reason) {
    m_status = fmt::format("not connected (try {}, next in {:.1f} s): {}", attempt, waitMs / 1000.0, reason);
    m_dirty = true;
}

void LiveScreen::Tick(double secondsLeft) {
    if (static_cast<int>(secondsLeft) != static_cast<int>(m_secondsLeft)) m_dirty = true;
    m_secondsLeft = secondsLeft;
    const auto now = std::chrono::steady_clock::now();
    if (m_dirty && now - m_lastDraw >= std::chrono::milliseconds(100)) Draw();
}

void LiveScreen::Finished() {
    m_status = "ended";
    Draw();
    m_ctx.out.Raw() << "\x1b[?25h" << std::flush;  // the cursor back
}

void LiveScreen::Draw() {
    Output& out = m_ctx.out;
    const int width = TerminalWidth();
    std::string screen = m_started ? "\x1b[H" : "\x1b[?25l\x1b[2J\x1b[H";
    m_started = true;
    auto line = [&](const std::string& text) { screen += Clip(text, static_cast<size_t>(width - 1)) + "\x1b[K\n"; };
    std::string left = m_secondsLeft >= 0 ? fmt::format("{:.0f} s left", m_secondsLeft) : "Ctrl-C ends";
    line(out.Paint(m_title, Style::Bold) + "   " + out.Paint(fmt::format("{} | {}", m_status, left), Style::Dim));
    line("");
    std::vector<ZtTool::EventView> views;
    for (const auto& [key, v] : m_alarms.Alarms()) views.push_back(v);
    line(out.Paint(fmt::format("Active alarms ({})", views.size()), Style::Bold));
    if (views.empty()) line("  none");
    else
        for (const auto& l : EventTable(out, ToItems(views), false, static_cast<size_t>(std::max(20, width / 2))).Lines(out))
            line("  " + l);
    line("");
    line(out.Paint("Messages and changes", Style::Bold));
    for (const auto& f : m_feed) line("  " + f);
    screen += "\x1b[J";  // whatever the last screen had below
    out.Raw() << screen << std::flush;
    m_dirty = false;
    m_lastDraw = std::chrono::steady_clock::now();
}

}  // namespace ZtEventLog
