// SELECT and data changes: binding, streaming rows into the sink, statement
// atomicity, triggers with their inserted/deleted tables, and SQLite's errors
// turned into SQL Server's.
#include "engine/Convert.h"
#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
#include "engine/exec/Engine.h"
#include "engine/parse/Parser.h"
#include "engine/types/SqliteFunctions.h"

#include <functional>
#include <sqlite3.h>

#include <algorithm>

namespace quillmere::engine::exec {

namespace {

// Cells read straight from the SQLite statement: nothing is copied.
class StatementRow final : public RowView {
public:
    StatementRow(sqlite3_stmt* st, int n) : st_(st), n_(n) {}
    int size() const override { return n_; }
    ValueView cell(int i) const override {
        ValueView v;
        switch (sqlite3_column_type(st_, i)) {
        case SQLITE_INTEGER:
            v.kind = ValueKind::Integer;
            v.integer = sqlite3_column_int64(st_, i);
            break;
        case SQLITE_FLOAT:
            v.kind = ValueKind::Real;
            v.real = sqlite3_column_double(st_, i);
            break;
        case SQLITE_TEXT: {
            const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
            v.kind = ValueKind::Text;
            v.bytes = std::string_view(t, static_cast<std::size_t>(sqlite3_column_bytes(st_, i)));
            break;
        }
        case SQLITE_BLOB: {
            const char* b = static_cast<const char*>(sqlite3_column_blob(st_, i));
            v.kind = ValueKind::Blob;
            v.bytes = std::string_view(b ? b : "", static_cast<std::size_t>(sqlite3_column_bytes(st_, i)));
            break;
        }
        default:
            break;
        }
        return v;
    }

private:
    sqlite3_stmt* st_;
    int n_;
};

std::string rtrim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::string hexId(const std::string& name, std::int64_t id) {
    std::uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    h ^= static_cast<std::uint32_t>(id * 2654435761u);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", h);
    return buf;
}

std::string pkName(const catalog::Object& t) {
    if (!t.primaryKeyName.empty()) return t.primaryKeyName;
    return "PK__" + t.name.substr(0, 8) + "__" + hexId(t.name, t.id);
}

std::string fkName(const catalog::Object& t, const catalog::ForeignKey& fk) {
    if (!fk.name.empty()) return fk.name;
    return "FK__" + t.name.substr(0, 8) + "__" + (fk.columns.empty() ? std::string() : fk.columns[0].substr(0, 8)) +
           "__" + hexId(t.name + fk.refTable, t.id);
}

std::string valueText(const Value& v) {
    switch (v.kind) {
    case ValueKind::Integer: return std::to_string(v.integer);
    case ValueKind::Real: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", v.real);
        return buf;
    }
    case ValueKind::Text: return rtrim(v.bytes);
    case ValueKind::Null: return "<NULL>";
    default: return "";
    }
}

}  // namespace

