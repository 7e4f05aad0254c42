// sqlcmd's layout of result sets and messages, GO splitting, options and exit codes,
// against a scripted server.
#include "tools/sqlcmd/Batches.h"
#include "tools/sqlcmd/Options.h"
#include "tools/sqlcmd/Printer.h"
#include "tools/sqlcmd/Runner.h"

#include "engine/Errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

using namespace quillmere;
using namespace quillmere::sqlcmd;
using engine::ResultColumn;
using engine::SqlType;
using engine::Value;

namespace {

SqlType T(const char* name) { return SqlType::parse(name).value(); }

class Row : public engine::RowView {
public:
    explicit Row(std::vector<Value> v) : values_(std::move(v)) {}
    int size() const override { return static_cast<int>(values_.size()); }
    engine::ValueView cell(int i) const override { return values_[static_cast<std::size_t>(i)].view(); }

private:
    std::vector<Value> values_;
};

void resultSet(engine::ResultSink& sink, std::vector<ResultColumn> cols, std::vector<std::vector<Value>> rows,
               bool countShown = true) {
    sink.beginResultSet(cols);
    for (auto& r : rows) sink.row(Row(r));
    sink.endResultSet();
    sink.rowsAffected(static_cast<std::int64_t>(rows.size()), countShown, 0);
}

std::string print(const std::function<void(Printer&)>& f, LayoutOptions o = {}) {
    StringOutput out;
    Printer p(out, o);
    f(p);
    return out.text();
}

}  // namespace

TEST(LayoutTest, AveragesAsSqlcmdShowsThem) {
    std::string text = print([](Printer& p) {
        resultSet(p, {{"sno", T("char(7)")}, {"avgSpno", T("numeric(38,6)")}},
                  {{Value::fromText("2005001"), Value::fromReal(75.5)}, {Value::fromText("2005002"), Value::fromReal(81)}});
    });
    EXPECT_EQ(text,
              "sno     avgSpno                                 \n"
              "------- ----------------------------------------\n"
              "2005001                                75.500000\n"
              "2005002                                81.000000\n"
              "\n"
              "(2 行受影响)\n");
}

TEST(LayoutTest, WidthsAlignmentNullAndUnnamedColumns) {
    std::string text = print([](Printer& p) {
        resultSet(p, {{"", T("int")}, {"姓名", T("varchar(8)")}, {"d", T("datetime")}},
                  {{Value::fromInteger(-5), Value::fromText("张三"), Value::fromText("1986-10-01 00:00:00.000")},
                   {Value::null(), Value::null(), Value::null()}});
    });
    EXPECT_EQ(text,
              "            姓名     d                      \n"
              "----------- -------- -----------------------\n"
              "         -5 张三     1986-10-01 00:00:00.000\n"
              "       NULL NULL                        NULL\n"
              "\n"
              "(2 行受影响)\n");
}

TEST(LayoutTest, NameWiderThanTypeAndEmptyResult) {
    std::string text = print([](Printer& p) {
        resultSet(p, {{"course_number", T("char(1)")}, {"b", T("bit")}}, {});
    });
    EXPECT_EQ(text, "course_number b\n------------- -\n\n(0 行受影响)\n");
}

TEST(LayoutTest, TrimSeparatorAndHeaderOptions) {
    auto rows = [](Printer& p) {
        resultSet(p, {{"", T("int")}, {"name", T("varchar(10)")}},
                  {{Value::fromInteger(1), Value::fromText("a")}, {Value::fromInteger(22), Value::fromText("bb")}});
    };
    LayoutOptions trim;
    trim.trimSpaces = true;
    trim.separator = ",";
    EXPECT_EQ(print(rows, trim), ",name\n-,----\n1,a\n22,bb\n\n(2 行受影响)\n");
    LayoutOptions none;
    none.headers = -1;
    none.trimSpaces = true;
    EXPECT_EQ(print(rows, none), "1 a\n22 bb\n\n(2 行受影响)\n");
    LayoutOptions every;
    every.headers = 1;
    every.trimSpaces = true;
    EXPECT_EQ(print(rows, every), " name\n- ----\n1 a\n\n name\n- ----\n22 bb\n\n(2 行受影响)\n");
}

