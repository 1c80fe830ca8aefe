// Output.h - what the tool prints: lines for people (aligned tables, colour
// on a terminal) or one JSON object per line for scripts, error sentences,
// and a progress display on the error stream while a long request runs.
#ifndef ZT_EVENTLOG_OUTPUT_H
#define ZT_EVENTLOG_OUTPUT_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ZtEventLog {

enum class Style { Plain, Bold, Dim, Red, BoldRed, Yellow, Green, Cyan };

class Output {
public:
    Output(std::ostream& out, std::ostream& err, bool outTerminal, bool errTerminal);

    // Colour: "auto" (on when the output is a terminal and NO_COLOR is not
    // set), "always", "never". False for any other value.
    bool SetColor(std::string_view mode);
    void SetJson(bool json) { m_json = json; }
    bool Json() const { return m_json; }
    bool Color() const { return m_color; }
    bool OutTerminal() const { return m_outTerminal; }
    bool ErrTerminal() const { return m_errTerminal; }

    // Text in a style (unchanged without colour).
    std::string Paint(std::string_view text, Style style) const;
    // The style of a severity 0..4.
    static Style SeverityStyle(int32_t severity);

    // One line on the output (a JSON object or text for people). Lines from
    // several threads never mix.
    void Line(std::string_view line);
    // "zt-eventlog: <what>" on the error stream.
    void Error(std::string_view what);
    void Note(std::string_view what);  // a remark for people on the error stream; not in JSON mode
    // A status line on the error stream that the next one overwrites; empty
    // text erases it. For terminals only (Progress checks).
    void Status(std::string_view text);
    std::ostream& Raw() { return m_out; }  // bytes as they are (file get)
    void Flush();

private:
    std::ostream& m_out;
    std::ostream& m_err;
    const bool m_outTerminal;
    const bool m_errTerminal;
    bool m_color = false;
    bool m_json = false;
    std::mutex m_mutex;
};

// Columns aligned by the width of their widest cell (UTF-8 code points;
// colour codes do not count). The last column is not padded.
class Table {
public:
    explicit Table(std::vector<std::string> headings) : m_headings(std::move(headings)) {}
    void Row(std::vector<std::string> cells) { m_rows.push_back(std::move(cells)); }
    size_t Rows() const { return m_rows.size(); }
    // The lines, heading first (bold when colour is on).
    std::vector<std::string> Lines(const Output& out) const;
    void Print(Output& out) const;

private:
    std::vector<std::string> m_headings;
    std::vector<std::vector<std::string>> m_rows;
};

// Display width of text: code points, ANSI escape sequences skipped.
size_t DisplayWidth(std::string_view text);
// Text cut to at most width code points ("..." at the end when cut).
std::string Clip(std::string_view text, size_t width);

// A spinner with the elapsed time and an optional count on the error stream
// while work runs, only when the error stream is a terminal and JSON is off;
// erased when done. Update may come from the working thread.
class Progress {
public:
    Progress(Output& out, std::string label);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Update(size_t done, size_t total);
    void Done();

private:
    void Run();
    Output& m_out;
    const std::string m_label;
    const bool m_active;
    std::atomic<size_t> m_done{0}, m_total{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_OUTPUT_H
