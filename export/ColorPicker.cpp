#include "export/ColorPicker.h"

#include "ui/ColorDialog.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace quennet {

namespace {

std::optional<quint32> askWithDialog(ColorPicker *picker)
{
    const QColor initial =
        picker->isTransparent() ? QColor(Qt::white) : ColorPicker::toColor(picker->value());
    const std::optional<QColor> chosen = ui::chooseColor(picker->window(), initial);
    if (!chosen)
        return std::nullopt;
    return ColorPicker::fromColor(*chosen);
}

ColorPicker::Chooser &chooser()
{
    static ColorPicker::Chooser current = askWithDialog;
    return current;
}

QString colourName(quint32 value)
{
    if (value == ColorPicker::kTransparent)
        return QStringLiteral("透明");
    return ColorPicker::toColor(value).name(QColor::HexRgb).toUpper();
}

} // namespace

ColorPicker::ColorPicker(QWidget *parent, const QString &name, quint32 value, bool offersTransparent)
    : QToolButton(parent), m_offersTransparent(offersTransparent)
{
    setObjectName(name);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    if (offersTransparent) {
        auto *menu = new QMenu(this);
        m_transparentAction = menu->addAction(QStringLiteral("透明"));
        menu->addAction(QStringLiteral("其他颜色…"), this, &ColorPicker::choose);
        connect(m_transparentAction, &QAction::triggered, this, [this] { setValue(kTransparent); });
        setMenu(menu);
        setPopupMode(QToolButton::MenuButtonPopup);
    }
    connect(this, &QToolButton::clicked, this, &ColorPicker::choose);
    setValue(value);
    updateSwatch();
}

void ColorPicker::setValue(quint32 value)
{
    if (value > 0xFFFFFFu)
        value = m_offersTransparent ? kTransparent : (value & 0xFFFFFFu);
    if (value == m_value)
        return;
    m_value = value;
    updateSwatch();
    emit changed(m_value);
}

QColor ColorPicker::toColor(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

quint32 ColorPicker::fromColor(const QColor &color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

void ColorPicker::setChooser(Chooser newChooser)
{
    chooser() = newChooser ? std::move(newChooser) : Chooser(askWithDialog);
}

void ColorPicker::choose()
{
    if (const std::optional<quint32> answer = chooser()(this))
        setValue(*answer);
}

void ColorPicker::updateSwatch()
{
    const QSize size(28, 12);
    QPixmap swatch(size);
    QPainter painter(&swatch);
    if (isTransparent()) {
        // A chequer board says "no colour".
        const int cell = 4;
        for (int y = 0; y < size.height(); y += cell)
            for (int x = 0; x < size.width(); x += cell)
                painter.fillRect(x, y, cell, cell, ((x + y) / cell) % 2 ? Qt::lightGray : Qt::white);
    } else {
        painter.fillRect(swatch.rect(), toColor(m_value));
    }
    painter.setPen(Qt::darkGray);
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    painter.end();
    setIconSize(size);
    setIcon(QIcon(swatch));
    setToolTip(colourName(m_value));
}

} // namespace quennet
