#include "currency.h"

#include <cmath>

namespace db {

Currency Currency::fromDouble(double value) {
    return fromTicks(static_cast<std::int64_t>(std::llround(value * kScale)));
}

std::optional<Currency> Currency::fromPlainText(const QString& input) {
    const QString text = input.trimmed();
    if (text.isEmpty()) return std::nullopt;
    int i = 0;
    bool negative = false;
    if (text[0] == u'-' || text[0] == u'+') {
        negative = text[0] == u'-';
        ++i;
    }
    std::int64_t units = 0;
    std::int64_t frac = 0;
    int fracDigits = 0;
    bool anyDigit = false;
    bool inFraction = false;
    for (; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == u'.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (!ch.isDigit() || ch.unicode() > '9') return std::nullopt;
        anyDigit = true;
        const int d = ch.unicode() - '0';
        if (inFraction) {
            // Beyond four decimals only the rounding digit counts.
            if (fracDigits < 4) {
                frac = frac * 10 + d;
            } else if (fracDigits == 4 && d >= 5) {
                frac += 1;
            }
            ++fracDigits;
        } else {
            if (units > (INT64_MAX / kScale - 9) / 10) return std::nullopt;
            units = units * 10 + d;
        }
    }
    if (!anyDigit) return std::nullopt;
    for (int k = std::min(fracDigits, 4); k < 4; ++k) frac *= 10;
    const std::int64_t ticks = units * kScale + frac;
    return fromTicks(negative ? -ticks : ticks);
}

QString Currency::toPlainText() const {
    const std::int64_t a = ticks_ < 0 ? -ticks_ : ticks_;
    QString s = QString::number(a / kScale);
    std::int64_t frac = a % kScale;
    if (frac != 0) {
        QString f = QString::number(frac).rightJustified(4, u'0');
        while (f.endsWith(u'0')) f.chop(1);
        s += u'.' + f;
    }
    return ticks_ < 0 ? u'-' + s : s;
}

Currency Currency::roundedToPence() const {
    const std::int64_t a = ticks_ < 0 ? -ticks_ : ticks_;
    const std::int64_t r = (a + 50) / 100 * 100;
    return fromTicks(ticks_ < 0 ? -r : r);
}

Currency Currency::times(double factor) const {
    return fromDouble(toDouble() * factor);
}

}  // namespace db
