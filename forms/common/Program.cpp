#include "forms/common/Program.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

namespace quillmere::forms {

static QString& dirOverride()
{
    static QString d;
    return d;
}

QString programDir()
{
    return dirOverride().isEmpty() ? QCoreApplication::applicationDirPath() : dirOverride();
}

void setProgramDir(const QString& dir) { dirOverride() = dir; }

QString imagePath(const QString& name) { return programDir() + QStringLiteral("/image/") + name; }

QPixmap loadPicture(const QString& name)
{
    QPixmap p;
    const QString path = imagePath(name);
    if (QFile::exists(path))
        p.load(path);
    return p;
}

static std::function<void()>& endHandler()
{
    static std::function<void()> h;
    return h;
}

void endProgram()
{
    if (endHandler()) {
        endHandler()();
        return;
    }
    // Hide every window first so nothing is left on screen while the loop unwinds.
    for (QWidget* w : QApplication::topLevelWidgets())
        w->hide();
    QCoreApplication::exit(0);
}

std::function<void()> setEndProgramHandler(std::function<void()> h)
{
    auto old = std::move(endHandler());
    endHandler() = std::move(h);
    return old;
}

}  // namespace quillmere::forms
