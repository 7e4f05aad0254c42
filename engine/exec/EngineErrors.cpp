#include "engine/exec/EngineErrors.h"

#include <map>
#include <string>
#include <vector>

namespace quillmere::engine {

namespace {

struct Text {
    int severity;
    const char* text;
};

const std::map<int, Text>& texts() {
    static const std::map<int, Text> t = {
        {104, {15, "如果语句中包含 UNION、INTERSECT 或 EXCEPT 运算符，则 ORDER BY 项必须出现在选择列表中。"}},
        {108, {15, "ORDER BY 位置号 {1} 超出了选择列表中项数的范围。"}},
        {113, {15, "缺少注释结束标记 '*/'。"}},
        {116, {16, "当没有用 EXISTS 引入子查询时，在选择列表中只能指定一个表达式。"}},
        {128, {15, "在此上下文中不允许使用名称 \"{1}\"。有效的表达式包括常量、常量表达式和变量(在某些上下文中)。不允许使用列名。"}},
        {130, {16, "不能对包含聚合或子查询的表达式执行聚合函数。"}},
        {144, {15, "不能在用于 GROUP BY 子句分组依据列表的表达式中使用聚合或子查询。"}},
        {159, {15, "对于 DROP INDEX，必须同时给出表名和索引名，格式为 tablename.indexname。"}},
        {178, {15, "在此上下文中不能使用带有返回值的 RETURN 语句。"}},
        {191, {15, "SQL 语句的某些部分嵌套过深。请重写查询或将其分解为若干较小的查询。"}},
        {205, {16, "使用 UNION、INTERSECT 或 EXCEPT 运算符合并的所有查询必须在其目标列表中有相同数目的表达式。"}},
        {263, {16, "必须指定要从中进行选择的表。"}},
        {264, {16, "在 SET 子句或 INSERT 的列列表中多次指定了列名 '{1}'。同一子句中不允许为一列分配多个值。"}},
        {313, {16, "为过程或函数 {1} 提供的参数数目不足。"}},
        {544, {16, "当 IDENTITY_INSERT 设置为 OFF 时，不能为表 '{1}' 中的标识列插入显式值。"}},
        {545, {16, "当 IDENTITY_INSERT 设置为 ON 时，必须为表 '{1}' 中的标识列指定显式值。"}},
        {1087, {15, "必须声明表变量 \"{1}\"。"}},
        {1088, {16, "找不到对象 \"{1}\"，因为它不存在或者您没有所需的权限。"}},
        {1911, {16, "列名 '{1}' 在目标表或语句中不存在。"}},
        {2715, {16, "列、参数或变量 #1: 找不到数据类型 {1}。"}},
        {4421, {16, "无法更新 '{1}'。"}},
        {4511, {16, "创建视图或函数失败，因为没有为列 1 指定列名。"}},
        {4701, {16, "找不到对象 \"{1}\"，因为它不存在或者您没有所需的权限。"}},
        {8102, {16, "无法更新标识列 '{1}'。"}},
        {8117, {16, "操作数数据类型 {1} 对于 {2} 运算符无效。"}},
        {8159, {16, "为视图或函数指定的列名与定义中的列数不同。"}},
    };
    return t;
}

}  // namespace

Message qmError(int number, std::initializer_list<std::string_view> arguments) {
    Message m = makeError(number, arguments);
    if (m.text.rfind("错误 ", 0) != 0) return m;
    auto it = texts().find(number);
    if (it == texts().end()) return m;
    std::vector<std::string_view> args(arguments);
    std::string out;
    for (const char* p = it->second.text; *p; ++p) {
        if (*p == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}') {
            std::size_t i = static_cast<std::size_t>(p[1] - '1');
            if (i < args.size()) out.append(args[i]);
            p += 2;
        } else {
            out += *p;
        }
    }
    m.severity = it->second.severity;
    m.state = 1;
    m.text = out;
    return m;
}

}  // namespace quillmere::engine
