// The embedded backend on real database files in a temporary data directory.
#include "db/Connection.h"
#include "db/Recordset.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace quillmere::db {
namespace {

namespace fs = std::filesystem;

std::string embedded(const std::string& database) {
    return "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=" + database +
           ";Data Source=(embedded)";
}

class Embedded : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/quillmere-db-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        setenv("QUILLMERE_DATA_DIR", dir.c_str(), 1);
        {
            Connection admin;
            admin.setConnectionString(embedded(""));
            admin.open();
            admin.execute("CREATE DATABASE School");
        }
        cnn.setConnectionString(embedded("School"));
        cnn.setCursorLocation(CursorLocation::Client);
        cnn.open();
        for (const char* batch : {
                 "CREATE TABLE speciality (spno char(5) PRIMARY KEY, spname char(20), dpno char(2))",
                 "CREATE TABLE student (sno char(7) PRIMARY KEY, sname varchar(20), ssex char(2), "
                 "sbirthday datetime, spno char(5), inyear char(4))",
                 "CREATE TABLE score (sno char(7) NOT NULL, cno char(1) NOT NULL, gmark numeric(18,0), "
                 "PRIMARY KEY (sno, cno))",
                 "CREATE TABLE reexamination (spname char(20), sno char(7), cno char(1), redate datetime)",
                 "CREATE VIEW dbo.VIEW_Scort\r\nAS\r\nSELECT dbo.score.*\r\nFROM dbo.score\r\n",
                 "CREATE TRIGGER deletescore_trig  ON score\r\n   FOR delete  AS\r\n"
                 "           delete  reexamination\r\n           where sno=(select sno from deleted  \r\n"
                 "where gmark<60) and\r\ncno=(select cno from deleted where  gmark<60)\r\n",
                 "CREATE TRIGGER updatescore_trig  ON score\r\n   FOR update  AS\r\n"
                 "DECLARE @sno char(7),@cno char(1),@count int\r\n"
                 "select @sno=deleted.sno,@cno=deleted.cno from inserted,deleted where inserted.gmark >60 \r\n"
                 "and deleted.gmark<60 \r\n"
                 "select  @count=count(*) from reexamination where reexamination.sno=@sno and reexamination.cno=@cno\r\n"
                 "\r\nif(@count>0)\r\n           delete  reexamination\r\n"
                 "                 where sno=(SELECT sno  FROM inserted \r\n"
                 "                 WHERE gmark >60 )and sno =(SELECT sno FROM deleted where\r\ngmark<60)        \r\n",
                 "INSERT INTO speciality VALUES ('01001', '计算机应用', '01')",
                 "INSERT INTO student VALUES ('2001001', '王小明', '男', '1986-10-1', '01001', '2001')",
                 "INSERT INTO student VALUES ('2001002', '李红', '女', '1987-2-14', '01001', '2001')",
                 "INSERT INTO score (sno, cno, gmark) VALUES ('2001001', '1', 75)",
                 "INSERT INTO score (sno, cno, gmark) VALUES ('2001001', '2', 55)",
                 "INSERT INTO score (sno, cno, gmark) VALUES ('2001002', '1', 90)",
                 "INSERT INTO score (sno, cno, gmark) VALUES ('2001002', '3', 40)",
                 "INSERT INTO reexamination VALUES ('计算机应用', '2001001', '2', '2007-3-20')",
                 "INSERT INTO reexamination VALUES ('计算机应用', '2001002', '3', '2007-3-20')",
             })
            cnn.execute(batch);
    }

    void TearDown() override {
        if (cnn.isOpen()) cnn.close();
        std::error_code ec;
        fs::remove_all(dir, ec);
        unsetenv("QUILLMERE_DATA_DIR");
    }

    // A single number from a fresh record set; -1 for NULL, -2 for no row.
    long long number(Connection& c, const std::string& sql) {
        Recordset rs;
        rs.open(sql, c);
        long long v = rs.eof() ? -2 : rs.field(0).isNull() ? -1 : rs.field(0).integer;
        rs.close();
        return v;
    }
    long long grade(Connection& c, const std::string& sno, const std::string& cno) {
        return number(c, "select gmark from score where sno='" + sno + "' and cno='" + cno + "'");
    }

    std::string dir;
    Connection cnn;
};

