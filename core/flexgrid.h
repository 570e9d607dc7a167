#pragma once

#include <QBitArray>
#include <QTableWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/db/recordset.h"

// A grid of cells filled from a record set, addressed as the windows address it: row 0 is the
// header row, data rows count from 1, widths are in twips. Each cell keeps the record set's
// value beside its text, so formatting never has to read numbers back from formatted text.
// A long list gets its cells as its rows come into view, so that binding and formatting cost
// what is shown rather than what the list holds; a short one gets them all at once.
class FlexGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);

    // Shows every visible row of the record set (after its filter and sort); the record set's
    // position is left as it was. The grid follows later changes to those rows; the texts and
    // colours set since are given up whenever it binds or follows.
    void Bind(db::Recordset& rs);

    // Rows including the header row.
    int Rows() const { return rowCount() + 1; }
    int Cols() const { return columnCount(); }
    void SetCols(int cols);
    QString TextMatrix(int row, int col) const;
    void SetTextMatrix(int row, int col, const QString& text);
    // The record set's value of a data cell (row from 1).
    QVariant Value(int row, int col) const;
    int ColWidth(int col) const;  // twips; 0 for a hidden column
    void SetColWidth(int col, int twips);
    // The twips the column's heading needs to show whole.
    int HeadingWidth(int col) const;
    void SetCellBackColor(int row, int col, std::uint32_t bgr);
    // The current data row (from 1), or 0 when none is current.
    int Row() const;

    // How every cell of a column reads, from its data row (from 1): the formatting of a whole
    // column at once, for the rows bound now and those that come into view later.
    using CellText = std::function<QString(int row)>;
    void SetColText(int col, CellText text);
    // The back colour of each data row (from 1), none for the grid's own.
    using RowColour = std::function<std::optional<std::uint32_t>(int row)>;
    void SetRowBackColor(RowColour colour);

    // Gives cells to every row a measure of `count` rows through the first in view may read,
    // as painting them would.
    void FillInView(int count);

    // Lists up to this many rows get all their cells when bound.
    static constexpr int kFilledAtOnce = 500;

signals:
    void DblClick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The rows of the record set again, as after Bind.
    void Follow();
    // Gives the data rows (from 0) their cells, where they have none yet.
    void Fill(int first, int last);
    QString TextOf(int row0, int col) const;
    void ApplyRowColour(int row0);

    db::Recordset source_;
    std::vector<CellText> colText_;
    RowColour rowColour_;
    QBitArray filled_;  // rows (from 0) whose cells exist
    QMetaObject::Connection rowsChanged_, valuesChanged_;
};

// The width in pixels that shows column `col` of `grid` whole, its heading and the cells of the
// rows in view and a few more, but no less than `least` and no more than a long line of text.
int FittedColumnWidth(QTableView* grid, int col, int least);
