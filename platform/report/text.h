#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

// How an item's text is measured and drawn. Both go through the same font, sized in twips,
// and the same line breaking, so a box that holds its text on the page holds it on every
// device.
namespace report::text {

// A line of a text as it wraps in a box: where it starts in the text, its top and height.
struct Line {
    int start = 0;
    double top = 0, height = 0;
};

// The widest line of `text` left unwrapped (its own line breaks kept).
double NaturalWidth(const QString& text, const QFont& twipFont);
// The widest word: what a wrapping box cannot be narrower than without breaking a word.
double WidestWord(const QString& text, const QFont& twipFont);
// The lines of `text` wrapped at `width`.
std::vector<Line> Wrap(const QString& text, const QFont& twipFont, double width);
// The height those lines take.
double Height(const QString& text, const QFont& twipFont, double width);
// The text of lines [first, last) of a wrapped text, `last` -1 for the end.
QString Part(const QString& text, const std::vector<Line>& lines, int first, int last);

// What a money sum or amount beyond the currency's range prints.
inline const QString kOverflow = QStringLiteral("Overflow");

void Draw(QPainter& painter, const QString& text, const QFont& twipFont, const QRectF& box,
          Qt::Alignment alignment);

}  // namespace report::text
