// Times the invoice editor on the large generated database: opening it on a pending invoice
// (the editor loaded and shown) and the main window's refresh after it closes.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

#include "accounts/frmInvoice.h"
#include "bench/generator.h"
#include "bench/timing.h"
#include "core/flexgrid.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/startup.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "platform/settings/settings.h"
#include "platform/ui/prompts.h"

namespace {

using bench::Median;

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times opening the invoice editor and the refresh after it."));
    parser.addHelpOption();
    QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Openings."),
                            QStringLiteral("n"), QStringLiteral("25"));
    parser.addOption(runs);
    parser.process(app);
    QTextStream out(stdout);

    QTemporaryDir dir;
    QString error;
    bench::Generated generated;
    if (!bench::GenerateDatabase(QDir(dir.path()).filePath(QStringLiteral("ambrelle.mdb")),
                                 bench::Sizes{}, 1, &error, &generated)) {
        out << "cannot generate: " << error << "\n";
        return 1;
    }
    SetProgramFolder(dir.path());
    settings::SetStoreFolder(QDir(dir.path()).filePath(QStringLiteral("settings")));
    com::SetRegistryFile(QDir(dir.path()).filePath(QStringLiteral("components.ini")));
    if (!com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY))) {
        out << "cannot register the calendar: " << com::LastError() << "\n";
        return 1;
    }
    ui::Install(std::make_unique<ui::ScriptedPrompts>());  // nothing may wait for an answer

    StartupHooks hooks;
    hooks.showMainWindow = [] { Forms::get<frmMain>()->show(); };
    Main(QString(), hooks);
    frmMain* main = Forms::find<frmMain>();

    // Invoices spread over the whole table, each with its attached work.
    std::vector<int> numbers;
    db::Recordset rs;
    rs.Open(QStringLiteral("select InvoiceNumber from Billing"), DbConnection(),
            db::adOpenForwardOnly, db::adLockReadOnly);
    const int n = std::max(1, parser.value(runs).toInt());
    const int step = std::max(1, rs.RecordCount() / n);
    for (int i = 0; !rs.Eof() && static_cast<int>(numbers.size()) < n; rs.MoveNext(), ++i)
        if (i % step == 0) numbers.push_back(rs.Value(QStringLiteral("InvoiceNumber")).toInt());
    rs.Close();

    std::vector<double> opens, refreshes;
    int workRows = 0;
    for (int number : numbers) {
        QElapsedTimer t;
        t.start();
        CurrentInvoiceNumber = number;
        frmInvoice* editor = Forms::get<frmInvoice>(main);
        editor->show();
        QApplication::processEvents();
        opens.push_back(t.nsecsElapsed() / 1e6);
        workRows = std::max(workRows, editor->EditorWorkRecordset.RecordCount());

        t.restart();
        Forms::unload<frmInvoice>();
        CurrentInvoiceNumber = 0;
        main->RefreshInvoices();
        QApplication::processEvents();
        refreshes.push_back(t.nsecsElapsed() / 1e6);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const double openMedian = Median(opens), refreshMedian = Median(refreshes);
    out << QStringLiteral(
               "%1 appointments, %2 invoices; %3 openings (up to %4 jobs on an invoice)\n")
               .arg(generated.appointments)
               .arg(generated.invoices)
               .arg(numbers.size())
               .arg(workRows);
    out << QStringLiteral("  open editor:   median %1 ms, min %2 ms, max %3 ms\n")
               .arg(openMedian, 0, 'f', 2)
               .arg(*std::min_element(opens.begin(), opens.end()), 0, 'f', 2)
               .arg(*std::max_element(opens.begin(), opens.end()), 0, 'f', 2);
    out << QStringLiteral("  refresh after: median %1 ms, min %2 ms, max %3 ms\n")
               .arg(refreshMedian, 0, 'f', 2)
               .arg(*std::min_element(refreshes.begin(), refreshes.end()), 0, 'f', 2)
               .arg(*std::max_element(refreshes.begin(), refreshes.end()), 0, 'f', 2);
    out << QStringLiteral("  aims: each under 50 ms -> open %1, refresh %2\n")
               .arg(openMedian < 50 ? QStringLiteral("met") : QStringLiteral("missed"),
                    refreshMedian < 50 ? QStringLiteral("met") : QStringLiteral("missed"));
    Forms::unload<frmMain>();
    return 0;
}
