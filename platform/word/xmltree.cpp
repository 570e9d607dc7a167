#include "xmltree.h"

#include <QRegularExpression>

namespace word::detail {

QStringList Lines(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return text.split(breaks);
}

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
        t.text().set(lines[i].toUtf8().constData());
    }
}

}  // namespace word::detail
