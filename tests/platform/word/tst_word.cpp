// Documents read, merged and written by the word-processor layer.
#include <zip.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

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
QString Instr(const QString& t) {
    return QString::fromUtf8(R"(<w:r><w:instrText xml:space="preserve">%1</w:instrText></w:r>)")
        .arg(t);
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

// A part beside the main one and the type of the main part's relationship to it.
struct Story {
    QString part;  // as "word/header1.xml"
    QString type;  // the relationship's last word: "header", "footer", "footnotes"
    QString xml;   // the whole part
};

bool WriteDocx(const QString& path, const QString& body,
               const QString& mainPart = QStringLiteral("word/document.xml"),
               const QList<Story>& stories = {}) {
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
    QList<QPair<QString, QByteArray>> parts{{QStringLiteral("[Content_Types].xml"), types},
                                            {QStringLiteral("_rels/.rels"), rels},
                                            {mainPart, (kHead + body + kTail).toUtf8()}};
    if (!stories.isEmpty()) {
        QString mainRels = QString::fromUtf8(
            R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)");
        for (int i = 0; i < stories.size(); ++i) {
            mainRels +=
                QString::fromUtf8(
                    R"(<Relationship Id="rId%1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/%2" Target="%3"/>)")
                    .arg(i + 10)
                    .arg(stories[i].type, stories[i].part.mid(5));
            parts.append({stories[i].part, stories[i].xml.toUtf8()});
        }
        parts.append({QStringLiteral("word/_rels/document.xml.rels"),
                      (mainRels + QStringLiteral("</Relationships>")).toUtf8()});
    }
    return WriteZip(path, parts);
}

// The text of every paragraph of one part of a saved file, however deep it stands, read with
// a reader of its own rather than the layer's.
QStringList PartParagraphs(const QString& path, const QString& part) {
    int error = 0;
    zip_t* za = zip_open(path.toLocal8Bit().constData(), ZIP_RDONLY, &error);
    if (!za) return {"no zip"};
    zip_stat_t st;
    zip_file_t* f = nullptr;
    QByteArray xml;
    if (zip_stat(za, part.toUtf8().constData(), 0, &st) == 0 &&
        (f = zip_fopen(za, part.toUtf8().constData(), 0))) {
        xml.resize(static_cast<qsizetype>(st.size));
        zip_fread(f, xml.data(), st.size);
        zip_fclose(f);
    }
    zip_discard(za);
    QStringList paragraphs;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement()) continue;
        if (r.qualifiedName() == u"w:p") paragraphs << QString();
        if (r.qualifiedName() == u"w:t" && !paragraphs.isEmpty())
            paragraphs.last() += r.readElementText();
        if (r.qualifiedName() == u"w:br" && !paragraphs.isEmpty()) paragraphs.last() += u'\n';
    }
    return paragraphs;
}

