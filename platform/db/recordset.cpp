#include "recordset.h"

#include <QBitArray>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

#include "filter.h"
#include "internal.h"
#include "jetsql.h"

namespace db {
namespace detail {

struct FieldInfo {
    QString name;
    QString table;   // origin table as the database names it; empty for an expression
    QString column;  // origin column
    Kind kind = Kind::Unknown;
};

struct Row {
    Cells values;
    Cells original;   // values before the edit in progress
    QBitArray dirty;  // fields assigned since the edit began
    bool deleted = false;
};

struct View;

struct Store {
    std::shared_ptr<ConnectionState> conn;
    QString sql;
    QVariantList params;
    int lockType = adLockUnspecified;
    std::vector<FieldInfo> fields;  // the public ones, then the hidden rowid when there is one
    int publicCount = 0;
    int rowidField = -1;
    QString rowidTable;
    QHash<QString, int> byName;    // lower-case name -> first field of that name
    QHash<QString, int> keyField;  // lower-case table -> field holding its key or rowid
    std::vector<std::shared_ptr<Row>> rows;
    quint64 version = 0;
    std::vector<std::weak_ptr<View>> views;

    // The rows are read when a view first needs them, and only those its filter can match
    // when the engine can tell which.
    QString readSql;  // the statement as it is run, with the rowid first when it is used
    std::vector<Filter::SqlField> sqlFields;  // how the engine names each public field
    // Keeps the rows read with a condition in the order the whole statement gives them;
    // nullopt when that order cannot be kept, so that every row is read.
    std::optional<QString> readOrder;
    bool conditionsKnown = false;  // sqlFields and readOrder, worked out when first wanted
    detail::Statement prepared;   // the statement as Open prepared it, until the first read
    enum class Read { None, Some, All } read = Read::None;
    QString readCondition;     // the rows held are those meeting it, when Some
    bool needsChanged = true;  // a view's filter changed since the rows were read
    quint64 reads = 0;         // times the rows were read
};

// Whether two row objects stand for the same row: by all their values, or by the keys they
// carry when `byKey` and there are any.
inline bool SameRow(const Store& s, const Row& a, const Row& b, bool byKey) {
    const Cells& x = a.original.isEmpty() ? a.values : a.original;
    const Cells& y = b.original.isEmpty() ? b.values : b.original;
    if (!byKey || s.keyField.isEmpty()) return std::equal(x.begin(), x.begin() + s.publicCount, y.begin());
    for (const int k : s.keyField)
        if (x[k] != y[k]) return false;
    return true;
}

struct View {
    std::shared_ptr<Store> store;
    std::vector<std::shared_ptr<Row>> visible;
    qsizetype pos = 0;  // -1 = BOF, visible.size() = EOF
    QString filterText;
    std::optional<db::Filter> filter;
    QString sortText;
    std::optional<SortOrder> sort;
    bool refill = true;  // the rows shown are worked out again, from the first, when next needed
    bool fresh = true;   // not read yet: without a filter it asks for no rows
    int editMode = Recordset::adEditNone;
    std::shared_ptr<Row> editRow;
    qsizetype addReturnPos = 0;
    bool currentDeleted = false;
    quint64 seenVersion = 0;
    quint64 seenReads = 0;
    QString lastError;
    RecordsetNotifier notifier;

    FieldLookup Lookup() const {
        const Store* s = store.get();
        return FieldLookup{[s](const QString& name) {
                               auto it = s->byName.constFind(name.toLower());
                               if (it != s->byName.cend() && *it < s->publicCount) return *it;
                               return -1;
                           },
                           [s](int i) { return s->fields[static_cast<size_t>(i)].kind; }};
    }

    // The rows the filter shows, in the sort's order.
    void Refill() {
        visible.clear();
        visible.reserve(store->rows.size());
        for (const auto& r : store->rows)
            if (!r->deleted && (!filter || filter->Matches(r->values))) visible.push_back(r);
        if (sort && !sort->empty())
            std::stable_sort(visible.begin(), visible.end(),
                             [this](const auto& a, const auto& b) { return sort->Less(a->values, b->values); });
        seenVersion = store->version;
        seenReads = store->reads;
    }