void Engine::sqliteFailure(int rc, const char* action, const catalog::Object* table, const Compiled* plan,
                           Frame* frame) {
    std::string err = db_ ? sqlite3_errmsg(db_) : "";
    if (auto m = decodeSqliteError(err)) {
        RuntimeError e{*m};
        e.terminated = m->number == 8152 || m->number == 515 || m->number == 547 || m->number == 2627;
        throw e;
    }
    int primary = rc & 0xff;
    std::string act = action && *action ? action : "INSERT";
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) throw RuntimeError{qmError(1222)};
    if (rc == SQLITE_CONSTRAINT_NOTNULL) {
        // "NOT NULL constraint failed: table.column"
        std::string col = err.substr(err.rfind('.') == std::string::npos ? 0 : err.rfind('.') + 1);
        std::string t = table ? table->name : "";
        if (table) {
            int i = table->columnIndex(col);
            if (i >= 0) col = table->columns[i].name;
        }
        RuntimeError e{qmError(515, {col, database_ + ".dbo." + t, act})};
        e.terminated = true;
        throw e;
    }
    if (rc == SQLITE_CONSTRAINT_PRIMARYKEY || rc == SQLITE_CONSTRAINT_UNIQUE) {
        std::string key;
        bool isPk = true;
        std::vector<std::string> failedColumns;
        if (table) {
            // which key: the columns listed after "failed: "
            auto pos = err.find("failed: ");
            std::vector<std::string>& cols = failedColumns;
            if (pos != std::string::npos) {
                std::string list = err.substr(pos + 8);
                std::size_t b = 0;
                while (b < list.size()) {
                    std::size_t e = list.find(", ", b);
                    std::string item = list.substr(b, e == std::string::npos ? std::string::npos : e - b);
                    auto dot = item.find('.');
                    cols.push_back(dot == std::string::npos ? item : item.substr(dot + 1));
                    if (e == std::string::npos) break;
                    b = e + 2;
                }
            }
            isPk = cols.size() == table->primaryKey.size();
            for (std::size_t i = 0; isPk && i < cols.size(); ++i)
                isPk = lex::iequals(cols[i], table->primaryKey[i]);
            if (plan && frame && plan->dml.valueParam.size() == table->columns.size()) {
                std::string values;
                bool all = true;
                for (const auto& c : cols) {
                    int ci = table->columnIndex(c);
                    int p = ci >= 0 ? plan->dml.valueParam[ci] : -1;
                    if (p < 0) {
                        all = false;
                        break;
                    }
                    SqlType from;
                    Value v = paramValue(plan->dml.main.params[p], *frame, &from);
                    if (!values.empty()) values += ", ";
                    values += valueText(v);
                }
                if (all) key = "(" + values + ")";
            }
        }
        std::string name = table ? (isPk ? pkName(*table) : "UQ__" + table->name.substr(0, 8) + "__" + hexId(table->name + "u", table->id))
                                 : "PK";
        // a second NULL in a unique index: "failed: index 'qm_ixn_<table>_<index>'"
        std::string indexPrefix = table ? "index 'qm_ixn_" + lex::lower(table->name) + "_" : "";
        if (auto at = table ? err.find(indexPrefix) : std::string::npos; at != std::string::npos) {
            std::string index = err.substr(at + indexPrefix.size());
            index = index.substr(0, index.find('\''));
            Message m = qmError(2601, {"dbo." + table->name, index, "(<NULL>)"});
            RuntimeError e{m};
            e.terminated = true;
            throw e;
        }
        if (table && !isPk && !failedColumns.empty()) {
            // not a UNIQUE constraint but an index made by CREATE UNIQUE INDEX: 2601 names it
            auto same = [&](const std::vector<std::string>& a) {
                if (a.size() != failedColumns.size()) return false;
                for (std::size_t i = 0; i < a.size(); ++i)
                    if (!lex::iequals(a[i], failedColumns[i])) return false;
                return true;
            };
            bool constraint = false;
            for (const auto& u : table->uniques) constraint = constraint || same(u);
            std::string prefix = "qm_ix_" + lex::lower(table->name) + "_";
            std::string index;
            sqlite3_stmt* list = nullptr;
            if (!constraint && sqlite3_prepare_v2(db_, ("PRAGMA index_list(" + translate::quoteIdent(table->name) + ")").c_str(),
                                                  -1, &list, nullptr) == SQLITE_OK) {
                while (index.empty() && sqlite3_step(list) == SQLITE_ROW) {
                    std::string ix = reinterpret_cast<const char*>(sqlite3_column_text(list, 1));
                    if (sqlite3_column_int(list, 2) == 0 || ix.rfind(prefix, 0) != 0) continue;
                    std::vector<std::string> ixCols;
                    sqlite3_stmt* info = nullptr;
                    if (sqlite3_prepare_v2(db_, ("PRAGMA index_info(" + translate::quoteIdent(ix) + ")").c_str(), -1, &info,
                                           nullptr) == SQLITE_OK)
                        while (sqlite3_step(info) == SQLITE_ROW)
                            ixCols.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 2)));
                    sqlite3_finalize(info);
                    if (same(ixCols)) index = ix.substr(prefix.size());
                }
            }
            sqlite3_finalize(list);
            if (!index.empty()) {
                Message m = qmError(2601, {"dbo." + table->name, index, key});
                if (key.empty()) {
                    auto cut = m.text.find("重复键值为");
                    if (cut != std::string::npos) m.text = m.text.substr(0, cut);
                }
                RuntimeError e{m};
                e.terminated = true;
                throw e;
            }
        }
        Message m = qmError(2627, {isPk ? "PRIMARY KEY" : "UNIQUE KEY", name, "dbo." + (table ? table->name : ""), key});
        if (key.empty()) {
            auto cut = m.text.find("重复键值为");
            if (cut != std::string::npos) m.text = m.text.substr(0, cut);
        }
        RuntimeError e{m};
        e.terminated = true;
        throw e;
    }
    if (rc == SQLITE_CONSTRAINT_FOREIGNKEY) {
        // Find the constraint: a reference of the changed table (child side) or to it (parent side).
        std::string kind = "FOREIGN KEY", cname, refTable, column;
        bool found = false;
        if (table && act != "DELETE") {
            for (const auto& fk : table->foreignKeys) {
                bool relevant = true;
                if (plan && frame && plan->dml.valueParam.size() == table->columns.size()) {
                    // check the values of this row against the referenced table
                    std::string sql = "SELECT 1 FROM " + translate::quoteIdent(fk.refTable) + " WHERE ";
                    std::vector<Value> vals;
                    bool known = true;
                    for (std::size_t k = 0; k < fk.columns.size(); ++k) {
                        int ci = table->columnIndex(fk.columns[k]);
                        int p = ci >= 0 ? plan->dml.valueParam[ci] : -1;
                        if (p < 0) {
                            known = false;
                            break;
                        }
                        SqlType from;
                        Value v = paramValue(plan->dml.main.params[p], *frame, &from);
                        if (plan->dml.main.params[p].convert) {
                            auto r = convertValue(v, from, plan->dml.main.params[p].to, ConversionContext::Column);
                            if (auto* x = std::get_if<Value>(&r)) v = *x;
                        }
                        vals.push_back(v);
                        catalog::Object* ref = catalog_.find(fk.refTable);
                        std::string rc = k < fk.refColumns.size() ? fk.refColumns[k]
                                         : (ref && k < ref->primaryKey.size() ? ref->primaryKey[k] : fk.columns[k]);
                        sql += (k ? " AND " : "") + translate::quoteIdent(rc) + " = ?";
                    }
                    if (known) {
                        sqlite3_stmt* q = nullptr;
                        sqlite3_prepare_v2(db_, sql.c_str(), -1, &q, nullptr);
                        for (std::size_t k = 0; q && k < vals.size(); ++k) {
                            const Value& v = vals[k];
                            if (v.kind == ValueKind::Integer) sqlite3_bind_int64(q, static_cast<int>(k) + 1, v.integer);
                            else if (v.kind == ValueKind::Real) sqlite3_bind_double(q, static_cast<int>(k) + 1, v.real);
                            else if (v.kind == ValueKind::Text)
                                sqlite3_bind_text(q, static_cast<int>(k) + 1, v.bytes.c_str(), -1, SQLITE_TRANSIENT);
                        }
                        bool exists = q && sqlite3_step(q) == SQLITE_ROW;
                        sqlite3_finalize(q);
                        bool anyNull = std::any_of(vals.begin(), vals.end(), [](const Value& v) { return v.isNull(); });
                        relevant = !exists && !anyNull;
                    }
                }
                if (!relevant) continue;
                cname = fkName(*table, fk);
                refTable = fk.refTable;
                catalog::Object* ref = catalog_.find(fk.refTable);
                if (ref) refTable = ref->name;
                column = !fk.refColumns.empty() ? fk.refColumns[0] : (ref && !ref->primaryKey.empty() ? ref->primaryKey[0] : "");
                found = true;
                break;
            }
        }
        if (!found && table) {
            for (auto& [child, fk] : catalog_.referencing(table->name)) {
                kind = "REFERENCE";
                cname = fkName(*child, *fk);
                refTable = child->name;
                column = fk->columns.empty() ? "" : fk->columns[0];
                found = true;
                break;
            }
        }
        Message m = qmError(547, {act, kind, cname, database_, "dbo." + refTable,
                                    column.empty() ? "" : ", column '" + column + "'"});
        RuntimeError e{m};
        e.terminated = true;
        throw e;
    }
    if (rc == SQLITE_CONSTRAINT_CHECK && table) {
        // "CHECK constraint failed: name"
        auto pos = err.find("failed: ");
        std::string name = pos == std::string::npos ? "" : err.substr(pos + 8);
        std::string column;
        for (const auto& [n, c] : table->checks)
            if (lex::iequals(n, name)) {
                name = n;
                column = c;
            }
        RuntimeError e{qmError(547, {act, "CHECK", name, database_, "dbo." + table->name,
                                     column.empty() ? "" : ", column '" + column + "'"})};
        e.terminated = true;
        throw e;
    }
    if (primary == SQLITE_CONSTRAINT) {
        RuntimeError e{qmError(547, {act, "CHECK", "", database_, table ? "dbo." + table->name : "", ""})};
        e.terminated = true;
        throw e;
    }
    if (err.find("no such table") != std::string::npos || err.find("no such column") != std::string::npos) {
        reloadCatalogIfChanged();
        throw RuntimeError{qmError(208, {err.substr(err.find(':') == std::string::npos ? 0 : err.find(':') + 2)}),
                           true};
    }
    if (primary == SQLITE_FULL) throw RuntimeError{internalError("磁盘已满：" + err)};
    if (primary == SQLITE_NOMEM) throw RuntimeError{internalError("内存不足：" + err)};
    throw RuntimeError{internalError(err)};
}

