// Behaviours that must match SQL Server exactly: limits that stop runaway
// statements, result types, the values of conversions, @@ERROR/@@ROWCOUNT,
// constraints through views.
#include "Harness.h"

namespace qmtest {
namespace {

class ServerRules : public EngineTest {};

// "[a,b;c,d]" for the first result set, or "E<n>" for the first error.
std::string outcome(const RecordingSink& r) {
    auto errors = r.errorNumbers();
    if (!errors.empty()) return "E" + std::to_string(errors[0]);
    if (r.sets.empty()) return "<no result>";
    const ResultSetData& s = r.sets[0];
    std::string t = "[";
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        if (i) t += ";";
        for (std::size_t c = 0; c < s.columns.size(); ++c) t += (c ? "," : "") + s.text(i, c);
    }
    return t + "]";
}

TEST_F(ServerRules, RecursionStopsAtMaxRecursion) {
    struct Case {
        const char* sql;
        const char* expected;
    } cases[] = {
        // no end: the default limit of 100 levels ends it
        {"with c (n) as (select 1 union all select n + 1 from c) select count(*) from c", "E530"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 200) select count(*) from c", "E530"},
        // 100 levels below the anchor are allowed
        {"with c (n) as (select 1 union all select n + 1 from c where n < 101) select count(*) from c", "[101]"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 200) select count(*) from c "
         "option (maxrecursion 500)",
         "[200]"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 20) select count(*) from c "
         "option (maxrecursion 5)",
         "E530"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 1000) select max(n) from c "
         "option (maxrecursion 0)",
         "[1000]"},
        // the hidden level does not show in the columns
        {"with c (n, s) as (select 1, 'a' union all select n + 1, s + 'a' from c where n < 3) select * from c",
         "[1,a;2,aa;3,aaa]"},
        // a common table that does not refer to itself is not limited
        {"with c (n) as (select 1 union all select 2) select count(*) from c option (maxrecursion 1)", "[2]"},
        // other hints are accepted
        {"select 1 option (recompile)", "[1]"},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(run(c.sql)), c.expected) << c.sql;
}

TEST_F(ServerRules, RecursionErrorEndsOnlyTheStatement) {
    ok("create table t (id int primary key, parent int)");
    ok("insert t values (1, null), (2, 1), (3, 2), (4, 3)");
    // a walk down a tree, and a cycle caught by the limit
    EXPECT_EQ(outcome(run("with w (id, depth) as (select id, 0 from t where parent is null union all "
                          "select t.id, w.depth + 1 from t join w on t.parent = w.id) "
                          "select max(depth) from w")),
              "[3]");
    ok("update t set parent = 4 where id = 1");
    RecordingSink r = run("with w (id) as (select id from t where id = 1 union all "
                          "select t.id from t join w on t.parent = w.id) select count(*) from w; print 'next'");
    ASSERT_EQ(r.errorNumbers(), std::vector<int>{530}) << r.allText();
    EXPECT_NE(r.messages.back().text.find("next"), std::string::npos);
    EXPECT_NE(r.messages.front().text.find("100"), std::string::npos) << r.messages.front().text;
}

