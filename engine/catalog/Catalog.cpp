#include "engine/catalog/Catalog.h"

#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
#include "engine/lex/Lexer.h"
#include "engine/parse/Parser.h"

#include <sqlite3.h>

#include <algorithm>

namespace quillmere::engine::catalog {

std::string foldName(std::string_view name) { return lex::lower(name); }

std::string checkName(const std::string& table, const ast::CheckDef& check, std::size_t index) {
    if (!check.name.empty()) return check.name;
    return "CK__" + table.substr(0, 8) + "__" + (check.column.empty() ? std::to_string(index + 1) : check.column.substr(0, 8));
}

int Object::columnIndex(std::string_view columnName) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (lex::iequals(columns[i].name, columnName)) return static_cast<int>(i);
    return -1;
}

namespace {

const char* kindName(ObjectKind k) {
    switch (k) {
    case ObjectKind::Table: return "U";
    case ObjectKind::View: return "V";
    case ObjectKind::Procedure: return "P";
    case ObjectKind::Trigger: return "TR";
    case ObjectKind::Function: return "FN";
    }
    return "U";
}

}  // namespace

std::shared_ptr<Module> Catalog::parseModule(const std::string& text, Message& error) {
    auto m = std::make_shared<Module>();
    m->text = text;
    lex::LexResult lx;
    lex::tokenize(m->text, lx);
    if (!parse::parseBatch(m->text, lx, m->batch, error)) return nullptr;
    if (m->batch.statements.size() != 1) {
        error = qmError(102, {"GO"});
        return nullptr;
    }
    parse::decodeLiterals(m->text, lx, m->literals);
    return m;
}

std::unique_ptr<Object> Catalog::tableFromStatement(const ast::Stmt& s, std::string_view src) {
    auto o = std::make_unique<Object>();
    o->kind = ObjectKind::Table;
    o->name = s.target.back();
    o->definition = !s.definition.empty() ? s.definition : std::string(src.substr(s.textBegin, s.textEnd - s.textBegin));
    for (const auto& c : s.table.columns) {
        Column col;
        col.name = c.name;
        col.type = c.type;
        col.nullable = !c.notNull;
        col.defaultText = c.defaultText;
        col.identity = c.identity;
        col.seed = c.seed;
        col.increment = c.increment;
        if (c.identity) {
            o->hasIdentity = true;
            col.nullable = false;
        }
        o->columns.push_back(std::move(col));
    }
    o->primaryKey = s.table.primaryKey;
    o->primaryKeyName = s.table.primaryKeyName;
    for (const auto& k : o->primaryKey) {
        int i = o->columnIndex(k);
        if (i >= 0) o->columns[i].nullable = false;
    }
    o->uniques = s.table.uniques;
    for (const auto& c : s.table.columns)
        if (c.unique) o->uniques.push_back({c.name});
    for (std::size_t i = 0; i < s.table.checks.size(); ++i)
        o->checks.emplace_back(checkName(o->name, s.table.checks[i], i), s.table.checks[i].column);
    for (const auto& f : s.table.foreignKeys) {
        ForeignKey fk;
        fk.name = f.name;
        fk.columns = f.columns;
        fk.refTable = f.refTable;
        fk.refColumns = f.refColumns;
        fk.onDelete = f.onDelete;
        fk.onUpdate = f.onUpdate;
        o->foreignKeys.push_back(std::move(fk));
    }
    return o;
}

