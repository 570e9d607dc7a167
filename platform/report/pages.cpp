// Breaking a report into pages: its bands one under the other, under page headers and over
// page footers, a band that does not fit going to the next page or, taller than a page, cut.
// Only where each band goes is kept; a page's items are made again when it is asked for.
#include "pages.h"

#include <QLocale>
#include <optional>

#include "bands.h"
#include "columns.h"
#include "rows.h"
#include "text.h"

namespace report {

using detail::Band;
using detail::kEps;

struct Pages::Impl {
    Impl(const Report& report, const Sheet& s) : r(report), sheet(s), rows(report) {}

    const Report& r;
    Sheet sheet;
    detail::Rows rows;

    // Where a band goes: its entry, made again when its page is, or a part of one that was cut.
    struct Placed {
        int entry;
        int part;  // in `parts`, or -1 for the whole band
        double y;
    };
    struct PageAt {
        size_t first;  // in `placed`
        // The page headers: before which of the page's bands each goes, and where.
        std::vector<std::pair<size_t, double>> headers;
    };
    bool paging = false, done = false;
    std::vector<Section> fitted;
    std::vector<std::vector<Item>> items;  // each control's item as it stands in its section
    std::vector<std::vector<double>> captionWidths;  // each label's, negative when not quick
    std::vector<Placed> placed;
    std::vector<PageAt> pages;
    std::vector<Band> parts;
    size_t next = 0;  // the next entry to place
    double y = 0, pageTop = 0, freshTop = 0, footerHeight = 0;

    // The sheet as the report is laid out on it: its own twips, unless the report had to be
    // shrunk to fit (`zoom` below 1) and is laid out on a sheet as much larger.
    double zoom = 1, left = 0, top = 0, bottom = 0;

    double Bottom() const { return bottom - footerHeight; }
    int PageNumber() const { return static_cast<int>(pages.size()); }

