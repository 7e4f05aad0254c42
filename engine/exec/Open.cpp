// Opening database files, switching between them, and the session's SQLite helpers.
#include "engine/Convert.h"
#include "engine/Errors.h"
#include "engine/exec/EngineErrors.h"
#include "engine/exec/Engine.h"
#include "engine/lex/Lexer.h"

#include <sqlite3.h>

#include <cstdlib>
#include <system_error>

namespace quillmere::engine {

std::unique_ptr<Session> Session::open(const SessionOptions& options, Message* error) {
    auto e = std::make_unique<exec::Engine>(options);
    if (!options.database.empty()) {
        Message m;
        if (!e->connect(options.database, &m)) {
            if (error) *error = m;
            return nullptr;
        }
    }
    return e;
}

std::filesystem::path Session::defaultDataDirectory() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg) return std::filesystem::path(xdg) / "quillmere";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".local" / "share" / "quillmere";
}

namespace exec {

Compiled::~Compiled() {
    if (stmt) sqlite3_finalize(stmt);
    if (capture) sqlite3_finalize(capture);
}

std::filesystem::path findDatabaseFile(const std::filesystem::path& dir, const std::string& name) {
    std::error_code ec;
    if (name.empty() || name.find('/') != std::string::npos || name.find('\\') != std::string::npos || name == "." ||
        name == "..")
        return {};
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        std::string file = entry.path().filename().string();
        if (file.size() == name.size() + 3 && lex::iequals(file.substr(file.size() - 3), ".db") &&
            lex::iequals(file.substr(0, name.size()), name))
            return entry.path();
    }
    return {};
}

Engine::Engine(SessionOptions options) : options_(std::move(options)) {
    if (options_.dataDirectory.empty()) options_.dataDirectory = Session::defaultDataDirectory();
}

Engine::~Engine() { closeDatabase(); }

void Engine::closeDatabase() {
    planCache_.clear();
    catalog_ = catalog::Catalog();
    for (auto& [k, st] : internalStmts_) sqlite3_finalize(st);
    internalStmts_.clear();
    captureTables_.clear();
    dirtyCaptures_.clear();
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    database_.clear();
    trancount_ = 0;
}

bool Engine::connect(const std::string& database, Message* error) {
    auto path = findDatabaseFile(options_.dataDirectory, database);
    if (path.empty()) {
        if (error) *error = qmError(4060, {database});
        return false;
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        if (db) sqlite3_close_v2(db);
        if (error) *error = qmError(4060, {database});
        return false;
    }
    closeDatabase();
    db_ = db;
    sqlite3_busy_timeout(db_, options_.busyTimeoutMs);
    sqlite3_extended_result_codes(db_, 1);
    registerSqliteExtensions(db_);
    registerEngineFunctions(db_, &functions_);
    registerUdf(db_, this);
    execOk("PRAGMA journal_mode=WAL");
    execOk("PRAGMA synchronous=NORMAL");
    execOk("PRAGMA foreign_keys=ON");
    execOk("PRAGMA temp_store=MEMORY");
    Message m;
    if (!catalog_.load(db_, m)) {
        closeDatabase();
        if (error) *error = qmError(4060, {database});
        return false;
    }
    std::string name = path.filename().string();
    database_ = name.substr(0, name.size() - 3);
    return true;
}

sqlite3_stmt* Engine::internal(const std::string& sql) {
    auto it = internalStmts_.find(sql);
    if (it != internalStmts_.end()) return it->second;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    internalStmts_[sql] = st;
    return st;
}

bool Engine::execOk(const std::string& sql, std::string* error) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK && error) *error = err ? err : sqlite3_errstr(rc);
    sqlite3_free(err);
    return rc == SQLITE_OK;
}

void Engine::exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) sqliteFailure(rc, "", nullptr);
}

void Engine::savepoint(int depth) {
    sqlite3_stmt* st = internal("SAVEPOINT qm_s" + std::to_string(depth));
    int rc = st ? sqlite3_step(st) : SQLITE_ERROR;
    if (st) sqlite3_reset(st);
    if (rc != SQLITE_DONE) sqliteFailure(rc, "", nullptr);
}

void Engine::releaseSavepoint(int depth) {
    sqlite3_stmt* st = internal("RELEASE qm_s" + std::to_string(depth));
    int rc = st ? sqlite3_step(st) : SQLITE_ERROR;
    if (st) sqlite3_reset(st);
    if (rc != SQLITE_DONE) {
        // A failed commit (another program holds the lock): undo and report.
        rollbackSavepoint(depth);
        sqliteFailure(rc, "", nullptr);
    }
}

void Engine::rollbackSavepoint(int depth) {
    // Temporary tables made inside the savepoint go with it.
    // (they may keep rows of earlier statements: clear them before next use)
    dirtyCaptures_.insert(captureTables_.begin(), captureTables_.end());
    captureTables_.clear();
    if (sqlite3_get_autocommit(db_)) return;
    std::string n = "qm_s" + std::to_string(depth);
    sqlite3_stmt* a = internal("ROLLBACK TO " + n);
    if (a) {
        sqlite3_step(a);
        sqlite3_reset(a);
    }
    sqlite3_stmt* b = internal("RELEASE " + n);
    if (b) {
        sqlite3_step(b);
        sqlite3_reset(b);
    }
}

