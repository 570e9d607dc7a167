// The year-end export and mail: the year's files as written, and the main window's command
// with each of its messages, mailing to an SMTP server the test runs on 127.0.0.1.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <optional>

#include "accounts/reportqueries.h"
#include "accounts/yearend.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "platform/mapi/mailprofile.h"
#include "platform/mapi/mapi.h"
#include "platform/settings/settings.h"
#include "tests/support/smtpserver.h"
#include "tests/support/testenv.h"

using db::Currency;
using testsupport::AddExpense;
using testsupport::SetSystemRow;
using testsupport::SmtpServer;
using testsupport::TestEnv;

namespace {

const QDate kYear(2024, 4, 1);

QString Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll())
                                       : QStringLiteral("(missing)");
}

// The first column of each data line of a CSV file.
QStringList FirstColumn(const QString& csv) {
    QStringList ids;
    const QStringList lines = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i) ids << lines[i].section(u',', 0, 0);
    return ids;
}

}  // namespace

class TestYearEnd : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    db::Connection& c() { return env_->connection(); }
    int acme_ = 0;

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() {
        env_ = std::make_unique<TestEnv>();
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        SetProgramFolder(env_->programFolder());
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
        acme_ = testsupport::AddCompany(c(), QStringLiteral("Smith, Jones & Co"));
        mapi::UseKeyring(false);
        mapi::ForgetPassword();
        mapi::SetLogonPrompt({});
    }
    void cleanup() {
        DbConnection().Close();
        env_.reset();  // before the next one installs its prompts
    }

    void expenseYear_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<bool>("byJob");
        QTest::addColumn<bool>("exported");
        const QDateTime first(kYear, QTime(0, 0));
        QTest::newRow("first day, midnight") << first << false << true;
        QTest::newRow("last day, evening")
            << QDateTime(kYear.addYears(1).addDays(-1), QTime(18, 0)) << false << true;
        QTest::newRow("next year's first day") << first.addYears(1) << false << false;
        QTest::newRow("job on the first day") << first.addSecs(9 * 3600) << true << true;
        QTest::newRow("job on next year's first day")
            << first.addYears(1).addSecs(9 * 3600) << true << false;
    }
    void expenseYear() {
        QFETCH(QDateTime, when);
        QFETCH(bool, byJob);
        QVariantMap row{
            {"Type", "Mileage"}, {"Description", "Visit"}, {"Milage", 100}, {"Amount", 0}};
        if (byJob)
            row.insert("ScheduleID", testsupport::AddJob(c(), acme_, when, when.addSecs(3600)));
        else
            row.insert("Date", when);
        const int id = AddExpense(c(), row);
        const yearend::Files files = yearend::FilesFor(env_->programFolder(), "2024");
        QString error;
        QCOMPARE(yearend::WriteFiles(c(), files, kYear, 0.4, &error),
                 yearend::Written::WithoutPaidInvoices);
        const QString csv = Read(files.expenseCsv);
        QFile raw(files.expenseCsv);
        QVERIFY(raw.open(QIODevice::ReadOnly) &&
                raw.read(3) == "\xEF\xBB\xBF");  // read as UTF-8 by spreadsheets
        QVERIFY(csv.startsWith("RecordID,Dates,CompanyName,Type,Description,SubTotal,Receipt\r\n"));
        QFETCH(bool, exported);
        QCOMPARE(FirstColumn(csv), exported ? QStringList{QString::number(id)} : QStringList{});
        if (exported) QVERIFY2(csv.contains(",Mileage,Visit,40,No"), qPrintable(csv));
        QCOMPARE(Read(files.invoiceCsv),
                 "Invoice Number,Company,Invoice Date,Payment Due On,Payment Date,Amount\r\n");
        QVERIFY(Read(files.expenseXml).contains(exported ? "<Expenses>" : "<dataroot"));
    }

    void invoiceYear_data() {
        QTest::addColumn<QDateTime>("paid");
        QTest::addColumn<int>("stage");
        QTest::addColumn<bool>("exported");
        const QDateTime first(kYear, QTime(0, 0));
        QTest::newRow("paid on the first day") << first << 3 << true;
        QTest::newRow("paid on next year's first day") << first.addYears(1) << 3 << false;
        QTest::newRow("paid the year before") << first.addDays(-1) << 3 << false;
        QTest::newRow("unpaid") << QDateTime() << 2 << false;
        QTest::newRow("paid, then written off") << first.addDays(5) << 4 << false;
        QTest::newRow("paid, then sent again") << first.addDays(5) << 2 << false;
    }
    // The invoices exported are those the year's invoice report lists.
    void invoiceYear() {
        QFETCH(QDateTime, paid);
        QFETCH(int, stage);
        QFETCH(bool, exported);
        const int id = testsupport::AddInvoice(c(), acme_, kYear.addMonths(-2), Currency::fromUnits(50),
                                               {{"Stage", stage}, {"PaymentDate", paid}});
        const yearend::Files files = yearend::FilesFor(env_->programFolder(), "2024");
        QString error;
        QCOMPARE(yearend::WriteFiles(c(), files, kYear, 0.4, &error),
                 exported ? yearend::Written::All : yearend::Written::WithoutPaidInvoices);
        QCOMPARE(FirstColumn(Read(files.invoiceCsv)),
                 exported ? QStringList{QString::number(id)} : QStringList{});
        QCOMPARE(Read(files.invoiceXml).contains("<Invoices>"), exported);
        db::Recordset report;
        QVERIFY(report.Open(reports::InvoiceReportSql(kYear, 0), c()));
        QCOMPARE(report.RecordCount(), exported ? 1 : 0);
    }

    // The accountant's address is taken only in the form of one (or several, by ";").
    void accountantAddressForm() {
        for (const char* no : {"books at ledger", "a@b.co.uk; ledger", "@example.com",
                               "acc@@example.com", "acc@ledger", "acc @example.com", " ; ;"})
            QVERIFY2(!yearend::IsMailAddressList(no), no);
        QVERIFY(yearend::IsMailAddressList("a@b.co.uk; c.d@e-f.com;"));
    }

    // The four files replace an earlier run's together or not at all (a folder in the third's
    // place, a disk that fills), and a failure says which file and why.
    void filesReplaceTogether_data() {
        QTest::addColumn<qint64>("limit");   // the most a file may grow to; 0 for none
        QTest::addColumn<QString>("error");  // the message's end; empty when all is written
        QTest::newRow("third blocked") << qint64(0) << "Invoices_2024.csv: Operation not permitted";
        QTest::newRow("disk fills") << qint64(300) << ": File too large";
    }
    void filesReplaceTogether() {
        QFETCH(qint64, limit);
        QFETCH(QString, error);
        AddExpense(c(),
                   {{"Description", QString(400, u'x')}, {"Date", QDateTime(kYear, QTime(1, 0))}});
        const yearend::Files files = yearend::FilesFor(env_->programFolder(), "2024");
        for (const QString& path : files.all()) {
            QFile old(path);
            QVERIFY(error.startsWith("Invoices") && path == files.invoiceCsv
                        ? QDir().mkpath(path + "/kept")
                        : old.open(QIODevice::WriteOnly) && old.write("earlier") == 7);
        }
        QString why;
        std::optional<testsupport::FileSizeLimit> full;
        if (limit > 0) full.emplace(limit);
        const bool written =
            yearend::WriteFiles(c(), files, kYear, 0.4, &why) != yearend::Written::Failed;
        full.reset();
        QVERIFY2(
            written ? why.isEmpty() && error.isEmpty() : !error.isEmpty() && why.endsWith(error),
            qPrintable(why));
        for (const QString& path : files.all())
            if (!QFileInfo(path).isDir()) QCOMPARE(Read(path) == "earlier", !written);
        QCOMPARE(QDir(env_->programFolder()).entryList({"*_2024.*"}, QDir::AllEntries).size(), 4);
    }

    void command_data() {
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("case_");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("asked");  // the answer to the address question; "" none asked
        QTest::addColumn<bool>("filesWritten");
        QTest::addColumn<int>("mailsReceived");
        const QString confirm = "About to generate financial report for year ending 31/03/2025";
        QTest::newRow("year not over")
            << "2026"
            << "paid" << QStringList{"end of year has not passed"} << "" << false << 0;
        QTest::newRow("cancelled") << "2024"
                                   << "cancel" << QStringList{confirm} << "" << false << 0;
        QTest::newRow("outstanding, then sent")
            << "2024"
            << "outstanding"
            << QStringList{"Warning, you have 1 outstanding invoices", confirm,
                           "Operation complete, your end of year accounts have been sent to your "
                           "accountant."}
            << "" << true << 1;
        QTest::newRow("no paid invoices")
            << "2024"
            << "unpaid" << QStringList{"Warning", confirm, "There are no paid invoices to send"}
            << "" << true << 0;
        QTest::newRow("no accountant, question cancelled")
            << "2024"
            << "noaccountant"
            << QStringList{confirm,
                           "Operation failed, could not send an email, you files have been "
                           "stored in"}
            << "cancel" << true << 0;
        QTest::newRow("no accountant, address given")
            << "2024"
            << "noaccountant"
            << QStringList{confirm,
                           "Operation complete, your end of year accounts have been sent to your "
                           "accountant."}
            << " acc@example.com " << true << 1;
        QTest::newRow("login refused")
            << "2024"
            << "refuse"
            << QStringList{confirm, "Operation failed, could not send an email - Login Failure"}
            << "" << true << 0;
        QTest::newRow("last file cannot be written")
            << "2024"
            << "blocked" << QStringList{confirm, "The end of year files could not be written."}
            << "" << false << 0;
    }
    void command() {
        QFETCH(QString, year);
        QFETCH(QString, case_);
        QFETCH(QStringList, messages);
        SetSystemRow(c(), catalogue::sys::CurrentFnYear, year);
        SetSystemRow(c(), catalogue::sys::FinYearDay, "1");
        SetSystemRow(c(), catalogue::sys::FinYearMonth, "3");
        SetSystemRow(c(), catalogue::sys::MyCompanyName, "Bront\u00eb Consulting");
        if (case_ != "noaccountant")
            SetSystemRow(c(), catalogue::sys::AccountantEmail, "acc@example.com;");
        if (case_ != "unpaid")
            testsupport::AddInvoice(
                c(), acme_, QDate(2024, 5, 2), Currency::fromUnits(120),
                {{"Stage", 3}, {"PaymentDate", QDateTime(QDate(2024, 6, 1), QTime(0, 0))}});
        if (case_ == "outstanding" || case_ == "unpaid")
            testsupport::AddInvoice(c(), acme_, QDate(2024, 7, 2), Currency::fromUnits(80),
                                    {{"Stage", 2}});
        AddExpense(c(), {{"Type", "Travel"},
                         {"Description", "Train, return"},
                         {"Amount", 12},
                         {"Date", QDateTime(QDate(2024, 9, 9), QTime(0, 0))}});
        const yearend::Files files = yearend::FilesFor(env_->programFolder(), year);
        // Last run's files; a folder in the last one's place cannot be written.
        for (const QString& path : files.all()) {
            QFile old(path);
            QVERIFY(case_ == "blocked" && path == files.invoiceXml
                        ? QDir().mkdir(path)
                        : old.open(QIODevice::WriteOnly) && old.write("last run") == 8);
        }

        SmtpServer server(case_ == "refuse" ? SmtpServer::RefuseLogin : SmtpServer::Accept);
        mapi::StoreProfile({"127.0.0.1",
                            server.port(),
                            mapi::MailProfile::None,
                            "owner",
                            "owner@example.com",
                            {}});
        mapi::RememberPassword("secret");

        frmMain main;
        QVERIFY(main.ui().mnuEndofYear->isEnabled());
        QCOMPARE(main.FnYearCbo->currentText(), year);
        QFETCH(QString, asked);
        for (const QString& m : messages) {
            if (!asked.isEmpty() && m == messages.last())
                env_->prompts().ExpectInput(yearend::kAccountantPrompt,
                                            asked == "cancel" ? std::nullopt : std::optional(asked));
            env_->prompts().ExpectMsgBox(m, case_ == "cancel" ? ui::vbCancel : ui::vbOK);
        }
        main.ui().mnuEndofYear->trigger();
        QVERIFY(env_->allPromptsAnswered());
        QCOMPARE(env_->prompts().messages().size(), messages.size());
        QCOMPARE(env_->prompts().pointer(), int(ui::vbDefault));
        QFETCH(bool, filesWritten);
        // All four are this run's, or all still last run's, with nothing left beside them.
        for (const QString& path : files.all())
            if (!QFileInfo(path).isDir()) QCOMPARE(Read(path) != "last run", filesWritten);
        QStringList names;
        for (const QString& path : files.all()) names << QFileInfo(path).fileName();
        QCOMPARE(QDir(env_->programFolder())
                     .entryList({"Expenses_*", "Invoices_*"}, QDir::AllEntries | QDir::NoDotAndDotDot),
                 names);
        if (!asked.isEmpty())
            QCOMPARE(testsupport::QueryValue(
                         c(), "SELECT Value FROM System WHERE FieldName = 'AccountantEmail'"),
                     asked == "cancel" ? QVariant() : QVariant(asked.trimmed()));

        QFETCH(int, mailsReceived);
        const QList<SmtpServer::Mail> mails = server.received();
        QCOMPARE(mails.size(), mailsReceived);
        if (mails.isEmpty()) return;
        const SmtpServer::Mail& m = mails.front();
        QCOMPARE(m.recipients, QStringList{"acc@example.com"});
        QVERIFY(m.header("Subject").startsWith("=?UTF-8?B?"));
        QCOMPARE(m.body(),
                 "Please find attached the end of year return for Bront\u00eb Consulting for the "
                 "financial year ending 2024, please acknowledge the reciept of these files.");
        const QMap<QString, QByteArray> att = m.attachments();
        QCOMPARE(att.keys(), (QStringList{"Expenses_2024.csv", "Expenses_2024.xml",
                                          "Invoices_2024.csv", "Invoices_2024.xml"}));
        QVERIFY(QString::fromUtf8(att["Expenses_2024.csv"]).contains("\"Train, return\",12"));
        QVERIFY(QString::fromUtf8(att["Invoices_2024.csv"]).contains("\"Smith, Jones & Co\""));
        QCOMPARE(att["Invoices_2024.xml"], Read(files.invoiceXml).toUtf8());
    }
};

QTEST_MAIN(TestYearEnd)
#include "tst_yearend.moc"
