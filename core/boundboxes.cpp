#include "boundboxes.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

#include "core/formatting.h"
#include "platform/db/recordset.h"
#include "platform/db/recordsetmodel.h"

QString BoundBoxes::BoxText(const QWidget* box) {
    if (auto* line = qobject_cast<const QLineEdit*>(box)) return line->text();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(box)) return plain->toPlainText();
    return QString();
}

void BoundBoxes::SetBoxText(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setText(text);
        line->setCursorPosition(0);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
        plain->setPlainText(text);
    }
}

void BoundBoxes::Add(QWidget* box, const QString& field, Kind kind) {
    bound_.append({box, field, kind, {}});
}

void BoundBoxes::Load(const db::Recordset& rs) {
    const bool row = HasCurrentRow(rs);
    for (Bound& b : bound_) {
        const QVariant v = row ? rs.Value(b.field) : QVariant();
        if (db::IsNull(v))
            b.shown.clear();
        else if (b.kind == Money)
            b.shown = FormatMoney(v);
        else
            b.shown = v.toString();
        SetBoxText(b.box, b.shown);
        // A multi-line box keeps its own line breaks; that alone is no edit.
        b.shown = BoxText(b.box);
    }
}

void BoundBoxes::ShowStored(QWidget* box, const QString& text) {
    SetBoxText(box, text);
    for (Bound& b : bound_)
        if (b.box == box) b.shown = BoxText(box);
}

bool BoundBoxes::Write(db::Recordset& rs, QString* error) {
    auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    for (Bound& b : bound_) {
        const QString text = BoxText(b.box);
        if (text == b.shown) continue;
        QVariant value;
        if (!text.trimmed().isEmpty()) {
            if (b.kind == Money) {
                const auto money = ParseMoney(text);
                if (!money) return fail(MoneyRefusal(text));
                value = QVariant::fromValue(*money);
            } else if (b.kind == WholeNumber) {
                bool ok = false;
                value = text.trimmed().toLongLong(&ok);
                if (!ok)
                    return fail(QStringLiteral("Type mismatch: \"%1\" is not a number.").arg(text));
            } else {
                value = text;
            }
        }
        if (!rs.SetValue(b.field, value)) return fail(rs.LastError());
        b.shown = text;
    }
    return true;
}

void SetUpRecordGrid(QTableView* grid, db::RecordsetModel* model) {
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->setWordWrap(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, model,
                     [model](const QModelIndex& current) {
                         if (current.isValid()) model->moveTo(current.row());
                     });
}
