// Laying a report out: sections one under the other for each row, grown to hold their text,
// broken into pages under page headers and over page footers.
#include <algorithm>
#include <map>

#include "columns.h"
#include "platform/db/recordset.h"
#include "report.h"
#include "text.h"

namespace report {

namespace {

constexpr double kEps = 0.5;  // twips

// Sums and counts of the detail rows of a group or of the whole report.
struct Totals {
    std::map<QString, std::optional<db::Currency>> money;  // nullopt once a sum overflows
    std::map<QString, double> numbers;
    int count = 0;

    void Add(const QString& field, const QVariant& v) {
        const QString key = field.toLower();
        if (db::IsNull(v)) return;
        if (v.metaType() == QMetaType::fromType<db::Currency>()) {
            auto& sum = money.try_emplace(key, db::Currency()).first->second;
            if (sum) sum = sum->plus(v.value<db::Currency>());
        } else {
            numbers[key] += v.toDouble();
        }
    }
    // A money sum beyond the currency's range is the text "Overflow", shown as it is.
    QVariant Sum(const QString& field) const {
        const QString key = field.toLower();
        const auto m = money.find(key);
        const auto n = numbers.find(key);
        if (m == money.end()) return n == numbers.end() ? QVariant(0) : QVariant(n->second);
        std::optional<db::Currency> total = m->second;
        if (total && n != numbers.end()) {
            const auto more = db::Currency::fromDouble(n->second);
            total = more ? total->plus(*more) : std::nullopt;
        }
        return total ? QVariant::fromValue(*total) : QVariant(text::kOverflow);
    }
};

// Where an item's control stands in the report.
struct Key {
    int section = -1, control = -1;
};

// One section as it prints once, its items placed from the section's top.
struct Band {
    std::vector<Item> items;
    std::vector<Key> keys;
    double height = 0;

