#include "recordset.h"

#include <algorithm>
#include <vector>

#include "recordsetstore.h"

namespace db {

using namespace detail;

// ---- Field -----------------------------------------------------------------------------

QString Field::NotFound() const {
    const QString item = name_.isEmpty() ? QString::number(index_) : name_;
    return QStringLiteral("Item '%1' cannot be found in the collection corresponding to the requested name or ordinal.")
        .arg(item);
}

QString Field::Name() const {
    if (!rs_->Ready() || index_ < 0 || index_ >= rs_->FieldCount()) return QString();
    return rs_->view_->store->fields[static_cast<size_t>(index_)].name;
}

const QVariant* Field::Cell() const {
    if (!rs_->Ready()) return nullptr;
    View& v = *rs_->view_;
    if (!v.Sync()) return nullptr;
    if (index_ < 0 || index_ >= rs_->FieldCount()) {
        rs_->Fail(NotFound());
        return nullptr;
    }
    const Row* row = v.Current();
    if (!row) {
        rs_->Fail(kNoCurrentRecord);
        return nullptr;
    }
    return &row->values[index_];
}

QVariant Field::Value() const {
    const QVariant* cell = Cell();
    return cell ? detail::FromCell(*cell, rs_->view_->store->fields[static_cast<size_t>(index_)].kind) : QVariant();
}

bool Field::IsNull() const {
    const QVariant* cell = Cell();
    return !cell || db::IsNull(*cell);
}

QString Field::Text() const {
    const QVariant* cell = Cell();
    if (cell && cell->metaType() == QMetaType::fromType<detail::StoredDate>())
        return detail::StoredDateDisplay(cell->value<detail::StoredDate>());
    return ValueText(cell ? detail::FromCell(*cell, rs_->view_->store->fields[static_cast<size_t>(index_)].kind)
                          : QVariant());
}

bool Field::SetValue(const QVariant& value) {
    if (!rs_->Ready()) return false;
    View& v = *rs_->view_;
    if (!v.Sync()) return rs_->Fail(kClosed);
    if (index_ < 0 || index_ >= rs_->FieldCount())
        return rs_->Fail(NotFound());
    if (v.store->lockType == adLockReadOnly) return rs_->Fail(kReadOnly);
    Row* row = v.Current();
    if (!row) return rs_->Fail(kNoCurrentRecord);
    const auto& f = v.store->fields[static_cast<size_t>(index_)];
    if (f.column.isEmpty())
        return rs_->Fail(QStringLiteral("Field '%1' is not updatable: it is not a column of a table.").arg(f.name));
    bool overflow = false;
    const auto cell = detail::ToCell(value, f.kind, &overflow);
    if (!cell && overflow)
        return rs_->Fail(QStringLiteral("Overflow: '%1' is beyond the range of field '%2'.")
                             .arg(ValueText(value), f.name));
    if (!cell)
        return rs_->Fail(QStringLiteral("Type mismatch: '%1' cannot be stored in field '%2'.")
                             .arg(ValueText(value), f.name));
    if (v.editMode == Recordset::adEditNone) {
        row->original = row->values;
        row->dirty = QBitArray(static_cast<qsizetype>(v.store->fields.size()));
        v.editMode = Recordset::adEditInProgress;
        v.editRow = v.visible[static_cast<size_t>(v.pos)];
    }
    // Every field bound to the same column shows the new value.
    for (int i = 0; i < v.store->publicCount; ++i) {
        const auto& g = v.store->fields[static_cast<size_t>(i)];
        if (i == index_ || (g.table == f.table && g.column.compare(f.column, Qt::CaseInsensitive) == 0)) {
            row->values[i] = *cell;
            row->dirty.setBit(i);
        }
    }
    return true;
}

// ---- Recordset -------------------------------------------------------------------------

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

Recordset Recordset::FromView(std::shared_ptr<detail::View> view) {
    Recordset rs;
    rs.view_ = std::move(view);
    return rs;
}

bool Recordset::Fail(const QString& text) const {
    if (view_) view_->lastError = text;
    SetLastError(text);
    return false;
}

bool Recordset::Ready() const {
    if (!view_ || !view_->store) return Fail(kClosed);
    return true;
}

bool Recordset::ReadyToMove() { return Ready() && (view_->editMode == adEditNone || Update()); }

QString Recordset::LastError() const { return view_ ? view_->lastError : QString(); }

RecordsetNotifier* Recordset::notifier() const {
    if (!view_) const_cast<Recordset*>(this)->view_ = std::make_shared<View>();
    return &view_->notifier;
}

bool Recordset::Open(const QString& sql, Connection& connection, int cursorType, int lockType) {
    return OpenWith(sql, connection, {}, cursorType, lockType);
}

// Every cursor type is a client-side one: the rows are read into memory.
bool Recordset::OpenWith(const QString& sql, Connection& connection, const QVariantList& params, int /*cursorType*/,
                         int lockType) {
    if (!view_) view_ = std::make_shared<View>();
    Close();
    if (connection.State() != adStateOpen) return Fail(kClosed);
    QString error;
    bool returnsRows = false;
    auto store = Query(connection.state(), sql, params, lockType, &error, &returnsRows);
    if (!store) return Fail(error);
    if (!returnsRows) return true;  // INSERT/DELETE: carried out, the record set stays closed
    View& v = *view_;
    v.store = std::move(store);
    v.store->views.push_back(view_);
    v.filterText.clear();
    v.filter.reset();
    v.sortText.clear();
    v.sort.reset();
    v.ShowFirstLater();
    emit v.notifier.rowsChanged();
    return true;
}

int Recordset::State() const { return view_ && view_->store ? adStateOpen : adStateClosed; }

void Recordset::Close() {
    if (!view_ || !view_->store) return;
    Detach();
    emit view_->notifier.rowsChanged();
}

void Recordset::Detach() {
    View& v = *view_;
    auto& views = v.store->views;
    views.erase(std::remove_if(views.begin(), views.end(),
                               [&](const std::weak_ptr<View>& w) {
                                   auto p = w.lock();
                                   return !p || p.get() == &v;
                               }),
                views.end());
    v.store.reset();
    v.visible.clear();
    v.editMode = adEditNone;
    v.editRow.reset();
    v.currentDeleted = false;
}

int Recordset::FieldCount() const { return State() == adStateOpen ? view_->store->publicCount : 0; }

Field Recordset::Fields(int index) { return Field(this, index); }

Field Recordset::Fields(const QString& name) {
    const int index = FieldIndex(name);
    Field field(this, index, name);
    if (index < 0 && State() == adStateOpen) Fail(field.NotFound());
    return field;
}

int Recordset::FieldIndex(const QString& rawName) const {
    if (State() != adStateOpen) return -1;
    QString name = rawName.trimmed();
    if (name.startsWith(u'[') && name.endsWith(u']')) name = name.mid(1, name.size() - 2);
    const Store& s = *view_->store;
    auto it = s.byName.constFind(name.toLower());
    if (it != s.byName.cend() && *it < s.publicCount) return *it;
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0) {
        const QString table = name.left(dot), column = name.mid(dot + 1);
        for (int i = 0; i < s.publicCount; ++i) {
            const auto& f = s.fields[static_cast<size_t>(i)];
            if (f.table.compare(table, Qt::CaseInsensitive) == 0 && f.column.compare(column, Qt::CaseInsensitive) == 0)
                return i;
        }
    }
    return -1;
}