TEST_F(ServerRules, ExpressionValuesAndTypes) {
    struct Case {
        const char* sql;
        const char* expected;
    } cases[] = {
        // NULLIF compares as = does
        {"select nullif('a', 'A'), nullif('a', 'a  '), nullif('a', 'b'), nullif(1, 1), nullif(null, 1)",
         "[NULL,NULL,a,NULL,NULL]"},
        // only + is defined on two strings
        {"select '1' + '2'", "[12]"},
        {"select '5' * '2'", "E8117"},
        {"select '5' - '2'", "E8117"},
        {"select '5' / '2'", "E8117"},
        {"select '5' % '2'", "E8117"},
        {"select '5' * 2, 5 - '2'", "[10,3]"},
        // results stop at 8000 bytes unless an argument is (max)
        {"select len(replicate('a', 100000000)), len(replicate('ab', 5000)), len(replicate(N'x', 5000))",
         "[8000,8000,4000]"},
        {"select len(replicate(cast('a' as varchar(max)), 9000)), replicate('ab', 2), replicate('a', -1)",
         "[9000,abab,NULL]"},
        {"select datalength(space(2000000000)), len(space(3) + 'x')", "[8000,4]"},
        // the type of highest precedence wins; a branch is converted only when it is taken
        {"select 'a' union select 1", "E245"},
        {"select 1 union select 'a'", "E245"},
        {"select '2' union all select 1 union all select 3.5 order by 1", "[1.0;2.0;3.5]"},
        {"select null union all select 'x' union all select 'y' order by 1", "[NULL;x;y]"},
        {"select case when 1 = 1 then 1 else 'x' end, case when 1 = 0 then 1 else '7' end", "[1,7]"},
        {"select case when 1 = 0 then 1 else 'x' end", "E245"},
        {"select coalesce(1, 'x'), coalesce(null, '5', 1), coalesce(null, 'a')", "[1,5,a]"},
        {"select coalesce('x', 1)", "E245"},
        {"select cast(3.7 as int), convert(int, -3.7), cast(3.7 as bigint), cast(3.99 as smallint)", "[3,-3,3,3]"},
        // STR: right-aligned, fewer decimals when short of room, stars when the number does not fit
        {"select str(3.14159, 6, 2), str(12), str(123456, 3), str(-2.5), str(123.456, 5, 2), str(null)",
         "[  3.14,        12,***,        -3,123.5,NULL]"},
        // CONVERT with a day-first or year-first style
        {"select convert(datetime, '02/01/2007', 103), convert(datetime, '02.01.2007', 104), "
         "convert(datetime, '2-1-07', 5), convert(datetime, '07/01/02', 11), convert(datetime, '02/01/2007', 101)",
         "[2007-01-02 00:00:00.000,2007-01-02 00:00:00.000,2007-01-02 00:00:00.000,2007-01-02 00:00:00.000,"
         "2007-02-01 00:00:00.000]"},
        {"select convert(datetime, '31/02/2007', 103)", "E242"},
        // domain and range errors
        {"select log(0)", "E3623"},
        {"select log(-1)", "E3623"},
        {"select log(100, 10)", "[2]"},
        {"select power(10, 10)", "E232"},
        {"select power(2, 10), power(cast(2 as bigint), 40)", "[1024,1099511627776]"},
        {"declare @t tinyint; set @t = 256", "E220"},
        {"declare @s smallint = 100000", "E220"},
        {"select cast(3e9 as int)", "E8115"},
        {"select left('abc', -1)", "E536"},
        {"select substring('abc', 1, -1)", "E537"},
        // string helpers of newer and older scripts
        {"select stuff('abcdef', 2, 3, 'X'), stuff('abc', 5, 1, 'x'), stuff('abc', 2, 0, '-'), stuff('abc', 1, 9, null)",
         "[aXef,NULL,a-bc,]"},
        {"select quotename('a]b'), quotename('x', ''''), quotename('x', '('), quotename('x', 'a')",
         "[[a]]b],'x',(x),NULL]"},
        {"select concat_ws('-', 'a', null, 'b'), concat_ws(', ', null, null, 'c'), pi() * 0", "[a-b,c,0]"},
        {"select choose(2, 'a', 'b', 'c'), choose(5, 1, 2), choose(1, 1, 'x')", "[b,NULL,1]"},
        // DATALENGTH of fixed-size types
        {"select datalength(cast(1 as bigint)), datalength(cast(1 as smallint)), datalength(cast(1 as tinyint)), "
         "datalength(1), datalength(getdate()), datalength(N'ab'), datalength(cast(null as int))",
         "[8,2,1,4,8,4,NULL]"},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(run(c.sql)), c.expected) << c.sql;
}

TEST_F(ServerRules, TruncateRestartsTheIdentity) {
    ok("create table d (id int identity(5,2), v int)");
    ok("insert d (v) values (1), (2)");
    ok("delete d");
    ok("insert d (v) values (3)");
    EXPECT_EQ(scalar("select id from d"), "9");  // DELETE keeps counting
    ok("truncate table d");
    ok("insert d (v) values (4)");
    EXPECT_EQ(scalar("select id from d"), "5");
}

TEST_F(ServerRules, IdentityInsertNeedsTheValue) {
    ok("create table i (id int identity(1,1) primary key, v varchar(5))");
    ok("insert i (v) values ('a')");
    EXPECT_EQ(run("insert i (id, v) values (5, 'b')").errorNumbers(), std::vector<int>{544});
    ok("set identity_insert i on");
    EXPECT_EQ(run("insert i (v) values ('z')").errorNumbers(), std::vector<int>{545});
    ok("insert i (id, v) values (7, 'y')");
    ok("set identity_insert i off");
    ok("insert i (v) values ('x')");
    EXPECT_EQ(column("select id from i order by id"), (std::vector<std::string>{"1", "7", "8"}));
}