TEST(LayoutTest, MessagesCountsAndSeveralResultSets) {
    std::string text = print([](Printer& p) {
        p.rowsAffected(1, true, 1);  // a trigger's statement
        p.rowsAffected(1, true, 0);
        p.rowsAffected(3, false, 0);  // NOCOUNT ON
        engine::Message printed;
        printed.text = "hello";
        p.message(printed);
        engine::Message e = engine::makeError(208, {"studnet"});
        e.line = 2;
        p.message(e);
        engine::Message t = engine::makeError(515, {"sno", "Q.dbo.score", "INSERT"});
        t.procedure = "insertUpdateDelete";
        t.line = 10;
        p.message(t);
        p.message(engine::statementTerminated());
        resultSet(p, {{"a", T("int")}}, {{Value::fromInteger(1)}}, false);
        resultSet(p, {{"b", T("int")}}, {{Value::fromInteger(2)}});
        EXPECT_EQ(p.maxSeverity(), 16);
    });
    EXPECT_EQ(text,
              "\n(1 行受影响)\n"
              "\n(1 行受影响)\n"
              "hello\n"
              "消息 208，级别 16，状态 1，服务器 (embedded)，第 2 行\n"
              "对象名 'studnet' 无效。\n"
              "消息 515，级别 16，状态 2，服务器 (embedded)，过程 insertUpdateDelete，第 10 行\n"
              "不能将值 NULL 插入列 'sno'，表 'Q.dbo.score'；列不允许有 Null 值。INSERT 失败。\n"
              "语句已终止。\n"
              "a          \n-----------\n          1\n"
              "\n"
              "b          \n-----------\n          2\n"
              "\n(1 行受影响)\n");
}

TEST(LayoutTest, MaxColumnsAreCutToTheVariableWidth) {
    LayoutOptions o;
    o.maxVariableWidth = 5;
    std::string text = print([](Printer& p) {
        resultSet(p, {{"t", T("varchar(max)")}, {"c", T("varchar(3)")}},
                  {{Value::fromText("abcdefgh"), Value::fromText("xyz")}, {Value::fromText("张三李四"), Value::null()}});
    }, o);
    EXPECT_EQ(text, "t     c  \n----- ---\nabcde xyz\n张三  NULL\n\n(2 行受影响)\n");
}

TEST(LayoutTest, DisplayWidths) {
    EXPECT_EQ(displayWidth("abc"), 3);
    EXPECT_EQ(displayWidth("张三"), 4);
    EXPECT_EQ(displayWidth("ＡＢ"), 4);
    EXPECT_EQ(columnWidth({"avgSpno", T("numeric(38,6)")}, 256), 40);
    EXPECT_EQ(columnWidth({"x", T("varchar(max)")}, 256), 256);
    EXPECT_EQ(columnWidth({"平均成绩绩", T("int")}, 256), 11);
    EXPECT_EQ(columnWidth({"平均成绩绩平均", T("int")}, 256), 14);
}

TEST(BatchesTest, GoLines) {
    struct Case { const char* line; int count; };  // -1: not a GO line
    const Case cases[] = {{"GO", 1}, {"go\r\n", 1}, {"  Go  \n", 1}, {"GO 5", 5}, {"GO 3 -- three times", 3},
                          {"GO -- done", 1}, {"GO--x", 1}, {"GOTO x", -1}, {"GO x", -1}, {"select 1 GO", -1},
                          {"-- GO", -1}, {"GO 2 x", -1}, {"", -1}};
    for (const auto& c : cases) {
        auto n = goLine(c.line);
        if (c.count < 0) EXPECT_FALSE(n) << c.line;
        else EXPECT_EQ(n.value_or(-1), c.count) << c.line;
    }
}

TEST(BatchesTest, SplitsAndKeepsLineEnds) {
    auto batches = splitBatches("\xEF\xBB\xBFselect 1\r\nselect 2\r\nGO\r\n\r\n  \r\nGO\r\nCREATE VIEW v\r\nAS\r\nselect 3\r\ngo 2\r\nselect 4");
    ASSERT_EQ(batches.size(), 3u);
    EXPECT_EQ(batches[0].text, "select 1\r\nselect 2\r\n");
    EXPECT_EQ(batches[0].repeat, 1);
    EXPECT_EQ(batches[1].text, "CREATE VIEW v\r\nAS\r\nselect 3\r\n");
    EXPECT_EQ(batches[1].repeat, 2);
    EXPECT_EQ(batches[1].firstLine, 7);
    EXPECT_EQ(batches[2].text, "select 4");
    EXPECT_TRUE(splitBatches("GO\nGO\n  \n").empty());
}

TEST(OptionsTest, SqlcmdConventions) {
    auto p = parseOptions({"-S", "(embedded)", "-dQuillmere", "-b", "-i", "a.sql,b.sql", "-h", "-1", "-s", "|", "-W"});
    ASSERT_TRUE(p.error.empty()) << p.error;
    EXPECT_EQ(p.options.server, "(embedded)");
    EXPECT_EQ(p.options.database, "Quillmere");
    EXPECT_TRUE(p.options.exitOnError);
    EXPECT_EQ(p.options.inputFiles, (std::vector<std::string>{"a.sql", "b.sql"}));
    EXPECT_EQ(p.options.headers, -1);
    EXPECT_EQ(p.options.separator, "|");
    EXPECT_TRUE(p.options.trimSpaces);
    EXPECT_TRUE(p.options.trusted);
    for (std::vector<std::string> bad : {std::vector<std::string>{"-E", "-U", "sa"}, {"-Q", "x", "-i", "a.sql"},
                                         {"-S"}, {"-h", "0"}, {"-Z"}, {"extra"}, {"-Q", "a", "-q", "b"}, {"-i", "a,,b"}})
        EXPECT_FALSE(parseOptions(bad).error.empty()) << bad[0];
    EXPECT_NE(parseOptions({"-Z"}).error.find("未知的选项"), std::string::npos);
    EXPECT_TRUE(parseOptions({"-?"}).help);
}