Flow Engine::runSelect(const ast::Stmt& s, Frame& f) {
    if (!s.select->into.empty()) {
        // SELECT ... INTO: a new table shaped like the result, then the rows.
        translate::Translator tr(environment(f));
        translate::Query q = tr.select(*s.select);
        const std::string& name = s.select->into.back();
        if (catalog_.find(name)) throw RuntimeError{qmError(2714, {name})};
        std::string text = "CREATE TABLE " + name + " (";
        for (std::size_t i = 0; i < q.columns.size(); ++i) {
            if (q.columns[i].name.empty()) {
                Message m = qmError(1038);
                m.text = "对象名或列名缺失或为空。对于 SELECT INTO 语句，请确保每列均具有名称。";
                throw RuntimeError{m};
            }
            text += (i ? ", " : "") + std::string("[") + q.columns[i].name + "] " + q.columns[i].type.name() + " NULL";
        }
        text += ")";
        std::string sql = std::string(catalog::isTempName(name) ? "CREATE TEMP TABLE " : "CREATE TABLE ") +
                          translate::quoteIdent(name) + " (";
        for (std::size_t i = 0; i < q.columns.size(); ++i)
            sql += (i ? ", " : "") + translate::quoteIdent(q.columns[i].name) + " " + translate::sqliteColumnType(q.columns[i].type);
        sql += ")";
        int depth = ++savepointDepth_;
        savepoint(depth);
        try {
            exec(sql);
            lex::LexResult lx;
            lex::tokenize(text, lx);
            ast::Batch b;
            Message m;
            parse::parseBatch(text, lx, b, m);
            auto obj = catalog::Catalog::tableFromStatement(*b.statements.front(), text);
            if (!catalog_.add(db_, std::move(obj), m)) throw RuntimeError{m};
            sqlite3_stmt* st = nullptr;
            std::string ins = "INSERT INTO " + translate::quoteIdent(name) + " " + q.sql;
            if (sqlite3_prepare_v2(db_, ins.c_str(), -1, &st, nullptr) != SQLITE_OK) {
                sqlite3_finalize(st);
                sqliteFailure(SQLITE_ERROR, "INSERT", nullptr);
            }
            bind(st, q.params, f);
            int rc = sqlite3_step(st);
            sqlite3_finalize(st);
            if (rc != SQLITE_DONE) sqliteFailure(rc, "INSERT", nullptr);
            rowcount_ = sqlite3_changes64(db_);
            releaseSavepoint(depth);
        } catch (...) {
            rollbackSavepoint(depth);
            --savepointDepth_;
            reloadCatalogIfChanged();
            throw;
        }
        --savepointDepth_;
        emitRowCount(rowcount_, f);
        return Flow::Next;
    }
    Compiled& c = plan(s, 0, f, [&](Compiled& c) {
        translate::Translator tr(environment(f));
        c.query = tr.select(*s.select);
    });
    BusyGuard busy(c);
    sqlite3_stmt* st = c.stmt;
    bind(st, c.query.params, f);
    std::int64_t n = 0;
    int rc;
    if (!c.query.assignVars.empty()) {
        struct LiveFrame {
            Frame*& slot;
            Frame* saved;
            ~LiveFrame() { slot = saved; }
        } live{assignFrame_, assignFrame_};
        assignFrame_ = &f;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            ++n;
            for (std::size_t i = 0; i < c.query.assignVars.size(); ++i) {
                Value v;
                switch (sqlite3_column_type(st, static_cast<int>(i))) {
                case SQLITE_INTEGER: v = Value::fromInteger(sqlite3_column_int64(st, static_cast<int>(i))); break;
                case SQLITE_FLOAT: v = Value::fromReal(sqlite3_column_double(st, static_cast<int>(i))); break;
                case SQLITE_TEXT:
                    v = Value::fromText(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, static_cast<int>(i))),
                                                    static_cast<std::size_t>(sqlite3_column_bytes(st, static_cast<int>(i)))));
                    break;
                case SQLITE_BLOB: {
                    const void* b = sqlite3_column_blob(st, static_cast<int>(i));
                    v = Value::fromBlob(std::string(static_cast<const char*>(b ? b : ""),
                                                    static_cast<std::size_t>(sqlite3_column_bytes(st, static_cast<int>(i)))));
                    break;
                }
                default: break;
                }
                try {
                    assign(f, c.query.assignVars[i], v, c.query.columns[i].type, s.line);
                } catch (...) {
                    sqlite3_reset(st);
                    throw;
                }
            }
        }
        sqlite3_reset(st);
        if (rc != SQLITE_DONE) sqliteFailure(rc, "", nullptr);
        rowcount_ = n;
        emitRowCount(n, f);
        return Flow::Next;
    }
    sink_->beginResultSet(c.query.columns);
    StatementRow row(st, static_cast<int>(c.query.columns.size()));
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        sink_->row(row);
        ++n;
    }
    sink_->endResultSet();
    if (rc != SQLITE_DONE) {
        try {
            sqliteFailure(rc, "", nullptr);
        } catch (...) {
            sqlite3_reset(st);
            throw;
        }
    }
    sqlite3_reset(st);
    rowcount_ = n;
    emitRowCount(n, f);
    return Flow::Next;
}

