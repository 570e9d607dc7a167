#include "document.h"

#include <zip.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstring>
#include <pugixml.hpp>
#include <vector>

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

QString Str(const pugi::char_t* s) { return QString::fromUtf8(s); }
QByteArray Utf8(const QString& s) { return s.toUtf8(); }
bool Is(const pugi::xml_node& n, const char* name) { return std::strcmp(n.name(), name) == 0; }

QStringList Lines(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return text.split(breaks);
}

QString ZipErrorText(int code) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    const QString why = QString::fromUtf8(zip_error_strerror(&ze));
    zip_error_fini(&ze);
    return why;
}

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

// The text a node shows: results of fields, tabs and breaks; never instructions.
void AppendText(const pugi::xml_node& node, QString* out) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (Is(c, "w:t"))
            *out += Str(c.text().get());
        else if (Is(c, "w:tab"))
            *out += u'\t';
        else if (Is(c, "w:br") || Is(c, "w:cr"))
            *out += u'\n';
        else if (!Is(c, "w:instrText") && !Is(c, "w:delText") && !Is(c, "w:tbl"))
            AppendText(c, out);
    }
}

QString ParagraphText(const pugi::xml_node& p) {
    QString text;
    AppendText(p, &text);
    return text;
}

// The field a MERGEFIELD instruction names ("MERGEFIELD  Name \* MERGEFORMAT", or the name in
// quotes); empty for any other instruction.
QString MergeFieldName(const QString& instruction) {
    static const QRegularExpression re(
        QString::fromLatin1(R"re(^\s*MERGEFIELD\s+(?:"([^"]+)"|([^\s\\"]+)))re"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(instruction);
    if (!m.hasMatch()) return QString();
    return m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
}

// One merge field as it stands in the document.
struct FieldPlace {
    QString name;
    pugi::xml_node simple;             // a w:fldSimple, or
    std::vector<pugi::xml_node> runs;  // the runs from the complex field's begin to its end
    pugi::xml_node resultRun;          // the run showing its result, for its formatting
};

// Every merge field in document order. Complex fields are followed through the runs by their
// begin, separate and end marks; fields nested inside another field's instruction are left
// to the outer one.
class FieldFinder {
  public:
    std::vector<FieldPlace> found;

    void Walk(const pugi::xml_node& node) {
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
            if (Is(c, "w:fldSimple") && open_.empty()) {
                const QString name = MergeFieldName(Str(c.attribute("w:instr").value()));
                if (!name.isEmpty())
                    found.push_back({name, c, {}, c.child("w:r")});
                else
                    Walk(c);
            } else if (Is(c, "w:r")) {
                Run(c);
            } else {
                Walk(c);
            }
        }
    }

  private:
    struct Open {
        QString instruction;
        bool separated = false;
        std::vector<pugi::xml_node> runs;
        pugi::xml_node resultRun;
    };

    void Run(const pugi::xml_node& r) {
        for (Open& o : open_) o.runs.push_back(r);
        for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
            if (Is(c, "w:fldChar")) {
                const QString type = Str(c.attribute("w:fldCharType").value());
                if (type == QLatin1String("begin")) {
                    open_.push_back(Open{});
                    open_.back().runs.push_back(r);
                } else if (type == QLatin1String("separate") && !open_.empty()) {
                    open_.back().separated = true;
                } else if (type == QLatin1String("end") && !open_.empty()) {
                    Open o = std::move(open_.back());
                    open_.pop_back();
                    const QString name = MergeFieldName(o.instruction);
                    if (open_.empty() && !name.isEmpty())
                        found.push_back({name, {}, std::move(o.runs), o.resultRun});
                }
            } else if (Is(c, "w:instrText") && !open_.empty() && !open_.back().separated) {
                open_.back().instruction += Str(c.text().get());
            } else if (Is(c, "w:t") && !open_.empty() && open_.back().separated &&
                       !open_.back().resultRun) {
                open_.back().resultRun = r;
            }
        }
    }

    std::vector<Open> open_;
};

// A run of `text` with `format` (a run whose properties are copied, may be null).
void InsertRun(pugi::xml_node parent, const pugi::xml_node& before, const QString& text,
               const pugi::xml_node& format) {
    pugi::xml_node r =
        before ? parent.insert_child_before("w:r", before) : parent.append_child("w:r");
    if (const pugi::xml_node props = format.child("w:rPr")) r.append_copy(props);
    const QStringList lines = Lines(text);
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0) r.append_child("w:br");
        pugi::xml_node t = r.append_child("w:t");
        t.append_attribute("xml:space") = "preserve";
        t.text().set(Utf8(lines[i]).constData());
    }
}

}  // namespace

namespace detail {

struct Package {
    QStringList order;  // part names as the file held them
    QMap<QString, QByteArray> parts;
    QString mainPart = QStringLiteral("word/document.xml");
    pugi::xml_document body;  // the main part, parsed; written back on save
    QString fullName;
    QString lastError;

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

    bool Fail(const QString& text) {
        lastError = text;
        return false;
    }

    bool ParseMain() {
        body.reset();
        const QByteArray& xml = parts[mainPart];
        const pugi::xml_parse_result ok =
            body.load_buffer(xml.constData(), static_cast<size_t>(xml.size()), kParseOptions);
        if (!ok) return Fail(QStringLiteral("The document's text is damaged: ") + ok.description());
        if (!Body()) return Fail(QStringLiteral("The file holds no word-processor document."));
        return true;
    }
};

}  // namespace detail

Document::Document() : p_(std::make_unique<detail::Package>()) {
    p_->order = {QStringLiteral("[Content_Types].xml"), QStringLiteral("_rels/.rels"),
                 p_->mainPart};
    p_->parts[p_->order[0]] = kContentTypes;
    p_->parts[p_->order[1]] = kPackageRels;
    p_->parts[p_->mainPart] = kBlankBody;
    p_->ParseMain();
}

Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

QString Document::FullName() const { return p_->fullName; }
QString Document::LastError() const { return p_->lastError; }

bool Document::Open(const QString& path) {
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!za) {
        return p_->Fail(QStringLiteral("Cannot open \"%1\": %2").arg(path, ZipErrorText(error)));
    }
    auto next = std::make_unique<detail::Package>();
    const zip_int64_t n = zip_get_num_entries(za, 0);
    bool ok = true;
    for (zip_int64_t i = 0; i < n && ok; ++i) {
        zip_stat_t st;
        zip_file_t* f = nullptr;
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            !(f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0))) {
            ok = false;
            break;
        }
        QByteArray data(static_cast<qsizetype>(st.size), Qt::Uninitialized);
        ok = zip_fread(f, data.data(), st.size) == static_cast<zip_int64_t>(st.size);
        zip_fclose(f);
        const QString name = QString::fromUtf8(st.name);
        if (name.endsWith(u'/')) continue;
        next->order << name;
        next->parts[name] = data;
    }
    const QString zipError = QString::fromUtf8(zip_strerror(za));
    zip_discard(za);
    if (!ok) return p_->Fail(QStringLiteral("Cannot read \"%1\": %2").arg(path, zipError));

    // The package's relationships name the main part; Word and others all call it the same.
    pugi::xml_document rels;
    const QByteArray relsXml = next->parts.value(QStringLiteral("_rels/.rels"));
    if (rels.load_buffer(relsXml.constData(), static_cast<size_t>(relsXml.size()))) {
        for (pugi::xml_node r : rels.child("Relationships").children("Relationship")) {
            if (QString::fromUtf8(r.attribute("Type").value()).endsWith(u"/officeDocument"))
                next->mainPart = QString::fromUtf8(r.attribute("Target").value());
        }
        if (next->mainPart.startsWith(u'/')) next->mainPart.remove(0, 1);
    }
    if (!next->parts.contains(next->mainPart))
        return p_->Fail(
            QStringLiteral("\"%1\" is not a word-processor document (.docx).").arg(path));
    if (!next->ParseMain())
        return p_->Fail(QStringLiteral("\"%1\": %2").arg(path, next->lastError));
    next->fullName = QFileInfo(path).absoluteFilePath();
    p_ = std::move(next);
    return true;
}

