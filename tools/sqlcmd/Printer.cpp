// Text layout of result sets and messages.
#include "tools/sqlcmd/Printer.h"

#include "engine/Format.h"

namespace quillmere::sqlcmd {

using engine::TypeId;

namespace {

char32_t next(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i) cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    return cp;
}

bool wide(char32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) || (cp >= 0x3040 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
           (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD) ||
           cp == 0x3000;
}

// The longest prefix of s that fits in width terminal columns.
std::string cutToWidth(const std::string& s, int width) {
    int w = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t j = i;
        int cw = wide(next(s, j)) ? 2 : 1;
        if (w + cw > width) break;
        w += cw;
        i = j;
    }
    return s.substr(0, i);
}

bool isVariableLong(const engine::SqlType& t) {
    using engine::TypeId;
    return t.id == TypeId::Text || t.id == TypeId::NText ||
           ((t.id == TypeId::VarChar || t.id == TypeId::NVarChar || t.id == TypeId::VarBinary) && t.length < 0);
}

}  // namespace

int displayWidth(std::string_view s) {
    int w = 0;
    for (std::size_t i = 0; i < s.size();) w += wide(next(s, i)) ? 2 : 1;
    return w;
}

int columnWidth(const engine::ResultColumn& c, int maxVariableWidth) {
    const engine::SqlType& t = c.type;
    int w = 0;
    switch (t.id) {
    case TypeId::Bit: w = 1; break;
    case TypeId::TinyInt: w = 3; break;
    case TypeId::SmallInt: w = 6; break;
    case TypeId::Int: w = 11; break;
    case TypeId::BigInt: w = 21; break;
    case TypeId::Real: w = 14; break;
    case TypeId::Float: w = 24; break;
    case TypeId::Money: w = 24; break;
    case TypeId::SmallMoney: w = 12; break;
    case TypeId::Numeric: w = t.precision + 2; break;
    case TypeId::DateTime: w = 23; break;
    case TypeId::SmallDateTime: w = 19; break;
    case TypeId::Date: w = 16; break;
    case TypeId::Time: w = 16; break;
    case TypeId::DateTime2: w = 38; break;
    case TypeId::UniqueIdentifier: w = 36; break;
    case TypeId::Char: case TypeId::VarChar: case TypeId::NChar: case TypeId::NVarChar:
        w = t.length < 0 ? maxVariableWidth : t.length;
        break;
    case TypeId::Binary: case TypeId::VarBinary:
        w = t.length < 0 ? maxVariableWidth : 2 + 2 * t.length;
        break;
    case TypeId::Text: case TypeId::NText: w = maxVariableWidth; break;
    case TypeId::Unknown: w = 30; break;
    }
    return std::max(w, displayWidth(c.name));
}

bool alignRight(const engine::SqlType& t) { return t.isNumber() || t.isDateTime(); }

Printer::Printer(Output& out, LayoutOptions options) : out_(out), options_(std::move(options)) {}

std::string Printer::pad(const std::string& text, int width, bool right) const {
    if (options_.trimSpaces) {
        std::string s = text;
        while (!s.empty() && s.back() == ' ') s.pop_back();
        if (right) s.erase(0, std::min(s.find_first_not_of(' '), s.size()));
        return s;
    }
    int w = displayWidth(text);
    if (w >= width) return text;
    std::string fill(static_cast<std::size_t>(width - w), ' ');
    return right ? fill + text : text + fill;
}

void Printer::header() {
    std::string names, dashes;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (i) {
            names += options_.separator;
            dashes += options_.separator;
        }
        names += pad(columns_[i].name, widths_[i], false);
        int n = options_.trimSpaces ? std::max(1, displayWidth(columns_[i].name)) : widths_[i];
        dashes += std::string(static_cast<std::size_t>(n), '-');
    }
    out_.write(names + "\n" + dashes + "\n");
}

void Printer::beginResultSet(const std::vector<engine::ResultColumn>& columns) {
    if (resultPending_) out_.write("\n");
    resultPending_ = false;
    columns_ = columns;
    widths_.clear();
    right_.clear();
    for (const auto& c : columns_) {
        widths_.push_back(columnWidth(c, options_.maxVariableWidth));
        right_.push_back(alignRight(c.type));
    }
    rowsInSet_ = 0;
    if (options_.headers >= 0) header();
}

void Printer::row(const engine::RowView& row) {
    if (options_.headers > 0 && rowsInSet_ > 0 && rowsInSet_ % options_.headers == 0) {
        out_.write("\n");
        header();
    }
    std::string line;
    int n = std::min<int>(row.size(), static_cast<int>(columns_.size()));
    for (int i = 0; i < n; ++i) {
        if (i) line += options_.separator;
        const engine::SqlType& type = columns_[static_cast<std::size_t>(i)].type;
        std::string text = engine::formatValue(row.cell(i), type, "NULL");
        // (max) and text columns show at most -y columns, as sqlcmd does.
        if (isVariableLong(type)) text = cutToWidth(text, widths_[static_cast<std::size_t>(i)]);
        line += pad(text, widths_[static_cast<std::size_t>(i)], right_[static_cast<std::size_t>(i)]);
    }
    line += '\n';
    out_.write(line);
    if (rowsInSet_ < INT64_MAX) ++rowsInSet_;
}

void Printer::endResultSet() { resultPending_ = true; }

void Printer::rowsAffected(std::int64_t n, bool shown, int) {
    if (!shown) return;
    resultPending_ = false;
    out_.write("\n(" + std::to_string(n) + " 行受影响)\n");
}

void Printer::message(const engine::Message& m) {
    if (m.number == 5701) sawContextChange_ = true;
    if (resultPending_) {
        out_.write("\n");
        resultPending_ = false;
    }
    if (m.severity > 10) {
        maxSeverity_ = std::max(maxSeverity_, m.severity);
        std::string head = "消息 " + std::to_string(m.number) + "，级别 " + std::to_string(m.severity) + "，状态 " +
                           std::to_string(m.state) + "，服务器 " + (m.server.empty() ? options_.server : m.server) + "，";
        if (!m.procedure.empty()) head += "过程 " + m.procedure + "，";
        head += "第 " + std::to_string(m.line) + " 行\n";
        out_.write(head);
    }
    out_.write(m.text + "\n");
}

}  // namespace quillmere::sqlcmd
