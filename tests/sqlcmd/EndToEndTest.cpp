// quillmere-sqlcmd against the embedded engine, on database files in a temporary
// data directory: connecting, the set-up scripts, and the output of the contract's
// procedures; and over ODBC against a throwaway PostgreSQL cluster.
#include "PostgresServer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

class Sqlcmd : public ::testing::Test {
protected:
    static fs::path& dataDir() {
        static fs::path dir;
        return dir;
    }

    static void SetUpTestSuite() {
        dataDir() = fs::temp_directory_path() / ("qm-sqlcmd-" + std::to_string(::getpid()));
        fs::remove_all(dataDir());
        fs::create_directories(dataDir());
    }
    static void TearDownTestSuite() { fs::remove_all(dataDir()); }

    // Runs the tool with the arguments (each quoted for the shell) and stdin from input.
    static Result run(const std::vector<std::string>& args, const std::string& input = "") {
        fs::path in = dataDir() / "stdin.txt";
        std::ofstream(in, std::ios::binary) << input;
        std::string cmd = "QUILLMERE_DATA_DIR=" + quote(dataDir().string()) + " " + quote(QM_SQLCMD_EXE);
        for (const auto& a : args) cmd += " " + quote(a);
        cmd += " < " + quote(in.string()) + " 2>&1";
        Result r;
        FILE* p = ::popen(cmd.c_str(), "r");
        if (!p) return r;
        std::array<char, 4096> buf;
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
        int status = ::pclose(p);
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    }

    // Creates the sample database once for the suite.
    static bool sampleDatabase() {
        static int state = 0;  // 0 not tried, 1 ready, 2 failed
        if (state == 0) {
            Result c = run({"-S", "(embedded)", "-b", "-Q", "CREATE DATABASE Quillmere"});
            std::string src = QM_SOURCE_DIR;
            Result s = run({"-S", "(embedded)", "-d", "Quillmere", "-b", "-i",
                            src + "/db/schema.sql," + src + "/db/sample-data.sql"});
            state = c.code == 0 && s.code == 0 ? 1 : 2;
            if (state == 2) ADD_FAILURE() << c.out << "\n" << s.out.substr(0, 4000);
        }
        return state == 1;
    }

    // The single value a query prints with -h -1 -W.
    static std::string scalar(const std::string& sql) {
        Result r = run({"-d", "Quillmere", "-h", "-1", "-W", "-Q", "SET NOCOUNT ON " + sql});
        std::string s = r.out;
        while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
        return s;
    }
};

}  // namespace

