#include "currency.h"

#include <cmath>

namespace db {

namespace {
// 2^63: the first amount of ticks beyond the range, exact as a double.
constexpr double kTickLimit = 9223372036854775808.0;

// Unsigned, as the lowest amount has no positive counterpart in ticks.
std::uint64_t Magnitude(std::int64_t ticks) {
    return ticks < 0 ? 0 - static_cast<std::uint64_t>(ticks) : static_cast<std::uint64_t>(ticks);
}
}  // namespace

std::optional<Currency> Currency::fromDouble(double value) {
    const double ticks = std::round(value * kScale);
    if (!(ticks >= -kTickLimit && ticks < kTickLimit)) return std::nullopt;  // NaN too
    return fromTicks(static_cast<std::int64_t>(ticks));
}

std::optional<Currency> Currency::fromWholeNumber(std::int64_t units) {
    if (units > INT64_MAX / kScale || units < INT64_MIN / kScale) return std::nullopt;
    return fromTicks(units * kScale);
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
    // The magnitude may reach 2^63 ticks only when negative.
    const std::uint64_t limit = negative ? std::uint64_t(INT64_MAX) + 1 : std::uint64_t(INT64_MAX);
    std::uint64_t units = 0;
    std::uint64_t frac = 0;
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
            units = units * 10 + static_cast<std::uint64_t>(d);
            if (units > limit / kScale) return std::nullopt;
        }
    }
    if (!anyDigit) return std::nullopt;
    for (int k = std::min(fracDigits, 4); k < 4; ++k) frac *= 10;
    const std::uint64_t magnitude = units * kScale + frac;
    if (magnitude > limit) return std::nullopt;
    return fromTicks(static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude));
}

QString Currency::toPlainText() const {
    const std::uint64_t a = Magnitude(ticks_);
    QString s = QString::number(a / kScale);
    const std::uint64_t frac = a % kScale;
    if (frac != 0) {
        QString f = QString::number(frac).rightJustified(4, u'0');
        while (f.endsWith(u'0')) f.chop(1);
        s += u'.' + f;
    }
    return ticks_ < 0 ? u'-' + s : s;
}

std::optional<Currency> Currency::plus(Currency o) const {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(ticks_, o.ticks_, &sum)) return std::nullopt;
    return fromTicks(sum);
}

std::optional<Currency> Currency::minus(Currency o) const {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(ticks_, o.ticks_, &difference)) return std::nullopt;
    return fromTicks(difference);
}

std::optional<Currency> Currency::negated() const { return fromTicks(0).minus(*this); }

std::optional<Currency> Currency::times(double factor) const {
    // The rate as whole billionths, so that 1.175 is the decimal it stands for and 150.50
    // times it is exactly 176.8375; the product is worked out in 128 bits.
    constexpr std::int64_t kRateScale = 1000000000;
    const double rate = std::round(factor * static_cast<double>(kRateScale));
    if (!(std::fabs(rate) < 9.2e18)) return std::nullopt;  // NaN and infinities too
    __extension__ typedef __int128 Wide;
    const Wide product = Wide(ticks_) * Wide(static_cast<std::int64_t>(rate));
    const Wide half = kRateScale / 2;
    const Wide result = (product < 0 ? product - half : product + half) / kRateScale;
    if (result > Wide(INT64_MAX) || result < Wide(INT64_MIN)) return std::nullopt;
    return fromTicks(static_cast<std::int64_t>(result));
}

Currency::Pence Currency::pence() const {
    const std::uint64_t hundredths = (Magnitude(ticks_) + 50) / 100;
    return {ticks_ < 0 && hundredths != 0, hundredths / 100, static_cast<int>(hundredths % 100)};
}

}  // namespace db
