#pragma once

// Storing a recurring series: the master's pattern and its occurrence rows, each change
// in one transaction so that a failure leaves the series as it was.

#include <QString>

#include "diary/recurrencerules.h"
#include "platform/db/connection.h"

namespace recurrence {

struct Stored {
    bool ok = false;
    QString error;
    // Occurrences left in place because they are on an invoice or have expenses.
    int kept = 0;
};

// Puts the pattern on the master and writes the occurrences (slot 1 on) after removing
// the series' old ones. An occurrence kept from the old series stands for a new one on
// its day.
Stored WriteSeries(db::Connection& c, qint64 masterId, const Series& series);

// Removes the occurrences of the series and clears the master's pattern.
Stored DeleteSeries(db::Connection& c, qint64 masterId);

}  // namespace recurrence
