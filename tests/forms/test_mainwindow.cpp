// The main window and the picture menu: Load, menu entries and shortcuts,
// notices, picture swaps, opening forms, the exit question.
#include "forms/access/FMDIlogin.h"
#include "forms/access/MDIFormSMSystem.h"
#include "forms/common/ImageBox.h"
#include "forms/common/Mdi.h"
#include "forms/common/MessageBox.h"
#include "forms/common/Program.h"
#include "forms/common/TaskForm.h"
#include "tests/forms/support/FormTest.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSignalSpy>

using namespace quillmere;
using namespace quillmere::forms;

// A stand-in for task forms that are not built into this program.
class StandInForm : public TaskForm {
public:
    explicit StandInForm(const char* name) : TaskForm(name, QString::fromUtf8(name))
    {
        auto* t = new QLineEdit(QStringLiteral("abc"), this);
        t->setObjectName(QStringLiteral("Text1"));
        t->setGeometry(20, 20, 200, 24);
    }
    void Form_Load() override { ++loads; }
    static inline int loads = 0;
};

static const char* const kTaskForms[] = {"Fdpartment", "Fspeciality", "FteacherADD", "fteacherLaws", "Fcourse",
                                         "fuser", "FStudentADD", "fStudentlaws", "FSelectInfoView", "Faccount",
                                         "freexamination", "FfreeSelect"};

class MainWindowTest : public QObject {
    Q_OBJECT

    MDIFormSMSystem* main = nullptr;
    FMDIlogin* menu() { return qobject_cast<FMDIlogin*>(mdi::find("FMDIlogin")); }

    void closeTaskForms()
    {
        for (const char* n : kTaskForms)
            if (ChildForm* f = mdi::find(n))
                f->unload();
        QApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        // Stand-ins for the task forms this build does not have, so that every
        // entry can be seen opening something.
        for (const char* n : kTaskForms)
            if (!mdi::isRegistered(n))
                mdi::registerForm(n, [n] { return new StandInForm(n); });
        main = MDIFormSMSystem::instance();
        main->showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        QApplication::setActiveWindow(main);
    }
    void cleanup() { closeTaskForms(); }

    void loadMaximizesAndOpensThePictureMenu()
    {
        QVERIFY(main->isMaximized());
        QCOMPARE(main->mdiArea()->background().color(), QColor(0xC0, 0xC0, 0xFF));
        QVERIFY(menu());
        QMdiSubWindow* sub = mdi::windowOf(menu());
        QVERIFY(sub->isMaximized());
        QCOMPARE(main->mdiArea()->activeSubWindow(), sub);
        // No control box: nothing in the menu bar's corners either.
        for (Qt::Corner c : {Qt::TopLeftCorner, Qt::TopRightCorner}) {
            QWidget* w = main->menuBar()->cornerWidget(c);
            QVERIFY(!w || !w->isVisible());
        }
        // The child's caption is not merged into the main window's either.
        QCOMPARE(main->windowTitle(), QString("Quillmere"));
        QVERIFY(sub->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(menu()->Label1->text(), QString("Quillmere"));
        QCOMPARE(menu()->Label6->text(), QString("功能菜单"));
    }

    void menuEntries_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<QString>("opens");
        QTest::newRow("系部设置管理") << "系部设置管理" << "Ctrl+Z" << "Fdpartment";
        QTest::newRow("专业设置") << "专业设置" << "Ctrl+X" << "Fspeciality";
        QTest::newRow("添加老师记录") << "添加老师记录" << "Ctrl+I" << "FteacherADD";
        QTest::newRow("修改老师信息") << "修改老师信息" << "Ctrl+J" << "fteacherLaws";
        QTest::newRow("课程管理") << "课程管理" << "" << "Fcourse";
        QTest::newRow("添加用户") << "添加用户" << "Ctrl+B" << "fuser";
        QTest::newRow("修改密码") << "修改密码" << "Ctrl+C" << "";
        QTest::newRow("添加学生记录") << "添加学生记录" << "Ctrl+E" << "FStudentADD";
        QTest::newRow("修改学生信息") << "修改学生信息" << "Ctrl+F" << "fStudentlaws";
        QTest::newRow("选课与成绩登记") << "选课与成绩登记" << "" << "FSelectInfoView";
        QTest::newRow("成绩统计") << "成绩统计" << "" << "Faccount";
        QTest::newRow("学生补考信息") << "学生补考信息" << "" << "freexamination";
        QTest::newRow("自由查询") << "自由查询" << "" << "FfreeSelect";
    }
    void menuEntries()
    {
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QFETCH(QString, opens);
        ScriptedMessageBoxes boxes;
        QAction* a = main->menuEntry(caption);
        QVERIFY(a);
        QCOMPARE(a->shortcut(), QKeySequence(shortcut));
        a->trigger();
        if (opens.isEmpty())
            return;
        ChildForm* f = mdi::find(opens);
        QVERIFY(f);
        QCOMPARE(main->mdiArea()->activeSubWindow(), mdi::windowOf(f));
        QVERIFY(mdi::windowOf(f)->isMaximized());
        QCOMPARE(main->windowTitle(), QString("Quillmere"));   // the child's caption is not merged in
        // Choosing it again brings the same form forward, not a second one.
        main->menuEntry("菜单")->trigger();
        QCOMPARE(main->mdiArea()->activeSubWindow(), mdi::windowOf(menu()));
        a->trigger();
        QCOMPARE(mdi::find(opens), f);
        QCOMPARE(main->mdiArea()->activeSubWindow(), mdi::windowOf(f));
    }