    Band MakeBand(int section, qsizetype texts, int page) const;
    double Height(const detail::Entry& e) const;
    void StartPaging();
    bool Paginate(const QDeadlineTimer& deadline);
    void StartPage();
    void PageHeader();
    void BreakPage() {
        StartPage();
        PageHeader();
    }
    void Put(int entry);
    void Place(int entry, int part, double height) {
        placed.push_back({entry, part, y});
        y += height;
    }
    void Append(Page& page, const Band& band, double at) const;
    void Append(Page& page, Band&& band, double at) const;
};

Band Pages::Impl::MakeBand(int section, qsizetype texts, int page) const {
    const Section& s = fitted[section];
    Band band;
    band.items.reserve(s.controls.size());
    band.keys.reserve(s.controls.size());
    for (size_t ci = 0; ci < s.controls.size(); ++ci) {
        const Control& c = s.controls[ci];
        if (!c.visible) continue;
        Item item = items[section][ci];
        switch (c.kind) {
            case Control::Line:
                break;
            case Control::Label:
                item.text = c.caption;
                item.text.replace(QStringLiteral("%p"), QString::number(page));
                item.text.replace(QStringLiteral("%i"), r.Title);
                break;
            case Control::TextBox:
            case Control::Function:
                if (texts >= 0) item.text = rows.texts[static_cast<size_t>(texts) + ci];
                break;
        }
        band.Add(std::move(item), {section, int(ci)});
    }
    detail::Grow(band, s);
    return band;
}

// A band whose texts all fit their boxes on one line is as high as its section; only one
// with a text that wraps or a box too low for a line is made to be measured.
double Pages::Impl::Height(const detail::Entry& e) const {
    const Section& s = fitted[e.section];
    for (size_t ci = 0; ci < s.controls.size(); ++ci) {
        const Control& c = s.controls[ci];
        if (!c.visible || c.kind == Control::Line) continue;
        double width;
        if (c.kind == Control::Label) {
            if (c.caption.isEmpty()) continue;
            width = captionWidths[e.section][ci];
        } else {
            const size_t t = static_cast<size_t>(e.text) + ci;
            if (rows.texts[t].isEmpty()) continue;
            width = rows.widths[t];
        }
        if (width < 0 || width >= c.width || rows.faces[e.section][ci]->LineHeight() > c.height)
            return MakeBand(e.section, e.text, PageNumber()).height;
    }
    return s.height;
}

void Pages::Impl::StartPaging() {
    paging = true;
    done = false;
    // Columns that cannot be narrowed enough for the sheet are shrunk with the whole page, so
    // that every one of them prints.
    const double width = sheet.Width() - sheet.left - sheet.right;
    double room = width;
    fitted = FitColumns(r.Sections, rows.printed, room);
    for (int round = 0; round < 4; ++round) {
        double extent = 0;
        for (const Section& section : fitted)
            for (const Control& c : section.controls)
                if (section.visible && c.visible && c.kind != Control::Line)
                    extent = std::max(extent, double(c.left + c.width));
        if (extent <= room + kEps) break;
        room = extent;
        fitted = FitColumns(r.Sections, rows.printed, room);
    }
    zoom = width > 0 ? std::min(1.0, width / room) : 1;
    left = sheet.left / zoom;
    top = sheet.top / zoom;
    bottom = (sheet.Height() - sheet.bottom) / zoom;
    captionWidths.assign(fitted.size(), {});
    items.assign(fitted.size(), {});
    freshTop = top;
    footerHeight = 0;
    for (size_t s = 0; s < fitted.size(); ++s) {
        for (size_t ci = 0; ci < fitted[s].controls.size(); ++ci) {
            const Control& c = fitted[s].controls[ci];
            Item item;
            item.kind = c.kind == Control::Line ? Item::Line : Item::Text;
            item.control = c.name;
            item.box = QRectF(left + c.left, c.top, c.width, c.height);
            item.font = c.font;
            item.face = rows.faces[s][ci];
            item.alignment = c.alignment;
            items[s].push_back(std::move(item));
            captionWidths[s].push_back(rows.faces[s][ci]->QuickWidth(detail::Caption(c, r.Title)));
        }
        if (!fitted[s].visible) continue;
        if (fitted[s].kind == Section::PageHeader) freshTop += fitted[s].height;
        if (fitted[s].kind == Section::PageFooter) footerHeight += fitted[s].height;
    }
    placed.clear();
    pages.clear();
    parts.clear();
    next = 0;
    // The report header opens the first page, above its page header.
    StartPage();
    pageTop = y;
    if (rows.headerEntries == 0) PageHeader();
}

bool Pages::Impl::Paginate(const QDeadlineTimer& deadline) {
    for (int n = 0; next < rows.entries.size(); ++n) {
        if (n == 256) {
            if (deadline.hasExpired()) return false;
            n = 0;
        }
        Put(static_cast<int>(next));
        if (++next == static_cast<size_t>(rows.headerEntries)) PageHeader();
    }
    done = true;
    return true;
}

void Pages::Impl::StartPage() {
    pages.push_back({placed.size(), {}});
    y = top;
}

void Pages::Impl::PageHeader() {
    pages.back().headers.emplace_back(placed.size(), y);
    for (size_t s = 0; s < fitted.size(); ++s)
        if (fitted[s].kind == Section::PageHeader && fitted[s].visible)
            y += MakeBand(int(s), rows.pageTexts[s], PageNumber()).height;
    pageTop = y;
}

// A band that does not fit goes to the next page, unless it has a page to itself; one taller
// than a page starts where it is and runs on over the pages it needs.
void Pages::Impl::Put(int entry) {
    const detail::Entry& e = rows.entries[static_cast<size_t>(entry)];
    double height = Height(e);
    int part = -1;
    std::optional<Band> band;
    for (;;) {
        const double room = Bottom() - y;
        if (height <= room + kEps) return Place(entry, part, height);
        const bool fresh = y <= pageTop + kEps;
        if (!fresh && height <= Bottom() - freshTop + kEps) {
            BreakPage();
            continue;
        }
        if (!band) band = MakeBand(e.section, e.text, PageNumber());
        Band rest;
        if (!detail::Split(*band, room, &rest)) {
            if (fresh) return Place(entry, part, height);
            BreakPage();
            continue;
        }
        parts.push_back(*band);
        Place(entry, static_cast<int>(parts.size()) - 1, band->height);
        BreakPage();
        height = rest.height;
        parts.push_back(std::move(rest));
        part = static_cast<int>(parts.size()) - 1;
        band = parts.back();
    }
}

void Pages::Impl::Append(Page& page, const Band& band, double at) const {
    for (const Item& i : band.items) {
        page.items.push_back(i);
        page.items.back().box.translate(0, at);
    }
}

void Pages::Impl::Append(Page& page, Band&& band, double at) const {
    for (Item& i : band.items) {
        i.box.translate(0, at);
        page.items.push_back(std::move(i));
    }
}

Pages::Pages(const Report& report) : Pages(report, report.OwnSheet()) {}

Pages::Pages(const Report& report, const Sheet& sheet)
    : d_(std::make_unique<Impl>(report, sheet)) {}

Pages::~Pages() = default;

const Report& Pages::report() const { return d_->r; }
const Sheet& Pages::sheet() const { return d_->sheet; }

void Pages::SetSheet(const Sheet& sheet) {
    d_->sheet = sheet;
    d_->paging = d_->done = false;
}

bool Pages::Advance(QDeadlineTimer deadline) {
    if (!d_->rows.Finished() && !d_->rows.Advance(deadline)) return false;
    if (!d_->rows.error.isEmpty()) return true;
    if (!d_->paging) d_->StartPaging();
    return d_->done || d_->Paginate(deadline);
}

bool Pages::Finished() const { return !d_->rows.error.isEmpty() || (d_->paging && d_->done); }

QString Pages::Error() const { return d_->rows.error; }

QString Pages::Doing() const {
    const QLocale l;
    if (!d_->rows.Finished())
        return d_->rows.Count() == 0
                   ? QStringLiteral("Reading the report's rows")
                   : QStringLiteral("Reading row %1 of %2")
                         .arg(l.toString(d_->rows.Read()), l.toString(d_->rows.Count()));
    if (Finished()) return QString();
    return QStringLiteral("Laying out page %1").arg(l.toString(d_->PageNumber()));
}

double Pages::Done() const {
    const detail::Rows& rows = d_->rows;
    if (!rows.Finished()) return rows.Count() > 0 ? 0.8 * rows.Read() / rows.Count() : 0;
    if (Finished()) return 1;
    return 0.8 + (rows.entries.empty() || !d_->paging
                      ? 0
                      : 0.2 * double(d_->next) / double(rows.entries.size()));
}

int Pages::Count() const { return Finished() ? static_cast<int>(d_->pages.size()) : 0; }

Page Pages::Make(int index) const {
    const Impl& d = *d_;
    Page page;
    if (index < 0 || index >= Count()) return page;
    page.scale = d.zoom;
    const Impl::PageAt& at = d.pages[static_cast<size_t>(index)];
    const size_t end = static_cast<size_t>(index) + 1 < d.pages.size()
                           ? d.pages[static_cast<size_t>(index) + 1].first
                           : d.placed.size();
    page.items.reserve((end - at.first) * 10 + 20);
    const auto headers = [&](size_t before) {
        for (const auto& [where, y] : at.headers) {
            if (where != before) continue;
            double top = y;
            for (size_t s = 0; s < d.fitted.size(); ++s) {
                if (d.fitted[s].kind != Section::PageHeader || !d.fitted[s].visible) continue;
                Band band = d.MakeBand(int(s), d.rows.pageTexts[s], index + 1);
                const double height = band.height;
                d.Append(page, std::move(band), top);
                top += height;
            }
        }
    };
    for (size_t k = at.first; k < end; ++k) {
        headers(k);
        const Impl::Placed& p = d.placed[k];
        if (p.part >= 0) {
            d.Append(page, d.parts[static_cast<size_t>(p.part)], p.y);
        } else {
            const detail::Entry& e = d.rows.entries[static_cast<size_t>(p.entry)];
            d.Append(page, d.MakeBand(e.section, e.text, index + 1), p.y);
        }
    }
    headers(end);
    double bottom = d.Bottom();
    for (size_t s = 0; s < d.fitted.size(); ++s) {
        if (d.fitted[s].kind != Section::PageFooter || !d.fitted[s].visible) continue;
        Band band = d.MakeBand(int(s), d.rows.pageTexts[s], index + 1);
        const double height = band.height;
        d.Append(page, std::move(band), bottom);
        bottom += height;
    }
    // The page count is known only now.
    const QString count = QString::number(d.pages.size());
    for (Item& i : page.items) i.text.replace(QStringLiteral("%P"), count);
    return page;
}

}  // namespace report
