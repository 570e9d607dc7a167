#pragma once

#include <QDate>
#include <QString>
#include <cstdint>

namespace bench {

// How many rows of each kind a generated database holds.
struct Sizes {
    int appointments = 50000;
    int invoices = 10000;
    int expenses = 20000;
    int customers = 500;
    int contacts = 120;
    // Years of business up to today that the rows are spread over, with the bookings already
    // made for the months ahead on top. 0: as many years as 0-4 appointments a working day need
    // (about 90 for 50,000).
    int years = 10;
};

// The standard business `factor` times over, in the same years: every table but the contacts
// that many times larger.
inline Sizes Scaled(int factor) {
    Sizes s;
    s.appointments *= factor;
    s.invoices *= factor;
    s.expenses *= factor;
    s.customers *= factor;
    return s;
}

// What a generation run wrote, for the caller's report.
struct Generated {
    int appointments = 0;
    int cancelled = 0;
    int invoiced = 0;
    int masters = 0;
    int occurrences = 0;
    int invoices = 0;
    int expenses = 0;
    int customers = 0;
    int contacts = 0;
    QDate firstDay;
    QDate lastDay;
};

// Writes a new database at `path` (which must not exist) and fills it with a business's
// worth of rows: appointments over `sizes.years` years up to `today` and a few months past it,
// invoices over the past work, expenses over the same years, customers with addresses,
// contacts and the System rows. The same seed and today give the same rows. On failure returns false
// with `error` set; a half-filled file is removed.
bool GenerateDatabase(const QString& path, const Sizes& sizes, std::uint32_t seed,
                      QString* error = nullptr, Generated* generated = nullptr,
                      QDate today = QDate::currentDate());

// The database a benchmark runs on: `given` when not empty, otherwise one of the standard
// size generated into `folder`, reported on standard output. Empty, reported on standard
// error, when the generation fails.
QString BenchmarkDatabase(const QString& given, const QString& folder);

}  // namespace bench
