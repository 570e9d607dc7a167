#pragma once

#include <QTableWidget>

#include <cstdint>

namespace db {
class Recordset;
}

// A grid of cells filled from a record set, addressed as the windows address it: row 0 is the
// header row, data rows count from 1, widths are in twips. Each cell keeps the record set's
// value beside its text, so formatting never has to read numbers back from formatted text.
class FlexGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);

    // Fills the grid from every visible row of the record set (after its filter and sort),
    // from the first; the record set's position is left as it was.
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

signals:
    void DblClick();
};

// The width in pixels that shows column `col` of `grid` whole, its heading and the cells of the
// rows in view and a few more, but no less than `least` and no more than a long line of text.
int FittedColumnWidth(QTableView* grid, int col, int least);
