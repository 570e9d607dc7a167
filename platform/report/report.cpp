#include "report.h"

#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <algorithm>
#include <map>

#include "platform/db/recordset.h"

namespace report {

namespace {

const QString kPoundFormat = QStringLiteral("£#,##0.00");

Shower& CurrentShower() {
    static Shower shower;
    return shower;
}

const QString kOverflow = QStringLiteral("Overflow");

QString PoundText(const QVariant& value) {
    std::optional<db::Currency> amount;
    if (value.metaType() == QMetaType::fromType<db::Currency>()) {
        amount = value.value<db::Currency>();
    } else {
        bool number = false;
        const double d = value.toDouble(&number);
        if (!number) return value.toString();  // a sum that overflowed says so
        amount = db::Currency::fromDouble(d);
    }
    if (!amount) return kOverflow;
    // Written from the amount's own digits, thousands separated by commas whatever the
    // user's settings.
    const db::Currency::Pence p = amount->pence();
    QString whole = QString::number(p.units);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, u',');
    return (p.negative ? QStringLiteral("-£") : QStringLiteral("£")) + whole + u'.' +
           QString::number(p.hundredths).rightJustified(2, u'0');
}

// Sums and counts of the detail rows of a group or of the whole report.
struct Totals {
    std::map<QString, std::optional<db::Currency>> money;  // nullopt once a sum overflows
    std::map<QString, double> numbers;
    std::map<QString, bool> isMoney;
    int count = 0;

    void Add(const QString& field, const QVariant& v) {
        const QString key = field.toLower();
        if (db::IsNull(v)) return;
        if (v.metaType() == QMetaType::fromType<db::Currency>()) {
            auto& sum = money.try_emplace(key, db::Currency()).first->second;
            if (sum) sum = sum->plus(v.value<db::Currency>());
            isMoney[key] = true;
        } else {
            numbers[key] += v.toDouble();
        }
    }
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
        return total ? QVariant::fromValue(*total) : QVariant(kOverflow);
    }
};

class Layouter {
  public:
    Layouter(const Report& r, std::vector<Page>* pages) : r_(r), pages_(pages) {}

    bool Run(QString* error) {
        error_ = error;
        for (const Section& s : r_.Sections)
            for (const Control& c : s.controls)
                if (c.kind == Control::Function && !c.dataField.isEmpty() &&
                    !functionFields_.contains(c.dataField, Qt::CaseInsensitive))
                    functionFields_.push_back(c.dataField);
        pages_->clear();
        // The report header opens the first page, above its page header.
        pages_->emplace_back();
        y_ = r_.TopMargin;
        for (const Section& s : r_.Sections)
            if (s.kind == Section::ReportHeader && s.visible) Emit(s, nullptr, -1, nullptr);
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
    int FooterHeight() const {
        int h = 0;
        for (const Section& s : r_.Sections)
            if (s.kind == Section::PageFooter && s.visible) h += s.height;
        return h;
    }
    int Bottom() const { return r_.PaperHeight - r_.BottomMargin - FooterHeight(); }

    void NewPage() {
        pages_->emplace_back();
        y_ = r_.TopMargin;
        PageHeader();
    }
    void PageHeader() {
        for (const Section& s : r_.Sections)
            if (s.kind == Section::PageHeader && s.visible) Emit(s, nullptr, -1, nullptr);
        pageTop_ = y_;
    }
    void FinishPage() {
        y_ = Bottom();
        for (const Section& s : r_.Sections)
            if (s.kind == Section::PageFooter && s.visible) Emit(s, nullptr, -1, nullptr);
    }
    void Place(Section::Kind kind, const db::Recordset* rs, int row, const Totals* totals) {
        for (const Section& s : r_.Sections) {
            if (s.kind != kind || !s.visible || !ok_) continue;
            // A section that does not fit goes to the next page, unless it has a page to itself.
            if (y_ + s.height > Bottom() && y_ > pageTop_) {
                FinishPage();
                NewPage();
            }
            Emit(s, rs, row, totals);
        }
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
    void Emit(const Section& s, const db::Recordset* rs, int row, const Totals* totals) {
        Page& page = pages_->back();
        for (const Control& c : s.controls) {
            Item item;
            item.control = c.name;
            item.box = QRectF(r_.LeftMargin + c.left, y_ + c.top, c.width, c.height);
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
            page.items.push_back(item);
        }
        y_ += s.height;
    }

    const Report& r_;
    std::vector<Page>* pages_;
    QString* error_ = nullptr;
    bool ok_ = true;
    int y_ = 0;
    int pageTop_ = 0;
    Totals all_;
    QStringList functionFields_;  // each once
};

void PaintPages(const std::vector<Page>& pages, QPagedPaintDevice* device) {
    QPainter painter(device);
    const double scale = device->logicalDpiX() / 1440.0;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) device->newPage();
        Report::Paint(pages[i], painter, scale);
    }
}

