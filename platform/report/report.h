#pragma once

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QPrinter;
class QWidget;
#include "platform/db/currency.h"

namespace db {
class Recordset;
}

// A banded report: sections of labels, bound text boxes, functions and lines laid out in
// twips, given a record set at run time, laid out as pages of positioned items, and painted
// to a preview, a printer or a PDF file.
namespace report {

namespace text {
class Face;
}

struct Control {
    enum Kind { Label, TextBox, Function, Line };
    enum FunctionKind { Sum, Count };

    QString name;
    Kind kind = Label;
    int left = 0, top = 0, width = 0, height = 0;  // twips; a line runs corner to corner
    QString caption;    // a label's text; "%p", "%P" and "%i" stand for page, pages and title
    QString dataField;  // text boxes and functions
    // "d MMMM yyyy", "d.MMM.yy", "£#,##0.00", "percent", or empty for the value's own text
    QString format;
    FunctionKind function = Sum;
    bool visible = true;
    Qt::Alignment alignment = Qt::AlignLeft;
    QFont font;
    // Grows downwards to hold its whole text wrapped at its width, and its section with it;
    // otherwise it is widened to its text, a right-aligned one to the left.
    bool canGrow = false;
};

// Controls as a layout names them: position and size in twips, Arial 9 unless changed. Text
// boxes and titles grow downwards; labels, money and functions are widened.
Control MakeLabel(const QString& name, const QString& caption, int left, int top, int width,
                  int height = 255);
Control MakeBox(const QString& name, const QString& field, int left, int top, int width,
                const QString& format = {});
Control MakeFunction(const QString& name, Control::FunctionKind kind, const QString& field,
                     int left, int top, int width, const QString& format = {});
Control MakeLine(const QString& name, int left, int top, int width);
// The reports' money: a pound sign, thousands separated, two decimals, to the right of its box.
Control MakeMoney(const QString& name, const QString& field, int left, int top, int width);
Control MakeMoneySum(const QString& name, const QString& field, int left, int top, int width);
// A report's title line, and a row of column headings, in bold.
Control MakeTitle(const QString& name, const QString& caption, int left, int width,
                  int points = 13);
std::vector<Control> Headings(std::vector<Control> controls);

struct Section {
    enum Kind {
        ReportHeader,
        PageHeader,
        GroupHeader,
        Detail,
        GroupFooter,
        PageFooter,
        ReportFooter
    };

    QString name;
    Kind kind = Detail;
    int height = 0;  // twips
    bool visible = true;
    std::vector<Control> controls;

    Control* control(const QString& controlName);
};

// One thing drawn on a page, in twips from the page's top left corner.
struct Item {
    enum Kind { Text, Line };
    Kind kind = Text;
    QRectF box;
    QString text;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft;
    QString control;                   // the control it comes from
    const text::Face* face = nullptr;  // how its text is measured and drawn; from `font` if null
};

// The font an item's text is measured and painted with, on every device: the face asked for
// ("Arial" is Liberation Sans, whose letters are as wide), sized in twips.
QFont TwipFont(const QFont& font);

struct Page {
    std::vector<Item> items;
    // Paper twips to a twip of the items: below 1 for a report shrunk to fit a small page.
    double scale = 1;
    // The texts of the page from top to bottom, left to right.
    QStringList texts() const;
};

// The page a report is laid out on, in twips: the paper, which way it stands, its margins.
struct Sheet {
    QPageSize paper;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    int left = 0, right = 0, top = 0, bottom = 0;

    // The page as it stands, turned when landscape.
    int Width() const;
    int Height() const;
    // For a printer: its page set-up shows these margins, while painting starts at the
    // paper's corner (a full page).
    QPageLayout PrinterLayout() const;
    // For a PDF file, which starts painting inside its margins: none.
    QPageLayout PdfLayout() const;
    // What a printer's page set-up holds.
    static Sheet FromLayout(const QPageLayout& layout);
    bool operator==(const Sheet& other) const;
};

class Report {
  public:
    Report();
    ~Report();

    QString Caption;  // the preview window's caption
    QString Title;    // what "%i" shows
    // The paper's sides in twips, as it stands upright: the locale's paper unless changed.
    int PaperWidth, PaperHeight;
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    int LeftMargin = 1000, TopMargin = 1000, BottomMargin = 1000;  // the right margin as the left
    // The page as the report is laid out on it, turned when landscape.
    int PageWidth() const;
    int PageHeight() const;
    // The paper, orientation and margins the report is designed for.
    Sheet OwnSheet() const;

    // Why the report's rows could not be had; a report with one lays out nothing and says it.
    QString SetUpError;
    // The rows of the report, read from the first to the end. Not owned.
    db::Recordset* DataSource = nullptr;
    // With child rows, each row of the data source is a group: its header, one detail per
    // child row, its footer (functions there count the group's child rows).
    std::function<std::unique_ptr<db::Recordset>(const db::Recordset& parent, int row)> ChildRows;

    std::vector<Section> Sections;
    Section& AddSection(const QString& name, Section::Kind kind, int height);
    // By name ("Section1"), or by position from 1 (the report header).
    Section* section(const QString& name);
    Section* section(int position);

    // Lays the report out on its own sheet, every page at once; false with `error` set when a
    // control names no column of its rows. (Pages lays it out a part at a time, on any sheet.)
    bool Layout(std::vector<Page>* pages, QString* error = nullptr) const;
    // Paints one page; `scale` is device units per twip.
    static void Paint(const Page& page, QPainter& painter, double scale);
    // Writes every page to a PDF file, whole or not at all: a file that could not be written
    // in full leaves the one before it, and `error` says why.
    bool WritePdf(const QString& path, QString* error = nullptr) const;
    // A modal preview over `owner` with page navigation, zoom, paper and orientation, and
    // printing (to paper or PDF).
    bool Show(QWidget* owner, QString* error = nullptr) const;
    // The same preview printing through `printer`, its page set up for the report to begin
    // with.
    bool Preview(QPrinter& printer, QWidget* owner, QString* error = nullptr) const;

    // A value in one of the report formats: "General Date" is a date with its time as the
    // database's text join writes it.
    static QString FormatValue(const QVariant& value, const QString& format);
    // A money value as it prints: rounded to pence (nullopt beyond the currency's range, or
    // for what is not a number).
    static std::optional<db::Currency> PrintedPounds(const QVariant& value);
};

// How reports are shown; tests replace it so that no window waits.
using Shower = std::function<bool(const Report& report, QWidget* owner, QString* error)>;
void SetShower(Shower shower);

}  // namespace report
