#include "Canvas.h"
#include "Palette.h"
#include "Pictures.h"

namespace assetgen {
namespace {

namespace pal = palette;

// A contact silhouette: head and rounded shoulders, clipped to the page.
void paintSilhouette(QPainter &p, const QPointF &centre, qreal unit, const QColor &color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(centre.x(), centre.y() - unit * 0.55), unit * 0.5, unit * 0.5);
    QPainterPath shoulders;
    shoulders.addRoundedRect(
        QRectF(centre.x() - unit * 0.95, centre.y() + unit * 0.1, unit * 1.9, unit * 1.05), unit * 0.5,
        unit * 0.5);
    p.drawPath(shoulders);
}

// Small sizes: the navy tile with a teal spine and a white silhouette.
void paintSimpleMark(QPainter &p, qreal s)
{
    const QRectF tile(0.5, 0.5, s - 1, s - 1);
    const QPainterPath shape = roundedRect(tile, s * 0.2);
    p.setPen(QPen(pal::kOutline, 1));
    p.setBrush(verticalGradient(0, s, pal::kBodyTop, pal::kBodyBottom));
    p.drawPath(shape);
    p.save();
    p.setClipPath(shape);
    p.fillRect(QRectF(0, 0, qRound(s * 0.22), s), verticalGradient(0, s, pal::kTealLight, pal::kTealDark));
    p.restore();
    paintSilhouette(p, QPointF(s * 0.6, s * 0.5), s * 0.33, pal::kWhite);
}

// Larger sizes: a book with a teal ringed spine and a contact on its page.
void paintBookMark(QPainter &p, qreal s)
{
    const QRectF tile(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    p.setPen(QPen(pal::kOutline, qMax(1.0, s / 48)));
    p.setBrush(verticalGradient(tile.top(), tile.bottom(), pal::kBodyTop, pal::kBodyBottom));
    p.drawRoundedRect(tile, s * 0.2, s * 0.2);

    const QRectF page(s * 0.3, s * 0.17, s * 0.52, s * 0.66);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(page.translated(s * 0.015, s * 0.03), s * 0.06, s * 0.06);
    p.setBrush(verticalGradient(page.top(), page.bottom(), pal::kScreenTop, pal::kScreenBottom));
    p.drawRoundedRect(page, s * 0.06, s * 0.06);

    const QRectF spine(s * 0.19, s * 0.17, s * 0.15, s * 0.66);
    p.setBrush(horizontalGradient(spine.left(), spine.right(), pal::kTealLight, pal::kTealDark));
    p.drawRoundedRect(spine, s * 0.05, s * 0.05);
    if (s >= 40) {
        p.setBrush(pal::kScreenTop);
        for (int ring = 0; ring < 3; ++ring)
            p.drawEllipse(QPointF(spine.center().x(), spine.top() + spine.height() * (0.22 + ring * 0.28)),
                          s * 0.028, s * 0.028);
    }

    p.save();
    p.setClipRect(page.adjusted(0, 0, 0, -s * 0.18));
    paintSilhouette(p, QPointF(page.center().x() + s * 0.01, page.top() + page.height() * 0.42), s * 0.17,
                    pal::kTeal);
    p.restore();
    // two text lines under the contact
    p.setBrush(pal::kScreenLine);
    const qreal lineHeight = qMax(1.0, s * 0.035);
    p.drawRoundedRect(
        QRectF(page.left() + page.width() * 0.2, page.bottom() - s * 0.14, page.width() * 0.6, lineHeight),
        lineHeight / 2, lineHeight / 2);
    p.drawRoundedRect(
        QRectF(page.left() + page.width() * 0.3, page.bottom() - s * 0.085, page.width() * 0.4, lineHeight),
        lineHeight / 2, lineHeight / 2);
}

} // namespace

const QVector<int> &appIconSizes()
{
    static const QVector<int> sizes = {16, 20, 24, 32, 40, 48, 64, 256};
    return sizes;
}

QImage drawAppIcon(int size)
{
    QImage image = transparentImage(size, size);
    QPainter p;
    beginSmooth(p, image);
    if (size < 32)
        paintSimpleMark(p, size);
    else
        paintBookMark(p, size);
    p.end();
    return image;
}

} // namespace assetgen
