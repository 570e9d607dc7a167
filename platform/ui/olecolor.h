#pragma once

// &H00BBGGRR colours, as the settings store and the calendar control keep them. Header-only, so
// the calendar library can use it without linking this layer.
#include <QColor>

#include <cstdint>

namespace ui {

inline QColor ToQColor(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

inline std::uint32_t FromQColor(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
}

}  // namespace ui
