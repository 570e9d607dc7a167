// Reading a record set's rows: learning the statement's fields, and reading the rows its
// views need, with a condition the engine tests where it can.
#include <QRegularExpression>

#include <algorithm>

#include "jetsql.h"
#include "recordsetstore.h"

namespace db::detail {
namespace {

// A plain SELECT with the rowid selected first; empty for any other statement.
QString WithRowid(const QString& sql) {
    static const QRegularExpression notPlain(QStringLiteral(R"(\b(group\s+by|distinct|union|having)\b)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression select(QStringLiteral(R"(^\s*select\s)"), QRegularExpression::CaseInsensitiveOption);
    const auto m = select.match(sql);
    if (!m.hasMatch() || notPlain.match(sql).hasMatch()) return QString();
    return QStringLiteral("SELECT rowid AS __rowid__, ") + sql.mid(m.capturedEnd());
}

// The clause the statement's top-level ORDER BY or GROUP BY begins with, or -1.
qsizetype TopLevelClause(const QString& sql, const QRegularExpression& clause) {
    int depth = 0;
    QChar quote;
    qsizetype found = -1;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'[') {
            quote = u']';
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            --depth;
        } else if (depth == 0 && (i == 0 || !sql[i - 1].isLetterOrNumber())) {
            const auto m =
                clause.match(sql, i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) found = i + m.capturedLength();
        }
    }
    return found;
}

// How rows read with a condition keep the order the whole statement gives: its own ORDER BY
// (by the result's names) with ties in the key order of the first term's table, as an index
// or a scan of that table gives them; a one-table statement without order that the engine
// reads in key order, by that key; a grouped one as it stands. nullopt for any other.
std::optional<QString> ReadOrder(const Store& store) {
    const QString& sql = store.readSql;
    QSet<QString> tables;
    for (int i = 0; i < store.publicCount; ++i)
        if (!store.fields[static_cast<size_t>(i)].table.isEmpty()) tables.insert(store.fields[static_cast<size_t>(i)].table);
    static const QRegularExpression compound(QStringLiteral(R"(\b(union|intersect|except|distinct)\b)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression orderBy(QStringLiteral(R"(order\s+by\b)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression groupBy(QStringLiteral(R"(group\s+by\b)"), QRegularExpression::CaseInsensitiveOption);
    if (compound.match(sql).hasMatch()) return std::nullopt;
    auto keyName = [&store](const QString& table) -> QString {
        const auto key = store.keyField.constFind(table.toLower());
        if (key == store.keyField.cend()) return QString();
        return *key == store.rowidField ? QStringLiteral("__rowid__") : store.sqlFields[static_cast<size_t>(*key)].name;
    };
    const qsizetype order = TopLevelClause(sql, orderBy);
    if (order >= 0) {
        static const QRegularExpression term(
            QStringLiteral(R"(^\s*(?:([\w]+|\[[^\]]+\]|"[^"]+")\.)?([\w]+|\[[^\]]+\]|"[^"]+"|'[^']+')\s*(asc|desc)?\s*$)"),
            QRegularExpression::CaseInsensitiveOption);
        auto bare = [](QString n) { return n.size() > 1 && !n[0].isLetterOrNumber() ? n.mid(1, n.size() - 2) : n; };
        QStringList terms;
        QString tieTable, tieDirection;
        QString tail = sql.mid(order).trimmed();
        while (tail.endsWith(u';')) tail.chop(1);
        for (const QString& part : tail.split(u',')) {
            const auto m = term.match(part);
            if (!m.hasMatch()) return std::nullopt;  // an expression, a LIMIT, a number
            const QString table = bare(m.captured(1)), name = bare(m.captured(2));
            // A bare name is a result name first, as the engine reads it, then a column.
            int field = -1;
            for (const bool byName : {true, false})
                for (int i = 0; i < store.publicCount && field < 0; ++i) {
                    const auto& f = store.fields[static_cast<size_t>(i)];
                    if (byName ? table.isEmpty() && f.name.compare(name, Qt::CaseInsensitive) == 0
                               : f.column.compare(name, Qt::CaseInsensitive) == 0 &&
                                     (table.isEmpty() || f.table.compare(table, Qt::CaseInsensitive) == 0))
                        field = i;
                }
            if (field < 0 || store.sqlFields[static_cast<size_t>(field)].name.isEmpty()) return std::nullopt;
            terms << store.sqlFields[static_cast<size_t>(field)].name + u' ' + m.captured(3);
            if (tieTable.isNull()) {
                tieTable = store.fields[static_cast<size_t>(field)].table;
                tieDirection = m.captured(3);
            }
        }
        const QString tie = keyName(tieTable);
        if (!tie.isEmpty()) terms << tie + u' ' + tieDirection;
        return QStringLiteral("ORDER BY ") + terms.join(u", ");
    }
    if (TopLevelClause(sql, groupBy) >= 0) return QString();
    if (tables.size() != 1) return std::nullopt;
    const QString key = keyName(*tables.begin());
    if (key.isEmpty()) return std::nullopt;
    // Read in key order when the engine scans the table itself or finds one row by its key.
    Statement plan;
    if (plan.Prepare(store.conn->handle, QStringLiteral("EXPLAIN QUERY PLAN ") + sql) != SQLITE_OK) return std::nullopt;
    static const QRegularExpression keyOrder(
        QStringLiteral(R"(^(SCAN (TABLE )?\S+|SEARCH (TABLE )?\S+ USING INTEGER PRIMARY KEY \(rowid=\?\))$)"));
    int steps = 0;
    while (Step(plan.get()) == SQLITE_ROW) {
        const QString detail = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(plan.get(), 3)));
        if (++steps > 1 || !keyOrder.match(detail).hasMatch()) return std::nullopt;
    }
    if (steps != 1) return std::nullopt;
    return QStringLiteral("ORDER BY ") + key;
}

