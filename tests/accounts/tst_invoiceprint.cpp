// Printing an invoice through word-processor templates: the merge source, the print, edit and
// new-template commands and the template list, on a fixture database and real .docx files.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "accounts/Invoice_Print.h"
#include "accounts/frmInvoice.h"
#include "accounts/invoicemerge.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "platform/db/recordset.h"
#include "platform/settings/settings.h"
#include "platform/ui/desktop.h"
#include "platform/word/document.h"
#include "tests/support/testenv.h"

using db::Currency;
using testsupport::AddCompany;
using testsupport::AddInvoice;
using testsupport::AddJob;
using testsupport::QueryValue;
using testsupport::SetSystemRow;
using testsupport::TestEnv;

namespace {

QDateTime At(int y, int m, int d, int h = 0, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

const QStringList kFields{"InvoiceNumber", "InvoiceDate", "Total",     "InvoicePaymentDetails",
                          "Customer",      "Street",      "Town",      "County",
                          "Country",       "Postcode",    "Start",     "Finish",
                          "Duration",      "Description", "PO_Number", "Fee"};

}  // namespace

class TestInvoicePrint : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    QStringList shown_;
    int invoice_ = 0;

    db::Connection& c() { return env_->connection(); }
    QString Data(const QString& name = QString()) const {
        return QDir(env_->programFolder()).filePath("data/" + name);
    }
    int Count(const QString& sql, const QVariantList& params = {}) {
        return QueryValue(c(), sql, params).toInt();
    }
    int ReportRows() { return Count("SELECT Count(*) FROM System WHERE FieldName = 'report'"); }
    int AddReport(const QString& path) {
        return testsupport::InsertRow(c(), "System", {{"FieldName", "report"}, {"Value", path}});
    }
    // An invoice of three jobs: one without an order number, one at midnight, one without a fee.
    int ThreeJobInvoice(bool postalIsBilling) {
        const int acme = AddCompany(c(), "O'Brien & Sons",
                                    {{"Postal_AddressStreet", "9 Post Rd"},
                                     {"Postal_AddressPostcode", "PO1 1AA"},
                                     {"Billing_AddressStreet", "1 Bill St"},
                                     {"Billing_AddressTown", "Billtown"},
                                     {"Billing_AddressPostcode", "BI1 1LL"},
                                     {"IsBillingAddressSameasPostal", postalIsBilling ? 1 : 0}});
        const int n = AddInvoice(c(), acme, QDate(2027, 5, 31), Currency::fromDouble(150.5).value(),
                                 {{"InvoicePaymentDetails", "30 days"}});
        AddJob(c(), acme, At(2027, 5, 6, 9), At(2027, 5, 6, 17),
               {{"InvoiceNumber", n},
                {"Duration", "2:30"},
                {"Description", "Survey\nand plan"},
                {"PO_Number", "PO-1"},
                {"Fee", QVariant::fromValue(Currency::fromDouble(100).value())}});
        AddJob(c(), acme, At(2027, 5, 7), At(2027, 5, 7),
               {{"InvoiceNumber", n},
                {"Duration", "1:00"},
                {"Description", "1/2"},
                {"Fee", QVariant::fromValue(Currency::fromDouble(50.5).value())}});
        AddJob(c(), acme, At(2027, 5, 8, 14, 30), At(2027, 5, 8, 15),
               {{"InvoiceNumber", n},
                {"Duration", "0:30"},
                {"Description", "Report"},
                {"PO_Number", "3/4"}});
        // Work of another invoice stays out.
        AddJob(c(), acme, At(2027, 5, 9), At(2027, 5, 9), {{"InvoiceNumber", n + 1}});
        return n;
    }
    frmInvoice* OpenEditor(int number) {
        CurrentInvoiceNumber = number;
        frmInvoice* w = Forms::get<frmInvoice>();
        CurrentInvoiceNumber = 0;
        return w;
    }
    // A template naming a few of the fields, in text and in a table.
    QString WriteTemplate(const QString& name) {
        word::Document t;
        t.TypeText("Invoice ");
        t.InsertMergeField("InvoiceNumber");
        t.TypeText(" to ");
        t.InsertMergeField("Customer");
        t.TypeParagraph();
        t.InsertMergeField("Start");
        t.TypeParagraph();
        t.TypeText("Total: ");
        t.InsertMergeField("Total");
        const QString path = QDir(env_->programFolder()).filePath(name);
        if (!t.SaveAs(path)) qFatal("%s", qPrintable(t.LastError()));
        return path;
    }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() {
        env_ = std::make_unique<TestEnv>();
        SetProgramFolder(env_->programFolder());
        merge::SetDataFolder(Data());
        shown_.clear();
        ui::SetUrlOpener([this](const QUrl& url) {
            shown_ << url.toLocalFile();
            return true;
        });
        VatMultiplier = 0;
        OwnerCompanyName = "Owner Ltd";
        DbConnection().SetCursorLocation(db::adUseClient);
        DbConnection().Open(env_->connectionString());
    }
    void cleanup() {
        Forms::unload<Invoice_Print>();
        Forms::unload<frmInvoice>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DbConnection().Close();
        ui::SetUrlOpener({});
        merge::SetDataFolder(QString());
        QVERIFY(env_->allPromptsAnswered());
        env_.reset();
    }

