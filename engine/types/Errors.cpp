// The error catalogue: numbers, severities, usual states and the wording of a
// Chinese (Simplified) SQL Server. Templates use {1}, {2} ... for the
// arguments, numbered in the order of the English template.
#include "engine/Errors.h"

#include <vector>

namespace quillmere::engine {

namespace {

struct Entry {
    int number;
    int severity;
    int state;
    const char* text;
};

constexpr Entry kCatalogue[] = {
    {102, 15, 1, "“{1}”附近有语法错误。"},
    {105, 15, 1, "字符串 '{1}' 后的引号不成对。"},
    {109, 15, 1, "INSERT 语句中列的数目大于 VALUES 子句中指定的值的数目。VALUES 子句中值的数目必须与 INSERT 语句中指定的列的数目匹配。"},
    {110, 15, 1, "INSERT 语句中列的数目小于 VALUES 子句中指定的值的数目。VALUES 子句中值的数目必须与 INSERT 语句中指定的列的数目匹配。"},
    {111, 15, 1, "'{1}' 必须是查询批次中的第一个语句。"},
    {119, 15, 1, "必须传递参数数目 {1}，并以 '@name = value' 的形式传递后续的参数。一旦使用了 '@name = value' 形式之后，所有后续的参数就必须以 '@name = value' 的形式传递。"},
    {120, 15, 1, "INSERT 语句的选择列表包含的项少于插入列表中的项。SELECT 语句中值的数目必须与 INSERT 语句中列的数目匹配。"},
    {121, 15, 1, "INSERT 语句的选择列表包含的项多于插入列表中的项。SELECT 语句中值的数目必须与 INSERT 语句中列的数目匹配。"},
    {134, 15, 1, "变量名 '{1}' 已声明。变量名在查询批次或存储过程内部必须唯一。"},
    {137, 15, 2, "必须声明标量变量 \"{1}\"。"},
    {141, 15, 1, "向变量赋值的 SELECT 语句不能与数据检索操作结合使用。"},
    {147, 15, 1, "聚合不应出现在 WHERE 子句中，除非该聚合位于 HAVING 子句或选择列表所包含的子查询中，并且要对其进行聚合的列是外部引用。"},
    {155, 15, 1, "'{1}' 不是可以识别的 datepart 选项。"},
    {156, 15, 1, "关键字 '{1}' 附近有语法错误。"},
    {174, 15, 1, "{1} 函数要求有 {2} 个参数。"},
    {189, 15, 1, "{1} 函数要求有 {2} 到 {3} 个参数。"},
    {195, 15, 10, "'{1}' 不是可以识别的 内置函数名称。"},
    {201, 16, 4, "过程或函数 '{1}' 需要参数 '{2}'，但未提供该参数。"},
    {206, 16, 2, "操作数类型冲突: {1} 与 {2} 不兼容"},
    {207, 16, 1, "列名 '{1}' 无效。"},
    {208, 16, 1, "对象名 '{1}' 无效。"},
    {209, 16, 1, "列名 '{1}' 不明确。"},
    {213, 16, 1, "列名或所提供值的数目与表定义不匹配。"},
    {217, 16, 1, "超出了存储过程、函数、触发器或视图的最大嵌套层数(最大层数为 32)。"},
    {241, 16, 1, "从字符串转换日期和/或时间时，转换失败。"},
    {242, 16, 3, "从 {1} 数据类型到 {2} 数据类型的转换产生一个超出范围的值。"},
    {244, 16, 2, "转换 {1} 值 '{2}' 时溢出了 {3} 列。请使用更大的整数列。"},
    {245, 16, 1, "在将 {1} 值 '{2}' 转换成数据类型 {3} 时失败。"},
    {248, 16, 1, "转换 {1} 值 '{2}' 时溢出了 {3} 列。"},
    {286, 16, 1, "逻辑表 INSERTED 和 DELETED 不能更新。"},
    {220, 16, 2, "数据类型 {1} 出现算术溢出错误，值 = {2}。"},
    {232, 16, 3, "类型 {1} 出现算术溢出错误，值 = {2}。"},
    {402, 16, 1, "数据类型 {1} 和 {2} 在 {3} 运算符中不兼容。"},
    {512, 16, 1, "子查询返回的值不止一个。当子查询跟随在 =、!=、<、<=、>、>= 之后，或子查询用作表达式时，这种情况是不允许的。"},
    {515, 16, 2, "不能将值 NULL 插入列 '{1}'，表 '{2}'；列不允许有 Null 值。{3} 失败。"},
    {517, 16, 1, "将值添加到 'datetime' 列导致溢出。"},
    {530, 16, 1, "语句被终止。完成执行语句前已用完最大递归 {1}。"},
    {535, 16, 0, "datediff 函数导致了溢出。用于分隔两个日期/时间实例的日期部分数过大。请尝试使用精度较低的日期部分的 datediff。"},
    {536, 16, 1, "传递给 {1} 函数的长度参数无效。"},
    {537, 16, 3, "传递给 LEFT 或 SUBSTRING 函数的长度参数无效。"},
    {547, 16, 0, "{1} 语句与 {2} 约束\"{3}\"冲突。该冲突发生于数据库\"{4}\"，表\"{5}\"{6}。"},
    {550, 16, 1, "试图进行的插入或更新已失败，原因是目标视图或者目标视图所跨越的某一视图指定了 WITH CHECK OPTION，而该操作的一个或多个结果行又不符合 CHECK OPTION 约束。"},
    {911, 16, 1, "数据库 '{1}' 不存在。请确保正确地输入了该名称。"},
    {1205, 13, 51, "事务(进程 ID {1})与另一个进程被死锁在 锁 资源上，并且已被选作死锁牺牲品。请重新运行该事务。"},
    {1222, 16, 56, "已超过了锁请求超时时段。另一个程序正在使用该数据库，请稍后重试。"},
    {1801, 16, 3, "数据库 '{1}' 已存在。请选择其他数据库名称。"},
    {2601, 14, 1, "不能在具有唯一索引“{2}”的对象“{1}”中插入重复键的行。重复键值为 {3}。"},
    {2627, 14, 1, "违反了 {1} 约束 '{2}'。不能在对象 '{3}' 中插入重复键。重复键值为 {4}。"},
    {2705, 16, 3, "各表中的列名必须唯一。在表 '{1}' 中多次指定了列名 '{2}'。"},
    {2714, 16, 6, "数据库中已存在名为 '{1}' 的对象。"},
    {2812, 16, 62, "找不到存储过程 '{1}'。"},
    {3609, 16, 1, "事务在触发器中结束。批处理已中止。"},
    {3623, 16, 1, "出现了无效的浮点操作。"},
    {3621, 0, 0, "语句已终止。"},
    {3701, 11, 5, "无法对 {1} '{2}' 执行 删除，因为它不存在，或者您没有所需的权限。"},
    {3726, 16, 1, "无法删除对象 '{1}'，因为该对象正由一个 FOREIGN KEY 约束 '{2}' 引用。"},
    {3902, 16, 1, "COMMIT TRANSACTION 请求没有对应的 BEGIN TRANSACTION。"},
    {3903, 16, 1, "ROLLBACK TRANSACTION 请求没有对应的 BEGIN TRANSACTION。"},
    {4060, 11, 1, "无法打开登录所请求的数据库 \"{1}\"。登录失败。"},
    {4104, 16, 1, "无法绑定由多个部分组成的标识符 \"{1}\"。"},
    {4403, 16, 1, "无法更新视图或函数 '{1}'，因为它包含聚合、DISTINCT 或 GROUP BY 子句或者 PIVOT 或 UNPIVOT 运算符。"},
    {4405, 16, 1, "视图或函数 '{1}' 不可更新，因为修改会影响多个基表。"},
    {4406, 16, 1, "对视图或函数 '{1}' 的更新或插入失败，因为其中包含派生域或常量域。"},
    {8114, 16, 5, "从数据类型 {1} 转换为 {2} 时出错。"},
    {8115, 16, 2, "将 {1} 转换为数据类型 {2} 时出现算术溢出错误。"},
    {8116, 16, 1, "参数数据类型 {1} 对于 {2} 函数的参数 {3} 无效。"},
    {8120, 16, 1, "选择列表中的列 '{1}' 无效，因为该列没有包含在聚合函数或 GROUP BY 子句中。"},
    {8134, 16, 1, "遇到以零作除数错误。"},
    {8144, 16, 2, "为过程或函数 {1} 指定了过多的参数。"},
    {8145, 16, 2, "{1} 不是过程 {2} 的参数。"},
    {8152, 16, 14, "将截断字符串或二进制数据。"},
    {8153, 10, 1, "警告: 聚合或其他 SET 操作消除了 Null 值。"},
    {8169, 16, 2, "从字符串转换为 uniqueidentifier 时失败。"},
    {50000, 16, 1, "内部错误：{1}"},
};

const Entry* find(int number) {
    for (const auto& e : kCatalogue)
        if (e.number == number) return &e;
    return nullptr;
}

std::string substitute(const char* tmpl, const std::vector<std::string_view>& args) {
    std::string out;
    for (const char* p = tmpl; *p; ++p) {
        if (*p == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}') {
            std::size_t i = static_cast<std::size_t>(p[1] - '1');
            if (i < args.size()) out.append(args[i]);
            p += 2;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

Message makeError(int number, std::initializer_list<std::string_view> arguments) {
    Message m;
    m.number = number;
    std::vector<std::string_view> args(arguments);
    if (const Entry* e = find(number)) {
        m.severity = e->severity;
        m.state = e->state;
        m.text = substitute(e->text, args);
    } else {
        m.severity = 16;
        m.state = 1;
        m.text = "错误 " + std::to_string(number) + "。";
        for (auto a : args) { m.text += ' '; m.text.append(a); }
    }
    return m;
}

Message statementTerminated() { return makeError(3621); }

ErrorScope errorScope(int number) {
    switch (number) {
    case 241: case 244: case 245: case 248: case 206: case 402:
    case 217: case 1205: case 3609: case 8169:
        return ErrorScope::Batch;
    default:
        return ErrorScope::Statement;
    }
}

Message internalError(std::string_view detail) { return makeError(50000, {detail}); }

}  // namespace quillmere::engine
