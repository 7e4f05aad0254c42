// Indexes, computed columns, cascades, schema-qualified names, more aggregate,
// date and string edge cases, procedure/transaction interplay.
#include "Conformance.h"

namespace qmconf {
namespace {

TEST_F(Conformance, IndexesCascadesAndComputedColumns) {
    check({
        {"create table t (a int, b varchar(5)); create unique index ix_t_a on t (a); insert t values (1, 'x')", "(1)"},
        {"create index ix_t_b on t (b); drop index ix_t_b on t; drop index t.ix_t_a; insert t values (1, 'y')", "(1)"},
        {"create table par (id int primary key); create table kid (pid int references par(id) on delete cascade); "
         "insert par values (1), (2); insert kid values (1), (1), (2); delete par where id = 1; select count(*) from kid",
         "(2) (3) (1) [1] (1)"},
        {"drop table par", "E3726"},
        {"alter table t add constraint ck_t check (a > 0); insert t values (0, 'z')", "E547"},
        {"alter table t drop constraint ck_t; insert t values (0, 'z')", "(1)"},
        {"alter table t alter column b varchar(10); insert t values (5, 'abcdefgh'); select b from t where a = 5",
         "(1) [abcdefgh] (1)"},
        {"alter table t drop column b; select * from t where a = 5", "[5] (1)"},
        {"create table n0 (a int not null default 0, b int); insert n0 (b) values (1); select a from n0", "(1) [0] (1)"},
    });
}

TEST_F(Conformance, QualifiedNames) {
    setup({"create table dbo.q (a int)", "insert q values (1)", "create proc dbo.qp as select a from dbo.q"});
    check({
        {"select a from dbo.q", "[1] (1)"},
        {"select a from Conf.dbo.q", "[1] (1)"},
        {"select q.a, dbo.q.a from dbo.q", "[1,1] (1)"},
        {"exec dbo.qp", "[1] (1)"},
        {"exec Conf.dbo.qp", "[1] (1)"},
    });
}

TEST_F(Conformance, MoreAggregates) {
    setup({"create table s (id int, name varchar(10), grp char(1))",
           "insert s values (1, 'a', 'x'), (2, 'b', 'x'), (3, 'c', 'y'), (4, 'd', null), (4, 'e', 'y')"});
    check({
        {"select count(*) from s group by grp having grp is null", "[1] (1)"},
        {"select count(distinct id), count(all grp) from s", "[4,4] (1)"},
        {"select max(count(*)) from s", "E130"},
        {"select grp, count(*) from s group by grp order by count(*) desc, grp", "[x,2;y,2;NULL,1] (3)"},
        {"select avg(cast(id as numeric(10,2))) from s where id < 3", "[1.500000] (1)"},
        {"select max(name) + min(name), max(grp) from s", "[ea,y] (1)"},
        {"select count(*) from s s1 cross join s s2 where s2.id = 99", "[0] (1)"},
        {"select grp, max(id) from s group by grp having count(*) > 1 order by grp", "[x,2;y,4] (2)"},
        {"select id, count(*) from s group by id having count(*) > 1", "[4,2] (1)"},
        {"select (select count(*) from s i where i.grp = o.grp) c from s o where id = 1", "[2] (1)"},
    });
}

TEST_F(Conformance, MoreDateFunctions) {
    check({
        {"select datepart(dayofyear, '2007-03-01'), datepart(quarter, '2007-03-01'), datepart(month, '2007-12-31')",
         "[60,1,12] (1)"},
        {"select datediff(week, '2007-03-03', '2007-03-04'), datediff(hour, '2007-01-01 23:59', '2007-01-02 00:01')",
         "[1,1] (1)"},
        {"select dateadd(year, 1, '2008-02-29'), dateadd(minute, 90, '2007-01-01')",
         "[2009-02-28 00:00:00.000,2007-01-01 01:30:00.000] (1)"},
        {"select cast('2007-03-01 13:45:10.123' as smalldatetime)", "[2007-03-01 13:45:00] (1)"},
        {"select cast(39140 as datetime), cast(cast('2007-03-01' as datetime) as int)", "[2007-03-01 00:00:00.000,39140] (1)"},
        {"select convert(varchar(10), cast('2007-03-01' as date), 111)", "[2007/03/01] (1)"},
        {"select cast('2007-03-01 10:00' as datetime2)", "[2007-03-01 10:00:00.0000000] (1)"},
        {"select cast('2079-06-07' as smalldatetime)", "E242"},
        {"select day(0), month(0), year(0)", "[1,1,1900] (1)"},
    });
}

TEST_F(Conformance, MoreStringEdges) {
    check({
        {"select len(N'abc  '), '>' + 'abc' + space(2) + 'd'", "[3,>abc  d] (1)"},
        {"select replace('aaa', 'aa', 'b'), replicate('a', 0) + '|', replicate('a', -1), space(-1)", "[ba,|,NULL,NULL] (1)"},
        {"select right('abc', 0) + '|', substring('abc', 2, 0) + '|', charindex('b', 'abc', 0)", "[|,|,2] (1)"},
        {"select ascii(''), ascii(null), char(65)", "[NULL,NULL,A] (1)"},
        {"select rtrim(null), ltrim(N'  x')", "[NULL,x] (1)"},
        {"select upper(left('abc', 1)) + substring('abc', 2, len('abc'))", "[Abc] (1)"},
        {"select charindex('bc', 'abcbc', 3), charindex(N'三', N'张三')", "[4,2] (1)"},
        {"select 'a' + char(13) + char(10) + 'b'", "[a\r\nb] (1)"},
    });
}

TEST_F(Conformance, ProceduresAndTransactions) {
    setup({"create table t (a int)",
           "create proc commits as begin begin tran; insert t values (1); commit end",
           "create proc rolls as begin insert t values (2); rollback end",
           "create proc counts as select @@trancount",
           "create proc noout @x int as set @x = 5",
           "create proc defaults @a int = null, @b varchar(5) = 'dflt' as select isnull(@a, -1), @b"});
    check({
        {"exec commits; select count(*), @@trancount from t", "(1) [1,0] (1)"},
        {"begin tran; exec counts; commit", "[1] (1)"},
        {"exec defaults", "[-1,dflt] (1)"},
        {"exec defaults 3, default", "[3,dflt] (1)"},
        {"exec defaults @b = 'x'", "[-1,x] (1)"},
        {"create table #tmp (v int); insert #tmp values (7); exec ('select v from #tmp')", "(1) [7] (1)"},
    });
}

}  // namespace
}  // namespace qmconf
