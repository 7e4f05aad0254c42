#include "forms/common/RecordsetModel.h"

#include "forms/common/DbMessage.h"
#include "forms/common/SqlText.h"

namespace quillmere::forms {

RecordsetModel::RecordsetModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordsetModel::setSource(db::Recordset* rs)
{
    beginResetModel();
    rs_ = rs;
    src_ = rs;
    endResetModel();
}

void RecordsetModel::setGridSource(db::GridSource* src)
{
    beginResetModel();
    rs_ = nullptr;
    src_ = src;
    endResetModel();
}

void RecordsetModel::reload()
{
    beginResetModel();
    endResetModel();
}

bool RecordsetModel::live() const { return rs_ ? rs_->isOpen() : src_ != nullptr; }

bool RecordsetModel::editable() const
{
    if (!allowUpdate_ || !live())
        return false;
    if (!rs_)
        return true;
    const auto lt = rs_->lockType();
    return lt == db::LockType::BatchOptimistic || lt == db::LockType::Optimistic
           || lt == db::LockType::Pessimistic;
}

int RecordsetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !live() ? 0 : src_->rowCount();
}

int RecordsetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !live() ? 0 : src_->columnCount();
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const
{
    if (!live() || !index.isValid() || index.row() >= src_->rowCount() || index.column() >= src_->columnCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return fromDb(src_->displayText(index.row(), index.column()));
    return {};
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (o == Qt::Vertical) {
        // The row marker: the record set's current row.
        if (live() && section == src_->currentRow())
            return QStringLiteral("▶");
        return QString();
    }
    if (!live() || section >= src_->columnCount())
        return {};
    return fromDb(src_->columnName(section));
}

void RecordsetModel::currentRowMoved(int from, int to)
{
    const int rows = rowCount();
    for (int r : {from, to})
        if (r >= 0 && r < rows)
            emit headerDataChanged(Qt::Vertical, r, r);
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && editable())
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !editable() || !index.isValid() || index.row() >= src_->rowCount())
        return false;
    try {
        src_->setCell(index.row(), index.column(), toSql(value.toString()));
    } catch (const db::DbError& e) {
        showDbError(e);
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

}  // namespace quillmere::forms
