// db/schema.sql as the client splits it: every view, procedure and trigger is a
// batch of its own holding exactly its CREATE text, lines ended by CR LF.
#include "tools/sqlcmd/Batches.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

using namespace quillmere::sqlcmd;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::map<std::string, std::string> modules() {
    std::map<std::string, std::string> out;
    std::regex head("^CREATE (VIEW|PROCEDURE|TRIGGER)\\s+(dbo\\.)?(\\w+)");
    for (const Batch& b : splitBatches(readFile(QM_SOURCE_DIR "/db/schema.sql"))) {
        std::smatch m;
        if (std::regex_search(b.text, m, head)) out[m[3]] = b.text;
    }
    return out;
}

}  // namespace

TEST(SchemaScriptTest, EveryModuleIsItsOwnExactBatch) {
    auto mods = modules();
    std::vector<std::string> names;
    for (const auto& [name, text] : mods) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"No_c_avg_sea", "No_dp_avg_sea", "No_s_avg_sea", "No_sp_avg_sea",
                                               "VIEW_CourseSelectionProgramInformation", "VIEW_Scort", "c_avg_sea",
                                               "deletescore_trig", "dp_avg_sea", "insertUpdateDelete", "s_avg_sea",
                                               "sp_avg_sea", "updatescore_trig"}));
    for (const auto& [name, text] : mods) {
        ASSERT_GE(text.size(), 2u);
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << name;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n') EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << name << " at " << i;
        EXPECT_EQ(text.find("\r\nGO"), std::string::npos) << name;
    }
    EXPECT_EQ(mods["insertUpdateDelete"],
              "CREATE TRIGGER insertUpdateDelete ON [dbo].[score] \r\n"
              "FOR INSERT \r\n"
              "AS\r\n"
              "SET NOCOUNT OFF\r\n"
              "DECLARE @sno char(7),@cno char(1),@spname char(20),@gmark numeric\r\n"
              "        SELECT @sno=sno,@cno=cno,@gmark=gmark  FROM inserted where gmark<60\r\n"
              "\tselect @spname =spname from speciality where spno\r\n"
              "\t=(select spno from student where sno=@sno)\r\n"
              "\tif(@gmark<60)\r\n"
              "         INSERT INTO reexamination values(@spname,@sno,@cno,'2007-3-20')\r\n");
    EXPECT_EQ(mods["VIEW_CourseSelectionProgramInformation"],
              "CREATE VIEW \r\n"
              "dbo.VIEW_CourseSelectionProgramInformation\r\n"
              "AS\r\n"
              "SELECT dbo.score.sno, \r\n"
              "dbo.student.sname, dbo.score.cno, \r\n"
              "dbo.course.cname, \r\n"
              "      dbo.score.gmark\r\n"
              "FROM dbo.course INNER JOIN\r\n"
              "      dbo.score ON dbo.course.cno = \r\n"
              "dbo.score.cno INNER JOIN\r\n"
              "      dbo.student ON dbo.score.sno = \r\n"
              "dbo.student.sno\r\n");
    EXPECT_EQ(mods["s_avg_sea"],
              "CREATE PROCEDURE s_avg_sea  @sno char(7) AS\r\n"
              "select sno,avg(gmark) from score where sno = @sno\r\n"
              "group by sno\r\n");
    EXPECT_EQ(mods["updatescore_trig"].substr(mods["updatescore_trig"].size() - 21), "\r\ngmark<60)        \r\n");
}

TEST(SchemaScriptTest, TablesInTheOrderOfTheirReferences) {
    std::string script = readFile(QM_SOURCE_DIR "/db/schema.sql");
    std::vector<std::string> order;
    std::regex table("CREATE TABLE (\\w+)");
    for (auto it = std::sregex_iterator(script.begin(), script.end(), table); it != std::sregex_iterator(); ++it)
        order.push_back((*it)[1]);
    EXPECT_EQ(order, (std::vector<std::string>{"dpartment", "speciality", "student", "teacher", "course", "score",
                                               "reexamination", "userSystem"}));
    // Every foreign key but student -> speciality carries key changes over; none cascades deletes.
    std::regex fk("FOREIGN KEY \\((\\w+)\\) REFERENCES (\\w+) \\(\\w+\\)( ON UPDATE CASCADE)?");
    int cascading = 0, plain = 0;
    for (auto it = std::sregex_iterator(script.begin(), script.end(), fk); it != std::sregex_iterator(); ++it)
        ((*it)[3].matched ? cascading : plain)++;
    EXPECT_EQ(cascading, 5);
    EXPECT_EQ(plain, 1);
    EXPECT_EQ(script.find("ON DELETE"), std::string::npos);
}
