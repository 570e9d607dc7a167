#include "preview.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "platform/ui/prompts.h"
#include "print.h"

namespace report {

namespace {

constexpr int kSlice = 40;       // ms of layout between two looks at the window
constexpr int kBusyAfter = 200;  // ms before the pointer says the window is busy
constexpr int kSurround = 12;    // pixels of grey about the page
constexpr double kPixelsPerTwip = 96.0 / 1440.0;

// The desktop theme's picture, else the print support's own (named by `name`).
QIcon Icon(const QString& theme, const QString& name) {
    const QString own =
        QStringLiteral(":/qt-project.org/dialogs/qprintpreviewdialog/images/%1-24.png").arg(name);
    return QIcon::fromTheme(theme, QFile::exists(own) ? QIcon(own) : QIcon());
}

QString PaperText(const Sheet& sheet) {
    return sheet.paper.name() + (sheet.orientation == QPageLayout::Landscape
                                     ? QStringLiteral(", landscape")
                                     : QStringLiteral(", portrait"));
}

}  // namespace

// ---- the page ---------------------------------------------------------------------------

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setBackgroundRole(QPalette::Dark);
    setAutoFillBackground(true);
}

void PageView::SetPage(std::optional<Page> page, const QSizeF& sheet, int index) {
    page_ = std::move(page);
    sheet_ = sheet;
    index_ = index;
    image_ = QImage();
    updateGeometry();
    adjustSize();
    update();
}

void PageView::SetScale(double pixelsPerTwip) {
    if (qFuzzyCompare(scale_, pixelsPerTwip)) return;
    scale_ = pixelsPerTwip;
    image_ = QImage();
    updateGeometry();
    adjustSize();
    update();
}

QSize PageView::sizeHint() const {
    return (sheet_ * scale_).toSize() + QSize(2 * kSurround, 2 * kSurround);
}

QRect PageView::PageRect() const {
    const QSize page = (sheet_ * scale_).toSize();
    return QRect(QPoint(std::max(kSurround, (width() - page.width()) / 2), kSurround), page);
}

void PageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect rect = PageRect();
    if (rect.isEmpty()) return;
    painter.fillRect(rect.translated(3, 3), palette().shadow());
    painter.fillRect(rect, Qt::white);
    if (!page_) return;
    const qreal ratio = devicePixelRatioF();
    if (image_.isNull()) {
        image_ = QImage(rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image_.setDevicePixelRatio(ratio);
        image_.fill(Qt::white);
        QPainter p(&image_);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        Report::Paint(*page_, p, scale_);
    }
    painter.drawImage(rect.topLeft(), image_);
    emit shown(index_);
}

// ---- the window -------------------------------------------------------------------------

