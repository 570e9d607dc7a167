// The calendar layer against real iCalendar files, read back with libical.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include "platform/outlook/outlook.h"
#include "tests/support/icsfile.h"

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
        QTest::newRow("separators and accents") << "Café; Müller, C"
                                                << "Flat 2, Zürich"
                                                << "line one\nline two; £120"
                                                << "Smith, Jones & Ærø";
        QTest::newRow("empty texts") << "Subject"
                                     << ""
                                     << ""
                                     << "";
    }
    void itemRoundTrip() {
        QFETCH(QString, subject);
        QFETCH(QString, location);
        QFETCH(QString, body);
        QFETCH(QString, categories);
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
};

QTEST_GUILESS_MAIN(TestOutlook)
#include "tst_outlook.moc"
