#include "document.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <pugixml.hpp>
#include <vector>

#include "platform/word/fields.h"
#include "platform/word/xmltree.h"
#include "platform/word/zipfile.h"

namespace word {

namespace {

const char* const kContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/word/document.xml" )"
    R"(ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>)"
    R"(</Types>)";
const char* const kPackageRels =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" )"
    R"(Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" )"
    R"(Target="word/document.xml"/></Relationships>)";
// An A4 page with inch margins.
const char* const kBlankBody =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" )"
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<w:body><w:p/><w:sectPr><w:pgSz w:w="11906" w:h="16838"/>)"
    R"(<w:pgMar w:top="1440" w:right="1440" w:bottom="1440" w:left="1440" w:header="708" )"
    R"(w:footer="708" w:gutter="0"/></w:sectPr></w:body></w:document>)";
const int kTextWidthTwips = 9026;

// Whitespace-only text is content in a document (a run of one blank).
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata;

using detail::InsertRun;
using detail::Is;
using detail::Lines;
using detail::Str;

QByteArray Utf8(const QString& s) { return s.toUtf8(); }

struct ByteWriter : pugi::xml_writer {
    QByteArray* out;
    explicit ByteWriter(QByteArray* o) : out(o) {}
    void write(const void* data, size_t size) override {
        out->append(static_cast<const char*>(data), static_cast<qsizetype>(size));
    }
};

QByteArray Serialise(const pugi::xml_document& doc) {
    QByteArray out;
    ByteWriter w(&out);
    doc.save(w, "", pugi::format_raw, pugi::encoding_utf8);
    return out;
}

// The text a paragraph shows: results of fields, tabs and breaks; never instructions.
QString ParagraphText(const pugi::xml_node& p) {
    QString text;
    detail::WalkTree(p, [&text](const pugi::xml_node& c) {
        if (Is(c, "w:t"))
            text += Str(c.text().get());
        else if (Is(c, "w:tab"))
            text += u'\t';
        else if (Is(c, "w:br") || Is(c, "w:cr"))
            text += u'\n';
        else
            return !Is(c, "w:instrText") && !Is(c, "w:delText") && !Is(c, "w:tbl");
        return false;
    });
    return text;
}

// The parts beside the main text that hold text and fields of their own, as the main part's
// relationships name them.
QStringList StoryParts(const QMap<QString, QByteArray>& parts, const QString& mainPart) {
    const qsizetype slash = mainPart.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : mainPart.left(slash + 1);
    const QString relsPart =
        folder + QStringLiteral("_rels/") + mainPart.mid(slash + 1) + QStringLiteral(".rels");
    pugi::xml_document rels;
    const QByteArray xml = parts.value(relsPart);
    QStringList stories;
    if (!rels.load_buffer(xml.constData(), static_cast<size_t>(xml.size()))) return stories;
    for (pugi::xml_node r : rels.child("Relationships").children("Relationship")) {
        const QString type = Str(r.attribute("Type").value());
        const bool story = type.endsWith(u"/header") || type.endsWith(u"/footer") ||
                           type.endsWith(u"/footnotes") || type.endsWith(u"/endnotes");
        if (!story || Str(r.attribute("TargetMode").value()) == u"External") continue;
        const QString target = Str(r.attribute("Target").value());
        const QString part =
            target.startsWith(u'/') ? target.mid(1) : QDir::cleanPath(folder + target);
        if (parts.contains(part) && !stories.contains(part) && part != mainPart) stories << part;
    }
    return stories;
}

