#pragma once

// What the benchmarks that set a 1x database beside a 16x one share: each database is
// measured by a child run of the program (--measure FOLDER, the database being
// FOLDER/ambrelle.mdb) that reports its figures as "name value" lines, and each time is
// printed beside the bare SQLite read of the same rows.
#include <sqlite3.h>

#include <QCommandLineOption>
#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/generator.h"
#include "platform/db/connection.h"

namespace bench {

using Figures = QMap<QString, double>;

inline double Ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }
// A time as the tables print it: two decimals under 10, one above.
QString TimeText(double ms);

// The median of `runs` timed calls of `step` (one untimed call first when `warm`).
double TimeMedian(int runs, const std::function<void()>& step, bool warm = false);
// Median of twenty reads of `sql` with nothing but SQLite, after one that warms the cache.
double TimeRead(sqlite3* handle, const std::string& sql);
// The rows of a table; -1 when it cannot be counted.
double Count(sqlite3* handle, const char* table);
// The number in the first column of the one row `sql` reads; -1 when there is none.
double Number(sqlite3* handle, const QString& sql);
// The file opened with nothing but SQLite, as the program opens it; null, reported on
// standard error, when it fails.
sqlite3* OpenBare(const QString& path);
// "N appointments, N invoices, N expenses, N customers" from the counts a child reported.
QString SizesText(const Figures& f);
// The four table counts into `f`, under the names SizesText reads, and those of the last
// whole financial year, under the names YearText reads.
void AddCounts(sqlite3* handle, Figures& f);
// "the financial year from 1 April Y holds N appointments, ..." from a child's counts.
QString YearText(const Figures& f);

// The first column's whole numbers of `count` rows spread evenly over those `sql` reads (all
// of them when there are fewer), so that timings cover the whole of a table.
std::vector<int> SpreadOver(db::Connection& connection, const QString& sql, int count);

// FOLDER/ambrelle.mdb: a copy of `given`, or generated at `sizes` over the years up to
// `today` and a few months past it.
bool Prepare(const QString& folder, const QString& given, const Sizes& sizes, const QDate& today);
// Runs this program with --measure FOLDER and the options passed on; its figures.
std::optional<Figures> RunChild(const QString& folder, const QStringList& passOn);
// A child's figures on standard output.
void PrintFigures(const Figures& f);

// The options that name the databases (--db1, --db16: files to copy instead of generating
// them) and the hidden --measure FOLDER of a child run.
struct DatabaseOptions {
    QCommandLineOption db1, db16, measure;
    DatabaseOptions();
    QList<QCommandLineOption> all() const { return {db1, db16, measure}; }
};

// A benchmark whose children each measure one database and whose parent prints, for every
// line, the 1x and 16x figures, each with its bare read and the ratio between them.
struct Line {
    QString label;
    QString key;       // the figure a child reports
    QString bareKey;   // the bare read it is set against; empty for none
    double aim16 = 0;  // the most it may be at 16x; 0 for no aim
    double aimRatio16 = 0;  // the most it may be at 16x over its bare read; 0 for no aim
};
struct SideBySide {
    QString description;
    int defaultRuns = 5;
    // Measures FOLDER/ambrelle.mdb `runs` times; returns the exit code. The tables are
    // counted after it (AddCounts).
    std::function<int(const QString& folder, int runs, Figures* figures)> measure;
    std::vector<Line> lines;
};
// main() of such a benchmark: --runs, --db1 and --db16 (files to copy instead of generating),
// and the hidden --measure of the children.
int RunSideBySide(int argc, char** argv, const SideBySide& bench);

}  // namespace bench
