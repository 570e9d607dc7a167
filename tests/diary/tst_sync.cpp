// The calendar synchronisation against real iCalendar files, on a fixture database.

#include <QAction>
#include <QTableView>

#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "tests/diary/syncfixture.h"

class TestSync : public SyncFixture {
    Q_OBJECT

  private slots:
    // A first run makes one calendar entry per appointment and records it; a second run
    // finds nothing to do.
    void firstAndSecondRun() {
        const int a = AddJob(c(), acme_, At(2026, 1, 5, 9), At(2026, 1, 5, 10, 30),
                             {{QStringLiteral("Description"), QStringLiteral("Boiler service")}});
        const int b = AddJob(c(), acme_, At(2026, 1, 6, 14), At(2026, 1, 6, 15));
        QStringList log = Run({a, b});
        QCOMPARE(log.first(), kBegin);
        QVERIFY(log.contains(kCreating + QString::number(a)));
        QVERIFY(log.contains(kCreating + QString::number(b)));
        QCOMPARE(log.last(), kComplete);
        QCOMPARE(Forms::get<frmInfo>()->PB1->value(), 100);

        const QString ref = Job(a, "Outlook_REF").toString();
        std::optional<testsupport::IcsEvent> e = FindEvent(calendar_, ref);
        QVERIFY(e);
        QCOMPARE(e->start, At(2026, 1, 5, 9));
        QCOMPARE(e->end, At(2026, 1, 5, 10, 30));
        QCOMPARE(e->summary, QStringLiteral("Pat Plumbing Work for Acme"));
        QCOMPARE(e->location, QStringLiteral("1 High St Leeds   LS1 1AA"));
        QCOMPARE(e->description, QStringLiteral("Boiler service"));
        QCOMPARE(e->categories, QStringLiteral("Pat Plumbing"));
        QCOMPARE(LastSync(a), e->lastModified);
        QCOMPARE(
            QueryValue(
                c(),
                QStringLiteral("SELECT RecordType || '/' || synctype FROM sync WHERE RecordID = ?"),
                {a})
                .toString(),
            QStringLiteral("schedule/new"));
        QVERIFY(FindEvent(calendar_, Job(b, "Outlook_REF").toString()));
        QVERIFY(Job(a, "Outlook_LastUpdate").isNull());

        log = Run({a, b});
        QCOMPARE(log.count(kExists), 2);
        QVERIFY(log.contains(NoChangesLine(a)));
        QCOMPARE(log.last(), kComplete);
        QCOMPARE(testsupport::ReadEvents(calendar_).size(), 2);
        QCOMPARE(SyncRows(a), 1);
    }