QVariant Recordset::Value(const QString& name) const { return const_cast<Recordset*>(this)->Fields(name).Value(); }

bool Recordset::SetValue(const QString& name, const QVariant& value) { return Fields(name).SetValue(value); }

QVariant Recordset::ValueAt(int row, int field) const {
    if (State() != adStateOpen || !view_->Sync()) return QVariant();
    const View& v = *view_;
    if (row < 0 || row >= static_cast<int>(v.visible.size()) || field < 0 || field >= v.store->publicCount)
        return QVariant();
    return detail::FromCell(v.visible[static_cast<size_t>(row)]->values[field],
                            v.store->fields[static_cast<size_t>(field)].kind);
}

bool Recordset::Eof() const {
    if (State() != adStateOpen || !view_->Sync()) return true;
    return view_->pos >= static_cast<qsizetype>(view_->visible.size());
}

bool Recordset::Bof() const {
    if (State() != adStateOpen || !view_->Sync()) return true;
    return view_->pos < 0 || view_->visible.empty();
}

int Recordset::RecordCount() const {
    if (State() != adStateOpen || !view_->Sync()) return -1;
    return static_cast<int>(view_->visible.size());
}

int Recordset::AbsolutePosition() const {
    if (State() != adStateOpen || !view_->Sync()) return -1;
    if (view_->currentDeleted) return -1;
    if (Bof()) return -2;
    if (Eof()) return -3;
    return static_cast<int>(view_->pos) + 1;
}

