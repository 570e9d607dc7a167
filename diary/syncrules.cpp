#include "syncrules.h"

#include "core/formatting.h"

namespace outlooksync {

QString NoChangesLine(int jobId) {
    return QStringLiteral("Job ID %1 - No changes in detected... skiping update").arg(jobId);
}

QString InvoicedLine(int jobId) {
    return QStringLiteral("Job ID %1 is invoiced - the database entry wins").arg(jobId);
}

QString FailureLine(int jobId, const QString& reason) {
    return QStringLiteral("Job ID %1 - not synchronised: %2").arg(jobId).arg(reason);
}

QString ClosingLine(int failed, int total) {
    if (failed == 0) return kComplete;
    return kErrors + QStringLiteral(" (%1 of %2 appointments failed)").arg(failed).arg(total);
}

QString DatabaseFailureLine(const QString& reason) {
    return QStringLiteral("The database did not take the synchronisation: ") + reason;
}

QString NotPutBackLine(const QString& reason) {
    return reason + QStringLiteral(" - the next synchronisation takes up this run's entries again");
}

QString EntryUid(const QString& databaseId, int jobId, int copy) {
    const QString job = copy > 1 ? QStringLiteral("%1-%2").arg(jobId).arg(copy)
                                 : QString::number(jobId);
    return QStringLiteral("job-%1.%2@ambrelle").arg(job, databaseId);
}

QString CalendarGoneLine(const QString& problem) {
    return problem + QStringLiteral(" while appointments refer to entries in it - synchronise "
                                    "again when the file is back");
}

QString CalendarTimesRefusal(const QDateTime& start, const QDateTime& end) {
    if (!start.isValid() || !end.isValid())
        return QStringLiteral("its calendar entry has no start or no end; the database keeps its "
                              "own times");
    if (end < start)
        return QStringLiteral("its calendar entry ends before it starts (%1 to %2); the database "
                              "keeps its own times")
            .arg(FormatShortDateTime(start), FormatShortDateTime(end));
    return {};
}

int ChangeFlag(const QDateTime& databaseChanged, const QDateTime& itemChanged,
               const QDateTime& lastSync) {
    if (!lastSync.isValid()) return kConflict;
    int flag = 0;
    if (databaseChanged.isValid() && databaseChanged > lastSync) flag |= kDatabaseChanged;
    if (itemChanged.isValid() && itemChanged > lastSync) flag |= kOutlookChanged;
    return flag;
}

QString JoinLocation(const QStringList& parts) {
    QStringList five = parts.mid(0, 5);
    while (five.size() < 5) five << QString();
    return five.join(u' ');
}

bool SameText(const QString& a, const QString& b) {
    const QString crlf = QStringLiteral("\r\n"), lf = QStringLiteral("\n");
    return a == b || QString(a).replace(crlf, lf) == QString(b).replace(crlf, lf);
}

QString SubjectText(const QString& owner, const QString& company) {
    return owner + QStringLiteral(" Work for ") + company;
}

}  // namespace outlooksync
