#pragma once

#include <QDeadlineTimer>
#include <memory>

#include "report.h"

namespace report {

// A report laid out on a sheet a part at a time, so that a window can show how far it is and
// answer meanwhile. Its rows are read and measured once, whatever the sheet; then its columns
// are fitted to the sheet and its bands broken into pages. A page's items are made when they
// are asked for, so that showing one page does not wait for the items of all the others.
class Pages {
  public:
    // On the report's own sheet.
    explicit Pages(const Report& report);
    Pages(const Report& report, const Sheet& sheet);
    ~Pages();
    Pages(const Pages&) = delete;
    Pages& operator=(const Pages&) = delete;

    const Report& report() const;
    const Sheet& sheet() const;
    // Lays the report out again on `sheet`, keeping what was read from its rows.
    void SetSheet(const Sheet& sheet);

    // Works on until all is laid out, it failed, or `deadline` passes; true when finished.
    bool Advance(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    bool Finished() const;
    // Why it failed; empty while all goes well.
    QString Error() const;
    // What it is doing, for a progress line, and how far it is, from 0 to 1.
    QString Doing() const;
    double Done() const;

    // Once finished: how many pages, and the items of one (counted from 0).
    int Count() const;
    Page Make(int index) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace report
