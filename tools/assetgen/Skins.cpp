#include "Skins.h"

#include "Canvas.h"
#include "Palette.h"

#include <algorithm>
#include <cstdlib>

namespace assetgen {
namespace {

namespace pal = palette;

constexpr int kSkinWidth = 210;
constexpr int kMainHeight = 367;
constexpr int kSmallHeight = 205;
constexpr int kCapHeight = 26; // header cap rows 0..25, accent line 26..27

// A rounded rectangle tested at pixel centres, so that its edge is a hard
// staircase with no blended pixel.
struct WindowShape {
    int width;
    int height;
    int topRadius;
    int bottomRadius;

    bool contains(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return false;
        const double px = x + 0.5, py = y + 0.5;
        return insideCorner(px, py, topRadius, true) && insideCorner(px, py, bottomRadius, false);
    }

private:
    bool insideCorner(double px, double py, int radius, bool top) const
    {
        const double cy = top ? radius : height - radius;
        if ((top && py >= cy) || (!top && py <= cy))
            return true;
        double cx;
        if (px < radius)
            cx = radius;
        else if (px > width - radius)
            cx = width - radius;
        else
            return true;
        const double dx = px - cx, dy = py - cy;
        return dx * dx + dy * dy <= double(radius) * radius;
    }
};

// Chebyshev distance from an inside pixel to the nearest outside pixel,
// capped at limit.
int distanceToOutside(const WindowShape &shape, int x, int y, int limit)
{
    for (int d = 1; d < limit; ++d) {
        for (int dy = -d; dy <= d; ++dy)
            for (int dx = -d; dx <= d; ++dx)
                if ((std::abs(dx) == d || std::abs(dy) == d) && !shape.contains(x + dx, y + dy))
                    return d;
    }
    return limit;
}

// Cuts the painted body to the shape: magenta outside, a dark outline on the
// outermost ring and a faint highlight on the ring inside it.
QImage applyShape(const QImage &body, const WindowShape &shape)
{
    QImage skin = body.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < skin.height(); ++y) {
        for (int x = 0; x < skin.width(); ++x) {
            if (!shape.contains(x, y)) {
                skin.setPixelColor(x, y, pal::kMagenta);
                continue;
            }
            const int d = distanceToOutside(shape, x, y, 3);
            if (d == 1)
                skin.setPixelColor(x, y, pal::kOutline);
            else if (d == 2)
                skin.setPixelColor(x, y, mix(skin.pixelColor(x, y), pal::kWhite, 0.22));
        }
    }
    return skin;
}

void paintBody(QPainter &p, int height)
{
    p.fillRect(QRect(0, 0, kSkinWidth, height),
               verticalGradient(kCapHeight, height, pal::kBodyTop, pal::kBodyBottom));
}

// Light header: the window title (blue text) and the two round buttons sit on it.
void paintCap(QPainter &p)
{
    p.fillRect(QRect(0, 0, kSkinWidth, kCapHeight),
               verticalGradient(0, kCapHeight, pal::kCapTop, pal::kCapBottom));
    p.fillRect(QRect(0, kCapHeight, kSkinWidth, 1), pal::kTeal);
    p.fillRect(QRect(0, kCapHeight + 1, kSkinWidth, 1), pal::kTealDark);
}

// The earpiece slot of the phone, between the title and the buttons.
void paintEarpiece(QPainter &p)
{
    const QRectF slot(91.5, 10.5, 30, 5);
    p.setPen(QPen(mix(pal::kCapBottom, pal::kInk, 0.45), 1));
    p.setBrush(verticalGradient(slot.top(), slot.bottom(), mix(pal::kCapBottom, pal::kInk, 0.55),
                                mix(pal::kCapBottom, pal::kInk, 0.25)));
    p.drawRoundedRect(slot, 2.5, 2.5);
}

// A light panel with a thin dark border; the pixel rows and columns given
// are those of the border.
QPainterPath paintPanel(QPainter &p, int left, int top, int right, int bottom)
{
    const QRectF frame(left + 0.5, top + 0.5, right - left, bottom - top);
    const QPainterPath path = roundedRect(frame, 6);
    p.setPen(QPen(pal::kScreenBorder, 1));
    p.setBrush(verticalGradient(top, bottom, pal::kScreenTop, pal::kScreenBottom));
    p.drawPath(path);
    return roundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), 5.5);
}

// Soft glow along the panel's top inner edge, like glass.
void paintPanelGloss(QPainter &p, const QPainterPath &inner, int top, int depth)
{
    p.save();
    p.setClipPath(inner);
    QLinearGradient gloss =
        verticalGradient(top, top + depth, QColor(255, 255, 255, 200), QColor(255, 255, 255, 0));
    p.fillRect(QRect(0, top, kSkinWidth, depth), gloss);
    p.restore();
}

