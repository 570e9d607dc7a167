#include "print.h"

#include <QDir>
#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>

#include "pages.h"
#include "platform/files/savefile.h"

namespace report {

namespace {

QString CannotWrite(const QString& path, const QString& why) {
    return QStringLiteral("The report could not be written to \"%1\": %2")
        .arg(QDir::toNativeSeparators(path), why);
}

void PaintAll(const Pages& pages, const std::vector<int>& order, QPagedPaintDevice& device,
              QPainter& painter, double scale, const PrintProgress& progress) {
    const int total = static_cast<int>(order.size());
    for (int i = 0; i < total; ++i) {
        if (i > 0) device.newPage();
        Report::Paint(pages.Make(order[static_cast<size_t>(i)]), painter, scale);
        if (progress) progress(i + 1, total);
    }
}

}  // namespace

std::vector<int> PrintOrder(const QPrinter& printer, int pageCount, int currentPage) {
    std::vector<int> chosen;
    switch (printer.printRange()) {
        case QPrinter::PageRange: {
            const QPageRanges ranges = printer.pageRanges();
            for (int p = 1; p <= pageCount; ++p)
                if (ranges.isEmpty() ? p >= printer.fromPage() && p <= printer.toPage()
                                     : ranges.contains(p))
                    chosen.push_back(p - 1);
            break;
        }
        case QPrinter::CurrentPage:
            if (currentPage >= 0 && currentPage < pageCount) chosen.push_back(currentPage);
            break;
        case QPrinter::AllPages:
        case QPrinter::Selection:
            for (int p = 0; p < pageCount; ++p) chosen.push_back(p);
            break;
    }
    if (printer.pageOrder() == QPrinter::LastPageFirst) std::reverse(chosen.begin(), chosen.end());
    // A printer that makes its own copies is given each page once.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    std::vector<int> order;
    order.reserve(chosen.size() * static_cast<size_t>(copies));
    if (printer.collateCopies()) {
        for (int c = 0; c < copies; ++c) order.insert(order.end(), chosen.begin(), chosen.end());
    } else {
        for (const int p : chosen) order.insert(order.end(), static_cast<size_t>(copies), p);
    }
    return order;
}

bool WritePdf(const Pages& pages, const std::vector<int>& order, const QString& path,
              QString* error, const PrintProgress& progress, int resolution) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (order.empty()) return fail(QStringLiteral("No page of the report is in the range chosen."));
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return fail(CannotWrite(path, files::Reason(file, errno)));
    {
        QPdfWriter writer(&file);
        writer.setResolution(resolution);
        const Report& r = pages.report();
        writer.setTitle(r.Title.isEmpty() ? r.Caption : r.Title);
        writer.setPageLayout(pages.sheet().PdfLayout());
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            file.commit();
            return fail(CannotWrite(path, files::Reason(file)));
        }
        PaintAll(pages, order, writer, painter, writer.resolution() / 1440.0, progress);
        painter.end();
    }
    QString why;
    if (!files::Commit(file, file.pos(), &why)) return fail(CannotWrite(path, why));
    return true;
}

bool PrintPages(const Pages& pages, const std::vector<int>& order, QPrinter& printer,
                QString* error, const PrintProgress& progress) {
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return WritePdf(pages, order, printer.outputFileName(), error, progress,
                        printer.resolution());
    if (order.empty()) {
        if (error) *error = QStringLiteral("No page of the report is in the range chosen.");
        return false;
    }
    printer.setFullPage(true);
    printer.setPageLayout(pages.sheet().PrinterLayout());
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("The printer \"%1\" could not be started.")
                         .arg(printer.printerName());
        return false;
    }
    PaintAll(pages, order, printer, painter, printer.resolution() / 1440.0, progress);
    painter.end();
    if (printer.printerState() == QPrinter::Error) {
        if (error)
            *error =
                QStringLiteral("The printer \"%1\" reported an error.").arg(printer.printerName());
        return false;
    }
    return true;
}

}  // namespace report