bool Recordset::SetAbsolutePosition(int position) {
    if (!Ready()) return false;
    if (!view_->Sync()) return Fail(kClosed);
    if (position < 1 || position > static_cast<int>(view_->visible.size()))
        return Fail(QStringLiteral("Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another."));
    if (view_->editMode != adEditNone && !Update()) return false;
    view_->pos = position - 1;
    view_->currentDeleted = false;
    emit view_->notifier.moved();
    return true;
}

bool Recordset::MoveFirst() { return MoveToEnd(false); }
bool Recordset::MoveLast() { return MoveToEnd(true); }

bool Recordset::MoveToEnd(bool last) {
    if (!ReadyToMove()) return false;
    View& v = *view_;
    if (!v.Sync()) return Fail(kClosed);
    v.currentDeleted = false;
    v.pos = 0;
    if (v.visible.empty()) return Fail(kNoCurrentRecord);
    if (last) v.pos = static_cast<qsizetype>(v.visible.size()) - 1;
    emit v.notifier.moved();
    return true;
}

bool Recordset::MoveNext() {
    if (!ReadyToMove()) return false;
    View& v = *view_;
    if (!v.Sync()) return Fail(kClosed);
    if (v.currentDeleted) {
        // The row after a deleted one already sits at its place.
        v.currentDeleted = false;
    } else {
        if (v.pos >= static_cast<qsizetype>(v.visible.size())) return Fail(kNoCurrentRecord);
        ++v.pos;
    }
    emit v.notifier.moved();
    return true;
}

bool Recordset::MovePrevious() {
    if (!ReadyToMove()) return false;
    View& v = *view_;
    if (!v.Sync()) return Fail(kClosed);
    v.currentDeleted = false;
    if (v.pos < 0) return Fail(kNoCurrentRecord);
    --v.pos;
    emit v.notifier.moved();
    return true;
}

QString Recordset::Filter() const { return view_ ? view_->filterText : QString(); }

bool Recordset::SetFilter(const QString& condition) {
    if (!ReadyToMove()) return false;
    View& v = *view_;
    if (condition.trimmed().isEmpty()) {
        v.filter.reset();
        v.filterText.clear();
    } else {
        QString error;
        auto f = db::Filter::Parse(condition, v.Lookup(), &error);
        if (!f) return Fail(error);
        v.filter = std::move(f);
        v.filterText = condition;
    }
    v.ShowFirstLater();
    // Rows other views show may be read again now; once read, a record set is never read
    // first by a grid's painting.
    const std::shared_ptr<Store> reading = v.store;
    const bool read = reading->read == Store::Read::None || ReadNeededRows(*reading, &v);
    emit v.notifier.rowsChanged();
    return read || Fail(v.lastError);
}

