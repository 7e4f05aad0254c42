// INSERT/UPDATE/DELETE forms, row counts, @@ROWCOUNT, identity; CREATE/DROP
// TABLE with constraints and the errors they raise.
#include "Conformance.h"

namespace qmconf {
namespace {

class Dml : public Conformance {
protected:
    void SetUp() override {
        Conformance::SetUp();
        setup({"create table p (id int primary key, name varchar(10) not null, score int default 60 check (score >= 0))",
               "create table c (pid int references p(id), note varchar(5))",
               "insert into p (id, name, score) values (1, 'a', 70), (2, 'b', 80), (3, 'c', 90)",
               "insert c values (1, 'n1'), (1, 'n2'), (2, 'n3')"});
    }
};

TEST_F(Dml, InsertForms) {
    check({
        {"insert p values (4, 'd', 10)", "(1)"},
        {"insert into p (name, id) values ('e', 5)", "(1)"},
        {"select score from p where id = 5", "[60] (1)"},
        {"insert p (id, name, score) values (6, 'f', default)", "(1)"},
        {"select score from p where id = 6", "[60] (1)"},
        {"insert p values (7, 'g', 1), (8, 'h', 2), (9, 'i', 3)", "(3)"},
        {"insert p (id, name) select id + 100, upper(name) from p where id <= 2", "(2)"},
        {"insert p (id, name) select id, name from p where 1 = 0", "(0)"},
        {"select name from p where id > 100 order by id", "[A;B] (2)"},
        {"insert p values (10, 'j')", "E213"},
        {"insert p (id, name, score) values (11, 'k')", "E109"},
        {"insert p (id, name) values (11, 'k', 1)", "E110"},
        {"insert p (id, name, score) select id, name from p", "E120"},
        {"insert p (id, name) select id, name, score from p", "E121"},
        {"insert p (id, nosuch) values (12, 'x')", "E207"},
        {"insert nosuch values (1)", "E208"},
    });
}

TEST_F(Dml, ConstraintErrorsLeaveTheTableUnchanged) {
    check({
        {"insert p values (1, 'dup', 1)", "E2627"},
        {"insert p values (20, null, 1)", "E515"},
        {"insert p values (20, 'x', -1)", "E547"},
        {"insert c values (99, 'x')", "E547"},
        {"delete p where id = 1", "E547"},
        {"update p set id = 9 where id = 1", "E547"},
        {"insert c values (null, 'ok')", "(1)"},
        {"insert p values (20, 'ok', 1), (1, 'dup', 1)", "E2627"},
        {"update p set score = score - 75", "E547"},
        {"insert c values (3, 'toolong')", "E8152"},
        {"select count(*), sum(score) from p", "[3,240] (1)"},
        {"insert p (id, name) values (21, 'okay         ')", "(1)"},
    });
}

TEST_F(Dml, UpdateDeleteForms) {
    check({
        {"update p set score = score + 1 where id > 1", "(2)"},
        {"update p set score = score + 1 where id > 1; select @@rowcount", "(2) [2] (1)"},
        {"update p set score = 0 where 1 = 0; select @@rowcount", "(0) [0] (1)"},
        {"update p set name = c.note from p join c on c.pid = p.id where c.note = 'n3'", "(1)"},
        {"update x set x.score = 5 from p x where x.id = 3", "(1)"},
        {"select id, name, score from p order by id", "[1,a,70;2,n3,82;3,c,5] (3)"},
        {"update p set name = 'x', score = score * 2 where id = 1", "(1)"},
        {"update p set score = (select count(*) from c where c.pid = p.id)", "(3)"},
        {"select score from p order by id", "[2;1;0] (3)"},
        {"delete c from c join p on p.id = c.pid where p.name = 'x'", "(2)"},
        {"delete from c where note = 'n3'", "(1)"},
        {"delete c", "(0)"},
        {"delete p where id = 3", "(1)"},
        {"delete from p", "(2)"},
        {"select count(*) from p", "[0] (1)"},
    });
}

TEST_F(Dml, RowcountAfterOtherStatements) {
    check({
        {"select * from p; select @@rowcount", "[1,a,70;2,b,80;3,c,90] (3) [3] (1)"},
        {"declare @x int; set @x = 5; select @@rowcount", "[1] (1)"},
        {"declare @x int; select @x = id from p; select @@rowcount, @x", "(3) [3,3] (1)"},
    });
}

TEST_F(Conformance, StatementsAreAllOrNothing) {
    setup({"create table p (id int primary key, v int check (v > 0))", "insert p values (1, 1), (2, 2), (3, 3)",
           "create table v5 (s varchar(3))", "insert v5 values ('a')"});
    check({
        {"insert p values (10, 1), (11, -1); select count(*) from p", "E547 [3] (1)"},
        {"insert p select id + 100, v - 2 from p; select count(*) from p", "E547 [3] (1)"},
        {"update p set v = v - 2; select sum(v) from p", "E547 [6] (1)"},
        {"insert v5 select 'b' union all select 'abcd'; select count(*) from v5", "E8152 [1] (1)"},
        {"update p set id = id - 1; select id from p order by id", "(3) [0;1;2] (3)"},
    });
}

TEST_F(Conformance, StatementsSeeTheTableAsItWasBeforeThem) {
    setup({"create table s (id int, v int)", "insert s values (1, 10), (2, 20), (3, 30)",
           "create table c (id int, n int)", "insert c values (1, 0), (2, 0), (3, 0)"});
    check({
        {"update s set v = (select max(v) from s) + 1; select v from s order by id", "(3) [31;31;31] (3)"},
        {"insert s select id + 10, v from s; select count(*) from s", "(3) [6] (1)"},
        {"update c set n = (select count(*) from c c2 where c2.n = 0); select n from c order by id", "(3) [3;3;3] (3)"},
        {"update c set n = n + (select sum(n) from c); select n from c order by id", "(3) [12;12;12] (3)"},
        {"delete c where n >= (select max(n) from c); select count(*) from c", "(3) [0] (1)"},
    });
}

TEST_F(Conformance, IdentityColumns) {
    setup({"create table i (id int identity(1,1) primary key, v varchar(5))"});
    check({
        {"insert i (v) values ('a'), ('b'); select @@identity, scope_identity()", "(2) [2,2] (1)"},
        {"insert i values ('c'); select id, v from i order by id", "(1) [1,a;2,b;3,c] (3)"},
        {"insert i (id, v) values (10, 'x')", "E544"},
        {"delete i where id = 3; insert i (v) values ('d'); select max(id) from i", "(1) (1) [4] (1)"},
        {"select ident_current('i')", "[4] (1)"},
        {"set identity_insert i on; insert i (id, v) values (10, 'x'); set identity_insert i off; "
         "insert i (v) values ('y'); select max(id) from i",
         "(1) (1) [11] (1)"},
    });
}

TEST_F(Conformance, TableDefinitions) {
    check({
        {"create table t (a int)", ""},
        {"create table t (a int)", "E2714"},
        {"create table T (b int)", "E2714"},
        {"drop table nosuch", "E3701"},
        {"select * from nosuch", "E208"},
        {"drop table t; select * from t", "E208"},
        {"create table t (a int, a int)", "E2705"},
        {"create table t2 (a int constraint pk_t2 primary key, b int constraint uq_t2 unique, "
         "c int constraint ck_t2 check (c between 1 and 5), d char(2) constraint df_t2 default 'zz')",
         ""},
        {"insert t2 (a, b, c) values (1, 1, 1); select d from t2", "(1) [zz] (1)"},
        {"insert t2 (a, b, c) values (2, 1, 1)", "E2627"},
        {"insert t2 (a, c) values (4, 9)", "E547"},
        {"create table t3 (a int, b int, primary key (a, b)); insert t3 values (1, 1), (1, 2); insert t3 values (1, 1)",
         "(2) E2627"},
        {"if object_id('t2') is not null drop table t2; select object_id('t2')", "[NULL] (1)"},
        {"alter table t3 add c varchar(3) null; insert t3 values (2, 2, 'abc'); select c from t3 where a = 2",
         "(1) [abc] (1)"},
        {"drop table if exists t3; drop table if exists t3", ""},
    });
}

TEST_F(Conformance, ErrorAndRowcountAfterFailure) {
    setup({"create table p (id int primary key)", "insert p values (1)"});
    check({
        {"insert p values (1); select @@error", "E2627 [2627] (1)"},
        {"declare @e int, @r int; insert p values (1); select @e = @@error, @r = @@rowcount; select @e, @r",
         "E2627 (1) [2627,0] (1)"},
        {"declare @r int; insert p values (1); set @r = @@rowcount; select @r", "E2627 [0] (1)"},
        {"declare @i int; set @i = 1 / 0; if @@error <> 0 print 'failed'", "E8134 P:failed"},
    });
}

TEST_F(Conformance, UniqueAllowsOneNull) {
    setup({"create table u (a int unique)"});
    check({{"insert u values (null); insert u values (null)", "(1) E2627"}});
}

TEST_F(Conformance, IdentityInsert) {
    setup({"create table i (id int identity(1,1) primary key, v varchar(5))", "insert i (v) values ('a')"});
    check({
        {"set identity_insert i on; insert i (v) values ('z')", "E545"},
    });
}

}  // namespace
}  // namespace qmconf
