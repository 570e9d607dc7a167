#include "report.h"

#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <numeric>

#include "pages.h"
#include "platform/db/recordset.h"
#include "preview.h"
#include "print.h"
#include "text.h"

namespace report {

namespace {

const QString kPoundFormat = QStringLiteral("£#,##0.00");

Shower& CurrentShower() {
    static Shower shower;
    return shower;
}

bool IsAmount(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<db::Currency>()) return true;
    bool number = false;
    value.toDouble(&number);
    return number;
}

QString PoundText(const QVariant& value) {
    if (!IsAmount(value)) return value.toString();  // a sum that overflowed says so
    const std::optional<db::Currency> amount = Report::PrintedPounds(value);
    if (!amount) return text::kOverflow;
    // Written from the amount's own digits, thousands separated by commas whatever the
    // user's settings.
    const db::Currency::Pence p = amount->pence();
    QString whole = QString::number(p.units);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, u',');
    return (p.negative ? QStringLiteral("-£") : QStringLiteral("£")) + whole + u'.' +
           QString::number(p.hundredths).rightJustified(2, u'0');
}

// A4, or US Letter where the locale's paper is Letter.
QPageSize::PageSizeId LocalePaper(const QLocale& locale) {
    switch (locale.territory()) {
        case QLocale::UnitedStates:
        case QLocale::Canada:
        case QLocale::Mexico:
        case QLocale::Chile:
        case QLocale::Colombia:
        case QLocale::Venezuela:
        case QLocale::Philippines:
        case QLocale::PuertoRico:
            return QPageSize::Letter;
        default:
            return locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                           : QPageSize::A4;
    }
}

// The paper's sides in twips, upright.
QSize PaperTwips(QPageSize::PageSizeId id) {
    const QSizeF mm = QPageSize(id).size(QPageSize::Millimeter);
    return QSize(qRound(mm.width() * 1440 / 25.4), qRound(mm.height() * 1440 / 25.4));
}

}  // namespace

Control MakeLabel(const QString& name, const QString& caption, int left, int top, int width,
                  int height) {
    Control c;
    c.name = name;
    c.caption = caption;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.font = QFont(QStringLiteral("Arial"), 9);
    return c;
}

Control MakeBox(const QString& name, const QString& field, int left, int top, int width,
                const QString& format) {
    Control c = MakeLabel(name, QString(), left, top, width);
    c.kind = Control::TextBox;
    c.dataField = field;
    c.format = format;
    c.canGrow = true;
    return c;
}

Control MakeFunction(const QString& name, Control::FunctionKind kind, const QString& field,
                     int left, int top, int width, const QString& format) {
    Control c = MakeBox(name, field, left, top, width, format);
    c.kind = Control::Function;
    c.function = kind;
    c.canGrow = false;
    return c;
}

Control MakeLine(const QString& name, int left, int top, int width) {
    Control c;
    c.name = name;
    c.kind = Control::Line;
    c.left = left;
    c.top = top;
    c.width = width;
    return c;
}

Control MakeMoney(const QString& name, const QString& field, int left, int top, int width) {
    Control c = MakeBox(name, field, left, top, width, kPoundFormat);
    c.alignment = Qt::AlignRight;
    c.canGrow = false;
    return c;
}

Control MakeMoneySum(const QString& name, const QString& field, int left, int top, int width) {
    Control c = MakeMoney(name, field, left, top, width);
    c.kind = Control::Function;
    c.function = Control::Sum;
    return c;
}

Control MakeTitle(const QString& name, const QString& caption, int left, int width, int points) {
    Control c = MakeLabel(name, caption, left, 60, width, 400);
    c.font = QFont(QStringLiteral("Arial"), points, QFont::Bold);
    c.canGrow = true;
    return c;
}

std::vector<Control> Headings(std::vector<Control> controls) {
    for (Control& c : controls) c.font.setBold(true);
    return controls;
}

