#include "exporttext.h"

#include <vector>

namespace {

const QString kLineBreak = QStringLiteral("\r\n");
const QString kDatarootStart =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + kLineBreak +
    QStringLiteral("<dataroot xmlns:od=\"urn:schemas-microsoft-com:officedata\">") + kLineBreak;
const QString kDatarootEnd = QStringLiteral("</dataroot>");

QString CsvValue(const QString& text) {
    static const QString special = QStringLiteral(",\"\r\n");
    bool quote = false;
    for (QChar c : text) quote = quote || special.contains(c);
    if (!quote) return text;
    QString q = text;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

bool LegalInXml(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

}  // namespace

QString XmlEscape(const QString& text) {
    bool plain = true;
    for (QChar c : text)
        plain = plain && c != u'&' && c != u'"' && c != u'<' && c != u'>' && !c.isSurrogate() &&
                LegalInXml(c.unicode());
    if (plain) return text;
    QString out;
    out.reserve(text.size() + 16);
    for (char32_t c : text.toUcs4()) {
        switch (c) {
            case U'&':
                out += QStringLiteral("&amp;");
                break;
            case U'"':
                out += QStringLiteral("&quot;");
                break;
            case U'<':
                out += QStringLiteral("&lt;");
                break;
            case U'>':
                out += QStringLiteral("&gt;");
                break;
            default:
                if (LegalInXml(c)) out += QString::fromUcs4(&c, 1);
        }
    }
    return out;
}

QString CsvHeader(db::Recordset& rs) {
    QStringList names;
    for (int i = 0; i < rs.FieldCount(); ++i) names << CsvValue(rs.Fields(i).Name());
    return names.join(u',') + kLineBreak;
}

QString XmlDataroot(const QString& rows) { return kDatarootStart + rows + kDatarootEnd; }

bool RecordsetToCsvAndXml(db::Recordset& rs, const TextSink& csv, const QString& rowName,
                          const TextSink& xml) {
    const bool withXml = xml && !rowName.isEmpty();
    if (!csv && !withXml) return true;
    if (!rs.MoveFirst()) return false;
    const int n = rs.FieldCount();
    QStringList elements;
    std::vector<db::Field> fields;
    for (int i = 0; i < n; ++i) {
        elements << rs.Fields(i).Name().replace(u' ', u'_');
        fields.push_back(rs.Fields(i));
    }
    // Handed on a piece at a time: a year's invoices run to tens of megabytes of text.
    constexpr qsizetype kPiece = 1 << 16;
    QString csvOut = csv ? CsvHeader(rs) : QString();
    QString xmlOut = withXml ? kDatarootStart : QString();
    const auto flush = [](QString& text, const TextSink& sink, qsizetype atLeast) {
        if (text.size() < atLeast) return true;
        const bool ok = sink(text);
        text.clear();
        return ok;
    };
    for (; !rs.Eof(); rs.MoveNext()) {
        if (withXml) xmlOut += u'<' + rowName + u'>' + kLineBreak;
        for (int i = 0; i < n; ++i) {
            const db::Field& f = fields[static_cast<size_t>(i)];
            const bool null = f.IsNull();
            const QString text = null ? QString() : f.Text();
            if (csv) {
                if (i > 0) csvOut += u',';
                csvOut += null ? QStringLiteral("(NULL)") : CsvValue(text);
            }
            if (withXml) {
                const QString& e = elements[i];
                xmlOut += u'<' + e + u'>' + XmlEscape(text) + QStringLiteral("</") + e + u'>' + kLineBreak;
            }
        }
        if (csv && !flush(csvOut += kLineBreak, csv, kPiece)) return false;
        if (withXml && !flush(xmlOut += QStringLiteral("</") + rowName + u'>' + kLineBreak, xml, kPiece))
            return false;
    }
    return (!csv || flush(csvOut, csv, 0)) && (!withXml || flush(xmlOut += kDatarootEnd, xml, 0));
}

namespace {

TextSink AppendTo(QString* text) {
    text->clear();
    return [text](const QString& piece) {
        *text += piece;
        return true;
    };
}

}  // namespace

bool RecordsetToCsv(db::Recordset& rs, QString* text) {
    return RecordsetToCsvAndXml(rs, AppendTo(text), QString(), nullptr);
}

bool RecordsetToXml(db::Recordset& rs, const QString& rowName, QString* text) {
    return RecordsetToCsvAndXml(rs, nullptr, rowName, AppendTo(text));
}
