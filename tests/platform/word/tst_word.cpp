// Documents read, merged and written by the word-processor layer.
#include <zip.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "platform/word/document.h"

namespace {

const char* const kHead =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)";
const char* const kTail = "</w:body></w:document>";

// A field in the complex form with its instruction split over runs, as word processors save it.
QString Complex(const QStringList& instructionPieces, const QString& result) {
    QString xml = QString::fromUtf8(R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r>)");
    for (const QString& piece : instructionPieces)
        xml += QString::fromUtf8(R"(<w:r><w:instrText xml:space="preserve">%1</w:instrText></w:r>)")
                   .arg(piece);
    return xml + QString::fromUtf8(R"(<w:r><w:fldChar w:fldCharType="separate"/></w:r>)"
                                   R"(<w:r><w:rPr><w:b/></w:rPr><w:t>%1</w:t></w:r>)"
                                   R"(<w:r><w:fldChar w:fldCharType="end"/></w:r>)")
                     .arg(result);
}
QString Simple(const QString& instruction, const QString& result) {
    return QString::fromUtf8(R"(<w:fldSimple w:instr="%1"><w:r><w:t>%2</w:t></w:r></w:fldSimple>)")
        .arg(instruction, result);
}
QString Para(const QString& inner) { return QStringLiteral("<w:p>%1</w:p>").arg(inner); }
QString Text(const QString& t) {
    return QString::fromUtf8(R"(<w:r><w:t xml:space="preserve">%1</w:t></w:r>)").arg(t);
}

// A package with the given parts; the main part is named by the package's relationships.
bool WriteZip(const QString& path, const QList<QPair<QString, QByteArray>>& parts) {
    int error = 0;
    zip_t* za = zip_open(path.toLocal8Bit().constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za) return false;
    for (const auto& [name, data] : parts) {
        zip_source_t* src = zip_source_buffer(za, data.constData(), data.size(), 0);
        if (zip_file_add(za, name.toUtf8().constData(), src, ZIP_FL_OVERWRITE) < 0) return false;
    }
    return zip_close(za) == 0;
}

bool WriteDocx(const QString& path, const QString& body,
               const QString& mainPart = QStringLiteral("word/document.xml")) {
    const QByteArray rels =
        QString::fromUtf8(
            R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="/%1"/></Relationships>)")
            .arg(mainPart)
            .toUtf8();
    const QByteArray types =
        QString::fromUtf8(
            R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
            R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>)"
            R"(<Override PartName="/%1" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)")
            .arg(mainPart)
            .toUtf8();
    return WriteZip(path, {{QStringLiteral("[Content_Types].xml"), types},
                           {QStringLiteral("_rels/.rels"), rels},
                           {mainPart, (kHead + body + kTail).toUtf8()}});
}

}  // namespace

