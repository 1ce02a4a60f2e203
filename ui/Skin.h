#pragma once

#include <QString>

class QWidget;
class QAbstractItemView;

namespace quennet::ui {

// Colour that is transparent in every skin bitmap: magenta (255, 0, 255).
constexpr unsigned kSkinTransparent = 0xFF00FF;

// Height of the strip along the top of a skinned window that moves it.
constexpr int kTopStripHeight = 25;

// Shapes the window from the bitmap (magenta outside the shape) and sets the
// same bitmap as its background picture. A missing or unreadable file leaves
// the window rectangular and unpainted; nothing is reported. Returns whether
// a skin was applied. Either way the window can be dragged by its top strip.
bool applySkin(QWidget *window, const QString &bitmapPath);

// A left-button drag on the window's top strip (not on a control there)
// moves the window.
void makeDraggableByTopStrip(QWidget *window);

// The program's look for a window's controls (fonts, colours, flat buttons).
void applyVisualStyle(QWidget *window);

// Background picture of a list view, drawn behind transparent rows; tiled or
// anchored bottom-left. An empty path or show == false removes the picture.
void setListBackground(QAbstractItemView *list, const QString &picturePath, bool show, bool tile);

// Registers "宋体" and the other Windows face names used by the designs as
// substitutes for an installed CJK font. Call once after QApplication exists.
void installFontSubstitutes();

}  // namespace quennet::ui