std::string Engine::captureTable(char kind, int level, const catalog::Object& table) {
    // The columns are part of the name: after ALTER TABLE the rows go to a table of the new shape.
    auto& shape = captureShapes_[table.id];
    if (shape.version != catalog_.version() || shape.columns.empty()) {
        shape.columns.clear();
        for (const auto& c : table.columns)
            shape.columns += translate::quoteIdent(c.name) + " " + translate::sqliteColumnType(c.type) + ", ";
        shape.suffix = std::to_string(std::hash<std::string>{}(shape.columns) % 1000000007);
        shape.version = catalog_.version();
    }
    const std::string& columns = shape.columns;
    std::string name = std::string(kind == 'I' ? "qm_ins_" : "qm_del_") + std::to_string(level) + "_" +
                       std::to_string(table.id) + "_" + shape.suffix;
    if (!captureTables_.count(name)) {
        std::string sql = "CREATE TEMP TABLE IF NOT EXISTS " + translate::quoteIdent(name) + " (" + columns;
        sql += "qm_rowid INTEGER)";
        exec(sql);
        captureTables_.insert(name);
    }
    if (dirtyCaptures_.count(name)) {
        sqlite3_stmt* clear = internal("DELETE FROM temp." + translate::quoteIdent(name));
        if (clear) {
            sqlite3_step(clear);
            sqlite3_reset(clear);
        }
        dirtyCaptures_.erase(name);
    }
    return name;
}