QString Recordset::Sort() const { return view_ ? view_->sortText : QString(); }

bool Recordset::SetSort(const QString& order) {
    if (!ReadyToMove()) return false;
    View& v = *view_;
    if (order.trimmed().isEmpty()) {
        v.sort.reset();
        v.sortText.clear();
    } else {
        QString error;
        auto s = SortOrder::Parse(order, v.Lookup(), &error);
        if (!s) return Fail(error);
        v.sort = std::move(s);
        v.sortText = order;
    }
    v.ShowFirstLater();
    emit v.notifier.rowsChanged();
    return true;
}

int Recordset::EditMode() const { return view_ ? view_->editMode : adEditNone; }

bool Recordset::Requery() {
    if (!ReadyToMove()) return false;
    View& v = *view_;
    const Store& old = *v.store;
    if (!old.conn->handle) return Fail(kConnectionClosed);
    QString error;
    bool returnsRows = false;
    auto store = Query(old.conn, old.sql, old.params, old.lockType, &error, &returnsRows);
    if (!store) return Fail(error);
    const QString filterText = v.filterText, sortText = v.sortText;
    Detach();
    v.store = std::move(store);
    v.store->views.push_back(view_);
    // The fields are the same, so the filter and sort still apply.
    QString ignored;
    v.filter = filterText.isEmpty() ? std::nullopt : db::Filter::Parse(filterText, v.Lookup(), &ignored);
    v.filterText = v.filter ? filterText : QString();
    v.sort = sortText.isEmpty() ? std::nullopt : SortOrder::Parse(sortText, v.Lookup(), &ignored);
    v.sortText = v.sort ? sortText : QString();
    v.ShowFirstLater();
    emit v.notifier.rowsChanged();
    return true;
}

bool Recordset::Resync(const QString& keyField, const QSet<qint64>& keys) {
    if (!Ready()) return false;
    const int key = FieldIndex(keyField);
    if (key < 0) return Fail(Field(this, key, keyField).NotFound());
    QString error;
    return ResyncRows(*view_->store, key, keys, &error) || Fail(error);
}

Recordset Recordset::Clone() const {
    Recordset copy;
    copy.view_ = std::make_shared<View>();
    if (State() != adStateOpen) return copy;
    View& c = *copy.view_;
    c.store = view_->store;
    c.store->views.push_back(copy.view_);
    c.ShowFirstLater();
    return copy;
}

Recordset Recordset::CloneShown() const {
    Recordset copy = Clone();
    if (State() != adStateOpen || !view_->Sync()) return copy;
    const View& v = *view_;
    View& c = *copy.view_;
    c.filter = v.filter;
    c.filterText = v.filterText;
    c.sort = v.sort;
    c.sortText = v.sortText;
    c.visible = v.visible;
    c.seenVersion = v.seenVersion;
    c.seenReads = v.seenReads;
    c.refill = false;
    c.fresh = false;
    c.pos = 0;
    return copy;
}

QString Recordset::GetString(const QString& columnDelimiter, const QString& rowDelimiter, const QString& nullExpr) {
    if (!ReadyToMove()) return QString();
    View& v = *view_;
    if (!v.Sync()) return QString();
    if (v.currentDeleted) {
        v.currentDeleted = false;
    }
    QString out;
    const Store& s = *v.store;
    for (; v.pos >= 0 && v.pos < static_cast<qsizetype>(v.visible.size()); ++v.pos) {
        const Row& r = *v.visible[static_cast<size_t>(v.pos)];
        for (int i = 0; i < s.publicCount; ++i) {
            if (i) out += columnDelimiter;
            const QVariant value = detail::FromCell(r.values[i], s.fields[static_cast<size_t>(i)].kind);
            out += IsNull(value) ? nullExpr : ValueText(value);
        }
        out += rowDelimiter;
    }
    emit v.notifier.moved();
    return out;
}

}  // namespace db
