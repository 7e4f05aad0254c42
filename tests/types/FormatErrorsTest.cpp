// Display of values and the error catalogue.
#include "engine/Errors.h"
#include "engine/Format.h"

#include <gtest/gtest.h>

using namespace quillmere::engine;

namespace {
SqlType T(const char* name) { return SqlType::parse(name).value(); }
ValueView I(std::int64_t v) { return Value::fromInteger(v).view(); }
}  // namespace

TEST(FormatTest, ValuesAsTheServerShowsThem) {
    struct Case { Value v; const char* type; const char* out; };
    const Case cases[] = {
        {Value::fromText("1986-10-01 00:00:00.000"), "datetime", "1986-10-01 00:00:00.000"},
        {Value::fromText("1986-10-1"), "datetime", "1986-10-01 00:00:00.000"},
        {Value::fromText("2007-05-08 12:35:00"), "smalldatetime", "2007-05-08 12:35:00"},
        {Value::fromText("1986-10-01"), "date", "1986-10-01"},
        {Value::fromReal(75.5), "numeric(38,6)", "75.500000"},
        {Value::fromReal(-0.0000001), "numeric(38,6)", "0.000000"},
        {Value::fromInteger(76), "numeric(18,0)", "76"},
        {Value::fromInteger(76), "numeric(5,2)", "76.00"},
        {Value::fromReal(123.456), "numeric(5,2)", "123.46"},
        {Value::fromReal(1234.5), "money", "1234.5000"},
        {Value::fromReal(75.5), "float", "75.5"},
        {Value::fromReal(0.1), "float", "0.1"},
        {Value::fromReal(1e20), "float", "1E+20"},
        {Value::fromInteger(1), "bit", "1"},
        {Value::fromInteger(0), "bit", "0"},
        {Value::fromInteger(-42), "int", "-42"},
        {Value::fromText("ab   "), "char(5)", "ab   "},
        {Value::fromText("张三"), "nvarchar(10)", "张三"},
        {Value::fromBlob(std::string("\x01\xab", 2)), "varbinary(2)", "0x01AB"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatValue(c.v.view(), T(c.type)), c.out) << c.type;
    EXPECT_EQ(formatValue(ValueView{}, T("int")), "NULL");
    EXPECT_EQ(formatValue(ValueView{}, T("int"), ""), "");
    EXPECT_EQ(formatValue(I(7), SqlType{}), "7");
}

TEST(ErrorsTest, CatalogueEntries) {
    struct Case { int number; std::initializer_list<std::string_view> args; int severity; int state; const char* text; };
    const Case cases[] = {
        {208, {"studnet"}, 16, 1, "对象名 'studnet' 无效。"},
        {207, {"snoo"}, 16, 1, "列名 'snoo' 无效。"},
        {102, {"form"}, 15, 1, "“form”附近有语法错误。"},
        {2812, {"getUser"}, 16, 62, "找不到存储过程 'getUser'。"},
        {8152, {}, 16, 14, "将截断字符串或二进制数据。"},
        {245, {"varchar", "语文", "int"}, 16, 1, "在将 varchar 值 '语文' 转换成数据类型 int 时失败。"},
        {4060, {"Quillmere"}, 11, 1, "无法打开登录所请求的数据库 \"Quillmere\"。登录失败。"},
        {2714, {"student"}, 16, 6, "数据库中已存在名为 'student' 的对象。"},
        {2627, {"PRIMARY KEY", "PK_student", "dbo.student", "(2001001)"}, 14, 1,
         "违反了 PRIMARY KEY 约束 'PK_student'。不能在对象 'dbo.student' 中插入重复键。重复键值为 (2001001)。"},
        // The Chinese sentence names the index before the object.
        {2601, {"dbo.t", "IX_t", "(1)"}, 14, 1, "不能在具有唯一索引“IX_t”的对象“dbo.t”中插入重复键的行。重复键值为 (1)。"},
        {515, {"sno", "Quillmere.dbo.score", "INSERT"}, 16, 2,
         "不能将值 NULL 插入列 'sno'，表 'Quillmere.dbo.score'；列不允许有 Null 值。INSERT 失败。"},
        {547, {"INSERT", "FOREIGN KEY", "FK_score_student", "Quillmere", "dbo.student", ", column 'sno'"}, 16, 0,
         "INSERT 语句与 FOREIGN KEY 约束\"FK_score_student\"冲突。该冲突发生于数据库\"Quillmere\"，表\"dbo.student\", column 'sno'。"},
        {8134, {}, 16, 1, "遇到以零作除数错误。"},
        {137, {"@a"}, 15, 2, "必须声明标量变量 \"@a\"。"},
    };
    for (const auto& c : cases) {
        Message m = makeError(c.number, c.args);
        EXPECT_EQ(m.number, c.number);
        EXPECT_EQ(m.severity, c.severity) << c.number;
        EXPECT_EQ(m.state, c.state) << c.number;
        EXPECT_EQ(m.text, c.text) << c.number;
        EXPECT_TRUE(m.isError());
    }
    // Every number the engine relies on has its own text.
    for (int n : {102, 156, 207, 208, 213, 109, 110, 120, 121, 111, 119, 134, 137, 141, 201, 217, 241, 242, 244, 245,
                  248, 286, 512, 515, 547, 550, 2601, 2627, 2812, 3621, 4060, 4403, 4405, 4406, 8114, 8115, 8134,
                  8144, 8145, 8152, 1801, 911, 3701, 2714, 1205, 1222}) {
        Message m = makeError(n);
        EXPECT_EQ(m.text.find("错误 "), std::string::npos) << n;
    }
    EXPECT_EQ(makeError(99999).severity, 16);
    Message t = statementTerminated();
    EXPECT_EQ(t.number, 3621);
    EXPECT_EQ(t.text, "语句已终止。");
    EXPECT_FALSE(t.isError());
    EXPECT_EQ(internalError("x").text, "内部错误：x");
    EXPECT_EQ(errorScope(245), ErrorScope::Batch);
    EXPECT_EQ(errorScope(8134), ErrorScope::Statement);
    EXPECT_EQ(errorScope(242), ErrorScope::Statement);  // "语句已终止。" follows it on the server
}