static void copyRow(sqlite3_stmt* from, sqlite3_stmt* to, int n) {
    for (int i = 0; i < n; ++i) sqlite3_bind_value(to, i + 1, sqlite3_column_value(from, i));
    sqlite3_step(to);
    sqlite3_reset(to);
}

namespace {

// Takes the rows of the result sets of INSERT ... EXEC; messages and counts go on to the client.
class RowCatcher final : public ResultSink {
public:
    explicit RowCatcher(ResultSink* next) : next_(next) {}
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Value>> rows;
    bool mismatch = false;
    void beginResultSet(const std::vector<ResultColumn>& c) override {
        if (columns.empty()) columns = c;
        else if (c.size() != columns.size()) mismatch = true;
    }
    void row(const RowView& r) override {
        std::vector<Value> v;
        for (int i = 0; i < r.size(); ++i) v.push_back(Value::from(r.cell(i)));
        rows.push_back(std::move(v));
    }
    void endResultSet() override {}
    void rowsAffected(std::int64_t n, bool shown, int level) override {
        if (next_) next_->rowsAffected(n, shown, level);
    }
    void message(const Message& m) override {
        if (next_) next_->message(m);
    }

private:
    ResultSink* next_;
};

std::string bracketed(const std::vector<std::string>& parts) {
    std::string r;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        r += i ? ".[" : "[";
        for (char ch : parts[i]) {
            r += ch;
            if (ch == ']') r += ']';
        }
        r += "]";
    }
    return r;
}

}  // namespace

Flow Engine::runNested(const std::string& sql, Frame& f) {
    lex::LexResult lx;
    lex::tokenize(sql, lx);
    ast::Batch b;
    Message m;
    if (!parse::parseBatch(sql, lx, b, m)) throw RuntimeError{m};
    parse::Literals lits;
    parse::decodeLiterals(sql, lx, lits);
    const parse::Literals* saved = f.literals;
    f.literals = &lits;
    Flow fl;
    try {
        fl = runStatements(b.statements, f);
    } catch (...) {
        f.literals = saved;
        throw;
    }
    f.literals = saved;
    return fl;
}

