// The form toolkit without a database: geometry, fonts, the message seam, the
// digit filter, the date check, quoting, pictures and the grid model.
#include "app/Module1.h"
#include "forms/common/Controls.h"
#include "forms/common/DataGrid.h"
#include "forms/common/DateCheck.h"
#include "forms/common/ImageBox.h"
#include "forms/common/KeyFilter.h"
#include "forms/common/MessageBox.h"
#include "forms/common/Program.h"
#include "forms/common/RecordsetModel.h"
#include "forms/common/SqlText.h"
#include "forms/common/Style.h"
#include "forms/common/Twips.h"
#include "tests/forms/support/FormTest.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QInputMethodEvent>
#include <QFontInfo>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

using namespace quillmere;
using namespace quillmere::forms;

// A grid source of any size that counts how often its cells are read.
class CountingSource : public db::GridSource {
public:
    explicit CountingSource(int rows) : rows_(rows) {}
    int rowCount() const override { return rows_; }
    int columnCount() const override { return 3; }
    std::string columnName(int c) const override { return c == 2 ? std::string() : "col" + std::to_string(c); }
    db::Value value(int r, int c) const override { return db::Value::fromInteger(r * 10 + c); }
    std::string displayText(int r, int c) const override
    {
        ++reads;
        return std::to_string(r) + ":" + std::to_string(c);
    }
    void setCell(int r, int c, const std::string& text) override { lastSet = std::to_string(r) + "," + std::to_string(c) + "=" + text; }
    int currentRow() const override { return current; }
    void setCurrentRow(int r) override { current = r; }
    db::RowStatus rowStatus(int) const override { return db::RowStatus::Unchanged; }

    mutable long long reads = 0;
    int current = 0;
    std::string lastSet;

private:
    int rows_;
};

class ToolkitTest : public QObject {
    Q_OBJECT
private slots:
    void twipsFollowTheScreenDpi()
    {
        const double dpi = screenDpi();
        QCOMPARE(tw(1440), qRound(dpi));
        QCOMPARE(twRect(4830, 3540, 5895, 4995),
                 QRect(qRound(4830 * dpi / 1440), qRound(3540 * dpi / 1440), qRound(5895 * dpi / 1440),
                       qRound(4995 * dpi / 1440)));
        if (qFuzzyCompare(dpi, 96.0))
            QCOMPARE(tw(15), 1);
    }

    void storedFontsMapToInstalledCjkFaces()
    {
        QCOMPARE(mapFontFamily("华文行楷"), QString("AR PL UKai CN"));
        QVERIFY(QStringList({"AR PL UMing CN", "Noto Serif CJK SC"}).contains(mapFontFamily("宋体")));
        QVERIFY(QStringList({"AR PL UMing CN", "Noto Serif CJK SC"}).contains(mapFontFamily("华文中宋")));
        const QFont f = cjkFont("华文行楷", 72, true);
        QCOMPARE(f.pointSizeF(), 72.0);
        QVERIFY(f.bold());
        QCOMPARE(QFontInfo(f).family(), QString("AR PL UKai CN"));   // really installed
    }

    void messageSeamRecordsAndAnswers()
    {
        ScriptedMessageBoxes boxes;
        QCOMPARE(msgBox("甲"), int(vbOK));
        QCOMPARE(boxes.last().title, QString("Quillmere"));
        QCOMPARE(boxes.last().buttons, int(vbOKOnly));
        QCOMPARE(boxes.last().icon, MsgIcon::None);

        QCOMPARE(msgBox("乙", vbExclamation, "警告"), int(vbOK));
        QCOMPARE(boxes.last().icon, MsgIcon::Warning);
        QCOMPARE(boxes.last().buttons, int(vbOKOnly));
        QCOMPARE(boxes.last().title, QString("警告"));

        boxes.answerNext(vbYes);
        QCOMPARE(msgBox("丙", vbYesNo, "退出窗口"), 6);
        QCOMPARE(msgBox("丁", vbYesNo, "退出窗口"), int(vbNo));   // unscripted questions answer No
        QCOMPARE(boxes.last().buttons, int(vbYesNo));
        QCOMPARE(boxes.texts(), QStringList({"甲", "乙", "丙", "丁"}));
    }