namespace {

// A server that answers every batch through a script function.
class ScriptedServer : public Server {
public:
    using Fn = std::function<void(std::string_view, engine::ResultSink&, std::string&)>;
    explicit ScriptedServer(Fn f, std::vector<std::string>* seen) : fn_(std::move(f)), seen_(seen) {}
    engine::BatchStatus execute(std::string_view batch, engine::ResultSink& sink) override {
        seen_->emplace_back(batch);
        fn_(batch, sink, db_);
        return {};
    }
    std::string currentDatabase() const override { return db_; }

private:
    Fn fn_;
    std::vector<std::string>* seen_;
    std::string db_ = "master";
};

struct RunResult {
    int code;
    std::string out;
    std::vector<std::string> batches;
};

RunResult runWith(std::vector<std::string> args, const std::string& stdinText = "") {
    RunResult r{};
    auto parsed = parseOptions(args);
    EXPECT_TRUE(parsed.error.empty()) << parsed.error;
    StringOutput out;
    std::istringstream in(stdinText);
    auto* seen = &r.batches;
    r.code = runSqlcmd(parsed.options, out, in, false, [seen](const Options&, engine::Message*) {
        return std::make_unique<ScriptedServer>(
            [](std::string_view b, engine::ResultSink& sink, std::string& db) {
                if (b.find("bad") != std::string_view::npos) sink.message(engine::makeError(208, {"bad"}));
                if (b.find("warn") != std::string_view::npos) {
                    engine::Message m;
                    m.number = 50000;
                    m.severity = 10;
                    m.text = "just a note";
                    sink.message(m);
                }
                if (b.find("use Q") != std::string_view::npos) db = "Quillmere";
                if (b.find("throw") != std::string_view::npos) throw std::runtime_error("boom");
            },
            seen);
    });
    r.out = out.text();
    return r;
}

}  // namespace

TEST(RunnerTest, ExitCodesFollowDashB) {
    EXPECT_EQ(runWith({"-Q", "select bad"}).code, 0);
    EXPECT_EQ(runWith({"-b", "-Q", "select bad"}).code, 1);
    EXPECT_EQ(runWith({"-b", "-Q", "select warn"}).code, 0);  // severity 10 is no error
    EXPECT_EQ(runWith({"-b", "-Q", "select 1"}).code, 0);
    // -b stops at the failing batch; without it every batch runs.
    auto stopped = runWith({"-b"}, "select 1\nGO\nselect bad\nGO\nselect 3\nGO\n");
    EXPECT_EQ(stopped.code, 1);
    EXPECT_EQ(stopped.batches.size(), 2u);
    auto all = runWith({}, "select 1\nGO\nselect bad\nGO\nselect 3\n");
    EXPECT_EQ(all.code, 0);
    EXPECT_EQ(all.batches.size(), 3u);
}

TEST(RunnerTest, AServerExceptionFailsOnlyItsBatch) {
    auto r = runWith({}, "select throw\nGO\nselect 2\nGO\n");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.batches.size(), 2u);
    EXPECT_NE(r.out.find("内部错误：boom"), std::string::npos) << r.out;
    EXPECT_EQ(runWith({"-b", "-Q", "select throw"}).code, 1);
}

TEST(RunnerTest, GoRepeatsExitAndContextChange) {
    auto r = runWith({}, "select 1\nGO 3\nuse Q\nGO\nselect 2\nQUIT\nselect 9\nGO\n");
    EXPECT_EQ(r.batches, (std::vector<std::string>{"select 1\n", "select 1\n", "select 1\n", "use Q\n"}));
    EXPECT_EQ(r.out, "已将数据库上下文更改为 'Quillmere'。\n");
}

TEST(RunnerTest, MissingInputFileAndFailedConnection) {
    auto r = runWith({"-i", "/nonexistent/x.sql"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("x.sql"), std::string::npos);
    StringOutput out;
    std::istringstream in;
    Options o;
    o.query = "select 1";
    o.exitAfterQuery = true;
    int code = runSqlcmd(o, out, in, false, [](const Options&, engine::Message* e) {
        *e = engine::makeError(4060, {"Nope"});
        return std::unique_ptr<Server>();
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out.text(), "消息 4060，级别 11，状态 1，服务器 (embedded)，第 1 行\n无法打开登录所请求的数据库 \"Nope\"。登录失败。\n");
}
