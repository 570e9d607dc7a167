#include "calendarstore.h"

#include <libical/ical.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <QTimeZone>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <map>

#include "platform/files/savefile.h"

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

QString Text(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

QByteArray WithLineEnd(QByteArray raw) {
    if (!raw.endsWith('\n')) raw += "\r\n";
    return raw;
}

QDateTime Stamp(icalcomponent* c, icalproperty_kind kind) {
    return LocalTime(icalcomponent_get_first_property(c, kind), nullptr);
}

}  // namespace

FileStamp Stat(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, static_cast<qint64>(st.st_size),
            static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<qint64>(st.st_ino)};
}

std::shared_ptr<CalendarStore> CalendarStore::For(const QString& path) {
    static std::map<QString, std::shared_ptr<CalendarStore>> stores;
    const QString key = QFileInfo(path).absoluteFilePath();
    auto& s = stores[key];
    if (!s) s = std::make_shared<CalendarStore>(key);
    return s;
}

bool CalendarStore::Refresh(QString* error) {
    if (loaded_ && Stat(path_) == stamp_) return true;
    // A program that writes the file in place leaves it short or empty for a moment: while
    // it keeps changing, it is read again once that write is likely done.
    constexpr int kRereads = 5;
    for (int attempt = 0;; ++attempt) {
        const FileStamp before = Stat(path_);
        const bool ok = Load(error);
        if ((ok && !blank_) || attempt == kRereads) return ok;
        QThread::msleep(20);
        if (Stat(path_) == before) return ok;
    }
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
            why = QStringLiteral("The calendar file %1 cannot be read: %2").arg(path_, files::Reason(f));
        } else {
            onDisk_ = f.readAll();
            if (f.error() != QFileDevice::NoError)
                why = QStringLiteral("The calendar file %1 cannot be read: %2")
                          .arg(path_, files::Reason(f));
        }
    }
    QString split;
    if (why.isEmpty() && !Took(onDisk_, &split))
        why = QStringLiteral("The file %1 is not an iCalendar file: %2").arg(path_, split);
    sawContent_ = sawContent_ || (why.isEmpty() && !blank_);
    if (!why.isEmpty()) {
        *error = why;
        blank_ = false;
        stamp_ = {};
        file_ = CalendarText();
        return false;
    }
    loaded_ = true;
    return true;
}

bool CalendarStore::Took(const QByteArray& bytes, QString* error) {
    onDisk_ = bytes;
    blank_ = std::all_of(bytes.cbegin(), bytes.cend(),
                         [](char c) { return QChar::isSpace(static_cast<uchar>(c)); });
    // A blank file is read as a calendar holding nothing, so that what is added to it
    // goes inside one.
    if (!SplitCalendar(blank_ ? kNewCalendar : bytes, &file_, error)) return false;
    Index();
    return true;
}

