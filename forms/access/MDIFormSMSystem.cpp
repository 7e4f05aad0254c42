#include "forms/access/MDIFormSMSystem.h"

#include "forms/common/Mdi.h"
#include "forms/common/MessageBox.h"
#include "forms/common/Program.h"
#include "forms/common/Style.h"
#include "forms/common/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>

namespace quillmere {

using namespace forms;

static MDIFormSMSystem*& instancePtr()
{
    static MDIFormSMSystem* p = nullptr;
    return p;
}

MDIFormSMSystem* MDIFormSMSystem::instance()
{
    if (!instancePtr())
        instancePtr() = new MDIFormSMSystem;
    return instancePtr();
}

bool MDIFormSMSystem::exists() { return instancePtr() != nullptr; }

void MDIFormSMSystem::destroyInstance()
{
    delete instancePtr();
    instancePtr() = nullptr;
}

MDIFormSMSystem::MDIFormSMSystem() : area_(new QMdiArea(this))
{
    setObjectName(QStringLiteral("MDIFormSMSystem"));
    setWindowTitle(QStringLiteral("Quillmere"));
    setFont(defaultFormFont());
    area_->setObjectName(QStringLiteral("mdiArea"));
    area_->setBackground(rgb(0xC0C0FF));
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(area_);
    buildMenus();
    mdi::setHost(this, area_);

    // Not maximized: the stored client size, centred on the screen.
    resize(twSize(9735, 8175));
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r = rect();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
    // The menu's Ctrl shortcuts win over the text boxes' own (copy, cut, undo).
    qApp->installEventFilter(this);
}

MDIFormSMSystem::~MDIFormSMSystem()
{
    qApp->removeEventFilter(this);
    if (instancePtr() == this)
        instancePtr() = nullptr;
    mdi::setHost(nullptr, nullptr);
}

QAction* MDIFormSMSystem::addEntry(QMenu* menu, const char* name, const QString& caption, const char* shortcut,
                                   void (MDIFormSMSystem::*handler)())
{
    QAction* a = menu ? menu->addAction(caption) : menuBar()->addAction(caption);
    a->setObjectName(QString::fromUtf8(name));
    if (shortcut)
        a->setShortcut(QKeySequence(QString::fromUtf8(shortcut)));
    connect(a, &QAction::triggered, this, handler);
    return a;
}

QAction* MDIFormSMSystem::addFormEntry(QMenu* menu, const char* name, const QString& caption,
                                       const char* shortcut, const char* form)
{
    QAction* a = menu ? menu->addAction(caption) : menuBar()->addAction(caption);
    a->setObjectName(QString::fromUtf8(name));
    if (shortcut)
        a->setShortcut(QKeySequence(QString::fromUtf8(shortcut)));
    const QString formName = QString::fromUtf8(form);
    connect(a, &QAction::triggered, this, [formName] { mdi::open(formName); });
    return a;
}

void MDIFormSMSystem::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));

    QMenu* system = bar->addMenu(QStringLiteral("系统管理"));
    system->setObjectName(QStringLiteral("mnuSystem"));
    system->menuAction()->setObjectName(QStringLiteral("mnuSystemTitle"));
    addFormEntry(system, "mnuDpartment", QStringLiteral("系部设置管理"), "Ctrl+Z", "Fdpartment");
    addFormEntry(system, "mnuSpeciality", QStringLiteral("专业设置"), "Ctrl+X", "Fspeciality");
    addFormEntry(system, "mnuTeacherAdd", QStringLiteral("添加老师记录"), "Ctrl+I", "FteacherADD");
    addFormEntry(system, "mnuTeacherLaws", QStringLiteral("修改老师信息"), "Ctrl+J", "fteacherLaws");
    addFormEntry(system, "mnuCourse", QStringLiteral("课程管理"), nullptr, "Fcourse");
    addFormEntry(system, "mnuUser", QStringLiteral("添加用户"), "Ctrl+B", "fuser");
    addEntry(system, "mnuChangePassword", QStringLiteral("修改密码"), "Ctrl+C", &MDIFormSMSystem::mnuChangePassword_Click);

    QMenu* students = bar->addMenu(QStringLiteral("学生信息管理"));
    students->setObjectName(QStringLiteral("mnuStudent"));
    students->menuAction()->setObjectName(QStringLiteral("mnuStudentTitle"));
    addFormEntry(students, "mnuStudentAdd", QStringLiteral("添加学生记录"), "Ctrl+E", "FStudentADD");
    addFormEntry(students, "mnuStudentLaws", QStringLiteral("修改学生信息"), "Ctrl+F", "fStudentlaws");

    QMenu* grades = bar->addMenu(QStringLiteral("选课与成绩管理"));
    grades->setObjectName(QStringLiteral("mnuGrade"));
    grades->menuAction()->setObjectName(QStringLiteral("mnuGradeTitle"));
    addFormEntry(grades, "mnuSelectInfo", QStringLiteral("选课与成绩登记"), nullptr, "FSelectInfoView");
    addFormEntry(grades, "mnuAccount", QStringLiteral("成绩统计"), nullptr, "Faccount");
    addFormEntry(grades, "mnuReexamination", QStringLiteral("学生补考信息"), nullptr, "freexamination");

    addFormEntry(nullptr, "mnuFreeSelect", QStringLiteral("自由查询"), nullptr, "FfreeSelect");
    addEntry(nullptr, "mnuReport", QStringLiteral("报表打印"), nullptr, &MDIFormSMSystem::mnuReport_Click);
    addEntry(nullptr, "mnuMenu", QStringLiteral("菜单"), nullptr, &MDIFormSMSystem::mnuMenu_Click);
    addEntry(nullptr, "mnuExit", QStringLiteral("退出"), nullptr, &MDIFormSMSystem::mnuExit_Click);
}

