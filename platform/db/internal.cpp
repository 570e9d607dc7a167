#include "internal.h"

#include "connection.h"
#include "value.h"

#include <QHash>
#include <QLocale>
#include <QTimeZone>

#include <cmath>
#include <limits>

namespace db::detail {

namespace {

// "yyyy-MM-dd[ HH:mm[:ss]]" in UTF-16 or in the engine's UTF-8, read alike.
template <typename Char>
std::optional<StoredDate> ParseStoredDate(const Char* s, qsizetype size) {
    if (size != 19 && size != 16 && size != 10) return std::nullopt;
    if (s[4] != '-' || s[7] != '-') return std::nullopt;
    if (size > 10 && (s[10] != ' ' && s[10] != 'T')) return std::nullopt;
    if (size > 10 && s[13] != ':') return std::nullopt;
    if (size == 19 && s[16] != ':') return std::nullopt;
    int parts[6] = {0, 0, 0, 0, 0, 0};
    static constexpr int at[6] = {0, 5, 8, 11, 14, 17};
    const int count = size == 19 ? 6 : size == 16 ? 5 : 3;
    for (int i = 0; i < count; ++i) {
        int value = 0;
        for (int k = at[i]; k < at[i] + (i == 0 ? 4 : 2); ++k) {
            const auto c = s[k];
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        parts[i] = value;
    }
    if (!QDate::isValid(parts[0], parts[1], parts[2]) || !QTime::isValid(parts[3], parts[4], parts[5]))
        return std::nullopt;
    return StoredDate{((((qint64(parts[0]) * 100 + parts[1]) * 100 + parts[2]) * 100 + parts[3]) * 100 + parts[4]) * 100 +
                      parts[5]};
}

}  // namespace

std::optional<StoredDate> StoredDateFromText(QStringView s) { return ParseStoredDate(s.utf16(), s.size()); }

StoredDate ToStoredDate(const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    return StoredDate{((((qint64(d.year()) * 100 + d.month()) * 100 + d.day()) * 100 + t.hour()) * 100 + t.minute()) * 100 +
                      t.second()};
}

namespace {
struct Parts {
    int y, mo, d, h, mi, s;
};
Parts Split(StoredDate v) {
    qint64 k = v.key;
    Parts p{};
    p.s = static_cast<int>(k % 100);
    k /= 100;
    p.mi = static_cast<int>(k % 100);
    k /= 100;
    p.h = static_cast<int>(k % 100);
    k /= 100;
    p.d = static_cast<int>(k % 100);
    k /= 100;
    p.mo = static_cast<int>(k % 100);
    p.y = static_cast<int>(k / 100);
    return p;
}
}  // namespace

QDateTime FromStoredDate(StoredDate v) {
    // A local time costs the C library a look at the zone's rules; a month's appointments
    // share a few thousand start and finish times, read over and over by sorts, grids and the
    // calendar, so the times made lately are kept.
    constexpr qsizetype kKept = 16384;
    thread_local QHash<qint64, QDateTime> made;
    if (const auto it = made.constFind(v.key); it != made.cend()) return *it;
    if (made.size() >= kKept) made.clear();
    const Parts p = Split(v);
    return *made.insert(v.key, LocalDateTime(QDate(p.y, p.mo, p.d), QTime(p.h, p.mi, p.s)));
}

namespace {

// Whether every local time of the day around `utc` exists and is told apart: no clock change
// within a day of it. The zone's rules are read once.
bool NoClockChangeNear(const QDateTime& utc) {
    static const QTimeZone zone = QTimeZone::systemTimeZone();
    if (!zone.isValid()) return false;
    if (!zone.hasTransitions()) return !zone.hasDaylightTime();
    return zone.transitions(utc.addDays(-1), utc.addDays(1)).isEmpty();
}

}  // namespace

QString StoredDateDisplay(StoredDate v) {
    const Parts p = Split(v);
    // The stored wall time as UTC, which has no clock changes of its own to convert across.
    const QDateTime wall(QDate(p.y, p.mo, p.d), QTime(p.h, p.mi, p.s), Qt::UTC);
    return ValueText(wall.isValid() && NoClockChangeNear(wall) ? wall : FromStoredDate(v));
}

QString StoredDateText(StoredDate v) {
    const Parts p = Split(v);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.y, p.mo, p.d, p.h, p.mi, p.s);
}

std::optional<qint64> DateKey(const QVariant& v) {
    if (IsNull(v)) return std::nullopt;
    if (v.metaType() == QMetaType::fromType<StoredDate>()) return v.value<StoredDate>().key;
    if (v.metaType().id() == QMetaType::QString) {
        if (auto d = StoredDateFromText(*static_cast<const QString*>(v.constData()))) return d->key;
    }
    if (auto dt = ToDateTime(v)) return ToStoredDate(*dt).key;
    return std::nullopt;
}

QString EngineError(sqlite3* db) {
    if (!db) return QStringLiteral("out of memory");
    if (WaitingOn(db) || (sqlite3_errcode(db) & 0xff) == SQLITE_BUSY) return kDatabaseBusy;
    return QString::fromUtf8(sqlite3_errmsg(db));
}

bool PrepareOne(Statement& stmt, sqlite3* db, const QString& sql, QString* error) {
    bool more = false;
    if (stmt.Prepare(db, sql, &more) != SQLITE_OK) {
        *error = EngineError(db);
        return false;
    }
    if (more) *error = QStringLiteral("Characters found after end of SQL statement.");
    return !more;
}

bool Exec(sqlite3* db, const QString& sql, const QVariantList& values, QString* error,
          int* changes) {
    Statement stmt;
    if (!PrepareOne(stmt, db, sql, error)) return false;
    for (int i = 0; i < values.size(); ++i) Bind(stmt.get(), i + 1, values[i]);
    int rc;
    while ((rc = Step(stmt.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        *error = EngineError(db);
        return false;
    }
    if (changes) *changes = sqlite3_changes(db);
    return true;
}

namespace {

QString ColumnText(sqlite3_stmt* stmt, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                             sqlite3_column_bytes(stmt, column));
}

QVariant WholeNumber(qint64 v) {
    if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
        return QVariant(static_cast<int>(v));
    return QVariant(static_cast<qlonglong>(v));
}

}  // namespace

std::optional<double> ParseNumber(const QString& text) {
    bool ok = false;
    const QString t = text.trimmed();
    double d = t.toDouble(&ok);
    if (ok) return d;
    d = QLocale().toDouble(t, &ok);
    return ok ? std::optional(d) : std::nullopt;
}

QVariant ReadColumn(sqlite3_stmt* stmt, int column, Kind kind) {
    const int type = sqlite3_column_type(stmt, column);
    if (type == SQLITE_NULL) return QVariant();
    switch (kind) {
        case Kind::DateTime: {
            // Kept as a number; turned into a QDateTime when a caller reads it. Text that is
            // no stored date stays as it is.
            // Read from the engine's own text: most of a long list's cells are dates.
            const auto* utf8 = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            if (auto d = ParseStoredDate(utf8, sqlite3_column_bytes(stmt, column))) return QVariant::fromValue(*d);
            return ColumnText(stmt, column);
        }
        case Kind::Currency: {
            // An amount beyond the currency's range (written by another program) is read as
            // the plain number it is.
            std::optional<Currency> c;
            if (type == SQLITE_INTEGER) {
                c = Currency::fromWholeNumber(sqlite3_column_int64(stmt, column));
                if (!c) return QVariant(static_cast<qlonglong>(sqlite3_column_int64(stmt, column)));
            } else if (type == SQLITE_FLOAT) {
                c = Currency::fromDouble(sqlite3_column_double(stmt, column));
                if (!c) return QVariant(sqlite3_column_double(stmt, column));
            } else {
                // Text, or the digits of an amount a double cannot hold.
                c = Currency::fromPlainText(ColumnText(stmt, column));
            }
            return c ? QVariant::fromValue(*c) : QVariant(ColumnText(stmt, column));
        }
        case Kind::YesNo:
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return QVariant(sqlite3_column_double(stmt, column) != 0);
            return ColumnText(stmt, column);
        case Kind::Text:
            return ColumnText(stmt, column);
        case Kind::Binary:
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                              sqlite3_column_bytes(stmt, column));
        default:
            break;
    }
    switch (type) {
        case SQLITE_INTEGER:
            return WholeNumber(sqlite3_column_int64(stmt, column));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(stmt, column));
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                              sqlite3_column_bytes(stmt, column));
        default:
            return ColumnText(stmt, column);
    }
}

