#include "db/odbc/OdbcBackend.h"

#include "db/ConnectionString.h"
#include "db/odbc/OdbcCalls.h"
#include "engine/types/Text.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace quillmere::db {

// ---- UTF-8 / UTF-16 ---------------------------------------------------------

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int n;
        if (c < 0x80) { cp = c; n = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; n = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; n = 3; }
        else if ((c >> 3) == 30) { cp = c & 0x07; n = 4; }
        else { out += u'\uFFFD'; ++i; continue; }
        if (i + n > s.size()) { out += u'\uFFFD'; break; }
        bool bad = false;
        for (int k = 1; k < n; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d >> 6) != 2) { bad = true; break; }
            cp = (cp << 6) | (d & 0x3F);
        }
        if (bad) { out += u'\uFFFD'; ++i; continue; }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string toUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        engine::types::appendUtf8(out, cp);
    }
    return out;
}

namespace {

SQLWCHAR* w(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

// A diagnostic's text without the line end or blanks some drivers leave after it.
std::string trimmedText(const odbc::Diagnostic& d) {
    std::string t = d.text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == ' ')) t.pop_back();
    return t;
}

DbError errorFrom(const std::vector<odbc::Diagnostic>& ds, const char* fallback) {
    if (ds.empty()) return DbError::server(0, fallback);
    // SQL Server sends a message's text once per record; the first error names the cause.
    DbError e = DbError::server(ds.front().native, trimmedText(ds.front()), 16, ds.front().source);
    e.setSqlState(ds.front().state);
    return e;
}

DbError errorFrom(SQLSMALLINT type, SQLHANDLE handle, const char* fallback) {
    return errorFrom(odbc::diagnostics(type, handle), fallback);
}

void collectInfo(SQLSMALLINT type, SQLHANDLE handle, std::vector<InfoMessage>* info) {
    if (!info) return;
    for (const auto& d : odbc::diagnostics(type, handle))
        info->push_back(InfoMessage{InfoMessage::Kind::Print, 0, trimmedText(d)});
}

class Statement {
public:
    explicit Statement(SQLHDBC dbc) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h)))
            throw errorFrom(SQL_HANDLE_DBC, dbc, "无法分配 ODBC 语句句柄。");
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    [[noreturn]] void fail() { throw errorFrom(SQL_HANDLE_STMT, h, "ODBC 语句执行失败。"); }
    SQLHSTMT h = SQL_NULL_HSTMT;
};

engine::SqlType typeOf(SQLSMALLINT t, SQLULEN size, SQLSMALLINT digits) {
    using engine::TypeId;
    engine::SqlType s;
    int len = size > 8000 ? -1 : static_cast<int>(size);
    switch (t) {
    case SQL_CHAR: s.id = TypeId::Char; s.length = len; break;
    case SQL_VARCHAR: s.id = TypeId::VarChar; s.length = len; break;
    case SQL_LONGVARCHAR: s.id = TypeId::Text; break;
    case SQL_WCHAR: s.id = TypeId::NChar; s.length = len; break;
    case SQL_WVARCHAR: s.id = TypeId::NVarChar; s.length = len; break;
    case SQL_WLONGVARCHAR: s.id = TypeId::NText; break;
    case SQL_BIT: s.id = TypeId::Bit; break;
    case SQL_TINYINT: s.id = TypeId::TinyInt; break;
    case SQL_SMALLINT: s.id = TypeId::SmallInt; break;
    case SQL_INTEGER: s.id = TypeId::Int; break;
    case SQL_BIGINT: s.id = TypeId::BigInt; break;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        s.id = TypeId::Numeric;
        s.precision = size > 0 && size <= 38 ? static_cast<int>(size) : 38;
        s.scale = std::clamp<int>(digits, 0, s.precision);
        break;
    case SQL_REAL: s.id = TypeId::Real; break;
    case SQL_FLOAT:
    case SQL_DOUBLE: s.id = TypeId::Float; break;
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME: s.id = TypeId::DateTime; break;
    case SQL_TYPE_DATE: s.id = TypeId::Date; break;
    case SQL_TYPE_TIME: s.id = TypeId::Time; break;
    case SQL_BINARY: s.id = TypeId::Binary; s.length = len; break;
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: s.id = TypeId::VarBinary; s.length = len; break;
    case SQL_GUID: s.id = TypeId::UniqueIdentifier; break;
    default: s.id = TypeId::VarChar; s.length = -1; break;
    }
    return s;
}

