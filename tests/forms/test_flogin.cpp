// The server login: its Load state, option buttons, connection strings,
// warnings, refused and accepted connections, and leaving it.
#include "app/FLogin.h"
#include "app/Module1.h"
#include "forms/access/MDIFormSMSystem.h"
#include "forms/access/floginuser.h"
#include "forms/common/ImageBox.h"
#include "forms/common/MessageBox.h"
#include "forms/common/Style.h"
#include "tests/forms/support/FormTest.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace quillmere;
using namespace quillmere::forms;
using quillmere::test::child;

class FLoginTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FLogin> form;
    QLineEdit* text(int n) { return child<QLineEdit>(form.get(), QString("Text%1").arg(n)); }
    QLabel* label(int n) { return child<QLabel>(form.get(), QString("Label%1").arg(n)); }
    QRadioButton* option(int n) { return child<QRadioButton>(form.get(), QString("Option%1").arg(n)); }
    QPushButton* command(int n) { return child<QPushButton>(form.get(), QString("Command%1").arg(n)); }

    void expectWindowsAuthentication()
    {
        for (int n : {3, 4}) {
            QVERIFY(!text(n)->isEnabled());
            QCOMPARE(text(n)->text(), QString());
            QCOMPARE(text(n)->palette().color(QPalette::Base), buttonFace());
            QVERIFY(!label(n)->isEnabled());
        }
    }

