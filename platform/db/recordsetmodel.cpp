#include "recordsetmodel.h"

namespace db {

RecordsetModel::RecordsetModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordsetModel::setRecordset(const Recordset* rs) {
    disconnect(c1_);
    disconnect(c2_);
    disconnect(c3_);
    view_ = nullptr;
    if (rs) {
        RecordsetNotifier* n = rs->notifier();  // gives a closed record set its view
        view_ = rs->view();
        c1_ = connect(n, &RecordsetNotifier::rowsChanged, this, &RecordsetModel::reset);
        c2_ = connect(n, &RecordsetNotifier::valuesChanged, this, [this] {
            // A change made through a clone can take a row out of this record set's filter.
            if (Recordset::FromView(view_).RecordCount() != rows_) return reset();
            if (rows_ > 0 && columns_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
        });
        c3_ = connect(n, &RecordsetNotifier::moved, this, [this] { emit currentRowChanged(currentRow()); });
    }
    reset();
}

void RecordsetModel::reset() {
    beginResetModel();
    const Recordset rs = Recordset::FromView(view_);
    rows_ = rs.State() == adStateOpen ? rs.RecordCount() : 0;
    columns_ = rs.FieldCount();
    endResetModel();
}

void RecordsetModel::setFormatter(int column, Formatter formatter) {
    formatters_.insert(column, std::move(formatter));
    if (rows_ > 0 && column < columns_) emit dataChanged(index(0, column), index(rows_ - 1, column));
}

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant RecordsetModel::value(int row, int column) const {
    if (!view_ || row < 0 || row >= rows_ || column < 0 || column >= columns_) return QVariant();
    return Recordset::FromView(view_).ValueAt(row, column);
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return QVariant();
    const QVariant v = value(index.row(), index.column());
    if (role == Qt::EditRole) return v;
    const auto f = formatters_.constFind(index.column());
    return f != formatters_.cend() ? (*f)(v) : ValueText(v);
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical) return section + 1;
    if (captions_.contains(section)) return captions_.value(section);
    Recordset rs = Recordset::FromView(view_);
    return rs.Fields(section).Name();
}

bool RecordsetModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole)) return false;
    captions_.insert(section, value.toString());
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (editable_ && index.isValid()) f |= Qt::ItemIsEditable;
    return f;
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!editable_ || role != Qt::EditRole || !index.isValid() || !view_) return false;
    Recordset rs = Recordset::FromView(view_);
    if (!rs.SetAbsolutePosition(index.row() + 1)) return false;
    if (!rs.Fields(index.column()).SetValue(value) || !rs.Update()) {
        rs.CancelUpdate();
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

bool RecordsetModel::moveTo(int row) {
    if (!view_) return false;
    Recordset rs = Recordset::FromView(view_);
    return rs.SetAbsolutePosition(row + 1);
}

int RecordsetModel::currentRow() const {
    if (!view_) return -1;
    const Recordset rs = Recordset::FromView(view_);
    const int p = rs.AbsolutePosition();
    return p > 0 ? p - 1 : -1;
}

}  // namespace db
