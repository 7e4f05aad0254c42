#include "forms/common/DbMessage.h"

#include "forms/common/MessageBox.h"

namespace quillmere::forms {

QString dbErrorText(const db::DbError& e)
{
    const QString text = QString::fromStdString(e.text());
    if (e.number() == 0)
        return text;
    return QStringLiteral("错误 %1：%2").arg(e.number()).arg(text);
}

void showDbError(const db::DbError& e)
{
    msgBox(dbErrorText(e), vbExclamation, QStringLiteral("数据库错误"));
}

}  // namespace quillmere::forms
