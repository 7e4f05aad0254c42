// Chinese_PRC_CI_AS behaviour: case-insensitive, accent-sensitive comparison,
// trailing blanks ignored by = but not by LIKE patterns, in every place a
// comparison happens (WHERE, ORDER BY, GROUP BY, DISTINCT, UNION, keys).
#include "Conformance.h"

namespace qmconf {
namespace {

TEST_F(Conformance, ComparisonRules) {
    check({
        {"select case when 'abc' = 'ABC' then 1 else 0 end", "[1] (1)"},
        {"select case when 'abc' = 'abc   ' then 1 else 0 end", "[1] (1)"},
        {"select case when 'abc' <> 'abc ' then 1 else 0 end", "[0] (1)"},
        {"select case when 'B' > 'a' then 1 else 0 end", "[1] (1)"},
        {"select case when 'a' = 'á' then 1 else 0 end", "[0] (1)"},
        {"select case when 'abc' like 'abc ' then 1 else 0 end", "[0] (1)"},
        {"select case when 'ABC' like 'a%' then 1 else 0 end", "[1] (1)"},
        {"select case when 'abc' like 'a_c' and 'abc' like '[a-c]bc' and 'abc' not like '[^a]%' then 1 else 0 end",
         "[1] (1)"},
        {"select case when '10%' like '10[%]' then 1 else 0 end", "[1] (1)"},
        {"select case when 'a_b' like 'a!_b' escape '!' then 1 else 0 end", "[1] (1)"},
        {"declare @c char(10) = 'Robert'; select case when @c like '%rt' then 1 else 0 end", "[1] (1)"},
        {"declare @c nchar(10) = N'Robert'; select case when @c like N'%rt' then 1 else 0 end", "[0] (1)"},
        {"declare @c nchar(10) = N'Robert'; select case when rtrim(@c) like N'%rt' then 1 else 0 end", "[1] (1)"},
        {"declare @c char(10) = 'abc'; declare @v varchar(10) = 'abc'; "
         "select case when @c = @v then 1 else 0 end",
         "[1] (1)"},
        {"select case when N'abc' = 'ABC ' then 1 else 0 end", "[1] (1)"},
    });
}

TEST_F(Conformance, OrderingGroupingAndKeys) {
    setup({"create table w (x varchar(10))", "insert w values ('b'), ('C'), ('a'), ('A '), ('c')"});
    check({
        {"select x from (select 'b' x union all select 'C' union all select 'a') s order by x", "[a;b;C] (3)"},
        {"select x from (select 'b' x union all select 'C' union all select 'a') s order by x desc", "[C;b;a] (3)"},
        {"select count(*) from w where x = 'a'", "[2] (1)"},
        {"select count(*) from w where x in ('A', 'B')", "[3] (1)"},
        {"select count(distinct x) from w", "[3] (1)"},
        {"select count(*) from (select distinct x from w) d", "[3] (1)"},
        {"select count(*) from (select x from w group by x) g", "[3] (1)"},
        {"select min(x), max(x) from (select 'b' x union all select 'C' union all select 'a') s", "[a,C] (1)"},
        {"select count(*) from (select 'a' u union select 'A' union select 'a ') s", "[1] (1)"},
        {"select count(*) from w where x > 'B'", "[2] (1)"},
    });
    check({
        {"create table u (x varchar(10) unique); insert u values ('abc'); insert u values ('ABC')", "(1) E2627"},
        {"insert u values ('abc ')", "E2627"},
        {"insert u values ('abd')", "(1)"},
        {"create table k (c char(3) primary key); insert k values ('a'); insert k values ('A')", "(1) E2627"},
        {"select c + '|' from k", "[a  |] (1)"},
    });
}

TEST_F(Conformance, IdentifiersIgnoreCase) {
    setup({"create table Student (Sno char(7), Sname varchar(10))", "insert Student values ('1', 'x')"});
    check({
        {"select SNAME from STUDENT where sNo = '1'", "[x] (1)"},
        {"declare @Var int = 3; select @var", "[3] (1)"},
        {"SELECT COUNT(*) FROM student", "[1] (1)"},
    });
}

TEST_F(Conformance, CollationBetweenColumns) {
    setup({"create table a (c char(5), n nvarchar(10))", "create table b (v varchar(10), k int)",
           "insert a values ('ab', N'AB'), ('Cd', N'x')", "insert b values ('AB', 1), ('ab  ', 2), ('cd', 3)"});
    check({
        {"select count(*) from a join b on a.n = b.v", "[2] (1)"},
        {"select count(*) from b where v in (select c from a)", "[3] (1)"},
        {"select count(*) from b where exists (select * from a where a.c = b.v and a.c = 'AB')", "[2] (1)"},
        {"select count(*) from a where c like 'ab'", "[1] (1)"},
        {"select count(*) from a where c like 'A_'", "[1] (1)"},
        {"select count(*) from (select c from a union select v from b) u", "[2] (1)"},
        {"select count(*) from (select v from b group by v) g", "[2] (1)"},
        {"select k from b where v = 'Ab' order by k", "[1;2] (2)"},
        {"select max(v) from b", "[cd] (1)"},
        {"select case v when 'ab' then 'same' else 'other' end from b where k = 1", "[same] (1)"},
        {"select count(*) from a, b where upper(a.c) = upper(b.v)", "[3] (1)"},
    });
    check({
        {"create table par (code varchar(5) primary key); create table kid (code varchar(5) references par(code)); "
         "insert par values ('ABC'); insert kid values ('abc'); insert kid values ('abc  ')",
         "(1) (1) (1)"},
        {"delete par", "E547"},
    });
}

TEST_F(Conformance, PaddedCharJoins) {
    setup({"create table a (c char(5), v2 varchar(10))", "create table b (v varchar(10), c2 char(8))",
           "insert a values ('ab', 'ab')", "insert b values ('AB', 'ab')"});
    check({
        {"select count(*) from a join b on a.c = b.v", "[1] (1)"},
        {"select count(*) from a, b where a.c = b.v", "[1] (1)"},
        {"select count(*) from a, b where a.c = b.c2", "[1] (1)"},
        {"select count(*) from a, b where a.v2 = b.c2", "[1] (1)"},
        {"select count(*) from a where c = v2", "[1] (1)"},
    });
}

}  // namespace
}  // namespace qmconf
