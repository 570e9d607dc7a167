#include "colourmask.h"

QString CalendarColourMask(const QDate& firstOfMonth, int startPosition,
                           const std::vector<AppointmentSpan>& appointments) {
    QString mask(7, u'B');
    mask.reserve(49);
    // Each appointment's first and last day, worked out once rather than for every cell.
    struct Days {
        qint64 first, last;
        const AppointmentSpan* a;
    };
    std::vector<Days> days;
    days.reserve(appointments.size());
    for (const AppointmentSpan& a : appointments)
        if (a.finish.isValid() && a.start.isValid())
            days.push_back({a.start.date().toJulianDay(), a.finish.date().toJulianDay(), &a});
    const qint64 cell0 = firstOfMonth.addDays(-startPosition).toJulianDay();
    std::vector<const AppointmentSpan*> day;
    for (qint64 c = 0, cell = cell0; c < 42; ++c, ++cell) {
        day.clear();
        for (const Days& d : days)
            if (d.first <= cell && d.last >= cell) day.push_back(d.a);
        QChar letter = u'A';
        if (day.size() == 1) letter = u'C';
        if (day.size() > 1) {
            letter = u'C';
            for (size_t k = 0; k < day.size() && letter == u'C'; ++k)
                for (size_t m = k + 1; m < day.size(); ++m)
                    if (day[m]->start < day[k]->finish && day[k]->start < day[m]->finish) {
                        letter = u'D';
                        break;
                    }
        }
        mask += letter;
    }
    return mask;
}

int StartPositionFromOutputInfo(int outputInfo) {
    const QString text = QString::number(outputInfo);
    if (text.size() < 2) return 0;
    const int s = text[1].digitValue();
    return s >= 0 && s <= 6 ? s : 0;
}
