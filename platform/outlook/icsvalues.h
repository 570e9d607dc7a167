#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

struct icalcomponent_impl;
struct icalproperty_impl;
struct _icaltimezone;

// Values of an event as the calendar layer reads and writes them through libical.
namespace outlook::detail {

// Time-zone definitions made into libical zones once per definition text: building one and
// working out its changes costs the size of its text, which must not be paid at every read.
class ZoneCache {
  public:
    ZoneCache() = default;
    ~ZoneCache();
    ZoneCache(const ZoneCache&) = delete;
    ZoneCache& operator=(const ZoneCache&) = delete;

    // The zone a VTIMEZONE text defines (the text holds that component alone, with its line
    // ends); null when libical cannot read it.
    _icaltimezone* FromDefinition(const QByteArray& text);
    // Forgets every zone once more than a few were made; only while none made is in use.
    void Trim();

  private:
    void Clear();
    QHash<QByteArray, _icaltimezone*> zones_;  // by a digest of the definition
};

// The zone libical knows under this name, when the file defines none; null when none.
_icaltimezone* BuiltinZone(const QByteArray& tzid);

// A DTSTART, DTEND or other date-time property's value as local time, its TZID resolved to
// `zone` (null: UTC, floating or unknown as libical reads them).
QDateTime LocalTime(icalproperty_impl* p, _icaltimezone* zone);
// DTSTART moved on by the DURATION property, in the start's own zone.
QDateTime LocalEnd(icalproperty_impl* start, _icaltimezone* zone, icalproperty_impl* duration);

// The property as libical writes it (folded, with its line ends); the property is freed.
QByteArray Serialised(icalproperty_impl* p);
// A text property; null for an empty value.
icalproperty_impl* TextProperty(int kind, const QString& value);
// A local time with the zone it belongs to, or in UTC when `zone` is empty; null when invalid.
icalproperty_impl* TimeProperty(int kind, const QDateTime& dt, const QString& zone);
// A time as UTC, for stamps.
icalproperty_impl* UtcProperty(int kind, const QDateTime& dt);

// A CATEGORIES line holding one category, its commas, semicolons and backslashes escaped
// (libical leaves them, and readers would split the name); empty for an empty name.
QByteArray CategoriesLine(const QString& category);
// The categories of a CATEGORIES line's value, split at its unescaped commas and unescaped.
QStringList SplitCategories(const QByteArray& value);

}  // namespace outlook::detail