// Why the text of `merged` is beyond what a merge may hold; empty when it is not. Each element
// and attribute becomes a node of the parsed tree, and is copied once more by a merge: they
// are counted by the marks that open them, before anything is parsed.
QString TooLargeToMerge(const QMap<QString, QByteArray>& parts, const QStringList& merged) {
    qint64 bytes = 0;
    for (const QString& part : merged) bytes += parts.value(part).size();
    if (bytes > kMaxTemplateText)
        return QStringLiteral(
                   "its text is more than %1 MB, where an invoice template's is well "
                   "under one. It may be damaged.")
            .arg(kMaxTemplateText / (1024 * 1024));
    qint64 markup = 0;
    for (const QString& part : merged) {
        const QByteArray xml = parts.value(part);
        markup +=
            std::count(xml.cbegin(), xml.cend(), '<') + std::count(xml.cbegin(), xml.cend(), '=');
    }
    if (markup > kMaxTemplateMarkup)
        return QStringLiteral(
                   "its text holds more than %1 elements and attributes, where an "
                   "invoice template holds a few thousand. It may be damaged.")
            .arg(QLocale().toString(kMaxTemplateMarkup));
    return QString();
}

}  // namespace

namespace detail {

// A part holding text: the main one, a header, a footer, the notes.
struct Story {
    QString part;
    std::unique_ptr<pugi::xml_document> xml = std::make_unique<pugi::xml_document>();
};

struct Package {
    ZipEntries zip;  // every part as the file held it; the stories are written back on save
    QString mainPart = QStringLiteral("word/document.xml");
    pugi::xml_document body;     // the main part, parsed
    std::vector<Story> stories;  // the other parts with fields, parsed
    QString fullName;
    QString lastError;
    QString refusal;  // why a merge beyond its bounds may not be saved

    pugi::xml_node Body() const { return body.child("w:document").child("w:body"); }

    // The body's last child before the section properties, or null.
    pugi::xml_node Last() const {
        pugi::xml_node last = Body().last_child();
        if (last && Is(last, "w:sectPr")) last = last.previous_sibling();
        return last;
    }
    pugi::xml_node NewParagraph() {
        pugi::xml_node b = Body();
        const pugi::xml_node sect = b.child("w:sectPr");
        return sect ? b.insert_child_before("w:p", sect) : b.append_child("w:p");
    }
    // The paragraph typing goes into: the last one, unless a table ends the body.
    pugi::xml_node Selection() {
        const pugi::xml_node last = Last();
        return last && Is(last, "w:p") ? last : NewParagraph();
    }
    std::vector<pugi::xml_node> Tables() const {
        std::vector<pugi::xml_node> tables;
        for (pugi::xml_node c = Body().first_child(); c; c = c.next_sibling())
            if (Is(c, "w:tbl")) tables.push_back(c);
        return tables;
    }
    // The body first, then the other stories.
    std::vector<pugi::xml_node> Roots() const {
        std::vector<pugi::xml_node> roots{body.root()};
        for (const Story& s : stories) roots.push_back(s.xml->root());
        return roots;
    }

    bool Fail(const QString& text) {
        lastError = text;
        return false;
    }

    bool Parse(const QString& part, pugi::xml_document* doc) {
        const QByteArray& xml = zip.data[part];
        const pugi::xml_parse_result ok =
            doc->load_buffer(xml.constData(), static_cast<size_t>(xml.size()), kParseOptions);
        if (!ok)
            return Fail(QStringLiteral("The document's text is damaged (%1): %2")
                            .arg(part, QString::fromUtf8(ok.description())));
        return true;
    }
    bool ParseMain() {
        if (!Parse(mainPart, &body)) return false;
        if (!Body()) return Fail(QStringLiteral("The file holds no word-processor document."));
        return true;
    }
};

}  // namespace detail

Document::Document() : p_(std::make_unique<detail::Package>()) {
    p_->zip.order = {QStringLiteral("[Content_Types].xml"), QStringLiteral("_rels/.rels"),
                     p_->mainPart};
    p_->zip.data[p_->zip.order[0]] = kContentTypes;
    p_->zip.data[p_->zip.order[1]] = kPackageRels;
    p_->zip.data[p_->mainPart] = kBlankBody;
    p_->ParseMain();
}

Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

QString Document::FullName() const { return p_->fullName; }
QString Document::LastError() const { return p_->lastError; }

