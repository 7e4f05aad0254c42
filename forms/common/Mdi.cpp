#include "forms/common/Mdi.h"

#include "forms/common/ChildForm.h"

#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProxyStyle>

namespace quillmere::forms {

namespace {

QMap<QString, FormFactory>& registry()
{
    static QMap<QString, FormFactory> r;
    return r;
}

QPointer<QMainWindow>& mainPtr()
{
    static QPointer<QMainWindow> p;
    return p;
}

QPointer<QMdiArea>& areaPtr()
{
    static QPointer<QMdiArea> p;
    return p;
}

// Makes a maximized child keep its (absent) title bar to itself, so that no
// minimise, restore or close buttons appear in the main window's menu bar.
class ChildWindowStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_Workspace_FillSpaceOnMaximize)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

QStyle* childWindowStyle()
{
    static ChildWindowStyle* s = new ChildWindowStyle;
    return s;
}

}  // namespace

FormRegistration::FormRegistration(const char* name, FormFactory factory)
{
    mdi::registerForm(QString::fromUtf8(name), std::move(factory));
}

namespace mdi {

void registerForm(const QString& name, FormFactory factory) { registry().insert(name, std::move(factory)); }
bool isRegistered(const QString& name) { return registry().contains(name); }
QStringList registeredForms() { return registry().keys(); }

void setHost(QMainWindow* main, QMdiArea* a)
{
    mainPtr() = main;
    areaPtr() = a;
}

QMainWindow* mainWindow() { return mainPtr(); }
QMdiArea* area() { return areaPtr(); }

ChildForm* find(const QString& name)
{
    if (!areaPtr())
        return nullptr;
    for (QMdiSubWindow* sub : areaPtr()->subWindowList()) {
        if (auto* f = qobject_cast<ChildForm*>(sub->widget()); f && f->objectName() == name)
            return f;
    }
    return nullptr;
}

QMdiSubWindow* windowOf(ChildForm* f)
{
    return f ? qobject_cast<QMdiSubWindow*>(f->parentWidget()) : nullptr;
}

ChildForm* open(const QString& name)
{
    QMdiArea* a = areaPtr();
    if (!a)
        return nullptr;
    ChildForm* f = find(name);
    if (!f) {
        auto it = registry().constFind(name);
        if (it == registry().constEnd())
            return nullptr;
        f = (*it)();
        auto* sub = new QMdiSubWindow(nullptr, Qt::SubWindow | Qt::FramelessWindowHint);
        sub->setStyle(childWindowStyle());
        sub->setWidget(f);
        sub->setWindowTitle(f->windowTitle());
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setSystemMenu(nullptr);
        a->addSubWindow(sub);
        f->Form_Load();
        if (!a->subWindowList().contains(sub))   // the Load unloaded the form again
            return nullptr;
    }
    QMdiSubWindow* sub = windowOf(f);
    sub->showMaximized();
    sub->raise();
    a->setActiveSubWindow(sub);
    return f;
}

void unload(ChildForm* f)
{
    QMdiSubWindow* sub = windowOf(f);
    if (!sub)
        return;
    sub->hide();
    if (areaPtr())
        areaPtr()->removeSubWindow(sub);
    sub->deleteLater();
    f->setObjectName(f->objectName() + QStringLiteral(" (unloaded)"));
}

void showMainWindow()
{
    if (QMainWindow* m = mainPtr()) {
        m->show();
        m->activateWindow();
    }
}

}  // namespace mdi
}  // namespace quillmere::forms
