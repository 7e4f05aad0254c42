// The embedded engine beside raw SQLite doing the same work through its C API,
// on the same database files (same tables, collation and indexes):
//   keyed select of one student, 100,000 times with a different key each time;
//   select * over 1,000,000 score rows;
//   exec No_s_avg_sea over 1,000,000 score rows (raw: the same GROUP BY query);
//   10,000 single-row inserts into score with the insert trigger (raw: an SQLite
//   trigger doing what insertUpdateDelete does).
#include "engine/Convert.h"
#include "engine/Session.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quillmere::engine;

namespace {

constexpr int kStudents = 100000;
constexpr int kCourses = 10;  // 1,000,000 selections
constexpr int kKeyedLookups = 100000;
constexpr int kInserts = 10000;

// Reads every cell, as a client would.
class ReadingSink final : public ResultSink {
public:
    std::size_t bytes = 0, rows = 0;
    void beginResultSet(const std::vector<ResultColumn>&) override {}
    void row(const RowView& r) override {
        ++rows;
        for (int i = 0; i < r.size(); ++i) {
            ValueView v = r.cell(i);
            bytes += v.kind == ValueKind::Text ? v.bytes.size() : 8;
        }
    }
    void endResultSet() override {}
    void rowsAffected(std::int64_t, bool, int) override {}
    void message(const Message& m) override {
        if (m.isError()) std::fprintf(stderr, "engine error %d: %s\n", m.number, m.text.c_str());
    }
};

std::size_t readRow(sqlite3_stmt* st) {
    std::size_t bytes = 0;
    int n = sqlite3_column_count(st);
    for (int i = 0; i < n; ++i) {
        switch (sqlite3_column_type(st, i)) {
        case SQLITE_TEXT:
            sqlite3_column_text(st, i);
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(st, i));
            break;
        case SQLITE_INTEGER: sqlite3_column_int64(st, i); bytes += 8; break;
        case SQLITE_FLOAT: sqlite3_column_double(st, i); bytes += 8; break;
        default: bytes += 8; break;
        }
    }
    return bytes;
}

std::string sno(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%07d", 2000000 + i);
    return buf;
}

const char* kSchema =
    "CREATE TABLE speciality (spno char(5) NOT NULL PRIMARY KEY, spname char(20) NOT NULL, dpno char(2) NULL)\n"
    "CREATE TABLE student (sno char(7) NOT NULL PRIMARY KEY, sname varchar(20) NOT NULL, ssex char(2) NULL, "
    "sbirthday datetime NULL, spno char(5) NULL REFERENCES speciality(spno) ON UPDATE CASCADE, inyear int NULL)\n"
    "CREATE TABLE course (cno char(1) NOT NULL PRIMARY KEY, cname varchar(20) NULL, ccredit int NULL, tno varchar(3) NULL)\n"
    "CREATE TABLE score (sno char(7) NOT NULL REFERENCES student(sno) ON UPDATE CASCADE, "
    "cno char(1) NOT NULL REFERENCES course(cno) ON UPDATE CASCADE, gmark numeric(18,0) NULL, PRIMARY KEY (sno, cno))\n"
    "CREATE TABLE reexamination (spname char(20) NULL, sno char(7) NOT NULL, cno char(1) NOT NULL, redate datetime NULL)\n";

const char* kTrigger =
    "CREATE TRIGGER insertUpdateDelete ON [dbo].[score] \r\nFOR INSERT \r\nAS\r\nSET NOCOUNT OFF\r\n"
    "DECLARE @sno char(7),@cno char(1),@spname char(20),@gmark numeric\r\n"
    "        SELECT @sno=sno,@cno=cno,@gmark=gmark  FROM inserted where gmark<60\r\n"
    "\tselect @spname =spname from speciality where spno\r\n\t=(select spno from student where sno=@sno)\r\n"
    "\tif(@gmark<60)\r\n         INSERT INTO reexamination values(@spname,@sno,@cno,'2007-3-20')\r\n";