    // Refills and stands on the first row.
    void ShowFirst() {
        Refill();
        pos = 0;
        currentDeleted = false;
        refill = false;
    }

    // Shows the first row when the rows are next needed; they may have to be read first.
    void ShowFirstLater() {
        refill = true;
        store->needsChanged = true;
    }

    // Refills, staying on the current row while it is still shown.
    void Rebuild() {
        const std::shared_ptr<Row> current =
            pos >= 0 && pos < static_cast<qsizetype>(visible.size()) ? visible[static_cast<size_t>(pos)] : nullptr;
        const bool reread = seenReads != store->reads;
        Refill();
        // A row being edited stays where it is until its edit ends.
        if (editRow && std::find(visible.begin(), visible.end(), editRow) == visible.end()) {
            const qsizetype size = static_cast<qsizetype>(visible.size());
            visible.insert(visible.begin() + (editMode == Recordset::adEditAdd ? size : std::clamp<qsizetype>(pos, 0, size)),
                           editRow);
        }
        if (current) {
            auto it = std::find(visible.begin(), visible.end(), current);
            // Rows read again are new objects: the current one is found by its values, or
            // by its key when they changed meanwhile; of equal ones, the nearest.
            for (const bool byKey : {false, true}) {
                if (it != visible.end() || !reread) break;
                for (auto r = visible.begin(); r != visible.end(); ++r)
                    if (SameRow(*store, **r, *current, byKey) &&
                        (it == visible.end() || std::abs((r - visible.begin()) - pos) < std::abs((it - visible.begin()) - pos)))
                        it = r;
            }
            if (it != visible.end()) {
                pos = it - visible.begin();
                return;
            }
        }
        pos = std::clamp<qsizetype>(pos, 0, static_cast<qsizetype>(visible.size()));
    }

    // Reads what the views need and brings this one up to date; every reading passes here.
    // False when a handler told of rows read again closed this view meanwhile.
    [[nodiscard]] bool Sync();

    // After this view changed the shared rows: the others read them again.
    void Touched(bool structural) {
        ++store->version;
        seenVersion = store->version;
        for (auto& w : store->views) {
            auto v = w.lock();
            if (!v || v.get() == this) continue;
            if (structural) emit v->notifier.rowsChanged();
            else emit v->notifier.valuesChanged();
        }
    }

