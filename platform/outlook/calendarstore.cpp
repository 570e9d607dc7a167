#include "calendarstore.h"

#include <libical/ical.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QTimeZone>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>

namespace outlook {

namespace {
std::function<void()>& WriteHook() {
    static std::function<void()> hook;
    return hook;
}
}  // namespace

void SetWriteHook(std::function<void()> hook) { WriteHook() = std::move(hook); }

}  // namespace outlook

namespace outlook::detail {

namespace {

// Larger files are refused rather than read: they are no diary a person keeps.
constexpr qint64 kLargestFile = 256LL * 1024 * 1024;

const QByteArray kNewCalendar =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Ambrelle//Tollbook//EN\r\nEND:VCALENDAR\r\n";

// The properties an appointment item holds: a save writes these anew and keeps every other.
bool Written(const QByteArray& name) {
    static const QSet<QByteArray> names = {"DTSTART",     "DTEND",      "DURATION",
                                           "SUMMARY",     "LOCATION",   "DESCRIPTION",
                                           "CATEGORIES",  "LAST-MODIFIED", "DTSTAMP"};
    return names.contains(name);
}

// What reading an item looks at; nothing else of an event reaches libical.
bool ReadByItem(const QByteArray& name) {
    return Written(name) || name == "UID" || name == "CREATED";
}

FileStamp Stat(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, static_cast<qint64>(st.st_size),
            static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<qint64>(st.st_ino)};
}

QString Text(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

QByteArray WithLineEnd(QByteArray raw) {
    if (!raw.endsWith('\n')) raw += "\r\n";
    return raw;
}

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

QDateTime Stamp(icalcomponent* c, icalproperty_kind kind) {
    icalproperty* p = icalcomponent_get_first_property(c, kind);
    return p ? ToLocal(icalvalue_get_datetime(icalproperty_get_value(p))) : QDateTime();
}

// The property as libical writes it (folded, with its line ends); the property is freed.
QByteArray Serialised(icalproperty* p) {
    if (!p) return {};
    char* s = icalproperty_as_ical_string_r(p);
    QByteArray text(s);
    free(s);
    icalproperty_free(p);
    return text;
}

icalproperty* TextProperty(icalproperty_kind kind, const QString& value) {
    if (value.isEmpty()) return nullptr;
    icalproperty* p = icalproperty_new(kind);
    icalproperty_set_value(p, icalvalue_new_text(value.toUtf8().constData()));
    return p;
}

// A local time with the zone it belongs to, or in UTC when the zone has no definition.
icalproperty* TimeProperty(icalproperty_kind kind, const QDateTime& dt, const QString& zone) {
    if (!dt.isValid()) return nullptr;
    icalproperty* p = icalproperty_new(kind);
    if (zone.isEmpty()) {
        icalproperty_set_value(p, icalvalue_new_datetime(Utc(dt)));
    } else {
        const QByteArray wall = dt.toLocalTime().toString(u"yyyyMMdd'T'HHmmss").toLatin1();
        icalproperty_set_value(p, icalvalue_new_datetime(icaltime_from_string(wall.constData())));
        icalproperty_add_parameter(p, icalparameter_new_tzid(zone.toUtf8().constData()));
    }
    return p;
}

QString Reason(const QFileDevice& f) {
    const QString text = f.errorString();
    return text.isEmpty() || text == QStringLiteral("Unknown error") ? qt_error_string(errno)
                                                                     : text;
}

}  // namespace

std::shared_ptr<CalendarStore> CalendarStore::For(const QString& path) {
    static std::map<QString, std::shared_ptr<CalendarStore>> stores;
    const QString key = QFileInfo(path).absoluteFilePath();
    auto& s = stores[key];
    if (!s) s = std::make_shared<CalendarStore>(key);
    return s;
}

bool CalendarStore::Refresh(QString* error) {
    if (loaded_ && Stat(path_) == stamp_) return true;
    return Load(error);
}

bool CalendarStore::Load(QString* error) {
    loaded_ = false;
    events_.clear();
    zones_.clear();
    stamp_ = Stat(path_);
    onDisk_.clear();
    QString why;
    if (stamp_.exists) {
        QFile f(path_);
        if (QFileInfo(path_).isDir()) {
            why = QStringLiteral("The calendar file %1 cannot be read: it is a folder").arg(path_);
        } else if (f.size() > kLargestFile) {
            why = QStringLiteral("The calendar file %1 is too large to be read (%2 MB; files up "
                                 "to %3 MB are read)")
                      .arg(path_)
                      .arg(f.size() / (1024 * 1024))
                      .arg(kLargestFile / (1024 * 1024));
        } else if (!f.open(QIODevice::ReadOnly)) {
            why = QStringLiteral("The calendar file %1 cannot be read: %2").arg(path_, Reason(f));
        } else {
            onDisk_ = f.readAll();
            if (f.error() != QFileDevice::NoError)
                why = QStringLiteral("The calendar file %1 cannot be read: %2")
                          .arg(path_, Reason(f));
        }
    }
    QString split;
    const bool blank = std::all_of(onDisk_.cbegin(), onDisk_.cend(),
                                   [](char c) { return QChar::isSpace(static_cast<uchar>(c)); });
    if (why.isEmpty() && blank) {
        SplitCalendar(kNewCalendar, &file_, &split);
    } else if (why.isEmpty() && !SplitCalendar(onDisk_, &file_, &split)) {
        why = QStringLiteral("The file %1 is not an iCalendar file: %2").arg(path_, split);
    }
    if (!why.isEmpty()) {
        *error = why;
        stamp_ = {};
        file_ = CalendarText();
        return false;
    }
    Index();
    loaded_ = true;
    return true;
}

void CalendarStore::Index() {
    events_.clear();
    zones_.clear();
    for (qsizetype i = 0; i < file_.components.size(); ++i) {
        const RawComponent& c = file_.components[i];
        // A changed occurrence of a series shares the series' UID; the series is the item.
        if (c.kind == "VEVENT" && !c.recurrenceId && !c.uid.isEmpty() && !events_.contains(c.uid))
            events_.insert(c.uid, i);
        if (c.kind == "VTIMEZONE" && !c.tzid.isEmpty() && !zones_.contains(c.tzid))
            zones_.insert(c.tzid, i);
    }
}

bool CalendarStore::Writable(QString* error) const {
    const QFileInfo info(path_);
    // The mode bits count even for a user the system would let write.
    const auto writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && ::access(QFile::encodeName(path_).constData(), W_OK) != 0) {
        *error = QStringLiteral("The calendar file %1 cannot be written: %2")
                     .arg(path_, qt_error_string(errno));
        return false;
    }
    if (info.exists() && !(info.permissions() & writeBits)) {
        *error = QStringLiteral("The calendar file %1 is read-only").arg(path_);
        return false;
    }
    QFileInfo dir(info.absolutePath());
    while (!dir.exists() && dir.absoluteFilePath() != QDir::rootPath())
        dir = QFileInfo(dir.absolutePath());
    const QByteArray dirName = QFile::encodeName(dir.absoluteFilePath());
    if (!dir.isDir() || ::access(dirName.constData(), W_OK) != 0) {
        *error = QStringLiteral("The calendar file %1 cannot be written: %2")
                     .arg(path_, dir.isDir() ? qt_error_string(errno)
                                             : QStringLiteral("%1 is not a folder")
                                                   .arg(dir.absoluteFilePath()));
        return false;
    }
    return true;
}

