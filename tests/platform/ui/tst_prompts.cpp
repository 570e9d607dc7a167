#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/ui/busywait.h"
#include "platform/ui/prompts.h"

using namespace ui;

namespace {

// Runs `act` on the next modal window once it is up (the code under test is blocked in exec()).
void WhenModal(std::function<void(QWidget*)> act, int tries = 300) {
    QTimer::singleShot(10, qApp, [act = std::move(act), tries]() mutable {
        if (QWidget* w = QApplication::activeModalWidget()) {
            act(w);
            // Should the window stay up, close it so that the test fails instead of waiting.
            QTimer::singleShot(2000, w, [w] { w->close(); });
            return;
        }
        if (tries > 0) WhenModal(std::move(act), tries - 1);
    });
}

struct Failures {
    QStringList seen;
    std::function<void(const QString&)> handler() {
        return [this](const QString& why) { seen << why; };
    }
};

}  // namespace

class TestPrompts : public QObject {
    Q_OBJECT

    QTemporaryDir qtSettings_;

  private slots:
    void initTestCase() {
        // The file dialog keeps its state in the user's Qt settings: here, in a folder of ours.
        QVERIFY(qtSettings_.isValid());
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            for (const auto scope : {QSettings::UserScope, QSettings::SystemScope})
                QSettings::setPath(format, scope, qtSettings_.path());
    }

    void scriptAnswersInOrderAndRecordsWhatWasShown() {
        ScriptedPrompts p;
        Failures f;
        p.SetFailureHandler(f.handler());
        p.ExpectMsgBox(QStringLiteral("Save changes"), vbYes)
            .ExpectInput(QStringLiteral("customer name"), QStringLiteral("O'Brien Joinery"))
            .ExpectMsgBox(QString(), vbNo)
            .ExpectOpenFile(QStringLiteral("/tmp/a.mdb"))
            .ExpectColor(0x00FF00u)
            .ExpectPrint(true);
        QCOMPARE(p.pending(), 6);

        QCOMPARE(p.MsgBox(QStringLiteral("Save changes to the invoice?"), vbYesNo | vbQuestion,
                          QString(), nullptr),
                 int(vbYes));
        QCOMPARE(p.InputBox(QStringLiteral("Enter the customer name"), QStringLiteral("New"),
                            QString(), nullptr),
                 std::optional<QString>(QStringLiteral("O'Brien Joinery")));
        QCOMPARE(p.MsgBox(QStringLiteral("Anything"), vbYesNoCancel, QStringLiteral("Own title"),
                          nullptr),
                 int(vbNo));
        FileDialogOptions o;
        o.title = QStringLiteral("Open database");
        o.filter = QStringLiteral("Microsoft Access Database (*.MDB) | *.MDB");
        QCOMPARE(p.OpenFile(o, nullptr), QStringLiteral("/tmp/a.mdb"));
        QCOMPARE(p.lastFileOptions().filter, o.filter);
        QCOMPARE(p.ChooseColor(0x0000FFu, nullptr), std::optional<std::uint32_t>(0x00FF00u));
        QCOMPARE(p.lastColorInitial(), 0x0000FFu);
        QVERIFY(p.ShowPrinter(nullptr, nullptr));
        QCOMPARE(p.pending(), 0);
        QVERIFY(f.seen.isEmpty());
        QVERIFY(p.failures().isEmpty());

        QCOMPARE(p.messages(), (QStringList{QStringLiteral("Save changes to the invoice?"),
                                            QStringLiteral("Anything")}));
        const auto& shown = p.shown();
        QCOMPARE(shown.size(), size_t(6));
        QCOMPARE(shown[0].kind, ScriptedPrompts::Message);
        QCOMPARE(shown[0].style, vbYesNo | vbQuestion);
        QCOMPARE(shown[1].kind, ScriptedPrompts::Input);
        QCOMPARE(shown[1].prompt, QStringLiteral("Enter the customer name"));
        QCOMPARE(shown[1].title, QStringLiteral("New"));
        QCOMPARE(shown[2].title, QStringLiteral("Own title"));
        QCOMPARE(shown[3].kind, ScriptedPrompts::Open);
        QCOMPARE(shown[3].prompt, QStringLiteral("Open database"));
        QCOMPARE(shown[4].kind, ScriptedPrompts::Color);
        QCOMPARE(shown[5].kind, ScriptedPrompts::Print);
    }

    void titleDefaultsToTheApplicationTitle() {
        QCOMPARE(ApplicationTitle(), QStringLiteral("Ambrelle"));
        ScriptedPrompts p;
        p.ExpectMsgBox(QString()).ExpectInput(QString(), QString());
        p.MsgBox(QStringLiteral("one"), vbOKOnly, QString(), nullptr);
        p.InputBox(QStringLiteral("two"), QString(), QString(), nullptr);
        QCOMPARE(p.shown()[0].title, QStringLiteral("Ambrelle"));
        QCOMPARE(p.shown()[1].title, QStringLiteral("Ambrelle"));
    }

