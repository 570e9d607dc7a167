// The main window's invoice tracker: the two lists with their totals, and the commands of
// the pending list.
#include <QLineEdit>
#include <QLocale>
#include <QStyleOptionFrame>

#include "accounts/Invoice_system.h"
#include "accounts/frmInvoice.h"
#include "accounts/frmInvoiceDue.h"
#include "accounts/invoicerules.h"
#include "core/flexgrid.h"
#include "core/formatting.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/reports.h"
#include "core/settingscatalogue.h"
#include "diary/frmMain.h"
#include "diary/mainrules.h"
#include "platform/db/recordsetmodel.h"
#include "platform/ui/prompts.h"

namespace {

// A total too wide for its box ends in "…" rather than losing digits or its pound sign from
// the left; the whole amount is in the box's tooltip.
void ShowTotal(QLineEdit* box, const QString& total) {
    QStyleOptionFrame frame;
    frame.initFrom(box);
    frame.rect = box->rect();
    frame.lineWidth =
        box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box) : 0;
    const QRect contents = box->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box);
    // A line edit keeps two pixels either side of its text.
    const int room = contents.marginsRemoved(box->textMargins()).width() - 4;
    const QFontMetrics metrics(box->font());
    box->setText(metrics.horizontalAdvance(total) <= room
                     ? total
                     : metrics.elidedText(total, Qt::ElideRight, room));
    box->setToolTip(total);
}

// The invoice lists' key and amount.
const QString kInvoiceKey = QStringLiteral("Invoice Number");
const QString kInvoiceAmount = QStringLiteral("Amount");

}  // namespace

void frmMain::FillInvoiceGrids() {
    // Both filters are set before either list is read, so that only the invoices they show
    // are read.
    BillingRecordset.SetFilter(SettledInvoiceFilter(shownFinYearStart_));
    PendingRecordset = BillingRecordset.Clone();
    const bool all = catalogue::ReadBoolean(catalogue::OutstandingInvoiceDisplay).value_or(false);
    PendingRecordset.SetFilter(PendingInvoiceFilter(shownFinYearStart_, all));
    PendingRecordset.SetSort(QStringLiteral("[StageID], [Invoice Date]"));
    PendInv->Bind(PendingRecordset);
    SetInv->Bind(BillingRecordset);
    totalsCounted_ = false;
}

void frmMain::FormatInvoiceGrid(FlexGrid* grid, bool pending) {
    const bool vat = VatMultiplier != 0;
    if (vat) {
        grid->SetCols(8);
        grid->SetTextMatrix(0, 7, QStringLiteral("Inc VAT"));
    }
    // Each column formatted as a whole: a row's cells are worked out when it comes into view.
    for (int c : {2, pending ? 3 : 4}) {
        grid->SetColText(c, [grid, c](int r) {
            const auto d = ParseDbDate(grid->Value(r, c));
            return d ? QLocale().toString(*d, QLocale::ShortFormat) : QString();
        });
    }
    grid->SetColText(5, [grid](int r) { return FormatMoney(grid->Value(r, 5)); });
    if (vat) {
        grid->SetColText(7, [grid, vatMultiplier = VatMultiplier](int r) {
            return FormatTotal(WithVat(AmountOf(grid->Value(r, 5)), vatMultiplier));
        });
    }
    if (pending) {
        const uint overdue = StoredColour(catalogue::OverDueColour);
        const QDateTime now = QDateTime::currentDateTime();
        grid->SetRowBackColor([grid, overdue, now](int r) -> std::optional<std::uint32_t> {
            const auto due = db::ToDateTime(grid->Value(r, 3));
            if (due && *due < now) return overdue;
            return std::nullopt;
        });
    }
    // Every column's width is read back under the key it was saved under; one never saved
    // fits its formatted contents. The stage and the other list's date are not shown.
    const int hidden = pending ? 4 : 3;
    for (int i = 0; i < grid->Cols(); ++i) {
        if (i == 6 || i == hidden) {
            grid->SetColWidth(i, 0);
            continue;
        }
        const catalogue::StoreValue key = pending ? catalogue::PendColWidth(i) : catalogue::SettledColWidth(i);
        const auto saved = catalogue::ReadWholeNumber({key.section, key.key, QString()});
        const qint64 design = catalogue::WholeNumberFromText(key.defaultText).value_or(0);
        FitColumn(grid, i, saved, static_cast<int>(design / kTwipsPerPixel));
    }
}

void frmMain::FitColumn(QTableView* grid, int col, std::optional<qint64> savedTwips, int least) {
    grid->setColumnHidden(col, false);
    if (savedTwips && *savedTwips > 0) {
        fitted_.remove({grid, col});
        grid->setColumnWidth(col, std::max<int>(1, static_cast<int>(*savedTwips / kTwipsPerPixel)));
        return;
    }
    const int width = FittedColumnWidth(grid, col, least);
    grid->setColumnWidth(col, width);
    fitted_.insert({grid, col}, width);
}

bool frmMain::Fitted(const QTableView* grid, int col) const {
    const auto it = fitted_.constFind({grid, col});
    return it != fitted_.constEnd() && grid->columnWidth(col) == *it;
}

