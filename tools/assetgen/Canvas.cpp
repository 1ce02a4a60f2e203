#include "Canvas.h"

#include <QFontMetricsF>

namespace assetgen {

QFont uiFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage filledImage(int width, int height, const QColor &color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

void beginSmooth(QPainter &painter, QImage &image)
{
    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QLinearGradient verticalGradient(qreal top, qreal bottom, const QColor &from, const QColor &to)
{
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

QLinearGradient horizontalGradient(qreal left, qreal right, const QColor &from, const QColor &to)
{
    QLinearGradient gradient(left, 0, right, 0);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

QPainterPath roundedRect(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QPainterPath circle(const QPointF &centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QColor mix(const QColor &a, const QColor &b, qreal amount)
{
    auto channel = [amount](int x, int y) { return qRound(x + (y - x) * amount); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()),
                  channel(a.alpha(), b.alpha()));
}

qreal textWidth(const QFont &font, const QString &text)
{
    return QFontMetricsF(font).horizontalAdvance(text);
}

void drawCentredText(QPainter &painter, const QPointF &centre, const QFont &font, const QColor &color,
                     const QString &text)
{
    QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(text);
    const qreal x = centre.x() - ink.width() / 2 - ink.left();
    const qreal y = centre.y() - ink.height() / 2 - ink.top();
    painter.save();
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QPointF(qRound(x), qRound(y)), text);
    painter.restore();
}

void drawDownMarker(QPainter &painter, const QPointF &centre, qreal width, const QColor &color)
{
    const qreal half = width / 2;
    const qreal height = width * 0.55;
    QPainterPath marker;
    marker.moveTo(centre.x() - half, centre.y() - height / 2);
    marker.lineTo(centre.x() + half, centre.y() - height / 2);
    marker.lineTo(centre.x(), centre.y() + height / 2);
    marker.closeSubpath();
    painter.fillPath(marker, color);
}

} // namespace assetgen
