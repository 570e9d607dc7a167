#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <vector>

#include "columns.h"
#include "report.h"

namespace report::text {
class Face;
}

namespace report::detail {

// A label's text with its page numbers as wide as any the report will print.
QString Caption(const Control& c, const QString& title);

// One band the report prints once: a section with the texts of its controls.
struct Entry {
    int section = 0;     // in the report's sections
    qsizetype text = 0;  // its first text in Rows::texts, one for each control of the section
};

// What a report prints, read from its rows once whatever the page: every band in order with
// its texts formatted and measured, and the sums its functions show. Read a part at a time.
class Rows {
  public:
    explicit Rows(const Report& report);
    ~Rows();

    // Reads on until all is read, it failed, or `deadline` passes; true when finished.
    bool Advance(const QDeadlineTimer& deadline);
    bool Finished() const { return step_ == Step::Done || !error.isEmpty(); }
    int Read() const { return row_; }
    int Count() const { return rows_; }

    QString error;  // why the rows could not be read; empty while all goes well
    std::vector<Entry> entries;
    std::vector<QString> texts;
    // Each text's width on one line where its letters add up to it; negative where it takes
    // laying out (a line break, a letter that needs shaping).
    std::vector<float> widths;
    // The first text of each page header or footer section (from the first row), else -1.
    std::vector<qsizetype> pageTexts;
    // The widest text each control printed, for fitting the columns.
    TextWidths printed;
    // Each control's face, by section.
    std::vector<std::vector<const text::Face*>> faces;
    // How many leading entries are the report header: the first page header goes below them.
    int headerEntries = 0;

  private:
    enum class Step { Start, Rows, End, Done };
    class Totals;
    void Start();
    void AddRow(int row);
    void Add(Section::Kind kind, const db::Recordset* rs, int row, const Totals* totals);
    qsizetype AddTexts(int section, const db::Recordset* rs, int row, const Totals* totals);
    // Widens what the control printed to `text`; its quick width (see Face::QuickWidth).
    double Measure(int section, int control, const QString& text);
    size_t FunctionField(const QString& field) const;
    QVariant Value(int section, int control, const db::Recordset* rs, int row);
    void Count(const db::Recordset* rs, int row, Totals* totals) const;

    const Report& r_;
    Step step_ = Step::Start;
    int row_ = 0, rows_ = 0;
    std::unique_ptr<Totals> all_;
    QStringList functionFields_;             // each once
    std::vector<std::vector<int>> columns_;  // each control's column of the data source
    std::vector<int> functionColumns_;       // each function field's column of it
    struct Last {
        QVariant value;
        QString text;
        float width = 0;
    };
    std::vector<std::vector<Last>> last_;  // each text box's last value, by section
};

}  // namespace report::detail
