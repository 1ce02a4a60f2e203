#include "app/AboutWindow.h"

#include "contacts/Session.h"
#include "ui/Controls.h"
#include "ui/Modal.h"
#include "ui/Skin.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>

#include <algorithm>

namespace quennet {

namespace {

// A picture box: the picture at its top left, clipped to the box.
QLabel *pictureBox(QWidget *parent, const QString &name, const QRect &geometry, const QString &picture)
{
    auto *box = new QLabel(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setPixmap(QPixmap(picture));
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return box;
}

} // namespace

AboutWindow::AboutWindow(Session &session, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_session(session)
{
    setObjectName(QStringLiteral("关于窗口"));
    setFixedSize(440, 400);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0x3A, 0x6E, 0xA5));
    setPalette(background);

    frameLabel =
        new ui::TransparentLabel(this, QStringLiteral("透明标签1"), QString(), QRect(8, 8, 430, 360));
    frameLabel->setWordWrap(false);
    frameLabel->setText(frameText(frameLabel->font(), frameLabel->size()));
    frameLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    nameLabel = new ui::TransparentLabel(this, QStringLiteral("透明标签2"), QStringLiteral("Quennet"),
                                         QRect(136, 81, 184, 36), 35);
    infoLabel =
        new ui::TransparentLabel(this, QStringLiteral("透明标签3"), infoText(), QRect(137, 123, 191, 159));
    infoLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    for (QLabel *label : {static_cast<QLabel *>(frameLabel), static_cast<QLabel *>(nameLabel),
                          static_cast<QLabel *>(infoLabel)}) {
        QPalette text = label->palette();
        text.setColor(QPalette::WindowText,
                      label == frameLabel ? QColor(0xD8, 0xE6, 0xF5) : QColor(Qt::white));
        label->setPalette(text);
    }

    stripFrame = pictureBox(this, QStringLiteral("图片框2"), QRect(80, 373, 300, 16),
                            QStringLiteral(":/about/frame.png"));
    stripFrame->installEventFilter(this);
    strip = pictureBox(stripFrame, QStringLiteral("图片框1"), QRect(3, 1, 1, 13),
                       QStringLiteral(":/about/strip.png"));
    strip->installEventFilter(this);

    stripTimer = ui::makeTimer(this, QStringLiteral("时钟1"), 200);
    connect(stripTimer, &QTimer::timeout, this, &AboutWindow::stripTimer_fired);
}

void AboutWindow::load(Session &session, QWidget *parent)
{
    AboutWindow window(session, parent);
    window.created();
    ui::execModal(&window);
}

void AboutWindow::created()
{
    ui::applyVisualStyle(this);
    if (!stripTimer->isActive())
        stripTimer->start();
}

void AboutWindow::stripTimer_fired()
{
    if (strip->width() < kStripFullWidth)
        strip->resize(strip->width() + kStripStep, strip->height());
    else
        destroyWindow();
}

void AboutWindow::strip_doubleClicked()
{
    destroyWindow();
}

void AboutWindow::destroyWindow()
{
    stripTimer->stop();
    done(QDialog::Rejected);
}

bool AboutWindow::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == strip || watched == stripFrame) && event->type() == QEvent::MouseButtonDblClick) {
        strip_doubleClicked();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

namespace {

// Pads text with spaces until it is as wide as width in the given metrics.
QString padded(const QString &text, int width, const QFontMetrics &metrics)
{
    QString line = text;
    while (metrics.horizontalAdvance(line + QLatin1Char(' ')) <= width)
        line += QLatin1Char(' ');
    return line;
}

QString centred(const QString &text, int width, const QFontMetrics &metrics)
{
    QString line;
    while (metrics.horizontalAdvance(line + QLatin1Char(' ') + text) * 2 <=
           width + metrics.horizontalAdvance(text))
        line += QLatin1Char(' ');
    return padded(line + text, width, metrics);
}

} // namespace

QString AboutWindow::frameText(const QFont &font, const QSize &size)
{
    // Box characters and spaces differ in width from font to font, so the
    // frame is laid out with the label's own font metrics.
    const QFontMetrics metrics(font);
    const QChar horizontal(0x2550), vertical(0x2551);
    const int border = metrics.horizontalAdvance(vertical);
    const int inner = size.width() - 2 * border - 4;
    QString rule;
    while (metrics.horizontalAdvance(rule + horizontal) <= inner)
        rule += horizontal;
    const int innerWidth = metrics.horizontalAdvance(rule);
    // The label lays lines out a little wider than the line spacing.
    const int lines = std::max(8, size.height() / (metrics.lineSpacing() + 1));

    const QStringList top{QString(),
                          centred(QStringLiteral("★ 欢迎使用 Quennet 通讯录 ★"), innerWidth, metrics)};
    const QStringList bottom{
        padded(QStringLiteral("  使用说明：F1 关于  F2 添加  F3 修改  F4 删除  F5～F8 查询"), innerWidth,
               metrics),
        padded(QStringLiteral("  双击下方进度条可立即关闭本窗口。"), innerWidth, metrics), QString()};
    QStringList body = top;
    while (body.size() < lines - 2 - bottom.size())
        body << QString();
    body << bottom;

    QStringList frame{QChar(0x2554) + rule + QChar(0x2557)};
    for (const QString &line : body)
        frame << vertical + padded(line, innerWidth, metrics) + vertical;
    frame << QChar(0x255A) + rule + QChar(0x255D);
    return frame.join(QLatin1Char('\n'));
}

QString AboutWindow::infoText()
{
    return QStringList{QStringLiteral("版本：1.0.1"),
                       QString(),
                       QStringLiteral("运行平台 ：Linux 桌面（X11）"),
                       QStringLiteral("作者：Quennet 开发组"),
                       QStringLiteral("联系：见帮助页面 Help.html"),
                       QStringLiteral("欢迎提点建议或指出错误！"),
                       QStringLiteral("您的支持是我最好的动力！")}
        .join(QLatin1Char('\n'));
}

} // namespace quennet