QList<QAction*> MDIFormSMSystem::menuEntries() const
{
    QList<QAction*> all;
    for (QAction* top : menuBar()->actions()) {
        all << top;
        if (QMenu* m = top->menu())
            all << m->actions();
    }
    return all;
}

QAction* MDIFormSMSystem::menuEntry(const QString& caption) const
{
    for (QAction* a : menuEntries())
        if (a->text() == caption)
            return a;
    return nullptr;
}

void MDIFormSMSystem::showMainWindow()
{
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
        return;
    }
    show();
}

void MDIFormSMSystem::Form_Load()
{
    // Fill the screen even where no window manager carries out the maximizing.
    if (QScreen* s = QGuiApplication::primaryScreen())
        setGeometry(s->availableGeometry());
    showMaximized();
    activateWindow();
    mdi::open(QStringLiteral("FMDIlogin"));
}

void MDIFormSMSystem::mnuChangePassword_Click()
{
    msgBox(QStringLiteral("此功能是用来控制登录用户的权限！！有待完成！！"));
}

void MDIFormSMSystem::mnuReport_Click()
{
    msgBox(QStringLiteral("此功能是可以导出WORD或EXCEL等文件后打印，希望有学生能实现！！有待完成！！"));
}

void MDIFormSMSystem::mnuMenu_Click() { mdi::open(QStringLiteral("FMDIlogin")); }

void MDIFormSMSystem::mnuExit_Click()
{
    if (msgBox(QStringLiteral("真的要退出系统吗？"), vbYesNo, QStringLiteral("退出窗口")) == vbYes)
        endProgram();
}

void MDIFormSMSystem::closeEvent(QCloseEvent* e)
{
    e->accept();
    endProgram();
}

bool MDIFormSMSystem::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride || !isVisible())
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != this)
        return false;
    auto* ke = static_cast<QKeyEvent*>(event);
    if (!(ke->modifiers() & Qt::ControlModifier))
        return false;
    const QKeySequence pressed(ke->keyCombination());
    for (QAction* a : menuEntries()) {
        if (!a->shortcut().isEmpty() && a->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
            // Leave the override unaccepted: the menu's shortcut takes the key.
            event->ignore();
            return true;
        }
    }
    return false;
}

}  // namespace quillmere
