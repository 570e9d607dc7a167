#pragma once

#include <QAbstractTableModel>

#include <functional>
#include <memory>

#include "recordset.h"

namespace db {

// A record set as a table model, for the grids: one row per visible record (after the
// filter and sort), one column per field. Editing a cell writes the field and saves the row.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Formatter = std::function<QString(const QVariant&)>;

    explicit RecordsetModel(QObject* parent = nullptr);
    // Binds to the record set's rows; the model follows its changes. Passing a closed
    // record set (or none) leaves the model empty.
    void setRecordset(const Recordset* rs);

    // How a column's values are shown; the default is the everyday text form.
    void setFormatter(int column, Formatter formatter);
    void setEditable(bool editable) { editable_ = editable; }
    // Maps a grid row to the record set's position (1-based AbsolutePosition).
    bool moveTo(int row);
    int currentRow() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // A column's caption in place of its field's name.
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The record set's value at a grid cell (QDateTime, Currency, ...).
    QVariant value(int row, int column) const;

signals:
    void currentRowChanged(int row);

private:
    void reset();

    std::shared_ptr<detail::View> view_;
    QMetaObject::Connection c1_, c2_, c3_;
    QHash<int, Formatter> formatters_;
    QHash<int, QString> captions_;
    bool editable_ = false;
    int rows_ = 0;
    int columns_ = 0;
};

}  // namespace db