bool Engine::reloadCatalogIfChanged() {
    if (!db_) return false;
    // nothing changed in the file: keep the objects (running statements point at them)
    if (catalog::Catalog::signature(db_) == catalog_.loadedSignature()) return false;
    Message m;
    std::uint64_t before = catalog_.version();
    planCache_.clear();
    catalog_.load(db_, m);
    return catalog_.version() != before;
}

std::vector<std::string> Engine::primaryKey(std::string_view table) const {
    auto* self = const_cast<Engine*>(this);
    catalog::Object* o = self->catalog_.find(table);
    if (!o) {
        self->reloadCatalogIfChanged();
        o = self->catalog_.find(table);
    }
    if (!o) return {};
    if (o->kind == catalog::ObjectKind::View) {
        try {
            self->resolveView(*o);
        } catch (...) {
            return {};
        }
        std::string base;
        for (const auto& c : o->columns) {
            if (c.baseTable.empty()) continue;
            if (base.empty()) base = c.baseTable;
            else if (!lex::iequals(base, c.baseTable)) return {};
        }
        catalog::Object* t = self->catalog_.find(base);
        if (!t) return {};
        std::vector<std::string> key;
        for (const auto& k : t->primaryKey) {
            bool found = false;
            for (const auto& c : o->columns)
                if (lex::iequals(c.baseColumn, k)) {
                    key.push_back(c.name);
                    found = true;
                    break;
                }
            if (!found) return {};
        }
        return key;
    }
    if (o->kind != catalog::ObjectKind::Table) return {};
    std::vector<std::string> key;
    for (const auto& k : o->primaryKey) {
        int i = o->columnIndex(k);
        key.push_back(i >= 0 ? o->columns[i].name : k);
    }
    return key;
}

std::optional<std::vector<ResultColumn>> Engine::columns(std::string_view object) const {
    auto* self = const_cast<Engine*>(this);
    catalog::Object* o = self->catalog_.find(object);
    if (!o) {
        self->reloadCatalogIfChanged();
        o = self->catalog_.find(object);
    }
    if (!o || (o->kind != catalog::ObjectKind::Table && o->kind != catalog::ObjectKind::View)) return std::nullopt;
    if (o->kind == catalog::ObjectKind::View) {
        try {
            self->resolveView(*o);
        } catch (...) {
            return std::nullopt;
        }
    }
    std::vector<ResultColumn> r;
    for (const auto& c : o->columns) {
        ResultColumn rc;
        rc.name = c.name;
        rc.type = c.type;
        rc.nullable = c.nullable;
        rc.baseTable = o->kind == catalog::ObjectKind::Table ? o->name : c.baseTable;
        rc.baseColumn = o->kind == catalog::ObjectKind::Table ? c.name : c.baseColumn;
        r.push_back(std::move(rc));
    }
    return r;
}

Flow Engine::runDatabaseStatement(const ast::Stmt& s, Frame& f) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (s.kind == ast::StmtKind::Use) {
        std::string previous = database_;
        Message m;
        if (findDatabaseFile(options_.dataDirectory, s.name).empty()) throw RuntimeError{qmError(911, {s.name}), true};
        if (lex::iequals(previous, s.name) && db_) {
            Message changed;
            changed.number = 5701;
            changed.severity = 0;
            changed.state = 2;
            changed.text = "已将数据库上下文更改为 '" + database_ + "'。";
            report(changed, s, f);
            return Flow::Next;
        }
        if (!connect(s.name, &m)) throw RuntimeError{m, true};
        Message changed;
        changed.number = 5701;
        changed.severity = 0;
        changed.state = 2;
        changed.text = "已将数据库上下文更改为 '" + database_ + "'。";
        report(changed, s, f);
        return Flow::Next;
    }
    if (s.kind == ast::StmtKind::CreateDatabase) {
        fs::create_directories(options_.dataDirectory, ec);
        if (!findDatabaseFile(options_.dataDirectory, s.name).empty()) throw RuntimeError{qmError(1801, {s.name})};
        if (s.name.find('/') != std::string::npos || s.name.find('\\') != std::string::npos || s.name.empty())
            throw RuntimeError{qmError(102, {s.name})};
        fs::path p = options_.dataDirectory / (s.name + ".db");
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(p.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
            rc = sqlite3_exec(db,
                              "CREATE TABLE IF NOT EXISTS qm_catalog(id INTEGER PRIMARY KEY, name TEXT NOT NULL "
                              "COLLATE NOCASE UNIQUE, kind TEXT NOT NULL, parent TEXT, definition TEXT NOT NULL)",
                              nullptr, nullptr, nullptr);
        }
        if (db) sqlite3_close_v2(db);
        if (rc != SQLITE_OK) throw RuntimeError{internalError("无法创建数据库文件 " + p.string())};
        return Flow::Next;
    }
    // DROP DATABASE
    for (const auto& n : s.names) {
        const std::string& name = n.back();
        fs::path p = findDatabaseFile(options_.dataDirectory, name);
        if (p.empty()) throw RuntimeError{qmError(3701, {"数据库", name})};
        if (lex::iequals(name, database_)) {
            Message m = qmError(3702, {name});
            m.text = "无法删除数据库“" + name + "”，因为该数据库当前正在使用。";
            throw RuntimeError{m};
        }
        fs::remove(p, ec);
        fs::remove(fs::path(p.string() + "-wal"), ec);
        fs::remove(fs::path(p.string() + "-shm"), ec);
    }
    return Flow::Next;
}

}  // namespace exec
}  // namespace quillmere::engine
