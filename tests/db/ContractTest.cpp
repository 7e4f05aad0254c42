// Record sets on the real contract: a database built from db/schema.sql and
// db/sample-data.sql, edited the way the grid forms edit it.
#include "db/Connection.h"
#include "db/Recordset.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillmere::db {
namespace {

namespace fs = std::filesystem;

// Runs a script batch by batch, batches separated by lines holding only GO.
void runScript(Connection& cnn, const fs::path& file) {
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    std::string line, batch;
    auto flush = [&] {
        if (batch.find_first_not_of(" \t\r\n") != std::string::npos) cnn.execute(batch);
        batch.clear();
    };
    while (std::getline(in, line)) {
        std::string t = line;
        while (!t.empty() && (t.back() == '\r' || t.back() == ' ' || t.back() == '\t')) t.pop_back();
        std::size_t start = t.find_first_not_of(" \t");
        if (start != std::string::npos && (t.substr(start) == "GO" || t.substr(start) == "go")) {
            flush();
            continue;
        }
        batch += line + "\n";
    }
    flush();
}

std::string embedded(const std::string& database) {
    return "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=" + database +
           ";Data Source=(embedded)";
}

class Contract : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/quillmere-contract-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        setenv("QUILLMERE_DATA_DIR", dir.c_str(), 1);
        {
            Connection admin;
            admin.setConnectionString(embedded(""));
            admin.open();
            admin.execute("CREATE DATABASE Quillmere");
        }
        cnn.setConnectionString(embedded("Quillmere"));
        cnn.setCursorLocation(CursorLocation::Client);
        cnn.open();
        runScript(cnn, fs::path(QM_SOURCE_DIR) / "db" / "schema.sql");
        runScript(cnn, fs::path(QM_SOURCE_DIR) / "db" / "sample-data.sql");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
        unsetenv("QUILLMERE_DATA_DIR");
    }

    long long count(const std::string& sql) {
        Recordset rs;
        rs.open(sql, cnn);
        long long n = rs.field(0).integer;
        rs.close();
        return n;
    }
    // The visible row of a record set whose first two fields are the given texts.
    static int rowOf(const Recordset& rs, const std::string& a, const std::string& b) {
        for (int r = 0; r < rs.rowCount(); ++r)
            if (rs.displayText(r, 0) == a && rs.displayText(r, 1) == b) return r;
        return -1;
    }

    std::string dir;
    Connection cnn;
};

TEST_F(Contract, RaisingAFailedGradeInTheGridRemovesTheNotices) {
    ASSERT_EQ(count("select count(*) from reexamination where sno='2005001'"), 2);
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from  score ", cnn);
    int r = rowOf(rs, "2005001", "2");
    ASSERT_GE(r, 0);
    EXPECT_EQ(rs.displayText(r, 2), "57");
    rs.setCell(r, 2, "61");
    rs.updateBatch();
    EXPECT_EQ(count("select count(*) from reexamination where sno='2005001'"), 0);
    EXPECT_EQ(count("select gmark from score where sno='2005001' and cno='2'"), 61);
}

TEST_F(Contract, DeletingAFailedSelectionRemovesItsNoticeOnlyOnSave) {
    long long before = count("select count(*) from reexamination where sno='2005001' and cno='7'");
    ASSERT_EQ(before, 1);
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from  score ", cnn);
    int r = rowOf(rs, "2005001", "7");
    ASSERT_GE(r, 0);
    rs.setCurrentRow(r);
    rs.deleteCurrent();
    EXPECT_EQ(count("select count(*) from reexamination where sno='2005001' and cno='7'"), 1);
    rs.cancelBatch();
    EXPECT_EQ(rs.displayText(r, 1), "7") << "the row is back in its place";
    rs.setCurrentRow(r);
    rs.deleteCurrent();
    rs.updateBatch();
    EXPECT_EQ(count("select count(*) from reexamination where sno='2005001' and cno='7'"), 0);
    EXPECT_EQ(count("select count(*) from score where sno='2005001' and cno='7'"), 0);
}

TEST_F(Contract, ARefusedDeletionTakesTheWholeBatchBack) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from student ", cnn);
    ASSERT_GT(rs.rowCount(), 2);
    std::string firstName = rs.displayText(0, 1);
    rs.setCell(0, 1, "新名字");
    rs.setCurrentRow(1);  // 2005002 has selections: deleting the student is refused (547)
    ASSERT_EQ(rs.displayText(1, 0), "2005002");
    rs.deleteCurrent();
    try {
        rs.updateBatch();
        FAIL() << "deletion of a referenced student accepted";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 547) << e.text();
    }
    EXPECT_EQ(count("select count(*) from student where sname='新名字'"), 0);
    EXPECT_TRUE(rs.hasPendingChanges());
    rs.cancelBatch();
    EXPECT_EQ(rs.displayText(0, 1), firstName);
}

TEST_F(Contract, GradesEditedThroughTheJoinViewGoToScore) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from  VIEW_CourseSelectionProgramInformation where sno = '2005001'", cnn);
    ASSERT_GT(rs.rowCount(), 0);
    ASSERT_EQ(rs.columnName(4), "gmark");
    std::string cno = rs.displayText(0, 2);
    rs.setCell(0, 4, "88");
    rs.updateBatch();
    EXPECT_EQ(count("select gmark from score where sno='2005001' and cno='" + cno + "'"), 88);

    // A student's name in that view has no student key beside it: refused, not guessed.
    rs.setCell(0, 1, "别名");
    try {
        rs.updateBatch();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::Kind::Client);
        EXPECT_NE(e.text().find("student"), std::string::npos) << e.text();
    }
    EXPECT_TRUE(rs.hasPendingChanges());
}

}  // namespace
}  // namespace quillmere::db
