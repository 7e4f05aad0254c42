// ALTER TABLE: the table is rebuilt from its changed definition (SQLite cannot
// add constraints to a table), its rows copied over, and the CREATE text kept
// in the catalog rewritten to match.
#include "engine/Errors.h"
#include "engine/exec/Engine.h"
#include "engine/exec/EngineErrors.h"
#include "engine/parse/Parser.h"
#include "engine/types/SqliteFunctions.h"

#include <algorithm>

#include <sqlite3.h>

namespace quillmere::engine::exec {

using translate::quoteIdent;

namespace {

Message worded(int number, const std::string& text) {
    Message m = qmError(number);
    m.text = text;
    return m;
}

std::string bracket(const std::string& n) { return "[" + n + "]"; }

std::string columnsText(const std::vector<std::string>& cols) {
    std::string r;
    for (std::size_t i = 0; i < cols.size(); ++i) r += (i ? ", " : "") + bracket(cols[i]);
    return r;
}

// The CREATE TABLE text of a definition, as the catalog keeps it.
std::string render(const std::string& name, const ast::TableDef& def) {
    std::string t = "CREATE TABLE " + bracket(name) + " (\r\n";
    std::vector<std::string> items;
    for (const auto& c : def.columns) {
        std::string line = "    " + bracket(c.name) + " " + c.type.name();
        if (c.identity) line += " IDENTITY(" + std::to_string(c.seed) + "," + std::to_string(c.increment) + ")";
        line += c.notNull ? " NOT NULL" : " NULL";
        if (!c.defaultText.empty()) line += " DEFAULT " + c.defaultText;
        if (c.unique) line += " UNIQUE";
        items.push_back(line);
    }
    if (!def.primaryKey.empty())
        items.push_back("    " + (def.primaryKeyName.empty() ? std::string() : "CONSTRAINT " + bracket(def.primaryKeyName) + " ") +
                        "PRIMARY KEY (" + columnsText(def.primaryKey) + ")");
    for (const auto& u : def.uniques) items.push_back("    UNIQUE (" + columnsText(u) + ")");
    for (const auto& fk : def.foreignKeys) {
        std::string line = "    " + (fk.name.empty() ? std::string() : "CONSTRAINT " + bracket(fk.name) + " ") + "FOREIGN KEY (" +
                           columnsText(fk.columns) + ") REFERENCES " + bracket(fk.refTable);
        if (!fk.refColumns.empty()) line += " (" + columnsText(fk.refColumns) + ")";
        if (fk.onDelete != "no action") line += " ON DELETE " + fk.onDelete;
        if (fk.onUpdate != "no action") line += " ON UPDATE " + fk.onUpdate;
        items.push_back(line);
    }
    for (std::size_t i = 0; i < def.checks.size(); ++i)
        items.push_back("    CONSTRAINT " + bracket(catalog::checkName(name, def.checks[i], i)) + " CHECK (" + def.checks[i].text + ")");
    for (std::size_t i = 0; i < items.size(); ++i) t += items[i] + (i + 1 < items.size() ? ",\r\n" : "\r\n");
    return t + ")";
}

bool hasColumn(const ast::TableDef& d, const std::string& c) {
    for (const auto& col : d.columns)
        if (lex::iequals(col.name, c)) return true;
    return false;
}

}  // namespace

Flow Engine::runAlterTable(const ast::Stmt& s, Frame& f) {
    const std::string& name = s.target.back();
    catalog::Object* t = catalog_.find(name);
    if (!t || t->kind != catalog::ObjectKind::Table)
        throw RuntimeError{worded(4902, "找不到对象 \"" + name + "\"，因为它不存在或者您没有所需的权限。")};
    if (s.table.columns.empty() && s.table.primaryKey.empty() && s.table.uniques.empty() && s.table.foreignKeys.empty() &&
        s.table.checks.empty() &&
        s.names.empty() && s.decls.empty() && s.sets.empty())
        return Flow::Next;  // CHECK / NOCHECK CONSTRAINT
    if (trancount_ > 0 || savepointDepth_ > 0)
        throw RuntimeError{internalError("嵌入式引擎不能在事务内执行 ALTER TABLE。")};
    // the current definition, from the kept CREATE text
    std::string realName = t->name;
    bool temp = catalog::isTempName(realName);
    lex::LexResult lx;
    lex::tokenize(t->definition, lx);
    ast::Batch b;
    Message m;
    if (!parse::parseBatch(t->definition, lx, b, m) || b.statements.empty()) throw RuntimeError{m};
    ast::TableDef def = std::move(b.statements.front()->table);
    std::vector<std::string> oldColumns;
    for (const auto& c : def.columns) oldColumns.push_back(c.name);

    for (const auto& c : s.table.columns) {
        if (hasColumn(def, c.name)) throw RuntimeError{qmError(2705, {realName, c.name})};
        ast::ColumnDef copy;
        copy.name = c.name;
        copy.type = c.type;
        copy.typeText = c.typeText;
        copy.notNull = c.notNull;
        copy.defaultText = c.defaultText;
        copy.primaryKey = c.primaryKey;
        copy.unique = c.unique;
        copy.identity = c.identity;
        copy.seed = c.seed;
        copy.increment = c.increment;
        if (c.primaryKey) {
            if (!def.primaryKey.empty()) throw RuntimeError{worded(1779, "表 '" + realName + "' 已有主键。")};
            def.primaryKey = {c.name};
            def.primaryKeyName = s.table.primaryKeyName;
        }
        def.columns.push_back(std::move(copy));
    }
    if (!s.table.primaryKey.empty()) {
        if (!def.primaryKey.empty()) throw RuntimeError{worded(1779, "表 '" + realName + "' 已有主键。")};
        def.primaryKey = s.table.primaryKey;
        def.primaryKeyName = s.table.primaryKeyName;
        for (auto& c : def.columns)
            for (const auto& k : def.primaryKey)
                if (lex::iequals(c.name, k)) c.notNull = true;
    }
    for (const auto& u : s.table.uniques) def.uniques.push_back(u);
    for (const auto& fk : s.table.foreignKeys) def.foreignKeys.push_back(fk);
    for (const auto& ck : s.table.checks) def.checks.push_back(ck);
    for (const auto& d : s.sets) {
        bool found = false;
        for (auto& c : def.columns)
            if (lex::iequals(c.name, d.column.front())) {
                c.defaultText = d.variable;
                found = true;
            }
        if (!found) throw RuntimeError{qmError(1911, {d.column.front()})};
    }
    for (const auto& d : s.decls) {
        bool found = false;
        for (auto& c : def.columns)
            if (lex::iequals(c.name, d.name)) {
                c.type = d.type;
                c.notNull = s.on;
                found = true;
            }
        if (!found) throw RuntimeError{qmError(1911, {d.name})};
    }
    for (const auto& drop : s.names) {
        const std::string& what = drop.front();
        const std::string& n = drop.back();
        if (what == "column") {
            auto it = std::find_if(def.columns.begin(), def.columns.end(),
                                   [&](const ast::ColumnDef& c) { return lex::iequals(c.name, n); });
            if (it == def.columns.end()) throw RuntimeError{worded(4924, "ALTER TABLE DROP COLUMN 失败，因为表 '" + realName + "' 中不存在列 '" + n + "'。")};
            auto uses = [&](const std::vector<std::string>& cols) {
                for (const auto& c : cols)
                    if (lex::iequals(c, n)) return true;
                return false;
            };
            bool used = uses(def.primaryKey);
            for (const auto& fk : def.foreignKeys) used = used || uses(fk.columns);
            for (const auto& u : def.uniques) used = used || uses(u);
            if (used) throw RuntimeError{worded(5074, "对象依赖于列 '" + n + "'。")};
            def.columns.erase(it);
        } else {
            bool found = false;
            if (lex::iequals(def.primaryKeyName, n)) {
                def.primaryKey.clear();
                def.primaryKeyName.clear();
                found = true;
            }
            for (std::size_t i = 0; i < def.checks.size();)
                if (lex::iequals(catalog::checkName(realName, def.checks[i], i), n)) {
                    def.checks.erase(def.checks.begin() + static_cast<long>(i));
                    found = true;
                } else {
                    ++i;
                }
            for (auto it = def.foreignKeys.begin(); it != def.foreignKeys.end();)
                if (lex::iequals(it->name, n)) {
                    it = def.foreignKeys.erase(it);
                    found = true;
                } else {
                    ++it;
                }
            if (!found) throw RuntimeError{worded(3728, "'" + n + "' 不是约束。")};
        }
    }
    for (const auto& k : def.primaryKey)
        if (!hasColumn(def, k)) throw RuntimeError{qmError(1911, {k})};

    std::string text = render(realName, def);
    std::string rebuild = temp ? "#qm_rebuild" : "qm_rebuild";
    std::string createSql = sqliteTableSql(rebuild, def, temp);
    // keep references to the table itself pointing at its final name
    std::string copyCols, selectCols;
    for (const auto& c : def.columns) {
        auto old = std::find_if(oldColumns.begin(), oldColumns.end(), [&](const std::string& o) { return lex::iequals(o, c.name); });
        if (old == oldColumns.end()) continue;
        copyCols += (copyCols.empty() ? "" : ", ") + quoteIdent(c.name);
        int oi = t->columnIndex(*old);
        std::string src = quoteIdent(*old);
        if (oi >= 0 && !(t->columns[oi].type == c.type))
            src = "tsql_convert(" + src + ",'" + c.type.name() + "',0,'" + t->columns[oi].type.name() + "')";
        selectCols += (selectCols.empty() ? "" : ", ") + src;
    }
    execOk("PRAGMA foreign_keys=OFF");
    std::string err;
    auto fail = [&](Message msg) {
        execOk("ROLLBACK");
        execOk("PRAGMA foreign_keys=ON");
        Message reload;
        catalog_.load(db_, reload);
        throw RuntimeError{msg};
    };
    if (!execOk("BEGIN", &err)) {
        execOk("PRAGMA foreign_keys=ON");
        throw RuntimeError{internalError(err)};
    }
    std::string schema = temp ? "temp." : "";
    if (!execOk(createSql, &err)) fail(internalError(err));
    if (!copyCols.empty() &&
        !execOk("INSERT INTO " + schema + quoteIdent(rebuild) + " (" + copyCols + ") SELECT " + selectCols + " FROM " +
                    schema + quoteIdent(realName),
                &err)) {
        if (auto dm = decodeSqliteError(err)) fail(*dm);
        if (err.find("NOT NULL") != std::string::npos) {
            Message nn = qmError(515, {err.substr(err.rfind('.') + 1), database_ + ".dbo." + realName, "ALTER TABLE"});
            fail(nn);
        }
        if (err.find("CHECK constraint failed") != std::string::npos)
            fail(qmError(547, {"ALTER TABLE", "CHECK", err.substr(err.find("failed: ") + 8), database_, "dbo." + realName, ""}));
        if (err.find("UNIQUE") != std::string::npos)
            fail(worded(1505, "因为发现对象名称 'dbo." + realName + "' 有重复的键，所以 CREATE UNIQUE INDEX 语句终止。"));
        fail(internalError(err));
    }
    if (!execOk("DROP TABLE " + schema + quoteIdent(realName), &err)) fail(internalError(err));
    if (!execOk("ALTER TABLE " + schema + quoteIdent(rebuild) + " RENAME TO " + quoteIdent(realName), &err))
        fail(internalError(err));
    // references that the new definition adds must hold for the rows already there
    if (!temp) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, ("PRAGMA foreign_key_check(" + quoteIdent(realName) + ")").c_str(), -1, &st, nullptr);
        bool broken = st && sqlite3_step(st) == SQLITE_ROW;
        std::string parent = broken ? reinterpret_cast<const char*>(sqlite3_column_text(st, 2)) : "";
        sqlite3_finalize(st);
        if (broken) {
            std::string fkn;
            for (const auto& fk : s.table.foreignKeys) fkn = fk.name;
            fail(qmError(547, {"ALTER TABLE", "FOREIGN KEY", fkn, database_, "dbo." + parent, ""}));
        }
    }
    // the catalog: same name, new text
    Message cm;
    auto obj = catalog::Catalog::tableFromStatement([&]() -> const ast::Stmt& {
        static thread_local ast::Batch holder;
        holder = ast::Batch();
        lex::LexResult l2;
        lex::tokenize(text, l2);
        Message pm;
        parse::parseBatch(text, l2, holder, pm);
        return *holder.statements.front();
    }(), text);
    obj->definition = text;
    if (!temp) {
        sqlite3_stmt* up = nullptr;
        sqlite3_prepare_v2(db_, "UPDATE qm_catalog SET definition = ? WHERE name = ?", -1, &up, nullptr);
        sqlite3_bind_text(up, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(up, 2, realName.c_str(), -1, SQLITE_TRANSIENT);
        int rc = sqlite3_step(up);
        sqlite3_finalize(up);
        if (rc != SQLITE_DONE) fail(internalError(sqlite3_errmsg(db_)));
    }
    if (!execOk("COMMIT", &err)) fail(qmError(1222));
    execOk("PRAGMA foreign_keys=ON");
    Message reload;
    if (temp) {
        catalog_.remove(db_, realName, reload);
        catalog_.add(db_, std::move(obj), reload);
    } else {
        catalog_.load(db_, reload);
    }
    captureTables_.clear();
    return Flow::Next;
}

}  // namespace quillmere::engine::exec
