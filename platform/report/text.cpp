#include "text.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

#include "report.h"

namespace report {

QFont TwipFont(const QFont& font) {
    static const bool substituted = [] {
        // What the layouts ask for resolves to a face with Arial's widths wherever it is
        // installed, not to whatever the system's font configuration offers in its place.
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        return true;
    }();
    (void)substituted;
    QFont twips = font;
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    twips.setPixelSize(std::max(1, qRound(points * 20)));
    twips.setHintingPreference(QFont::PreferNoHinting);
    return twips;
}

namespace text {

namespace {

// The text with its line breaks (CR, LF, CR LF) as the layout's own, and for each of its
// characters the place it came from.
struct Broken {
    QString text;
    std::vector<int> origin;
};

Broken Break(const QString& text) {
    Broken b;
    b.text.reserve(text.size());
    b.origin.reserve(text.size() + 1);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\n' && i > 0 && text.at(i - 1) == u'\r') continue;
        b.text += c == u'\r' || c == u'\n' ? QChar(QChar::LineSeparator) : c;
        b.origin.push_back(i);
    }
    b.origin.push_back(text.size());
    return b;
}

bool HasBreak(const QString& text) { return text.contains(u'\r') || text.contains(u'\n'); }

QTextOption Option(Qt::Alignment alignment) {
    QTextOption o(alignment & Qt::AlignHorizontal_Mask);
    o.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return o;
}

// Lays `layout` out in lines of `width`, one under the other from 0.
std::vector<Line> Lay(QTextLayout& layout, const std::vector<int>& origin, double width) {
    std::vector<Line> lines;
    double y = 0;
    layout.beginLayout();
    for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
        l.setLeadingIncluded(true);
        l.setLineWidth(width);
        l.setPosition(QPointF(0, y));
        lines.push_back({origin[l.textStart()], y, l.height()});
        y += l.height();
    }
    layout.endLayout();
    return lines;
}

double OneLine(const QFont& twipFont) {
    static QHash<QString, double> heights;
    const QString key = twipFont.key();
    auto it = heights.find(key);
    if (it == heights.end()) {
        QTextLayout layout(QStringLiteral("X"), twipFont);
        it = heights.insert(key, Lay(layout, {0, 1}, 1e6).front().height);
    }
    return *it;
}

}  // namespace

double NaturalWidth(const QString& text, const QFont& twipFont) {
    const QFontMetricsF m(twipFont);
    if (!HasBreak(text)) return m.horizontalAdvance(text);
    double widest = 0;
    for (const QString& line : Break(text).text.split(QChar(QChar::LineSeparator)))
        widest = std::max(widest, m.horizontalAdvance(line));
    return widest;
}

double WidestWord(const QString& text, const QFont& twipFont) {
    const QFontMetricsF m(twipFont);
    double widest = 0;
    int start = -1;
    for (int i = 0; i <= text.size(); ++i) {
        const bool space = i == text.size() || text.at(i).isSpace();
        if (!space && start < 0) start = i;
        if (space && start >= 0) {
            widest = std::max(widest, m.horizontalAdvance(text.mid(start, i - start)));
            start = -1;
        }
    }
    return widest;
}

std::vector<Line> Wrap(const QString& text, const QFont& twipFont, double width) {
    const Broken b = Break(text);
    QTextLayout layout(b.text, twipFont);
    layout.setTextOption(Option(Qt::AlignLeft));
    return Lay(layout, b.origin, width);
}

double Height(const QString& text, const QFont& twipFont, double width) {
    // Most texts are one line that fits: no need to lay them out.
    if (!HasBreak(text) && QFontMetricsF(twipFont).horizontalAdvance(text) < width)
        return OneLine(twipFont);
    const std::vector<Line> lines = Wrap(text, twipFont, width);
    return lines.empty() ? OneLine(twipFont) : lines.back().top + lines.back().height;
}

QString Part(const QString& text, const std::vector<Line>& lines, int first, int last) {
    const int from = lines.at(first).start;
    const int to =
        last < 0 || last >= static_cast<int>(lines.size()) ? text.size() : lines.at(last).start;
    QString part = text.mid(from, to - from);
    while (!part.isEmpty() && part.back().isSpace()) part.chop(1);
    return part;
}

void Draw(QPainter& painter, const QString& text, const QFont& twipFont, const QRectF& box,
          Qt::Alignment alignment) {
    const Broken b = Break(text);
    QTextLayout layout(b.text, twipFont);
    layout.setTextOption(Option(alignment));
    Lay(layout, b.origin, box.width());
    layout.draw(&painter, box.topLeft());
}

}  // namespace text
}  // namespace report