PreviewDialog::PreviewDialog(const Report& report, QPrinter& printer, QWidget* owner)
    : QDialog(owner), printer_(printer), pages_(report) {
    setWindowTitle(report.Caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    printer_.setFullPage(true);
    printer_.setPageLayout(pages_.sheet().PrinterLayout());
    printer_.setDocName(report.Title.isEmpty() ? report.Caption : report.Title);

    auto* bar = new QToolBar(this);
    bar->setIconSize(QSize(24, 24));
    first_ = AddAction(QStringLiteral("First page"), QStringLiteral("go-first"),
                       QStringLiteral("go-first"), nullptr);
    previous_ = AddAction(QStringLiteral("Previous page"), QStringLiteral("go-previous"),
                          QStringLiteral("go-previous"), nullptr);
    next_ = AddAction(QStringLiteral("Next page"), QStringLiteral("go-next"),
                      QStringLiteral("go-next"), nullptr);
    last_ = AddAction(QStringLiteral("Last page"), QStringLiteral("go-last"),
                      QStringLiteral("go-last"), nullptr);
    connect(first_, &QAction::triggered, this, [this] { GoToPage(0); });
    connect(previous_, &QAction::triggered, this, [this] { GoToPage(current_ - 1); });
    connect(next_, &QAction::triggered, this, [this] { GoToPage(current_ + 1); });
    connect(last_, &QAction::triggered, this, [this] { GoToPage(pages_.Count() - 1); });
    first_->setShortcut(QKeySequence::MoveToStartOfDocument);
    previous_->setShortcut(QKeySequence::MoveToPreviousPage);
    next_->setShortcut(QKeySequence::MoveToNextPage);
    last_->setShortcut(QKeySequence::MoveToEndOfDocument);
    pageBox_ = new QSpinBox(this);
    pageBox_->setRange(1, 1);
    pageBox_->setKeyboardTracking(false);
    ofPages_ = new QLabel(this);
    connect(pageBox_, &QSpinBox::valueChanged, this, [this](int n) { GoToPage(n - 1); });
    bar->addAction(first_);
    bar->addAction(previous_);
    bar->addWidget(pageBox_);
    bar->addWidget(ofPages_);
    bar->addAction(next_);
    bar->addAction(last_);
    bar->addSeparator();

    QAction* fitWidth = AddAction(QStringLiteral("Fit width"), QStringLiteral("zoom-fit-best"),
                                  QStringLiteral("zoom-fit-width"), nullptr);
    QAction* fitPage = AddAction(QStringLiteral("Fit page"), QStringLiteral("zoom-fit-page"),
                                 QStringLiteral("zoom-fit-page"), nullptr);
    QAction* zoomIn = AddAction(QStringLiteral("Zoom in"), QStringLiteral("zoom-in"),
                                QStringLiteral("zoom-in"), nullptr);
    QAction* zoomOut = AddAction(QStringLiteral("Zoom out"), QStringLiteral("zoom-out"),
                                 QStringLiteral("zoom-out"), nullptr);
    zoomIn->setShortcut(QKeySequence::ZoomIn);
    zoomOut->setShortcut(QKeySequence::ZoomOut);
    connect(fitWidth, &QAction::triggered, this, [this] {
        fit_ = Fit::Width;
        ApplyFit();
    });
    connect(fitPage, &QAction::triggered, this, [this] {
        fit_ = Fit::Page;
        ApplyFit();
    });
    connect(zoomIn, &QAction::triggered, this, [this] { Zoom(1.25); });
    connect(zoomOut, &QAction::triggered, this, [this] { Zoom(0.8); });
    for (QAction* a : {fitWidth, fitPage, zoomIn, zoomOut}) bar->addAction(a);
    bar->addSeparator();

    portrait_ = AddAction(QStringLiteral("Portrait"), QStringLiteral("layout-portrait"),
                          QStringLiteral("layout-portrait"), nullptr);
    landscape_ = AddAction(QStringLiteral("Landscape"), QStringLiteral("layout-landscape"),
                           QStringLiteral("layout-landscape"), nullptr);
    auto* turn = new QActionGroup(this);
    for (QAction* a : {portrait_, landscape_}) {
        a->setCheckable(true);
        turn->addAction(a);
        bar->addAction(a);
    }
    connect(portrait_, &QAction::triggered, this,
            [this] { SetOrientation(QPageLayout::Portrait); });
    connect(landscape_, &QAction::triggered, this,
            [this] { SetOrientation(QPageLayout::Landscape); });
    bar->addSeparator();
    bar->addAction(AddAction(QStringLiteral("Page setup"), QStringLiteral("document-page-setup"),
                             QStringLiteral("page-setup"), &PreviewDialog::PageSetup));
    print_ = AddAction(QStringLiteral("Print"), QStringLiteral("document-print"),
                       QStringLiteral("printer"), &PreviewDialog::Print);
    print_->setShortcut(QKeySequence::Print);
    bar->addAction(print_);
    view_ = new PageView;
    connect(view_, &PageView::shown, this, &PreviewDialog::pageShown);
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(view_);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);

    status_ = new QLabel(this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 1000);
    bar_->setTextVisible(false);
    bar_->setMaximumWidth(240);
    auto* foot = new QHBoxLayout;
    foot->setContentsMargins(6, 2, 6, 4);
    foot->addWidget(status_, 1);
    foot->addWidget(bar_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(scroll_, 1);
    layout->addLayout(foot);
    resize(900, 700);

    work_.setSingleShot(true);
    connect(&work_, &QTimer::timeout, this, &PreviewDialog::Work);
    since_.start();
    Progress(pages_.Doing(), 0);
    UpdateActions();
}

PreviewDialog::~PreviewDialog() { Busy(false); }

QAction* PreviewDialog::AddAction(const QString& text, const QString& theme, const QString& own,
                                  void (PreviewDialog::*slot)()) {
    auto* a = new QAction(Icon(theme, own), text, this);
    if (slot) connect(a, &QAction::triggered, this, slot);
    addAction(a);
    return a;
}

void PreviewDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    ApplyFit();
    // Once the window has been drawn, so that it shows while the rows are read.
    work_.start(20);
}

void PreviewDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ApplyFit();
}

void PreviewDialog::Busy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    ui::SetMousePointer(busy ? ui::vbHourglass : ui::vbDefault);
}

void PreviewDialog::Progress(const QString& text, double done) {
    status_->setText(text);
    bar_->setVisible(!text.isEmpty());
    bar_->setValue(qRound(done * 1000));
}

void PreviewDialog::Work() {
    pages_.Advance(QDeadlineTimer(kSlice));
    if (pages_.Finished()) return Settle();
    if (since_.elapsed() > kBusyAfter) Busy(true);
    Progress(pages_.Doing(), pages_.Done());
    work_.start(0);
}

// The layout is complete: show its page, or close saying why there is none.
void PreviewDialog::Settle() {
    work_.stop();
    Busy(false);
    if (!pages_.Error().isEmpty()) {
        error_ = pages_.Error();
        reject();
        return;
    }
    const QLocale locale;
    pageBox_->blockSignals(true);
    pageBox_->setRange(1, std::max(1, pages_.Count()));
    pageBox_->blockSignals(false);
    ofPages_->setText(QStringLiteral(" of %1 ").arg(locale.toString(pages_.Count())));
    Progress(QString(), 1);
    status_->setText(PaperText(pages_.sheet()));
    current_ = std::clamp(current_, 0, std::max(0, pages_.Count() - 1));
    ShowCurrent();
    UpdateActions();
    emit laidOut();
}

