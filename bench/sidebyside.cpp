#include "sidebyside.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

#include "bench/plainread.h"
#include "bench/timing.h"
#include "platform/db/recordset.h"

namespace bench {

QString TimeText(double ms) { return QString::number(ms, 'f', ms < 10 ? 2 : 1); }

double TimeMedian(int runs, const std::function<void()>& step, bool warm) {
    if (warm) step();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        step();
        ms.push_back(Ms(t));
    }
    return Median(ms);
}

double TimeRead(sqlite3* handle, const std::string& sql) {
    std::vector<std::vector<Cell>> rows;
    return TimeMedian(20, [&] { PlainRead(handle, sql.c_str(), rows); }, true);
}

double Count(sqlite3* handle, const char* table) {
    std::vector<std::vector<Cell>> rows;
    const std::string sql = std::string("SELECT COUNT(*) FROM ") + table;
    if (PlainRead(handle, sql.c_str(), rows) != 1) return -1;
    return static_cast<double>(std::get<sqlite3_int64>(rows[0][0]));
}

sqlite3* OpenBare(const QString& path) {
    sqlite3* handle = nullptr;
    // Without the engine's own locking, as the program opens the file.
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &handle,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK)
        return handle;
    QTextStream(stderr) << "cannot open " << path << ": " << sqlite3_errmsg(handle) << "\n";
    sqlite3_close(handle);
    return nullptr;
}

QString SizesText(const Figures& f) {
    return QStringLiteral("%1 appointments, %2 invoices, %3 expenses, %4 customers")
        .arg(static_cast<qlonglong>(f[QStringLiteral("appointments")]))
        .arg(static_cast<qlonglong>(f[QStringLiteral("invoices")]))
        .arg(static_cast<qlonglong>(f[QStringLiteral("expenses")]))
        .arg(static_cast<qlonglong>(f[QStringLiteral("customers")]));
}

double Number(sqlite3* handle, const QString& sql) {
    std::vector<std::vector<Cell>> rows;
    if (PlainRead(handle, sql.toUtf8().constData(), rows) != 1 || rows[0].empty()) return -1;
    if (const auto* n = std::get_if<sqlite3_int64>(&rows[0][0])) return static_cast<double>(*n);
    if (const auto* t = std::get_if<std::string>(&rows[0][0])) return QString::fromStdString(*t).toDouble();
    return -1;
}

void AddCounts(sqlite3* handle, Figures& f) {
    f[QStringLiteral("appointments")] = Count(handle, "JobDetails");
    f[QStringLiteral("invoices")] = Count(handle, "Billing");
    f[QStringLiteral("expenses")] = Count(handle, "Outgoings");
    f[QStringLiteral("customers")] = Count(handle, "Companies");
    // The last whole financial year before the current one, from 1 April.
    const double current = Number(handle, QStringLiteral("SELECT Value FROM System WHERE FieldName = 'CurrentFnYear'"));
    if (current < 0) return;
    const int year = static_cast<int>(current) - 1;
    const QString from = QStringLiteral("'%1-04-01'").arg(year), to = QStringLiteral("'%1-04-01'").arg(year + 1);
    f[QStringLiteral("year")] = year;
    f[QStringLiteral("year-appointments")] =
        Number(handle, QStringLiteral("SELECT COUNT(*) FROM JobDetails WHERE Start >= %1 AND Start < %2").arg(from, to));
    f[QStringLiteral("year-paid")] = Number(
        handle, QStringLiteral("SELECT COUNT(*) FROM Billing WHERE Stage = 3 AND BillingDate >= %1 AND BillingDate < %2")
                    .arg(from, to));
    f[QStringLiteral("year-expenses")] =
        Number(handle, QStringLiteral("SELECT COUNT(*) FROM Outgoings LEFT JOIN JobDetails ON Outgoings.ScheduleID = "
                                      "JobDetails.JobID WHERE COALESCE(Outgoings.Date, JobDetails.Start) >= %1 AND "
                                      "COALESCE(Outgoings.Date, JobDetails.Start) < %2")
                           .arg(from, to));
}

QString YearText(const Figures& f) {
    if (!f.contains(QStringLiteral("year"))) return QString();
    return QStringLiteral("the financial year from 1 April %1 holds %2 appointments, %3 paid invoices, %4 expenses")
        .arg(static_cast<int>(f[QStringLiteral("year")]))
        .arg(static_cast<qlonglong>(f[QStringLiteral("year-appointments")]))
        .arg(static_cast<qlonglong>(f[QStringLiteral("year-paid")]))
        .arg(static_cast<qlonglong>(f[QStringLiteral("year-expenses")]));
}

std::vector<int> SpreadOver(db::Connection& connection, const QString& sql, int count) {
    std::vector<int> values;
    db::Recordset rs;
    rs.Open(sql, connection, db::adOpenForwardOnly, db::adLockReadOnly);
    const int step = std::max(1, rs.RecordCount() / count);
    for (int i = 0; !rs.Eof() && static_cast<int>(values.size()) < count; rs.MoveNext(), ++i)
        if (i % step == 0) values.push_back(rs.Fields(0).Value().toInt());
    return values;
}

bool Prepare(const QString& folder, const QString& given, const Sizes& sizes, const QDate& today) {
    QDir().mkpath(folder);
    const QString target = QDir(folder).filePath(QStringLiteral("ambrelle.mdb"));
    QString error;
    if (given.isEmpty() ? GenerateDatabase(target, sizes, 1, &error, nullptr, today)
                        : QFile::copy(given, target))
        return true;
    QTextStream(stderr) << "cannot prepare " << (given.isEmpty() ? target : given) << ": " << error
                        << "\n";
    return false;
}

