// Servers other than "(embedded)", reached over ODBC with the same connection-string
// translation and ODBC calls as the program's connections (db/). A -S value that is
// itself an ODBC connection string ("Driver=...;..." or "DSN=...") is used as it is.
#include "tools/sqlcmd/Runner.h"

#include "db/ConnectionString.h"
#include "db/odbc/OdbcBackend.h"
#include "db/odbc/OdbcCalls.h"

#include <sqlucode.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmere::sqlcmd {

namespace {

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && db::equalsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// Reports a handle's diagnostic records to the sink, with SQL Server's severities
// where the driver gives them; error is set by one above 10.
void collectDiagnostics(SQLSMALLINT type, SQLHANDLE h, const std::string& server, engine::ResultSink& sink,
                        bool& error) {
    for (db::odbc::Diagnostic& d : db::odbc::diagnostics(type, h)) {
        engine::Message m;
        m.number = d.native;
        m.server = server;
        m.text = std::move(d.text);
        bool info = d.state.compare(0, 2, "01") == 0;
        m.severity = d.severity >= 0 ? d.severity : info ? 0 : 16;
        if (d.messageState >= 0) m.state = d.messageState;
        if (d.line >= 0) m.line = d.line;
        m.procedure = std::move(d.procedure);
        if (m.number == 0 && !info && m.severity <= 10) m.severity = 16;
        if (m.severity > 10) error = true;
        sink.message(m);
    }
}

engine::SqlType typeOf(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits) {
    using engine::TypeId;
    engine::SqlType t;
    int n = size > 8000 ? -1 : static_cast<int>(size);
    switch (sqlType) {
    case SQL_BIT: t.id = TypeId::Bit; break;
    case SQL_TINYINT: t.id = TypeId::TinyInt; break;
    case SQL_SMALLINT: t.id = TypeId::SmallInt; break;
    case SQL_INTEGER: t.id = TypeId::Int; break;
    case SQL_BIGINT: t.id = TypeId::BigInt; break;
    case SQL_NUMERIC: case SQL_DECIMAL:
        t.id = TypeId::Numeric;
        t.precision = static_cast<int>(size);
        t.scale = digits;
        break;
    case SQL_REAL: t.id = TypeId::Real; break;
    case SQL_FLOAT: case SQL_DOUBLE: t.id = TypeId::Float; break;
    case SQL_CHAR: t.id = TypeId::Char; t.length = n; break;
    case SQL_VARCHAR: case SQL_LONGVARCHAR: t.id = TypeId::VarChar; t.length = n; break;
    case SQL_WCHAR: t.id = TypeId::NChar; t.length = n; break;
    case SQL_WVARCHAR: case SQL_WLONGVARCHAR: t.id = TypeId::NVarChar; t.length = n; break;
    case SQL_TYPE_DATE: t.id = TypeId::Date; break;
    case SQL_TYPE_TIME: t.id = TypeId::Time; t.scale = digits; break;
    case SQL_TYPE_TIMESTAMP: case SQL_DATETIME:
        if (digits == 3) t.id = TypeId::DateTime;
        else if (digits == 0) t.id = TypeId::SmallDateTime;
        else { t.id = TypeId::DateTime2; t.scale = digits; }
        break;
    case SQL_GUID: t.id = TypeId::UniqueIdentifier; break;
    case SQL_BINARY: t.id = TypeId::Binary; t.length = n; break;
    case SQL_VARBINARY: case SQL_LONGVARBINARY: t.id = TypeId::VarBinary; t.length = n; break;
    default: t.id = TypeId::VarChar; t.length = n > 0 ? n : -1; break;
    }
    return t;
}

class TextRow : public engine::RowView {
public:
    std::vector<engine::Value> cells;
    int size() const override { return static_cast<int>(cells.size()); }
    engine::ValueView cell(int i) const override { return cells[static_cast<std::size_t>(i)].view(); }
};

class OdbcServer : public Server {
public:
    OdbcServer(db::odbc::Link link, std::string name) : link_(link), name_(std::move(name)) {}
    ~OdbcServer() override { db::odbc::disconnect(link_); }
    OdbcServer(const OdbcServer&) = delete;
    OdbcServer& operator=(const OdbcServer&) = delete;

