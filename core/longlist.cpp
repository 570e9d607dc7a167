#include "longlist.h"

#include <QHelpEvent>
#include <QListView>
#include <QToolTip>
#include <QScreen>
#include <QScrollBar>
#include <QStylePainter>
#include <algorithm>

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
