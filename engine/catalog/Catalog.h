// The engine's catalog: every table, view, procedure and trigger of a database
// with its CREATE text, kept in the table qm_catalog inside the database file
// and mirrored in memory. Names are matched without regard to case.
#pragma once

#include "engine/Message.h"
#include "engine/SqlType.h"
#include "engine/parse/Ast.h"
#include "engine/parse/Literals.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace quillmere::engine::catalog {

enum class ObjectKind { Table, View, Procedure, Trigger, Function };

struct Column {
    std::string name;
    SqlType type;
    bool nullable = true;
    std::string defaultText;  // T-SQL text of the DEFAULT expression, empty when none
    bool identity = false;
    std::int64_t seed = 1, increment = 1;
    std::string baseTable, baseColumn;  // views: where the column comes from
};

struct ForeignKey {
    std::string name;
    std::vector<std::string> columns;
    std::string refTable;
    std::vector<std::string> refColumns;
    std::string onDelete, onUpdate;
};

// A parsed module (view, procedure or trigger), shared by everyone running it.
struct Module {
    std::string text;
    ast::Batch batch;  // one CREATE statement
    parse::Literals literals;
    const ast::Stmt& create() const { return *batch.statements.front(); }
};

struct Object {
    ObjectKind kind = ObjectKind::Table;
    std::string name;        // as created
    std::int64_t id = 0;
    std::string definition;  // CREATE text as written
    std::string parent;      // trigger: its table

    // tables (views fill columns when resolved)
    std::vector<Column> columns;
    std::vector<std::string> primaryKey;
    std::string primaryKeyName;
    std::vector<std::vector<std::string>> uniques;
    std::vector<ForeignKey> foreignKeys;
    std::vector<std::pair<std::string, std::string>> checks;  // constraint name, column (or empty)
    bool hasIdentity = false;

    // triggers
    bool onInsert = false, onUpdate = false, onDelete = false, insteadOf = false;

    std::shared_ptr<Module> module;  // parsed on first use
    bool viewResolved = false;       // views: columns computed

    int columnIndex(std::string_view columnName) const;
};

class Catalog {
public:
    // Creates the catalog table when missing and reads every object.
    bool load(sqlite3* db, Message& error);

    Object* find(std::string_view name);
    // AFTER (or INSTEAD OF) triggers of a table or view, for one action ('I', 'U', 'D').
    std::vector<Object*> triggersOf(std::string_view table, char action, bool insteadOf = false);
    // Foreign keys of other tables that refer to table.
    std::vector<std::pair<Object*, const ForeignKey*>> referencing(std::string_view table);

    // Records a new object (its SQLite side already made by the caller).
    // Temporary tables (#name) live only in memory, for the session.
    bool add(sqlite3* db, std::unique_ptr<Object> object, Message& error);
    bool remove(sqlite3* db, std::string_view name, Message& error);

    std::uint64_t version() const { return version_; }
    // Whether any INSTEAD OF trigger exists (statements skip the look-up when none does).
    bool anyInsteadOf() const {
        for (const auto& [k, o] : objects_)
            if (o->kind == ObjectKind::Trigger && o->insteadOf) return true;
        return false;
    }
    void bump() { ++version_; }
    int storedSchemaVersion() const { return schemaVersion_; }
    void setStoredSchemaVersion(int v) { schemaVersion_ = v; }

    std::vector<Object*> all();

    // A fingerprint of the stored catalog and schema: it changes when another
    // program (or this one) changes any definition.
    static std::string signature(sqlite3* db);
    const std::string& loadedSignature() const { return signature_; }

    // Builds a table object from its CREATE TABLE statement.
    static std::unique_ptr<Object> tableFromStatement(const ast::Stmt& create, std::string_view src);
    // Parses a module's text (views, procedures, triggers).
    static std::shared_ptr<Module> parseModule(const std::string& text, Message& error);

private:
    std::map<std::string, std::unique_ptr<Object>> objects_;  // key: lower-case name
    std::uint64_t version_ = 1;
    int schemaVersion_ = -1;
    std::int64_t nextTempId_ = -1;
    std::string signature_;
};

std::string foldName(std::string_view name);
// #temporary tables and @table variables
inline bool isTempName(std::string_view name) { return !name.empty() && (name[0] == '#' || name[0] == '@'); }
// The name of a CHECK constraint: as declared, else one made from the table and column.
std::string checkName(const std::string& table, const ast::CheckDef& check, std::size_t index);

}  // namespace quillmere::engine::catalog