// The same as an SQLite trigger, for the raw side.
const char* kRawTrigger =
    "CREATE TRIGGER raw_insert AFTER INSERT ON score WHEN NEW.gmark < 60 BEGIN "
    "INSERT INTO reexamination SELECT (SELECT spname FROM speciality WHERE spno = "
    "(SELECT spno FROM student WHERE sno = NEW.sno)), NEW.sno, NEW.cno, '2007-03-20 00:00:00.000'; END";

struct Fixture {
    std::filesystem::path dir;
    std::unique_ptr<Session> big, small;  // 1,000,000 selections; empty score for inserts
    sqlite3* rawBig = nullptr;
    sqlite3* rawSmall = nullptr;
    std::vector<std::string> keyedSql, keys, insertSql;

    static Fixture& get() {
        static Fixture f;
        return f;
    }

    static void check(Session& s, const std::string& sql) {
        ReadingSink sink;
        BatchStatus st = s.execute(sql, sink);
        if (!st.ok) std::fprintf(stderr, "setup failed: %s\n", sql.c_str());
    }

    std::unique_ptr<Session> makeDatabase(const std::string& name, int students, bool fillScore) {
        SessionOptions o;
        o.dataDirectory = dir;
        Message err;
        auto boot = Session::open(o, &err);
        check(*boot, "CREATE DATABASE " + name);
        o.database = name;
        auto s = Session::open(o, &err);
        check(*s, kSchema);
        check(*s, kTrigger);
        check(*s, "CREATE PROCEDURE No_s_avg_sea AS\r\nselect sno,avg(gmark)as avgSpno from score group by sno\r\n");
        // bulk rows straight into the file, in the engine's storage convention
        sqlite3* db = nullptr;
        sqlite3_open((dir / (name + ".db")).c_str(), &db);
        registerSqliteExtensions(db);
        sqlite3_exec(db, "PRAGMA foreign_keys=OFF; BEGIN", nullptr, nullptr, nullptr);
        sqlite3_exec(db,
                     "INSERT INTO speciality VALUES ('01001','软件工程            ','01'),"
                     "('02001','应用数学            ','02')",
                     nullptr, nullptr, nullptr);
        std::string sql =
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " + std::to_string(students) +
            ") INSERT INTO student SELECT printf('%07d', 2000000 + i), '学生' || i, '男', '1986-10-01 00:00:00.000', "
            "CASE i % 3 WHEN 0 THEN '01001' WHEN 1 THEN '02001' ELSE NULL END, 2001 FROM n";
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(db,
                     "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 9) "
                     "INSERT INTO course SELECT CAST(i AS TEXT), '课程' || i, 3, NULL FROM n",
                     nullptr, nullptr, nullptr);
        if (fillScore) {
            sqlite3_exec(db,
                         "INSERT INTO score SELECT s.sno, c.cno, (abs(random()) % 60) + 40 FROM student s, course c "
                         "ORDER BY s.sno, c.cno",
                         nullptr, nullptr, nullptr);
        }
        sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return s;
    }

    static sqlite3* rawCopy(const std::filesystem::path& from, const std::filesystem::path& to, bool trigger) {
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
        sqlite3* db = nullptr;
        sqlite3_open(to.c_str(), &db);
        registerSqliteExtensions(db);
        sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON", nullptr, nullptr,
                     nullptr);
        if (trigger) sqlite3_exec(db, kRawTrigger, nullptr, nullptr, nullptr);
        return db;
    }

    Fixture() {
        dir = std::filesystem::temp_directory_path() / ("qm-engine-bench-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        big = makeDatabase("Big", kStudents, true);
        small = makeDatabase("Small", kStudents, false);
        rawBig = rawCopy(dir / "Big.db", dir / "RawBig.sqlite", false);
        rawSmall = rawCopy(dir / "Small.db", dir / "RawSmall.sqlite", true);
        for (int i = 0; i < kKeyedLookups; ++i) {
            std::string k = sno((i * 7919) % kStudents);
            keys.push_back(k);
            keyedSql.push_back("select * from student where sno='" + k + "'");
        }
        for (int i = 0; i < kInserts; ++i) {
            insertSql.push_back("Insert Into score(sno,cno,gmark) values('" + sno(i / kCourses) + "','" +
                                std::to_string(i % kCourses) + "','" + std::to_string(40 + (i * 37) % 60) + "')");
        }
    }
    ~Fixture() {
        big.reset();
        small.reset();
        sqlite3_close(rawBig);
        sqlite3_close(rawSmall);
        std::filesystem::remove_all(dir);
    }
};

