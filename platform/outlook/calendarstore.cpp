#include "calendarstore.h"

#include <libical/ical.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimeZone>
#include <QUuid>
#include <map>

namespace outlook::detail {

namespace {

FileStamp Stat(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, static_cast<qint64>(st.st_size),
            static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<qint64>(st.st_ino)};
}

icalcomponent* NewCalendar() {
    icalcomponent* cal = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
    icalcomponent_add_property(cal, icalproperty_new_version("2.0"));
    icalcomponent_add_property(cal, icalproperty_new_prodid("-//Ambrelle//Tollbook//EN"));
    return cal;
}

QString Text(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

QDateTime ToLocal(icaltimetype t) {
    if (icaltime_is_null_time(t)) return {};
    if (t.is_date) return QDateTime(QDate(t.year, t.month, t.day), QTime(0, 0));
    if (icaltime_is_utc(t) || t.zone)
        return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone));
    // Floating time: the same clock time wherever the reader is.
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

icaltimetype Utc(const QDateTime& dt) {
    return icaltime_from_timet_with_zone(static_cast<time_t>(dt.toSecsSinceEpoch()), 0,
                                         icaltimezone_get_utc_timezone());
}

void RemoveAll(icalcomponent* c, icalproperty_kind kind) {
    while (icalproperty* p = icalcomponent_get_first_property(c, kind)) {
        icalcomponent_remove_property(c, p);
        icalproperty_free(p);
    }
}

void SetText(icalcomponent* c, icalproperty_kind kind, const QString& value) {
    RemoveAll(c, kind);
    if (value.isEmpty()) return;
    icalproperty* p = icalproperty_new(kind);
    icalproperty_set_value(p, icalvalue_new_text(value.toUtf8().constData()));
    icalcomponent_add_property(c, p);
}

// A local time with the zone it belongs to, or in UTC when the zone has no definition.
void SetTime(icalcomponent* c, icalproperty_kind kind, const QDateTime& dt, const QString& zone) {
    RemoveAll(c, kind);
    if (!dt.isValid()) return;
    icalproperty* p = icalproperty_new(kind);
    if (zone.isEmpty()) {
        icalproperty_set_value(p, icalvalue_new_datetime(Utc(dt)));
    } else {
        const QByteArray wall = dt.toLocalTime().toString(u"yyyyMMdd'T'HHmmss").toLatin1();
        icalproperty_set_value(p, icalvalue_new_datetime(icaltime_from_string(wall.constData())));
        icalproperty_add_parameter(p, icalparameter_new_tzid(zone.toUtf8().constData()));
    }
    icalcomponent_add_property(c, p);
}

QDateTime Stamp(icalcomponent* c, icalproperty_kind kind) {
    icalproperty* p = icalcomponent_get_first_property(c, kind);
    return p ? ToLocal(icalvalue_get_datetime(icalproperty_get_value(p))) : QDateTime();
}

}  // namespace

std::shared_ptr<CalendarStore> CalendarStore::For(const QString& path) {
    static std::map<QString, std::shared_ptr<CalendarStore>> stores;
    const QString key = QFileInfo(path).absoluteFilePath();
    auto& s = stores[key];
    if (!s) s = std::make_shared<CalendarStore>(key);
    return s;
}

CalendarStore::~CalendarStore() {
    if (cal_) icalcomponent_free(cal_);
}

bool CalendarStore::Refresh(QString* error) {
    if (cal_ && !stale_ && Stat(path_) == stamp_) return true;
    // Saves not yet written are carried over to what another program left in the file.
    std::map<QString, icalcomponent*> kept;
    for (const QString& uid : std::as_const(unwritten_))
        if (icalcomponent* c = events_.value(uid)) kept[uid] = icalcomponent_new_clone(c);
    const bool ok = Load(error);
    for (auto& [uid, c] : kept) {
        if (ok) {
            if (icalcomponent* old = events_.value(uid)) {
                icalcomponent_remove_component(cal_, old);
                icalcomponent_free(old);
            }
            icalcomponent_add_component(cal_, c);
        } else {
            icalcomponent_free(c);
        }
    }
    if (ok && !kept.empty()) {
        LocalZoneId();
        Index();
    }
    return ok;
}

