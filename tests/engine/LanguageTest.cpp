// T-SQL language coverage: statement forms, expressions, conversions, errors.
#include "Harness.h"

namespace qmtest {
namespace {

class Language : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        script(
            "create table emp (id int identity(1,1) primary key, name varchar(20) not null, dept char(3), "
            "salary numeric(10,2), hired datetime default getdate(), active bit default 1)\nGO\n"
            "insert into emp(name, dept, salary) values ('Ann','A01',1000.50),('bob','A01',2000),('Cid','B02',1500)\n"
            "insert emp(name, dept, salary) values ('Dee', null, null)\n");
    }
};

TEST_F(Language, ScalarExpressionsAsOnTheServer) {
    struct Case {
        const char* sql;
        const char* expected;
    } cases[] = {
        {"select 'book' + 'case'", "bookcase"},
        {"select 1 + '1'", "2"},
        {"select 7 / 2", "3"},
        {"select 7 % 3", "1"},
        {"select 7.0 / 2", "3.500000000000"},
        {"select -7 / 2", "-3"},
        {"select 'abc' + null", "NULL"},
        {"select isnull(null, 'x')", "x"},
        {"select coalesce(null, null, 3)", "3"},
        {"select len('abc   ')", "3"},
        {"select datalength('张三')", "4"},
        {"select upper('abc') + lower('DEF')", "ABCdef"},
        {"select substring('abcdef', 2, 3)", "bcd"},
        {"select left('abcdef', 2) + right('abcdef', 2)", "abef"},
        {"select ltrim('  x') + rtrim('y  ') + '|'", "xy|"},
        {"select replace('aXbxc', 'x', '-')", "a-b-c"},
        {"select charindex('c', 'abcabc')", "3"},
        {"select cast('12' as int) + 1", "13"},
        {"select convert(varchar(10), cast('1986-10-1' as datetime), 120)", "1986-10-01"},
        {"select cast('1986-10-1' as datetime)", "1986-10-01 00:00:00.000"},
        {"select year('1986-10-01') * 100 + month('1986-10-01')", "198610"},
        {"select datediff(day, '2007-03-01', '2007-03-20')", "19"},
        {"select datename(month, '2007-03-20') + datename(weekday, '2007-03-20')", "03星期二"},
        {"select case when 1 = 1 then 'yes' else 'no' end", "yes"},
        {"select case 2 when 1 then 'one' when 2 then 'two' end", "two"},
        {"select case when 1 = 1 then '7' else 1 end + 1", "8"},
        {"select 'abc' where 'ABC' = 'abc  '", "abc"},
        {"select count(*) from emp where name like 'a%'", "1"},
        {"select count(*) from emp where name like '[AB]%'", "2"},
        {"select count(*) from emp where dept is null", "1"},
        {"select count(dept) from emp", "3"},
        {"select count(distinct dept) from emp", "2"},
        {"select sum(salary) from emp", "4500.50"},
        {"select avg(salary) from emp", "1500.166666"},
        {"select max(name) from emp", "Dee"},
        {"select min(id) from emp where salary between 1500 and '2000'", "2"},
        {"select count(*) from emp where dept in ('a01', 'x')", "2"},
        {"select count(*) from emp where id not in (select id from emp where dept = 'A01')", "2"},
        {"select count(*) from emp where salary >= all (select salary from emp where salary is not null)", "1"},
        {"select count(*) from emp where salary > any (select salary from emp where dept = 'A01')", "2"},
        {"select count(*) from emp where dept = some (select 'a01')", "2"},
        {"select count(*) from emp e where exists (select * from emp x where x.dept = e.dept and x.id <> e.id)", "2"},
        {"select (select max(salary) from emp)", "2000.00"},
        {"select top 1 name from emp order by salary desc", "bob"},
        {"select name from emp order by 1 desc", "Dee"},
        {"select x.n from (select name as n, id from emp) as x where x.id = 3", "Cid"},
        {"select active from emp where id = 4", "1"},
        {"select @@rowcount", "1"},
        {"select abs(-5) + ceiling(1.2) + floor(1.8)", "8"},
        {"select round(1.2345, 2)", "1.2300"},
        {"select concat('a', null, 1)", "a1"},
        {"select try_cast('abc' as int)", "NULL"},
        {"select try_convert(int, '12') + 1", "13"},
        {"select stuff('abcdef', 2, 3, 'XY')", "aXYef"},
        {"select patindex('%c_e%', 'abcdef')", "3"},
        {"select choose(2, 'a', 'b', 'c')", "b"},
        {"select isdate('2007-02-30')", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(scalar(c.sql), c.expected);
    }
}

TEST_F(Language, StatementFormsTheFormsSend) {
    const char* forms[] = {
        "select * from emp ",
        "select * from  emp where name ='Ann'",
        "select count(*) from emp where dept='A01'",
        "select * from emp where id between '1' and '3'",
        "Delete emp where name='nobody'",
        "delete from emp where name='nobody'",
        "update emp set name='Ann', dept='A01' where id='1'",
        "update  emp set salary = '12'  where name='Ann'",
        "insert into emp(name,dept,salary) values('Eve','C03','5')",
        "select name from emp ",
        "SELECT e.name, d.cnt FROM emp e INNER JOIN (select dept, count(*) cnt from emp group by dept) d ON e.dept = d.dept",
        "select name, dept from emp e left join (select 'A01' as code) c on c.code = e.dept",
        "select dept, count(*) as n from emp group by dept having count(*) > 1",
        "select name n1, n2 = dept, salary as 'pay' from emp",
        "select distinct dept from emp",
        "select name from emp union select dept from emp",
        "select name from emp union all select 'x' order by 1",
        "select * from dbo.emp where dbo.emp.id = 1",
        "select [name] from [dbo].[emp] where \"id\" = 1",
        "SELECT * FROM emp; SELECT * FROM emp",
        "select * from emp -- comment\n/* block /* nested */ */ where id = 1",
        "select N'中文' + name from emp",
    };
    for (const char* sql : forms) {
        SCOPED_TRACE(sql);
        ok(sql);
    }
    auto r = ok("select name n1, n2 = dept, salary as 'pay', salary * 2 from emp");
    EXPECT_EQ(r.sets[0].columns[0].name, "n1");
    EXPECT_EQ(r.sets[0].columns[1].name, "n2");
    EXPECT_EQ(r.sets[0].columns[2].name, "pay");
    EXPECT_EQ(r.sets[0].columns[3].name, "");
    EXPECT_EQ(r.sets[0].columns[0].baseTable, "emp");
    EXPECT_EQ(r.sets[0].columns[0].baseColumn, "name");
    EXPECT_EQ(r.sets[0].columns[3].baseTable, "");
}

TEST_F(Language, ConversionsIntoColumns) {
    ok("create table c (i int, n numeric(5,2), d datetime, s char(4), v varchar(4), b bit)");
    ok("insert into c values ('', '1.005', '1986-10-1', 'ab', 'ab  ', 'TRUE')");
    auto r = ok("select i, n, d, '[' + s + ']', '[' + v + ']', b from c");
    EXPECT_EQ(r.sets[0].text(0, 0), "0");
    EXPECT_EQ(r.sets[0].text(0, 2), "1986-10-01 00:00:00.000");
    EXPECT_EQ(r.sets[0].text(0, 3), "[ab  ]");
    EXPECT_EQ(r.sets[0].text(0, 4), "[ab  ]");
    EXPECT_EQ(r.sets[0].text(0, 5), "1");
    EXPECT_EQ(run("insert into c(d) values ('1986-13-1')").errorNumbers(), (std::vector<int>{242}));
    EXPECT_EQ(run("insert into c(s) values ('abcde')").errorNumbers(), (std::vector<int>{8152}));
    EXPECT_EQ(run("update c set v = 'abcdef'").errorNumbers(), (std::vector<int>{8152}));
    EXPECT_EQ(run("insert into c(n) values ('')").errorNumbers(), (std::vector<int>{8114}));
    EXPECT_EQ(scalar("select count(*) from c"), "1");
    // 245 ends the batch: the PRINT does not run
    auto s = run("insert into c(i) values ('abc') print 'after'");
    EXPECT_EQ(s.errorNumbers(), (std::vector<int>{245}));
    EXPECT_EQ(s.messages.size(), 1u);
    // 8152 ends only its statement
    auto t = run("insert into c(s) values ('abcde') print 'after'");
    ASSERT_EQ(t.messages.size(), 3u);
    EXPECT_EQ(t.messages[2].text, "after");
    // the same statement shape with a longer literal is still checked
    ok("insert into c(v) values ('ab')");
    EXPECT_EQ(run("insert into c(v) values ('abcdefgh')").errorNumbers(), (std::vector<int>{8152}));
    // variables and parameters cut silently
    EXPECT_EQ(scalar("declare @x char(3) = 'abcdef' select @x"), "abc");
}

TEST_F(Language, VariablesAndControlFlow) {
    auto r = ok(
        "declare @i int, @s varchar(100)\n"
        "set @i = 0 set @s = ''\n"
        "while @i < 5 begin\n"
        "  set @i = @i + 1\n"
        "  if @i = 2 continue\n"
        "  if @i = 4 break\n"
        "  set @s = @s + cast(@i as varchar(10))\n"
        "end\n"
        "select @s, @i");
    EXPECT_EQ(r.sets[0].text(0, 0), "13");
    EXPECT_EQ(r.sets[0].text(0, 1), "4");
    auto a = ok("declare @n varchar(20) select @n = name from emp where id = 2 select @n");
    EXPECT_EQ(a.sets[0].text(0, 0), "bob");
    // no row keeps the value; a subquery with none gives NULL
    EXPECT_EQ(scalar("declare @n varchar(20) = 'keep' select @n = name from emp where id = 99 select @n"), "keep");
    EXPECT_EQ(scalar("declare @n varchar(20) = 'keep' set @n = (select name from emp where id = 99) select @n"), "NULL");
    EXPECT_EQ(run("declare @n int set @n = (select id from emp)").errorNumbers(), (std::vector<int>{512}));
    EXPECT_EQ(run("select @undeclared").errorNumbers(), (std::vector<int>{137}));
    EXPECT_EQ(run("declare @a int declare @a int").errorNumbers(), (std::vector<int>{134}));
    auto p = ok("print 'hello' print 12");
    ASSERT_EQ(p.messages.size(), 2u);
    EXPECT_EQ(p.messages[0].text, "hello");
    EXPECT_EQ(p.messages[0].number, 0);
    EXPECT_EQ(p.messages[1].text, "12");
    auto n = ok("set nocount on select * from emp set nocount off select * from emp");
    ASSERT_EQ(n.events.size(), 4u);
    EXPECT_FALSE(n.events[1].shown);
    EXPECT_TRUE(n.events[3].shown);
}

TEST_F(Language, SelectAssignmentSeesThePreviousRow) {
    ok("create table w (id int primary key, name varchar(10), n int)");
    ok("insert w values (1, 'c', 10), (2, 'a', 1), (3, 'b', 100), (4, 'd', null)");
    struct Case {
        const char* batch;
        const char* expected;
    } cases[] = {
        // every row adds to what the rows before it left
        {"declare @s varchar(100) = '' select @s = @s + name from w where id < 4 order by name select @s", "abc"},
        {"declare @s varchar(100) = '' select @s = @s + name from w where id < 4 order by name desc select @s", "cba"},
        {"declare @s varchar(100) = '' select @s = @s + name + ',' from w where id < 4 order by id select @s",
         "c,a,b,"},
        {"declare @s varchar(100) = '>' select @s = name + @s from w where name is not null order by n select @s",
         "bcad>"},
        {"declare @n int = 0 select @n = @n + n from w where n is not null select @n", "111"},
        {"declare @s varchar(100) = '' select top 2 @s = @s + name from w order by name select @s", "ab"},
        {"declare @n int = 5 select @n = @n * 2 + n from w where id in (1, 2) order by id select @n", "41"},
        {"declare @n int = 0 select @n = @n + n from w order by id select @n", "NULL"},  // NULL + n is NULL
        {"declare @n int = 0, @k int = 0 select @n = @n + n, @k = @k + 1 from w where n > 5 order by n select "
         "cast(@n as varchar) + '/' + cast(@k as varchar)",
         "110/2"},
        // a plain assignment keeps the last row, and no row leaves the variable alone
        {"declare @v varchar(10) = 'x' select @v = name from w order by id select @v", "d"},
        {"declare @v varchar(10) = 'x' select @v = name from w order by id desc select @v", "c"},
        {"declare @v varchar(10) = 'x' select @v = name from w where id > 9 select @v", "x"},
        {"declare @s varchar(10) = 'x' select @s = @s + name from w where id > 9 order by name select @s", "x"},
    };
    for (const auto& c : cases) EXPECT_EQ(scalar(c.batch), c.expected) << c.batch;
    // the same batch run again starts from its own declaration
    EXPECT_EQ(scalar("declare @s varchar(100) = '' select @s = @s + name from w where id < 4 order by name select @s"),
              "abc");
}

TEST_F(Language, IdentityDefaultsAndInsertSelect) {
    EXPECT_EQ(column("select id from emp order by id"), (std::vector<std::string>{"1", "2", "3", "4"}));
    ok("insert into emp(name) select name + '2' from emp where dept = 'A01'");
    EXPECT_EQ(column("select id from emp where name like '%2' order by id"), (std::vector<std::string>{"5", "6"}));
    EXPECT_EQ(scalar("select active from emp where id = 5"), "1");
    ok("update emp set active = 0 where id = 5");
    ok("update emp set active = default where id = 5");
    EXPECT_EQ(scalar("select active from emp where id = 5"), "1");
    EXPECT_NE(scalar("select hired from emp where id = 5"), "NULL");
    EXPECT_EQ(scalar("select @@identity"), "6");
    EXPECT_EQ(run("insert into emp(id, name) values (50, 'x')").errorNumbers(), (std::vector<int>{544}));
    ok("set identity_insert emp on insert into emp(id, name) values (50, 'x') set identity_insert emp off");
    ok("insert into emp(name) values ('next')");
    EXPECT_EQ(scalar("select max(id) from emp"), "51");
    EXPECT_EQ(run("insert into emp values ('x')").errorNumbers(), (std::vector<int>{213}));
    EXPECT_EQ(run("insert into emp(name, dept) values ('x')").errorNumbers(), (std::vector<int>{109}));
}

TEST_F(Language, UpdateAndDeleteWithFrom) {
    ok("create table bonus (dept char(3), amount int)");
    ok("insert into bonus values ('A01', 10), ('B02', 20)");
    ok("update e set salary = salary + b.amount from emp e join bonus b on b.dept = e.dept");
    EXPECT_EQ(scalar("select salary from emp where id = 3"), "1520.00");
    ok("update emp set salary = 0 from bonus where bonus.dept = emp.dept and bonus.amount = 20");
    EXPECT_EQ(scalar("select salary from emp where id = 3"), "0.00");
    auto d = ok("delete e from emp e inner join bonus b on b.dept = e.dept where b.amount = 10");
    ASSERT_FALSE(d.counts.empty());
    EXPECT_EQ(d.counts.back(), 2);
    EXPECT_EQ(scalar("select count(*) from emp"), "2");
}

TEST_F(Language, TransactionsAndAtomicity) {
    ok("begin tran delete emp rollback");
    EXPECT_EQ(scalar("select count(*) from emp"), "4");
    ok("begin transaction delete emp where id = 1 commit transaction");
    EXPECT_EQ(scalar("select count(*) from emp"), "3");
    // a failing multi-row insert leaves nothing behind
    EXPECT_EQ(run("insert into emp(name) values ('ok'), (null)").errorNumbers(), (std::vector<int>{515}));
    EXPECT_EQ(scalar("select count(*) from emp"), "3");
    // XACT_ABORT: the error undoes the whole transaction and ends the batch
    auto x = run("set xact_abort on begin tran delete emp where id = 2 insert into emp(name) values (null) print 'no'");
    EXPECT_EQ(x.errorNumbers(), (std::vector<int>{515}));
    EXPECT_EQ(scalar("select @@trancount"), "0");
    EXPECT_EQ(scalar("select count(*) from emp"), "3");
    ok("set xact_abort off");
    EXPECT_EQ(scalar("begin tran select xact_state()"), "1");
    ok("rollback");
    EXPECT_EQ(run("commit").errorNumbers(), (std::vector<int>{3902}));
    EXPECT_EQ(run("rollback").errorNumbers(), (std::vector<int>{3903}));
}

TEST_F(Language, ErrorsCarryNumberLineAndText) {
    auto s = run("select *\nfrom nosuchtable");
    ASSERT_EQ(s.errorNumbers(), (std::vector<int>{208}));
    EXPECT_EQ(s.messages[0].text, "对象名 'nosuchtable' 无效。");
    auto c = run("select nosuchcol from emp");
    ASSERT_EQ(c.errorNumbers(), (std::vector<int>{207}));
    EXPECT_EQ(c.messages[0].text, "列名 'nosuchcol' 无效。");
    auto x = run("select * from emp\nwhere");
    ASSERT_EQ(x.errorNumbers(), (std::vector<int>{156}));
    EXPECT_EQ(x.messages[0].line, 2);
    auto y = run("select name frm emp");
    ASSERT_EQ(y.errorNumbers(), (std::vector<int>{102}));
    EXPECT_EQ(y.messages[0].text, "“emp”附近有语法错误。");
    // a syntax error anywhere stops the whole batch before it runs
    auto z = run("print 'first'\nselect * from emp where (");
    EXPECT_EQ(z.messages.size(), 1u);
    EXPECT_EQ(run("select 1/0").errorNumbers(), (std::vector<int>{8134}));
    EXPECT_EQ(run("select 'x' from emp group by").errorNumbers().size(), 1u);
}

TEST_F(Language, BadInputNeverCrashes) {
    std::string garbage;
    for (int i = 0; i < 2000; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
    EXPECT_FALSE(run(garbage).errorNumbers().empty());
    EXPECT_FALSE(run(std::string("select '\0' + 1", 15)).errorNumbers().empty());
    EXPECT_FALSE(run("select 'unterminated").errorNumbers().empty());
    EXPECT_FALSE(run("/* unterminated").errorNumbers().empty());
    std::string deep = "select ";
    for (int i = 0; i < 5000; ++i) deep += "(";
    deep += "1";
    for (int i = 0; i < 5000; ++i) deep += ")";
    EXPECT_EQ(run(deep).errorNumbers(), (std::vector<int>{191}));
    std::string deepIf;
    for (int i = 0; i < 3000; ++i) deepIf += "if 1=1 ";
    deepIf += "print 1";
    EXPECT_FALSE(run(deepIf).errorNumbers().empty());
    std::string huge = "select count(*) from emp where name in (";
    for (int i = 0; i < 20000; ++i) huge += (i ? ",'" : "'") + std::to_string(i) + "'";
    huge += ")";
    EXPECT_EQ(scalar(huge), "0");
    EXPECT_EQ(run("").errorNumbers().size(), 0u);
    EXPECT_EQ(run(";;;").errorNumbers().size(), 0u);
    // the session still works
    EXPECT_EQ(scalar("select count(*) from emp"), "4");
}

TEST_F(Language, DefinitionsAndDrops) {
    ok("create view v_emp as select id, name from emp where dept = 'A01'");
    EXPECT_EQ(run("create view v_emp as select 1 as x").errorNumbers(), (std::vector<int>{2714}));
    EXPECT_EQ(run("create view v_bad as select * from nothing").errorNumbers(), (std::vector<int>{208}));
    EXPECT_EQ(scalar("select count(*) from v_emp"), "2");
    ok("insert into v_emp(name) values ('Via')");
    EXPECT_EQ(scalar("select count(*) from emp"), "5");
    ok("create procedure p_count @d char(3) = 'A01', @n int output as select @n = count(*) from emp where dept = @d return 7");
    auto r = ok("declare @c int, @rc int exec @rc = p_count @n = @c output select @c, @rc");
    EXPECT_EQ(r.sets.back().text(0, 0), "2");
    EXPECT_EQ(r.sets.back().text(0, 1), "7");
    ok("drop view v_emp");
    ok("drop procedure p_count");
    EXPECT_EQ(run("drop table nothing").errorNumbers(), (std::vector<int>{3701}));
    ok("drop table if exists nothing");
    ok("if object_id('emp') is not null drop table emp");
    EXPECT_EQ(run("select * from emp").errorNumbers(), (std::vector<int>{208}));
    ok("create procedure p_alter as select 1");
    ok("alter procedure p_alter as select 2");
    EXPECT_EQ(scalar("exec p_alter"), "2");
    ok("create or alter procedure p_alter as select 3");
    EXPECT_EQ(scalar("exec p_alter"), "3");
    EXPECT_EQ(run("alter procedure p_none as select 1").errorNumbers(), (std::vector<int>{208}));
    ok("create or alter view v_alter as select 1 as one");
    ok("alter view v_alter as select 2 as two");
    EXPECT_EQ(scalar("select two from v_alter"), "2");
    auto t = run("create procedure p1 as select 1\nselect 2");
    EXPECT_TRUE(t.errorNumbers().empty());
    EXPECT_EQ(run("select 1 create procedure p2 as select 1").errorNumbers(), (std::vector<int>{111}));
}

TEST_F(Language, TriggerNestingIsLimited) {
    ok("create table a (n int)");
    ok("create table b (n int)");
    ok("create trigger ta on a for insert as insert into b select n + 1 from inserted");
    ok("create trigger tb on b for insert as insert into a select n + 1 from inserted");
    auto s = run("insert into a values (1)");
    EXPECT_EQ(s.errorNumbers(), (std::vector<int>{217}));
    EXPECT_EQ(scalar("select count(*) from a"), "0");
    EXPECT_EQ(scalar("select count(*) from b"), "0");
}

TEST_F(Language, TwoSessionsShareOneFile) {
    auto other = openSecond(200);
    ASSERT_TRUE(other);
    RecordingSink s;
    other->execute("insert into emp(name) values ('fromOther')", s);
    EXPECT_TRUE(s.errorNumbers().empty()) << s.allText();
    EXPECT_EQ(scalar("select count(*) from emp"), "5");
    // a table made by the other program is found
    RecordingSink t;
    other->execute("create table shared (x int)", t);
    ok("insert into shared values (1)");
    // a lock held past the timeout is an error, not a hang
    ok("begin tran insert into emp(name) values ('locker')");
    RecordingSink u;
    other->execute("insert into emp(name) values ('blocked')", u);
    EXPECT_EQ(u.errorNumbers(), (std::vector<int>{1222}));
    ok("commit");
    RecordingSink w;
    other->execute("insert into emp(name) values ('after')", w);
    EXPECT_TRUE(w.errorNumbers().empty()) << w.allText();
}

TEST_F(Language, Databases) {
    EXPECT_EQ(run("create database test").errorNumbers(), (std::vector<int>{1801}));
    ok("create database Other");
    auto u = ok("use other");
    EXPECT_EQ(session->currentDatabase(), "Other");
    EXPECT_EQ(run("select * from emp").errorNumbers(), (std::vector<int>{208}));
    ok("use Test");
    EXPECT_EQ(scalar("select count(*) from emp"), "4");
    ok("drop database Other");
    EXPECT_EQ(run("use Other").errorNumbers(), (std::vector<int>{911}));
    SessionOptions o;
    o.dataDirectory = dir.path();
    o.database = "Missing";
    Message err;
    EXPECT_FALSE(Session::open(o, &err));
    EXPECT_EQ(err.number, 4060);
    EXPECT_EQ(session->primaryKey("EMP"), (std::vector<std::string>{"id"}));
    ASSERT_TRUE(session->columns("emp"));
    EXPECT_EQ(session->columns("emp")->size(), 6u);
}

}  // namespace
}  // namespace qmtest