    engine::BatchStatus execute(std::string_view batch, engine::ResultSink& sink) override {
        engine::BatchStatus status;
        SQLHSTMT st = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, link_.dbc, &st))) {
            bool err = false;
            collectDiagnostics(SQL_HANDLE_DBC, link_.dbc, name_, sink, err);
            status.ok = false;
            return status;
        }
        std::u16string text = db::toUtf16(batch);
        SQLRETURN rc = SQLExecDirectW(st, reinterpret_cast<SQLWCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
        bool error = false;
        while (rc != SQL_NO_DATA && rc != SQL_INVALID_HANDLE) {
            if (rc == SQL_SUCCESS_WITH_INFO || rc == SQL_ERROR) collectDiagnostics(SQL_HANDLE_STMT, st, name_, sink, error);
            if (SQL_SUCCEEDED(rc)) readResult(st, sink, error);
            rc = SQLMoreResults(st);
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        status.ok = !error;
        return status;
    }

    std::string currentDatabase() const override {
        std::u16string buf(256, u'\0');
        SQLINTEGER bytes = 0;
        if (!SQL_SUCCEEDED(SQLGetConnectAttrW(link_.dbc, SQL_ATTR_CURRENT_CATALOG, buf.data(),
                                              static_cast<SQLINTEGER>(buf.size() * 2), &bytes)) ||
            bytes <= 0)
            return {};
        buf.resize(std::min<std::size_t>(static_cast<std::size_t>(bytes) / 2, buf.size() - 1));
        return db::toUtf8(buf);
    }

private:
    void readResult(SQLHSTMT st, engine::ResultSink& sink, bool& error) {
        SQLSMALLINT cols = 0;
        SQLNumResultCols(st, &cols);
        if (cols <= 0) {
            SQLLEN n = -1;
            SQLRowCount(st, &n);
            if (n >= 0) sink.rowsAffected(n, true, 0);
            return;
        }
        std::vector<engine::ResultColumn> columns;
        for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(cols); ++i) {
            db::odbc::ColumnDescription d;
            db::odbc::describeColumn(st, i, d);
            engine::ResultColumn c;
            c.name = std::move(d.name);
            c.type = typeOf(d.type, d.size, d.digits);
            c.nullable = d.nullable != SQL_NO_NULLS;
            columns.push_back(std::move(c));
        }
        sink.beginResultSet(columns);
        std::int64_t rows = 0;
        TextRow row;
        db::odbc::TextReader reader;
        SQLRETURN rc;
        while ((rc = SQLFetch(st)) != SQL_NO_DATA) {
            if (!SQL_SUCCEEDED(rc)) {
                collectDiagnostics(SQL_HANDLE_STMT, st, name_, sink, error);
                break;
            }
            row.cells.assign(static_cast<std::size_t>(cols), engine::Value::null());
            for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(cols); ++i) {
                std::string value;
                bool isNull = false;
                reader.read(st, i, value, isNull);  // a failed read keeps what came before it
                if (!isNull) row.cells[i - 1] = engine::Value::fromText(std::move(value));
            }
            sink.row(row);
            if (rows < INT64_MAX) ++rows;
        }
        sink.endResultSet();
        sink.rowsAffected(rows, true, 0);
    }

    db::odbc::Link link_;
    std::string name_;
};

}  // namespace

std::string odbcConnectionString(const Options& o, const std::string& driver) {
    if (startsWithIgnoreCase(o.server, "driver=") || startsWithIgnoreCase(o.server, "dsn=")) return o.server;
    // sqlcmd's protocol prefixes, which not every driver knows.
    std::string_view server = o.server;
    for (std::string_view prefix : {"tcp:", "np:", "lpc:"})
        if (startsWithIgnoreCase(server, prefix)) server.remove_prefix(prefix.size());
    // Said as the program's OLE DB connection string, which db/ turns into an ODBC one.
    std::string s = "Provider=SQLOLEDB;Data Source=" + db::odbcValue(server);
    if (!o.database.empty()) s += ";Initial Catalog=" + db::odbcValue(o.database);
    if (o.trusted) s += ";Integrated Security=SSPI";
    else s += ";User ID=" + db::odbcValue(o.user) + ";Password=" + db::odbcValue(o.password);
    return db::oleDbToOdbc(s, driver);
}

std::unique_ptr<Server> openOdbcServer(const Options& options, engine::Message* error) {
    db::odbc::Link link;
    std::vector<db::odbc::Diagnostic> why;
    if (db::odbc::connect(odbcConnectionString(options, db::sqlServerOdbcDriver()), link, why))
        return std::make_unique<OdbcServer>(link, options.server);
    if (error) {
        // The driver's own words, one diagnostic per line.
        std::string text;
        for (const auto& d : why) text += "Sqlcmd: 错误: " + d.text + "\n";
        if (text.empty()) text = "Sqlcmd: 错误: 无法连接服务器 '" + options.server + "'。\n";
        text.pop_back();
        *error = engine::Message{};
        error->severity = 16;
        error->text = std::move(text);
    }
    return nullptr;
}

}  // namespace quillmere::sqlcmd