bool CalendarStore::Load(QString* error) {
    if (cal_) icalcomponent_free(cal_);
    cal_ = nullptr;
    events_.clear();
    stale_ = false;
    stamp_ = Stat(path_);
    if (!stamp_.exists) {
        cal_ = NewCalendar();
        return true;
    }
    QFile f(path_);
    if (QFileInfo(path_).isDir() || !f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("The calendar file %1 cannot be read").arg(path_);
        stamp_ = {};
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (bytes.trimmed().isEmpty()) {
        cal_ = NewCalendar();
        return true;
    }
    icalcomponent* root = icalparser_parse_string(bytes.constData());
    if (!root || icalcomponent_isa(root) != ICAL_VCALENDAR_COMPONENT) {
        if (root) icalcomponent_free(root);
        *error = QStringLiteral("The file %1 is not an iCalendar file").arg(path_);
        stamp_ = {};
        return false;
    }
    cal_ = root;
    Index();
    return true;
}

void CalendarStore::Index() {
    events_.clear();
    for (icalcomponent* c = icalcomponent_get_first_component(cal_, ICAL_VEVENT_COMPONENT); c;
         c = icalcomponent_get_next_component(cal_, ICAL_VEVENT_COMPONENT)) {
        // A changed occurrence of a series shares the series' UID; the series is the item.
        if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) continue;
        const QString uid = Text(icalcomponent_get_uid(c));
        if (!uid.isEmpty() && !events_.contains(uid)) events_.insert(uid, c);
    }
}

bool CalendarStore::Writable(QString* error) const {
    const QFileInfo info(path_);
    // The mode bits count even for a user the system would let write.
    const auto writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & writeBits))) {
        *error = QStringLiteral("The calendar file %1 is read-only").arg(path_);
        return false;
    }
    QFileInfo dir(info.absolutePath());
    while (!dir.exists() && dir.absoluteFilePath() != QDir::rootPath())
        dir = QFileInfo(dir.absolutePath());
    if (!dir.isDir() || !dir.isWritable()) {
        *error = QStringLiteral("The calendar file %1 cannot be written").arg(path_);
        return false;
    }
    return true;
}

bool CalendarStore::Read(const QString& uid, AppointmentItem* item) {
    icalcomponent* c = events_.value(uid);
    if (!c) return false;
    item->entryId_ = uid;
    item->start_ = ToLocal(icalcomponent_get_dtstart(c));
    item->end_ = ToLocal(icalcomponent_get_dtend(c));
    item->subject_ = Text(icalcomponent_get_summary(c));
    item->location_ = Text(icalcomponent_get_location(c));
    item->body_ = Text(icalcomponent_get_description(c));
    QStringList categories;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_CATEGORIES_PROPERTY))
        categories << Text(icalproperty_get_categories(p));
    item->categories_ = categories.join(QStringLiteral(", "));
    item->lastModified_ = Stamp(c, ICAL_LASTMODIFIED_PROPERTY);
    if (!item->lastModified_.isValid()) item->lastModified_ = Stamp(c, ICAL_DTSTAMP_PROPERTY);
    if (!item->lastModified_.isValid()) item->lastModified_ = Stamp(c, ICAL_CREATED_PROPERTY);
    return true;
}