namespace qmtest {
namespace {

class Catalogs : public EngineTest {};

TEST_F(Catalogs, SystemViewsAnswerScripts) {
    ok("create table t1 (a int not null, b varchar(10))");
    ok("create view v1 as select a from t1");
    EXPECT_EQ(scalar("select count(*) from sysobjects where name = 'T1' and xtype = 'U'"), "1");
    EXPECT_EQ(scalar("select type from sys.objects where name = 'v1'"), "V ");
    EXPECT_EQ(scalar("select count(*) from sys.tables"), "1");
    EXPECT_EQ(scalar("select TABLE_TYPE from INFORMATION_SCHEMA.TABLES where TABLE_NAME = 'v1'"), "VIEW");
    EXPECT_EQ(column("select COLUMN_NAME from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME = 't1' order by ORDINAL_POSITION"),
              (std::vector<std::string>{"a", "b"}));
    ok("if exists (select * from sysobjects where name = 't1') drop table t1");
    EXPECT_EQ(scalar("select count(*) from sys.tables"), "0");
}

TEST_F(Catalogs, GroupingRulesAsOnTheServer) {
    ok("create table g (k char(2), v int)");
    ok("insert into g values ('a', 1), ('A', 2), ('b ', 3)");
    // grouping ignores case and trailing blanks
    EXPECT_EQ(column("select k, sum(v) from g group by k order by k", 1), (std::vector<std::string>{"3", "3"}));
    auto e = run("select k, v from g group by k");
    EXPECT_EQ(e.errorNumbers(), (std::vector<int>{8120}));
    EXPECT_NE(e.messages[0].text.find("'g.v'"), std::string::npos) << e.messages[0].text;
    EXPECT_EQ(run("select v, count(*) from g").errorNumbers(), (std::vector<int>{8120}));
    ok("select count(*), max(v) from g");
    ok("select k, count(*) * 2 + 1 from g group by k having sum(v) > 1");
    EXPECT_EQ(run("select * from g where sum(v) > 1").errorNumbers(), (std::vector<int>{147}));
    EXPECT_EQ(column("select distinct k from g order by k").size(), 2u);
}

TEST_F(Catalogs, AverageOfWholeNumbersIsExactToSixPlaces) {
    ok("create table m (g char(1), v numeric(18,0))");
    ok("insert into m values ('a', 1), ('a', 1), ('a', 2), ('b', -1), ('b', -1), ('b', -2), ('c', null), "
       "('d', 123456789012), ('d', 123456789013)");
    EXPECT_EQ(column("select avg(v) from m group by g order by g"),
              (std::vector<std::string>{"1.333333", "-1.333333", "NULL", "123456789012.500000"}));
    auto r = ok("select avg(v) from m");
    EXPECT_EQ(r.sets[0].columns[0].type.name(), "numeric(38,6)");
}

}  // namespace
}  // namespace qmtest

