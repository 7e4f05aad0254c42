// Batches that differ only in their literals must each behave as if run alone:
// a statement run before with harmless values must still raise its error, and
// literal types (length, scale) must follow the new text.
#include "Conformance.h"

namespace qmconf {
namespace {

TEST_F(Conformance, SameShapeDifferentLiterals) {
    setup({"create table r (id int, name varchar(5), n numeric(4,1))", "create table d (v datetime)",
           "insert d values ('2007-03-01 10:20:30')"});
    check({
        {"select cast('12' as int)", "[12] (1)"},
        {"select cast('ab' as int)", "E245"},
        {"select cast('2007-01-01' as datetime)", "[2007-01-01 00:00:00.000] (1)"},
        {"select cast('2007-02-30' as datetime)", "E242"},
        {"select 10 / 2", "[5] (1)"},
        {"select 10 / 0", "E8134"},
        {"select 1 + 1", "[2] (1)"},
        {"select 1 + 2147483647", "E8115"},
        {"select 1.5 * 2", "[3.0] (1)"},
        {"select 1.25 * 2", "[2.50] (1)"},
        {"select substring('abc', 1, 1)", "[a] (1)"},
        {"select substring('abc', 1, -1)", "E537"},
        {"insert r values (1, 'abc', 1.5)", "(1)"},
        {"insert r values (2, 'abcdef', 1.5)", "E8152"},
        {"insert r values (3, 'ab', 12345)", "E8115"},
        {"update r set name = 'xy' where id = 1", "(1)"},
        {"update r set name = 'xyzxyz' where id = 1", "E8152"},
        {"select name from r", "[xy] (1)"},
        {"select top 1 id from r", "[1] (1)"},
        {"select convert(varchar(10), v, 120) from d", "[2007-03-01] (1)"},
        {"select convert(varchar(10), v, 112) from d", "[20070301] (1)"},
        {"select convert(varchar(10), v, 108) from d", "[10:20:30] (1)"},
    });
    struct TypeCase {
        const char* batch;
        const char* type;
    } types[] = {
        {"select 'ab'", "varchar(2)"},
        {"select 'abcdef'", "varchar(6)"},
        {"select 1.5", "numeric(2,1)"},
        {"select 12.125", "numeric(5,3)"},
        {"select 1", "int"},
        {"select 3000000000", "numeric(10,0)"},
    };
    for (const auto& c : types) {
        Recorder r = run(c.batch);
        ASSERT_FALSE(r.sets.empty()) << c.batch;
        EXPECT_EQ(r.sets[0].columns.at(0).type.name(), c.type) << c.batch;
    }
}

}  // namespace
}  // namespace qmconf
