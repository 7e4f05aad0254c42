// The backend over an ODBC driver (SQL Server through FreeTDS or Microsoft's
// driver; the tests use PostgreSQL's). Text crosses the driver as UTF-16.
#pragma once

#include "db/Backend.h"

#include <string>

namespace quillmere::db {

class OdbcBackend : public Backend {
public:
    // Connects with an ODBC connection string. Throws DbError with the driver's or
    // server's native number and text.
    explicit OdbcBackend(const std::string& odbcConnectionString);
    ~OdbcBackend() override;

    void query(const std::string& sql, QueryResult& result) override;
    std::int64_t write(const std::string& sql, std::vector<WriteParam>& params) override;
    void beginTransaction() override;
    void commit() override;
    void rollback() noexcept override;
    std::vector<std::string> primaryKey(const std::string& table) override;
    std::string parameterMarker(int i) const override;
    std::string quoteIdentifier(std::string_view name) const override;

private:
    void* env_ = nullptr;
    void* dbc_ = nullptr;
    std::string quote_ = "\"";
    bool sqlServer_ = false;  // the server is Microsoft SQL Server (its DBMS name)
};

// The one table a "select ... from <table> [where ...] [order by ...]" reads, as
// written in the statement; empty when it reads several tables, groups, or is no select.
std::string singleTableOf(std::string_view sql);

// UTF-8 <-> UTF-16 (unixODBC's SQLWCHAR).
std::u16string toUtf16(std::string_view s);
std::string toUtf8(std::u16string_view s);

}  // namespace quillmere::db
