#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

// Small drawing helpers shared by all pictures.
namespace assetgen {

// The one face used for text in pictures: it carries the Chinese glyphs.
QFont uiFont(int pixelSize, bool bold = false);

// A fully transparent ARGB picture of the given size.
QImage transparentImage(int width, int height);

// An opaque picture filled with one colour.
QImage filledImage(int width, int height, const QColor &color);

// A painter with antialiasing switched on.
void beginSmooth(QPainter &painter, QImage &image);

QLinearGradient verticalGradient(qreal top, qreal bottom, const QColor &from, const QColor &to);
QLinearGradient horizontalGradient(qreal left, qreal right, const QColor &from, const QColor &to);

QPainterPath roundedRect(const QRectF &rect, qreal radius);
QPainterPath circle(const QPointF &centre, qreal radius);

// Mixes two colours: amount 0 gives a, 1 gives b.
QColor mix(const QColor &a, const QColor &b, qreal amount);

// Width of a text in the given font, in pixels.
qreal textWidth(const QFont &font, const QString &text);

// Draws text so that its ink box is centred on the given point.
void drawCentredText(QPainter &painter, const QPointF &centre, const QFont &font, const QColor &color,
                     const QString &text);

// A small downward triangle (menu marker) centred on the point.
void drawDownMarker(QPainter &painter, const QPointF &centre, qreal width, const QColor &color);

} // namespace assetgen
