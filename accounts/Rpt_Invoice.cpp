#include "Rpt_Invoice.h"

#include "accounts/reportqueries.h"
#include "core/globals.h"

using report::Control;
using report::Headings;
using report::MakeBox;
using report::MakeLabel;
using report::MakeLine;
using report::MakeMoney;
using report::MakeMoneySum;
using report::MakeTitle;
using report::Section;

Rpt_Invoice::Rpt_Invoice() {
    Caption = QStringLiteral("Invoice Report");
    AddSection("Section4", Section::ReportHeader, 600).controls = {
        MakeTitle("Label5", QStringLiteral("%i"), 0, 8800)};
    AddSection("Section2", Section::PageHeader, 330).controls =
        Headings({MakeLabel("Label1", QStringLiteral("Invoice Number:"), 60, 0, 1400),
                  MakeLabel("Label2", QStringLiteral("Customer"), 1500, 0, 3500),
                  MakeLabel("lblPayDate", QStringLiteral("Payment made"), 5160, 0, 1100),
                  MakeLabel("lblAmm", QStringLiteral("Amount"), 6300, 0, 800),
                  MakeLabel("lblVAT", QStringLiteral("VAT"), 7155, 0, 750),
                  MakeLabel("lblSubT", QStringLiteral("Sub Total"), 7935, 0, 850),
                  MakeLine("Line1", 60, 285, 8700)});
    AddSection("Section1", Section::Detail, 285).controls = {
        MakeBox("Text1", "InvoiceNumber", 60, 0, 1400),
        MakeBox("Text2", "CompanyName", 1500, 0, 3600),
        MakeBox("txtPayDate", "PaymentDate", 5160, 0, 1100),
        MakeMoney("txtAmm", "InvoiceAmount", 6300, 0, 800),
        MakeMoney("txtVAT", "InvoiceAmount", 7140, 0, 760),
        MakeMoney("txtSubT", "InvoiceAmount", 7920, 0, 860)};
    AddSection("Section3", Section::PageFooter, 360).controls = {
        MakeLabel("Label8", QStringLiteral("Page %p of %P"), 60, 60, 3000)};
    AddSection("Section5", Section::ReportFooter, 500).controls = {
        MakeLine("TotLine", 6075, 30, 2655),
        MakeLabel("Label6", QStringLiteral("Total(s) for the year:"), 3500, 90, 2500),
        MakeMoneySum("fncAmm", "InvoiceAmount", 6300, 90, 800),
        MakeMoneySum("fncVAT", "InvoiceAmount", 7140, 90, 760),
        MakeMoneySum("fncTotal", "InvoiceAmount", 7920, 90, 860)};
}

void Rpt_Invoice::DataReport_Initialize(const QString& yearText) {
    reports::SetVatColumns(*this, VatMultiplier != 0);
    if (VatMultiplier == 0) {
        // The payment date moves up to the net amount, the total's line over the one sum.
        section("Section2")->control("lblPayDate")->left = 6300;
        section("Section1")->control("txtPayDate")->left = 6300;
        Control* line = section("Section5")->control("TotLine");
        line->left = 7900;
        line->width = 850;
    }
    reports::OpenRows(*this, Rows, reports::InvoiceReportSql(FinYearStart, VatMultiplier));
    Title = OwnerCompanyName + QStringLiteral(" Invoice report for financial year ") + yearText;
}
