// The ODBC backend against a real PostgreSQL server through unixODBC, with
// statements that PostgreSQL and SQL Server both accept.
#include "PostgresServer.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quillmere::db {
namespace {

using test::PostgresServer;

class Odbc : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        PostgresServer& pg = PostgresServer::instance();
        if (!pg.available()) pg.start();
    }

    void SetUp() override {
        PostgresServer& pg = PostgresServer::instance();
        ASSERT_TRUE(pg.available()) << pg.why();
        cnn.setConnectionString(pg.connectionString());
        cnn.setCursorLocation(CursorLocation::Client);
        cnn.open();
        cnn.execute("DROP TABLE IF EXISTS score");
        cnn.execute(
            "CREATE TABLE score (sno char(7) NOT NULL, cno char(1) NOT NULL, gmark numeric(3,0), "
            "PRIMARY KEY (sno, cno), CHECK (gmark >= 0))");
        cnn.execute(
            "INSERT INTO score (sno, cno, gmark) VALUES ('2001001','1',75), ('2001001','2',55), "
            "('2001002','1',90), ('2001003','3',NULL)");
    }

    // The grade stored for a selection, read on a fresh record set; -1 for NULL, -2 for no row.
    long grade(Connection& c, const std::string& sno, const std::string& cno) {
        Recordset rs;
        rs.open("select gmark from score where sno='" + sno + "' and cno='" + cno + "'", c);
        long g = rs.eof() ? -2 : rs.field(0).isNull() ? -1 : static_cast<long>(rs.field(0).integer);
        rs.close();
        return g;
    }

    Connection cnn;
};

TEST_F(Odbc, OpenReadsAllRowsWithTypedValuesAndDriverText) {
    Recordset rs;
    rs.open("select * from score order by sno, cno", cnn);
    ASSERT_TRUE(rs.isOpen());
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_FALSE(rs.bof());
    EXPECT_FALSE(rs.eof());
    ASSERT_EQ(rs.fieldCount(), 3);
    EXPECT_EQ(rs.fieldIndex("GMARK"), 2);
    EXPECT_EQ(rs.fieldIndex("nope"), -1);
    EXPECT_EQ(rs.fieldText("sno"), "2001001");
    EXPECT_EQ(rs.field("Gmark").kind, engine::ValueKind::Integer);
    EXPECT_EQ(rs.field("gmark").integer, 75);
    EXPECT_EQ(rs.fieldInfo(0).baseTable, "score");
    rs.moveLast();
    EXPECT_TRUE(rs.field(2).isNull());
    EXPECT_EQ(rs.fieldText(2), "");
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_THROW(rs.field(0), DbError);
    EXPECT_THROW(rs.moveNext(), DbError);
    rs.movePrevious();
    EXPECT_EQ(rs.fieldText("sno"), "2001003");
    rs.close();
    EXPECT_FALSE(rs.isOpen());
    EXPECT_THROW(rs.close(), DbError);
    EXPECT_THROW(rs.eof(), DbError);
}

TEST_F(Odbc, EmptyResultKeepsHeadingsAndWriteStatementLeavesSetClosed) {
    Recordset rs;
    rs.open("select * from score where sno = 'none'", cnn);
    EXPECT_TRUE(rs.isOpen());
    EXPECT_TRUE(rs.bof() && rs.eof());
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_EQ(rs.columnCount(), 3);
    EXPECT_EQ(rs.columnName(1), "cno");
    EXPECT_THROW(rs.open("select 1", cnn), DbError);  // already open
    rs.close();

    rs.open("update score set gmark = gmark + 1 where sno = '2001001'", cnn);
    EXPECT_FALSE(rs.isOpen());
    ASSERT_FALSE(rs.infoMessages().empty());
    EXPECT_EQ(rs.infoMessages().back().kind, InfoMessage::Kind::RowsAffected);
    EXPECT_EQ(rs.infoMessages().back().rows, 2);
    EXPECT_EQ(grade(cnn, "2001001", "1"), 76);

    rs.open("update score set gmark = 1 where sno = 'none'; select sno from score; select cno, gmark from score", cnn);
    ASSERT_TRUE(rs.isOpen()) << "opens on the first result set";
    EXPECT_EQ(rs.fieldCount(), 1);
    EXPECT_EQ(rs.recordCount(), 4);
    std::vector<std::int64_t> counts;
    for (const auto& m : rs.infoMessages()) counts.push_back(m.rows);
    EXPECT_EQ(counts, (std::vector<std::int64_t>{0, 4, 4}));
    rs.close();

    rs.open("delete from score where sno = 'none'", cnn);
    EXPECT_FALSE(rs.isOpen());
    ASSERT_EQ(rs.infoMessages().size(), 1u);
    EXPECT_EQ(rs.infoMessages()[0].rows, 0);
}

TEST_F(Odbc, RefusedStatementThrowsWithServerTextAndLeavesSetClosed) {
    Recordset rs;
    try {
        rs.open("select * from studnet", cnn);
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::Kind::Server);
        EXPECT_NE(e.text().find("studnet"), std::string::npos) << e.text();
        EXPECT_EQ(e.text().find("[unixODBC]"), std::string::npos) << "driver prefixes go to source()";
    }
    EXPECT_FALSE(rs.isOpen());
    rs.open("select * from score", cnn);  // still usable
    EXPECT_EQ(rs.recordCount(), 4);
}

