#pragma once

// Every value the program keeps in the settings store and every row it keeps in the System
// table: where it lives, what a reader gets when it is absent, and the text form it is kept
// in. Windows name a value from here instead of repeating section, key and default.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace db {
class Connection;
class Recordset;
}  // namespace db

namespace catalogue {

// ---------------------------------------------------------------------------------------------
// Settings store (under the application title). Values are text.

struct StoreValue {
    QString section;
    QString key;
    // What a reader gets when the key is absent; a null text for the one key without a
    // default ("Split"), whose reader decides.
    QString defaultText;
};

extern const StoreValue ADOString;

// Main window layout, in twips.
extern const StoreValue MainLeft;
extern const StoreValue MainTop;
extern const StoreValue MainWidth;
extern const StoreValue MainHeight;
extern const StoreValue Maintabctl;
// "True" while the main window is maximised; MainLeft to MainHeight then hold its normal place.
extern const StoreValue MainMaximized;
extern const StoreValue Split;

// Colours, &H00BBGGRR.
extern const StoreValue FreeColour;      // Color_A
extern const StoreValue BusyColour;      // Color_C
extern const StoreValue ConflictColour;  // Color_D
extern const StoreValue HeadingColour;   // Color_B
extern const StoreValue TodayColour;     // TodayColor
extern const StoreValue OverDueColour;   // overdue rows of the pending list

extern const StoreValue AdvancedPrint;              // check box: "1" prints through Word
extern const StoreValue AppointmentStartTime;       // "HH:MM"
extern const StoreValue AppointmentFinishTime;      // "HH:MM"
extern const StoreValue OutstandingInvoiceDisplay;  // Boolean: every outstanding invoice

// The web address "Online Support" opens; none by default.
extern const StoreValue SupportAddress;

// Word merge date forms.
extern const StoreValue InvLng;
extern const StoreValue InvSht;
extern const StoreValue JobLng;
extern const StoreValue JobSht;

// Grid column widths in twips; `column` is the column's index in its grid.
StoreValue CalendarColWidth(int column);
StoreValue PendColWidth(int column);
StoreValue SettledColWidth(int column);
StoreValue ContactColWidth(int column);
StoreValue PayHistoryColWidth(int column);

// Text forms. A reader gets nullopt when the stored text does not convert.
QString ColourText(std::uint32_t colour);  // decimal: 16711680
std::optional<std::uint32_t> ColourFromText(const QString& text);
QString BooleanText(bool value);  // "True" / "False"
// "True"/"False" in any case, or a number (True when not 0).
std::optional<bool> BooleanFromText(const QString& text);
QString CheckText(bool ticked);  // "1" / "0"
QString WholeNumberText(qint64 value);
std::optional<qint64> WholeNumberFromText(const QString& text);

// Reads give the default when the key is absent.
QString ReadText(const StoreValue& value);
std::optional<std::uint32_t> ReadColour(const StoreValue& value);
std::optional<bool> ReadBoolean(const StoreValue& value);
std::optional<qint64> ReadWholeNumber(const StoreValue& value);
// True for "1" (a ticked check box), false for any other number.
std::optional<bool> ReadCheck(const StoreValue& value);

// Writes store the text form; false when the store could not be written.
bool WriteText(const StoreValue& value, const QString& text);
bool WriteColour(const StoreValue& value, std::uint32_t colour);
bool WriteBoolean(const StoreValue& value, bool b);
bool WriteCheck(const StoreValue& value, bool ticked);
bool WriteWholeNumber(const StoreValue& value, qint64 n);
bool DeleteValue(const StoreValue& value);

// ---------------------------------------------------------------------------------------------
// System table rows: FieldName is the key (matched without case), the text in Value.

namespace sys {
inline const QString MyCompanyName = QStringLiteral("MyCompanyName");
inline const QString MyAddress = QStringLiteral("MyAddress");
inline const QString MyPostcode = QStringLiteral("MyPostcode");
inline const QString MyEmail = QStringLiteral("myemail");
// Present exactly when the owner is VAT-registered; the rate in percent, "%" allowed.
inline const QString VATRate = QStringLiteral("VATRate");
inline const QString MyCompanyLogo = QStringLiteral("MyCompanyLogo");  // picture in Image
inline const QString FinYearDay = QStringLiteral("FinYearDay");
inline const QString FinYearMonth = QStringLiteral("FinYearMonth");  // 0 = January
inline const QString Milage = QStringLiteral("Milage");              // pence per mile
inline const QString PaymentTerms = QStringLiteral("Payment_Terms");
inline const QString CurrentFnYear = QStringLiteral("CurrentFnYear");
inline const QString AccountantEmail = QStringLiteral("AccountantEmail");
// Keys with one row per item.
inline const QString ExpenseType = QStringLiteral("Type");  // Value, id, opt1 = 1 for miles
inline const QString Report = QStringLiteral("report");     // Value = a Word template path
}  // namespace sys

// What stands in when a row is absent.
inline const QString OwnerCompanyNamePlaceholder =
    QStringLiteral("Go to View, Options to set Company Name");
inline const QString DefaultFinYearDay = QStringLiteral("01");
inline const int DefaultFinYearMonth = 3;                        // April
inline const QString DefaultMilageShown = QStringLiteral("39");  // in the Options dialog
inline const double DefaultMilageReported = 0.4;                 // expense report, year-end export
inline const QString DefaultVatRateShown = QStringLiteral("17.5");

// "Fieldname = 'key'", the filter that reaches a key's rows.
QString SystemKeyFilter(const QString& fieldName);

// The record set the Options dialog keeps over every row (FieldName, Value, Image).
bool OpenSystemRows(db::Recordset& rs, db::Connection& connection);

// The rules on a record set over System that holds FieldName and Value. Each narrows the
// record set to the key's rows with the key filter and works on the first.
// Read: nullopt when there is no row; otherwise the Value as text (empty for Null).
std::optional<QString> ReadSystemRow(db::Recordset& rs, const QString& fieldName);
// The Image column of the key's first row; empty when there is no row or no picture.
QByteArray ReadSystemImage(db::Recordset& rs, const QString& fieldName);
// Write: adds the row when there is none, sets Value and saves it. On failure the edit is
// abandoned and db::LastError() says why.
bool WriteSystemRow(db::Recordset& rs, const QString& fieldName, const QString& value);
// Remove: deletes the key's rows; true when there were none.
bool RemoveSystemRow(db::Recordset& rs, const QString& fieldName);

// One read for a caller without a record set of its own.
std::optional<QString> SystemValue(db::Connection& connection, const QString& fieldName);

// The rate a VATRate value holds: the number before the first "%" ("17.5" and "17.5%" both
// give 17.5); nullopt when that is empty or no finite number.
std::optional<double> VatRateFromText(const QString& text);
// What VatMultiplier holds for an owner registered at `rate` percent.
inline double VatMultiplierFor(double rate) { return 1 + rate / 100; }

}  // namespace catalogue
