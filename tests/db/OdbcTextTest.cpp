// The pieces of the ODBC backend that need no server: finding the table a select
// reads, and the UTF-8 / UTF-16 conversions text crosses the driver with.
#include "db/odbc/OdbcBackend.h"

#include <gtest/gtest.h>

namespace quillmere::db {
namespace {

TEST(SingleTable, OfSelects) {
    struct Case {
        const char* sql;
        const char* table;
    } cases[] = {
        {"select * from  score ", "score"},
        {"select * from  score  where sno='2005001'", "score"},
        {"SELECT sno, gmark FROM dbo.score WHERE sno = 'a' ORDER BY sno", "dbo.score"},
        {"select * from [score] order by sno", "[score]"},
        {"select * from score s where s.sno = '1'", "score"},
        {"select * from score as s", "score"},
        {"select * from score where sno in (select sno from student)", "score"},
        {"select (select max(gmark) from score) as m from student", "student"},
        {"select * from score where sno = 'from x, y'", "score"},
        {"-- list\nselect * from student;", "student"},
        {"select * from score, student", ""},
        {"select * from score inner join course on score.cno = course.cno", ""},
        {"select * from score join course on 1=1", ""},
        {"select distinct sno from score", ""},
        {"select sno, count(*) from score group by sno", ""},
        {"select * from score union select * from score", ""},
        {"select * from (select * from score) t", ""},
        {"select 1", ""},
        {"insert into score values ('1','2',3)", ""},
        {"update score set gmark = 1", ""},
        {"exec s_avg_sea '2005001'", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(singleTableOf(c.sql), c.table) << c.sql;
}

TEST(OdbcText, Utf8AndUtf16RoundTrip) {
    for (std::string s : {std::string(), std::string("abc"), std::string("学生表 score"), std::string("😀 ok"),
                          std::string("é\xC2\xA0x")}) {
        EXPECT_EQ(toUtf8(toUtf16(s)), s) << s;
    }
    EXPECT_EQ(toUtf16("学").size(), 1u);
    EXPECT_EQ(toUtf16("😀").size(), 2u);  // a surrogate pair
    // Broken bytes become U+FFFD instead of being dropped or read past the end.
    EXPECT_EQ(toUtf8(toUtf16("a\xFF" "b")), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(toUtf8(toUtf16("\xE5\xAD")), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace quillmere::db
