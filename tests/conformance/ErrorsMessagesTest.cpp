// Which errors end the statement and which end the batch, line numbers,
// row-count messages with and without NOCOUNT, and bad input that must be
// refused with an error rather than crash or hang.
#include "Conformance.h"

#include <chrono>

namespace qmconf {
namespace {

TEST_F(Conformance, ErrorScope) {
    setup({"create table e (id int primary key, name varchar(5))", "insert e values (1, 'a')"});
    check({
        {"declare @i int; set @i = 'x'; print 'after'", "E245"},
        {"declare @i int; set @i = 1 / 0; print 'after'", "E8134 P:after"},
        {"insert e values (1, 'dup'); print 'after'", "E2627 P:after"},
        {"insert e values (2, 'toolong'); print 'after'", "E8152 P:after"},
        {"declare @d datetime; set @d = '2007-02-30'; print 'after'", "E242 P:after"},
        {"declare @d datetime; set @d = 'x'; print 'after'", "E241"},
        {"print 'before'; select * from nosuch; print 'after'", "P:before E208"},
        {"print 'before'; select from e", "E156"},
        {"print 'before'; selec 1", "E102"},
        {"print 'before'; exec nosuch; print 'after'", "P:before E2812 P:after"},
        {"print 'a' print 'b'", "P:a P:b"},
    });
}

TEST_F(Conformance, ErrorLineNumbers) {
    setup({"create proc lp as\nbegin\n  print 'x'\n  select 1 / 0\nend"});
    struct LineCase {
        const char* batch;
        int number;
        int line;
        const char* procedure;
    } cases[] = {
        {"select 1\nselect 2\nselect * from nosuch", 208, 3, ""},
        {"\n\nselect from x", 156, 3, ""},
        {"select 1\n\nexec lp", 8134, 4, "lp"},
        {"declare @i int\nset @i = 1\nset @i = 'abc'", 245, 3, ""},
    };
    for (const auto& c : cases) {
        Recorder r = run(c.batch);
        const Message* m = nullptr;
        for (const auto& x : r.messages)
            if (x.isError()) {
                m = &x;
                break;
            }
        ASSERT_NE(m, nullptr) << c.batch;
        EXPECT_EQ(m->number, c.number) << c.batch << "\n" << r.allText();
        EXPECT_EQ(m->line, c.line) << c.batch;
        EXPECT_EQ(m->procedure, c.procedure) << c.batch;
    }
}

TEST_F(Conformance, RowCountMessages) {
    setup({"create table rc (id int)"});
    check({
        {"insert rc values (1); print 'x'; select id from rc", "(1) P:x [1] (1)"},
        {"set nocount on; insert rc values (2); select count(*) from rc; set nocount off; delete rc",
         "{1} [2] {1} (2)"},
        {"if 1 = 1 insert rc values (3)", "(1)"},
        {"declare @x int; select @x = 1", "(1)"},
        {"declare @x int = 1; set @x = 2", ""},
        {"create table rc2 (a int); drop table rc2", ""},
    });
}

TEST_F(Conformance, MessageOrderAcrossModules) {
    setup({"create table t (a int)", "create table l (n int)",
           "create trigger t_i on t after insert as begin set nocount on; insert l values (1) end",
           "create proc p2 as begin select 2 as y; print 'c' end",
           "create proc p1 as begin print 'a'; select 1 as x; print 'b'; exec p2; print 'd' end"});
    check({
        {"insert t values (1); insert t values (2); select count(*) from l", "{1} (1) {1} (1) [2] (1)"},
        {"exec p1", "P:a [1] (1) P:b [2] (1) P:c P:d"},
        {"select cast('2007-03-01 10:11:12' as smalldatetime), count(*) from l where getdate() > '2000-01-01'",
         "[2007-03-01 10:11:00,2] (1)"},
    });
}

TEST_F(Conformance, AggregatesSkipNulls) {
    setup({"create table n (i int)", "insert n values (1), (2), (null)"});
    Recorder withNull = run("select avg(i) from n");
    EXPECT_EQ(withNull.sets.at(0).text(0, 0), "1");
    EXPECT_TRUE(withNull.errors().empty()) << withNull.allText();
    EXPECT_EQ(transcript("select count(*) from n"), "[3] (1)");
    EXPECT_EQ(transcript("select count(i), sum(i) from n where i is not null"), "[2,3] (1)");
}

TEST_F(Conformance, AggregateValues) {
    setup({"create table n (i int, d numeric(18,0), m money, f float, q numeric(19,4))",
           "insert n values (1, 75, 1.5, 1.0, 0), (2, 76, 2.5, 2.0, 10), (4, 76, 2.5, 2.0, 10), (5, 76, 2.5, 2.0, 10)"});
    check({
        {"select avg(i), sum(i), count(*), count(distinct d) from n", "[3,12,4,2] (1)"},
        {"select avg(d), sum(d) from n where i < 3", "[75.500000,151] (1)"},
        {"select avg(m), sum(m) from n where i < 3", "[2.0000,4.0000] (1)"},
        {"select avg(f) from n where i < 3", "[1.5] (1)"},
        {"select avg(q) from n where i < 5", "[6.666666] (1)"},
        {"select avg(x) from (select -1 x union all select -2) t", "[-1] (1)"},
        {"select avg(x) from (select 1 x union all select 2) t", "[1] (1)"},
        {"select avg(cast(i as float)) from n where i < 3", "[1.5] (1)"},
        {"select sum(x) from (select 2147483647 x union all select 1) t", "E8115"},
        {"select sum(cast(x as bigint)) from (select 2147483647 x union all select 1) t", "[2147483648] (1)"},
        {"select max(i), min(i) from n where 1 = 0", "[NULL,NULL] (1)"},
        {"select count(*) from n where 1 = 0", "[0] (1)"},
    });
}

TEST_F(Conformance, ErrorsForOddRequests) {
    setup({"create table s (id int primary key, name varchar(10))", "insert s values (1, 'a')"});
    check({
        {"select * from s where id in ()", "E102"},
        {"create view v1 as select * from nosuch_v2", "E208"},
        {"create table tt (a int); create trigger tt_i on tt after insert as print 1", "E111"},
        {"fetch next from nocursor", "E16916"},
        {"declare c cursor for select 1; open c; close c; deallocate c; fetch next from c", "E16916"},
        {"select cast('9999-12-31 23:59:59.999' as datetime)", "E242"},
        {"select dateadd(year, 10000, getdate())", "E517"},
        {"select substring('abc', 2147483647, 2147483647) + '|', left('abc', 2147483647)", "[|,abc] (1)"},
        {"declare @i int = 1; declare @i2 int = @i / (select count(*) from s where 1 = 0)", "E8134"},
        {"begin tran; begin tran; rollback; commit", "E3902"},
        {"save tran x", "E628"},
        {"create table bad2 (a nosuchtype)", "E2715"},
        {"declare @v varchar(max) = replicate(cast('a' as varchar(max)), 20000); select len(@v), datalength(@v)",
         "[20000,20000] (1)"},
        {"select * from s where id = @undefined", "E137"},
    });
}

TEST_F(Conformance, BadInputIsRefused) {
    using clock = std::chrono::steady_clock;
    auto refuses = [&](const std::string& batch, const char* what) {
        auto start = clock::now();
        Recorder r = run(batch);
        auto seconds = std::chrono::duration<double>(clock::now() - start).count();
        EXPECT_FALSE(r.errors().empty()) << what;
        EXPECT_LT(seconds, 10.0) << what;
        return r;
    };
    EXPECT_EQ(refuses("select 'abc", "unterminated string").errors().at(0), 105);
    EXPECT_EQ(refuses("select 1 /* never closed", "unterminated comment").errors().at(0), 113);
    EXPECT_EQ(refuses("select [abc", "unterminated bracket").errors().at(0), 105);
    refuses(std::string("select \xff\xfe\x01\x02 from \x80\x81", 21), "garbage bytes");
    refuses(std::string("select 1\0 2", 10), "embedded NUL");
    refuses("select " + std::string(10000, '(') + "1" + std::string(10000, ')'), "10,000 nested parentheses");
    refuses("select " + std::string(10000, '(') + "1", "10,000 unbalanced parentheses");
    std::string longExpr = "select 1";
    while (longExpr.size() < 5u * 1024 * 1024) longExpr += " + 1";
    longExpr += " +";
    refuses(longExpr, "5 MB statement");
    // The session is still usable afterwards.
    EXPECT_EQ(transcript("select 1"), "[1] (1)");
}

}  // namespace
}  // namespace qmconf
