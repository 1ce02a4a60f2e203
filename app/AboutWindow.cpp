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

AboutWindow::AboutWindow(Session &session, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_session(session)
{
    setObjectName(QStringLiteral("关于窗口"));
    setFixedSize(440, 400);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0x3A, 0x6E, 0xA5));
    setPalette(background);

    透明标签1 = new ui::TransparentLabel(this, QStringLiteral("透明标签1"), QString(), QRect(8, 8, 430, 360));
    透明标签1->setWordWrap(false);
    透明标签1->setText(frameText(透明标签1->font(), 透明标签1->size()));
    透明标签1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    透明标签2 = new ui::TransparentLabel(this, QStringLiteral("透明标签2"), QStringLiteral("Quennet"),
                                         QRect(136, 81, 184, 36), 35);
    透明标签3 =
        new ui::TransparentLabel(this, QStringLiteral("透明标签3"), infoText(), QRect(137, 123, 191, 159));
    透明标签3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    for (QLabel *label : {static_cast<QLabel *>(透明标签1), static_cast<QLabel *>(透明标签2),
                          static_cast<QLabel *>(透明标签3)}) {
        QPalette text = label->palette();
        text.setColor(QPalette::WindowText,
                      label == 透明标签1 ? QColor(0xD8, 0xE6, 0xF5) : QColor(Qt::white));
        label->setPalette(text);
    }

    图片框2 = new QLabel(this);
    图片框2->setObjectName(QStringLiteral("图片框2"));
    图片框2->setGeometry(80, 373, 300, 16);
    图片框2->setPixmap(QPixmap(QStringLiteral(":/about/frame.png")));
    图片框2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    图片框2->installEventFilter(this);

    图片框1 = new QLabel(图片框2);
    图片框1->setObjectName(QStringLiteral("图片框1"));
    图片框1->setGeometry(3, 1, 1, 13);
    图片框1->setPixmap(QPixmap(QStringLiteral(":/about/strip.png")));
    图片框1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    图片框1->installEventFilter(this);

    时钟1 = ui::makeTimer(this, QStringLiteral("时钟1"), 200);
    connect(时钟1, &QTimer::timeout, this, &AboutWindow::时钟1_fired);
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
    if (!时钟1->isActive())
        时钟1->start();
}

void AboutWindow::时钟1_fired()
{
    if (图片框1->width() < kStripFullWidth)
        图片框1->resize(图片框1->width() + kStripStep, 图片框1->height());
    else
        destroyWindow();
}

void AboutWindow::图片框_doubleClicked()
{
    destroyWindow();
}

void AboutWindow::destroyWindow()
{
    时钟1->stop();
    done(QDialog::Rejected);
}

bool AboutWindow::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == 图片框1 || watched == 图片框2) && event->type() == QEvent::MouseButtonDblClick) {
        图片框_doubleClicked();
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