TEST_F(Sqlcmd, MissingDatabaseIsRefusedUntilCreated) {
    Result r = run({"-S", "(embedded)", "-d", "Nowhere", "-Q", "select 1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "消息 4060，级别 11，状态 1，服务器 (embedded)，第 1 行\n"
                     "无法打开登录所请求的数据库 \"Nowhere\"。登录失败。\n");
    EXPECT_EQ(run({"-S", "(embedded)", "-b", "-Q", "CREATE DATABASE Nowhere"}).code, 0);
    r = run({"-S", "(embedded)", "-d", "nowhere", "-Q", "select 1 as a, 'x' as b"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "a           b\n----------- -\n          1 x\n\n(1 行受影响)\n");
}

TEST_F(Sqlcmd, ErrorsAndExitCodes) {
    ASSERT_TRUE(sampleDatabase());
    Result r = run({"-d", "Quillmere", "-b", "-Q", "select * from studnet"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "消息 208，级别 16，状态 1，服务器 (embedded)，第 1 行\n对象名 'studnet' 无效。\n");
    // Without -b the next batch still runs and the exit code stays 0.
    r = run({"-d", "Quillmere", "-h", "-1"}, "select * from studnet\nGO\nselect 7\nGO\n");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("          7"), std::string::npos) << r.out;
    r = run({"-d", "Quillmere", "-b"}, "select 1\nGO\nselect * from studnet\nGO\nselect 'never'\nGO\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.find("never"), std::string::npos);
}

TEST_F(Sqlcmd, AveragesOfTheSampleDatabase) {
    ASSERT_TRUE(sampleDatabase());
    Result r = run({"-S", "(embedded)", "-d", "Quillmere", "-Q", "exec No_s_avg_sea"});
    EXPECT_EQ(r.code, 0);
    std::string head = "sno     avgSpno                                 \n"
                       "------- ----------------------------------------\n";
    ASSERT_EQ(r.out.substr(0, head.size()), head) << r.out.substr(0, 400);
    std::regex row("[0-9]{7} +[0-9]+\\.[0-9]{6}");
    std::size_t pos = head.size(), rows = 0;
    for (;;) {
        std::size_t nl = r.out.find('\n', pos);
        ASSERT_NE(nl, std::string::npos);
        std::string line = r.out.substr(pos, nl - pos);
        pos = nl + 1;
        if (line.empty()) break;
        EXPECT_EQ(line.size(), 48u) << line;
        EXPECT_TRUE(std::regex_match(line, row)) << line;
        ++rows;
    }
    EXPECT_EQ(rows, 67u);
    EXPECT_EQ(r.out.substr(pos), "(67 行受影响)\n");

    // An unknown student: both columns, no row.
    r = run({"-d", "Quillmere", "-Q", "exec s_avg_sea '9999999'"});
    EXPECT_EQ(r.out, "sno                                             \n"
                     "------- ----------------------------------------\n"
                     "\n(0 行受影响)\n");
}

TEST_F(Sqlcmd, SampleDataAndTriggersAgree) {
    ASSERT_TRUE(sampleDatabase());
    EXPECT_EQ(scalar("select count(*) from student"), "67");
    EXPECT_EQ(scalar("select count(*) from score"), "358");
    // Every failing grade left its notice through the insert trigger.
    EXPECT_EQ(scalar("select count(*) from score where gmark<60"), scalar("select count(*) from reexamination"));
    // The student without a speciality has notices too, with a NULL name.
    EXPECT_EQ(scalar("select count(*) from reexamination where spname is null"),
              scalar("select count(*) from score where gmark<60 and sno in (select sno from student where spno is null)"));
    EXPECT_NE(scalar("select count(*) from reexamination where spname is null"), "0");
    EXPECT_EQ(scalar("select userRule from userSystem where userID='admin' and userPWD='admin'"), "管理员");
    // A new failing grade through the view adds a notice with the speciality and the date.
    Result r = run({"-d", "Quillmere", "-b", "-Q",
                    "Insert Into VIEW_CourseSelectionProgramInformation(sno,cno,gmark) values('2005001','8','59')"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(scalar("select count(*) from reexamination where sno='2005001' and cno='8'"), "1");
    EXPECT_EQ(scalar("select spname from reexamination where sno='2005001' and cno='8'"),
              scalar("select spname from speciality where spno=(select spno from student where sno='2005001')"));
    EXPECT_EQ(scalar("select redate from reexamination where sno='2005001' and cno='8'"), "2007-03-20 00:00:00.000");
}

TEST_F(Sqlcmd, UseChangesTheContext) {
    ASSERT_TRUE(sampleDatabase());
    ASSERT_EQ(run({"-b", "-Q", "CREATE DATABASE Other"}).code, 0);
    Result r = run({"-d", "Other", "-Q", "USE Quillmere"});
    EXPECT_EQ(r.out, "已将数据库上下文更改为 'Quillmere'。\n");
}

TEST_F(Sqlcmd, OdbcServerGivenAsAConnectionString) {
    auto& pg = quillmere::db::test::PostgresServer::instance();
    if (!pg.available()) pg.start();
    ASSERT_TRUE(pg.available()) << pg.why();
    Result r = run({"-S", pg.connectionString(), "-h", "-1", "-W", "-Q", "select 41 + 1 as n, '学生表' as t"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("42 学生表"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(1 行受影响)"), std::string::npos) << r.out;
    // The server's refusal comes through with its text, and -b makes it the exit code.
    r = run({"-S", pg.connectionString(), "-b", "-Q", "select * from no_such_table"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("no_such_table"), std::string::npos) << r.out;
    // A refused login is told in the driver's words, without its "[vendor][driver]" prefixes.
    r = run({"-S", pg.connectionString("wrong"), "-Q", "select 1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.rfind("Sqlcmd: 错误: ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("[unixODBC]"), std::string::npos) << r.out;
}
