#include "columns.h"

#include <algorithm>
#include <map>

namespace report {

namespace {

constexpr double kGap = 120;  // twips kept between the texts of neighbours
constexpr double kSlack = 2;  // so that a text given its own width never wraps

enum class Hang { Left, Right, Centre };

Hang HangOf(const Control& c) {
    if (c.alignment & Qt::AlignRight) return Hang::Right;
    if (c.alignment & Qt::AlignHCenter) return Hang::Centre;
    return Hang::Left;
}

struct Span {
    double left, right;
};

Span Extent(Hang hang, double x, double width) {
    switch (hang) {
        case Hang::Left:
            return {x, x + width};
        case Hang::Right:
            return {x - width, x};
        case Hang::Centre:
            break;
    }
    return {x - width / 2, x + width / 2};
}

// Design x positions moved right (or left): everything at or after a cut moves by its amount.
class Shifts {
  public:
    void Add(double cut, double by) { at_[cut] += by; }
    double operator()(double x) const {
        double moved = 0;
        for (const auto& [cut, by] : at_) {
            if (cut > x) break;
            moved += by;
        }
        return moved;
    }

  private:
    std::map<double, double> at_;
};

struct Box {
    Control* control;
    Hang hang;
    double anchor;       // the design x it hangs from
    double width;        // what it takes
    double least;        // what its text cannot do without; 0 when it prints nothing
    double top, bottom;  // design, in its section

    Span At(const Shifts& s, double w) const { return Extent(hang, anchor + s(anchor), w); }
};

// Neighbours side by side in one section, `a` designed left of `b`.
struct Pair {
    Box* a;
    Box* b;
};

// A wrapping box asks for its widest word when `wholeWords`, so that a word (an order number)
// is not broken where there is room; else only for what it was designed with.
Box MakeBox(Control& c, const TextWidth& printed, bool wholeWords) {
    Box b{
        &c, HangOf(c), 0, double(c.width), 0, double(c.top), double(c.top + std::max(c.height, 1))};
    b.anchor = b.hang == Hang::Left    ? c.left
               : b.hang == Hang::Right ? c.left + c.width
                                       : c.left + c.width / 2.0;
    if (c.canGrow) {
        b.least = printed.word <= 0 ? 0
                  : wholeWords      ? printed.word + kSlack
                                    : std::min(b.width, printed.word + kSlack);
        b.width = std::max(b.width, b.least);
    } else {
        b.least = printed.line > 0 ? printed.line + kSlack : 0;
        b.width = std::max(b.width, b.least);
    }
    return b;
}

// Moves neighbours apart until no text runs into the next.
void Separate(const std::vector<Pair>& pairs, Shifts& s) {
    // A move only ever widens the gaps it straddles, so one pass settles every pair.
    for (const Pair& p : pairs) {
        if (p.a->least <= 0 || p.b->least <= 0) continue;
        const double over = p.a->At(s, p.a->least).right + kGap - p.b->At(s, p.b->least).left;
        if (over <= 0.5) continue;
        double cut = p.b->control->left;
        if (p.a->anchor >= cut) cut = p.a->anchor + 1;
        if (p.b->anchor >= cut) s.Add(cut, over);
    }
}

// Narrows wrapping boxes left of whatever runs past `right`, the one with most to spare
// first; false when none could give.
bool Narrow(std::vector<std::vector<Box>>& boxes, double right, Shifts& s) {
    bool narrowed = false;
    for (const std::vector<Box>& section : boxes)
        for (const Box& b : section) {
            double over = b.At(s, b.width).right - right;
            std::vector<Box*> wrapping;
            for (std::vector<Box>& other : boxes)
                for (Box& w : other)
                    if (w.control->canGrow && w.hang == Hang::Left && w.width > w.least &&
                        w.anchor + w.control->width <= b.anchor)
                        wrapping.push_back(&w);
            std::sort(wrapping.begin(), wrapping.end(), [](const Box* x, const Box* y) {
                return x->width - x->least > y->width - y->least;
            });
            for (Box* w : wrapping) {
                if (over <= 0.5) break;
                const double give = std::min(over, w->width - w->least);
                w->width -= give;
                s.Add(w->anchor + w->control->width, -give);
                over -= give;
                narrowed = true;
            }
        }
    return narrowed;
}

// Trims boxes that still reach into their neighbour, down to no less than their text. A
// wrapping box, whose lines may fill it to its edge, keeps the gap between texts too.
void Trim(const std::vector<Pair>& pairs, const Shifts& s) {
    for (const Pair& p : pairs) {
        const Span a = p.a->At(s, p.a->width);
        const Span b = p.b->At(s, p.b->width);
        const double gap = p.a->control->canGrow && p.b->least > 0 ? kGap : 0;
        if (a.right + gap <= b.left) continue;
        double aRight = a.right;
        if (p.a->hang == Hang::Left) {
            aRight = std::max({p.a->At(s, p.a->least).right, b.left - gap, a.left});
            p.a->width = aRight - a.left;
        }
        if (aRight > b.left && p.b->hang == Hang::Right)
            p.b->width = b.right - std::clamp(aRight, b.left, p.b->At(s, p.b->least).left);
    }
}

// False when a text would still run past `right`.
bool Fit(std::vector<Section>& sections, const TextWidths& widths, double right, bool wholeWords) {
    std::vector<std::vector<Box>> boxes(sections.size());
    std::vector<Pair> pairs;
    for (size_t s = 0; s < sections.size(); ++s) {
        if (!sections[s].visible) continue;
        std::vector<Control>& controls = sections[s].controls;
        for (size_t c = 0; c < controls.size(); ++c) {
            if (controls[c].kind == Control::Line || !controls[c].visible) continue;
            const bool measured = s < widths.size() && c < widths[s].size();
            boxes[s].push_back(
                MakeBox(controls[c], measured ? widths[s][c] : TextWidth(), wholeWords));
        }
        for (Box& a : boxes[s])
            for (Box& b : boxes[s])
                if (a.control->left < b.control->left && a.top < b.bottom && b.top < a.bottom)
                    pairs.push_back({&a, &b});
    }

    Shifts shifts;
    Separate(pairs, shifts);
    for (int round = 0; round < 3 && Narrow(boxes, right, shifts); ++round) Separate(pairs, shifts);
    Trim(pairs, shifts);

    bool inside = true;
    for (const std::vector<Box>& section : boxes)
        for (const Box& b : section) {
            const Span at = b.At(shifts, b.width);
            if (b.least > 0 && at.right > right + 0.5) inside = false;
            b.control->left = qRound(at.left);
            b.control->width = qRound(at.right) - b.control->left;
        }
    for (Section& section : sections)
        for (Control& c : section.controls) {
            if (c.kind != Control::Line) continue;
            const double end = c.left + c.width;
            const int left = qRound(c.left + shifts(c.left));
            c.width = qRound(std::min(end + shifts(end), std::max(right, end))) - left;
            c.left = left;
        }
    return inside;
}

}  // namespace

std::vector<Section> FitColumns(std::vector<Section> sections, const TextWidths& widths,
                                double right) {
    std::vector<Section> fitted = sections;
    if (Fit(fitted, widths, right, true)) return fitted;
    // No room for every word whole: wrapping boxes keep to what they were designed with.
    Fit(sections, widths, right, false);
    return sections;
}

}  // namespace report
