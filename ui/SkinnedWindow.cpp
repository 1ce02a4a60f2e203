#include "ui/SkinnedWindow.h"

#include "contacts/Session.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/Skin.h"

#include <QPushButton>

namespace quennet::ui {

namespace {
const int kTitlePixelSize = 14;
} // namespace

SkinnedWindow::SkinnedWindow(Session &session, const QString &name, QWidget *parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), m_session(session)
{
    setObjectName(name);
    // The caption doubles as the title a task bar or window list shows.
    setWindowTitle(QStringLiteral("设置密码"));
    setFixedSize(kWidth, kHeight);
    // The design places these windows on the screen, not relative to the
    // window that opens them.
    move(kLeft, kTop);

    // Both windows carry the same title text.
    titleLabel = new ui::TransparentLabel(this, QStringLiteral("透明标签2"), windowTitle(),
                                          QRect(5, 2, 58, 22), kTitlePixelSize);
    帮助按钮 = new ui::ImageButton(this, QStringLiteral("帮助按钮"), QStringLiteral("help"),
                                   QRect(165, 2, 19, 19), QStringLiteral("帮助"));
    帮助按钮->setCursor(Qt::WhatsThisCursor);
    关闭按钮 = new ui::ImageButton(this, QStringLiteral("关闭按钮"), QStringLiteral("close"),
                                   QRect(185, 2, 19, 19), QStringLiteral("关闭"));

    connect(帮助按钮, &QAbstractButton::clicked, this, &SkinnedWindow::帮助按钮_clicked);
    connect(关闭按钮, &QAbstractButton::clicked, this, &SkinnedWindow::关闭按钮_clicked);
}

QPushButton *SkinnedWindow::makeConfirmButton()
{
    auto *button = new QPushButton(QStringLiteral("确  定"), this);
    button->setObjectName(QStringLiteral("确定按钮"));
    button->setGeometry(55, 170, 100, 24);
    return button;
}

void SkinnedWindow::setUpSkinnedWindow()
{
    ui::applyVisualStyle(this);
    ui::applySkin(this, m_session.dir.skinFile(3));
    ui::setToolTip(帮助按钮, QStringLiteral("帮助"));
    ui::setToolTip(关闭按钮, QStringLiteral("关闭"));
}

void SkinnedWindow::帮助按钮_clicked()
{
    ui::messageBox(this, helpText(), QStringLiteral("温馨提示帮助"), ui::Style::OkQuestion);
}

void SkinnedWindow::关闭按钮_clicked()
{
    reject();
}

} // namespace quennet::ui
