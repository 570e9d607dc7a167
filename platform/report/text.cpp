#include "text.h"

#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <memory>

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
    twips.setKerning(false);
    return twips;
}

namespace text {

namespace {

// Letters below this are looked up once each; the rest always go through shaping.
constexpr char16_t kQuickEnd = 0x3000;

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

// Letters whose width on a line does not depend on their neighbours: no marks, controls or
// formatting characters, and scripts drawn letter by letter.
bool Independent(QChar c) {
    if (c.isSurrogate() || c == u'\t') return false;
    switch (c.category()) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return false;
        default:
            break;
    }
    switch (c.script()) {
        case QChar::Script_Common:
        case QChar::Script_Latin:
        case QChar::Script_Greek:
        case QChar::Script_Cyrillic:
            return true;
        default:
            return false;
    }
}

}  // namespace

Face::Face(const QFont& twips) : font_(twips), metrics_(twips), raw_(QRawFont::fromFont(twips)) {
    QTextLayout layout(QStringLiteral("X"), font_);
    const std::vector<Line> one = Lay(layout, {0, 1}, 1e6);
    lineHeight_ = one.front().height;
    ascent_ = metrics_.ascent();
}

const Face& Face::Of(const QFont& font) {
    // A report uses a handful of fonts; they are compared by value, not by their text key.
    // Never freed: at exit they would go after the font database they were made from.
    static auto* faces = new std::vector<std::pair<QFont, std::unique_ptr<Face>>>;
    for (const auto& [f, face] : *faces)
        if (f == font) return *face;
    faces->emplace_back(font, std::unique_ptr<Face>(new Face(TwipFont(font))));
    return *faces->back().second;
}

const Face::Letter& Face::At(char16_t c) const {
    if (letters_.empty()) letters_.resize(kQuickEnd);
    Letter& l = letters_[c];
    if (l.advance < 0) {
        const QChar ch(c);
        l.advance = static_cast<float>(metrics_.horizontalAdvance(ch));
        const QList<quint32> glyphs = raw_.glyphIndexesForString(QString(ch));
        l.glyph = glyphs.size() == 1 ? glyphs.front() : 0;
        l.quick = l.glyph != 0 && Independent(ch);
    }
    return l;
}

double Face::QuickWidth(const QString& text) const {
    double width = 0;
    for (const QChar c : text) {
        if (c.unicode() >= kQuickEnd) return -1;
        const Letter& l = At(c.unicode());
        if (!l.quick) return -1;
        width += l.advance;
    }
    return width;
}

std::optional<std::pair<quint32, float>> Face::Quick(QChar c) const {
    if (c.unicode() >= kQuickEnd) return std::nullopt;
    const Letter& l = At(c.unicode());
    if (!l.quick) return std::nullopt;
    return std::pair{l.glyph, l.advance};
}

double Face::NaturalWidth(const QString& text) const {
    const double quick = QuickWidth(text);
    if (quick >= 0) return quick;
    if (!HasBreak(text)) return metrics_.horizontalAdvance(text);
    double widest = 0;
    for (const QString& line : Break(text).text.split(QChar(QChar::LineSeparator)))
        widest = std::max(widest, metrics_.horizontalAdvance(line));
    return widest;
}

double Face::WidestWord(const QString& text) const {
    double widest = 0;
    int start = -1;
    for (int i = 0; i <= text.size(); ++i) {
        const bool space = i == text.size() || text.at(i).isSpace();
        if (!space && start < 0) start = i;
        if (space && start >= 0) {
            const QString word = text.mid(start, i - start);
            const double quick = QuickWidth(word);
            widest = std::max(widest, quick >= 0 ? quick : metrics_.horizontalAdvance(word));
            start = -1;
        }
    }
    return widest;
}

std::vector<Line> Wrap(const QString& text, const Face& face, double width) {
    const Broken b = Break(text);
    QTextLayout layout(b.text, face.font());
    layout.setTextOption(Option(Qt::AlignLeft));
    return Lay(layout, b.origin, width);
}

double Height(const QString& text, const Face& face, double width) {
    // Most texts are one line that fits: no need to lay them out.
    const double quick = face.QuickWidth(text);
    if (quick >= 0 ? quick < width : !HasBreak(text) && face.NaturalWidth(text) < width)
        return face.LineHeight();
    const std::vector<Line> lines = Wrap(text, face, width);
    return lines.empty() ? face.LineHeight() : lines.back().top + lines.back().height;
}

QString Part(const QString& text, const std::vector<Line>& lines, int first, int last) {
    const int from = lines.at(first).start;
    const int to =
        last < 0 || last >= static_cast<int>(lines.size()) ? text.size() : lines.at(last).start;
    QString part = text.mid(from, to - from);
    while (!part.isEmpty() && part.back().isSpace()) part.chop(1);
    return part;
}

Glyphs::Run& Glyphs::RunOf(const QRawFont& font) {
    for (Run& r : runs_)
        if (r.font == font) return r;
    runs_.push_back({font, {}, {}});
    return runs_.back();
}

void Glyphs::AddRun(const QGlyphRun& run, const QPointF& at) {
    Run& r = RunOf(run.rawFont());
    r.glyphs += run.glyphIndexes();
    for (const QPointF& p : run.positions()) r.positions.push_back(p + at);
}

void Glyphs::Add(const QString& text, const Face& face, const QRectF& box,
                 Qt::Alignment alignment) {
    // A text that fits on one line and has no trailing blank (which a layout leaves out when
    // it aligns) is placed letter by letter, exactly where a layout would put it.
    Run& run = RunOf(face.raw());
    const qsizetype start = run.glyphs.size();
    const double y = box.top() + face.Ascent();
    double width = 0;
    bool quick = !text.isEmpty() && !text.back().isSpace();
    for (qsizetype i = 0; quick && i < text.size(); ++i) {
        const auto letter = face.Quick(text.at(i));
        quick = letter.has_value();
        if (!quick) break;
        run.glyphs.push_back(letter->first);
        run.positions.push_back(QPointF(width, y));
        width += letter->second;
    }
    if (quick && width < box.width()) {
        double x = box.left();
        if (alignment & Qt::AlignRight)
            x = box.right() - width;
        else if (alignment & Qt::AlignHCenter)
            x = box.left() + (box.width() - width) / 2;
        for (qsizetype i = start; i < run.glyphs.size(); ++i) run.positions[i].rx() += x;
        return;
    }
    run.glyphs.resize(start);
    run.positions.resize(start);
    const Broken b = Break(text);
    QTextLayout layout(b.text, face.font());
    layout.setTextOption(Option(alignment));
    Lay(layout, b.origin, box.width());
    for (const QGlyphRun& r : layout.glyphRuns()) AddRun(r, box.topLeft());
}

void Glyphs::Draw(QPainter& painter) {
    for (Run& r : runs_) {
        if (r.glyphs.isEmpty()) continue;
        QGlyphRun run;
        run.setRawFont(r.font);
        run.setGlyphIndexes(r.glyphs);
        run.setPositions(r.positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    runs_.clear();
}

}  // namespace text
}  // namespace report