TEST_F(ServerRules, HavingWithoutGroupBy) {
    ok("create table dup (a int)");
    ok("insert dup values (1), (1)");
    EXPECT_EQ(outcome(run("select 1 from dup having 1 = 1")), "[1]");
    EXPECT_EQ(outcome(run("select 1 from dup having 1 = 0")), "[]");
    EXPECT_EQ(outcome(run("select count(*) from dup having count(*) > 1")), "[2]");
}

TEST_F(ServerRules, ReturnValueOnlyInModules) {
    RecordingSink r = run("print 'before'; return 5");
    EXPECT_EQ(r.errorNumbers(), std::vector<int>{178});
    EXPECT_EQ(r.messages.size(), 1u) << r.allText();  // nothing of the batch ran
    EXPECT_TRUE(run("print 'a'; return; print 'b'").errorNumbers().empty());
    ok("create proc rv as return 7");
    ok("create function fv () returns int as begin return 8 end");
    EXPECT_EQ(scalar("declare @r int; exec @r = rv; select @r + dbo.fv()"), "15");
}

TEST_F(ServerRules, TopPercent) {
    ok("create table s (id int)");
    ok("insert s values (1), (2), (3), (4)");
    struct Case {
        const char* sql;
        const char* expected;
    } cases[] = {
        {"select top 50 percent id from s order by id", "[1;2]"},
        {"select top 30 percent id from s order by id desc", "[4;3]"},  // 1.2 rows: rounded up
        {"select top 0 percent id from s", "[]"},
        {"select top 100 percent id from s order by id", "[1;2;3;4]"},
        {"declare @p int = 25; select top (@p) percent id from s order by id", "[1]"},
        {"select top 50 percent id from s where id > 1 order by id", "[2;3]"},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(run(c.sql)), c.expected) << c.sql;
}

TEST_F(ServerRules, ErrorAndRowcountAfterEachStatement) {
    ok("create table p (id int primary key)");
    ok("insert p values (1)");
    struct Case {
        const char* sql;
        const char* expected;  // the last result set
    } cases[] = {
        {"insert p values (1); select @@error", "[2627]"},
        {"declare @e int, @r int; insert p values (1); select @e = @@error, @r = @@rowcount; select @e, @r", "[2627,0]"},
        {"declare @r int; insert p values (1); set @r = @@rowcount; select @r", "[0]"},
        {"insert p values (1); print 'x'; select @@error", "[0]"},
        {"insert p values (2); select @@error, @@rowcount", "[0,1]"},
        {"raiserror('own', 16, 1); select @@error", "[50000]"},
        {"declare @i int; set @i = 1 / 0; if @@error <> 0 select 'failed' else select 'ok'", "[failed]"},
        {"update p set id = id where id > 0; select @@rowcount", "[2]"},
    };
    for (const auto& c : cases) {
        RecordingSink r = run(c.sql);
        ASSERT_FALSE(r.sets.empty()) << c.sql << "\n" << r.allText();
        RecordingSink last;
        last.sets.push_back(r.sets.back());
        EXPECT_EQ(outcome(last), c.expected) << c.sql;
    }
}

TEST_F(ServerRules, JoinsCompareUnderTheCollation) {
    ok("create table a (c char(5), v2 varchar(10))");
    ok("create table b (v varchar(10), c2 char(8))");
    ok("insert a values ('ab', 'ab')");
    ok("insert b values ('AB', 'ab')");
    for (const char* sql : {"select count(*) from a join b on a.c = b.v", "select count(*) from a, b where a.c = b.v",
                            "select count(*) from a, b where a.c = b.c2", "select count(*) from a, b where a.v2 = b.c2",
                            "select count(*) from a where c = v2",
                            "select count(*) from a where exists (select * from b where b.v = a.c)",
                            "select count(*) from a left join b on b.c2 = a.c where b.v is not null"})
        EXPECT_EQ(scalar(sql), "1") << sql;
}