void CalendarStore::Index() {
    events_.clear();
    zones_.clear();
    resolved_.clear();
    zoneCache_.Trim();  // no zone is held now
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

std::optional<QByteArray> CalendarStore::FileEventText(const QString& uid) const {
    const auto e = events_.constFind(uid);
    if (e == events_.cend()) return std::nullopt;
    const Span span = file_.components[*e].span;
    return file_.bytes.mid(span.begin, span.end - span.begin);
}

icaltimezone* CalendarStore::Zone(const QByteArray& tzid) {
    if (tzid.isEmpty()) return nullptr;
    if (auto found = resolved_.constFind(tzid); found != resolved_.cend()) return *found;
    const QByteArray definition = ZoneText(QString::fromUtf8(tzid));
    icaltimezone* zone = definition.isEmpty() ? nullptr : zoneCache_.FromDefinition(definition);
    if (!zone) zone = BuiltinZone(tzid);
    resolved_.insert(tzid, zone);
    return zone;
}

namespace {

// One content line's value when the line is NAME:VALUE on a line of its own, without
// parameters (names compared without case); empty otherwise.
QByteArrayView PlainValue(QByteArrayView line, QByteArrayView name) {
    if (line.size() <= name.size() || line[name.size()] != ':' ||
        QByteArrayView(line.first(name.size())).compare(name, Qt::CaseInsensitive) != 0)
        return {};
    return line.sliced(name.size() + 1);
}

// The entry's change time, when its stamps are UTC times on lines of their own (as calendar
// programs write them), read without libical; nullopt when libical must read them.
std::optional<QDateTime> QuickStamp(const QByteArray& text) {
    static const QByteArrayView names[] = {"LAST-MODIFIED", "DTSTAMP", "CREATED"};
    QByteArrayView values[3];
    int depth = 0;
    bool watched = false;  // the line before is one of the stamps
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = text.indexOf('\n', at);
        end = end < 0 ? text.size() : end + 1;
        QByteArrayView line(text.constData() + at, end - at);
        at = end;
        if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            if (watched) return std::nullopt;  // folded
            continue;
        }
        watched = false;
        while (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r')) line.chop(1);
        const auto starts = [&](QByteArrayView word) {
            return line.size() >= word.size() &&
                   QByteArrayView(line.first(word.size())).compare(word, Qt::CaseInsensitive) == 0;
        };
        if (starts("BEGIN:")) {
            ++depth;
        } else if (starts("END:")) {
            --depth;
        } else if (depth == 1) {
            for (int n = 0; n < 3; ++n) {
                const qsizetype head = names[n].size();
                if (line.size() < head ||
                    QByteArrayView(line.first(head)).compare(names[n], Qt::CaseInsensitive) != 0)
                    continue;
                if (line.size() > head && line[head] != ':' && line[head] != ';') continue;
                watched = true;
                if (values[n].isNull()) {
                    values[n] = PlainValue(line, names[n]);
                    if (values[n].size() != 16) return std::nullopt;
                }
            }
        }
    }
    for (const QByteArrayView v : values) {
        if (v.isNull()) continue;
        const QDateTime t = QDateTime::fromString(QString::fromLatin1(v), u"yyyyMMdd'T'HHmmss'Z'");
        if (!t.isValid()) return std::nullopt;
        return QDateTime::fromSecsSinceEpoch(QDateTime(t.date(), t.time(), Qt::UTC).toSecsSinceEpoch());
    }
    return QDateTime();
}

}  // namespace

bool CalendarStore::Read(const QString& uid, AppointmentItem* item) {
    const QByteArray text = EventText(uid);
    if (text.isEmpty()) return false;
    const std::optional<QDateTime> stamp = QuickStamp(text);
    if (stamp) {
        item->unread_ = true;
        item->lastModified_ = *stamp;
    } else if (!ReadValues(text, &item->values_, &item->lastModified_)) {
        return false;
    } else {
        item->unread_ = false;
    }
    item->entryId_ = uid;
    item->created_ = false;
    item->read_ = text;
    return true;
}

