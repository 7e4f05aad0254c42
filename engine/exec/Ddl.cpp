// CREATE and DROP of tables, views, procedures, triggers and indexes.
#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
#include "engine/exec/Engine.h"

#include <sqlite3.h>

#include <chrono>

namespace quillmere::engine::exec {

using ast::StmtKind;
using translate::quoteIdent;

namespace {

Message objectError(int number, const std::string& text) {
    Message m = qmError(number);
    m.text = text;
    return m;
}

std::string fkAction(const std::string& a) {
    if (a == "cascade") return "CASCADE";
    if (a == "set null") return "SET NULL";
    if (a == "set default") return "SET DEFAULT";
    return "NO ACTION";
}

}  // namespace

std::string Engine::sqliteTableSql(const std::string& name, const ast::TableDef& def, bool temp) {
            std::string sql = std::string(temp ? "CREATE TEMP TABLE " : "CREATE TABLE ") + quoteIdent(name) + " (";
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const auto& c = def.columns[i];
        bool inKey = false;
        for (const auto& k : def.primaryKey) inKey = inKey || lex::iequals(k, c.name);
        sql += (i ? ", " : "") + quoteIdent(c.name) + " " + translate::sqliteColumnType(c.type);
        if (c.notNull || inKey || c.identity) sql += " NOT NULL";
    }
    if (!def.primaryKey.empty()) {
        sql += ", PRIMARY KEY (";
        for (std::size_t i = 0; i < def.primaryKey.size(); ++i) sql += (i ? ", " : "") + quoteIdent(def.primaryKey[i]);
        sql += ")";
    }
    for (const auto& u : def.uniques) {
        sql += ", UNIQUE (";
        for (std::size_t i = 0; i < u.size(); ++i) sql += (i ? ", " : "") + quoteIdent(u[i]);
        sql += ")";
    }
    for (const auto& c : def.columns)
        if (c.unique) sql += ", UNIQUE (" + quoteIdent(c.name) + ")";
    for (std::size_t i = 0; i < def.checks.size(); ++i) {
        translate::Environment env;
        env.catalog = &catalog_;
        env.database = database_;
        translate::Translator tr(env);
        sql += ", CONSTRAINT " + quoteIdent(catalog::checkName(name, def.checks[i], i)) + " CHECK (" +
               tr.checkSql(def, def.checks[i].text) + ")";
    }
    for (const auto& fk : def.foreignKeys) {
        if (temp) break;  // temporary tables keep no foreign keys, as on the server
        catalog::Object* ref = lex::iequals(fk.refTable, name) ? nullptr : catalog_.find(fk.refTable);
        if (!lex::iequals(fk.refTable, name) && (!ref || ref->kind != catalog::ObjectKind::Table))
            throw RuntimeError{objectError(1767, "外键 '" + (fk.name.empty() ? name : fk.name) +
                                                      "' 引用了无效的表 '" + fk.refTable + "'。")};
        std::vector<std::string> refCols = fk.refColumns;
        if (refCols.empty() && ref) refCols = ref->primaryKey;
        if (ref) {
            bool keyed = refCols.size() == ref->primaryKey.size();
            for (std::size_t i = 0; keyed && i < refCols.size(); ++i) keyed = lex::iequals(refCols[i], ref->primaryKey[i]);
            for (const auto& u : ref->uniques) {
                if (u.size() != refCols.size()) continue;
                bool same = true;
                for (std::size_t i = 0; same && i < u.size(); ++i) same = lex::iequals(u[i], refCols[i]);
                keyed = keyed || same;
            }
            if (!keyed)
                throw RuntimeError{objectError(1776, "在被引用表 '" + ref->name +
                                                         "' 中没有与外键 '" + fk.name +
                                                         "' 中的引用列列表匹配的主键或候选键。")};
        }
        if (fk.columns.size() != refCols.size() && !refCols.empty())
            throw RuntimeError{objectError(8139, "外键中引用列的数目与被引用表中的主键或候选键的列数不同。")};
        sql += ", FOREIGN KEY (";
        for (std::size_t i = 0; i < fk.columns.size(); ++i) sql += (i ? ", " : "") + quoteIdent(fk.columns[i]);
        sql += ") REFERENCES " + quoteIdent(ref ? ref->name : name);
        if (!refCols.empty()) {
            sql += " (";
            for (std::size_t i = 0; i < refCols.size(); ++i) sql += (i ? ", " : "") + quoteIdent(refCols[i]);
            sql += ")";
        }
        sql += " ON DELETE " + fkAction(fk.onDelete) + " ON UPDATE " + fkAction(fk.onUpdate);
    }
    sql += ")";
    // A UNIQUE constraint admits one NULL (NULLs count as equal), where SQLite's
    // admits any number: the rows holding NULLs also go into an index of their own.
    std::vector<std::vector<std::string>> uniques = def.uniques;
    for (const auto& c : def.columns)
        if (c.unique) uniques.push_back({c.name});
    for (const auto& u : uniques) sql += nullKeyIndexSql("qm_uqn_", name, def, u);
    return sql;
}