TEST_F(ServerRules, ChangesThroughViews) {
    ok("create table b (id int primary key, v int)");
    ok("insert b values (1, 10), (2, 20)");
    ok("create view pos as select id, v from b where v > 0");
    ok("create view pos2 as select id, v from pos where v > 15");
    ok("create view checked as select id, v from b where v > 0 with check option");
    ok("create view checked2 as select id, v from checked where v < 100");
    ok("create table other (id int)");
    ok("create view mixed as select b.id, b.v from b join other o on o.id = b.id");
    struct Case {
        const char* sql;
        std::vector<std::int64_t> counts;
        std::vector<int> errors;
    } cases[] = {
        // a view over a view reaches the base table
        {"update pos2 set v = 99 where id = 2", {1}, {}},
        {"update pos2 set v = 98 where id = 1", {0}, {}},  // not a row of pos2
        {"insert pos2 values (3, 30)", {1}, {}},
        {"delete pos2 where id = 3", {1}, {}},
        // rows written through a view WITH CHECK OPTION must stay in it
        {"insert checked values (8, -8)", {}, {550}},
        {"update checked set v = -1 where id = 1", {}, {550}},
        {"insert checked values (9, 9)", {1}, {}},
        {"update checked set id = 7 where id = 9", {1}, {}},
        {"update checked set v = v - 50", {}, {550}},  // one row out: none changed
        {"delete checked where id = 7", {1}, {}},
        // ... also through a view over it
        {"update checked2 set v = -5 where id = 1", {}, {550}},
        {"update mixed set v = 1", {0}, {}},  // the changed columns come from one table
    };
    for (const auto& c : cases) {
        RecordingSink r = run(c.sql);
        EXPECT_EQ(r.errorNumbers(), c.errors) << c.sql << "\n" << r.allText();
        if (c.errors.empty()) {
            EXPECT_EQ(r.counts, c.counts) << c.sql;
        }
    }
    EXPECT_EQ(column("select cast(id as varchar) + ':' + cast(v as varchar) from b order by id"),
              (std::vector<std::string>{"1:10", "2:99"}));
}

TEST_F(ServerRules, UniqueKeysAdmitOneNull) {
    ok("create table u (id int primary key, a int unique, b varchar(5), c int, constraint uq_bc unique (b, c))");
    struct Case {
        const char* sql;
        const char* expected;
    } cases[] = {
        {"insert u values (1, null, null, null)", ""},
        {"insert u values (2, null, 'x', 1)", "E2627"},  // a second NULL in a
        {"insert u values (3, 5, null, null)", "E2627"},  // (NULL, NULL) again in (b, c)
        {"insert u values (4, 6, 'x', null)", ""},
        {"insert u values (5, 7, 'X', null)", "E2627"},  // equal under the collation
        {"insert u values (6, 8, 'x', 2)", ""},
        {"insert u values (7, 9, 'x', 2)", "E2627"},
        {"update u set a = null where id = 4", "E2627"},
        {"update u set a = 10 where id = 1", ""},
        {"update u set a = null where id = 4", ""},  // the NULL moved
    };
    for (const auto& c : cases) {
        RecordingSink r = run(c.sql);
        std::string got = r.errorNumbers().empty() ? "" : "E" + std::to_string(r.errorNumbers()[0]);
        EXPECT_EQ(got, c.expected) << c.sql << "\n" << r.allText();
    }
    EXPECT_EQ(scalar("select count(*) from u"), "3");

    // unique indexes: the same rule, reported as 2601; existing duplicates refuse the index
    ok("create table v (a int, b int)");
    ok("create unique index ix_v_a on v (a)");
    ok("insert v values (null, 1)");
    RecordingSink dup = run("insert v values (null, 2)");
    ASSERT_EQ(dup.errorNumbers(), std::vector<int>{2601});
    EXPECT_NE(dup.messages[0].text.find("ix_v_a"), std::string::npos) << dup.messages[0].text;
    ok("insert v values (4, 4)");
    RecordingSink again = run("insert v values (4, 5)");
    ASSERT_EQ(again.errorNumbers(), std::vector<int>{2601}) << again.allText();
    EXPECT_NE(again.messages[0].text.find("ix_v_a"), std::string::npos) << again.messages[0].text;
    ok("delete v where a = 4");
    ok("drop index v.ix_v_a");
    ok("insert v values (null, 2)");
    EXPECT_EQ(run("create unique index ix_v_a on v (a)").errorNumbers(), std::vector<int>{1505});
    ok("create unique index ix_v_b on v (b)");
    // ALTER TABLE keeps the rule on the rebuilt table
    ok("create table w (id int, a int)");
    ok("insert w values (1, null), (2, null)");
    EXPECT_EQ(run("alter table w add constraint uq_w unique (a)").errorNumbers(), std::vector<int>{1505});
    ok("delete w where id = 2");
    ok("alter table w add constraint uq_w unique (a)");
    ok("alter table w add note varchar(5) null");
    EXPECT_EQ(run("insert w values (3, null, 'n')").errorNumbers(), std::vector<int>{2627});
    // table variables and temporary tables too
    EXPECT_EQ(run("declare @t table (a int unique); insert @t values (null); insert @t values (null)").errorNumbers(),
              std::vector<int>{2627});
    EXPECT_EQ(run("create table #t (a int unique); insert #t values (null); insert #t values (null)").errorNumbers(),
              std::vector<int>{2627});
}

}  // namespace
}  // namespace qmtest