// A round avatar in front of the name row.
void paintAvatar(QPainter &p, const QPointF &centre, qreal radius)
{
    p.setPen(QPen(pal::kTealDark, 1));
    p.setBrush(verticalGradient(centre.y() - radius, centre.y() + radius, pal::kTealLight, pal::kTeal));
    p.drawEllipse(centre, radius, radius);
    p.save();
    p.setClipPath(circle(centre, radius - 0.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawEllipse(QPointF(centre.x(), centre.y() - radius * 0.22), radius * 0.34, radius * 0.34);
    p.drawEllipse(QPointF(centre.x(), centre.y() + radius * 0.78), radius * 0.66, radius * 0.5);
    p.restore();
}

// Record rows: a soft band behind every second row and a hairline under the
// name row, all hidden under the contact list in list view.
void paintRecordRows(QPainter &p)
{
    p.fillRect(QRect(8, 59, 194, 1), pal::kScreenLine);
    for (int row = 0; row < 5; ++row) {
        const int top = 63 + row * 20;
        if (row % 2 == 1)
            p.fillRect(QRect(7, top, 196, 20), pal::kScreenBand);
    }
}

void paintStatusStrip(QPainter &p, const QPainterPath &inner, int top, int bottom)
{
    p.save();
    p.setClipPath(inner);
    p.fillRect(QRect(0, top, kSkinWidth, 1), pal::kScreenLine);
    p.fillRect(QRect(0, top + 1, kSkinWidth, bottom - top),
               verticalGradient(top + 1, bottom, pal::kStripTop, pal::kStripBottom));
    p.restore();
}

// A faint plate behind the command row and the keypad.
void paintKeyPlate(QPainter &p)
{
    const QRectF plate(5.5, 201.5, 199, 159);
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    p.setBrush(QColor(0, 0, 0, 38));
    p.drawRoundedRect(plate, 12, 12);
}

} // namespace

QImage drawMainSkin()
{
    QImage body = filledImage(kSkinWidth, kMainHeight, pal::kBodyBottom);
    QPainter p;
    beginSmooth(p, body);
    paintBody(p, kMainHeight);
    paintCap(p);
    paintEarpiece(p);
    const QPainterPath screen = paintPanel(p, 4, 30, 205, 197);
    paintPanelGloss(p, screen, 31, 20);
    paintRecordRows(p);
    paintAvatar(p, QPointF(22, 44), 11);
    paintStatusStrip(p, screen, 168, 197);
    paintKeyPlate(p);
    p.end();
    return applyShape(body, WindowShape{kSkinWidth, kMainHeight, 14, 22});
}

QImage drawListTile()
{
    constexpr int kTile = 64;
    QImage tile = filledImage(kTile, kTile, QColor(0xFA, 0xFC, 0xFE));
    QPainter p;
    beginSmooth(p, tile);
    // Dots on a 16-pixel grid; the period divides the tile, so it repeats seamlessly.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE1, 0xEB, 0xF3));
    for (int y = 8; y < kTile; y += 16)
        for (int x = 8; x < kTile; x += 16)
            p.drawEllipse(QPointF(x, y), 1.1, 1.1);
    p.setBrush(QColor(0xEC, 0xF2, 0xF7));
    for (int y = 0; y < kTile; y += 16)
        for (int x = 0; x < kTile; x += 16)
            p.drawEllipse(QRectF(x - 0.7, y - 0.7, 1.4, 1.4).translated(0.5, 0.5));
    p.end();
    return tile;
}

QImage drawSmallSkin()
{
    QImage body = filledImage(kSkinWidth, kSmallHeight, pal::kBodyBottom);
    QPainter p;
    beginSmooth(p, body);
    paintBody(p, kSmallHeight);
    paintCap(p);
    const QPainterPath panel = paintPanel(p, 4, 30, 205, 167);
    paintPanelGloss(p, panel, 31, 16);
    p.end();
    return applyShape(body, WindowShape{kSkinWidth, kSmallHeight, 12, 12});
}

QString checkSkinEdge(const QImage &skin)
{
    const QRgb magenta = pal::kMagenta.rgb();
    for (int y = 0; y < skin.height(); ++y) {
        for (int x = 0; x < skin.width(); ++x) {
            const QRgb pixel = skin.pixel(x, y) | 0xFF000000u;
            if (pixel == magenta)
                continue;
            const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
            if (r > g + 40 && b > g + 40)
                return QStringLiteral("magenta tint at %1,%2").arg(x).arg(y);
            bool nextToOutside = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < skin.width() && ny < skin.height() &&
                        (skin.pixel(nx, ny) | 0xFF000000u) == magenta)
                        nextToOutside = true;
                }
            if (nextToOutside && pixel != (pal::kOutline.rgb() | 0xFF000000u))
                return QStringLiteral("edge pixel at %1,%2 is not the outline colour").arg(x).arg(y);
        }
    }
    return {};
}

} // namespace assetgen
