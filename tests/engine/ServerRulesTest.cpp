// Behaviours that must match SQL Server exactly: limits that stop runaway
// statements, result types, the values of conversions, @@ERROR/@@ROWCOUNT,
// constraints through views.
#include "Harness.h"

namespace qmtest {
namespace {

class ServerRules : public EngineTest {};

// "[a,b;c,d]" for the first result set, or "E<n>" for the first error.
std::string outcome(const RecordingSink& r) {
    auto errors = r.errorNumbers();
    if (!errors.empty()) return "E" + std::to_string(errors[0]);
    if (r.sets.empty()) return "<no result>";
    const ResultSetData& s = r.sets[0];
    std::string t = "[";
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        if (i) t += ";";
        for (std::size_t c = 0; c < s.columns.size(); ++c) t += (c ? "," : "") + s.text(i, c);
    }
    return t + "]";
}

TEST_F(ServerRules, RecursionStopsAtMaxRecursion) {
    struct Case {
        const char* sql;
        const char* expected;
    } cases[] = {
        // no end: the default limit of 100 levels ends it
        {"with c (n) as (select 1 union all select n + 1 from c) select count(*) from c", "E530"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 200) select count(*) from c", "E530"},
        // 100 levels below the anchor are allowed
        {"with c (n) as (select 1 union all select n + 1 from c where n < 101) select count(*) from c", "[101]"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 200) select count(*) from c "
         "option (maxrecursion 500)",
         "[200]"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 20) select count(*) from c "
         "option (maxrecursion 5)",
         "E530"},
        {"with c (n) as (select 1 union all select n + 1 from c where n < 1000) select max(n) from c "
         "option (maxrecursion 0)",
         "[1000]"},
        // the hidden level does not show in the columns
        {"with c (n, s) as (select 1, 'a' union all select n + 1, s + 'a' from c where n < 3) select * from c",
         "[1,a;2,aa;3,aaa]"},
        // a common table that does not refer to itself is not limited
        {"with c (n) as (select 1 union all select 2) select count(*) from c option (maxrecursion 1)", "[2]"},
        // other hints are accepted
        {"select 1 option (recompile)", "[1]"},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(run(c.sql)), c.expected) << c.sql;
}

TEST_F(ServerRules, RecursionErrorEndsOnlyTheStatement) {
    ok("create table t (id int primary key, parent int)");
    ok("insert t values (1, null), (2, 1), (3, 2), (4, 3)");
    // a walk down a tree, and a cycle caught by the limit
    EXPECT_EQ(outcome(run("with w (id, depth) as (select id, 0 from t where parent is null union all "
                          "select t.id, w.depth + 1 from t join w on t.parent = w.id) "
                          "select max(depth) from w")),
              "[3]");
    ok("update t set parent = 4 where id = 1");
    RecordingSink r = run("with w (id) as (select id from t where id = 1 union all "
                          "select t.id from t join w on t.parent = w.id) select count(*) from w; print 'next'");
    ASSERT_EQ(r.errorNumbers(), std::vector<int>{530}) << r.allText();
    EXPECT_NE(r.messages.back().text.find("next"), std::string::npos);
    EXPECT_NE(r.messages.front().text.find("100"), std::string::npos) << r.messages.front().text;
}

}  // namespace
}  // namespace qmtest