TEST_F(Embedded, OpensOnFirstRowWithExactCountTypedValuesAndText) {
    Recordset rs;
    rs.open("select * from  score ", cnn);
    ASSERT_TRUE(rs.isOpen());
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_FALSE(rs.bof());
    EXPECT_EQ(rs.fieldIndex("SNO"), 0);
    EXPECT_EQ(rs.fieldInfo(2).baseTable, "score");
    EXPECT_EQ(rs.fieldInfo(2).baseColumn, "gmark");
    EXPECT_EQ(rs.fieldInfo(2).type.id, engine::TypeId::Numeric);
    EXPECT_EQ(rs.field("Gmark").kind, engine::ValueKind::Integer);
    EXPECT_EQ(rs.fieldText("sno"), "2001001");
    int rows = 0;
    while (!rs.eof()) {
        ++rows;
        rs.moveNext();
    }
    EXPECT_EQ(rows, 4);
    EXPECT_THROW(rs.moveNext(), DbError);
    EXPECT_THROW(rs.field(0), DbError);
    rs.movePrevious();
    rs.movePrevious();
    EXPECT_EQ(rs.fieldText(2), "90");
    rs.moveFirst();
    rs.movePrevious();  // from the first row to BOF
    EXPECT_TRUE(rs.bof());
    EXPECT_FALSE(rs.eof());
    EXPECT_THROW(rs.movePrevious(), DbError);
    EXPECT_THROW(rs.fieldText(0), DbError);
    rs.close();

    rs.open("select sname, sbirthday from student where sno = '2001001'", cnn);
    EXPECT_EQ(rs.fieldText("SNAME"), "王小明");
    EXPECT_EQ(rs.fieldText(1), "1986-10-01 00:00:00.000");
    rs.close();
}

TEST_F(Embedded, MisuseRaisesClientErrors) {
    Recordset rs;
    EXPECT_THROW(rs.close(), DbError);
    EXPECT_THROW(rs.eof(), DbError);
    EXPECT_THROW(rs.moveFirst(), DbError);
    EXPECT_THROW(rs.updateBatch(), DbError);
    rs.open("select * from student", cnn);
    EXPECT_THROW(rs.open("select * from student", cnn), DbError);
    EXPECT_THROW(rs.setLockType(LockType::BatchOptimistic), DbError);
    EXPECT_THROW(rs.field("nosuchcolumn"), DbError);
    EXPECT_THROW(rs.field(17), DbError);
    try {
        rs.setField(1, Value::fromText("x"));  // opened read-only (the default)
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 0);
        EXPECT_EQ(e.kind(), DbError::Kind::Client);
    }
    EXPECT_THROW(rs.deleteCurrent(), DbError);
    EXPECT_TRUE(rs.isOpen());
    rs.close();
    Connection closed;
    EXPECT_THROW(rs.open("select 1", closed), DbError);
    EXPECT_FALSE(rs.isOpen());
}

TEST_F(Embedded, SetOutlivingItsConnectionRefusesToSave) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    {
        Connection short_lived;
        short_lived.setConnectionString(embedded("School"));
        short_lived.open();
        rs.open("select * from score", short_lived);
    }
    rs.setCell(0, 2, "12");  // the rows are still there to look at and edit
    EXPECT_THROW(rs.updateBatch(), DbError);
    EXPECT_TRUE(rs.hasPendingChanges());
    EXPECT_EQ(grade(cnn, "2001001", "1"), 75);
}

TEST_F(Embedded, RefusedStatementAndUnknownDatabase) {
    Recordset rs;
    try {
        rs.open("select * from studnet", cnn);
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 208);
        EXPECT_EQ(e.text(), "对象名 'studnet' 无效。");
    }
    EXPECT_FALSE(rs.isOpen());

    Connection nowhere;
    nowhere.setConnectionString(embedded("NoSuchDatabase"));
    try {
        nowhere.open();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 4060);
    }
    EXPECT_FALSE(nowhere.isOpen());
}

TEST_F(Embedded, StatementsWithoutRowsAndSeveralResults) {
    Recordset rs;
    rs.open("update score set gmark = gmark where sno = '2001001'", cnn);
    EXPECT_FALSE(rs.isOpen());
    // The update trigger's own counts come first, the statement's last.
    ASSERT_FALSE(rs.infoMessages().empty());
    EXPECT_EQ(rs.infoMessages().back().kind, InfoMessage::Kind::RowsAffected);
    EXPECT_EQ(rs.infoMessages().back().rows, 2);

    rs.open("print 'start'\nselect sno from student\nselect cno from score\nprint 'end'", cnn);
    ASSERT_TRUE(rs.isOpen());
    EXPECT_EQ(rs.fieldCount(), 1);
    EXPECT_EQ(rs.columnName(0), "sno");
    EXPECT_EQ(rs.recordCount(), 2);
    std::vector<std::string> prints;
    for (const auto& m : rs.infoMessages())
        if (m.kind == InfoMessage::Kind::Print) prints.push_back(m.text);
    EXPECT_EQ(prints, (std::vector<std::string>{"start", "end"}));
    rs.close();
}

TEST_F(Embedded, BatchSavesEditsAndDeletionsAndFiresTriggers) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from  score ", cnn);
    // 2001001/2: 55 -> 61 removes the student's notice (updatescore_trig).
    rs.setCell(1, 2, "61");
    // 2001002/3 (grade 40) deleted removes its notice (deletescore_trig).
    rs.setCurrentRow(3);
    rs.deleteCurrent();
    EXPECT_EQ(rs.rowCount(), 3);
    EXPECT_EQ(rs.rowStatus(1), RowStatus::Modified);
    EXPECT_EQ(number(cnn, "select count(*) from reexamination"), 2) << "nothing sent yet";
    rs.updateBatch();
    EXPECT_FALSE(rs.hasPendingChanges());
    EXPECT_EQ(grade(cnn, "2001001", "2"), 61);
    EXPECT_EQ(grade(cnn, "2001002", "3"), -2);
    EXPECT_EQ(number(cnn, "select count(*) from reexamination"), 0);
    EXPECT_EQ(rs.displayText(1, 2), "61");
    EXPECT_EQ(rs.rowStatus(1), RowStatus::Unchanged);
    EXPECT_EQ(rs.recordCount(), 3);
    rs.cancelBatch();
    EXPECT_EQ(rs.recordCount(), 3) << "a saved deletion does not come back";
}