    // After a first run, the database, the calendar entry or both change; the winner's
    // version ends on both sides and a further run finds nothing to do.
    void changes_data() {
        QTest::addColumn<bool>("databaseChanged");
        QTest::addColumn<bool>("calendarChanged");
        QTest::addColumn<bool>("invoiced");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("winner");  // "database", "calendar" or "" for none
        QTest::newRow("database changed")
            << true << false << false << int(NoDialog) << kDatabaseWins << "database";
        QTest::newRow("calendar changed")
            << false << true << false << int(NoDialog) << kOutlookWins << "calendar";
        QTest::newRow("both, database wins")
            << true << true << false << int(DatabaseButton) << kDatabaseWins << "database";
        QTest::newRow("both, calendar wins")
            << true << true << false << int(OutlookButton) << kOutlookWins << "calendar";
        QTest::newRow("both, dialog closed")
            << true << true << false << int(Closed) << QString() << "";
        QTest::newRow("invoiced, calendar changed")
            << false << true << true << int(NoDialog) << kDatabaseWins << "database";
    }
    void changes() {
        QFETCH(bool, databaseChanged);
        QFETCH(bool, calendarChanged);
        QFETCH(bool, invoiced);
        QFETCH(int, answer);
        QFETCH(QString, line);
        QFETCH(QString, winner);
        const int id = AddJob(c(), acme_, At(2026, 2, 2, 9), At(2026, 2, 2, 10),
                              {{QStringLiteral("Description"), QStringLiteral("original")}});
        Run({id});
        const QString ref = Job(id, "Outlook_REF").toString();
        QVERIFY(LastSync(id).isValid());
        // The first run an hour ago, so that each side's change lies between it and now.
        const QDateTime synced =
            QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 3600);
        QVERIFY(testsupport::EditEvent(calendar_, ref, QStringLiteral("original"), 0, synced));
        QVERIFY(c().Execute(QStringLiteral("UPDATE sync SET LastSyncDate = ? WHERE RecordID = ?"),
                            {synced, id}));
        if (databaseChanged) {
            QVERIFY(c().Execute(
                QStringLiteral("UPDATE JobDetails SET Description = ?, Start = ?, "
                               "Outlook_LastUpdate = ? WHERE JobID = ?"),
                {QStringLiteral("database text"), At(2026, 2, 2, 8), synced.addSecs(600), id}));
        }
        if (calendarChanged)
            QVERIFY(testsupport::EditEvent(calendar_, ref, QStringLiteral("calendar text"), 120,
                                           synced.addSecs(300)));
        if (invoiced)
            QVERIFY(c().Execute(
                QStringLiteral("UPDATE JobDetails SET InvoiceNumber = 7 WHERE JobID = ?"), {id}));

        AnswerDialog(Answer(answer));
        QStringList log = Run({id});
        QCOMPARE(!dialogTexts_.isEmpty(), answer != NoDialog);
        if (!dialogTexts_.isEmpty())
            QCOMPARE(dialogTexts_, (QStringList{QStringLiteral("database text"),
                                                QStringLiteral("calendar text")}));
        QCOMPARE(log.contains(kBothChanged), answer != NoDialog);
        QCOMPARE(log.contains(InvoicedLine(id)), invoiced && calendarChanged);
        QVERIFY2(log.contains(line.isEmpty() ? NoChangesLine(id) : line),
                 qPrintable(log.join(u'|')));
        QCOMPARE(log.last(), kComplete);

