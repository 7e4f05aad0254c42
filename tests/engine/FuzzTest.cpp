// Random token soup and mutated statements: every one must come back as a
// result or an error, and the session must keep working.
#include "Harness.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

namespace qmtest {
namespace {

class Fuzz : public EngineTest {};

TEST_F(Fuzz, RandomTokensNeverBreakTheSession) {
    ok("create table f (a int primary key, b varchar(10), c datetime, d numeric(5,2))");
    ok("insert into f values (1, 'x', '2000-1-1', 1.5), (2, null, null, null)");
    ok("create view fv as select a, b from f");
    ok("create procedure fp @x int = 1 as select * from f where a = @x");
    ok("create trigger ft on f for insert, update, delete as select count(*) from inserted");
    const char* words[] = {
        "select", "*", "from", "f", "fv", "where", "a", "b", "c", "d", "=", "<>", "(", ")", ",", "'x'", "N'y'", "1",
        "2.5", "null", "and", "or", "not", "in", "like", "between", "is", "exists", "group", "by", "order", "having",
        "insert", "into", "values", "update", "set", "delete", "exec", "fp", "declare", "@v", "int", "if", "else",
        "begin", "end", "while", "print", "return", "union", "all", "top", "distinct", "as", "join", "on", "left",
        "count", "sum", "avg", "max", "+", "-", "/", "%", "case", "when", "then", "cast", "convert", "varchar(5)",
        "getdate()", "@@rowcount", ";", "create", "drop", "table", "view", "procedure", "trigger", "inserted",
        "with", "over", "partition", "try", "catch", "throw", "cursor", "fetch", "open", "0x1F", "'2000-13-1'",
        "dbo", ".", "[f]", "\"f\"", "--", "/*", "*/", "'", "[", "#t", "alter", "add", "constraint", "check",
    };
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(words) / sizeof(words[0]) - 1);
    std::uniform_int_distribution<int> len(1, 25);
    for (int i = 0; i < 3000; ++i) {
        std::string sql;
        int n = len(rng);
        for (int k = 0; k < n; ++k) {
            sql += words[pick(rng)];
            sql += (rng() % 5 == 0) ? "\n" : " ";
        }
        RecordingSink s;
        session->execute(sql, s);
    }
    // mutations of valid statements: one token dropped or doubled
    const char* valid[] = {
        "select a, b from f where a in (select a from fv) order by b",
        "update f set b = b + 'y' where a = 1",
        "insert into f(a, b) select a + 10, b from f",
        "declare @v int set @v = 1 while @v < 3 begin set @v = @v + 1 end select @v",
        "exec fp @x = 2",
    };
    for (const char* v : valid) {
        std::string text = v;
        for (std::size_t cut = 0; cut < text.size(); cut += 3) {
            RecordingSink a, b;
            session->execute(text.substr(0, cut) + text.substr(cut + 1), a);
            session->execute(text.substr(0, cut) + text.substr(cut, 1) + text.substr(cut), b);
        }
    }
    run("rollback");
    ok("select count(*) from f");
}

// Random well-formed expressions of every kind, in every clause.
std::string randomExpr(std::mt19937& rng, int depth) {
    static const char* leaves[] = {"a", "b", "c", "d", "1", "0", "'x'", "''", "N'中'", "null", "2.5", "'2000-1-1'",
                                   "@@rowcount", "getdate()", "'12'", "-3", "f.a", "fv.b"};
    static const char* binary[] = {"+", "-", "*", "/", "%", "=", "<>", "<", ">=", "and", "or", "like"};
    static const char* funcs[] = {"len", "upper", "abs", "isnull", "coalesce", "substring", "cast", "count", "max",
                                  "year", "datediff", "round", "left", "charindex", "replace", "nullif"};
    std::uniform_int_distribution<int> kind(0, depth > 3 ? 0 : 6);
    switch (kind(rng)) {
    case 0: return leaves[rng() % (sizeof(leaves) / sizeof(leaves[0]))];
    case 1:
        return "(" + randomExpr(rng, depth + 1) + " " + binary[rng() % (sizeof(binary) / sizeof(binary[0]))] + " " +
               randomExpr(rng, depth + 1) + ")";
    case 2: {
        std::string f = funcs[rng() % (sizeof(funcs) / sizeof(funcs[0]))];
        if (f == "cast") return "cast(" + randomExpr(rng, depth + 1) + " as varchar(5))";
        if (f == "datediff") return "datediff(day, " + randomExpr(rng, depth + 1) + ", " + randomExpr(rng, depth + 1) + ")";
        int args = f == "substring" || f == "replace" ? 3 : f == "isnull" || f == "coalesce" || f == "round" || f == "left" ||
                                                                  f == "charindex" || f == "nullif" ? 2 : 1;
        std::string r = f + "(";
        for (int i = 0; i < args; ++i) r += (i ? ", " : "") + randomExpr(rng, depth + 1);
        return r + ")";
    }
    case 3: return "case when " + randomExpr(rng, depth + 1) + " then " + randomExpr(rng, depth + 1) + " else " +
                   randomExpr(rng, depth + 1) + " end";
    case 4: return "(select max(a) from f where " + randomExpr(rng, depth + 1) + ")";
    case 5: return randomExpr(rng, depth + 1) + " in (1, 'x', " + randomExpr(rng, depth + 1) + ")";
    default: return "exists (select * from fv where " + randomExpr(rng, depth + 1) + ")";
    }
}

TEST_F(Fuzz, RandomExpressionsInEveryClause) {
    ok("create table f (a int primary key, b varchar(10), c datetime, d numeric(5,2))");
    ok("insert into f values (1, 'x', '2000-1-1', 1.5), (2, null, null, null), (3, '12', '2001-2-3', -2)");
    ok("create view fv as select a, b from f");
    std::mt19937 rng(std::getenv("QM_FUZZ_SEED") ? static_cast<unsigned>(std::atoi(std::getenv("QM_FUZZ_SEED"))) : 777u);
    const char* shapes[] = {
        "select %s from f",
        "select a from f where %s",
        "select b, count(*) from f group by b having %s",
        "select a from f order by %s",
        "update f set d = %s where a = 3",
        "insert into f(a, b) values (100, %s)",
        "declare @v varchar(20) set @v = %s print @v",
        "if %s print 'y' else print 'n'",
        "select * from f join fv on %s",
    };
    int clean = 0;
    std::map<int, int> errors;
    int rounds = std::getenv("QM_FUZZ_ROUNDS") ? std::atoi(std::getenv("QM_FUZZ_ROUNDS")) : 1500;
    for (int i = 0; i < rounds; ++i) {
        std::string shape = shapes[i % (sizeof(shapes) / sizeof(shapes[0]))];
        std::string sql = shape.replace(shape.find("%s"), 2, randomExpr(rng, 0));
        RecordingSink s;
        session->execute("begin tran " + sql + " rollback", s);
        if (s.errorNumbers().empty()) ++clean;
        for (int n : s.errorNumbers()) ++errors[n];
        if (std::getenv("QM_FUZZ_VERBOSE") && !s.errorNumbers().empty() && s.errorNumbers()[0] == 50000)
            std::printf("%s\n  -> %s\n", sql.c_str(), s.messages[0].text.c_str());
        RecordingSink r;
        session->execute("if @@trancount > 0 rollback", r);
    }
    EXPECT_EQ(scalar("select count(*) from f"), "3");
    // most statements are valid T-SQL and must run; internal errors (50000) mean a translation fault
    EXPECT_GT(clean, 300);
    EXPECT_EQ(errors[50000], 0);
    if (std::getenv("QM_FUZZ_VERBOSE")) {
        std::printf("clean %d\n", clean);
        for (auto [n, c] : errors) std::printf("error %d: %d\n", n, c);
    }
}

}  // namespace
}  // namespace qmtest
