// Times the calendar synchronisation in UTC and in the users' zone (Europe/London), on a 1x
// and a 16x database, each run beside the bare SQLite read of the rows it reads: a first run
// of the latest 1,000 appointments and of the busiest month, and the unchanged re-run of
// each. Then, on the 1x database, a month's first and unchanged runs into large calendar files
// that other programs wrote: events folded as usual, one very long line, and a zone
// definition of that size as one long line or as a folded RDATE list.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimeZone>

#include "bench/sidebyside.h"
#include "bench/timing.h"
#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/globals.h"
#include "diary/synchronise.h"
#include "platform/db/recordset.h"
#include "platform/outlook/outlook.h"
#include "platform/ui/prompts.h"

namespace {

const QByteArray kHeader =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Another Program//EN\r\n";
const QByteArray kFooter = "END:VCALENDAR\r\n";

// Content lines folded at 75 octets, as calendar programs write them.
QByteArray Folded(const QByteArray& line) {
    QByteArray out;
    out.reserve(line.size() + line.size() / 37 + 2);
    for (qsizetype at = 0; at < line.size(); at += at == 0 ? 75 : 74) {
        if (at > 0) out += "\r\n ";
        out += line.mid(at, at == 0 ? 75 : 74);
    }
    return out + "\r\n";
}

QByteArray ForeignEvent(int n, const QByteArray& description) {
    return "BEGIN:VEVENT\r\nUID:bench-" + QByteArray::number(n) +
           "@elsewhere\r\nDTSTAMP:20260101T080000Z\r\nDTSTART:20260112T150000Z\r\n"
           "DTEND:20260112T153000Z\r\nSUMMARY:Their event " +
           QByteArray::number(n) + "\r\n" + Folded("DESCRIPTION:" + description) +
           "END:VEVENT\r\n";
}

// About `bytes` of other programs' events with descriptions of a few lines each.
QByteArray FoldedCalendar(qsizetype bytes) {
    QByteArray text = kHeader;
    text.reserve(bytes + 4096);
    const QByteArray description = QByteArray("Notes\\, kept by another program; ").repeated(70);
    for (int n = 0; text.size() < bytes; ++n) text += ForeignEvent(n, description);
    return text + kFooter;
}

// One event whose description is a single unfolded line of about `bytes`.
QByteArray LongLineCalendar(qsizetype bytes) {
    return kHeader + "BEGIN:VEVENT\r\nUID:long@elsewhere\r\nDTSTAMP:20260101T080000Z\r\n"
                     "DTSTART:20260112T150000Z\r\nDTEND:20260112T153000Z\r\nSUMMARY:Long\r\n"
                     "DESCRIPTION:" +
           QByteArray(bytes, 'x') + "\r\nEND:VEVENT\r\n" + kFooter;
}

// The user's own zone as another program defines it (the UK's two rules), with `extra`
// lines making it large; the entries of a run are written in it.
QByteArray ZoneCalendar(const QByteArray& extra, const QByteArray& inStandard) {
    return kHeader + "BEGIN:VTIMEZONE\r\nTZID:" + QTimeZone::systemTimeZoneId() + "\r\n" + extra +
           "BEGIN:STANDARD\r\nDTSTART:19701025T020000\r\nTZOFFSETFROM:+0100\r\n"
           "TZOFFSETTO:+0000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n" +
           inStandard +
           "END:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:19700329T010000\r\n"
           "TZOFFSETFROM:+0000\r\nTZOFFSETTO:+0100\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
           "END:DAYLIGHT\r\nEND:VTIMEZONE\r\n" + kFooter;
}

QByteArray ZoneLongLine(qsizetype bytes) {
    return ZoneCalendar("X-NOTE:" + QByteArray(bytes, 'z') + "\r\n", {});
}

// Midnights of days long past, one after another, as one folded RDATE property.
QByteArray ZoneRdates(qsizetype bytes) {
    QByteArray dates;
    dates.reserve(bytes + 32);
    for (QDate d(1600, 1, 1); dates.size() < bytes; d = d.addDays(1))
        dates += (dates.isEmpty() ? "" : ",") + d.toString(u"yyyyMMdd'T'000000").toLatin1();
    return ZoneCalendar({}, Folded("RDATE:" + dates));
}

struct Large {
    const char* key;
    const char* label;
    QByteArray (*make)(qsizetype);
};
const Large kLarge[] = {{"folded", "events folded as usual", FoldedCalendar},
                        {"longline", "one long line", LongLineCalendar},
                        {"zoneline", "zone definition, one long line", ZoneLongLine},
                        {"zonerdate", "zone definition, folded RDATE list", ZoneRdates}};

struct Options {
    QDate shown = QDate::currentDate();
    int appointments = 1000;
    int perMonth = 45;
    qsizetype largeBytes = 0;
};

// The run's reading of its appointments and their sync rows, timed with nothing but SQLite.
double BareRead(sqlite3* handle, const QList<int>& ids) {
    QStringList list;
    for (int id : ids) list << QString::number(id);
    const QString in = list.join(u',');
    return bench::TimeRead(handle, outlooksync::JobsReadSql().arg(in).toStdString()) +
           bench::TimeRead(handle, outlooksync::SyncRowsReadSql().arg(in).toStdString());
}

QList<int> Ids(const QString& sql, const QVariantList& params = {}) {
    db::Recordset rs;
    rs.OpenWith(sql, DbConnection(), params, db::adOpenStatic, db::adLockReadOnly);
    return outlooksync::ShownJobIDs(rs);
}

// One run; its time, adding its failures to `failed`.
double TimedRun(const QList<int>& ids, double* failed) {
    QElapsedTimer t;
    t.start();
    *failed += outlooksync::Synchroniser(Forms::get<frmInfo>(), nullptr).Run(ids);
    QApplication::processEvents();
    return bench::Ms(t);
}

// As before any run: no calendar file, and no appointment refers to an entry.
void Forget(const QString& calendar, const QList<int>& ids) {
    QFile::remove(calendar);
    DbConnection().BeginTrans();
    for (int id : ids) {
        DbConnection().Execute(
            QStringLiteral("UPDATE JobDetails SET Outlook_REF = NULL WHERE JobID = ?"), {id});
        DbConnection().Execute(QStringLiteral("DELETE FROM sync WHERE RecordID = ?"), {id});
    }
    DbConnection().CommitTrans();
}

// Medians of `runs` first runs into `calendar` (each starting from nothing), then of as many
// unchanged re-runs.
void FirstAndAgain(const QString& calendar, const QList<int>& ids, int runs, const QString& name,
                   bench::Figures* f) {
    qputenv("AMBRELLE_CALENDAR", calendar.toUtf8());
    double failed = 0;
    std::vector<double> first;
    for (int r = 0; r < runs; ++r) {
        Forget(calendar, ids);
        first.push_back(TimedRun(ids, &failed));
    }
    (*f)[QStringLiteral("first") + name] = bench::Median(first);
    (*f)[QStringLiteral("again") + name] =
        bench::TimeMedian(runs, [&] { TimedRun(ids, &failed); });
    (*f)[QStringLiteral("failed") + name] = failed;
}

int Measure(const QString& folder, int runs, const Options& o, bench::Figures* f) {
    const QString database = QDir(folder).filePath(QStringLiteral("ambrelle.mdb"));
    SetProgramFolder(folder);
    ui::Install(std::make_unique<ui::ScriptedPrompts>());  // nothing may wait for an answer
    DbConnection().SetCursorLocation(db::adUseClient);
    if (!DbConnection().Open(QStringLiteral("DBQ=") + database)) {
        QTextStream(stderr) << "cannot open: " << DbConnection().LastError() << "\n";
        return 1;
    }
    OwnerCompanyName = QStringLiteral("Bench Builders");
    sqlite3* bare = bench::OpenBare(database);
    if (!bare) return 1;
    bench::AddCounts(bare, *f);

    const QList<int> latest =
        Ids(QStringLiteral("SELECT JobID FROM JobDetails WHERE Cancelled = False ORDER BY Start "
                           "DESC"))
            .mid(0, o.appointments);
    // The month the main window opens on (this one, unless told), as it lists it: its
    // appointments that are not cancelled.
    const int month = o.shown.year() * 100 + o.shown.month();
    const QDate from(month / 100, std::max(1, month % 100), 1);
    const QList<int> shown = Ids(
        QStringLiteral("SELECT JobID FROM JobDetails INNER JOIN Companies ON "
                       "JobDetails.CustomerID = Companies.CompanyID WHERE Cancelled = False AND "
                       "Start >= ? AND Start < ? ORDER BY Start"),
        {QDateTime(from, QTime(0, 0)), QDateTime(from.addMonths(1), QTime(0, 0))});
    (*f)[QStringLiteral("month")] = month;
    (*f)[QStringLiteral("sizeMonth")] = shown.size();
    (*f)[QStringLiteral("size1000")] = latest.size();
    // Each read once the rows are synchronised, as an unchanged re-run finds them.
    FirstAndAgain(QDir(folder).filePath(QStringLiteral("latest.ics")), latest, runs,
                  QStringLiteral("1000"), f);
    (*f)[QStringLiteral("bare1000")] = BareRead(bare, latest);
    Forget(QDir(folder).filePath(QStringLiteral("latest.ics")), latest);
    FirstAndAgain(QDir(folder).filePath(QStringLiteral("month.ics")), shown, runs,
                  QStringLiteral("Month"), f);
    (*f)[QStringLiteral("bareMonth")] = BareRead(bare, shown);
    sqlite3_close(bare);

    int slice = 0;
    for (const Large& large : kLarge) {
        if (o.largeBytes <= 0) break;
        const QString path =
            QDir(folder).filePath(QStringLiteral("large-%1.ics").arg(QLatin1String(large.key)));
        const QByteArray text = large.make(o.largeBytes);
        const QList<int> ids = shown.mid(slice, o.perMonth);
        slice += o.perMonth;
        Forget(path, ids);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return 1;
        file.close();
        qputenv("AMBRELLE_CALENDAR", path.toUtf8());
        const QString key = QLatin1String(large.key);
        QElapsedTimer t;
        t.start();
        const outlook::Application reader;
        (*f)[QStringLiteral("read_") + key] = bench::Ms(t);
        if (reader.Name().isEmpty())
            QTextStream(stderr) << key << ": " << outlook::LastError() << "\n";
        double failed = 0;
        (*f)[QStringLiteral("first_") + key] = TimedRun(ids, &failed);
        (*f)[QStringLiteral("again_") + key] = TimedRun(ids, &failed);
        // The database's stamps move on: each entry is read in full, its times in the zone the
        // file defines, and found to hold what the database would write.
        DbConnection().BeginTrans();
        for (int id : ids)
            DbConnection().Execute(QStringLiteral("UPDATE JobDetails SET Outlook_LastUpdate = ? "
                                                  "WHERE JobID = ?"),
                                   {QDateTime::currentDateTime().addSecs(3600), id});
        DbConnection().CommitTrans();
        (*f)[QStringLiteral("full_") + key] = TimedRun(ids, &failed);
        (*f)[QStringLiteral("failed_") + key] = failed;
    }
    DbConnection().Close();
    return 0;
}

const char* const kZones[] = {"UTC", "Europe/London"};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times synchronisation runs in UTC and in Europe/London, on a 1x and a 16x database, "
        "and into large calendar files."));
    parser.addHelpOption();
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Timed runs of each."),
                                  QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption count(QStringLiteral("appointments"),
                                   QStringLiteral("The latest appointments synchronised."),
                                   QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption month(QStringLiteral("month"),
                                   QStringLiteral("Appointments synchronised into large files."),
                                   QStringLiteral("n"), QStringLiteral("45"));
    const QCommandLineOption shown(QStringLiteral("shown"),
                                   QStringLiteral("The month shown (default: this one)."),
                                   QStringLiteral("yyyy-mm"));
    const QCommandLineOption size(QStringLiteral("calendar-mb"),
                                  QStringLiteral("Size of the large calendar files (0: none)."),
                                  QStringLiteral("MB"), QStringLiteral("50"));
    const bench::DatabaseOptions databases;
    parser.addOptions({runs, count, month, shown, size});
    parser.addOptions(databases.all());
    parser.process(app);
    const int n = std::max(1, parser.value(runs).toInt());
    Options o;
    o.appointments = parser.value(count).toInt();
    o.perMonth = parser.value(month).toInt();
    o.largeBytes = parser.value(size).toLongLong() * 1000 * 1000;
    if (parser.isSet(shown))
        o.shown = QDate::fromString(parser.value(shown) + QStringLiteral("-01"), u"yyyy-MM-dd");
    if (!o.shown.isValid()) {
        QTextStream(stderr) << "--shown takes a month as yyyy-mm\n";
        return 1;
    }
    if (parser.isSet(databases.measure)) {
        bench::Figures f;
        const int rc = Measure(parser.value(databases.measure), n, o, &f);
        if (rc == 0) bench::PrintFigures(f);
        return rc;
    }

    QTemporaryDir dir;
    const QString x1 = QDir(dir.path()).filePath(QStringLiteral("x1"));
    const QString x16 = QDir(dir.path()).filePath(QStringLiteral("x16"));
    const bench::Sizes one;
    bench::Sizes sixteen = one;
    sixteen.appointments *= 16;
    sixteen.invoices *= 16;
    sixteen.expenses *= 16;
    sixteen.customers *= 16;
    if (!bench::Prepare(x1, parser.value(databases.db1), one, QDate::currentDate()) ||
        !bench::Prepare(x16, parser.value(databases.db16), sixteen, QDate::currentDate()))
        return 1;
    // Each zone in a child of its own, as the user's program starts in it.
    QTextStream out(stdout);
    std::map<std::pair<int, int>, bench::Figures> got;  // (database, zone)
    for (int z = 0; z < 2; ++z) {
        qputenv("TZ", kZones[z]);
        for (int d = 0; d < 2; ++d) {
            QStringList passOn{QStringLiteral("--runs"), QString::number(n),
                               QStringLiteral("--appointments"), parser.value(count),
                               QStringLiteral("--month"), parser.value(month),
                               QStringLiteral("--shown"), o.shown.toString(u"yyyy-MM"),
                               QStringLiteral("--calendar-mb"),
                               d == 0 ? parser.value(size) : QStringLiteral("0")};
            const std::optional<bench::Figures> f = bench::RunChild(d == 0 ? x1 : x16, passOn);
            if (!f) {
                QTextStream(stderr) << "a measuring run failed\n";
                return 1;
            }
            got[{d, z}] = *f;
        }
    }
    out << "1x: " << bench::SizesText(got[{0, 0}]) << "\n16x: " << bench::SizesText(got[{1, 0}])
        << "\n" << n << " timed runs each, medians in ms; the same rows read with bare SQLite "
        << "beside each\n";
    out << QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8  %9\n")
               .arg(QStringLiteral("figure"), -44)
               .arg(QStringLiteral("UTC"), 9)
               .arg(QStringLiteral("bare"), 7)
               .arg(QStringLiteral("ratio"), 7)
               .arg(QStringLiteral("London"), 9)
               .arg(QStringLiteral("bare"), 7)
               .arg(QStringLiteral("ratio"), 7)
               .arg(QStringLiteral("Lon/UTC"), 8)
               .arg(QStringLiteral("aim"));
    const auto ratio = [](double ms, double base) {
        return base > 0 ? QString::number(ms / base, 'f', 1) + QLatin1Char('x')
                        : QStringLiteral("-");
    };
    bool failures = false;
    // `aim`: the most the London figure may be (0: none); `twice`: and within 2x of UTC.
    const auto row = [&](int d, const QString& label, const QString& key, const QString& bareKey,
                         double aim, bool twice) {
        const bench::Figures& u = got[{d, 0}];
        const bench::Figures& l = got[{d, 1}];
        if (!u.contains(key)) return;
        const double a = u.value(key), b = l.value(key);
        QString aimText;
        if (aim > 0) {
            const bool met = b < aim && a < aim && (!twice || b <= 2 * a);
            aimText = QStringLiteral("< %1 ms%2 %3")
                          .arg(aim)
                          .arg(twice ? QStringLiteral(", London within 2x UTC") : QString())
                          .arg(met ? QStringLiteral("met") : QStringLiteral("missed"));
        }
        const QString bareA = bareKey.isEmpty() ? QStringLiteral("-")
                                                : bench::TimeText(u.value(bareKey));
        const QString bareB = bareKey.isEmpty() ? QStringLiteral("-")
                                                : bench::TimeText(l.value(bareKey));
        out << QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8  %9\n")
                   .arg(label, -44)
                   .arg(bench::TimeText(a), 9)
                   .arg(bareA, 7)
                   .arg(bareKey.isEmpty() ? QStringLiteral("-") : ratio(a, u.value(bareKey)), 7)
                   .arg(bench::TimeText(b), 9)
                   .arg(bareB, 7)
                   .arg(bareKey.isEmpty() ? QStringLiteral("-") : ratio(b, l.value(bareKey)), 7)
                   .arg(ratio(b, a), 8)
                   .arg(aimText);
    };
    for (int d = 0; d < 2; ++d) {
        const bench::Figures& f = got[{d, 0}];
        const QString db = d == 0 ? QStringLiteral("1x ") : QStringLiteral("16x");
        const int m = static_cast<int>(f.value(QStringLiteral("month")));
        const QString latest = QStringLiteral("%1 latest %2,").arg(db).arg(
            static_cast<int>(f.value(QStringLiteral("size1000"))));
        const QString shown = QStringLiteral("%1 month %2-%3 (%4),")
                                  .arg(db)
                                  .arg(m / 100)
                                  .arg(m % 100, 2, 10, QLatin1Char('0'))
                                  .arg(static_cast<int>(f.value(QStringLiteral("sizeMonth"))));
        row(d, latest + QStringLiteral(" first run"), QStringLiteral("first1000"),
            QStringLiteral("bare1000"), 2000, false);
        row(d, latest + QStringLiteral(" unchanged re-run"), QStringLiteral("again1000"),
            QStringLiteral("bare1000"), 1000, true);
        row(d, shown + QStringLiteral(" first run"), QStringLiteral("firstMonth"),
            QStringLiteral("bareMonth"), 0, false);
        row(d, shown + QStringLiteral(" unchanged re-run"), QStringLiteral("againMonth"),
            QStringLiteral("bareMonth"), d == 1 ? 1000 : 0, false);
        for (int z = 0; z < 2; ++z)
            for (const QString& name : {QStringLiteral("1000"), QStringLiteral("Month")})
                failures = failures || got[{d, z}].value(QStringLiteral("failed") + name) > 0;
    }
    if (got[{0, 0}].contains(QStringLiteral("read_folded"))) {
        out << QStringLiteral("%1 MB calendar files, %2 appointments of the month (1x):\n")
                   .arg(o.largeBytes / 1000000)
                   .arg(o.perMonth);
        for (const Large& large : kLarge) {
            const QString key = QLatin1String(large.key);
            const QString label = QLatin1String(large.label);
            row(0, label + QStringLiteral(": read"), QStringLiteral("read_") + key, QString(), 5000,
                false);
            row(0, label + QStringLiteral(": first run"), QStringLiteral("first_") + key, QString(),
                5000, false);
            row(0, label + QStringLiteral(": unchanged"), QStringLiteral("again_") + key,
                QString(), 5000, false);
            row(0, label + QStringLiteral(": read in full"), QStringLiteral("full_") + key,
                QString(), 5000, false);
            for (int z = 0; z < 2; ++z)
                failures = failures || got[{0, z}].value(QStringLiteral("failed_") + key) > 0;
        }
    }
    if (failures) out << "Some runs had failed appointments: the times do not count.\n";
    return failures ? 1 : 0;
}
