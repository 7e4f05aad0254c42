// A table model over a record set's rows, read on demand: one column per
// field headed by its name (an unnamed column has an empty heading). The model
// never copies rows, so a million-row result shows as fast as a small one.
#pragma once

#include "db/Recordset.h"

#include <QAbstractTableModel>

namespace quillmere::forms {

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordsetModel(QObject* parent = nullptr);

    // Shows the rows of rs (nullptr: nothing). Call again whenever rs was
    // reopened or rows were deleted.
    void setSource(db::Recordset* rs);
    db::Recordset* source() const { return rs_; }
    // Shows any grid source (not a record set: always live, editable when allowed).
    void setGridSource(db::GridSource* src);
    db::GridSource* gridSource() const { return src_; }
    void reload();

    // Repaints the row markers after the current row moved.
    void currentRowMoved(int from, int to);

    void setAllowUpdate(bool on) { allowUpdate_ = on; }
    bool allowUpdate() const { return allowUpdate_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    bool live() const;
    bool editable() const;

    db::GridSource* src_ = nullptr;
    db::Recordset* rs_ = nullptr;   // src_ when it is a record set
    bool allowUpdate_ = true;
};

}  // namespace quillmere::forms
