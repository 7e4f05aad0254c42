// The data access layer beside raw SQLite doing the same work in the same run:
//   - opening "select * from score" over 1,000,000 rows (time, and peak memory
//     measured in a forked child);
//   - updateBatch of 10,000 edited rows against the same prepared updates in one
//     transaction;
//   - 100,000 opens of a one-row keyed select.
#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/RowStore.h"
#include "engine/Convert.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using quillmere::db::Connection;
using quillmere::db::LockType;
using quillmere::db::Recordset;

constexpr int kRows = 1'000'000;
constexpr int kEdited = 10'000;
constexpr int kKeyedOpens = 100'000;

std::string sno(int i) {
    char b[16];
    std::snprintf(b, sizeof b, "%07d", 2000000 + i);
    return b;
}

// A raw connection to the file set up as the engine sets up its own: no mutex, the
// engine's collation registered (the columns and the key use it), the same pragmas.
sqlite3* openRaw(const std::string& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    quillmere::engine::registerSqliteExtensions(db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; "
                     "PRAGMA temp_store=MEMORY", nullptr, nullptr, nullptr);
    return db;
}

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// A database "Bench" in a temporary data directory with score(sno char(7), cno char(1),
// gmark numeric(18,0)) holding kRows rows: created through the engine, filled straight
// into the SQLite file in the engine's storage convention.
struct Fixture {
    std::string dir;
    std::string file;
    std::string table;  // the SQLite table that holds score
    std::string connectionString;

    Fixture() {
        char tmpl[] = "/tmp/quillmere-bench-XXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
        dir = tmpl;
        setenv("QUILLMERE_DATA_DIR", dir.c_str(), 1);
        {
            Connection admin;
            admin.setConnectionString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                                      "Initial Catalog=;Data Source=(embedded)");
            admin.open();
            admin.execute("CREATE DATABASE Bench");
        }
        connectionString = "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                           "Initial Catalog=Bench;Data Source=(embedded)";
        {
            Connection cnn;
            cnn.setConnectionString(connectionString);
            cnn.open();
            cnn.execute("CREATE TABLE score (sno char(7) NOT NULL, cno char(1) NOT NULL, gmark numeric(18,0), "
                        "PRIMARY KEY (sno, cno))");
        }
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.path().extension() == ".db") file = e.path().string();
        sqlite3* db = openRaw(file);
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db, "select name from sqlite_master where type='table' and lower(name)='score'", -1,
                                 &st, nullptr),
              db, "find table");
        if (sqlite3_step(st) == SQLITE_ROW) table = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
        if (table.empty()) throw std::runtime_error("score is not a table of the file");
        check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
        std::string ins = "INSERT INTO \"" + table + "\"(sno, cno, gmark) VALUES (?1, ?2, ?3)";
        check(sqlite3_prepare_v2(db, ins.c_str(), -1, &st, nullptr), db, "prepare insert");
        for (int i = 0; i < kRows; ++i) {
            std::string s = sno(i);
            sqlite3_bind_text(st, 1, s.c_str(), 7, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, "1", 1, SQLITE_STATIC);
            sqlite3_bind_int64(st, 3, i % 101);
            check(sqlite3_step(st), db, "insert");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
        check(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), db, "checkpoint");
        sqlite3_close(db);
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Raw SQLite: step a statement and copy every value into the same compact row
// storage the record set uses, so that the difference is the engine's and the
// record set's own work.
using RawRows = quillmere::db::RowStore;

std::size_t rawRead(sqlite3* db, const char* sql, RawRows& out) {
    using quillmere::engine::ValueKind;
    using quillmere::engine::ValueView;
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), db, "prepare");
    int cols = sqlite3_column_count(st);
    out.setColumns(cols);
    std::vector<ValueView> cells(cols);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            ValueView& v = cells[c];
            v = ValueView{};
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: v.kind = ValueKind::Integer; v.integer = sqlite3_column_int64(st, c); break;
            case SQLITE_FLOAT: v.kind = ValueKind::Real; v.real = sqlite3_column_double(st, c); break;
            case SQLITE_NULL: break;
            case SQLITE_BLOB:
                v.kind = ValueKind::Blob;
                v.bytes = {static_cast<const char*>(sqlite3_column_blob(st, c)),
                           static_cast<std::size_t>(sqlite3_column_bytes(st, c))};
                break;
            default:
                v.kind = ValueKind::Text;
                v.bytes = {reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                           static_cast<std::size_t>(sqlite3_column_bytes(st, c))};
            }
        }
        out.append(cells);
    }
    sqlite3_finalize(st);
    return out.size();
}