void Prepare(QPagedPaintDevice* device, const Report& r) {
    device->setPageSize(
        QPageSize(QSizeF(r.PaperWidth / 1440.0, r.PaperHeight / 1440.0), QPageSize::Inch));
    device->setPageMargins(QMarginsF(0, 0, 0, 0));
}

bool DefaultShow(const Report& r, QWidget* owner, QString* error) {
    std::vector<Page> pages;
    if (!r.Layout(&pages, error)) return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    Prepare(&printer, r);
    QPrintPreviewDialog dialog(&printer, owner);
    dialog.setWindowTitle(r.Caption);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&pages](QPrinter* p) { PaintPages(pages, p); });
    dialog.resize(900, 700);
    dialog.exec();
    return true;
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
    return c;
}

Control MakeFunction(const QString& name, Control::FunctionKind kind, const QString& field,
                     int left, int top, int width, const QString& format) {
    Control c = MakeBox(name, field, left, top, width, format);
    c.kind = Control::Function;
    c.function = kind;
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

Report::Report() = default;
Report::~Report() = default;

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

bool Report::Layout(std::vector<Page>* pages, QString* error) const {
    if (!SetUpError.isEmpty()) {
        if (error) *error = SetUpError;
        return false;
    }
    Layouter l(*this, pages);
    return l.Run(error);
}

void Report::Paint(const Page& page, QPainter& painter, double scale) {
    for (const Item& i : page.items) {
        const QRectF box(i.box.left() * scale, i.box.top() * scale, i.box.width() * scale,
                         i.box.height() * scale);
        if (i.kind == Item::Line) {
            painter.setPen(QPen(Qt::black, std::max(1.0, 15 * scale)));
            painter.drawLine(box.topLeft(), box.bottomRight());
            continue;
        }
        painter.save();
        painter.setFont(i.font);
        painter.setPen(Qt::black);
        // Long text wraps inside its box and is cut at the box's edge.
        painter.setClipRect(box);
        painter.drawText(box, static_cast<int>(i.alignment) | Qt::TextWordWrap, i.text);
        painter.restore();
    }
}

bool Report::WritePdf(const QString& path, QString* error) const {
    std::vector<Page> pages;
    if (!Layout(&pages, error)) return false;
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setTitle(Title.isEmpty() ? Caption : Title);
    Prepare(&writer, *this);
    PaintPages(pages, &writer);
    return true;
}

bool Report::Show(QWidget* owner, QString* error) const {
    return CurrentShower() ? CurrentShower()(*this, owner, error)
                           : DefaultShow(*this, owner, error);
}

void SetShower(Shower shower) { CurrentShower() = std::move(shower); }

QString Report::FormatValue(const QVariant& value, const QString& format) {
    if (db::IsNull(value)) return QString();
    if (format.startsWith(u'£')) return PoundText(value);
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
