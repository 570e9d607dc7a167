#include "syncrules.h"

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

QString SubjectText(const QString& owner, const QString& company) {
    return owner + QStringLiteral(" Work for ") + company;
}

}  // namespace outlooksync
