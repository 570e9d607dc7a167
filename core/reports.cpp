#include "reports.h"

#include "platform/report/report.h"
#include "platform/ui/prompts.h"

bool ShowReport(const report::Report& report, QWidget* owner) {
    QString error;
    if (report.Show(owner, &error)) return true;
    ui::MsgBox(error, ui::vbExclamation, QString(), owner);
    return false;
}
