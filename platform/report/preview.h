#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <optional>

#include "pages.h"

class QAction;
class QActionGroup;
class QLabel;
class QPrinter;
class QProgressBar;
class QScrollArea;
class QSpinBox;

namespace report {

// One page drawn at a scale, in the middle of a grey surround.
class PageView : public QWidget {
    Q_OBJECT
  public:
    explicit PageView(QWidget* parent = nullptr);
    // The page, the sheet's size in twips, and which page it is.
    void SetPage(std::optional<Page> page, const QSizeF& sheet, int index);
    void SetScale(double pixelsPerTwip);
    double Scale() const { return scale_; }
    QSize sizeHint() const override;

  signals:
    void shown(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect PageRect() const;

    std::optional<Page> page_;
    QSizeF sheet_;
    int index_ = -1;
    double scale_ = 0.05;
    QImage image_;  // the page as last drawn
};

// A report's pages as they will print, one at a time, laid out while the window already
// answers: a progress line says how far it is, the pointer is busy while it takes long, and
// the first page shows as soon as the page count is known; each page is made when shown. A
// change of paper or orientation (here, in Page setup or in the print dialog) lays the report
// out again for the new page; Print prints through the print dialog's printer, its page
// range, copies and collation.
class PreviewDialog : public QDialog {
    Q_OBJECT
  public:
    PreviewDialog(const Report& report, QPrinter& printer, QWidget* owner = nullptr);
    ~PreviewDialog() override;

    const Pages& pages() const { return pages_; }
    int CurrentPage() const { return current_; }
    // Why the report could not be laid out; the window then closes.
    QString Error() const { return error_; }

  public slots:
    void GoToPage(int index);
    void SetOrientation(QPageLayout::Orientation orientation);
    // Lays the report out again on `sheet`.
    void SetSheet(const Sheet& sheet);
    void PageSetup();
    // Asks for a printer, then prints; the window closes once all is printed.
    void Print();
    // Finishes the layout now, the window answering only to be painted meanwhile.
    void FinishLayout();

  signals:
    // The layout on the current sheet is complete.
    void laidOut();
    // A page was painted on the screen.
    void pageShown(int index);

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    enum class Fit { Width, Page, None };
    void Work();
    void Relayout(const Sheet& sheet);
    void Settle();
    void Busy(bool busy);
    void Progress(const QString& text, double done);
    void ShowCurrent();
    void UpdateActions();
    void Zoom(double factor);
    void ApplyFit();
    QAction* AddAction(const QString& text, const QString& theme, const QString& own,
                       void (PreviewDialog::*slot)());

    QPrinter& printer_;
    Pages pages_;
    int current_ = 0;
    Fit fit_ = Fit::Width;
    QString error_;
    QTimer work_;
    QElapsedTimer since_;
    bool busy_ = false, started_ = false;

    PageView* view_;
    QScrollArea* scroll_;
    QSpinBox* pageBox_;
    QLabel* ofPages_;
    QLabel* status_;
    QProgressBar* bar_;
    QAction* first_;
    QAction* previous_;
    QAction* next_;
    QAction* last_;
    QAction* portrait_;
    QAction* landscape_;
    QAction* print_;
};

}  // namespace report
