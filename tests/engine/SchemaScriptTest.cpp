// The set-up scripts of the project (db/schema.sql, db/sample-data.sql) run on
// the engine and give the contract's behaviour.
#include "Harness.h"

#include <fstream>
#include <sstream>

namespace qmtest {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class SchemaScript : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        std::string schema = readFile(std::string(QM_SOURCE_DIR) + "/db/schema.sql");
        std::string data = readFile(std::string(QM_SOURCE_DIR) + "/db/sample-data.sql");
        if (schema.empty() || data.empty()) GTEST_SKIP() << "db/schema.sql or db/sample-data.sql missing";
        script(schema);
        script(data);
    }
};

TEST_F(SchemaScript, SampleDatabaseAnswersTheForms) {
    auto avg = ok("exec No_s_avg_sea");
    ASSERT_EQ(avg.sets.size(), 1u);
    EXPECT_GE(avg.sets[0].rows.size(), 60u);
    EXPECT_EQ(avg.sets[0].columns[1].type.name(), "numeric(38,6)");
    auto students = ok("select * from student");
    EXPECT_GE(students.sets[0].rows.size(), 60u);
    EXPECT_EQ(students.sets[0].columns[0].name, "sno");
    EXPECT_EQ(session->primaryKey("score"), (std::vector<std::string>{"sno", "cno"}));
    auto view = ok("select * from  VIEW_CourseSelectionProgramInformation");
    EXPECT_GE(view.sets[0].rows.size(), 300u);
    auto text = ok("sp_helptext 'insertUpdateDelete'");
    ASSERT_EQ(text.sets.size(), 1u);
    EXPECT_EQ(text.sets[0].rows.size(), 10u);
    EXPECT_EQ(text.sets[0].rows[0][0].bytes, "CREATE TRIGGER insertUpdateDelete ON [dbo].[score] \r\n");
}

TEST_F(SchemaScript, NewFailingGradeThroughTheViewAddsANotice) {
    std::string sno = scalar("select top 1 sno from student where sno not in (select sno from score where cno = '1') order by sno");
    ASSERT_NE(sno, "<no row>");
    std::string before = scalar("select count(*) from reexamination where sno = '" + sno + "'");
    ok("Insert Into VIEW_CourseSelectionProgramInformation(sno,cno,gmark) values('" + sno + "','1','59')");
    std::string after = scalar("select count(*) from reexamination where sno = '" + sno + "'");
    EXPECT_EQ(std::stoi(after), std::stoi(before) + 1);
    EXPECT_EQ(scalar("select redate from reexamination where sno = '" + sno + "' and cno = '1'"), "2007-03-20 00:00:00.000");
}

}  // namespace
}  // namespace qmtest
