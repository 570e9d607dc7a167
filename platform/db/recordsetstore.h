#pragma once

// The record set's shared rows and its views of them, for the files of the record set; not
// for the windows.

#include <QBitArray>

#include <memory>
#include <optional>
#include <vector>

#include "filter.h"
#include "internal.h"
#include "recordset.h"

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


inline const QString kNoCurrentRecord = QStringLiteral(
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.");
inline const QString kReadOnly = QStringLiteral(
    "Current Recordset does not support updating. This may be a limitation of the provider, or "
    "of the selected locktype.");
inline const QString kClosed = QStringLiteral("Operation is not allowed when the object is closed.");
inline const QString kConnectionClosed = QStringLiteral("The connection to the database is closed.");
inline const QString kRowMissing = QStringLiteral(
    "Row cannot be located for updating. Some values may have been changed since it was last read.");

// A name as the engine quotes it.
inline QString Quoted(const QString& name) {
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

// A store holding the statement's rows; null with `error` set when it fails. A statement
// that returns no rows is carried out and gives a store without fields.
std::shared_ptr<Store> Query(const std::shared_ptr<ConnectionState>& conn, const QString& sql,
                             const QVariantList& params, int lockType, QString* error, bool* returnsRows);
// Reads the rows the views of a store need when that changed: those their filters can match,
// or all of them. Rows being edited stay as they are; the views other than `actor` are told.
// False when the rows could not be read (the rows held are kept; each view's last error
// says why).
bool ReadNeededRows(Store& s, const View* actor);
// Reads again the rows whose field `keyField` holds one of `keys` (see Recordset::Resync).
bool ResyncRows(Store& s, int keyField, const QSet<qint64>& keys, QString* error);

}  // namespace detail
}  // namespace db