bool Catalog::load(sqlite3* db, Message& error) {
    // temporary tables are the session's own: they survive a reload
    std::map<std::string, std::unique_ptr<Object>> temps;
    for (auto& [k, o] : objects_)
        if (isTempName(o->name) || isTempName(o->parent)) temps[k] = std::move(o);
    objects_ = std::move(temps);
    ++version_;
    char* err = nullptr;
    if (sqlite3_exec(db,
                     "CREATE TABLE IF NOT EXISTS qm_catalog(id INTEGER PRIMARY KEY, name TEXT NOT NULL COLLATE NOCASE "
                     "UNIQUE, kind TEXT NOT NULL, parent TEXT, definition TEXT NOT NULL)",
                     nullptr, nullptr, &err) != SQLITE_OK) {
        error = qmError(4060, {""});
        error.text += err ? std::string(" ") + err : std::string();
        sqlite3_free(err);
        return false;
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT id, name, kind, parent, definition FROM qm_catalog ORDER BY id", -1, &st, nullptr);
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        std::int64_t id = sqlite3_column_int64(st, 0);
        std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        std::string kind = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
        const unsigned char* parent = sqlite3_column_text(st, 3);
        std::string def = reinterpret_cast<const char*>(sqlite3_column_text(st, 4));
        std::unique_ptr<Object> o;
        if (kind == "U") {
            lex::LexResult lx;
            lex::tokenize(def, lx);
            ast::Batch b;
            Message m;
            if (!parse::parseBatch(def, lx, b, m) || b.statements.empty() ||
                b.statements.front()->kind != ast::StmtKind::CreateTable)
                continue;
            o = tableFromStatement(*b.statements.front(), def);
            o->definition = def;
        } else {
            o = std::make_unique<Object>();
            o->kind = kind == "V" ? ObjectKind::View : kind == "P" ? ObjectKind::Procedure
                      : kind == "FN"                   ? ObjectKind::Function
                                                       : ObjectKind::Trigger;
            o->name = name;
            o->definition = def;
            if (o->kind == ObjectKind::Trigger) {
                Message m;
                o->module = parseModule(def, m);
                if (!o->module) continue;
                const auto& c = o->module->create();
                o->onInsert = c.onInsert;
                o->onUpdate = c.onUpdate;
                o->onDelete = c.onDelete;
                o->insteadOf = c.insteadOf;
            }
        }
        o->id = id;
        o->name = name;
        if (parent) o->parent = reinterpret_cast<const char*>(parent);
        objects_[foldName(name)] = std::move(o);
    }
    sqlite3_finalize(st);
    signature_ = signature(db);
    sqlite3_prepare_v2(db, "PRAGMA schema_version", -1, &st, nullptr);
    if (st && sqlite3_step(st) == SQLITE_ROW) schemaVersion_ = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return true;
}

std::string Catalog::signature(sqlite3* db) {
    std::string r;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT count(*), max(id), total(length(definition)), (SELECT schema_version FROM pragma_schema_version) "
                       "FROM qm_catalog",
                       -1, &st, nullptr);
    if (st && sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < 4; ++i) {
            const unsigned char* t = sqlite3_column_text(st, i);
            r += t ? reinterpret_cast<const char*>(t) : "-";
            r += '|';
        }
    }
    sqlite3_finalize(st);
    return r;
}

Object* Catalog::find(std::string_view name) {
    auto it = objects_.find(foldName(name));
    return it == objects_.end() ? nullptr : it->second.get();
}

std::vector<Object*> Catalog::all() {
    std::vector<Object*> r;
    for (auto& [k, v] : objects_) r.push_back(v.get());
    return r;
}

std::vector<Object*> Catalog::triggersOf(std::string_view table, char action, bool insteadOf) {
    std::vector<Object*> r;
    for (auto& [k, o] : objects_) {
        if (o->kind != ObjectKind::Trigger || !lex::iequals(o->parent, table) || o->insteadOf != insteadOf) continue;
        if ((action == 'I' && o->onInsert) || (action == 'U' && o->onUpdate) || (action == 'D' && o->onDelete))
            r.push_back(o.get());
    }
    std::sort(r.begin(), r.end(), [](Object* a, Object* b) { return a->id < b->id; });
    return r;
}

std::vector<std::pair<Object*, const ForeignKey*>> Catalog::referencing(std::string_view table) {
    std::vector<std::pair<Object*, const ForeignKey*>> r;
    for (auto& [k, o] : objects_) {
        if (o->kind != ObjectKind::Table) continue;
        for (const auto& fk : o->foreignKeys)
            if (lex::iequals(fk.refTable, table)) r.emplace_back(o.get(), &fk);
    }
    return r;
}

bool Catalog::add(sqlite3* db, std::unique_ptr<Object> object, Message& error) {
    if (isTempName(object->name)) {
        object->id = nextTempId_--;
        objects_[foldName(object->name)] = std::move(object);
        ++version_;
        return true;
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO qm_catalog(name, kind, parent, definition) VALUES(?,?,?,?)", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, object->name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, kindName(object->kind), -1, SQLITE_STATIC);
    if (object->parent.empty()) sqlite3_bind_null(st, 3);
    else sqlite3_bind_text(st, 3, object->parent.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 4, object->definition.c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) {
        error = qmError(2714, {object->name});
        return false;
    }
    object->id = sqlite3_last_insert_rowid(db);
    objects_[foldName(object->name)] = std::move(object);
    ++version_;
    signature_ = signature(db);
    for (auto& [k, o] : objects_) o->viewResolved = o->kind != ObjectKind::View ? o->viewResolved : false;
    return true;
}

bool Catalog::remove(sqlite3* db, std::string_view name, Message& error) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "DELETE FROM qm_catalog WHERE name = ?", -1, &st, nullptr);
    std::string n(name);
    sqlite3_bind_text(st, 1, n.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_finalize(st);
    objects_.erase(foldName(name));
    ++version_;
    if (!isTempName(name)) signature_ = signature(db);
    for (auto& [k, o] : objects_) o->viewResolved = o->kind != ObjectKind::View ? o->viewResolved : false;
    return true;
}

}  // namespace quillmere::engine::catalog