void BM_KeyedSelect_Engine(benchmark::State& state) {
    Fixture& f = Fixture::get();
    ReadingSink sink;
    for (auto _ : state)
        for (const auto& sql : f.keyedSql) f.big->execute(sql, sink);
    state.counters["rows"] = static_cast<double>(sink.rows) / static_cast<double>(state.iterations());
}

void BM_KeyedSelect_RawSQLite(benchmark::State& state) {
    Fixture& f = Fixture::get();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(f.rawBig, "select * from student where sno=?", -1, &st, nullptr);
    std::size_t rows = 0, bytes = 0;
    for (auto _ : state) {
        for (const auto& k : f.keys) {
            sqlite3_bind_text(st, 1, k.data(), static_cast<int>(k.size()), SQLITE_STATIC);
            while (sqlite3_step(st) == SQLITE_ROW) {
                bytes += readRow(st);
                ++rows;
            }
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(bytes);
    state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}

void BM_SelectAllScore_Engine(benchmark::State& state) {
    Fixture& f = Fixture::get();
    ReadingSink sink;
    for (auto _ : state) f.big->execute("select * from score", sink);
    state.counters["rows"] = static_cast<double>(sink.rows) / static_cast<double>(state.iterations());
}

void BM_SelectAllScore_RawSQLite(benchmark::State& state) {
    Fixture& f = Fixture::get();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(f.rawBig, "select * from score", -1, &st, nullptr);
    std::size_t rows = 0, bytes = 0;
    for (auto _ : state) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            bytes += readRow(st);
            ++rows;
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(bytes);
    state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}

void BM_ExecNoSAvgSea_Engine(benchmark::State& state) {
    Fixture& f = Fixture::get();
    ReadingSink sink;
    for (auto _ : state) f.big->execute("exec No_s_avg_sea", sink);
    state.counters["rows"] = static_cast<double>(sink.rows) / static_cast<double>(state.iterations());
}

void BM_ExecNoSAvgSea_RawSQLite(benchmark::State& state) {
    Fixture& f = Fixture::get();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(f.rawBig, "select sno,avg(gmark) as avgSpno from score group by sno", -1, &st, nullptr);
    std::size_t rows = 0, bytes = 0;
    for (auto _ : state) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            bytes += readRow(st);
            ++rows;
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(bytes);
    state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}

void BM_TriggeredInserts_Engine(benchmark::State& state) {
    Fixture& f = Fixture::get();
    ReadingSink sink;
    for (auto _ : state) {
        for (const auto& sql : f.insertSql) f.small->execute(sql, sink);
        state.PauseTiming();
        f.small->execute("delete from reexamination delete from score", sink);
        state.ResumeTiming();
    }
}

void BM_TriggeredInserts_RawSQLite(benchmark::State& state) {
    Fixture& f = Fixture::get();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(f.rawSmall, "INSERT INTO score(sno,cno,gmark) VALUES (?,?,?)", -1, &st, nullptr);
    for (auto _ : state) {
        for (int i = 0; i < kInserts; ++i) {
            std::string s = sno(i / kCourses), c = std::to_string(i % kCourses);
            sqlite3_bind_text(st, 1, s.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, c.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(st, 3, 40 + (i * 37) % 60);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        state.PauseTiming();
        sqlite3_exec(f.rawSmall, "delete from reexamination; delete from score", nullptr, nullptr, nullptr);
        state.ResumeTiming();
    }
    sqlite3_finalize(st);
}

}  // namespace

BENCHMARK(BM_KeyedSelect_Engine)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_KeyedSelect_RawSQLite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SelectAllScore_Engine)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SelectAllScore_RawSQLite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExecNoSAvgSea_Engine)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExecNoSAvgSea_RawSQLite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TriggeredInserts_Engine)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TriggeredInserts_RawSQLite)->Unit(benchmark::kMillisecond)->Iterations(3);
