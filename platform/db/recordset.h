#pragma once

#include <QBitArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>

#include "connection.h"
#include "value.h"

namespace db {

class Recordset;
namespace detail {
struct View;
struct Row;
}

// Tells bound grids that the rows or the current row of a record set changed.
class RecordsetNotifier : public QObject {
    Q_OBJECT
signals:
    void rowsChanged();   // requery, filter, sort, rows added or removed
    void valuesChanged(); // a row was saved or its edit cancelled
    void moved();         // the current row changed
};

// One field of the current row.
class Field {
public:
    QString Name() const;
    // The value: QDateTime, Currency, bool, int/qlonglong, double, QString, QByteArray, or
    // an invalid QVariant for Null.
    QVariant Value() const;
    bool SetValue(const QVariant& value);
    bool IsNull() const;
    // Everyday text (see ValueText); empty for Null.
    QString Text() const;

private:
    friend class Recordset;
    Field(Recordset* rs, int index, const QString& name = QString()) : rs_(rs), index_(index), name_(name) {}
    QString NotFound() const;
    // The current row's value as held in memory; null, with the error set, when there is none.
    const QVariant* Cell() const;
    Recordset* rs_;
    int index_;
    QString name_;  // as the caller asked for it, for the error text
};

// A client-side record set: the result is read into memory when first needed, filtered and
// sorted there, and edits are written through to the table each field came from, by that
// table's key. Where SQLite can test a filter, only the rows it may match are read.
class Recordset {
public:
    enum EditModeEnum { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };

    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Runs a Jet SQL text. A statement that returns no rows (INSERT, DELETE) is carried
    // out and leaves the record set closed, as the engine does.
    bool Open(const QString& sql, Connection& connection, int cursorType = adOpenUnspecified,
              int lockType = adLockUnspecified);
    // The same with values bound to the text's ? marks.
    bool OpenWith(const QString& sql, Connection& connection, const QVariantList& params,
                  int cursorType = adOpenUnspecified, int lockType = adLockUnspecified);
    int State() const;
    void Close();
    QString LastError() const;

    int FieldCount() const;
    Field Fields(int index);
    // Any case; "Table.Column" also finds a field by its origin.
    Field Fields(const QString& name);
    int FieldIndex(const QString& name) const;
    QVariant Value(const QString& name) const;
    bool SetValue(const QString& name, const QVariant& value);
    // A value of any visible row (0-based, after filter and sort) without moving.
    QVariant ValueAt(int row, int field) const;

    bool Eof() const;
    bool Bof() const;
    int RecordCount() const;
    // 1-based; -2 at BOF, -3 at EOF, -1 when the current row was deleted.
    int AbsolutePosition() const;
    bool SetAbsolutePosition(int position);
    bool MoveFirst();
    bool MoveLast();
    bool MoveNext();
    bool MovePrevious();

    QString Filter() const;
    // Narrows the rows to those matching and moves to the first; "" shows all rows again.
    bool SetFilter(const QString& condition);
    QString Sort() const;
    bool SetSort(const QString& order);

    int EditMode() const;
    bool AddNew();
    bool Update();
    bool CancelUpdate();
    // The current row's edit as it stands: a step that assigns several fields and then fails
    // puts it back, so that the row holds, and a later Update stores, none of the step.
    struct PendingEdit {
        int editMode = adEditNone;
        std::shared_ptr<detail::Row> row;
        QVariantList values;
        QBitArray dirty;
    };
    PendingEdit SavePendingEdit() const;
    // Cancels an edit begun since; false, leaving the row alone, when the saved edit has
    // ended (stored or cancelled) in the meantime.
    bool RestorePendingEdit(const PendingEdit& edit);
    bool Delete();
    // Reads the rows again, keeping the filter and sort.
    bool Requery();
    // Reads again only the rows whose field `keyField` holds one of `keys` (a table's key), as
    // a requery would find them: changed rows change in place, rows gone go, new ones come
    // last. The other rows stay as read; every view of the rows follows. False, leaving the
    // rows as they were, when the engine cannot be asked for the field or one of the rows is
    // being edited.
    bool Resync(const QString& keyField, const QSet<qint64>& keys);
    void Cancel() {}
    // Shares the rows; has its own position, filter and sort.
    Recordset Clone() const;
    // A clone that starts with this one's filter and sort, and the rows they show already
    // worked out, on the first of them.
    Recordset CloneShown() const;

    // Rows from the current one to the end as text; leaves the record set at EOF.
    QString GetString(const QString& columnDelimiter = QStringLiteral("\t"),
                      const QString& rowDelimiter = QStringLiteral("\r\n"),
                      const QString& nullExpr = QString());

    RecordsetNotifier* notifier() const;
    std::shared_ptr<detail::View> view() const { return view_; }
    static Recordset FromView(std::shared_ptr<detail::View> view);

private:
    friend class Field;
    bool Fail(const QString& text) const;
    bool Ready() const;
    // Ready, with an edit of the current row saved first.
    bool ReadyToMove();
    bool MoveToEnd(bool last);
    // Leaves the rows without telling the bound grids.
    void Detach();

    std::shared_ptr<detail::View> view_;
};

}  // namespace db
