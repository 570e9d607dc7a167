#include "flexgrid.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <algorithm>

#include "core/globals.h"
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
    disconnect(rowsChanged_);
    disconnect(valuesChanged_);
    // A clone of its own, so that the grid keeps these rows whatever the caller does with its
    // record set's position, filter and sort afterwards.
    source_ = rs.CloneShown();
    colText_.clear();
    rowColour_ = nullptr;
    // Columns change on an empty grid: a table's columns are stored row by row.
    clearContents();
    setRowCount(0);
    const int cols = source_.FieldCount();
    setColumnCount(cols);
    for (int c = 0; c < cols; ++c) setHorizontalHeaderItem(c, new QTableWidgetItem(source_.Fields(c).Name()));
    Follow();
    rowsChanged_ = connect(source_.notifier(), &db::RecordsetNotifier::rowsChanged, this, &FlexGrid::Follow);
    valuesChanged_ = connect(source_.notifier(), &db::RecordsetNotifier::valuesChanged, this, &FlexGrid::Follow);
}

void FlexGrid::Follow() {
    clearContents();
    const int rows = source_.State() == db::adStateOpen ? std::max(0, source_.RecordCount()) : 0;
    setRowCount(rows);
    filled_ = QBitArray(rows);
    if (rows <= kFilledAtOnce) Fill(0, rows - 1);
}

QString FlexGrid::TextOf(int row0, int col) const {
    if (col < static_cast<int>(colText_.size()) && colText_[static_cast<size_t>(col)])
        return colText_[static_cast<size_t>(col)](row0 + 1);
    return db::ValueText(Value(row0 + 1, col));
}

void FlexGrid::ApplyRowColour(int row0) {
    const std::optional<std::uint32_t> colour = rowColour_ ? rowColour_(row0 + 1) : std::nullopt;
    for (int c = 0; c < columnCount(); ++c) {
        if (QTableWidgetItem* i = item(row0, c)) i->setBackground(colour ? QBrush(ui::ToQColor(*colour)) : QBrush());
    }
}

void FlexGrid::Fill(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    // Filling only gives cells the texts they already show: the view needs no news of it.
    const QSignalBlocker quiet(model());
    for (int r = first; r <= last; ++r) {
        if (filled_.testBit(r)) continue;
        filled_.setBit(r);
        for (int c = 0; c < columnCount(); ++c) {
            auto* i = new QTableWidgetItem(TextOf(r, c));
            i->setData(Qt::UserRole, Value(r + 1, c));
            setItem(r, c, i);
        }
        if (rowColour_) ApplyRowColour(r);
    }
}

void FlexGrid::FillInView(int count) {
    // The view measures `count` rows in a run through the first in view: on from it, and back
    // before it where those after it run out or it is shown with fewer.
    const int first = std::max(0, rowAt(0));
    Fill(first - count + 1, first + count - 1);
}

void FlexGrid::paintEvent(QPaintEvent* event) {
    if (rowCount() > 0) {
        const int first = rowAt(0);
        const int last = rowAt(viewport()->height() - 1);
        if (first >= 0) Fill(first, last < 0 ? rowCount() - 1 : last);
    }
    QTableWidget::paintEvent(event);
}

void FlexGrid::SetColText(int col, CellText text) {
    if (col < 0) return;
    if (col >= static_cast<int>(colText_.size())) colText_.resize(static_cast<size_t>(col) + 1);
    colText_[static_cast<size_t>(col)] = std::move(text);
    for (int r = 0; r < rowCount(); ++r)
        if (filled_.testBit(r) && item(r, col)) item(r, col)->setText(TextOf(r, col));
}

void FlexGrid::SetRowBackColor(RowColour colour) {
    rowColour_ = std::move(colour);
    for (int r = 0; r < rowCount(); ++r)
        if (filled_.testBit(r)) ApplyRowColour(r);
}

void FlexGrid::SetCols(int cols) {
    const int old = columnCount();
    if (cols == old) return;
    // A table's columns are stored row by row: the rows are taken out while the columns change,
    // and put back with the cells they had.
    const int rows = rowCount();
    std::vector<std::pair<int, std::vector<QTableWidgetItem*>>> kept;
    for (int r = 0; r < rows; ++r) {
        if (!filled_.testBit(r)) continue;
        std::vector<QTableWidgetItem*> cells;
        for (int c = 0; c < std::min(old, cols); ++c) cells.push_back(takeItem(r, c));
        kept.emplace_back(r, std::move(cells));
    }
    clearContents();
    setRowCount(0);
    setColumnCount(cols);
    setRowCount(rows);
    for (int c = old; c < cols; ++c) setHorizontalHeaderItem(c, new QTableWidgetItem());
    const QSignalBlocker quiet(model());
    for (auto& [r, cells] : kept) {
        for (int c = 0; c < cols; ++c)
            setItem(r, c, c < static_cast<int>(cells.size()) && cells[static_cast<size_t>(c)]
                              ? cells[static_cast<size_t>(c)]
                              : new QTableWidgetItem(TextOf(r, c)));
        if (rowColour_ && cols > old) ApplyRowColour(r);
    }
}

QString FlexGrid::TextMatrix(int row, int col) const {
    if (row == 0) {
        const QTableWidgetItem* h = horizontalHeaderItem(col);
        return h ? h->text() : QString();
    }
    if (row < 1 || row - 1 >= rowCount() || col < 0 || col >= columnCount()) return QString();
    if (const QTableWidgetItem* i = item(row - 1, col)) return i->text();
    return filled_.testBit(row - 1) ? QString() : TextOf(row - 1, col);
}

void FlexGrid::SetTextMatrix(int row, int col, const QString& text) {
    if (row == 0) {
        if (!horizontalHeaderItem(col)) setHorizontalHeaderItem(col, new QTableWidgetItem());
        horizontalHeaderItem(col)->setText(text);
        return;
    }
    if (row < 1 || row - 1 >= rowCount() || col < 0 || col >= columnCount()) return;
    Fill(row - 1, row - 1);
    if (!item(row - 1, col)) setItem(row - 1, col, new QTableWidgetItem());
    item(row - 1, col)->setText(text);
}

QVariant FlexGrid::Value(int row, int col) const {
    if (row < 1 || row - 1 >= rowCount() || col < 0 || col >= source_.FieldCount()) return QVariant();
    return source_.ValueAt(row - 1, col);
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
    if (row < 1 || row - 1 >= rowCount() || col < 0 || col >= columnCount()) return;
    Fill(row - 1, row - 1);
    if (!item(row - 1, col)) setItem(row - 1, col, new QTableWidgetItem());
    item(row - 1, col)->setBackground(ui::ToQColor(bgr));
}

int FlexGrid::Row() const { return currentRow() >= 0 ? currentRow() + 1 : 0; }

int FittedColumnWidth(QTableView* grid, int col, int least) {
    // A very long description would push every other column out of sight.
    const int most = 45 * grid->fontMetrics().averageCharWidth();
    // The rows in view come first; forty say enough, where a year's thousands would slow every
    // refresh.
    constexpr int kRowsMeasured = 40;
    grid->horizontalHeader()->setResizeContentsPrecision(kRowsMeasured);
    // A long list's rows have no cells until they are painted: those measured get theirs now.
    if (auto* flex = qobject_cast<FlexGrid*>(grid)) flex->FillInView(kRowsMeasured);
    const int content = std::max(static_cast<QAbstractItemView*>(grid)->sizeHintForColumn(col),
                                 grid->horizontalHeader()->sectionSizeHint(col));
    return std::max(least, std::min(content, most));
}