// A text answer of SQLGetInfoW; empty when the driver has none.
std::string infoText(SQLHDBC dbc, SQLUSMALLINT what) {
    std::u16string buf(128, u'\0');
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, what, w(buf), static_cast<SQLSMALLINT>(buf.size() * 2), &bytes)) || bytes <= 0)
        return {};
    buf.resize(std::min<std::size_t>(static_cast<std::size_t>(bytes) / 2, buf.size() - 1));
    return toUtf8(buf);
}

std::string columnString(SQLHSTMT h, SQLUSMALLINT col, SQLUSMALLINT field) {
    std::u16string buf(256, u'\0');
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(h, col, field, w(buf), static_cast<SQLSMALLINT>(buf.size() * 2), &len,
                                        nullptr)))
        return {};
    buf.resize(std::min<std::size_t>(len / 2, buf.size()));
    return toUtf8(buf);
}

// Reads the rest of the result set at h into result.
void fetchAll(SQLHSTMT h, SQLSMALLINT ncols, const std::string& table, QueryResult& result, Statement& st) {
    result.hasRows = true;
    result.textCells = true;
    result.columns.clear();
    for (SQLUSMALLINT c = 1; c <= ncols; ++c) {
        odbc::ColumnDescription d;
        if (!odbc::describeColumn(h, c, d)) st.fail();
        ColumnMeta m;
        m.info.name = std::move(d.name);
        m.info.type = typeOf(d.type, d.size, d.digits);
        m.nullable = d.nullable != SQL_NO_NULLS;
        m.odbcType = d.type;
        m.odbcSize = d.size;
        m.odbcDigits = d.digits;
        if (!table.empty()) {
            std::string base = columnString(h, c, SQL_DESC_BASE_COLUMN_NAME);
            if (base.empty()) base = m.info.name;
            if (!base.empty()) {
                m.info.baseTable = table;
                m.info.baseColumn = base;
            }
        }
        result.columns.push_back(std::move(m));
    }
    result.rows.clear();
    result.rows.setColumns(ncols);
    std::vector<std::string> texts(ncols);
    std::vector<engine::ValueView> cells(ncols);
    odbc::TextReader reader;
    for (;;) {
        SQLRETURN rc = SQLFetch(h);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) st.fail();
        for (SQLUSMALLINT c = 1; c <= ncols; ++c) {
            bool isNull = false;
            if (!SQL_SUCCEEDED(reader.read(h, c, texts[c - 1], isNull))) st.fail();
            engine::ValueView& v = cells[c - 1];
            if (isNull) {
                v = engine::ValueView{};
            } else {
                v = engine::ValueView{};
                v.kind = engine::ValueKind::Text;
                v.bytes = texts[c - 1];
            }
        }
        result.rows.append(cells);
    }
    result.info.push_back(InfoMessage{InfoMessage::Kind::RowsAffected, static_cast<std::int64_t>(result.rows.size()), {}});
}

std::string unquoteIdentifier(std::string_view s) {
    if (s.size() >= 2 && ((s.front() == '[' && s.back() == ']') || (s.front() == '"' && s.back() == '"') ||
                          (s.front() == '`' && s.back() == '`')))
        return std::string(s.substr(1, s.size() - 2));
    return std::string(s);
}

}  // namespace

// ---- connection ---------------------------------------------------------------

OdbcBackend::OdbcBackend(const std::string& connectionString) {
    odbc::Link link;
    std::vector<odbc::Diagnostic> why;
    if (!odbc::connect(connectionString, link, why)) throw errorFrom(why, "无法连接到服务器。");
    env_ = link.env;
    dbc_ = link.dbc;
    if (std::string q = infoText(link.dbc, SQL_IDENTIFIER_QUOTE_CHAR); !q.empty() && q != " ") quote_ = q;
    sqlServer_ = infoText(link.dbc, SQL_DBMS_NAME).find("SQL Server") != std::string::npos;
}

