// An ADO-style record set with a client-side static cursor: every row is read
// when it opens. Under batch-optimistic locking, cell edits and deletions stay
// pending until updateBatch() sends them or cancelBatch() drops them.
//
// Rows marked deleted disappear from navigation and from the grid's rows.
#pragma once

#include "db/Connection.h"
#include "db/DbError.h"
#include "engine/SqlType.h"
#include "engine/Value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::db {

using engine::SqlType;
using engine::Value;

enum class LockType { Unspecified = -1, ReadOnly = 1, Pessimistic = 2, Optimistic = 3, BatchOptimistic = 4 };
enum class RowStatus { Unchanged, Modified, Deleted };

struct FieldInfo {
    std::string name;        // empty for an unnamed column
    SqlType type;
    std::string baseTable;   // empty when not straight from a table
    std::string baseColumn;
};

// What came with the rows: row counts and PRINT/informational messages, in order.
struct InfoMessage {
    enum class Kind { RowsAffected, Print } kind;
    std::int64_t rows = 0;
    std::string text;
};

// The Qt-free view of a record set that the grid model sits on.
class GridSource {
public:
    virtual ~GridSource() = default;
    virtual int rowCount() const = 0;              // visible rows (deleted ones excluded)
    virtual int columnCount() const = 0;
    virtual std::string columnName(int column) const = 0;
    virtual Value value(int row, int column) const = 0;
    virtual std::string displayText(int row, int column) const = 0;  // NULL shows as ""
    virtual void setCell(int row, int column, const std::string& text) = 0;  // throws DbError
    virtual int currentRow() const = 0;            // -1 at BOF/EOF
    virtual void setCurrentRow(int row) = 0;
    virtual RowStatus rowStatus(int row) const = 0;
};

class Recordset : public GridSource {
public:
    Recordset();
    ~Recordset() override;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // ReadOnly (the default, like Unspecified) refuses edits; BatchOptimistic keeps
    // them pending until updateBatch(); Optimistic and Pessimistic write each edit
    // and deletion at once. Set before open: changing it on an open set throws.
    void setLockType(LockType t);
    LockType lockType() const;

    // Runs sql on cnn. Rows: the set opens on its first row. No rows (insert, update,
    // delete, a procedure without a result): it runs and the set stays closed.
    // A refused statement throws DbError and leaves the set closed.
    void open(const std::string& sql, Connection& cnn);
    void close();           // throws DbError when closed
    bool isOpen() const;

    bool eof() const;
    bool bof() const;
    std::int64_t recordCount() const;
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();

    int fieldCount() const;
    const FieldInfo& fieldInfo(int index) const;
    int fieldIndex(std::string_view name) const;   // case-insensitive; -1 when absent
    Value field(int index) const;                  // of the current row; throws at EOF/BOF
    Value field(std::string_view name) const;
    std::string fieldText(int index) const;        // display text, NULL as ""
    std::string fieldText(std::string_view name) const;

    void setField(int index, const Value& v);      // edits the current row
    void deleteCurrent();                          // marks the current row deleted
    void updateBatch();                            // throws DbError (conflict, refusal); atomic
    void cancelBatch();
    bool hasPendingChanges() const;
    RowStatus status() const;                      // of the current row (Deleted right after deleteCurrent)

    // Row counts and PRINT output of the last open, in order; kept while the set is
    // closed (a statement without rows) and after a refused statement, until the next open.
    const std::vector<InfoMessage>& infoMessages() const;

    // Bytes the rows occupy in memory (for the benchmark and diagnostics).
    std::size_t storageBytes() const;

    // GridSource
    int rowCount() const override;
    int columnCount() const override;
    std::string columnName(int column) const override;
    Value value(int row, int column) const override;
    std::string displayText(int row, int column) const override;
    void setCell(int row, int column, const std::string& text) override;
    int currentRow() const override;
    void setCurrentRow(int row) override;
    RowStatus rowStatus(int row) const override;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace quillmere::db
