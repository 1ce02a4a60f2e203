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
        const uint16_t modifiers = modifiersOf(combination.keyboardModifiers());
        QList<Grab> taken;
        QList<xcb_void_cookie_t> cookies;
        for (xcb_keysym_t keysym : keysymsOf(combination.key())) {
            xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_symbols, keysym);
            for (xcb_keycode_t *code = codes; code && *code != XCB_NO_SYMBOL; ++code) {
                for (uint16_t locks : lockVariants()) {
                    taken.append({id, *code, uint16_t(modifiers | locks)});
                    // Not owner_events: the key comes to the root window even
                    // when one of the program's own windows has the focus.
                    cookies.append(xcb_grab_key_checked(m_connection, 0, m_root, taken.last().modifiers,
                                                        *code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
                }
            }
            std::free(codes);
        }
        bool refused = taken.isEmpty();
        for (const xcb_void_cookie_t &cookie : cookies) {
            if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
                refused = true; // BadAccess: another client holds the combination
                std::free(error);
            }
        }
        m_grabs.append(taken);
        if (refused) {
            release(id);
            return false;
        }
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
        xcb_flush(m_connection);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const uint8_t type = event->response_type & ~0x80;
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
    };

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
    QList<Grab> m_grabs;
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
