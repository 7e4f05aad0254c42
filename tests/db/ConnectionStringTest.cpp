#include "db/Connection.h"
#include "db/ConnectionString.h"

#include <gtest/gtest.h>

namespace quillmere::db {
namespace {

TEST(ConnectionString, WindowsFormTranslatesToTrustedConnection) {
    const std::string s =
        "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=D;Data Source=S";
    EXPECT_EQ(oleDbToOdbc(s, "ODBC Driver 17 for SQL Server"),
              "Driver={ODBC Driver 17 for SQL Server};Server=S;Database=D;Trusted_Connection=Yes");
    EXPECT_EQ(oleDbToOdbc(s, "FreeTDS"), "Driver={FreeTDS};Server=S;Database=D;Trusted_Connection=Yes;ClientCharset=UTF-8");
    EXPECT_EQ(oleDbToOdbc(s, "ODBC Driver 18 for SQL Server"),
              "Driver={ODBC Driver 18 for SQL Server};Server=S;Database=D;Trusted_Connection=Yes;Encrypt=Optional");
}

TEST(ConnectionString, SqlServerFormDropsTheBlankAfterTheLogin) {
    // The login form writes one blank between the login name and ";pwd="; it is not
    // part of the name, and the OLE DB parser drops it as well.
    const std::string s =
        "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa ;pwd=secret;Initial Catalog=Quillmere;Data Source=db1";
    EXPECT_EQ(oleDbToOdbc(s, "ODBC Driver 17 for SQL Server"),
              "Driver={ODBC Driver 17 for SQL Server};Server=db1;Database=Quillmere;UID=sa;PWD=secret");
}

TEST(ConnectionString, ValuesWithSpecialCharactersAreBracedNeverSpliced) {
    struct Case {
        std::string password, expected;
    } cases[] = {
        {"a;Server=evil", "PWD={a;Server=evil}"},
        {"x=y", "PWD={x=y}"},
        {"p}w{d", "PWD={p}}w{d}"},
        {"{x}", "PWD={{x}}}"},
        {"plain", "PWD=plain"},
    };
    for (const Case& c : cases) {
        std::string ole = "Provider=SQLOLEDB.1;User ID=u;pwd=\"" + c.password + "\";Initial Catalog=D;Data Source=S";
        std::string odbc = oleDbToOdbc(ole, "FreeTDS");
        EXPECT_NE(odbc.find(";" + c.expected + ";"), std::string::npos) << odbc;
        // Read back, the password is exactly what was given and nothing else was injected.
        ConnectionStringParts parts = parseConnectionString(odbc);
        ASSERT_NE(findPart(parts, "PWD"), nullptr);
        EXPECT_EQ(*findPart(parts, "PWD"), c.password);
        EXPECT_EQ(*findPart(parts, "Server"), "S");
    }
}

TEST(ConnectionString, ServerForms) {
    auto server = [](const std::string& ds, const std::string& driver) {
        return oleDbToOdbc("Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=D;Data Source=" + ds, driver);
    };
    EXPECT_EQ(server("host,1533", "FreeTDS"), "Driver={FreeTDS};Server=host;Port=1533;Database=D;Trusted_Connection=Yes;ClientCharset=UTF-8");
    EXPECT_EQ(server("(local)\\SQLEXPRESS", "FreeTDS"),
              "Driver={FreeTDS};Server=localhost\\SQLEXPRESS;Database=D;Trusted_Connection=Yes;ClientCharset=UTF-8");
    EXPECT_EQ(server(".", "FreeTDS"), "Driver={FreeTDS};Server=localhost;Database=D;Trusted_Connection=Yes;ClientCharset=UTF-8");
    EXPECT_EQ(server("host,1533", "ODBC Driver 17 for SQL Server"),
              "Driver={ODBC Driver 17 for SQL Server};Server=host,1533;Database=D;Trusted_Connection=Yes");
    // A server name of blanks only reads as empty, as OLE DB reads it; the driver then
    // refuses the connection rather than guessing a server.
    EXPECT_EQ(server("  ", "ODBC Driver 17 for SQL Server"),
              "Driver={ODBC Driver 17 for SQL Server};Server=;Database=D;Trusted_Connection=Yes");
}

TEST(ConnectionString, Parsing) {
    ConnectionStringParts p = parseConnectionString(" Driver = {My ;Driver} ; Server=a;;PWD='it''s';Empty=;Flag");
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0], (std::pair<std::string, std::string>{"Driver", "My ;Driver"}));
    EXPECT_EQ(p[1].second, "a");
    EXPECT_EQ(p[2].second, "it's");
    EXPECT_EQ(p[3], (std::pair<std::string, std::string>{"Empty", ""}));
    EXPECT_EQ(p[4].first, "Flag");
    EXPECT_TRUE(isEmbeddedDataSource(parseConnectionString(
        "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=Q;Data Source=(Embedded)")));
    EXPECT_FALSE(isEmbeddedDataSource(parseConnectionString("Provider=SQLOLEDB.1;Data Source=embedded")));
    EXPECT_TRUE(isOleDbConnectionString(parseConnectionString("provider=SQLOLEDB.1;Data Source=x")));
    EXPECT_FALSE(isOleDbConnectionString(parseConnectionString("Driver={FreeTDS};Server=x")));
}

TEST(ConnectionString, DriverChoiceFallsBackToFreeTds) {
    std::string d = sqlServerOdbcDriver();
    EXPECT_TRUE(d == "FreeTDS" || d == "ODBC Driver 18 for SQL Server" || d == "ODBC Driver 17 for SQL Server") << d;
}

TEST(Connection, MisuseIsReportedNotCrashing) {
    Connection cnn;
    EXPECT_FALSE(cnn.isOpen());
    EXPECT_THROW(cnn.close(), DbError);
    EXPECT_THROW(cnn.backend(), DbError);
    EXPECT_THROW(cnn.execute("select 1"), DbError);
    try {
        cnn.open();  // no connection string
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 0);
        EXPECT_EQ(e.kind(), DbError::Kind::Client);
    }
    EXPECT_FALSE(cnn.isOpen());
}

TEST(Connection, OleDbStringGoesToTheSqlServerDriver) {
    // Nothing listens on port 1: the SQL Server driver (FreeTDS here) refuses at once,
    // and the connection stays closed and usable.
    Connection cnn;
    cnn.setConnectionString(
        "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa ;pwd=x;Initial Catalog=Quillmere;"
        "Data Source=127.0.0.1,1");
    try {
        cnn.open();
        FAIL() << "connected to nothing";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::Kind::Server);
        EXPECT_EQ(e.sqlState().substr(0, 2), "08") << e.sqlState() << " " << e.text();
        EXPECT_FALSE(e.text().empty());
    }
    EXPECT_FALSE(cnn.isOpen());
    cnn.setConnectionString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                            "Initial Catalog=Quillmere;Data Source=127.0.0.1,1");
    EXPECT_THROW(cnn.open(), DbError);
}

}  // namespace
}  // namespace quillmere::db
