#include "icsvalues.h"

#include <libical/ical.h>

#include <QCryptographicHash>

#include "icstext.h"

namespace outlook::detail {

namespace {

// A file names only a few zones; once more were met, the cache starts afresh at the next read.
constexpr qsizetype kZonesKept = 32;

QDateTime ToLocal(icaltimetype t) {
    if (icaltime_is_null_time(t)) return {};
    if (t.is_date) return QDateTime(QDate(t.year, t.month, t.day), QTime(0, 0));
    if (icaltime_is_utc(t) || t.zone)
        return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone));
    // Floating time: the same clock time wherever the reader is.
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

icaltimetype Zoned(icalproperty* p, icaltimezone* zone) {
    icaltimetype t = icalvalue_get_datetime(icalproperty_get_value(p));
    if (!icaltime_is_utc(t) && !t.is_date && zone) t.zone = zone;
    return t;
}

icaltimetype Utc(const QDateTime& dt) {
    return icaltime_from_timet_with_zone(static_cast<time_t>(dt.toSecsSinceEpoch()), 0,
                                         icaltimezone_get_utc_timezone());
}

// Content lines are folded before the 76th octet, never inside a UTF-8 sequence.
QByteArray Folded(const QByteArray& line, const QByteArray& newline) {
    QByteArray out;
    qsizetype at = 0, width = 75;
    while (line.size() - at > width) {
        qsizetype cut = at + width;
        while (cut > at + 1 && (static_cast<uchar>(line[cut]) & 0xC0) == 0x80) --cut;
        out += line.mid(at, cut - at) + newline + ' ';
        at = cut;
        width = 74;
    }
    return out + line.mid(at) + newline;
}

}  // namespace

ZoneCache::~ZoneCache() { Clear(); }

void ZoneCache::Clear() {
    for (icaltimezone* z : std::as_const(zones_))
        if (z) icaltimezone_free(z, 1);  // null: a definition libical could not read
    zones_.clear();
}

void ZoneCache::Trim() {
    if (zones_.size() > kZonesKept) Clear();
}

icaltimezone* ZoneCache::FromDefinition(const QByteArray& text) {
    const QByteArray key = QCryptographicHash::hash(text, QCryptographicHash::Sha1);
    if (auto found = zones_.constFind(key); found != zones_.cend()) return *found;
    icalcomponent* cal = ParseComponent("BEGIN:VCALENDAR\r\n" + text +
                                        (text.endsWith('\n') ? "" : "\r\n") + "END:VCALENDAR\r\n");
    icalcomponent* def = cal ? icalcomponent_get_first_component(cal, ICAL_VTIMEZONE_COMPONENT)
                             : nullptr;
    icaltimezone* zone = nullptr;
    if (def) {
        icalcomponent_remove_component(cal, def);
        zone = icaltimezone_new();
        // The zone owns the definition from here on.
        if (!icaltimezone_set_component(zone, def)) {
            icaltimezone_free(zone, 1);
            icalcomponent_free(def);
            zone = nullptr;
        }
    }
    if (cal) icalcomponent_free(cal);
    // A definition libical cannot read is remembered too, so that it is not read again.
    zones_.insert(key, zone);
    return zone;
}

icaltimezone* BuiltinZone(const QByteArray& tzid) {
    if (tzid.isEmpty()) return nullptr;
    if (icaltimezone* z = icaltimezone_get_builtin_timezone_from_tzid(tzid.constData())) return z;
    return icaltimezone_get_builtin_timezone(tzid.constData());
}

QDateTime LocalTime(icalproperty* p, icaltimezone* zone) {
    return p ? ToLocal(Zoned(p, zone)) : QDateTime();
}

QDateTime LocalEnd(icalproperty* start, icaltimezone* zone, icalproperty* duration) {
    if (!start || !duration || !icalproperty_get_value(duration)) return LocalTime(start, zone);
    return ToLocal(icaltime_add(Zoned(start, zone), icalproperty_get_duration(duration)));
}

QByteArray Serialised(icalproperty* p) {
    if (!p) return {};
    char* s = icalproperty_as_ical_string_r(p);
    QByteArray text(s);
    free(s);
    icalproperty_free(p);
    return text;
}

icalproperty* TextProperty(int kind, const QString& value) {
    if (value.isEmpty()) return nullptr;
    icalproperty* p = icalproperty_new(static_cast<icalproperty_kind>(kind));
    icalproperty_set_value(p, icalvalue_new_text(value.toUtf8().constData()));
    return p;
}

icalproperty* TimeProperty(int kind, const QDateTime& dt, const QString& zone) {
    if (!dt.isValid()) return nullptr;
    if (zone.isEmpty()) return UtcProperty(kind, dt);
    icalproperty* p = icalproperty_new(static_cast<icalproperty_kind>(kind));
    const QByteArray wall = dt.toLocalTime().toString(u"yyyyMMdd'T'HHmmss").toLatin1();
    icalproperty_set_value(p, icalvalue_new_datetime(icaltime_from_string(wall.constData())));
    icalproperty_add_parameter(p, icalparameter_new_tzid(zone.toUtf8().constData()));
    return p;
}

icalproperty* UtcProperty(int kind, const QDateTime& dt) {
    icalproperty* p = icalproperty_new(static_cast<icalproperty_kind>(kind));
    icalproperty_set_value(p, icalvalue_new_datetime(Utc(dt)));
    return p;
}

QByteArray CategoriesLine(const QString& category) {
    if (category.isEmpty()) return {};
    QByteArray value;
    for (const char c : category.toUtf8()) {
        if (c == '\\' || c == ',' || c == ';') value += '\\';
        if (c == '\n') {
            value += "\\n";
        } else if (c != '\r') {
            value += c;
        }
    }
    return Folded("CATEGORIES:" + value, "\r\n");
}

QStringList SplitCategories(const QByteArray& value) {
    QStringList out;
    if (value.isEmpty()) return out;
    QByteArray one;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            one += next == 'n' || next == 'N' ? '\n' : next;
        } else if (c == ',') {
            out << QString::fromUtf8(one);
            one.clear();
        } else {
            one += c;
        }
    }
    out << QString::fromUtf8(one);
    return out;
}

}  // namespace outlook::detail
