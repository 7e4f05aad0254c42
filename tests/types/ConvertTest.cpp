// Conversions into declared types with SQL Server's results and errors.
#include "engine/Convert.h"
#include "engine/SqlType.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quillmere::engine;

namespace {

SqlType T(const char* name) {
    auto t = SqlType::parse(name);
    EXPECT_TRUE(t) << name;
    return t.value_or(SqlType{});
}

Value text(const char* s) { return Value::fromText(s); }

std::variant<Value, Message> conv(const Value& v, const char* to, ConversionContext c = ConversionContext::Column,
                                  const char* from = nullptr) {
    return convertValue(v, from ? T(from) : SqlType{}, T(to), c);
}

}  // namespace

TEST(SqlTypeTest, ParsesAndNamesDeclaredTypes) {
    struct Case { const char* in; const char* name; };
    const Case cases[] = {
        {"char", "char(1)"},           {"CHAR(7)", "char(7)"},          {"varchar( 40 )", "varchar(40)"},
        {"varchar(max)", "varchar(max)"}, {"nvarchar", "nvarchar(1)"},  {"numeric", "numeric(18,0)"},
        {"NUMERIC(18, 0)", "numeric(18,0)"}, {"decimal(5,2)", "numeric(5,2)"}, {"int", "int"},
        {"integer", "int"},            {"datetime", "datetime"},        {"[dbo].[int]", "int"},
        {"float(10)", "real"},         {"character varying(5)", "varchar(5)"}, {"money", "money"},
    };
    for (const auto& c : cases) {
        auto t = SqlType::parse(c.in);
        ASSERT_TRUE(t) << c.in;
        EXPECT_EQ(t->name(), c.name) << c.in;
    }
    for (const char* bad : {"", "strnig", "char(0)", "char(max)", "varchar(8001)", "numeric(39)", "numeric(5,6)",
                            "int(4)", "char(7", "char(x)", "numeric(5,2,1)"})
        EXPECT_FALSE(SqlType::parse(bad)) << bad;
}

// Successful conversions: input text, target type, context, expected stored value.
TEST(ConvertTest, AssignmentTable) {
    struct Case { Value in; const char* to; ConversionContext ctx; Value out; };
    const auto C = ConversionContext::Column, V = ConversionContext::Variable, X = ConversionContext::Cast;
    const Case cases[] = {
        {text(""), "int", C, Value::fromInteger(0)},
        {text(" 12 "), "int", C, Value::fromInteger(12)},
        {text("-7"), "smallint", C, Value::fromInteger(-7)},
        {text(""), "float", C, Value::fromReal(0)},
        {text(""), "bit", C, Value::fromInteger(0)},
        {text("TRUE"), "bit", C, Value::fromInteger(1)},
        {text("false"), "bit", C, Value::fromInteger(0)},
        {text("5"), "bit", C, Value::fromInteger(1)},
        {Value::fromInteger(-3), "bit", C, Value::fromInteger(1)},
        {text("75.5"), "numeric(18,0)", C, Value::fromInteger(76)},
        {text("-75.5"), "numeric(18,0)", C, Value::fromInteger(-76)},
        {text("123.4"), "decimal", C, Value::fromInteger(123)},
        {text("123.456"), "numeric(5,2)", C, Value::fromReal(123.46)},
        {text("99.995"), "numeric(5,2)", C, Value::fromReal(100.0)},
        {text("1,234.5"), "money", C, Value::fromReal(1234.5)},
        {Value::fromReal(75.9), "int", C, Value::fromInteger(75)},
        {Value::fromInteger(59), "numeric(18,0)", C, Value::fromInteger(59)},
        {text("ab"), "char(5)", C, text("ab   ")},
        {text("张三"), "char(8)", C, text("张三    ")},
        {text("ab   "), "char(2)", C, text("ab")},
        {text("ab   "), "varchar(2)", C, text("ab")},
        {text("abcdef"), "char(3)", V, text("abc")},
        {text("2001003xx"), "char(7)", V, text("2001003")},
        {text("张三李四"), "varchar(5)", X, text("张三")},
        {text("张三李四"), "char(5)", V, text("张三 ")},
        {Value::fromInteger(42), "varchar(10)", C, text("42")},
        {Value::fromInteger(12345), "varchar(3)", X, text("*")},
    };
    for (const auto& c : cases) {
        auto r = convertValue(c.in, SqlType{}, T(c.to), c.ctx);
        ASSERT_TRUE(std::holds_alternative<Value>(r))
            << c.in.bytes << c.in.integer << " -> " << c.to << ": " << std::get<Message>(r).text;
        const Value& v = std::get<Value>(r);
        EXPECT_EQ(v.kind, c.out.kind) << c.in.bytes << " -> " << c.to;
        if (v.kind == ValueKind::Real) EXPECT_NEAR(v.real, c.out.real, 1e-9) << c.in.bytes << " -> " << c.to;
        else EXPECT_EQ(v, c.out) << c.in.bytes << " -> " << c.to << " gave '" << v.bytes << "' " << v.integer;
    }
}