    void realBoxesAreModalWithTheirButtons()
    {
        struct Seen {
            QString title, text;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QStringList buttons;
            bool modal = false;
        } seen;
        auto answer = [&seen](const QString& press) {
            QTimer::singleShot(0, [&seen, press] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box)
                    return;
                seen.title = box->windowTitle();
                seen.text = box->text();
                seen.icon = box->icon();
                seen.modal = box->isModal();
                seen.buttons.clear();
                for (QAbstractButton* b : box->buttons())
                    seen.buttons << b->text();
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == press)
                        b->click();
            });
        };
        answer("是(&Y)");
        QCOMPARE(msgBox("真的要退出系统吗？", vbYesNo, "退出窗口"), 6);
        QCOMPARE(seen.title, QString("退出窗口"));
        QCOMPARE(seen.text, QString("真的要退出系统吗？"));
        QVERIFY(seen.modal);
        QCOMPARE(seen.buttons.size(), 2);
        answer("否(&N)");
        QCOMPARE(msgBox("要删除吗？", vbYesNo, "删除记录"), int(vbNo));
        answer("确定");
        QCOMPARE(msgBox("没有记录存在！"), int(vbOK));
        QCOMPARE(seen.title, QString("Quillmere"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, QStringList({"确定"}));
        answer("确定");
        QCOMPARE(msgBox("出生时间应输入日期格式（yyyy-mm-dd）！", vbExclamation, "警告"), int(vbOK));
        QCOMPARE(seen.icon, QMessageBox::Warning);
    }

    void isDigitKey_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("digit");
        for (char c = '0'; c <= '9'; ++c)
            QTest::addRow("digit %c", c) << int(c) << true;
        QTest::newRow("backspace") << 8 << true;
        QTest::newRow("a") << int('a') << false;
        QTest::newRow("Z") << int('Z') << false;
        QTest::newRow("minus") << int('-') << false;
        QTest::newRow("point") << int('.') << false;
        QTest::newRow("enter") << 13 << false;
        QTest::newRow("blank") << 32 << false;
        QTest::newRow("slash, below 0") << int('/') << false;
        QTest::newRow("colon, above 9") << int(':') << false;
        QTest::newRow("full-width 1") << 0xFF11 << false;
        QTest::newRow("zero code") << 0 << false;
    }
    void isDigitKey()
    {
        QFETCH(int, code);
        QFETCH(bool, digit);
        QCOMPARE(Module1::IsDigitKey(code), digit);
    }

    void digitFilterSwallowsOtherKeysWithItsMessage()
    {
        ScriptedMessageBoxes boxes;
        QLineEdit box;
        box.setMaxLength(4);
        setDigitFilter(&box);
        QTest::keyClicks(&box, "7a-.");
        QCOMPARE(box.text(), QString("7"));
        QCOMPARE(boxes.count(), 3);
        for (const auto& r : boxes.shown()) {
            QCOMPARE(r.text, QString("请输入阿拉伯数字"));
            QCOMPARE(r.title, QString("提示"));
            QCOMPARE(r.icon, MsgIcon::None);
        }
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(boxes.count(), 4);
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(box.text(), QString());
        QTest::keyClicks(&box, "20056");   // the fifth digit hits the length limit silently
        QCOMPARE(box.text(), QString("2005"));
        QCOMPARE(boxes.count(), 4);
        QTest::keyClick(&box, Qt::Key_Left);   // keys that type nothing pass
        QCOMPARE(boxes.count(), 4);
        // Text from an input method passes through the same filter.
        box.clear();
        QInputMethodEvent fullWidth;
        fullWidth.setCommitString(QStringLiteral("２"));
        QCoreApplication::sendEvent(&box, &fullWidth);
        QCOMPARE(box.text(), QString());
        QCOMPARE(boxes.count(), 5);
        QInputMethodEvent digits;
        digits.setCommitString(QStringLiteral("19"));
        QCoreApplication::sendEvent(&box, &digits);
        QCOMPARE(box.text(), QString("19"));
    }

    void digitFilterLetsTabAndDeleteWork()
    {
        // Tab and Delete carry a text on some platforms; they still move the
        // focus and delete, without the digit message.
        ScriptedMessageBoxes boxes;
        QWidget w;
        auto* digits = new QLineEdit("123", &w);
        auto* next = new QLineEdit(&w);
        next->move(0, 40);
        setDigitFilter(digits);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QApplication::setActiveWindow(&w);
        digits->setFocus();
        QTRY_VERIFY(digits->hasFocus());
        digits->setCursorPosition(0);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
        QApplication::sendEvent(digits, &del);
        QCOMPARE(digits->text(), QString("23"));
        QTest::keyClick(digits, Qt::Key_Tab);
        QTRY_VERIFY(next->hasFocus());
        QCOMPARE(boxes.count(), 0);
    }

    void dateCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("short month and day") << "1986-10-1" << true;
        QTest::newRow("two-digit day") << "1986-10-01" << true;
        QTest::newRow("slashes") << "1980/3/3" << true;
        QTest::newRow("leap day") << "2004-2-29" << true;
        QTest::newRow("month 13") << "1986-13-1" << false;
        QTest::newRow("30 February") << "1986-2-30" << false;
        QTest::newRow("29 February, no leap year") << "1986-2-29" << false;
        QTest::newRow("month 0") << "1986-0-1" << false;
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("letters in date") << "1986-1o-1" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks") << "   " << false;
        QTest::newRow("mixed separators") << "1986-10/1" << false;
        QTest::newRow("before datetime's range") << "1752-12-31" << false;
        QTest::newRow("injection") << "1986-10-1'); drop table student--" << false;
    }
    void dateCheck()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(isDateText(text), valid);
    }

    void dateFieldWarnsAndTakesTheFocus()
    {
        ScriptedMessageBoxes boxes;
        QWidget w;
        auto* other = new QLineEdit(&w);
        auto* date = new QLineEdit("1986-13-1", &w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QApplication::setActiveWindow(&w);
        other->setFocus();
        QVERIFY(!checkDateField(date));
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().text, QString("出生时间应输入日期格式（yyyy-mm-dd）！"));
        QCOMPARE(boxes.last().title, QString("警告"));
        QCOMPARE(boxes.last().icon, MsgIcon::Warning);
        QTRY_VERIFY(date->hasFocus());
        date->setText("1986-10-01");
        QVERIFY(checkDateField(date));
        QCOMPARE(boxes.count(), 1);
    }

    void quotesAreDoubled()
    {
        QCOMPARE(sqlValue("O'Brien"), QString("O''Brien"));
        QCOMPARE(sqlValue("' or '1'='1"), QString("'' or ''1''=''1"));
        QCOMPARE(sqlValue("张三"), QString("张三"));
        QCOMPARE(sqlValue(""), QString(""));
    }

    void passwordBoxShowsStars()
    {
        QLineEdit* e = makeTextBox(nullptr, "Text2", "", {0, 0, 1500, 375});
        setPasswordChar(e);
        QCOMPARE(e->echoMode(), QLineEdit::Password);
        QCOMPARE(e->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, e), int('*'));
        delete e;
    }

    void listingWrapsLongLines()
    {
        // Only a vertical scroll bar: a line longer than the box wraps, so all
        // of it can be read.
        QPlainTextEdit* t = makeListing(nullptr, "Text1", QString(200, QLatin1Char('x')) + " end", {0, 0, 3000, 3000});
        t->show();
        QVERIFY(QTest::qWaitForWindowExposed(t));
        QCOMPARE(t->palette().color(QPalette::Text), QColor(0, 0, 255));
        QVERIFY(!t->isReadOnly());
        QCOMPARE(t->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(!t->horizontalScrollBar()->isVisible());
        QVERIFY(t->document()->firstBlock().layout()->lineCount() > 1);
        delete t;
    }

    void multiLineBoxStopsAtItsLength()
    {
        QWidget w;
        QPlainTextEdit* t = makeMultiLine(&w, "Text3", QString(), {0, 0, 3000, 900}, 5);
        auto* next = new QLineEdit(&w);
        next->move(0, 80);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QApplication::setActiveWindow(&w);
        t->setFocus();
        QTRY_VERIFY(t->hasFocus());
        QTest::keyClicks(t, "abcdefg");
        QCOMPARE(t->toPlainText(), QString("abcde"));
        QTest::keyClick(t, Qt::Key_Return);
        QCOMPARE(t->toPlainText(), QString("abcde"));
        QTest::keyClick(t, Qt::Key_Backspace);
        QTest::keyClick(t, Qt::Key_Return);
        QCOMPARE(t->toPlainText(), QString("abcd\n"));
        t->selectAll();
        QTest::keyClicks(t, "x");
        QCOMPARE(t->toPlainText(), QString("x"));
        QApplication::clipboard()->setText("123456789");
        t->paste();
        QCOMPARE(t->toPlainText(), QString("x1234"));
        t->clear();
        QInputMethodEvent composed;
        composed.setCommitString(QStringLiteral("一二三四五六"));
        QCoreApplication::sendEvent(t, &composed);
        QCOMPARE(t->toPlainText(), QString("一二三四五"));
        QTest::keyClick(t, Qt::Key_Tab);
        QTRY_VERIFY(next->hasFocus());
        QCOMPARE(t->toPlainText(), QString("一二三四五"));
    }

    void pictureKeepsItsOwnSizeAndSurvivesMissingFiles()
    {
        ImageBox* img = makeImage(nullptr, "Image2", "user.gif", {6000, 2880, 1500, 1500}, "用户管理");
        QCOMPARE(img->objectName(), QString("Image2"));
        QCOMPARE(img->toolTip(), QString("用户管理"));
        const QPixmap own(imagePath("user.gif"));
        QVERIFY(!own.isNull());
        QCOMPARE(img->size(), own.size());
        // Any button raises MouseDown and MouseUp; only the left one clicks.
        QSignalSpy down(img, &ImageBox::mouseDown), up(img, &ImageBox::mouseUp), clicked(img, &ImageBox::clicked);
        QTest::mouseClick(img, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(QList<int>({int(down.count()), int(up.count()), int(clicked.count())}), QList<int>({1, 1, 0}));
        QTest::mouseClick(img, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
        QCOMPARE(QList<int>({int(down.count()), int(up.count()), int(clicked.count())}), QList<int>({2, 2, 1}));
        QVERIFY(!img->loadPicture("no-such-picture.gif"));
        QCOMPARE(img->pictureName(), QString("user.gif"));
        QVERIFY(!img->pixmap().isNull());
        delete img;
    }

    void gridShowsAMillionRowsWithoutReadingThem()
    {
        CountingSource src(1'000'000);
        DataGrid grid;
        grid.resize(400, 300);
        grid.setGridSource(&src);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(grid.model()->rowCount(), 1'000'000);
        QCOMPARE(grid.model()->headerData(0, Qt::Horizontal).toString(), QString("col0"));
        QCOMPARE(grid.model()->headerData(2, Qt::Horizontal).toString(), QString());   // unnamed column
        grid.scrollToBottom();
        QApplication::processEvents();
        QCOMPARE(grid.model()->index(999'999, 1).data().toString(), QString("999999:1"));
        QVERIFY2(src.reads < 5000, qPrintable(QString::number(src.reads)));
    }

    void gridCurrentRowFollowsBothWays()
    {
        CountingSource src(20);
        src.current = 3;
        DataGrid grid;
        grid.setGridSource(&src);
        QCOMPARE(grid.currentIndex().row(), 3);   // the grid follows the source
        QCOMPARE(grid.model()->headerData(3, Qt::Vertical).toString(), QString("▶"));
        grid.setCurrentIndex(grid.model()->index(7, 0));
        QCOMPARE(src.current, 7);                  // the source follows the grid
        QCOMPARE(grid.model()->headerData(7, Qt::Vertical).toString(), QString("▶"));
        QCOMPARE(grid.model()->headerData(3, Qt::Vertical).toString(), QString());
        src.current = 12;
        grid.followSource();
        QCOMPARE(grid.currentIndex().row(), 12);
        QVERIFY(grid.model()->setData(grid.model()->index(2, 1), "x", Qt::EditRole));
        QCOMPARE(src.lastSet, std::string("2,1=x"));
    }
};

QM_FORMS_TEST_MAIN(ToolkitTest)
#include "test_toolkit.moc"
