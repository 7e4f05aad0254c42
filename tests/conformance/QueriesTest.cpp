// SELECT forms: TOP, DISTINCT, derived tables, subqueries, set operators,
// ORDER BY, GROUP BY/HAVING, joins; NULL semantics in predicates.
#include "Conformance.h"

namespace qmconf {
namespace {

class Queries : public Conformance {
protected:
    void SetUp() override {
        Conformance::SetUp();
        setup({"create table s (id int primary key, name varchar(10), grp char(1))",
               "insert s values (1, 'a', 'x'), (2, 'b', 'x'), (3, 'c', 'y'), (4, 'd', null)",
               "create table g (grp char(1), title varchar(10))",
               "insert g values ('x', 'ex'), ('z', 'zed')"});
    }
};

TEST_F(Queries, NullLogic) {
    check({
        {"select 1 where null = null", "[] (0)"},
        {"select 1 where not (null = 1)", "[] (0)"},
        {"select 1 where null is null", "[1] (1)"},
        {"select 1 where 1 in (1, null)", "[1] (1)"},
        {"select 1 where 1 not in (2, null)", "[] (0)"},
        {"select 1 where not (1 = 2 and null = 1)", "[1] (1)"},
        {"select 1 where 1 = 1 or null = 1", "[1] (1)"},
        {"select 1 + null, null * 0", "[NULL,NULL] (1)"},
        {"select count(*) from s where grp <> 'x'", "[1] (1)"},
        {"select count(*) from s where not grp = 'x'", "[1] (1)"},
        {"select count(*) from g where grp not in (select grp from s)", "[0] (1)"},
        {"select count(*) from g where grp not in (select grp from s where grp is not null)", "[1] (1)"},
        {"select count(*) from g where not exists (select * from s where s.grp = g.grp)", "[1] (1)"},
        {"select count(*) from s where grp between 'a' and 'x'", "[2] (1)"},
    });
}

TEST_F(Queries, TopDistinctAndOrdering) {
    check({
        {"select top 2 id from s order by id desc", "[4;3] (2)"},
        {"select top (2) id from s order by id", "[1;2] (2)"},
        {"declare @n int = 1; select top (@n) id from s order by id", "[1] (1)"},
        {"select top 1 with ties grp from s order by grp desc", "[y] (1)"},
        {"select top 2 with ties grp from s where grp is not null order by grp", "[x;x] (2)"},
        {"select distinct grp from s order by grp", "[NULL;x;y] (3)"},
        {"select grp from s order by grp desc, id", "[y;x;x;NULL] (4)"},
        {"select id as k from s order by k desc", "[4;3;2;1] (4)"},
        {"select name, id from s order by 2 desc", "[d,4;c,3;b,2;a,1] (4)"},
        {"select name from s order by id desc", "[d;c;b;a] (4)"},
        {"select id from s order by case when grp is null then 0 else 1 end, id desc", "[4;3;2;1] (4)"},
        {"select id from s order by 3", "E108"},
        {"select id from s order by id offset 1 rows fetch next 2 rows only", "[2;3] (2)"},
    });
}

TEST_F(Queries, SubqueriesAndDerivedTables) {
    check({
        {"select x.n from (select name as n, id from s) as x where x.id = 3", "[c] (1)"},
        {"select (select max(id) from s), (select name from s where id = 9)", "[4,NULL] (1)"},
        {"select name from s o where id = (select max(id) from s i where i.grp = o.grp) order by name", "[b;c] (2)"},
        {"select count(*) from s where exists (select * from g where g.grp = s.grp)", "[2] (1)"},
        {"select count(*) from s where grp in (select grp from g)", "[2] (1)"},
        {"select count(*) from s where id in (1, 3, 5)", "[2] (1)"},
        {"select count(*) from s where id > all (select id from s where id < 3)", "[2] (1)"},
        {"select count(*) from s where id = any (select id from s where id < 3)", "[2] (1)"},
        {"select count(*) from s where id < some (select id from s)", "[3] (1)"},
        {"select name, (select count(*) from s i where i.id <= o.id) from s o order by id", "[a,1;b,2;c,3;d,4] (4)"},
        {"select id from s where id = (select id from s)", "E512"},
        {"select * from (select id from s)", "E102"},
        {"select t.c from (select count(*) c from s) t", "[4] (1)"},
        {"select count(*) from (select 1 a) t", "[1] (1)"},
    });
}

TEST_F(Queries, SetOperators) {
    check({
        {"select grp from s union select grp from g order by grp", "[NULL;x;y;z] (4)"},
        {"select grp from s where grp = 'x' union all select grp from g where grp = 'x'", "[x;x;x] (3)"},
        {"select id from s union select 1 order by 1 desc", "[4;3;2;1] (4)"},
        {"select grp from s intersect select grp from g", "[x] (1)"},
        {"select grp from g except select grp from s", "[z] (1)"},
        {"select id, name from s union select 1", "E205"},
        {"select 1 union select '2' order by 1", "[1;2] (2)"},
    });
}

TEST_F(Queries, GroupingAndHaving) {
    check({
        {"select grp, count(*) from s group by grp order by grp", "[NULL,1;x,2;y,1] (3)"},
        {"select grp, count(*) c from s group by grp having count(*) > 1", "[x,2] (1)"},
        {"select grp from s group by grp having max(id) > 2 order by grp", "[NULL;y] (2)"},
        {"select count(*) from s having count(*) > 10", "[] (0)"},
        {"select count(*), sum(id) from s where 1 = 0", "[0,NULL] (1)"},
        {"select grp, count(*) from s where 1 = 0 group by grp", "[] (0)"},
        {"select grp, count(*) from s", "E8120"},
        {"select name from s group by grp", "E8120"},
        {"select upper(grp), count(*) from s where grp is not null group by upper(grp) order by 1", "[X,2;Y,1] (2)"},
        {"select id from s where count(*) > 1", "E147"},
    });
}

TEST_F(Queries, AliasesOnlyWhereTheServerAllowsThem) {
    check({
        {"select id as k from s order by k + 1", "E207"},
        {"select grp as g, count(*) from s group by g", "E207"},
        {"select id as k from s where k > 1", "E207"},
        {"select id from s group by id having k > 1", "E207"},
        {"select top 1 id from s order by 1 desc, id", "[4] (1)"},
        {"select id, name from s where id < 3 order by 2 desc, 1", "[2,b;1,a] (2)"},
    });
}

TEST_F(Queries, Joins) {
    check({
        {"select s.id, g.title from s join g on s.grp = g.grp order by s.id", "[1,ex;2,ex] (2)"},
        {"select s.id, g.title from s inner join g on g.grp = s.grp where s.id > 1", "[2,ex] (1)"},
        {"select s.id, g.title from s left join g on s.grp = g.grp order by s.id", "[1,ex;2,ex;3,NULL;4,NULL] (4)"},
        {"select s.id, g.title from s right outer join g on s.grp = g.grp order by g.title, s.id",
         "[1,ex;2,ex;NULL,zed] (3)"},
        {"select s.id, g.title from s full join g on s.grp = g.grp order by g.title, s.id",
         "[3,NULL;4,NULL;1,ex;2,ex;NULL,zed] (5)"},
        {"select count(*) from s cross join g", "[8] (1)"},
        {"select count(*) from s, g where s.grp = g.grp", "[2] (1)"},
        {"select count(*) from s a join s b on a.grp = b.grp", "[5] (1)"},
        {"select s.id from s left join g on s.grp = g.grp and g.title = 'none' where g.grp is null order by s.id",
         "[1;2;3;4] (4)"},
        {"select count(*) from s left join g on s.grp = g.grp where g.title = 'ex'", "[2] (1)"},
        {"select grp from s join g on s.grp = g.grp", "E209"},
        {"select s.nosuch from s", "E207"},
        {"select x.id from s", "E4104"},
        {"select * from s join g on s.grp = g.grp join s s2 on s2.id = s.id where s2.id = 1", "[1,a,x,x,ex,1,a,x] (1)"},
    });
}

TEST_F(Queries, CommonTableExpressionsWindowsAndCursors) {
    check({
        {"with c as (select id from s where id > 2) select count(*) from c", "[2] (1)"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 10) select sum(n) from c", "[55] (1)"},
        {"select id, row_number() over (order by id desc) from s order by id", "[1,4;2,3;3,2;4,1] (4)"},
        {"select grp, id, rank() over (partition by grp order by id) from s where grp is not null order by id",
         "[x,1,1;x,2,2;y,3,1] (3)"},
        {"select lag(id) over (order by id), lead(id) over (order by id) from s order by id",
         "[NULL,2;1,3;2,4;3,NULL] (4)"},
        {"select id from s order by id desc offset 0 rows fetch first 1 row only", "[4] (1)"},
        {"declare c cursor for select id from s where id < 3 order by id; declare @i int; open c; "
         "fetch next from c into @i; while @@fetch_status = 0 begin print @i; fetch next from c into @i end; "
         "close c; deallocate c",
         "P:1 P:2"},
        {"select 1 as [my col], 'x' 'alias', 2 as \"q\"", "[1,x,2] (1)"},
        {"select count(*) from s where name like '%' + 'b'", "[1] (1)"},
        {"select db_name(), count(*) from sys.tables where name = 's'", "[Conf,1] (1)"},
        {"select count(*) from information_schema.tables where table_name = 'G'", "[1] (1)"},
    });
}

TEST_F(Conformance, TopPercent) {
    setup({"create table s (id int)", "insert s values (1), (2), (3), (4)"});
    check({
        {"select top 50 percent id from s order by id", "[1;2] (2)"},
        {"select top 30 percent id from s order by id", "[1;2] (2)"},
        {"select top 0 percent id from s", "[] (0)"},
    });
}

TEST_F(Conformance, UnionResultTypeByPrecedence) {
    check({
        {"select 'a' union select 1", "E245"},
        {"select 1 union select 'a'", "E245"},
    });
}

TEST_F(Conformance, RecursiveCteStopsAtMaxRecursion) {
    check({
        {"with c (n) as (select 1 union all select n + 1 from c) select count(*) from c", "E530"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 200) select count(*) from c", "E530"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 200) select count(*) from c "
         "option (maxrecursion 500)", "[200] (1)"},
    });
}

}  // namespace
}  // namespace qmconf