void PreviewDialog::FinishLayout() {
    if (pages_.Finished()) return;
    work_.stop();
    Busy(true);
    while (!pages_.Advance(QDeadlineTimer(kSlice))) {
        Progress(pages_.Doing(), pages_.Done());
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    Settle();
}

void PreviewDialog::Relayout(const Sheet& sheet) {
    pages_.SetSheet(sheet);
    view_->SetPage(std::nullopt, QSizeF(sheet.Width(), sheet.Height()), -1);
    ApplyFit();
    since_.restart();
    Progress(pages_.Doing(), pages_.Done());
    UpdateActions();
    work_.start(0);
}

void PreviewDialog::SetSheet(const Sheet& sheet) {
    printer_.setPageLayout(sheet.PrinterLayout());
    Relayout(sheet);
}

void PreviewDialog::SetOrientation(QPageLayout::Orientation orientation) {
    Sheet sheet = pages_.sheet();
    if (sheet.orientation == orientation) return UpdateActions();
    sheet.orientation = orientation;
    SetSheet(sheet);
}

void PreviewDialog::PageSetup() {
    QPageSetupDialog dialog(&printer_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const Sheet sheet = Sheet::FromLayout(printer_.pageLayout());
    if (!(sheet == pages_.sheet())) Relayout(sheet);
}

void PreviewDialog::Print() {
    // The dialog offers the report's pages as its range.
    FinishLayout();
    if (!pages_.Error().isEmpty()) return;
    if (printer_.printRange() == QPrinter::AllPages)
        printer_.setFromTo(1, std::max(1, pages_.Count()));
    if (!ui::ShowPrinter(&printer_, this)) return;
    // The print dialog may have changed the paper or its orientation.
    const Sheet sheet = Sheet::FromLayout(printer_.pageLayout());
    if (!(sheet == pages_.sheet())) Relayout(sheet);
    FinishLayout();
    if (!pages_.Error().isEmpty()) return;
    const std::vector<int> order = PrintOrder(printer_, pages_.Count(), current_);
    Busy(true);
    QElapsedTimer shown;
    shown.start();
    QString error;
    const bool printed = PrintPages(pages_, order, printer_, &error, [&](int done, int total) {
        if (shown.elapsed() < 100 && done < total) return;
        shown.restart();
        Progress(QStringLiteral("Printing page %1 of %2")
                     .arg(QLocale().toString(done), QLocale().toString(total)),
                 double(done) / total);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    Busy(false);
    Progress(QString(), 1);
    status_->setText(PaperText(pages_.sheet()));
    if (!printed) {
        ui::MsgBox(error, ui::vbExclamation, QString(), this);
        return;
    }
    accept();
}

void PreviewDialog::GoToPage(int index) {
    if (!pages_.Finished() || pages_.Count() == 0) return;
    current_ = std::clamp(index, 0, pages_.Count() - 1);
    ShowCurrent();
    UpdateActions();
}

void PreviewDialog::ShowCurrent() {
    const Sheet& sheet = pages_.sheet();
    view_->SetPage(pages_.Count() > 0 ? std::optional<Page>(pages_.Make(current_)) : std::nullopt,
                   QSizeF(sheet.Width(), sheet.Height()), current_);
    pageBox_->blockSignals(true);
    pageBox_->setValue(current_ + 1);
    pageBox_->blockSignals(false);
    scroll_->verticalScrollBar()->setValue(0);
}

void PreviewDialog::UpdateActions() {
    const bool ready = pages_.Finished() && pages_.Count() > 0;
    first_->setEnabled(ready && current_ > 0);
    previous_->setEnabled(ready && current_ > 0);
    next_->setEnabled(ready && current_ + 1 < pages_.Count());
    last_->setEnabled(ready && current_ + 1 < pages_.Count());
    pageBox_->setEnabled(ready);
    const bool landscape = pages_.sheet().orientation == QPageLayout::Landscape;
    landscape_->setChecked(landscape);
    portrait_->setChecked(!landscape);
}

void PreviewDialog::ApplyFit() {
    if (fit_ == Fit::None) return;
    const Sheet& sheet = pages_.sheet();
    // The room beside a vertical scroll bar, which a page fitted to the width mostly needs.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    const QSize room = scroll_->size() - QSize(2 * kSurround + bar + 2 * scroll_->frameWidth(),
                                               2 * kSurround + 2 * scroll_->frameWidth());
    double scale = room.width() / double(sheet.Width());
    if (fit_ == Fit::Page) scale = std::min(scale, room.height() / double(sheet.Height()));
    view_->SetScale(std::clamp(scale, kPixelsPerTwip / 8, kPixelsPerTwip * 8));
}

void PreviewDialog::Zoom(double factor) {
    fit_ = Fit::None;
    view_->SetScale(std::clamp(view_->Scale() * factor, kPixelsPerTwip / 8, kPixelsPerTwip * 8));
}

}  // namespace report
