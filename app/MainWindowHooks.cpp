// The main window's global hot keys and its place in the notification area.

#include "app/MainWindow.h"

#include "app/Program.h"
#include "ui/HotKeys.h"
#include "ui/Tray.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <algorithm>
#include <functional>

namespace quennet {

void MainWindow::registerHotKeys()
{
    // Each key runs the handler of the menu item or button it stands for,
    // directly: a hot key works also where the menu item is disabled.
    const std::pair<QKeyCombination, std::function<void()>> keys[] = {
        {Qt::Key_F1, [this] { about(); }},
        {Qt::Key_F2, [this] { startAdding(); }},
        {Qt::Key_F3, [this] { startModifying(); }},
        {Qt::Key_F4, [this] { deleteContact(); }},
        {Qt::Key_F5, [this] { startQuery(rules::QueryKind::Name); }},
        {Qt::Key_F6, [this] { startQuery(rules::QueryKind::Phone); }},
        {Qt::Key_F7, [this] { startQuery(rules::QueryKind::Mobile); }},
        {Qt::Key_F8, [this] { startQuery(rules::QueryKind::QQ); }},
        {Qt::Key_F9, [this] { passwordSettings(); }},
        {Qt::Key_F10, [this] { dataManagement(); }},
        {Qt::Key_F11, [this] { help(); }},
        {Qt::ControlModifier | Qt::Key_Return, [this] { confirm(); }},
        {Qt::ShiftModifier | Qt::Key_Return, [this] { open(); }},
        {Qt::MetaModifier | Qt::Key_Return, [this] { backToList(); }},
        {Qt::AltModifier | Qt::Key_Left, [this] { previous(); }},
        {Qt::AltModifier | Qt::Key_Right, [this] { next(); }},
    };
    for (const auto &[combination, handler] : keys)
        ui::registerHotKey(this, combination, handler);
}

void MainWindow::minimizeWindow()
{
    ui::TrayRequest request;
    request.owner = this;
    request.rightClickMenu = 设置;
    request.tip = QStringLiteral("通讯录");
    request.balloon = true;
    request.balloonText = QStringLiteral("双击这里打开！");
    request.balloonTitle = QStringLiteral("通讯录");
    request.restore = [this] { restoreMainWindow(); };
    // Without a notification area the window is only minimised, so that it
    // can always be found again.
    if (!ui::hideIntoTray(request)) {
        showMinimized();
        return;
    }
    退出->setVisible(true);
    hide();
}

void MainWindow::exitProgram()
{
    // 退出 is offered while the window is hidden in the tray, and a hidden
    // window that goes away does not count as the last window closing: the
    // event loop is ended here then, once the window is gone.
    const bool hidden = !isVisible();
    ui::removeTrayIcon();
    destroyWindow(this);
    if (hidden && QGuiApplication::quitOnLastWindowClosed() && !anyOtherWindowShown())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool MainWindow::anyOtherWindowShown() const
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [this](QWidget *w) {
        return w != this && w->isVisible() &&
               !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip);
    });
}

void MainWindow::restoreMainWindow()
{
    show();
    raise();
    activateWindow();
    退出->setVisible(false);
    ui::removeTrayIcon();
}

} // namespace quennet