Flow Engine::runInsertExec(const ast::Stmt& s, Frame& f) {
    RowCatcher catcher(sink_);
    ResultSink* saved = sink_;
    sink_ = &catcher;
    try {
        runExec(*s.execSource, f);
    } catch (...) {
        sink_ = saved;
        throw;
    }
    sink_ = saved;
    if (catcher.mismatch) throw RuntimeError{qmError(213)};
    if (catcher.columns.empty()) {
        rowcount_ = 0;
        emitRowCount(0, f);
        return Flow::Next;
    }
    std::string temp = "#qm_insert_exec_" + std::to_string(++insertExecCounter_);
    std::string create = "CREATE TABLE [" + temp + "] (";
    for (std::size_t i = 0; i < catcher.columns.size(); ++i)
        create += (i ? ", " : "") + std::string("[c") + std::to_string(i) + "] " + catcher.columns[i].type.name() + " NULL";
    create += ")";
    Flow fl = runNested(create, f);
    if (fl != Flow::Next) return fl;
    struct Dropper {
        Engine& e;
        Frame& f;
        std::string name;
        ~Dropper() {
            try {
                ResultSink* saved = e.sink_;
                RowCatcher quiet(nullptr);
                e.sink_ = &quiet;
                e.runNested("DROP TABLE [" + name + "]", f);
                e.sink_ = saved;
            } catch (...) {
            }
        }
    } dropper{*this, f, temp};
    std::string placeholders;
    for (std::size_t i = 0; i < catcher.columns.size(); ++i) placeholders += i ? ",?" : "?";
    sqlite3_stmt* ins = nullptr;
    std::string sql = "INSERT INTO temp." + translate::quoteIdent(temp) + " VALUES (" + placeholders + ")";
    sqlite3_prepare_v2(db_, sql.c_str(), -1, &ins, nullptr);
    for (const auto& row : catcher.rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            const Value& v = row[i];
            int k = static_cast<int>(i) + 1;
            switch (v.kind) {
            case ValueKind::Null: sqlite3_bind_null(ins, k); break;
            case ValueKind::Integer: sqlite3_bind_int64(ins, k, v.integer); break;
            case ValueKind::Real: sqlite3_bind_double(ins, k, v.real); break;
            case ValueKind::Text: sqlite3_bind_text(ins, k, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT); break;
            case ValueKind::Blob: sqlite3_bind_blob(ins, k, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT); break;
            }
        }
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    std::string columns;
    if (!s.columns.empty()) {
        std::vector<std::string> cols = s.columns;
        columns = " (";
        for (std::size_t i = 0; i < cols.size(); ++i) columns += (i ? ", " : "") + bracketed({cols[i]});
        columns += ")";
    }
    return runNested("INSERT INTO " + bracketed(s.target) + columns + " SELECT * FROM [" + temp + "]", f);
}

bool Engine::runInsteadOf(const ast::Stmt& s, Frame& f) {
    if (insteadOfCheckedAt_ != catalog_.version()) {
        anyInsteadOf_ = catalog_.anyInsteadOf();
        insteadOfCheckedAt_ = catalog_.version();
    }
    if (!anyInsteadOf_) return false;
    char action = s.kind == ast::StmtKind::Insert ? 'I' : s.kind == ast::StmtKind::Update ? 'U' : 'D';
    catalog::Object* target = catalog_.find(s.target.back());
    if (!target || (target->kind != catalog::ObjectKind::Table && target->kind != catalog::ObjectKind::View)) return false;
    std::vector<catalog::Object*> triggers = catalog_.triggersOf(target->name, action, true);
    if (triggers.empty()) return false;
    catalog::Object* trig = triggers.front();
    // the trigger's own statements on its object do what they say
    if (std::find(triggerStack_.begin(), triggerStack_.end(), trig) != triggerStack_.end()) return false;
    if (target->kind == catalog::ObjectKind::View) resolveView(*target);
    if (f.nestLevel + 1 > 32) throw RuntimeError{qmError(217), true};
    std::string ins = captureTable('I', f.nestLevel, *target);
    std::string del = captureTable('D', f.nestLevel, *target);
    dirtyCaptures_.insert(ins);
    dirtyCaptures_.insert(del);
    auto fill = [&](int part, const std::function<std::string(translate::Translator&, translate::Query&)>& make) {
        Compiled& c = compile(s, 100 + part, f, [&](Compiled& x) {
            translate::Translator tr(environment(f));
            x.query.sql = make(tr, x.query);
        });
        BusyGuard busy(c);
        bind(c.stmt, c.query.params, f);
        int rc = sqlite3_step(c.stmt);
        sqlite3_reset(c.stmt);
        if (rc != SQLITE_DONE) sqliteFailure(rc, action == 'I' ? "INSERT" : action == 'U' ? "UPDATE" : "DELETE", nullptr);
        return static_cast<std::int64_t>(sqlite3_changes64(db_));
    };
    std::int64_t n = 0;
    int depth = ++savepointDepth_;
    try {
        savepoint(depth);
        if (action == 'I') {
            n = fill(1, [&](translate::Translator& tr, translate::Query& q) { return tr.insteadInsert(s, *target, ins, q); });
        } else {
            n = fill(2, [&](translate::Translator& tr, translate::Query& q) { return tr.insteadOld(s, *target, del, q); });
            if (action == 'U')
                fill(3, [&](translate::Translator& tr, translate::Query& q) { return tr.insteadNew(s, *target, ins, q); });
        }
        translate::TriggerTables tt;
        tt.table = target;
        tt.inserted = ins;
        tt.deleted = del;
        auto mod = moduleOf(*trig);
        Frame tf;
        tf.literals = &mod->literals;
        tf.procedure = trig->name;
        tf.nestLevel = f.nestLevel + 1;
        tf.trigger = &tt;
        tf.triggerObject = trig;
        bool savedNocount = nocount_;
        triggerStack_.push_back(trig);
        Flow fl;
        try {
            fl = runStatements(mod->create().body, tf);
            dropTableVariables(tf);
        } catch (...) {
            dropTableVariables(tf);
            triggerStack_.pop_back();
            nocount_ = savedNocount;
            throw;
        }
        triggerStack_.pop_back();
        nocount_ = savedNocount;
        if (fl == Flow::Abort || fl == Flow::Caught) {
            RuntimeError e{Message{}, true};
            e.reported = fl == Flow::Abort;
            e.caught = fl == Flow::Caught;
            throw e;
        }
        releaseSavepoint(depth);
    } catch (...) {
        rollbackSavepoint(depth);
        if (savepointDepth_ >= depth) savepointDepth_ = depth - 1;
        throw;
    }
    --savepointDepth_;
    // the client sees the count of the statement it sent
    rowcount_ = n;
    emitRowCount(n, f);
    return true;
}

