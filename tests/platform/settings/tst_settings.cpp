#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "platform/settings/settings.h"

using settings::DeleteSetting;
using settings::GetSetting;
using settings::SaveSetting;

namespace {
const QString kApp = QStringLiteral("Ambrelle");

// The user's own store file, as it would be without a test folder.
QString UserStoreFile() {
    const bool testMode = QStandardPaths::isTestModeEnabled();
    QStandardPaths::setTestModeEnabled(false);
    const QString folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath(QStringLiteral("Ambrelle"));
    QStandardPaths::setTestModeEnabled(testMode);
    return QDir(folder).filePath(kApp + QStringLiteral(".ini"));
}

// The store of kApp, names and values written as plain text.
QString Get(const char* section, const char* key, const char* defaultValue = "") {
    return GetSetting(kApp, QString::fromUtf8(section), QString::fromUtf8(key),
                      QString::fromUtf8(defaultValue));
}
bool Save(const char* section, const char* key, const char* value) {
    return SaveSetting(kApp, QString::fromUtf8(section), QString::fromUtf8(key),
                       QString::fromUtf8(value));
}
}  // namespace

class TestSettings : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString userFile_;
    bool userFileExisted_ = false;
    QDateTime userFileModified_;

    QString StoreFile() const { return QDir(dir_.path()).filePath(kApp + QStringLiteral(".ini")); }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        userFile_ = UserStoreFile();
        userFileExisted_ = QFileInfo::exists(userFile_);
        if (userFileExisted_) userFileModified_ = QFileInfo(userFile_).lastModified();
        QStandardPaths::setTestModeEnabled(true);
    }

    void init() {
        settings::SetStoreFolder(dir_.path());
        QFile::remove(StoreFile());
    }

    void cleanupTestCase() {
        settings::SetStoreFolder(QString());
        // Nothing this test did may have reached the user's own store.
        QCOMPARE(QFileInfo::exists(userFile_), userFileExisted_);
        if (userFileExisted_) QCOMPARE(QFileInfo(userFile_).lastModified(), userFileModified_);
    }

    void missingValuesGiveTheDefault() {
        // Empty store, missing section, missing key in a present section.
        QCOMPARE(Get("Settings", "MainLeft", "1800"), QStringLiteral("1800"));
        QVERIFY(Save("Settings", "MainTop", "1000"));
        QCOMPARE(Get("Settings", "MainLeft", "1800"), QStringLiteral("1800"));
        QCOMPARE(GetSetting(kApp, QStringLiteral("Connection"), QStringLiteral("ADOString")),
                 QString());
        // A stored empty value is a value, not a missing key.
        QVERIFY(Save("Settings", "Split", ""));
        QCOMPARE(Get("Settings", "Split", "x"), QString());
    }

    void roundTrip_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("number") << "MainWidth"
                                << "10000";
        QTest::newRow("key with blanks") << "Calendar Col 3 Width"
                                         << "1500";
        QTest::newRow("blanks inside and around") << "Note"
                                                  << "  two  words  ";
        QTest::newRow("equals and semicolons")
            << "ADOString"
            << "PROVIDER=MSDataShape;DBQ=/home/a b/ambrelle.mdb;PWD=Tk5Rw8Nq3Vz6;";
        QTest::newRow("quotes, hash and comma") << "Odd"
                                                << "say \"hi\"; #not a comment, 'quoted'";
        QTest::newRow("brackets and backslash") << "Path"
                                                << "[Section]\\C:\\Data\\x.mdb";
        QTest::newRow("unicode") << "Name"
                                 << "Zoë's Café – Łódź 東京";
        QTest::newRow("line breaks") << "Address"
                                     << "Unit 4\r\nMill Yard\nHarrogate";
    }

    void roundTrip() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QString section = QStringLiteral("settings");
        QVERIFY(SaveSetting(kApp, section, key, value));
        QCOMPARE(GetSetting(kApp, section, key, QStringLiteral("default")), value);
        // Overwriting keeps the newest value.
        QVERIFY(SaveSetting(kApp, section, key, value + u'2'));
        QCOMPARE(GetSetting(kApp, section, key), value + u'2');
    }

    void namesCompareWithoutCase() {
        QVERIFY(Save("settings", "TodayColour", "16711935"));
        QCOMPARE(Get("Settings", "todaycolour", "0"), QStringLiteral("16711935"));
        QCOMPARE(Get("SETTINGS", "TODAYCOLOUR", "0"), QStringLiteral("16711935"));

        // Writing under another spelling replaces the value instead of adding a second one.
        QVERIFY(Save("Settings", "todayCOLOUR", "255"));
        QCOMPARE(Get("settings", "TodayColour", "0"), QStringLiteral("255"));
        QVERIFY(Save("Settings", "Calendar Col 2 Width", "900"));
        QCOMPARE(Get("settings", "calendar col 2 width", "0"), QStringLiteral("900"));

        QFile file(StoreFile());
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(file.readAll()).toLower();
        QCOMPARE(text.count(QStringLiteral("[settings]")), 1);
        QCOMPARE(text.count(QStringLiteral("todaycolour=")), 1);
        QCOMPARE(text.count(QStringLiteral("width=")), 1);
    }

    void deleteKeyAndSection() {
        QVERIFY(Save("Connection", "ADOString", "DBQ=a.mdb"));
        QVERIFY(Save("Connection", "Other", "kept"));
        QVERIFY(Save("Settings", "MainLeft", "10"));
        QVERIFY(Save("Settings", "MainTop", "20"));

        // One key, named in another case: the rest of its section stays.
        QVERIFY(DeleteSetting(kApp, QStringLiteral("connection"), QStringLiteral("adostring")));
        QCOMPARE(Get("Connection", "ADOString", "gone"), QStringLiteral("gone"));
        QCOMPARE(Get("Connection", "Other"), QStringLiteral("kept"));

        // A whole section: every key of it goes, other sections stay.
        QVERIFY(DeleteSetting(kApp, QStringLiteral("SETTINGS")));
        QCOMPARE(Get("Settings", "MainLeft", "d"), QStringLiteral("d"));
        QCOMPARE(Get("Settings", "MainTop", "d"), QStringLiteral("d"));
        QCOMPARE(Get("Connection", "Other"), QStringLiteral("kept"));

        // Deleting what is not there does no harm.
        QVERIFY(DeleteSetting(kApp, QStringLiteral("Nowhere"), QStringLiteral("Nothing")));
        QCOMPARE(Get("Connection", "Other"), QStringLiteral("kept"));
    }

    void emptyNamesAreRefused() {
        QVERIFY(!Save("", "Key", "v"));
        QVERIFY(!Save("Settings", "", "v"));
        QCOMPARE(Get("Settings", "Key", "d"), QStringLiteral("d"));
    }

    void applicationsKeepSeparateValues() {
        QVERIFY(Save("Settings", "MainLeft", "1"));
        QVERIFY(SaveSetting(QStringLiteral("Other"), QStringLiteral("Settings"),
                            QStringLiteral("MainLeft"), QStringLiteral("2")));
        QCOMPARE(Get("Settings", "MainLeft"), QStringLiteral("1"));
        QCOMPARE(GetSetting(QStringLiteral("Other"), QStringLiteral("Settings"),
                            QStringLiteral("MainLeft")),
                 QStringLiteral("2"));
        QFile::remove(QDir(dir_.path()).filePath(QStringLiteral("Other.ini")));
    }

    void storeLivesInTheGivenFolder() {
        QTemporaryDir other;
        const QString nested = QDir(other.path()).filePath(QStringLiteral("not/yet/there"));
        settings::SetStoreFolder(nested);
        QCOMPARE(settings::StoreFolder(), nested);
        // The folder is made on the first write.
        QVERIFY(Save("Settings", "MainLeft", "42"));
        QVERIFY(QFileInfo::exists(QDir(nested).filePath(kApp + QStringLiteral(".ini"))));
        QVERIFY(!QFileInfo::exists(StoreFile()));

        // Reading never creates a store.
        settings::SetStoreFolder(dir_.path());
        QCOMPARE(Get("Settings", "MainLeft", "d"), QStringLiteral("d"));
        QVERIFY(!QFileInfo::exists(StoreFile()));

        // Without a folder set, the environment names one before the user's folder is used.
        settings::SetStoreFolder(QString());
        qputenv("AMBRELLE_SETTINGS_DIR", QFile::encodeName(nested));
        QCOMPARE(settings::StoreFolder(), nested);
        QCOMPARE(Get("settings", "mainleft"), QStringLiteral("42"));
        qunsetenv("AMBRELLE_SETTINGS_DIR");
        QVERIFY(settings::StoreFolder() != nested);
        settings::SetStoreFolder(dir_.path());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