std::optional<Figures> RunChild(const QString& folder, const QStringList& passOn) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QStringLiteral("--measure"), folder} + passOn);
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        return std::nullopt;
    Figures f;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        bool ok = false;
        const double value = words.size() == 2 ? words[1].toDouble(&ok) : 0;
        if (ok) f.insert(QString::fromLatin1(words[0]), value);
    }
    return f;
}

void PrintFigures(const Figures& f) {
    QTextStream out(stdout);
    out.setRealNumberPrecision(12);
    for (auto it = f.begin(); it != f.end(); ++it) out << it.key() << ' ' << it.value() << '\n';
}

DatabaseOptions::DatabaseOptions()
    : db1(QStringLiteral("db1"), QStringLiteral("A 1x database to copy instead of generating one."),
          QStringLiteral("path")),
      db16(QStringLiteral("db16"),
           QStringLiteral("A 16x database to copy instead of generating one."),
           QStringLiteral("path")),
      measure(QStringLiteral("measure"), QString(), QStringLiteral("folder")) {
    measure.setFlags(QCommandLineOption::HiddenFromHelp);
}

int RunSideBySide(int argc, char** argv, const SideBySide& bench) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(bench.description);
    parser.addHelpOption();
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Timed runs of each."),
                                  QStringLiteral("n"), QString::number(bench.defaultRuns));
    const DatabaseOptions databases;
    parser.addOption(runs);
    parser.addOptions(databases.all());
    parser.process(app);
    const int n = std::max(1, parser.value(runs).toInt());
    if (parser.isSet(databases.measure)) {
        const QString folder = parser.value(databases.measure);
        Figures f;
        if (const int rc = bench.measure(folder, n, &f); rc != 0) return rc;
        // The sizes the parent prints, counted once the figures are taken.
        sqlite3* handle = OpenBare(QDir(folder).filePath(QStringLiteral("ambrelle.mdb")));
        if (!handle) return 1;
        AddCounts(handle, f);
        sqlite3_close(handle);
        PrintFigures(f);
        return 0;
    }

    QTemporaryDir dir;
    const auto folder = [&dir](const char* name) {
        return QDir(dir.path()).filePath(QString::fromLatin1(name));
    };
    const Sizes one = Scaled(1), sixteen = Scaled(16);
    const QDate today = QDate::currentDate();
    if (!Prepare(folder("x1"), parser.value(databases.db1), one, today) ||
        !Prepare(folder("x16"), parser.value(databases.db16), sixteen, today))
        return 1;
    const QStringList passOn{QStringLiteral("--runs"), QString::number(n)};
    const std::optional<Figures> x1 = RunChild(folder("x1"), passOn);
    const std::optional<Figures> x16 = RunChild(folder("x16"), passOn);
    if (!x1 || !x16) {
        QTextStream(stderr) << "a measuring run failed\n";
        return 1;
    }

    QTextStream out(stdout);
    out << "1x: " << SizesText(*x1) << "\n  " << YearText(*x1) << "\n16x: " << SizesText(*x16) << "\n  "
        << YearText(*x16) << "\n" << n << " timed runs each, medians in ms\n";
    out << QStringLiteral("  %1 %2 %3 %4 %5 %6 %7  %8\n")
               .arg(QStringLiteral("figure"), -28)
               .arg(QStringLiteral("1x"), 10)
               .arg(QStringLiteral("bare 1x"), 9)
               .arg(QStringLiteral("ratio"), 8)
               .arg(QStringLiteral("16x"), 10)
               .arg(QStringLiteral("bare 16x"), 9)
               .arg(QStringLiteral("ratio"), 8)
               .arg(QStringLiteral("aim"));
    const auto ratio = [](double ms, double bare) {
        return bare > 0 ? QString::number(ms / bare, 'f', 1) + QLatin1Char('x') : QStringLiteral("-");
    };
    for (const Line& line : bench.lines) {
        const double a = x1->value(line.key), b = x16->value(line.key);
        const double bareA = x1->value(line.bareKey), bareB = x16->value(line.bareKey);
        QStringList aims;
        if (line.aim16 > 0)
            aims << QStringLiteral("16x < %1 ms %2").arg(line.aim16).arg(b < line.aim16 ? "met" : "missed");
        if (line.aimRatio16 > 0)
            aims << QStringLiteral("16x within %1x of its read %2")
                        .arg(line.aimRatio16)
                        .arg(bareB > 0 && b <= line.aimRatio16 * bareB ? "met" : "missed");
        const QString aim = aims.join(QStringLiteral("; "));
        out << QStringLiteral("  %1 %2 %3 %4 %5 %6 %7  %8\n")
                   .arg(line.label, -28)
                   .arg(TimeText(a), 10)
                   .arg(line.bareKey.isEmpty() ? QStringLiteral("-") : TimeText(bareA), 9)
                   .arg(line.bareKey.isEmpty() ? QStringLiteral("-") : ratio(a, bareA), 8)
                   .arg(TimeText(b), 10)
                   .arg(line.bareKey.isEmpty() ? QStringLiteral("-") : TimeText(bareB), 9)
                   .arg(line.bareKey.isEmpty() ? QStringLiteral("-") : ratio(b, bareB), 8)
                   .arg(aim);
    }
    return 0;
}

}  // namespace bench
