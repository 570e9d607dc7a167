// The progress-log window's own part in stopping a job.
#include <QTest>

#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/globals.h"

class TestInfo : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() {
        Forms::unload<frmInfo>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        AbortRequested = false;
    }

    // Closing asks a running job to stop, and leaves the flag alone when none runs.
    void closing_data() {
        QTest::addColumn<bool>("jobRunning");
        QTest::addColumn<bool>("flagBefore");
        QTest::addColumn<bool>("flagAfter");
        QTest::newRow("job running") << true << false << true;
        QTest::newRow("no job") << false << false << false;
        QTest::newRow("no job, flag set by the job that ended") << false << true << true;
    }
    void closing() {
        QFETCH(bool, jobRunning);
        QFETCH(bool, flagBefore);
        QFETCH(bool, flagAfter);
        frmInfo* info = Forms::get<frmInfo>();
        info->Timer1->stop();
        info->show();
        info->JobRunning = jobRunning;
        AbortRequested = flagBefore;
        QVERIFY(info->close());
        QCOMPARE(AbortRequested, flagAfter);
    }
};

QTEST_MAIN(TestInfo)
#include "tst_info.moc"
