// The collation and tsql_* functions on a real SQLite database file.
#include "engine/Convert.h"
#include "engine/types/SqliteFunctions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>

using namespace quillmere::engine;

namespace {

class SqliteFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("qm-types-" + std::to_string(::getpid()) + "-" +
                                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        ASSERT_EQ(sqlite3_open((dir_ / "t.db").string().c_str(), &db_), SQLITE_OK);
        registerSqliteExtensions(db_);
    }
    void TearDown() override {
        sqlite3_close(db_);
        std::filesystem::remove_all(dir_);
    }

    // The first column of the first row as text ("NULL" for NULL), or the error text.
    std::string one(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return "prepare: " + std::string(sqlite3_errmsg(db_));
        std::string out;
        int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            out = t ? reinterpret_cast<const char*>(t) : "NULL";
        } else if (rc != SQLITE_DONE) {
            out = sqlite3_errmsg(db_);
        }
        sqlite3_finalize(st);
        return out;
    }
    void exec(const std::string& sql) {
        char* err = nullptr;
        ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    }

    std::filesystem::path dir_;
    sqlite3* db_ = nullptr;
};

}  // namespace

TEST_F(SqliteFunctions, CollationDrivesKeysOrderAndGrouping) {
    exec("create table t(k text collate TSQL_CI primary key, v int)");
    exec("insert into t values('abc', 1)");
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db_, "insert into t values('ABC  ', 2)", -1, &st, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_step(st), SQLITE_CONSTRAINT);  // same key under the collation
    sqlite3_finalize(st);
    exec("insert into t values('ｂ', 3), ('a', 4)");
    EXPECT_EQ(one("select group_concat(v) from (select v from t order by k)"), "4,1,3");
    EXPECT_EQ(one("select v from t where k = 'B'"), "3");
    EXPECT_EQ(one("select count(distinct k) from (select 'x' k union all select 'X ')"), "2");  // no collation there
    EXPECT_EQ(one("select count(distinct k collate TSQL_CI) from (select 'x' k union all select 'X ')"), "1");
}

TEST_F(SqliteFunctions, ConvertRaisesServerErrors) {
    EXPECT_EQ(one("select tsql_convert('', 'int', 0)"), "0");
    EXPECT_EQ(one("select tsql_convert('1986-10-1', 'datetime', 0)"), "1986-10-01 00:00:00.000");
    EXPECT_EQ(one("select tsql_convert('ab', 'char(5)', 0) || '|'"), "ab   |");
    std::string err = one("select tsql_convert('abc', 'int', 0)");
    EXPECT_EQ(err, "tsql:245:在将 varchar 值 'abc' 转换成数据类型 int 时失败。");
    auto m = decodeSqliteError(err);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->number, 245);
    EXPECT_EQ(m->severity, 16);
    EXPECT_EQ(m->text, "在将 varchar 值 'abc' 转换成数据类型 int 时失败。");
    EXPECT_FALSE(decodeSqliteError("no such table: x"));
    EXPECT_FALSE(decodeSqliteError("tsql:abc:x"));
    EXPECT_EQ(one("select tsql_convert('abcdef', 'char(3)', 0)").substr(0, 10), "tsql:8152:");
    EXPECT_EQ(one("select tsql_convert('abcdef', 'char(3)', 1)"), "abc");
    EXPECT_EQ(one("select tsql_convert('1986-10-01 08:05:09.000', 'varchar(30)', 2, 'datetime')"), "Oct  1 1986  8:05AM");
    EXPECT_EQ(one("select tsql_convert_style('1986-10-01 08:05:09.123', 'varchar(30)', 120, 'datetime')"), "1986-10-01 08:05:09");
    EXPECT_EQ(one("select tsql_convert_style('1986-10-01 08:05:09.123', 'varchar(10)', 23, 'datetime')"), "1986-10-01");
    EXPECT_EQ(one("select tsql_convert(1, 'nosuchtype')").substr(0, 11), "tsql:50000:");
    EXPECT_EQ(one("select tsql_convert(NULL, 'int', 0)"), "NULL");
}

