#include "ui/Controls.h"

#include "contacts/store/Secret.h"
#include "ui/StandIns.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QUrl>

#include <cmath>

namespace quennet::ui {

namespace {

// "按键1" -> ":/buttons/按键1_normal.png". A name with a '/' is a path
// prefix of its own (a picture set outside the resources).
QPixmap buttonPicture(const QString &image, const char *state)
{
    if (image.isEmpty())
        return {};
    const QString prefix = image.contains(QLatin1Char('/')) ? image : QStringLiteral(":/buttons/") + image;
    const QString path = prefix + QLatin1Char('_') + QLatin1String(state) + QStringLiteral(".png");
    return QFile::exists(path) ? QPixmap(path) : QPixmap();
}

// Drawn when a button has no pictures, so that the layout stays visible.
void paintPlaceholder(QPainter &painter, const QRect &rect, bool hovered, bool pressed)
{
    const QColor face = pressed   ? QColor(0xc4, 0xcf, 0xdc)
                        : hovered ? QColor(0xee, 0xf3, 0xf9)
                                  : QColor(0xdd, 0xe3, 0xea);
    painter.fillRect(rect, face);
    painter.setPen(QColor(0x8a, 0x9b, 0xb3));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

} // namespace

ImageButton::ImageButton(QWidget *parent, const QString &name, const QString &image, const QRect &geometry,
                         const QString &accessibleName)
    : QAbstractButton(parent), m_normal(buttonPicture(image, "normal")),
      m_hover(buttonPicture(image, "hover")), m_pressed(buttonPicture(image, "pressed"))
{
    setObjectName(name);
    setAccessibleName(accessibleName);
    setGeometry(geometry);
    setFixedSize(geometry.size());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

QSize ImageButton::sizeHint() const
{
    return size().isValid() ? size() : m_normal.size();
}

const QPixmap &ImageButton::currentPicture() const
{
    if (isDown() && !m_pressed.isNull())
        return m_pressed;
    if ((m_hovered || isDown()) && !m_hover.isNull())
        return m_hover;
    return m_normal;
}

void ImageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.5);
    const QPixmap &picture = currentPicture();
    if (picture.isNull())
        paintPlaceholder(painter, rect(), m_hovered, isDown());
    else
        painter.drawPixmap(rect(), picture);
}

void ImageButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

TransparentLabel::TransparentLabel(QWidget *parent, const QString &name, const QString &text,
                                   const QRect &geometry, int pixelSize)
    : QLabel(parent)
{
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    const QString shown = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setText(shown);
    setWordWrap(shown.contains(QLatin1Char('\n')));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    QFont face(QStringLiteral("宋体"));
    face.setPixelSize(pixelSize);
    // The designs measured their one-line captions in 宋体, where they just
    // fit; in a wider face the last characters would be cut off. Such a
    // caption is set a little tighter instead, in the place it was given.
    if (!wordWrap() && !shown.isEmpty()) {
        const int room = geometry.width() - 2 * margin();
        const int needed = QFontMetrics(face).horizontalAdvance(shown);
        if (needed > room) {
            face.setLetterSpacing(QFont::AbsoluteSpacing,
                                  std::floor(10.0 * (room - needed) / shown.size()) / 10.0);
        }
    }
    setFont(face);
    setGeometry(geometry);
}

QTimer *makeTimer(QObject *parent, const QString &name, int intervalMs)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(name);
    timer->setInterval(intervalMs);
    if (intervalMs > 0)
        timer->start();
    return timer;
}

void setToolTip(QWidget *control, const QString &text)
{
    control->setToolTip(text);
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(text);
}

void setCaption(QWidget *control, QWidget *caption)
{
    QString text;
    if (auto *label = qobject_cast<QLabel *>(caption)) {
        label->setBuddy(control);
        text = label->text();
    } else if (auto *button = qobject_cast<QAbstractButton *>(caption)) {
        text = button->text();
    }
    text.remove(QLatin1Char('&'));
    text.remove(QRegularExpression(QStringLiteral("[\\s\u3000]")));
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A)))
        text.chop(1);
    control->setAccessibleName(text);
}

void wipeText(QLineEdit *box)
{
    QString text = box->text();
    box->setText(QString());
    wipe(text);
}

void simulateKeyPress(int qtKey, const QString &text)
{
    QWidget *target = QApplication::focusWidget();
    if (!target)
        return;
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &release);
}

bool openDocument(const QString &path)
{
    if (const auto &scripted = detail::standIns().openDocument)
        return scripted(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace quennet::ui
