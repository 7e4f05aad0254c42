#include "forms/common/Style.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>

namespace quillmere::forms {

QColor buttonFace() { return QApplication::palette().color(QPalette::Button); }
QColor formBlue() { return rgb(0x0000FF); }

static QString firstInstalled(std::initializer_list<const char*> candidates)
{
    const QStringList families = QFontDatabase::families();
    for (const char* c : candidates) {
        if (families.contains(QString::fromUtf8(c), Qt::CaseInsensitive))
            return QString::fromUtf8(c);
    }
    return QString::fromUtf8(*candidates.begin());
}

QString mapFontFamily(const QString& storedName)
{
    if (storedName == QStringLiteral("华文行楷") || storedName == QStringLiteral("楷体")
        || storedName == QStringLiteral("楷体_GB2312"))
        return firstInstalled({"AR PL UKai CN", "AR PL UKai TW", "Noto Serif CJK SC"});
    if (storedName == QStringLiteral("宋体") || storedName == QStringLiteral("华文中宋")
        || storedName == QStringLiteral("新宋体"))
        return firstInstalled({"AR PL UMing CN", "Noto Serif CJK SC", "AR PL UMing TW"});
    if (storedName == QStringLiteral("黑体") || storedName == QStringLiteral("微软雅黑"))
        return firstInstalled({"Noto Sans CJK SC", "AR PL UMing CN"});
    return storedName;
}

QFont cjkFont(const QString& storedName, double points, bool bold)
{
    QFont f(mapFontFamily(storedName));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QFont defaultFormFont() { return cjkFont(QStringLiteral("宋体"), 9); }

}  // namespace quillmere::forms