    Row* Current() const {
        if (currentDeleted || pos < 0 || pos >= static_cast<qsizetype>(visible.size())) return nullptr;
        return visible[static_cast<size_t>(pos)].get();
    }
};

}  // namespace detail

using detail::Row;
using detail::Store;
using detail::View;

namespace {

const QString kNoCurrentRecord = QStringLiteral(
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.");
const QString kReadOnly = QStringLiteral(
    "Current Recordset does not support updating. This may be a limitation of the provider, or "
    "of the selected locktype.");
const QString kClosed = QStringLiteral("Operation is not allowed when the object is closed.");
const QString kConnectionClosed = QStringLiteral("The connection to the database is closed.");
const QString kRowMissing = QStringLiteral(
    "Row cannot be located for updating. Some values may have been changed since it was last read.");

QString Quoted(const QString& name) {
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

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
    detail::Statement plan;
    if (plan.Prepare(store.conn->handle, QStringLiteral("EXPLAIN QUERY PLAN ") + sql) != SQLITE_OK) return std::nullopt;
    static const QRegularExpression keyOrder(
        QStringLiteral(R"(^(SCAN (TABLE )?\S+|SEARCH (TABLE )?\S+ USING INTEGER PRIMARY KEY \(rowid=\?\))$)"));
    int steps = 0;
    while (sqlite3_step(plan.get()) == SQLITE_ROW) {
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
    detail::Statement stmt;
    if (!detail::PrepareOne(stmt, db, translated, error)) return false;
    for (int i = 0; i < store.params.size(); ++i) detail::Bind(stmt.get(), i + 1, store.params[i]);
    int columns = sqlite3_column_count(stmt.get());
    *returnsRows = columns > 0;
    if (!*returnsRows) {
        const int rc = sqlite3_step(stmt.get());
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            *error = detail::EngineError(db);
            return false;
        }
        return true;
    }

    auto describe = [&](sqlite3_stmt* s, int offset) {
        store.fields.clear();
        const int n = sqlite3_column_count(s);
        for (int c = offset; c < n; ++c) {
            detail::FieldInfo f;
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
        detail::Statement again;
        if (again.Prepare(db, withRowid) == SQLITE_OK && sqlite3_column_count(again.get()) == columns + 1) {
            for (int i = 0; i < store.params.size(); ++i) detail::Bind(again.get(), i + 1, store.params[i]);
            stmt.Swap(again);
            store.readSql = withRowid;
            offset = 1;
        }
    }
    // Kept for reading every row, the first read's usual case.
    store.prepared.Swap(stmt);
    if (offset == 1) {
        store.rowidTable = *tables.begin();
        detail::FieldInfo hidden;
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
    detail::Statement stmt;
    if (condition.isEmpty() && store.prepared.get()) {
        stmt.Swap(store.prepared);
    } else {
        if (!detail::PrepareOne(stmt, db, sql, error)) return false;
        for (int i = 0; i < store.params.size(); ++i) detail::Bind(stmt.get(), i + 1, store.params[i]);
    }
    const int offset = store.rowidField >= 0 ? 1 : 0;
    std::vector<std::shared_ptr<Row>> rows;
    const int total = static_cast<int>(store.fields.size());
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        auto row = std::make_shared<Row>();
        row->values.resize(total);
        for (int i = 0; i < store.publicCount; ++i)
            row->values[i] = detail::ReadColumn(stmt.get(), i + offset, store.fields[static_cast<size_t>(i)].kind);
        if (offset == 1) row->values[store.rowidField] = detail::ReadColumn(stmt.get(), 0, Kind::Integer);
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        *error = detail::EngineError(db);
        return false;
    }
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

// A store holding the statement's rows; null with `error` set when it fails. A statement
// that returns no rows is carried out and gives a store without fields.
std::shared_ptr<Store> Query(const std::shared_ptr<detail::ConnectionState>& conn, const QString& sql,
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
void LearnConditions(Store& store) {
    if (store.conditionsKnown) return;
    store.conditionsKnown = true;
    // A field the engine can name in a condition on the statement's result. Brackets, so
    // that a name it does not know is an error rather than a text.
    store.sqlFields.assign(static_cast<size_t>(store.publicCount), {});
    for (int i = 0; i < store.publicCount; ++i) {
        const auto& f = store.fields[static_cast<size_t>(i)];
        const bool unique = std::count_if(store.fields.begin(), store.fields.end(), [&](const detail::FieldInfo& g) {
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

// Reads the rows the views of a store need when that changed: those their filters can match,
// or all of them. Rows being edited stay as they are; the views other than `actor` are told.
// False when the rows could not be read (the rows held are kept; each view's last error
// says why).
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

void detail::ReadBeforeClose(ConnectionState& conn) {
    for (const auto& w : conn.unread)
        if (auto s = w.lock(); s && s->read == Store::Read::None) {
            for (const auto& view : s->views)
                if (auto v = view.lock()) v->fresh = false;  // each may still ask, with no file to read
            s->needsChanged = true;
            ReadNeededRows(*s, nullptr);
        }
    conn.unread.clear();
}

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

QVariant Field::Value() const {
    if (!rs_->Ready()) return QVariant();
    View& v = *rs_->view_;
    if (!v.Sync()) return QVariant();
    if (index_ < 0 || index_ >= rs_->FieldCount()) {
        rs_->Fail(NotFound());
        return QVariant();
    }
    const Row* row = v.Current();
    if (!row) {
        rs_->Fail(kNoCurrentRecord);
        return QVariant();
    }
    return detail::FromCell(row->values[index_], v.store->fields[static_cast<size_t>(index_)].kind);
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
                    if (sqlite3_step(stmt.get()) == SQLITE_ROW) {
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
