#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QIcon;
class QMenu;
class QWidget;

namespace quennet::ui {

// The notification-area icon that stands in for a hidden window. One icon
// for the application: the owner's small window icon with a tip, optionally
// a balloon. On the icon a left button press pops up the left-click menu (if
// any), a right button press pops up the right-click menu at the mouse, a
// double click runs the restore routine. When the notification area's host
// restarts the icon is put back (without balloon); when the owner is
// destroyed the icon goes with it.
struct TrayRequest {
    QWidget *owner = nullptr;
    QMenu *leftClickMenu = nullptr;
    QMenu *rightClickMenu = nullptr;
    QString tip;
    bool balloon = false;
    QString balloonText;
    QString balloonTitle;
    std::function<void()> restore;
};

// Whether the desktop has a notification area now.
bool trayAvailable();

// Puts the icon into the notification area. False, with nothing done, when
// the desktop has none: the caller must then keep the window reachable.
bool hideIntoTray(const TrayRequest &request);

// Takes the icon out of the notification area (nothing when none is shown).
void removeTrayIcon();

bool trayIconPresent();

namespace detail {

// The notification area: the desktop's, or in test mode the script's. Its
// signals report what the user did on the icon.
class TrayHost : public QObject {
    Q_OBJECT
public:
    virtual bool available() const = 0;
    virtual void addIcon(const QIcon &icon, const QString &tip) = 0;
    virtual void showBalloon(const QString &title, const QString &text) = 0;
    virtual void removeIcon() = 0;

signals:
    void leftButtonPressed();
    void rightButtonPressed();
    void doubleClicked();
    void hostRestarted(); // the area is new; an icon shown before is gone
};

} // namespace detail

// Test scripting (test targets only, see ui/StandIns.h): in test mode the
// icon lives in this script, and the user's actions on it are simulated.
class TrayScript {
public:
    static void setTestMode(bool on);
    static bool testMode();
    static void setAvailable(bool available); // true unless set
    static bool iconShown();
    static QString tip();
    static int iconsAdded(); // every add, also the one after a host restart
    static QString balloonTitle();
    static QString balloonText();
    static int balloonsShown();
    static void pressLeftButton();
    static void pressRightButton();
    static void doubleClick();
    static void restartHost();
    static void clear(); // available again, counts and texts forgotten
};

} // namespace quennet::ui
