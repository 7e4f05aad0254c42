// What a Connection talks to: the embedded engine or an ODBC driver. Recordset
// drives it; forms never see it.
#pragma once

#include "db/DbError.h"
#include "db/Recordset.h"
#include "db/RowStore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::db {

// A result column with what the backend needs to write it back.
struct ColumnMeta {
    FieldInfo info;
    bool nullable = true;
    // ODBC only: the driver's description of the column, for binding parameters.
    short odbcType = 0;
    std::uint64_t odbcSize = 0;
    short odbcDigits = 0;
};

// The outcome of running a statement: its first result set (if any) and what
// came with it.
struct QueryResult {
    bool hasRows = false;  // a result set came back (possibly empty)
    std::vector<ColumnMeta> columns;
    RowStore rows;
    // The cells of rows are the driver's display text (ODBC) rather than typed values.
    bool textCells = false;
    std::vector<InfoMessage> info;
};

// A value bound to a parameter of a write statement, typed as the column it is
// compared with or stored into.
struct WriteParam {
    Value value;
    const ColumnMeta* column = nullptr;
};

class Backend {
public:
    virtual ~Backend() = default;

    // Runs sql and reads its first result set completely. A refusal throws DbError;
    // result.info holds what came before it.
    virtual void query(const std::string& sql, QueryResult& result) = 0;

    // Runs one write statement with parameters (markers from parameterMarker) and
    // returns the rows it touched itself (triggers' rows not counted). Throws DbError.
    // The values may be moved out of params.
    virtual std::int64_t write(const std::string& sql, std::vector<WriteParam>& params) = 0;

    virtual void beginTransaction() = 0;
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;

    // Primary key columns of a table, in key order; empty when it has none.
    virtual std::vector<std::string> primaryKey(const std::string& table) = 0;

    // The marker for parameter i (0-based) in a statement given to write().
    virtual std::string parameterMarker(int i) const = 0;
    // A column name as written into a statement.
    virtual std::string quoteIdentifier(std::string_view name) const = 0;
};

}  // namespace quillmere::db