Control* Section::control(const QString& controlName) {
    for (Control& c : controls)
        if (c.name.compare(controlName, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

QStringList Page::texts() const {
    std::vector<const Item*> sorted;
    for (const Item& i : items)
        if (i.kind == Item::Text && !i.text.isEmpty()) sorted.push_back(&i);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Item* a, const Item* b) {
        return a->box.top() != b->box.top() ? a->box.top() < b->box.top()
                                            : a->box.left() < b->box.left();
    });
    QStringList out;
    for (const Item* i : sorted) out << i->text;
    return out;
}

Report::Report() {
    const QSize paper = PaperTwips(LocalePaper(QLocale()));
    PaperWidth = paper.width();
    PaperHeight = paper.height();
}
Report::~Report() = default;

int Report::PageWidth() const {
    return Orientation == QPageLayout::Landscape ? PaperHeight : PaperWidth;
}
int Report::PageHeight() const {
    return Orientation == QPageLayout::Landscape ? PaperWidth : PaperHeight;
}

Sheet Report::OwnSheet() const {
    Sheet sheet;
    // A paper of a known size goes by its name, so that print dialogs offer it as it is.
    sheet.paper = QPageSize(QSizeF(PaperWidth / 20.0, PaperHeight / 20.0), QPageSize::Point,
                            QString(), QPageSize::FuzzyMatch);
    sheet.orientation = Orientation;
    sheet.left = sheet.right = LeftMargin;
    sheet.top = TopMargin;
    sheet.bottom = BottomMargin;
    return sheet;
}

namespace {

QSize Twips(const QPageSize& paper) {
    const QSizeF points = paper.size(QPageSize::Point);
    return QSize(qRound(points.width() * 20), qRound(points.height() * 20));
}

}  // namespace

int Sheet::Width() const {
    const QSize twips = Twips(paper);
    return orientation == QPageLayout::Landscape ? twips.height() : twips.width();
}

int Sheet::Height() const {
    const QSize twips = Twips(paper);
    return orientation == QPageLayout::Landscape ? twips.width() : twips.height();
}

QPageLayout Sheet::PrinterLayout() const {
    QPageLayout layout(paper, orientation, QMarginsF(), QPageLayout::Point);
    // A printer may not go as near the edge as the report does: its least margins give way.
    layout.setMode(QPageLayout::FullPageMode);
    layout.setMargins(QMarginsF(left / 20.0, top / 20.0, right / 20.0, bottom / 20.0));
    return layout;
}

QPageLayout Sheet::PdfLayout() const {
    return QPageLayout(paper, orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

Sheet Sheet::FromLayout(const QPageLayout& layout) {
    Sheet sheet;
    sheet.paper = layout.pageSize();
    sheet.orientation = layout.orientation();
    const QMarginsF m = layout.margins(QPageLayout::Point);
    sheet.left = qRound(m.left() * 20);
    sheet.right = qRound(m.right() * 20);
    sheet.top = qRound(m.top() * 20);
    sheet.bottom = qRound(m.bottom() * 20);
    return sheet;
}

bool Sheet::operator==(const Sheet& o) const {
    return paper.isEquivalentTo(o.paper) && orientation == o.orientation && left == o.left &&
           right == o.right && top == o.top && bottom == o.bottom;
}

Section& Report::AddSection(const QString& name, Section::Kind kind, int height) {
    Section s;
    s.name = name;
    s.kind = kind;
    s.height = height;
    Sections.push_back(std::move(s));
    return Sections.back();
}

Section* Report::section(const QString& name) {
    for (Section& s : Sections)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0) return &s;
    return nullptr;
}

Section* Report::section(int position) {
    return position >= 1 && position <= static_cast<int>(Sections.size()) ? &Sections[position - 1]
                                                                          : nullptr;
}

void Report::Paint(const Page& page, QPainter& painter, double scale) {
    painter.save();
    // Drawn in twips, with the fonts the layout measured: every device breaks the lines alike.
    scale *= page.scale;
    painter.scale(scale, scale);
    painter.setPen(QPen(Qt::black, std::max(15.0, 1 / scale)));
    text::Glyphs glyphs;
    for (const Item& i : page.items) {
        if (i.kind == Item::Line)
            painter.drawLine(i.box.topLeft(), i.box.bottomRight());
        else if (!i.text.isEmpty())
            glyphs.Add(i.text, i.face ? *i.face : text::Face::Of(i.font), i.box, i.alignment);
    }
    glyphs.Draw(painter);
    painter.restore();
}

bool Report::Layout(std::vector<Page>* pages, QString* error) const {
    Pages laid(*this);
    laid.Advance();
    pages->clear();
    if (!laid.Error().isEmpty()) {
        if (error) *error = laid.Error();
        return false;
    }
    for (int i = 0; i < laid.Count(); ++i) pages->push_back(laid.Make(i));
    return true;
}

bool Report::WritePdf(const QString& path, QString* error) const {
    Pages laid(*this);
    laid.Advance();
    if (!laid.Error().isEmpty()) {
        if (error) *error = laid.Error();
        return false;
    }
    std::vector<int> all(static_cast<size_t>(laid.Count()));
    std::iota(all.begin(), all.end(), 0);
    return report::WritePdf(laid, all, path, error);
}

bool Report::Preview(QPrinter& printer, QWidget* owner, QString* error) const {
    if (!SetUpError.isEmpty()) {
        if (error) *error = SetUpError;
        return false;
    }
    PreviewDialog dialog(*this, printer, owner);
    dialog.exec();
    if (!dialog.Error().isEmpty()) {
        if (error) *error = dialog.Error();
        return false;
    }
    return true;
}

bool Report::Show(QWidget* owner, QString* error) const {
    if (CurrentShower()) return CurrentShower()(*this, owner, error);
    QPrinter printer(QPrinter::HighResolution);
    return Preview(printer, owner, error);
}

void SetShower(Shower shower) { CurrentShower() = std::move(shower); }

std::optional<db::Currency> Report::PrintedPounds(const QVariant& value) {
    std::optional<db::Currency> amount;
    if (value.metaType() == QMetaType::fromType<db::Currency>())
        amount = value.value<db::Currency>();
    else if (IsAmount(value))
        amount = db::Currency::fromDouble(value.toDouble());
    if (!amount) return std::nullopt;
    // Whole pence, rounded as the text shows them (half away from zero).
    const db::Currency::Pence p = amount->pence();
    if (p.units >= static_cast<std::uint64_t>(INT64_MAX / db::Currency::kScale))
        return std::nullopt;
    const std::int64_t ticks =
        static_cast<std::int64_t>(p.units) * db::Currency::kScale + p.hundredths * 100;
    return db::Currency::fromTicks(p.negative ? -ticks : ticks);
}

QString Report::FormatValue(const QVariant& value, const QString& format) {
    if (db::IsNull(value)) return QString();
    if (format.startsWith(u'£')) return PoundText(value);
    if (format.compare(QStringLiteral("General Date"), Qt::CaseInsensitive) == 0)
        return db::ValueText(value);
    if (format.compare(QStringLiteral("percent"), Qt::CaseInsensitive) == 0)
        return QLocale::c().toString(value.toDouble() * 100, 'f', 2) + u'%';
    if (value.metaType().id() == QMetaType::QDateTime ||
        value.metaType().id() == QMetaType::QDate) {
        const QDateTime dt = value.toDateTime();
        if (!format.isEmpty()) return QLocale().toString(dt, format);
        QString text = QLocale().toString(dt.date(), QLocale::ShortFormat);
        if (dt.time() != QTime(0, 0)) text += u' ' + dt.time().toString(QStringLiteral("HH:mm"));
        return text;
    }
    if (value.metaType() == QMetaType::fromType<db::Currency>())
        return value.value<db::Currency>().toPlainText();
    return db::ValueText(value);
}

}  // namespace report
