#include "startup.h"

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <algorithm>

#include "core/forms.h"
#include "core/frmSplash.h"
#include "core/globals.h"
#include "core/maintenance.h"
#include "core/settingscatalogue.h"
#include "platform/db/connection.h"
#include "platform/ui/prompts.h"

namespace {

const QString kDriverTail = QStringLiteral(
    ";Driver={Microsoft Access Driver (*.mdb)};DriverId=25;FIL=MS Access;MaxBufferSize=2048;MaxScanRows=8;"
    "PageTimeout=5;PWD=");
const QString kDriverEnd = QStringLiteral(";SafeTransactions=0;Threads=3;UID=admin;UserCommitSync=Yes;");

QString ConnectionTail() { return kDriverTail + DatabasePassword + kDriverEnd; }

void SetStatus(const QString& text) { Forms::get<frmSplash>()->Status->setText(text); }

bool AnyWindowOpen() {
    const auto windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); });
}

}  // namespace

QString PickedFileConnectionString(const QString& file, const QString& programFolder) {
    // A folder name may hold ";": such values are braced, or the reader would cut them there.
    return QStringLiteral("PROVIDER=MSDataShape;DBQ=") + db::ConnectionStringQuote(file) +
           QStringLiteral(";DefaultDir=") +
           db::ConnectionStringQuote(QDir::toNativeSeparators(QDir::cleanPath(programFolder))) +
           ConnectionTail();
}

QString DefaultConnectionString(const QString& programFolder) {
    return PickedFileConnectionString(QDir(programFolder).filePath(QStringLiteral("ambrelle.mdb")), programFolder);
}

CommandLineRequest ParseCommandLine(const QString& commandLine) {
    CommandLineRequest request;
    if (commandLine.isEmpty()) return request;
    const QStringList args = commandLine.split(u' ');
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString arg = args[i].toLower();
        if (arg == u"-u" || arg == u"/u") {
            request.forgetConnection = true;
            break;
        }
        if (arg == u"-r" || arg == u"/r") {
            request.repair = true;
        } else if (arg == u"-i" || arg == u"/i") {
            if (i == args.size() - 1) {
                ui::MsgBox(QStringLiteral("Invoice Number not specified."), ui::vbOKOnly, AppTitle);
                continue;
            }
            ++i;
            // The number becomes an invoice key, so it must be one.
            bool ok = false;
            const qlonglong n = args[i].trimmed().toLongLong(&ok);
            if (!ok || n < 1 || n > 2147483647LL) {
                ui::MsgBox(QStringLiteral("Invalid invoice number: ") + args[i] + QStringLiteral("\r\n") +
                               QStringLiteral("The invoice number must be a whole number from 1 to 2147483647."),
                           ui::vbOKOnly, AppTitle);
                continue;
            }
            request.invoiceNumber = true;
            request.startInvoiceNumber = static_cast<int>(n);
        } else {
            ui::MsgBox(QStringLiteral("Invalid argument: ") + args[i] + QStringLiteral("\r\nValid arguments are: \r\n") +
                           QStringLiteral("-u unregister database\r\n-r repair database\r\n-i changing starting invoice number"),
                       ui::vbOKOnly, AppTitle);
        }
    }
    return request;
}

bool Main(const QString& commandLine, const StartupHooks& hooks) {
    ui::SetMousePointer(ui::vbHourglass);
    const CommandLineRequest request = ParseCommandLine(commandLine);
    db::Connection& conn = DbConnection();
    // An -i before -u still asks for its job.
    if (request.invoiceNumber) StartInvoiceNumber = request.startInvoiceNumber;
    if (request.forgetConnection) {
        catalogue::DeleteValue(catalogue::ADOString);
    } else {
        SetStatus(QStringLiteral("Attempting to connect to datasource"));
        conn.SetConnectionString(catalogue::ReadText(catalogue::ADOString));
        if (conn.ConnectionString().isEmpty()) {
            conn.SetConnectionString(DefaultConnectionString(ProgramFolder()));
            catalogue::WriteText(catalogue::ADOString, conn.ConnectionString());
        }
        conn.SetCursorLocation(db::adUseClient);
        conn.Open();
    }
    Forms::get<frmSplash>()->show();

    if (conn.State() != db::adStateOpen) {
        for (;;) {
            SetStatus(QStringLiteral("Failed to Connect to datasource, attempting to create default data source..."));
            ui::SetMousePointer(ui::vbDefault);
            // The engine's reason goes with the question: read-only, in use, not a database...
            if (ui::MsgBox(QStringLiteral("Would you like to select the database manually?"),
                           ui::vbOKCancel, QStringLiteral("I can't seem to open my database"),
                           nullptr, conn.LastError()) == ui::vbCancel) {
                Forms::unload<frmSplash>();
                return false;
            }
            ui::FileDialogOptions options;
            options.title = QStringLiteral("Select Jet database to open");
            options.filter = QStringLiteral("Microsoft Access Database (*.MDB) | *.MDB");
            options.fileName = QStringLiteral("*.MDB");
            options.initialDir = ProgramFolder();
            const QString file = ui::GetOpenFileName(options, Forms::find<frmSplash>());
            if (!file.isEmpty()) conn.SetConnectionString(PickedFileConnectionString(file, ProgramFolder()));
            Forms::unload<frmSplash>();
            conn.Open();
            if (conn.State() == db::adStateOpen) {
                catalogue::WriteText(catalogue::ADOString, conn.ConnectionString());
                break;
            }
        }
    }
    SetStatus(QStringLiteral("Connection established"));

    // A missing row or a rate that is no number leaves the owner unregistered.
    if (const auto value = catalogue::SystemValue(conn, catalogue::sys::VATRate)) {
        if (const auto rate = catalogue::VatRateFromText(*value)) VatMultiplier = catalogue::VatMultiplierFor(*rate);
    }

    if (request.invoiceNumber) {
        ResetInvoiceNumber();
    } else if (request.repair) {
        CompactAndRepairDatabase();
    } else {
        // Nothing of the start stays in front of the main window and its questions.
        Forms::unload<frmSplash>();
        if (hooks.showMainWindow) hooks.showMainWindow();
        if (hooks.checkOwnerDetails) hooks.checkOwnerDetails();
    }
    Forms::unload<frmSplash>();
    ui::SetMousePointer(ui::vbDefault);
    return AnyWindowOpen();
}
