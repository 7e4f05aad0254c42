// The run of quillmere-sqlcmd: connect, read batches from -Q/-q, -i files or the
// standard input, send them, print what comes back, and decide the exit code.
#pragma once

#include "engine/Session.h"
#include "tools/sqlcmd/Options.h"
#include "tools/sqlcmd/Printer.h"

#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace quillmere::sqlcmd {

// What the tool talks to: the embedded engine or a server over ODBC.
class Server {
public:
    virtual ~Server() = default;
    virtual engine::BatchStatus execute(std::string_view batch, engine::ResultSink& sink) = 0;
    virtual std::string currentDatabase() const = 0;
};

// Opens the server named by the options; on failure returns nullptr and sets error.
using ServerFactory = std::function<std::unique_ptr<Server>(const Options&, engine::Message* error)>;

// The real factory: "(embedded)" opens an engine::Session in $QUILLMERE_DATA_DIR
// (else engine::Session::defaultDataDirectory()); other names go over ODBC.
std::unique_ptr<Server> openServer(const Options& options, engine::Message* error);

bool isEmbeddedServer(std::string_view name);

// The ODBC connection string for a server other than "(embedded)": -S used as it is
// when it is one already ("Driver=..." or "DSN=..."), else -S, -d, -U, -P and -E for
// the driver named, translated as the program translates its connection strings.
std::string odbcConnectionString(const Options& options, const std::string& driver);

// Runs everything the options ask for. interactive is read when neither -Q nor -i
// is given, and after -q. Returns sqlcmd's exit code: 0, or 1 when the connection
// fails, an input file cannot be read, or (with -b) a batch raised an error of
// severity above 10.
int runSqlcmd(const Options& options, Output& out, std::istream& interactive, bool prompt,
              const ServerFactory& factory);

}  // namespace quillmere::sqlcmd
