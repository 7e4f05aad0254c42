// sqlcmd's text layout of what a server sends: result sets with a header line
// padded to each column's display width, a dash line, the rows, a blank line and
// "(n 行受影响)"; PRINT text as it is; errors under a header line.
//
// Wording of the Chinese headers (sqlcmd localizes them; these are fixed here):
//   消息 208，级别 16，状态 1，服务器 (embedded)，第 1 行
//   消息 515，级别 16，状态 2，服务器 (embedded)，过程 insertUpdateDelete，第 10 行
// followed by the server's text on the next line. Messages of severity 10 and
// below (PRINT, warnings, "语句已终止。") are printed as their text alone.
#pragma once

#include "engine/Session.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::sqlcmd {

class Output {
public:
    virtual ~Output() = default;
    virtual void write(std::string_view text) = 0;
};

class StringOutput : public Output {
public:
    void write(std::string_view text) override { text_.append(text); }
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }

private:
    std::string text_;
};

struct LayoutOptions {
    int headers = 0;             // 0 once, -1 never, n > 0 every n rows
    std::string separator = " ";
    bool trimSpaces = false;     // -W
    int maxVariableWidth = 256;  // -y
    std::string server = "(embedded)";
};

// Columns on a terminal: two for CJK and other wide characters, one otherwise.
int displayWidth(std::string_view utf8);

// The display width sqlcmd gives a column: the larger of its name's width and its type's.
int columnWidth(const engine::ResultColumn& column, int maxVariableWidth);

// Right-aligned columns: numbers and dates.
bool alignRight(const engine::SqlType& type);

class Printer : public engine::ResultSink {
public:
    Printer(Output& out, LayoutOptions options);

    void beginResultSet(const std::vector<engine::ResultColumn>& columns) override;
    void row(const engine::RowView& row) override;
    void endResultSet() override;
    void rowsAffected(std::int64_t n, bool shown, int nestLevel) override;
    void message(const engine::Message& m) override;

    // Prints a message the client itself produces (connection failures, USE).
    void clientMessage(const engine::Message& m) { message(m); }

    // Highest severity of the errors printed since the last reset.
    int maxSeverity() const { return maxSeverity_; }
    // True when message 5701 (database context changed) came from the server.
    bool sawContextChange() const { return sawContextChange_; }
    void resetBatch() {
        maxSeverity_ = 0;
        sawContextChange_ = false;
    }

private:
    void header();
    std::string pad(const std::string& text, int width, bool right) const;

    Output& out_;
    LayoutOptions options_;
    std::vector<engine::ResultColumn> columns_;
    std::vector<int> widths_;
    std::vector<bool> right_;
    std::int64_t rowsInSet_ = 0;
    bool resultPending_ = false;  // a result set ended without a row-count line yet
    int maxSeverity_ = 0;
    bool sawContextChange_ = false;
};

}  // namespace quillmere::sqlcmd
