#pragma once

#include <QColor>

// The named colours the windows share, so a colour has one value wherever it is used.
namespace vantrel::colours {

inline const QColor Cream(0xff, 0xfb, 0xf0);
inline const QColor Maroon(0x80, 0x00, 0x00);
inline const QColor Navy(0x00, 0x00, 0x80);
inline const QColor Green(0x00, 0x80, 0x00);
inline const QColor Lime(0x00, 0xff, 0x00);
inline const QColor Aqua(0x00, 0xff, 0xff);
inline const QColor Blue(0x00, 0x00, 0xff);
inline const QColor LightCyan(0xc0, 0xff, 0xff);
inline const QColor Orange(0xff, 0x80, 0x00);
inline const QColor LightYellow(0xff, 0xff, 0xc0);

} // namespace vantrel::colours
