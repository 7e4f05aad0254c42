// What a client prints for errors: number, level, state, line, module, and the
// Chinese text a Chinese_PRC server sends, including the "statement terminated"
// line after DML errors.
#include "Conformance.h"

namespace qmconf {
namespace {

TEST_F(Conformance, ErrorMessagesAsTheServerWordsThem) {
    setup({"create table p (id int primary key, name varchar(5) not null)",
           "create table c (pid int constraint fk_c_p references p(id))", "insert p values (1, 'a')",
           "create trigger p_upd on p after update as begin declare @x int; set @x = (select id from deleted) end"});
    struct TextCase {
        const char* batch;
        int number;
        int severity;
        int state;
        const char* text;         // the whole text, or a part of it when partial
        bool partial;
        bool terminated;          // followed by 3621 "语句已终止。"
        const char* procedure;
    } cases[] = {
        {"select * from nosuch", 208, 16, 1, "对象名 'nosuch' 无效。", false, false, ""},
        {"select nosuch from p", 207, 16, 1, "列名 'nosuch' 无效。", false, false, ""},
        {"declare @i int; set @i = 'abc'", 245, 16, 1, "在将 varchar 值 'abc' 转换成数据类型 int 时失败。", false, false, ""},
        {"declare @i int; set @i = 1 / 0", 8134, 16, 1, "遇到以零作除数错误。", false, false, ""},
        {"insert p values (1, 'b')", 2627, 14, 1, "不能在对象 'dbo.p' 中插入重复键。重复键值为 (1)。", true, true, ""},
        {"insert p values (2, null)", 515, 16, 2,
         "不能将值 NULL 插入列 'name'，表 'Conf.dbo.p'；列不允许有 Null 值。INSERT 失败。", false, true, ""},
        {"insert c values (9)", 547, 16, 0, "INSERT 语句与 FOREIGN KEY 约束\"fk_c_p\"冲突。", true, true, ""},
        {"insert p values (2, 'toolong')", 8152, 16, -1, "将截断字符串或二进制数据。", false, true, ""},
        {"exec nosuch", 2812, 16, 62, "找不到存储过程 'nosuch'。", false, false, ""},
        {"select 1 from p where id =", 102, 15, 1, "“=”附近有语法错误。", false, false, ""},
        {"select 1 from p where", 156, 15, 1, "关键字 'where' 附近有语法错误。", false, false, ""},
        {"insert p values (2, 'b'), (3, 'c'); update p set name = 'x'", 512, 16, 1,
         "子查询返回的值不止一个。", true, false, "p_upd"},
        {"declare @d datetime; set @d = '2007-02-30'", 242, 16, 3,
         "从 varchar 数据类型到 datetime 数据类型的转换产生一个超出范围的值。", false, false, ""},
        {"declare @d datetime; set @d = 'abc'", 241, 16, 1, "从字符串转换日期和/或时间时，转换失败。", false, false, ""},
        {"select cast('' as numeric(5,2))", 8114, 16, 5, "从数据类型 varchar 转换为 numeric 时出错。", false, false, ""},
    };
    for (const auto& c : cases) {
        Recorder r = run(c.batch);
        const Message* m = nullptr;
        bool terminated = false;
        for (std::size_t i = 0; i < r.messages.size(); ++i)
            if (r.messages[i].isError() && !m) {
                m = &r.messages[i];
                terminated = i + 1 < r.messages.size() && r.messages[i + 1].number == 3621 &&
                             r.messages[i + 1].text == "语句已终止。";
            }
        ASSERT_NE(m, nullptr) << c.batch;
        EXPECT_EQ(m->number, c.number) << c.batch;
        EXPECT_EQ(m->severity, c.severity) << c.batch;
        if (c.state >= 0) EXPECT_EQ(m->state, c.state) << c.batch;
        if (c.partial) EXPECT_NE(m->text.find(c.text), std::string::npos) << c.batch << "\n" << m->text;
        else EXPECT_EQ(m->text, c.text) << c.batch;
        EXPECT_EQ(terminated, c.terminated) << c.batch << "\n" << r.allText();
        EXPECT_EQ(m->procedure, c.procedure) << c.batch;
    }
}

TEST_F(Conformance, PrintAndRaiserrorMessages) {
    Recorder r = run("print 'x'; raiserror('warn %d and %s', 10, 1, 5, 'abc'); raiserror(N'失败', 16, 2)");
    ASSERT_EQ(r.messages.size(), 3u) << r.allText();
    EXPECT_EQ(r.messages[0].number, 0);
    EXPECT_EQ(r.messages[0].severity, 0);
    EXPECT_EQ(r.messages[0].text, "x");
    EXPECT_EQ(r.messages[1].number, 50000);
    EXPECT_EQ(r.messages[1].severity, 10);
    EXPECT_EQ(r.messages[1].text, "warn 5 and abc");
    EXPECT_EQ(r.messages[2].number, 50000);
    EXPECT_EQ(r.messages[2].severity, 16);
    EXPECT_EQ(r.messages[2].state, 2);
    EXPECT_EQ(r.messages[2].text, "失败");
}

}  // namespace
}  // namespace qmconf
