// CSV and XML export text of a record set, read back with a CSV reader and an XML parser.
#include <QTest>
#include <QXmlStreamReader>

#include "core/exporttext.h"
#include "platform/db/recordset.h"
#include "tests/support/testenv.h"

using testsupport::TestEnv;

namespace {

// RFC 4180: quoted fields may hold commas, quotes (doubled) and line breaks.
QList<QStringList> ReadCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            field.clear();
            rows << row;
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

// Rows of element texts; a missing or empty element reads as empty.
QList<QStringList> ReadXml(const QString& text, const QString& rowName, QStringList* elements) {
    QList<QStringList> rows;
    QXmlStreamReader xml(text);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == rowName) {
            rows << QStringList();
            elements->clear();
        } else if (xml.isStartElement() && !rows.isEmpty()) {
            *elements << xml.name().toString();
            rows.last() << xml.readElementText();
        }
    }
    if (xml.hasError()) rows << QStringList{QStringLiteral("parse error: ") + xml.errorString()};
    return rows;
}

}  // namespace

class TestExportText : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;

    bool Open(db::Recordset& rs) {
        return rs.Open(
            QStringLiteral("SELECT CompanyName AS [Company Name], Postal_AddressTown AS Town FROM "
                           "Companies ORDER BY CompanyID"),
            env_->connection(), db::adOpenStatic, db::adLockReadOnly);
    }

  private slots:
    void init() { env_ = std::make_unique<TestEnv>(); }

    void readsBack_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("town");    // invalid = Null
        QTest::addColumn<QString>("xmlName");  // as XML can hold it
        QTest::newRow("comma and ampersand")
            << "Smith, Jones & Co" << QVariant("Leeds") << "Smith, Jones & Co";
        QTest::newRow("quotes and brackets")
            << "Smith & Sons <UK> \"Ltd\"" << QVariant("York") << "Smith & Sons <UK> \"Ltd\"";
        QTest::newRow("line break")
            << "Line one\r\nLine two" << QVariant("Hull") << "Line one\nLine two";
        QTest::newRow("pound and accents")
            << "Caf\u00e9 Bront\u00eb \u00a3 \u20ac" << QVariant("M\u00e1laga")
            << "Caf\u00e9 Bront\u00eb \u00a3 \u20ac";
        QTest::newRow("Null") << "O'Brien" << QVariant() << "O'Brien";
        QTest::newRow("control character") << "Bell\x07 Ltd" << QVariant("Bath") << "Bell Ltd";
    }
    void readsBack() {
        QFETCH(QString, name);
        QFETCH(QVariant, town);
        QFETCH(QString, xmlName);
        testsupport::AddCompany(env_->connection(), "First, Ltd", {{"Postal_AddressTown", "Ely"}});
        testsupport::AddCompany(env_->connection(), name, {{"Postal_AddressTown", town}});
        db::Recordset rs;
        QVERIFY(Open(rs));
        QString csv, xml;
        QVERIFY(RecordsetToCsv(rs, &csv));
        QVERIFY(rs.Eof());
        QVERIFY(RecordsetToXml(rs, "Companies", &xml));
        const QString townText = town.isValid() ? town.toString() : QStringLiteral("(NULL)");
        QCOMPARE(ReadCsv(csv),
                 (QList<QStringList>{
                     {"Company Name", "Town"}, {"First, Ltd", "Ely"}, {name, townText}}));
        QVERIFY(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"));
        QVERIFY(xml.endsWith("</dataroot>"));
        QStringList elements;
        QCOMPARE(ReadXml(xml, "Companies", &elements),
                 (QList<QStringList>{{"First, Ltd", "Ely"}, {xmlName, town.toString()}}));
        QCOMPARE(elements, (QStringList{"Company_Name", "Town"}));
    }

    void xmlEscape_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("the four") << "a & b <c> \"d\" 'e'"
                                  << "a &amp; b &lt;c&gt; &quot;d&quot; 'e'";
        const QString illegal = QStringLiteral(
                                    "a\x01\x1f"
                                    "b\t\n") +
                                QChar(0xFFFE);
        QTest::newRow("illegal characters dropped") << illegal << "ab\t\n";
        QTest::newRow("beyond the BMP kept")
            << QString::fromUcs4(U"\U0001F600 ok") << QString::fromUcs4(U"\U0001F600 ok");
    }
    void xmlEscape() {
        QFETCH(QString, text);
        QTEST(XmlEscape(text), "escaped");
    }
};

QTEST_MAIN(TestExportText)
#include "tst_exporttext.moc"
