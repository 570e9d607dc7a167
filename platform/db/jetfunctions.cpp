#include "jetfunctions.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cmath>

#include "value.h"

namespace db {
namespace {

QString ArgText(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? QString::fromUtf8(p, sqlite3_value_bytes(v)) : QString();
}

void ResultText(sqlite3_context* ctx, const QString& s) {
    const QByteArray u = s.toUtf8();
    sqlite3_result_text(ctx, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
}

std::optional<QDateTime> ArgDate(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_NULL) return std::nullopt;
    return ToDateTime(ArgText(v));
}

// The text Jet gives a value joined with `&`: Null as nothing, numbers and dates as the
// user sees them.
void JetText(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
            return;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            ResultText(ctx, ValueText(sqlite3_value_type(v) == SQLITE_INTEGER
                                          ? QVariant(sqlite3_value_int64(v))
                                          : QVariant(sqlite3_value_double(v))));
            return;
        default: {
            const QString s = ArgText(v);
            if (auto dt = ParseCanonicalDate(s); dt && s.size() >= 10 && s[4] == u'-')
                ResultText(ctx, ValueText(*dt));
            else
                sqlite3_result_value(ctx, v);
        }
    }
}

void Nz(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) {
        sqlite3_result_value(ctx, argv[0]);
    } else if (argc > 1) {
        sqlite3_result_value(ctx, argv[1]);
    } else {
        sqlite3_result_int(ctx, 0);
    }
}

template <int Part>
void DatePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const auto dt = ArgDate(argv[0]);
    if (!dt) {
        sqlite3_result_null(ctx);
        return;
    }
    int v = 0;
    switch (Part) {
        case 0: v = dt->date().year(); break;
        case 1: v = dt->date().month(); break;
        case 2: v = dt->date().day(); break;
        case 3: v = dt->time().hour(); break;
        default: v = dt->time().minute(); break;
    }
    sqlite3_result_int(ctx, v);
}

void Now(sqlite3_context* ctx, int, sqlite3_value**) {
    ResultText(ctx, CanonicalDateText(QDateTime::currentDateTime()));
}

void Today(sqlite3_context* ctx, int, sqlite3_value**) {
    ResultText(ctx, CanonicalDateText(QDateTime(QDate::currentDate(), QTime(0, 0))));
}

// VB date patterns (m is the month unless it follows an hour, n the minute) in Qt's terms.
QString QtDatePattern(const QString& vb) {
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < vb.size();) {
        const QChar c = vb[i];
        qsizetype run = 1;
        while (i + run < vb.size() && vb[i + run].toLower() == c.toLower()) ++run;
        const QChar l = c.toLower();
        if (l == u'm') {
            out += QString(run, afterHour && run <= 2 ? u'm' : u'M');
            afterHour = false;
        } else if (l == u'n') {
            out += QString(run, u'm');
        } else if (l == u'h') {
            out += QString(run, u'H');
            afterHour = true;
        } else if (l == u'd' || l == u'y' || l == u's') {
            out += QString(run, l);
        } else if (c.isLetter()) {
            out += u'\'' + vb.mid(i, run) + u'\'';
        } else {
            out += vb.mid(i, run);
        }
        i += run;
    }
    return out;
}

void Format(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString fmt = argc > 1 ? ArgText(argv[1]) : QString();
    const QLocale loc;
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(argv[0]);
        if (fmt.compare(u"Currency", Qt::CaseInsensitive) == 0) {
            ResultText(ctx, loc.toCurrencyString(d, QString(), 2));
        } else if (fmt.isEmpty()) {
            ResultText(ctx, ValueText(QVariant(d)));
        } else {
            const qsizetype dot = fmt.indexOf(u'.');
            const int decimals = dot < 0 ? 0 : static_cast<int>(fmt.size() - dot - 1);
            QLocale l = loc;
            if (!fmt.contains(u',')) l.setNumberOptions(QLocale::OmitGroupSeparator);
            ResultText(ctx, l.toString(d, 'f', decimals));
        }
        return;
    }
    const QString text = ArgText(argv[0]);
    const auto dt = ToDateTime(text);
    if (!dt) {
        ResultText(ctx, text);
        return;
    }
    if (fmt.isEmpty() || fmt.compare(u"General Date", Qt::CaseInsensitive) == 0)
        ResultText(ctx, ValueText(*dt));
    else if (fmt.compare(u"Short Date", Qt::CaseInsensitive) == 0)
        ResultText(ctx, loc.toString(dt->date(), QLocale::ShortFormat));
    else if (fmt.compare(u"Long Date", Qt::CaseInsensitive) == 0)
        ResultText(ctx, loc.toString(dt->date(), QLocale::LongFormat));
    else
        ResultText(ctx, loc.toString(*dt, QtDatePattern(fmt)));
}

void CStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) { JetText(ctx, argc, argv); }

void CLng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    // Jet rounds half to even when converting to a whole number.
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(std::nearbyint(sqlite3_value_double(argv[0]))));
}

void CDbl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
}

void Len(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, ArgText(argv[0]).size());
}

template <int Which>
void Substr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const QString s = ArgText(argv[0]);
    const int n = sqlite3_value_int(argv[1]);
    if (Which == 0) return ResultText(ctx, s.left(std::max(0, n)));
    if (Which == 1) return ResultText(ctx, s.right(std::max(0, n)));
    const qsizetype len = argc > 2 ? std::max(0, sqlite3_value_int(argv[2])) : s.size();
    ResultText(ctx, s.mid(std::max(0, n - 1), len));
}

template <bool Upper>
void Case(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    ResultText(ctx, Upper ? ArgText(argv[0]).toUpper() : ArgText(argv[0]).toLower());
}

}  // namespace

bool RegisterJetFunctions(sqlite3* db) {
    struct Fn {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
        bool deterministic;
    };
    const Fn fns[] = {
        {"jet_text", 1, JetText, true},    {"nz", 1, Nz, true},
        {"nz", 2, Nz, true},               {"year", 1, DatePart<0>, true},
        {"month", 1, DatePart<1>, true},   {"day", 1, DatePart<2>, true},
        {"hour", 1, DatePart<3>, true},    {"minute", 1, DatePart<4>, true},
        {"now", 0, Now, false},            {"date", 0, Today, false},
        {"format", 1, Format, true},       {"format", 2, Format, true},
        {"cstr", 1, CStr, true},           {"clng", 1, CLng, true},
        {"cint", 1, CLng, true},           {"cdbl", 1, CDbl, true},
        {"ccur", 1, CDbl, true},           {"len", 1, Len, true},
        {"left", 2, Substr<0>, true},      {"right", 2, Substr<1>, true},
        {"mid", 2, Substr<2>, true},       {"mid", 3, Substr<2>, true},
        {"ucase", 1, Case<true>, true},    {"lcase", 1, Case<false>, true},
    };
    for (const Fn& f : fns) {
        const int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        if (sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr,
                                       nullptr) != SQLITE_OK)
            return false;
    }
    return true;
}

}  // namespace db
