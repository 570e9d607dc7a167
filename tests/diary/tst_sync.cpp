// The calendar synchronisation against real iCalendar files, on a fixture database.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTableView>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/globals.h"
#include "diary/Conflict_Manager.h"
#include "diary/frmMain.h"
#include "diary/synchronise.h"
#include "diary/syncrules.h"
#include "platform/com/com.h"
#include "platform/db/recordset.h"
#include "platform/outlook/outlook.h"
#include "tests/support/icsfile.h"
#include "tests/support/testenv.h"

#include <csignal>

using namespace outlooksync;
using testsupport::AddCompany;
using testsupport::AddJob;
using testsupport::FindEvent;
using testsupport::QueryValue;
using testsupport::TestEnv;

namespace {

QDateTime At(int y, int m, int d, int h = 0, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

// How the conflict dialog is answered: not expected, either Winner button, or closed.
enum Answer { NoDialog, DatabaseButton, OutlookButton, Closed };

}  // namespace

class TestSync : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    QString calendar_;
    int acme_ = 0;
    // What the conflict dialog showed: database and calendar descriptions.
    QStringList dialogTexts_;
    QPointer<QTimer> poll_;  // waits for the conflict dialog

    db::Connection& c() { return env_->connection(); }
    QVariant Job(int id, const char* column) {
        return QueryValue(
            c(),
            QStringLiteral("SELECT %1 FROM JobDetails WHERE JobID = ?").arg(QLatin1String(column)),
            {id});
    }
    QDateTime LastSync(int id) {
        return db::ToDateTime(
                   QueryValue(c(),
                              QStringLiteral("SELECT LastSyncDate FROM sync WHERE RecordID = ?"),
                              {id}))
            .value_or(QDateTime());
    }
    int SyncRows(int id) {
        return QueryValue(c(), QStringLiteral("SELECT count(*) FROM sync WHERE RecordID = ?"), {id})
            .toInt();
    }
    // Runs `act` once the conflict dialog shows (the run yields before it does).
    void WhenDialogShows(std::function<void(Conflict_Manager*)> act) {
        delete poll_;
        QTimer* poll = new QTimer(this);
        poll_ = poll;
        connect(poll, &QTimer::timeout, this, [poll, act] {
            Conflict_Manager* d = Forms::find<Conflict_Manager>();
            if (!d || !d->isVisible()) return;
            poll->deleteLater();
            poll->stop();
            act(d);
        });
        poll->start(5);
    }
    // Answers the conflict dialog when it shows, as a user would.
    void AnswerDialog(Answer answer) {
        dialogTexts_.clear();
        if (answer == NoDialog) return;
        WhenDialogShows([this, answer](Conflict_Manager* d) {
            dialogTexts_ = {d->DBDescription->toPlainText(), d->OLDescription->toPlainText()};
            if (answer == DatabaseButton) QTest::mouseClick(d->btnDB, Qt::LeftButton);
            if (answer == OutlookButton) QTest::mouseClick(d->btnOutlook, Qt::LeftButton);
            if (answer == Closed) d->close();
        });
    }
    // One run over `ids`; the log it wrote.
    QStringList Run(const QList<int>& ids, int* failed = nullptr) {
        frmInfo* info = Forms::get<frmInfo>();
        const int n = Synchroniser(info, nullptr).Run(ids);
        if (failed) *failed = n;
        return info->LogText().split(QStringLiteral("\r\n"));
    }

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
    QByteArray CalendarText() {
        QFile f(calendar_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() {
        env_ = std::make_unique<TestEnv>();
        SetProgramFolder(env_->programFolder());
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
        calendar_ = QDir(env_->programFolder()).filePath(QStringLiteral("cal/calendar.ics"));
        qputenv("AMBRELLE_CALENDAR", calendar_.toUtf8());
        OwnerCompanyName = QStringLiteral("Pat Plumbing");
        acme_ = AddCompany(c(), QStringLiteral("Acme"),
                           {{QStringLiteral("Postal_AddressStreet"), QStringLiteral("1 High St")},
                            {QStringLiteral("Postal_AddressTown"), QStringLiteral("Leeds")},
                            {QStringLiteral("Postal_AddressPostcode"), QStringLiteral("LS1 1AA")}});
    }
    void cleanup() {
        delete poll_;
        db::SetCommitHook({});
        Synchroniser::LockWaitMs = 5000;
        const bool answered = env_->allPromptsAnswered();
        Forms::unload<frmInfo>();
        DbConnection().Close();
        env_.reset();
        QVERIFY(answered);
    }

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

    // One appointment failing is logged with its reason and counted; the others go on.
    void failures_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("entry deleted in the calendar") << "deleted";
        QTest::newRow("read-only calendar") << "read-only";
        QTest::newRow("calendar is not a calendar file") << "not a calendar";
    }
    void failures() {
        QFETCH(QString, kind);
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
            env_->prompts().ExpectMsgBox(kNotInstalled, ui::vbOK);
        }
        int failed = 0;
        const QStringList log = Run({a, b}, &failed);
        const int expected = kind == QStringLiteral("deleted") ? 1 : 2;
        QCOMPARE(failed, expected);
        QCOMPARE(log.last(), ClosingLine(expected, 2));
        QVERIFY(log.last().startsWith(kErrors));
        QVERIFY(!log.contains(kComplete));
        const QString failure = FailureLine(a, QString());
        QVERIFY2(std::any_of(log.begin(), log.end(),
                             [&](const QString& l) {
                                 return l.startsWith(failure) && l.size() > failure.size();
                             }),
                 qPrintable(log.join(u'|')));
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
        QFile f(calendar_);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), untouched);
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

    // A calendar entry whose times cannot be an appointment's is not taken; the log says why.
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
        const QString before = DatabaseState();
        int failed = 0;
        const QStringList log = Run({id}, &failed);
        QCOMPARE(failed, 1);
        QVERIFY2(log.contains(FailureLine(id, reason)), qPrintable(log.join(u'|')));
        QCOMPARE(DatabaseState(), before);
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

QTEST_MAIN_WRAPPER(TestSync,
                   if (argc > 1 && qstrcmp(argv[1], "--killed-run") == 0) return KilledRun(argc, argv);
                   QTEST_MAIN_SETUP())
#include "tst_sync.moc"
