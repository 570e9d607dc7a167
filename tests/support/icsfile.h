#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// Calendar files read and changed with libical, as another calendar program would.
namespace testsupport {

struct IcsEvent {
    QString uid, summary, location, description, categories;
    QDateTime start, end, lastModified;  // local
    QString startZone;                   // the TZID DTSTART carries; empty for UTC or floating
    QStringList extraProperties;         // names of the X- properties
};

QList<IcsEvent> ReadEvents(const QString& path);
std::optional<IcsEvent> FindEvent(const QString& path, const QString& uid);
// How many components of this kind ("VEVENT", "VTODO", "VTIMEZONE") the file holds.
int CountComponents(const QString& path, const QString& kind);

// Changes one event: its description, its times moved by `moveMinutes` and written in
// `zone` (an IANA name; empty keeps UTC), LAST-MODIFIED set. False when there is no such event.
bool EditEvent(const QString& path, const QString& uid, const QString& description, int moveMinutes,
               const QDateTime& lastModified, const QString& zone = QString());
bool RemoveEvent(const QString& path, const QString& uid);
// The file's bytes as they stand; empty when it cannot be read.
QByteArray ReadText(const QString& path);
bool WriteText(const QString& path, const QByteArray& text);

// A calendar of another program: one event with an X- property, and one to-do.
QByteArray ForeignCalendar();

}  // namespace testsupport
