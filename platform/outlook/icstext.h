#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

struct icalcomponent_impl;

// iCalendar text as the file holds it, split in one pass over its bytes. Only what the calendar
// layer reads or writes is ever handed to libical; everything else stays the bytes it was.
namespace outlook::detail {

// Bytes [begin, end) of a file.
struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;
};

// A component directly inside a calendar.
struct RawComponent {
    Span span;                  // its BEGIN line to the end of its END line
    QByteArray kind;            // upper case: "VEVENT", "VTIMEZONE", "VTODO", ...
    QString uid;                // an event's UID
    bool recurrenceId = false;  // a changed occurrence of a series
    QString tzid;               // a time-zone definition's TZID
};

struct CalendarText {
    QByteArray bytes;
    QList<RawComponent> components;
    qsizetype zonesAt = 0;  // where a new time-zone definition goes: before the first component
    qsizetype endAt = 0;    // the last END:VCALENDAR line: new events go before it
    QByteArray newline = "\r\n";  // the file's own line end
};

// False, with the reason, when `bytes` is not a whole iCalendar file.
bool SplitCalendar(const QByteArray& bytes, CalendarText* out, QString* error);

// A content line with its folded continuation lines and its line end, or a whole component
// inside the one being split (`name` is then "BEGIN").
struct Piece {
    Span span;
    QByteArray name;  // upper case
};

// What one component holds directly, between its own BEGIN line and END line.
struct ComponentPieces {
    Span open;
    QList<Piece> pieces;
    Span close;  // empty when the component was never ended
};
ComponentPieces SplitComponent(const QByteArray& bytes, Span component);

// A content line with its folds removed and without its line end.
QByteArray Unfold(QByteArrayView raw);
// The value of a content line: what follows the colon after its name and parameters.
QByteArray LineValue(QByteArrayView raw);
// The value of one parameter of a content line ("TZID"), without quotes; empty when absent.
QByteArray ParameterValue(QByteArrayView raw, QByteArrayView name);

// libical's reading of `text`, with lines fed to it in time linear in their length (its own
// string reader rescans the rest of a line for every 80 bytes). Null when it is no component.
icalcomponent_impl* ParseComponent(const QByteArray& text);

}  // namespace outlook::detail
