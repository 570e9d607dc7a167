#pragma once

#include <QString>
#include <functional>
#include <vector>

class QPrinter;

namespace report {

class Pages;

// Told after each page printed: how many of how many.
using PrintProgress = std::function<void(int printed, int total)>;

// The pages a printer was asked for, in the order they print (counted from 0): the print
// dialog's range (all, from-to or a list, or the page shown), last first when asked so, each as
// many times as copies are asked for and the printer cannot make itself, collated or each
// page's copies together.
std::vector<int> PrintOrder(const QPrinter& printer, int pageCount, int currentPage);

// Prints `order` of a finished layout on `printer`, or into its PDF file when it prints to
// one. False, with `error` saying why, when nothing or not all could be printed.
bool PrintPages(const Pages& pages, const std::vector<int>& order, QPrinter& printer,
                QString* error, const PrintProgress& progress = {});

// Writes `order` of a finished layout to a PDF file through a temporary file that replaces
// the old one only when it is whole; on failure the old file stays and `error` says why.
bool WritePdf(const Pages& pages, const std::vector<int>& order, const QString& path,
              QString* error, const PrintProgress& progress = {}, int resolution = 1200);

}  // namespace report
