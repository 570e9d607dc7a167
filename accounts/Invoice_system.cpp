#include "Invoice_system.h"

#include "accounts/reportqueries.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"

using report::Control;
using report::MakeBox;
using report::MakeLabel;
using report::MakeLine;
using report::Section;

Invoice_system::Invoice_system() {
    Caption = QStringLiteral("Invoice");
    Control name = report::MakeTitle("lblMyCpy", QString(), 2055, 4300, 14);
    name.top = 75;
    Control title = MakeLabel("lblINV", QStringLiteral("Invoice"), 3090, 810, 3300, 300);
    title.font = QFont(QStringLiteral("Arial"), 12, QFont::Bold);
    // The owner's address, one line under the other however many it has.
    Control address = MakeLabel("cpyAddress", QString(), 6510, 75, 2250, 855);
    address.canGrow = true;
    AddSection("Section4", Section::ReportHeader, 1125).controls = {name, title, address};
    AddSection("Section6", Section::PageHeader, 0);

    std::vector<Control> head;
    const char* customer[][2] = {{"Text1", "CompanyName"}, {"Text2", "Street"},
                                 {"Text3", "Town"},        {"Text4", "County"},
                                 {"Text5", "Country"},     {"Text6", "PostCode"}};
    for (int i = 0; i < 6; ++i)
        head.push_back(MakeBox(customer[i][0], customer[i][1], 240, 120 + 255 * i, 4000));
    head.push_back(MakeLabel("Label7", QStringLiteral("Invoice Number:"), 5700, 75, 1500));
    head.push_back(MakeBox("Text11", "InvoiceNumber", 7300, 75, 1800));
    head.push_back(
        MakeBox("Text12", "BillingDate", 7300, 375, 1800, QStringLiteral("d MMMM yyyy")));
    const std::pair<const char*, QString> headings[] = {
        {"Label2", "Start:"},       {"Label3", "End:"},       {"Label4", "Duration:"},
        {"Label5", "Description:"}, {"Label9", "PO Number:"}, {"lblVat_item", "VAT"},
        {"Label6", "Fee:"}};
    const int columns[] = {60, 1060, 2060, 3000, 6240, 7240, 8100};
    for (int i = 0; i < 7; ++i) {
        Control h =
            MakeLabel(headings[i].first, headings[i].second, columns[i], 2250, i == 3 ? 3180 : 950);
        h.font.setBold(true);
        head.push_back(h);
    }
    head.push_back(MakeLine("Line1", 60, 2520, 9040));
    AddSection("Section2", Section::GroupHeader, 2550).controls = head;

    Control rate = MakeLabel("txtVat_item", QString(), columns[5], 60, 850);
    Control fee = report::MakeMoney("Text9", "Fee", columns[6], 60, 1000);
    AddSection("Section1", Section::Detail, 390).controls = {
        MakeBox("txtStart", "Start", columns[0], 60, 950, QStringLiteral("d.MMM.yy")),
        MakeBox("txtEnd", "Finish", columns[1], 60, 950, QStringLiteral("d.MMM.yy")),
        MakeBox("Text7", "Duration", columns[2], 60, 900),
        MakeBox("Text8", "Description", columns[3], 60, 3180),
        MakeBox("Text14", "PO_Number", columns[4], 60, 950),
        rate,
        fee};

    std::vector<Control> foot = {
        MakeLabel("lblSubTot", QStringLiteral("Total"), 6900, 765, 1100),
        report::MakeMoney("Text10", "InvoiceAmount", 8040, 765, 1060),
        MakeLabel("lblVAT", QStringLiteral("VAT"), 6900, 1095, 1100),
        report::MakeMoney("txtVAT", "none", 8040, 1095, 1060),
        MakeLine("Line2", 6900, 1380, 2200),
        MakeLabel("lblTotal", QStringLiteral("Total"), 6900, 1410, 1100),
        report::MakeMoney("txtTotal", "none", 8040, 1410, 1060),
        MakeLabel("Label8", QStringLiteral("Payment Details:"), 240, 1740, 2000),
        MakeBox("Text13", "InvoicePaymentDetails", 240, 2040, 8265)};
    foot.back().height = 390;
    AddSection("Section3", Section::GroupFooter, 2430).controls = foot;
    Control page = MakeLabel("Label10", QStringLiteral("%p"), 0, 90, 9100);
    page.alignment = Qt::AlignRight;
    AddSection("Section7", Section::PageFooter, 435).controls = {page};
    AddSection("Section5", Section::ReportFooter, 360);
}

void Invoice_system::DataReport_Initialize() {
    const bool vat = VatMultiplier != 0;
    Section* footer = section("Section3");
    for (const char* name : {"txtVAT", "txtTotal"}) {
        Control* c = footer->control(name);
        c->visible = vat;
        // A hidden box still needs a column of the query.
        c->dataField = vat ? QString::fromLatin1(name + 3) : QStringLiteral("InvoiceAmount");
    }
    footer->control("lblVAT")->visible = vat;
    footer->control("lblTotal")->visible = vat;
    if (vat) footer->control("lblSubTot")->caption = QStringLiteral("Sub Total");
    section("Section2")->control("lblVat_item")->visible = vat;
    Control* rate = section("Section1")->control("txtVat_item");
    rate->visible = vat;
    if (vat)
        rate->caption = report::Report::FormatValue(VatMultiplier - 1, QStringLiteral("percent"));

    if (!ParentCMD.Open(reports::PrintedInvoiceSql(VatMultiplier, CurrentInvoiceNumber),
                        DbConnection(), db::adOpenStatic, db::adLockOptimistic))
        SetUpError = ParentCMD.LastError();
    DataSource = &ParentCMD;
    ChildRows = [](const db::Recordset& parent, int row) {
        auto work = std::make_unique<db::Recordset>();
        work->OpenWith(reports::PrintedInvoiceWorkSql(), DbConnection(),
                       {parent.ValueAt(row, parent.FieldIndex(QStringLiteral("InvoiceNumber")))});
        return work;
    };

    Section* top = section(1);
    top->control("lblMyCpy")->caption = OwnerCompanyName;
    db::Recordset system;
    if (system.Open(
            QStringLiteral("SELECT System.FieldName, System.Value, system.image From System"),
            DbConnection(), db::adOpenDynamic, db::adLockReadOnly)) {
        Control* address = top->control("cpyAddress");
        if (const auto a = catalogue::ReadSystemRow(system, catalogue::sys::MyAddress))
            address->caption = *a;
        if (const auto p = catalogue::ReadSystemRow(system, catalogue::sys::MyPostcode))
            address->caption += QChar(13) + *p;
        system.Close();
    }
}
