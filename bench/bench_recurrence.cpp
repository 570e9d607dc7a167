// Times building and writing a daily series of 1,000 occurrences, and deleting it, as the
// recurrence editor's OK and Remove do, on a 1x and a 16x database. Each is set against the
// bare SQLite write of the same rows: the occurrences inserted in one transaction, and deleted.
#include <sqlite3.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>
#include <string>
#include <vector>

#include "bench/sidebyside.h"
#include "bench/timing.h"
#include "diary/recurrencerules.h"
#include "diary/recurrencestore.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace {

using bench::Median;
using bench::Ms;

// The occurrences of `master` written and deleted with nothing but SQLite, each in its own
// transaction; the times of the two.
bool BareWrite(sqlite3* handle, qint64 master, const recurrence::Series& s, double* write, double* remove) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* insert = nullptr;
    bool ok = sqlite3_exec(handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_prepare_v2(handle,
                                 "INSERT INTO JobDetails (Description, Duration, PO_Number, CustomerID, Fee, "
                                 "MasterAppointment, Pattern, Start, Finish) SELECT Description, Duration, PO_Number, "
                                 "CustomerID, Fee, JobID, ?, ?, ? FROM JobDetails WHERE JobID = ?",
                                 -1, &insert, nullptr) == SQLITE_OK;
    const QByteArray pattern = s.pattern.toUtf8();
    for (qsizetype i = 1; ok && i < s.dates.size(); ++i) {
        const QByteArray start = s.dates[i].start.toString(u"yyyy-MM-dd HH:mm:ss").toUtf8();
        const QByteArray finish = s.dates[i].finish.toString(u"yyyy-MM-dd HH:mm:ss").toUtf8();
        sqlite3_bind_text(insert, 1, pattern.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, start.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, finish.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 4, master);
        ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    *write = Ms(t);
    t.start();
    const std::string del = "BEGIN IMMEDIATE; DELETE FROM JobDetails WHERE MasterAppointment = " +
                            std::to_string(master) + "; COMMIT";
    ok = ok && sqlite3_exec(handle, del.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    *remove = Ms(t);
    return ok;
}

int Measure(const QString& folder, int runs, bench::Figures* f) {
    const QString path = QDir(folder).filePath(QStringLiteral("ambrelle.mdb"));
    db::Connection connection;
    if (!connection.Open(QStringLiteral("DBQ=") + path)) {
        QTextStream(stderr) << "could not open " << path << ": " << connection.LastError() << "\n";
        return 1;
    }
    // The master: the latest appointment that is not part of a series.
    db::Recordset master;
    if (!master.Open(QStringLiteral("SELECT JobID, Start, Finish FROM JobDetails WHERE "
                                    "MasterAppointment = 0 AND Pattern = '' ORDER BY Start DESC"),
                     connection, db::adOpenStatic, db::adLockReadOnly) ||
        master.Eof()) {
        QTextStream(stderr) << "no appointment to make a series of\n";
        return 1;
    }
    const qint64 masterId = master.Value(QStringLiteral("JobID")).toLongLong();
    const QDateTime start = master.Value(QStringLiteral("Start")).toDateTime();
    const QDateTime finish = master.Value(QStringLiteral("Finish")).toDateTime();
    master.Close();

    recurrence::Choice daily;
    daily.kind = recurrence::Daily;
    daily.txt1 = QStringLiteral("1");
    daily.end = start.date().addDays(recurrence::kMaxOccurrences);

    std::vector<double> writes, deletes;
    recurrence::Series series;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        series = recurrence::BuildRecurrence(daily, start, finish);
        recurrence::Stored stored = recurrence::WriteSeries(connection, masterId, series);
        writes.push_back(Ms(t));
        if (!stored.ok) {
            QTextStream(stderr) << "WriteSeries failed: " << stored.error << "\n";
            return 1;
        }
        t.start();
        stored = recurrence::DeleteSeries(connection, masterId);
        deletes.push_back(Ms(t));
        if (!stored.ok) {
            QTextStream(stderr) << "DeleteSeries failed: " << stored.error << "\n";
            return 1;
        }
    }
    connection.Close();

    sqlite3* handle = bench::OpenBare(path);
    if (!handle) return 1;
    std::vector<double> bareWrites, bareDeletes;
    for (int i = 0; i < runs; ++i) {
        double w = 0, d = 0;
        if (!BareWrite(handle, masterId, series, &w, &d)) {
            QTextStream(stderr) << "the bare write failed: " << sqlite3_errmsg(handle) << "\n";
            return 1;
        }
        bareWrites.push_back(w);
        bareDeletes.push_back(d);
    }
    (*f)[QStringLiteral("write")] = Median(writes);
    (*f)[QStringLiteral("delete")] = Median(deletes);
    (*f)[QStringLiteral("write-bare")] = Median(bareWrites);
    (*f)[QStringLiteral("delete-bare")] = Median(bareDeletes);
    (*f)[QStringLiteral("occurrences")] = static_cast<double>(series.dates.size() - 1);
    sqlite3_close(handle);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bench::SideBySide b;
    b.description =
        QStringLiteral("Times writing and deleting a 1,000-occurrence daily series on a 1x and a 16x database.");
    b.defaultRuns = 15;
    b.measure = Measure;
    b.lines = {{QStringLiteral("series built and written"), QStringLiteral("write"), QStringLiteral("write-bare"), 100},
               {QStringLiteral("series deleted"), QStringLiteral("delete"), QStringLiteral("delete-bare"), 100}};
    return bench::RunSideBySide(argc, argv, b);
}
