#include "app/AboutWindow.h"

#include "contacts/Session.h"
#include "ui/Controls.h"
#include "ui/Modal.h"
#include "ui/Skin.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>

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

    透明标签1 =
        new ui::TransparentLabel(this, QStringLiteral("透明标签1"), frameText(), QRect(8, 8, 430, 360));
    透明标签1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    透明标签2 = new ui::TransparentLabel(this, QStringLiteral("透明标签2"), QStringLiteral("Quennet"),
                                         QRect(136, 81, 184, 36), 35);
    透明标签3 =
        new ui::TransparentLabel(this, QStringLiteral("透明标签3"), infoText(), QRect(137, 123, 191, 159));
    透明标签3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

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

QString AboutWindow::frameText()
{
    // 宋体 12 px: the box characters are 12 px wide, 35 of them fill the label.
    const QString top = QStringLiteral("╔") + QString(33, QChar(0x2550)) + QStringLiteral("╗");
    const QString bottom = QStringLiteral("╚") + QString(33, QChar(0x2550)) + QStringLiteral("╝");
    const QString side = QStringLiteral("║") + QString(66, QLatin1Char(' ')) + QStringLiteral("║");
    QStringList lines;
    lines << top << QStringLiteral("║            ★ 欢迎使用 Quennet 通讯录 ★                 ║");
    while (lines.size() < 25)
        lines << side;
    lines << QStringLiteral("║  使用说明：按 F1 至 F11 可直接调用各项功能，                     ║")
          << QStringLiteral("║  双击下方进度条可立即关闭本窗口。                               ║") << bottom;
    return lines.join(QLatin1Char('\n'));
}

QString AboutWindow::infoText()
{
    return QStringList{QStringLiteral("版本：1.0.1"),
                       QString(),
                       QStringLiteral("运行平台 ：所有Windows系统"),
                       QStringLiteral("作者：Quennet 开发组"),
                       QStringLiteral("联系：见帮助页面 Help.html"),
                       QStringLiteral("欢迎提点建议或指出错误！"),
                       QStringLiteral("您的支持是我最好的动力！")}
        .join(QLatin1Char('\n'));
}

} // namespace quennet
