#include "colourmask.h"

QString CalendarColourMask(const QDate& firstOfMonth, int startPosition,
                           const std::vector<AppointmentSpan>& appointments) {
    QString mask(7, u'B');
    mask.reserve(49);
    QDate cell = firstOfMonth.addDays(-startPosition);
    std::vector<const AppointmentSpan*> day;
    for (int c = 0; c < 42; ++c, cell = cell.addDays(1)) {
        day.clear();
        for (const AppointmentSpan& a : appointments) {
            if (!a.finish.isValid() || !a.start.isValid()) continue;
            if (a.start.date() <= cell && a.finish.date() >= cell) day.push_back(&a);
        }
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