TEST(ConvertTest, ErrorTable) {
    struct Case { Value in; const char* to; ConversionContext ctx; int number; const char* textPart; };
    const auto C = ConversionContext::Column, A = ConversionContext::Argument;
    const Case cases[] = {
        {text("abc"), "int", C, 245, "在将 varchar 值 'abc' 转换成数据类型 int 时失败。"},
        {text("75.5"), "int", C, 245, "'75.5'"},
        {text("abc"), "int", A, 8114, "从数据类型 varchar 转换为 int 时出错。"},
        {text(""), "numeric(18,0)", C, 8114, "从数据类型 varchar 转换为 numeric 时出错。"},
        {text("1,234"), "numeric", C, 8114, "numeric"},
        {text("1234"), "numeric(3,0)", C, 8115, "numeric"},
        {text("3000000000"), "int", C, 248, "转换 varchar 值 '3000000000' 时溢出了 int 列。"},
        {text("40000"), "smallint", C, 244, "smallint"},
        {text("300"), "tinyint", C, 244, "tinyint"},
        {text("99999999999999999999"), "bigint", C, 8114, "bigint"},
        {Value::fromInteger(3000000000LL), "int", C, 8115, "int"},
        {text("abc"), "bit", C, 245, "bit"},
        {text("abcdef"), "char(3)", C, 8152, "将截断字符串或二进制数据。"},
        {text("张三李四"), "varchar(7)", C, 8152, ""},
        {text("1986-13-1"), "datetime", C, 242, "从 varchar 数据类型到 datetime 数据类型的转换产生一个超出范围的值。"},
        {text("1986-2-30"), "datetime", C, 242, ""},
        {text("1987-02-29"), "datetime", C, 242, ""},
        {text("1986-10-1 25:00"), "datetime", C, 242, ""},
        {text("1600-01-01"), "datetime", C, 242, ""},
        {text("abc"), "datetime", C, 241, "从字符串转换日期和/或时间时，转换失败。"},
        {text("1986-1x-01"), "datetime", C, 241, ""},
        {text("1986-13-1"), "date", C, 241, ""},
        {text("2079-06-07"), "smalldatetime", C, 242, "smalldatetime"},
        {text("abc"), "float", C, 8114, "float"},
    };
    for (const auto& c : cases) {
        auto r = convertValue(c.in, SqlType{}, T(c.to), c.ctx);
        ASSERT_TRUE(std::holds_alternative<Message>(r)) << c.in.bytes << " -> " << c.to;
        const Message& m = std::get<Message>(r);
        EXPECT_EQ(m.number, c.number) << c.in.bytes << " -> " << c.to << ": " << m.text;
        EXPECT_EQ(m.severity, 16) << c.number;
        EXPECT_NE(m.text.find(c.textPart), std::string::npos) << m.text;
    }
}

