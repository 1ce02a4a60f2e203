#pragma once

#include <QImage>
#include <QString>
#include <QVector>

namespace assetgen {

enum class ButtonState { Normal, Hover, Pressed };

// One picture of an image button: file base name (e.g. "key5") and state.
struct ButtonPicture {
    QString image;
    ButtonState state;
    QImage picture;
};

// All image-button pictures, three states each, at their controls' sizes.
QVector<ButtonPicture> drawButtons();

QString stateSuffix(ButtonState state);

} // namespace assetgen
