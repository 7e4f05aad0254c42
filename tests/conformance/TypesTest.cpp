// Data types and conversions: padding, lengths, numeric precision and scale,
// integer division, money, float, bit, datetime parsing and display, CAST/CONVERT.
#include "Conformance.h"

namespace qmconf {
namespace {

TEST_F(Conformance, CharacterStorageAndLengths) {
    check({
        {"select '>' + cast('ab' as char(5)) + '<'", "[>ab   <] (1)"},
        {"declare @c char(5) = 'ab'; select datalength(@c), len(@c)", "[5,2] (1)"},
        {"declare @v varchar(5) = 'ab  '; select datalength(@v), len(@v)", "[4,2] (1)"},
        {"declare @v varchar = 'abc'; select @v", "[a] (1)"},
        {"declare @s char(3) = 'abcdef'; select @s", "[abc] (1)"},
        {"select cast('abcdefghijklmnopqrstuvwxyz0123456789' as varchar)", "[abcdefghijklmnopqrstuvwxyz0123] (1)"},
        {"select cast('abcdef' as varchar(3))", "[abc] (1)"},
        {"declare @n nvarchar(10) = N'张三'; select len(@n), datalength(@n)", "[2,4] (1)"},
        {"declare @v varchar(10) = '张三'; select len(@v), datalength(@v)", "[2,4] (1)"},
        {"declare @c char(8) = '张三'; select datalength(@c), '>' + @c + '<'", "[8,>张三    <] (1)"},
        {"select datalength(N'abc'), datalength('abc'), datalength(''), len('')", "[6,3,0,0] (1)"},
        {"declare @c char(10) = 'ab'; set @c = rtrim(@c) + '%'; select '>' + @c + '<'", "[>ab%       <] (1)"},
        {"create table t (c char(5), v varchar(5)); insert t values ('ab', 'ab  '); "
         "select '>' + c + '<', '>' + v + '<', datalength(c), datalength(v) from t",
         "(1) [>ab   <,>ab  <,5,4] (1)"},
        {"create table t2 (c char(2)); insert t2 values ('ab     '); select c, datalength(c) from t2",
         "(1) [ab,2] (1)"},
    });
}

TEST_F(Conformance, ChineseTextInByteSizedColumns) {
    setup({"create table t (c char(4), v varchar(4), n nvarchar(2))"});
    check({
        {"insert t values ('张三', '张三', N'张三'); select datalength(c), datalength(v), datalength(n), len(c) from t",
         "(1) [4,4,4,2] (1)"},
        {"insert t (c) values ('张三丰')", "E8152"},
        {"insert t (v) values ('张三a')", "E8152"},
        {"insert t (n) values (N'张三丰')", "E8152"},
        {"insert t (v) values (N'张三')", "(1)"},
        {"insert t (c) values ('张a'); select '>' + c + '<' from t where c like '张a%'", "(1) [>张a <] (1)"},
        {"declare @x varchar(3) = '张三'; select @x, datalength(@x)", "[张,2] (1)"},
        {"select left('张三丰', 2), substring('张三丰', 2, 1), cast('张三丰' as varchar(3))", "[张三,三,张] (1)"},
    });
}

TEST_F(Conformance, IntegerAndNumericArithmetic) {
    check({
        {"select 7 / 2, 7 % 3, -7 / 2, -7 % 3", "[3,1,-3,-1] (1)"},
        {"select 7 / 2.0", "[3.500000] (1)"},
        {"select 7.0 / 2", "[3.500000000000] (1)"},
        {"select 1.5 * 2.25", "[3.375] (1)"},
        {"select 0.1 + 0.25", "[0.35] (1)"},
        {"select 0.1 * 0.1", "[0.01] (1)"},
        {"select 1 + 1.5, 3 * 1.5", "[2.5,4.5] (1)"},
        {"select cast(10 as numeric(5,2)) / 3", "[3.3333333333333] (1)"},
        {"select cast(1 as numeric(5,2))", "[1.00] (1)"},
        {"select cast(123.456 as numeric(5,2))", "[123.46] (1)"},
        {"select cast(-123.455 as numeric(5,2))", "[-123.46] (1)"},
        {"select cast(2.5 as int), cast(-2.5 as int), cast(2.5 as numeric(5,0))", "[2,-2,3] (1)"},
        {"select cast(cast(2147483647 as bigint) + 1 as varchar(20))", "[2147483648] (1)"},
        {"select cast(2147483647 as bigint) + 1", "[2147483648] (1)"},
        {"select 1 + '1'", "[2] (1)"},
        {"select power(2, 10), abs(-5), sign(-3)", "[1024,5,-1] (1)"},
        {"select ceiling(1.2), floor(-1.2)", "[2,-2] (1)"},
        {"select round(1.2345, 2), round(1.2355, 3), round(125, -1)", "[1.2300,1.2360,130] (1)"},
    });
}

TEST_F(Conformance, ArithmeticErrors) {
    check({
        {"declare @i int; set @i = 1 / 0; select 2", "E8134 [2] (1)"},
        {"declare @i int; set @i = 5 % 0; select 2", "E8134 [2] (1)"},
        {"declare @i int; set @i = 2147483647 + 1; select 2", "E8115 [2] (1)"},
        {"declare @n numeric(5,2); set @n = 1234.5; select 2", "E8115 [2] (1)"},
    });
}

TEST_F(Conformance, MoneyFloatAndBit) {
    check({
        {"select cast(1.23456 as money)", "[1.2346] (1)"},
        {"select cast(10 as money) / 4", "[2.5000] (1)"},
        {"select cast('1,234.5' as money)", "[1234.5000] (1)"},
        {"select cast(1 as float) / 4", "[0.25] (1)"},
        {"select cast(5 as bit), cast(0 as bit), cast('true' as bit), cast('FALSE' as bit), cast(null as bit)",
         "[1,0,1,0,NULL] (1)"},
        {"select cast(-1 as bit)", "[1] (1)"},
        {"declare @b bit; set @b = 'yes'", "E245"},
    });
}

TEST_F(Conformance, StringToNumberConversions) {
    check({
        {"select cast('' as int), cast(' 12 ' as int), cast('-7' as int)", "[0,12,-7] (1)"},
        {"select cast('' as float), cast('' as bit), cast('' as money)", "[0,0,0.0000] (1)"},
        {"select cast('' as numeric(5,2))", "E8114"},
        {"select cast('123.4' as decimal)", "[123] (1)"},
        {"select cast('75.5' as numeric(18,0))", "[76] (1)"},
        {"select cast('123.456' as numeric(5,2))", "[123.46] (1)"},
        {"select cast('1,234' as numeric(10,2))", "E8114"},
        {"select cast('1234' as numeric(3,0))", "E8115"},
        {"declare @i int; set @i = '75.5'; select 1", "E245"},
        {"declare @i int; set @i = 'abc'; select 1", "E245"},
        {"declare @i int; set @i = '3000000000'", "E248"},
        {"declare @i smallint; set @i = '40000'", "E244"},
        {"select 'abc' + 1", "E245"},
        {"select convert(int, '12') + 1", "[13] (1)"},
        {"select isnumeric('12'), isnumeric('x')", "[1,0] (1)"},
        {"select cast(0x41 as varchar(1)), cast('A' as varbinary(1))", "[A,0x41] (1)"},
    });
}

TEST_F(Conformance, NumberToStringConversions) {
    check({
        {"select cast(123.45 as varchar(10))", "[123.45] (1)"},
        {"select cast(12 as varchar(10)) + 'x'", "[12x] (1)"},
        {"select convert(varchar(2), 123)", "[*] (1)"},
        {"select cast(1.0 / 3 as varchar(20))", "[0.333333333333] (1)"},
        {"select cast(cast(5 as money) as varchar(10))", "[5.00] (1)"},
        {"select concat(1, 2), concat('a', 1.50)", "[12,a1.50] (1)"},
    });
}

TEST_F(Conformance, DatetimeParsingAndDisplay) {
    check({
        {"select cast('2007-03-01' as datetime)", "[2007-03-01 00:00:00.000] (1)"},
        {"select cast('1986-10-1' as datetime), cast('1986/10/01' as datetime)",
         "[1986-10-01 00:00:00.000,1986-10-01 00:00:00.000] (1)"},
        {"select cast('19861001' as datetime)", "[1986-10-01 00:00:00.000] (1)"},
        {"select cast('20070301 13:45' as datetime)", "[2007-03-01 13:45:00.000] (1)"},
        {"select cast('2007-03-01T08:30:00.123' as datetime)", "[2007-03-01 08:30:00.123] (1)"},
        {"select cast('1998-01-01 23:59:59.999' as datetime)", "[1998-01-02 00:00:00.000] (1)"},
        {"select cast('2007-01-01 00:00:00.002' as datetime)", "[2007-01-01 00:00:00.003] (1)"},
        {"select cast('' as datetime)", "[1900-01-01 00:00:00.000] (1)"},
        {"select cast('2007-05-08 12:35:30' as smalldatetime)", "[2007-05-08 12:36:00] (1)"},
        {"select cast('2007-05-08 12:35:29' as smalldatetime)", "[2007-05-08 12:35:00] (1)"},
        {"select cast('2007-05-08 12:35:29' as date)", "[2007-05-08] (1)"},
        {"select cast('2007-02-29' as datetime)", "E242"},
        {"select cast('2007-13-01' as datetime)", "E242"},
        {"select cast('1600-01-01' as datetime)", "E242"},
        {"select cast('abc' as datetime)", "E241"},
        {"select cast('2008-02-29' as datetime)", "[2008-02-29 00:00:00.000] (1)"},
        {"select convert(datetime, '01/02/2007', 101)", "[2007-01-02 00:00:00.000] (1)"},
    });
}

TEST_F(Conformance, DatetimeStylesAndFunctions) {
    setup({"create table d (v datetime)", "insert d values ('1986-10-01 08:05:09.123')"});
    check({
        {"select convert(varchar(10), v, 23) from d", "[1986-10-01] (1)"},
        {"select convert(varchar(20), v, 120), convert(varchar(20), v, 20) from d",
         "[1986-10-01 08:05:09,1986-10-01 08:05:09] (1)"},
        {"select convert(varchar(30), v, 121) from d", "[1986-10-01 08:05:09.123] (1)"},
        {"select convert(varchar(10), v, 111), convert(varchar(8), v, 11) from d", "[1986/10/01,86/10/01] (1)"},
        {"select convert(varchar(8), v, 112), convert(varchar(6), v, 12) from d", "[19861001,861001] (1)"},
        {"select convert(varchar(10), v, 102), convert(varchar(10), v, 101) from d", "[1986.10.01,10/01/1986] (1)"},
        {"select convert(varchar(8), v, 108) from d", "[08:05:09] (1)"},
        {"select convert(varchar(30), v, 126) from d", "[1986-10-01T08:05:09.123] (1)"},
        {"select convert(varchar(10), v, 120) from d", "[1986-10-01] (1)"},
        {"select convert(char(10), v, 120) + '|' from d", "[1986-10-01|] (1)"},
        {"select year(v), month(v), day(v), datepart(hour, v), datepart(minute, v) from d", "[1986,10,1,8,5] (1)"},
        {"select dateadd(day, 1, '2007-02-28')", "[2007-03-01 00:00:00.000] (1)"},
        {"select dateadd(month, 1, '2007-01-31')", "[2007-02-28 00:00:00.000] (1)"},
        {"select datediff(month, '2007-01-31', '2007-02-01'), datediff(year, '2006-12-31', '2007-01-01')",
         "[1,1] (1)"},
        {"select datediff(day, '2007-03-20', '2007-03-01')", "[-19] (1)"},
        {"select cast('2007-03-01' as datetime) + 1", "[2007-03-02 00:00:00.000] (1)"},
        {"select datepart(weekday, '2007-03-04'), datename(weekday, '2007-03-04')", "[1,星期日] (1)"},
        {"select count(*) from d where v > '1986-10-01' and v < '1986-10-02'", "[1] (1)"},
        {"select count(*) from d where v = 'abc'", "E241"},
        {"select cast('12:30' as time), datediff(second, '2007-01-01', '2007-01-02')", "[12:30:00.0000000,86400] (1)"},
    });
}

TEST_F(Conformance, ResultColumnTypes) {
    setup({"create table n (i int, d numeric(18,0), m money, f float, s smallint, c char(4))",
           "insert n values (1, 75, 1.5, 1.0, 1, 'a'), (2, 76, 2.5, 2.0, 2, 'b')"});
    struct TypeCase {
        const char* batch;
        const char* type;
    } cases[] = {
        {"select 1", "int"},
        {"select 'abc'", "varchar(3)"},
        {"select N'ab'", "nvarchar(2)"},
        {"select 1.5", "numeric(2,1)"},
        {"select 7 / 2.0", "numeric(17,6)"},
        {"select 'a' + 'bc'", "varchar(3)"},
        {"select cast(1 as bit)", "bit"},
        {"select getdate()", "datetime"},
        {"select cast('x' as varchar)", "varchar(30)"},
        {"select avg(i) from n", "int"},
        {"select avg(s) from n", "int"},
        {"select sum(s) from n", "int"},
        {"select avg(d) from n", "numeric(38,6)"},
        {"select sum(d) from n", "numeric(38,0)"},
        {"select avg(m), sum(m) from n", "money"},
        {"select avg(f) from n", "float"},
        {"select count(*) from n", "int"},
        {"select count_big(*) from n", "bigint"},
        {"select max(c) from n", "char(4)"},
        {"select isnull(null, 1)", "int"},
        {"select len('abc')", "int"},
        {"select 1 + cast(1 as bigint)", "bigint"},
        {"select 1 + 1.0e0", "float"},
    };
    for (const auto& c : cases) {
        Recorder r = run(c.batch);
        ASSERT_FALSE(r.sets.empty()) << c.batch << "\n" << r.allText();
        EXPECT_EQ(r.sets[0].columns.at(0).type.name(), c.type) << c.batch;
    }
}

TEST_F(Conformance, StringTimesString) {
    check({{"select '5' * '2'", "E8117"}, {"select '5' - '2'", "E8117"}});
}

TEST_F(Conformance, ConvertDateStyles) {
    check({{"select convert(datetime, '02/01/2007', 103), convert(datetime, '02.01.2007', 104)",
            "[2007-01-02 00:00:00.000,2007-01-02 00:00:00.000] (1)"}});
}

TEST_F(Conformance, DatalengthOfIntegers) {
    check({{"select datalength(cast(1 as bigint)), datalength(cast(1 as smallint)), datalength(cast(1 as tinyint))",
            "[8,2,1] (1)"}});
}

TEST_F(Conformance, StrFunction) {
    check({{"select str(3.14159, 6, 2), str(12), str(123456, 3)", "[  3.14,        12,***] (1)"}});
}

TEST_F(Conformance, MathDomainErrors) {
    check({{"select power(10, 10)", "E232"}, {"select log(0)", "E3623"}});
}

}  // namespace
}  // namespace qmconf