QByteArray CalendarStore::EventText(const QString& uid) const {
    if (auto s = staged_.constFind(uid); s != staged_.cend()) return *s;
    if (auto e = events_.constFind(uid); e != events_.cend()) {
        const Span span = file_.components[*e].span;
        return file_.bytes.mid(span.begin, span.end - span.begin);
    }
    return {};
}

QByteArray CalendarStore::ZoneText(const QString& tzid) const {
    if (auto z = zones_.constFind(tzid); z != zones_.cend()) {
        const Span span = file_.components[*z].span;
        return WithLineEnd(file_.bytes.mid(span.begin, span.end - span.begin));
    }
    return tzid == stagedZoneId_ ? stagedZone_ : QByteArray();
}

bool CalendarStore::Read(const QString& uid, AppointmentItem* item) {
    const QByteArray text = EventText(uid);
    if (text.isEmpty()) return false;
    // Only the properties an item has go to libical, with the zones their times name.
    QByteArray calendar = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    QByteArray event = "BEGIN:VEVENT\r\n";
    QSet<QByteArray> zones;
    for (const Piece& piece : SplitComponent(text, {0, text.size()}).pieces) {
        if (!ReadByItem(piece.name)) continue;
        const QByteArray raw = WithLineEnd(text.mid(piece.span.begin, piece.span.end - piece.span.begin));
        event += raw;
        if (piece.name != "DTSTART" && piece.name != "DTEND") continue;
        const QByteArray zone = ParameterValue(raw, "TZID");
        if (!zone.isEmpty() && !zones.contains(zone)) {
            zones.insert(zone);
            calendar += ZoneText(QString::fromUtf8(zone));
        }
    }
    calendar += event + "END:VEVENT\r\nEND:VCALENDAR\r\n";
    icalcomponent* cal = ParseComponent(calendar);
    icalcomponent* c = cal ? icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT) : nullptr;
    if (!c) {
        if (cal) icalcomponent_free(cal);
        return false;
    }
    item->entryId_ = uid;
    item->created_ = false;
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
    icalcomponent_free(cal);
    return true;
}

