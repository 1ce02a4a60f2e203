#pragma once

#include <QImage>
#include <QString>

namespace assetgen {

// Main window 210 x 367: phone body, header cap, screen with status strip.
QImage drawMainSkin();
// Tile behind the contact list, seamless.
QImage drawListTile();
// Small windows 210 x 205: header cap, light panel, button band.
QImage drawSmallSkin();

// Checks the hard edge of a skin: every pixel outside the shape is exactly
// magenta and no pixel inside carries a magenta tint. Returns an empty text
// when clean, otherwise a description of the first fault.
QString checkSkinEdge(const QImage &skin);

} // namespace assetgen