TEST_F(SqliteFunctions, OperatorsAndAggregates) {
    EXPECT_EQ(one("select tsql_concat('book', 'case')"), "bookcase");
    EXPECT_EQ(one("select tsql_concat('abc', NULL)"), "NULL");
    EXPECT_EQ(one("select tsql_concat_n('Name', NULL, 'Lastname')"), "NameLastname");
    EXPECT_EQ(one("select tsql_div(7, 2)"), "3");
    EXPECT_EQ(one("select tsql_div(-7, 2)"), "-3");
    EXPECT_EQ(one("select tsql_div(7.0, 2)"), "3.5");
    EXPECT_EQ(one("select tsql_div(1, 0)"), "tsql:8134:遇到以零作除数错误。");
    EXPECT_EQ(one("select tsql_mod(7, 0)").substr(0, 10), "tsql:8134:");
    EXPECT_EQ(one("select tsql_int(2147483647 + 1, 'int')").substr(0, 10), "tsql:8115:");
    EXPECT_EQ(one("select tsql_like('Robert King   ', '% king')"), "1");
    EXPECT_EQ(one("select tsql_like('abc', 'abc ')"), "0");

    exec("create table g(k text, n int, m real)");
    exec("insert into g values('a', 75, 75), ('a', 76, 76), ('b', 0, 0), ('b', 10, 10), ('b', 10, 10), ('c', NULL, NULL)");
    EXPECT_EQ(one("select tsql_avg_numeric(n, 6) from g where k='a'"), "75.5");
    EXPECT_EQ(one("select printf('%.6f', tsql_avg_numeric(n, 6)) from g where k='b'"), "6.666666");
    EXPECT_EQ(one("select printf('%.6f', tsql_avg_numeric(m, 6)) from g where k='b'"), "6.666666");
    EXPECT_EQ(one("select tsql_avg_numeric(n, 6) from g where k='c'"), "NULL");
    EXPECT_EQ(one("select printf('%.6f', tsql_avg_numeric(v, 6)) from (select 75.123456 v)"), "75.123456");
    EXPECT_EQ(one("select printf('%.6f', tsql_avg_numeric(v, 6)) from (select -75.123456 v)"), "-75.123456");
    EXPECT_EQ(one("select tsql_avg_numeric(n, 0) from g where k='a'"), "75");
    EXPECT_EQ(one("select tsql_avg_int(n) from g where k='a'"), "75");
    EXPECT_EQ(one("select tsql_avg_int(v) from (select -1 v union all select -2)"), "-1");
    EXPECT_EQ(one("select tsql_sum_int(n, 'int') from g"), "171");
    EXPECT_EQ(one("select tsql_sum_int(v, 'int') from (select 2147483647 v union all select 1)").substr(0, 10), "tsql:8115:");
}