OdbcBackend::~OdbcBackend() {
    odbc::Link link{static_cast<SQLHENV>(env_), static_cast<SQLHDBC>(dbc_)};
    odbc::disconnect(link);
}

void OdbcBackend::query(const std::string& sql, QueryResult& result) {
    Statement st(static_cast<SQLHDBC>(dbc_));
    std::u16string text = toUtf16(sql);
    SQLRETURN rc = SQLExecDirectW(st.h, w(text), static_cast<SQLINTEGER>(text.size()));
    if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) st.fail();
    if (rc == SQL_SUCCESS_WITH_INFO) collectInfo(SQL_HANDLE_STMT, st.h, &result.info);
    const std::string table = singleTableOf(sql);
    // A statement that touched no rows may answer SQL_NO_DATA straight away.
    if (rc == SQL_NO_DATA) result.info.push_back(InfoMessage{InfoMessage::Kind::RowsAffected, 0, {}});
    for (;;) {
        if (rc != SQL_NO_DATA) {
            SQLSMALLINT ncols = 0;
            SQLNumResultCols(st.h, &ncols);
            if (ncols > 0) {
                if (!result.hasRows) {
                    fetchAll(st.h, ncols, table, result, st);
                } else {
                    SQLLEN fetched = 0;
                    while (SQL_SUCCEEDED(SQLFetch(st.h))) ++fetched;
                    result.info.push_back(InfoMessage{InfoMessage::Kind::RowsAffected, fetched, {}});
                }
            } else {
                SQLLEN n = -1;
                if (SQL_SUCCEEDED(SQLRowCount(st.h, &n)) && n >= 0)
                    result.info.push_back(InfoMessage{InfoMessage::Kind::RowsAffected, n, {}});
            }
        }
        rc = SQLMoreResults(st.h);
        if (rc == SQL_NO_DATA) break;
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) st.fail();
        if (rc == SQL_SUCCESS_WITH_INFO) collectInfo(SQL_HANDLE_STMT, st.h, &result.info);
    }
}

std::int64_t OdbcBackend::write(const std::string& sql, std::vector<WriteParam>& params) {
    // The count tells a saved row from one someone else changed or deleted, and SQL
    // Server sends none after SET NOCOUNT ON, which a free query may have left on the
    // connection: counting goes back on first.
    if (sqlServer_) {
        Statement set(static_cast<SQLHDBC>(dbc_));
        std::u16string on = u"SET NOCOUNT OFF";
        if (!SQL_SUCCEEDED(SQLExecDirectW(set.h, w(on), static_cast<SQLINTEGER>(on.size())))) set.fail();
    }
    Statement st(static_cast<SQLHDBC>(dbc_));
    // Buffers stay put until the statement ran: reserved up front, never grown.
    std::vector<std::u16string> texts;
    std::vector<SQLBIGINT> ints(params.size());
    std::vector<double> reals(params.size());
    std::vector<SQLLEN> inds(params.size());
    texts.reserve(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
        const WriteParam& p = params[i];
        const ColumnMeta& c = *p.column;
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLPOINTER data = nullptr;
        SQLLEN bufLen = 0;
        SQLULEN size = c.odbcSize;
        texts.emplace_back();
        switch (p.value.kind) {
        case engine::ValueKind::Null:
            inds[i] = SQL_NULL_DATA;
            break;
        case engine::ValueKind::Integer:
            ints[i] = p.value.integer;
            cType = SQL_C_SBIGINT;
            data = &ints[i];
            inds[i] = 0;
            break;
        case engine::ValueKind::Real:
            reals[i] = p.value.real;
            cType = SQL_C_DOUBLE;
            data = &reals[i];
            inds[i] = 0;
            break;
        case engine::ValueKind::Text:
        case engine::ValueKind::Blob:
            texts.back() = toUtf16(p.value.bytes);
            data = texts.back().data();
            bufLen = static_cast<SQLLEN>(texts.back().size() * 2);
            inds[i] = bufLen;
            if (size == 0) size = std::max<SQLULEN>(1, texts.back().size());
            break;
        }
        SQLSMALLINT sqlType = c.odbcType ? c.odbcType : SQL_WVARCHAR;
        if (size == 0) size = 1;
        SQLRETURN rc = SQLBindParameter(st.h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, cType, sqlType, size,
                                        c.odbcDigits, data, bufLen, &inds[i]);
        if (!SQL_SUCCEEDED(rc)) st.fail();
    }
    std::u16string text = toUtf16(sql);
    SQLRETURN rc = SQLExecDirectW(st.h, w(text), static_cast<SQLINTEGER>(text.size()));
    if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) st.fail();
    if (rc == SQL_NO_DATA) return 0;
    // Triggers' own counts come first (SQL Server sends them before the statement's);
    // the statement's count is the last one.
    std::int64_t count = -1;
    for (;;) {
        SQLLEN n = -1;
        SQLSMALLINT ncols = 0;
        SQLNumResultCols(st.h, &ncols);
        if (ncols == 0 && SQL_SUCCEEDED(SQLRowCount(st.h, &n)) && n >= 0) count = n;
        rc = SQLMoreResults(st.h);
        if (rc == SQL_NO_DATA) break;
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) st.fail();
    }
    return count < 0 ? 0 : count;
}

