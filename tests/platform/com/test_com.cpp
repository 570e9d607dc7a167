// The component layer against real libraries: the registry file, self-registration through the
// library and through the register tool, creation by ProgID and its failures, the property bag
// text, late-bound access and the property-changed notification.
#include <QFile>
#include <QLibrary>
#include <QMetaProperty>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

#include "platform/com/com.h"

namespace {
const QString kProgId = QStringLiteral("Gyrodate.Orbicle");
}

class TestCom : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void bagText();
    void bagDefaultsAndMalformedText();
    void registryEntries();
    void registerCreateUnregister();
    void createdControlIsLateBound();
    void createFromSavedState();
    void creationFailures();
    void registrationFailures();
    void damagedLibrary_data();
    void damagedLibrary();
    void registerTool();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QWidget> host_;
};

void TestCom::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    com::SetRegistryFile(dir_->filePath("components.ini"));
    host_ = std::make_unique<QWidget>();
}

void TestCom::cleanup() {
    host_.reset();
    com::SetRegistryFile(QString());
    dir_.reset();
}

void TestCom::bagText() {
    com::PropertyBag bag;
    bag.WriteProperty("Text", QStringLiteral("say \"hi\"\nand = go\t\u00e9"));
    bag.WriteProperty("Empty", QString());
    bag.WriteProperty("Number", -42);
    bag.WriteProperty("Big", 4294967295u);
    bag.WriteProperty("Flag", false);
    bag.WriteProperty("Bytes", QByteArray("\x00\x01\xff", 3));
    const QString text = bag.ToText();
    QCOMPARE(text.count(u'\n'), 6);  // one line each, even for text holding line breaks
    QVERIFY(text.startsWith("Text = \"say \\\"hi\\\"\\nand = go\\t"));
    com::PropertyBag read;
    QVERIFY(read.FromText(text));
    QCOMPARE(read, bag);
    QCOMPARE(read.ReadProperty("text").toString(), QStringLiteral("say \"hi\"\nand = go\t\u00e9"));
    QCOMPARE(read.ReadProperty("Empty"), QVariant(QString()));
    QCOMPARE(read.ReadProperty("NUMBER").toLongLong(), -42);
    QCOMPARE(read.ReadProperty("Big").toLongLong(), 4294967295LL);
    QCOMPARE(read.ReadProperty("Flag"), QVariant(false));
    QCOMPARE(read.ReadProperty("Bytes").toByteArray(), QByteArray("\x00\x01\xff", 3));
    QCOMPARE(com::PropertyBag::FromVariant(read.ToVariant()), read);
    QCOMPARE(read.Names(), QStringList({"Text", "Empty", "Number", "Big", "Flag", "Bytes"}));
}

void TestCom::bagDefaultsAndMalformedText() {
    com::PropertyBag bag;
    bag.WriteProperty("Labels", true, true);
    bag.WriteProperty("OthersMonths", 3, 3);
    bag.WriteProperty("Color_A", 16777215u, qlonglong(16777215));
    QVERIFY(bag.IsEmpty());  // values equal to their defaults are left out
    QCOMPARE(bag.ReadProperty("Labels", true), QVariant(true));
    bag.WriteProperty("OthersMonths", 2, 3);
    bag.WriteProperty("othersmonths", 3,
                      3);  // back to the default: removed again, whatever the case
    QVERIFY(bag.IsEmpty());
    bag.WriteProperty("OutputValue", 0);  // no default: always written
    QCOMPARE(bag.Count(), 1);

    QString error;
    const com::PropertyBag before = bag;
    for (const char* bad : {"Name\n", "= 3\n", "A = 3\nB = maybe\n", "A = \"open\n",
                            "A = b64\"**\"\n", "A = 1.5\n"}) {
        QVERIFY2(!bag.FromText(QString::fromLatin1(bad), &error), bad);
        QVERIFY(error.contains("line"));
        QCOMPARE(bag, before);
    }
    QVERIFY(bag.FromText("\n  A = 1  \n\nB=\"x\"\n"));
    QCOMPARE(bag.ReadProperty("A").toInt(), 1);
    QCOMPARE(bag.ReadProperty("B").toString(), QStringLiteral("x"));
}

