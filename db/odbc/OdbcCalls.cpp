#include "db/odbc/OdbcCalls.h"

#include "db/odbc/OdbcBackend.h"

#include <sqlucode.h>

#include <algorithm>

namespace quillmere::db::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is UTF-16");

namespace {

SQLWCHAR* w(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

// Driver-specific diagnostic fields of SQL Server's drivers (sqlncli.h / msodbcsql.h).
constexpr SQLSMALLINT kDiagSsMsgState = -1150;
constexpr SQLSMALLINT kDiagSsSeverity = -1151;
constexpr SQLSMALLINT kDiagSsProcName = -1152;
constexpr SQLSMALLINT kDiagSsLine = -1153;

// "[unixODBC][FreeTDS][SQL Server]Login failed" -> "[unixODBC][FreeTDS][SQL Server]" and "Login failed".
void splitSource(const std::string& all, Diagnostic& d) {
    std::size_t i = 0;
    while (i < all.size() && all[i] == '[') {
        std::size_t close = all.find(']', i);
        if (close == std::string::npos) break;
        i = close + 1;
    }
    d.source = all.substr(0, i);
    d.text = all.substr(i);
}

Diagnostic failure(const char* text) {
    Diagnostic d;
    d.text = text;
    return d;
}

}  // namespace

std::vector<Diagnostic> diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diagnostic> out;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::u16string text(1024, u'\0');
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, w(text), static_cast<SQLSMALLINT>(text.size()),
                                      &len);
        if (!SQL_SUCCEEDED(rc)) break;
        if (len >= static_cast<SQLSMALLINT>(text.size())) {
            text.assign(len + 1, u'\0');
            SQLGetDiagRecW(type, handle, i, state, &native, w(text), static_cast<SQLSMALLINT>(text.size()), &len);
        }
        text.resize(std::min<std::size_t>(len, text.size()));
        Diagnostic d;
        d.state = toUtf8(std::u16string(reinterpret_cast<char16_t*>(state), 5));
        d.native = native;
        splitSource(toUtf8(text), d);
        SQLINTEGER v = 0;
        if (SQL_SUCCEEDED(SQLGetDiagFieldW(type, handle, i, kDiagSsSeverity, &v, SQL_IS_INTEGER, nullptr))) d.severity = v;
        if (SQL_SUCCEEDED(SQLGetDiagFieldW(type, handle, i, kDiagSsMsgState, &v, SQL_IS_INTEGER, nullptr)))
            d.messageState = v;
        if (SQL_SUCCEEDED(SQLGetDiagFieldW(type, handle, i, kDiagSsLine, &v, SQL_IS_INTEGER, nullptr))) d.line = v;
        std::u16string proc(256, u'\0');
        SQLSMALLINT procBytes = 0;
        if (SQL_SUCCEEDED(SQLGetDiagFieldW(type, handle, i, kDiagSsProcName, w(proc),
                                           static_cast<SQLSMALLINT>(proc.size() * 2), &procBytes))) {
            proc.resize(std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(procBytes, 0)) / 2,
                                              proc.size() - 1));
            d.procedure = toUtf8(proc);
        }
        out.push_back(std::move(d));
    }
    return out;
}

bool connect(const std::string& connectionString, Link& link, std::vector<Diagnostic>& why) {
    link = Link{};
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &link.env))) {
        link.env = SQL_NULL_HENV;
        why = {failure("无法初始化 ODBC 环境。")};
        return false;
    }
    SQLSetEnvAttr(link.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, link.env, &link.dbc))) {
        link.dbc = SQL_NULL_HDBC;
        disconnect(link);
        why = {failure("无法分配 ODBC 连接句柄。")};
        return false;
    }
    SQLSetConnectAttr(link.dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    std::u16string in = toUtf16(connectionString);
    std::u16string out(1024, u'\0');
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnectW(link.dbc, nullptr, w(in), static_cast<SQLSMALLINT>(in.size()), w(out),
                                     static_cast<SQLSMALLINT>(out.size()), &outLen, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        why = diagnostics(SQL_HANDLE_DBC, link.dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, link.dbc);
        link.dbc = SQL_NULL_HDBC;
        disconnect(link);
        return false;
    }
    return true;
}

void disconnect(Link& link) noexcept {
    if (link.dbc != SQL_NULL_HDBC) {
        SQLDisconnect(link.dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, link.dbc);
        link.dbc = SQL_NULL_HDBC;
    }
    if (link.env != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, link.env);
        link.env = SQL_NULL_HENV;
    }
}

bool describeColumn(SQLHSTMT h, SQLUSMALLINT column, ColumnDescription& out) {
    std::u16string name(256, u'\0');
    SQLSMALLINT nameLen = 0;
    if (!SQL_SUCCEEDED(SQLDescribeColW(h, column, w(name), static_cast<SQLSMALLINT>(name.size()), &nameLen, &out.type,
                                       &out.size, &out.digits, &out.nullable)))
        return false;
    name.resize(std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLen, 0)), name.size()));
    out.name = toUtf8(name);
    return true;
}

SQLRETURN TextReader::read(SQLHSTMT h, SQLUSMALLINT column, std::string& out, bool& isNull) {
    acc_.clear();
    isNull = false;
    SQLRETURN failed = SQL_SUCCESS;
    for (;;) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(h, column, SQL_C_WCHAR, w(buf_), static_cast<SQLLEN>(buf_.size() * 2), &ind);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) {
            failed = rc;
            break;
        }
        if (ind == SQL_NULL_DATA) {
            isNull = true;
            out.clear();
            return SQL_SUCCESS;
        }
        std::size_t chars = buf_.size() - 1;
        if (ind != SQL_NO_TOTAL && static_cast<std::size_t>(ind) / 2 < chars) chars = static_cast<std::size_t>(ind) / 2;
        acc_.append(buf_.data(), chars);
        if (rc == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: more to come (01004)
    }
    out = toUtf8(acc_);
    return failed;
}

}  // namespace quillmere::db::odbc