void OdbcBackend::beginTransaction() {
    SQLHDBC dbc = static_cast<SQLHDBC>(dbc_);
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
        throw errorFrom(SQL_HANDLE_DBC, dbc, "无法开始事务。");
}

void OdbcBackend::commit() {
    SQLHDBC dbc = static_cast<SQLHDBC>(dbc_);
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT))) {
        DbError e = errorFrom(SQL_HANDLE_DBC, dbc, "无法提交事务。");
        rollback();
        throw e;
    }
    SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
}

void OdbcBackend::rollback() noexcept {
    SQLHDBC dbc = static_cast<SQLHDBC>(dbc_);
    SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
    SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
}

std::vector<std::string> OdbcBackend::primaryKey(const std::string& table) {
    // "dbo.score", "[dbo].[score]" -> schema "dbo", table "score".
    std::string schema, name = table;
    if (std::size_t dot = table.rfind('.'); dot != std::string::npos) {
        schema = unquoteIdentifier(table.substr(0, dot));
        if (std::size_t d2 = schema.rfind('.'); d2 != std::string::npos) schema = unquoteIdentifier(schema.substr(d2 + 1));
        name = table.substr(dot + 1);
    }
    name = unquoteIdentifier(name);
    auto lookup = [&](const std::string& n) {
        std::map<int, std::string> cols;
        Statement st(static_cast<SQLHDBC>(dbc_));
        std::u16string s16 = toUtf16(schema), n16 = toUtf16(n);
        SQLRETURN rc = SQLPrimaryKeysW(st.h, nullptr, 0, schema.empty() ? nullptr : w(s16),
                                       static_cast<SQLSMALLINT>(s16.size()), w(n16), static_cast<SQLSMALLINT>(n16.size()));
        if (!SQL_SUCCEEDED(rc)) st.fail();
        while (SQL_SUCCEEDED(SQLFetch(st.h))) {
            std::u16string col(256, u'\0');
            SQLLEN len = 0;
            SQLSMALLINT seq = 0;
            SQLLEN seqInd = 0;
            SQLGetData(st.h, 4, SQL_C_WCHAR, w(col), static_cast<SQLLEN>(col.size() * 2), &len);
            SQLGetData(st.h, 5, SQL_C_SSHORT, &seq, 0, &seqInd);
            col.resize(len > 0 ? std::min<std::size_t>(len / 2, col.size() - 1) : 0);
            cols[seq] = toUtf8(col);
        }
        std::vector<std::string> out;
        for (auto& [seq, c] : cols) out.push_back(c);
        return out;
    };
    std::vector<std::string> key = lookup(name);
    if (key.empty()) {
        // Catalogs that fold unquoted names (PostgreSQL to lower case) need the folded name.
        std::string l = name, u = name;
        for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (l != name) key = lookup(l);
        if (key.empty() && u != name) key = lookup(u);
    }
    return key;
}

std::string OdbcBackend::parameterMarker(int) const { return "?"; }

