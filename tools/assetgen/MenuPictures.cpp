#include "Canvas.h"
#include "Palette.h"
#include "Pictures.h"

#include <functional>

namespace assetgen {
namespace {

namespace pal = palette;

constexpr int kMenuWidth = 16;
constexpr int kMenuHeight = 15;

const QColor kBlue(0x2F, 0x7C, 0xC4);
const QColor kBlueDark(0x1B, 0x55, 0x8C);

void paintQuery(QPainter &p)
{
    p.setPen(QPen(pal::kInk, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(0xD8, 0xEE, 0xFA));
    p.drawEllipse(QPointF(6.5, 6), 4.2, 4.2);
    p.setPen(QPen(pal::kTealDark, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.8, 9.4), QPointF(13.6, 13.1));
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(4, 3.5, 5, 5), 100 * 16, 70 * 16);
}

void paintDelete(QPainter &p)
{
    // waste bin: lid, handle and a ribbed body
    p.setPen(QPen(pal::kRedDark, 1));
    p.setBrush(verticalGradient(4, 14, pal::kRedLight, pal::kRed));
    QPainterPath bin;
    bin.moveTo(3.5, 4.5);
    bin.lineTo(12.5, 4.5);
    bin.lineTo(11.5, 14.5);
    bin.lineTo(4.5, 14.5);
    bin.closeSubpath();
    p.drawPath(bin);
    p.fillRect(QRectF(2, 2.5, 12, 1.6), pal::kRedDark);
    p.fillRect(QRectF(6, 0.8, 4, 1.7), pal::kRedDark);
    p.setPen(QPen(QColor(255, 255, 255, 190), 1));
    for (qreal x : {6.5, 9.5})
        p.drawLine(QPointF(x, 6.5), QPointF(x, 12.5));
}

void paintExport(QPainter &p)
{
    // sheet with folded corner, and an arrow leaving it
    QPainterPath sheet;
    sheet.moveTo(1.5, 0.5);
    sheet.lineTo(7.5, 0.5);
    sheet.lineTo(10.5, 3.5);
    sheet.lineTo(10.5, 14.5);
    sheet.lineTo(1.5, 14.5);
    sheet.closeSubpath();
    p.setPen(QPen(pal::kInkSoft, 1));
    p.setBrush(QColor(0xF3, 0xF7, 0xFB));
    p.drawPath(sheet);
    p.drawLine(QPointF(7.5, 0.5), QPointF(7.5, 3.5));
    p.drawLine(QPointF(7.5, 3.5), QPointF(10.5, 3.5));
    for (int row = 0; row < 3; ++row)
        p.fillRect(QRectF(3, 6 + row * 2.5, 5, 1), QColor(0xA9, 0xBD, 0xCF));
    QPainterPath arrow;
    arrow.moveTo(6, 9);
    arrow.lineTo(11, 9);
    arrow.lineTo(11, 6.5);
    arrow.lineTo(15.5, 10.5);
    arrow.lineTo(11, 14.5);
    arrow.lineTo(11, 12);
    arrow.lineTo(6, 12);
    arrow.closeSubpath();
    p.setPen(QPen(pal::kTealDeep, 0.8));
    p.setBrush(verticalGradient(6.5, 14.5, pal::kTealLight, pal::kTealDark));
    p.drawPath(arrow);
}

void paintPerson(QPainter &p, const QPointF &head, qreal scale)
{
    p.setPen(QPen(kBlueDark, 0.9));
    p.setBrush(verticalGradient(head.y() - 3 * scale, head.y() + 9 * scale, QColor(0x7F, 0xB8, 0xE8), kBlue));
    QPainterPath body;
    body.addRoundedRect(QRectF(head.x() - 4.6 * scale, head.y() + 3.2 * scale, 9.2 * scale, 6.3 * scale),
                        3.2 * scale, 3.2 * scale);
    p.drawPath(body);
    p.drawEllipse(head, 2.9 * scale, 2.9 * scale);
}

void paintAddContact(QPainter &p)
{
    paintPerson(p, QPointF(6.5, 4.5), 1.0);
    // the plus badge is laid on whole pixels so that its bars stay sharp
    p.setPen(QPen(pal::kWhite, 1));
    p.setBrush(QColor(0x2E, 0x9E, 0x4F));
    p.drawEllipse(QPointF(12.5, 10.5), 3.6, 3.6);
    p.fillRect(QRect(10, 10, 5, 1), pal::kWhite);
    p.fillRect(QRect(12, 8, 1, 5), pal::kWhite);
}

void paintBadge(QPainter &p, const QColor &light, const QColor &dark)
{
    p.setPen(QPen(dark, 1));
    p.setBrush(verticalGradient(0.5, 14.5, light, dark));
    p.drawEllipse(QPointF(8, 7.5), 6.8, 6.8);
}

void paintHelp(QPainter &p)
{
    paintBadge(p, QColor(0x6F, 0xB3, 0xEE), kBlueDark);
    drawCentredText(p, QPointF(8, 7.5), uiFont(11, true), pal::kWhite, QStringLiteral("?"));
}

void paintAbout(QPainter &p)
{
    paintBadge(p, pal::kTealLight, pal::kTealDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kWhite);
    p.drawEllipse(QPointF(8, 4.2), 1.2, 1.2);
    p.fillRect(QRectF(7.1, 6.2, 1.8, 5.6), pal::kWhite);
}

void paintModify(QPainter &p)
{
    // a pencil lying from the lower left to the upper right
    p.save();
    p.translate(8, 7.5);
    p.rotate(-45);
    const QRectF shaft(-4.5, -2.2, 9, 4.4);
    p.setPen(QPen(pal::kAmberDark, 0.9));
    p.setBrush(verticalGradient(shaft.top(), shaft.bottom(), pal::kAmberLight, pal::kAmber));
    p.drawRect(shaft);
    p.setBrush(pal::kRedLight);
    p.drawRect(QRectF(4.5, -2.2, 2.2, 4.4));
    QPainterPath tip;
    tip.moveTo(-4.5, -2.2);
    tip.lineTo(-8, 0);
    tip.lineTo(-4.5, 2.2);
    tip.closeSubpath();
    p.setBrush(QColor(0xF1, 0xDA, 0xB0));
    p.drawPath(tip);
    QPainterPath lead;
    lead.moveTo(-6.8, -0.8);
    lead.lineTo(-8, 0);
    lead.lineTo(-6.8, 0.8);
    lead.closeSubpath();
    p.fillPath(lead, pal::kInk);
    p.restore();
    p.fillRect(QRectF(1, 13.5, 6, 1), pal::kInkSoft);
}

void paintPassword(QPainter &p)
{
    // padlock
    p.setPen(QPen(pal::kInkSoft, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 1.2, 7, 8), 0, 180 * 16);
    p.drawLine(QPointF(4.5, 5.2), QPointF(4.5, 7));
    p.drawLine(QPointF(11.5, 5.2), QPointF(11.5, 7));
    p.setPen(QPen(pal::kAmberDark, 1));
    p.setBrush(verticalGradient(6.5, 14.5, pal::kAmberLight, pal::kAmber));
    p.drawRoundedRect(QRectF(2.5, 6.5, 11, 8), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kAmberDark);
    p.drawEllipse(QPointF(8, 9.8), 1.4, 1.4);
    p.fillRect(QRectF(7.4, 10, 1.2, 2.6), pal::kAmberDark);
}

void paintExit(QPainter &p)
{
    // power symbol
    p.setPen(Qt::NoPen);
    p.setBrush(verticalGradient(0.5, 14.5, pal::kRedLight, pal::kRed));
    p.drawEllipse(QPointF(8, 7.5), 7, 7);
    p.setPen(QPen(pal::kWhite, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.2, 3.9, 7.6, 7.6), 125 * 16, 290 * 16);
    p.drawLine(QPointF(8, 2.8), QPointF(8, 7.4));
}

} // namespace

QVector<QImage> drawMenuPictures()
{
    const std::function<void(QPainter &)> painters[] = {paintQuery,      paintDelete, paintExport,
                                                        paintAddContact, paintHelp,   paintModify,
                                                        paintPassword,   paintExit,   paintAbout};
    QVector<QImage> pictures;
    for (const auto &paint : painters) {
        QImage image = filledImage(kMenuWidth, kMenuHeight, pal::kWhite);
        QPainter p;
        beginSmooth(p, image);
        paint(p);
        p.end();
        pictures.append(image);
    }
    return pictures;
}

} // namespace assetgen
