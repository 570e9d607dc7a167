#include "bands.h"

#include <algorithm>

#include "text.h"

namespace report::detail {

namespace {

bool Beside(const QRectF& a, const QRectF& b) {
    return a.left() < b.right() - kEps && b.left() < a.right() - kEps;
}

const text::Face& FaceOf(const Item& i) { return i.face ? *i.face : text::Face::Of(i.font); }

}  // namespace

void Grow(Band& band, const Section& section) {
    const double designHeight = section.height;
    const auto caption = [&](size_t i) {
        return section.controls[band.keys[i].control].kind == Control::Label;
    };
    const size_t n = band.items.size();
    std::vector<double> grow(n, 0), down(n, 0);
    std::vector<size_t> order(n);
    double designBottom = designHeight;
    for (size_t i = 0; i < n; ++i) {
        order[i] = i;
        const Item& it = band.items[i];
        designBottom = std::max(designBottom, it.box.bottom());
        if (it.kind == Item::Text && !it.text.isEmpty())
            grow[i] =
                std::max(0.0, text::Height(it.text, FaceOf(it), it.box.width()) - it.box.height());
    }
    const auto top = [&band](size_t i) { return band.items[i].box.top(); };
    std::stable_sort(order.begin(), order.end(),
                     [&top](size_t a, size_t b) { return top(a) < top(b); });
    for (size_t row = 0, end = 0; row < n; row = end) {
        while (end < n && top(order[end]) < top(order[row]) + kEps) ++end;
        double captions = 0;
        for (size_t k = row; k < end; ++k) {
            const size_t i = order[k];
            for (size_t j = 0; j < row; ++j) {
                const QRectF& above = band.items[order[j]].box;
                if (above.bottom() <= band.items[i].box.top() + kEps &&
                    Beside(above, band.items[i].box))
                    down[i] = std::max(down[i], down[order[j]] + grow[order[j]]);
            }
            if (caption(i)) captions = std::max(captions, down[i]);
        }
        for (size_t k = row; k < end; ++k)
            if (caption(order[k])) down[order[k]] = captions;
    }
    double bottom = 0;
    for (size_t i = 0; i < n; ++i) {
        QRectF& box = band.items[i].box;
        box.translate(0, down[i]);
        box.setHeight(box.height() + grow[i]);
        bottom = std::max(bottom, box.bottom());
    }
    band.height = designHeight + std::max(0.0, bottom - designBottom);
}

bool Split(Band& band, double room, Band* rest) {
    const auto lines = [](const Item& i) {
        return i.kind == Item::Text && !i.text.isEmpty()
                   ? text::Wrap(i.text, FaceOf(i), i.box.width())
                   : std::vector<text::Line>();
    };
    // How many of `l` end above the cut.
    const auto above = [](const Item& i, const std::vector<text::Line>& l, double cut) {
        size_t n = 0;
        while (n < l.size() && i.box.top() + l[n].top + l[n].height <= cut + kEps) ++n;
        return n;
    };
    double cut = room;
    for (bool moved = true; moved;) {
        moved = false;
        for (const Item& i : band.items) {
            if (i.box.top() >= cut - kEps || i.box.bottom() <= cut + kEps) continue;
            const std::vector<text::Line> l = lines(i);
            const size_t n = above(i, l, cut);
            if (i.kind == Item::Text && n == l.size()) continue;  // only empty box crosses
            const double at = n > 0 ? i.box.top() + l[n - 1].top + l[n - 1].height : i.box.top();
            if (at < cut - kEps) {
                cut = at;
                moved = true;
            }
        }
    }
    if (cut <= kEps) return false;

    Band kept;
    kept.height = cut;
    *rest = Band();
    rest->height = band.height - cut;
    for (size_t k = 0; k < band.items.size(); ++k) {
        Item& i = band.items[k];
        const std::vector<text::Line> l = i.box.top() < cut - kEps && i.box.bottom() > cut + kEps
                                              ? lines(i)
                                              : std::vector<text::Line>();
        const size_t n = above(i, l, cut);
        if (i.box.bottom() <= cut + kEps ||
            (i.kind == Item::Text && n == l.size() && i.box.top() < cut - kEps)) {
            if (i.box.bottom() > cut) i.box.setBottom(cut);
            kept.Add(i, band.keys[k]);
        } else if (i.box.top() >= cut - kEps || n == 0) {
            i.box.translate(0, -std::min(cut, i.box.top()));
            rest->Add(i, band.keys[k]);
        } else {
            // A text cut between its lines: the first go above, the others start the rest.
            Item top = i, bottom = i;
            top.text = text::Part(i.text, l, 0, static_cast<int>(n));
            top.box.setBottom(cut);
            bottom.text = text::Part(i.text, l, static_cast<int>(n), -1);
            bottom.box = QRectF(i.box.left(), 0, i.box.width(), i.box.bottom() - cut);
            kept.Add(top, band.keys[k]);
            rest->Add(bottom, band.keys[k]);
        }
    }
    band = std::move(kept);
    return true;
}

}  // namespace report::detail