Flow Engine::runDml(const ast::Stmt& s, Frame& f) {
    if (runInsteadOf(s, f)) return Flow::Next;
    if (s.kind == ast::StmtKind::Insert && s.execSource) return runInsertExec(s, f);
    Compiled& c = plan(s, 0, f, [&](Compiled& c) {
        translate::Translator tr(environment(f));
        c.isDml = true;
        auto build = [&](bool capture) {
            switch (s.kind) {
            case ast::StmtKind::Insert: return tr.insert(s, capture);
            case ast::StmtKind::Update: return tr.update(s, capture);
            default: return tr.remove(s, capture);
            }
        };
        c.dml = build(false);
        c.triggers = catalog_.triggersOf(c.dml.table->name, c.dml.action);
        // triggers and a view's CHECK OPTION look at the changed rows
        if (!c.triggers.empty() || !c.dml.checkView.empty()) c.dml = build(true);
    });
    BusyGuard busy(c);
    catalog::Object& table = *c.dml.table;
    const char* action = c.dml.action == 'I' ? "INSERT" : c.dml.action == 'U' ? "UPDATE" : "DELETE";
    ++functions_.statementGeneration;
    // A single SQLite statement is atomic by itself; with triggers the statement
    // and its triggers are held together by a savepoint.
    const bool guarded = c.dml.capture;
    int depth = guarded ? ++savepointDepth_ : savepointDepth_;
    std::int64_t n = 0;
    try {
        if (guarded) savepoint(depth);
        std::string ins, del;
        int rc;
        if (c.dml.capture) {
            const int width = static_cast<int>(table.columns.size()) + 1;
            ins = captureTable('I', f.nestLevel, table);
            del = captureTable('D', f.nestLevel, table);
            std::string placeholders;
            for (int i = 0; i < width; ++i) placeholders += i ? ",?" : "?";
            sqlite3_stmt* toIns = internal("INSERT INTO temp." + translate::quoteIdent(ins) + " VALUES (" + placeholders + ")");
            sqlite3_stmt* toDel = internal("INSERT INTO temp." + translate::quoteIdent(del) + " VALUES (" + placeholders + ")");
            if (c.dml.action == 'U') {
                bind(c.capture, c.dml.captureOld.params, f);
                while ((rc = sqlite3_step(c.capture)) == SQLITE_ROW) copyRow(c.capture, toDel, width);
                sqlite3_reset(c.capture);
                if (rc != SQLITE_DONE) sqliteFailure(rc, action, &table, &c, &f);
            }
            bind(c.stmt, c.dml.main.params, f);
            sqlite3_stmt* target = c.dml.action == 'D' ? toDel : toIns;
            dirtyCaptures_.insert(c.dml.action == 'D' ? del : ins);
            if (c.dml.action == 'U') dirtyCaptures_.insert(del);
            while ((rc = sqlite3_step(c.stmt)) == SQLITE_ROW) {
                copyRow(c.stmt, target, width);
                ++n;
            }
            sqlite3_reset(c.stmt);
            if (rc != SQLITE_DONE) sqliteFailure(rc, action, &table, &c, &f);
        } else {
            // Variables' text is bound in place: every run binds all parameters again before
            // stepping, so what stays bound after the run is never read.
            bind(c.stmt, c.dml.main.params, f, true);
            rc = sqlite3_step(c.stmt);
            sqlite3_reset(c.stmt);
            if (rc != SQLITE_DONE) sqliteFailure(rc, action, &table, &c, &f);
            n = sqlite3_changes64(db_);
        }
        rowcount_ = n;
        if (!c.dml.checkView.empty() && c.dml.action != 'D') {
            // every row written through the view must still be one of its rows
            sqlite3_stmt* check = internal("SELECT 1 FROM temp." + translate::quoteIdent(ins) +
                                           " WHERE qm_rowid NOT IN (SELECT qm_rowid FROM (" + c.dml.checkView +
                                           ")) LIMIT 1");
            int crc = check ? sqlite3_step(check) : SQLITE_DONE;
            if (check) sqlite3_reset(check);
            if (crc == SQLITE_ROW) {
                RuntimeError e{qmError(550)};
                e.terminated = true;
                throw e;
            }
        }
        if (!c.triggers.empty()) fireTriggers(table, c.dml.action, f, ins, del);
        if (tranRolledBack_) {
            tranRolledBack_ = false;
            if (guarded) --savepointDepth_;
            throw RuntimeError{qmError(3609), true, false, true};
        }
        if (guarded) releaseSavepoint(depth);
    } catch (...) {
        if (guarded) {
            if (!tranRolledBack_) rollbackSavepoint(depth);
            if (savepointDepth_ >= depth) savepointDepth_ = depth - 1;
        }
        tranRolledBack_ = false;
        sqlite3_reset(c.stmt);
        sqlite3_clear_bindings(c.stmt);
        throw;
    }
    if (guarded) --savepointDepth_;
    rowcount_ = n;
    emitRowCount(n, f);
    return Flow::Next;
}