class TestWord : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }

  private slots:
    void mergeFieldsAreFoundInBothForms_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("simple") << Para(Simple(" MERGEFIELD InvoiceNumber \\* MERGEFORMAT ",
                                               "«InvoiceNumber»"))
                                << QStringList{"InvoiceNumber"};
        QTest::newRow("complex, split inside the keyword and the name")
            << Para(Text("No. ") +
                    Complex({" MERGE", "FIELD  Invoice", "Number ", "\\* MERGEFORMAT "},
                            "«InvoiceNumber»"))
            << QStringList{"InvoiceNumber"};
        QTest::newRow("quoted name, lower-case keyword")
            << Para(Complex({" mergefield \"PO_Number\" "}, "x")) << QStringList{"PO_Number"};
        QTest::newRow("each once, in order of first use, across paragraphs")
            << Para(Simple(" MERGEFIELD Customer ", "c") + Complex({" MERGEFIELD Street "}, "s")) +
                   Para(Simple(" MERGEFIELD customer ", "c") + Complex({" MERGEFIELD Town "}, "t"))
            << QStringList{"Customer", "Street", "Town"};
        QTest::newRow("other fields are no merge fields")
            << Para(Complex({" PAGE "}, "1") + Simple(" DATE \\@ &quot;d MMMM&quot; ", "today") +
                    Complex({" IF ", "x", " = 1 "}, "y"))
            << QStringList{};
        QTest::newRow("inside a table cell")
            << QStringLiteral("<w:tbl><w:tr><w:tc>%1</w:tc></w:tr></w:tbl>")
                       .arg(Para(Complex({" MERGEFIELD ", "Fee"}, "f"))) +
                   Para({})
            << QStringList{"Fee"};
    }
    void mergeFieldsAreFoundInBothForms() {
        QFETCH(QString, body);
        QFETCH(QStringList, fields);
        QVERIFY(WriteDocx(Path("fields.docx"), body));
        word::Document d;
        QVERIFY2(d.Open(Path("fields.docx")), qPrintable(d.LastError()));
        QCOMPARE(d.MergeFields(), fields);
    }

    void mergeReplacesFieldsWithTheRecord_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("paragraphs");
        QTest::newRow("simple and split complex in one paragraph")
            << Para(Text("Invoice ") + Simple(" MERGEFIELD InvoiceNumber ", "«InvoiceNumber»") +
                    Text(" for ") + Complex({" MERGE", "FIELD Cus", "tomer "}, "«Customer»"))
            << QStringList{"Invoice 42 for O'Brien & Sons <Ltd>"};
        QTest::newRow("line breaks kept, case of names ignored")
            << Para(Complex({" MERGEFIELD start "}, "«start»"))
            << QStringList{"06/05/2027 09:00\n07/05/2027\n08/05/2027 14:30"};
        QTest::newRow("a field the record lacks gives nothing")
            << Para(Text("[") + Simple(" MERGEFIELD Nothing ", "«Nothing»") + Text("]")) +
                   Para(Text("[") + Complex({" MERGEFIELD Nothing "}, "«Nothing»") + Text("]"))
            << QStringList{"[]", "[]"};
        QTest::newRow("other fields stay")
            << Para(Text("Page ") + Complex({" PAGE "}, "1")) << QStringList{"Page 1"};
    }
    void mergeReplacesFieldsWithTheRecord() {
        QFETCH(QString, body);
        QFETCH(QStringList, paragraphs);
        QVERIFY(WriteDocx(Path("template.docx"), body));
        word::Document t;
        QVERIFY(t.Open(Path("template.docx")));
        const QStringList before = t.MergeFields();
        const QMap<QString, QString> record{
            {"InvoiceNumber", "42"},
            {"Customer", "O'Brien & Sons <Ltd>"},
            {"Start", "06/05/2027 09:00\n07/05/2027\r\n08/05/2027 14:30"}};
        word::Document merged = t.Merge(record);
        QVERIFY2(merged.SaveAs(Path("merged.docx")), qPrintable(merged.LastError()));
        // What was saved is read again, not what is in memory.
        word::Document back;
        QVERIFY2(back.Open(Path("merged.docx")), qPrintable(back.LastError()));
        QCOMPARE(back.Paragraphs(), paragraphs);
        QCOMPARE(back.MergeFields(), QStringList{});
        // The template itself is unchanged.
        QCOMPARE(t.MergeFields(), before);
    }

    void aNewDocumentIsWrittenAndReadBack() {
        word::Document d;
        d.TypeText("Owner Ltd");
        d.TypeParagraph();
        d.TypeText("1 High St\r\nLittle Town");
        d.TypeParagraph(2);
        d.InsertMergeField("Total");
        d.TypeText(" due");
        d.AddTable({{"A", "B"}, {"1\n2", ""}});
        QVERIFY2(d.SaveAs(Path("new.docx")), qPrintable(d.LastError()));
        QCOMPARE(d.FullName(), Path("new.docx"));

        word::Document back;
        QVERIFY(back.Open(Path("new.docx")));
        QCOMPARE(back.Paragraphs(),
                 (QStringList{"Owner Ltd", "1 High St", "Little Town", "", "«Total» due", ""}));
        QCOMPARE(back.MergeFields(), QStringList{"Total"});
        QCOMPARE(back.TableCount(), 1);
        QCOMPARE(back.CellText(1, 1, 2), QString("B"));
        QCOMPARE(back.CellText(1, 2, 1), QString("1\n2"));
    }

    void openRefusesWhatIsNoDocument_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing file") << "missing";
        QTest::newRow("zip without a document") << "zip";
        QTest::newRow("damaged document part") << "damaged";
    }
    void openRefusesWhatIsNoDocument() {
        QFETCH(QString, kind);
        const QString path = Path("bad-" + kind + ".docx");
        QFile::remove(path);
        if (kind == "zip") {
            QVERIFY(WriteZip(path, {{"readme.txt", "hello"}}));
        } else if (kind == "damaged") {
            QVERIFY(WriteDocx(path, "<w:p><w:r>"));
        }
        word::Document d;
        d.TypeText("kept");
        QVERIFY(!d.Open(path));
        QVERIFY(d.LastError().contains(path));
        QCOMPARE(d.Paragraphs(), QStringList{"kept"});
    }

    void aMainPartNamedElsewhereIsFollowed() {
        QVERIFY(WriteDocx(Path("other.docx"), Para(Simple(" MERGEFIELD Fee ", "x")),
                          "word/document2.xml"));
        word::Document d;
        QVERIFY(d.Open(Path("other.docx")));
        QCOMPARE(d.MergeFields(), QStringList{"Fee"});
    }

    void aMergedDocumentConvertsInLibreOffice() {
        const QString soffice = QStandardPaths::findExecutable("soffice");
        if (soffice.isEmpty()) QSKIP("LibreOffice is not installed");
        QVERIFY(WriteDocx(Path("lo.docx"),
                          Para(Text("Invoice ") + Complex({" MERGEFIELD ", "No "}, "x"))));
        word::Document t;
        QVERIFY(t.Open(Path("lo.docx")));
        word::Document merged = t.Merge({{"No", "7\nline two"}});
        merged.AddTable({{"Start", "Fee"}, {"1\n2", "£1.00"}});
        QVERIFY(merged.SaveAs(Path("lo-merged.docx")));
        QProcess p;
        // A profile of its own, so that a running LibreOffice of the user's is left alone.
        p.start(soffice,
                {"-env:UserInstallation=file://" + Path("lo-profile"), "--headless", "--convert-to",
                 "txt:Text", "--outdir", Path("lo-out"), Path("lo-merged.docx")});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        QFile txt(Path("lo-out/lo-merged.txt"));
        QVERIFY2(txt.open(QIODevice::ReadOnly),
                 p.readAllStandardError() + p.readAllStandardOutput());
        const QString text = QString::fromUtf8(txt.readAll());
        QVERIFY2(text.contains("Invoice 7") && text.contains("line two") && text.contains("£1.00"),
                 qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestWord)
#include "tst_word.moc"