    void unexpectedPromptsFailAndAreCancelled_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("answer");
        QTest::newRow("OK only") << int(vbOKOnly) << int(vbOK);
        QTest::newRow("OK/Cancel") << int(vbOKCancel) << int(vbCancel);
        QTest::newRow("Yes/No/Cancel") << int(vbYesNoCancel | vbQuestion) << int(vbCancel);
        QTest::newRow("Retry/Cancel") << int(vbRetryCancel) << int(vbCancel);
        QTest::newRow("Yes/No") << int(vbYesNo | vbDefaultButton2) << int(vbNo);
        QTest::newRow("Abort/Retry/Ignore") << int(vbAbortRetryIgnore | vbCritical) << int(vbAbort);
    }

    void unexpectedPromptsFailAndAreCancelled() {
        QFETCH(int, style);
        QFETCH(int, answer);
        ScriptedPrompts p;
        Failures f;
        p.SetFailureHandler(f.handler());
        QCOMPARE(p.MsgBox(QStringLiteral("Delete this invoice?"), style, QString(), nullptr),
                 answer);
        QCOMPARE(f.seen.size(), 1);
        QVERIFY2(f.seen[0].contains(QStringLiteral("Delete this invoice?")), qPrintable(f.seen[0]));
        QCOMPARE(p.failures(), f.seen);
        // Still recorded as shown.
        QCOMPARE(p.messages(), QStringList{QStringLiteral("Delete this invoice?")});
    }

    void unexpectedDialogsAreCancelled() {
        ScriptedPrompts p;
        Failures f;
        p.SetFailureHandler(f.handler());
        QVERIFY(!p.InputBox(QStringLiteral("Amount?"), QString(), QStringLiteral("12"), nullptr));
        QCOMPARE(p.OpenFile(FileDialogOptions{QStringLiteral("Open"), {}, {}, {}, {}}, nullptr),
                 QString());
        QCOMPARE(p.SaveFile(FileDialogOptions{QStringLiteral("Save"), {}, {}, {}, {}}, nullptr),
                 QString());
        QVERIFY(!p.ChooseColor(255, nullptr));
        QVERIFY(!p.ShowPrinter(nullptr, nullptr));
        QCOMPARE(f.seen.size(), 5);
        QCOMPARE(p.shown().size(), size_t(5));
        // Without a handler the failures are still kept for the test to look at.
        ScriptedPrompts quiet;
        QCOMPARE(quiet.MsgBox(QStringLiteral("x"), vbOKCancel, QString(), nullptr), int(vbCancel));
        QCOMPARE(quiet.failures().size(), 1);
    }

    void mismatchesAreReported() {
        ScriptedPrompts p;
        Failures f;
        p.SetFailureHandler(f.handler());
        p.ExpectMsgBox(QStringLiteral("Invoice saved"), vbOK);

        // Another kind of prompt: reported with both kinds, answered as cancelled, the step kept.
        QVERIFY(!p.InputBox(QStringLiteral("Invoice number?"), QString(), QString(), nullptr));
        QCOMPARE(f.seen.size(), 1);
        QVERIFY2(f.seen[0].contains(QStringLiteral("message box")) &&
                     f.seen[0].contains(QStringLiteral("input box")),
                 qPrintable(f.seen[0]));
        QCOMPARE(p.pending(), 1);

        // The right kind with the wrong text.
        QCOMPARE(p.MsgBox(QStringLiteral("Invoice deleted"), vbOKCancel, QString(), nullptr),
                 int(vbCancel));
        QCOMPARE(f.seen.size(), 2);
        QVERIFY2(f.seen[1].contains(QStringLiteral("Invoice saved")) &&
                     f.seen[1].contains(QStringLiteral("Invoice deleted")),
                 qPrintable(f.seen[1]));
        QCOMPARE(p.pending(), 1);

        // The expected one still gets its answer.
        QCOMPARE(p.MsgBox(QStringLiteral("Invoice saved."), vbOKCancel, QString(), nullptr),
                 int(vbOK));
        QCOMPARE(p.pending(), 0);
        QCOMPARE(f.seen.size(), 2);
    }

    void shorthandsUseTheInstalledPrompts() {
        auto owned = std::make_unique<ScriptedPrompts>();
        ScriptedPrompts* p = owned.get();
        p->ExpectMsgBox(QStringLiteral("Really"), vbRetry)
            .ExpectSaveFile(QStringLiteral("/tmp/out.csv"));
        Install(std::move(owned));
        QCOMPARE(ui::MsgBox(QStringLiteral("Really?"), vbRetryCancel), int(vbRetry));
        QCOMPARE(GetSaveFileName(FileDialogOptions{
                     QStringLiteral("Export"), {}, {}, {}, QStringLiteral("csv")}),
                 QStringLiteral("/tmp/out.csv"));
        QCOMPARE(p->lastFileOptions().defaultExt, QStringLiteral("csv"));
        SetMousePointer(vbHourglass);
        QCOMPARE(p->pointer(), int(vbHourglass));
        SetMousePointer(vbDefault);
        QCOMPARE(p->pointer(), int(vbDefault));
        QCOMPARE(p->pending(), 0);
        Install(nullptr);
    }

    void nameFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("database") << "Microsoft Access Database (*.MDB) | *.MDB"
                                  << QStringList{"Microsoft Access Database (*.MDB)"};
        QTest::newRow("two pairs") << "Database (*.mdb)|*.mdb|All Files (*.*)|*.*"
                                   << QStringList{"Database (*.mdb)", "All Files (*.*)"};
        QTest::newRow("description without patterns")
            << "Text files|*.txt;*.csv" << QStringList{"Text files (*.txt *.csv)"};
        QTest::newRow("patterns rule over the description")
            << "Word (*.doc)|*.doc;*.docx" << QStringList{"Word (*.doc *.docx)"};
        QTest::newRow("description without its patterns is dropped")
            << "Pictures (*.bmp)|*.bmp|Other" << QStringList{"Pictures (*.bmp)"};
        QTest::newRow("empty") << "" << QStringList{};
    }

    void nameFilters() {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(QtNameFilters(filter), expected);
    }

    void realMessageBoxMapsButtons_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("press");  // a button's text, or a key
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("defaultButton");
        const int Q = QMessageBox::Question, C = QMessageBox::Critical, W = QMessageBox::Warning,
                  I = QMessageBox::Information, N = QMessageBox::NoIcon;
        QTest::newRow("OK") << int(vbOKOnly) << "OK" << int(vbOK) << int(QMessageBox::Ok) << N
                            << int(QMessageBox::Ok);
        QTest::newRow("Yes") << int(vbYesNo | vbQuestion) << "Yes" << int(vbYes)
                             << int(QMessageBox::Yes | QMessageBox::No) << Q
                             << int(QMessageBox::Yes);
        QTest::newRow("No") << int(vbYesNo | vbQuestion) << "No" << int(vbNo)
                            << int(QMessageBox::Yes | QMessageBox::No) << Q
                            << int(QMessageBox::Yes);
        QTest::newRow("Cancel of three")
            << int(vbYesNoCancel | vbExclamation) << "Cancel" << int(vbCancel)
            << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) << W
            << int(QMessageBox::Yes);
        QTest::newRow("OK of OK/Cancel")
            << int(vbOKCancel | vbInformation) << "OK" << int(vbOK)
            << int(QMessageBox::Ok | QMessageBox::Cancel) << I << int(QMessageBox::Ok);
        QTest::newRow("Ignore") << int(vbAbortRetryIgnore | vbCritical) << "Ignore" << int(vbIgnore)
                                << int(QMessageBox::Abort | QMessageBox::Retry |
                                       QMessageBox::Ignore)
                                << C << int(QMessageBox::Abort);
        QTest::newRow("Retry") << int(vbRetryCancel) << "Retry" << int(vbRetry)
                               << int(QMessageBox::Retry | QMessageBox::Cancel) << N
                               << int(QMessageBox::Retry);
        QTest::newRow("Enter takes the second button")
            << int(vbYesNo | vbDefaultButton2) << "Enter" << int(vbNo)
            << int(QMessageBox::Yes | QMessageBox::No) << N << int(QMessageBox::No);
        QTest::newRow("Enter takes the third button")
            << int(vbYesNoCancel | vbDefaultButton3) << "Enter" << int(vbCancel)
            << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) << N
            << int(QMessageBox::Cancel);
        QTest::newRow("Escape is Cancel")
            << int(vbOKCancel) << "Escape" << int(vbCancel)
            << int(QMessageBox::Ok | QMessageBox::Cancel) << N << int(QMessageBox::Ok);
        QTest::newRow("Escape without Cancel is No")
            << int(vbYesNo) << "Escape" << int(vbNo) << int(QMessageBox::Yes | QMessageBox::No) << N
            << int(QMessageBox::Yes);
    }

    void realMessageBoxMapsButtons() {
        QFETCH(int, style);
        QFETCH(QString, press);
        QFETCH(int, expected);
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(int, defaultButton);

        bool seen = false;
        QString title, text;
        int shownButtons = 0, shownIcon = -1, shownDefault = 0;
        WhenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) {
                w->close();
                return;
            }
            seen = true;
            title = box->windowTitle();
            text = box->text();
            shownButtons = int(box->standardButtons());
            shownIcon = int(box->icon());
            shownDefault =
                box->defaultButton() ? int(box->standardButton(box->defaultButton())) : 0;
            if (press == QLatin1String("Enter")) {
                QTest::keyClick(box, Qt::Key_Return);
            } else if (press == QLatin1String("Escape")) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                for (QAbstractButton* b : box->buttons()) {
                    if (b->text().remove(u'&') == press) {
                        b->click();
                        return;
                    }
                }
                box->close();  // no such button: let the test fail on the result
            }
        });
        QtPrompts prompts;
        const int result =
            prompts.MsgBox(QStringLiteral("Is the invoice paid?"), style, QString(), nullptr);
        QVERIFY(seen);
        QCOMPARE(title, QStringLiteral("Ambrelle"));
        QCOMPARE(text, QStringLiteral("Is the invoice paid?"));
        QCOMPARE(shownButtons, buttons);
        QCOMPARE(shownIcon, icon);
        QCOMPARE(shownDefault, defaultButton);
        QCOMPARE(result, expected);
    }

    void realMessageBoxCarriesTheDetail() {
        QString detail = QStringLiteral("unset");
        WhenModal([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) detail = box->detailedText();
            w->close();
        });
        QtPrompts prompts;
        prompts.MsgBox(QStringLiteral("Try another file?"), vbOKCancel, QString(), nullptr,
                       QStringLiteral("The database is read-only."));
        QCOMPARE(detail, QStringLiteral("The database is read-only."));
    }

    void realMessageBoxShowsTheNormalPointerWhileBusy() {
        QtPrompts prompts;
        prompts.SetMousePointer(vbHourglass);
        QVERIFY(QApplication::overrideCursor());
        bool busyWhileShown = true;
        QString title;
        WhenModal([&](QWidget* w) {
            busyWhileShown = QApplication::overrideCursor() != nullptr;
            title = w->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->button(QMessageBox::Ok)->click();
            else
                w->close();
        });
        QCOMPARE(
            prompts.MsgBox(QStringLiteral("Done"), vbOKOnly, QStringLiteral("Year end"), nullptr),
            int(vbOK));
        QVERIFY(!busyWhileShown);
        QCOMPARE(title, QStringLiteral("Year end"));
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        prompts.SetMousePointer(vbDefault);
        QVERIFY(!QApplication::overrideCursor());
    }

    void realOpenFileDialog() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("ambrelle.mdb"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        FileDialogOptions o;
        o.title = QStringLiteral("Select database");
        o.filter = QStringLiteral("Microsoft Access Database (*.MDB) | *.MDB");
        o.initialDir = dir.path();
        QtPrompts prompts;

        QStringList filters;
        QString title;
        WhenModal([&](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            if (!d) {
                w->close();
                return;
            }
            filters = d->nameFilters();
            title = d->windowTitle();
            // The dialog leaves a focused file-name box alone, as a user could be typing in it.
            if (QWidget* focused = d->focusWidget()) focused->clearFocus();
            d->selectFile(file);
            static_cast<QDialog*>(d)->accept();
        });
        QCOMPARE(prompts.OpenFile(o, nullptr), file);
        QCOMPARE(title, o.title);
        QCOMPARE(filters, QStringList{QStringLiteral("Microsoft Access Database (*.MDB)")});

        // Cancelled: no file.
        WhenModal([](QWidget* w) { w->close(); });
        QCOMPARE(prompts.OpenFile(o, nullptr), QString());
        QVERIFY(QFile::exists(qtSettings_.filePath(QStringLiteral("QtProject.conf"))));
    }

    // A wait shows the busy pointer at once and its window only after a moment; the window's
    // Cancel gives the wait up, and ending the wait takes both away for the next one.
    void busyWait_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("given up") << true;
        QTest::newRow("waited out") << false;
    }
    void busyWait() {
        QFETCH(bool, cancel);
        const auto window = [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "frmBusyWait" && w->isVisible()) return w;
            return static_cast<QWidget*>(nullptr);
        };
        BusyWait wait(QStringLiteral("Another program is using the database."), 100);
        for (int round = 0; round < 2; ++round) {
            QVERIFY(wait.KeepWaiting(0));
            QVERIFY(QApplication::overrideCursor());
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            QVERIFY(!window());
            QVERIFY(wait.KeepWaiting(120));
            QWidget* shown = window();
            QVERIFY(shown);
            QVERIFY(shown->findChild<QLabel*>()->text().contains("Another program"));
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
            if (cancel && round == 0)
                for (auto* button : shown->findChildren<QPushButton*>())
                    if (button->text() == "Cancel") button->click();
            QCOMPARE(wait.KeepWaiting(140), !(cancel && round == 0));
            wait.End();
            QVERIFY(!window());
            QVERIFY(!QApplication::overrideCursor());
        }
    }
};

QTEST_MAIN(TestPrompts)
#include "tst_prompts.moc"
