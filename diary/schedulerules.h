#pragma once

// The appointment editor's rules that need no window.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace schedule {

inline const QString kInvoicedLock =
    QStringLiteral("You cannot alter a schedule once it has been placed in an invoice");
inline const QString kMustSaveFirst = QStringLiteral("Must save appointment first");
inline const QString kNoCustomer =
    QStringLiteral("Please choose the customer of this appointment before saving it.");
inline const QString kFinishBeforeStart = QStringLiteral(
    "The appointment finishes before it starts. Please correct the finish date or time.");
inline const QString kCancelledTitle = QStringLiteral("Cancel appointment?");
inline const QString kCancelledQuestion = QStringLiteral(
    "Warning, you have selected the Cancelled box, \ntherefore this appointment will be removed "
    "from all "
    "lists\nAre you sure you want to do this?");
inline const QString kAddNewCustomer = QStringLiteral("... Add new Customer");

// "00:00", "01:00" ... "23:00": the entries of both time lists.
QStringList HourlyTimes();

// A stored time as the time lists show it: "HH:MM".
QString TimeText(const QDateTime& value);

// The date of a picker joined with a time typed or chosen in a time list ("9:30", "09:30",
// "17:00:15", "2:30 PM"). An empty time means midnight. nullopt, with `error` set, when the
// text is no time of day or a time that the clocks skip that day.
std::optional<QDateTime> ComposeDateTime(const QDate& date, const QString& time,
                                         QString* error = nullptr);

// Why `time` cannot be chosen on `date`: the clocks go forward that night.
QString ClocksForwardMessage(const QDate& date, const QTime& time);

// A row placed in an invoice (a number other than 0) may not be changed.
bool IsInvoiced(const QVariant& invoiceNumber);

// What Save is about to write, and the first reason it may not.
struct AppointmentCheck {
    QString refusal;  // empty when the appointment may be saved
    QDateTime start;
    QDateTime finish;
};

// The checks of Save in their order: the invoiced lock, a customer, times that form dates,
// a finish not before the start. `customerListed` tells whether the row's customer is one
// of the companies offered.
AppointmentCheck CheckAppointment(const QVariant& invoiceNumber, const QVariant& customerId,
                                  bool customerListed, const QDate& startDate,
                                  const QString& startTime, const QDate& finishDate,
                                  const QString& finishTime);

}  // namespace schedule
