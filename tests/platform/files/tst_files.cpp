// Files written whole: a write that does not reach the disk leaves the old file and says why.
#include <utime.h>

#include <optional>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/files/fileset.h"
#include "platform/files/savefile.h"
#include "tests/support/testenv.h"

namespace {

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void replacesOnlyWhenWritten_data();
    void replacesOnlyWhenWritten();
    void staleTemporariesGo();
    void fileSetClearsLeftovers_data();
    void fileSetClearsLeftovers();
};

void TestFiles::replacesOnlyWhenWritten_data() {
    QTest::addColumn<QByteArray>("before");    // empty: no file yet
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<qint64>("limit");         // the most a file may grow to; 0 for none
    QTest::addColumn<bool>("ok");
    const QByteArray old("BEGIN:VCALENDAR\r\nold\r\nEND:VCALENDAR\r\n");
    // Smaller than the device's buffer: only the flush at the end meets the full disk.
    QTest::newRow("small write, room") << old << QByteArray("new") << qint64(0) << true;
    QTest::newRow("small write, disk full") << old << QByteArray(100, 'x') << qint64(10) << false;
    QTest::newRow("large write, disk full") << old << QByteArray(100000, 'y') << qint64(4096) << false;
    QTest::newRow("no file before, disk full") << QByteArray() << QByteArray(50, 'z') << qint64(1) << false;
    QTest::newRow("empty file written") << old << QByteArray() << qint64(0) << true;
}

void TestFiles::replacesOnlyWhenWritten() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, written);
    QFETCH(qint64, limit);
    QFETCH(bool, ok);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/calendar.ics"));
    if (!before.isEmpty()) QVERIFY(files::WriteWhole(path, before, nullptr));
    QString why;
    bool done = false;
    {
        std::optional<testsupport::FileSizeLimit> full;
        if (limit > 0) full.emplace(limit);
        done = files::WriteWhole(path, written, &why);
    }
    QCOMPARE(done, ok);
    if (ok) {
        QCOMPARE(Read(path), written);
        QVERIFY(why.isEmpty());
    } else {
        QCOMPARE(Read(path), before.isEmpty() ? QByteArray("<missing>") : before);
        QVERIFY2(why.contains(QStringLiteral("too large")), qPrintable(why));
    }
    // Nothing of the failed write is left beside the file.
    QCOMPARE(QDir(dir.filePath(QStringLiteral("sub"))).entryList(QDir::Files | QDir::Hidden),
             before.isEmpty() && !ok ? QStringList() : QStringList{QStringLiteral("calendar.ics")});
}

void TestFiles::staleTemporariesGo() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calendar.ics"));
    const auto make = [&](const QString& name, bool old) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        if (!old) return;
        const utimbuf times{1000000000, 1000000000};
        QVERIFY(::utime(QFile::encodeName(f.fileName()).constData(), &times) == 0);
    };
    make(QStringLiteral("calendar.ics"), true);
    make(QStringLiteral("calendar.ics.ZMNlWr"), true);    // a killed run's
    make(QStringLiteral("calendar.ics.aBcDeF"), true);    // another killed run's
    make(QStringLiteral("calendar.ics.QwErTy"), false);   // a run still writing
    make(QStringLiteral("calendar.ics.backup"), true);    // the user's own copies
    make(QStringLiteral("calendar.ics.Backup"), true);
    make(QStringLiteral("calendar.ics.lock"), true);
    make(QStringLiteral("calendar.ics.ZMNlWr1"), true);
    make(QStringLiteral("other.ics.ZMNlWr"), true);
    QCOMPARE(files::RemoveStaleTemporaries(path), 2);
    QStringList left = QDir(dir.path()).entryList(QDir::Files);
    left.sort();
    QCOMPARE(left, (QStringList{"calendar.ics", "calendar.ics.Backup", "calendar.ics.QwErTy",
                                "calendar.ics.ZMNlWr1", "calendar.ics.backup", "calendar.ics.lock",
                                "other.ics.ZMNlWr"}));
}

// What a killed set left beside its files goes with the next set written there.
void TestFiles::fileSetClearsLeftovers_data() {
    QTest::addColumn<QString>("leftover");
    QTest::addColumn<bool>("old");
    QTest::addColumn<bool>("kept");
    QTest::newRow("a killed run's temporary") << "Expenses2025.csv.kQzRtW" << true << false;
    QTest::newRow("the other file's temporary") << "Invoices2025.xml.PlMnBv" << true << false;
    QTest::newRow("a run still writing") << "Expenses2025.csv.kQzRtW" << false << true;
    QTest::newRow("the user's own copy") << "Expenses2025.csv.backup" << true << true;
}

void TestFiles::fileSetClearsLeftovers() {
    QFETCH(QString, leftover);
    QFETCH(bool, old);
    QFETCH(bool, kept);
    QTemporaryDir dir;
    {
        QFile f(dir.filePath(leftover));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("half");
    }
    const utimbuf times{1000000000, 1000000000};
    if (old) QVERIFY(::utime(QFile::encodeName(dir.filePath(leftover)).constData(), &times) == 0);
    files::FileSet set;
    QString why;
    for (const char* name : {"Expenses2025.csv", "Invoices2025.xml"}) {
        QFile* file = set.Add(dir.filePath(QString::fromLatin1(name)), &why);
        QVERIFY2(file, qPrintable(why));
        file->write("data");
    }
    QVERIFY2(set.Commit(&why), qPrintable(why));
    QCOMPARE(QFileInfo::exists(dir.filePath(leftover)), kept);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), kept ? 3 : 2);
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