std::string OdbcBackend::quoteIdentifier(std::string_view name) const {
    // Plain names go as they are, so that servers which fold case find them.
    bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) plain = false;
    if (plain) return std::string(name);
    std::string r = quote_;
    for (char c : name) {
        r += c;
        if (quote_.size() == 1 && c == quote_[0]) r += c;
    }
    r += quote_;
    return r;
}

// ---- the table of a single-table select ----------------------------------------

namespace {

struct Token {
    std::string text;
    bool word = false;  // identifier, keyword or quoted name
};

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) { ++i; continue; }
        if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            std::size_t e = s.find("*/", i + 2);
            i = e == std::string_view::npos ? s.size() : e + 2;
            continue;
        }
        if (c == '\'') {
            std::size_t j = i + 1;
            while (j < s.size()) {
                if (s[j] == '\'') {
                    if (j + 1 < s.size() && s[j + 1] == '\'') { j += 2; continue; }
                    break;
                }
                ++j;
            }
            out.push_back({std::string(s.substr(i, j + 1 - i)), false});
            i = j + 1;
            continue;
        }
        if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            std::size_t j = s.find(close, i + 1);
            if (j == std::string_view::npos) j = s.size() - 1;
            out.push_back({std::string(s.substr(i, j + 1 - i)), true});
            i = j + 1;
            continue;
        }
        if (std::isalnum(c) || c == '_' || c == '@' || c == '#' || c >= 0x80) {
            std::size_t j = i;
            while (j < s.size()) {
                unsigned char d = static_cast<unsigned char>(s[j]);
                if (!(std::isalnum(d) || d == '_' || d == '@' || d == '#' || d == '$' || d >= 0x80)) break;
                ++j;
            }
            out.push_back({std::string(s.substr(i, j - i)), true});
            i = j;
            continue;
        }
        out.push_back({std::string(1, static_cast<char>(c)), false});
        ++i;
    }
    return out;
}

bool is(const Token& t, const char* kw) { return t.word && equalsIgnoreCase(t.text, kw); }

}  // namespace

std::string singleTableOf(std::string_view sql) {
    std::vector<Token> t = tokenize(sql);
    if (t.empty() || !is(t[0], "select")) return {};
    int depth = 0;
    std::size_t from = 0;
    for (std::size_t i = 1; i < t.size(); ++i) {
        if (t[i].text == "(") ++depth;
        else if (t[i].text == ")") --depth;
        else if (depth == 0 && (is(t[i], "distinct") || is(t[i], "into") || is(t[i], "union"))) return {};
        else if (depth == 0 && is(t[i], "from")) { from = i; break; }
    }
    if (from == 0 || from + 1 >= t.size() || !t[from + 1].word) return {};
    // A name of one to four parts: server.db.schema.table.
    std::string table = t[from + 1].text;
    std::size_t i = from + 2;
    while (i + 1 < t.size() && t[i].text == "." && t[i + 1].word) {
        table += "." + t[i + 1].text;
        i += 2;
    }
    // An optional alias, then the end or a clause that keeps the rows one table's.
    if (i < t.size() && is(t[i], "as")) i += 2;
    else if (i < t.size() && t[i].word && !is(t[i], "where") && !is(t[i], "order") && !is(t[i], "group") &&
             !is(t[i], "join") && !is(t[i], "inner") && !is(t[i], "left") && !is(t[i], "right") &&
             !is(t[i], "full") && !is(t[i], "cross") && !is(t[i], "union") && !is(t[i], "having") &&
             !is(t[i], "with"))
        ++i;
    if (i < t.size() && t[i].text == ";") ++i;
    if (i >= t.size()) return table;
    if (!is(t[i], "where") && !is(t[i], "order")) return {};
    depth = 0;
    for (; i < t.size(); ++i) {
        if (t[i].text == "(") ++depth;
        else if (t[i].text == ")") --depth;
        else if (depth == 0 && (is(t[i], "group") || is(t[i], "union") || is(t[i], "having"))) return {};
        else if (depth == 0 && t[i].text == ";") {
            // A second statement follows: only the first result is kept, which is still this table's.
            break;
        }
    }
    return table;
}

}  // namespace quillmere::db
