// The ODBC calls the backend and quillmere-sqlcmd share: connecting with an ODBC
// connection string, reading diagnostic records, describing columns and reading
// column text. Text crosses the driver as UTF-16 (the W functions).
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

namespace quillmere::db::odbc {

// One diagnostic record. SQL Server's drivers also give the message's severity,
// state, procedure and line; with other drivers these stay -1 and empty.
struct Diagnostic {
    std::string state;   // SQLSTATE: "01000", "42S02" ...
    int native = 0;
    std::string text;    // as the driver gives it, less the "[vendor][driver][server]" prefixes
    std::string source;  // those prefixes
    int severity = -1;
    int messageState = -1;
    int line = -1;
    std::string procedure;
};

std::vector<Diagnostic> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// An ODBC 3 environment with one connection.
struct Link {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
};

// Connects with a connection string (15 seconds to log in). On failure nothing is
// left allocated and why holds the driver's records, or one record naming the
// allocation that failed.
bool connect(const std::string& connectionString, Link& link, std::vector<Diagnostic>& why);
void disconnect(Link& link) noexcept;

// A result column as SQLDescribeColW gives it, the name in UTF-8.
struct ColumnDescription {
    std::string name;
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
};
bool describeColumn(SQLHSTMT h, SQLUSMALLINT column, ColumnDescription& out);

// Reads the columns of the current row as UTF-8 text, piece by piece however long;
// keeps its buffers from one call to the next.
class TextReader {
public:
    // The column's text in out (empty and isNull set for NULL). Returns the code of
    // an SQLGetData call that failed, SQL_SUCCESS otherwise.
    SQLRETURN read(SQLHSTMT h, SQLUSMALLINT column, std::string& out, bool& isNull);

private:
    std::u16string buf_ = std::u16string(4096, u'\0');
    std::u16string acc_;
};

}  // namespace quillmere::db::odbc
