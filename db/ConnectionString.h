// Reading OLE DB and ODBC connection strings, and turning the program's OLE DB
// strings into ODBC ones.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmere::db {

using ConnectionStringParts = std::vector<std::pair<std::string, std::string>>;

// Splits "key=value;key=value". Keys and unquoted values lose their surrounding
// blanks (as the OLE DB and ODBC parsers do: "User ID=sa ;" names the login "sa");
// a value may be quoted with "...", '...' (the quote doubled inside) or {...}
// ("}}" inside). Empty segments are skipped; a segment without "=" is a key with
// an empty value.
ConnectionStringParts parseConnectionString(std::string_view s);

// The value of key (case-insensitive) or nullptr.
const std::string* findPart(const ConnectionStringParts& parts, std::string_view key);

bool isOleDbConnectionString(const ConnectionStringParts& parts);  // has Provider=
bool isEmbeddedDataSource(const ConnectionStringParts& parts);     // Data Source/Server=(embedded)

// A value as written into an ODBC string: braced, with "}" doubled, when it holds
// ; = { } or blanks at either end; otherwise as it is.
std::string odbcValue(std::string_view v);

// The SQL Server driver registered with unixODBC: "ODBC Driver 18 for SQL Server",
// then 17, else "FreeTDS".
std::string sqlServerOdbcDriver();

bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace quillmere::db
