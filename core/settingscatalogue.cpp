#include "settingscatalogue.h"

#include <QLocale>
#include <cmath>

#include "core/globals.h"
#include "platform/db/recordset.h"
#include "platform/settings/settings.h"

namespace catalogue {

namespace {
StoreValue Value(const char* section, const char* key, const char* defaultText) {
    return {QString::fromLatin1(section), QString::fromLatin1(key),
            defaultText ? QString::fromLatin1(defaultText) : QString()};
}
StoreValue Width(const char* grid, int column, const char* defaultText) {
    return {QStringLiteral("settings"),
            QString::fromLatin1(grid) + QString::number(column) + QStringLiteral(" Width"),
            QString::fromLatin1(defaultText)};
}
}  // namespace

const StoreValue ADOString = Value("Connection", "ADOString", "");

const StoreValue MainLeft = Value("Settings", "MainLeft", "1800");
const StoreValue MainTop = Value("Settings", "MainTop", "1000");
const StoreValue MainWidth = Value("Settings", "MainWidth", "10000");
const StoreValue MainHeight = Value("Settings", "MainHeight", "6500");
const StoreValue Maintabctl = Value("Settings", "Maintabctl", "0");
const StoreValue MainMaximized = Value("Settings", "MainMaximized", "False");
const StoreValue Split = Value("Settings", "Split", nullptr);

const StoreValue FreeColour = Value("Settings", "FreeColour", "16777215");
const StoreValue BusyColour = Value("Settings", "BusyColour", "16711680");
const StoreValue ConflictColour = Value("Settings", "ConflictColour", "255");
const StoreValue HeadingColour = Value("Settings", "HeadingColour", "12632256");
const StoreValue TodayColour = Value("settings", "TodayColour", "16711935");
const StoreValue OverDueColour = Value("settings", "OverDueColour", "16777215");

const StoreValue AdvancedPrint = Value("settings", "AdvancedPrint", "0");
const StoreValue AppointmentStartTime = Value("settings", "Appointment Start Time", "09:00");
const StoreValue AppointmentFinishTime = Value("settings", "Appointment Finish Time", "17:30");
const StoreValue OutstandingInvoiceDisplay =
    Value("settings", "Outstanding Invoice Display", "False");

const StoreValue SupportAddress = Value("Settings", "SupportAddress", "");

const StoreValue InvLng = Value("InvoicePrinting", "InvLng", "True");
const StoreValue InvSht = Value("InvoicePrinting", "InvSht", "False");
const StoreValue JobLng = Value("InvoicePrinting", "JobLng", "True");
const StoreValue JobSht = Value("InvoicePrinting", "JobSht", "False");

StoreValue CalendarColWidth(int column) { return Width("Calendar Col ", column, "1500"); }
StoreValue PendColWidth(int column) { return Width("Pend Col ", column, "1500"); }
StoreValue SettledColWidth(int column) { return Width("Settled Col ", column, "1500"); }
StoreValue ContactColWidth(int column) { return Width("Contact Col ", column, "1500"); }
StoreValue PayHistoryColWidth(int column) { return Width("Pay History Col ", column, "1050"); }

QString ColourText(std::uint32_t colour) { return QString::number(colour); }

std::optional<std::uint32_t> ColourFromText(const QString& text) {
    const auto n = WholeNumberFromText(text);
    // A 32-bit value, whether written signed or unsigned.
    if (!n || *n < -2147483648LL || *n > 4294967295LL) return std::nullopt;
    return static_cast<std::uint32_t>(*n);
}

QString BooleanText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

std::optional<bool> BooleanFromText(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok) return std::nullopt;
    return d != 0;
}

QString CheckText(bool ticked) { return ticked ? QStringLiteral("1") : QStringLiteral("0"); }

QString WholeNumberText(qint64 value) { return QString::number(value); }

std::optional<qint64> WholeNumberFromText(const QString& text) {
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    if (!ok) return std::nullopt;
    return n;
}

QString ReadText(const StoreValue& value) {
    return settings::GetSetting(AppTitle, value.section, value.key, value.defaultText);
}

std::optional<std::uint32_t> ReadColour(const StoreValue& value) {
    return ColourFromText(ReadText(value));
}
std::optional<bool> ReadBoolean(const StoreValue& value) {
    return BooleanFromText(ReadText(value));
}
std::optional<qint64> ReadWholeNumber(const StoreValue& value) {
    return WholeNumberFromText(ReadText(value));
}