// Prepares a statement and learns its fields; one that returns no rows is carried out.
// Returns false with `error` set.
bool Describe(Store& store, const QString& translated, QString* error, bool* returnsRows) {
    sqlite3* db = store.conn->handle;
    Statement stmt;
    if (!PrepareOne(stmt, db, translated, error)) return false;
    for (int i = 0; i < store.params.size(); ++i) Bind(stmt.get(), i + 1, store.params[i]);
    int columns = sqlite3_column_count(stmt.get());
    *returnsRows = columns > 0;
    if (!*returnsRows) {
        const int rc = Step(stmt.get());
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            *error = EngineError(db);
            return false;
        }
        return true;
    }

    auto describe = [&](sqlite3_stmt* s, int offset) {
        store.fields.clear();
        const int n = sqlite3_column_count(s);
        for (int c = offset; c < n; ++c) {
            FieldInfo f;
            f.name = QString::fromUtf8(sqlite3_column_name(s, c));
            const char* table = sqlite3_column_table_name(s, c);
            const char* origin = sqlite3_column_origin_name(s, c);
            if (table && origin) {
                if (const auto* t = store.conn->table(QString::fromUtf8(table))) {
                    f.table = t->name;
                    const auto col = t->columns.constFind(QString::fromUtf8(origin).toLower());
                    if (col != t->columns.cend()) {
                        f.column = col->name;
                        f.kind = col->kind;
                    }
                }
                // SQLite tells two same-named columns apart as "Description:1"; the result
                // of a plain column reference is named after the column, as it should be.
                static const QRegularExpression suffix(QStringLiteral(R"(^(.*):\d+$)"));
                const auto m = suffix.match(f.name);
                if (m.hasMatch() && m.captured(1).compare(f.column, Qt::CaseInsensitive) == 0) f.name = f.column;
            }
            if (f.kind == Kind::Unknown) {
                const char* decl = sqlite3_column_decltype(s, c);
                if (decl) f.kind = KindFromDeclaredType(QString::fromUtf8(decl));
            }
            store.fields.push_back(f);
        }
        store.publicCount = static_cast<int>(store.fields.size());
    };
    describe(stmt.get(), 0);

    // Rows of a table whose key is not selected are found again by their rowid.
    QSet<QString> tables;
    bool keySelected = false;
    for (const auto& f : store.fields) {
        if (f.table.isEmpty()) continue;
        tables.insert(f.table);
        const auto* t = store.conn->table(f.table);
        if (t && !t->keyColumn.isEmpty() && f.column.compare(t->keyColumn, Qt::CaseInsensitive) == 0) keySelected = true;
    }
    int offset = 0;
    store.readSql = translated;
    const QString withRowid =
        tables.size() == 1 && !keySelected && store.lockType != adLockReadOnly ? WithRowid(translated) : QString();
    if (!withRowid.isEmpty()) {
        Statement again;
        if (again.Prepare(db, withRowid) == SQLITE_OK && sqlite3_column_count(again.get()) == columns + 1) {
            for (int i = 0; i < store.params.size(); ++i) Bind(again.get(), i + 1, store.params[i]);
            stmt.Swap(again);
            store.readSql = withRowid;
            offset = 1;
        }
    }
    // Kept for reading every row, the first read's usual case.
    store.prepared.Swap(stmt);
    if (offset == 1) {
        store.rowidTable = *tables.begin();
        FieldInfo hidden;
        hidden.name = QStringLiteral("__rowid__");
        hidden.kind = Kind::Integer;
        store.fields.push_back(hidden);
        store.rowidField = store.publicCount;
    }

    store.byName.clear();
    for (int i = static_cast<int>(store.fields.size()) - 1; i >= 0; --i)
        store.byName.insert(store.fields[static_cast<size_t>(i)].name.toLower(), i);
    store.keyField.clear();
    for (int i = 0; i < store.publicCount; ++i) {
        const auto& f = store.fields[static_cast<size_t>(i)];
        if (f.table.isEmpty()) continue;
        const auto* t = store.conn->table(f.table);
        if (t && !t->keyColumn.isEmpty() && f.column.compare(t->keyColumn, Qt::CaseInsensitive) == 0 &&
            !store.keyField.contains(f.table.toLower()))
            store.keyField.insert(f.table.toLower(), i);
    }
    if (store.rowidField >= 0 && !store.keyField.contains(store.rowidTable.toLower()))
        store.keyField.insert(store.rowidTable.toLower(), store.rowidField);


    return true;
}