        const std::optional<testsupport::IcsEvent> e = FindEvent(calendar_, ref);
        QVERIFY(e);
        const QString dbText = Job(id, "Description").toString();
        if (winner == QStringLiteral("database")) {
            QCOMPARE(e->description, dbText);
            QCOMPARE(e->start, databaseChanged ? At(2026, 2, 2, 8) : At(2026, 2, 2, 9));
            QCOMPARE(LastSync(id), e->lastModified);
        } else if (winner == QStringLiteral("calendar")) {
            QCOMPARE(dbText, QStringLiteral("calendar text"));
            QCOMPARE(db::ToDateTime(Job(id, "Start")).value(), At(2026, 2, 2, 11));
            QCOMPARE(db::ToDateTime(Job(id, "Finish")).value(), At(2026, 2, 2, 12));
            QCOMPARE(db::ToDateTime(Job(id, "Outlook_LastUpdate")).value(), e->lastModified);
            QCOMPARE(LastSync(id), e->lastModified);
        } else {
            QCOMPARE(dbText, QStringLiteral("database text"));
            QCOMPARE(e->description, QStringLiteral("calendar text"));
            QCOMPARE(LastSync(id), synced);
            return;
        }
        QCOMPARE(SyncRows(id), 1);
        QCOMPARE(
            QueryValue(c(), QStringLiteral("SELECT synctype FROM sync WHERE RecordID = ?"), {id})
                .toString(),
            QStringLiteral("update"));
        log = Run({id});
        QVERIFY(log.contains(NoChangesLine(id)));
    }

    // Calendar files as other programs leave them.
    void calendarFiles_data() {
        QTest::addColumn<QByteArray>("before");  // the file before the first run; empty: none
        QTest::addColumn<QString>("zone");       // the zone another program moves the entry in
        QTest::newRow("missing file and folder") << QByteArray() << QString();
        QTest::newRow("entry moved in New York")
            << testsupport::ForeignCalendar() << QStringLiteral("America/New_York");
    }
    void calendarFiles() {
        QFETCH(QByteArray, before);
        QFETCH(QString, zone);
        if (!before.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(calendar_).absolutePath()));
            QVERIFY(testsupport::WriteText(calendar_, before));
        }
        const int id = AddJob(c(), acme_, At(2026, 1, 12, 9), At(2026, 1, 12, 10));
        QCOMPARE(Run({id}).last(), kComplete);
        const QString ref = Job(id, "Outlook_REF").toString();
        if (!zone.isEmpty()) {
            QVERIFY(testsupport::EditEvent(calendar_, ref, QStringLiteral("moved"), 30,
                                           LastSync(id).addSecs(60), zone));
            QCOMPARE(FindEvent(calendar_, ref)->startZone, zone);
            QVERIFY(Run({id}).contains(kOutlookWins));
            // The same instant, in the user's own time.
            QCOMPARE(db::ToDateTime(Job(id, "Start")).value(), At(2026, 1, 12, 9, 30));
            QCOMPARE(db::ToDateTime(Job(id, "Finish")).value(), At(2026, 1, 12, 10, 30));
        }
        QCOMPARE(Run({id}).last(), kComplete);
        QVERIFY(FindEvent(calendar_, ref));
        if (before.isEmpty()) return;
        std::optional<testsupport::IcsEvent> theirs =
            FindEvent(calendar_, QStringLiteral("dentist-1@elsewhere"));
        QVERIFY(theirs);
        QCOMPARE(theirs->summary, QStringLiteral("Dentist"));
        QCOMPARE(theirs->start,
                 QDateTime(QDate(2026, 1, 12), QTime(15, 0), QTimeZone::utc()).toLocalTime());
        QCOMPARE(theirs->extraProperties, QStringList{QStringLiteral("X-OTHER-ALARM")});
        QCOMPARE(testsupport::CountComponents(calendar_, QStringLiteral("VTODO")), 1);
    }

    // One appointment failing is logged with its reason and counted; the others go on. A
    // calendar file that cannot be used at all is refused once, with its reason.
    void failures_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal");  // what the box and the log say once
        QTest::newRow("entry deleted in the calendar") << "deleted" << QString();
        QTest::newRow("read-only calendar") << "read-only" << "is read-only";
        QTest::newRow("calendar is not a calendar file")
            << "not a calendar" << "is not an iCalendar file";
    }
    void failures() {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        const int a = AddJob(c(), acme_, At(2026, 1, 5, 9), At(2026, 1, 5, 10));
        const int b = AddJob(c(), acme_, At(2026, 1, 6, 9), At(2026, 1, 6, 10));
        QByteArray untouched;
        if (kind == QStringLiteral("deleted")) {
            Run({a, b});
            QVERIFY(testsupport::RemoveEvent(calendar_, Job(a, "Outlook_REF").toString()));
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(calendar_).absolutePath()));
            const bool readOnly = kind == QStringLiteral("read-only");
            untouched = readOnly ? testsupport::ForeignCalendar() : QByteArray("no\n");
            QVERIFY(testsupport::WriteText(calendar_, untouched));
            if (readOnly)
                QVERIFY(QFile::setPermissions(calendar_, QFile::ReadOwner | QFile::ReadGroup));
            env_->prompts().ExpectMsgBox(refusal, ui::vbOK);
        }
        int failed = 0;
        const QStringList log = Run({a, b}, &failed);
        const int expected = kind == QStringLiteral("deleted") ? 1 : 2;
        QCOMPARE(failed, expected);
        QCOMPARE(log.last(), ClosingLine(expected, 2));
        QVERIFY(log.last().startsWith(kErrors));
        QVERIFY(!log.contains(kComplete));
        const QString failure = FailureLine(a, QString());
        QCOMPARE(std::count_if(log.begin(), log.end(),
                               [&](const QString& l) {
                                   return l.startsWith(failure) && l.size() > failure.size();
                               }),
                 refusal.isEmpty() ? 1 : 0);
        if (!refusal.isEmpty())
            QCOMPARE(log.filter(refusal).size(), 1);
        if (kind == QStringLiteral("deleted")) {
            QVERIFY(log.contains(NoChangesLine(b)));
            QVERIFY(Job(a, "Outlook_REF").toString().isEmpty());
            QCOMPARE(SyncRows(a), 0);
            // Made again at the next run.
            const QStringList next = Run({a, b});
            QVERIFY(next.contains(kCreating + QString::number(a)));
            QCOMPARE(next.last(), kComplete);
            QVERIFY(FindEvent(calendar_, Job(a, "Outlook_REF").toString()));
            return;
        }
        QCOMPARE(SyncRows(a) + SyncRows(b), 0);
        QVERIFY(Job(a, "Outlook_REF").toString().isEmpty());
        QCOMPARE(testsupport::ReadText(calendar_), untouched);
    }

    // The database was put back from a copy older than an appointment's calendar entry, and
    // a new appointment got its number: the entry is taken up by its name only when it holds
    // that appointment's times and text; otherwise it is left alone and a new one is made.
    void entryFoundByName_data() {
        QTest::addColumn<QString>("column");  // where the new appointment differs; empty: none
        QTest::addColumn<QVariant>("value");
        QTest::newRow("the same appointment") << QString() << QVariant();
        QTest::newRow("another start") << "Start" << QVariant(At(2026, 1, 5, 8));
        QTest::newRow("another finish") << "Finish" << QVariant(At(2026, 1, 5, 11));
        QTest::newRow("another text") << "Description" << QVariant(QStringLiteral("Gutters"));
    }
    void entryFoundByName() {
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        const bool same = column.isEmpty();
        const int id = AddJob(c(), acme_, At(2026, 1, 5, 9), At(2026, 1, 5, 10),
                              {{QStringLiteral("Description"), QStringLiteral("Boiler service")}});
        Run({id});
        const QString uid = Job(id, "Outlook_REF").toString();
        QVERIFY(c().Execute(QStringLiteral("UPDATE JobDetails SET Outlook_REF = NULL WHERE JobID = ?"),
                            {id}));
        QVERIFY(c().Execute(QStringLiteral("DELETE FROM sync WHERE RecordID = ?"), {id}));
        if (!same)
            QVERIFY(c().Execute(
                QStringLiteral("UPDATE JobDetails SET %1 = ? WHERE JobID = ?").arg(column),
                {value, id}));
        const testsupport::IcsEvent before = *FindEvent(calendar_, uid);
        QStringList log = Run({id});
        QCOMPARE(log.last(), kComplete);
        QCOMPARE(log.contains(kCreating + QString::number(id)), !same);
        const QString ref = Job(id, "Outlook_REF").toString();
        QCOMPARE(ref == uid, same);
        QCOMPARE(testsupport::ReadEvents(calendar_).size(), same ? 1 : 2);
        const testsupport::IcsEvent left = *FindEvent(calendar_, uid);
        QCOMPARE(QVariantList({left.start, left.end, left.description}),
                 QVariantList({before.start, before.end, before.description}));
        const testsupport::IcsEvent mine = *FindEvent(calendar_, ref);
        QCOMPARE(QVariantList({mine.start, mine.end, mine.description}),
                 QVariantList({db::ToDateTime(Job(id, "Start")).value(),
                               db::ToDateTime(Job(id, "Finish")).value(),
                               Job(id, "Description").toString()}));
        log = Run({id});
        QVERIFY2(log.contains(NoChangesLine(id)), qPrintable(log.join(u'|')));
    }

    // The file goes while the run waits for an answer: neither the calendar nor the database
    // keeps any of the run's changes, so the next run starts from where this one did.
    void calendarLostDuringRun() {
        const int a = AddJob(c(), acme_, At(2026, 1, 5, 9), At(2026, 1, 5, 10));
        const int b = AddJob(c(), acme_, At(2026, 1, 6, 9), At(2026, 1, 6, 10));
        Run({a});
        QVERIFY(c().Execute(QStringLiteral("DELETE FROM sync WHERE RecordID = ?"), {a}));
        WhenDialogShows([this](Conflict_Manager* d) {
            QFile::remove(calendar_);
            QDir().mkpath(calendar_);
            d->btnOutlook->click();
        });
        int failed = 0;
        const QStringList log = Run({b, a}, &failed);
        QVERIFY(log.contains(kCreating + QString::number(b)));
        QCOMPARE(failed, 2);
        QCOMPARE(log.last(), ClosingLine(2, 2));
        QVERIFY(Job(b, "Outlook_REF").toString().isEmpty());
        QCOMPARE(SyncRows(a) + SyncRows(b), 0);
    }

    // Every appointment is synchronised, however many.
    void moreThan101() {
        QList<int> ids;
        for (int i = 0; i < 105; ++i)
            ids << AddJob(c(), acme_, At(2026, 1, 1 + i % 28, 8 + i % 9),
                          At(2026, 1, 1 + i % 28, 9 + i % 9));
        QCOMPARE(Run(ids).last(), kComplete);
        QCOMPARE(testsupport::ReadEvents(calendar_).size(), 105);
        QCOMPARE(QueryValue(
                     c(), QStringLiteral("SELECT count(*) FROM JobDetails WHERE Outlook_REF <> ''"))
                     .toInt(),
                 105);
        QCOMPARE(QueryValue(c(), QStringLiteral("SELECT count(*) FROM sync")).toInt(), 105);
    }

    // The main window's command: nothing shown, and a run that asks while the grid stays live.
    void mainWindowCommand() {
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        const int a = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10),
                             {{QStringLiteral("Description"), QStringLiteral("ours")}});
        AddJob(c(), acme_, At(2026, 3, 3, 9), At(2026, 3, 3, 10));
        auto w = std::make_unique<frmMain>();
        QAction* sync = w->findChild<QAction*>(QStringLiteral("mnuSync"));
        QVERIFY(sync && sync->isEnabled());
        w->ViewDate = At(2026, 4, 1, 12);
        w->ShowMonth();
        env_->prompts().ExpectMsgBox(kNoRecords);
        sync->trigger();
        QVERIFY(!Forms::loaded<frmInfo>());

        w->ViewDate = At(2026, 3, 1, 12);
        w->ShowMonth();
        sync->trigger();
        QCOMPARE(Forms::get<frmInfo>()->LogText().split(QStringLiteral("\r\n")).last(), kComplete);
        // Known to the calendar but never recorded: both sides count as changed.
        QVERIFY(c().Execute(QStringLiteral("DELETE FROM sync WHERE RecordID = ?"), {a}));
        int rowsDuringDialog = -1;
        QString customerDuringDialog;
        WhenDialogShows([&](Conflict_Manager* d) {
            rowsDuringDialog = w->AppGrid->model()->rowCount();
            customerDuringDialog = w->AppGrid->model()->index(0, 4).data().toString();
            d->btnOutlook->click();
        });
        sync->trigger();
        QCOMPARE(rowsDuringDialog, 2);
        QCOMPARE(customerDuringDialog, QStringLiteral("Acme"));
        QVERIFY(Forms::get<frmInfo>()->LogText().contains(kOutlookWins));
        QCOMPARE(w->AppGrid->model()->rowCount(), 2);
        QCOMPARE(SyncRows(a), 1);
        w->close();
    }
};

QTEST_MAIN(TestSync)
#include "tst_sync.moc"