    void theSourceHoldsTheInvoiceAndItsJobsLineByLine_data() {
        QTest::addColumn<bool>("postal");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("invoice date long, midnight adds no time") << false << "InvoiceDate"
                                                                  << "Monday, 31 May 2027";
        QTest::newRow("net total only") << false << "Total"
                                        << "£150.50";
        QTest::newRow("customer") << false << "Customer"
                                  << "O'Brien & Sons";
        QTest::newRow("billing street") << false << "Street"
                                        << "1 Bill St";
        QTest::newRow("postal street") << true << "Street"
                                       << "9 Post Rd";
        QTest::newRow("three starts, short") << false << "Start"
                                             << "06/05/2027 09:00\n07/05/2027\n08/05/2027 14:30";
        QTest::newRow("durations as typed, not as times") << false << "Duration"
                                                          << "2:30\n1:00\n0:30";
        QTest::newRow("descriptions, breaks kept") << false << "Description"
                                                   << "Survey\nand plan\n1/2\nReport";
        QTest::newRow("Null order number adds no line") << false << "PO_Number"
                                                        << "PO-1\n3/4";
        QTest::newRow("Null fee adds no line") << false << "Fee"
                                               << "£100.00\n£50.50";
    }
    void theSourceHoldsTheInvoiceAndItsJobsLineByLine() {
        QFETCH(bool, postal);
        QFETCH(QString, field);
        QFETCH(QString, text);
        VatMultiplier = 1.175;
        const int n = ThreeJobInvoice(postal);
        db::Recordset invoice, jobs;
        QVERIFY(invoice.Open(merge::InvoiceSql(n), DbConnection()));
        QCOMPARE(invoice.RecordCount(), 1);
        QVERIFY(jobs.Open(merge::JobsSql(n), DbConnection()));
        const merge::Source s = merge::BuildSource(invoice, jobs, {true, false});
        QCOMPARE(s.names, kFields);
        QCOMPARE(s.values.size(), kFields.size());
        QCOMPARE(s.Record().value(field), text);
    }

    void printMergesTheEditorsInvoiceIntoTheTemplate() {
        const int n = ThreeJobInvoice(false);
        const QString templ = WriteTemplate("invoice template.docx");
        AddReport(templ);
        catalogue::WriteText(catalogue::AdvancedPrint, "1");
        frmInvoice* editor = OpenEditor(n);
        // The editor's Print opens the window the program wires, modally.
        bool opened = false;
        QTimer::singleShot(0, [&opened] {
            Invoice_Print* p = Forms::find<Invoice_Print>();
            if (!p || !p->isVisible()) return;
            opened = true;
            p->InvSht->setChecked(true);
            p->JobSht->setChecked(true);
            p->bntPrint_Click();
            p->reject();
        });
        editor->PrintInvoice();
        QVERIFY(opened);

        const QString merged = Invoice_Print::MergedPath(n);
        QCOMPARE(shown_, QStringList{merged});
        word::Document doc;
        QVERIFY2(doc.Open(merged), qPrintable(doc.LastError()));
        QCOMPARE(doc.Paragraphs(),
                 (QStringList{QString("Invoice %1 to O'Brien & Sons").arg(n),
                              "06/05/2027 09:00\n07/05/2027\n08/05/2027 14:30", "Total: £150.50"}));
        // The data document beside it: the names over the one record, the table first, as a
        // merge data source must begin.
        word::Document data;
        QVERIFY(data.Open(Data("DataDoc.docx")));
        QCOMPARE(data.Paragraphs(), QStringList{""});
        QCOMPARE(data.CellText(1, 1, 1), QString("InvoiceNumber"));
        QCOMPARE(data.CellText(1, 1, 16), QString("Fee"));
        QCOMPARE(data.CellText(1, 2, 2), QString("31/05/2027"));
        QCOMPARE(data.CellText(1, 2, 15), QString("PO-1\n3/4"));
    }

