#pragma once

#include <QColor>

// One palette for every picture: a deep navy body, a teal accent and a light
// "screen" blue-white. Keep new pictures inside these colours.
namespace assetgen::palette {

inline const QColor kMagenta(255, 0, 255);

// Device body (top to bottom of the gradient) and its hard outline.
inline const QColor kBodyTop(0x1F, 0x5C, 0x8C);
inline const QColor kBodyBottom(0x0D, 0x2D, 0x4A);
inline const QColor kOutline(0x07, 0x1B, 0x2E);

// Light header cap that carries the blue title text.
inline const QColor kCapTop(0xF4, 0xF8, 0xFC);
inline const QColor kCapBottom(0xD6, 0xE5, 0xF1);

// Screen panel and its status strip.
inline const QColor kScreenTop(0xFB, 0xFD, 0xFE);
inline const QColor kScreenBottom(0xE7, 0xEF, 0xF6);
inline const QColor kScreenBorder(0x0A, 0x26, 0x40);
inline const QColor kScreenBand(0xEE, 0xF4, 0xF9);
inline const QColor kScreenLine(0xC3, 0xD5, 0xE4);
inline const QColor kStripTop(0xE0, 0xEB, 0xF4);
inline const QColor kStripBottom(0xC8, 0xDB, 0xEA);

// Teal accent.
inline const QColor kTealLight(0x4C, 0xCB, 0xC1);
inline const QColor kTeal(0x22, 0xA6, 0x9E);
inline const QColor kTealDark(0x15, 0x7E, 0x78);
inline const QColor kTealDeep(0x0F, 0x62, 0x5D);

// Light keys.
inline const QColor kKeyTop(0xFF, 0xFF, 0xFF);
inline const QColor kKeyBottom(0xD8, 0xE4, 0xEE);
inline const QColor kKeyBorder(0x86, 0xA2, 0xBA);
inline const QColor kKeyHoverBottom(0xE2, 0xF4, 0xF2);
inline const QColor kKeyPressedTop(0xC6, 0xD6, 0xE3);
inline const QColor kKeyPressedBottom(0xE4, 0xEC, 0xF3);
inline const QColor kKeyShadow(0x04, 0x12, 0x20, 150);

// Text and glyphs.
inline const QColor kInk(0x12, 0x3A, 0x5E);
inline const QColor kInkSoft(0x4F, 0x6F, 0x8C);
inline const QColor kWhite(0xFF, 0xFF, 0xFF);

// Warnings (close, delete, exit).
inline const QColor kRedLight(0xF0, 0x74, 0x6A);
inline const QColor kRed(0xD2, 0x45, 0x3C);
inline const QColor kRedDark(0xA8, 0x30, 0x2A);

// Warm accents of small pictures (folder, pencil, key).
inline const QColor kAmberLight(0xFA, 0xCD, 0x5C);
inline const QColor kAmber(0xE3, 0xA3, 0x2B);
inline const QColor kAmberDark(0xB0, 0x78, 0x14);

// Background of the about window, given by its design.
inline const QColor kAboutBackground(0x3A, 0x6E, 0xA5);

} // namespace assetgen::palette
