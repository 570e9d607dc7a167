// The report runtime over SQLite rows: page breaking, page numbers, group sums and counts,
// formats, missing columns, and a PDF read back.
#include <QPageRanges>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "platform/db/recordset.h"
#include "platform/report/pages.h"
#include "platform/report/print.h"
#include "platform/report/report.h"
#include "platform/report/text.h"
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

// The text of each page of a PDF file; empty when poppler's pdftotext is missing.
QStringList PdfPages(const QString& path) {
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty()) return {};
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(20000);
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(u'\f');
    pages.removeLast();  // after the last form feed
    return pages;
}

QStringList Footers(const QStringList& pages) {
    QStringList footers;
    for (const QString& page : pages)
        footers << QRegularExpression(QStringLiteral("\\d+ of \\d+")).match(page).captured();
    return footers;
}

// The files in `folder` besides those named.
QStringList Others(const QString& folder, const QStringList& named) {
    QStringList others = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& n : named) others.removeAll(n);
    return others;
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
    // Four columns as wide as a landscape page, the description long enough to wrap.
    report::Report Wide(int rows) {
        const int acme = testsupport::AddCompany(env_->connection(), QStringLiteral("Acme"));
        for (int i = 1; i <= rows; ++i)
            testsupport::AddJob(
                env_->connection(), acme, QDateTime(QDate(2027, 1, 1), QTime(9, 0)),
                QDateTime(QDate(2027, 1, 1), QTime(10, 0)),
                {{QStringLiteral("Description"),
                  QStringLiteral("row%1 ").arg(i) +
                      QStringList(i % 7, QStringLiteral("boiler service")).join(u' ')},
                 {QStringLiteral("PO_Number"),
                  QStringLiteral("PO-2027-%1").arg(i, 10, 10, QChar(u'0'))}});
        jobs_.Open(QStringLiteral("select JobID, Description, PO_Number, Fee from JobDetails"),
                   env_->connection());
        report::Report r = Listing();
        r.Orientation = QPageLayout::Landscape;
        Control description = Text("Text1", Control::TextBox, "Description", 1500);
        description.width = 7000;
        description.canGrow = true;
        Control po = Text("Text2", Control::TextBox, "PO_Number", 8600);
        po.width = 2200;
        po.canGrow = true;
        Control number = Text("Text3", Control::TextBox, "JobID", 0);
        number.width = 1400;
        Control fee = Text("Text4", Control::TextBox, "Fee", 10900);
        fee.alignment = Qt::AlignRight;
        r.section(QStringLiteral("Section1"))->controls = {number, description, po, fee};
        return r;
    }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() {
        jobs_.Close();
        env_.reset();
    }

    // Whatever the paper, its orientation and margins: every row prints once, inside the
    // margins, each page with its footer; laid out a part at a time it comes out the same.
    void aReportIsLaidOutAgainForEachSheet_data() {
        QTest::addColumn<int>("paper");
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<int>("margin");
        QTest::newRow("A4 landscape, as designed") << int(QPageSize::A4) << true << 1000;
        QTest::newRow("A4 portrait") << int(QPageSize::A4) << false << 1000;
        QTest::newRow("Letter portrait, narrow margins") << int(QPageSize::Letter) << false << 300;
        QTest::newRow("A5 portrait, wide margins") << int(QPageSize::A5) << false << 1400;
    }
    void aReportIsLaidOutAgainForEachSheet() {
        QFETCH(int, paper);
        QFETCH(bool, landscape);
        QFETCH(int, margin);
        const report::Report r = Wide(300);
        report::Sheet sheet = r.OwnSheet();
        sheet.paper = QPageSize(QPageSize::PageSizeId(paper));
        sheet.orientation = landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
        sheet.left = sheet.right = sheet.top = sheet.bottom = margin;
        report::Pages laid(r, sheet);
        int steps = 1;
        while (!laid.Advance(QDeadlineTimer(0))) ++steps;
        QVERIFY2(steps > 1, "a part at a time");
        QVERIFY2(laid.Error().isEmpty(), qPrintable(laid.Error()));
        report::Pages whole(r, sheet);
        QVERIFY(whole.Advance());
        QCOMPARE(whole.Count(), laid.Count());

        const QRectF inside(margin - 0.5, margin - 0.5, sheet.Width() - 2 * margin + 1,
                            sheet.Height() - 2 * margin + 1);
        QStringList rows, numbers;
        for (int p = 0; p < laid.Count(); ++p) {
            const report::Page page = laid.Make(p);
            QCOMPARE(page.texts(), whole.Make(p).texts());
            QCOMPARE(page.texts().last(), QStringLiteral("%1 of %2").arg(p + 1).arg(laid.Count()));
            for (const report::Item& i : page.items) {
                const QRectF box(i.box.topLeft() * page.scale, i.box.size() * page.scale);
                QVERIFY2(inside.contains(box), qPrintable(i.control + " is outside the margins"));
                if (i.control == u"Text1") rows << i.text.section(u' ', 0, 0);
                // An order number is never broken where the page has room for it.
                if (i.control == u"Text2")
                    QVERIFY(i.box.width() >= report::text::Face::Of(i.font).NaturalWidth(i.text));
                if (i.control == u"Text3") numbers << i.text;
            }
        }
        QCOMPARE(numbers.size(), 300);
        QCOMPARE(QSet<QString>(numbers.begin(), numbers.end()).size(), 300);
        QCOMPARE(rows.filter(QRegularExpression(QStringLiteral("^row\\d+$"))).size(), 300);
    }

    // The print dialog's range, copies and collation, printed to a PDF file.
    void thePrintDialogsChoicesArePrinted_data() {
        QTest::addColumn<QString>("range");  // empty: all pages
        QTest::addColumn<int>("copies");
        QTest::addColumn<bool>("collate");
        QTest::addColumn<bool>("reverse");
        QTest::addColumn<QStringList>("footers");
        QTest::newRow("all") << "" << 1 << true << false
                             << QStringList{"1 of 3", "2 of 3", "3 of 3"};
        QTest::newRow("pages 2 to 2") << "2-2" << 1 << true << false << QStringList{"2 of 3"};
        QTest::newRow("pages 1 and 3")
            << "1,3" << 1 << true << false << QStringList{"1 of 3", "3 of 3"};
        QTest::newRow("beyond the last page")
            << "3-9" << 1 << true << false << QStringList{"3 of 3"};
        QTest::newRow("two copies collated")
            << "2-3" << 2 << true << false << QStringList{"2 of 3", "3 of 3", "2 of 3", "3 of 3"};
        QTest::newRow("two copies not collated")
            << "2-3" << 2 << false << false << QStringList{"2 of 3", "2 of 3", "3 of 3", "3 of 3"};
        QTest::newRow("last page first")
            << "" << 1 << true << true << QStringList{"3 of 3", "2 of 3", "1 of 3"};
    }
    void thePrintDialogsChoicesArePrinted() {
        QFETCH(QString, range);
        QFETCH(int, copies);
        QFETCH(bool, collate);
        QFETCH(bool, reverse);
        QFETCH(QStringList, footers);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        Fill(20);
        const report::Report r = Listing();
        report::Pages laid(r);
        QVERIFY(laid.Advance());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString path = QDir(env_->programFolder()).filePath(QStringLiteral("jobs.pdf"));
        printer.setOutputFileName(path);
        if (!range.isEmpty()) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setPageRanges(QPageRanges::fromString(range));
        }
        printer.setCopyCount(copies);
        printer.setCollateCopies(collate);
        printer.setPageOrder(reverse ? QPrinter::LastPageFirst : QPrinter::FirstPageFirst);
        QString error;
        QVERIFY2(
            report::PrintPages(laid, report::PrintOrder(printer, laid.Count(), 0), printer, &error),
            qPrintable(error));
        QCOMPARE(Footers(PdfPages(path)), footers);
    }

    // A PDF that cannot be written whole says why and leaves the file that was there before,
    // and no other, whether written straight or printed to a file.
    void aPdfThatCannotBeWrittenSaysWhy_data() {
        QTest::addColumn<bool>("printed");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<qint64>("limit");  // 0: none
        QTest::addColumn<QString>("why");
        QTest::newRow("full disk") << false << "" << qint64(6000) << "File too large";
        QTest::newRow("full disk, printed to a file")
            << true << "" << qint64(6000) << "File too large";
        QTest::newRow("no such folder")
            << false << "gone" << qint64(0) << "No such file or directory";
    }
    void aPdfThatCannotBeWrittenSaysWhy() {
        QFETCH(bool, printed);
        QFETCH(QString, folder);
        QFETCH(qint64, limit);
        QFETCH(QString, why);
        Fill(60);
        const report::Report r = Listing();
        report::Pages laid(r);
        QVERIFY(laid.Advance());
        const QString path =
            QDir(env_->programFolder()).filePath(folder + QStringLiteral("/jobs.pdf"));
        const QByteArray before = "%PDF-1.4 the report printed yesterday";
        if (folder.isEmpty()) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(before);
        }
        const QStringList files = Others(env_->programFolder(), {});
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        const std::vector<int> all = report::PrintOrder(printer, laid.Count(), 0);
        QString error;
        bool written;
        {
            std::optional<testsupport::FileSizeLimit> full;
            if (limit > 0) full.emplace(limit);
            written = printed ? report::PrintPages(laid, all, printer, &error)
                              : report::WritePdf(laid, all, path, &error);
        }
        QVERIFY(!written);
        QVERIFY2(error.contains(why) && error.contains(QStringLiteral("jobs.pdf")),
                 qPrintable(error));
        QCOMPARE(Others(env_->programFolder(), {}), files);
        if (folder.isEmpty()) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), before);
        }
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
        QTest::newRow("general date keeps the seconds") << day << "General Date"
                                                        << "04/03/2027 14:30:00";
        QTest::newRow("general date at midnight")
            << QVariant(QDateTime(QDate(2027, 3, 4), QTime(0, 0))) << "General Date"
            << "04/03/2027";
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