long statusKb(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return 0;
}

// Peak resident memory that work() adds, measured in a forked child (KiB).
template <class Work>
double peakKb(Work work) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        long before = statusKb("VmRSS:");
        work();
        long peak = statusKb("VmHWM:");
        double d = static_cast<double>(peak - before);
        if (write(fds[1], &d, sizeof d) != sizeof d) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    double d = -1;
    if (read(fds[0], &d, sizeof d) != sizeof d) d = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return d;
}

// The values' own bytes in a score row: 7 + 1 text bytes and an 8-byte integer.
constexpr double kValueBytesPerRow = 16;

void BM_OpenScore_Recordset(benchmark::State& state) {
    Fixture& f = fixture();
    Connection cnn;
    cnn.setConnectionString(f.connectionString);
    cnn.setCursorLocation(quillmere::db::CursorLocation::Client);
    cnn.open();
    std::int64_t rows = 0;
    std::size_t storage = 0;
    for (auto _ : state) {
        Recordset rs;
        rs.open("select * from score", cnn);
        rows = rs.recordCount();
        storage = rs.storageBytes();
        rs.close();
    }
    double kb = peakKb([&] {
        Recordset rs;
        rs.open("select * from score", cnn);
        benchmark::DoNotOptimize(rs.recordCount());
    });
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["storage_B_per_row"] = static_cast<double>(storage) / rows;
    state.counters["peak_B_per_row"] = kb * 1024 / rows;
    state.counters["target_B_per_row"] = 1.5 * kValueBytesPerRow + 16;
}
BENCHMARK(BM_OpenScore_Recordset)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenScore_RawSqlite(benchmark::State& state) {
    Fixture& f = fixture();
    sqlite3* db = openRaw(f.file);
    std::string sql = "select sno, cno, gmark from \"" + f.table + "\"";
    std::size_t rows = 0;
    for (auto _ : state) {
        RawRows r;
        rows = rawRead(db, sql.c_str(), r);
        benchmark::DoNotOptimize(r.size());
    }
    double kb = peakKb([&] {
        RawRows r;
        rawRead(db, sql.c_str(), r);
        benchmark::DoNotOptimize(r.size());
    });
    sqlite3_close(db);
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["peak_B_per_row"] = kb * 1024 / rows;
}
BENCHMARK(BM_OpenScore_RawSqlite)->Unit(benchmark::kMillisecond)->Iterations(3);

// The 10,000 rows the batch edits: the first 10,000 selections by key.
const char* kEditedRows = "select * from score where sno >= '2000000' and sno < '2010000'";

