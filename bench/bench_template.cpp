// The memory a template's merge takes at its peak: dense templates of four parts generated
// just under the merge's bounds (and one with each part just under the bound on a part's
// unpacked size, which the merge refuses), and an ordinary one, each opened, merged with one
// record and saved in a process of its own, whose high-water mark of resident memory is read
// from /proc. Prints one line per template.
#include <zip.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include "platform/word/document.h"

namespace {

const QByteArray kHead =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)";
const QByteArray kTail = "</w:body></w:document>";

// `unit` repeated `n` times inside one paragraph of a part whose root is `root`.
QByteArray Part(const QByteArray& root, const QByteArray& unit, qint64 n) {
    const QByteArray head =
        root == "w:document"
            ? kHead + "<w:p>"
            : R"(<?xml version="1.0"?><)" + root +
                  R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:p>)";
    const QByteArray tail = root == "w:document" ? "</w:p>" + kTail : "</w:p></" + root + ">";
    QByteArray xml = head;
    xml.reserve(head.size() + n * unit.size() + tail.size());
    for (qint64 i = 0; i < n; ++i) xml += unit;
    return xml + tail;
}

// The unit each dense kind repeats; an ordinary template is a page of text and fields.
QByteArray Unit(const QString& kind) {
    if (kind.startsWith("runs")) return "<w:r/>";
    if (kind == "attributes") return R"(<w:r a="" b="" c="" d="" e="" f="" g="" h="" i="" j=""/>)";
    if (kind.startsWith("fields"))
        return R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText> MERGEFIELD Customer </w:instrText></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r>)";
    if (kind == "text") return "<w:r><w:t>" + QByteArray(4000, 'x') + "</w:t></w:r>";
    return R"(<w:r><w:t xml:space="preserve">Invoice to </w:t></w:r><w:fldSimple w:instr=" MERGEFIELD Customer "><w:r><w:t>«Customer»</w:t></w:r></w:fldSimple>)";
}

// How many units each of the four parts holds: just under the merge's bounds together, or for
// "runs-64MB" just under the bound on one part's unpacked size.
qint64 Units(const QString& kind, const QByteArray& unit) {
    if (kind == "ordinary") return 40;
    const qint64 room = 2000;  // for each part's head and tail
    if (kind == "runs-64MB") return (64 * 1024 * 1024 - room) / unit.size();
    const qint64 marks = unit.count('<') + unit.count('=');
    return std::min((word::kMaxTemplateText / 4 - room) / unit.size(),
                    (word::kMaxTemplateMarkup / 4 - 100) / marks);
}

bool WriteTemplate(const QString& path, const QString& kind) {
    const QByteArray unit = Unit(kind);
    const qint64 n = Units(kind, unit);
    QList<QPair<QByteArray, QByteArray>> parts{
        {"[Content_Types].xml",
         R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)"},
        {"_rels/.rels",
         R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>)"},
        {"word/_rels/document.xml.rels",
         R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/header" Target="header1.xml"/>)"
         R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/header" Target="header2.xml"/>)"
         R"(<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer" Target="footer1.xml"/></Relationships>)"},
        {"word/document.xml", Part("w:document", unit, n)},
        {"word/header1.xml", Part("w:hdr", unit, n)},
        {"word/header2.xml", Part("w:hdr", unit, n)},
        {"word/footer1.xml", Part("w:ftr", unit, n)}};
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za) return false;
    for (const auto& [name, data] : parts) {
        zip_source_t* src =
            zip_source_buffer(za, data.constData(), static_cast<zip_uint64_t>(data.size()), 0);
        if (zip_file_add(za, name.constData(), src, ZIP_FL_OVERWRITE) < 0) return false;
    }
    return zip_close(za) == 0;
}

qint64 PeakKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// In the child: opens, merges and saves one template; prints what came of it. The record's
// value is `valueBytes` long.
int MergeOne(const QString& path, qint64 valueBytes) {
    QTextStream out(stdout);
    const qint64 before = PeakKilobytes();
    QElapsedTimer t;
    t.start();
    word::Document templ;
    QString outcome = QStringLiteral("merged");
    if (!templ.Open(path)) {
        outcome = QStringLiteral("refused: ") + templ.LastError().section(u':', -1).trimmed();
    } else {
        word::Document merged = templ.Merge({{"Customer", QString(valueBytes, u'v')}});
        if (!merged.SaveAs(path + QStringLiteral(".merged.docx")))
            outcome = QStringLiteral("refused: ") + merged.LastError().section(u':', -1).trimmed();
    }
    out << QStringLiteral("peak %1 MB (at start %2 MB), %3 ms, %4\n")
               .arg(PeakKilobytes() / 1024)
               .arg(before / 1024)
               .arg(t.elapsed())
               .arg(outcome);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--merge"))
        return MergeOne(args[2], args[3].toLongLong());
    QTextStream out(stdout);
    QTemporaryDir dir;
    // "fields-long": a record whose value, put in every field, goes beyond the merged text's
    // bound; "fields-fit" one just within it.
    for (const QString kind : {"ordinary", "runs-64MB", "runs", "attributes", "fields", "text",
                               "fields-fit", "fields-long"}) {
        const QString path = dir.filePath(kind + QStringLiteral(".docx"));
        if (!WriteTemplate(path, kind)) {
            out << kind << ": could not be written\n";
            continue;
        }
        const qint64 fields = 4 * Units(kind, Unit(kind));
        const qint64 value = kind == "fields-fit"    ? word::kMaxMergedValues / fields
                             : kind == "fields-long" ? word::kMaxMergedValues / fields + 1
                                                     : 8;
        QProcess child;
        child.start(app.applicationFilePath(),
                    {QStringLiteral("--merge"), path, QString::number(value)});
        child.waitForFinished(-1);
        out << QStringLiteral("%1 (%2 KB file): ").arg(kind, -12).arg(QFile(path).size() / 1024)
            << child.readAllStandardOutput() << child.readAllStandardError();
        out.flush();
    }
    return 0;
}
