// Servers other than "(embedded)", reached over ODBC: Microsoft's ODBC driver when
// installed, FreeTDS otherwise. A -S value that is itself an ODBC connection string
// ("Driver=...;..." or "DSN=...") is used as it is.
#include "tools/sqlcmd/Runner.h"

#include <sql.h>
#include <sqlext.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace quillmere::sqlcmd {

namespace {

// Driver-specific diagnostic fields of SQL Server's drivers (sqlncli.h / msodbcsql.h).
constexpr SQLSMALLINT kDiagSsMsgState = -1150;
constexpr SQLSMALLINT kDiagSsSeverity = -1151;
constexpr SQLSMALLINT kDiagSsProcName = -1152;
constexpr SQLSMALLINT kDiagSsLine = -1153;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Braces a connection-string value when it needs them.
std::string braced(const std::string& v) {
    if (v.find_first_of(";{}= ") == std::string::npos) return v;
    std::string out = "{";
    for (char c : v) {
        out += c;
        if (c == '}') out += '}';
    }
    return out + "}";
}

std::vector<std::string> installedDrivers(SQLHENV env) {
    std::vector<std::string> out;
    SQLCHAR desc[256], attrs[1024];
    SQLSMALLINT descLen = 0, attrLen = 0;
    SQLUSMALLINT dir = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(env, dir, desc, sizeof desc, &descLen, attrs, sizeof attrs, &attrLen))) {
        out.emplace_back(reinterpret_cast<char*>(desc));
        dir = SQL_FETCH_NEXT;
    }
    return out;
}

std::string connectionString(SQLHENV env, const Options& o) {
    std::string l = lower(o.server);
    if (l.rfind("driver=", 0) == 0 || l.rfind("dsn=", 0) == 0) return o.server;
    std::string host = o.server, port;
    for (const char* prefix : {"tcp:", "np:", "lpc:"})
        if (lower(host).rfind(prefix, 0) == 0) host = host.substr(std::strlen(prefix));
    if (auto comma = host.find(','); comma != std::string::npos) {
        port = host.substr(comma + 1);
        host = host.substr(0, comma);
    }
    if (host == "." || lower(host) == "(local)") host = "localhost";
    std::string driver;
    for (const auto& d : installedDrivers(env))
        if (d.find("for SQL Server") != std::string::npos && (driver.empty() || d > driver)) driver = d;
    bool freetds = driver.empty();
    if (freetds) driver = "FreeTDS";
    std::string s = "Driver={" + driver + "};Server=" + braced(host);
    if (!port.empty()) s += freetds ? ";Port=" + port : "," + port;
    if (freetds) s += ";TDS_Version=7.4;ClientCharset=UTF-8";
    else s += ";TrustServerCertificate=yes";
    if (!o.database.empty()) s += ";Database=" + braced(o.database);
    if (o.trusted) s += ";Trusted_Connection=yes";
    else s += ";UID=" + braced(o.user) + ";PWD=" + braced(o.password);
    return s;
}

// Strips the "[vendor][driver][SQL Server]" prefixes of a diagnostic text.
std::string serverText(std::string t) {
    while (!t.empty() && t.front() == '[') {
        auto close = t.find(']');
        if (close == std::string::npos) break;
        t.erase(0, close + 1);
    }
    return t;
}

