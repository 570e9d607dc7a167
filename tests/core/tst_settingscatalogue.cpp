// The settings catalogue: text forms, defaults of a first run, section spelling, and the
// System row rules on a real database.
#include <QTest>
#include <memory>

#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "platform/db/recordset.h"
#include "platform/settings/settings.h"
#include "tests/support/testenv.h"

using namespace catalogue;
using testsupport::QueryValue;
using testsupport::TestEnv;

namespace {
QString Raw(const QString& section, const QString& key) {
    return settings::GetSetting(AppTitle, section, key);
}
int SystemRows(db::Connection& c, const QString& key) {
    return QueryValue(c, QStringLiteral("SELECT COUNT(*) FROM System WHERE FieldName = ?"), {key})
        .toInt();
}
}  // namespace

class TestSettingsCatalogue : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

  private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup() { env.reset(); }

    void colourText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<uint>("colour");
        QTest::newRow("red") << "255" << true << 255u;
        QTest::newRow("blue") << "16711680" << true << 16711680u;
        QTest::newRow("blanks around") << " 65280 " << true << 65280u;
        QTest::newRow("signed 32-bit") << "-1" << true << 0xFFFFFFFFu;
        QTest::newRow("beyond 32 bits") << "4294967296" << false << 0u;
        QTest::newRow("a name") << "blue" << false << 0u;
        QTest::newRow("hex form") << "&HFF0000" << false << 0u;
        QTest::newRow("empty") << "" << false << 0u;
    }
    void colourText() {
        QFETCH(QString, text);
        QFETCH(bool, converts);
        QFETCH(uint, colour);
        const auto c = ColourFromText(text);
        QCOMPARE(c.has_value(), converts);
        if (converts) {
            QCOMPARE(*c, colour);
            if (colour <= 0xFFFFFF) QCOMPARE(ColourFromText(ColourText(*c)), c);
        }
    }

    void booleanText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");  // -1 = does not convert
        QTest::newRow("True") << "True" << 1;
        QTest::newRow("false, any case") << "false" << 0;
        QTest::newRow("number not 0") << "-1" << 1;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("yes") << "yes" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void booleanText() {
        QFETCH(QString, text);
        QFETCH(int, value);
        const auto b = BooleanFromText(text);
        QCOMPARE(b.has_value(), value >= 0);
        if (b) QCOMPARE(*b, value == 1);
    }

    // The rule start-up reads a stored VATRate row by.
    void vatRateText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("multiplier");  // 0 = no rate
        QTest::newRow("17.5") << "17.5" << 1.175;
        QTest::newRow("17.5%") << "17.5%" << 1.175;
        QTest::newRow("blank before the sign") << "20 %" << 1.2;
        QTest::newRow("text after the sign") << "17.5%x" << 1.175;
        QTest::newRow("zero rate") << "0" << 1.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("sign alone") << "%" << 0.0;
        QTest::newRow("words") << "standard" << 0.0;
        QTest::newRow("infinite") << "inf" << 0.0;
        QTest::newRow("not a number") << "nan" << 0.0;
    }
    void vatRateText() {
        QFETCH(QString, text);
        QFETCH(double, multiplier);
        const auto rate = VatRateFromText(text);
        QCOMPARE(rate.has_value(), multiplier != 0);
        if (rate) QCOMPARE(VatMultiplierFor(*rate), multiplier);
    }

    void absentAndUnreadableValues() {
        // The splitter has no default: its reader keeps the bar where it is.
        QVERIFY(!ReadWholeNumber(Split).has_value());
        QCOMPARE(ReadWholeNumber(PendColWidth(4)), std::optional<qint64>(1500));
        // Reading writes nothing.
        QVERIFY(Raw(QStringLiteral("Settings"), QStringLiteral("Split")).isNull());
        // A check box is ticked only by "1".
        QVERIFY(WriteText(AdvancedPrint, QStringLiteral("2")));
        QCOMPARE(ReadCheck(AdvancedPrint), std::optional<bool>(false));
    }

    void writtenTextForms() {
        QVERIFY(WriteColour(BusyColour, 0x123456));
        QCOMPARE(Raw(QStringLiteral("Settings"), QStringLiteral("BusyColour")),
                 QStringLiteral("1193046"));
        QVERIFY(WriteBoolean(InvSht, false));
        QCOMPARE(Raw(QStringLiteral("InvoicePrinting"), QStringLiteral("InvSht")),
                 QStringLiteral("False"));
        QVERIFY(WriteCheck(AdvancedPrint, true));
        QCOMPARE(Raw(QStringLiteral("settings"), QStringLiteral("AdvancedPrint")),
                 QStringLiteral("1"));
        QVERIFY(WriteWholeNumber(PendColWidth(3), 2250));
        QCOMPARE(Raw(QStringLiteral("settings"), QStringLiteral("Pend Col 3 Width")),
                 QStringLiteral("2250"));
        QVERIFY(DeleteValue(PendColWidth(3)));
        QCOMPARE(ReadWholeNumber(PendColWidth(3)), std::optional<qint64>(1500));
    }

    // "Settings" and "settings" are one section.
    void sectionSpellings() {
        QVERIFY(settings::SaveSetting(AppTitle, QStringLiteral("Settings"),
                                      QStringLiteral("TodayColour"), QStringLiteral("65280")));
        QCOMPARE(ReadColour(TodayColour), std::optional<std::uint32_t>(65280));
        QVERIFY(settings::SaveSetting(AppTitle, QStringLiteral("settings"),
                                      QStringLiteral("freecolour"), QStringLiteral("255")));
        QCOMPARE(ReadColour(FreeColour), std::optional<std::uint32_t>(255));
    }

    void systemRowReadWriteRemove() {
        db::Connection& c = env->connection();
        db::Recordset rs;
        QVERIFY(OpenSystemRows(rs, c));
        QVERIFY(!ReadSystemRow(rs, sys::MyPostcode).has_value());

        QVERIFY(WriteSystemRow(rs, sys::MyPostcode, QStringLiteral("AB1 2CD")));
        QCOMPARE(
            QueryValue(c, QStringLiteral("SELECT Value FROM System WHERE FieldName = 'MyPostcode'"))
                .toString(),
            QStringLiteral("AB1 2CD"));
        // A second write changes the row; it adds none.
        QVERIFY(WriteSystemRow(rs, sys::MyPostcode, QStringLiteral("ZZ9 9ZZ")));
        QCOMPARE(SystemRows(c, sys::MyPostcode), 1);
        QCOMPARE(ReadSystemRow(rs, sys::MyPostcode),
                 std::optional<QString>(QStringLiteral("ZZ9 9ZZ")));

        // Keys match without case, both ways.
        QVERIFY(WriteSystemRow(rs, sys::Milage, QStringLiteral("45")));
        QCOMPARE(ReadSystemRow(rs, QStringLiteral("milage")),
                 std::optional<QString>(QStringLiteral("45")));
        QVERIFY(WriteSystemRow(rs, QStringLiteral("MILAGE"), QStringLiteral("50")));
        QCOMPARE(SystemRows(c, QStringLiteral("milage")), 1);
        QCOMPARE(SystemValue(c, QStringLiteral("milage")),
                 std::optional<QString>(QStringLiteral("50")));

        // A key with a quote in it stays one key.
        QVERIFY(WriteSystemRow(rs, QStringLiteral("O'Brien"), QStringLiteral("x")));
        QCOMPARE(SystemValue(c, QStringLiteral("O'Brien")),
                 std::optional<QString>(QStringLiteral("x")));

        // Every row of the key goes; removing a key without rows is no failure.
        testsupport::InsertRow(c, QStringLiteral("System"),
                               {{QStringLiteral("FieldName"), QStringLiteral("VATRate")},
                                {QStringLiteral("Value"), QStringLiteral("20")}});
        testsupport::InsertRow(c, QStringLiteral("System"),
                               {{QStringLiteral("FieldName"), QStringLiteral("vatrate")},
                                {QStringLiteral("Value"), QStringLiteral("17.5")}});
        QVERIFY(rs.Requery());
        QVERIFY(RemoveSystemRow(rs, sys::VATRate));
        QCOMPARE(SystemRows(c, sys::VATRate), 0);
        QVERIFY(RemoveSystemRow(rs, sys::VATRate));
        QVERIFY(!SystemValue(c, sys::VATRate).has_value());
    }

    void systemRowNullAndImage() {
        db::Connection& c = env->connection();
        const QByteArray picture("\x89PNG\r\n\x1a\n\0\x01\x02", 11);
        testsupport::InsertRow(c, QStringLiteral("System"),
                               {{QStringLiteral("FieldName"), QStringLiteral("MyCompanyLogo")},
                                {QStringLiteral("Image"), picture}});
        testsupport::InsertRow(c, QStringLiteral("System"),
                               {{QStringLiteral("FieldName"), QStringLiteral("Payment_Terms")}});
        db::Recordset rs;
        QVERIFY(OpenSystemRows(rs, c));
        QCOMPARE(ReadSystemImage(rs, sys::MyCompanyLogo), picture);
        QVERIFY(ReadSystemImage(rs, sys::PaymentTerms).isEmpty());
        QCOMPARE(ReadSystemRow(rs, sys::PaymentTerms), std::optional<QString>(QString()));
    }

    // A write the database refuses reports its reason and leaves the record set usable.
    void systemRowWriteFails() {
        db::Connection& c = env->connection();
        QVERIFY(c.Execute(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE INSERT ON System WHEN NEW.FieldName = 'myemail' "
            "BEGIN SELECT RAISE(ABORT, 'disk is full'); END")));
        db::Recordset rs;
        QVERIFY(OpenSystemRows(rs, c));
        QVERIFY(!WriteSystemRow(rs, sys::MyEmail, QStringLiteral("me@example.com")));
        QVERIFY2(db::LastError().contains(QStringLiteral("disk is full")),
                 qPrintable(db::LastError()));
        QCOMPARE(rs.EditMode(), int(db::Recordset::adEditNone));
        QVERIFY(WriteSystemRow(rs, sys::MyAddress, QStringLiteral("1 High St")));
        QCOMPARE(SystemRows(c, sys::MyEmail), 0);
        QCOMPARE(SystemRows(c, sys::MyAddress), 1);

        db::Recordset closed;
        QVERIFY(!WriteSystemRow(closed, sys::MyAddress, QStringLiteral("x")));
        QVERIFY(!RemoveSystemRow(closed, sys::VATRate));
    }
};

QTEST_GUILESS_MAIN(TestSettingsCatalogue)
#include "tst_settingscatalogue.moc"
