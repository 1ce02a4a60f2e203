#include "ui/Tray.h"

#include "ui/StandIns.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace quennet::ui {

namespace {

using detail::TrayHost;

constexpr int kBalloonTimeoutMs = 10000;

xcb_atom_t internAtom(xcb_connection_t *connection, const QByteArray &name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The screen part of $DISPLAY (":0.1" is screen 1), which Qt opens.
int screenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const int dot = display.lastIndexOf('.');
    return dot > display.lastIndexOf(':') ? display.mid(dot + 1).toInt() : 0;
}

// A new tray host on X11 takes the selection "_NET_SYSTEM_TRAY_S<screen>" and
// announces it with a "MANAGER" client message to the root window.
class TrayManagerWatch : public QAbstractNativeEventFilter {
public:
    explicit TrayManagerWatch(std::function<void()> announced) : m_announced(std::move(announced))
    {
        auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->connection())
            return;
        xcb_connection_t *connection = x11->connection();
        m_manager = internAtom(connection, "MANAGER");
        m_selection = internAtom(connection, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber()));
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~TrayManagerWatch() override
    {
        if (m_manager != XCB_ATOM_NONE && QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & ~0x80) != XCB_CLIENT_MESSAGE)
            return false;
        const auto *client = static_cast<const xcb_client_message_event_t *>(message);
        if (client->type == m_manager && client->format == 32 && client->data.data32[1] == m_selection)
            m_announced();
        return false; // Qt's own tray code listens too
    }

private:
    std::function<void()> m_announced;
    xcb_atom_t m_manager = XCB_ATOM_NONE;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
};

// The desktop's notification area through Qt's tray icon. The icon's events
// are passed on queued: the restore routine takes the icon away, which must
// not happen inside the icon's own event handler. A host restart is passed on
// queued too, once Qt has seen the new host.
class DesktopTray : public TrayHost {
    Q_OBJECT
public:
    DesktopTray()
        : m_watch([this] {
              QMetaObject::invokeMethod(this, &DesktopTray::trayHostAnnounced, Qt::QueuedConnection);
          })
    {
    }

    bool available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

    void addIcon(const QIcon &icon, const QString &tip) override
    {
        removeIcon();
        m_icon = new QSystemTrayIcon(icon, this);
        m_icon->setObjectName(QStringLiteral("托盘图标"));
        m_icon->setToolTip(tip);
        connect(m_icon, &QSystemTrayIcon::activated, this, &DesktopTray::iconActivated, Qt::QueuedConnection);
        m_icon->show();
    }

    void showBalloon(const QString &title, const QString &text) override
    {
        if (m_icon)
            m_icon->showMessage(title, text, QSystemTrayIcon::Information, kBalloonTimeoutMs);
    }

    void removeIcon() override
    {
        if (!m_icon)
            return;
        m_icon->hide();
        m_icon->deleteLater();
        m_icon = nullptr;
    }

private:
    void trayHostAnnounced()
    {
        if (available())
            emit hostRestarted();
    }

    void iconActivated(QSystemTrayIcon::ActivationReason reason)
    {
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            emit leftButtonPressed();
            break;
        case QSystemTrayIcon::Context:
            emit rightButtonPressed();
            break;
        case QSystemTrayIcon::DoubleClick:
            emit doubleClicked();
            break;
        default:
            break;
        }
    }

    TrayManagerWatch m_watch;
    QPointer<QSystemTrayIcon> m_icon;
};

// The tray record: who owns the icon and what its events do.
struct Tray {
    std::unique_ptr<TrayHost> host;
    bool hostIsScripted = false;
    TrayRequest request;
    QPointer<QWidget> owner;
    bool present = false;
};

Tray &tray()
{
    static Tray t;
    return t;
}

void popUp(QMenu *menu)
{
    if (menu)
        menu->popup(QCursor::pos());
}

void addIcon()
{
    Tray &t = tray();
    t.host->addIcon(t.owner->windowIcon(), t.request.tip);
}

TrayHost &host()
{
    Tray &t = tray();
    const auto &scriptedHost = detail::standIns().tray;
    const bool scripted = bool(scriptedHost);
    if (t.host && t.hostIsScripted == scripted)
        return *t.host;
    removeTrayIcon();
    t.host = scripted ? scriptedHost() : std::make_unique<DesktopTray>();
    t.hostIsScripted = scripted;
    TrayHost *h = t.host.get();
    QObject::connect(h, &TrayHost::leftButtonPressed, h, [] {
        if (tray().present)
            popUp(tray().request.leftClickMenu);
    });
    QObject::connect(h, &TrayHost::rightButtonPressed, h, [] {
        if (tray().present)
            popUp(tray().request.rightClickMenu);
    });
    QObject::connect(h, &TrayHost::doubleClicked, h, [] {
        if (tray().present && tray().request.restore)
            tray().request.restore();
    });
    QObject::connect(h, &TrayHost::hostRestarted, h, [] {
        if (!tray().present || !tray().owner)
            return;
        tray().host->removeIcon();
        addIcon();
    });
    return *h;
}

} // namespace

bool trayAvailable()
{
    return host().available();
}

bool hideIntoTray(const TrayRequest &request)
{
    TrayHost &h = host();
    if (!request.owner || !h.available())
        return false;
    removeTrayIcon();
    Tray &t = tray();
    t.request = request;
    t.owner = request.owner;
    addIcon();
    if (request.balloon)
        h.showBalloon(request.balloonTitle, request.balloonText);
    t.present = true;
    // The icon goes with its window.
    QObject::connect(request.owner, &QObject::destroyed, &h, [owner = request.owner] {
        if (!tray().owner || tray().owner.data() == owner)
            removeTrayIcon();
    });
    return true;
}

void removeTrayIcon()
{
    Tray &t = tray();
    if (!t.present)
        return;
    t.present = false;
    if (t.host)
        t.host->removeIcon();
    t.request = TrayRequest();
    t.owner = nullptr;
}

bool trayIconPresent()
{
    return tray().present;
}

} // namespace quennet::ui

#include "Tray.moc"