void TestCom::registryEntries() {
    QVERIFY(com::RegistryFile().startsWith(dir_->path()));
    QVERIFY(com::RegisteredProgIds().isEmpty());
    QVERIFY(!com::FindComponent(kProgId));
    com::ComponentEntry e;
    e.progId = "Test.Widget";
    e.library = "/nowhere/libtest.so";
    QVERIFY(com::RegisterComponent(e));
    e.progId = "TEST.WIDGET";  // the same ProgID: replaces the entry
    e.library = "/elsewhere/libtest.so";
    QVERIFY(com::RegisterComponent(e));
    QCOMPARE(com::RegisteredProgIds(), QStringList({"TEST.WIDGET"}));
    QCOMPARE(com::FindComponent("test.widget")->library, QStringLiteral("/elsewhere/libtest.so"));
    e.progId = "";
    QVERIFY(!com::RegisterComponent(e));
    QVERIFY(com::UnregisterComponent("Test.Widget"));
    QVERIFY(!com::FindComponent("Test.Widget"));
    QVERIFY(com::UnregisterComponent("Never.Registered"));
}

void TestCom::registerCreateUnregister() {
    QVERIFY2(com::RegisterLibrary(ORBICLE_LIBRARY), qPrintable(com::LastError()));
    const auto entry = com::FindComponent("gyrodate.orbicle");
    QVERIFY(entry);
    QCOMPARE(entry->library, QFileInfo(ORBICLE_LIBRARY).absoluteFilePath());
    QCOMPARE(entry->version, QStringLiteral("3.04"));

    QWidget* c = com::CreateObject(kProgId, host_.get());
    QVERIFY2(c, qPrintable(com::LastError()));
    QCOMPARE(c->parentWidget(), host_.get());
    QCOMPARE(c->metaObject()->className(), "Orbicle");
    // A new instance took its defaults: the current month is shown.
    const QDate today = QDate::currentDate();
    QCOMPARE(com::GetProperty(c, "MonthIN").toInt(), today.month());
    QCOMPARE(com::GetProperty(c, "OutputWeek").toInt(), 255);
    QVERIFY(com::GetProperty(c, "OutputInfo").toInt() > 10000);

    // The library can't be unloaded while one of its controls lives.
    QLibrary lib(ORBICLE_LIBRARY);
    auto canUnload = reinterpret_cast<com::HRESULT (*)()>(lib.resolve("DllCanUnloadNow"));
    QVERIFY(canUnload);
    QCOMPARE(canUnload(), com::S_FALSE);
    delete c;
    QCOMPARE(canUnload(), com::S_OK);

    QVERIFY(com::UnregisterLibrary(ORBICLE_LIBRARY));
    QVERIFY(!com::FindComponent(kProgId));
    QVERIFY(!com::CreateObject(kProgId, host_.get()));
    QCOMPARE(com::LastError(),
             QStringLiteral("The component \"Gyrodate.Orbicle\" is not registered."));
}

