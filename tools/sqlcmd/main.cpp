// quillmere-sqlcmd: sqlcmd's conventions over the embedded engine and ODBC.
#include "tools/sqlcmd/Options.h"
#include "tools/sqlcmd/Runner.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace {

class FileOutput : public quillmere::sqlcmd::Output {
public:
    explicit FileOutput(std::FILE* f) : f_(f) {}
    void write(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), f_);
        if (text.find('\n') != std::string_view::npos || text.find("> ") != std::string_view::npos) std::fflush(f_);
    }

private:
    std::FILE* f_;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace quillmere::sqlcmd;
    std::vector<std::string> args(argv + 1, argv + argc);
    ParsedOptions parsed = parseOptions(args);
    if (parsed.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "Sqlcmd: 错误: %s\n%s", parsed.error.c_str(), usageText().c_str());
        return 1;
    }
    std::FILE* f = stdout;
    if (!parsed.options.outputFile.empty()) {
        f = std::fopen(parsed.options.outputFile.c_str(), "wb");
        if (!f) {
            std::fprintf(stderr, "Sqlcmd: 错误: 无法打开输出文件 “%s”。\n", parsed.options.outputFile.c_str());
            return 1;
        }
    }
    FileOutput out(f);
    bool prompt = ::isatty(0) && !parsed.options.query && parsed.options.inputFiles.empty();
    int rc = runSqlcmd(parsed.options, out, std::cin, prompt, openServer);
    std::fflush(f);
    if (f != stdout) std::fclose(f);
    return rc;
}
