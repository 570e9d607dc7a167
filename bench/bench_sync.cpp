// Times the calendar synchronisation on the large generated database: a first run that makes
// a calendar entry for each of 1,000 appointments, then a run in which nothing changed.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
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
#include "platform/ui/prompts.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times two synchronisation runs."));
    parser.addHelpOption();
    QCommandLineOption count(QStringLiteral("appointments"),
                             QStringLiteral("Appointments synchronised."), QStringLiteral("n"),
                             QStringLiteral("1000"));
    parser.addOption(count);
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
    const QList<int> ids = outlooksync::ShownJobIDs(rs).mid(0, parser.value(count).toInt());

    auto timed = [&](const char* what) {
        QElapsedTimer t;
        t.start();
        const int failed = outlooksync::Synchroniser(Forms::get<frmInfo>(), nullptr).Run(ids);
        QApplication::processEvents();
        const double ms = t.nsecsElapsed() / 1e6;
        out << QStringLiteral("  %1: %2 ms, %3 failed; last line: %4\n")
                   .arg(QLatin1String(what))
                   .arg(ms, 0, 'f', 1)
                   .arg(failed)
                   .arg(Forms::get<frmInfo>()->LogText().section(QStringLiteral("\r\n"), -1));
        return ms;
    };
    out << QStringLiteral("%1 appointments synchronised\n").arg(ids.size());
    const double first = timed("first run (creates entries)");
    out << QStringLiteral("  calendar file: %1 bytes\n").arg(QFileInfo(calendar).size());
    const double second = timed("second run (no changes)   ");
    out << QStringLiteral("  aims: each under 2000 ms -> first %1, second %2\n")
               .arg(first < 2000 ? QStringLiteral("met") : QStringLiteral("missed"),
                    second < 2000 ? QStringLiteral("met") : QStringLiteral("missed"));
    DbConnection().Close();
    return 0;
}