bool Document::SaveAs(const QString& path) {
    if (path.trimmed().isEmpty()) return p_->Fail(QStringLiteral("No file name was given."));
    p_->parts[p_->mainPart] = Serialise(p_->body);
    int error = 0;
    // libzip writes a temporary file and renames it over the old one on close.
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za) {
        return p_->Fail(QStringLiteral("Cannot write \"%1\": %2").arg(path, ZipErrorText(error)));
    }
    for (const QString& name : p_->order) {
        const QByteArray& data = p_->parts[name];
        zip_source_t* src = zip_source_buffer(za, data.constData(), data.size(), 0);
        if (!src || zip_file_add(za, Utf8(name).constData(), src,
                                 ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
            if (src) zip_source_free(src);
            const QString why = QString::fromUtf8(zip_strerror(za));
            zip_discard(za);
            return p_->Fail(QStringLiteral("Cannot write \"%1\": %2").arg(path, why));
        }
    }
    if (zip_close(za) != 0) {
        const QString why = QString::fromUtf8(zip_strerror(za));
        zip_discard(za);
        return p_->Fail(QStringLiteral("Cannot write \"%1\": %2").arg(path, why));
    }
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
    FieldFinder finder;
    finder.Walk(p_->Body());
    QStringList names;
    for (const FieldPlace& f : finder.found) {
        bool known = false;
        for (const QString& n : names) known = known || n.compare(f.name, Qt::CaseInsensitive) == 0;
        if (!known) names << f.name;
    }
    return names;
}

Document Document::Merge(const QMap<QString, QString>& record) const {
    Document out;
    out.p_->order = p_->order;
    out.p_->parts = p_->parts;
    out.p_->mainPart = p_->mainPart;
    out.p_->body.reset(p_->body);

    QMap<QString, QString> byName;
    for (auto it = record.cbegin(); it != record.cend(); ++it) byName[it.key().toLower()] = *it;

    FieldFinder finder;
    finder.Walk(out.p_->Body());
    for (const FieldPlace& f : finder.found) {
        const QString value = byName.value(f.name.toLower());
        if (f.simple) {
            if (!value.isEmpty()) InsertRun(f.simple.parent(), f.simple, value, f.resultRun);
            f.simple.parent().remove_child(f.simple);
            continue;
        }
        const pugi::xml_node first = f.runs.front();
        if (!value.isEmpty())
            InsertRun(first.parent(), first, value, f.resultRun ? f.resultRun : first);
        for (const pugi::xml_node& r : f.runs) r.parent().remove_child(r);
    }

    // The result is a finished document, no longer tied to a data source.
    const QString settingsPart = QStringLiteral("word/settings.xml");
    if (out.p_->parts.contains(settingsPart)) {
        pugi::xml_document settings;
        const QByteArray& xml = out.p_->parts[settingsPart];
        if (settings.load_buffer(xml.constData(), static_cast<size_t>(xml.size()), kParseOptions)) {
            pugi::xml_node root = settings.child("w:settings");
            if (root.remove_child("w:mailMerge")) out.p_->parts[settingsPart] = Serialise(settings);
        }
    }
    return out;
}

}  // namespace word
