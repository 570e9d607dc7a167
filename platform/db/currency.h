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
    // Rounded to two decimals, half away from zero.
    Currency roundedToPence() const;

    constexpr auto operator<=>(const Currency&) const = default;
    constexpr Currency operator+(Currency o) const { return fromTicks(ticks_ + o.ticks_); }
    constexpr Currency operator-(Currency o) const { return fromTicks(ticks_ - o.ticks_); }
    constexpr Currency operator-() const { return fromTicks(-ticks_); }
    Currency& operator+=(Currency o) {
        ticks_ += o.ticks_;
        return *this;
    }
    Currency& operator-=(Currency o) {
        ticks_ -= o.ticks_;
        return *this;
    }
    // Multiplies by a rate (a VAT multiplier, a mileage factor), rounding to four decimals.
    Currency times(double factor) const;

private:
    std::int64_t ticks_ = 0;
};

}  // namespace db

Q_DECLARE_METATYPE(db::Currency)
