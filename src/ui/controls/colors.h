#pragma once
// The named colours the module windows give their lamps.

#include <QColor>

inline constexpr QColor clLime{0, 255, 0};
inline constexpr QColor clGreen{0, 128, 0};
inline constexpr QColor clSilver{192, 192, 192};
inline constexpr QColor clYellow{255, 255, 0};
inline constexpr QColor clRed{255, 0, 0};
