#include "internal.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace db::detail {

QString EngineError(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
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

std::optional<double> ParseNumber(const QString& text) {
    bool ok = false;
    const QString t = text.trimmed();
    double d = t.toDouble(&ok);
    if (ok) return d;
    d = QLocale().toDouble(t, &ok);
    return ok ? std::optional(d) : std::nullopt;
}

}  // namespace

QVariant ReadColumn(sqlite3_stmt* stmt, int column, Kind kind) {
    const int type = sqlite3_column_type(stmt, column);
    if (type == SQLITE_NULL) return QVariant();
    switch (kind) {
        case Kind::DateTime:
            // Kept as the stored text; turned into a QDateTime when a caller reads it.
            return ColumnText(stmt, column);
        case Kind::Currency:
            if (type == SQLITE_INTEGER) return QVariant::fromValue(Currency::fromUnits(sqlite3_column_int64(stmt, column)));
            if (type == SQLITE_FLOAT) return QVariant::fromValue(Currency::fromDouble(sqlite3_column_double(stmt, column)));
            if (auto c = Currency::fromPlainText(ColumnText(stmt, column))) return QVariant::fromValue(*c);
            return ColumnText(stmt, column);
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
    if (v.metaType() == QMetaType::fromType<Currency>()) {
        const Currency c = v.value<Currency>();
        if (c.ticks() % Currency::kScale == 0)
            return sqlite3_bind_int64(stmt, index, c.ticks() / Currency::kScale) == SQLITE_OK;
        return sqlite3_bind_double(stmt, index, c.toDouble()) == SQLITE_OK;
    }
    const QByteArray u = v.toString().toUtf8();
    return sqlite3_bind_text(stmt, index, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

std::optional<QVariant> ToCell(const QVariant& v, Kind kind) {
    if (IsNull(v)) return QVariant();
    const bool isText = v.metaType().id() == QMetaType::QString;
    const bool emptyText = isText && v.toString().trimmed().isEmpty();
    const bool isCurrency = v.metaType() == QMetaType::fromType<Currency>();
    switch (kind) {
        case Kind::DateTime: {
            if (emptyText) return QVariant();
            const auto dt = ToDateTime(v);
            if (!dt) return std::nullopt;
            return CanonicalDateText(*dt);
        }
        case Kind::Currency: {
            if (emptyText) return QVariant();
            if (isCurrency) return v;
            if (isText) {
                if (auto c = Currency::fromPlainText(v.toString())) return QVariant::fromValue(*c);
                if (auto d = ParseNumber(v.toString())) return QVariant::fromValue(Currency::fromDouble(*d));
                return std::nullopt;
            }
            bool ok = false;
            const double d = v.toDouble(&ok);
            if (!ok || !std::isfinite(d)) return std::nullopt;
            return QVariant::fromValue(Currency::fromDouble(d));
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
    if (cell.metaType().id() != QMetaType::QString) return cell;
    const QString text = cell.toString();
    // An expression over a date column (IIf, Max) has no declared kind and hands back the
    // stored text; Jet gives a date there too.
    if (kind == Kind::DateTime || (kind == Kind::Unknown && text.size() == 19)) {
        if (auto dt = ParseCanonicalDate(text)) return *dt;
    }
    // Date text a statement wrote as it was (INSERT ... VALUES ('<date text>')).
    if (kind == Kind::DateTime) {
        if (auto dt = ToDateTime(text)) return *dt;
    }
    return cell;
}

}  // namespace db::detail
