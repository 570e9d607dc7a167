// The About window and the system-information tool it starts, over a registry file and
// programs of the test's own.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "core/forms.h"
#include "core/frmAbout.h"
#include "core/globals.h"
#include "core/sysinfo.h"
#include "tests/support/testenv.h"

using registry::HKEY_LOCAL_MACHINE;
using testsupport::TestEnv;

namespace {

void WriteFile(const QString& path, const QByteArray& text, QFile::Permissions permissions = {}) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    if (permissions) QVERIFY(f.setPermissions(permissions));
}

// A program that leaves "<itself>.ran" behind when it is started.
void WriteProgram(const QString& path) {
    WriteFile(path, "#!/bin/sh\ntouch \"$0.ran\"\n",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                  QFile::ExeGroup);
}

}  // namespace

class TestAbout : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;

    QString Path(const QString& name) const { return QDir(env_->programFolder()).filePath(name); }
    void WriteRegistry(const QByteArray& body, bool readOnly = false) {
        const QString file = Path(QStringLiteral("machine.reg"));
        if (QFile::exists(file)) QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        WriteFile(file, "REGEDIT4\n\n" + body,
                  readOnly ? QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther
                           : QFile::Permissions{});
    }

  private slots:
    void init() {
        env_ = std::make_unique<TestEnv>();
        registry::SetRootFile(HKEY_LOCAL_MACHINE, Path(QStringLiteral("machine.reg")));
    }
    void cleanup() {
        Forms::unload<frmAbout>();
        registry::SetRootFile(HKEY_LOCAL_MACHINE, QString());
        env_.reset();
    }

    // Names compare without case; numbers give their unsigned decimal text.
    void keyValue_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("text");
        const QByteArray tool = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tool]\n";
        auto row = [](const char* name, const QByteArray& body, const char* value, bool found,
                      const QString& text) {
            QTest::newRow(name) << body << value << found << text;
        };
        row("text", tool + "\"PATH\"=\"/opt/tool/bin/tool\"\n", "path", true, "/opt/tool/bin/tool");
        row("escapes", tool + "\"Dir\"=\"C:\\\\Tools \\\"new\\\"\"\n", "Dir", true,
            "C:\\Tools \"new\"");
        // Top bit set, zero bytes and the byte order in one number.
        row("number", tool + "\"N\"=dword:8000ff00\n", "N", true, "2147548928");
        row("no such value", tool + "\"PATH\"=\"x\"\n", "Other", false, "");
        row("no such key", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tools]\n\"PATH\"=\"x\"\n", "PATH", false,
            "");
        row("another root's key", "[HKEY_CURRENT_USER\\SOFTWARE\\Tool]\n\"PATH\"=\"x\"\n", "PATH",
            false, "");
        row("text beyond the buffer", tool + "\"L\"=\"" + QByteArray(1024, 'a') + "\"\n", "L",
            false, "");
    }
    void keyValue() {
        QFETCH(QByteArray, body);
        QFETCH(QString, value);
        QFETCH(bool, found);
        QFETCH(QString, text);
        WriteRegistry(body);
        QString read = QStringLiteral("stale");
        QCOMPARE(GetKeyValue(HKEY_LOCAL_MACHINE, QStringLiteral("software\\TOOL\\"), value, &read),
                 found);
        QCOMPARE(read, text);
    }

    // Which program StartSysInfo starts, and the message when there is none or it will not start.
    void sysInfo_data() {
        // pathValue, folderValue: "" not set; "{tool}" a program of the test's own, "{empty}" a
        // folder without the program, "{folder}" one with it. program: "" none, or a placeholder.
        QTest::addColumn<QString>("pathValue");
        QTest::addColumn<QString>("folderValue");
        QTest::addColumn<bool>("desktopTool");  // a desktop tool on the search path
        QTest::addColumn<bool>("readOnly");     // the registry file marked read-only
        QTest::addColumn<QString>("program");
        QTest::newRow("neither place set") << ""
                                           << "" << false << false << "";
        QTest::newRow("folder lacking the program") << ""
                                                    << "{empty}" << false << false << "";
        QTest::newRow("folder holding the program") << ""
                                                    << "{folder}" << false << false << "{folder}";
        QTest::newRow("recorded program") << "{tool}"
                                          << "{folder}" << false << false << "{tool}";
        QTest::newRow("read-only registry") << "{tool}"
                                            << "" << false << true << "{tool}";
        QTest::newRow("desktop tool") << ""
                                      << "{empty}" << true << false << "{desktop}";
        QTest::newRow("recorded program missing") << "/nonexistent/systool"
                                                  << "" << true << false << "/nonexistent/systool";
    }
    void sysInfo() {
        QFETCH(QString, pathValue);
        QFETCH(QString, folderValue);
        QFETCH(bool, desktopTool);
        QFETCH(bool, readOnly);
        QFETCH(QString, program);
        QDir(env_->programFolder()).mkpath(QStringLiteral("folder"));
        QDir(env_->programFolder()).mkpath(QStringLiteral("empty"));
        QDir(env_->programFolder()).mkpath(QStringLiteral("desktop"));
        const QMap<QString, QString> places{
            {QStringLiteral("{tool}"), Path(QStringLiteral("systool"))},
            {QStringLiteral("{folder}"), Path(QStringLiteral("folder/") + kMsinfoProgram)},
            {QStringLiteral("{empty}"), Path(QStringLiteral("empty"))},
            {QStringLiteral("{desktop}"),
             Path(QStringLiteral("desktop/") + DesktopSysInfoPrograms().first())}};
        WriteProgram(places[QStringLiteral("{tool}")]);
        WriteProgram(places[QStringLiteral("{folder}")]);
        if (desktopTool) WriteProgram(places[QStringLiteral("{desktop}")]);
        QByteArray body;
        if (!pathValue.isEmpty())
            body += "[HKEY_LOCAL_MACHINE\\" + kMsinfoKey.toUtf8() + "]\n\"PATH\"=\"" +
                    places.value(pathValue, pathValue).toUtf8() + "\"\n";
        if (!folderValue.isEmpty()) {
            const QString folder =
                folderValue == u"{empty}" ? places[folderValue] : Path(QStringLiteral("folder"));
            body += "[HKEY_LOCAL_MACHINE\\" + kMsinfoLocationKey.toUtf8() + "]\n\"MSINFO\"=\"" +
                    folder.toUtf8() + "\"\n";
        }
        WriteRegistry(body, readOnly);

        const QStringList searchPath{Path(QStringLiteral("desktop"))};
        const QString expected = places.value(program, program);
        QCOMPARE(FindSysInfoProgram(searchPath), expected);

        const bool startable = QFile::exists(expected);
        if (!startable)
            env_->prompts().ExpectMsgBox(
                QStringLiteral("System Information Is Unavailable At This Time"));
        StartSysInfo(nullptr, searchPath);
        QVERIFY(env_->allPromptsAnswered());
        if (startable) QTRY_VERIFY(QFile::exists(expected + QStringLiteral(".ran")));
        for (const QString& other : places)
            if (other != expected)
                QVERIFY2(!QFile::exists(other + QStringLiteral(".ran")), qPrintable(other));
    }

    void window() {
        QCoreApplication::setApplicationVersion(QStringLiteral("2.03.0007"));
        frmAbout* w = Forms::get<frmAbout>();
        QCOMPARE(w->lblVersion->text(), QStringLiteral("Version 2.3.7"));
        w->show();
        // No desktop tool on the search path either.
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", env_->programFolder().toLocal8Bit());
        env_->prompts().ExpectMsgBox(
            QStringLiteral("System Information Is Unavailable At This Time"));
        QTest::mouseClick(w->cmdSysInfo, Qt::LeftButton);
        qputenv("PATH", path);
        QVERIFY(env_->allPromptsAnswered());
        QTest::mouseClick(w->cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!Forms::loaded<frmAbout>());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
