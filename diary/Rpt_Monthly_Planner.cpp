#include "Rpt_Monthly_Planner.h"

#include "core/globals.h"
#include "core/optionsrules.h"
#include "diary/frmMain.h"

using report::MakeBox;
using report::MakeLabel;
using report::MakeLine;

Rpt_Monthly_Planner::Rpt_Monthly_Planner() {
    Caption = QStringLiteral("Monthly Planner");
    AddSection(QStringLiteral("Section4"), report::Section::ReportHeader, 600).controls = {
        report::MakeTitle("Label1", QStringLiteral("%i"), 15, 8415, 14)};

    AddSection(QStringLiteral("Section2"), report::Section::PageHeader, 360).controls =
        report::Headings({MakeLabel("Label2", QStringLiteral("Start:"), 60, 0, 1200),
                          MakeLabel("Label3", QStringLiteral("Finish"), 1305, 0, 1200),
                          MakeLabel("Label4", QStringLiteral("Description"), 2715, 0, 2600),
                          MakeLabel("Label5", QStringLiteral("Customer"), 5445, 0, 1900),
                          MakeLabel("Label6", QStringLiteral("Duration"), 7470, 0, 900),
                          MakeLine("Line2", 0, 300, 8415)});

    std::vector<report::Control> detail = {
        MakeBox("Text1", "Start", 75, 0, 1275),         MakeBox("Text2", "Finish", 1335, 0, 1275),
        MakeBox("Text3", "Description", 2730, 0, 2655), MakeBox("Text4", "Customer", 5445, 0, 1965),
        MakeBox("Text5", "Duration", 7455, 0, 930),     MakeLine("Line1", 0, 285, 8415)};
    // Day and time: the month is in the title.
    detail[0].format = detail[1].format = QStringLiteral("d MMM HH:mm");
    AddSection(QStringLiteral("Section1"), report::Section::Detail, 300).controls = detail;

    report::Control pages = MakeLabel("Label7", QStringLiteral("%p of %P"), 0, 0, 8415);
    pages.alignment = Qt::AlignRight;
    AddSection(QStringLiteral("Section3"), report::Section::PageFooter, 360).controls = {pages};

    report::Control count =
        report::MakeFunction("Function1", report::Control::Count, "Start", 2100, 0, 1000);
    AddSection(QStringLiteral("Section5"), report::Section::ReportFooter, 400).controls = {
        MakeLabel("Label8", QStringLiteral("Number of appointments:"), 60, 0, 2000), count};
}

void Rpt_Monthly_Planner::DataReport_Initialize(frmMain* main) {
    DataSource = &main->AppointmentRecordset;
    // Month and year both from the shown date, so the title names the month listed.
    const QDate shown = main->ViewDate.date();
    Title = OwnerCompanyName + QStringLiteral(" Monthly planner for ") +
            MonthNames().value(shown.month() - 1) + u' ' + QString::number(shown.year());
}
