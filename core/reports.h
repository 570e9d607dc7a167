#pragma once

class QWidget;
namespace report {
class Report;
}

// Shows a report modally over `owner`; a report that cannot be laid out says why.
bool ShowReport(const report::Report& report, QWidget* owner);