std::string Engine::nullKeyIndexSql(const std::string& prefix, const std::string& table, const ast::TableDef& def,
                                    const std::vector<std::string>& columns) {
    std::string keys, anyNull;
    for (const auto& col : columns) {
        const ast::ColumnDef* c = nullptr;
        for (const auto& d : def.columns)
            if (lex::iequals(d.name, col)) c = &d;
        bool inKey = false;
        for (const auto& k : def.primaryKey) inKey = inKey || lex::iequals(k, col);
        bool nullable = c && !c->notNull && !c->identity && !inKey;
        keys += (keys.empty() ? "" : ", ") + std::string("ifnull(") + quoteIdent(col) + ", x'00')";
        if (c && c->type.isCharacter()) keys += " COLLATE TSQL_CI";
        if (nullable) anyNull += (anyNull.empty() ? "" : " OR ") + quoteIdent(col) + " IS NULL";
    }
    if (anyNull.empty()) return {};
    static unsigned counter = 0;
    std::string name = prefix + lex::lower(table) + "_" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007) + "_" +
                       std::to_string(++counter);
    return "; CREATE UNIQUE INDEX " + quoteIdent(name) + " ON " + quoteIdent(table) + " (" + keys + ") WHERE " + anyNull;
}

Flow Engine::runDdl(const ast::Stmt& s, Frame& f) {
    int depth = ++savepointDepth_;
    savepoint(depth);
    try {
        switch (s.kind) {
        case StmtKind::CreateTable: {
            const std::string& name = s.target.back();
            if (catalog_.find(name)) throw RuntimeError{qmError(2714, {name})};
            const auto& def = s.table;
            for (std::size_t i = 0; i < def.columns.size(); ++i)
                for (std::size_t k = 0; k < i; ++k)
                    if (lex::iequals(def.columns[i].name, def.columns[k].name))
                        throw RuntimeError{qmError(2705, {name, def.columns[i].name})};
            auto hasColumn = [&](const std::string& c) {
                for (const auto& col : def.columns)
                    if (lex::iequals(col.name, c)) return true;
                return false;
            };
            for (const auto& k : def.primaryKey)
                if (!hasColumn(k)) throw RuntimeError{qmError(1911, {k})};
            bool temp = catalog::isTempName(name);
            std::string sql = sqliteTableSql(name, def, temp);
            std::string err;
            if (!execOk(sql, &err)) {
                if (err.find("already exists") != std::string::npos) throw RuntimeError{qmError(2714, {name})};
                throw RuntimeError{internalError(err)};
            }
            auto obj = catalog::Catalog::tableFromStatement(s, s.definition);
            Message m;
            if (!catalog_.add(db_, std::move(obj), m)) throw RuntimeError{m};
            break;
        }
        case StmtKind::DropTable:
        case StmtKind::DropView:
        case StmtKind::DropProc:
        case StmtKind::DropFunction:
        case StmtKind::DropTrigger: {
            catalog::ObjectKind kind = s.kind == StmtKind::DropTable      ? catalog::ObjectKind::Table
                                       : s.kind == StmtKind::DropView     ? catalog::ObjectKind::View
                                       : s.kind == StmtKind::DropProc     ? catalog::ObjectKind::Procedure
                                       : s.kind == StmtKind::DropFunction ? catalog::ObjectKind::Function
                                                                          : catalog::ObjectKind::Trigger;
            const char* word = s.kind == StmtKind::DropTable      ? "表"
                               : s.kind == StmtKind::DropView     ? "视图"
                               : s.kind == StmtKind::DropProc     ? "过程"
                               : s.kind == StmtKind::DropFunction ? "函数"
                                                                  : "触发器";
            for (const auto& parts : s.names) {
                const std::string& name = parts.back();
                catalog::Object* o = catalog_.find(name);
                if (!o || o->kind != kind) {
                    if (s.ifExists) continue;
                    throw RuntimeError{qmError(3701, {word, name})};
                }
                std::string real = o->name;
                Message m;
                if (kind == catalog::ObjectKind::Table) {
                    for (auto& [child, fk] : catalog_.referencing(real)) {
                        if (lex::iequals(child->name, real)) continue;
                        std::string fkn = fk->name.empty() ? "FK__" + child->name.substr(0, 8) : fk->name;
                        throw RuntimeError{qmError(3726, {real, fkn})};
                    }
                    for (catalog::Object* t : catalog_.all())
                        if (t->kind == catalog::ObjectKind::Trigger && lex::iequals(t->parent, real))
                            catalog_.remove(db_, t->name, m);
                    std::string err;
                    if (!execOk(std::string("DROP TABLE ") + (catalog::isTempName(real) ? "temp." : "") + quoteIdent(real), &err))
                        throw RuntimeError{internalError(err)};
                }
                catalog_.remove(db_, real, m);
            }
            break;
        }
        case StmtKind::CreateView:
        case StmtKind::CreateProc:
        case StmtKind::CreateFunction:
        case StmtKind::CreateTrigger: {
            const std::string& name = s.target.back();
            catalog::ObjectKind wanted = s.kind == StmtKind::CreateView        ? catalog::ObjectKind::View
                                         : s.kind == StmtKind::CreateProc      ? catalog::ObjectKind::Procedure
                                         : s.kind == StmtKind::CreateFunction  ? catalog::ObjectKind::Function
                                                                               : catalog::ObjectKind::Trigger;
            catalog::Object* existing = catalog_.find(name);
            if (s.replace == ast::Replace::Alter && (!existing || existing->kind != wanted))
                throw RuntimeError{qmError(208, {name})};
            if (existing && s.replace != ast::Replace::No) {
                if (existing->kind != wanted) throw RuntimeError{qmError(2714, {name})};
                Message rm;
                std::string real = existing->name;
                catalog_.remove(db_, real, rm);
            } else if (existing) {
                throw RuntimeError{qmError(2714, {name})};
            }
            auto obj = std::make_unique<catalog::Object>();
            obj->name = name;
            obj->definition = s.definition;
            Message m;
            obj->module = catalog::Catalog::parseModule(obj->definition, m);
            if (!obj->module) throw RuntimeError{m};
            if (s.kind == StmtKind::CreateView) {
                obj->kind = catalog::ObjectKind::View;
                resolveView(*obj);  // unknown tables or columns refuse the view, as on the server
            } else if (s.kind == StmtKind::CreateProc) {
                obj->kind = catalog::ObjectKind::Procedure;
            } else if (s.kind == StmtKind::CreateFunction) {
                obj->kind = catalog::ObjectKind::Function;
            } else {
                obj->kind = catalog::ObjectKind::Trigger;
                catalog::Object* t = catalog_.find(s.triggerTable.back());
                if (!t || (t->kind != catalog::ObjectKind::Table && t->kind != catalog::ObjectKind::View))
                    throw RuntimeError{objectError(8197, "对象 '" + s.triggerTable.back() + "' 不存在或对此操作无效。")};
                if (t->kind == catalog::ObjectKind::View && !s.insteadOf)
                    throw RuntimeError{objectError(340, "无法对视图 \"" + t->name + "\" 创建触发器 \"" + name +
                                                            "\"。不能对视图创建 AFTER 触发器。")};
                if (s.insteadOf) {
                    auto has = [&](char a) { return !catalog_.triggersOf(t->name, a, true).empty(); };
                    if ((s.onInsert && has('I')) || (s.onUpdate && has('U')) || (s.onDelete && has('D'))) {
                        Message m = qmError(2111);
                        m.text = "无法对 " + std::string(t->kind == catalog::ObjectKind::View ? "视图" : "表") + " '" +
                                 t->name + "' 执行 CREATE TRIGGER，因为该对象上已存在 INSTEAD OF 触发器。";
                        throw RuntimeError{m};
                    }
                }
                obj->parent = t->name;
                obj->insteadOf = s.insteadOf;
                obj->onInsert = s.onInsert;
                obj->onUpdate = s.onUpdate;
                obj->onDelete = s.onDelete;
            }
            if (!catalog_.add(db_, std::move(obj), m)) throw RuntimeError{m};
            break;
        }
        case StmtKind::CreateIndex: {
            catalog::Object* t = catalog_.find(s.target.back());
            if (!t || t->kind != catalog::ObjectKind::Table)
                throw RuntimeError{qmError(1088, {s.target.back()})};
            std::string sql = std::string("CREATE ") + (s.on ? "UNIQUE " : "") + "INDEX " +
                              quoteIdent("qm_ix_" + lex::lower(t->name) + "_" + lex::lower(s.name)) + " ON " +
                              quoteIdent(t->name) + " (";
            for (std::size_t i = 0; i < s.columns.size(); ++i) {
                if (t->columnIndex(s.columns[i]) < 0) throw RuntimeError{qmError(1911, {s.columns[i]})};
                sql += (i ? ", " : "") + quoteIdent(s.columns[i]);
            }
            sql += ")";
            if (s.on) {
                ast::TableDef shape;
                for (const auto& c : t->columns) {
                    ast::ColumnDef d;
                    d.name = c.name;
                    d.type = c.type;
                    d.notNull = !c.nullable;
                    shape.columns.push_back(std::move(d));
                }
                shape.primaryKey = t->primaryKey;
                std::string nulls = nullKeyIndexSql("qm_ixn_", t->name, shape, s.columns);
                if (!nulls.empty()) {
                    // named after the index: DROP INDEX and error 2601 find it
                    auto open = nulls.find("\"qm_ixn_");
                    auto close = nulls.find('"', open + 1);
                    nulls.replace(open, close - open + 1,
                                  quoteIdent("qm_ixn_" + lex::lower(t->name) + "_" + lex::lower(s.name)));
                }
                sql += nulls;
            }
            std::string err;
            if (!execOk(sql, &err)) {
                Message m = qmError(1913);
                m.text = "操作失败，因为在表 '" + t->name + "' 上已存在名称为 '" + s.name + "' 的索引或统计信息。";
                if (err.find("UNIQUE") != std::string::npos) {
                    m = qmError(1505);
                    m.text = "因为发现对象名称 'dbo." + t->name + "' 和索引名称 '" + s.name +
                             "' 有重复的键，所以 CREATE UNIQUE INDEX 语句终止。";
                } else if (err.find("already exists") == std::string::npos) {
                    m = internalError(err);
                }
                throw RuntimeError{m};
            }
            break;
        }
        case StmtKind::DropIndex:
            for (const auto& parts : s.names) {
                if (parts.size() < 2) throw RuntimeError{qmError(159)};
                std::string err;
                std::string n = "qm_ix_" + lex::lower(parts[parts.size() - 2]) + "_" + lex::lower(parts.back());
                if (!execOk("DROP INDEX " + quoteIdent(n), &err)) {
                    if (s.ifExists) continue;
                    throw RuntimeError{qmError(3701, {"索引", parts.back()})};
                }
                execOk("DROP INDEX IF EXISTS " +
                       quoteIdent("qm_ixn_" + lex::lower(parts[parts.size() - 2]) + "_" + lex::lower(parts.back())));
            }
            break;
        default:
            throw RuntimeError{internalError("不支持的语句")};
        }
        releaseSavepoint(depth);
    } catch (...) {
        rollbackSavepoint(depth);
        --savepointDepth_;
        // the in-memory catalog follows the file
        Message m;
        catalog_.load(db_, m);
        throw;
    }
    --savepointDepth_;
    return Flow::Next;
}

}  // namespace quillmere::engine::exec
