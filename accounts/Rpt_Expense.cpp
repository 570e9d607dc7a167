#include "Rpt_Expense.h"

#include "accounts/expenserules.h"
#include "accounts/reportqueries.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"

using report::Control;
using report::Headings;
using report::MakeBox;
using report::MakeFunction;
using report::MakeLabel;
using report::MakeLine;
using report::MakeMoney;
using report::MakeMoneySum;
using report::MakeTitle;
using report::Section;

Rpt_Expense::Rpt_Expense() {
    Caption = QStringLiteral("Expense Report");
    // Landscape: the receipt column stands at the right of a wide page.
    Orientation = QPageLayout::Landscape;
    LeftMargin = 700;
    AddSection("Section4", Section::ReportHeader, 600).controls = {
        MakeTitle("Label9", QStringLiteral("Expense report"), 0, 6000)};
    AddSection("Section2", Section::PageHeader, 330).controls =
        Headings({MakeLabel("Label1", QStringLiteral("Date(s):"), 60, 0, 3900),
                  MakeLabel("Label2", QStringLiteral("Customer:"), 4000, 0, 2200),
                  MakeLabel("Label3", QStringLiteral("Type:"), 6250, 0, 1300),
                  MakeLabel("lblDesc", QStringLiteral("Description:"), 7600, 0, 3000),
                  MakeLabel("lblAmm", QStringLiteral("Amount:"), 10650, 0, 1100),
                  MakeLabel("lblVAT", QStringLiteral("VAT"), 11800, 0, 1000),
                  MakeLabel("lblSubT", QStringLiteral("Sub Total"), 12850, 0, 1150),
                  MakeLabel("Label7", QStringLiteral("Receipt?"), 14100, 0, 900),
                  MakeLine("Line2", 60, 285, 14940)});
    // A date of its own in the form the job's dates are joined in, seconds and all.
    AddSection("Section1", Section::Detail, 300).controls = {
        MakeBox("Text1", "Dates", 60, 0, 3900, QStringLiteral("General Date")),
        MakeBox("Text2", "CompanyName", 4000, 0, 2200),
        MakeBox("Text3", "Type", 6250, 0, 1300),
        MakeBox("txtDesc", "Description", 7600, 0, 3000),
        MakeMoney("txtAmm", "SubT", 10650, 0, 1100),
        MakeMoney("txtVAT", "SubT", 11800, 0, 1000),
        MakeMoney("txtSubT", "SubT", 12850, 0, 1150),
        MakeBox("Text7", "Receipt", 14100, 0, 900),
        MakeLine("Line1", 60, 285, 14940)};
    AddSection("Section3", Section::PageFooter, 360).controls = {
        MakeLabel("Label8", QStringLiteral("Page %p of %P"), 60, 60, 3000)};
    AddSection("Section5", Section::ReportFooter, 500).controls = {
        MakeLine("TotLine", 10600, 30, 3400),
        MakeLabel("Label10", QStringLiteral("Total:"), 60, 90, 800),
        MakeFunction("Function2", Control::Count, "SubT", 900, 90, 700),
        MakeLabel("Label6", QStringLiteral("Items"), 1650, 90, 800),
        MakeMoneySum("fncAmm", "SubT", 10650, 90, 1100),
        MakeMoneySum("fncVAT", "SubT", 11800, 90, 1000),
        MakeMoneySum("fncTotal", "SubT", 12850, 90, 1150)};
}

void Rpt_Expense::DataReport_Initialize() {
    const auto stored = catalogue::SystemValue(DbConnection(), catalogue::sys::Milage);
    const auto ratePence = expense::MileageRatePence(stored);

    reports::SetVatColumns(*this, VatMultiplier != 0);
    if (VatMultiplier == 0) {
        // The description takes the room of the two money columns that go.
        section("Section2")->control("lblDesc")->width += 2150;
        section("Section1")->control("txtDesc")->width += 2150;
    }
    // Mileage at some other rate would print wrong figures: the report says why it has none.
    if (!ratePence) {
        SetUpError = expense::UnreadableMileageRate(stored.value_or(QString()));
        return;
    }
    reports::OpenRows(*this, Rows,
                      reports::ExpenseReportSql(FinYearStart, VatMultiplier, *ratePence / 100));
}
