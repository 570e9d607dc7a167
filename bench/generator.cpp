#include "generator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QVariantList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/currency.h"
#include "platform/db/schema.h"
#include "bench/generatorwords.h"

namespace bench {
namespace {

using namespace words;

using db::Currency;

// Days the diary runs on past today: bookings already made.
constexpr int kDaysAhead = 120;
// Work of the last days is not invoiced yet.
constexpr int kInvoiceLagDays = 7;

template <typename T, size_t N>
const T& Pick(std::mt19937& rng, const T (&items)[N]) {
    return items[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

bool Chance(std::mt19937& rng, double p) {
    return std::uniform_real_distribution<double>(0, 1)(rng) < p;
}
int Between(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

QString DateText(const QDate& d, int minutes = 0) {
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:00", d.year(), d.month(), d.day(),
                             minutes / 60, minutes % 60);
}

QString Postcode(std::mt19937& rng, const char* area) {
    return QString::asprintf("%s%d %d%c%c", area, Between(rng, 1, 20), Between(rng, 1, 9),
                             'A' + Between(rng, 0, 25), 'A' + Between(rng, 0, 25));
}

QString Phone(std::mt19937& rng) {
    return QString::asprintf("01%03d %06d", Between(rng, 100, 999), Between(rng, 0, 999999));
}

struct Job {
    int id = 0;
    int day = 0;       // from the first day
    int start = 0;     // minutes after midnight
    int minutes = 60;  // length
    int customer = 1;
    bool cancelled = false;
    int master = 0;        // JobID of the series master on an occurrence
    int seriesIndex = -1;  // index in `jobs` of the master, while generating
    Currency fee;
    int work = 0;
    QString po;
    int invoice = 0;
};

struct Occurrence {
    int masterIndex;
};

struct Invoice {
    int number = 0;
    int customer = 1;
    QDate billed;
    Currency amount;
    std::vector<int> jobs;  // indexes in the job list
};

// How many new appointments a day gets: 0-4 on a working day, rarely one at a weekend, times
// `scale` when the appointments must fit fewer years.
constexpr double kMeanPerDay = (5 * 2.0 + 2 * 0.15) / 7;
int NewOnDay(std::mt19937& rng, int weekday, double scale) {
    static const double weights[] = {1, 2, 3, 2, 1};
    const int n =
        weekday >= 5 ? (Chance(rng, 0.15) ? 1 : 0)
                     : std::discrete_distribution<int>(std::begin(weights), std::end(weights))(rng);
    const double scaled = n * scale;
    const int whole = static_cast<int>(scaled);
    return whole + (Chance(rng, scaled - whole) ? 1 : 0);
}

// Lays the appointments out day by day from a Monday, with recurring series among them.
std::vector<Job> MakeJobs(std::mt19937& rng, const Sizes& sizes, int* lastDay) {
    std::vector<Job> jobs;
    jobs.reserve(static_cast<size_t>(sizes.appointments));
    std::map<int, std::vector<Occurrence>> series;
    auto customer = [&] {
        // A few customers bring most of the work.
        const double u = std::uniform_real_distribution<double>(0, 1)(rng);
        return 1 + std::min(sizes.customers - 1, static_cast<int>(sizes.customers * u * u));
    };
    // The years asked for end today; the bookings ahead come on top of them.
    const double days = sizes.years * 365.25 + kDaysAhead;
    const double scale = sizes.years > 0 ? sizes.appointments / (days * kMeanPerDay) : 1.0;
    int day = 0;
    int carried = 0;
    for (; static_cast<int>(jobs.size()) < sizes.appointments; ++day) {
        std::vector<Job> today;
        if (auto it = series.find(day); it != series.end()) {
            for (const Occurrence& o : it->second) {
                Job j = jobs[static_cast<size_t>(o.masterIndex)];
                j.day = day;
                j.seriesIndex = o.masterIndex;
                j.cancelled = Chance(rng, 0.03);
                today.push_back(j);
            }
            series.erase(it);
        }
        // A series' occurrences take the place of new work, on a later day when this one has
        // too little, so that the years asked for are filled at the pace worked out.
        const int owed = static_cast<int>(today.size()) + carried;
        const int drawn = NewOnDay(rng, day % 7, scale);
        const int fresh = std::max(0, drawn - owed);
        carried = std::max(0, owed - drawn);
        int clock = 8 * 60 + 30 * Between(rng, 0, 3);
        for (int k = 0; k < fresh; ++k) {
            Job j;
            j.day = day;
            j.minutes = 30 * Between(rng, 2, 8);
            if (fresh <= 4) {
                // One after another; now and then one overlaps the one before (a conflict day).
                if (k > 0 && Chance(rng, 0.08)) clock -= 60;
                j.start = std::min(clock, 19 * 60);
                clock = j.start + j.minutes + 30 * Between(rng, 0, 2);
            } else {
                // More than one person's day: anywhere in working hours.
                j.start = 8 * 60 + 30 * Between(rng, 0, 18);
            }
            j.customer = customer();
            j.cancelled = Chance(rng, 0.04);
            j.work = Between(rng, 0, static_cast<int>(std::size(kWork)) - 1);
            const int hourly = 35 + 5 * Between(rng, 0, 8);
            j.fee = Currency::fromTicks(static_cast<std::int64_t>(hourly) * j.minutes *
                                        Currency::kScale / 60);
            if (Chance(rng, 0.3)) j.po = QString::asprintf("PO-%05d", Between(rng, 1, 99999));
            today.push_back(j);
        }
        std::sort(today.begin(), today.end(),
                  [](const Job& a, const Job& b) { return a.start < b.start; });
        for (Job& j : today) {
            if (static_cast<int>(jobs.size()) >= sizes.appointments) break;
            j.id = static_cast<int>(jobs.size()) + 1;
            if (j.seriesIndex >= 0) j.master = jobs[static_cast<size_t>(j.seriesIndex)].id;
            const int index = static_cast<int>(jobs.size());
            const bool makesSeries = j.seriesIndex < 0 && !j.cancelled && Chance(rng, 0.015);
            jobs.push_back(j);
            if (makesSeries) {
                const int every = Chance(rng, 0.7) ? 7 : 14;
                const int count = Between(rng, 3, 12);
                for (int n = 1; n <= count; ++n) series[day + n * every].push_back({index});
            }
        }
    }
    *lastDay = std::max(0, day - 1);
    return jobs;
}

// Splits the work done into invoices per customer, each holding a run of its jobs.
std::vector<Invoice> MakeInvoices(std::mt19937& rng, const Sizes& sizes, std::vector<Job>& jobs,
                                  const QDate& firstDay, const QDate& today) {
    std::vector<std::vector<int>> byCustomer(static_cast<size_t>(sizes.customers) + 1);
    int candidates = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        const Job& j = jobs[i];
        if (j.cancelled || firstDay.addDays(j.day) >= today.addDays(-kInvoiceLagDays)) continue;
        if (Chance(rng, 0.03)) continue;  // forgotten, still to be invoiced
        byCustomer[static_cast<size_t>(j.customer)].push_back(static_cast<int>(i));
        ++candidates;
    }
    const int target = sizes.invoices;
    std::vector<int> chunks(byCustomer.size(), 0);
    int total = 0;
    for (size_t c = 0; c < byCustomer.size(); ++c) {
        const int n = static_cast<int>(byCustomer[c].size());
        if (n == 0 || candidates == 0) continue;
        chunks[c] =
            std::clamp(static_cast<int>(static_cast<long long>(target) * n / candidates), 1, n);
        total += chunks[c];
    }
    // Bring the count to the target: more invoices where runs are longest, fewer where shortest.
    auto load = [&](size_t c) {
        return static_cast<double>(byCustomer[c].size()) / std::max(1, chunks[c]);
    };
    while (total < target && total < candidates) {
        size_t best = 0;
        for (size_t c = 1; c < byCustomer.size(); ++c)
            if (chunks[c] < static_cast<int>(byCustomer[c].size()) &&
                (best == 0 || load(c) > load(best)))
                best = c;
        if (best == 0) break;
        ++chunks[best];
        ++total;
    }
    while (total > target) {
        size_t best = 0;
        for (size_t c = 1; c < byCustomer.size(); ++c)
            if (chunks[c] > 1 && (best == 0 || load(c) < load(best))) best = c;
        if (best == 0) break;
        --chunks[best];
        --total;
    }

    std::vector<Invoice> invoices;
    invoices.reserve(static_cast<size_t>(target));
    for (size_t c = 1; c < byCustomer.size(); ++c) {
        const auto& list = byCustomer[c];
        const int n = static_cast<int>(list.size());
        if (chunks[c] == 0) continue;
        std::vector<int> cuts(static_cast<size_t>(n - 1));
        for (int i = 0; i < n - 1; ++i) cuts[static_cast<size_t>(i)] = i + 1;
        std::shuffle(cuts.begin(), cuts.end(), rng);
        cuts.resize(static_cast<size_t>(chunks[c] - 1));
        std::sort(cuts.begin(), cuts.end());
        cuts.push_back(n);
        int from = 0;
        for (int to : cuts) {
            Invoice inv;
            inv.customer = static_cast<int>(c);
            for (int i = from; i < to; ++i) {
                const int job = list[static_cast<size_t>(i)];
                inv.jobs.push_back(job);
                inv.amount = inv.amount.plus(jobs[static_cast<size_t>(job)].fee).value();
            }
            const QDate last = firstDay.addDays(jobs[static_cast<size_t>(inv.jobs.back())].day);
            inv.billed = std::min(today, last.addDays(Between(rng, 1, 14)));
            invoices.push_back(std::move(inv));
            from = to;
        }
    }
    // Too little work for the invoices asked for: the rest bill other charges.
    // Dated in the past, even when there is no past work (a year back at least).
    const QDate from = std::min(firstDay, today.addYears(-1));
    const int span = static_cast<int>(from.daysTo(today));
    while (static_cast<int>(invoices.size()) < target) {
        Invoice inv;
        inv.customer = Between(rng, 1, sizes.customers);
        inv.billed = from.addDays(Between(rng, 0, span));
        inv.amount = Currency::fromTicks(Between(rng, 20, 900) * Currency::kScale);
        invoices.push_back(std::move(inv));
    }
    // Numbers run with the billing date, as they were issued.
    std::stable_sort(invoices.begin(), invoices.end(),
                     [](const Invoice& a, const Invoice& b) { return a.billed < b.billed; });
    for (size_t i = 0; i < invoices.size(); ++i) {
        invoices[i].number = static_cast<int>(i) + 1;
        for (int job : invoices[i].jobs)
            jobs[static_cast<size_t>(job)].invoice = invoices[i].number;
    }
    return invoices;
}

class Writer {
  public:
    explicit Writer(db::Connection& c) : c_(c) {}
    bool Run(const QString& sql, const QVariantList& values = {}) {
        if (!error_.isEmpty()) return false;
        if (!c_.Execute(sql, values))
            error_ = c_.LastError() + QStringLiteral(" (") + sql.left(60) + u')';
        return error_.isEmpty();
    }
    QString error() const { return error_; }

  private:
    db::Connection& c_;
    QString error_;
};

QVariant Money(Currency c) { return QVariant::fromValue(c); }

void WriteCompanies(Writer& w, std::mt19937& rng, int count) {
    const QString sql = QStringLiteral(
        "INSERT INTO Companies (CompanyID, CompanyName, Postal_AddressStreet, Postal_AddressTown, "
        "Postal_AddressCounty, Postal_AddressCountry, Postal_AddressPostcode, "
        "Billing_AddressStreet, "
        "Billing_AddressTown, Billing_AddressCounty, Billing_AddressCountry, "
        "Billing_AddressPostcode, "
        "IsBillingAddressSameasPostal, Telephone1, Telephone2, Fax, Website) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (int id = 1; id <= count; ++id) {
        QString name = QString::fromUtf8(Pick(rng, kNameFirst)) + u' ' +
                       QString::fromUtf8(Pick(rng, kNameSecond));
        const QString third = QString::fromUtf8(Pick(rng, kNameThird));
        if (!third.isEmpty()) name += u' ' + third;
        // Names repeat across 500 customers; a branch number keeps them apart.
        if (id > 100) name += QStringLiteral(" (%1)").arg(id);
        const Town& t = Pick(rng, kTowns);
        const QString street = QStringLiteral("%1 %2")
                                   .arg(Between(rng, 1, 240))
                                   .arg(QString::fromUtf8(Pick(rng, kStreets)));
        const QString postcode = Postcode(rng, t.postcode);
        const bool same = Chance(rng, 0.8);
        const Town& bt = same ? t : Pick(rng, kTowns);
        const QString billingStreet = same ? street
                                           : QStringLiteral("PO Box %1, %2")
                                                 .arg(Between(rng, 10, 999))
                                                 .arg(QString::fromUtf8(Pick(rng, kStreets)));
        const QString slug = name.section(u' ', 0, 1).toLower().remove(u'\'').replace(u' ', u'-');
        w.Run(sql, {id, name, street, QString::fromUtf8(t.town), QString::fromUtf8(t.county),
                    QStringLiteral("United Kingdom"), postcode, billingStreet,
                    QString::fromUtf8(bt.town), QString::fromUtf8(bt.county),
                    QStringLiteral("United Kingdom"), same ? postcode : Postcode(rng, bt.postcode),
                    same, Phone(rng), Chance(rng, 0.4) ? Phone(rng) : QString(),
                    Chance(rng, 0.3) ? Phone(rng) : QString(),
                    Chance(rng, 0.6) ? QStringLiteral("www.%1.co.uk").arg(slug) : QString()});
    }
}

void WriteContacts(Writer& w, std::mt19937& rng, int count, int customers) {
    const QString sql = QStringLiteral(
        "INSERT INTO contacts (CompanyID, Firstname, Lastname, Position, DirectTelephone, "
        "MobileTelephone, "
        "EmailAddress1, EmailAddress2) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    for (int i = 0; i < count; ++i) {
        const QString first = QString::fromUtf8(Pick(rng, kFirstNames));
        const QString last = QString::fromUtf8(Pick(rng, kLastNames));
        const QString mail = QStringLiteral("%1.%2@example.co.uk")
                                 .arg(first.toLower(), QString(last).remove(u'\'').toLower());
        w.Run(sql, {Between(rng, 1, customers), first, last,
                    QString::fromUtf8(Pick(rng, kPositions)), Phone(rng),
                    Chance(rng, 0.7) ? QString::asprintf("07%03d %06d", Between(rng, 100, 999),
                                                         Between(rng, 0, 999999))
                                     : QString(),
                    mail, Chance(rng, 0.2) ? QStringLiteral("accounts@example.co.uk") : QString()});
    }
}

void WriteSystem(Writer& w, const QDate& today) {
    const QString sql =
        QStringLiteral("INSERT INTO System (FieldName, Value, opt1) VALUES (?, ?, ?)");
    const int finYear = today.month() >= 4 ? today.year() : today.year() - 1;
    const std::pair<const char*, QString> rows[] = {
        {"MyCompanyName", QStringLiteral("Brightwater Consulting")},
        {"MyAddress", QStringLiteral("Unit 4, Mill Yard\r\nBridge Street\r\nHarrogate")},
        {"MyPostcode", QStringLiteral("HG1 5QT")},
        {"myemail", QStringLiteral("office@brightwater.example.co.uk")},
        {"VATRate", QStringLiteral("17.5")},
        {"FinYearDay", QStringLiteral("01")},
        {"FinYearMonth", QStringLiteral("3")},
        {"Milage", QStringLiteral("40")},
        {"Payment_Terms", QStringLiteral("Payment within 30 days of the invoice date, please.")},
        {"CurrentFnYear", QString::number(finYear)},
        {"AccountantEmail", QStringLiteral("accounts@ledgerline.example.co.uk")},
    };
    for (const auto& [key, value] : rows) w.Run(sql, {QString::fromLatin1(key), value, QVariant()});
    for (const ExpenseType& t : kTypes)
        w.Run(sql, {QStringLiteral("Type"), QString::fromUtf8(t.name), t.miles ? 1 : 0});
}

void WriteJobs(Writer& w, std::mt19937& rng, const std::vector<Job>& jobs, const QDate& firstDay) {
    const QString sql = QStringLiteral(
        "INSERT INTO JobDetails (JobID, Start, Finish, Duration, Description, PO_Number, Fee, "
        "CustomerID, StageID, "
        "Cancelled, InvoiceNumber, MasterAppointment, Pattern, SignedOff, Outlook_REF, "
        "Outlook_LastUpdate) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const Job& j : jobs) {
        const QDate d = firstDay.addDays(j.day);
        const int end = j.start + j.minutes;
        const QString finish =
            end < 24 * 60 ? DateText(d, end) : DateText(d.addDays(1), end - 24 * 60);
        const double hours = j.minutes / 60.0;
        const QString duration = j.minutes % 60 == 0
                                     ? QStringLiteral("%1 hrs").arg(j.minutes / 60)
                                     : QStringLiteral("%1 hrs").arg(hours, 0, 'f', 1);
        // Made a few days to weeks before it happened.
        const QString changed = DateText(d.addDays(-Between(rng, 1, 40)), 60 * Between(rng, 8, 18));
        w.Run(sql, {j.id, DateText(d, j.start), finish, duration, QString::fromUtf8(kWork[j.work]),
                    j.po, Money(j.fee), j.customer, 1, j.cancelled, j.invoice, j.master, QString(),
                    false, QString(), changed});
    }
}

void WriteInvoices(Writer& w, std::mt19937& rng, const std::vector<Invoice>& invoices,
                   const QDate& today) {
    const QString sql = QStringLiteral(
        "INSERT INTO Billing (InvoiceNumber, CompanyID, BillingDate, InvoiceAmount, "
        "InvoicePaymentDetails, "
        "PaymentDueDate, PaymentMade, PaymentDate, Stage) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QString terms = QStringLiteral("Payment within 30 days of the invoice date, please.");
    for (const Invoice& inv : invoices) {
        const qint64 age = inv.billed.daysTo(today);
        int stage;
        if (age < 30)
            stage = Chance(rng, 0.4) ? 0 : 2;
        else if (age < 120)
            stage = Chance(rng, 0.3) ? 2 : (Chance(rng, 0.07) ? 4 : 3);
        else
            stage = Chance(rng, 0.02) ? 2 : (Chance(rng, 0.05) ? 4 : 3);
        QVariant due, paid;
        QString details = terms;
        if (stage >= 2) due = DateText(inv.billed.addDays(30));
        if (stage == 3) paid = DateText(std::min(today, inv.billed.addDays(Between(rng, 3, 60))));
        if (stage == 4)
            details = QStringLiteral("Written off %1. ")
                          .arg(std::min(today, inv.billed.addDays(120)).toString(u"dd/MM/yyyy")) +
                      details;
        w.Run(sql, {inv.number, inv.customer, DateText(inv.billed), Money(inv.amount), details, due,
                    false, paid, stage});
    }
}

void WriteExpenses(Writer& w, std::mt19937& rng, int count, const std::vector<Job>& jobs,
                   const QDate& firstDay, const QDate& today) {
    const QString sql = QStringLiteral(
        "INSERT INTO Outgoings (ScheduleID, Type, Description, Milage, Amount, Reciept, Date) "
        "VALUES (?, ?, ?, ?, ?, ?, ?)");
    // Expenses belong to work that took place.
    std::vector<int> done;
    for (const Job& j : jobs)
        if (!j.cancelled && firstDay.addDays(j.day) <= today) done.push_back(j.id);
    const QDate from = std::min(firstDay, today.addYears(-1));
    const int span = static_cast<int>(from.daysTo(today));
    for (int i = 0; i < count; ++i) {
        const ExpenseType& t =
            Chance(rng, 0.35) ? kTypes[0]
                              : kTypes[Between(rng, 1, static_cast<int>(std::size(kTypes)) - 1)];
        const bool tied = !done.empty() && Chance(rng, 0.6);
        const int job =
            tied ? done[static_cast<size_t>(Between(rng, 0, static_cast<int>(done.size()) - 1))]
                 : 0;
        const QVariant date =
            tied ? QVariant() : QVariant(DateText(from.addDays(Between(rng, 0, span))));
        const int miles = t.miles ? Between(rng, 3, 180) : 0;
        // The expenses window writes either the miles or the money, never both.
        const QVariant amount =
            t.miles ? QVariant() : Money(Currency::fromTicks(Between(rng, 150, 25000) * 100));
        w.Run(sql, {job, QString::fromUtf8(t.name), QString::fromUtf8(Pick(rng, kExpenseText)),
                    miles, amount, !t.miles && Chance(rng, 0.7), date});
    }
}

}  // namespace

bool GenerateDatabase(const QString& path, const Sizes& sizes, std::uint32_t seed, QString* error,
                      Generated* generated, QDate today) {
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    if (sizes.customers < 1 || sizes.appointments < 0 || sizes.invoices < 0 || sizes.expenses < 0 ||
        sizes.contacts < 0)
        return fail(QStringLiteral("Every size must be 0 or more, with at least one customer."));
    if (!today.isValid()) today = QDate::currentDate();
    QString createError;
    if (!db::CreateDatabase(path, &createError)) return fail(createError);

    std::mt19937 rng(seed);
    int lastDay = 0;
    std::vector<Job> jobs = MakeJobs(rng, sizes, &lastDay);
    // Day 0 is a Monday; the diary ends a few months after today.
    QDate lastDate = today.addDays(kDaysAhead);
    while ((lastDate.dayOfWeek() - 1) != lastDay % 7) lastDate = lastDate.addDays(1);
    const QDate firstDay = lastDate.addDays(-lastDay);
    std::vector<Invoice> invoices = MakeInvoices(rng, sizes, jobs, firstDay, today);

    bool ok = false;
    QString text;
    {
        db::Connection c;
        if (c.Open(QStringLiteral("DBQ=") + path)) {
            Writer w(c);
            // One transaction: the whole fill is one write to the file.
            w.Run(QStringLiteral("BEGIN"));
            WriteSystem(w, today);
            WriteCompanies(w, rng, sizes.customers);
            WriteContacts(w, rng, sizes.contacts, sizes.customers);
            WriteJobs(w, rng, jobs, firstDay);
            WriteInvoices(w, rng, invoices, today);
            WriteExpenses(w, rng, sizes.expenses, jobs, firstDay, today);
            w.Run(QStringLiteral("COMMIT"));
            ok = w.error().isEmpty();
            text = w.error();
            if (!ok) c.Execute(QStringLiteral("ROLLBACK"));
        } else {
            text = c.LastError();
        }
    }
    if (!ok) {
        QFile::remove(path);
        return fail(text);
    }
    if (generated) {
        Generated g;
        g.appointments = static_cast<int>(jobs.size());
        for (const Job& j : jobs) {
            g.cancelled += j.cancelled ? 1 : 0;
            g.invoiced += j.invoice != 0 ? 1 : 0;
            g.occurrences += j.master != 0 ? 1 : 0;
        }
        std::vector<bool> isMaster(jobs.size() + 1, false);
        for (const Job& j : jobs)
            if (j.master != 0) isMaster[static_cast<size_t>(j.master)] = true;
        g.masters = static_cast<int>(std::count(isMaster.begin(), isMaster.end(), true));
        g.invoices = static_cast<int>(invoices.size());
        g.expenses = sizes.expenses;
        g.customers = sizes.customers;
        g.contacts = sizes.contacts;
        g.firstDay = firstDay;
        g.lastDay = firstDay.addDays(lastDay);
        *generated = g;
    }
    return true;
}

QString BenchmarkDatabase(const QString& given, const QString& folder) {
    if (!given.isEmpty()) return given;
    const QString path = folder + QStringLiteral("/bench.mdb");
    QString error;
    Generated g;
    QElapsedTimer timer;
    timer.start();
    if (!GenerateDatabase(path, Sizes{}, 1, &error, &g)) {
        std::fprintf(stderr, "could not generate a database: %s\n", qPrintable(error));
        return QString();
    }
    std::printf("Generated %d appointments, %d invoices, %d expenses, %d customers in %lld ms\n",
                g.appointments, g.invoices, g.expenses, g.customers,
                static_cast<long long>(timer.elapsed()));
    return path;
}

}  // namespace bench