QByteArray CalendarStore::Lines(QByteArray text) const {
    if (file_.newline == "\n") text.replace("\r\n", "\n");
    return text;
}

QString CalendarStore::LocalZoneId() {
    const QString id = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (id.isEmpty() || QTimeZone::systemTimeZone() == QTimeZone::utc() || id.endsWith(u"UTC"))
        return {};
    if (zones_.contains(id) || stagedZoneId_ == id) return id;
    icaltimezone* builtin = icaltimezone_get_builtin_timezone(id.toUtf8().constData());
    icalcomponent* def = builtin ? icaltimezone_get_component(builtin) : nullptr;
    if (!def) return {};
    // Written under the zone's plain name, which other calendar programs know.
    icalcomponent* copy = icalcomponent_new_clone(def);
    while (icalproperty* p = icalcomponent_get_first_property(copy, ICAL_TZID_PROPERTY)) {
        icalcomponent_remove_property(copy, p);
        icalproperty_free(p);
    }
    icalcomponent_add_property(copy, icalproperty_new_tzid(id.toUtf8().constData()));
    char* text = icalcomponent_as_ical_string_r(copy);
    stagedZone_ = Lines(QByteArray(text));
    stagedZoneId_ = id;
    free(text);
    icalcomponent_free(copy);
    return id;
}

bool CalendarStore::Save(AppointmentItem* item, QString* error) {
    if (!Refresh(error) || !Writable(error)) return false;
    const QString uid = item->entryId_.isEmpty()
                            ? QUuid::createUuid().toString(QUuid::WithoutBraces) +
                                  QStringLiteral("@ambrelle")
                            : item->entryId_;
    QByteArray base = EventText(uid);
    QDateTime before;
    if (!base.isEmpty()) {
        AppointmentItem old;
        if (Read(uid, &old)) before = old.lastModified_;
    } else if (item->created_) {
        base = Lines("BEGIN:VEVENT\r\n" +
                     Serialised(icalproperty_new_uid(uid.toUtf8().constData())) +
                     Serialised(icalproperty_new_created(Utc(QDateTime::currentDateTimeUtc()))) +
                     "END:VEVENT\r\n");
    } else {
        *error = QStringLiteral("The calendar no longer holds the entry %1").arg(uid);
        return false;
    }
    // The file keeps whole seconds; a second save within one still moves the stamp on.
    QDateTime now = QDateTime::currentDateTimeUtc();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    if (before.isValid() && now <= before) now = before.addSecs(1);

    const QString zone = LocalZoneId();
    QByteArray props = Serialised(TimeProperty(ICAL_DTSTART_PROPERTY, item->start_, zone)) +
                       Serialised(TimeProperty(ICAL_DTEND_PROPERTY, item->end_, zone)) +
                       Serialised(TextProperty(ICAL_SUMMARY_PROPERTY, item->subject_)) +
                       Serialised(TextProperty(ICAL_LOCATION_PROPERTY, item->location_)) +
                       Serialised(TextProperty(ICAL_DESCRIPTION_PROPERTY, item->body_));
    if (!item->categories_.isEmpty())
        props += Serialised(icalproperty_new_categories(item->categories_.toUtf8().constData()));
    props += Serialised(icalproperty_new_lastmodified(Utc(now))) +
             Serialised(icalproperty_new_dtstamp(Utc(now)));
    props = Lines(props);

    // Every line the item does not hold stays where and as it was.
    const ComponentPieces parts = SplitComponent(base, {0, base.size()});
    auto raw = [&](Span s) { return base.mid(s.begin, s.end - s.begin); };
    QByteArray text = WithLineEnd(raw(parts.open));
    bool placed = false;
    for (const Piece& piece : parts.pieces) {
        if (!Written(piece.name)) {
            text += WithLineEnd(raw(piece.span));
        } else if (!placed) {
            text += props;
            placed = true;
        }
    }
    if (!placed) text += props;
    text += parts.close.end > parts.close.begin ? WithLineEnd(raw(parts.close))
                                                : Lines("END:VEVENT\r\n");
    Stage(uid, text);
    item->entryId_ = uid;
    item->created_ = false;
    item->lastModified_ = now.toLocalTime();
    return batch_ || WriteFile(error);
}