QString CalendarStore::LocalZoneId() {
    const QString id = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (id.isEmpty() || QTimeZone::systemTimeZone() == QTimeZone::utc() || id.endsWith(u"UTC"))
        return {};
    if (icalcomponent_get_timezone(cal_, id.toUtf8().constData())) return id;
    icaltimezone* builtin = icaltimezone_get_builtin_timezone(id.toUtf8().constData());
    icalcomponent* def = builtin ? icaltimezone_get_component(builtin) : nullptr;
    if (!def) return {};
    // Written under the zone's plain name, which other calendar programs know.
    icalcomponent* copy = icalcomponent_new_clone(def);
    RemoveAll(copy, ICAL_TZID_PROPERTY);
    icalcomponent_add_property(copy, icalproperty_new_tzid(id.toUtf8().constData()));
    icalcomponent_add_component(cal_, copy);
    return id;
}

bool CalendarStore::Save(AppointmentItem* item, QString* error) {
    if (!Refresh(error) || !Writable(error)) return false;
    icalcomponent* c = nullptr;
    if (item->entryId_.isEmpty()) {
        c = icalcomponent_new(ICAL_VEVENT_COMPONENT);
        const QString uid =
            QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral("@ambrelle");
        icalcomponent_set_uid(c, uid.toUtf8().constData());
        icalcomponent_add_property(c,
                                   icalproperty_new_created(Utc(QDateTime::currentDateTimeUtc())));
        icalcomponent_add_component(cal_, c);
        events_.insert(uid, c);
        item->entryId_ = uid;
    } else {
        c = events_.value(item->entryId_);
        if (!c) {
            *error =
                QStringLiteral("The calendar no longer holds the entry %1").arg(item->entryId_);
            return false;
        }
    }
    const QString zone = LocalZoneId();
    SetTime(c, ICAL_DTSTART_PROPERTY, item->start_, zone);
    RemoveAll(c, ICAL_DURATION_PROPERTY);
    SetTime(c, ICAL_DTEND_PROPERTY, item->end_, zone);
    SetText(c, ICAL_SUMMARY_PROPERTY, item->subject_);
    SetText(c, ICAL_LOCATION_PROPERTY, item->location_);
    SetText(c, ICAL_DESCRIPTION_PROPERTY, item->body_);
    RemoveAll(c, ICAL_CATEGORIES_PROPERTY);
    if (!item->categories_.isEmpty())
        icalcomponent_add_property(
            c, icalproperty_new_categories(item->categories_.toUtf8().constData()));
    // The file keeps whole seconds; a second save within one still moves the stamp on.
    QDateTime now = QDateTime::currentDateTimeUtc();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    const QDateTime before = Stamp(c, ICAL_LASTMODIFIED_PROPERTY);
    if (before.isValid() && now <= before) now = before.addSecs(1);
    RemoveAll(c, ICAL_LASTMODIFIED_PROPERTY);
    icalcomponent_add_property(c, icalproperty_new_lastmodified(Utc(now)));
    RemoveAll(c, ICAL_DTSTAMP_PROPERTY);
    icalcomponent_add_property(c, icalproperty_new_dtstamp(Utc(now)));
    item->lastModified_ = now.toLocalTime();
    if (batch_ > 0) {
        unwritten_.insert(item->entryId_);
        return true;
    }
    return WriteFile(error);
}

bool CalendarStore::WriteFile(QString* error) {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    char* text = icalcomponent_as_ical_string_r(cal_);
    QSaveFile f(path_);
    const bool ok =
        f.open(QIODevice::WriteOnly) && f.write(text) == qint64(qstrlen(text)) && f.commit();
    free(text);
    if (!ok) {
        *error = QStringLiteral("The calendar file %1 cannot be written: %2")
                     .arg(path_, f.errorString());
        // What is in memory no longer matches the file: read it again next time.
        stale_ = true;
        unwritten_.clear();
        return false;
    }
    stamp_ = Stat(path_);
    unwritten_.clear();
    return true;
}

bool CalendarStore::EndBatch(QString* error) {
    if (batch_ > 0) --batch_;
    if (batch_ > 0 || unwritten_.isEmpty()) return true;
    return Refresh(error) && WriteFile(error);
}

}  // namespace outlook::detail
