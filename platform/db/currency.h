#pragma once

#include <QMetaType>
#include <QString>

#include <compare>
#include <cstdint>
#include <optional>

namespace db {

// Money as a fixed-point number of ten-thousandths, never a double, so that sums of
// amounts come out exact.
class Currency {
public:
    static constexpr std::int64_t kScale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromTicks(std::int64_t ticks) {
        Currency c;
        c.ticks_ = ticks;
        return c;
    }
    // The conversions below give nullopt for an amount beyond the range of ticks (about
    // 922,337,203,685,477.58 either way): such an amount overflows, it never wraps.
    // Rounds half away from zero to four decimals.
    static std::optional<Currency> fromDouble(double value);
    static std::optional<Currency> fromWholeNumber(std::int64_t units);
    // For amounts written in the code: one out of range does not compile.
    static consteval Currency fromUnits(std::int64_t units) { return fromTicks(units * kScale); }
    // Reads a plain C-locale decimal ("-12.5", "3", "0.0001"); nothing else.
    static std::optional<Currency> fromPlainText(const QString& text);

    constexpr std::int64_t ticks() const { return ticks_; }
    double toDouble() const { return static_cast<double>(ticks_) / kScale; }
    // Plain C-locale text with the decimals needed, at most four ("12.5", "-0.0001", "3").
    QString toPlainText() const;

    constexpr auto operator<=>(const Currency&) const = default;
    // Sums, differences and products check the range of ticks: nullopt is an overflow, the
    // amount that cannot be held, never a wrapped one.
    std::optional<Currency> plus(Currency o) const;
    std::optional<Currency> minus(Currency o) const;
    std::optional<Currency> negated() const;
    // Multiplies by a rate (a VAT multiplier, a mileage factor) taken to nine decimals, rounding
    // half away from zero to four.
    std::optional<Currency> times(double factor) const;

    // The amount rounded to pence, as the digits money texts are made of: never a double,
    // which holds pence only up to about 900 billion.
    struct Pence {
        bool negative;
        std::uint64_t units;
        int hundredths;
    };
    Pence pence() const;

private:
    std::int64_t ticks_ = 0;
};

}  // namespace db

Q_DECLARE_METATYPE(db::Currency)
