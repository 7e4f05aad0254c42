#include "db/ConnectionString.h"

#include "db/Connection.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>

namespace quillmere::db {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

ConnectionStringParts parseConnectionString(std::string_view s) {
    ConnectionStringParts parts;
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t eq = s.find('=', i), semi = s.find(';', i);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            std::size_t end = semi == std::string_view::npos ? s.size() : semi;
            std::string_view key = trim(s.substr(i, end - i));
            if (!key.empty()) parts.emplace_back(std::string(key), std::string());
            i = end + 1;
            continue;
        }
        std::string key(trim(s.substr(i, eq - i)));
        i = eq + 1;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        std::string value;
        char open = i < s.size() ? s[i] : '\0';
        char close = open == '{' ? '}' : open;
        if (open == '"' || open == '\'' || open == '{') {
            std::size_t j = i + 1;
            bool closed = false;
            while (j < s.size()) {
                if (s[j] == close) {
                    if (j + 1 < s.size() && s[j + 1] == close) { value += close; j += 2; continue; }
                    closed = true;
                    ++j;
                    break;
                }
                value += s[j++];
            }
            if (closed) {
                std::size_t end = s.find(';', j);
                i = end == std::string_view::npos ? s.size() : end + 1;
                if (!key.empty()) parts.emplace_back(std::move(key), std::move(value));
                continue;
            }
            // An unbalanced quote is taken literally, up to the next ";".
        }
        std::size_t end = s.find(';', i);
        if (end == std::string_view::npos) end = s.size();
        value = std::string(trim(s.substr(i, end - i)));
        i = end + 1;
        if (!key.empty()) parts.emplace_back(std::move(key), std::move(value));
    }
    return parts;
}

const std::string* findPart(const ConnectionStringParts& parts, std::string_view key) {
    for (const auto& [k, v] : parts)
        if (equalsIgnoreCase(k, key)) return &v;
    return nullptr;
}

bool isOleDbConnectionString(const ConnectionStringParts& parts) {
    return findPart(parts, "Provider") != nullptr;
}

bool isEmbeddedDataSource(const ConnectionStringParts& parts) {
    for (const char* key : {"Data Source", "Server"})
        if (const std::string* v = findPart(parts, key)) return equalsIgnoreCase(trim(*v), "(embedded)");
    return false;
}

std::string odbcValue(std::string_view v) {
    bool brace = v.find_first_of(";={}") != std::string_view::npos ||
                 (!v.empty() && (std::isspace(static_cast<unsigned char>(v.front())) ||
                                 std::isspace(static_cast<unsigned char>(v.back()))));
    if (!brace) return std::string(v);
    std::string r = "{";
    for (char c : v) {
        r += c;
        if (c == '}') r += '}';
    }
    r += '}';
    return r;
}

std::string oleDbToOdbc(const std::string& oleDb, const std::string& driver) {
    ConnectionStringParts parts = parseConnectionString(oleDb);
    auto get = [&](std::initializer_list<const char*> keys) -> const std::string* {
        for (const char* k : keys)
            if (const std::string* v = findPart(parts, k)) return v;
        return nullptr;
    };
    const bool freeTds = lower(driver).find("freetds") != std::string::npos;

    // The driver name is always braced: it holds blanks.
    std::string out = "Driver={";
    for (char c : driver) {
        out += c;
        if (c == '}') out += '}';
    }
    out += '}';

    if (const std::string* server = get({"Data Source", "Server", "Address", "Addr", "Network Address"})) {
        std::string host = *server, port;
        if (freeTds) {
            // FreeTDS takes the port separately and knows no "." or "(local)".
            if (std::size_t comma = host.rfind(','); comma != std::string::npos) {
                port = std::string(trim(std::string_view(host).substr(comma + 1)));
                host = std::string(trim(std::string_view(host).substr(0, comma)));
            }
            std::string l = lower(host);
            for (const char* local : {".", "(local)"}) {
                std::string_view ls(local);
                if (l == ls || (l.size() > ls.size() && l.compare(0, ls.size(), ls) == 0 && l[ls.size()] == '\\'))
                    host = "localhost" + host.substr(ls.size());
            }
        }
        out += ";Server=" + odbcValue(host);
        if (!port.empty()) out += ";Port=" + odbcValue(port);
    }
    if (const std::string* db = get({"Initial Catalog", "Database"})) out += ";Database=" + odbcValue(*db);

    const std::string* integrated = get({"Integrated Security", "Trusted_Connection"});
    bool trusted = integrated && (equalsIgnoreCase(*integrated, "SSPI") || equalsIgnoreCase(*integrated, "true") ||
                                  equalsIgnoreCase(*integrated, "yes"));
    if (trusted) {
        out += ";Trusted_Connection=Yes";
    } else {
        if (const std::string* uid = get({"User ID", "UID", "User"})) out += ";UID=" + odbcValue(*uid);
        if (const std::string* pwd = get({"Password", "pwd"})) out += ";PWD=" + odbcValue(*pwd);
    }
    if (const std::string* app = get({"Application Name"})) out += ";APP=" + odbcValue(*app);
    if (const std::string* ws = get({"Workstation ID"})) out += ";WSID=" + odbcValue(*ws);

    if (freeTds) out += ";ClientCharset=UTF-8";
    if (lower(driver).find("odbc driver 18") != std::string::npos) out += ";Encrypt=Optional";
    return out;
}

std::string sqlServerOdbcDriver() {
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return "FreeTDS";
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    std::vector<std::string> names;
    SQLCHAR desc[512], attrs[2048];
    SQLSMALLINT descLen = 0, attrsLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(env, direction, desc, sizeof desc, &descLen, attrs, sizeof attrs, &attrsLen))) {
        names.emplace_back(reinterpret_cast<char*>(desc));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    for (const char* preferred : {"ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server"})
        for (const auto& n : names)
            if (n == preferred) return n;
    return "FreeTDS";
}

}  // namespace quillmere::db
