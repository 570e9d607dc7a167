#include "Rpt_Monthly_Planner.h"

#include "core/globals.h"
#include "core/optionsrules.h"
#include "diary/frmMain.h"

namespace {

report::Control Label(const char* name, const QString& caption, int left, int width,
                      int height = 255) {
    report::Control c;
    c.name = QString::fromLatin1(name);
    c.caption = caption;
    c.left = left;
    c.width = width;
    c.height = height;
    c.font = QFont(QStringLiteral("Arial"), 9);
    return c;
}

report::Control Box(const char* name, const char* field, int left, int width) {
    report::Control c = Label(name, QString(), left, width);
    c.kind = report::Control::TextBox;
    c.dataField = QString::fromLatin1(field);
    return c;
}

report::Control Rule(const char* name, int top, int width) {
    report::Control c;
    c.name = QString::fromLatin1(name);
    c.kind = report::Control::Line;
    c.top = top;
    c.width = width;
    return c;
}

}  // namespace

Rpt_Monthly_Planner::Rpt_Monthly_Planner() {
    Caption = QStringLiteral("Monthly Planner");
    report::Control title = Label("Label1", QStringLiteral("%i"), 15, 8415, 400);
    title.font = QFont(QStringLiteral("Arial"), 14, QFont::Bold);
    AddSection(QStringLiteral("Section4"), report::Section::ReportHeader, 600).controls = {title};

    std::vector<report::Control> headings = {
        Label("Label2", QStringLiteral("Start:"), 60, 1200),
        Label("Label3", QStringLiteral("Finish"), 1305, 1200),
        Label("Label4", QStringLiteral("Description"), 2715, 2600),
        Label("Label5", QStringLiteral("Customer"), 5445, 1900),
        Label("Label6", QStringLiteral("Duration"), 7470, 900),
        Rule("Line2", 300, 8415)};
    for (report::Control& h : headings) h.font.setBold(true);
    AddSection(QStringLiteral("Section2"), report::Section::PageHeader, 360).controls = headings;

    std::vector<report::Control> detail = {
        Box("Text1", "Start", 75, 1275),         Box("Text2", "Finish", 1335, 1275),
        Box("Text3", "Description", 2730, 2655), Box("Text4", "Customer", 5445, 1965),
        Box("Text5", "Duration", 7455, 930),     Rule("Line1", 285, 8415)};
    // Day and time: the month is in the title.
    detail[0].format = detail[1].format = QStringLiteral("d MMM HH:mm");
    AddSection(QStringLiteral("Section1"), report::Section::Detail, 300).controls = detail;

    report::Control pages = Label("Label7", QStringLiteral("%p of %P"), 0, 8415);
    pages.alignment = Qt::AlignRight;
    AddSection(QStringLiteral("Section3"), report::Section::PageFooter, 360).controls = {pages};

    report::Control count = Label("Function1", QString(), 2100, 1000);
    count.kind = report::Control::Function;
    count.function = report::Control::Count;
    count.dataField = QStringLiteral("Start");
    AddSection(QStringLiteral("Section5"), report::Section::ReportFooter, 400).controls = {
        Label("Label8", QStringLiteral("Number of appointments:"), 60, 2000), count};
}

void Rpt_Monthly_Planner::DataReport_Initialize(frmMain* main) {
    DataSource = &main->AppointmentRecordset;
    // Month and year both from the shown date, so the title names the month listed.
    const QDate shown = main->ViewDate.date();
    Title = OwnerCompanyName + QStringLiteral(" Monthly planner for ") +
            MonthNames().value(shown.month() - 1) + u' ' + QString::number(shown.year());
}
