// Times the calendar synchronisation on the large generated database: a first run that makes
// a calendar entry for each of 1,000 appointments, then a run in which nothing changed; then
// a shown month's first run into large calendar files that other programs wrote, one folded as
// usual and one holding a single very long line.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextStream>

#include "bench/generator.h"
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times synchronisation runs, also into large calendar files."));
    parser.addHelpOption();
    QCommandLineOption count(QStringLiteral("appointments"),
                             QStringLiteral("Appointments synchronised."), QStringLiteral("n"),
                             QStringLiteral("1000"));
    QCommandLineOption month(QStringLiteral("month"),
                             QStringLiteral("Appointments synchronised into the large files."),
                             QStringLiteral("n"), QStringLiteral("45"));
    QCommandLineOption size(QStringLiteral("calendar-mb"),
                            QStringLiteral("Size of the large calendar files (0: none)."),
                            QStringLiteral("MB"), QStringLiteral("50"));
    parser.addOption(count);
    parser.addOption(month);
    parser.addOption(size);
    parser.process(app);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString database = bench::BenchmarkDatabase(QString(), dir.path());
    if (database.isEmpty()) return 1;
    SetProgramFolder(dir.path());
    const QString calendar = QDir(dir.path()).filePath(QStringLiteral("calendar.ics"));
    qputenv("AMBRELLE_CALENDAR", calendar.toUtf8());
    ui::Install(std::make_unique<ui::ScriptedPrompts>());  // nothing may wait for an answer
    DbConnection().SetCursorLocation(db::adUseClient);
    if (!DbConnection().Open(QStringLiteral("DBQ=") + database)) {
        out << "cannot open: " << DbConnection().LastError() << "\n";
        return 1;
    }
    OwnerCompanyName = QStringLiteral("Bench Builders");

    // The latest appointments, as a busy shown month would list them.
    db::Recordset rs;
    rs.Open(
        QStringLiteral("SELECT JobID FROM JobDetails WHERE Cancelled = False ORDER BY Start DESC"),
        DbConnection(), db::adOpenStatic, db::adLockReadOnly);
    const QList<int> all = outlooksync::ShownJobIDs(rs);
    const int n = parser.value(count).toInt();
    const QList<int> ids = all.mid(0, n);

    auto timed = [&](const char* what, const QList<int>& jobs) {
        QElapsedTimer t;
        t.start();
        const int failed = outlooksync::Synchroniser(Forms::get<frmInfo>(), nullptr).Run(jobs);
        QApplication::processEvents();
        const double ms = t.nsecsElapsed() / 1e6;
        out << QStringLiteral("  %1: %2 ms, %3 failed; last line: %4\n")
                   .arg(QLatin1String(what))
                   .arg(ms, 0, 'f', 1)
                   .arg(failed)
                   .arg(Forms::get<frmInfo>()->LogText().section(QStringLiteral("\r\n"), -1));
        out.flush();
        return ms;
    };
    out << QStringLiteral("%1 appointments synchronised\n").arg(ids.size());
    const double first = timed("first run (creates entries)", ids);
    out << QStringLiteral("  calendar file: %1 bytes\n").arg(QFileInfo(calendar).size());
    const double second = timed("second run (no changes)   ", ids);
    out << QStringLiteral("  aims: each under 2000 ms -> first %1, second %2\n")
               .arg(first < 2000 ? QStringLiteral("met") : QStringLiteral("missed"),
                    second < 2000 ? QStringLiteral("met") : QStringLiteral("missed"));

    const qsizetype bytes = parser.value(size).toLongLong() * 1000 * 1000;
    const int perMonth = parser.value(month).toInt();
    struct Large {
        const char* name;
        QByteArray (*make)(qsizetype);
    };
    int slice = n;
    for (const Large& large : {Large{"folded as usual", FoldedCalendar},
                               Large{"one long line  ", LongLineCalendar}}) {
        if (bytes <= 0) break;
        const QString path =
            QDir(dir.path()).filePath(QStringLiteral("large-%1.ics").arg(slice));
        {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(large.make(bytes)) < 0) return 1;
        }
        qputenv("AMBRELLE_CALENDAR", path.toUtf8());
        out << QStringLiteral("%1 MB calendar file, %2 (%3 bytes):\n")
                   .arg(bytes / 1000000)
                   .arg(QLatin1String(large.name))
                   .arg(QFileInfo(path).size());
        out.flush();
        QElapsedTimer t;
        t.start();
        const outlook::Application reader;
        const double read = t.nsecsElapsed() / 1e6;
        out << QStringLiteral("  read: %1 ms (%2)\n")
                   .arg(read, 0, 'f', 1)
                   .arg(reader.Name().isEmpty() ? outlook::LastError() : QStringLiteral("ok"));
        const double run = timed("month's first run          ", all.mid(slice, perMonth));
        slice += perMonth;
        out << QStringLiteral("  aims: read and run each under 5000 ms -> read %1, run %2\n")
                   .arg(read < 5000 ? QStringLiteral("met") : QStringLiteral("missed"),
                        run < 5000 ? QStringLiteral("met") : QStringLiteral("missed"));
    }
    DbConnection().Close();
    return 0;
}