TEST(ConvertTest, UnicodeSourceIsNamedInMessagesAndCountsCharacters) {
    auto r = conv(text("abc"), "int", ConversionContext::Column, "nvarchar(10)");
    ASSERT_TRUE(std::holds_alternative<Message>(r));
    EXPECT_EQ(std::get<Message>(r).text, "在将 nvarchar 值 'abc' 转换成数据类型 int 时失败。");
    // nvarchar(5) holds five Chinese characters, varchar(5) only two.
    auto fits = conv(text("张三李四王"), "nvarchar(5)");
    ASSERT_TRUE(std::holds_alternative<Value>(fits));
    EXPECT_EQ(std::get<Value>(fits).bytes, "张三李四王");
    auto tooLong = conv(text("张三李四王五"), "nvarchar(5)");
    ASSERT_TRUE(std::holds_alternative<Message>(tooLong));
    EXPECT_EQ(std::get<Message>(tooLong).number, 8152);
}

TEST(ConvertTest, DatesInTheFormsAServerAccepts) {
    struct Case { const char* in; const char* type; const char* out; };
    const Case cases[] = {
        {"1986-10-1", "datetime", "1986-10-01 00:00:00.000"},
        {"1986/10/01", "datetime", "1986-10-01 00:00:00.000"},
        {"1986.10.1", "datetime", "1986-10-01 00:00:00.000"},
        {"19861001", "datetime", "1986-10-01 00:00:00.000"},
        {" 1986-10-1 ", "datetime", "1986-10-01 00:00:00.000"},
        {"1986-10-01T08:30:00", "datetime", "1986-10-01 08:30:00.000"},
        {"1986-10-01 08:30", "datetime", "1986-10-01 08:30:00.000"},
        {"19861001 08:30:00", "datetime", "1986-10-01 08:30:00.000"},
        {"1986-10-1 4 PM", "datetime", "1986-10-01 16:00:00.000"},
        {"1986-10-1 12:15AM", "datetime", "1986-10-01 00:15:00.000"},
        {"Oct 1 1986 8:05AM", "datetime", "1986-10-01 08:05:00.000"},
        {"08:30", "datetime", "1900-01-01 08:30:00.000"},
        {"", "datetime", "1900-01-01 00:00:00.000"},
        {"", "smalldatetime", "1900-01-01 00:00:00"},
        {"1998-01-01 23:59:59.999", "datetime", "1998-01-02 00:00:00.000"},
        {"1998-01-01 23:59:59.998", "datetime", "1998-01-01 23:59:59.997"},
        {"1998-01-01 10:00:00.001", "datetime", "1998-01-01 10:00:00.000"},
        {"1998-01-01 10:00:00.002", "datetime", "1998-01-01 10:00:00.003"},
        {"1998-01-01 10:00:00.005", "datetime", "1998-01-01 10:00:00.007"},
        {"1998-01-01 10:00:00:123", "datetime", "1998-01-01 10:00:00.123"},
        {"2007-05-08 12:35:30", "smalldatetime", "2007-05-08 12:36:00"},
        {"2007-05-08 12:35:29.998", "smalldatetime", "2007-05-08 12:35:00"},
        {"2007-05-08 12:35:29.999", "smalldatetime", "2007-05-08 12:36:00"},
        {"1986-10-1", "date", "1986-10-01"},
        {"2000-02-29", "date", "2000-02-29"},
        {"2007-3-20", "datetime", "2007-03-20 00:00:00.000"},
    };
    for (const auto& c : cases) {
        auto r = conv(text(c.in), c.type);
        ASSERT_TRUE(std::holds_alternative<Value>(r)) << c.in << ": " << std::get<Message>(r).text;
        EXPECT_EQ(std::get<Value>(r).bytes, c.out) << c.in;
    }
}

TEST(ConvertTest, DatetimeBecomesTextInStyleZero) {
    auto r = conv(text("1986-10-01 08:05:09.123"), "varchar(30)", ConversionContext::Cast, "datetime");
    ASSERT_TRUE(std::holds_alternative<Value>(r));
    EXPECT_EQ(std::get<Value>(r).bytes, "Oct  1 1986  8:05AM");
    // ... and that text reads back as a datetime.
    auto back = conv(std::get<Value>(r), "datetime");
    ASSERT_TRUE(std::holds_alternative<Value>(back));
    EXPECT_EQ(std::get<Value>(back).bytes, "1986-10-01 08:05:00.000");
}

