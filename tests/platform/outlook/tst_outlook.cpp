// The calendar layer against real iCalendar files, read back with libical.
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include "platform/outlook/outlook.h"
#include "tests/support/icsfile.h"
#include "tests/support/testenv.h"

using namespace outlook;
using testsupport::FindEvent;

namespace {

QDateTime At(int y, int m, int d, int h, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

// Saves a new item; its entry id, or empty when the save failed.
QString SaveNew(const QString& subject, const QDateTime& start = At(2026, 3, 2, 9)) {
    Application app;
    std::optional<AppointmentItem> item = app.CreateItem(olAppointmentItem);
    if (!item) return {};
    item->SetStart(start);
    item->SetEnd(start.addSecs(5400));
    item->SetSubject(subject);
    return item->Save() ? item->EntryID() : QString();
}

}  // namespace

class TestOutlook : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_;

  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        path_ = QDir(dir_->path()).filePath(QStringLiteral("cal/calendar.ics"));
        qputenv("AMBRELLE_CALENDAR", path_.toUtf8());
    }

    // What is saved is what another reader finds, and what this layer reads back.
    void itemRoundTrip_data() {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("categories");
        QTest::addColumn<QByteArray>("categoriesLine");  // as the file holds it: one category
        QTest::newRow("separators and accents") << "Café; Müller, C"
                                                << "Flat 2, Zürich"
                                                << "line one\nline two; £120"
                                                << "Smith, Jones & Ærø"
                                                << QByteArray("\r\nCATEGORIES:Smith\\, Jones & Ærø\r\n");
        QTest::newRow("empty texts") << "Subject"
                                     << ""
                                     << ""
                                     << ""
                                     << QByteArray();
        QTest::newRow("semicolon and backslash")
            << "S" << "" << "" << "A;B\\C" << QByteArray("\r\nCATEGORIES:A\\;B\\\\C\r\n");
    }
    void itemRoundTrip() {
        QFETCH(QString, subject);
        QFETCH(QString, location);
        QFETCH(QString, body);
        QFETCH(QString, categories);
        QFETCH(QByteArray, categoriesLine);
        Application app;
        QCOMPARE(app.Name(), QStringLiteral("Outlook"));
        QVERIFY(app.GetNamespace(QStringLiteral("MAPI"))->GetDefaultFolder(olFolderCalendar));
        std::optional<AppointmentItem> item = app.CreateItem(olAppointmentItem);
        QVERIFY(item);
        QVERIFY(item->EntryID().isEmpty());
        item->SetStart(At(2026, 3, 2, 9, 15));
        item->SetEnd(At(2026, 3, 2, 10, 45));
        item->SetSubject(subject);
        item->SetLocation(location);
        item->SetBody(body);
        item->SetCategories(categories);
        QVERIFY2(item->Save(), qPrintable(LastError()));
        const QString id = item->EntryID();
        QVERIFY(!id.isEmpty());

        std::optional<testsupport::IcsEvent> e = FindEvent(path_, id);
        QVERIFY(e);
        QCOMPARE(e->start, At(2026, 3, 2, 9, 15));
        QCOMPARE(e->end, At(2026, 3, 2, 10, 45));
        QCOMPARE(e->summary, subject);
        QCOMPARE(e->location, location);
        QCOMPARE(e->description, body);
        QCOMPARE(e->categories, categories);
        const QByteArray text = testsupport::ReadText(path_);
        QCOMPARE(text.contains("CATEGORIES"), !categoriesLine.isEmpty());
        if (!categoriesLine.isEmpty()) QVERIFY2(text.contains(categoriesLine), text.constData());
        QCOMPARE(e->lastModified, item->LastModificationTime());
        // Written in the user's zone, which the file defines once (the suite runs in London).
        if (QTimeZone::systemTimeZone() != QTimeZone::utc()) {
            QCOMPARE(e->startZone, QString::fromUtf8(QTimeZone::systemTimeZoneId()));
            QCOMPARE(testsupport::CountComponents(path_, QStringLiteral("VTIMEZONE")), 1);
        }

        std::optional<AppointmentItem> again =
            Application().GetNamespace(QStringLiteral("MAPI"))->GetItemFromID(id);
        QVERIFY(again);
        QCOMPARE(again->Body(), body);
        QCOMPARE(again->Categories(), categories);
        QCOMPARE(again->Start(), At(2026, 3, 2, 9, 15));

        // Saved twice within a second: the stamp still moves on, the id stays.
        const QDateTime first = again->LastModificationTime();
        again->SetBody(body + QStringLiteral("!"));
        QVERIFY(again->Save());
        QVERIFY(again->LastModificationTime() > first);
        QCOMPARE(again->EntryID(), id);
        QCOMPARE(testsupport::ReadEvents(path_).size(), 1);
    }

    // When this layer writes the file, another program's events come back byte for byte, also
    // where libical could not read them, and so do the lines it added to an entry of ours.
    void foreignTextKept_data() {
        QTest::addColumn<QByteArray>("theirs");  // lines inside one of their events
        QTest::addColumn<bool>("lineFeeds");     // the file ends its lines with LF alone
        QTest::addColumn<bool>("leftOpen");      // their event lacks its END line
        QTest::newRow("odd start") << QByteArray("DTSTART:2026-01-12 15:00\r\n") << false << false;
        QTest::newRow("odd change time") << QByteArray("LAST-MODIFIED:yesterday\r\n") << false << false;
        QTest::newRow("summary with an open quote")
            << QByteArray("SUMMARY;LANGUAGE=\"en:Dentist\r\n") << false << false;
        QTest::newRow("rule with an extension")
            << QByteArray("DTSTART:20260112T150000Z\r\nRRULE:FREQ=DAILY;X-EXT=1\r\n") << false << false;
        QTest::newRow("rule with until and count")
            << QByteArray("RRULE:FREQ=DAILY;UNTIL=20260201T000000Z;COUNT=5\r\n") << false << false;
        QTest::newRow("escaped comma") << QByteArray("X-CUSTOM:custom value\\, with comma\r\n")
                                       << false << false;
        QTest::newRow("folded and very long lines")
            << QByteArray("DESCRIPTION:" + QByteArray(70, 'a') + "\r\n " + QByteArray(70, 'b') +
                          "\r\nX-LONG:" + QByteArray(200000, 'c') + "\r\n")
            << false << false;
        QTest::newRow("no UID, line feeds") << QByteArray("SUMMARY:No id\r\n") << true << false;
        QTest::newRow("left open") << QByteArray("SUMMARY:Open\r\n") << false << true;
    }
    void foreignTextKept() {
        QFETCH(QByteArray, theirs);
        QFETCH(bool, lineFeeds);
        QFETCH(bool, leftOpen);
        const QByteArray event = (theirs.contains("SUMMARY:No id") ? "BEGIN:VEVENT\r\n"
                                                                  : "BEGIN:VEVENT\r\nUID:t@x\r\n") +
                                 theirs + (leftOpen ? "" : "END:VEVENT\r\n");
        const QByteArray todo = "BEGIN:VTODO\r\nUID:todo@x\r\nX-A;X-P=\"q:r\":s\r\nEND:VTODO\r\n";
        QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Them//EN\r\n" + todo + event +
                          "END:VCALENDAR\r\n";
        auto lf = [&](QByteArray t) { return lineFeeds ? t.replace("\r\n", "\n") : t; };
        QVERIFY(QDir().mkpath(QFileInfo(path_).absolutePath()));
        QVERIFY(testsupport::WriteText(path_, lf(text)));

        const QString ours = SaveNew(QStringLiteral("Ours"));
        QVERIFY2(!ours.isEmpty(), qPrintable(LastError()));
        // Another program adds its own lines to our entry.
        const QByteArray added = "X-THEIRS:kept\\, as is\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
                                 "TRIGGER:-PT5M\r\nEND:VALARM\r\n";
        text = testsupport::ReadText(path_);
        const qsizetype oursAt = text.indexOf(ours.toUtf8());
        QVERIFY(oursAt > 0);
        text.insert(text.indexOf("END:VEVENT", oursAt), lf(added));
        QVERIFY(testsupport::WriteText(path_, text));

        std::optional<AppointmentItem> item =
            Application().GetNamespace(QStringLiteral("MAPI"))->GetItemFromID(ours);
        QVERIFY(item);
        item->SetBody(QStringLiteral("changed, by us"));
        QVERIFY2(item->Save(), qPrintable(LastError()));

        text = testsupport::ReadText(path_);
        QVERIFY(text.startsWith(lf("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Them//EN\r\n")));
        QVERIFY(text.contains(lf(todo + event)));
        QVERIFY(text.contains(lf(added)));
        QCOMPARE(text.contains("\r\n"), !lineFeeds);
        QCOMPARE(Application().GetNamespace(QStringLiteral("MAPI"))->GetItemFromID(ours)->Body(),
                 QStringLiteral("changed, by us"));
        // Another reader too, unless the file leaves their event open (libical then takes the
        // entries after it as part of it).
        if (!leftOpen)
            QCOMPARE(FindEvent(path_, ours)->description, QStringLiteral("changed, by us"));
        QCOMPARE(text.count("BEGIN:VEVENT"), 2);
    }

    // Going back to a savepoint forgets the saves made since, of a new item and of an item
    // saved before it alike; what the batch saves afterwards is written with the rest.
    void batchGoesBackToASavepoint() {
        WriteBatch batch;
        QVERIFY2(batch.TryLock(), qPrintable(LastError()));
        const QString kept = SaveNew(QStringLiteral("Kept"));
        std::optional<AppointmentItem> item =
            Application().GetNamespace(QStringLiteral("MAPI"))->GetItemFromID(kept);
        QVERIFY(item);
        const int mark = batch.Savepoint();
        item->SetSubject(QStringLiteral("Changed"));
        QVERIFY(item->Save());
        const QString dropped = SaveNew(QStringLiteral("Dropped"), At(2026, 3, 3, 9));
        QVERIFY(!dropped.isEmpty());
        batch.RollbackTo(mark);
        QVERIFY(!Application().GetNamespace(QStringLiteral("MAPI"))->GetItemFromID(dropped));
        QVERIFY(!SaveNew(QStringLiteral("After"), At(2026, 3, 4, 9)).isEmpty());
        QVERIFY2(batch.Commit(), qPrintable(LastError()));
        QStringList summaries;
        for (const testsupport::IcsEvent& e : testsupport::ReadEvents(path_))
            summaries << e.summary;
        summaries.sort();
        QCOMPARE(summaries, QStringList({QStringLiteral("After"), QStringLiteral("Kept")}));
    }

    // Another program writes the file between two of our reads: its change is kept, both when
    // each save writes and when a batch writes at its end.
    void otherProgramWritesBetween_data() {
        QTest::addColumn<bool>("batched");
        QTest::newRow("each save writes") << false;
        QTest::newRow("batch") << true;
    }
    void otherProgramWritesBetween() {
        QFETCH(bool, batched);
        const QString first = SaveNew(QStringLiteral("First"));
        QVERIFY(!first.isEmpty());
        Application app;  // has read the file
        std::optional<WriteBatch> batch;
        if (batched) batch.emplace();
        std::optional<AppointmentItem> item =
            app.GetNamespace(QStringLiteral("MAPI"))->GetItemFromID(first);
        QVERIFY(item);
        item->SetBody(QStringLiteral("ours"));
        QVERIFY(item->Save());
        if (batched) {
            // Not written yet; another program now writes its version of the file.
            QVERIFY(!FindEvent(path_, first)->description.size());
        }
        QByteArray text = testsupport::ReadText(path_);
        QVERIFY(!text.isEmpty());
        const QByteArray theirs =
            "BEGIN:VEVENT\r\nUID:theirs@elsewhere\r\nDTSTAMP:20260101T0"
            "80000Z\r\nDTSTART:20260301T100000Z\r\nSUMMARY:Theirs\r\nEND:"
            "VEVENT\r\nEND:VCALENDAR\r\n";
        text.replace("END:VCALENDAR\r\n", theirs);
        QVERIFY(testsupport::WriteText(path_, text));

        const QString second = SaveNew(QStringLiteral("Second"), At(2026, 3, 3, 9));
        QVERIFY2(!second.isEmpty(), qPrintable(LastError()));
        if (batched) QVERIFY2(batch->Commit(), qPrintable(LastError()));
        QVERIFY(FindEvent(path_, QStringLiteral("theirs@elsewhere")));
        QCOMPARE(FindEvent(path_, first)->description, QStringLiteral("ours"));
        QCOMPARE(FindEvent(path_, second)->summary, QStringLiteral("Second"));
        QCOMPARE(testsupport::ReadEvents(path_).size(), 3);
    }

    // A disk that fills while the file is written: the old file stays, nothing is left beside
    // it, and the reason is told.
    void fullDisk_data() {
        QTest::addColumn<bool>("batched");
        QTest::newRow("each save writes") << false;
        QTest::newRow("a batch's commit") << true;
    }
    void fullDisk() {
        QFETCH(bool, batched);
        QVERIFY(QDir().mkpath(QFileInfo(path_).absolutePath()));
        QVERIFY(testsupport::WriteText(path_, testsupport::ForeignCalendar()));
        std::optional<WriteBatch> batch;
        if (batched) batch.emplace();
        Application app;
        std::optional<AppointmentItem> item = app.CreateItem(olAppointmentItem);
        QVERIFY(item);
        item->SetStart(At(2026, 3, 2, 9));
        item->SetEnd(At(2026, 3, 2, 10));
        item->SetBody(QString(300, u'x'));
        bool saved = false;
        {
            testsupport::FileSizeLimit full(testsupport::ForeignCalendar().size());
            saved = item->Save() && (!batched || batch->Commit());
        }
        QVERIFY(!saved);
        QVERIFY2(LastError().contains(QStringLiteral("File too large")), qPrintable(LastError()));
        QCOMPARE(testsupport::ReadText(path_), testsupport::ForeignCalendar());
        QCOMPARE(QFileInfo(path_).dir().entryList({QStringLiteral("calendar.ics.??????")},
                                                  QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // Another program saves the file while a batch is open, as its new version is about to
    // replace the file, or after it did and before it is taken back: what that program saved
    // is never written over.
    void otherProgramSaves_data() {
        QTest::addColumn<QString>("moment");   // "commit", "rename" or "put back"
        QTest::addColumn<QByteArray>("from");  // what it changes in the file
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<bool>("kept");        // the batch's saves were written (and taken back)
        QTest::newRow("their entry, before the commit")
            << "commit" << QByteArray("SUMMARY:Dentist") << QByteArray("SUMMARY:Dentist, moved")
            << true;
        QTest::newRow("our entry, before the commit")
            << "commit" << QByteArray("SUMMARY:Ours") << QByteArray("SUMMARY:Ours, theirs") << false;
        QTest::newRow("their entry, at the rename")
            << "rename" << QByteArray("SUMMARY:Dentist") << QByteArray("SUMMARY:Dentist, moved")
            << true;
        QTest::newRow("our entry, at the rename")
            << "rename" << QByteArray("SUMMARY:Ours") << QByteArray("SUMMARY:Ours, theirs") << false;
        QTest::newRow("our entry, same size and time")
            << "rename" << QByteArray("SUMMARY:Ours") << QByteArray("SUMMARY:Ourz") << false;
        QTest::newRow("emptied at the rename") << "rename" << QByteArray() << QByteArray() << false;
        QTest::newRow("their entry, before the put-back")
            << "put back" << QByteArray("SUMMARY:Dentist") << QByteArray("SUMMARY:Dentist, moved")
            << true;
        QTest::newRow("our entry, before the put-back")
            << "put back" << QByteArray("DESCRIPTION:ours") << QByteArray("DESCRIPTION:theirs")
            << false;
    }
    void otherProgramSaves() {
        QFETCH(QString, moment);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(bool, kept);
        QVERIFY(QDir().mkpath(QFileInfo(path_).absolutePath()));
        QVERIFY(testsupport::WriteText(path_, testsupport::ForeignCalendar()));
        const QString ours = SaveNew(QStringLiteral("Ours"));
        QVERIFY(!ours.isEmpty());
        const QByteArray before = testsupport::ReadText(path_);
        QByteArray theirs;
        const auto save = [&] {
            QByteArray text = testsupport::ReadText(path_);
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(path_).constData(), &st) == 0);
            theirs = from.isEmpty() ? QByteArray() : QByteArray(text).replace(from, to);
            QVERIFY(from.isEmpty() || theirs != text);
            QVERIFY(testsupport::WriteText(path_, theirs));
            if (!from.isEmpty() && from.size() == to.size()) {
                // Written in place within the clock's resolution: the same size and time.
                const timespec times[2] = {st.st_atim, st.st_mtim};
                QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path_).constData(), times, 0) == 0);
            }
        };
        WriteBatch batch;
        std::optional<AppointmentItem> item =
            Application().GetNamespace(QStringLiteral("MAPI"))->GetItemFromID(ours);
        QVERIFY(item);
        item->SetBody(QStringLiteral("ours"));
        // Emptied: the batch only adds, so no entry of its own shows the file changed.
        if (!from.isEmpty()) QVERIFY(item->Save());
        QVERIFY(!SaveNew(QStringLiteral("Fresh"), At(2026, 3, 3, 9)).isEmpty());
        if (moment == QStringLiteral("commit")) save();
        bool saved = false;
        if (moment == QStringLiteral("rename"))
            SetReplaceHook([&] {
                if (!std::exchange(saved, true)) save();
            });
        const bool committed = batch.Commit();
        SetReplaceHook({});
        QCOMPARE(committed, kept || moment == QStringLiteral("put back"));
        if (!committed) {
            QVERIFY2(LastError().contains(QStringLiteral("meanwhile")) ||
                         LastError().contains(QStringLiteral("Another program saved")),
                     qPrintable(LastError()));
            QCOMPARE(testsupport::ReadText(path_), theirs);
            return;
        }
        QByteArray text = testsupport::ReadText(path_);
        if (moment == QStringLiteral("put back")) {
            save();
            QCOMPARE(batch.Restore(), kept);
            text = testsupport::ReadText(path_);
            QVERIFY(!text.contains("SUMMARY:Fresh"));
            // Our entry goes back to what it held, unless that program changed it since.
            QCOMPARE(text.contains("DESCRIPTION:theirs"), !kept);
            QVERIFY(!text.contains("DESCRIPTION:ours"));
            if (kept) QCOMPARE(text, QByteArray(before).replace(from, to));
        } else {
            QVERIFY(text.contains("DESCRIPTION:ours") && text.contains("SUMMARY:Fresh"));
        }
        QVERIFY(text.contains(to));
    }

    // A file that held nothing, or white space alone, is put back so; the next batch still
    // writes a whole calendar into it.
    void putBackBlankFile_data() {
        QTest::addColumn<QByteArray>("blank");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("white space") << QByteArray("\r\n  \r\n");
    }
    void putBackBlankFile() {
        QFETCH(QByteArray, blank);
        QVERIFY(QDir().mkpath(QFileInfo(path_).absolutePath()));
        QVERIFY(testsupport::WriteText(path_, blank));
        {
            WriteBatch batch;
            QVERIFY(!SaveNew(QStringLiteral("Taken back")).isEmpty());
            QVERIFY2(batch.Commit(), qPrintable(LastError()));
            QVERIFY2(batch.Restore(), qPrintable(LastError()));
        }
        QCOMPARE(testsupport::ReadText(path_), blank);
        WriteBatch batch;
        const QString kept = SaveNew(QStringLiteral("Kept"), At(2026, 3, 3, 9));
        QVERIFY2(!kept.isEmpty(), qPrintable(LastError()));
        QVERIFY2(batch.Commit(), qPrintable(LastError()));
        QVERIFY(testsupport::ReadText(path_).startsWith("BEGIN:VCALENDAR"));
        QCOMPARE(FindEvent(path_, kept)->summary, QStringLiteral("Kept"));
    }

    // Files that define many zones, one of them left unfinished by another program: every
    // entry still reads in the zone its file defines, however many were met before.
    void manyZoneDefinitions_data() {
        QTest::addColumn<int>("zones");
        QTest::addColumn<bool>("unfinished");  // the first definition is never ended
        QTest::newRow("more than are kept") << 40 << false;
        QTest::newRow("one unfinished, then more") << 40 << true;
    }
    void manyZoneDefinitions() {
        QFETCH(int, zones);
        QFETCH(bool, unfinished);
        QVERIFY(QDir().mkpath(QFileInfo(path_).absolutePath()));
        QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Elsewhere//EN\r\n";
        for (int n = 0; n < zones; ++n) {
            // Zone n is n minutes ahead of UTC all year.
            const QByteArray offset = QByteArray::number(n / 60).rightJustified(2, '0') +
                                      QByteArray::number(n % 60).rightJustified(2, '0');
            text += "BEGIN:VTIMEZONE\r\nTZID:Zone-" + QByteArray::number(n) + "\r\n";
            if (unfinished && n == 0) continue;
            text += "BEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+" + offset +
                    "\r\nTZOFFSETTO:+" + offset + "\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
        }
        for (int n = 0; n < zones; ++n)
            text += "BEGIN:VEVENT\r\nUID:z" + QByteArray::number(n) +
                    "@elsewhere\r\nDTSTAMP:20260101T080000Z\r\nDTSTART;TZID=Zone-" +
                    QByteArray::number(n) + ":20260301T120000\r\nEND:VEVENT\r\n";
        QVERIFY(testsupport::WriteText(path_, text + "END:VCALENDAR\r\n"));
        const std::optional<Namespace> ns = Application().GetNamespace(QStringLiteral("MAPI"));
        QVERIFY2(ns, qPrintable(LastError()));
        for (int pass = 0; pass < 2; ++pass) {
            for (int n = unfinished ? 1 : 0; n < zones; ++n) {
                std::optional<AppointmentItem> item =
                    ns->GetItemFromID(QStringLiteral("z%1@elsewhere").arg(n));
                QVERIFY(item);
                QCOMPARE(item->Start(),
                         QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC)
                             .addSecs(-60 * n)
                             .toLocalTime());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOutlook)
#include "tst_outlook.moc"