void TestCom::createdControlIsLateBound() {
    QVERIFY(com::RegisterLibrary(ORBICLE_LIBRARY));
    QWidget* c = com::CreateObject(kProgId, host_.get());
    QVERIFY(c);
    QStringList changed;
    QVERIFY(com::OnPropertyChanged(c, this, [&](const QString& name) { changed << name; }));
    QSignalSpy change(c, SIGNAL(Change()));

    QVERIFY(com::SetProperty(c, "monthin", 5));  // names compare without case
    QVERIFY(com::SetProperty(c, "YearIN", 2026));
    QVERIFY(com::SetProperty(c, "StartDay", 2));
    QCOMPARE(change.count(), 3);
    QCOMPARE(com::GetProperty(c, "OutputInfo").toInt(), 14632);
    QCOMPARE(changed.first(), QStringLiteral("MonthIN"));
    QVERIFY(changed.contains("YearIN"));

    // A misspelt name fails instead of growing a dynamic property.
    QVERIFY(!com::SetProperty(c, "MonthInn", 6));
    QVERIFY(com::LastError().contains("MonthInn"));
    QVERIFY(c->dynamicPropertyNames().isEmpty());
    QVERIFY(!com::GetProperty(c, "Nothing").isValid());
    QVERIFY(!com::CallMethod(c, "Nothing"));
    // Too big for the property's type: refused rather than wrapped to another month.
    QVERIFY(!com::SetProperty(c, "MonthIN", qlonglong(4294967298LL)));
    QVERIFY(com::LastError().contains("Overflow"));
    QVERIFY(!com::SetProperty(c, "MonthIN", "May"));
    QCOMPARE(com::GetProperty(c, "MonthIN").toInt(), 5);
    QVERIFY(com::SetProperty(c, "Color_A", -1));  // a signed 32-bit colour is the same bits
    QCOMPARE(com::GetProperty(c, "Color_A").toUInt(), 0xFFFFFFFFu);

    QVERIFY(com::CallMethod(c, "Action"));
    QCOMPARE(change.count(), 5);  // three assignments, the colour and Action
    QVERIFY(com::HasAboutBox(c));
    QVERIFY(!com::HasAboutBox(host_.get()));
    QVERIFY(!com::OnPropertyChanged(host_.get(), this, [](const QString&) {}));
}

void TestCom::createFromSavedState() {
    QVERIFY(com::RegisterLibrary(ORBICLE_LIBRARY));
    com::PropertyBag bag;
    QVERIFY(bag.FromText(
        "ColorMask = \"CCCCCCC\"\nMonthIN = 2\nYearIN = 2026\nStartDay = 1\nSmall = True\n"));
    QWidget* c = com::CreateObject(kProgId, host_.get(), bag);
    QVERIFY(c);
    QCOMPARE(com::GetProperty(c, "OutputInfo").toInt(), 10103);
    QCOMPARE(com::GetProperty(c, "ColorMask").toString(), QStringLiteral("CCCCCCC"));
    QCOMPARE(c->height(), 75);

    com::PropertyBag saved;
    QVERIFY(com::Save(c, &saved));
    QCOMPARE(saved.ReadProperty("MonthIN").toInt(), 2);
    QCOMPARE(saved.ReadProperty("Small"), QVariant(true));
    QCOMPARE(saved.ReadProperty("OutputWeek").toInt(), 255);
    QVERIFY(!saved.Contains("Labels"));
    QVERIFY(saved.ToText().contains("ColorMask = \"CCCCCCC\"\n"));
}

