// Variables, control flow, PRINT, stored procedures with parameters, output
// parameters and return codes, dynamic SQL.
#include "Conformance.h"

namespace qmconf {
namespace {

TEST_F(Conformance, Variables) {
    setup({"create table v (id int, name varchar(10))", "insert v values (1, 'a'), (2, 'b'), (3, 'c')"});
    check({
        {"declare @a int = 1, @b varchar(10) = 'x', @c datetime; select @a, @b, @c", "[1,x,NULL] (1)"},
        {"declare @a int; set @a = 5; set @a += 2; select @a", "[7] (1)"},
        {"declare @s varchar(10) = 'a'; set @s += 'b'; select @s", "[ab] (1)"},
        {"declare @n varchar(10) = 'keep'; select @n = name from v where id = 99; select @n", "(0) [keep] (1)"},
        {"declare @n varchar(10); select @n = name from v order by id; select @n", "(3) [c] (1)"},
        {"declare @a int, @b varchar(10); select @a = id, @b = name from v where id = 2; select @a, @b",
         "(1) [2,b] (1)"},
        {"declare @n varchar(10) = 'keep'; set @n = (select name from v where id = 99); select @n", "[NULL] (1)"},
        {"declare @n varchar(10) = 'keep'; set @n = (select name from v); select @n", "E512 [keep] (1)"},
        {"declare @n varchar(10) = 'keep'; select @n = (select name from v); select @n", "E512 [keep] (1)"},
        {"declare @n int; select @n = id, name from v", "E141"},
        {"select @undeclared", "E137"},
        {"declare @a int; declare @a int", "E134"},
        {"declare @i int = 10; select @i / 4, @i / 4.0", "[2,2.500000] (1)"},
        {"declare @t table (k int primary key, s varchar(5)); insert @t values (2, 'b'), (1, 'a'); "
         "select s from @t order by k",
         "(2) [a;b] (2)"},
    });
}

TEST_F(Conformance, ControlFlowAndPrint) {
    check({
        {"if 1 = 1 print 'yes' else print 'no'", "P:yes"},
        {"if null = null print 'yes' else print 'no'", "P:no"},
        {"if exists (select 1 where 1 = 0) print 'yes' else begin print 'a' print 'b' end", "P:a P:b"},
        {"declare @i int = 0; while @i < 3 begin set @i = @i + 1; print @i end", "P:1 P:2 P:3"},
        {"declare @i int = 0; while 1 = 1 begin set @i = @i + 1; if @i = 2 continue; if @i > 3 break; print @i end; "
         "print 'done'",
         "P:1 P:3 P:done"},
        {"print 'a'; return; print 'b'", "P:a"},
        {"print 'x' + cast(5 as varchar(5))", "P:x5"},
        {"print N'中文'", "P:中文"},
        {"declare @s varchar(10); print @s; print 'after'", "P: P:after"},
        {"print 1.50", "P:1.50"},
        {"while 1 = 0 print 'never'; print 'end'", "P:end"},
    });
}

class Procedures : public Conformance {
protected:
    void SetUp() override {
        Conformance::SetUp();
        setup({"create table log (msg varchar(30))",
               "create procedure add_log @m varchar(5), @times int = 1 as\n"
               "begin\n  declare @i int = 0\n  while @i < @times begin insert log values (@m); set @i += 1 end\n"
               "  return @i\nend",
               "create proc twice (@x int, @y int output) as set @y = @x * 2",
               "create proc outer_p @x int as\nbegin\n  declare @r int\n  exec inner_p @x, @r output\n"
               "  select @r as result\nend",
               "create proc inner_p @x int, @r int output as begin set @r = @x + 1; print 'inner' end",
               "create proc rows_p as select 1 as a union all select 2",
               "create proc noret as select 1 as a where 1 = 0",
               "create proc early @x int as begin if @x > 0 return 7; print 'not positive'; return end",
               "create proc fails as begin insert log values ('x'); select 1 / 0; print 'continues' end"});
    }
};

TEST_F(Procedures, CallForms) {
    check({
        {"exec add_log 'a'", "(1)"},
        {"exec add_log @m = 'b', @times = 2", "(1) (1)"},
        {"exec add_log @times = 1, @m = 'c'", "(1)"},
        {"execute add_log 'd', 0", ""},
        {"add_log 'e'", "(1)"},
        {"exec add_log 'toolong'; select msg from log where msg like 'tool%'", "(1) [toolo] (1)"},
        {"declare @rc int; exec @rc = add_log 'f', 3; select @rc", "(1) (1) (1) [3] (1)"},
        {"declare @rc int; exec @rc = noret; select @rc", "[] (0) [0] (1)"},
        {"declare @y int; exec twice 4, @y output; select @y", "[8] (1)"},
        {"declare @y int = 1; exec twice 4, @y; select @y", "[1] (1)"},
        {"declare @y int; exec twice @y = @y output, @x = 5; select @y", "[10] (1)"},
        {"exec outer_p 1", "P:inner [2] (1)"},
        {"exec rows_p; exec rows_p", "[1;2] (2) [1;2] (2)"},
        {"declare @rc int; exec @rc = early 1; select @rc; exec @rc = early -1; select @rc",
         "[7] (1) P:not positive [0] (1)"},
        {"exec fails; print 'next'", "(1) E8134 P:continues P:next"},
    });
}

TEST_F(Procedures, CallErrors) {
    check({
        {"exec add_log", "E201"},
        {"exec add_log 'a', 1, 2", "E8144"},
        {"exec add_log @m = 'a', @nosuch = 1", "E8145"},
        {"exec add_log @m = 'a', 2", "E119"},
        {"exec nosuch_proc", "E2812"},
        {"exec nosuch_proc; print 'after'", "E2812 P:after"},
        {"declare @y int; exec twice 'abc', @y output", "E8114"},
        {"create procedure add_log as select 1", "E2714"},
        {"select 1\ncreate procedure p2 as select 1", "E111"},
        {"drop procedure nosuch_proc", "E3701"},
    });
}

TEST_F(Procedures, DefinitionChanges) {
    check({
        {"drop procedure noret", ""},
        {"exec noret", "E2812"},
        {"create procedure late as select * from not_yet", ""},
        {"exec late", "E208"},
        {"create table not_yet (a int)", ""},
        {"exec late", "[] (0)"},
    });
}

TEST_F(Conformance, NestingLimitReportedInTheProcedure) {
    setup({"create proc rec @n int as\nbegin\n  declare @m int = @n - 1\n  exec rec @m\nend"});
    Recorder r = run("exec rec 40");
    ASSERT_FALSE(r.messages.empty());
    EXPECT_EQ(r.messages[0].number, 217);
    EXPECT_EQ(r.messages[0].procedure, "rec");
    EXPECT_EQ(r.messages[0].line, 4);
}

TEST_F(Conformance, AlterModules) {
    setup({"create table t (a int)", "create proc p as select 1 as a", "create view v as select a from t"});
    check({
        {"alter procedure p as select 2 as a", ""},
        {"exec p", "[2] (1)"},
        {"alter view v as select a, a + 1 as b from t", ""},
        {"select * from v", "[] (0)"},
    });
}

TEST_F(Conformance, ErrorsInsideModules) {
    setup({"create table t (id int identity(1,1), v int)", "create table logt (n int)",
           "create trigger t_ins on t after insert as\nbegin\n  insert logt (n) select v from inserted\n"
           "  declare @x int\n  set @x = 1 / 0\nend",
           "create proc pp as\nbegin\n  print 'in proc'\n  select * from nosuchtable\nend",
           "create proc p2 @a int = 1, @b int output as begin set @b = @a * 10; return @a end"});
    struct ModuleCase {
        const char* batch;
        const char* transcript;
        int number;
        const char* procedure;
        int line;
    } cases[] = {
        {"insert t (v) values (5); select 1", "(1) E8134", 8134, "t_ins", 5},
        {"exec pp", "P:in proc E208", 208, "pp", 4},
    };
    for (const auto& c : cases) {
        Recorder r = run(c.batch);
        EXPECT_EQ(normalized(r.transcript), c.transcript) << c.batch << "\n" << r.allText();
        const Message* m = nullptr;
        for (const auto& x : r.messages)
            if (x.isError() && !m) m = &x;
        ASSERT_NE(m, nullptr) << c.batch;
        EXPECT_EQ(m->number, c.number);
        EXPECT_EQ(m->procedure, c.procedure) << c.batch;
        EXPECT_EQ(m->line, c.line) << c.batch;
    }
    check({
        {"select count(*) from t; select count(*) from logt", "[0] (1) [0] (1)"},
        {"declare @r int, @o int; exec @r = p2 @b = @o output; select @r, @o", "[1,10] (1)"},
        {"declare @r int, @o int; exec @r = p2 5, @o out; select @r, @o", "[5,50] (1)"},
    });
}

TEST_F(Conformance, NestLevelsAndPatterns) {
    setup({"create table t (a int)", "insert t values (1), (2)", "create proc pn as select @@nestlevel",
           "create table l (n int)",
           "create trigger t_i on t after insert as print 'nest ' + cast(@@nestlevel as varchar(5))"});
    check({
        {"exec pn; select @@nestlevel", "[1] (1) [0] (1)"},
        {"insert t values (3)", "P:nest 1 (1)"},
        {"select count(*) from t where a like '1'", "[1] (1)"},
        {"select case when 'abc' like '%' + null then 1 else 0 end", "[0] (1)"},
        {"select 1 where N'张三' like N'张%'", "[1] (1)"},
        {"select 1 where '张三' like '_三'", "[1] (1)"},
        {"select 1 where 'a[b' like 'a[[]b'", "[1] (1)"},
        {"select count(*) from t where a between 2 and 1", "[0] (1)"},
        {"select distinct top 1 a from t order by a desc", "[3] (1)"},
        {"select a from t order by a offset 1 rows", "[2;3] (2)"},
    });
}

TEST_F(Conformance, DynamicSql) {
    check({
        {"exec ('select 1 as a')", "[1] (1)"},
        {"declare @s nvarchar(100) = N'select 2'; exec (@s)", "[2] (1)"},
        {"exec ('select 1 +'); print 'after'", "E102 P:after"},
    });
}

}  // namespace
}  // namespace qmconf
