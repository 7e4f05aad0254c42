#include "forms/common/DateCheck.h"

#include "forms/common/MessageBox.h"

#include <QDate>
#include <QLineEdit>
#include <QRegularExpression>

namespace quillmere::forms {

bool isDateText(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{4})([-/])(\\d{1,2})\\2(\\d{1,2})\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    const int y = m.captured(1).toInt();
    const int mo = m.captured(3).toInt();
    const int d = m.captured(4).toInt();
    return y >= 1753 && QDate::isValid(y, mo, d);
}

bool checkDateField(QLineEdit* field)
{
    if (isDateText(field->text()))
        return true;
    msgBox(QStringLiteral("出生时间应输入日期格式（yyyy-mm-dd）！"), vbExclamation, QStringLiteral("警告"));
    field->setFocus();
    return false;
}

}  // namespace quillmere::forms