// The rows a prepared statement of the store's gives, its fields in the store's order.
bool StepRows(const Store& store, Statement& stmt, std::vector<std::shared_ptr<Row>>& rows, QString* error) {
    const int offset = store.rowidField >= 0 ? 1 : 0;
    const int total = static_cast<int>(store.fields.size());
    int rc;
    while ((rc = Step(stmt.get())) == SQLITE_ROW) {
        auto row = std::make_shared<Row>();
        row->values.resize(total);
        for (int i = 0; i < store.publicCount; ++i)
            row->values[i] = ReadColumn(stmt.get(), i + offset, store.fields[static_cast<size_t>(i)].kind);
        if (offset == 1) row->values[store.rowidField] = ReadColumn(stmt.get(), 0, Kind::Integer);
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        *error = EngineError(store.conn->handle);
        return false;
    }
    return true;
}

// Reads the statement's rows meeting `condition` (all of them when it is empty) in place of
// those held. Returns false with `error` set.
bool ReadRows(Store& store, const QString& condition, QString* error) {
    sqlite3* db = store.conn->handle;
    if (!db) {
        *error = kConnectionClosed;
        return false;
    }
    QString sql = store.readSql;
    if (!condition.isEmpty()) {
        while (sql.endsWith(u';') || (!sql.isEmpty() && sql.back().isSpace())) sql.chop(1);
        // On new lines, so that a comment ending the statement ends there.
        sql = QStringLiteral("SELECT * FROM (\n%1\n) WHERE %2 %3").arg(sql, condition, *store.readOrder);
    }
    Statement stmt;
    if (condition.isEmpty() && store.prepared.get()) {
        stmt.Swap(store.prepared);
    } else {
        if (!PrepareOne(stmt, db, sql, error)) return false;
        for (int i = 0; i < store.params.size(); ++i) Bind(stmt.get(), i + 1, store.params[i]);
    }
    std::vector<std::shared_ptr<Row>> rows;
    if (!StepRows(store, stmt, rows, error)) return false;
    store.rows = std::move(rows);
    return true;
}