    // Each command stops with a message, showing nothing: a data document a word processor
    // holds (its lock file), or a template that cannot be read.
    void aCommandThatCannotGoOnStopsWithAMessage_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("lockFile");
        QTest::newRow("print, LibreOffice") << "print"
                                            << ".~lock.DataDoc.docx#";
        QTest::newRow("edit, Word") << "edit"
                                    << "~$taDoc.docx";
        QTest::newRow("new, name in other case") << "new"
                                                 << ".~lock.datadoc.DOCX#";
        QTest::newRow("print, template moved away") << "print"
                                                    << "";
    }
    void aCommandThatCannotGoOnStopsWithAMessage() {
        QFETCH(QString, command);
        QFETCH(QString, lockFile);
        const QString gone = QDir(env_->programFolder()).filePath("moved away.docx");
        AddReport(lockFile.isEmpty() ? gone : WriteTemplate("t.docx"));
        QVERIFY(QDir().mkpath(Data()));
        for (const QString& name : {QString("DataDoc.docx"), lockFile}) {
            QFile f(Data(name));
            if (!lockFile.isEmpty()) QVERIFY(f.open(QIODevice::WriteOnly));
        }
        Invoice_Print* p = Forms::get<Invoice_Print>();
        env_->prompts().ExpectMsgBox(lockFile.isEmpty() ? gone : "still have an invoice open");
        if (command == "print") p->bntPrint_Click();
        if (command == "edit") p->btnEdit_Click();
        if (command == "new") p->btnNew_Click();
        QCOMPARE(shown_, QStringList{});
        QCOMPARE(QFile::exists(Data("DataDoc.docx")), !lockFile.isEmpty());
        QCOMPARE(ReportRows(), 1);
    }

    // An old data document that cannot be removed (a read-only disk) stops the command with
    // the reason, rather than doing nothing.
    void aDataDocThatCannotBeRemovedSaysWhy() {
        AddReport(WriteTemplate("t.docx"));
        QVERIFY(QDir().mkpath(Data()));
        QFile old(Data("DataDoc.docx"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        const auto mount = [](const QStringList& args) { return QProcess::execute("mount", args) == 0; };
        if (!mount({"--bind", Data(), Data()})) QSKIP("a read-only folder needs mount here");
        const auto unmount = qScopeGuard([this] { QProcess::execute("umount", {Data()}); });
        if (!mount({"-o", "remount,ro,bind", Data()})) QSKIP("a read-only folder needs mount here");
        env_->prompts().ExpectMsgBox("could not be removed: Read-only file system");
        Forms::get<Invoice_Print>()->btnEdit_Click();
        QCOMPARE(shown_, QStringList{});
        QVERIFY(QFile::exists(Data("DataDoc.docx")));
    }

    // A print that cannot write the merged invoice whole, or would write over one a word
    // processor has open, says so and leaves the earlier invoice as it was.
    void anEarlierMergedInvoiceIsNeverLost_data() {
        QTest::addColumn<QString>("lockFile");  // empty: the disk is full
        QTest::addColumn<QString>("message");
        QTest::newRow("full disk") << ""
                                   << "File too large";
        QTest::newRow("open in LibreOffice") << ".~lock.Invoice %1.docx#"
                                             << "still open";
        QTest::newRow("open in Word") << "~$voice %1.docx"
                                      << "still open";
    }
    void anEarlierMergedInvoiceIsNeverLost() {
        QFETCH(QString, lockFile);
        QFETCH(QString, message);
        const auto noise = [](int bytes) {
            QByteArray random(bytes, 0);
            for (char& b : random) b = char(QRandomGenerator::global()->generate());
            return QString::fromLatin1(random.toBase64());
        };
        const int n = ThreeJobInvoice(false);
        // A template that makes the merged invoice larger than the data document.
        const QString templ = WriteTemplate("t.docx");
        word::Document t;
        QVERIFY(t.Open(templ));
        t.TypeText(noise(15000));
        QVERIFY(t.SaveAs(templ));
        AddReport(templ);
        OpenEditor(n);
        Invoice_Print* p = Forms::get<Invoice_Print>();
        p->bntPrint_Click();
        const QString merged = Invoice_Print::MergedPath(n);
        QFile earlier(merged);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        const QByteArray before = earlier.readAll();
        earlier.close();
        if (!lockFile.isEmpty()) QVERIFY(QFile(Data(lockFile.arg(n))).open(QIODevice::WriteOnly));
        // The merged invoice grows past what the disk has left.
        QVERIFY(c().Execute(
            QStringLiteral("UPDATE Companies SET CompanyName = '%1'").arg(noise(3000))));
        shown_.clear();
        env_->prompts().ExpectMsgBox(message);
        {
            std::optional<testsupport::FileSizeLimit> full;
            if (lockFile.isEmpty()) full.emplace(before.size() + 1000);
            p->bntPrint_Click();
        }
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), before);
        QCOMPARE(shown_, QStringList{});
        QCOMPARE(QDir(Data()).entryList({"Invoice*"}, QDir::Files | QDir::Hidden),
                 QStringList{QFileInfo(merged).fileName()});
    }

    void editShowsTheTemplateWithAFreshDataDoc() {
        const int n = ThreeJobInvoice(false);
        const QString templ = WriteTemplate("t.docx");
        AddReport(templ);
        QVERIFY(QDir().mkpath(Data()));
        QFile old(Data("DATADOC.docx"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        OpenEditor(n);
        Invoice_Print* p = Forms::get<Invoice_Print>();
        p->btnEdit_Click();
        QCOMPARE(shown_, QStringList{templ});
        QCOMPARE(p->PrintPB->value(), 100);
        QVERIFY(!QFile::exists(Data("DATADOC.docx")));
        word::Document data;
        QVERIFY(data.Open(Data("DataDoc.docx")));
        QCOMPARE(data.CellText(1, 2, 1), QString::number(n));
    }

    // The merge needs no word processor: with nothing to open it, the merged invoice is
    // still written, and the message says where it is.
    void printWithNothingToOpenTheInvoiceSaysWhereItIs() {
        const int n = ThreeJobInvoice(false);
        AddReport(WriteTemplate("t.docx"));
        ui::SetUrlOpener([](const QUrl&) { return false; });
        OpenEditor(n);
        const QString merged = Invoice_Print::MergedPath(n);
        env_->prompts().ExpectMsgBox("could not be opened");
        Forms::get<Invoice_Print>()->bntPrint_Click();
        QVERIFY(env_->prompts().messages().last().contains(merged));
        word::Document doc;
        QVERIFY2(doc.Open(merged), qPrintable(doc.LastError()));
        QCOMPARE(doc.Paragraphs().value(0), QString("Invoice %1 to O'Brien & Sons").arg(n));
    }

    // Opening the window removes the temporary files an interrupted write of its own files
    // left in the data folder, and nothing else.
    void leftoversOfAnInterruptedWriteGoWhenTheWindowOpens_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removed");
        QTest::newRow("a merged invoice's") << "Invoice 18.docx.Ab12Cd" << true;
        QTest::newRow("the data document's, in other case") << "datadoc.DOCX.x9Y8z7" << true;
        QTest::newRow("a merged invoice") << "Invoice 18.docx" << false;
        QTest::newRow("an invoice's backup of another form") << "Invoice 18.docx.old" << false;
        QTest::newRow("another document's") << "Letter.docx.Ab12Cd" << false;
    }
    void leftoversOfAnInterruptedWriteGoWhenTheWindowOpens() {
        QFETCH(QString, name);
        QFETCH(bool, removed);
        QVERIFY(QDir().mkpath(Data()));
        QFile f(Data(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        Forms::get<Invoice_Print>();
        QCOMPARE(QFile::exists(Data(name)), !removed);
    }

    void theTemplateListComesFromReportRows_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("rowsLeft");
        QTest::newRow("none") << QStringList{} << QStringList{} << 0;
        QTest::newRow("in stored order")
            << QStringList{"/b.docx", "/a.docx"} << QStringList{"/b.docx", "/a.docx"} << 2;
        QTest::newRow("an empty path is removed")
            << QStringList{"", "/a.docx", ""} << QStringList{"/a.docx"} << 1;
    }
    void theTemplateListComesFromReportRows() {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, listed);
        QFETCH(int, rowsLeft);
        for (const QString& path : stored) AddReport(path);
        Invoice_Print* p = Forms::get<Invoice_Print>();
        QStringList items;
        for (int i = 0; i < p->cboReports->count(); ++i) items << p->cboReports->itemText(i);
        QCOMPARE(items, listed);
        QCOMPARE(ReportRows(), rowsLeft);
        QCOMPARE(p->cboReports->currentText(), listed.value(0));
        for (QPushButton* b : {p->bntPrint, p->btnEdit, p->btnDelete})
            QCOMPARE(b->isEnabled(), !listed.isEmpty());
    }

    void deleteForgetsTheChosenRowByItsKey_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("apostrophes") << "O'Brien's invoice.docx";
        QTest::newRow("same path twice") << "other.docx";
    }
    void deleteForgetsTheChosenRowByItsKey() {
        QFETCH(QString, path);
        const QString file = WriteTemplate(path);
        const int chosen = AddReport(file);
        const int kept = AddReport(QDir(env_->programFolder()).filePath("other.docx"));
        Invoice_Print* p = Forms::get<Invoice_Print>();
        QCOMPARE(p->cboReports->currentText(), file);
        p->btnDelete_Click();
        QCOMPARE(Count("SELECT Count(*) FROM System WHERE id = ?", {chosen}), 0);
        QCOMPARE(Count("SELECT Count(*) FROM System WHERE id = ?", {kept}), 1);
        QCOMPARE(p->cboReports->count(), 1);
        QVERIFY(QFile::exists(file));
        p->btnDelete_Click();
        QCOMPARE(ReportRows(), 0);
        QVERIFY(!p->bntPrint->isEnabled());
    }

    void newWritesATemplateOfTheOwnerAndTheFields_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("saved");
        QTest::newRow("cancelled") << ""
                                   << "";
        QTest::newRow("named") << "mine.docx"
                               << "mine.docx";
        QTest::newRow("no suffix") << "mine"
                                   << "mine.docx";
    }
    void newWritesATemplateOfTheOwnerAndTheFields() {
        QFETCH(QString, answer);
        QFETCH(QString, saved);
        const QString dir = env_->programFolder() + "/";
        SetSystemRow(c(), "MyAddress", "1 High St\r\nLittle Town");
        SetSystemRow(c(), "MyPostcode", "AB1 2CD");
        Invoice_Print* p = Forms::get<Invoice_Print>();
        QVERIFY(!p->bntPrint->isEnabled());
        env_->prompts().ExpectSaveFile(answer.isEmpty() ? answer : dir + answer);
        p->btnNew_Click();
        if (saved.isEmpty()) {
            QCOMPARE(ReportRows(), 0);
            QCOMPARE(QDir(dir).entryList({"mine*"}), QStringList{});
            QCOMPARE(shown_, QStringList{});
            QCOMPARE(p->PrintPB->value(), 0);
            return;
        }
        const QString path = dir + saved;
        QCOMPARE(shown_, QStringList{path});
        QCOMPARE(QueryValue(c(), "SELECT Value FROM System WHERE FieldName = 'report'").toString(),
                 path);
        QCOMPARE(p->cboReports->currentText(), path);
        QVERIFY(p->bntPrint->isEnabled() && p->btnEdit->isEnabled() && p->btnDelete->isEnabled());

        word::Document t;
        QVERIFY(t.Open(path));
        QCOMPARE(t.MergeFields(), kFields);
        const QStringList paras = t.Paragraphs();
        QCOMPARE(paras.mid(0, 8),
                 (QStringList{"Owner Ltd", "1 High St", "Little Town", "AB1 2CD", "", "", "", ""}));
        QVERIFY(paras.value(8).startsWith("Welcome to the Ambrelle's template creator."));
        QCOMPARE(paras.last(), QString("«Fee»"));
    }

    void optionsAreWrittenOnlyAfterThePanelOpened_data() {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("invLng");
        QTest::newRow("never opened") << 0 << "absent";
        QTest::newRow("opened") << 1 << "False";
        QTest::newRow("opened and closed") << 2 << "False";
    }
    void optionsAreWrittenOnlyAfterThePanelOpened() {
        QFETCH(int, clicks);
        QFETCH(QString, invLng);
        Invoice_Print* p = Forms::get<Invoice_Print>();
        QVERIFY(p->InvLng->isChecked() && p->JobLng->isChecked());
        p->InvSht->setChecked(true);
        for (int i = 0; i < clicks; ++i) p->btnOptions_Click();
        QCOMPARE(p->Frame1->isVisibleTo(p), clicks == 1);
        Forms::unload<Invoice_Print>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(settings::GetSetting(AppTitle, "InvoicePrinting", "InvLng", "absent"), invLng);
        QCOMPARE(settings::GetSetting(AppTitle, "InvoicePrinting", "InvSht", "absent"),
                 clicks ? "True" : "absent");
        if (!clicks) return;
        // And read back when the window opens again.
        p = Forms::get<Invoice_Print>();
        QVERIFY(p->InvSht->isChecked() && p->JobLng->isChecked());
    }
};

QTEST_MAIN(TestInvoicePrint)
#include "tst_invoiceprint.moc"