bool Bind(sqlite3_stmt* stmt, int index, const QVariant& v) {
    if (IsNull(v)) return sqlite3_bind_null(stmt, index) == SQLITE_OK;
    switch (v.metaType().id()) {
        case QMetaType::Bool:
            return sqlite3_bind_int(stmt, index, v.toBool() ? 1 : 0) == SQLITE_OK;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            return sqlite3_bind_int64(stmt, index, v.toLongLong()) == SQLITE_OK;
        case QMetaType::ULongLong:
            return sqlite3_bind_int64(stmt, index, static_cast<sqlite3_int64>(v.toULongLong())) == SQLITE_OK;
        case QMetaType::Double:
        case QMetaType::Float:
            return sqlite3_bind_double(stmt, index, v.toDouble()) == SQLITE_OK;
        case QMetaType::QDateTime:
            return Bind(stmt, index, CanonicalDateText(v.toDateTime()));
        case QMetaType::QDate:
            return Bind(stmt, index, CanonicalDateText(QDateTime(v.toDate(), QTime(0, 0))));
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            return sqlite3_bind_blob(stmt, index, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT) == SQLITE_OK;
        }
        default:
            break;
    }
    if (v.metaType() == QMetaType::fromType<StoredDate>()) return Bind(stmt, index, StoredDateText(v.value<StoredDate>()));
    if (v.metaType() == QMetaType::fromType<Currency>()) {
        const Currency c = v.value<Currency>();
        if (c.ticks() % Currency::kScale == 0)
            return sqlite3_bind_int64(stmt, index, c.ticks() / Currency::kScale) == SQLITE_OK;
        // The engine keeps a fraction as a double, which holds ten-thousandths exactly only up
        // to about 900 billion. An amount the double would change is kept as its digits, in a
        // form the column's numeric affinity leaves alone (text would be turned into a double
        // all the same); the engine still counts with it as the number it spells.
        const double d = c.toDouble();
        if (Currency::fromDouble(d) == c) return sqlite3_bind_double(stmt, index, d) == SQLITE_OK;
        const QByteArray digits = c.toPlainText().toLatin1();
        return sqlite3_bind_blob(stmt, index, digits.constData(), static_cast<int>(digits.size()),
                                 SQLITE_TRANSIENT) == SQLITE_OK;
    }
    const QByteArray u = v.toString().toUtf8();
    return sqlite3_bind_text(stmt, index, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

std::optional<QVariant> ToCell(const QVariant& v, Kind kind, bool* overflow) {
    if (overflow) *overflow = false;
    auto money = [overflow](std::optional<Currency> c) -> std::optional<QVariant> {
        if (!c) {
            if (overflow) *overflow = true;
            return std::nullopt;
        }
        return QVariant::fromValue(*c);
    };
    if (IsNull(v)) return QVariant();
    const bool isText = v.metaType().id() == QMetaType::QString;
    const bool emptyText = isText && v.toString().trimmed().isEmpty();
    const bool isCurrency = v.metaType() == QMetaType::fromType<Currency>();
    switch (kind) {
        case Kind::DateTime: {
            if (emptyText) return QVariant();
            if (v.metaType() == QMetaType::fromType<StoredDate>()) return v;
            const auto dt = ToDateTime(v);
            if (!dt) return std::nullopt;
            return QVariant::fromValue(ToStoredDate(*dt));
        }
        case Kind::Currency: {
            if (emptyText) return QVariant();
            if (isCurrency) return v;
            if (isText) {
                if (auto c = Currency::fromPlainText(v.toString())) return QVariant::fromValue(*c);
                if (auto d = ParseNumber(v.toString())) return money(Currency::fromDouble(*d));
                return std::nullopt;
            }
            switch (v.metaType().id()) {
                case QMetaType::Int:
                case QMetaType::UInt:
                case QMetaType::LongLong:
                case QMetaType::Short:
                case QMetaType::UShort:
                    return money(Currency::fromWholeNumber(v.toLongLong()));
                default:
                    break;
            }
            bool ok = false;
            const double d = v.toDouble(&ok);
            if (!ok || std::isnan(d)) return std::nullopt;
            return money(Currency::fromDouble(d));
        }
        case Kind::YesNo: {
            if (v.metaType().id() == QMetaType::Bool) return v;
            if (isText) {
                const QString t = v.toString().trimmed();
                if (t.isEmpty()) return QVariant(false);
                if (t.compare(u"true", Qt::CaseInsensitive) == 0 || t.compare(u"yes", Qt::CaseInsensitive) == 0 ||
                    t.compare(u"on", Qt::CaseInsensitive) == 0)
                    return QVariant(true);
                if (t.compare(u"false", Qt::CaseInsensitive) == 0 || t.compare(u"no", Qt::CaseInsensitive) == 0 ||
                    t.compare(u"off", Qt::CaseInsensitive) == 0)
                    return QVariant(false);
                if (auto d = ParseNumber(t)) return QVariant(*d != 0);
                return std::nullopt;
            }
            if (isCurrency) return QVariant(v.value<Currency>().ticks() != 0);
            bool ok = false;
            const double d = v.toDouble(&ok);
            if (!ok) return std::nullopt;
            return QVariant(d != 0);
        }
        case Kind::Integer: {
            if (emptyText) return QVariant();
            double d;
            if (isText) {
                const auto p = ParseNumber(v.toString());
                if (!p) return std::nullopt;
                d = *p;
            } else if (isCurrency) {
                d = v.value<Currency>().toDouble();
            } else if (v.metaType().id() == QMetaType::Bool) {
                d = v.toBool() ? -1 : 0;
            } else if (v.metaType().id() == QMetaType::Int || v.metaType().id() == QMetaType::LongLong) {
                return WholeNumber(v.toLongLong());
            } else {
                bool ok = false;
                d = v.toDouble(&ok);
                if (!ok) return std::nullopt;
            }
            if (!std::isfinite(d) || std::fabs(d) > 9.2e18) return std::nullopt;
            // The engine rounds half to even when a fraction reaches a whole-number column.
            return WholeNumber(static_cast<qint64>(std::nearbyint(d)));
        }
        case Kind::Double: {
            if (emptyText) return QVariant();
            if (isText) {
                const auto p = ParseNumber(v.toString());
                return p ? std::optional(QVariant(*p)) : std::nullopt;
            }
            if (isCurrency) return QVariant(v.value<Currency>().toDouble());
            bool ok = false;
            const double d = v.toDouble(&ok);
            return ok ? std::optional(QVariant(d)) : std::nullopt;
        }
        case Kind::Text:
            if (v.metaType().id() == QMetaType::QDateTime) return CanonicalDateText(v.toDateTime());
            if (v.metaType().id() == QMetaType::Bool) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
            if (isCurrency) return v.value<Currency>().toPlainText();
            return v.toString();
        case Kind::Binary:
            return v.toByteArray();
        case Kind::Unknown:
            if (v.metaType().id() == QMetaType::QDateTime) return CanonicalDateText(v.toDateTime());
            return v;
    }
    return v;
}

QVariant FromCell(const QVariant& cell, Kind kind) {
    if (cell.metaType() == QMetaType::fromType<StoredDate>()) return FromStoredDate(cell.value<StoredDate>());
    if (cell.metaType().id() != QMetaType::QString) return cell;
    const QString text = cell.toString();
    // Date text a statement wrote as it was (INSERT ... VALUES ('<date text>')).
    if (kind == Kind::DateTime) {
        if (auto dt = ToDateTime(text)) return *dt;
        return cell;
    }
    // An expression over a date column (IIf, Max) has no declared kind and hands back the
    // stored text; Jet gives a date there too.
    if (kind == Kind::Unknown && text.size() == 19) {
        if (auto d = StoredDateFromText(text)) return FromStoredDate(*d);
    }
    return cell;
}

}  // namespace db::detail
