#pragma once

#include "platform/report/report.h"

class frmMain;

// The appointments the main window shows, one line each, under the owner's name and the month.
class Rpt_Monthly_Planner : public report::Report {
  public:
    Rpt_Monthly_Planner();
    // Set-up at every showing: the main window's appointment rows and shown month.
    void DataReport_Initialize(frmMain* main);
};