namespace qmtest {
namespace {

class Modern : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ok("create table n (i int primary key, s varchar(10))");
        ok("insert into n values (1, 'a'), (2, 'b'), (3, 'c')");
    }
};

TEST_F(Modern, CommonTableExpressions) {
    EXPECT_EQ(scalar("with big as (select i from n where i > 1) select count(*) from big"), "2");
    EXPECT_EQ(column("with r(x) as (select 1 union all select x + 1 from r where x < 5) select x from r"),
              (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(scalar("with a as (select i from n), b as (select i from a where i = 3) select i from b"), "3");
}

TEST_F(Modern, ScalarFunctions) {
    ok("create function dbo.grade(@m int) returns varchar(10) as begin\n"
       "  declare @r varchar(10)\n"
       "  if @m >= 60 set @r = 'pass' else set @r = 'fail'\n"
       "  return @r\n"
       "end");
    EXPECT_EQ(column("select dbo.grade(i * 30) from n order by i"), (std::vector<std::string>{"fail", "pass", "pass"}));
    EXPECT_EQ(scalar("select count(*) from n where dbo.grade(i * 25) = 'pass'"), "1");
    ok("create function half(@x numeric(10,2)) returns numeric(10,2) as begin return @x / 2 end");
    EXPECT_EQ(scalar("select dbo.half(5)"), "2.50");
    ok("create function boom() returns int as begin return 1 / 0 end");
    EXPECT_EQ(run("select dbo.boom()").errorNumbers(), (std::vector<int>{8134}));
    EXPECT_EQ(run("select dbo.grade()").errorNumbers(), (std::vector<int>{313}));
    ok("drop function half");
    EXPECT_EQ(run("select dbo.half(1)").errorNumbers(), (std::vector<int>{195}));
}

TEST_F(Modern, RecursiveFunctionsAndProcedures) {
    ok("create function fact(@n int) returns int as begin\n"
       "  if @n <= 1 return 1\n"
       "  return @n * dbo.fact(@n - 1)\n"
       "end");
    EXPECT_EQ(scalar("select dbo.fact(5)"), "120");
    EXPECT_EQ(column("select dbo.fact(i) from n order by i"), (std::vector<std::string>{"1", "2", "6"}));
    EXPECT_EQ(run("select dbo.fact(40)").errorNumbers(), (std::vector<int>{217}));
    ok("create procedure countdown @n int as begin select @n if @n > 0 begin set @n = @n - 1 exec countdown @n end end");
    EXPECT_EQ(ok("exec countdown 3").sets.size(), 4u);
}

TEST_F(Modern, BatchRunFromInsideASink) {
    struct Nested : RecordingSink {
        Session* s = nullptr;
        std::vector<std::string> inner;
        void row(const RowView& r) override {
            RecordingSink::row(r);
            RecordingSink x;
            s->execute("select s from n where i = " + std::to_string(r.cell(0).integer), x);
            inner.push_back(x.sets.at(0).text(0, 0));
        }
    } sink;
    sink.s = session.get();
    session->execute("select i from n order by i", sink);
    EXPECT_EQ(sink.inner, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(sink.sets.at(0).rows.size(), 3u);
}

TEST_F(Modern, DynamicSql) {
    EXPECT_EQ(scalar("exec sp_executesql N'select s from n where i = @k', N'@k int', @k = 2"), "b");
    auto r = ok("declare @c int exec sp_executesql N'select @out = count(*) from n where i > @min', "
                "N'@min int, @out int OUTPUT', @min = 1, @out = @c OUTPUT select @c");
    EXPECT_EQ(r.sets.back().text(0, 0), "2");
    EXPECT_EQ(scalar("exec ('select count(*) from n')"), "3");
    EXPECT_EQ(run("exec sp_executesql N'select * from nothing'").errorNumbers(), (std::vector<int>{208}));
}

TEST_F(Modern, TableVariables) {
    auto r = ok("declare @t table (k int primary key, v varchar(10))\n"
                "insert into @t select i, s from n where i > 1\n"
                "update @t set v = v + '!' where k = 2\n"
                "delete from @t where k = 3\n"
                "select t.v from @t t join n on n.i = t.k");
    ASSERT_EQ(r.sets.size(), 1u);
    EXPECT_EQ(r.sets[0].text(0, 0), "b!");
    // gone after the batch
    EXPECT_EQ(run("select * from @t").errorNumbers(), (std::vector<int>{1087}));
    ok("declare @t table (k int) insert @t values (1) select count(*) from @t");
    ok("select * from n with (nolock) where i = 1");
    ok("select * from n (nolock) where i = 1");
}

TEST_F(Modern, InsertExec) {
    ok("create table sink_t (i int, s varchar(10))");
    ok("create procedure rows_of @min int as select i, s from n where i >= @min");
    auto r = ok("insert into sink_t exec rows_of 2");
    ASSERT_FALSE(r.counts.empty());
    EXPECT_EQ(r.counts.back(), 2);
    EXPECT_TRUE(r.sets.empty());
    EXPECT_EQ(column("select s from sink_t order by i"), (std::vector<std::string>{"b", "c"}));
    ok("insert into sink_t (i) exec ('select 9')");
    EXPECT_EQ(scalar("select count(*) from sink_t"), "3");
}

TEST_F(Modern, WindowFunctionsAndPaging) {
    EXPECT_EQ(column("select row_number() over (order by i desc) from n order by i"),
              (std::vector<std::string>{"3", "2", "1"}));
    EXPECT_EQ(column("select count(*) over () from n where i < 3"), (std::vector<std::string>{"2", "2"}));
    EXPECT_EQ(column("select s from n order by i offset 1 rows fetch next 1 rows only"), (std::vector<std::string>{"b"}));
    EXPECT_EQ(column("select s from n order by i offset 2 rows"), (std::vector<std::string>{"c"}));
}

TEST_F(Modern, TryCatchHandsTheErrorToCatch) {
    auto r = ok("begin try insert into n values (1, 'dup') print 'not here' end try "
                "begin catch select error_number(), error_message() end catch");
    ASSERT_EQ(r.sets.size(), 1u);
    EXPECT_EQ(r.sets[0].text(0, 0), "2627");
    EXPECT_TRUE(r.messages.empty());
    auto c = ok("begin try select cast('x' as int) end try begin catch print 'caught ' + cast(error_number() as varchar(10)) end catch print 'go on'");
    ASSERT_EQ(c.messages.size(), 2u);
    EXPECT_EQ(c.messages[0].text, "caught 245");
    EXPECT_EQ(c.messages[1].text, "go on");
    auto t = run("begin try throw 50001, 'mine', 1 end try begin catch throw end catch");
    EXPECT_EQ(t.errorNumbers(), (std::vector<int>{50001}));
    EXPECT_EQ(t.messages[0].text, "mine");
    ok("create procedure failing as insert into n values (2, 'dup')");
    auto p = ok("begin try exec failing end try begin catch select error_procedure() end catch");
    EXPECT_EQ(p.sets[0].text(0, 0), "failing");
}

TEST_F(Modern, CursorsWalkTheRows) {
    auto r = ok(
        "declare @i int, @s varchar(10), @all varchar(100) = ''\n"
        "declare c cursor for select i, s from n order by i desc\n"
        "open c\n"
        "fetch next from c into @i, @s\n"
        "while @@fetch_status = 0 begin\n"
        "  set @all = @all + @s\n"
        "  fetch next from c into @i, @s\n"
        "end\n"
        "close c deallocate c\n"
        "select @all");
    EXPECT_EQ(r.sets.back().text(0, 0), "cba");
    EXPECT_FALSE(run("open nothing").errorNumbers().empty());
}

TEST_F(Modern, TemporaryTablesStayWithTheSession) {
    ok("create table #work (k int, v varchar(5))");
    ok("insert into #work select i, s from n");
    EXPECT_EQ(scalar("select count(*) from #work"), "3");
    ok("select i into #copy from n where i < 3");
    EXPECT_EQ(scalar("select count(*) from #copy"), "2");
    auto other = openSecond();
    RecordingSink s;
    other->execute("select * from #work", s);
    EXPECT_EQ(s.errorNumbers(), (std::vector<int>{208}));
    EXPECT_EQ(scalar("select count(*) from sysobjects where name like '#%'"), "0");
    ok("drop table #work");
    EXPECT_EQ(run("select * from #work").errorNumbers(), (std::vector<int>{208}));
}

}  // namespace
}  // namespace qmtest

namespace qmtest {
namespace {

class Alter : public EngineTest {};

TEST_F(Alter, GeneratedScriptsAddConstraintsAfterwards) {
    script(
        "SET ANSI_NULLS ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\n"
        "CREATE TABLE [dbo].[parent]([id] [char](3) NOT NULL,\n"
        " CONSTRAINT [PK_parent] PRIMARY KEY CLUSTERED ([id] ASC) WITH (PAD_INDEX = OFF, IGNORE_DUP_KEY = OFF) ON [PRIMARY]\n"
        ") ON [PRIMARY]\nGO\n"
        "CREATE TABLE [dbo].[child]([pid] [char](3) NULL, [n] [int] NULL) ON [PRIMARY]\nGO\n"
        "insert into parent values ('a'), ('b')\ninsert into child values ('a', 1)\nGO\n"
        "ALTER TABLE [dbo].[child]  WITH CHECK ADD  CONSTRAINT [FK_child_parent] FOREIGN KEY([pid])\n"
        "REFERENCES [dbo].[parent] ([id]) ON UPDATE CASCADE\nGO\n"
        "ALTER TABLE [dbo].[child] CHECK CONSTRAINT [FK_child_parent]\nGO\n"
        "ALTER TABLE [dbo].[child] ADD  CONSTRAINT [DF_child_n]  DEFAULT ((7)) FOR [n]\nGO\n");
    EXPECT_EQ(scalar("select count(*) from child"), "1");
    auto fk = run("insert into child(pid) values ('zz')");
    EXPECT_EQ(fk.errorNumbers(), (std::vector<int>{547}));
    EXPECT_NE(fk.messages[0].text.find("FK_child_parent"), std::string::npos) << fk.messages[0].text;
    ok("insert into child(pid) values ('b')");
    EXPECT_EQ(scalar("select n from child where pid = 'b'"), "7");
    ok("update parent set id = 'c' where id = 'a'");
    EXPECT_EQ(scalar("select count(*) from child where pid = 'c'"), "1");
    ok("alter table child add note varchar(10) null");
    EXPECT_EQ(run("alter table child alter column note varchar(20) not null").errorNumbers(), (std::vector<int>{515}));
    EXPECT_EQ(scalar("select count(*) from child"), "2");
}

TEST_F(Alter, CheckConstraints) {
    ok("create table person (id int primary key, sex char(2) check (sex in ('男', '女')), age int, "
       "constraint ck_age check (age between 0 and 150))");
    ok("insert into person values (1, '男', 20)");
    auto bad = run("insert into person values (2, 'x', 20)");
    EXPECT_EQ(bad.errorNumbers(), (std::vector<int>{547}));
    EXPECT_NE(bad.messages[0].text.find("CHECK"), std::string::npos);
    EXPECT_NE(bad.messages[0].text.find("column 'sex'"), std::string::npos) << bad.messages[0].text;
    auto age = run("update person set age = 200");
    EXPECT_EQ(age.errorNumbers(), (std::vector<int>{547}));
    EXPECT_NE(age.messages[0].text.find("ck_age"), std::string::npos);
    EXPECT_EQ(scalar("select age from person"), "20");
    ok("alter table person drop constraint ck_age");
    ok("update person set age = 200");
    EXPECT_EQ(run("alter table person add constraint ck_small check (age < 100)").errorNumbers(), (std::vector<int>{547}));
    ok("alter table person add constraint ck_big check (age > 100)");
    EXPECT_EQ(run("update person set age = 5").errorNumbers(), (std::vector<int>{547}));
}

TEST_F(Alter, RefusedChangesLeaveTheTable) {
    ok("create table p (id int primary key)");
    ok("create table c (pid int, x int)");
    ok("insert into c values (5, 1)");
    auto r = run("alter table c add constraint fk_c foreign key (pid) references p(id)");
    EXPECT_EQ(r.errorNumbers(), (std::vector<int>{547}));
    ok("insert into c values (6, 2)");  // still no constraint
    EXPECT_EQ(run("alter table c drop column nothing").errorNumbers().size(), 1u);
    ok("alter table c drop column x");
    EXPECT_EQ(session->columns("c")->size(), 1u);
    EXPECT_EQ(run("alter table p add constraint pk2 primary key (id)").errorNumbers().size(), 1u);
    auto text = ok("sp_helptext 'c'");
    EXPECT_FALSE(text.sets.empty());
}

}  // namespace
}  // namespace qmtest
