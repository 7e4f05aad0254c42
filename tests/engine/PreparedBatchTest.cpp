// Session::prepare: a batch read once and run with many parameter sets must
// behave exactly as execute() with the same text and parameters.
#include "Harness.h"

namespace qmtest {
namespace {

class PreparedBatchTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ok("create table s (id int primary key, name varchar(5) not null, score int)");
        ok("insert s values (1, 'a', 10), (2, 'b', 20), (3, 'c', 30)");
    }
    RecordingSink runPrepared(PreparedBatch& p, std::vector<Parameter> params) {
        RecordingSink r;
        p.execute(params, r);
        return r;
    }
    static Parameter intParam(const char* name, std::int64_t v) {
        return Parameter{name, SqlType{TypeId::Int}, Value::fromInteger(v)};
    }
    static Parameter textParam(const char* name, const char* v) {
        return Parameter{name, SqlType{TypeId::VarChar, 5}, Value::fromText(v)};
    }
};

TEST_F(PreparedBatchTest, RunsWithEachParameterSet) {
    auto p = session->prepare("update s set score = @p1 where id = @p2");
    for (int id = 1; id <= 3; ++id) {
        RecordingSink r = runPrepared(*p, {intParam("@p1", id * 100), intParam("@p2", id)});
        EXPECT_TRUE(r.errorNumbers().empty()) << r.allText();
        EXPECT_EQ(r.counts, std::vector<std::int64_t>{1});
    }
    EXPECT_EQ(column("select score from s order by id"), (std::vector<std::string>{"100", "200", "300"}));
    RecordingSink none = runPrepared(*p, {intParam("@p1", 1), intParam("@p2", 99)});
    EXPECT_EQ(none.counts, std::vector<std::int64_t>{0});
    // a query returns its rows every time
    auto q = session->prepare("select name from s where id = @p1");
    for (int id = 1; id <= 3; ++id) {
        RecordingSink r = runPrepared(*q, {intParam("@p1", id)});
        ASSERT_EQ(r.sets.size(), 1u);
        ASSERT_EQ(r.sets[0].rows.size(), 1u);
        EXPECT_EQ(r.sets[0].text(0, 0), std::string(1, static_cast<char>('a' + id - 1)));
    }
}

TEST_F(PreparedBatchTest, ErrorsAndConstraintsAsInExecute) {
    auto ins = session->prepare("insert s values (@p1, @p2, null)");
    EXPECT_TRUE(runPrepared(*ins, {intParam("@p1", 4), textParam("@p2", "d")}).errorNumbers().empty());
    EXPECT_EQ(runPrepared(*ins, {intParam("@p1", 4), textParam("@p2", "e")}).errorNumbers(),
              std::vector<int>{2627});
    EXPECT_EQ(runPrepared(*ins, {intParam("@p1", 5), Parameter{"@p2", SqlType{TypeId::VarChar, 5}, Value()}})
                  .errorNumbers(),
              std::vector<int>{515});
    // after the errors the handle still works
    EXPECT_TRUE(runPrepared(*ins, {intParam("@p1", 6), textParam("@p2", "f")}).errorNumbers().empty());
    EXPECT_EQ(scalar("select count(*) from s"), "5");

    // a syntax error is reported on every run
    auto bad = session->prepare("update s set where id = @p1");
    for (int i = 0; i < 2; ++i) EXPECT_EQ(runPrepared(*bad, {intParam("@p1", 1)}).errorNumbers(), std::vector<int>{156});
}

TEST_F(PreparedBatchTest, FollowsChangesOfTheSchema) {
    auto p = session->prepare("update s set score = @p1 where id = @p2");
    EXPECT_TRUE(runPrepared(*p, {intParam("@p1", 1), intParam("@p2", 1)}).errorNumbers().empty());
    // a trigger created after the first run fires on the next ones
    ok("create table log (id int, old int, new int)");
    ok("create trigger s_upd on s after update as insert log select i.id, d.score, i.score "
       "from inserted i join deleted d on i.id = d.id");
    RecordingSink r = runPrepared(*p, {intParam("@p1", 7), intParam("@p2", 2)});
    EXPECT_TRUE(r.errorNumbers().empty()) << r.allText();
    EXPECT_EQ(column("select cast(id as varchar) + ':' + cast(old as varchar) + '>' + cast(new as varchar) from log"),
              std::vector<std::string>{"2:20>7"});
    // a trigger's error undoes the statement and its trigger's work
    ok("alter trigger s_upd on s after update as begin insert log values (0, 0, 0); "
       "if exists (select * from inserted where score < 0) raiserror('negative', 16, 1) end");
    ok("create trigger s_neg on s after update as if exists (select * from inserted where score < 0) rollback");
    RecordingSink neg = runPrepared(*p, {intParam("@p1", -1), intParam("@p2", 3)});
    EXPECT_FALSE(neg.errorNumbers().empty());
    EXPECT_EQ(scalar("select score from s where id = 3"), "30");
    // a column added later is seen
    ok("alter table s add extra int null");
    auto q = session->prepare("select count(extra) from s where id >= @p1");
    EXPECT_EQ(runPrepared(*q, {intParam("@p1", 1)}).sets.at(0).text(0, 0), "0");
    ok("update s set extra = 1");
    EXPECT_EQ(runPrepared(*q, {intParam("@p1", 2)}).sets.at(0).text(0, 0), "2");
    // dropped and recreated with other columns
    ok("drop table log");
    ok("drop trigger s_upd");
    ok("drop trigger s_neg");
    ok("drop table s");
    ok("create table s (k int, id int, score varchar(10))");
    ok("insert s values (9, 1, 'x')");
    EXPECT_TRUE(runPrepared(*p, {intParam("@p1", 5), intParam("@p2", 1)}).errorNumbers().empty());
    EXPECT_EQ(scalar("select score from s"), "5");
}

TEST_F(PreparedBatchTest, InsideATransaction) {
    auto p = session->prepare("update s set score = @p1 where id = @p2");
    ok("begin transaction");
    for (int id = 1; id <= 3; ++id) runPrepared(*p, {intParam("@p1", 0), intParam("@p2", id)});
    ok("rollback transaction");
    EXPECT_EQ(scalar("select sum(score) from s"), "60");
    ok("begin transaction");
    for (int id = 1; id <= 3; ++id) runPrepared(*p, {intParam("@p1", 1), intParam("@p2", id)});
    ok("commit transaction");
    EXPECT_EQ(scalar("select sum(score) from s"), "3");
}

}  // namespace
}  // namespace qmtest
