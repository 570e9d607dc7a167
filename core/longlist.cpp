#include "longlist.h"

#include <QHelpEvent>
#include <QSignalBlocker>
#include <QListView>
#include <QToolTip>
#include <QScreen>
#include <QScrollBar>
#include <QStylePainter>
#include <algorithm>

#include "core/globals.h"
#include "platform/db/recordset.h"

void KeyedNameModel::SetNames(QStringList names, QList<QVariant> keys) {
    beginResetModel();
    names_ = std::move(names);
    keys_ = std::move(keys);
    keys_.resize(names_.size());
    endResetModel();
}

int KeyedNameModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant KeyedNameModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= names_.size()) return QVariant();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::ToolTipRole:
            return names_[index.row()];
        case Qt::UserRole:
            return keys_[index.row()];
        default:
            return QVariant();
    }
}

ElidingComboBox::ElidingComboBox(QWidget* parent) : QComboBox(parent), names_(new KeyedNameModel(this)) {
    // Measured by a few characters rather than by every entry.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(16);
    setModel(names_);
    auto* list = new QListView(this);
    list->setUniformItemSizes(true);
    list->setTextElideMode(Qt::ElideNone);
    setView(list);
}

bool ElidingComboBox::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QComboBox::event(event);
    if (ShownText() == currentText()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), currentText(), this);
    }
    return true;
}

QString ElidingComboBox::ShownText() const {
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    if (currentIndex() < 0) opt.currentText = placeholderText();
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    return fontMetrics().elidedText(opt.currentText, Qt::ElideRight, field.width());
}

void ElidingComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    if (currentIndex() < 0 && !placeholderText().isEmpty())
        opt.palette.setBrush(QPalette::ButtonText, opt.palette.placeholderText());
    opt.currentText = ShownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, opt);
}

void ElidingComboBox::showPopup() {
    // As wide as the longest entry, so that every one reads whole; measured when the list
    // opens rather than when the window does.
    QAbstractItemView* list = view();
    int widest = width();
    const QFontMetrics metrics = list->fontMetrics();
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(itemText(i)) + 2 * metrics.averageCharWidth());
    if (const QScreen* s = screen()) widest = std::min(widest, s->availableGeometry().width());
    list->setMinimumWidth(widest + list->verticalScrollBar()->sizeHint().width());
    QComboBox::showPopup();
}

void LoadCustomerList(ElidingComboBox* box, const QString& lastEntry) {
    const QSignalBlocker block(box);
    QStringList names;
    QList<QVariant> keys;
    db::Recordset rs;
    // The key travels with each name, so that a customer is never looked up by its text.
    if (rs.Open(QStringLiteral("select companies.companyid, companies.companyname from companies"),
                DbConnection(), db::adOpenForwardOnly, db::adLockReadOnly)) {
        const int name = rs.FieldIndex(QStringLiteral("companyname"));
        const int key = rs.FieldIndex(QStringLiteral("companyid"));
        for (int row = 0, n = rs.RecordCount(); row < n; ++row) {
            const QVariant value = rs.ValueAt(row, name);
            if (db::IsNull(value)) continue;
            names << value.toString();
            keys << rs.ValueAt(row, key);
        }
        rs.Close();
    }
    if (!lastEntry.isEmpty()) {
        names << lastEntry;
        keys << QVariant();
    }
    // In one go: a list of thousands added name by name would be measured name by name.
    box->names()->SetNames(std::move(names), std::move(keys));
    box->setCurrentIndex(-1);
}
