// The main window's year-end command: the year's files for the accountant, and the mail.
#include <QDir>
#include <QLocale>

#include "accounts/expenserules.h"
#include "accounts/yearend.h"
#include "core/globals.h"
#include "core/sendmail.h"
#include "core/settingscatalogue.h"
#include "diary/frmMain.h"
#include "diary/mainrules.h"
#include "platform/mapi/mapi.h"
#include "platform/ui/prompts.h"

namespace {

// The hourglass for as long as the files are written, whichever way the command leaves.
struct Hourglass {
    Hourglass() { ui::SetMousePointer(ui::vbHourglass); }
    ~Hourglass() { ui::SetMousePointer(ui::vbDefault); }
};

}  // namespace

void frmMain::mnuEndofYear_Click() {
    const QLocale loc;
    if (shownFinYearEnd_ > QDate::currentDate()) {
        ui::MsgBox(QStringLiteral("You cannot generate the financial year report becuase the end "
                                  "of year has not passed."),
                   ui::vbOKOnly, AppTitle, this);
        return;
    }
    if (BillingRecordset.State() == db::adStateOpen) {
        db::Recordset outstanding = BillingRecordset.Clone();
        outstanding.SetFilter(PendingInvoiceFilter(shownFinYearStart_, false));
        if (const int n = outstanding.RecordCount(); n > 0)
            ui::MsgBox(QStringLiteral("Warning, you have ") + QString::number(n) +
                           QStringLiteral(" outstanding invoices for the current financial year, "
                                          "please process these first."),
                       ui::vbOKOnly, QString(), this);
    }
    if (ui::MsgBox(QStringLiteral("About to generate financial report for year ending ") +
                       loc.toString(shownFinYearEnd_, QLocale::ShortFormat),
                   ui::vbOKCancel, AppTitle, this) != ui::vbOK)
        return;

    // The accountant is sent no mileage counted at some other rate than the owner's.
    const auto storedRate = catalogue::SystemValue(DbConnection(), catalogue::sys::Milage);
    const auto ratePence = expense::MileageRatePence(storedRate);
    if (!ratePence) {
        ui::MsgBox(expense::UnreadableMileageRate(storedRate.value_or(QString())),
                   ui::vbExclamation, QString(), this);
        return;
    }
    const yearend::Files files = yearend::FilesFor(ProgramFolder(), FnYearCbo->currentText());
    yearend::Written written;
    QString error;
    {
        Hourglass busy;
        written = yearend::WriteFiles(DbConnection(), files, shownFinYearStart_, *ratePence / 100,
                                      &error);
    }
    switch (written) {
        case yearend::Written::Failed:
            ui::MsgBox(QStringLiteral("The end of year files could not be written."),
                       ui::vbExclamation, QString(), this, error);
            break;
        case yearend::Written::WithoutPaidInvoices:
            ui::MsgBox(QStringLiteral("There are no paid invoices to send, your end of year files "
                                      "have been stored in ") +
                           QDir::toNativeSeparators(ProgramFolder()) + u'.',
                       ui::vbOKOnly, AppTitle, this);
            break;
        case yearend::Written::All:
            MailYearEndFiles(files.all());
            break;
    }
}

void frmMain::MailYearEndFiles(const QStringList& attachments) {
    QString to =
        catalogue::SystemValue(DbConnection(), catalogue::sys::AccountantEmail).value_or(QString());
    // No window keeps the address: asked for once, it is kept for the years after. One that is
    // no address is asked for again, until one is given or the question cancelled.
    if (!yearend::IsMailAddressList(to)) {
        QString typed = to.trimmed();
        for (;;) {
            const auto answer =
                ui::InputBox(yearend::kAccountantPrompt, yearend::kAccountantTitle, typed, this);
            typed = answer.value_or(QString()).trimmed();
            if (typed.isEmpty() || yearend::IsMailAddressList(typed)) break;
            ui::MsgBox(yearend::NotAnAddress(typed), ui::vbExclamation, QString(), this);
        }
        to = typed;
        db::Recordset system;
        if (!to.isEmpty() &&
            !(catalogue::OpenSystemRows(system, DbConnection()) &&
              catalogue::WriteSystemRow(system, catalogue::sys::AccountantEmail, to)))
            ui::MsgBox(yearend::kAccountantNotKept, ui::vbExclamation, QString(), this,
                       db::LastError());
    }
    if (to.isEmpty()) {
        ui::MsgBox(
            QStringLiteral(
                "Operation failed, could not send an email, you files have been stored in \n") +
                QDir::toNativeSeparators(ProgramFolder()) +
                QStringLiteral(" for you to send to your accountant."),
            ui::vbOKOnly, QString(), this);
        return;
    }
    const std::uint32_t code =
        SendMail(yearend::MailSubject(OwnerCompanyName), to, QString(), attachments.join(u';'),
                 yearend::MailBody(OwnerCompanyName, FnYearCbo->currentText()), this);
    // A server that stopped answering is said in the message itself, not only in its details.
    QString text = yearend::SendResultText(code);
    if (mapi::LastCallTimedOut()) text += QStringLiteral("\n\n") + mapi::LastReply();
    ui::MsgBox(text, ui::vbOKOnly, AppTitle, this, code == 0 ? QString() : mapi::LastReply());
}
