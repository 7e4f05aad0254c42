// Command-line parsing with sqlcmd's conventions: "-S server" or "-Sserver".
#include "tools/sqlcmd/Options.h"

#include <charconv>
#include <string_view>

namespace quillmere::sqlcmd {

namespace {

bool toInt(const std::string& s, int& out) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::string usageText() {
    return "用法: quillmere-sqlcmd [-S 服务器] [-d 数据库] [-U 登录名] [-P 密码] [-E]\n"
           "                        [-Q \"查询并退出\"] [-q \"查询\"] [-i 文件1[,文件2...]] [-o 输出文件]\n"
           "                        [-h 标题行间隔] [-s 列分隔符] [-W] [-b] [-I] [-y 变长列宽] [-?]\n"
           "  服务器 \"(embedded)\" 使用内嵌引擎（数据目录 $QUILLMERE_DATA_DIR，\n"
           "  否则 $XDG_DATA_HOME/quillmere 或 ~/.local/share/quillmere）。\n";
}

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions r;
    Options& o = r.options;
    bool sawQuery = false;
    auto fail = [&](std::string text) {
        r.error = std::move(text);
        return r;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || (a[0] != '-' && a[0] != '/')) return fail("未知的参数 '" + a + "'。");
        char flag = a[1];
        // Flags without a value.
        if (flag == '?') { r.help = true; return r; }
        if (flag == 'E' || flag == 'W' || flag == 'b' || flag == 'I') {
            if (a.size() != 2) return fail("未知的选项 '" + a + "'。");
            if (flag == 'E') o.trusted = true;
            if (flag == 'W') o.trimSpaces = true;
            if (flag == 'b') o.exitOnError = true;
            if (flag == 'I') o.quotedIdentifier = true;
            continue;
        }
        if (std::string_view("SdUPQqiohsywltmrcvHax").find(flag) == std::string_view::npos)
            return fail("未知的选项 '" + a + "'。");
        std::string value;
        if (a.size() > 2) {
            value = a.substr(2);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return fail(std::string("选项 '-") + flag + "' 需要一个参数。");
        }
        switch (flag) {
        case 'S': o.server = value; break;
        case 'd': o.database = value; break;
        case 'U': o.user = value; break;
        case 'P': o.password = value; break;
        case 'Q':
        case 'q':
            if (sawQuery) return fail("-Q 和 -q 只能给出一个。");
            sawQuery = true;
            o.query = value;
            o.exitAfterQuery = flag == 'Q';
            break;
        case 'i': {
            std::size_t start = 0;
            for (;;) {
                std::size_t comma = value.find(',', start);
                std::string file = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (file.empty()) return fail("-i 的文件名无效。");
                o.inputFiles.push_back(file);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            break;
        }
        case 'o': o.outputFile = value; break;
        case 'h': {
            int n = 0;
            if (!toInt(value, n) || n == 0 || n < -1) return fail("-h 的值必须是 -1 或 1 到 2147483647 之间的数。");
            o.headers = n;
            break;
        }
        case 's':
            if (value.empty()) return fail("-s 需要一个列分隔符。");
            o.separator = value;
            break;
        case 'y': {
            int n = 0;
            if (!toInt(value, n) || n < 0 || n > 8000) return fail("-y 的值必须在 0 到 8000 之间。");
            o.maxVariableWidth = n == 0 ? 1'000'000 : n;
            break;
        }
        case 'w': case 'l': case 't': case 'm': case 'r': case 'c': case 'v': case 'H': case 'a': case 'x':
            break;  // accepted for compatibility; no effect here
        default:
            return fail("未知的选项 '" + a + "'。");
        }
    }
    if (o.trusted && (!o.user.empty() || !o.password.empty()))
        return fail("-E 和 -U/-P 选项是互斥的。");
    if (o.query && !o.inputFiles.empty()) return fail("-Q/-q 和 -i 选项是互斥的。");
    if (o.user.empty() && o.password.empty()) o.trusted = true;
    if (o.server.empty()) o.server = "(embedded)";
    return r;
}

}  // namespace quillmere::sqlcmd
