#pragma once

#include <QString>

// The two jobs the command line asks for instead of the main window. Both report into the
// progress-log window, close the shared connection when they end, and leave the log open.

// Compacts the database through a checked copy in its own folder that then takes its place.
void CompactAndRepairDatabase();
// Makes the database give StartInvoiceNumber as the next invoice number, after a countdown
// that a key or mouse press in the log window stops.
void ResetInvoiceNumber();

// The compacted copy's name, beside the database.
QString RepairFilePath(const QString& databasePath);
// Length of one countdown step; tests shorten it.
inline int CountdownStepMs = 1000;
