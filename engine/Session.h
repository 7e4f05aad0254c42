// One client session on the embedded engine: the counterpart of a connection
// to SQL Server. A session executes T-SQL batches against a database file and
// streams what the server would send back (result sets, row counts, messages)
// into a ResultSink.
//
// Databases are SQLite files named "<database>.db" in a data directory
// (normally $XDG_DATA_HOME/quillmere, else ~/.local/share/quillmere); names
// are matched without regard to case. CREATE DATABASE creates such a file,
// DROP DATABASE removes it, USE switches the session to another one.
#pragma once

#include "engine/Message.h"
#include "engine/SqlType.h"
#include "engine/Value.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmere::engine {

struct ResultColumn {
    std::string name;        // empty for an unnamed expression
    SqlType type;
    bool nullable = true;
    std::string baseTable;   // set when the column comes straight from a table column
    std::string baseColumn;  // (through views too), as declared in the catalog
};

// A row handed to the sink; cells are borrowed and valid only during the call.
class RowView {
public:
    virtual ~RowView() = default;
    virtual int size() const = 0;
    virtual ValueView cell(int index) const = 0;
};

class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual void beginResultSet(const std::vector<ResultColumn>& columns) = 0;
    virtual void row(const RowView& row) = 0;
    virtual void endResultSet() = 0;
    // A statement finished having touched n rows. shown is false under SET NOCOUNT ON
    // (clients print "(n 行受影响)" only when shown). nestLevel is 0 for statements of
    // the batch itself, 1 and more inside procedures and triggers.
    virtual void rowsAffected(std::int64_t n, bool shown, int nestLevel) = 0;
    // PRINT output, warnings and errors, in the order the server sends them.
    virtual void message(const Message& m) = 0;
};

struct SessionOptions {
    std::filesystem::path dataDirectory;  // empty: defaultDataDirectory()
    std::string database;                 // database to connect to; empty: none (only CREATE DATABASE etc.)
    int busyTimeoutMs = 5000;             // how long to wait for another program's lock
    std::string serverName = "(embedded)";
};

struct BatchStatus {
    bool ok = true;               // false when any error of severity > 10 was raised
    int firstErrorNumber = 0;
};

// Named parameters for execute(), as sp_executesql takes them: {"@p1", type, value}.
struct Parameter {
    std::string name;
    SqlType type;
    Value value;
};

// A batch read once and run many times with different parameter values (the
// same statement for many rows). Made by Session::prepare; it must not outlive
// its session.
class PreparedBatch {
public:
    virtual ~PreparedBatch() = default;
    // Runs the batch as Session::execute would, with these parameters.
    virtual BatchStatus execute(std::span<const Parameter> parameters, ResultSink& sink) = 0;
};

class Session {
public:
    virtual ~Session() = default;

    // Opens a session. Fails with error 4060 (database cannot be opened) when the
    // database does not exist; error is then set and nullptr returned.
    static std::unique_ptr<Session> open(const SessionOptions& options, Message* error);

    static std::filesystem::path defaultDataDirectory();

    // Runs one batch (no GO separators: the client splits batches). Never throws
    // for anything the text contains; every failure is reported as a Message.
    virtual BatchStatus execute(std::string_view batch, ResultSink& sink) = 0;
    virtual BatchStatus execute(std::string_view batch, std::span<const Parameter> parameters,
                                ResultSink& sink) = 0;

    // Reads a batch for repeated execution: running the handle skips reading the
    // text again. A batch with a syntax error reports it on every execute.
    virtual std::unique_ptr<PreparedBatch> prepare(std::string_view batch) = 0;

    virtual std::string currentDatabase() const = 0;

    // Primary key columns of a table (or of the one base table a view updates),
    // in key order, as declared; empty when the table has none or does not exist.
    virtual std::vector<std::string> primaryKey(std::string_view table) const = 0;

    // Declared columns of a table or view, in order; nullopt when there is none.
    virtual std::optional<std::vector<ResultColumn>> columns(std::string_view object) const = 0;
};

}  // namespace quillmere::engine
