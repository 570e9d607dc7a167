// Times the main window on a large and on an empty database in one run: start-up from Main
// to the window shown, and one month change (NextMon until the grid and the calendar's
// colour mask are done).
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

#include "bench/generator.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/startup.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "platform/settings/settings.h"
#include "platform/ui/prompts.h"

namespace {

struct Figures {
    double startMedian = 0, startMin = 0, monthMedian = 0, monthMin = 0;
    int monthRows = 0;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// One database: the program folder holds it as ambrelle.mdb, so Main opens it by default.
Figures Measure(const QString& folder, int runs, int monthChanges) {
    SetProgramFolder(folder);
    settings::SetStoreFolder(QDir(folder).filePath(QStringLiteral("settings")));
    std::vector<double> starts, months;
    Figures f;
    for (int run = 0; run < runs; ++run) {
        StartupHooks hooks;
        hooks.showMainWindow = [] { Forms::get<frmMain>()->show(); };
        QElapsedTimer t;
        t.start();
        Main(QString(), hooks);
        QApplication::processEvents();
        starts.push_back(t.nsecsElapsed() / 1e6);

        frmMain* w = Forms::find<frmMain>();
        for (int m = 0; m < monthChanges; ++m) {
            QElapsedTimer mt;
            mt.start();
            w->NextMon_Click();
            QApplication::processEvents();
            months.push_back(mt.nsecsElapsed() / 1e6);
            f.monthRows = std::max(f.monthRows, w->AppointmentRecordset.RecordCount());
        }
        Forms::unload<frmMain>();
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    f.startMedian = Median(starts);
    f.startMin = *std::min_element(starts.begin(), starts.end());
    f.monthMedian = Median(months);
    f.monthMin = *std::min_element(months.begin(), months.end());
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times the main window's start and a month change."));
    parser.addHelpOption();
    QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Start-ups per database."), QStringLiteral("n"),
                            QStringLiteral("7"));
    QCommandLineOption months(QStringLiteral("months"), QStringLiteral("Month changes per start-up."),
                              QStringLiteral("n"), QStringLiteral("12"));
    parser.addOptions({runs, months});
    parser.process(app);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString big = QDir(dir.path()).filePath(QStringLiteral("big"));
    const QString empty = QDir(dir.path()).filePath(QStringLiteral("empty"));
    QDir().mkpath(big);
    QDir().mkpath(empty);
    QString error;
    bench::Generated generated;
    // Appointments end a few months after today, so the month changes run over full months.
    if (!bench::GenerateDatabase(QDir(big).filePath(QStringLiteral("ambrelle.mdb")), bench::Sizes{}, 1, &error,
                                 &generated, QDate::currentDate().addMonths(12)) ||
        !bench::GenerateDatabase(QDir(empty).filePath(QStringLiteral("ambrelle.mdb")),
                                 bench::Sizes{0, 0, 0, 1, 0, 0}, 1, &error)) {
        out << "cannot generate: " << error << "\n";
        return 1;
    }
    // The calendar control is registered in a registry of this run's own.
    com::SetRegistryFile(QDir(dir.path()).filePath(QStringLiteral("components.ini")));
    if (!com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY))) {
        out << "cannot register the calendar: " << com::LastError() << "\n";
        return 1;
    }
    ui::Install(std::make_unique<ui::ScriptedPrompts>());  // nothing may wait for an answer

    const int n = parser.value(runs).toInt();
    const int m = parser.value(months).toInt();
    const Figures large = Measure(big, n, m);
    const Figures none = Measure(empty, n, m);
    out << QStringLiteral("%1 appointments, %2 invoices, %3 expenses; %4 start-ups, %5 month changes each\n")
               .arg(generated.appointments)
               .arg(generated.invoices)
               .arg(generated.expenses)
               .arg(n)
               .arg(m);
    out << QStringLiteral("  %1 %2 %3 %4 %5\n")
               .arg(QStringLiteral("database"), -10)
               .arg(QStringLiteral("start median"), 14)
               .arg(QStringLiteral("start min"), 11)
               .arg(QStringLiteral("month median"), 14)
               .arg(QStringLiteral("month min"), 11);
    auto row = [&out](const char* name, const Figures& f) {
        out << QStringLiteral("  %1 %2 %3 %4 %5   (up to %6 appointments in a month)\n")
                   .arg(QString::fromLatin1(name), -10)
                   .arg(f.startMedian, 11, 'f', 1)
                   .arg(f.startMin, 11, 'f', 1)
                   .arg(f.monthMedian, 11, 'f', 2)
                   .arg(f.monthMin, 11, 'f', 2)
                   .arg(f.monthRows);
    };
    row("50,000", large);
    row("empty", none);
    out << QStringLiteral("  times in ms; aims on the large database: start-up under 500 ms -> %1, month change under 30 ms -> %2\n")
               .arg(large.startMedian < 500 ? QStringLiteral("met") : QStringLiteral("missed"),
                    large.monthMedian < 30 ? QStringLiteral("met") : QStringLiteral("missed"));
    return 0;
}