void Engine::fireTriggers(catalog::Object& table, char action, Frame& f, const std::string& ins,
                          const std::string& del) {
    for (catalog::Object* trig : catalog_.triggersOf(table.name, action)) {
        // A trigger's own changes to its table do not fire it again (RECURSIVE_TRIGGERS OFF).
        if (!triggerStack_.empty() && triggerStack_.back() == trig) continue;
        if (f.nestLevel + 1 > 32) throw RuntimeError{qmError(217), true};
        auto mod = moduleOf(*trig);
        if (!mod) continue;
        translate::TriggerTables tt;
        tt.table = &table;
        tt.inserted = ins;
        tt.deleted = del;
        Frame tf;
        tf.literals = &mod->literals;
        tf.procedure = trig->name;
        tf.nestLevel = f.nestLevel + 1;
        tf.trigger = &tt;
        tf.triggerObject = trig;
        bool savedNocount = nocount_;
        std::int64_t savedRowcount = rowcount_;
        triggerStack_.push_back(trig);
        Flow fl;
        try {
            fl = runStatements(mod->create().body, tf);
            dropTableVariables(tf);
        } catch (...) {
            dropTableVariables(tf);
            triggerStack_.pop_back();
            nocount_ = savedNocount;
            throw;
        }
        triggerStack_.pop_back();
        nocount_ = savedNocount;
        rowcount_ = savedRowcount;
        if (fl == Flow::Caught) {
            RuntimeError c{Message{}};
            c.caught = true;
            throw c;
        }
        if (fl == Flow::Abort) {
            RuntimeError e{Message{}, true};
            e.reported = true;
            throw e;
        }
    }
}

std::shared_ptr<catalog::Module> Engine::moduleOf(catalog::Object& o) {
    if (!o.module) {
        Message m;
        o.module = catalog::Catalog::parseModule(o.definition, m);
        if (!o.module) throw RuntimeError{m};
    }
    return o.module;
}

void Engine::resolveView(catalog::Object& view) {
    if (view.viewResolved) return;
    auto mod = moduleOf(view);
    const ast::Stmt& create = mod->create();
    translate::Environment env;
    env.catalog = &catalog_;
    env.literals = &mod->literals;
    env.database = database_;
    env.resolveView = [this](catalog::Object& v) { resolveView(v); };
    static thread_local int depth = 0;
    if (depth > 32) throw translate::TranslateError{qmError(217)};
    ++depth;
    try {
        translate::Translator tr(env);
        view.columns = tr.viewColumns(*create.select, create.columns);
    } catch (...) {
        --depth;
        throw;
    }
    --depth;
    view.viewResolved = true;
}

}  // namespace quillmere::engine::exec
