// Hot keys on X11: passive key grabs on the root window, read back from the
// connection Qt uses, before Qt sees them.

#include "ui/HotKeys.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QList>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <utility>

namespace quennet::ui::detail {

namespace {

// Key symbols (X11 keysymdef.h).
constexpr xcb_keysym_t kKeysymF1 = 0xffbe;
constexpr xcb_keysym_t kKeysymReturn = 0xff0d;
constexpr xcb_keysym_t kKeysymKeypadEnter = 0xff8d;
constexpr xcb_keysym_t kKeysymLeft = 0xff51;
constexpr xcb_keysym_t kKeysymUp = 0xff52;
constexpr xcb_keysym_t kKeysymRight = 0xff53;
constexpr xcb_keysym_t kKeysymDown = 0xff54;
constexpr xcb_keysym_t kKeysymNumLock = 0xff7f;

// XKB event kinds (xkb.h), in the byte after the extension's event number.
constexpr uint8_t kXkbNewKeyboardNotify = 0;
constexpr uint8_t kXkbMapNotify = 1;

// The modifiers a combination is made of; the lock modifiers are not among them.
constexpr uint16_t kCombinationModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

// Enter stands for both Enter keys, as the system's Enter key code does.
QList<xcb_keysym_t> keysymsOf(Qt::Key key)
{
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return {xcb_keysym_t(kKeysymF1 + (key - Qt::Key_F1))};
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return {kKeysymReturn, kKeysymKeypadEnter};
    case Qt::Key_Left:
        return {kKeysymLeft};
    case Qt::Key_Up:
        return {kKeysymUp};
    case Qt::Key_Right:
        return {kKeysymRight};
    case Qt::Key_Down:
        return {kKeysymDown};
    default:
        // Letters and digits: their keysym is their Latin-1 code, lower case.
        if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
            return {xcb_keysym_t(QChar(key).toLower().unicode())};
        return {};
    }
}

uint16_t modifiersOf(Qt::KeyboardModifiers modifiers)
{
    uint16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

class X11HotKeys : public HotKeyBackend, public QAbstractNativeEventFilter {
public:
    X11HotKeys(xcb_connection_t *connection, xcb_window_t root)
        : m_connection(connection), m_root(root), m_symbols(xcb_key_symbols_alloc(connection))
    {
        m_numLock = numLockMask();
        m_xkbEvent = xkbFirstEvent();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~X11HotKeys() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
        while (!m_grabs.isEmpty())
            release(m_grabs.first().id);
        xcb_key_symbols_free(m_symbols);
    }

    bool grab(QWidget *, int id, QKeyCombination combination) override
    {
        const QList<Grab> taken = grabsFor(id, combination);
        m_grabs.append(taken);
        if (taken.isEmpty() || !take(taken)) {
            release(id);
            return false;
        }
        m_combinations.append({id, combination});
        return true;
    }

    void release(int id) override
    {
        for (int i = m_grabs.size() - 1; i >= 0; --i) {
            const Grab &grab = m_grabs.at(i);
            if (grab.id != id)
                continue;
            xcb_ungrab_key(m_connection, grab.code, m_root, grab.modifiers);
            m_grabs.removeAt(i);
        }
        for (int i = m_combinations.size() - 1; i >= 0; --i)
            if (m_combinations.at(i).id == id)
                m_combinations.removeAt(i);
        xcb_flush(m_connection);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const uint8_t type = event->response_type & ~0x80;
        if (isMappingChange(event)) {
            followMapping();
            return false; // Qt reads the new mapping too
        }
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
            return false;
        const auto *key = static_cast<const xcb_key_press_event_t *>(message);
        if (key->event != m_root)
            return false;
        const int id = idOf(key->detail, key->state & kCombinationModifiers);
        if (id == 0)
            return false;
        if (type == XCB_KEY_PRESS)
            dispatchHotKey(id);
        return true;
    }

private:
    struct Grab {
        int id;
        xcb_keycode_t code;
        uint16_t modifiers;
        bool operator==(const Grab &other) const
        {
            return id == other.id && code == other.code && modifiers == other.modifiers;
        }
    };

    struct Combination {
        int id;
        QKeyCombination keys;
    };

    // One grab per key code that carries one of the combination's keysyms in
    // the current mapping, with each state of the lock keys.
    QList<Grab> grabsFor(int id, QKeyCombination combination) const
    {
        const uint16_t modifiers = modifiersOf(combination.keyboardModifiers());
        QList<Grab> grabs;
        for (xcb_keysym_t keysym : keysymsOf(combination.key())) {
            xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_symbols, keysym);
            for (xcb_keycode_t *code = codes; code && *code != XCB_NO_SYMBOL; ++code)
                for (uint16_t locks : lockVariants())
                    grabs.append({id, *code, uint16_t(modifiers | locks)});
            std::free(codes);
        }
        return grabs;
    }

    // False when another client holds any of them (BadAccess).
    bool take(const QList<Grab> &grabs)
    {
        QList<xcb_void_cookie_t> cookies;
        // Not owner_events: the key comes to the root window even when one of
        // the program's own windows has the focus.
        for (const Grab &grab : grabs)
            cookies.append(xcb_grab_key_checked(m_connection, 0, m_root, grab.modifiers, grab.code,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        bool taken = true;
        for (const xcb_void_cookie_t &cookie : cookies) {
            if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
                taken = false;
                std::free(error);
            }
        }
        return taken;
    }

    // A new keyboard mapping (xmodmap, setxkbmap, another keyboard): core
    // MappingNotify, or XKB's map and new-keyboard notifications, which an
    // XKB client such as Qt gets instead.
    bool isMappingChange(const xcb_generic_event_t *event) const
    {
        const uint8_t type = event->response_type & ~0x80;
        if (type == XCB_MAPPING_NOTIFY)
            return reinterpret_cast<const xcb_mapping_notify_event_t *>(event)->request !=
                   XCB_MAPPING_POINTER;
        const uint8_t xkbType = event->pad0;
        return m_xkbEvent != 0 && type == m_xkbEvent &&
               (xkbType == kXkbNewKeyboardNotify || xkbType == kXkbMapNotify);
    }

    // The same keysyms now sit on other key codes: give back the old grabs
    // and take the new ones. A combination another client now holds stays
    // registered without its key, as at registration.
    void followMapping()
    {
        xcb_key_symbols_free(m_symbols);
        m_symbols = xcb_key_symbols_alloc(m_connection);
        m_numLock = numLockMask();
        QList<Grab> wanted;
        for (const Combination &combination : std::as_const(m_combinations))
            wanted.append(grabsFor(combination.id, combination.keys));
        if (wanted == m_grabs)
            return;
        for (const Grab &grab : std::as_const(m_grabs))
            xcb_ungrab_key(m_connection, grab.code, m_root, grab.modifiers);
        m_grabs = wanted;
        take(m_grabs);
        xcb_flush(m_connection);
    }

    // The first event number of the XKB extension, 0 without it.
    uint8_t xkbFirstEvent() const
    {
        static const char kName[] = "XKEYBOARD";
        xcb_query_extension_reply_t *reply = xcb_query_extension_reply(
            m_connection, xcb_query_extension(m_connection, sizeof kName - 1, kName), nullptr);
        const uint8_t first = reply && reply->present ? reply->first_event : 0;
        std::free(reply);
        return first;
    }

    QList<uint16_t> lockVariants() const
    {
        QList<uint16_t> variants{0, XCB_MOD_MASK_LOCK};
        if (m_numLock)
            variants << m_numLock << uint16_t(m_numLock | XCB_MOD_MASK_LOCK);
        return variants;
    }

    int idOf(xcb_keycode_t code, uint16_t modifiers) const
    {
        for (const Grab &grab : m_grabs)
            if (grab.code == code && (grab.modifiers & kCombinationModifiers) == modifiers)
                return grab.id;
        return 0;
    }

    // The modifier bit that NumLock sets in this keyboard mapping.
    uint16_t numLockMask() const
    {
        xcb_keycode_t *numLockCodes = xcb_key_symbols_get_keycode(m_symbols, kKeysymNumLock);
        if (!numLockCodes)
            return XCB_MOD_MASK_2;
        uint16_t mask = 0;
        xcb_get_modifier_mapping_reply_t *mapping =
            xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr);
        if (mapping) {
            const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(mapping);
            const int perModifier = mapping->keycodes_per_modifier;
            for (int modifier = 0; modifier < 8 && !mask; ++modifier)
                for (int i = 0; i < perModifier && !mask; ++i)
                    for (xcb_keycode_t *n = numLockCodes; *n != XCB_NO_SYMBOL; ++n)
                        if (codes[modifier * perModifier + i] == *n && *n != 0)
                            mask = uint16_t(1 << modifier);
            std::free(mapping);
        }
        std::free(numLockCodes);
        return mask ? mask : uint16_t(XCB_MOD_MASK_2);
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    xcb_key_symbols_t *m_symbols;
    uint16_t m_numLock = 0;
    uint8_t m_xkbEvent = 0;
    QList<Grab> m_grabs;
    QList<Combination> m_combinations;
};

} // namespace

HotKeyBackend *makeX11HotKeys()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    xcb_connection_t *connection = x11->connection();
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return nullptr;
    return new X11HotKeys(connection, screen->root);
}

} // namespace quennet::ui::detail
