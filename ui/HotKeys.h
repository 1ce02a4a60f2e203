#pragma once

#include <QKeyCombination>
#include <QList>

#include <functional>

class QWidget;

namespace quennet::ui {

// System-wide hot keys. They reach the program whichever application is
// active and while the owner window is hidden; they end with the owner.
//
// Registration order gives the identifiers: the next registration gets
// count + 1. A combination that cannot be taken (another program holds it)
// is not recorded, so the next registration gets the same identifier. No
// message is shown; the command stays reachable by its menu item or button.
//
// Where to take them from: on X11, grabs on the root window (with and
// without NumLock and CapsLock); on Wayland, the desktop portal's global
// shortcuts where the session offers them, beside application shortcuts;
// otherwise (offscreen, Wayland without the portal) application shortcuts
// of the owner window; in test mode, the script below.
//
// A hot key pressed while one of the program's modal windows or message
// boxes is open does nothing: its command belongs to the window behind, whose
// controls are blocked too, and running it would re-enter a command that is
// still waiting for that window.

// Returns the identifier given to the combination, or 0 when it could not be taken.
int registerHotKey(QWidget *owner, QKeyCombination combination, std::function<void()> handler);

struct RegisteredHotKey {
    int id = 0;
    QKeyCombination combination;
};
QList<RegisteredHotKey> registeredHotKeys(); // in registration order

// Runs the handler of hot key number id, as a key press does. False when no
// such hot key is registered or a modal window is open.
bool dispatchHotKey(int id);

namespace detail {

// Where the combinations are taken. grab() must not run the handler; the
// backend calls dispatchHotKey(id) when the key is pressed. release() gives
// back what grab() took.
class HotKeyBackend {
public:
    virtual ~HotKeyBackend() = default;
    virtual bool grab(QWidget *owner, int id, QKeyCombination combination) = 0;
    virtual void release(int id) = 0;
};

// The X11 backend, or null when the application has no X connection.
HotKeyBackend *makeX11HotKeys();
// Application shortcuts of the owner window: the keys work while a window
// of the program is active.
HotKeyBackend *makeShortcutHotKeys();
// The desktop portal's global shortcuts on Wayland, or null when the
// application is on another platform or the session bus has no portal.
HotKeyBackend *makePortalHotKeys();

} // namespace detail

// Test scripting (test targets only, see ui/StandIns.h): in test mode
// nothing is grabbed from the system. Every combination can be had except
// those marked as held by another program; press() stands for the user
// pressing a combination.
class HotKeyScript {
public:
    static void setTestMode(bool on);
    static bool testMode();
    static void setHeldElsewhere(const QList<QKeyCombination> &combinations);
    // Dispatches the hot key registered for the combination; false when none is.
    static bool press(QKeyCombination combination);
    static void clear(); // forgets the combinations held elsewhere
};

} // namespace quennet::ui
