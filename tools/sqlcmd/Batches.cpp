// GO handling of the client: GO is never sent to the server.
#include "tools/sqlcmd/Batches.h"

#include <cctype>

namespace quillmere::sqlcmd {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool blank(std::string_view s) {
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

bool startsWithWord(std::string_view s, std::string_view word) {
    if (s.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != word[i]) return false;
    return s.size() == word.size() || s[word.size()] == ' ' || s[word.size()] == '\t' ||
           s.substr(word.size()).rfind("--", 0) == 0;
}

}  // namespace

std::optional<int> goLine(std::string_view line) {
    std::string_view s = trim(line);
    if (!startsWithWord(s, "GO")) return std::nullopt;
    s = trim(s.substr(2));
    if (s.empty() || s.rfind("--", 0) == 0) return 1;
    std::size_t i = 0;
    long long n = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        n = n * 10 + (s[i] - '0');
        if (n > 2147483647) n = 2147483647;
        ++i;
    }
    if (i == 0) return std::nullopt;  // "GO something": not a separator
    std::string_view rest = trim(s.substr(i));
    if (!rest.empty() && rest.rfind("--", 0) != 0) return std::nullopt;
    return static_cast<int>(n);
}

std::optional<Batch> BatchSplitter::addLine(std::string_view line) {
    ++line_;
    if (auto count = goLine(line)) {
        std::optional<Batch> done;
        if (!blank(text_)) done = Batch{std::move(text_), *count, firstLine_};
        text_.clear();
        firstLine_ = line_ + 1;
        return done;
    }
    if (blank(text_) && text_.empty()) firstLine_ = line_;
    text_.append(line);
    return std::nullopt;
}

std::optional<Batch> BatchSplitter::finish() {
    std::optional<Batch> done;
    if (!blank(text_)) done = Batch{std::move(text_), 1, firstLine_};
    text_.clear();
    return done;
}

bool BatchSplitter::empty() const { return blank(text_); }

std::vector<Batch> splitBatches(std::string_view script) {
    if (script.rfind("\xEF\xBB\xBF", 0) == 0) script.remove_prefix(3);
    std::vector<Batch> out;
    BatchSplitter splitter;
    std::size_t start = 0;
    while (start < script.size()) {
        std::size_t nl = script.find('\n', start);
        std::size_t end = nl == std::string_view::npos ? script.size() : nl + 1;
        if (auto b = splitter.addLine(script.substr(start, end - start))) out.push_back(std::move(*b));
        start = end;
    }
    if (auto b = splitter.finish()) out.push_back(std::move(*b));
    return out;
}

bool isExitCommand(std::string_view line) {
    std::string_view s = trim(line);
    if (!s.empty() && s.front() == ':') s.remove_prefix(1);
    std::string u;
    for (char c : s) u += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u == "EXIT" || u == "QUIT" || u == "EXIT()" ;
}

}  // namespace quillmere::sqlcmd
