// ambrelle-bench-recurrence [PATH]: times building and writing a daily series of 1,000
// occurrences, and deleting it, as the recurrence editor's OK and Remove do. Without PATH
// it generates a database of the standard size in a temporary folder first.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/generator.h"
#include "bench/timing.h"
#include "diary/recurrencerules.h"
#include "diary/recurrencestore.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace {

using Clock = std::chrono::steady_clock;

double Time(const std::function<void()>& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

using bench::Median;

void Line(const char* what, const std::vector<double>& ms) {
    std::printf("  %-36s %10.2f %10.2f %10.2f\n", what, Median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Times writing and deleting a 1,000-occurrence daily series."));
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("PATH"),
                            QStringLiteral("a generated database (default: generate one)"));
    const QCommandLineOption runsOpt(QStringLiteral("runs"),
                                     QStringLiteral("timed runs of each (default 15)"),
                                     QStringLiteral("N"), QStringLiteral("15"));
    p.addOption(runsOpt);
    p.process(app);
    const int runs = std::max(1, p.value(runsOpt).toInt());

    QTemporaryDir temp;
    const QString path = bench::BenchmarkDatabase(
        p.positionalArguments().isEmpty() ? QString() : p.positionalArguments().first(),
        temp.path());
    if (path.isEmpty()) return 1;

    db::Connection connection;
    if (!connection.Open(QStringLiteral("DBQ=") + path)) {
        std::fprintf(stderr, "could not open %s: %s\n", qPrintable(path),
                     qPrintable(connection.LastError()));
        return 1;
    }
    // The master: the latest appointment that is not part of a series.
    db::Recordset master;
    if (!master.Open(QStringLiteral("SELECT JobID, Start, Finish FROM JobDetails WHERE "
                                    "MasterAppointment = 0 AND Pattern = '' ORDER BY Start DESC"),
                     connection, db::adOpenStatic, db::adLockReadOnly) ||
        master.Eof()) {
        std::fprintf(stderr, "no appointment to make a series of\n");
        return 1;
    }
    const qint64 masterId = master.Value(QStringLiteral("JobID")).toLongLong();
    const QDateTime start = master.Value(QStringLiteral("Start")).toDateTime();
    const QDateTime finish = master.Value(QStringLiteral("Finish")).toDateTime();
    const int rows = master.RecordCount();
    master.Close();

    recurrence::Choice daily;
    daily.kind = recurrence::Daily;
    daily.txt1 = QStringLiteral("1");
    daily.end = start.date().addDays(recurrence::kMaxOccurrences);

    std::vector<double> buildT, writeT, deleteT;
    int written = 0;
    for (int i = 0; i < runs; ++i) {
        recurrence::Series s;
        buildT.push_back(Time([&] { s = recurrence::BuildRecurrence(daily, start, finish); }));
        recurrence::Stored stored;
        writeT.push_back(Time([&] { stored = recurrence::WriteSeries(connection, masterId, s); }));
        if (!stored.ok) {
            std::fprintf(stderr, "WriteSeries failed: %s\n", qPrintable(stored.error));
            return 1;
        }
        written = static_cast<int>(s.dates.size()) - 1;
        deleteT.push_back(Time([&] { stored = recurrence::DeleteSeries(connection, masterId); }));
        if (!stored.ok) {
            std::fprintf(stderr, "DeleteSeries failed: %s\n", qPrintable(stored.error));
            return 1;
        }
    }
    std::vector<double> buildWriteT(buildT.size());
    for (size_t i = 0; i < buildT.size(); ++i) buildWriteT[i] = buildT[i] + writeT[i];

    std::printf(
        "\nDatabase %s (%d stand-alone appointments); master %lld, %d occurrences, "
        "%d timed runs\n",
        qPrintable(path), rows, static_cast<long long>(masterId), written, runs);
    std::printf("  %-36s %10s %10s %10s\n", "operation", "median ms", "min ms", "max ms");
    Line("BuildRecurrence (daily, 1,000)", buildT);
    Line("WriteSeries", writeT);
    Line("build + write", buildWriteT);
    Line("DeleteSeries", deleteT);
    const double bw = Median(buildWriteT), del = Median(deleteT);
    std::printf(
        "  build + write median %.2f ms, delete median %.2f ms   aim: each under 100 ms "
        "-> %s\n",
        bw, del, bw < 100 && del < 100 ? "met" : "MISSED");
    return 0;
}
