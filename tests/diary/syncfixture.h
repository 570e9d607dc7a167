#pragma once

// What the synchronisation tests share: a fixture database with a customer, the calendar file
// in its program folder, and the run and the conflict dialog driven as a user would.
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/globals.h"
#include "diary/Conflict_Manager.h"
#include "diary/synchronise.h"
#include "diary/syncrules.h"
#include "platform/db/value.h"
#include "tests/support/icsfile.h"
#include "tests/support/testenv.h"

using namespace outlooksync;
using testsupport::AddCompany;
using testsupport::AddJob;
using testsupport::FindEvent;
using testsupport::QueryValue;
using testsupport::TestEnv;

inline QDateTime At(int y, int m, int d, int h = 0, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

// How the conflict dialog is answered: not expected, either Winner button, or closed.
enum Answer { NoDialog, DatabaseButton, OutlookButton, Closed };

class SyncFixture : public QObject {
    Q_OBJECT
  protected:
    std::unique_ptr<TestEnv> env_;
    QString calendar_;
    int acme_ = 0;
    // What the conflict dialog showed: database and calendar descriptions.
    QStringList dialogTexts_;
    QPointer<QTimer> poll_;  // waits for the conflict dialog

    db::Connection& c() { return env_->connection(); }
    QVariant Job(int id, const char* column) { return testsupport::JobValue(c(), id, column); }
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
};
