// The user login against userSystem: refusals, the accepted login with the
// main window it opens, quoting of typed values, and the close box.
#include "app/Module1.h"
#include "forms/access/MDIFormSMSystem.h"
#include "forms/access/floginuser.h"
#include "forms/common/ImageBox.h"
#include "forms/common/Mdi.h"
#include "forms/common/MessageBox.h"
#include "tests/forms/support/FormTest.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>

using namespace quillmere;
using namespace quillmere::forms;
using quillmere::test::child;

static const QString kRefused = " 你输入的用户密或密码有错误码，请重新输入";

class UserLoginTest : public QObject {
    Q_OBJECT

    std::unique_ptr<floginuser> form;
    QLineEdit* id() { return child<QLineEdit>(form.get(), "Text1"); }
    QLineEdit* pwd() { return child<QLineEdit>(form.get(), "Text2"); }
    QComboBox* role() { return child<QComboBox>(form.get(), "Combo1"); }
    void login() { QTest::mouseClick(child<ImageBox>(form.get(), "Image2"), Qt::LeftButton, {}, QPoint(5, 5)); }
    void type(const QString& user, const QString& password, const QString& rule)
    {
        id()->setText(user);
        pwd()->setText(password);
        role()->setEditText(rule);
    }

private slots:
    void initTestCase()
    {
        const QString err = test::createDatabase(
            "LoginTest", {"insert into userSystem values ('admin', 'admin', '管理员')",
                          "insert into userSystem values ('nopwd', '', '游客')",
                          "insert into userSystem values ('O''Neil', 'it''s', '教师')"});
        if (!err.isEmpty())
            QFAIL(qPrintable(err));
    }
    void init()
    {
        form = std::make_unique<floginuser>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup() { form.reset(); }

    void storedDesign()
    {
        QCOMPARE(form->windowTitle(), QString("Quillmere"));
        QCOMPARE(pwd()->echoMode(), QLineEdit::Password);
        QCOMPARE(role()->currentText(), QString("管理员"));
        QStringList items;
        for (int i = 0; i < role()->count(); ++i)
            items << role()->itemText(i);
        QCOMPARE(items, QStringList({"管理员", "教师", "学生", "游客"}));
        QVERIFY(role()->isEditable());
        QVERIFY(!form->rsstate);
    }

    void enterDoesNotLogIn()
    {
        ScriptedMessageBoxes boxes;
        type("admin", "admin", "管理员");
        QTest::keyClick(pwd(), Qt::Key_Return);
        QTest::keyClick(id(), Qt::Key_Return);
        QCOMPARE(boxes.count(), 0);
        QVERIFY(!form->rsstate);
        QVERIFY(form->isVisible());
    }

    void emptyIdIsRefusedWithoutAQuery()
    {
        ScriptedMessageBoxes boxes;
        type("", "admin", "管理员");
        login();
        QCOMPARE(boxes.texts(), QStringList({"请输入你的用户名！"}));
        QCOMPARE(boxes.last().title, QString("Quillmere"));
        QVERIFY(!form->rsstate);
        QVERIFY(form->sql.isEmpty());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("rule");
        QTest::newRow("wrong role") << "admin" << "admin" << "教师";
        QTest::newRow("wrong password") << "admin" << "nimda" << "管理员";
        QTest::newRow("empty password") << "admin" << "" << "管理员";
        QTest::newRow("unknown user") << "nobody" << "admin" << "管理员";
        QTest::newRow("injection in the ID") << "' or '1'='1" << "x" << "管理员";
        QTest::newRow("injection everywhere") << "' or '1'='1" << "' or '1'='1" << "' or '1'='1";
        QTest::newRow("comment injection") << "admin'--" << "" << "";
    }
    void refusals()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, rule);
        ScriptedMessageBoxes boxes;
        type(user, password, rule);
        login();
        QCOMPARE(boxes.texts(), QStringList({kRefused}));
        QCOMPARE(boxes.last().title, QString("Quillmere"));
        QCOMPARE(boxes.last().icon, MsgIcon::None);
        QVERIFY(form->isVisible());
        QTRY_VERIFY(id()->hasFocus());
        QCOMPARE(id()->text(), user);   // the fields keep what was typed
        QCOMPARE(pwd()->text(), password);
        // Two failures in a row: the second closes the first result first.
        login();
        QCOMPARE(boxes.count(), 2);
        QVERIFY(!MDIFormSMSystem::exists() || !MDIFormSMSystem::instance()->isVisible());
    }

    void apostrophesAreMatchedAsTyped()
    {
        ScriptedMessageBoxes boxes;
        type("O'Neil", "it's", "教师");
        login();
        QCOMPARE(boxes.texts().value(0), QString("欢迎使用Quillmere！！ "));
        QVERIFY(form->sql.contains("'O''Neil'"));
        MDIFormSMSystem::destroyInstance();
    }

    void emptyStoredPasswordLogsInWithAnEmptyBox()
    {
        ScriptedMessageBoxes boxes;
        type("nopwd", "", "游客");
        login();
        QCOMPARE(boxes.texts().value(0), QString("欢迎使用Quillmere！！ "));
        MDIFormSMSystem::destroyInstance();
    }

    void acceptedLoginOpensTheMainWindow()
    {
        ScriptedMessageBoxes boxes;
        type("admin", "admin", "管理员");
        login();
        QCOMPARE(boxes.texts(), QStringList({"欢迎使用Quillmere！！ "}));
        QCOMPARE(boxes.last().title, QString("Quillmere"));
        QCOMPARE(form->sql, QString("select * from userSystem where userID = 'admin' and userPWD = 'admin' and userRule= '管理员'"));
        QVERIFY(form->rsstate);
        QVERIFY(!form->isVisible());
        QVERIFY(MDIFormSMSystem::exists());
        MDIFormSMSystem* main = MDIFormSMSystem::instance();
        QVERIFY(main->isVisible());
        QVERIFY(main->isMaximized());
        ChildForm* menu = mdi::find("FMDIlogin");
        QVERIFY(menu);
        QVERIFY(mdi::windowOf(menu)->isMaximized());
        QCOMPARE(main->mdiArea()->subWindowList().size(), 1);
        // Only the main window is left on screen.
        QStringList visible;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && !w->inherits("QMenu"))
                visible << w->objectName();
        QCOMPARE(visible, QStringList({"MDIFormSMSystem"}));
        MDIFormSMSystem::destroyInstance();
    }

    void refusedStatementIsReportedAndTheFormStaysUsable()
    {
        test::execute({"drop table userSystem"});
        ScriptedMessageBoxes boxes;
        type("admin", "admin", "管理员");
        login();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QString("数据库错误"));
        QVERIFY2(boxes.last().text.contains("userSystem"), qPrintable(boxes.last().text));
        QVERIFY(!form->rsstate);
        QVERIFY(form->isVisible());
        test::execute({"create table userSystem (userID varchar(20) not null primary key, userPWD varchar(20), userRule varchar(10))",
                       "insert into userSystem values ('admin', 'admin', '管理员')"});
        boxes.clear();
        login();
        QCOMPARE(boxes.texts(), QStringList({"欢迎使用Quillmere！！ "}));
        MDIFormSMSystem::destroyInstance();
    }

    void closeBoxEndsTheProgram()
    {
        test::EndRecorder ended;
        form->close();
        QCOMPARE(ended.count(), 1);
    }
};

QM_FORMS_TEST_MAIN(UserLoginTest)
#include "test_userlogin.moc"
