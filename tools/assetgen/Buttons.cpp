#include "Buttons.h"

#include "Canvas.h"
#include "Palette.h"

#include <functional>

namespace assetgen {
namespace {

namespace pal = palette;

using Painter = std::function<void(QPainter &, const QSize &, ButtonState)>;

// Pressed pictures move their content one pixel down, as a key that gives way.
qreal pressOffset(ButtonState state)
{
    return state == ButtonState::Pressed ? 1.0 : 0.0;
}

// --- round title-bar buttons (19 x 19) -------------------------------------

struct RoundColours {
    QColor top, bottom, border, glyph;
};

RoundColours titleColours(ButtonState state, bool warning)
{
    const QColor light = warning ? pal::kRedLight : pal::kTealLight;
    const QColor base = warning ? pal::kRed : pal::kTeal;
    const QColor dark = warning ? pal::kRedDark : pal::kTealDark;
    switch (state) {
    case ButtonState::Normal:
        return {pal::kKeyTop, pal::kKeyBottom, mix(pal::kKeyBorder, pal::kInk, 0.25), pal::kInk};
    case ButtonState::Hover:
        return {light, base, dark, pal::kWhite};
    case ButtonState::Pressed:
        return {dark, base, mix(dark, pal::kInk, 0.4), pal::kWhite};
    }
    return {};
}

void paintRoundBase(QPainter &p, const QSize &size, const RoundColours &colours)
{
    const QRectF disc(1, 1, size.width() - 2, size.height() - 2);
    p.setPen(QPen(colours.border, 1));
    p.setBrush(verticalGradient(disc.top(), disc.bottom(), colours.top, colours.bottom));
    p.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
}

void paintMinimise(QPainter &p, const QSize &size, ButtonState state)
{
    const RoundColours colours = titleColours(state, false);
    paintRoundBase(p, size, colours);
    p.fillRect(QRectF(5, 12 + pressOffset(state), 9, 2), colours.glyph);
}

void paintClose(QPainter &p, const QSize &size, ButtonState state)
{
    const RoundColours colours = titleColours(state, true);
    paintRoundBase(p, size, colours);
    const qreal o = pressOffset(state);
    p.setPen(QPen(colours.glyph, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6.5, 6.5 + o), QPointF(12.5, 12.5 + o));
    p.drawLine(QPointF(12.5, 6.5 + o), QPointF(6.5, 12.5 + o));
}

void paintHelp(QPainter &p, const QSize &size, ButtonState state)
{
    const RoundColours colours = titleColours(state, false);
    paintRoundBase(p, size, colours);
    drawCentredText(p, QPointF(9.5, 9.5 + pressOffset(state)), uiFont(13, true), colours.glyph,
                    QStringLiteral("?"));
}

// --- teal pills: soft keys and the open / back keys ------------------------

struct TealColours {
    QColor top, bottom, border;
};

TealColours tealColours(ButtonState state)
{
    switch (state) {
    case ButtonState::Normal:
        return {pal::kTealLight, pal::kTealDark, pal::kTealDeep};
    case ButtonState::Hover:
        return {mix(pal::kTealLight, pal::kWhite, 0.3), pal::kTeal, pal::kTealDark};
    case ButtonState::Pressed:
        return {pal::kTealDeep, pal::kTeal, mix(pal::kTealDeep, pal::kInk, 0.5)};
    }
    return {};
}

void paintTealShape(QPainter &p, const QPainterPath &shape, const QRectF &bounds, ButtonState state)
{
    const TealColours colours = tealColours(state);
    p.setPen(QPen(colours.border, 1));
    p.setBrush(verticalGradient(bounds.top(), bounds.bottom(), colours.top, colours.bottom));
    p.drawPath(shape);
    if (state != ButtonState::Pressed) {
        // a thin light line under the top edge gives the pill some relief
        p.save();
        p.setClipPath(shape);
        p.setPen(QPen(QColor(255, 255, 255, 90), 1));
        p.drawPath(shape.translated(0, 1));
        p.restore();
    }
}

// Soft key of the status strip: a caption and the menu marker.
Painter softKey(const QString &caption)
{
    return [caption](QPainter &p, const QSize &size, ButtonState state) {
        const QRectF bounds(0.5, 0.5, size.width() - 1, size.height() - 1);
        paintTealShape(p, roundedRect(bounds, bounds.height() / 2), bounds, state);
        const QFont font = uiFont(12);
        const qreal captionWidth = textWidth(font, caption);
        const qreal markerWidth = 7;
        const qreal gap = 4;
        const qreal left = (size.width() - captionWidth - gap - markerWidth) / 2;
        const qreal o = pressOffset(state);
        const qreal middle = size.height() / 2.0 + o;
        drawCentredText(p, QPointF(left + captionWidth / 2, middle), font, pal::kWhite, caption);
        drawDownMarker(p, QPointF(left + captionWidth + gap + markerWidth / 2, middle + 0.5), markerWidth,
                       pal::kWhite);
    };
}

// The open and back keys share one pill that the round confirm key splits;
// each key is its half, with a concave cut around the confirm key.
constexpr qreal kCommandTop = 5.5;
constexpr qreal kCommandHeight = 25;
constexpr qreal kConfirmGap = 21.5;

QPainterPath commandShape(const QSize &size, bool confirmOnRight)
{
    const qreal width = size.width();
    const QRectF pill = confirmOnRight ? QRectF(1.5, kCommandTop, width + 30, kCommandHeight)
                                       : QRectF(-30, kCommandTop, width + 28.5, kCommandHeight);
    QPainterPath shape = roundedRect(pill, kCommandHeight / 2);
    // the confirm key's centre relative to this key (it sits at 86..122 in the window)
    const QPointF confirm = confirmOnRight ? QPointF(94, 18) : QPointF(-18, 18);
    QPainterPath inside;
    inside.addRect(QRectF(0, 0, width, size.height()));
    return shape.intersected(inside).subtracted(circle(confirm, kConfirmGap));
}

// Small contact card (open) and list (back) glyphs.
void paintCardGlyph(QPainter &p, const QPointF &topLeft, const QColor &color)
{
    p.save();
    p.setPen(QPen(color, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(topLeft, QSizeF(13, 10)), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(topLeft.x() + 4, topLeft.y() + 4), 1.6, 1.6);
    p.drawRoundedRect(QRectF(topLeft.x() + 1.8, topLeft.y() + 6.2, 4.4, 2.2), 1, 1);
    p.fillRect(QRectF(topLeft.x() + 7.5, topLeft.y() + 3, 3.8, 1.2), color);
    p.fillRect(QRectF(topLeft.x() + 7.5, topLeft.y() + 6, 3.8, 1.2), color);
    p.restore();
}

void paintListGlyph(QPainter &p, const QPointF &topLeft, const QColor &color)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    for (int row = 0; row < 3; ++row) {
        const qreal y = topLeft.y() + 1 + row * 4;
        p.drawEllipse(QPointF(topLeft.x() + 1.5, y + 0.6), 1.3, 1.3);
        p.fillRect(QRectF(topLeft.x() + 4.5, y, 8.5, 1.3), color);
    }
    p.restore();
}

Painter commandKey(const QString &caption, bool confirmOnRight)
{
    return [caption, confirmOnRight](QPainter &p, const QSize &size, ButtonState state) {
        const QPainterPath shape = commandShape(size, confirmOnRight);
        paintTealShape(p, shape, shape.boundingRect(), state);
        const QFont font = uiFont(13);
        const qreal glyphWidth = 13, gap = 5;
        const qreal captionWidth = textWidth(font, caption);
        // centre the content in the part of the pill outside the cut
        const qreal areaLeft = confirmOnRight ? 1.5 : 4;
        const qreal areaRight = confirmOnRight ? size.width() - 4 : size.width() - 1.5;
        const qreal left = qRound((areaLeft + areaRight - glyphWidth - gap - captionWidth) / 2);
        const qreal o = pressOffset(state);
        const qreal middle = kCommandTop + kCommandHeight / 2 + o;
        if (confirmOnRight)
            paintCardGlyph(p, QPointF(left, middle - 5), pal::kWhite);
        else
            paintListGlyph(p, QPointF(left, middle - 5), pal::kWhite);
        drawCentredText(p, QPointF(left + glyphWidth + gap + captionWidth / 2, middle), font, pal::kWhite,
                        caption);
    };
}

// --- light keys: confirm and keypad ----------------------------------------

struct KeyColours {
    QColor top, bottom, border;
};

KeyColours keyColours(ButtonState state)
{
    switch (state) {
    case ButtonState::Normal:
        return {pal::kKeyTop, pal::kKeyBottom, pal::kKeyBorder};
    case ButtonState::Hover:
        return {pal::kKeyTop, pal::kKeyHoverBottom, pal::kTeal};
    case ButtonState::Pressed:
        return {pal::kKeyPressedTop, pal::kKeyPressedBottom, pal::kTealDark};
    }
    return {};
}

void paintLightShape(QPainter &p, const QPainterPath &shape, ButtonState state)
{
    const KeyColours colours = keyColours(state);
    const QRectF bounds = shape.boundingRect();
    if (state != ButtonState::Pressed)
        p.fillPath(shape.translated(0, 1.2), pal::kKeyShadow);
    const QPainterPath key = shape.translated(0, pressOffset(state));
    p.setPen(QPen(colours.border, 1));
    p.setBrush(verticalGradient(bounds.top(), bounds.bottom(), colours.top, colours.bottom));
    p.drawPath(key);
}

void paintConfirm(QPainter &p, const QSize &size, ButtonState state)
{
    const QPainterPath disc = circle(QPointF(size.width() / 2.0, size.height() / 2.0 - 0.5), 16.5);
    paintLightShape(p, disc, state);
    // teal ring inside the key
    const qreal o = pressOffset(state);
    const QPointF centre(size.width() / 2.0, size.height() / 2.0 - 0.5 + o);
    p.setPen(QPen(state == ButtonState::Normal ? pal::kTeal : pal::kTealDark, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 12.5, 12.5);
    drawCentredText(p, centre, uiFont(15, true), pal::kTealDark, QStringLiteral("C"));
}

// Phone key: a big digit with its letters beside it.
struct KeyFace {
    QString digit;
    QString letters;
};

Painter keypadKey(const KeyFace &face)
{
    return [face](QPainter &p, const QSize &size, ButtonState state) {
        const QRectF bounds(2.5, 2.5, size.width() - 5, size.height() - 5);
        paintLightShape(p, roundedRect(bounds, 6), state);
        const QFont digitFont = uiFont(17, true);
        const QFont letterFont = uiFont(9, true);
        const qreal digitWidth = textWidth(digitFont, face.digit);
        const qreal gap = face.letters.isEmpty() ? 0 : 4;
        const qreal lettersWidth = face.letters.isEmpty() ? 0 : textWidth(letterFont, face.letters);
        const qreal left = qRound((size.width() - digitWidth - gap - lettersWidth) / 2);
        const qreal middle = bounds.center().y() + pressOffset(state);
        drawCentredText(p, QPointF(left + digitWidth / 2, middle), digitFont, pal::kInk, face.digit);
        if (!face.letters.isEmpty())
            drawCentredText(p, QPointF(left + digitWidth + gap + lettersWidth / 2, middle), letterFont,
                            pal::kTealDark, face.letters);
    };
}

// Previous / next record: an arrow and a short caption.
Painter stepKey(bool forward)
{
    return [forward](QPainter &p, const QSize &size, ButtonState state) {
        const QRectF bounds(2.5, 2.5, size.width() - 5, size.height() - 5);
        paintLightShape(p, roundedRect(bounds, 6), state);
        const QString caption = forward ? QStringLiteral("下一条") : QStringLiteral("上一条");
        const QFont font = uiFont(11);
        const qreal arrowWidth = 6, gap = 4;
        const qreal captionWidth = textWidth(font, caption);
        const qreal left = qRound((size.width() - arrowWidth - gap - captionWidth) / 2);
        const qreal middle = bounds.center().y() + pressOffset(state);
        QPainterPath arrow;
        const qreal ax = forward ? left + gap + captionWidth : left;
        if (forward) {
            arrow.moveTo(ax, middle - 4.5);
            arrow.lineTo(ax + arrowWidth, middle);
            arrow.lineTo(ax, middle + 4.5);
        } else {
            arrow.moveTo(ax + arrowWidth, middle - 4.5);
            arrow.lineTo(ax, middle);
            arrow.lineTo(ax + arrowWidth, middle + 4.5);
        }
        arrow.closeSubpath();
        p.fillPath(arrow, pal::kTealDark);
        const qreal textLeft = forward ? left : left + arrowWidth + gap;
        drawCentredText(p, QPointF(textLeft + captionWidth / 2, middle), font, pal::kInk, caption);
    };
}

// --- the folder button of the export-data window (23 x 21) ------------------

void paintBrowse(QPainter &p, const QSize &size, ButtonState state)
{
    const KeyColours colours = keyColours(state);
    const QRectF frame(0.5, 0.5, size.width() - 1, size.height() - 1);
    p.setPen(QPen(colours.border, 1));
    p.setBrush(verticalGradient(0, size.height(), colours.top, colours.bottom));
    p.drawRoundedRect(frame, 3, 3);
    const qreal o = pressOffset(state);
    // folder: back with its tab, then the front flap
    QPainterPath back;
    back.moveTo(4.5, 6 + o);
    back.lineTo(9, 6 + o);
    back.lineTo(10.5, 7.5 + o);
    back.lineTo(18.5, 7.5 + o);
    back.lineTo(18.5, 16 + o);
    back.lineTo(4.5, 16 + o);
    back.closeSubpath();
    p.setPen(QPen(pal::kAmberDark, 1));
    p.setBrush(pal::kAmber);
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(6, 9.5 + o);
    front.lineTo(20, 9.5 + o);
    front.lineTo(18.5, 16 + o);
    front.lineTo(4.5, 16 + o);
    front.closeSubpath();
    p.setBrush(verticalGradient(9.5, 16, pal::kAmberLight, pal::kAmber));
    p.drawPath(front);
}

struct ButtonDesign {
    QString image;
    QSize size;
    Painter paint;
};

QVector<ButtonDesign> buttonDesigns()
{
    QVector<ButtonDesign> designs = {
        {QStringLiteral("min"), {19, 19}, paintMinimise},
        {QStringLiteral("close"), {19, 19}, paintClose},
        {QStringLiteral("help"), {19, 19}, paintHelp},
        {QStringLiteral("contacts"), {61, 22}, softKey(QStringLiteral("联系人"))},
        {QStringLiteral("settings"), {51, 22}, softKey(QStringLiteral("设置"))},
        {QStringLiteral("open"), {77, 36}, commandKey(QStringLiteral("打开"), true)},
        {QStringLiteral("ok"), {36, 36}, paintConfirm},
        {QStringLiteral("back"), {77, 36}, commandKey(QStringLiteral("关闭"), false)},
        {QStringLiteral("prev"), {63, 28}, stepKey(false)},
        {QStringLiteral("next"), {63, 28}, stepKey(true)},
        {QStringLiteral("browse"), {23, 21}, paintBrowse},
    };
    const KeyFace faces[] = {{"0", "+"},   {"1", ""},    {"2", "ABC"},  {"3", "DEF"}, {"4", "GHI"},
                             {"5", "JKL"}, {"6", "MNO"}, {"7", "PQRS"}, {"8", "TUV"}, {"9", "WXYZ"}};
    // widths by column, heights by row, as the keypad is laid out
    const int widths[] = {63, 62, 63};
    const int heights[] = {31, 29, 29};
    for (int digit = 1; digit <= 9; ++digit) {
        const int column = (digit - 1) % 3, row = (digit - 1) / 3;
        designs.append(
            {QStringLiteral("key%1").arg(digit), {widths[column], heights[row]}, keypadKey(faces[digit])});
    }
    designs.append({QStringLiteral("key0"), {62, 28}, keypadKey(faces[0])});
    return designs;
}

} // namespace

QString stateSuffix(ButtonState state)
{
    switch (state) {
    case ButtonState::Normal:
        return QStringLiteral("normal");
    case ButtonState::Hover:
        return QStringLiteral("hover");
    case ButtonState::Pressed:
        return QStringLiteral("pressed");
    }
    return {};
}

QVector<ButtonPicture> drawButtons()
{
    QVector<ButtonPicture> pictures;
    for (const ButtonDesign &design : buttonDesigns()) {
        for (ButtonState state : {ButtonState::Normal, ButtonState::Hover, ButtonState::Pressed}) {
            QImage image = transparentImage(design.size.width(), design.size.height());
            QPainter p;
            beginSmooth(p, image);
            design.paint(p, design.size, state);
            p.end();
            pictures.append({design.image, state, image});
        }
    }
    return pictures;
}

} // namespace assetgen
