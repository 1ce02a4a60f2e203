#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QAction;
class QTimer;

namespace quennet {

class MainWindow;

namespace sync {
class SyncStore;
}

// Sync with a CardDAV address book from the main window: the two items at
// the end of the 设置 menu and the timer of the automatic sync. The window
// gets its list refilled after a sync that changed the contacts.
class ContactSync : public QObject {
    Q_OBJECT
public:
    explicit ContactSync(MainWindow &window);
    ~ContactSync() override;

    void syncSettings(); // 同步设置…
    void syncNow();      // 立即同步
    // Every N minutes when set: a sync unless the user is busy with the
    // window (a dialog or message box of ours, a menu, a record being typed).
    void syncTimer_fired();
    bool mayRunAutomatically() const;

    QAction *同步设置;
    QAction *立即同步;
    QTimer *syncTimer;

private:
    bool available();
    void followSettings(); // the timer's interval
    bool isReady() const;  // a server and a book are chosen
    // The list refilled after a sync that changed the contacts.
    void afterSync(bool contactsChanged, bool byUser);

    MainWindow &m_window;
    std::unique_ptr<sync::SyncStore> m_store; // null: this program cannot sync
    bool m_running = false;
    // An automatic sync tells an error once, not every few minutes.
    QString m_lastAutomaticError;
};

} // namespace quennet
