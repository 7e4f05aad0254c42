// Texts of the errors the data layer raises itself, worded as a Chinese ADO
// installation words them where ADO has one.
#pragma once

namespace quillmere::db::msg {

inline constexpr const char* kOpenObject = "对象打开时，不允许操作。";
inline constexpr const char* kClosedObject = "对象关闭时，不允许操作。";
inline constexpr const char* kNoCurrentRecord =
    "BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所请求的操作要求一个当前的记录。";
inline constexpr const char* kNoSuchItem = "在对应所需名称或序数的集合中，未找到项目。";
inline constexpr const char* kReadOnly =
    "当前记录集不支持更新。这可能是提供者的限制，也可能是选定锁定类型的限制。";
inline constexpr const char* kNoConnectionString = "未指定连接字符串。";
inline constexpr const char* kNotUpdatable = "无法保存更改：结果集的列不是来自同一个基本表，无法确定要更新的表。";
inline constexpr const char* kNoKey = "无法保存更改：结果集中缺少基本表 '%s' 的主键列 '%s'。";

}  // namespace quillmere::db::msg
