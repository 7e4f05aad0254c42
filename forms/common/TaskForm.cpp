#include "forms/common/TaskForm.h"

#include "app/Module1.h"
#include "forms/common/DataGrid.h"
#include "forms/common/DateCheck.h"
#include "forms/common/DbMessage.h"
#include "forms/common/KeyFilter.h"
#include "forms/common/Mdi.h"
#include "forms/common/MessageBox.h"
#include "forms/common/SqlText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace quillmere::forms {

using Module1::cnn;

TaskForm::TaskForm(const char* name, const QString& caption, QWidget* parent) : ChildForm(name, caption, parent) {}

TaskForm::~TaskForm()
{
    // The grids must not look at record sets that go away before them.
    for (DataGrid* g : findChildren<DataGrid*>())
        g->setDataSource(nullptr);
}

static void unbindIfShowing(DataGrid* grid, db::Recordset& set)
{
    if (grid && grid->dataSource() == &set)
        grid->setDataSource(nullptr);
}

void TaskForm::closeSet(db::Recordset& set, DataGrid* grid, bool& state)
{
    if (state) {
        unbindIfShowing(grid, set);
        if (set.isOpen())
            set.close();
    }
    state = set.isOpen();
}

void TaskForm::closeRs() { closeSet(rs, DataGrid1, rsstate); }

bool TaskForm::runSql(const QString& statement)
{
    closeRs();
    sql = statement;
    return runSql(sql, rs, DataGrid1, rsstate);
}

bool TaskForm::openSet(db::Recordset& set, const QString& statement)
{
    try {
        if (set.isOpen())
            set.close();
        set.open(toSql(statement), cnn);
    } catch (const db::DbError& e) {
        showDbError(e);
        return false;
    }
    return true;
}

bool TaskForm::runSql(const QString& statement, db::Recordset& set, DataGrid* grid, bool& state)
{
    closeSet(set, grid, state);
    try {
        set.open(toSql(statement), cnn);
    } catch (const db::DbError& e) {
        state = set.isOpen();
        showDbError(e);
        return false;
    }
    if (grid)
        grid->setDataSource(&set);
    state = set.isOpen();
    return true;
}

bool TaskForm::execSql(const QString& statement) { return openRs(statement); }

bool TaskForm::openRs(const QString& statement)
{
    closeRs();
    sql = statement;
    return runSql(sql, rs, nullptr, rsstate);
}

void TaskForm::bindGrid()
{
    if (DataGrid1)
        DataGrid1->setDataSource(&rs);
}

bool TaskForm::fillCombo(QComboBox* combo, const QString& statement, const QString& column)
{
    db::Recordset spare;
    db::Recordset& set = rsstate ? spare : rs;
    sql = statement;
    // Appending never changes the combo's text or choice (Qt would choose the
    // first item of a combo that was empty).
    const int index = combo->currentIndex();
    const QString text = combo->currentText();
    struct Restore {
        QComboBox* combo;
        int index;
        QString text;
        ~Restore()
        {
            if (combo->currentIndex() != index)
                combo->setCurrentIndex(index);
            if (combo->isEditable() && combo->currentText() != text)
                combo->setEditText(text);
        }
    } restore{combo, index, text};
    try {
        set.open(toSql(sql), cnn);
        if (!set.isOpen())
            return true;
        const std::string col = toSql(column);
        while (!set.eof()) {
            combo->addItem(fromDb(set.fieldText(col)));
            set.moveNext();
        }
        set.close();
    } catch (const db::DbError& e) {
        if (set.isOpen())
            set.close();
        showDbError(e);
        return false;
    }
    return true;
}

std::optional<long long> TaskForm::countOf(const QString& statement)
{
    db::Recordset rscheck;
    sql = statement;
    try {
        rscheck.open(toSql(sql), cnn);
        long long n = 0;
        if (rscheck.isOpen() && !rscheck.eof()) {
            const db::Value v = rscheck.field(0);
            switch (v.kind) {
            case engine::ValueKind::Integer: n = v.integer; break;
            case engine::ValueKind::Real: n = static_cast<long long>(v.real); break;
            case engine::ValueKind::Text: n = QString::fromStdString(v.bytes).trimmed().toLongLong(); break;
            default: n = 0;
            }
        }
        if (rscheck.isOpen())
            rscheck.close();
        return n;
    } catch (const db::DbError& e) {
        showDbError(e);
        return std::nullopt;
    }
}

void TaskForm::setDigitFilter(QWidget* box) { forms::setDigitFilter(box); }

bool TaskForm::checkDate(QLineEdit* field) { return checkDateField(field); }

void TaskForm::gridSave() { gridSave(rs, DataGrid1, rsstate); }
void TaskForm::gridCancel() { gridCancel(rs, DataGrid1, rsstate); }
void TaskForm::gridDelete() { gridDelete(rs, DataGrid1, rsstate); }

static const QString kNoRecord = QStringLiteral("没有记录存在！");

// Saving or dropping a grid's edits needs an edited, open set with a current row;
// without a row the user is told so.
static bool hasEditedRow(db::Recordset& set, bool state)
{
    if (!state || !set.isOpen())
        return false;
    if (set.eof()) {
        msgBox(kNoRecord);
        return false;
    }
    return true;
}

// Runs one change of a grid's record set, shows the server's refusal if any, and
// redraws the grid either way.
template <typename Change>
static void changeGrid(DataGrid* grid, Change change)
{
    try {
        change();
    } catch (const db::DbError& e) {
        showDbError(e);
    }
    if (grid)
        grid->refresh();
}

void TaskForm::gridSave(db::Recordset& set, DataGrid* grid, bool state)
{
    if (hasEditedRow(set, state))
        changeGrid(grid, [&set] { set.updateBatch(); });
}

void TaskForm::gridCancel(db::Recordset& set, DataGrid* grid, bool state)
{
    if (hasEditedRow(set, state))
        changeGrid(grid, [&set] { set.cancelBatch(); });
}

void TaskForm::gridDelete(db::Recordset& set, DataGrid* grid, bool state)
{
    const int answer = msgBox(QStringLiteral("要删除吗？"), vbYesNo, QStringLiteral("删除记录"));
    if (answer != vbYes || !state || !set.isOpen())
        return;
    if (set.bof() && set.eof()) {
        msgBox(kNoRecord);
        return;
    }
    changeGrid(grid, [&set] {
        set.deleteCurrent();
        set.moveNext();
        set.updateBatch();
    });
}

void TaskForm::setupKeyChange(QCheckBox* box, QLineEdit* key, QLabel* oldKey)
{
    box->setChecked(false);
    key->setEnabled(false);
    oldKey->setVisible(false);
    connect(box, &QCheckBox::toggled, this, [key, oldKey](bool on) {
        key->setEnabled(on);
        if (!on)
            key->setText(oldKey->text());
    });
}

void TaskForm::goBack()
{
    closeRs();
    unload();
    mdi::showMainWindow();
}

void TaskForm::showListing(QWidget* panel, const QList<QWidget*>& all, QWidget* listing)
{
    for (QWidget* w : all)
        w->setVisible(w == listing);
    if (panel)
        panel->setVisible(true);
}

void TaskForm::hideListings(const QList<QWidget*>& all)
{
    for (QWidget* w : all)
        w->setVisible(false);
}

}  // namespace quillmere::forms