bool Document::Open(const QString& path) {
    auto next = std::make_unique<detail::Package>();
    QString error;
    if (!detail::ReadZip(path, &next->zip, &error)) return p_->Fail(error);
    const QMap<QString, QByteArray>& parts = next->zip.data;

    // The package's relationships name the main part; Word and others all call it the same.
    pugi::xml_document rels;
    const QByteArray relsXml = parts.value(QStringLiteral("_rels/.rels"));
    if (rels.load_buffer(relsXml.constData(), static_cast<size_t>(relsXml.size()))) {
        for (pugi::xml_node r : rels.child("Relationships").children("Relationship")) {
            if (Str(r.attribute("Type").value()).endsWith(u"/officeDocument"))
                next->mainPart = Str(r.attribute("Target").value());
        }
        if (next->mainPart.startsWith(u'/')) next->mainPart.remove(0, 1);
    }
    if (!parts.contains(next->mainPart))
        return p_->Fail(
            QStringLiteral("\"%1\" is not a word-processor document (.docx).").arg(path));
    const QStringList stories = StoryParts(parts, next->mainPart);
    if (const QString why = TooLargeToMerge(parts, QStringList{next->mainPart} + stories);
        !why.isEmpty())
        return p_->Fail(QStringLiteral("\"%1\" is too large to be merged: %2").arg(path, why));
    bool ok = next->ParseMain();
    for (const QString& part : stories) {
        if (!ok) break;
        next->stories.push_back({part});
        ok = next->Parse(part, next->stories.back().xml.get());
    }
    if (!ok) return p_->Fail(QStringLiteral("\"%1\": %2").arg(path, next->lastError));
    next->fullName = QFileInfo(path).absoluteFilePath();
    p_ = std::move(next);
    return true;
}

bool Document::SaveAs(const QString& path) {
    if (!p_->refusal.isEmpty()) return p_->Fail(p_->refusal);
    if (path.trimmed().isEmpty()) return p_->Fail(QStringLiteral("No file name was given."));
    p_->zip.data[p_->mainPart] = Serialise(p_->body);
    for (const detail::Story& s : p_->stories) p_->zip.data[s.part] = Serialise(*s.xml);
    QString error;
    if (!detail::WriteZip(path, p_->zip, &error)) return p_->Fail(error);
    p_->fullName = QFileInfo(path).absoluteFilePath();
    return true;
}

void Document::TypeText(const QString& text) {
    const QStringList lines = Lines(text);
    for (int i = 0; i < lines.size(); ++i) {
        pugi::xml_node p = i == 0 ? p_->Selection() : p_->NewParagraph();
        if (!lines[i].isEmpty()) InsertRun(p, pugi::xml_node(), lines[i], pugi::xml_node());
    }
}

void Document::TypeParagraph(int count) {
    p_->Selection();
    for (int i = 0; i < count; ++i) p_->NewParagraph();
}

void Document::InsertMergeField(const QString& name) {
    pugi::xml_node f = p_->Selection().append_child("w:fldSimple");
    f.append_attribute("w:instr") = Utf8(QStringLiteral(" MERGEFIELD %1 ").arg(name)).constData();
    InsertRun(f, pugi::xml_node(), QStringLiteral("«%1»").arg(name), pugi::xml_node());
}

void Document::AddTable(const QList<QStringList>& rows) {
    pugi::xml_node b = p_->Body();
    // A document of one empty paragraph begins with the table, as a merge data source must.
    pugi::xml_node before = b.child("w:sectPr");
    const pugi::xml_node last = p_->Last();
    const bool onlyBlank =
        last && !last.previous_sibling() && Is(last, "w:p") && ParagraphText(last).isEmpty();
    if (onlyBlank) before = last;
    pugi::xml_node tbl = before ? b.insert_child_before("w:tbl", before) : b.append_child("w:tbl");

    pugi::xml_node props = tbl.append_child("w:tblPr");
    pugi::xml_node width = props.append_child("w:tblW");
    width.append_attribute("w:w") = "0";
    width.append_attribute("w:type") = "auto";
    pugi::xml_node borders = props.append_child("w:tblBorders");
    for (const char* side : {"w:top", "w:left", "w:bottom", "w:right", "w:insideH", "w:insideV"}) {
        pugi::xml_node e = borders.append_child(side);
        e.append_attribute("w:val") = "single";
        e.append_attribute("w:sz") = "4";
        e.append_attribute("w:space") = "0";
        e.append_attribute("w:color") = "auto";
    }
    qsizetype columns = 1;
    for (const QStringList& row : rows) columns = std::max(columns, row.size());
    pugi::xml_node grid = tbl.append_child("w:tblGrid");
    for (qsizetype c = 0; c < columns; ++c)
        grid.append_child("w:gridCol").append_attribute("w:w") =
            static_cast<int>(kTextWidthTwips / columns);
    for (const QStringList& row : rows) {
        pugi::xml_node tr = tbl.append_child("w:tr");
        for (qsizetype c = 0; c < columns; ++c) {
            pugi::xml_node tc = tr.append_child("w:tc");
            for (const QString& line : Lines(row.value(c))) {
                pugi::xml_node p = tc.append_child("w:p");
                if (!line.isEmpty()) InsertRun(p, pugi::xml_node(), line, pugi::xml_node());
            }
        }
    }
    // The body may not end with a table.
    if (!onlyBlank) p_->NewParagraph();
}

