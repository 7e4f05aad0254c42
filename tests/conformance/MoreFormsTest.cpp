// Temporary tables, SELECT INTO, TRUNCATE, INSTEAD OF triggers, UPDATE(),
// SET options inside procedures, comments and quoted names, numeric scale rules.
#include "Conformance.h"

namespace qmconf {
namespace {

TEST_F(Conformance, TemporaryTablesAndSelectInto) {
    setup({"create table src (id int, name varchar(10))", "insert src values (1, 'a'), (2, 'b'), (3, 'c')"});
    check({
        {"create table #t (a int); insert #t values (1), (2); select count(*) from #t", "(2) [2] (1)"},
        {"insert #t values (3); select sum(a) from #t", "(1) [6] (1)"},
        {"create table #t (a int)", "E2714"},
        {"drop table #t; select * from #t", "E208"},
        {"select id, name into #copy from src where id > 1; select name from #copy order by id", "(2) [b;c] (2)"},
        {"select id, upper(name) as n into copy2 from src; select n from copy2 where id = 1", "(3) [A] (1)"},
        {"select * into copy2 from src", "E2714"},
        {"if object_id('tempdb..#copy') is not null drop table #copy; select object_id('tempdb..#copy')", "[NULL] (1)"},
    });
}

TEST_F(Conformance, TruncateAndDefaults) {
    setup({"create table d (id int identity(1,1), v int default 7, w varchar(5) default 'x')",
           "create table dlog (n int)", "create trigger d_del on d after delete as insert dlog values (1)"});
    check({
        {"insert d default values; select id, v, w from d", "(1) [1,7,x] (1)"},
        {"insert d (v) values (default); insert d (w) values ('y'); select count(*) from d where v = 7", "(1) (1) [3] (1)"},
        {"delete d where id = 1", "(1) (1)"},
        {"create table plain (v int); insert plain values (1), (1), (2); delete top (1) from plain where v = 1; "
         "update top (1) plain set v = 5 where v = 1; select v from plain order by v",
         "(3) (1) (1) [2;5] (2)"},
        {"truncate table d", ""},
        {"select count(*) from d; select count(*) from dlog", "[0] (1) [1] (1)"},
        {"truncate table nosuch", "E4701"},
    });
}

TEST_F(Conformance, SetOptionsRevertAfterProcedure) {
    setup({"create table n (a int)",
           "create proc quiet as begin set nocount on; insert n values (1) end",
           "create proc loud as insert n values (2)"});
    check({
        {"exec quiet; insert n values (3)", "{1} (1)"},
        {"exec loud", "(1)"},
        {"set nocount on; exec loud; set nocount off", "{1}"},
    });
}

TEST_F(Conformance, LexicalForms) {
    check({
        {"select 1 /* a /* nested */ comment */ + 1", "[2] (1)"},
        {"select 1 -- trailing comment\n + 2", "[3] (1)"},
        {"create table [my table] ([my col] int, [select] int); insert [my table] values (1, 2); "
         "select [my col], [select] from [my table]",
         "(1) [1,2] (1)"},
        {"select 'O''Brien', N'张''三'", "[O'Brien,张'三] (1)"},
        {"select 1\nselect 2;select 3;", "[1] (1) [2] (1) [3] (1)"},
        {"SeLeCt CoUnT(*) FrOm (SELECT 1 AS x) AS t", "[1] (1)"},
        {"select 0x4142, 1e2, .5, 1.", "[0x4142,100,0.5,1] (1)"},
    });
}

TEST_F(Conformance, NumericScaleRules) {
    check({
        {"select cast(1.5 as numeric(38,10)) * cast(2 as numeric(38,10))", "[3.000000] (1)"},
        {"select cast(1.5 as money) * cast(2 as money), cast(10 as money) / cast(4 as money)", "[3.0000,2.5000] (1)"},
        {"select 3 * cast(1.25 as numeric(5,2))", "[3.75] (1)"},
        {"select cast(1 as numeric(10,2)) / cast(3 as numeric(10,2))", "[0.3333333333333] (1)"},
        {"select cast(2 as numeric(5,1)) - cast(0.25 as numeric(5,2))", "[1.75] (1)"},
        {"select cast(99999.99 as numeric(7,2)) + 1", "[100000.99] (1)"},
        {"select 1 / 3 * 3", "[0] (1)"},
        {"select cast(12.345 as float), cast(1 as real) / 4", "[12.345,0.25] (1)"},
        {"select abs(cast(-2147483648 as bigint)), -(-5)", "[2147483648,5] (1)"},
    });
}

TEST_F(Conformance, VariableAssignmentPatterns) {
    setup({"create table v (id int, name varchar(10))", "insert v values (1, 'a'), (2, 'b'), (3, 'c')"});
    check({
        {"declare @n int; select @n = count(*) from v where id > 5; select @n", "(1) [0] (1)"},
        {"declare @m int = 9; select @m = max(id) from v where 1 = 0; select @m", "(1) [NULL] (1)"},
        {"declare @d datetime = '2007-03-01'; set @d = dateadd(day, 1, @d); select @d", "[2007-03-02 00:00:00.000] (1)"},
        {"declare @x varchar(5); set @x = 'abcdefgh'; select @x, len(@x)", "[abcde,5] (1)"},
        {"declare @i int = 0, @j int = 0; while @i < 3 begin set @i += 1; set @j = 0; "
         "while 1 = 1 begin set @j += 1; if @j >= 2 break end end; select @i, @j",
         "[3,2] (1)"},
        {"declare @c int = (select count(*) from v); select @c", "[3] (1)"},
    });
}

TEST_F(Conformance, CommonScriptForms) {
    setup({"create table s (id int primary key, name varchar(10))", "insert s values (1, 'a'), (2, 'b')"});
    check({
        {"select name from s with (nolock) where id = 1", "[a] (1)"},
        {"select s.name from s (nolock) where id = 1", "[a] (1)"},
        {"set ansi_nulls on; set quoted_identifier on; set ansi_padding on; set ansi_warnings on; "
         "set concat_null_yields_null on; set arithabort on; select 1",
         "[1] (1)"},
        {"use Conf", "W5701"},
        {"GO", "E2812"},
        {"create function dbo.f (@x int) returns int as begin return @x * 2 end", ""},
        {"select dbo.f(3), dbo.f(null)", "[6,NULL] (1)"},
        {"raiserror('now', 10, 1) with nowait", "W50000"},
        {"select len(cast(newid() as varchar(36)))", "[36] (1)"},
        {"select convert(varchar(36), cast('6F9619FF-8B86-D011-B42D-00C04FC964FF' as uniqueidentifier))",
         "[6F9619FF-8B86-D011-B42D-00C04FC964FF] (1)"},
        {"select a = 1, b = 'x', 2 'c'", "[1,x,2] (1)"},
        {"select id from s where id = '1'", "[1] (1)"},
        {"select id from s where id = 'x'", "E245"},
        {"select top 1 * from s order by id; select @@rowcount", "[1,a] (1) [1] (1)"},
    });
}

TEST_F(Conformance, NumericLimitsAndRounding) {
    check({
        {"select round(1.005, 2), round(-2.5, 0), round(2.45, 1)", "[1.010,-3.0,2.50] (1)"},
        {"select cast(1.005 as numeric(5,3)) * 100", "[100.500] (1)"},
        {"select convert(varchar(5), 12345.6)", "E8115"},
        {"select cast(123456 as char(3)) + '|'", "[*  |] (1)"},
        {"select len(123), len(12.50), datalength(123)", "[3,5,4] (1)"},
        {"select sqrt(-1)", "E3623"},
        {"select 2147483647 * 2", "E8115"},
        {"select 100000 * 100000", "E8115"},
        {"select cast(32768 as smallint)", "E8115"},
        {"select cast(1 as bigint) * 100000 * 100000", "[10000000000] (1)"},
        {"select 9223372036854775807 + 1, abs(-2147483648)", "[9223372036854775808,2147483648] (1)"},
        {"select 'x' where 1 = (select 1 union select 2)", "E512"},
    });
}

TEST_F(Conformance, TruncateResetsIdentity) {
    setup({"create table d (id int identity(1,1), v int)", "insert d (v) values (1), (2)"});
    check({{"truncate table d; insert d (v) values (3); select id from d", "(1) [1] (1)"}});
}

}  // namespace
}  // namespace qmconf
