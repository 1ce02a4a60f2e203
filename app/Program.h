#pragma once

#include <functional>
#include <memory>

class QIcon;
class QTranslator;
class QWidget;

namespace quennet {

class ProgramDir;
struct Session;

namespace sync {
class SyncStore;
}

// An installed program keeps its store in the user's data directory: on the
// first start there is none yet, and an empty one without password is made
// (the directory only readable by the user). An existing store is never
// touched. False when it could not be made; the login then reports it.
bool provideUserStore(const ProgramDir &dir);

// Loads Qt's own Chinese words (the standard dialogs' buttons and titles,
// the edit boxes' context menus) from the system's Qt translations and
// installs them in the application object. Null, and Qt speaks English,
// when the translations are not installed (Debian: qt6-translations-l10n).
QTranslator *installQtTranslations();

// Closes a window and frees it (also one that was never shown).
void destroyWindow(QWidget *window);

// The application icon in all its sizes, carried by the start and main window.
QIcon applicationIcon();

// Ends the process at once with the given exit code (used when another
// instance already runs).
[[noreturn]] void endProgram(int exitCode);

// Runs first when endProgram is called; when it returns, the process ends.
// The testing copy of the program writes out what its switch collected; tests
// that run the start rules in-process replace the end by their own (which
// must not return normally, e.g. it throws). An empty handler restores the
// plain end.
void setEndProgramHandler(std::function<void(int)> handler);

// The sync's side of the session's open store (settings, sync state,
// contacts), made when the main window is. Null when this program cannot
// sync; its sync items then say so. Tests put their own in place; an empty
// factory restores the program's.
using SyncStoreFactory = std::function<std::unique_ptr<sync::SyncStore>(Session &session)>;
std::unique_ptr<sync::SyncStore> makeSyncStore(Session &session);
void setSyncStoreFactory(SyncStoreFactory factory);

} // namespace quennet