TEST(ConvertTest, NullStaysNull) {
    for (const char* to : {"int", "numeric(18,0)", "char(7)", "datetime", "bit"}) {
        auto r = conv(Value::null(), to);
        ASSERT_TRUE(std::holds_alternative<Value>(r));
        EXPECT_TRUE(std::get<Value>(r).isNull()) << to;
    }
}

TEST(TypeRulesTest, LiteralTypes) {
    EXPECT_EQ(typeOfLiteral(Value::fromInteger(12)).name(), "int");
    EXPECT_EQ(typeOfLiteral(Value::fromInteger(3000000000LL)).name(), "bigint");
    EXPECT_EQ(typeOfLiteral(text("张三")).name(), "varchar(4)");
    EXPECT_EQ(typeOfLiteral(text("张三"), true).name(), "nvarchar(2)");
    EXPECT_EQ(typeOfLiteral(text("")).name(), "varchar(1)");
    struct Case { const char* in; const char* type; };
    for (const Case& c : {Case{"12", "int"}, Case{"2147483647", "int"}, Case{"2147483648", "numeric(10,0)"},
                          Case{"75.5", "numeric(3,1)"}, Case{"0.05", "numeric(2,2)"}, Case{"2.0", "numeric(2,1)"},
                          Case{"1e3", "float"}}) {
        auto t = typeOfNumberLiteral(c.in);
        ASSERT_TRUE(t) << c.in;
        EXPECT_EQ(t->name(), c.type) << c.in;
    }
    EXPECT_FALSE(typeOfNumberLiteral("12a"));
    EXPECT_FALSE(typeOfNumberLiteral("."));
}

TEST(TypeRulesTest, PrecedenceAndNumericResults) {
    struct Case { char op; const char* l; const char* r; const char* out; };
    const Case cases[] = {
        {'+', "varchar(3)", "varchar(4)", "varchar(7)"},
        {'+', "char(3)", "char(4)", "char(7)"},
        {'+', "char(3)", "nvarchar(4)", "nvarchar(7)"},
        {'+', "int", "varchar(5)", "int"},
        {'+', "varchar(5)", "int", "int"},
        {'=', "datetime", "varchar(10)", "datetime"},
        {'+', "int", "smallint", "int"},
        {'+', "int", "float", "float"},
        {'*', "int", "money", "money"},
        {'/', "int", "int", "int"},
        {'+', "numeric(18,0)", "numeric(18,0)", "numeric(19,0)"},
        {'*', "numeric(5,2)", "numeric(4,1)", "numeric(10,3)"},
        {'/', "numeric(18,0)", "int", "numeric(29,11)"},
        {'+', "numeric(5,2)", "int", "numeric(13,2)"},
        {'*', "numeric(38,10)", "numeric(38,10)", "numeric(38,6)"},
        {'+', "bit", "bit", "int"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resultTypeOf(c.op, T(c.l), T(c.r)).name(), c.out) << c.l << c.op << c.r;
}

TEST(TypeRulesTest, AggregateTypes) {
    EXPECT_EQ(aggregateType("AVG", T("numeric(18,0)")).name(), "numeric(38,6)");
    EXPECT_EQ(aggregateType("avg", T("numeric(19,8)")).name(), "numeric(38,8)");
    EXPECT_EQ(aggregateType("avg", T("int")).name(), "int");
    EXPECT_EQ(aggregateType("avg", T("smallint")).name(), "int");
    EXPECT_EQ(aggregateType("sum", T("numeric(18,2)")).name(), "numeric(38,2)");
    EXPECT_EQ(aggregateType("sum", T("bigint")).name(), "bigint");
    EXPECT_EQ(aggregateType("Count", T("varchar(5)")).name(), "int");
    EXPECT_EQ(aggregateType("max", T("char(7)")).name(), "char(7)");
    EXPECT_EQ(aggregateType("avg", T("money")).name(), "money");
    EXPECT_EQ(aggregateType("avg", T("real")).name(), "float");
}
