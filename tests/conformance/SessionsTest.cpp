// Two sessions on the same database: each sees what the other committed,
// including objects created, changed or dropped after it connected.
#include "Conformance.h"

#include <chrono>

namespace qmconf {
namespace {

class Sessions : public Conformance {
protected:
    std::unique_ptr<Session> other;
    void SetUp() override {
        Conformance::SetUp();
        SessionOptions o;
        o.dataDirectory = dir.path();
        o.database = "Conf";
        o.busyTimeoutMs = 200;
        Message err;
        other = Session::open(o, &err);
        ASSERT_TRUE(other) << err.text;
    }
    std::string otherRun(std::string_view batch) {
        Recorder r;
        other->execute(batch, r);
        return normalized(r.transcript);
    }
};

TEST_F(Sessions, SeeEachOthersCommittedWork) {
    EXPECT_EQ(transcript("create table shared (a int); insert shared values (1)"), "(1)");
    EXPECT_EQ(otherRun("select a from shared"), "[1] (1)");
    EXPECT_EQ(otherRun("insert shared values (2)"), "(1)");
    EXPECT_EQ(transcript("select count(*) from shared"), "[2] (1)");
    EXPECT_EQ(transcript("create proc sp as select 'v1'"), "");
    EXPECT_EQ(otherRun("exec sp"), "[v1] (1)");
    EXPECT_EQ(transcript("drop table shared"), "");
    EXPECT_EQ(otherRun("select * from shared"), "E208");
    EXPECT_EQ(otherRun("create table shared (x int)"), "");
    EXPECT_EQ(transcript("select count(x) from shared"), "[0] (1)");
}

TEST_F(Sessions, UncommittedWorkStaysPrivateUntilCommit) {
    EXPECT_EQ(transcript("create table w (a int); insert w values (1)"), "(1)");
    EXPECT_EQ(transcript("begin tran; update w set a = 2"), "(1)");
    EXPECT_EQ(transcript("select a, @@trancount from w"), "[2,1] (1)");
    EXPECT_EQ(otherRun("select @@trancount"), "[0] (1)");
    EXPECT_EQ(transcript("commit"), "");
    EXPECT_EQ(otherRun("select a from w"), "[2] (1)");
}

TEST_F(Sessions, WriterWaitingForAnotherWriterGetsAnErrorNotAHang) {
    EXPECT_EQ(transcript("create table w (a int); insert w values (1)"), "(1)");
    EXPECT_EQ(transcript("begin tran; update w set a = 2"), "(1)");
    Recorder r;
    auto start = std::chrono::steady_clock::now();
    other->execute("update w set a = 3", r);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);
    EXPECT_FALSE(r.errors().empty()) << r.transcript;
    EXPECT_EQ(transcript("commit; select a from w"), "[2] (1)");
    EXPECT_EQ(otherRun("update w set a = 3; select a from w"), "(1) [3] (1)");
}

}  // namespace
}  // namespace qmconf