void frmMain::FormatMainGrids() {
    // Column 0, the key, stays hidden.
    for (int i = 1; i < appModel_->columnCount(); ++i) {
        const catalogue::StoreValue key = catalogue::CalendarColWidth(i);
        FitColumn(AppGrid, i, catalogue::ReadWholeNumber({key.section, key.key, QString()}),
                  static_cast<int>(StoredNumber(key) / kTwipsPerPixel));
    }

    if (!totalsCounted_) {
        pendingTotal_.Count(PendingRecordset, kInvoiceKey, kInvoiceAmount);
        settledTotal_.Count(BillingRecordset, kInvoiceKey, kInvoiceAmount);
        totalsCounted_ = true;
    }
    FormatInvoiceGrid(PendInv, true);
    const auto pending = pendingTotal_.Sum();
    ShowTotal(totPend, PendingRecordset.RecordCount() > 0 ? FormatTotal(pending) : QStringLiteral("0"));
    ShowTotal(totPendVAT, FormatTotal(WithVat(pending, VatMultiplier)));

    FormatInvoiceGrid(SetInv, false);
    const auto settled = settledTotal_.Sum();
    ShowTotal(totSet, BillingRecordset.RecordCount() > 0 ? FormatTotal(settled) : QStringLiteral("0"));
    ShowTotal(totSetVat, FormatTotal(WithVat(settled, VatMultiplier)));
    ShowTabControls();
}

bool frmMain::Written(const db::ChangeMark& mark, std::initializer_list<const char*> tables) {
    for (const char* table : tables) {
        const auto rows = DbConnection().ChangedRows(QString::fromLatin1(table), mark);
        if (!rows || !rows->isEmpty()) return true;
    }
    return false;
}

bool frmMain::ResyncInvoices() {
    // Another year, or names that may have changed in every row, are read whole.
    if (BillingRecordset.State() != db::adStateOpen || !totalsCounted_ || FinYearStart != shownFinYearStart_ ||
        Written(listsRead_, {"Companies"}))
        return false;
    const auto invoices = DbConnection().ChangedRows(QStringLiteral("Billing"), listsRead_);
    if (!invoices) return false;
    listsRead_ = DbConnection().Changes();
    if (invoices->isEmpty()) return true;
    // The two lists share their rows: both follow, and so do the grids showing them.
    if (!BillingRecordset.Resync(kInvoiceKey, *invoices)) return false;
    pendingTotal_.Recount(PendingRecordset, kInvoiceKey, kInvoiceAmount, *invoices);
    settledTotal_.Recount(BillingRecordset, kInvoiceKey, kInvoiceAmount, *invoices);
    return true;
}

void frmMain::ReadInvoicesAgain() {
    if (ResyncInvoices()) return;
    PendingRecordset.Close();
    BillingRecordset.Close();
    OpenBillingRecordset();
    FillInvoiceGrids();
}

void frmMain::RefreshInvoices() {
    ReadInvoicesAgain();
    FormatMainGrids();
}

void frmMain::FnYearCbo_Click() {
    const QString text = FnYearCbo->currentText();
    if (IsFourDigitYear(text)) FinYearStart = DateSerial(text.toInt(), FinYearStart.month(), FinYearStart.day());
    RefreshInvoices();
}

// ---- invoices ---------------------------------------------------------------------------

void frmMain::ShowInvoice() {
    Forms::get<frmInvoice>(this)->exec();
    // Each showing loads afresh from CurrentInvoiceNumber.
    Forms::unload<frmInvoice>();
    CurrentInvoiceNumber = 0;
    // Work attached to the invoice is shown as invoiced, as after the appointment editor.
    ShowEditedAppointments();
}

int frmMain::PendingInvoiceNumber() const {
    const int row = PendInv->Row();
    return row < 1 ? 0 : static_cast<int>(invoice::CellNumber(PendInv->TextMatrix(row, 0)));
}

void frmMain::PendInv_DblClick() {
    if (PendInv->Row() < 1) return;
    CurrentInvoiceNumber = PendingInvoiceNumber();
    ShowInvoice();
}

void frmMain::PendInv_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
    // The pop-up acts on the row that is current when it opens.
    if (button == Qt::RightButton) mnuCxtInvoice->popup(globalPos);
}

void frmMain::mnuEditInv_Click() { PendInv_DblClick(); }

void frmMain::mnuFileNewInvoice_Click() {
    CurrentInvoiceNumber = 0;
    ShowInvoice();
}

void frmMain::mnuProcessInv_Click() {
    const int number = PendingInvoiceNumber();
    const auto paid = AskInvoiceDate(this, invoice::kPaidQuestion, QDate::currentDate());
    if (!paid || number == 0) return;
    db::Recordset clone = PendingRecordset.Clone();
    clone.SetFilter(QStringLiteral("[Invoice Number] = '") + QString::number(number) + QStringLiteral("'"));
    if (clone.State() != db::adStateOpen || clone.Eof()) return;
    const QString refusal = invoice::PaymentRefusal(*paid, clone.Value(QStringLiteral("Invoice Date")));
    if (!refusal.isEmpty()) {
        ui::MsgBox(refusal, ui::vbOKOnly, QString(), this);
        return;
    }
    if (!clone.SetValue(QStringLiteral("StageID"), QStringLiteral("3")) ||
        !clone.SetValue(QStringLiteral("Payment Date"), QDateTime(*paid, QTime(0, 0))) || !clone.Update()) {
        ui::MsgBox(clone.LastError(), ui::vbOKOnly, QString(), this);
        return;
    }
    clone.Close();
    RefreshInvoices();
}

void frmMain::mnuSendReminder_Click() {
    if (PendInv->Row() < 1) return;
    // Left at the reminded invoice, as the other commands reset it before they open theirs.
    CurrentInvoiceNumber = PendingInvoiceNumber();
    Invoice_system reminder;
    reminder.DataReport_Initialize();
    reminder.section(1)->control(QStringLiteral("lblINV"))->caption = QStringLiteral("Payment Reminder");
    ShowReport(reminder, this);
}

