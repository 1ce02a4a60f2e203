#include "app/ContactSync.h"

#include "app/MainWindow.h"
#include "app/MenuPictures.h"
#include "app/Program.h"
#include "contacts/ContactRules.h"
#include "contacts/Session.h"
#include "contacts/store/Secret.h"
#include "settings/SyncRun.h"
#include "settings/SyncWindow.h"
#include "sync/SyncStore.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScopedValueRollback>
#include <QTimer>

namespace quennet {

namespace {
constexpr int kMinuteMs = 60 * 1000;
} // namespace

ContactSync::ContactSync(MainWindow &window) : QObject(&window), m_window(window)
{
    setObjectName(QStringLiteral("同步"));
    QMenu *menu = window.设置;
    menu->addSeparator();
    同步设置 = menu->addAction(window.menuPictures->picture(6), QStringLiteral("同步设置…"));
    同步设置->setObjectName(QStringLiteral("同步设置…"));
    立即同步 = menu->addAction(window.menuPictures->picture(2), QStringLiteral("立即同步"));
    立即同步->setObjectName(QStringLiteral("立即同步"));
    connect(同步设置, &QAction::triggered, this, &ContactSync::syncSettings);
    connect(立即同步, &QAction::triggered, this, &ContactSync::syncNow);

    syncTimer = ui::makeTimer(this, QStringLiteral("syncTimer"), 0);
    connect(syncTimer, &QTimer::timeout, this, &ContactSync::syncTimer_fired);
    m_store = makeSyncStore(window.session());
    followSettings();
}

ContactSync::~ContactSync() = default;

bool ContactSync::available()
{
    if (m_store)
        return true;
    ui::messageBox(&m_window, QStringLiteral("同步功能暂不可用。"), syncrun::reportTitle(),
                   ui::Style::OkInformation);
    return false;
}

bool ContactSync::isReady() const
{
    const sync::SyncSettings settings = m_store->settings();
    return settings.isSet() && !settings.book.isEmpty();
}

void ContactSync::followSettings()
{
    const int minutes = m_store && isReady() ? m_store->settings().intervalMinutes : 0;
    if (minutes <= 0) {
        syncTimer->stop();
        return;
    }
    if (!syncTimer->isActive() || syncTimer->interval() != minutes * kMinuteMs)
        syncTimer->start(minutes * kMinuteMs);
}

void ContactSync::syncSettings()
{
    if (m_running || !available() || m_window.refusedWhileEditing())
        return;
    const QScopedValueRollback<bool> running(m_running, true);
    int outcome = SyncWindow::Closed;
    {
        const MainWindow::FollowingPaused paused(m_window);
        outcome = SyncWindow::run(m_window.session(), *m_store, &m_window);
    }
    followSettings();
    afterSync((outcome & SyncWindow::ContactsChanged) != 0, true);
}

void ContactSync::syncNow()
{
    if (m_running || !available() || m_window.refusedWhileEditing())
        return;
    if (!isReady()) {
        syncSettings();
        return;
    }
    const QScopedValueRollback<bool> running(m_running, true);
    const std::unique_ptr<sync::SyncLock> lock = syncrun::lockStore(&m_window, *m_store);
    if (!lock)
        return;
    const sync::SyncSettings settings = m_store->settings();
    QString password;
    if (!syncrun::serverPassword(&m_window, *m_store, settings, &password))
        return;
    syncrun::Outcome outcome;
    {
        const MainWindow::FollowingPaused paused(m_window);
        outcome = syncrun::run(&m_window, *m_store, password);
    }
    wipe(password);
    afterSync(outcome.contactsChanged(), true);
    syncrun::showReport(&m_window, outcome.report);
}

bool ContactSync::mayRunAutomatically() const
{
    const FormState &form = m_window.session().form;
    return m_store && isReady() && !m_running && m_window.session().store.isOpen() &&
           !ui::modalWindowOpen() && !QApplication::activePopupWidget() && !form.adding && !form.modifying &&
           form.queryKind == rules::QueryKind::None;
}

void ContactSync::syncTimer_fired()
{
    if (!mayRunAutomatically())
        return;
    const QScopedValueRollback<bool> running(m_running, true);
    // While wab syncs the store the timer waits for its next turn, quietly.
    const std::unique_ptr<sync::SyncLock> lock = syncrun::lockStore(&m_window, *m_store, false);
    if (!lock)
        return;
    QString password;
    if (!syncrun::serverPassword(&m_window, *m_store, m_store->settings(), &password)) {
        // Not asked again every few minutes: 立即同步 still asks.
        syncTimer->stop();
        return;
    }
    syncrun::Outcome outcome;
    {
        const MainWindow::FollowingPaused paused(m_window);
        outcome = syncrun::run(&m_window, *m_store, password);
    }
    wipe(password);
    afterSync(outcome.contactsChanged(), false);
    const QString error = outcome.report.error.ok() ? QString() : outcome.report.error.message;
    const bool told = !error.isEmpty() && error == m_lastAutomaticError;
    m_lastAutomaticError = error;
    if (syncrun::worthTellingAutomatically(outcome.report) && !(told && outcome.report.conflicts.isEmpty()))
        syncrun::showReport(&m_window, outcome.report);
}

void ContactSync::afterSync(bool contactsChanged, bool byUser)
{
    if (!contactsChanged)
        return;
    m_window.contactsChanged();
    if (byUser) {
        m_window.refillList();
        m_window.showList();
    } else if (m_window.isListView()) {
        // A record shown in the form stays there; going back to the list refills it.
        m_window.refillList();
    }
}

} // namespace quennet
