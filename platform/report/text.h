#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

class QPainter;

// How an item's text is measured and drawn. Both go through the same font, sized in twips,
// and the same line breaking, so a box that holds its text on the page holds it on every
// device.
namespace report::text {

// A font as the reports measure and draw it. Kerning is left out, so that a line is as wide
// as its letters: most texts are then measured and drawn by adding up letters known once,
// without shaping each of them again.
class Face {
  public:
    // The face of a control's font (in points); made once and kept.
    static const Face& Of(const QFont& font);

    const QFont& font() const { return font_; }
    double LineHeight() const { return lineHeight_; }
    double Ascent() const { return ascent_; }
    const QRawFont& raw() const { return raw_; }

    // The width of `text` on one line by adding up its letters; negative when that cannot be
    // done (a line break, a tab, a letter that needs shaping or another font).
    double QuickWidth(const QString& text) const;
    // The widest line of `text` left unwrapped (its own line breaks kept).
    double NaturalWidth(const QString& text) const;
    // The widest word: what a wrapping box cannot be narrower than without breaking a word.
    double WidestWord(const QString& text) const;
    // The glyph and advance of a letter that QuickWidth can measure.
    std::optional<std::pair<quint32, float>> Quick(QChar c) const;

  private:
    explicit Face(const QFont& twips);
    struct Letter {
        quint32 glyph = 0;
        float advance = -1;  // not looked up yet
        bool quick = false;
    };
    const Letter& At(char16_t c) const;

    QFont font_;
    QFontMetricsF metrics_;
    QRawFont raw_;
    double lineHeight_ = 0, ascent_ = 0;
    mutable std::vector<Letter> letters_;  // by code, for the letters below kQuickEnd
};

// A line of a text as it wraps in a box: where it starts in the text, its top and height.
struct Line {
    int start = 0;
    double top = 0, height = 0;
};

// The lines of `text` wrapped at `width`.
std::vector<Line> Wrap(const QString& text, const Face& face, double width);
// The height those lines take.
double Height(const QString& text, const Face& face, double width);
// The text of lines [first, last) of a wrapped text, `last` -1 for the end.
QString Part(const QString& text, const std::vector<Line>& lines, int first, int last);

// What a money sum or amount beyond the currency's range prints.
inline const QString kOverflow = QStringLiteral("Overflow");

// The glyphs of a page gathered by font, drawn in one go: a device that writes each drawing
// call on its own (a PDF) then writes a page in a few.
class Glyphs {
  public:
    void Add(const QString& text, const Face& face, const QRectF& box, Qt::Alignment alignment);
    void Draw(QPainter& painter);

  private:
    struct Run {
        QRawFont font;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    Run& RunOf(const QRawFont& font);
    void AddRun(const QGlyphRun& run, const QPointF& at);
    std::vector<Run> runs_;
};

}  // namespace report::text
