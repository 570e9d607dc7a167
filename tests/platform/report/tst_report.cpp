// The report runtime over SQLite rows: page breaking, page numbers, group sums and counts,
// formats, missing columns, and a PDF read back.
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "platform/db/recordset.h"
#include "platform/report/report.h"
#include "tests/support/testenv.h"

using db::Currency;
using report::Control;
using report::Section;
using testsupport::TestEnv;

namespace {

Control Text(const char* name, Control::Kind kind, const QString& captionOrField, int left = 0) {
    Control c;
    c.name = QString::fromLatin1(name);
    c.kind = kind;
    (kind == Control::Label ? c.caption : c.dataField) = captionOrField;
    c.left = left;
    c.width = 3000;
    c.height = 250;
    return c;
}

}  // namespace

class TestReport : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    db::Recordset jobs_;

    // Jobs 1..n for two customers, fees of 10.50 each.
    void Fill(int n) {
        const int a = testsupport::AddCompany(env_->connection(), QStringLiteral("Alder"));
        const int b = testsupport::AddCompany(env_->connection(), QStringLiteral("Birch"));
        for (int i = 1; i <= n; ++i)
            testsupport::AddJob(
                env_->connection(), i % 2 ? a : b,
                QDateTime(QDate(2027, 1, 1), QTime(9, 0)).addDays(i),
                QDateTime(QDate(2027, 1, 1), QTime(10, 0)).addDays(i),
                {{QStringLiteral("Fee"), QVariant::fromValue(Currency::fromDouble(10.5).value())},
                 {QStringLiteral("Description"), QStringLiteral("Job %1").arg(i)}});
        QVERIFY(jobs_.Open(
            QStringLiteral(
                "select JobID, Start, Description, Fee, CustomerID from JobDetails order by JobID"),
            env_->connection()));
    }
    // A report of one detail line per job between a header and a footer on every page.
    report::Report Listing() {
        report::Report r;
        r.Title = QStringLiteral("Jobs");
        r.PaperHeight = 6000;
        r.TopMargin = r.BottomMargin = 500;
        r.AddSection("Section4", Section::ReportHeader, 500).controls = {
            Text("Label1", Control::Label, "%i")};
        r.AddSection("Section2", Section::PageHeader, 300).controls = {
            Text("Label2", Control::Label, "Description")};
        r.AddSection("Section1", Section::Detail, 400).controls = {
            Text("Text1", Control::TextBox, "Description")};
        r.AddSection("Section3", Section::PageFooter, 300).controls = {
            Text("Label3", Control::Label, "%p of %P")};
        Control count = Text("Function1", Control::Function, "Description");
        count.function = Control::Count;
        Control sum = Text("Function2", Control::Function, "Fee", 3000);
        sum.format = QStringLiteral("£#,##0.00");
        r.AddSection("Section5", Section::ReportFooter, 300).controls = {count, sum};
        r.DataSource = &jobs_;
        return r;
    }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() {
        jobs_.Close();
        env_.reset();
    }

    void formats_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        const QVariant day = QDateTime(QDate(2027, 3, 4), QTime(14, 30));
        QTest::newRow("long date") << day << "d MMMM yyyy"
                                   << "4 March 2027";
        QTest::newRow("no format keeps the time") << day << ""
                                                  << "04/03/2027 14:30";
        QTest::newRow("pounds") << QVariant::fromValue(Currency::fromDouble(1234567.5).value())
                                << "£#,##0.00"
                                << "£1,234,567.50";
        QTest::newRow("negative pounds")
            << QVariant::fromValue(Currency::fromDouble(-0.125).value()) << "£#,##0.00"
            << "-£0.13";
        QTest::newRow("pounds of a number") << QVariant(17.5) << "£#,##0.00"
                                            << "£17.50";
        QTest::newRow("percent") << QVariant(0.175) << "percent"
                                 << "17.50%";
        QTest::newRow("null") << QVariant() << "£#,##0.00"
                              << "";
    }
    void formats() {
        QFETCH(QVariant, value);
        QFETCH(QString, format);
        QFETCH(QString, text);
        QCOMPARE(report::Report::FormatValue(value, format), text);
    }

    void pagesBreakAndNumberThemselves() {
        Fill(20);
        const report::Report r = Listing();
        std::vector<report::Page> pages;
        QVERIFY(r.Layout(&pages));
        // 6000 high, 500 margins, 300 footer: 4700 for the header rows and 400-high lines.
        QCOMPARE(int(pages.size()), 3);
        QStringList all;
        for (size_t p = 0; p < pages.size(); ++p) {
            const QStringList t = pages[p].texts();
            QCOMPARE(t.first(), p == 0 ? QStringLiteral("Jobs") : QStringLiteral("Description"));
            QCOMPARE(t.last(), QStringLiteral("%1 of 3").arg(p + 1));
            for (const report::Item& i : pages[p].items) QVERIFY(i.box.bottom() <= 6000 - 500);
            all += t;
        }
        QCOMPARE(all.filter(QStringLiteral("Job ")).size(), 20);
        QVERIFY(all.contains(QStringLiteral("20")));
        QVERIFY(all.contains(QStringLiteral("£210.00")));
    }

    void aSectionTallerThanAPageRunsOnOverPages() {
        const QString text = QStringList(300, QStringLiteral("flush the system")).join(u' ');
        testsupport::AddJob(env_->connection(), 1, QDateTime(QDate(2027, 1, 1), QTime(9, 0)),
                            QDateTime(QDate(2027, 1, 1), QTime(10, 0)),
                            {{QStringLiteral("Description"), text}});
        Fill(0);
        report::Report r = Listing();
        r.section(QStringLiteral("Section1"))->control(QStringLiteral("Text1"))->canGrow = true;
        std::vector<report::Page> pages;
        QVERIFY(r.Layout(&pages));
        QVERIFY(pages.size() > 3);
        QString printed;
        for (const report::Page& p : pages)
            for (const report::Item& i : p.items)
                if (i.control == u"Text1") {
                    QVERIFY(i.box.bottom() <= 6000 - 500 - 300);  // above the page footer
                    printed += i.text + u' ';
                }
        QCOMPARE(printed.simplified(), text);
        QCOMPARE(pages.back().texts().last(), QStringLiteral("%1 of %1").arg(pages.size()));
    }

    void groupsSumTheirOwnChildRows() {
        Fill(5);
        db::Recordset customers;
        QVERIFY(customers.Open(
            QStringLiteral("select CompanyID, CompanyName from Companies order by CompanyID"),
            env_->connection()));
        report::Report r;
        r.AddSection("Section6", Section::GroupHeader, 300).controls = {
            Text("Text9", Control::TextBox, "CompanyName")};
        r.AddSection("Section1", Section::Detail, 300).controls = {
            Text("Text1", Control::TextBox, "Fee")};
        Control sum = Text("Function1", Control::Function, "Fee");
        sum.format = QStringLiteral("£#,##0.00");
        Control count = Text("Function2", Control::Function, "Fee", 3000);
        count.function = Control::Count;
        r.AddSection("Section7", Section::GroupFooter, 300).controls = {sum, count};
        r.DataSource = &customers;
        db::Connection& c = env_->connection();
        r.ChildRows = [&c](const db::Recordset& parent, int row) {
            auto child = std::make_unique<db::Recordset>();
            child->OpenWith(QStringLiteral("select Fee from JobDetails where CustomerID = ?"), c,
                            {parent.ValueAt(row, parent.FieldIndex(QStringLiteral("CompanyID")))});
            return child;
        };
        std::vector<report::Page> pages;
        QVERIFY(r.Layout(&pages));
        QCOMPARE(pages.at(0).texts(), (QStringList{"Alder", "10.5", "10.5", "10.5", "£31.50", "3",
                                                   "Birch", "10.5", "10.5", "£21.00", "2"}));
    }

    void everyBoxNeedsItsColumnHiddenOrNot() {
        Fill(1);
        report::Report r = Listing();
        r.section(3)->control(QStringLiteral("Text1"))->visible = false;
        std::vector<report::Page> pages;
        QVERIFY(r.Layout(&pages));
        QVERIFY(!pages[0].texts().contains(QStringLiteral("Job 1")));
        r.section(QStringLiteral("Section1"))->control(QStringLiteral("Text1"))->dataField =
            QStringLiteral("Gone");
        QString error;
        QVERIFY(!r.Layout(&pages, &error));
        QVERIFY(error.contains(QStringLiteral("\"Gone\"")));
        QVERIFY(!r.WritePdf(QDir(env_->programFolder()).filePath("x.pdf"), &error));
    }

    void aPdfReadsBack() {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty()) QSKIP("pdftotext (poppler-utils) is not installed");
        Fill(20);
        const QString path = QDir(env_->programFolder()).filePath(QStringLiteral("jobs.pdf"));
        QVERIFY(Listing().WritePdf(path));
        QProcess p;
        p.start(pdftotext, {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(20000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(text.count(QChar(u'\f')), 3);  // one form feed a page
        QVERIFY(text.contains(QStringLiteral("Job 17")));
        QVERIFY(text.contains(QStringLiteral("3 of 3")));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
