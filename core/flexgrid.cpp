#include "flexgrid.h"

#include <QHeaderView>
#include <algorithm>

#include "core/globals.h"
#include "platform/db/recordset.h"
#include "platform/ui/prompts.h"

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    connect(this, &QTableWidget::cellDoubleClicked, this, [this] { emit DblClick(); });
}

void FlexGrid::Bind(db::Recordset& rs) {
    clearContents();
    const int cols = rs.FieldCount();
    const int rows = rs.State() == db::adStateOpen ? rs.RecordCount() : 0;
    setColumnCount(cols);
    setRowCount(rows);
    for (int c = 0; c < cols; ++c) setHorizontalHeaderItem(c, new QTableWidgetItem(rs.Fields(c).Name()));
    for (int row = 0; row < rows; ++row) {
        for (int c = 0; c < cols; ++c) {
            const QVariant v = rs.ValueAt(row, c);
            auto* item = new QTableWidgetItem(db::ValueText(v));
            item->setData(Qt::UserRole, v);
            setItem(row, c, item);
        }
    }
}

void FlexGrid::SetCols(int cols) {
    const int old = columnCount();
    setColumnCount(cols);
    for (int c = old; c < cols; ++c) setHorizontalHeaderItem(c, new QTableWidgetItem());
}

QString FlexGrid::TextMatrix(int row, int col) const {
    if (row == 0) {
        const QTableWidgetItem* h = horizontalHeaderItem(col);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem* i = item(row - 1, col);
    return i ? i->text() : QString();
}

void FlexGrid::SetTextMatrix(int row, int col, const QString& text) {
    if (row == 0) {
        if (!horizontalHeaderItem(col)) setHorizontalHeaderItem(col, new QTableWidgetItem());
        horizontalHeaderItem(col)->setText(text);
        return;
    }
    if (row - 1 >= rowCount() || col >= columnCount()) return;
    if (!item(row - 1, col)) setItem(row - 1, col, new QTableWidgetItem());
    item(row - 1, col)->setText(text);
}

QVariant FlexGrid::Value(int row, int col) const {
    const QTableWidgetItem* i = row > 0 ? item(row - 1, col) : nullptr;
    return i ? i->data(Qt::UserRole) : QVariant();
}

int FlexGrid::ColWidth(int col) const {
    if (col < 0 || col >= columnCount() || isColumnHidden(col)) return 0;
    return columnWidth(col) * kTwipsPerPixel;
}

void FlexGrid::SetColWidth(int col, int twips) {
    if (col < 0 || col >= columnCount()) return;
    if (twips <= 0) {
        setColumnHidden(col, true);
        return;
    }
    setColumnHidden(col, false);
    setColumnWidth(col, std::max(1, twips / kTwipsPerPixel));
}

int FlexGrid::HeadingWidth(int col) const {
    return horizontalHeader()->sectionSizeHint(col) * kTwipsPerPixel;
}

void FlexGrid::SetCellBackColor(int row, int col, std::uint32_t bgr) {
    if (row < 1 || row - 1 >= rowCount() || col >= columnCount()) return;
    if (!item(row - 1, col)) setItem(row - 1, col, new QTableWidgetItem());
    item(row - 1, col)->setBackground(ui::ToQColor(bgr));
}

int FlexGrid::Row() const { return currentRow() >= 0 ? currentRow() + 1 : 0; }

int FittedColumnWidth(QTableView* grid, int col, int least) {
    // A very long description would push every other column out of sight.
    const int most = 45 * grid->fontMetrics().averageCharWidth();
    // The rows in view come first; forty say enough, where a year's thousands would slow every
    // refresh.
    grid->horizontalHeader()->setResizeContentsPrecision(40);
    const int content = std::max(static_cast<QAbstractItemView*>(grid)->sizeHintForColumn(col),
                                 grid->horizontalHeader()->sectionSizeHint(col));
    return std::max(least, std::min(content, most));
}
