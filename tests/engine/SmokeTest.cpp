#include "Harness.h"

namespace qmtest {
namespace {

class Smoke : public EngineTest {};

TEST_F(Smoke, CreateInsertSelectUpdateDelete) {
    ok("create table t (id int primary key, name char(5), note varchar(10))");
    auto s = ok("insert into t values (1, 'ab', 'x'); insert t (id, name) values (2, 'CD')");
    EXPECT_EQ(s.counts, (std::vector<std::int64_t>{1, 1}));
    auto r = ok("select * from t where name = 'AB' order by id");
    ASSERT_EQ(r.sets.size(), 1u);
    ASSERT_EQ(r.sets[0].rows.size(), 1u);
    EXPECT_EQ(r.sets[0].text(0, 1), "ab   ");
    EXPECT_EQ(r.sets[0].columns[1].name, "name");
    EXPECT_EQ(r.sets[0].columns[1].baseTable, "t");
    ok("update t set note = name + '!' where id = 2");
    EXPECT_EQ(scalar("select note from t where id = 2"), "CD   !");
    ok("delete t where id = 1");
    EXPECT_EQ(scalar("select count(*) from t"), "1");
}

}  // namespace
}  // namespace qmtest
