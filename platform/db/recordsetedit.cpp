// Writing a record set's rows: adding, updating and deleting them in the tables they came
// from, each found again by its key.
#include "recordsetstore.h"

namespace db {

using namespace detail;

namespace {

// WHERE text and values that find a row of `table` again, by the row's `cells`.
bool RowLocator(const Store& store, const QString& table, const Cells& cells, QString* where, QVariantList* values) {
    const auto key = store.keyField.constFind(table.toLower());
    if (key != store.keyField.cend()) {
        const auto& f = store.fields[static_cast<size_t>(*key)];
        *where = (*key == store.rowidField ? QStringLiteral("rowid") : Quoted(f.column)) + QStringLiteral(" = ?");
        values->append(cells[*key]);
        return !IsNull(cells[*key]);
    }
    // No key in the result: the first row whose selected columns all hold these values.
    QStringList parts;
    for (int i = 0; i < store.publicCount; ++i) {
        const auto& f = store.fields[static_cast<size_t>(i)];
        if (f.table.compare(table, Qt::CaseInsensitive) != 0 || f.column.isEmpty()) continue;
        parts << Quoted(f.column) + QStringLiteral(" IS ?");
        values->append(cells[i]);
    }
    if (parts.isEmpty()) return false;
    *where = QStringLiteral("rowid = (SELECT rowid FROM %1 WHERE %2 LIMIT 1)").arg(Quoted(table), parts.join(u" AND "));
    return true;
}

// The condition that a column still holds a value read from it. A date or Yes/No is
// compared as it was read: the file may hold it in another form ("2026-04-02 09:00", -1).
QString StillHolds(const QString& column, const QVariant& cell) {
    if (cell.metaType() == QMetaType::fromType<detail::StoredDate>())
        return QStringLiteral("datetime(%1) IS ?").arg(Quoted(column));
    if (cell.metaType().id() == QMetaType::Bool)
        return QStringLiteral("(%1 <> 0) IS ?").arg(Quoted(column));
    return Quoted(column) + QStringLiteral(" IS ?");
}

// The table a row is added to or deleted from when the fields come from several.
QString UniqueTable(const Store& store) {
    for (int i = 0; i < store.publicCount; ++i) {
        const auto& f = store.fields[static_cast<size_t>(i)];
        if (!f.table.isEmpty() && store.keyField.contains(f.table.toLower())) return f.table;
    }
    for (int i = 0; i < store.publicCount; ++i)
        if (!store.fields[static_cast<size_t>(i)].table.isEmpty()) return store.fields[static_cast<size_t>(i)].table;
    return QString();
}

}  // namespace

bool Recordset::AddNew() {
    if (!Ready()) return false;
    if (view_->store->lockType == adLockReadOnly) return Fail(kReadOnly);
    if (view_->editMode != adEditNone && !Update()) return false;
    View& v = *view_;
    if (!v.Sync()) return Fail(kClosed);
    auto row = std::make_shared<Row>();
    row->values.resize(static_cast<qsizetype>(v.store->fields.size()));
    row->original = row->values;
    row->dirty = QBitArray(static_cast<qsizetype>(v.store->fields.size()));
    v.addReturnPos = v.pos;
    v.store->rows.push_back(row);
    v.visible.push_back(row);
    v.pos = static_cast<qsizetype>(v.visible.size()) - 1;
    v.currentDeleted = false;
    v.editMode = adEditAdd;
    v.editRow = row;
    v.Touched(true);
    emit v.notifier.rowsChanged();
    return true;
}

bool Recordset::Update() {
    if (!Ready()) return false;
    View& v = *view_;
    if (v.editMode == adEditNone) return true;
    Store& s = *v.store;
    if (!s.conn->handle) return Fail(kConnectionClosed);
    Row& row = *v.editRow;
    sqlite3* db = s.conn->handle;

    // Tables touched, in the order their first field appears.
    QStringList tables;
    for (int i = 0; i < s.publicCount; ++i) {
        const auto& f = s.fields[static_cast<size_t>(i)];
        if (row.dirty.testBit(i) && !f.column.isEmpty() && !tables.contains(f.table, Qt::CaseInsensitive))
            tables << f.table;
    }
    const bool adding = v.editMode == adEditAdd;
    if (adding && tables.isEmpty()) {
        const QString unique = UniqueTable(s);
        if (unique.isEmpty()) return Fail(kReadOnly);
        tables << unique;
    }
    QString error;
    for (const QString& table : tables) {
        QStringList columns, unchanged;
        QVariantList values, originals;
        for (int i = 0; i < s.publicCount; ++i) {
            const auto& f = s.fields[static_cast<size_t>(i)];
            if (!row.dirty.testBit(i) || f.table != table || f.column.isEmpty()) continue;
            if (columns.contains(Quoted(f.column), Qt::CaseInsensitive)) continue;
            columns << Quoted(f.column);
            values << row.values[i];
            unchanged << StillHolds(f.column, row.original[i]);
            originals << row.original[i];
        }
        if (adding) {
            QString sql = columns.isEmpty()
                              ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(Quoted(table))
                              : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(Quoted(table), columns.join(u", "),
                                         QStringList(columns.size(), QStringLiteral("?")).join(u", "));
            if (!detail::Exec(db, sql, values, &error)) return Fail(error);
            const qint64 rowid = sqlite3_last_insert_rowid(db);
            // Read back what the database filled in: the new key and the defaults.
            QStringList readCols;
            QList<int> readFields;
            for (int i = 0; i < s.publicCount; ++i) {
                const auto& f = s.fields[static_cast<size_t>(i)];
                if (f.table != table || f.column.isEmpty()) continue;
                readCols << Quoted(f.column);
                readFields << i;
            }
            if (!readCols.isEmpty()) {
                detail::Statement stmt;
                if (stmt.Prepare(db, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                         .arg(readCols.join(u", "), Quoted(table))) == SQLITE_OK) {
                    sqlite3_bind_int64(stmt.get(), 1, rowid);
                    if (detail::Step(stmt.get()) == SQLITE_ROW) {
                        for (int k = 0; k < readFields.size(); ++k)
                            row.values[readFields[k]] =
                                detail::ReadColumn(stmt.get(), k, s.fields[static_cast<size_t>(readFields[k])].kind);
                    }
                }
            }
            if (s.rowidField >= 0 && table.compare(s.rowidTable, Qt::CaseInsensitive) == 0)
                row.values[s.rowidField] = static_cast<qlonglong>(rowid);
        } else {
            QString where;
            QVariantList whereValues;
            if (!RowLocator(s, table, row.original, &where, &whereValues))
                return Fail(QStringLiteral("The row cannot be found again in table %1 to be updated.").arg(table));
            // Optimistic locking: a field another program saved since it was read is not
            // overwritten; edits to other fields of the row still go through.
            if (s.lockType == adLockOptimistic || s.lockType == adLockBatchOptimistic) {
                where += QStringLiteral(" AND ") + unchanged.join(u" AND ");
                whereValues += originals;
            }
            QStringList sets;
            for (const QString& c : columns) sets << c + QStringLiteral(" = ?");
            int changes = 0;
            if (!detail::Exec(db, QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(Quoted(table), sets.join(u", "), where),
                      values + whereValues, &error, &changes))
                return Fail(error);
            if (changes == 0)
                return Fail(kRowMissing);
        }
    }
    row.original.clear();
    row.dirty.clear();
    v.editMode = adEditNone;
    v.editRow.reset();
    v.Touched(false);
    emit v.notifier.valuesChanged();
    return true;
}

bool Recordset::CancelUpdate() {
    if (!Ready()) return false;
    View& v = *view_;
    if (v.editMode == adEditNone) return true;
    auto row = v.editRow;
    if (v.editMode == adEditAdd) {
        auto& rows = v.store->rows;
        rows.erase(std::remove(rows.begin(), rows.end(), row), rows.end());
        v.visible.erase(std::remove(v.visible.begin(), v.visible.end(), row), v.visible.end());
        v.pos = std::clamp<qsizetype>(v.addReturnPos, 0, static_cast<qsizetype>(v.visible.size()));
        v.editMode = adEditNone;
        v.editRow.reset();
        v.Touched(true);
        emit v.notifier.rowsChanged();
        return true;
    }
    row->values = row->original;
    row->original.clear();
    row->dirty.clear();
    v.editMode = adEditNone;
    v.editRow.reset();
    emit v.notifier.valuesChanged();
    return true;
}

Recordset::PendingEdit Recordset::SavePendingEdit() const {
    PendingEdit edit;
    if (!view_ || !view_->editRow) return edit;
    edit.editMode = view_->editMode;
    edit.row = view_->editRow;
    edit.values = edit.row->values;
    edit.dirty = edit.row->dirty;
    return edit;
}

bool Recordset::RestorePendingEdit(const PendingEdit& edit) {
    if (!Ready()) return false;
    View& v = *view_;
    if (edit.editMode == adEditNone) return CancelUpdate();
    if (v.editMode != edit.editMode || v.editRow != edit.row) return false;
    Row& row = *v.editRow;
    if (row.values == edit.values && row.dirty == edit.dirty) return true;
    row.values = edit.values;
    row.dirty = edit.dirty;
    emit v.notifier.valuesChanged();
    return true;
}

bool Recordset::Delete() {
    if (!Ready()) return false;
    View& v = *view_;
    if (v.store->lockType == adLockReadOnly) return Fail(kReadOnly);
    if (v.editMode == adEditAdd) return CancelUpdate();
    if (!v.Sync()) return Fail(kClosed);
    Row* current = v.Current();
    if (!current) return Fail(kNoCurrentRecord);
    if (v.editMode == adEditInProgress) CancelUpdate();
    Store& s = *v.store;
    if (!s.conn->handle) return Fail(kConnectionClosed);
    const QString table = UniqueTable(s);
    if (table.isEmpty()) return Fail(kReadOnly);
    QString where, error;
    QVariantList values;
    if (!RowLocator(s, table, current->values, &where, &values))
        return Fail(QStringLiteral("The row cannot be found again in table %1 to be deleted.").arg(table));
    int changes = 0;
    if (!detail::Exec(s.conn->handle, QStringLiteral("DELETE FROM %1 WHERE %2").arg(Quoted(table), where), values, &error,
              &changes))
        return Fail(error);
    if (changes == 0)
        return Fail(kRowMissing);
    current->deleted = true;
    v.visible.erase(v.visible.begin() + v.pos);
    v.currentDeleted = true;
    v.Touched(true);
    emit v.notifier.rowsChanged();
    return true;
}

}  // namespace db