QString Repeat(const QString& s, int n) { return s.repeated(n); }

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

    // However deep a file nests its elements, it is read, merged and written without
    // exhausting the stack (the depth of a 3 KB file), and its fields are still found.
    void deepNestingIsWalkedWithoutRecursion_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("merged");
        const int depth = 30000;
        const QString field = Simple(" MERGEFIELD InvoiceNumber ", "«InvoiceNumber»");
        QTest::newRow("content controls around a paragraph")
            << Repeat("<w:sdt><w:sdtContent>", depth) + Para(Text("No. ") + field) +
                   Repeat("</w:sdtContent></w:sdt>", depth) + Para(Text("end"))
            << QStringList{"InvoiceNumber"} << QStringList{"No. 42", "end"};
        QTest::newRow("content controls inside a paragraph")
            << Para(Repeat("<w:sdt><w:sdtContent>", depth) + Text("No. ") +
                    Complex({" MERGEFIELD ", "Customer "}, "c") +
                    Repeat("</w:sdtContent></w:sdt>", depth))
            << QStringList{"Customer"} << QStringList{"No. Acme"};
        QTest::newRow("fields inside fields' instructions")
            << Para(Repeat(R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r>)"
                           R"(<w:r><w:instrText> QUOTE </w:instrText></w:r>)",
                           depth) +
                    Complex({" MERGEFIELD InvoiceNumber "}, "n") +
                    Repeat(R"(<w:r><w:fldChar w:fldCharType="end"/></w:r>)", depth) + Text("!"))
            << QStringList{"InvoiceNumber"} << QStringList{"!"};
    }
    void deepNestingIsWalkedWithoutRecursion() {
        QFETCH(QString, body);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, merged);
        QVERIFY(WriteDocx(Path("deep.docx"), body));
        word::Document t;
        QVERIFY2(t.Open(Path("deep.docx")), qPrintable(t.LastError()));
        QCOMPARE(t.MergeFields(), fields);
        word::Document m = t.Merge({{"InvoiceNumber", "42"}, {"Customer", "Acme"}});
        QVERIFY2(m.SaveAs(Path("deep-merged.docx")), qPrintable(m.LastError()));
        QCOMPARE(PartParagraphs(Path("deep-merged.docx"), "word/document.xml"), merged);
    }

    // A file that cannot be taken is refused with the reason, before it is unpacked.
    void openSaysWhyItRefuses_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a part beyond 64 MB unpacked") << "huge"
                                                      << "more than 64 MB";
        QTest::newRow("the same, its size given falsely") << "lying"
                                                          << "more than 64 MB";
        QTest::newRow("damaged data") << "crc"
                                      << "CRC error";
        QTest::newRow("cut short") << "cut"
                                   << "Not a zip archive";
    }
    void openSaysWhyItRefuses() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString path = Path(kind + ".docx");
        if (kind == "huge" || kind == "lying") {
            // Blanks pack small: the file is a few hundred kilobytes.
            QVERIFY(WriteZip(path, {{"_rels/.rels", ""},
                                    {"word/document.xml", QByteArray(65 * 1024 * 1024, ' ')}}));
            if (kind == "lying") {
                // The part's unpacked size, in its local header and in the central directory.
                QFile f(path);
                QVERIFY(f.open(QIODevice::ReadWrite));
                QByteArray bytes = f.readAll();
                const QByteArray name = "word/document.xml";
                for (const auto& [signature, sizeAt, nameAt] :
                     {std::tuple{QByteArray("PK\x03\x04"), 22, 30}, {"PK\x01\x02", 24, 46}}) {
                    qsizetype at = -1;
                    while ((at = bytes.indexOf(signature, at + 1)) >= 0 &&
                           bytes.mid(at + nameAt, name.size()) != name) {
                    }
                    QVERIFY(at >= 0);
                    bytes.replace(at + sizeAt, 4, QByteArray("\xe8\x03\0\0", 4));  // 1000
                }
                f.seek(0);
                f.write(bytes);
            }
        } else {
            QVERIFY(WriteDocx(path, Para(Text("damage me"))));
            int error = 0;
            zip_t* za = zip_open(path.toLocal8Bit().constData(), 0, &error);
            QVERIFY(za);
            zip_set_file_compression(za, zip_name_locate(za, "word/document.xml", 0), ZIP_CM_STORE,
                                     0);
            QVERIFY(zip_close(za) == 0);
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QByteArray bytes = f.readAll();
            if (kind == "crc")
                bytes.replace("damage me", "damaged!!");
            else
                bytes.truncate(bytes.size() / 2);
            f.resize(0);
            f.write(bytes);
        }
        word::Document d;
        QVERIFY(!d.Open(path));
        QVERIFY2(d.LastError().contains(path) && d.LastError().contains(reason) &&
                     !d.LastError().contains("No error"),
                 qPrintable(d.LastError()));
    }

    // Fields are merged in the page headers, footers and notes as in the body, inside IF
    // fields, and when several share one run.
    void everyFieldOfEveryPartIsMerged_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("paragraphs");
        QTest::addColumn<QStringList>("merged");
        // { IF ... } around the given instruction, showing a stale result.
        const auto ifField = [](const QString& instruction) {
            return QString::fromUtf8(R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r>)") +
                   Instr(" IF ") + instruction +
                   QString::fromUtf8(R"(<w:r><w:fldChar w:fldCharType="separate"/></w:r>)"
                                     R"(<w:r><w:t>stale</w:t></w:r>)"
                                     R"(<w:r><w:fldChar w:fldCharType="end"/></w:r>)");
        };
        const QString total = Complex({" MERGEFIELD Total "}, "«Total»");
        const QString town = Complex({" MERGEFIELD Town "}, "«Town»");
        QTest::newRow("header") << "header"
                                << Para(Text("Invoice ") +
                                        Simple(" MERGEFIELD InvoiceNumber ", "«n»"))
                                << QStringList{"Invoice 42"};
        QTest::newRow("footer") << "footer"
                                << Para(Text("For ") +
                                        Complex({" MERGE", "FIELD Customer "}, "«c»"))
                                << QStringList{"For O'Brien & Sons"};
        QTest::newRow("footnote") << "footnotes" << Para(Simple(" MERGEFIELD Town ", "«Town»"))
                                  << QStringList{"Little Town"};
        // As text "£1,150.50" would sort after "1150.5".
        QTest::newRow("IF on a money value as a number, a merge field in the text chosen")
            << "document"
            << Para(ifField(total + Instr(" &lt;= 1150.5 \"Order for ") +
                            Complex({" MERGEFIELD Customer "}, "x") +
                            Instr("\" \"Small\" \\* MERGEFORMAT")))
            << QStringList{"Order for O'Brien & Sons"};
        QTest::newRow("IF: text compared with a wildcard")
            << "document"
            << Para(
                   ifField(Instr("\"") + town + Instr("\" = \"Big*\" \"big\" \"not big\"")) +
                   ifField(Instr("\"") + town + Instr("\" &lt;&gt; \"Lit?le*\" \"no\" \"little\"")))
            << QStringList{"not biglittle"};
        QTest::newRow("IF on an empty value, operator unspaced")
            << "header"
            << Para(ifField(Complex({" MERGEFIELD PO_Number "}, "p") +
                            Instr("=\"\" \"no order\" \"order\"")))
            << QStringList{"no order"};
        QTest::newRow("IF of no merge field is left to the word processor")
            << "document" << Para(ifField(Instr(" 1 = 2 \"a\" \"b\""))) << QStringList{"stale"};
        QTest::newRow("two fields sharing one run, text between")
            << "document"
            << Para(QString::fromUtf8(
                   R"(<w:r><w:fldChar w:fldCharType="begin"/><w:instrText> MERGEFIELD InvoiceNumber </w:instrText>)"
                   R"(<w:fldChar w:fldCharType="separate"/><w:t>«n»</w:t><w:fldChar w:fldCharType="end"/>)"
                   R"(<w:t xml:space="preserve"> / </w:t><w:fldChar w:fldCharType="begin"/>)"
                   R"(<w:instrText> MERGEFIELD Town </w:instrText><w:fldChar w:fldCharType="end"/></w:r>)"))
            << QStringList{"42 / Little Town"};
    }
    void everyFieldOfEveryPartIsMerged() {
        QFETCH(QString, part);
        QFETCH(QString, paragraphs);
        QFETCH(QStringList, merged);
        const QString ns =
            R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")";
        const auto root = [&](const QString& kind, const QString& name, const QString& inner) {
            const QString content = kind == part ? paragraphs : Para(Text(kind));
            return QString("<w:%1%2>%3</w:%1>").arg(name, ns, inner.arg(content));
        };
        QVERIFY(WriteDocx(
            Path("parts.docx"), part == "document" ? paragraphs : Para(Text("body")),
            "word/document.xml",
            {{"word/header1.xml", "header", root("header", "hdr", "%1")},
             {"word/footer1.xml", "footer", root("footer", "ftr", "%1")},
             {"word/footnotes.xml", "footnotes",
              root("footnotes", "footnotes", R"(<w:footnote w:id="1">%1</w:footnote>)")}}));
        word::Document t;
        QVERIFY2(t.Open(Path("parts.docx")), qPrintable(t.LastError()));
        word::Document m = t.Merge({{"InvoiceNumber", "42"},
                                    {"Customer", "O'Brien & Sons"},
                                    {"Total", "£1,150.50"},
                                    {"Town", "Little Town"}});
        QVERIFY2(m.SaveAs(Path("parts-merged.docx")), qPrintable(m.LastError()));
        const QString file = part == "document"    ? "word/document.xml"
                             : part == "footnotes" ? "word/footnotes.xml"
                                                   : "word/" + part + "1.xml";
        QCOMPARE(PartParagraphs(Path("parts-merged.docx"), file), merged);
        word::Document back;
        QVERIFY(back.Open(Path("parts-merged.docx")));
        QCOMPARE(back.MergeFields(), QStringList{});
    }

    // However densely a template is made, a merge stays within its bounds: just within them it
    // merges, beyond them it is refused with the reason. The template benchmark shows the peak.
    void denseTemplatesAreBounded_data() {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<qint64>("count");     // of the unit in the body
        QTest::addColumn<int>("valueSize");    // of the record's one value
        QTest::addColumn<QString>("refusal");  // empty: merged and saved
        // 2000 fields fit the bound on elements and attributes.
        const QString field = Complex({" MERGEFIELD Customer "}, "c");
        const int fit = int(word::kMaxMergedValues / 2000);
        const qint64 most = word::kMaxTemplateMarkup;
        QTest::newRow("runs within") << "<w:r/>" << most - 100 << 8 << "";
        QTest::newRow("runs beyond") << "<w:r/>" << most << 8 << "more than 500,000 elements";
        QTest::newRow("text beyond") << Text(QString(4000, u'x')) << qint64(4200) << 8 << "16 MB";
        QTest::newRow("values within") << field << qint64(2000) << fit << "";
        QTest::newRow("values beyond") << field << qint64(2000) << fit + 1 << "would take more";
    }
    void denseTemplatesAreBounded() {
        QFETCH(QString, unit);
        QFETCH(qint64, count);
        QFETCH(int, valueSize);
        QFETCH(QString, refusal);
        QVERIFY(WriteDocx(Path("dense.docx"), Para(unit.repeated(count))));
        word::Document t, m;
        QString why = t.Open(Path("dense.docx")) ? QString() : t.LastError();
        if (why.isEmpty()) m = t.Merge({{"Customer", QString(valueSize, u'v')}});
        if (why.isEmpty() && !m.SaveAs(Path("dense-merged.docx"))) why = m.LastError();
        QVERIFY2(refusal.isEmpty() ? why.isEmpty() : why.contains(refusal), qPrintable(why));
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
