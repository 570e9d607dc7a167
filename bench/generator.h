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
    // Years the appointments cover. 0: as many as 0-4 a working day need (about 90 years for
    // 50,000); otherwise each day gets proportionally more.
    int years = 0;
};

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
// worth of rows: appointments at 0-4 a working day ending a few months after `today`,
// invoices over the past work, expenses, customers with addresses, contacts and the
// System rows. The same seed and today give the same rows. On failure returns false
// with `error` set; a half-filled file is removed.
bool GenerateDatabase(const QString& path, const Sizes& sizes, std::uint32_t seed,
                      QString* error = nullptr, Generated* generated = nullptr,
                      QDate today = QDate::currentDate());

// The database a benchmark runs on: `given` when not empty, otherwise one of the standard
// size generated into `folder`, reported on standard output. Empty, reported on standard
// error, when the generation fails.
QString BenchmarkDatabase(const QString& given, const QString& folder);

}  // namespace bench
