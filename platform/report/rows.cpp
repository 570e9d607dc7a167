// Reading a report's rows: the bands it prints in order, their texts formatted and measured
// once, and the sums and counts of its functions.
#include "rows.h"

#include "platform/db/recordset.h"
#include "text.h"

namespace report::detail {

namespace {

bool IsMoneyFormat(const QString& format) { return format.startsWith(u'£'); }

}  // namespace

QString Caption(const Control& c, const QString& title) {
    QString text = c.caption;
    text.replace(QStringLiteral("%p"), QStringLiteral("99999"));
    text.replace(QStringLiteral("%P"), QStringLiteral("99999"));
    text.replace(QStringLiteral("%i"), title);
    return text;
}

// Sums and counts of the detail rows of a group or of the whole report. A sum shown as money
// adds the amounts as they print, each rounded to pence, so that a column adds up to its total.
class Rows::Totals {
  public:
    // `field` counts the report's function fields.
    void Add(size_t field, const QVariant& v) {
        if (db::IsNull(v)) return;
        if (field >= sums_.size()) sums_.resize(field + 1);
        Sums& s = sums_[field];
        s.any = true;
        bool number = v.metaType() == QMetaType::fromType<db::Currency>();
        if (number) {
            if (s.money) s.money = s.money->plus(v.value<db::Currency>());
            s.anyMoney = true;
        } else {
            s.numbers += v.toDouble(&number);
        }
        if (number && s.pence) {
            const std::optional<db::Currency> printed = Report::PrintedPounds(v);
            s.pence = printed ? s.pence->plus(*printed) : std::nullopt;
        }
    }
    // A money sum beyond the currency's range is the text "Overflow", shown as it is.
    QVariant Sum(size_t field, bool asPrinted) const {
        if (field >= sums_.size() || !sums_[field].any) return QVariant(0);
        const Sums& s = sums_[field];
        if (asPrinted) return s.pence ? QVariant::fromValue(*s.pence) : QVariant(text::kOverflow);
        if (!s.anyMoney) return QVariant(s.numbers);
        std::optional<db::Currency> total = s.money;
        if (total && s.numbers != 0) {
            const auto more = db::Currency::fromDouble(s.numbers);
            total = more ? total->plus(*more) : std::nullopt;
        }
        return total ? QVariant::fromValue(*total) : QVariant(text::kOverflow);
    }
    int count = 0;