std::optional<bool> ReadCheck(const StoreValue& value) {
    const auto n = ReadWholeNumber(value);
    if (!n) return std::nullopt;
    return *n == 1;
}

bool WriteText(const StoreValue& value, const QString& text) {
    return settings::SaveSetting(AppTitle, value.section, value.key, text);
}
bool WriteColour(const StoreValue& value, std::uint32_t colour) {
    return WriteText(value, ColourText(colour));
}
bool WriteBoolean(const StoreValue& value, bool b) { return WriteText(value, BooleanText(b)); }
bool WriteCheck(const StoreValue& value, bool ticked) {
    return WriteText(value, CheckText(ticked));
}
bool WriteWholeNumber(const StoreValue& value, qint64 n) {
    return WriteText(value, WholeNumberText(n));
}
bool DeleteValue(const StoreValue& value) {
    return settings::DeleteSetting(AppTitle, value.section, value.key);
}

QString SystemKeyFilter(const QString& fieldName) {
    return QStringLiteral("Fieldname = ") + db::SqlQuote(fieldName);
}

bool OpenSystemRows(db::Recordset& rs, db::Connection& connection) {
    return rs.Open(
        QStringLiteral("SELECT System.FieldName, System.Value, system.image From System"),
        connection, db::adOpenForwardOnly, db::adLockOptimistic);
}

namespace {
// Narrows to the key's rows; false when the filter could not be set.
bool Narrow(db::Recordset& rs, const QString& fieldName) {
    return rs.State() == db::adStateOpen && rs.SetFilter(SystemKeyFilter(fieldName));
}
}  // namespace

std::optional<QString> ReadSystemRow(db::Recordset& rs, const QString& fieldName) {
    if (!Narrow(rs, fieldName) || rs.Eof()) return std::nullopt;
    const QVariant v = rs.Value(QStringLiteral("Value"));
    return db::IsNull(v) ? QString() : v.toString();
}

QByteArray ReadSystemImage(db::Recordset& rs, const QString& fieldName) {
    if (!Narrow(rs, fieldName) || rs.Eof()) return {};
    const QVariant v = rs.Value(QStringLiteral("Image"));
    return db::IsNull(v) ? QByteArray() : v.toByteArray();
}

bool WriteSystemRow(db::Recordset& rs, const QString& fieldName, const QString& value) {
    if (rs.State() != db::adStateOpen) {
        db::SetLastError(QStringLiteral("The System table is not open."));
        return false;
    }
    if (!Narrow(rs, fieldName)) return false;
    const bool ok = rs.Eof() ? rs.AddNew() && rs.SetValue(QStringLiteral("fieldname"), fieldName) &&
                                   rs.SetValue(QStringLiteral("Value"), value) && rs.Update()
                             : rs.SetValue(QStringLiteral("Value"), value) && rs.Update();
    if (!ok) {
        // Keep the failure's text: abandoning the edit must not replace it.
        const QString error = db::LastError();
        rs.CancelUpdate();
        db::SetLastError(error);
    }
    return ok;
}

bool RemoveSystemRow(db::Recordset& rs, const QString& fieldName) {
    if (rs.State() != db::adStateOpen) {
        db::SetLastError(QStringLiteral("The System table is not open."));
        return false;
    }
    if (!Narrow(rs, fieldName)) return false;
    // Every row of the key goes: a row left behind would still say VAT-registered.
    while (!rs.Eof()) {
        if (!rs.Delete()) return false;
        rs.MoveFirst();
    }
    return true;
}

std::optional<QString> SystemValue(db::Connection& connection, const QString& fieldName) {
    db::Recordset rs;
    if (!rs.Open(QStringLiteral("SELECT System.FieldName, System.Value From System"), connection,
                 db::adOpenForwardOnly, db::adLockReadOnly))
        return std::nullopt;
    return ReadSystemRow(rs, fieldName);
}

std::optional<double> VatRateFromText(const QString& text) {
    const QString number = text.section(u'%', 0, 0).trimmed();
    if (number.isEmpty()) return std::nullopt;
    bool ok = false;
    double rate = number.toDouble(&ok);
    if (!ok) rate = QLocale().toDouble(number, &ok);
    if (!ok || !std::isfinite(rate)) return std::nullopt;
    return rate;
}

}  // namespace catalogue
