// Synchronisation runs that cannot end as planned: a failed commit, a stop, a kill, a second
// run, and calendar entries the database may not take.
#include <QProcess>
#include <QTest>

#include "platform/db/recordset.h"
#include "platform/outlook/outlook.h"
#include "tests/diary/syncfixture.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <csignal>

class TestSyncFaults : public SyncFixture {
    Q_OBJECT
    // Appointments in each state a run meets, the last run an hour ago: never synchronised,
    // then changed on both sides, in the database, and in the calendar.
    bool FourStates(QList<int>* ids) {
        QList<int> synced;
        for (int day : {3, 4, 5})
            synced << AddJob(c(), acme_, At(2026, 2, day, 9), At(2026, 2, day, 10),
                             {{QStringLiteral("Description"), QStringLiteral("original")}});
        Run(synced);
        const QDateTime then =
            QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 3600);
        for (int id : synced)
            if (!testsupport::EditEvent(calendar_, Job(id, "Outlook_REF").toString(),
                                        QStringLiteral("original"), 0, then) ||
                !c().Execute(QStringLiteral("UPDATE sync SET LastSyncDate = ? WHERE RecordID = ?"),
                             {then, id}))
                return false;
        const int both = synced[0], database = synced[1], calendar = synced[2];
        for (int id : {both, database})
            if (!c().Execute(QStringLiteral("UPDATE JobDetails SET Description = 'database text', "
                                            "Outlook_LastUpdate = ? WHERE JobID = ?"),
                             {then.addSecs(600), id}))
                return false;
        for (int id : {both, calendar})
            if (!testsupport::EditEvent(calendar_, Job(id, "Outlook_REF").toString(),
                                        QStringLiteral("calendar text"), 60, then.addSecs(300)))
                return false;
        const int fresh =
            AddJob(c(), acme_, At(2026, 2, 2, 9), At(2026, 2, 2, 10),
                   {{QStringLiteral("Description"), QStringLiteral("first line\r\nsecond line")}});
        *ids = {fresh, both, database, calendar};
        return true;
    }
    // Everything a run may change in the database, as text.
    QString DatabaseState() {
        return QueryValue(c(), QStringLiteral("SELECT group_concat(JobID || '|' || Description || "
                                              "'|' || Start || '|' || Finish || '|' || "
                                              "ifnull(Outlook_REF, '') || '|' || "
                                              "ifnull(Outlook_LastUpdate, ''), ';') FROM JobDetails"))
                   .toString() +
               QueryValue(c(), QStringLiteral("SELECT group_concat(RecordID || '|' || LastSyncDate "
                                              "|| '|' || synctype, ';') FROM sync"))
                   .toString();
    }
    QByteArray CalendarText() { return testsupport::ReadText(calendar_); }

  private slots:
    // A run that cannot end leaves no open transaction and both sides as they were (a kill
    // between the file and the commit leaves only entries the next run takes up again); a
    // save made afterwards is kept, and the next run ends with one entry per appointment.
    void interruptedRuns_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("commit fails") << "commit";
        QTest::newRow("stopped from the log window") << "stopped";
        QTest::newRow("killed after the file write") << "killed";
        QTest::newRow("a second run meanwhile") << "second run";
    }
    void interruptedRuns() {
        QFETCH(QString, fault);
        QList<int> ids;
        QVERIFY(FourStates(&ids));
        const int fresh = ids[0];
        if (fault == QStringLiteral("killed")) ids.removeAt(1);  // nobody answers its questions
        const QString databaseBefore = DatabaseState();
        const QByteArray calendarBefore = CalendarText();
        Synchroniser::LockWaitMs = 0;
        QStringList log, second;
        if (fault == QStringLiteral("commit"))
            db::SetCommitHook([] { return QStringLiteral("database is locked"); });
        WhenDialogShows([&](Conflict_Manager* d) {
            if (fault == QStringLiteral("second run")) {
                frmInfo other;
                QCOMPARE(Synchroniser(&other, nullptr).Run(ids), 4);
                second = other.LogText().split(QStringLiteral("\r\n"));
            }
            d->btnDB->click();
            if (fault == QStringLiteral("stopped"))
                QTest::keyClick(Forms::get<frmInfo>(), Qt::Key_Escape);
        });
        if (fault == QStringLiteral("killed")) {
            QProcess child;
            QStringList arguments = {QStringLiteral("--killed-run"), env_->connectionString(),
                                     OwnerCompanyName};
            for (int id : ids) arguments << QString::number(id);
            child.start(QCoreApplication::applicationFilePath(), arguments);
            QVERIFY(child.waitForFinished(30000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        } else {
            log = Run(ids);
        }
        db::SetCommitHook({});
        QVERIFY(!DbConnection().InTransaction());
        if (fault == QStringLiteral("second run")) {
            QVERIFY2(second.size() > 1 && second[1].contains(QStringLiteral("another program")),
                     qPrintable(second.join(u'|')));
            QCOMPARE(second.last(), ClosingLine(4, 4));
            QCOMPARE(log.last(), kComplete);
        } else {
            QCOMPARE(DatabaseState(), databaseBefore);
            const QString uid = EntryUid(
                QueryValue(c(), QStringLiteral("SELECT Value FROM System WHERE FieldName = "
                                               "'CalendarID'"))
                    .toString(),
                fresh);
            QCOMPARE(FindEvent(calendar_, uid).has_value(), fault == QStringLiteral("killed"));
            if (fault != QStringLiteral("killed")) QCOMPARE(CalendarText(), calendarBefore);
            if (fault == QStringLiteral("stopped")) QCOMPARE(log.last(), kStopped);
            if (fault == QStringLiteral("commit")) {
                QVERIFY(log.contains(DatabaseFailureLine(QStringLiteral("database is locked"))));
                QCOMPARE(log.last(), ClosingLine(4, 4));
            }
        }

        // A new appointment saved afterwards reaches the file.
        db::Recordset rs;
        QVERIFY(rs.OpenWith(QStringLiteral("SELECT Description, CustomerID FROM JobDetails"),
                            DbConnection(), {}, db::adOpenDynamic, db::adLockOptimistic));
        QVERIFY(rs.AddNew());
        QVERIFY(rs.SetValue(QStringLiteral("Description"), QStringLiteral("saved after")));
        QVERIFY(rs.Update());
        QCOMPARE(QueryValue(c(), QStringLiteral("SELECT count(*) FROM JobDetails WHERE "
                                                "Description = 'saved after'"))
                     .toInt(),
                 1);

        if (fault == QStringLiteral("commit") || fault == QStringLiteral("stopped"))
            AnswerDialog(DatabaseButton);
        log = Run(ids);
        QCOMPARE(log.last(), kComplete);
        // The killed run's entries are taken up, not made again, and nothing is asked of
        // what it wrote alike on both sides.
        QCOMPARE(log.contains(kCreating + QString::number(fresh)),
                 fault == QStringLiteral("commit") || fault == QStringLiteral("stopped"));
        if (fault == QStringLiteral("killed"))
            QVERIFY2(!log.contains(kBothChanged), qPrintable(log.join(u'|')));
        QSet<QString> refs;
        for (int id : ids) refs << Job(id, "Outlook_REF").toString();
        QCOMPARE(refs.size(), ids.size());
        QCOMPARE(testsupport::ReadEvents(calendar_).size(), 4);
        for (const QString& ref : refs) QVERIFY(FindEvent(calendar_, ref));
        log = Run(ids);
        for (int id : ids) QVERIFY2(log.contains(NoChangesLine(id)), qPrintable(log.join(u'|')));
    }

    // A calendar entry whose times cannot be an appointment's is not taken; the log says why,
    // once: the next run leaves that version of the entry alone.
    void calendarTimesRefused_data() {
        QTest::addColumn<QByteArray>("end");  // what stands for the entry's DTEND line
        QTest::addColumn<QString>("reason");
        QTest::newRow("ends before it starts")
            << QByteArray("DTEND:20260202T070000Z\r\n")
            << CalendarTimesRefusal(At(2026, 2, 2, 9), At(2026, 2, 2, 7));
        QTest::newRow("negative duration")
            << QByteArray("DURATION:-PT2H\r\n")
            << CalendarTimesRefusal(At(2026, 2, 2, 9), At(2026, 2, 2, 7));
    }
    void calendarTimesRefused() {
        QFETCH(QByteArray, end);
        QFETCH(QString, reason);
        const int id = AddJob(c(), acme_, At(2026, 2, 2, 9), At(2026, 2, 2, 10),
                              {{QStringLiteral("Description"), QStringLiteral("original")}});
        Run({id});
        const QString ref = Job(id, "Outlook_REF").toString();
        QVERIFY(testsupport::EditEvent(calendar_, ref, QStringLiteral("calendar text"), 0,
                                       LastSync(id).addSecs(60)));
        QByteArray text = CalendarText();
        text.replace("DTEND:20260202T100000Z\r\n", end);
        QVERIFY(testsupport::WriteText(calendar_, text));
        const QString before = DatabaseState().section(u';', 0, 0).section(u'|', 0, 5);
        int failed = 0;
        QStringList log = Run({id}, &failed);
        QCOMPARE(failed, 1);
        QVERIFY2(log.contains(FailureLine(id, reason)), qPrintable(log.join(u'|')));
        QCOMPARE(DatabaseState().section(u';', 0, 0).section(u'|', 0, 5), before);
        log = Run({id}, &failed);
        QCOMPARE(failed, 0);
        QVERIFY2(log.contains(NoChangesLine(id)), qPrintable(log.join(u'|')));
    }

    // Another program saves the calendar while a run goes on: as the run's version is about
    // to replace the file, or while the database's commit fails and the file is put back.
    // What it saved stays; where the run would write over it, it gives up on both sides.
    void calendarSavedDuringRun_data() {
        QTest::addColumn<bool>("atCommit");    // else as the file is replaced
        QTest::addColumn<bool>("rewritten");   // it saves the entry the run rewrites
        QTest::addColumn<QString>("line");     // what the log says
        QTest::newRow("another entry, at the rename") << false << false << kComplete;
        QTest::newRow("the run's entry, at the rename")
            << false << true << "Another program saved the calendar file";
        QTest::newRow("another entry, as the commit fails") << true << false << kNothingChanged;
        QTest::newRow("the run's entry, as the commit fails")
            << true << true << "were left as it saved them";
    }
    void calendarSavedDuringRun() {
        QFETCH(bool, atCommit);
        QFETCH(bool, rewritten);
        QFETCH(QString, line);
        const int changed = AddJob(c(), acme_, At(2026, 2, 3, 9), At(2026, 2, 3, 10),
                                   {{QStringLiteral("Description"), QStringLiteral("original")}});
        const int other = AddJob(c(), acme_, At(2026, 2, 4, 9), At(2026, 2, 4, 10));
        Run({changed, other});
        QVERIFY(c().Execute(QStringLiteral("UPDATE JobDetails SET Description = 'database text', "
                                           "Outlook_LastUpdate = ? WHERE JobID = ?"),
                            {LastSync(changed).addSecs(60), changed}));
        const int fresh = AddJob(c(), acme_, At(2026, 2, 5, 9), At(2026, 2, 5, 10));
        const QString ref = Job(changed, "Outlook_REF").toString();
        const QByteArray target = Job(rewritten ? changed : other, "Outlook_REF").toByteArray();
        bool saved = false;
        const auto save = [&] {
            if (std::exchange(saved, true)) return;
            QByteArray text = CalendarText();
            text.insert(text.indexOf("END:VEVENT", text.indexOf(target)), "X-THEIRS:kept\r\n");
            QVERIFY(testsupport::WriteText(calendar_, text));
        };
        if (atCommit)
            db::SetCommitHook([&] {
                save();
                return QStringLiteral("database is locked");
            });
        else
            outlook::SetReplaceHook(save);
        const QString before = DatabaseState();
        QStringList log = Run({changed, other, fresh});
        outlook::SetReplaceHook({});
        db::SetCommitHook({});
        QVERIFY(saved);
        QVERIFY2(log.filter(line).size() == 1, qPrintable(log.join(u'|')));
        QVERIFY(CalendarText().contains("X-THEIRS:kept"));
        const bool completed = !atCommit && !rewritten;
        QCOMPARE(DatabaseState() == before, !completed);
        QCOMPARE(FindEvent(calendar_, ref)->description,
                 completed || (atCommit && rewritten) ? QStringLiteral("database text")
                                                      : QStringLiteral("original"));
        // The next run ends with one entry per appointment, the database's text in place.
        log = Run({changed, other, fresh});
        QCOMPARE(log.last(), kComplete);
        QCOMPARE(testsupport::ReadEvents(calendar_).size(), 3);
        QCOMPARE(FindEvent(calendar_, ref)->description, QStringLiteral("database text"));
        QVERIFY(CalendarText().contains("X-THEIRS:kept"));
    }

    // The calendar file goes, or is emptied, while appointments refer to its entries: none is
    // taken as deleted; the run stops with nothing changed and says why, once. With the file
    // back, the next run goes on from there.
    void calendarMissingOrEmpty_data() {
        QTest::addColumn<QByteArray>("left");  // what the file holds; "moved" for no file
        QTest::addColumn<bool>("duringRun");   // emptied while the run asks a question
        QTest::newRow("moved away") << QByteArray("moved") << false;
        QTest::newRow("emptied") << QByteArray() << false;
        QTest::newRow("white space") << QByteArray("\r\n \r\n") << false;
        QTest::newRow("emptied during the run") << QByteArray() << true;
    }
    void calendarMissingOrEmpty() {
        QFETCH(QByteArray, left);
        QFETCH(bool, duringRun);
        const int a = AddJob(c(), acme_, At(2026, 2, 3, 9), At(2026, 2, 3, 10));
        const int b = AddJob(c(), acme_, At(2026, 2, 4, 9), At(2026, 2, 4, 10));
        Run({a, b});
        const QByteArray whole = CalendarText();
        const bool moved = left == "moved";
        const auto leave = [&] {
            QVERIFY(moved ? QFile::rename(calendar_, calendar_ + QStringLiteral(".moved"))
                          : testsupport::WriteText(calendar_, left));
        };
        if (duringRun) {
            // Known to the calendar but never recorded: the run asks about it.
            QVERIFY(c().Execute(QStringLiteral("DELETE FROM sync WHERE RecordID = ?"), {a}));
            WhenDialogShows([&](Conflict_Manager* d) {
                leave();
                d->btnDB->click();
            });
        } else {
            leave();
        }
        const QString before = DatabaseState();
        env_->prompts().ExpectMsgBox(QStringLiteral("is missing or empty"));
        int failed = 0;
        QStringList log = Run({a, b}, &failed);
        QCOMPARE(failed, 2);
        QVERIFY2(log.filter(QStringLiteral("is missing or empty")).size() == 1,
                 qPrintable(log.join(u'|')));
        QCOMPARE(DatabaseState(), before);
        QCOMPARE(QFileInfo::exists(calendar_), !moved);
        if (!moved) QCOMPARE(CalendarText(), left);

        QVERIFY(moved ? QFile::rename(calendar_ + QStringLiteral(".moved"), calendar_)
                      : testsupport::WriteText(calendar_, whole));
        if (duringRun) AnswerDialog(DatabaseButton);
        log = Run({a, b});
        QCOMPARE(log.last(), kComplete);
        QVERIFY(!log.contains(kCreating + QString::number(a)));
        QCOMPARE(testsupport::ReadEvents(calendar_).size(), 2);
    }

    // A run killed between writing the new file and putting it in place left it beside the
    // calendar: the next run takes it away, and leaves one a run may still be writing.
    void killedRunsTemporary() {
        const int id = AddJob(c(), acme_, At(2026, 2, 3, 9), At(2026, 2, 3, 10));
        QVERIFY(QDir().mkpath(QFileInfo(calendar_).absolutePath()));
        const QString stale = calendar_ + QStringLiteral(".qWzXyB");
        const QString recent = calendar_ + QStringLiteral(".pLmNoQ");
        for (const QString& path : {stale, recent})
            QVERIFY(testsupport::WriteText(path, "BEGIN:VCALENDAR\r\n"));
        const timespec then{QDateTime::currentSecsSinceEpoch() - 120, 0};
        const timespec times[2] = {then, then};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(stale).constData(), times, 0) == 0);
        QCOMPARE(Run({id}).last(), kComplete);
        QVERIFY(!QFile::exists(stale));
        QVERIFY(QFile::exists(recent));
    }
};

// A run in a process of its own, killed once the calendar file is in place and before the
// database commits.
int KilledRun(int argc, char** argv) {
    QApplication app(argc, argv);
    DbConnection().SetCursorLocation(db::adUseClient);
    if (argc < 4 || !DbConnection().Open(QString::fromLocal8Bit(argv[2]))) return 2;
    OwnerCompanyName = QString::fromLocal8Bit(argv[3]);
    QList<int> ids;
    for (int i = 4; i < argc; ++i) ids << QByteArray(argv[i]).toInt();
    outlook::SetWriteHook([] { std::raise(SIGKILL); });
    Synchroniser(nullptr, nullptr).Run(ids);
    return 3;
}

QTEST_MAIN_WRAPPER(TestSyncFaults,
                   if (argc > 1 && qstrcmp(argv[1], "--killed-run") == 0) return KilledRun(argc, argv);
                   QTEST_MAIN_SETUP())
#include "tst_syncfaults.moc"