void BM_UpdateBatch10k_Recordset(benchmark::State& state) {
    Fixture& f = fixture();
    Connection cnn;
    cnn.setConnectionString(f.connectionString);
    cnn.open();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Recordset rs;
        rs.setLockType(LockType::BatchOptimistic);
        rs.open(kEditedRows, cnn);
        if (rs.rowCount() != kEdited) state.SkipWithError("unexpected row count");
        ++round;
        for (int r = 0; r < rs.rowCount(); ++r)
            rs.setField(2, (rs.setCurrentRow(r), quillmere::engine::Value::fromInteger(1000 + round * 7 + r % 50)));
        state.ResumeTiming();
        rs.updateBatch();
        state.PauseTiming();
        rs.close();
        state.ResumeTiming();
    }
    state.counters["rows"] = kEdited;
}
BENCHMARK(BM_UpdateBatch10k_Recordset)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_UpdateBatch10k_RawSqlite(benchmark::State& state) {
    Fixture& f = fixture();
    sqlite3* db = openRaw(f.file);
    int round = 100;
    for (auto _ : state) {
        state.PauseTiming();
        std::string sql = std::string("select sno, cno, gmark from \"") + f.table +
                          "\" where sno >= '2000000' and sno < '2010000'";
        std::vector<std::string> keys;
        std::vector<sqlite3_int64> old;
        sqlite3_stmt* sel = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &sel, nullptr);
        while (sqlite3_step(sel) == SQLITE_ROW) {
            keys.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(sel, 0)));
            old.push_back(sqlite3_column_int64(sel, 2));
        }
        sqlite3_finalize(sel);
        ++round;
        state.ResumeTiming();
        // The same statements the record set sends: key and original value checked.
        std::string upd = "UPDATE \"" + f.table + "\" SET gmark = ?1 WHERE sno = ?2 AND cno = ?3 AND gmark = ?4";
        sqlite3_stmt* st = nullptr;
        check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
        check(sqlite3_prepare_v2(db, upd.c_str(), -1, &st, nullptr), db, "prepare");
        for (std::size_t i = 0; i < keys.size(); ++i) {
            sqlite3_bind_int64(st, 1, 1000 + round * 7 + static_cast<int>(i % 50));
            sqlite3_bind_text(st, 2, keys[i].c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 3, "1", 1, SQLITE_STATIC);
            sqlite3_bind_int64(st, 4, old[i]);
            check(sqlite3_step(st), db, "update");
            if (sqlite3_changes(db) != 1) state.SkipWithError("row not found");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    }
    sqlite3_close(db);
    state.counters["rows"] = kEdited;
}
BENCHMARK(BM_UpdateBatch10k_RawSqlite)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_KeyedOpen100k_Recordset(benchmark::State& state) {
    Fixture& f = fixture();
    Connection cnn;
    cnn.setConnectionString(f.connectionString);
    cnn.open();
    for (auto _ : state) {
        for (int i = 0; i < kKeyedOpens; ++i) {
            Recordset rs;
            rs.open("select * from score where sno='" + sno((i * 7919) % kRows) + "' and cno='1'", cnn);
            benchmark::DoNotOptimize(rs.field(2).integer);
            rs.close();
        }
    }
    state.counters["opens"] = kKeyedOpens;
}
BENCHMARK(BM_KeyedOpen100k_Recordset)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_KeyedOpen100k_RawSqlite(benchmark::State& state) {
    Fixture& f = fixture();
    sqlite3* db = openRaw(f.file);
    for (auto _ : state) {
        for (int i = 0; i < kKeyedOpens; ++i) {
            // Each open is a new statement text, prepared, stepped and copied.
            std::string sql = "select sno, cno, gmark from \"" + f.table + "\" where sno='" +
                              sno((i * 7919) % kRows) + "' and cno='1'";
            RawRows r;
            rawRead(db, sql.c_str(), r);
            benchmark::DoNotOptimize(r.size());
        }
    }
    sqlite3_close(db);
    state.counters["opens"] = kKeyedOpens;
}
BENCHMARK(BM_KeyedOpen100k_RawSqlite)->Unit(benchmark::kMillisecond)->Iterations(1);

// The lower bound: one prepared statement, the key bound for each open.
void BM_KeyedOpen100k_RawSqlitePrepared(benchmark::State& state) {
    Fixture& f = fixture();
    sqlite3* db = openRaw(f.file);
    std::string sql = "select sno, cno, gmark from \"" + f.table + "\" where sno=?1 and cno='1'";
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db, "prepare");
    for (auto _ : state) {
        for (int i = 0; i < kKeyedOpens; ++i) {
            std::string key = sno((i * 7919) % kRows);
            sqlite3_bind_text(st, 1, key.c_str(), -1, SQLITE_TRANSIENT);
            RawRows r;
            r.setColumns(3);
            while (sqlite3_step(st) == SQLITE_ROW) {
                quillmere::engine::ValueView cells[3];
                for (int c = 0; c < 2; ++c) {
                    cells[c].kind = quillmere::engine::ValueKind::Text;
                    cells[c].bytes = {reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                      static_cast<std::size_t>(sqlite3_column_bytes(st, c))};
                }
                cells[2].kind = quillmere::engine::ValueKind::Integer;
                cells[2].integer = sqlite3_column_int64(st, 2);
                r.append(cells);
            }
            sqlite3_reset(st);
            benchmark::DoNotOptimize(r.size());
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    state.counters["opens"] = kKeyedOpens;
}
BENCHMARK(BM_KeyedOpen100k_RawSqlitePrepared)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
