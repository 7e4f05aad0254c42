// The ODBC connection string quillmere-sqlcmd makes of -S, -d, -U, -P and -E.
#include "tools/sqlcmd/Runner.h"

#include <gtest/gtest.h>

namespace quillmere::sqlcmd {
namespace {

Options server(std::string s) {
    Options o;
    o.server = std::move(s);
    o.database = "Quillmere";
    return o;
}

TEST(OdbcConnectionString, FromTheOptions) {
    Options o = server("tcp:db.school,1533");
    o.user = "sa";
    o.password = "p;w";
    EXPECT_EQ(odbcConnectionString(o, "FreeTDS"),
              "Driver={FreeTDS};Server=db.school;Port=1533;Database=Quillmere;UID=sa;PWD={p;w};ClientCharset=UTF-8");
    EXPECT_EQ(odbcConnectionString(o, "ODBC Driver 17 for SQL Server"),
              "Driver={ODBC Driver 17 for SQL Server};Server=db.school,1533;Database=Quillmere;UID=sa;PWD={p;w}");
    o = server("(local)");
    o.trusted = true;
    EXPECT_EQ(odbcConnectionString(o, "FreeTDS"),
              "Driver={FreeTDS};Server=localhost;Database=Quillmere;Trusted_Connection=Yes;ClientCharset=UTF-8");
    o.database.clear();
    EXPECT_EQ(odbcConnectionString(o, "ODBC Driver 18 for SQL Server"),
              "Driver={ODBC Driver 18 for SQL Server};Server=(local);Trusted_Connection=Yes;Encrypt=Optional");
}

TEST(OdbcConnectionString, AnOdbcStringIsUsedAsItIs) {
    EXPECT_EQ(odbcConnectionString(server("Driver={PostgreSQL Unicode};Server=h"), "FreeTDS"),
              "Driver={PostgreSQL Unicode};Server=h");
    EXPECT_EQ(odbcConnectionString(server("dsn=school"), "FreeTDS"), "dsn=school");
}

}  // namespace
}  // namespace quillmere::sqlcmd
