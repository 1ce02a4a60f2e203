#pragma once

#include <QImage>
#include <QVector>

namespace assetgen {

// Menu pictures 0..8, each 16 x 15 on white: query, delete, export data,
// add contact, help, modify, password, exit, about.
QVector<QImage> drawMenuPictures();

// The application mark at one of its icon sizes, with alpha.
QImage drawAppIcon(int size);
const QVector<int> &appIconSizes();

// About window: frame of the progress strip (300 x 16) and its fill (293 x 13).
QImage drawStripFrame();
QImage drawStripFill();

} // namespace assetgen
