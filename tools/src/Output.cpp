// Output.cpp - lines, tables, colours and the progress display.
#include "Output.h"

#include <fmt/format.h>

#include <cstdlib>

namespace ZtEventLog {

Output::Output(std::ostream& out, std::ostream& err, bool outTerminal, bool errTerminal)
    : m_out(out), m_err(err), m_outTerminal(outTerminal), m_errTerminal(errTerminal) {
    SetColor("auto");
}

bool Output::SetColor(std::string_view mode) {
    if (mode == "auto") {
        const char* no = std::getenv("NO_COLOR");
        m_color = m_outTerminal && !(no && *no);
    } else if (mode == "always") {
        m_color = true;
    } else if (mode == "never") {
        m_color = false;
    } else {
        return false;
    }
    return true;
}

std::string Output::Paint(std::string_view text, Style style) const {
    if (!m_color || style == Style::Plain || text.empty()) return std::string(text);
    const char* code = "";
    switch (style) {
    case Style::Plain: break;
    case Style::Bold: code = "1"; break;
    case Style::Dim: code = "2"; break;
    case Style::Red: code = "31"; break;
    case Style::BoldRed: code = "1;31"; break;
    case Style::Yellow: code = "33"; break;
    case Style::Green: code = "32"; break;
    case Style::Cyan: code = "36"; break;
    }
    return fmt::format("\x1b[{}m{}\x1b[0m", code, text);
}

Style Output::SeverityStyle(int32_t severity) {
    switch (severity) {
    case 0: return Style::Dim;
    case 2: return Style::Yellow;
    case 3: return Style::Red;
    case 4: return Style::BoldRed;
    default: return Style::Plain;
    }
}

void Output::Line(std::string_view line) {
    std::lock_guard<std::mutex> lk(m_mutex);
    m_out << line << '\n';
    m_out.flush();
}

void Output::Error(std::string_view what) {
    std::lock_guard<std::mutex> lk(m_mutex);
    m_err << "zt-eventlog: " << what << '\n';
    m_err.flush();
}

void Output::Note(std::string_view what) {
    if (m_json) return;
    std::lock_guard<std::mutex> lk(m_mutex);
    m_err << what << '\n';
    m_err.flush();
}

void Output::Status(std::string_view text) {
    std::lock_guard<std::mutex> lk(m_mutex);
    m_err << '\r' << text << "\x1b[K";
    m_err.flush();
}

void Output::Flush() {
    std::lock_guard<std::mutex> lk(m_mutex);
    m_out.flush();
    m_err.flush();
}

size_t DisplayWidth(std::string_view s) {
    size_t width = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == 0x1b && i + 1 < s.size() && s[i + 1] == '[') {
            i += 2;
            while (i < s.size() && !(s[i] >= '@' && s[i] <= '~')) ++i;
            continue;
        }
        if ((c & 0xC0) != 0x80) ++width;
    }
    return width;
}

std::string Clip(std::string_view s, size_t width) {
    if (DisplayWidth(s) <= width) return std::string(s);
    if (width < 4) width = 4;
    std::string out;
    size_t w = 0;
    bool styled = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == 0x1b && i + 1 < s.size() && s[i + 1] == '[') {
            // Escape sequences are kept whole and take no room.
            size_t end = i + 2;
            while (end < s.size() && !(s[end] >= '@' && s[end] <= '~')) ++end;
            out.append(s.substr(i, end + 1 - i));
            styled = true;
            i = end;
            continue;
        }
        if ((c & 0xC0) != 0x80) {
            if (w == width - 3) break;
            ++w;
        }
        out += s[i];
    }
    return out + (styled ? "\x1b[0m..." : "...");
}

std::vector<std::string> Table::Lines(const Output& out) const {
    std::vector<size_t> widths(m_headings.size(), 0);
    for (size_t i = 0; i < m_headings.size(); ++i) widths[i] = DisplayWidth(m_headings[i]);
    for (const auto& row : m_rows)
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    auto line = [&](const std::vector<std::string>& cells, bool heading) {
        std::string text;
        for (size_t i = 0; i < widths.size(); ++i) {
            const std::string cell = i < cells.size() ? cells[i] : std::string();
            const bool last = i + 1 == widths.size();
            text += heading ? out.Paint(cell, Style::Bold) : cell;
            if (!last) text.append(widths[i] - DisplayWidth(cell) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text;
    };
    std::vector<std::string> lines;
    lines.push_back(line(m_headings, true));
    for (const auto& row : m_rows) lines.push_back(line(row, false));
    return lines;
}

void Table::Print(Output& out) const {
    for (const auto& l : Lines(out)) out.Line(l);
}

Progress::Progress(Output& out, std::string label)
    : m_out(out), m_label(std::move(label)), m_active(out.ErrTerminal() && !out.Json()) {
    if (m_active) m_thread = std::thread([this] { Run(); });
}

Progress::~Progress() { Done(); }

void Progress::Update(size_t done, size_t total) {
    m_done = done;
    m_total = total;
}

void Progress::Done() {
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void Progress::Run() {
    static constexpr const char* frames[] = {"|", "/", "-", "\\"};
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lk(m_mutex);
    // Nothing shows for work that ends within a moment.
    if (m_cv.wait_for(lk, std::chrono::milliseconds(300), [this] { return m_stop; })) return;
    for (unsigned i = 0;; ++i) {
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::string count;
        if (m_total > 0) count = fmt::format(" {}/{}", m_done.load(), m_total.load());
        m_out.Status(fmt::format("{} {}{} {:.1f} s", frames[i % 4], m_label, count, secs));
        if (m_cv.wait_for(lk, std::chrono::milliseconds(120), [this] { return m_stop; })) break;
    }
    m_out.Status("");
}

}  // namespace ZtEventLog