void CalendarStore::Stage(const QString& uid, const QByteArray& text) {
    auto found = staged_.find(uid);
    if (batch_)
        undo_.push_back({uid, found == staged_.end() ? std::nullopt
                                                     : std::optional<QByteArray>(*found)});
    if (found == staged_.end()) order_ << uid;
    staged_[uid] = text;
}

void CalendarStore::ClearStaged() {
    staged_.clear();
    order_.clear();
    undo_.clear();
    stagedZone_.clear();
    stagedZoneId_.clear();
}

void CalendarStore::BeginBatch() {
    batch_ = true;
    undo_.clear();
    replaced_.reset();
}

void CalendarStore::RollbackTo(int savepoint) {
    while (static_cast<int>(undo_.size()) > std::max(savepoint, 0)) {
        const Undo u = undo_.back();
        undo_.pop_back();
        if (u.before) {
            staged_[u.uid] = *u.before;
        } else {
            // Saves are undone last first: an event first saved is the last one listed.
            staged_.remove(u.uid);
            order_.removeLast();
        }
    }
}

bool CalendarStore::EndBatch(QString* error) {
    batch_ = false;
    return WriteFile(error);
}

void CalendarStore::DiscardBatch() {
    batch_ = false;
    ClearStaged();
}

bool CalendarStore::WriteFile(QString* error) {
    if (staged_.isEmpty()) {
        ClearStaged();
        return true;
    }
    // Another program may have written the file since it was read: the saves go into its version.
    if (!Refresh(error)) {
        ClearStaged();
        return false;
    }
    struct Edit {
        qsizetype begin, end;
        QByteArray text;
    };
    std::vector<Edit> edits;
    if (!stagedZone_.isEmpty() && !zones_.contains(stagedZoneId_))
        edits.push_back({file_.zonesAt, file_.zonesAt, stagedZone_});
    QByteArray added;
    for (const QString& uid : std::as_const(order_)) {
        if (auto e = events_.constFind(uid); e != events_.cend()) {
            const Span span = file_.components[*e].span;
            edits.push_back({span.begin, span.end, staged_.value(uid)});
        } else {
            added += staged_.value(uid);
        }
    }
    edits.push_back({file_.endAt, file_.endAt, added});
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
    });
    qsizetype size = file_.bytes.size();
    for (const Edit& e : edits) size += e.text.size() - (e.end - e.begin);
    QByteArray out;
    out.reserve(size);
    qsizetype at = 0;
    for (const Edit& e : edits) {
        out += QByteArrayView(file_.bytes).sliced(at, e.begin - at);
        out += e.text;
        at = e.end;
    }
    out += QByteArrayView(file_.bytes).sliced(at);

    if (!Put(out, error)) {
        ClearStaged();
        return false;
    }
    replaced_ = Replaced{stamp_.exists, onDisk_};
    QString ignored;
    SplitCalendar(out, &file_, &ignored);
    onDisk_ = out;
    stamp_ = Stat(path_);
    Index();
    ClearStaged();
    if (WriteHook()) WriteHook()();
    return true;
}

bool CalendarStore::Put(const QByteArray& bytes, QString* error) {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile f(path_);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit()) return true;
    *error = QStringLiteral("The calendar file %1 cannot be written: %2").arg(path_, Reason(f));
    return false;
}

bool CalendarStore::Restore(QString* error) {
    if (!replaced_) return true;
    const Replaced r = *replaced_;
    replaced_.reset();
    loaded_ = false;  // read again at the next use
    if (r.existed) return Put(r.bytes, error);
    if (QFile::remove(path_) || !QFileInfo::exists(path_)) return true;
    *error = QStringLiteral("The calendar file %1 cannot be removed: %2")
                 .arg(path_, qt_error_string(errno));
    return false;
}

}  // namespace outlook::detail