// One condition meeting every view's: the groups of all of them joined by OR, with the terms
// every group has taken out in front, so that the engine can use an index for them.
QString CombinedCondition(const std::vector<Filter::SqlGroups>& needs) {
    std::vector<std::vector<QString>> groups;
    for (const auto& need : needs)
        for (const auto& g : need)
            if (std::find(groups.begin(), groups.end(), g) == groups.end()) groups.push_back(g);
    std::vector<QString> common;
    for (const QString& term : groups.front())
        if (std::all_of(groups.begin(), groups.end(),
                        [&](const auto& g) { return std::find(g.begin(), g.end(), term) != g.end(); }))
            common.push_back(term);
    QStringList alternatives;
    for (const auto& g : groups) {
        QStringList rest;
        for (const QString& term : g)
            if (std::find(common.begin(), common.end(), term) == common.end()) rest << term;
        if (rest.isEmpty()) {
            alternatives.clear();  // one group needs nothing more than the common terms
            break;
        }
        alternatives << QStringLiteral("(%1)").arg(rest.join(u" AND "));
    }
    QStringList all(common.begin(), common.end());
    if (!alternatives.isEmpty()) all << QStringLiteral("(%1)").arg(alternatives.join(u" OR "));
    return all.join(u" AND ");
}

}  // namespace

std::shared_ptr<Store> Query(const std::shared_ptr<ConnectionState>& conn, const QString& sql,
                             const QVariantList& params, int lockType, QString* error, bool* returnsRows) {
    auto store = std::make_shared<Store>();
    store->conn = conn;
    store->sql = sql;
    store->params = params;
    store->lockType = lockType;
    const JetTranslation t = TranslateJetSql(sql, conn->columnNames, conn->outerJoins);
    *error = t.error;
    if (!t.error.isEmpty() || !Describe(*store, t.sql, error, returnsRows)) return nullptr;
    if (*returnsRows) {
        auto& unread = conn->unread;
        unread.erase(std::remove_if(unread.begin(), unread.end(), [](const auto& w) { return w.expired(); }),
                     unread.end());
        unread.push_back(store);
    }
    return store;
}

// Works out, once, how the engine names each field and how rows read with a condition keep
// the statement's order; done when a filter first asks, since most record sets never need it.
static void LearnConditions(Store& store) {
    if (store.conditionsKnown) return;
    store.conditionsKnown = true;
    // A field the engine can name in a condition on the statement's result. Brackets, so
    // that a name it does not know is an error rather than a text.
    store.sqlFields.assign(static_cast<size_t>(store.publicCount), {});
    for (int i = 0; i < store.publicCount; ++i) {
        const auto& f = store.fields[static_cast<size_t>(i)];
        const bool unique = std::count_if(store.fields.begin(), store.fields.end(), [&](const FieldInfo& g) {
                                return g.name.compare(f.name, Qt::CaseInsensitive) == 0;
                            }) == 1;
        if (!unique || f.name.contains(u']')) continue;
        const auto* t = f.table.isEmpty() ? nullptr : store.conn->table(f.table);
        store.sqlFields[static_cast<size_t>(i)] = {
            u'[' + f.name + u']',
            t && !t->keyColumn.isEmpty() && f.column.compare(t->keyColumn, Qt::CaseInsensitive) == 0};
    }
    store.readOrder = ReadOrder(store);
}

bool ReadNeededRows(Store& s, const View* actor) {
    if (s.read == Store::Read::All || !s.needsChanged) return true;
    s.needsChanged = false;
    std::vector<std::shared_ptr<View>> views;
    for (const auto& w : s.views)
        if (auto v = w.lock()) views.push_back(std::move(v));
    std::vector<Filter::SqlGroups> needs;
    bool all = false;
    for (const auto& v : views) {
        if (v->fresh && !v->filter) continue;
        if (v->filter) LearnConditions(s);
        auto need = v->filter ? v->filter->SqlSuperset([&s](int i) { return s.sqlFields[static_cast<size_t>(i)]; })
                              : std::nullopt;
        if (!need) {
            all = true;
            break;
        }
        needs.push_back(std::move(*need));
    }
    if (!all && needs.empty()) return true;
    all = all || !s.readOrder;
    QString condition = all ? QString() : CombinedCondition(needs);
    if (s.read == Store::Read::Some && condition == s.readCondition) return true;
    QString error;
    bool read = ReadRows(s, condition, &error);
    if (!read && !condition.isEmpty() && s.conn->handle) {
        condition.clear();
        read = ReadRows(s, condition, &error);
    }
    if (!read) {
        for (const auto& v : views) v->lastError = error;
        SetLastError(error);
        if (s.read != Store::Read::None) return false;
        condition = QStringLiteral("0");  // nothing held: read again when the needs change
    }
    s.read = condition.isEmpty() ? Store::Read::All : Store::Read::Some;
    s.readCondition = condition;
    ++s.reads;
    for (const auto& v : views) {
        if (!v->editRow) continue;
        auto same = std::find_if(s.rows.begin(), s.rows.end(), [&](const auto& r) {
            return v->editMode == Recordset::adEditInProgress && SameRow(s, *r, *v->editRow, true);
        });
        if (same != s.rows.end()) *same = v->editRow;
        else s.rows.push_back(v->editRow);
    }
    ++s.version;
    for (const auto& v : views)
        if (v.get() != actor) emit v->notifier.rowsChanged();
    return read;
}



