#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The calendar synchronisation's rules and texts, apart from the calendar and the windows.
namespace outlooksync {

// SyncFlag's parts; the conflict dialog answers one of them.
inline constexpr int kDatabaseChanged = 1;
inline constexpr int kOutlookChanged = 2;
inline constexpr int kConflict = kDatabaseChanged | kOutlookChanged;

inline const QString kNoRecords = QStringLiteral("No records found!");
inline const QString kBegin = QStringLiteral("Begin synchronisation");
inline const QString kCreating = QStringLiteral("Creating new entry for schedule ID:");
inline const QString kExists = QStringLiteral("Entry already exists in outlook,");
inline const QString kBothChanged =
    QStringLiteral("Both entries have changed - conflict detected...");
inline const QString kDatabaseWins =
    QStringLiteral("Entry in database has changed, updating outlook entry...");
inline const QString kOutlookWins =
    QStringLiteral("Outlook entry has changed - updating database entry...");
inline const QString kComplete = QStringLiteral("Synchronisation complete");
inline const QString kErrors = QStringLiteral("One or more errors occured during synchronisation");
inline const QString kWaitingForCalendar =
    QStringLiteral("Another synchronisation is using the calendar - waiting for it to finish...");
inline const QString kStopped =
    QStringLiteral("Synchronisation stopped - neither the database nor the calendar was changed");
inline const QString kNothingChanged =
    QStringLiteral("Neither the database nor the calendar was changed");

// "Job ID 7 - No changes in detected... skiping update"
QString NoChangesLine(int jobId);
// Why an invoiced appointment's calendar change is not taken.
QString InvoicedLine(int jobId);
// One appointment that could not be synchronised, and why.
QString FailureLine(int jobId, const QString& reason);
// The run's last line: complete, or the errors with how many appointments failed.
QString ClosingLine(int failed, int total);
// The database did not take the run's changes, and why.
QString DatabaseFailureLine(const QString& reason);
// The calendar file could not be put back after the database failed, and why.
QString NotPutBackLine(const QString& reason);

// The calendar entry of an appointment: the same for every run on this database file (or a
// copy of it), so that an entry whose reference was never stored is found again. Where an
// entry of another appointment holds the name, the next `copy` is taken.
QString EntryUid(const QString& databaseId, int jobId, int copy = 1);
// The calendar file cannot be trusted to say which entries are gone, and why.
QString CalendarGoneLine(const QString& problem);

// Why a calendar entry's times may not become the appointment's; empty when they may.
QString CalendarTimesRefusal(const QDateTime& start, const QDateTime& end);

// Which sides changed since the last synchronisation: a time strictly later than it counts;
// with no last synchronisation both sides count as changed.
int ChangeFlag(const QDateTime& databaseChanged, const QDateTime& itemChanged,
               const QDateTime& lastSync);

// The calendar entry's location: the five postal-address parts joined by single spaces,
// a missing part giving an empty piece.
QString JoinLocation(const QStringList& parts);

// Whether two texts are the same as the calendar keeps them: it holds a line break as one
// character, however the database wrote it.
bool SameText(const QString& a, const QString& b);

// The calendar entry's subject.
QString SubjectText(const QString& owner, const QString& company);

}  // namespace outlooksync
