#include "forms/common/DataGrid.h"

#include "forms/common/RecordsetModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

namespace quillmere::forms {

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(new RecordsetModel(this))
{
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    // Fixed row heights: the view never measures rows, whatever their number.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(std::max(18, fontMetrics().height() + 4));
    verticalHeader()->setFixedWidth(18);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &DataGrid::onCurrentChanged);
}

template <typename Change>
void DataGrid::resetModel(Change change, bool newColumns)
{
    following_ = true;
    change();
    following_ = false;
    if (newColumns)
        sizeColumns();
    followSource();
}

void DataGrid::setDataSource(db::Recordset* rs)
{
    resetModel([&] { model_->setSource(rs); }, true);
}

db::Recordset* DataGrid::dataSource() const { return model_->source(); }

void DataGrid::setGridSource(db::GridSource* src)
{
    resetModel([&] { model_->setGridSource(src); }, true);
}

void DataGrid::refresh()
{
    resetModel([&] { model_->reload(); }, false);
}

void DataGrid::followSource()
{
    db::GridSource* rs = model_->gridSource();
    following_ = true;
    if (rs && model_->columnCount() > 0) {
        const int row = rs->currentRow();
        model_->currentRowMoved(currentIndex().row(), row);
        if (row >= 0 && row < model_->rowCount()) {
            const int col = std::max(0, currentIndex().column());
            selectionModel()->setCurrentIndex(model_->index(row, col), QItemSelectionModel::ClearAndSelect);
            scrollTo(model_->index(row, col));
        } else {
            selectionModel()->clearCurrentIndex();
            selectionModel()->clearSelection();
        }
    }
    following_ = false;
}

void DataGrid::setAllowUpdate(bool on) { model_->setAllowUpdate(on); }
bool DataGrid::allowUpdate() const { return model_->allowUpdate(); }

void DataGrid::onCurrentChanged(const QModelIndex& current, const QModelIndex&)
{
    if (following_ || !current.isValid())
        return;
    db::GridSource* rs = model_->gridSource();
    if (rs && model_->columnCount() > 0 && rs->currentRow() != current.row()) {
        const int from = rs->currentRow();
        rs->setCurrentRow(current.row());
        model_->currentRowMoved(from, current.row());
    }
}

void DataGrid::sizeColumns()
{
    // Widths from the heading and the first rows only.
    const int cols = model_->columnCount();
    const int rows = std::min(model_->rowCount(), 50);
    const QFontMetrics fm = fontMetrics();
    for (int c = 0; c < cols; ++c) {
        int w = fm.horizontalAdvance(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        for (int r = 0; r < rows; ++r)
            w = std::max(w, fm.horizontalAdvance(model_->data(model_->index(r, c), Qt::DisplayRole).toString()));
        setColumnWidth(c, std::clamp(w + 16, 48, 300));
    }
}

}  // namespace quillmere::forms
