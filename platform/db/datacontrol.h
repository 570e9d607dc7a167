#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "recordset.h"

namespace db {

// Open and on a row: not before the first or after the last, nor on a deleted one.
bool HasCurrentRow(const Recordset& rs);

// Editors bound to fields of a record set's current row. Load() shows the row; Write()
// puts what the user changed since then into the row's fields (it does not save the row).
// An empty box writes Null.
class BoundFields : public QObject {
    Q_OBJECT
  public:
    explicit BoundFields(QObject* parent = nullptr);

    // Shares the record set's current row, edit and position.
    void setRecordset(const Recordset& rs);
    void bind(QLineEdit* box, const QString& field);
    void bind(QCheckBox* box, const QString& field);

    // Shows the current row; no current row empties every editor.
    void Load();
    // False when a field refused its value (LastError() says why); the editors keep their text.
    bool Write();
    QString LastError() const { return lastError_; }

  private:
    struct Binding {
        QPointer<QWidget> editor;
        QString field;
        QVariant shown;  // text of a line edit, check state of a check box
    };
    static QVariant EditorValue(const Binding& b);

    Recordset rs_;
    std::vector<Binding> bindings_;
    QString lastError_;
};

// The navigator bar of a record set: first, previous, caption, next, last. It keeps the
// bound editors on the current row and writes their changes when it moves to another row
// (or when asked to Update), as a data control does. Failures of the user's own clicks are
// reported through Error(); calls from code report them by their result and LastError().
class DataControl : public QWidget {
    Q_OBJECT
  public:
    // Why the current row changed, as MoveComplete reports it.
    enum EventReason {
        adRsnAddNew = 1,
        adRsnUpdate = 3,
        adRsnRequery = 7,
        adRsnMove = 10,
        adRsnMoveFirst = 12,
        adRsnMoveNext = 13,
        adRsnMovePrevious = 14,
        adRsnMoveLast = 15
    };
    Q_ENUM(EventReason)

    explicit DataControl(QWidget* parent = nullptr);

    // Shares the record set's rows and position; the control follows moves made on it.
    void setRecordset(const Recordset& rs);

    QString caption() const { return caption_->text(); }
    void setCaption(const QString& text) { caption_->setText(text); }

    void bind(QLineEdit* box, const QString& field) { fields_.bind(box, field); }
    void bind(QCheckBox* box, const QString& field) { fields_.bind(box, field); }

    // Each writes the bound editors' changes into the row and saves it before moving; at
    // either end a move stays where it is but still saves. False (nothing moved, the edits
    // kept) when the row cannot be saved.
    bool MoveFirst();
    bool MovePrevious();
    bool MoveNext();
    bool MoveLast();
    // Saves the current row as a move would, then starts a new one.
    bool AddNew();
    // Saves the current row without moving.
    bool Update();
    // Says whether the row being added holds nothing the user entered. Moving off such a row
    // drops it instead of saving a blank one: Previous and Last go to the last saved row, First
    // to the first; Next, or a move with no saved row to go to, stays on it unsaved.
    void setBlankNewRow(std::function<bool()> test) { blankNewRow_ = std::move(test); }
    // The bound editors from the current row again.
    void Refresh() { fields_.Load(); }
    QString LastError() const { return lastError_; }

    QToolButton* btnFirst;
    QToolButton* btnPrevious;
    QToolButton* btnNext;
    QToolButton* btnLast;

  signals:
    void MoveComplete(int reason);
    // A click could not be carried out; the row and the editors keep the user's changes.
    void Error(const QString& description);

  private:
    // The reason names the step: a move, adRsnAddNew, or adRsnUpdate (save, no move).
    bool Navigate(EventReason reason);
    bool LeaveBlankNewRow(EventReason reason);
    void Clicked(EventReason reason);
    void Followed(int reason);

    Recordset rs_;
    BoundFields fields_;
    QLabel* caption_;
    QString lastError_;
    bool navigating_ = false;
    std::function<bool()> blankNewRow_;
    QList<QMetaObject::Connection> follow_;
};

}  // namespace db
