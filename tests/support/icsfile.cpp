#include "icsfile.h"

#include <libical/ical.h>

#include <QFile>
#include <QTimeZone>

namespace testsupport {

namespace {

icalcomponent* Parse(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return nullptr;
    return icalparser_parse_string(f.readAll().constData());
}

bool Write(const QString& path, icalcomponent* cal) {
    char* text = icalcomponent_as_ical_string_r(cal);
    const bool ok = WriteText(path, text);
    free(text);
    return ok;
}

QDateTime Local(icaltimetype t) {
    if (icaltime_is_null_time(t)) return {};
    if (icaltime_is_utc(t) || t.zone)
        return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone));
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

QString Str(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

IcsEvent Event(icalcomponent* c) {
    IcsEvent e;
    e.uid = Str(icalcomponent_get_uid(c));
    e.summary = Str(icalcomponent_get_summary(c));
    e.location = Str(icalcomponent_get_location(c));
    e.description = Str(icalcomponent_get_description(c));
    QStringList cats;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_CATEGORIES_PROPERTY))
        cats << Str(icalproperty_get_categories(p));
    e.categories = cats.join(QStringLiteral(", "));
    e.start = Local(icalcomponent_get_dtstart(c));
    e.end = Local(icalcomponent_get_dtend(c));
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_LASTMODIFIED_PROPERTY))
        e.lastModified = Local(icalproperty_get_lastmodified(p));
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY))
        if (icalparameter* z = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER))
            e.startZone = Str(icalparameter_get_tzid(z));
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY))
        e.extraProperties << Str(icalproperty_get_x_name(p));
    return e;
}

icalcomponent* FindComponent(icalcomponent* cal, const QString& uid) {
    for (icalcomponent* c = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); c;
         c = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT))
        if (Str(icalcomponent_get_uid(c)) == uid) return c;
    return nullptr;
}

icaltimetype Utc(const QDateTime& dt) {
    return icaltime_from_timet_with_zone(static_cast<time_t>(dt.toSecsSinceEpoch()), 0,
                                         icaltimezone_get_utc_timezone());
}

void SetTime(icalcomponent* cal, icalcomponent* c, icalproperty_kind kind, const QDateTime& dt,
             const QString& zone) {
    while (icalproperty* p = icalcomponent_get_first_property(c, kind)) {
        icalcomponent_remove_property(c, p);
        icalproperty_free(p);
    }
    icalproperty* p = icalproperty_new(kind);
    if (zone.isEmpty()) {
        icalproperty_set_value(p, icalvalue_new_datetime(Utc(dt)));
    } else {
        const QDateTime there = dt.toTimeZone(QTimeZone(zone.toUtf8()));
        const QByteArray wall = there.toString(u"yyyyMMdd'T'HHmmss").toLatin1();
        const icaltimetype t = icaltime_from_string(wall.constData());
        icalproperty_set_value(p, icalvalue_new_datetime(t));
        icalproperty_add_parameter(p, icalparameter_new_tzid(zone.toUtf8().constData()));
        if (!icalcomponent_get_timezone(cal, zone.toUtf8().constData())) {
            icalcomponent* def = icalcomponent_new_clone(icaltimezone_get_component(
                icaltimezone_get_builtin_timezone(zone.toUtf8().constData())));
            icalproperty* id = icalcomponent_get_first_property(def, ICAL_TZID_PROPERTY);
            icalproperty_set_tzid(id, zone.toUtf8().constData());
            icalcomponent_add_component(cal, def);
        }
    }
    icalcomponent_add_property(c, p);
}

}  // namespace

QList<IcsEvent> ReadEvents(const QString& path) {
    QList<IcsEvent> events;
    icalcomponent* cal = Parse(path);
    if (!cal) return events;
    for (icalcomponent* c = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); c;
         c = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT))
        events << Event(c);
    icalcomponent_free(cal);
    return events;
}

std::optional<IcsEvent> FindEvent(const QString& path, const QString& uid) {
    for (const IcsEvent& e : ReadEvents(path))
        if (e.uid == uid) return e;
    return std::nullopt;
}

int CountComponents(const QString& path, const QString& kind) {
    icalcomponent* cal = Parse(path);
    if (!cal) return -1;
    const icalcomponent_kind k = icalcomponent_string_to_kind(kind.toUtf8().constData());
    const int n = icalcomponent_count_components(cal, k);
    icalcomponent_free(cal);
    return n;
}

bool EditEvent(const QString& path, const QString& uid, const QString& description, int moveMinutes,
               const QDateTime& lastModified, const QString& zone) {
    icalcomponent* cal = Parse(path);
    icalcomponent* c = cal ? FindComponent(cal, uid) : nullptr;
    if (!c) {
        if (cal) icalcomponent_free(cal);
        return false;
    }
    const IcsEvent before = Event(c);
    SetTime(cal, c, ICAL_DTSTART_PROPERTY, before.start.addSecs(moveMinutes * 60), zone);
    SetTime(cal, c, ICAL_DTEND_PROPERTY, before.end.addSecs(moveMinutes * 60), zone);
    icalcomponent_set_description(c, description.toUtf8().constData());
    while (icalproperty* p = icalcomponent_get_first_property(c, ICAL_LASTMODIFIED_PROPERTY)) {
        icalcomponent_remove_property(c, p);
        icalproperty_free(p);
    }
    icalcomponent_add_property(c, icalproperty_new_lastmodified(Utc(lastModified)));
    const bool ok = Write(path, cal);
    icalcomponent_free(cal);
    return ok;
}

bool RemoveEvent(const QString& path, const QString& uid) {
    icalcomponent* cal = Parse(path);
    icalcomponent* c = cal ? FindComponent(cal, uid) : nullptr;
    if (c) {
        icalcomponent_remove_component(cal, c);
        icalcomponent_free(c);
    }
    const bool ok = c && Write(path, cal);
    if (cal) icalcomponent_free(cal);
    return ok;
}

QByteArray ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteText(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

QByteArray ForeignCalendar() {
    return "BEGIN:VCALENDAR\r\n"
           "VERSION:2.0\r\n"
           "PRODID:-//Another Program//EN\r\n"
           "X-WR-CALNAME:Home\r\n"
           "BEGIN:VEVENT\r\n"
           "UID:dentist-1@elsewhere\r\n"
           "DTSTAMP:20260101T080000Z\r\n"
           "DTSTART:20260112T150000Z\r\n"
           "DTEND:20260112T153000Z\r\n"
           "SUMMARY:Dentist\r\n"
           "X-OTHER-ALARM:keep me\r\n"
           "END:VEVENT\r\n"
           "BEGIN:VTODO\r\n"
           "UID:todo-1@elsewhere\r\n"
           "DTSTAMP:20260101T080000Z\r\n"
           "SUMMARY:Buy stamps\r\n"
           "END:VTODO\r\n"
           "END:VCALENDAR\r\n";
}

}  // namespace testsupport
