// The data grid `DataGrid1`: shows the record set it is bound to and keeps the
// set's current row and its own current row in step, both ways.
#pragma once

#include "db/Recordset.h"

#include <QTableView>

namespace quillmere::forms {

class RecordsetModel;

class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);

    // Binds the grid to rs (the data source); nullptr empties it.
    void setDataSource(db::Recordset* rs);
    db::Recordset* dataSource() const;
    // Shows a grid source that is not a record set.
    void setGridSource(db::GridSource* src);

    // After the set changed under the grid (rows deleted, moved, reopened):
    // re-read the rows and follow the set's current row.
    void refresh();
    // Puts the grid's current row on the set's current row.
    void followSource();

    void setAllowUpdate(bool on);   // cells editable (when the set's lock allows); on by default
    bool allowUpdate() const;

    RecordsetModel* recordsetModel() const { return model_; }

private:
    void onCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void sizeColumns();
    // Runs a change of the model without taking its row moves for the user's, sizes
    // the columns anew when asked, and follows the source's current row.
    template <typename Change>
    void resetModel(Change change, bool newColumns);

    RecordsetModel* model_;
    bool following_ = false;
};

}  // namespace quillmere::forms