bool ResyncRows(Store& s, int keyField, const QSet<qint64>& keys, QString* error) {
    if (!s.conn->handle) {
        *error = kConnectionClosed;
        return false;
    }
    for (const auto& w : s.views)
        if (auto v = w.lock(); v && v->editRow) {
            *error = QStringLiteral("A row is being edited.");
            return false;
        }
    // Rows not read yet are read as they are when first needed.
    if (s.read == Store::Read::None || keys.isEmpty()) return true;
    LearnConditions(s);
    const QString& name = s.sqlFields[static_cast<size_t>(keyField)].name;
    if (name.isEmpty() || !s.sqlFields[static_cast<size_t>(keyField)].wholeNumbers) {
        *error = QStringLiteral("The engine cannot find rows by field '%1'.").arg(s.fields[static_cast<size_t>(keyField)].name);
        return false;
    }
    QStringList list;
    for (const qint64 k : keys) list << QString::number(k);
    QString sql = s.readSql;
    while (sql.endsWith(u';') || (!sql.isEmpty() && sql.back().isSpace())) sql.chop(1);
    // Only rows that the rows held were read for belong among them.
    sql = QStringLiteral("SELECT * FROM (\n%1\n) WHERE %2 IN (%3)").arg(sql, name, list.join(u','));
    if (s.read == Store::Read::Some) sql += QStringLiteral(" AND (%1)").arg(s.readCondition);
    Statement stmt;
    if (!PrepareOne(stmt, s.conn->handle, sql, error)) return false;
    for (int i = 0; i < s.params.size(); ++i) Bind(stmt.get(), i + 1, s.params[i]);
    std::vector<std::shared_ptr<Row>> fresh;
    if (!StepRows(s, stmt, fresh, error)) return false;

    QHash<qint64, std::shared_ptr<Row>> found;
    for (const auto& r : fresh) found.insert(r->values[keyField].toLongLong(), r);
    std::vector<std::shared_ptr<Row>> rows;
    rows.reserve(s.rows.size() + fresh.size());
    for (auto& r : s.rows) {
        const qint64 key = r->values[keyField].toLongLong();
        if (!keys.contains(key)) {
            rows.push_back(std::move(r));
        } else if (const std::shared_ptr<Row> again = found.take(key)) {
            // The same object, so that the views stay on it.
            r->values = again->values;
            rows.push_back(std::move(r));
        } else {
            r->deleted = true;
        }
    }
    // The rows new to the set, in the order read.
    for (auto& r : fresh)
        if (found.contains(r->values[keyField].toLongLong())) rows.push_back(std::move(r));
    s.rows = std::move(rows);
    ++s.version;
    // Told from a list of their own: a view told may open others on the rows.
    std::vector<std::shared_ptr<View>> told;
    for (const auto& w : s.views)
        if (auto v = w.lock()) told.push_back(std::move(v));
    for (const auto& v : told) emit v->notifier.rowsChanged();
    return true;
}

bool View::Sync() {
    if (!store) return false;
    if (fresh) {
        fresh = false;
        store->needsChanged = true;  // it asks for rows now
    }
    const std::shared_ptr<Store> reading = store;
    ReadNeededRows(*reading, this);
    if (store != reading) return false;
    if (refill) ShowFirst();
    else if (seenVersion != store->version) Rebuild();
    return true;
}

void ReadBeforeClose(ConnectionState& conn) {
    for (const auto& w : conn.unread)
        if (auto s = w.lock(); s && s->read == Store::Read::None) {
            for (const auto& view : s->views)
                if (auto v = view.lock()) v->fresh = false;  // each may still ask, with no file to read
            s->needsChanged = true;
            ReadNeededRows(*s, nullptr);
        }
    conn.unread.clear();
}

}  // namespace db::detail