  private:
    struct Sums {
        std::optional<db::Currency> money = db::Currency();  // nullopt once a sum overflows
        std::optional<db::Currency> pence = db::Currency();  // the printed amounts
        bool any = false, anyMoney = false;
        double numbers = 0;
    };
    std::vector<Sums> sums_;
};

Rows::Rows(const Report& report) : r_(report), all_(std::make_unique<Totals>()) {}
Rows::~Rows() = default;

bool Rows::Advance(const QDeadlineTimer& deadline) {
    if (!r_.SetUpError.isEmpty() && error.isEmpty()) error = r_.SetUpError;
    while (!Finished()) {
        switch (step_) {
            case Step::Start:
                Start();
                step_ = Step::Rows;
                break;
            case Step::Rows:
                // Row by row, looking at the clock now and then.
                for (int n = 0; row_ < rows_ && error.isEmpty(); ++row_, ++n) {
                    if (n == 128) {
                        if (deadline.hasExpired()) return false;
                        n = 0;
                    }
                    AddRow(row_);
                }
                step_ = Step::End;
                break;
            case Step::End:
                Add(Section::ReportFooter, r_.DataSource, rows_ - 1, all_.get());
                step_ = Step::Done;
                break;
            case Step::Done:
                break;
        }
    }
    return true;
}

void Rows::Start() {
    const std::vector<Section>& sections = r_.Sections;
    printed.resize(sections.size());
    faces.resize(sections.size());
    pageTexts.assign(sections.size(), -1);
    for (size_t s = 0; s < sections.size(); ++s) {
        printed[s].resize(sections[s].controls.size());
        for (const Control& c : sections[s].controls) {
            faces[s].push_back(&text::Face::Of(c.font));
            if (c.kind == Control::Function && !c.dataField.isEmpty() &&
                !functionFields_.contains(c.dataField, Qt::CaseInsensitive))
                functionFields_.push_back(c.dataField);
        }
    }
    last_.resize(sections.size());
    for (size_t s = 0; s < sections.size(); ++s) last_[s].resize(sections[s].controls.size());
    const db::Recordset* rs = r_.DataSource;
    // Counting them reads the rows.
    rows_ = rs && rs->State() == db::adStateOpen ? rs->RecordCount() : 0;
    // The data source's columns, looked up once rather than for every row.
    columns_.resize(sections.size());
    for (size_t s = 0; s < sections.size(); ++s)
        for (const Control& c : sections[s].controls)
            columns_[s].push_back(rs && rs->State() == db::adStateOpen ? rs->FieldIndex(c.dataField)
                                                                       : -1);
    for (const QString& f : functionFields_)
        functionColumns_.push_back(rs && rs->State() == db::adStateOpen ? rs->FieldIndex(f) : -1);
    for (size_t s = 0; s < sections.size() && error.isEmpty(); ++s) {
        const Section::Kind kind = sections[s].kind;
        if (sections[s].visible && (kind == Section::PageHeader || kind == Section::PageFooter))
            pageTexts[s] = AddTexts(int(s), nullptr, -1, nullptr);
    }
    Add(Section::ReportHeader, nullptr, -1, nullptr);
    headerEntries = static_cast<int>(entries.size());
    size_t perRow = 0;
    for (const Section& s : sections)
        if (s.kind == Section::Detail) perRow += s.controls.size();
    texts.reserve(texts.size() + perRow * static_cast<size_t>(rows_));
    widths.reserve(texts.capacity());
    entries.reserve(static_cast<size_t>(rows_) + 8);
}

void Rows::AddRow(int row) {
    const db::Recordset* rs = r_.DataSource;
    if (!r_.ChildRows) {
        Add(Section::Detail, rs, row, nullptr);
        Count(rs, row, all_.get());
        return;
    }
    Totals group;
    Add(Section::GroupHeader, rs, row, nullptr);
    const std::unique_ptr<db::Recordset> child = r_.ChildRows(*rs, row);
    const int n = child && child->State() == db::adStateOpen ? child->RecordCount() : 0;
    for (int c = 0; c < n && error.isEmpty(); ++c) {
        Add(Section::Detail, child.get(), c, nullptr);
        Count(child.get(), c, &group);
        Count(child.get(), c, all_.get());
    }
    Add(Section::GroupFooter, rs, row, &group);
}

void Rows::Add(Section::Kind kind, const db::Recordset* rs, int row, const Totals* totals) {
    const std::vector<Section>& sections = r_.Sections;
    for (size_t s = 0; s < sections.size() && error.isEmpty(); ++s)
        if (sections[s].kind == kind && sections[s].visible)
            entries.push_back({int(s), AddTexts(int(s), rs, row, totals)});
}

qsizetype Rows::AddTexts(int section, const db::Recordset* rs, int row, const Totals* totals) {
    const qsizetype first = static_cast<qsizetype>(texts.size());
    const Section& s = r_.Sections[section];
    for (size_t ci = 0; ci < s.controls.size(); ++ci) {
        const Control& c = s.controls[ci];
        QString text;
        switch (c.kind) {
            case Control::Line:
                break;
            case Control::Label:
                if (c.visible && printed[section][ci].line == 0 && printed[section][ci].word == 0)
                    Measure(section, int(ci), Caption(c, r_.Title));
                break;
            case Control::TextBox: {
                // A hidden box still needs its column.
                const QVariant v = Value(section, int(ci), rs, row);
                if (!c.visible) break;
                // A value as the row before's (a day, a customer, a type) is not formatted and
                // measured again, and its text is shared.
                Last& last = last_[size_t(section)][ci];
                if (last.value.isValid() && last.value.metaType() == v.metaType() &&
                    last.value == v) {
                    widths.push_back(last.width);
                    texts.push_back(last.text);
                    continue;
                }
                text = Report::FormatValue(v, c.format);
                last.value = v;
                last.text = text;
                last.width = text.isEmpty() ? 0.0f : float(Measure(section, int(ci), text));
                widths.push_back(last.width);
                texts.push_back(std::move(text));
                continue;
            }
            case Control::Function:
                if (totals && c.visible)
                    text = Report::FormatValue(
                        c.function == Control::Count
                            ? QVariant(totals->count)
                            : totals->Sum(FunctionField(c.dataField), IsMoneyFormat(c.format)),
                        c.format);
                break;
        }
        widths.push_back(text.isEmpty() ? 0.0f
                                        : static_cast<float>(Measure(section, int(ci), text)));
        texts.push_back(std::move(text));
    }
    return first;
}

double Rows::Measure(int section, int control, const QString& text) {
    const Control& c = r_.Sections[section].controls[control];
    const text::Face& face = *faces[section][control];
    TextWidth& w = printed[section][control];
    const double quick = face.QuickWidth(text);
    const double natural = quick >= 0 ? quick : face.NaturalWidth(text);
    if (!c.canGrow)
        w.line = std::max(w.line, natural);
    else if (natural > w.word)  // no word is wider than its text
        w.word = std::max(w.word, face.WidestWord(text));
    return quick;
}

size_t Rows::FunctionField(const QString& field) const {
    for (qsizetype i = 0; i < functionFields_.size(); ++i)
        if (functionFields_[i].compare(field, Qt::CaseInsensitive) == 0) return size_t(i);
    return size_t(functionFields_.size());
}

QVariant Rows::Value(int section, int control, const db::Recordset* rs, int row) {
    const Control& c = r_.Sections[section].controls[control];
    const db::Recordset* source = rs ? rs : r_.DataSource;
    const int i =
        source == r_.DataSource
            ? columns_[section][control]
            : (source && source->State() == db::adStateOpen ? source->FieldIndex(c.dataField) : -1);
    if (i < 0) {
        if (error.isEmpty())
            error = QStringLiteral("The field \"%1\" of \"%2\" is not in the report's rows.")
                        .arg(c.dataField, c.name);
        return QVariant();
    }
    if (row < 0 && (source == r_.DataSource ? rows_ : source->RecordCount()) > 0) row = 0;
    return row >= 0 ? source->ValueAt(row, i) : QVariant();
}

void Rows::Count(const db::Recordset* rs, int row, Totals* totals) const {
    ++totals->count;
    for (qsizetype f = 0; f < functionFields_.size(); ++f) {
        const int i =
            rs == r_.DataSource ? functionColumns_[size_t(f)] : rs->FieldIndex(functionFields_[f]);
        if (i >= 0) totals->Add(size_t(f), rs->ValueAt(row, i));
    }
}

}  // namespace report::detail
