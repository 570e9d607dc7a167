#pragma once

#include <QString>

#include <functional>

// What the command line asks for. Messages about bad arguments are shown while it is read.
struct CommandLineRequest {
    bool forgetConnection = false;  // -u
    bool repair = false;            // -r
    bool invoiceNumber = false;     // -i n
    int startInvoiceNumber = 0;
};
// Splits at every single blank (two blanks give an empty argument); "/" stands for "-".
CommandLineRequest ParseCommandLine(const QString& commandLine);

QString DefaultConnectionString(const QString& programFolder);
QString PickedFileConnectionString(const QString& file, const QString& programFolder);

// What start-up calls in the other subsystems.
struct StartupHooks {
    std::function<void()> showMainWindow;
    std::function<void()> checkOwnerDetails;
};

// The program's start: command line, database connection (asking for the file when it will
// not open), VAT rate, then one maintenance job or the main window. Returns false when the
// program is to end at once (the user gave up choosing a database, or no window is left).
bool Main(const QString& commandLine, const StartupHooks& hooks);
