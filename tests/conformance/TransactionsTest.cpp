// Transactions, triggers and views.
#include "Conformance.h"

namespace qmconf {
namespace {

TEST_F(Conformance, Transactions) {
    setup({"create table a (id int primary key)"});
    check({
        {"begin tran; insert a values (1); rollback; select count(*) from a", "(1) [0] (1)"},
        {"begin transaction; insert a values (1); commit transaction; select count(*) from a", "(1) [1] (1)"},
        {"select @@trancount; begin tran; begin tran; select @@trancount; commit; select @@trancount; "
         "rollback; select @@trancount",
         "[0] (1) [2] (1) [1] (1) [0] (1)"},
        {"commit", "E3902"},
        {"rollback", "E3903"},
        {"begin tran; insert a values (2); insert a values (1); commit; select count(*) from a", "(1) E2627 [2] (1)"},
        {"begin tran; insert a values (3); save tran sp; insert a values (4); rollback tran sp; commit; "
         "select count(*) from a",
         "(1) (1) [3] (1)"},
        {"set xact_abort off", ""},
        {"begin try insert a values (1); print 'no' end try begin catch select error_number(), @@trancount end catch",
         "[2627,0] (1)"},
        {"begin try declare @x int = 1 / 0; end try begin catch print 'caught'; end catch; print 'after'",
         "P:caught P:after"},
        {"begin try raiserror('boom', 16, 1) end try begin catch select error_message(), error_severity() end catch",
         "[boom,16] (1)"},
        {"raiserror('warn %d', 10, 1, 5); print 'next'", "W50000 P:next"},
        {"raiserror('fail', 16, 1); print 'next'", "E50000 P:next"},
        {"throw 50001, 'thrown', 1; print 'never'", "E50001"},
        {"begin try select 1 from a where 1 = 0; throw 50002, 'x', 1 end try begin catch "
         "select error_number(), error_message() end catch",
         "[] (0) [50002,x] (1)"},
    });
}

TEST_F(Conformance, XactAbortRollsBack) {
    setup({"create table a (id int primary key)", "insert a values (1)"});
    check({
        {"set xact_abort on; begin tran; insert a values (5); insert a values (1); print 'no'; commit", "(1) E2627"},
        {"select @@trancount, count(*) from a", "[0,1] (1)"},
    });
}

class Triggers : public Conformance {
protected:
    void SetUp() override {
        Conformance::SetUp();
        setup({"create table t (id int primary key, v int)",
               "create table audit (n int, op varchar(10), total int)",
               "create trigger t_ins on t after insert as "
               "insert audit select count(*), 'ins', sum(v) from inserted",
               "create trigger t_upd on t for update as "
               "insert audit select count(*), 'upd', sum(i.v - d.v) from inserted i join deleted d on i.id = d.id",
               "create trigger t_del on t for delete as "
               "begin print 'deleting'; insert audit select count(*), 'del', sum(v) from deleted end"});
    }
};

TEST_F(Triggers, StatementLevelFiring) {
    check({
        {"insert t values (1, 10), (2, 20), (3, 30)", "(1) (3)"},
        {"update t set v = v + 1", "(1) (3)"},
        {"update t set v = 0 where 1 = 0", "(1) (0)"},
        {"delete t where id > 1", "P:deleting (1) (2)"},
        {"insert t select id + 10, v from t where 1 = 0", "(1) (0)"},
        {"select n, op, total from audit", "[3,ins,60;3,upd,3;0,upd,NULL;2,del,52;0,ins,NULL] (5)"},
        {"insert t values (1, 0)", "E2627"},
        {"select count(*) from audit", "[5] (1)"},
        {"set nocount on; insert t values (5, 5); set nocount off; insert t values (6, 6)", "{1} {1} (1) (1)"},
    });
}

TEST_F(Triggers, NestingRecursionAndRollback) {
    setup({"drop trigger t_upd", "create table chain (n int)",
           "create trigger audit_ins on audit after insert as insert chain select n from inserted",
           "create trigger t_self on t after update as update t set v = v + 100 where id in (select id from inserted)"});
    check({
        {"insert t values (1, 1)", "(1) (1) (1)"},
        {"select count(*) from chain", "[1] (1)"},
        {"update t set v = 2", "(1) (1)"},
        {"select v from t", "[102] (1)"},
    });
}

TEST_F(Triggers, MultiRowAssignmentInTriggerFails) {
    setup({"create table m (id int)",
           "create trigger m_ins on m after insert as begin declare @id int; "
           "set @id = (select id from inserted); print 'got ' + cast(@id as varchar(10)) end"});
    check({{"insert m values (1)", "P:got 1 (1)"}});
    // An error inside a trigger ends the batch and undoes the triggering statement.
    Recorder r = run("insert m values (2), (3); print 'after'");
    EXPECT_EQ(r.errors().at(0), 512) << r.allText();
    EXPECT_EQ(r.transcript.find("after"), std::string::npos) << r.transcript;
    check({{"select count(*) from m", "[1] (1)"}});
}

TEST_F(Conformance, InsteadOfTriggers) {
    setup({"create table b (id int primary key, v int)", "create table j (id int primary key, bid int)",
           "create view bj as select b.id, b.v, j.id as jid from b join j on j.bid = b.id"});
    check({
        {"create trigger bj_ins on bj instead of insert as "
         "begin insert b (id, v) select id, v from inserted; insert j select jid, id from inserted end", ""},
        {"insert bj (id, v, jid) values (1, 10, 100)", "(1) (1) (1)"},
        {"select id, v, jid from bj", "[1,10,100] (1)"},
        {"create trigger b_del on b instead of delete as print 'no deletes'", ""},
        {"delete b where id = 1", "P:no deletes (1)"},
        {"select count(*) from b", "[1] (1)"},
        {"create trigger b_del2 on b instead of delete as print 'again'", "E2111"},
    });
}

class Views : public Conformance {
protected:
    void SetUp() override {
        Conformance::SetUp();
        setup({"create table b (id int primary key, v int, note varchar(10) default 'd')",
               "create table o (id int primary key, bid int, x int)",
               "insert b values (1, 10, 'a'), (2, 20, 'b'), (3, -5, 'c')",
               "insert o values (1, 1, 100), (2, 2, 200)",
               "create view pos as select id, v from b where v > 0",
               "create view pos2 as select id, v from pos where v > 15",
               "create view joined as select b.id, b.v, o.x from b join o on o.bid = b.id",
               "create view checked as select id, v from b where v > 0 with check option",
               "create view agg as select count(*) as c from b",
               "create trigger b_ins on b after insert as print 'b trigger'"});
    }
};

TEST_F(Views, ReadAndModifyThroughViews) {
    check({
        {"select id from pos order by id", "[1;2] (2)"},
        {"select id from pos2", "[2] (1)"},
        {"select id, x from joined order by id", "[1,100;2,200] (2)"},
        {"insert pos values (4, 40)", "P:b trigger (1)"},
        {"select note from b where id = 4", "[d] (1)"},
        {"insert pos values (5, -1)", "P:b trigger (1)"},
        {"update pos set v = v + 1 where id = 1", "(1)"},
        {"update pos set v = 0 where id = 3", "(0)"},
        {"delete pos where id = 4", "(1)"},
        {"update joined set x = 1 where id = 1", "(1)"},
        {"update joined set x = 1, v = 1 where id = 1", "E4405"},
        {"delete joined where id = 1", "E4405"},
        {"insert joined (id, v, x) values (7, 7, 7)", "E4405"},
        {"insert checked values (8, 8)", "P:b trigger (1)"},
        {"select id, v from b order by id", "[1,11;2,20;3,-5;5,-1;8,8] (5)"},
        {"create view pos as select 1 as a", "E2714"},
        {"drop view pos2; select * from pos2", "E208"},
        {"select * from nosuch_view", "E208"},
    });
}

TEST_F(Conformance, InsertsThroughViewsFollowTheBaseTable) {
    setup({"create table b (id int primary key, v int not null, note varchar(10) default 'd')",
           "create table o (id int, x int)", "create view vb as select id, note from b",
           "create view vd as select id, v * 2 as dbl from b",
           "create view vj as select b.id, o.x from b join o on o.id = b.id",
           "create view va (k, w) as select id, v from b"});
    check({
        {"insert vb (id, note) values (1, 'x')", "E515"},
        {"insert vd (id, dbl) values (2, 4)", "E4406"},
        {"update vd set dbl = 3", "E4406"},
        {"insert vj (id) values (5)", "E515"},
        {"insert va (k, w) values (7, 70); select k, w from va", "(1) [7,70] (1)"},
        {"select note from b", "[d] (1)"},
    });
}

TEST_F(Conformance, UpdateThroughViewOnView) {
    setup({"create table b (id int primary key, v int)", "insert b values (1, 10), (2, 20)",
           "create view pos as select id, v from b where v > 0",
           "create view pos2 as select id, v from pos where v > 15"});
    check({
        {"update pos2 set v = 99 where id = 2", "(1)"},
        {"insert pos2 values (3, 30)", "(1)"},
        {"delete pos2 where id = 3", "(1)"},
        {"select v from b where id = 2", "[99] (1)"},
    });
}

TEST_F(Conformance, ViewCheckOption) {
    setup({"create table b (id int primary key, v int)", "insert b values (1, 10)",
           "create view checked as select id, v from b where v > 0 with check option"});
    check({
        {"insert checked values (8, -8)", "E550"},
        {"update checked set v = -1 where id = 1", "E550"},
        {"select count(*) from b where v < 0", "[0] (1)"},
    });
}

}  // namespace
}  // namespace qmconf