private slots:
    void init()
    {
        test::closeConnection();
        form = std::make_unique<FLogin>();
        form->show();
    }
    void cleanup() { form.reset(); }

    void loadState()
    {
        QCOMPARE(form->windowTitle(), QString("服务器登录"));
        QVERIFY(option(1)->isChecked());
        QVERIFY(!option(2)->isChecked());
        QCOMPARE(option(1)->text(), QString("Windows身份验证"));
        QCOMPARE(option(2)->text(), QString("SQL Server身份验证"));
        QCOMPARE(text(1)->text(), QString());
        QCOMPARE(text(2)->text(), QString("Quillmere"));
        expectWindowsAuthentication();
        QCOMPARE(text(4)->echoMode(), QLineEdit::Normal);   // the password shows as typed
        QCOMPARE(command(1)->text(), QString("连接"));
        QCOMPARE(command(2)->text(), QString("退出"));
        QVERIFY(label(1)->isEnabled());
        QCOMPARE(label(1)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    }

    void frameHidesTheFootOfTheBanner()
    {
        // The frame is opaque: the banner's lowest part lies under it.
        const QPoint inFrame = form->Frame1->geometry().topLeft() + QPoint(200, 8);
        QVERIFY(form->Image1->geometry().contains(inFrame));
        QVERIFY(form->Frame1->childAt(inFrame - form->Frame1->pos()) == nullptr);
        const QColor seen = form->grab().toImage().pixelColor(inFrame);
        const QColor face = buttonFace();   // the style may shade the panel a little
        QVERIFY2(qAbs(seen.red() - face.red()) < 16 && qAbs(seen.green() - face.green()) < 16
                     && qAbs(seen.blue() - face.blue()) < 16,
                 qPrintable(seen.name()));
    }

    void optionButtonsSwitchTheLoginFields()
    {
        text(1)->setText("S");
        QTest::mouseClick(option(2), Qt::LeftButton, {}, QPoint(5, option(2)->height() / 2));
        QVERIFY(option(2)->isChecked());
        QVERIFY(!option(1)->isChecked());
        for (int n : {3, 4}) {
            QVERIFY(text(n)->isEnabled());
            QVERIFY(label(n)->isEnabled());
            QCOMPARE(text(n)->palette().color(QPalette::Base), QColor(Qt::white));
        }
        text(3)->setText("sa");
        text(4)->setText("pw");
        QTest::mouseClick(option(1), Qt::LeftButton, {}, QPoint(5, option(1)->height() / 2));
        QVERIFY(option(1)->isChecked());
        expectWindowsAuthentication();
        QCOMPARE(text(1)->text(), QString("S"));   // server and database untouched
        QCOMPARE(text(2)->text(), QString("Quillmere"));
    }

    void connectionStrings_data()
    {
        QTest::addColumn<bool>("sqlServer");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("expected");
        const QString windows = "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                                "Initial Catalog=D;Data Source=S";
        QTest::newRow("windows") << false << "" << "" << "S" << windows;
        QTest::newRow("sql server") << true << "sa" << "pw" << "S"
                                    << "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa ;pwd=pw;"
                                       "Initial Catalog=D;Data Source=S";
        QTest::newRow("sql server, empty password") << true << "sa" << "" << "S" << windows;
        QTest::newRow("sql server, empty login") << true << "" << "pw" << "S" << windows;
        QTest::newRow("blanks kept as typed") << false << "" << "" << " S "
                                              << "Provider=SQLOLEDB.1;Integrated Security=SSPI;"
                                                 "Persist Security Info=False;Initial Catalog=D;Data Source= S ";
    }
    void connectionStrings()
    {
        QFETCH(bool, sqlServer);
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(QString, server);
        QFETCH(QString, expected);
        if (sqlServer)
            option(2)->setChecked(true);
        text(1)->setText(server);
        text(2)->setText("D");
        text(3)->setText(login);
        text(4)->setText(password);
        QCOMPARE(form->connectionString(), expected);
    }

    void emptyServerOrDatabaseWarns_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("database");
        QTest::newRow("no server") << "" << "Quillmere";
        QTest::newRow("no database") << "(embedded)" << "";
    }
    void emptyServerOrDatabaseWarns()
    {
        QFETCH(QString, server);
        QFETCH(QString, database);
        ScriptedMessageBoxes boxes;
        text(1)->setText(server);
        text(2)->setText(database);
        QTest::mouseClick(command(1), Qt::LeftButton);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().text, QString("请填写服务器名和数据库名！！"));
        QCOMPARE(boxes.last().title, QString("警告"));
        QCOMPARE(boxes.last().icon, MsgIcon::None);
        QVERIFY(form->isVisible());
        QVERIFY(!Module1::cnn.isOpen());
        QCOMPARE(text(1)->text(), server);
        QCOMPARE(text(2)->text(), database);
    }

    void refusedConnectionLeavesTheFormUsable()
    {
        ScriptedMessageBoxes boxes;
        text(1)->setText("(embedded)");
        text(2)->setText("NoSuchDatabase");
        QTest::mouseClick(command(1), Qt::LeftButton);
        QCOMPARE(boxes.count(), 1);
        QVERIFY2(boxes.last().text.contains("4060") && boxes.last().text.contains("NoSuchDatabase"),
                 qPrintable(boxes.last().text));
        QCOMPARE(boxes.last().icon, MsgIcon::Warning);
        QVERIFY(form->isVisible());
        QVERIFY(!Module1::cnn.isOpen());
        QVERIFY(!form->userLogin() || !form->userLogin()->isVisible());
        QVERIFY(command(1)->isEnabled());
    }

    void connectingShowsTheUserLogin()
    {
        const QString err = test::createDatabase("Quillmere");
        if (!err.isEmpty())
            QFAIL(qPrintable(err));
        test::closeConnection();
        ScriptedMessageBoxes boxes;
        text(1)->setText("(embedded)");
        QTest::mouseClick(command(1), Qt::LeftButton);
        QCOMPARE(boxes.count(), 0);
        QVERIFY(Module1::cnn.isOpen());
        QCOMPARE(QString::fromStdString(Module1::cnn.connectionString()),
                 QString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                         "Initial Catalog=Quillmere;Data Source=(embedded)"));
        QCOMPARE(Module1::cnn.cursorLocation(), db::CursorLocation::Client);
        QVERIFY(!form->isVisible());
        QVERIFY(form->userLogin() && form->userLogin()->isVisible());
        test::closeConnection();
    }

    void exitAndCloseBoxEndTheProgram()
    {
        test::EndRecorder ended;
        QTest::mouseClick(command(2), Qt::LeftButton);
        QCOMPARE(ended.count(), 1);
        form->close();
        QCOMPARE(ended.count(), 2);
    }
};

QM_FORMS_TEST_MAIN(FLoginTest)
#include "test_flogin.moc"