TEST_F(SqliteFunctions, StringAndDateBuiltIns) {
    struct Case { const char* sql; const char* out; };
    const Case cases[] = {
        {"select tsql_len('ab  ')", "2"},
        {"select tsql_len('张三')", "2"},
        {"select tsql_datalength('张三 ')", "5"},
        {"select tsql_datalength('张三', 1)", "4"},
        {"select tsql_upper('abc张')", "ABC张"},
        {"select tsql_lower('ABC')", "abc"},
        {"select '[' || tsql_ltrim('  a  ') || ']'", "[a  ]"},
        {"select '[' || tsql_rtrim('  a  ') || ']'", "[  a]"},
        {"select tsql_substring('张三丰', 2, 1)", "三"},
        {"select tsql_substring('abc', 0, 2)", "a"},
        {"select tsql_substring('abc', 5, 2)", ""},
        {"select tsql_left('张三丰', 2)", "张三"},
        {"select tsql_right('张三丰', 2)", "三丰"},
        {"select tsql_replace('aXbxc', 'x', '-')", "a-b-c"},
        {"select tsql_charindex('B', 'abcb')", "2"},
        {"select tsql_charindex('b', 'abcb', 3)", "4"},
        {"select tsql_charindex('z', 'abc')", "0"},
        {"select tsql_replicate('ab', 3)", "ababab"},
        {"select tsql_isnull(NULL, 5)", "5"},
        {"select tsql_year('1986-10-1')", "1986"},
        {"select tsql_month('1986-10-01 00:00:00.000')", "10"},
        {"select tsql_day('19861001')", "1"},
        {"select tsql_datepart('weekday', '2007-03-20')", "3"},
        {"select tsql_datepart('dy', '2007-03-20')", "79"},
        {"select tsql_datediff('year', '1986-10-01', '2007-03-20')", "21"},
        {"select tsql_datediff('month', '2007-01-31', '2007-02-01')", "1"},
        {"select tsql_datediff('day', '2007-03-20', '2007-03-01')", "-19"},
        {"select tsql_dateadd('month', 1, '2007-01-31')", "2007-02-28 00:00:00.000"},
        {"select tsql_dateadd('day', -1, '2007-03-01')", "2007-02-28 00:00:00.000"},
        {"select tsql_dateadd('hh', 25, '2007-03-01')", "2007-03-02 01:00:00.000"},
        {"select tsql_round(2.675, 2)", "2.68"},
        {"select tsql_round(-2.5, 0)", "-3.0"},
        {"select tsql_round(1250, -2)", "1300"},
        {"select tsql_round(2.679, 2, 1)", "2.67"},
        {"select tsql_abs(-5)", "5"},
        {"select length(tsql_getdate())", "23"},
    };
    for (const auto& c : cases) EXPECT_EQ(one(c.sql), c.out) << c.sql;
    EXPECT_EQ(one("select tsql_year('abc')").substr(0, 9), "tsql:241:");
    EXPECT_EQ(one("select tsql_substring('abc', 1, -1)").substr(0, 9), "tsql:537:");
    EXPECT_EQ(one("select tsql_datepart('fortnight', '2007-03-20')").substr(0, 9), "tsql:155:");
    EXPECT_EQ(one("select tsql_dateadd('year', 9000, '2007-03-20')").substr(0, 9), "tsql:517:");
}

TEST_F(SqliteFunctions, EveryFunctionSurvivesHostileArguments) {
    struct Fn { const char* name; int args; };
    const Fn fns[] = {{"tsql_convert", 4}, {"tsql_convert_style", 4}, {"tsql_int", 2}, {"tsql_concat", 2},
                      {"tsql_concat_n", 3}, {"tsql_div", 2}, {"tsql_mod", 2}, {"tsql_like", 4}, {"tsql_len", 1},
                      {"tsql_datalength", 2}, {"tsql_upper", 1}, {"tsql_substring", 3}, {"tsql_left", 2},
                      {"tsql_right", 2}, {"tsql_replace", 3}, {"tsql_charindex", 3}, {"tsql_space", 1},
                      {"tsql_replicate", 2}, {"tsql_year", 1}, {"tsql_datepart", 2}, {"tsql_datediff", 3},
                      {"tsql_dateadd", 3}, {"tsql_abs", 1}, {"tsql_power", 2}, {"tsql_round", 3},
                      {"tsql_sqrt", 1}, {"tsql_avg_numeric", 2}, {"tsql_avg_int", 1}, {"tsql_sum_int", 2}};
    const char* args[] = {"NULL", "-1", "0", "9223372036854775807", "-9223372036854775808", "1e308", "-1e308",
                          "''", "'abc'", "x'00ff'", "'1986-10-1'", "'int'", "'varchar(3)'", "'day'", "120",
                          "'%[^a-'", "' '", "3000000"};
    std::mt19937 rng(7);
    for (const auto& f : fns) {
        for (int i = 0; i < 150; ++i) {
            std::string sql = std::string("select ") + f.name + "(";
            for (int k = 0; k < f.args; ++k) sql += std::string(k ? "," : "") + args[rng() % std::size(args)];
            sql += ")";
            std::string r = one(sql);  // a value or an error text; what matters is getting here
            if (r.rfind("tsql:", 0) == 0) EXPECT_TRUE(decodeSqliteError(r).has_value()) << sql;
        }
    }
}
