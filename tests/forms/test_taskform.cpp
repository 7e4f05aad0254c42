// The behaviour every task form shares, on a small form of the tests' own:
// the statement-run sequence, refused statements, combo fill, existence check,
// quoting, the grid and its edit buttons, the key-change box, the code panel
// and the return pattern.
#include "app/Module1.h"
#include "forms/access/MDIFormSMSystem.h"
#include "forms/common/Controls.h"
#include "forms/common/DataGrid.h"
#include "forms/common/Mdi.h"
#include "forms/common/MessageBox.h"
#include "forms/common/SqlText.h"
#include "forms/common/Style.h"
#include "forms/common/TaskForm.h"
#include "tests/forms/support/FormTest.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace quillmere;
using namespace quillmere::forms;

class SampleForm : public TaskForm {
public:
    SampleForm() : TaskForm("SampleForm", QStringLiteral("样例"))
    {
        setDesignSize(15240, 11010);
        makeTitle(this, "Label1", QStringLiteral("样例"), {840, 120, 9255, 735});
        QGroupBox* frame = makeFrame(this, "Frame1", QString(), {120, 960, 9975, 3855}, rgb(0xC0FFC0));
        Text1 = makeTextBox(frame, "Text1", QString(), {1440, 480, 2535, 375}, 20);
        Text2 = makeTextBox(frame, "Text2", QString(), {6480, 480, 2535, 375}, 4);
        setDigitFilter(Text2);
        Combo1 = makeCombo(frame, "Combo1", {QStringLiteral("stored")}, QString(), {1440, 1357, 2535, 300});
        Check1 = makeCheck(frame, "Check1", QStringLiteral("修改学号"), {5520, 1440, 1335, 255});
        Textkey = makeTextBox(frame, "Textkey", QString(), {6480, 1320, 2535, 375});
        lbold = makeLabel(frame, "lbold", QString(), {6480, 1800, 1335, 255});
        const QColor green = rgb(0xC0FFC0);
        auto button = [&](const char* name, const char* caption, int left, void (SampleForm::*h)()) {
            QPushButton* b = makeButton(frame, name, QString::fromUtf8(caption), {left, 3120, 1000, 375}, green);
            connect(b, &QPushButton::clicked, this, h);
        };
        button("Command1", "显示", 120, &SampleForm::show_Click);
        button("Command2", "增加", 1200, &SampleForm::add_Click);
        button("Command3", "修改", 2280, &TaskForm::gridSave);
        button("Command4", "全部取消", 3360, &TaskForm::gridCancel);
        button("Command5", "删除", 4440, &TaskForm::gridDelete);
        button("Command6", "返回", 5520, &TaskForm::goBack);
        button("Command7", "错误", 6600, &SampleForm::broken_Click);
        Frame2 = makeFrame(this, "Frame2", QString(), {10200, 3360, 5055, 7215}, green);
        Text4 = makeListing(Frame2, "Text4", QStringLiteral("Private Sub Command1_Click()"), {0, 120, 4935, 6975});
        Text5 = makeListing(Frame2, "Text5", QStringLiteral("Dim rs As New ADODB.Recordset"), {0, 120, 4935, 6975});
        DataGrid1 = makeGrid(this, "DataGrid1", {120, 4920, 9975, 5655}, green);
        ++constructed;
    }

    void Form_Load() override
    {
        rs.setLockType(db::LockType::BatchOptimistic);
        rsstate = false;
        hideListings({Text4, Text5});
        fillCombo(Combo1, QStringLiteral("select spno from speciality "), QStringLiteral("spno"));
        setupKeyChange(Check1, Textkey, lbold);
        ++loads;
    }

    void show_Click() { runSql(QStringLiteral("select * from  userSystem ")); }
    void add_Click()
    {
        if (!execSql(QStringLiteral(" insert into userSystem (userid,userpwd,userRule)   values('") + sqlValue(Text1->text())
                     + QStringLiteral("','pw','游客')")))
            return;
        msgBox(QStringLiteral("添加成功！"));
        runSql(QStringLiteral("select * from  userSystem where userID='") + sqlValue(Text1->text()) + QStringLiteral("'"));
    }
    void broken_Click() { runSql(QStringLiteral("select * from no_such_table")); }