bool CalendarStore::ReadValues(const QByteArray& text, AppointmentItem::Values* values,
                               QDateTime* stamp) {
    // Only the properties an item has go to libical; the zones their times name are the
    // ones already made from the file's definitions.
    QByteArray event = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\n";
    QStringList categories;
    for (const Piece& piece : SplitComponent(text, {0, text.size()}).pieces) {
        if (!ReadByItem(piece.name)) continue;
        const QByteArrayView raw(text.constData() + piece.span.begin,
                                 piece.span.end - piece.span.begin);
        if (piece.name == "CATEGORIES")
            categories += SplitCategories(LineValue(raw));
        else
            event += WithLineEnd(raw.toByteArray());
    }
    event += "END:VEVENT\r\nEND:VCALENDAR\r\n";
    icalcomponent* cal = ParseComponent(event);
    icalcomponent* c = cal ? icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT) : nullptr;
    if (!c) {
        if (cal) icalcomponent_free(cal);
        *values = {};
        return false;
    }
    const auto zoneOf = [this](icalproperty* p) -> icaltimezone* {
        icalparameter* z = p ? icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER) : nullptr;
        return z ? Zone(QByteArray(icalparameter_get_tzid(z))) : nullptr;
    };
    icalproperty* start = icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY);
    icalproperty* end = icalcomponent_get_first_property(c, ICAL_DTEND_PROPERTY);
    icalproperty* duration = icalcomponent_get_first_property(c, ICAL_DURATION_PROPERTY);
    values->start = LocalTime(start, zoneOf(start));
    values->end = end ? LocalTime(end, zoneOf(end))
                      : duration ? LocalEnd(start, zoneOf(start), duration) : QDateTime();
    values->subject = Text(icalcomponent_get_summary(c));
    values->location = Text(icalcomponent_get_location(c));
    values->body = Text(icalcomponent_get_description(c));
    categories.removeAll(QString());
    values->categories = categories.join(QStringLiteral(", "));
    if (stamp) {
        *stamp = Stamp(c, ICAL_LASTMODIFIED_PROPERTY);
        if (!stamp->isValid()) *stamp = Stamp(c, ICAL_DTSTAMP_PROPERTY);
        if (!stamp->isValid()) *stamp = Stamp(c, ICAL_CREATED_PROPERTY);
    }
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
    if (!item->created_ && base.isEmpty()) {
        *error = QStringLiteral("The calendar no longer holds the entry %1").arg(uid);
        return false;
    }
    if (!item->created_ && base != item->read_) {
        *error = QStringLiteral("Another program changed the calendar entry %1 after it was "
                                "read; its change is kept")
                     .arg(uid);
        return false;
    }
    if (!base.isEmpty()) {
        AppointmentItem old;
        if (Read(uid, &old)) before = old.lastModified_;
    } else {
        base = Lines("BEGIN:VEVENT\r\n" +
                     Serialised(icalproperty_new_uid(uid.toUtf8().constData())) +
                     Serialised(UtcProperty(ICAL_CREATED_PROPERTY, QDateTime::currentDateTimeUtc())) +
                     "END:VEVENT\r\n");
    }
    // The file keeps whole seconds; a second save within one still moves the stamp on.
    QDateTime now = QDateTime::currentDateTimeUtc();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    if (before.isValid() && now <= before) now = before.addSecs(1);

    const QString zone = LocalZoneId();
    const AppointmentItem::Values& v = item->values();
    QByteArray props = Serialised(TimeProperty(ICAL_DTSTART_PROPERTY, v.start, zone)) +
                       Serialised(TimeProperty(ICAL_DTEND_PROPERTY, v.end, zone)) +
                       Serialised(TextProperty(ICAL_SUMMARY_PROPERTY, v.subject)) +
                       Serialised(TextProperty(ICAL_LOCATION_PROPERTY, v.location)) +
                       Serialised(TextProperty(ICAL_DESCRIPTION_PROPERTY, v.body));
    props += CategoriesLine(v.categories) +
             Serialised(UtcProperty(ICAL_LASTMODIFIED_PROPERTY, now)) +
             Serialised(UtcProperty(ICAL_DTSTAMP_PROPERTY, now));
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
    item->read_ = text;
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
    if (found == staged_.end()) {
        order_ << uid;
        if (!base_.contains(uid)) base_.insert(uid, FileEventText(uid));
    }
    staged_[uid] = text;
}

void CalendarStore::ClearStaged() {
    staged_.clear();
    base_.clear();
    order_.clear();
    undo_.clear();
    stagedZone_.clear();
    stagedZoneId_.clear();
}

void CalendarStore::BeginBatch() {
    batch_ = true;
    QString unread;  // a file that cannot be read is refused at the first use
    Refresh(&unread);
    sawContent_ = loaded_ && !blank_;
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
            base_.remove(u.uid);
            order_.removeLast();
        }
    }
}

void CalendarStore::DiscardBatch() {
    batch_ = false;
    ClearStaged();
}

}  // namespace outlook::detail
