#include "recurrencerules.h"

#include <QLocale>
#include <QTimeZone>
#include <algorithm>
#include <optional>

#include "diary/schedulerules.h"
#include "platform/db/value.h"

namespace recurrence {

namespace {

// The end date is written in one form whatever the locale, so that the text reads back
// the same after a change of locale.
const QString kEndDateFormat = QStringLiteral("dd/MM/yyyy");
constexpr int kEndDateLength = 10;

// "00": two digits at least; a text that is no number stays as it is.
QString Two(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')) : text;
}

QString Two(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

std::optional<int> WholeNumber(const QString& text, int low, int high) {
    const QString t = text.trimmed();
    if (t.isEmpty() || !std::all_of(t.begin(), t.end(), [](QChar ch) { return ch.isDigit(); }))
        return std::nullopt;
    const int n = t.toInt();
    if (n < low || n > high) return std::nullopt;
    return n;
}

QString Interval(const char* unit) {
    return QStringLiteral(
               "Please type the number of %1 between appointments as a whole number from 1 to "
               "99.")
        .arg(QLatin1String(unit));
}
const QString kDayOfMonth =
    QStringLiteral("Please type the day of the month as a number from 1 to 31.");
const QString kNoKind = QStringLiteral("Please choose Daily, Weekly, Monthly or Annual.");
const QString kNoDays =
    QStringLiteral("Please tick the days of the week on which the appointment recurs.");
const QString kNoInstance =
    QStringLiteral("Please choose which weekday of the month: First, Second, Third or Fourth.");
const QString kNoWeekday = QStringLiteral("Please choose the day of the week.");
const QString kNoMonth = QStringLiteral("Please choose the month.");
const QString kNoEnd = QStringLiteral("Please choose the end date of the range.");

bool InList(int index, int count) { return index >= 0 && index < count; }

// Why the choice cannot be built, or empty.
QString Refusal(const Choice& c) {
    if (!c.end.isValid()) return kNoEnd;
    const bool nth = c.flex == 2;
    switch (c.kind) {
        case Daily:
            return nth || WholeNumber(c.txt1, 1, 99) ? QString() : Interval("days");
        case Weekly:
            if (!WholeNumber(c.txt1, 1, 99)) return Interval("weeks");
            return std::find(c.days.begin(), c.days.end(), true) != c.days.end() ? QString()
                                                                                 : kNoDays;
        case Monthly:
            if (!nth && !WholeNumber(c.txt1, 1, 31)) return kDayOfMonth;
            if (nth && !InList(c.instance, 4)) return kNoInstance;
            if (nth && !InList(c.weekday, 7)) return kNoWeekday;
            return WholeNumber(nth ? c.text3 : c.text2, 1, 99) ? QString() : Interval("months");
        case Annual:
            if (!nth) {
                if (!InList(c.yearMonth, 12)) return kNoMonth;
                return WholeNumber(c.text2, 1, 31) ? QString() : kDayOfMonth;
            }
            if (!InList(c.instance, 4)) return kNoInstance;
            if (!InList(c.weekday, 7)) return kNoWeekday;
            return InList(c.month, 12) ? QString() : kNoMonth;
        default:
            return kNoKind;
    }
}

QDate ClampedDate(int year, int month, int day) {
    return QDate(year, month, std::min(day, QDate(year, month, 1).daysInMonth()));
}

// Sunday = 1 .. Saturday = 7.
int SundayFirst(const QDate& d) { return d.dayOfWeek() % 7 + 1; }

}  // namespace

QString PatternText(const Choice& c) {
    QString t;
    const bool first = c.flex != 2;
    switch (c.kind) {
        case Daily:
            t = first ? QStringLiteral("D1") + Two(c.txt1) : QStringLiteral("D2");
            break;
        case Weekly:
            t = QStringLiteral("W") + Two(c.txt1);
            for (bool ticked : c.days) t += ticked ? u'1' : u'0';
            break;
        case Monthly:
            t = first ? QStringLiteral("M1") + Two(c.txt1) + Two(c.text2)
                      : QStringLiteral("M2") + QString::number(c.instance) +
                            QString::number(c.weekday) + Two(c.text3);
            break;
        case Annual:
            t = first ? QStringLiteral("A1") + Two(c.yearMonth) + Two(c.text2)
                      : QStringLiteral("A2") + QString::number(c.instance) + Two(c.weekday) +
                            Two(c.month);
            break;
        default:
            break;
    }
    return t + c.end.toString(kEndDateFormat);
}

Kind PatternKind(const QString& text) {
    if (text.isEmpty()) return None;
    switch (text.at(0).unicode()) {
        case 'D':
            return Daily;
        case 'W':
            return Weekly;
        case 'M':
            return Monthly;
        case 'A':
            return Annual;
        default:
            return None;
    }
}

void ReadPattern(const QString& text, Choice& into) {
    const QDate end = QDate::fromString(text.right(kEndDateLength), kEndDateFormat);
    const QString body =
        text.size() > kEndDateLength ? text.left(text.size() - kEndDateLength) : text;
    // Positions are 1-based, as the text is described; a field cut short is not read.
    auto field = [&body](int pos, int len) -> std::optional<QString> {
        if (body.size() < pos - 1 + len) return std::nullopt;
        return body.mid(pos - 1, len);
    };
    auto setText = [&](QString& box, int pos, int len) {
        if (auto f = field(pos, len)) box = *f;
    };
    auto setIndex = [&](int& list, int pos, int len, int count) {
        const auto f = field(pos, len);
        if (!f) return;
        if (const auto n = WholeNumber(*f, 0, count - 1)) list = *n;
    };
    const Kind kind = PatternKind(text);
    if (kind != None) into.kind = kind;
    const bool first = field(2, 1) == QStringLiteral("1");
    switch (kind) {
        case Daily:
            into.flex = first ? 1 : 2;
            if (first) setText(into.txt1, 3, 2);
            break;
        case Weekly:
            into.flex = 1;
            setText(into.txt1, 2, 2);
            for (int k = 0; k < 7; ++k)
                if (const auto f = field(4 + k, 1)) into.days[static_cast<size_t>(k)] = *f == u"1";
            break;
        case Monthly:
            into.flex = first ? 1 : 2;
            if (first) {
                setText(into.txt1, 3, 2);
                setText(into.text2, 5, 2);
            } else {
                setIndex(into.instance, 3, 1, 4);
                setIndex(into.weekday, 4, 1, 7);
                setText(into.text3, 5, 2);
            }
            break;
        case Annual:
            into.flex = first ? 1 : 2;
            if (first) {
                setIndex(into.yearMonth, 3, 2, 12);
                setText(into.text2, 5, 2);
            } else {
                setIndex(into.instance, 3, 1, 4);
                setIndex(into.weekday, 4, 2, 7);
                setIndex(into.month, 6, 2, 12);
            }
            break;
        default:
            break;
    }
    if (end.isValid()) into.end = end;
}

QDate NthWeekday(int year, int month, int instance, int weekdaySundayFirst) {
    const QDate first(year, month, 1);
    return first.addDays((weekdaySundayFirst - SundayFirst(first) + 7) % 7 + 7 * instance);
}

int InstanceOfDay(const QDate& day) { return std::min((day.day() - 1) / 7, 3); }

QString CappedMessage(const QDate& last) {
    return QStringLiteral(
               "A series holds at most 1,000 appointments, so this one stops on %1, before the "
               "end date of the range.")
        .arg(QLocale().toString(last, QLocale::ShortFormat));
}

QString ClockChangeMessage(const QList<ClockChange>& changes) {
    const QLocale loc;
    QStringList lines;
    for (const ClockChange& c : changes)
        lines << QStringLiteral("%1 does not exist on %2 because the clocks go forward that night: "
                                "that appointment is from %3 to %4.")
                     .arg(c.asked.toString(QStringLiteral("HH:mm")),
                          loc.toString(c.day, QLocale::ShortFormat),
                          c.given.start.time().toString(QStringLiteral("HH:mm")),
                          c.given.finish.time().toString(QStringLiteral("HH:mm")));
    return lines.join(u'\n');
}

QString KeptMessage(int kept) {
    if (kept == 1)
        return QStringLiteral(
            "One appointment of the series is on an invoice or has expenses; it was kept.");
    return QStringLiteral(
               "%1 appointments of the series are on invoices or have expenses; they were kept.")
        .arg(kept);
}

Series BuildRecurrence(const Choice& c, const QDateTime& masterStart,
                       const QDateTime& masterFinish) {
    Series s;
    s.refusal = Refusal(c);
    if (!s.refusal.isEmpty()) return s;
    s.pattern = PatternText(c);
    s.dates.append({masterStart, masterFinish});

    const QDate m0 = masterStart.date();
    const qint64 spanDays = m0.daysTo(masterFinish.date());
    // As the clock reads, whatever the clocks do between start and finish.
    const qint64 length = QDateTime(m0, masterStart.time(), QTimeZone::utc())
                              .secsTo(QDateTime(masterFinish.date(), masterFinish.time(), QTimeZone::utc()));
    // False once the series is over: past the end date, or full.
    auto add = [&](const QDate& day) {
        if (day > c.end) return false;
        if (s.dates.size() > kMaxOccurrences) {
            s.capped = true;
            return false;
        }
        bool startSkipped = false, finishSkipped = false;
        const QDateTime start = db::LocalDateTime(day, masterStart.time(), &startSkipped);
        QDateTime finish =
            db::LocalDateTime(day.addDays(spanDays), masterFinish.time(), &finishSkipped);
        // A moved start keeps the appointment's length.
        if (startSkipped) finish = start.addSecs(length);
        s.dates.append({start, finish});
        if (startSkipped || finishSkipped)
            s.clockChanges.append({startSkipped ? day : day.addDays(spanDays),
                                   startSkipped ? masterStart.time() : masterFinish.time(),
                                   {start, finish}});
        return true;
    };
    const bool nth = c.flex == 2;
    auto monthAfter = [&](int k, int every, auto dayIn) {
        const int index = m0.year() * 12 + m0.month() - 1 + k * every;
        return dayIn(index / 12, index % 12 + 1);
    };

    switch (c.kind) {
        case Daily:
            if (nth) {
                for (QDate d = m0.addDays(1);; d = d.addDays(1))
                    if (d.dayOfWeek() <= 5 && !add(d)) break;
            } else {
                const int every = c.txt1.trimmed().toInt();
                for (int k = 1; add(m0.addDays(qint64(k) * every)); ++k) {
                }
            }
            break;
        case Weekly: {
            const int every = c.txt1.trimmed().toInt();
            // From the Sunday on or before the master; its own day is the master itself.
            const QDate sunday = m0.addDays(-(m0.dayOfWeek() % 7));
            bool going = true;
            for (qint64 week = 0; going && sunday.addDays(7 * week) <= c.end; week += every) {
                for (int i = 0; going && i < 7; ++i) {
                    const QDate d = sunday.addDays(7 * week + i);
                    if (c.days[static_cast<size_t>(i)] && d > m0) going = add(d);
                }
            }
            break;
        }
        case Monthly: {
            const int every = (nth ? c.text3 : c.text2).trimmed().toInt();
            const int day = c.txt1.trimmed().toInt();
            auto dayIn = [&](int y, int m) {
                return nth ? NthWeekday(y, m, c.instance, c.weekday + 1) : ClampedDate(y, m, day);
            };
            for (int k = 1; add(monthAfter(k, every, dayIn)); ++k) {
            }
            break;
        }
        case Annual: {
            const int day = c.text2.trimmed().toInt();
            auto dayIn = [&](int y, int m) {
                return nth ? NthWeekday(y, m, c.instance, c.weekday + 1) : ClampedDate(y, m, day);
            };
            const int month = (nth ? c.month : c.yearMonth) + 1;
            for (int k = 1; add(dayIn(m0.year() + k, month)); ++k) {
            }
            break;
        }
        default:
            break;
    }
    return s;
}

}  // namespace recurrence
