#include "recurrencestore.h"

#include <QSet>

#include "platform/db/recordset.h"

namespace recurrence {

namespace {

// Invoiced work and work with expenses is never removed with its series.
const QString kDeleteRemovable = QStringLiteral(
    "DELETE FROM JobDetails WHERE MasterAppointment = ? AND JobID <> ? AND (InvoiceNumber = 0 OR "
    "InvoiceNumber Is Null) AND NOT EXISTS (SELECT 1 FROM Outgoings WHERE Outgoings.ScheduleID = "
    "JobDetails.JobID)");
const QString kRemaining =
    QStringLiteral("SELECT Start FROM JobDetails WHERE MasterAppointment = ? AND JobID <> ?");
const QString kSetPattern = QStringLiteral("UPDATE JobDetails SET Pattern = ? WHERE JobID = ?");
// Each occurrence copies these columns of its master, and nothing else. Many occurrences
// go in one statement: one statement per row costs more than the rows themselves.
constexpr int kRowsPerInsert = 250;
QString InsertOccurrences(int rows) {
    QStringList values(rows, QStringLiteral("(?, ?)"));
    return QStringLiteral(
               "WITH o(Start, Finish) AS (VALUES %1) INSERT INTO JobDetails (Description, "
               "Duration, PO_Number, CustomerID, Fee, MasterAppointment, Pattern, Start, Finish) "
               "SELECT m.Description, m.Duration, m.PO_Number, m.CustomerID, m.Fee, m.JobID, ?, "
               "o.Start, o.Finish FROM o CROSS JOIN JobDetails AS m WHERE m.JobID = ?")
        .arg(values.join(u", "));
}

// One change of a series between BEGIN and COMMIT; the first failing step rolls it back.
class Change {
  public:
    explicit Change(db::Connection& c) : c_(c) { open_ = c_.BeginTrans(); }
    ~Change() {
        if (open_) c_.RollbackTrans();
    }
    bool Run(const QString& sql, const QVariantList& params, int* changes = nullptr) {
        return open_ && c_.Execute(sql, params, changes);
    }
    Stored Finish() {
        Stored s;
        s.ok = open_ && c_.CommitTrans();
        if (s.ok) open_ = false;
        s.error = s.ok ? QString() : db::LastError();
        return s;
    }
    Stored Failed() {
        Stored s;
        s.error = db::LastError();
        return s;
    }

  private:
    db::Connection& c_;
    bool open_ = false;
};

// Clears the series' removable occurrences and sets the master's pattern; the occurrences
// that stay are counted in `kept` and their days go into `keptDays`.
bool Reset(Change& change, db::Connection& c, qint64 masterId, const QString& pattern, int* kept,
           QSet<QDate>* keptDays) {
    int changed = 0;
    if (!change.Run(kDeleteRemovable, {masterId, masterId}) ||
        !change.Run(kSetPattern, {pattern, masterId}, &changed))
        return false;
    if (changed != 1) {
        db::SetLastError(QStringLiteral("The appointment %1 no longer exists.").arg(masterId));
        return false;
    }
    db::Recordset rest;
    if (!rest.OpenWith(kRemaining, c, {masterId, masterId}, db::adOpenStatic, db::adLockReadOnly))
        return false;
    for (*kept = 0; !rest.Eof(); rest.MoveNext(), ++*kept)
        keptDays->insert(rest.Value(QStringLiteral("Start")).toDateTime().date());
    return true;
}

}  // namespace

Stored WriteSeries(db::Connection& c, qint64 masterId, const Series& series) {
    Change change(c);
    int kept = 0;
    QSet<QDate> keptDays;
    if (!Reset(change, c, masterId, series.pattern, &kept, &keptDays)) return change.Failed();
    QVariantList params;
    auto flush = [&] {
        const int rows = static_cast<int>(params.size() / 2);
        if (rows == 0) return true;
        params << series.pattern << masterId;
        const bool ok = change.Run(InsertOccurrences(rows), params);
        params.clear();
        return ok;
    };
    for (qsizetype i = 1; i < series.dates.size(); ++i) {
        const Occurrence& o = series.dates[i];
        if (keptDays.contains(o.start.date())) continue;
        params << o.start << o.finish;
        if (params.size() == 2 * kRowsPerInsert && !flush()) return change.Failed();
    }
    if (!flush()) return change.Failed();
    Stored s = change.Finish();
    s.kept = kept;
    return s;
}

Stored DeleteSeries(db::Connection& c, qint64 masterId) {
    // A series of no occurrences with an empty pattern: only the kept occurrences stay.
    return WriteSeries(c, masterId, {QString(), QStringLiteral(""), {}, false, {}});
}

}  // namespace recurrence
