#pragma once

#include <QList>
#include <QString>

#include "platform/db/datacontrol.h"

class QTableView;
class QWidget;
namespace db {
class Recordset;
class RecordsetModel;
}

// Text boxes bound to fields of a record set's current row. The row's values are shown;
// what changed in a box since (typed, or put there by the window) goes back into the row
// when the window writes its boxes before an update.
class BoundBoxes {
  public:
    enum Kind { Text, Money, WholeNumber };

    // `box` is a QLineEdit or a QPlainTextEdit.
    void Add(QWidget* box, const QString& field, Kind kind = Text);
    // Shows the current row; empty boxes when the record set has no current row.
    void Load(const db::Recordset& rs);
    // Puts each changed box into the row (it does not save the row). False, with `error` set,
    // when a box holds a value its field cannot take.
    bool Write(db::Recordset& rs, QString* error = nullptr);
    // Shows `text` in the box as what the row holds: no edit of the user's.
    void ShowStored(QWidget* box, const QString& text);

    static QString BoxText(const QWidget* box);
    static void SetBoxText(QWidget* box, const QString& text);

  private:
    struct Bound {
        QWidget* box;
        QString field;
        Kind kind;
        QString shown;
    };
    QList<Bound> bound_;
};

// A record set open and on a row, as the data layer judges it.
using db::HasCurrentRow;

// A read-only grid of whole rows over the model; selecting a row moves the record set to it.
void SetUpRecordGrid(QTableView* grid, db::RecordsetModel* model);