TEST_F(Odbc, BatchUpdateAndDeleteLandTogether) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from  score  order by sno, cno", cnn);
    rs.setCell(0, 2, "80");                // 2001001/1: 75 -> 80
    rs.setCurrentRow(1);
    rs.deleteCurrent();                    // 2001001/2
    EXPECT_EQ(rs.status(), RowStatus::Deleted);
    rs.moveNext();
    rs.setField(2, Value::fromInteger(91)); // 2001002/1
    EXPECT_EQ(rs.rowCount(), 3);
    EXPECT_EQ(rs.rowStatus(0), RowStatus::Modified);
    EXPECT_EQ(grade(cnn, "2001001", "1"), 75) << "nothing is sent before updateBatch";
    rs.updateBatch();
    EXPECT_FALSE(rs.hasPendingChanges());
    EXPECT_EQ(grade(cnn, "2001001", "1"), 80);
    EXPECT_EQ(grade(cnn, "2001001", "2"), -2);
    EXPECT_EQ(grade(cnn, "2001002", "1"), 91);
    EXPECT_EQ(rs.displayText(0, 2), "80");
    EXPECT_EQ(rs.rowStatus(0), RowStatus::Unchanged);
    EXPECT_EQ(rs.recordCount(), 3);
}

TEST_F(Odbc, RowChangedByAnotherConnectionIsAConflictNotOverwritten) {
    Connection other;
    other.setConnectionString(PostgresServer::instance().connectionString());
    other.open();
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from score order by sno, cno", cnn);
    other.execute("update score set gmark = 60 where sno = '2001001' and cno = '1'");
    rs.setCell(0, 2, "99");
    rs.setCell(2, 2, "10");
    try {
        rs.updateBatch();
        FAIL() << "no conflict";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isConflict());
        EXPECT_NE(e.text().find("其他用户"), std::string::npos) << e.text();
    }
    EXPECT_EQ(grade(cnn, "2001001", "1"), 60) << "the other user's value stays";
    EXPECT_EQ(grade(cnn, "2001002", "1"), 90) << "the batch is all or nothing";
    EXPECT_TRUE(rs.hasPendingChanges());
    EXPECT_EQ(rs.displayText(0, 2), "99");

    // A row deleted by the other connection is a conflict too.
    rs.cancelBatch();
    other.execute("delete from score where sno = '2001002'");
    rs.setCurrentRow(2);
    rs.deleteCurrent();
    EXPECT_THROW(rs.updateBatch(), DbError);
    EXPECT_TRUE(rs.hasPendingChanges());
    rs.cancelBatch();
    EXPECT_EQ(rs.recordCount(), 4);
}

TEST_F(Odbc, BatchRefusedOnItsSecondRowChangesNothing) {
    Recordset rs;
    rs.setLockType(LockType::BatchOptimistic);
    rs.open("select * from score order by sno, cno", cnn);
    rs.setCell(0, 2, "70");
    rs.setCell(1, 2, "-5");  // the CHECK constraint refuses it
    EXPECT_THROW(rs.updateBatch(), DbError);
    EXPECT_EQ(grade(cnn, "2001001", "1"), 75);
    EXPECT_TRUE(rs.hasPendingChanges());
    rs.setCell(1, 2, "5");  // corrected, the same batch goes through
    rs.updateBatch();
    EXPECT_EQ(grade(cnn, "2001001", "1"), 70);
    EXPECT_EQ(grade(cnn, "2001001", "2"), 5);
    // The connection is back in autocommit: a plain statement is seen by another connection.
    cnn.execute("update score set gmark = 1 where sno = '2001003'");
    Connection other;
    other.setConnectionString(PostgresServer::instance().connectionString());
    other.open();
    EXPECT_EQ(grade(other, "2001003", "3"), 1);
}

TEST(OdbcLogin, RefusedLoginAndUnreachableServer) {
    PostgresServer& pg = PostgresServer::instance();
    if (!pg.available()) pg.start();
    ASSERT_TRUE(pg.available()) << pg.why();
    Connection cnn;
    cnn.setConnectionString(pg.connectionString("wrong"));
    try {
        cnn.open();
        FAIL() << "login accepted";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::Kind::Server);
        EXPECT_FALSE(e.text().empty());
        EXPECT_NE(e.text().find("quill"), std::string::npos) << e.text();
    }
    EXPECT_FALSE(cnn.isOpen());
    cnn.setConnectionString(pg.connectionString());
    cnn.open();  // corrected, the same object connects
    EXPECT_TRUE(cnn.isOpen());
    EXPECT_THROW(cnn.open(), DbError);

    Connection nowhere;
    nowhere.setConnectionString("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" +
                                std::to_string(test::freeLoopbackPort()) + ";Database=postgres;UID=quill;PWD=x");
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(nowhere.open(), DbError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(nowhere.isOpen());
}

}  // namespace
}  // namespace quillmere::db
