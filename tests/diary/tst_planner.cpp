// The monthly planner report over the main window's shown month.
#include <QTest>

#include "core/globals.h"
#include "diary/Rpt_Monthly_Planner.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "tests/support/testenv.h"

class TestPlanner : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

    void listsTheShownMonthUnderTheOwnersName_data() {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("title");
        QTest::newRow("named") << "Brightwater"
                               << "Brightwater Monthly planner for February 2027";
        QTest::newRow("unnamed")
            << ""
            << "Go to View, Options to set Company Name Monthly planner for February 2027";
    }
    void listsTheShownMonthUnderTheOwnersName() {
        QFETCH(QString, owner);
        QFETCH(QString, title);
        testsupport::TestEnv env;
        SetProgramFolder(env.programFolder());
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        db::Connection& c = env.connection();
        if (!owner.isEmpty()) testsupport::SetSystemRow(c, QStringLiteral("MyCompanyName"), owner);
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        for (int day : {20, 3, 11})
            testsupport::AddJob(
                c, acme, QDateTime(QDate(2027, 2, day), QTime(9, 0)),
                QDateTime(QDate(2027, 2, day), QTime(10, 30)),
                {{QStringLiteral("Description"), QStringLiteral("Visit %1").arg(day)}});
        testsupport::AddJob(c, acme, QDateTime(QDate(2027, 2, 5), QTime(9, 0)),
                            QDateTime(QDate(2027, 2, 5), QTime(10, 0)),
                            {{QStringLiteral("Cancelled"), 1},
                             {QStringLiteral("Description"), QStringLiteral("Off")}});
        testsupport::AddJob(c, acme, QDateTime(QDate(2027, 3, 1), QTime(9, 0)),
                            QDateTime(QDate(2027, 3, 1), QTime(10, 0)));
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env.connectionString()));
        {
            frmMain main;
            main.ViewDate = QDateTime(QDate(2027, 2, 14), QTime(12, 0));
            main.ShowMonth();
            Rpt_Monthly_Planner planner;
            planner.DataReport_Initialize(&main);
            QCOMPARE(planner.Title, title);
            std::vector<report::Page> pages;
            QVERIFY(planner.Layout(&pages));
            QCOMPARE(int(pages.size()), 1);
            const QStringList texts = pages[0].texts();
            QCOMPARE(texts.first(), title);
            QCOMPARE(texts.filter(QStringLiteral("Visit")),
                     (QStringList{"Visit 3", "Visit 11", "Visit 20"}));
            QVERIFY(texts.contains(QStringLiteral("3 Feb 09:00")));
            QCOMPARE(texts.mid(texts.indexOf(QStringLiteral("Number of appointments:")) + 1, 1),
                     QStringList{"3"});
            main.close();
        }
        DbConnection().Close();
    }
};

QTEST_MAIN(TestPlanner)
#include "tst_planner.moc"