    QLineEdit* Text1;
    QLineEdit* Text2;
    QComboBox* Combo1;
    QCheckBox* Check1;
    QLineEdit* Textkey;
    QLabel* lbold;
    QGroupBox* Frame2;
    QPlainTextEdit* Text4;
    QPlainTextEdit* Text5;

    static inline int loads = 0;
    static inline int constructed = 0;
};

class TaskFormTest : public QObject {
    Q_OBJECT

    MDIFormSMSystem* main = nullptr;
    SampleForm* form = nullptr;

    QPushButton* button(const char* caption)
    {
        for (QPushButton* b : form->findChildren<QPushButton*>())
            if (b->text() == QString::fromUtf8(caption))
                return b;
        return nullptr;
    }
    void click(const char* caption)
    {
        QPushButton* b = button(caption);
        QVERIFY2(b, caption);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QAbstractItemModel* grid() { return form->DataGrid1->model(); }
    QStringList headings()
    {
        QStringList h;
        for (int c = 0; c < grid()->columnCount(); ++c)
            h << grid()->headerData(c, Qt::Horizontal).toString();
        return h;
    }
    QString cell(int r, int c) { return grid()->index(r, c).data().toString(); }

private slots:
    void initTestCase()
    {
        mdi::registerForm("SampleForm", [] { return new SampleForm; });
        main = MDIFormSMSystem::instance();
        main->show();
    }

    void init()
    {
        const QString err = test::createDatabase(
            "TaskFormTest", {"insert into dpartment values ('01', '计算机系', null)",
                             "insert into speciality values ('01002', '软件工程', '01')",
                             "insert into speciality values ('01001', '计算机科学与技术', '01')",
                             "insert into userSystem values ('admin', 'admin', '管理员')",
                             "insert into userSystem values ('bob', 'b1', '教师')",
                             "insert into userSystem values ('carol', 'c1', '学生')"});
        if (!err.isEmpty())
            QFAIL(qPrintable(err));
        form = static_cast<SampleForm*>(mdi::open("SampleForm"));
        QVERIFY(form);
    }
    void cleanup()
    {
        if (ChildForm* f = mdi::find("SampleForm"))
            f->unload();
        QApplication::processEvents();
    }

    void loadAndChildWindow()
    {
        QVERIFY(!form->rsstate);
        QVERIFY(mdi::windowOf(form)->isMaximized());
        QVERIFY(!form->Text4->isVisible() && !form->Text5->isVisible());
        // Combo fill: stored items first, then the column in the order returned.
        QStringList items;
        for (int i = 0; i < form->Combo1->count(); ++i)
            items << form->Combo1->itemText(i).trimmed();
        QCOMPARE(items, QStringList({"stored", "01001", "01002"}));
        QVERIFY(!form->rs.isOpen());
        QCOMPARE(grid()->rowCount(), 0);
    }

    void comboFillKeepsTheServersOrder()
    {
        auto* combo = makeCombo(form, "ComboY", {}, "", {0, 0, 1000, 300});
        QVERIFY(form->fillCombo(combo, "select spname from speciality order by spno desc", "spname"));
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0).trimmed(), QString("软件工程"));
        QCOMPARE(combo->itemText(1).trimmed(), QString("计算机科学与技术"));
        ScriptedMessageBoxes boxes;
        QVERIFY(!form->fillCombo(combo, "select nothing from nowhere", "nothing"));
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(combo->count(), 2);
        QVERIFY(!form->rsstate);
        QVERIFY(!form->rs.isOpen());
    }

    void comboFillKeepsTheComboText_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty combo, empty text") << QStringList() << "";
        QTest::newRow("empty combo, typed text") << QStringList() << "x";
        QTest::newRow("stored items, empty text") << QStringList({"a"}) << "";
        QTest::newRow("stored items, stored text") << QStringList({"a"}) << "a";
    }
    void comboFillKeepsTheComboText()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, text);
        auto* combo = makeCombo(form, "ComboZ", stored, text, {0, 0, 1000, 300});
        QVERIFY(form->fillCombo(combo, "select spno from speciality ", "spno"));
        QCOMPARE(combo->count(), stored.size() + 2);
        QCOMPARE(combo->currentText(), text);
        delete combo;
    }

    void comboFillOnAnEmptyTableKeepsTheStoredItems()
    {
        test::execute({"delete from speciality"});
        auto* combo = makeCombo(form, "ComboX", {"a", "b"}, "b", {0, 0, 1000, 300});
        QVERIFY(form->fillCombo(combo, "select spno from speciality ", "spno"));
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->currentText(), QString("b"));
        QVERIFY(!form->rsstate);
    }

    void runSequenceShowsOnlyTheLastResult()
    {
        click("显示");
        QVERIFY(form->rsstate);
        QVERIFY(form->rs.isOpen());
        QCOMPARE(form->sql, QString("select * from  userSystem "));
        QCOMPARE(headings(), QStringList({"userID", "userPWD", "userRule"}));
        QCOMPARE(grid()->rowCount(), 3);
        QCOMPARE(cell(0, 0), QString("admin"));
        QCOMPARE(cell(1, 2), QString("教师"));
        click("显示");   // closes the first before opening the second
        QVERIFY(form->rsstate);
        QCOMPARE(grid()->rowCount(), 3);
        QVERIFY(form->runSql("select count(*), max(userID) as top from userSystem"));
        QCOMPARE(headings(), QStringList({"", "top"}));   // an unnamed column has an empty heading
        QCOMPARE(cell(0, 0), QString("3"));
    }

    void millionRowResultInTheGrid()
    {
        QStringList digits = {"create table digit (d int)"};
        for (int i = 0; i < 10; ++i)
            digits << QString("insert into digit values (%1)").arg(i);
        QCOMPARE(test::execute(digits), QString());
        QVERIFY(form->runSql("select a.d, b.d, c.d, e.d, f.d, g.d from digit a, digit b, digit c, digit e, digit f, digit g"));
        QCOMPARE(form->rs.recordCount(), 1'000'000);
        QCOMPARE(grid()->rowCount(), 1'000'000);
        form->DataGrid1->scrollToBottom();
        form->DataGrid1->setCurrentIndex(grid()->index(999'999, 0));
        QCOMPARE(form->rs.currentRow(), 999'999);
        QApplication::processEvents();
        QCOMPARE(cell(999'999, 5), form->rs.fieldText(5).empty() ? QString() : QString::fromStdString(form->rs.fieldText(5)));
    }

    void secondGridKeepsItsOwnSetAndFlag()
    {
        DataGrid* grid2 = makeGrid(form, "DataGrid2", {120, 8000, 9975, 2000});
        db::Recordset rs1;
        rs1.setLockType(db::LockType::BatchOptimistic);
        bool rsstate1 = false;
        click("显示");
        QVERIFY(form->runSql("select * from speciality", rs1, grid2, rsstate1));
        QVERIFY(rsstate1);
        QCOMPARE(form->sql, QString("select * from  userSystem "));   // the form's own text is untouched
        QCOMPARE(grid2->model()->rowCount(), 2);
        QCOMPARE(grid()->rowCount(), 3);
        ScriptedMessageBoxes boxes;
        boxes.answerNext(vbYes);
        form->gridDelete(rs1, grid2, rsstate1);
        QCOMPARE(grid2->model()->rowCount(), 1);
        QCOMPARE(grid()->rowCount(), 3);
        QVERIFY(!form->runSql("select * from nowhere", rs1, grid2, rsstate1));
        QVERIFY(!rsstate1);
        QVERIFY(form->rsstate);
        delete grid2;
    }

    void emptyResultStillShowsItsHeadings()
    {
        QVERIFY(form->runSql("select * from userSystem where userID = 'nobody'"));
        QVERIFY(form->rsstate);
        QCOMPARE(grid()->rowCount(), 0);
        QCOMPARE(headings(), QStringList({"userID", "userPWD", "userRule"}));
    }

    void refusedStatementIsReportedAndRsstateTellsTheTruth()
    {
        ScriptedMessageBoxes boxes;
        click("显示");
        click("错误");
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().title, QString("数据库错误"));
        QVERIFY2(boxes.last().text.contains("208") && boxes.last().text.contains("no_such_table"),
                 qPrintable(boxes.last().text));
        QVERIFY(!form->rsstate);
        QVERIFY(!form->rs.isOpen());
        QCOMPARE(grid()->rowCount(), 0);
        // The form goes on working.
        click("显示");
        QVERIFY(form->rsstate);
        QCOMPARE(grid()->rowCount(), 3);
        click("修改");   // nothing pending: no message, no error
        QCOMPARE(boxes.count(), 1);
    }

    void changeStatementThenReselect()
    {
        ScriptedMessageBoxes boxes;
        form->Text1->setText("O'Brien");
        click("增加");
        QCOMPARE(boxes.texts(), QStringList({"添加成功！"}));
        QCOMPARE(test::scalar("select userID from userSystem where userPWD = 'pw'"), QString("O'Brien"));
        QVERIFY(form->rsstate);
        QCOMPARE(grid()->rowCount(), 1);
        QCOMPARE(cell(0, 0), QString("O'Brien"));
        // A duplicate key is the server's refusal: reported, rs closed and said so.
        click("增加");
        QCOMPARE(boxes.count(), 2);
        QCOMPARE(boxes.last().title, QString("数据库错误"));
        QVERIFY(!form->rsstate);
        QVERIFY(!form->rs.isOpen());
    }

    void injectionAttemptIsStoredAsText()
    {
        ScriptedMessageBoxes boxes;
        form->Text1->setText("x','y','z'); delete from userSystem; --");
        click("增加");
        QCOMPARE(boxes.texts().value(0), QString("添加成功！"));
        QCOMPARE(test::scalar("select count(*) from userSystem"), QString("4"));
    }

    void existenceCheck()
    {
        QCOMPARE(form->countOf("select count(*) from speciality  where spno='01001'"), std::optional<long long>(1));
        QCOMPARE(form->countOf("select count(*) from speciality  where spno='" + sqlValue("0' or '1'='1") + "'"),
                 std::optional<long long>(0));
        ScriptedMessageBoxes boxes;
        QCOMPARE(form->countOf("select count(*) from nowhere"), std::optional<long long>());
        QCOMPARE(boxes.count(), 1);
        QVERIFY(!form->rsstate);
    }

    void gridEditsStayPendingUntilSaved()
    {
        ScriptedMessageBoxes boxes;
        click("显示");
        QVERIFY(grid()->flags(grid()->index(1, 1)) & Qt::ItemIsEditable);
        QVERIFY(grid()->setData(grid()->index(1, 1), "new", Qt::EditRole));
        QCOMPARE(cell(1, 1), QString("new"));
        QCOMPARE(test::scalar("select userPWD from userSystem where userID='bob'"), QString("b1"));
        click("修改");
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(test::scalar("select userPWD from userSystem where userID='bob'"), QString("new"));
    }

    void cancelDropsPendingEdits()
    {
        click("显示");
        grid()->setData(grid()->index(0, 1), "zzz", Qt::EditRole);
        click("全部取消");
        QCOMPARE(cell(0, 1), QString("admin"));
        click("修改");
        QCOMPARE(test::scalar("select userPWD from userSystem where userID='admin'"), QString("admin"));
    }

    void deleteAsksThenRemovesTheGridsCurrentRow()
    {
        ScriptedMessageBoxes boxes;
        click("显示");
        form->DataGrid1->setCurrentIndex(grid()->index(1, 0));
        QCOMPARE(form->rs.currentRow(), 1);   // the set follows the grid
        boxes.answerNext(vbNo);
        click("删除");
        QCOMPARE(boxes.last().text, QString("要删除吗？"));
        QCOMPARE(boxes.last().title, QString("删除记录"));
        QCOMPARE(boxes.last().buttons, int(vbYesNo));
        QCOMPARE(grid()->rowCount(), 3);
        boxes.answerNext(vbYes);
        click("删除");
        QCOMPARE(boxes.count(), 2);
        QCOMPARE(grid()->rowCount(), 2);
        QCOMPARE(test::scalar("select count(*) from userSystem where userID='bob'"), QString("0"));
        QCOMPARE(test::scalar("select count(*) from userSystem"), QString("2"));
        QCOMPARE(cell(1, 0), QString("carol"));
        QCOMPARE(form->DataGrid1->currentIndex().row(), form->rs.currentRow());   // the grid follows the set
    }

    void editButtonsWithoutAResult()
    {
        ScriptedMessageBoxes boxes;
        click("修改");
        click("全部取消");
        QCOMPARE(boxes.count(), 0);
        boxes.answerNext(vbYes);
        click("删除");   // the question comes first, then nothing
        QCOMPARE(boxes.texts(), QStringList({"要删除吗？"}));
        QVERIFY(!form->rsstate);
    }

    void editButtonsOnAnEmptyResult()
    {
        ScriptedMessageBoxes boxes;
        QVERIFY(form->runSql("select * from userSystem where userID = 'nobody'"));
        click("修改");
        click("全部取消");
        boxes.answerNext(vbYes);
        click("删除");
        QCOMPARE(boxes.texts(), QStringList({"没有记录存在！", "没有记录存在！", "要删除吗？", "没有记录存在！"}));
        QCOMPARE(boxes.shown().value(0).title, QString("Quillmere"));
    }

    void deletingTheOnlyRowThenSaving()
    {
        ScriptedMessageBoxes boxes;
        QVERIFY(form->runSql("select * from  userSystem where userID='carol'"));
        boxes.answerNext(vbYes);
        click("删除");
        QCOMPARE(grid()->rowCount(), 0);
        QCOMPARE(test::scalar("select count(*) from userSystem where userID='carol'"), QString("0"));
        click("修改");
        QCOMPARE(boxes.texts().last(), QString("没有记录存在！"));
    }

    void digitFilterOnTheFormsBox()
    {
        ScriptedMessageBoxes boxes;
        QTest::keyClicks(form->Text2, "2a0.05");
        QCOMPARE(form->Text2->text(), QString("2005"));
        QCOMPARE(boxes.texts(), QStringList({"请输入阿拉伯数字", "请输入阿拉伯数字"}));
        QCOMPARE(boxes.last().title, QString("提示"));
    }

    void keyChangeBox()
    {
        QVERIFY(!form->Check1->isChecked());
        QVERIFY(!form->Textkey->isEnabled());
        QVERIFY(form->lbold->isHidden());
        form->lbold->setText("0401001");
        form->Textkey->setText("0401001");
        form->Check1->click();
        QVERIFY(form->Textkey->isEnabled());
        form->Textkey->setText("0409999");
        form->Check1->click();
        QVERIFY(!form->Textkey->isEnabled());
        QCOMPARE(form->Textkey->text(), QString("0401001"));
    }

    void codePanel()
    {
        TaskForm::showListing(form->Frame2, {form->Text4, form->Text5}, form->Text5);
        QVERIFY(form->Text5->isVisible());
        QVERIFY(!form->Text4->isVisible());
        QVERIFY(form->Frame2->isVisible());
        TaskForm::showListing(form->Frame2, {form->Text4, form->Text5}, form->Text4);
        QVERIFY(form->Text4->isVisible() && !form->Text5->isVisible());
        QCOMPARE(form->Text4->palette().color(QPalette::Text), QColor(0, 0, 255));
        QVERIFY(!form->Text4->isReadOnly());
    }

    void returnUnloadsAndTheNextOpeningLoadsAgain()
    {
        for (bool withResult : {false, true}) {
            if (withResult)
                click("显示");
            const int loads = SampleForm::loads;
            click("返回");
            QVERIFY(!mdi::find("SampleForm"));
            QVERIFY(main->isVisible());
            QApplication::processEvents();
            form = static_cast<SampleForm*>(mdi::open("SampleForm"));
            QVERIFY(form);
            QCOMPARE(SampleForm::loads, loads + 1);
            QVERIFY(!form->rsstate);
            QCOMPARE(grid()->rowCount(), 0);
        }
    }

    void returnMakesTheChildUnderneathActive()
    {
        mdi::open("FMDIlogin");
        form = static_cast<SampleForm*>(mdi::open("SampleForm"));
        click("返回");
        QCOMPARE(main->mdiArea()->activeSubWindow(), mdi::windowOf(mdi::find("FMDIlogin")));
    }
};

QM_FORMS_TEST_MAIN(TaskFormTest)
#include "test_taskform.moc"
