// Batches in, sqlcmd's output out.
#include "tools/sqlcmd/Runner.h"

#include "tools/sqlcmd/Batches.h"

#include "engine/Errors.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace quillmere::sqlcmd {

bool isEmbeddedServer(std::string_view name) {
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    std::string l;
    for (char c : name) l += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return l == "(embedded)";
}

namespace {

class Run {
public:
    Run(const Options& o, Output& out, Server& server)
        : options_(o), printer_(out, layout(o)), server_(server), database_(server.currentDatabase()) {}

    // Runs one batch (repeat times). Returns false when -b asks to stop.
    bool execute(const Batch& b) {
        for (int i = 0; i < b.repeat; ++i) {
            printer_.resetBatch();
            try {
                server_.execute(b.text, printer_);
            } catch (const std::exception& e) {
                // The server promises not to throw; should it, the batch fails and the run goes on.
                printer_.message(engine::internalError(e.what()));
            } catch (...) {
                printer_.message(engine::internalError("未知的异常"));
            }
            std::string now = server_.currentDatabase();
            if (now != database_) {
                if (!printer_.sawContextChange() && !now.empty()) {
                    engine::Message m;
                    m.number = 5701;
                    m.severity = 0;
                    m.text = "已将数据库上下文更改为 '" + now + "'。";
                    printer_.message(m);
                }
                database_ = now;
            }
            if (printer_.maxSeverity() > 10) {
                failed_ = true;
                if (options_.exitOnError) return false;
            }
        }
        return true;
    }

    // Runs every batch of a script; false when -b stopped it.
    bool script(std::string_view text) {
        for (const Batch& b : splitBatches(text))
            if (!execute(b)) return false;
        return true;
    }

    // Reads batches from a stream until EOF or EXIT/QUIT; false when -b stopped it.
    bool interactive(std::istream& in, bool prompt, Output& out) {
        BatchSplitter splitter;
        std::string line;
        int lineNo = 1;
        for (;;) {
            if (prompt) out.write(std::to_string(lineNo) + "> ");
            if (!std::getline(in, line)) break;
            std::string trimmed = line;
            if (isExitCommand(trimmed)) {
                std::string u;
                for (char c : trimmed) if (!std::isspace(static_cast<unsigned char>(c))) u += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                if (u == "EXIT()" || u == ":EXIT()") {
                    if (auto b = splitter.finish())
                        if (!execute(*b)) return false;
                }
                return true;
            }
            line += '\n';
            if (auto b = splitter.addLine(line)) {
                lineNo = 1;
                if (!execute(*b)) return false;
            } else if (goLine(line)) {
                lineNo = 1;
            } else {
                ++lineNo;
            }
        }
        if (auto b = splitter.finish())
            if (!execute(*b)) return false;
        return true;
    }

    bool failed() const { return failed_; }

private:
    static LayoutOptions layout(const Options& o) {
        LayoutOptions l;
        l.headers = o.headers;
        l.separator = o.separator;
        l.trimSpaces = o.trimSpaces;
        l.maxVariableWidth = o.maxVariableWidth;
        l.server = o.server;
        return l;
    }

    const Options& options_;
    Printer printer_;
    Server& server_;
    std::string database_;
    bool failed_ = false;
};

}  // namespace

int runSqlcmd(const Options& options, Output& out, std::istream& interactive, bool prompt,
              const ServerFactory& factory) {
    // Input files are checked before connecting, as sqlcmd does.
    std::vector<std::string> scripts;
    for (const auto& file : options.inputFiles) {
        std::ifstream f(file, std::ios::binary);
        if (!f) {
            out.write("Sqlcmd: 错误: “" + file + "”: 文件名无效。\n");
            return 1;
        }
        std::ostringstream s;
        s << f.rdbuf();
        scripts.push_back(s.str());
    }

    engine::Message error;
    std::unique_ptr<Server> server = factory(options, &error);
    if (!server) {
        if (error.number == 0) {
            out.write(error.text + "\n");
        } else {
            Printer p(out, LayoutOptions{0, " ", false, 256, options.server});
            if (error.severity <= 10) error.severity = 11;
            p.message(error);
        }
        return 1;
    }

    Run run(options, out, *server);
    if (options.query) {
        if (!run.script(*options.query)) return 1;
        if (options.exitAfterQuery) return options.exitOnError && run.failed() ? 1 : 0;
        if (!run.interactive(interactive, prompt, out)) return 1;
        return options.exitOnError && run.failed() ? 1 : 0;
    }
    if (!scripts.empty()) {
        for (const auto& s : scripts)
            if (!run.script(s)) return 1;
        return options.exitOnError && run.failed() ? 1 : 0;
    }
    if (!run.interactive(interactive, prompt, out)) return 1;
    return options.exitOnError && run.failed() ? 1 : 0;
}

}  // namespace quillmere::sqlcmd