    void Add(Item item, Key key) {
        items.push_back(std::move(item));
        keys.push_back(key);
    }
};

bool Beside(const QRectF& a, const QRectF& b) {
    return a.left() < b.right() - kEps && b.left() < a.right() - kEps;
}

// Boxes grow to the height of their text; what stands below a box that grew moves down
// with it (the captions of a row, such as column headings, as one), and the section grows by
// as much as its lowest part moved.
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
            grow[i] = std::max(
                0.0, text::Height(it.text, TwipFont(it.font), it.box.width()) - it.box.height());
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

// Cuts `band` at the lowest height not above `room` that runs between lines of text and
// above anything else it would cross; the part below goes to `rest`, moved up to start at 0.
// False when nothing would stay above the cut.
bool Split(Band& band, double room, Band* rest) {
    const auto lines = [](const Item& i) {
        return i.kind == Item::Text && !i.text.isEmpty()
                   ? text::Wrap(i.text, TwipFont(i.font), i.box.width())
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

class Layouter {
  public:
    Layouter(const Report& r, const std::vector<Section>& sections, std::vector<Page>* pages)
        : r_(r), sections_(sections), pages_(pages) {}

    bool Run(QString* error) {
        error_ = error;
        for (const Section& s : sections_)
            for (const Control& c : s.controls)
                if (c.kind == Control::Function && !c.dataField.isEmpty() &&
                    !functionFields_.contains(c.dataField, Qt::CaseInsensitive))
                    functionFields_.push_back(c.dataField);
        pages_->clear();
        keys_.clear();
        freshTop_ = r_.TopMargin;
        for (const Section& s : sections_)
            if (s.kind == Section::PageHeader && s.visible) freshTop_ += s.height;
        // The report header opens the first page, above its page header.
        StartPage();
        pageTop_ = y_;
        Place(Section::ReportHeader, nullptr, -1, nullptr);
        PageHeader();
        db::Recordset* rs = r_.DataSource;
        const int rows = rs && rs->State() == db::adStateOpen ? rs->RecordCount() : 0;
        for (int row = 0; row < rows && ok_; ++row) {
            if (!r_.ChildRows) {
                Detail(rs, row, &all_);
                continue;
            }
            Totals group;
            Place(Section::GroupHeader, rs, row, nullptr);
            const std::unique_ptr<db::Recordset> child = r_.ChildRows(*rs, row);
            const int n = child && child->State() == db::adStateOpen ? child->RecordCount() : 0;
            for (int c = 0; c < n && ok_; ++c) {
                Detail(child.get(), c, &group);
                Count(child.get(), c, &all_);
            }
            Place(Section::GroupFooter, rs, row, &group);
        }
        Place(Section::ReportFooter, rs, rows - 1, &all_);
        FinishPage();
        // The page count is known only now.
        const QString count = QString::number(pages_->size());
        for (Page& p : *pages_)
            for (Item& i : p.items) i.text.replace(QStringLiteral("%P"), count);
        return ok_;
    }

    // How wide the texts of each control came out.
    TextWidths Printed() const {
        TextWidths widths(sections_.size());
        for (size_t s = 0; s < sections_.size(); ++s)
            widths[s].resize(sections_[s].controls.size());
        for (size_t p = 0; p < pages_->size(); ++p)
            for (size_t i = 0; i < keys_[p].size(); ++i) {
                const Item& item = (*pages_)[p].items[i];
                if (item.kind != Item::Text || item.text.isEmpty()) continue;
                const Key k = keys_[p][i];
                TextWidth& w = widths[k.section][k.control];
                const QFont font = TwipFont(item.font);
                if (sections_[k.section].controls[k.control].canGrow)
                    w.word = std::max(w.word, text::WidestWord(item.text, font));
                else
                    w.line = std::max(w.line, text::NaturalWidth(item.text, font));
            }
        return widths;
    }

  private:
    void Detail(const db::Recordset* rs, int row, Totals* totals) {
        Place(Section::Detail, rs, row, nullptr);
        Count(rs, row, totals);
    }
    void Count(const db::Recordset* rs, int row, Totals* totals) {
        ++totals->count;
        for (const QString& f : functionFields_) {
            const int i = rs->FieldIndex(f);
            if (i >= 0) totals->Add(f, rs->ValueAt(row, i));
        }
    }
    double FooterHeight() const {
        double h = 0;
        for (const Section& s : sections_)
            if (s.kind == Section::PageFooter && s.visible) h += s.height;
        return h;
    }
    double Bottom() const { return r_.PageHeight() - r_.BottomMargin - FooterHeight(); }

    void StartPage() {
        pages_->emplace_back();
        keys_.emplace_back();
        y_ = r_.TopMargin;
    }
    void PageHeader() {
        for (size_t s = 0; s < sections_.size(); ++s)
            if (sections_[s].kind == Section::PageHeader && sections_[s].visible)
                Append(Make(s, nullptr, -1, nullptr));
        pageTop_ = y_;
    }
    void FinishPage() {
        y_ = Bottom();
        for (size_t s = 0; s < sections_.size(); ++s)
            if (sections_[s].kind == Section::PageFooter && sections_[s].visible)
                Append(Make(s, nullptr, -1, nullptr));
    }
    void BreakPage() {
        FinishPage();
        StartPage();
        PageHeader();
    }
    void Place(Section::Kind kind, const db::Recordset* rs, int row, const Totals* totals) {
        for (size_t s = 0; s < sections_.size() && ok_; ++s)
            if (sections_[s].kind == kind && sections_[s].visible) Put(Make(s, rs, row, totals));
    }
    // A section that does not fit goes to the next page, unless it has a page to itself; one
    // taller than a page starts where it is and runs on over the pages it needs.
    void Put(Band band) {
        for (;;) {
            const double room = Bottom() - y_;
            if (band.height <= room + kEps) return Append(band);
            const bool fresh = y_ <= pageTop_ + kEps;
            if (!fresh && band.height <= Bottom() - freshTop_ + kEps) {
                BreakPage();
                continue;
            }
            Band rest;
            if (!Split(band, room, &rest)) {
                if (fresh) return Append(band);
                BreakPage();
                continue;
            }
            Append(band);
            BreakPage();
            band = std::move(rest);
        }
    }
    void Append(const Band& band) {
        for (size_t i = 0; i < band.items.size(); ++i) {
            Item item = band.items[i];
            item.box.translate(0, y_);
            pages_->back().items.push_back(std::move(item));
            keys_.back().push_back(band.keys[i]);
        }
        y_ += band.height;
    }
    QVariant Value(const Control& c, const db::Recordset* rs, int row) {
        const db::Recordset* source = rs ? rs : r_.DataSource;
        const int i =
            source && source->State() == db::adStateOpen ? source->FieldIndex(c.dataField) : -1;
        if (i < 0) {
            if (ok_ && error_)
                *error_ = QStringLiteral("The field \"%1\" of \"%2\" is not in the report's rows.")
                              .arg(c.dataField, c.name);
            ok_ = false;
            return QVariant();
        }
        if (row < 0 && source->RecordCount() > 0) row = 0;
        return row >= 0 && row < source->RecordCount() ? source->ValueAt(row, i) : QVariant();
    }
    Band Make(size_t sectionIndex, const db::Recordset* rs, int row, const Totals* totals) {
        const Section& s = sections_[sectionIndex];
        Band band;
        for (size_t ci = 0; ci < s.controls.size(); ++ci) {
            const Control& c = s.controls[ci];
            Item item;
            item.control = c.name;
            item.box = QRectF(r_.LeftMargin + c.left, c.top, c.width, c.height);
            item.font = c.font;
            item.alignment = c.alignment;
            QString text;
            switch (c.kind) {
                case Control::Line:
                    item.kind = Item::Line;
                    break;
                case Control::Label:
                    text = c.caption;
                    text.replace(QStringLiteral("%p"), QString::number(pages_->size()));
                    text.replace(QStringLiteral("%i"), r_.Title);
                    break;
                case Control::TextBox: {
                    // A hidden box still needs its column.
                    const QVariant v = Value(c, rs, row);
                    text = Report::FormatValue(v, c.format);
                    break;
                }
                case Control::Function:
                    if (totals)
                        text = Report::FormatValue(c.function == Control::Count
                                                       ? QVariant(totals->count)
                                                       : totals->Sum(c.dataField),
                                                   c.format);
                    break;
            }
            if (!c.visible) continue;
            item.text = text;
            band.Add(std::move(item), {int(sectionIndex), int(ci)});
        }
        Grow(band, s);
        return band;
    }

    const Report& r_;
    const std::vector<Section>& sections_;
    std::vector<Page>* pages_;
    std::vector<std::vector<Key>> keys_;  // beside each page's items
    QString* error_ = nullptr;
    bool ok_ = true;
    double y_ = 0;
    double pageTop_ = 0;   // below the page header
    double freshTop_ = 0;  // where a page after the first begins its rows
    Totals all_;
    QStringList functionFields_;  // each once
};

}  // namespace

bool Report::Layout(std::vector<Page>* pages, QString* error) const {
    if (!SetUpError.isEmpty()) {
        if (error) *error = SetUpError;
        return false;
    }
    // Once as designed, to learn how wide every control's texts are; again with the controls
    // placed to hold them.
    Layouter designed(*this, Sections, pages);
    if (!designed.Run(error)) return false;
    const std::vector<Section> fitted =
        FitColumns(Sections, designed.Printed(), PageWidth() - 2.0 * LeftMargin);
    Layouter fitting(*this, fitted, pages);
    return fitting.Run(error);
}

}  // namespace report
