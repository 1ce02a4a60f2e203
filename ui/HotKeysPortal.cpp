// System-wide hot keys on Wayland, where a client cannot grab keys itself:
// the desktop portal's GlobalShortcuts interface binds them for the program
// (after asking the user, as the desktop sees fit) and tells it when one is
// pressed. Binding is asynchronous and may be refused: until the desktop has
// bound them, and for good when it refuses, the keys work while a window of
// the program is active, through application shortcuts.

#include "ui/HotKeys.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMap>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace quennet::ui {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// One entry of BindShortcuts' list: (s a{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

} // namespace quennet::ui

Q_DECLARE_METATYPE(quennet::ui::PortalShortcut)

namespace quennet::ui {

namespace {

// "Ctrl+Return" as the desktop portal writes a shortcut's trigger: "CTRL+Return".
QString portalTrigger(QKeyCombination combination)
{
    QString trigger;
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers & Qt::ControlModifier)
        trigger += QStringLiteral("CTRL+");
    if (modifiers & Qt::AltModifier)
        trigger += QStringLiteral("ALT+");
    if (modifiers & Qt::ShiftModifier)
        trigger += QStringLiteral("SHIFT+");
    if (modifiers & Qt::MetaModifier)
        trigger += QStringLiteral("LOGO+");
    return trigger + QKeySequence(combination.key()).toString(QKeySequence::PortableText);
}

QString shortcutId(int id)
{
    return QStringLiteral("hotkey-%1").arg(id);
}

class PortalHotKeys : public QObject, public detail::HotKeyBackend {
    Q_OBJECT
public:
    explicit PortalHotKeys(QDBusConnection bus) : m_bus(std::move(bus))
    {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        m_bind.setSingleShot(true);
        connect(&m_bind, &QTimer::timeout, this, &PortalHotKeys::createSession);
        m_bus.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"), this,
                      SLOT(activated(QDBusMessage)));
    }

    bool grab(QWidget *owner, int id, QKeyCombination combination) override
    {
        m_inWindow->grab(owner, id, combination);
        m_combinations.insert(id, combination);
        // The keys of a window are registered together: they are bound as one.
        m_bind.start(0);
        return true;
    }

    void release(int id) override
    {
        m_inWindow->release(id);
        m_combinations.remove(id);
    }

public slots:
    // Activated (o session_handle, s shortcut_id, t timestamp, a{sv} options).
    void activated(const QDBusMessage &message)
    {
        const QList<QVariant> arguments = message.arguments();
        const QString session = qvariant_cast<QDBusObjectPath>(arguments.value(0)).path();
        const QString id = arguments.value(1).toString();
        if (session == m_session && id.startsWith(QLatin1String("hotkey-")))
            dispatchHotKey(id.mid(7).toInt());
    }

    void sessionCreated(uint response, const QVariantMap &results)
    {
        if (response != 0)
            return;
        m_session = results.value(QStringLiteral("session_handle")).toString();
        if (m_session.isEmpty())
            m_session = qdbus_cast<QDBusObjectPath>(results.value(QStringLiteral("session_handle"))).path();
        bindShortcuts();
    }

    // Once the desktop has the keys, they come from it alone, also while a
    // window of ours is active: a key is never run twice.
    void shortcutsBound(uint response, const QVariantMap &)
    {
        if (response != 0)
            return;
        for (auto it = m_combinations.cbegin(); it != m_combinations.cend(); ++it)
            m_inWindow->release(it.key());
    }

private:
    // Requests answer through a Response signal on a path the caller can
    // know in advance from its token; the answer is listened for first.
    QDBusMessage request(const QString &method, const QString &token, const char *answeredBy)
    {
        QString sender = m_bus.baseService().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
        m_bus.connect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), this, answeredBy);
        return QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface, method);
    }

    void createSession()
    {
        if (!m_session.isEmpty() || m_asked)
            return;
        m_asked = true;
        QDBusMessage call = request(QStringLiteral("CreateSession"), QStringLiteral("quennet_session"),
                                    SLOT(sessionCreated(uint, QVariantMap)));
        call << QVariantMap{{QStringLiteral("handle_token"), QStringLiteral("quennet_session")},
                            {QStringLiteral("session_handle_token"), QStringLiteral("quennet")}};
        m_bus.asyncCall(call);
    }

    void bindShortcuts()
    {
        QList<PortalShortcut> shortcuts;
        for (auto it = m_combinations.cbegin(); it != m_combinations.cend(); ++it)
            shortcuts << PortalShortcut{shortcutId(it.key()),
                                        {{QStringLiteral("description"), portalTrigger(it.value())},
                                         {QStringLiteral("preferred_trigger"), portalTrigger(it.value())}}};
        QDBusMessage call = request(QStringLiteral("BindShortcuts"), QStringLiteral("quennet_bind"),
                                    SLOT(shortcutsBound(uint, QVariantMap)));
        call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts) << QString()
             << QVariantMap{{QStringLiteral("handle_token"), QStringLiteral("quennet_bind")}};
        m_bus.asyncCall(call);
    }

    QDBusConnection m_bus;
    QTimer m_bind;
    bool m_asked = false;
    QString m_session;
    const std::unique_ptr<detail::HotKeyBackend> m_inWindow{detail::makeShortcutHotKeys()};
    QMap<int, QKeyCombination> m_combinations;
};

} // namespace

namespace detail {

HotKeyBackend *makePortalHotKeys()
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface *names = bus.isConnected() ? bus.interface() : nullptr;
    if (!names || (!names->isServiceRegistered(kPortalService) &&
                   !names->activatableServiceNames().value().contains(kPortalService)))
        return nullptr;
    return new PortalHotKeys(bus);
}

} // namespace detail

} // namespace quennet::ui

#include "HotKeysPortal.moc"
