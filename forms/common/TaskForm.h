// The base of every task form: its statement text `sql`, its record set `rs`
// on the shared connection, the flag `rsstate` (true exactly while `rs` is
// open) and its grid `DataGrid1`, with the behaviour all task forms share.
//
// Every helper that runs a statement catches the server's refusal, shows its
// number and text, and returns false; `rsstate` then says whether `rs` is open.
#pragma once

#include "db/Recordset.h"
#include "forms/common/ChildForm.h"

#include <QList>
#include <QString>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace quillmere::forms {

class DataGrid;

class TaskForm : public ChildForm {
    Q_OBJECT
public:
    TaskForm(const char* name, const QString& caption, QWidget* parent = nullptr);
    ~TaskForm() override;

    QString sql;
    db::Recordset rs;
    bool rsstate = false;
    DataGrid* DataGrid1 = nullptr;   // created by the form with makeGrid()

    // --- statements ------------------------------------------------------

    // The statement-run sequence: close rs if open, set sql, open rs on cnn,
    // bind the grid to it, set rsstate. False (after a message) when refused.
    bool runSql(const QString& statement);
    // The same on another record set, grid and flag (forms with a second grid);
    // `sql` is left alone, the caller keeps its own statement text.
    bool runSql(const QString& statement, db::Recordset& set, DataGrid* grid, bool& state);

    // Opens any record set of the form with a statement (closing it first when
    // open); false after the message when refused. For sets such as rscheck.
    bool openSet(db::Recordset& set, const QString& statement);

    // Steps 1 to 3 only, for insert, update and delete: close rs if open, set
    // sql, run it through rs. rsstate afterwards says whether rs is open.
    bool execSql(const QString& statement);

    // Opens rs with sql without binding the grid (for forms that read the
    // first row before binding); sets rsstate. False when refused.
    bool openRs(const QString& statement);
    void bindGrid();   // binds DataGrid1 to rs

    // Closes rs when rsstate is true (and empties the grid bound to it).
    void closeRs();
    void closeSet(db::Recordset& set, DataGrid* grid, bool& state);

    // Combo fill: appends the named column of every row of the statement to the
    // combo's list, in the order returned; rs is closed afterwards.
    bool fillCombo(QComboBox* combo, const QString& statement, const QString& column);

    // Existence check: runs a count statement on a record set of its own
    // (rscheck) and returns the first column of the first row; nullopt when the
    // statement was refused (the message was shown).
    std::optional<long long> countOf(const QString& statement);

    // --- input checks ----------------------------------------------------

    void setDigitFilter(QWidget* box);           // IsDigitKey on every key press
    bool checkDate(QLineEdit* field);            // the date check, with its warning

    // --- grid edit buttons (on rs, rsstate, DataGrid1 unless given) -------

    void gridSave();
    void gridCancel();
    void gridDelete();
    void gridSave(db::Recordset& set, DataGrid* grid, bool state);
    void gridCancel(db::Recordset& set, DataGrid* grid, bool state);
    void gridDelete(db::Recordset& set, DataGrid* grid, bool state);

    // --- key-change check box ---------------------------------------------

    // Clears the box, disables the key field, hides the old-key label, and wires
    // the box: ticked enables the key field; cleared disables it and puts the
    // label's caption back into it.
    void setupKeyChange(QCheckBox* box, QLineEdit* key, QLabel* oldKey);

    // --- return pattern and code panel ------------------------------------

    // "返回": close rs if open, unload the form, show the main window.
    void goBack();

    // Makes `listing` visible, every other of `all` invisible, and the panel visible.
    static void showListing(QWidget* panel, const QList<QWidget*>& all, QWidget* listing);
    static void hideListings(const QList<QWidget*>& all);
};

}  // namespace quillmere::forms