void collectDiagnostics(SQLSMALLINT type, SQLHANDLE h, const std::string& server, engine::ResultSink& sink,
                        bool& error) {
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        std::vector<SQLCHAR> text(4096);
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetDiagRec(type, h, i, state, &native, text.data(), static_cast<SQLSMALLINT>(text.size()), &len);
        if (!SQL_SUCCEEDED(rc)) break;
        engine::Message m;
        m.number = native;
        m.server = server;
        m.text = serverText(std::string(reinterpret_cast<char*>(text.data()), std::min<std::size_t>(len, text.size() - 1)));
        bool info = std::strncmp(reinterpret_cast<char*>(state), "01", 2) == 0;
        SQLINTEGER v = 0;
        m.severity = info ? 0 : 16;
        if (SQL_SUCCEEDED(SQLGetDiagField(type, h, i, kDiagSsSeverity, &v, SQL_IS_INTEGER, nullptr))) m.severity = v;
        if (SQL_SUCCEEDED(SQLGetDiagField(type, h, i, kDiagSsMsgState, &v, SQL_IS_INTEGER, nullptr))) m.state = v;
        if (SQL_SUCCEEDED(SQLGetDiagField(type, h, i, kDiagSsLine, &v, SQL_IS_INTEGER, nullptr))) m.line = v;
        SQLCHAR proc[256] = {0};
        SQLSMALLINT procLen = 0;
        if (SQL_SUCCEEDED(SQLGetDiagField(type, h, i, kDiagSsProcName, proc, sizeof proc, &procLen)))
            m.procedure = reinterpret_cast<char*>(proc);
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
    OdbcServer(SQLHENV env, SQLHDBC dbc, std::string name) : env_(env), dbc_(dbc), name_(std::move(name)) {}
    ~OdbcServer() override {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }

    engine::BatchStatus execute(std::string_view batch, engine::ResultSink& sink) override {
        engine::BatchStatus status;
        SQLHSTMT st = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st))) {
            bool err = false;
            collectDiagnostics(SQL_HANDLE_DBC, dbc_, name_, sink, err);
            status.ok = false;
            return status;
        }
        std::string text(batch);
        SQLRETURN rc = SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
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
        SQLCHAR buf[512] = {0};
        SQLINTEGER len = 0;
        if (!SQL_SUCCEEDED(SQLGetConnectAttr(dbc_, SQL_ATTR_CURRENT_CATALOG, buf, sizeof buf, &len))) return {};
        return reinterpret_cast<char*>(buf);
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
            SQLCHAR name[512] = {0};
            SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            SQLDescribeCol(st, i, name, sizeof name, &nameLen, &type, &size, &digits, &nullable);
            engine::ResultColumn c;
            c.name = reinterpret_cast<char*>(name);
            c.type = typeOf(type, size, digits);
            c.nullable = nullable != SQL_NO_NULLS;
            columns.push_back(std::move(c));
        }
        sink.beginResultSet(columns);
        std::int64_t rows = 0;
        TextRow row;
        SQLRETURN rc;
        while ((rc = SQLFetch(st)) != SQL_NO_DATA) {
            if (!SQL_SUCCEEDED(rc)) {
                collectDiagnostics(SQL_HANDLE_STMT, st, name_, sink, error);
                break;
            }
            row.cells.assign(static_cast<std::size_t>(cols), engine::Value::null());
            for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(cols); ++i) {
                std::string value;
                char buf[4096];
                SQLLEN ind = 0;
                bool isNull = false;
                for (;;) {
                    SQLRETURN g = SQLGetData(st, i, SQL_C_CHAR, buf, sizeof buf, &ind);
                    if (g == SQL_NO_DATA) break;
                    if (!SQL_SUCCEEDED(g)) break;
                    if (ind == SQL_NULL_DATA) { isNull = true; break; }
                    std::size_t got = (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf)) ? sizeof buf - 1
                                                                                                   : static_cast<std::size_t>(ind);
                    value.append(buf, got);
                    if (g == SQL_SUCCESS) break;
                }
                if (!isNull) row.cells[i - 1] = engine::Value::fromText(std::move(value));
            }
            sink.row(row);
            if (rows < INT64_MAX) ++rows;
        }
        sink.endResultSet();
        sink.rowsAffected(rows, true, 0);
    }

    SQLHENV env_;
    SQLHDBC dbc_;
    std::string name_;
};

}  // namespace

std::unique_ptr<Server> openOdbcServer(const Options& options, engine::Message* error) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    auto fail = [&](std::string text) -> std::unique_ptr<Server> {
        if (error) {
            *error = engine::Message{};
            error->severity = 16;
            error->text = std::move(text);
        }
        if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
        return nullptr;
    };
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return fail("Sqlcmd: 错误: 无法初始化 ODBC。");
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) return fail("Sqlcmd: 错误: 无法初始化 ODBC。");
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    std::string cs = connectionString(env, options);
    SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), static_cast<SQLSMALLINT>(cs.size()),
                                    nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        // The driver's own words, one diagnostic per line.
        std::string text;
        for (SQLSMALLINT i = 1;; ++i) {
            SQLCHAR state[6] = {0};
            SQLINTEGER native = 0;
            SQLCHAR msg[2048] = {0};
            SQLSMALLINT len = 0;
            if (!SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, dbc, i, state, &native, msg, sizeof msg, &len))) break;
            text += "Sqlcmd: 错误: " + serverText(reinterpret_cast<char*>(msg)) + "\n";
        }
        if (text.empty()) text = "Sqlcmd: 错误: 无法连接服务器 '" + options.server + "'。\n";
        text.pop_back();
        return fail(text);
    }
    return std::make_unique<OdbcServer>(env, dbc, options.server);
}

}  // namespace quillmere::sqlcmd