    void menuBarLayout()
    {
        QStringList titles;
        for (QAction* a : main->menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"系统管理", "学生信息管理", "选课与成绩管理", "自由查询", "报表打印", "菜单", "退出"}));
        QStringList system;
        for (QAction* a : main->menuEntry("系统管理")->menu()->actions())
            system << a->text();
        QCOMPARE(system, QStringList({"系部设置管理", "专业设置", "添加老师记录", "修改老师信息", "课程管理", "添加用户", "修改密码"}));
    }

    void notices_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("notice");
        QTest::newRow("修改密码") << "修改密码" << "此功能是用来控制登录用户的权限！！有待完成！！";
        QTest::newRow("报表打印") << "报表打印" << "此功能是可以导出WORD或EXCEL等文件后打印，希望有学生能实现！！有待完成！！";
    }
    void notices()
    {
        QFETCH(QString, caption);
        QFETCH(QString, notice);
        ScriptedMessageBoxes boxes;
        const int before = main->mdiArea()->subWindowList().size();
        main->menuEntry(caption)->trigger();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().text, notice);
        QCOMPARE(boxes.last().title, QString("Quillmere"));
        QCOMPARE(boxes.last().buttons, int(vbOKOnly));
        QCOMPARE(boxes.last().icon, MsgIcon::None);
        QCOMPARE(main->mdiArea()->subWindowList().size(), before);
    }

    void ctrlKeysReachTheMenuFromATextBox()
    {
        ScriptedMessageBoxes boxes;
        ChildForm* f = mdi::open("fuser");
        QVERIFY(f);
        auto* box = f->findChild<QLineEdit*>();
        QVERIFY(box);
        QApplication::setActiveWindow(main);
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        box->selectAll();
        QSignalSpy cut(main->menuEntry("专业设置"), &QAction::triggered);
        QSignalSpy undo(main->menuEntry("系部设置管理"), &QAction::triggered);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(boxes.texts(), QStringList({"此功能是用来控制登录用户的权限！！有待完成！！"}));
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(cut.count(), 1);
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(undo.count(), 1);
        QCOMPARE(box->text(), QString("abc"));   // the box did not cut
        QVERIFY(mdi::find("Fdpartment"));
    }

    void childrenAreLeftOnlyThroughTheirOwnButtons()
    {
        // No control box: no key closes a child (Ctrl+F4, Ctrl+W).
        ChildForm* f = mdi::open("Fcourse");
        QVERIFY(f);
        auto* box = f->findChild<QLineEdit*>();
        QApplication::setActiveWindow(main);
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
            QTest::keySequence(box, keys);
            QApplication::processEvents();
            QCOMPARE(mdi::find("Fcourse"), f);
        }
        QVERIFY(menu());
    }

    void menuEntryBringsThePictureMenuForward()
    {
        ChildForm* f = mdi::open("Fcourse");
        QCOMPARE(main->mdiArea()->activeSubWindow(), mdi::windowOf(f));
        main->menuEntry("菜单")->trigger();
        QCOMPARE(main->mdiArea()->activeSubWindow(), mdi::windowOf(menu()));
        QVERIFY(mdi::windowOf(menu())->isMaximized());
        QCOMPARE(mdi::find("Fcourse"), f);   // still loaded underneath
    }

    void pictureSwaps_data()
    {
        QTest::addColumn<int>("image");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("down");
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("up");
        QTest::addColumn<QString>("opens");
        QTest::newRow("Image1") << 1 << "修改学生记录" << "sdelete1.gif" << "sdelete1.gif" << "sdelete2.gif" << "fStudentlaws";
        QTest::newRow("Image2") << 2 << "用户管理" << "user.gif" << "user2.gif" << "user1.gif" << "fuser";
        QTest::newRow("Image3") << 3 << "课程管理" << "c1.gif" << "c1.gif" << "c2.gif" << "Fcourse";
        QTest::newRow("Image4") << 4 << "" << "FREES.gif" << "FREES2.gif" << "FREES.gif" << "FfreeSelect";
        QTest::newRow("Image6") << 6 << "系部表的设置" << "dp1.gif" << "dp1.gif" << "dp2.gif" << "Fdpartment";
        QTest::newRow("Image7") << 7 << "" << "tDelete1.gif" << "tDelete2.gif" << "tDelete2.gif" << "fteacherLaws";
        QTest::newRow("Image8") << 8 << "添加学生记录" << "studentADD1.gif" << "studentADD2.gif" << "studentADD1.gif" << "FStudentADD";
        QTest::newRow("Image9") << 9 << "统计管理" << "ACCOUNT1.gif" << "ACCOUNT2.gif" << "ACCOUNT1.gif" << "Faccount";
        QTest::newRow("Image10") << 10 << "专业表的设置" << "sp1.gif" << "sp1.gif" << "sp2.gif" << "Fspeciality";
        QTest::newRow("Image11") << 11 << "" << "TADD2.gif" << "TADD1.gif" << "TADD2.gif" << "FteacherADD";
        QTest::newRow("Image12, no MouseUp") << 12 << "补考信息管理" << "Ree1.gif" << "Ree2.gif" << "" << "freexamination";
        QTest::newRow("Image14") << 14 << "成绩管理" << "G.gif" << "G1.gif" << "G2.gif" << "FSelectInfoView";
    }
    void pictureSwaps()
    {
        QFETCH(int, image);
        QFETCH(QString, tip);
        QFETCH(QString, down);
        QFETCH(QString, move);
        QFETCH(QString, up);
        QFETCH(QString, opens);
        ImageBox* img = menu()->image(image);
        QVERIFY(img);
        QCOMPARE(img->objectName(), QString("Image%1").arg(image));
        QCOMPARE(img->toolTip(), tip);
        QCOMPARE(img->pictureName(), QString("stored_Image%1.gif").arg(image));
        const QPoint p(5, 5);
        emit img->mouseMove();
        QCOMPARE(img->pictureName(), move);
        QCOMPARE(img->pixmap().toImage(), QPixmap(imagePath(move)).toImage());
        QTest::mousePress(img, Qt::LeftButton, {}, p);
        QCOMPARE(img->pictureName(), down);
        QVERIFY(!mdi::find(opens));
        QTest::mouseRelease(img, Qt::LeftButton, {}, p);
        QCOMPARE(img->pictureName(), up.isEmpty() ? down : up);
        ChildForm* f = mdi::find(opens);
        QVERIFY(f);
        QCOMPARE(main->mdiArea()->activeSubWindow(), mdi::windowOf(f));
        QVERIFY(mdi::windowOf(f)->isMaximized());
    }

    void missingPictureFileLeavesThePicture()
    {
        ImageBox* img = menu()->image(2);
        emit img->mouseDown();
        QCOMPARE(img->pictureName(), QString("user.gif"));
        const QString file = test::programFolder() + "/image/user2.gif";
        const QString keep = file + ".away";
        QVERIFY(QFile::rename(file, keep));
        emit img->mouseMove();
        QFile::rename(keep, file);
        QCOMPARE(img->pictureName(), QString("user.gif"));
        QVERIFY(!img->pixmap().isNull());
        QTest::mouseClick(img, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(mdi::find("fuser"));   // the menu still works
    }

    void exitQuestion()
    {
        for (QAction* exit : {main->menuEntry("退出"), static_cast<QAction*>(nullptr)}) {
            auto ask = [&] {
                if (exit)
                    exit->trigger();
                else
                    QTest::mouseClick(menu()->image(15), Qt::LeftButton, {}, QPoint(5, 5));
            };
            ScriptedMessageBoxes boxes;
            test::EndRecorder ended;
            boxes.answerNext(vbNo);
            ask();
            QCOMPARE(boxes.count(), 1);
            QCOMPARE(boxes.last().text, QString("真的要退出系统吗？"));
            QCOMPARE(boxes.last().title, QString("退出窗口"));
            QCOMPARE(boxes.last().buttons, int(vbYesNo));
            QCOMPARE(ended.count(), 0);
            QVERIFY(main->isVisible());
            QVERIFY(menu());
            boxes.answerNext(vbYes);
            ask();
            QCOMPARE(ended.count(), 1);
        }
        QCOMPARE(menu()->image(15)->toolTip(), QString("退出系统"));
        QCOMPARE(menu()->image(15)->pictureName(), QString("stored_Image15.gif"));
    }

    void closeBoxEndsTheProgram()
    {
        test::EndRecorder ended;
        main->close();
        QCOMPARE(ended.count(), 1);
    }
};

QM_FORMS_TEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
