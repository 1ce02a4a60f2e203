#pragma once

#include "sync/SyncEngine.h"
#include "sync/SyncLock.h"
#include "sync/SyncStore.h"

#include <QString>

#include <memory>

class QWidget;

namespace quennet {

// One sync of the store with its address book, as the window, the menu item
// and the timer run it: the server password found or asked, the progress
// with 取消, and the report.
namespace syncrun {

struct Outcome {
    sync::SyncReport report;
    bool contactsChanged() const { return report.addedHere + report.changedHere + report.deletedHere > 0; }
};

const QString &reportTitle(); // "同步"

// Where the server password of the settings is found, in this order: the
// desktop's secret service, the copy sealed in the store, the user (asked
// through the password prompt). An account without a user name needs none.
// False when the user cancelled the prompt.
bool serverPassword(QWidget *parent, sync::SyncStore &store, const sync::SyncSettings &settings,
                    QString *password);

// The store's sync lock, taken before anything of a sync is saved or asked;
// null when another sync of the store runs (wab sync), after saying so in a
// message box when tell.
std::unique_ptr<sync::SyncLock> lockStore(QWidget *parent, const sync::SyncStore &store, bool tell = true);

// Syncs with the store's settings (the book chosen) under the progress.
// password as serverPassword found it.
Outcome run(QWidget *parent, sync::SyncStore &store, const QString &password);

// The report in a message box, the lists in its details area.
void showReport(QWidget *parent, const sync::SyncReport &report);
// Whether an automatic sync tells the user: errors (not a cancel) and
// conflicts. Cards our rules refuse stay on the server and come back at
// every sync; they are told when the user syncs, not every few minutes.
bool worthTellingAutomatically(const sync::SyncReport &report);

// What the report box says, and its details area (conflicts and skipped cards).
QString reportText(const sync::SyncReport &report);
QString reportDetails(const sync::SyncReport &report);
int reportStyle(const sync::SyncReport &report);

} // namespace syncrun

} // namespace quennet