void TestCom::creationFailures() {
    // Unknown ProgID
    QVERIFY(!com::CreateObject("No.Such", host_.get()));
    QCOMPARE(com::LastError(), QStringLiteral("The component \"No.Such\" is not registered."));

    // Registered, but the library is gone
    com::ComponentEntry e;
    e.progId = "Gone.Control";
    e.library = dir_->filePath("libgone.so");
    QVERIFY(com::RegisterComponent(e));
    QVERIFY(!com::CreateObject("Gone.Control", host_.get()));
    QVERIFY(com::LastError().contains("cannot be found"));

    // Not a library at all
    QFile junk(dir_->filePath("libjunk.so"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not an ELF file");
    junk.close();
    e.progId = "Junk.Control";
    e.library = junk.fileName();
    QVERIFY(com::RegisterComponent(e));
    QVERIFY(!com::CreateObject("Junk.Control", host_.get()));
    QVERIFY(com::LastError().contains("cannot be loaded"));

    // A library without the factory
    e.progId = "Refusing.Control";
    e.library = REFUSING_LIBRARY;
    QVERIFY(com::RegisterComponent(e));
    QVERIFY(!com::CreateObject("Refusing.Control", host_.get()));
    QVERIFY(com::LastError().contains("does not create controls"));

    // A library that makes other controls than the one asked for
    e.progId = "Gyrodate.Other";
    e.library = ORBICLE_LIBRARY;
    QVERIFY(com::RegisterComponent(e));
    QVERIFY(!com::CreateObject("Gyrodate.Other", host_.get()));
    QVERIFY(com::LastError().contains("does not make the component"));
    QVERIFY(host_->findChildren<QWidget*>().isEmpty());
}

void TestCom::damagedLibrary_data() {
    QTest::addColumn<int>("length");  // of the copy, cut short as by an interrupted copy
    QTest::addColumn<QString>("defect");
    QTest::newRow("inside the file header") << 20 << "before its program headers";
    QTest::newRow("inside the first segment") << 20000 << "inside a loadable segment";
}

void TestCom::damagedLibrary() {
    QFETCH(int, length);
    QFETCH(QString, defect);
    QFile whole(ORBICLE_LIBRARY);
    QVERIFY(whole.open(QIODevice::ReadOnly));
    QFile cut(dir_->filePath("libOrbicle.so"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(length));
    cut.close();
    com::ComponentEntry e;
    e.progId = kProgId;
    e.library = cut.fileName();
    QVERIFY(com::RegisterComponent(e));

    // Loading it would end the process; the host is told and goes on.
    QVERIFY(!com::CreateObject(kProgId, host_.get()));
    QVERIFY2(com::LastError().startsWith("The component \"Gyrodate.Orbicle\" is damaged: "),
             qPrintable(com::LastError()));
    QVERIFY2(com::LastError().contains(defect), qPrintable(com::LastError()));
    QVERIFY(!com::RegisterLibrary(cut.fileName()));
    QVERIFY2(com::LastError().contains("is damaged: it ends at byte " + QString::number(length)),
             qPrintable(com::LastError()));
}

void TestCom::registrationFailures() {
    QVERIFY(!com::RegisterLibrary(dir_->filePath("missing.so")));
    QVERIFY(com::LastError().contains("cannot be found"));
    QVERIFY(!com::RegisterLibrary(REFUSING_LIBRARY));
    QVERIFY(com::LastError().contains("0x80040201"));
    QVERIFY(!com::UnregisterLibrary(REFUSING_LIBRARY));
    QVERIFY(com::LastError().contains("DllUnregisterServer"));
    QVERIFY(com::RegisteredProgIds().isEmpty());
}

void TestCom::registerTool() {
    const auto run = [this](const QStringList& args, QString* output = nullptr) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("AMBRELLE_COMPONENT_REGISTRY", dir_->filePath("tool.ini"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(REGSVR_TOOL, args);
        if (!p.waitForFinished(60000)) return -1;
        if (output)
            *output = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    };
    com::SetRegistryFile(dir_->filePath("tool.ini"));
    QString output;
    QCOMPARE(run({ORBICLE_LIBRARY}, &output), 0);
    QVERIFY(output.contains("succeeded"));
    QCOMPARE(com::FindComponent(kProgId)->library, QFileInfo(ORBICLE_LIBRARY).absoluteFilePath());
    QCOMPARE(run({"/u", "-s", ORBICLE_LIBRARY}, &output), 0);
    QVERIFY(output.isEmpty());
    QVERIFY(!com::FindComponent(kProgId));
    QCOMPARE(run({REFUSING_LIBRARY}, &output), 1);
    QVERIFY(output.contains("DllRegisterServer"));
    QCOMPARE(run({}), 2);
    QCOMPARE(run({"-x", ORBICLE_LIBRARY}), 2);
}

QTEST_MAIN(TestCom)
#include "test_com.moc"
