#include "Canvas.h"
#include "Palette.h"
#include "Pictures.h"

namespace assetgen {
namespace {

namespace pal = palette;

constexpr int kFrameWidth = 300;
constexpr int kFrameHeight = 16;
constexpr int kFillWidth = 293;
constexpr int kFillHeight = 13;

} // namespace

// An inset groove: dark edge, darker well and a light lower lip, so that it
// reads as sunk into the about window's blue.
QImage drawStripFrame()
{
    QImage image = transparentImage(kFrameWidth, kFrameHeight);
    QPainter p;
    beginSmooth(p, image);
    const QRectF outer(0.5, 0.5, kFrameWidth - 1, kFrameHeight - 1);
    p.setPen(QPen(mix(pal::kAboutBackground, pal::kOutline, 0.55), 1));
    p.setBrush(verticalGradient(0, kFrameHeight, mix(pal::kAboutBackground, pal::kOutline, 0.6),
                                mix(pal::kAboutBackground, pal::kOutline, 0.35)));
    p.drawRoundedRect(outer, 4, 4);
    p.setPen(QPen(mix(pal::kAboutBackground, pal::kWhite, 0.45), 1));
    p.drawLine(QPointF(4, kFrameHeight - 0.5), QPointF(kFrameWidth - 4, kFrameHeight - 0.5));
    p.end();
    return image;
}

// Teal fill with a glossy upper half and faint diagonal stripes; it is shown
// cut off at the right as it grows, so it has no right-hand end.
QImage drawStripFill()
{
    QImage image = transparentImage(kFillWidth, kFillHeight);
    QPainter p;
    beginSmooth(p, image);
    p.fillRect(image.rect(), verticalGradient(0, kFillHeight, pal::kTealLight, pal::kTealDark));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 34));
    for (int x = -kFillHeight; x < kFillWidth + kFillHeight; x += 12) {
        QPainterPath band;
        band.moveTo(x, kFillHeight);
        band.lineTo(x + 6, kFillHeight);
        band.lineTo(x + 6 + kFillHeight, 0);
        band.lineTo(x + kFillHeight, 0);
        band.closeSubpath();
        p.drawPath(band);
    }
    p.fillRect(QRectF(0, 0, kFillWidth, kFillHeight / 2.0), QColor(255, 255, 255, 46));
    p.fillRect(QRectF(0, 0, kFillWidth, 1), QColor(255, 255, 255, 90));
    p.fillRect(QRectF(0, kFillHeight - 1, kFillWidth, 1), QColor(0, 0, 0, 40));
    p.end();
    return image;
}

} // namespace assetgen
