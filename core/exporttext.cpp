#include "exporttext.h"

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

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

QString XmlDataroot(const QString& rows) {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + kLineBreak +
           QStringLiteral("<dataroot xmlns:od=\"urn:schemas-microsoft-com:officedata\">") +
           kLineBreak + rows + QStringLiteral("</dataroot>");
}

bool RecordsetToCsv(db::Recordset& rs, QString* text) {
    if (!rs.MoveFirst()) return false;
    QString out = CsvHeader(rs);
    for (; !rs.Eof(); rs.MoveNext()) {
        QStringList values;
        for (int i = 0; i < rs.FieldCount(); ++i) {
            db::Field f = rs.Fields(i);
            values << (f.IsNull() ? QStringLiteral("(NULL)") : CsvValue(f.Text()));
        }
        out += values.join(u',') + kLineBreak;
    }
    *text = out;
    return true;
}

bool RecordsetToXml(db::Recordset& rs, const QString& rowName, QString* text) {
    text->clear();
    if (rowName.isEmpty()) return true;
    if (!rs.MoveFirst()) return false;
    QStringList elements;
    for (int i = 0; i < rs.FieldCount(); ++i) elements << rs.Fields(i).Name().replace(u' ', u'_');
    QString out;
    for (; !rs.Eof(); rs.MoveNext()) {
        out += u'<' + rowName + u'>' + kLineBreak;
        for (int i = 0; i < rs.FieldCount(); ++i) {
            db::Field f = rs.Fields(i);
            const QString& e = elements[i];
            out += u'<' + e + u'>' + (f.IsNull() ? QString() : XmlEscape(f.Text())) +
                   QStringLiteral("</") + e + u'>' + kLineBreak;
        }
        out += QStringLiteral("</") + rowName + u'>' + kLineBreak;
    }
    *text = XmlDataroot(out);
    return true;
}
