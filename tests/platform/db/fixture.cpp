#include "fixture.h"

#include <QTest>

#include "tests/support/testenv.h"

namespace dbtest {

using testsupport::InsertRow;

QDate FinYearStart() { return QDate(2026, 4, 1); }

QDateTime At(int y, int m, int d, int h, int min) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

namespace {
QVariant Money(double v) { return QVariant::fromValue(db::Currency::fromDouble(v).value()); }

void Expect(int got, int want, const char* what) {
    if (got != want) qFatal("sample %s got key %d, expected %d", what, got, want);
}
}  // namespace

void AddSampleRows(db::Connection& c) {
    using namespace testsupport;
    Expect(AddCompany(c, QStringLiteral("Acme"),
                      {{"Postal_AddressStreet", "1 High St"},
                       {"Postal_AddressTown", "Leeds"},
                       {"Postal_AddressPostcode", "LS1 1AA"},
                       {"Billing_AddressStreet", "PO Box 9"},
                       {"Billing_AddressTown", "York"},
                       {"Billing_AddressPostcode", "YO1 9ZZ"},
                       {"IsBillingAddressSameasPostal", true},
                       {"Telephone1", ""}}),
           kAcme, "company");
    Expect(AddCompany(c, QStringLiteral("O'Brien Ltd"),
                      {{"Postal_AddressStreet", "2 Low Rd"},
                       {"Billing_AddressStreet", "3 Bill St"},
                       {"IsBillingAddressSameasPostal", false}}),
           kOBrien, "company");

    Expect(AddContact(c, kAcme, "Ann", "Lee", {{"DirectTelephone", "0113 000"}}), kAnn, "contact");
    Expect(InsertRow(c, "contacts", {{"CompanyID", kAcme}, {"Firstname", "Bob"}}), kBob, "contact");
    Expect(AddContact(c, kOBrien, "Cy", "O'Neil"), kCy, "contact");

    Expect(AddInvoice(c, kAcme, QDate(2026, 4, 20), db::Currency::fromUnits(250),
                      {{"Stage", 3},
                       {"PaymentDate", At(2026, 5, 1)},
                       {"PaymentDueDate", At(2026, 5, 20)},
                       {"InvoicePaymentDetails", "30 days"}}),
           kInvPaid, "invoice");
    Expect(AddInvoice(c, kOBrien, QDate(2026, 5, 2), db::Currency::fromUnits(80)), kInvSaved,
           "invoice");
    Expect(AddInvoice(c, kAcme, QDate(2025, 12, 1), db::Currency::fromUnits(40), {{"Stage", 2}}),
           kInvSent, "invoice");
    AddPartPayment(c, kInvSaved, QDate(2026, 5, 10), db::Currency::fromUnits(30));
    AddPartPayment(c, kInvSaved, QDate(2026, 5, 10), db::Currency::fromUnits(30));

    Expect(AddJob(c, kAcme, At(2026, 4, 2, 9), At(2026, 4, 2, 11),
                  {{"Description", "Survey"},
                   {"Fee", Money(120.5)},
                   {"Duration", "2h"},
                   {"PO_Number", "PO-1"}}),
           kJobSurvey, "job");
    Expect(AddJob(c, kAcme, At(2026, 4, 10, 9), At(2026, 4, 10, 10), {{"Cancelled", true}}),
           kJobCancelled, "job");
    Expect(AddJob(c, kAcme, At(2026, 5, 3, 13), At(2026, 5, 3, 15),
                  {{"InvoiceNumber", kInvPaid}, {"Fee", Money(80)}}),
           kJobInvoiced, "job");
    Expect(AddJob(c, kAcme, At(2026, 4, 9, 9), At(2026, 4, 9, 10),
                  {{"MasterAppointment", kJobSurvey}}),
           kJobOccurrence, "job");
    Expect(AddJob(c, 999, At(2026, 4, 15, 9), At(2026, 4, 15, 10)), kJobOrphan, "job");
    Expect(AddJob(c, kOBrien, At(2026, 4, 20, 10), At(2026, 4, 20, 12),
                  {{"Description", "Check"}, {"Fee", Money(60)}}),
           kJobCheck, "job");

    Expect(AddExpense(c, {{"ScheduleID", kJobSurvey},
                          {"Type", "Milage"},
                          {"Description", "Drive"},
                          {"Milage", 30}}),
           kExpMiles, "expense");
    Expect(AddExpense(c, {{"ScheduleID", 0},
                          {"Type", "Parking"},
                          {"Description", "Car park"},
                          {"Amount", Money(5.5)},
                          {"Reciept", true},
                          {"Date", At(2026, 4, 15)}}),
           kExpParking, "expense");
    Expect(AddExpense(c, {{"ScheduleID", 0},
                          {"Type", "Parking"},
                          {"Amount", Money(3)},
                          {"Date", At(2025, 1, 10)}}),
           kExpOld, "expense");

    const char* const settings[][2] = {{"VATRate", "20"},
                                       {"MyAddress", "1 Main St"},
                                       {"MyPostcode", "AB1 2CD"},
                                       {"MyEmail", "me@example.com"},
                                       {"CurrentFnYear", "2026"},
                                       {"FinYearDay", "1"},
                                       {"FinYearMonth", "4"},
                                       {"MyCompanyName", "Umbrella Works"},
                                       {"Payment_Terms", "30 days"},
                                       {"Milage", "40"},
                                       {"ACCOUNTANTEMAIL", "books@example.com"}};
    for (const auto& s : settings) SetSystemRow(c, s[0], s[1]);
    Expect(InsertRow(c, "System", {{"FieldName", "Type"}, {"Value", "Parking"}, {"opt1", 0}}),
           kSysParkingType, "type row");
    InsertRow(c, "System", {{"FieldName", "Type"}, {"Value", "Milage"}, {"opt1", 1}});
    InsertRow(
        c, "System",
        {{"FieldName", "report"}, {"Value", "C:\\Templates\\Invoice v2.dotx"}, {"fieldID", 1}});
    Expect(InsertRow(c, "System",
                     {{"FieldName", "MyCompanyLogo"}, {"Image", QByteArray("\x89PNG\0\1", 6)}}),
           kSysRows, "logo row");

    AddSyncRow(c, kJobSurvey, At(2026, 4, 2, 12));
}

QString Column(db::Recordset& rs, const QString& field) {
    QStringList out;
    for (; !rs.Eof(); rs.MoveNext()) out << rs.Fields(field).Text();
    return out.join(u',');
}

}  // namespace dbtest
