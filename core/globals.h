#pragma once

// Program-wide state shared by the windows, as the windows hand work to each other.

#include <QDate>
#include <QString>

#include "platform/db/connection.h"

// The application title: settings store key and the title of every message box.
inline const QString AppTitle = QStringLiteral("Ambrelle");
// The database password every connection string carries.
inline const QString DatabasePassword = QStringLiteral("Tk5Rw8Nq3Vz6");

// The one connection to the database, created on first use.
db::Connection& DbConnection();

// 1 + VAT rate / 100; 0 when the owner is not VAT-registered.
inline double VatMultiplier = 0;
// The owner's business name.
inline QString OwnerCompanyName;
// First day of the selected financial year.
inline QDate FinYearStart;
// The next invoice number asked for with -i.
inline int StartInvoiceNumber = 0;
// Set by a key or mouse press in the progress-log window.
inline bool AbortRequested = false;
// The row an editor is to open; 0 = a new one (or none).
inline int CurrentJobID = 0;
inline int CurrentInvoiceNumber = 0;
inline int CurrentCompanyID = 0;
inline int CurrentContactID = 0;
// Answer of the synchronisation conflict dialog.
inline int SyncFlag = 0;

// Window positions and sizes are kept in twips, 15 to a pixel.
inline constexpr int kTwipsPerPixel = 15;

// The program's folder: the executable's, unless a test points it elsewhere.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);