QStringList Document::Paragraphs() const {
    QStringList out;
    for (pugi::xml_node c : p_->Body().children("w:p")) out << ParagraphText(c);
    return out;
}

int Document::TableCount() const { return static_cast<int>(p_->Tables().size()); }

QString Document::CellText(int table, int row, int column) const {
    const auto tables = p_->Tables();
    if (table < 1 || table > static_cast<int>(tables.size())) return QString();
    pugi::xml_node tr = tables[static_cast<size_t>(table - 1)].child("w:tr");
    for (int r = 1; tr && r < row; ++r) tr = tr.next_sibling("w:tr");
    pugi::xml_node tc = tr.child("w:tc");
    for (int c = 1; tc && c < column; ++c) tc = tc.next_sibling("w:tc");
    QStringList lines;
    for (pugi::xml_node p : tc.children("w:p")) lines << ParagraphText(p);
    return lines.join(u'\n');
}

QStringList Document::MergeFields() const {
    QStringList found;
    for (const pugi::xml_node& root : p_->Roots()) detail::AppendMergeFieldNames(root, &found);
    QStringList names;
    for (const QString& f : found) {
        bool known = false;
        for (const QString& n : names) known = known || n.compare(f, Qt::CaseInsensitive) == 0;
        if (!known) names << f;
    }
    return names;
}

Document Document::Merge(const QMap<QString, QString>& record) const {
    Document out;
    out.p_->zip = p_->zip;
    out.p_->mainPart = p_->mainPart;
    out.p_->body.reset(p_->body);
    for (const detail::Story& s : p_->stories) {
        out.p_->stories.push_back({s.part});
        out.p_->stories.back().xml->reset(*s.xml);
    }

    QMap<QString, QString> byName;
    for (auto it = record.cbegin(); it != record.cend(); ++it) byName[it.key().toLower()] = *it;
    qint64 budget = kMaxMergedValues;
    for (const pugi::xml_node& root : out.p_->Roots()) {
        if (detail::MergeRecord(root, byName, &budget)) continue;
        out.p_->refusal = QStringLiteral(
                              "The merged invoice would be too large: its fields would take more "
                              "than %1 MB of the invoice's text. Please check the template \"%2\".")
                              .arg(kMaxMergedValues / (1024 * 1024))
                              .arg(QDir::toNativeSeparators(p_->fullName));
        out.p_->lastError = out.p_->refusal;
        return out;
    }

    // The result is a finished document, no longer tied to a data source.
    const QString settingsPart = QStringLiteral("word/settings.xml");
    QMap<QString, QByteArray>& parts = out.p_->zip.data;
    if (parts.contains(settingsPart)) {
        pugi::xml_document settings;
        const QByteArray& xml = parts[settingsPart];
        if (settings.load_buffer(xml.constData(), static_cast<size_t>(xml.size()), kParseOptions)) {
            pugi::xml_node root = settings.child("w:settings");
            if (root.remove_child("w:mailMerge")) parts[settingsPart] = Serialise(settings);
        }
    }
    return out;
}

}  // namespace word