TEST_F(Embedded, RowChangedOrDeletedByAnotherConnectionIsAConflict) {
    Connection other;
    other.setConnectionString(embedded("School"));
    other.open();
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from score", cnn);
    other.execute("update score set gmark = 80 where sno = '2001001' and cno = '1'");
    rs.setCell(0, 2, "99");  // 2001001/1, read as 75
    rs.setCell(2, 2, "95");  // 2001002/1, unchanged by the other
    try {
        rs.updateBatch();
        FAIL() << "no conflict";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isConflict());
        EXPECT_NE(e.text().find("2001001"), std::string::npos) << e.text();
    }
    EXPECT_EQ(grade(cnn, "2001001", "1"), 80);
    EXPECT_EQ(grade(other, "2001002", "1"), 90);
    EXPECT_TRUE(rs.hasPendingChanges());
    EXPECT_EQ(rs.displayText(0, 2), "99");

    rs.cancelBatch();
    EXPECT_EQ(rs.displayText(0, 2), "75");
    other.execute("delete from score where sno = '2001002' and cno = '1'");
    rs.setCurrentRow(2);
    rs.deleteCurrent();
    EXPECT_THROW(rs.updateBatch(), DbError);
    rs.close();
    rs.open("select * from score", cnn);
    EXPECT_EQ(rs.recordCount(), 3);
}

TEST_F(Embedded, BatchFailingOnItsSecondRowLeavesEverythingPending) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from score", cnn);
    rs.setCell(0, 2, "77");         // fine on its own
    rs.setCell(1, 1, "1");          // 2001001/2 -> 2001001/1: duplicate key
    try {
        rs.updateBatch();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 2627) << e.text();
    }
    EXPECT_EQ(grade(cnn, "2001001", "1"), 75) << "the first row was rolled back";
    EXPECT_EQ(rs.rowStatus(0), RowStatus::Modified);
    EXPECT_EQ(rs.rowStatus(1), RowStatus::Modified);
    EXPECT_EQ(rs.displayText(0, 2), "77");
    rs.setCell(1, 1, "4");  // corrected
    rs.updateBatch();
    EXPECT_EQ(grade(cnn, "2001001", "1"), 77);
    EXPECT_EQ(grade(cnn, "2001001", "4"), 55);
    // No transaction is left open: another connection sees the rows.
    Connection other;
    other.setConnectionString(embedded("School"));
    other.open();
    EXPECT_EQ(grade(other, "2001001", "4"), 55);
}

TEST_F(Embedded, BadCellTextIsRefusedWithTheConversionMessage) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from score", cnn);
    try {
        rs.setCell(0, 2, "abc");
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 8114);
        EXPECT_EQ(e.text(), "从数据类型 varchar 转换为 numeric 时出错。");
    }
    EXPECT_FALSE(rs.hasPendingChanges());
    EXPECT_EQ(rs.displayText(0, 2), "75");
    rs.setCell(0, 2, "");  // an emptied number cell is NULL
    EXPECT_TRUE(rs.value(0, 2).isNull());
    EXPECT_EQ(rs.displayText(0, 2), "");
}

TEST_F(Embedded, GridDeleteOfTheLastRemainingRow) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from student where sno = '2001002'", cnn);
    EXPECT_EQ(rs.currentRow(), 0);
    rs.deleteCurrent();
    EXPECT_FALSE(rs.eof());  // the deleted row stays current until the next move
    EXPECT_EQ(rs.status(), RowStatus::Deleted);
    EXPECT_EQ(rs.currentRow(), -1);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(rs.bof());
    rs.updateBatch();
    EXPECT_EQ(number(cnn, "select count(*) from student"), 1);
    EXPECT_EQ(rs.rowCount(), 0);
}

TEST_F(Embedded, EditsThroughAViewReachTheTable) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from VIEW_Scort where sno = '2001002'", cnn);
    ASSERT_EQ(rs.rowCount(), 2);
    EXPECT_EQ(rs.fieldInfo(2).baseTable, "score");
    rs.setCell(0, 2, "91");
    rs.updateBatch();
    EXPECT_EQ(grade(cnn, "2001002", "1"), 91);
}

TEST_F(Embedded, ImmediateLockTypesWriteEachEditAtOnce) {
    Recordset rs;
    rs.setLockType(LockType::Optimistic);
    rs.open("select * from score where sno = '2001001'", cnn);
    rs.setField(2, Value::fromInteger(66));
    EXPECT_FALSE(rs.hasPendingChanges());
    EXPECT_EQ(grade(cnn, "2001001", "1"), 66);
}

}  // namespace
}  // namespace quillmere::db
