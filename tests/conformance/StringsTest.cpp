// String functions, concatenation, NULL-handling functions and CASE.
#include "Conformance.h"

namespace qmconf {
namespace {

TEST_F(Conformance, LengthAndSubstringFunctions) {
    check({
        {"select len(''), len(' '), len(null), len('  a'), len('a  ')", "[0,0,NULL,3,1] (1)"},
        {"select substring('abcdef', 2, 3), substring('abcdef', 0, 3), substring('abc', -1, 3)", "[bcd,ab,a] (1)"},
        {"select '>' + substring('abc', 5, 2) + '<', substring('abc', 2, 100)", "[><,bc] (1)"},
        {"select substring(N'张三丰', 2, 1), left(N'张三丰', 2), right('张三丰', 1)", "[三,张三,丰] (1)"},
        {"select left('abc', 5), right('abc', 5), left('abc', 0) + '|'", "[abc,abc,|] (1)"},
        {"select substring('abc', 1, -1)", "E537"},
        {"select substring(null, 1, 2), left(null, 1)", "[NULL,NULL] (1)"},
    });
}

TEST_F(Conformance, SearchAndReplaceFunctions) {
    check({
        {"select charindex('b', 'abcb'), charindex('b', 'abcb', 3), charindex('x', 'abc')", "[2,4,0] (1)"},
        {"select charindex('B', 'abc')", "[2] (1)"},
        {"select charindex('x', null)", "[NULL] (1)"},
        {"select replace('aXbxc', 'x', '-')", "[a-b-c] (1)"},
        {"select replace('abc', 'b', null)", "[NULL] (1)"},
        {"select replace('abc', 'b', '')", "[ac] (1)"},
        {"select reverse('abc'), replicate('ab', 3), '>' + space(3) + '<'", "[cba,ababab,>   <] (1)"},
    });
}

TEST_F(Conformance, TrimCaseAndConcatenation) {
    check({
        {"select ltrim('  a  ') + '|', '|' + rtrim('  a  ') + '|'", "[a  |,|  a|] (1)"},
        {"select upper('abc') + lower('DEF'), upper(null)", "[ABCdef,NULL] (1)"},
        {"select upper(N'abc张')", "[ABC张] (1)"},
        {"select 'book' + 'case', 'abc' + null", "[bookcase,NULL] (1)"},
        {"select concat('a', null, 'b'), concat(null, null) + '|'", "[ab,|] (1)"},
        {"select ascii('A'), char(66), unicode(N'张'), nchar(24352)", "[65,B,24352,张] (1)"},
        {"declare @c char(5) = 'ab'; select @c + 'x'", "[ab   x] (1)"},
        {"select 'it''s'", "[it's] (1)"},
    });
}

TEST_F(Conformance, NullFunctionsAndCase) {
    check({
        {"select isnull(null, 'x'), isnull('a', 'x'), isnull(null, null)", "[x,a,NULL] (1)"},
        {"declare @v varchar(2); select isnull(@v, 'abcdef'), coalesce(@v, 'abcdef')", "[ab,abcdef] (1)"},
        {"select coalesce(null, null, 3), coalesce(null, 'a')", "[3,a] (1)"},
        {"select nullif(1, 1), nullif(1, 2)", "[NULL,1] (1)"},
        {"select case when null = null then 1 else 0 end", "[0] (1)"},
        {"select case 'A' when 'a' then 'ci' else 'cs' end", "[ci] (1)"},
        {"select case 2 when 1 then 'one' when 2 then 'two' end, case 3 when 1 then 'one' end", "[two,NULL] (1)"},
        {"select case when 1 > 2 then 'a' when 2 > 1 then 'b' else 'c' end", "[b] (1)"},
        {"select iif(1 > 0, 'y', 'n')", "[y] (1)"},
        {"select case when 1 = 0 then 1 else 'x' end", "E245"},
        {"select case when 1 = 0 then 1 else '2' end + 1", "[3] (1)"},
    });
}

TEST_F(Conformance, StringFunctionsOnNumbersAndCursors) {
    setup({"create table s (id int, name varchar(10))", "insert s values (1, 'a'), (2, 'b'), (3, 'c')"});
    check({
        {"select left(12345, 2), substring(12345, 2, 2), replace(12.5, '.', ','), upper(1), len(1.50), reverse(123)",
         "[12,23,12,5,1,4,321] (1)"},
        {"select '1' + 1, 1 + '1', '1' + '1', cast(1 as varchar) + 1, N'1' + 1", "[2,2,11,2,2] (1)"},
        {"select 1 + 'a'", "E245"},
        {"declare c cursor local fast_forward for select id, name from s order by id; declare @i int, @n varchar(10); "
         "open c; fetch next from c into @i, @n; while @@fetch_status = 0 begin print @n; fetch next from c into @i, @n end; "
         "print @@fetch_status; close c; deallocate c",
         "P:a P:b P:c P:-1"},
        {"declare c2 cursor for select id from s; declare @i int, @n int; open c2; fetch next from c2 into @i, @n", "E16924"},
        {"select cast(cast('2007-03-02 18:00' as datetime) as int), datediff(day, 0, '2007-03-02')", "[39142,39141] (1)"},
        {"select cast('2007-03-02 12:00' as datetime) - 1", "[2007-03-01 12:00:00.000] (1)"},
    });
}

TEST_F(Conformance, NullifFollowsCollation) {
    check({{"select nullif('a', 'A'), nullif('a', 'a  ')", "[NULL,NULL] (1)"}});
}

TEST_F(Conformance, ReplicateLimit) {
    check({{"select len(replicate('a', 100000000)), len(replicate('ab', 5000))", "[8000,8000] (1)"}});
}

TEST_F(Conformance, CaseConvertsOnlyTheChosenBranch) {
    check({
        {"select case when 1 = 1 then 1 else 'x' end", "[1] (1)"},
        {"select case when 1 = 0 then 1 else '7' end", "[7] (1)"},
    });
}

TEST_F(Conformance, Quotename) {
    check({{"select quotename('a]b'), quotename('x', '''')", "[[a]]b],'x'] (1)"}});
}

}  // namespace
}  // namespace qmconf
