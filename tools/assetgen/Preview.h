#pragma once

#include "Buttons.h"

#include <QImage>
#include <QMap>
#include <QVector>

namespace assetgen {

// Everything the generator draws, kept together for saving and previewing.
struct AssetSet {
    QImage mainSkin;
    QImage listTile;
    QImage smallSkin;
    QVector<ButtonPicture> buttons;
    QVector<QImage> menuPictures;
    QMap<int, QImage> appIcons;
    QImage stripFrame;
    QImage stripFill;
};

// Composes the windows as the program shows them (skins, buttons at their
// places, sample labels and boxes) plus sheets of the small pictures.
QImage composePreview(const AssetSet &assets);

} // namespace assetgen
