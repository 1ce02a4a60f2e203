#pragma once

#include <QStringList>

#include <functional>

class QDialog;
class QWidget;

namespace quennet::ui {

// Runs a window modally and returns when it is closed. All modal windows of
// the program go through here so tests can drive them: a queued handler is
// called once the window is shown (inside its event loop) and must close it.
// In test mode with no handler queued the window is closed at once
// (rejected) after it has been shown; so is a window its handler left open.
int execModal(QDialog *dialog);

// Whether the windows are scripted; never in the programs that are laid out
// and installed.
bool testMode();

// Whether one of the program's modal windows, message boxes or progresses
// is open: the commands of the window behind (hot keys, timers) wait
// meanwhile.
bool modalWindowOpen();

// Test scripting: defined in ui/*Testing.cpp, which only test targets link
// (see ui/StandIns.h).
class ModalScript {
public:
    static void setTestMode(bool on);
    static bool testMode();
    // Queued in order; each execModal() takes the next one when it starts, so
    // a window opened from inside a handler gets the handler queued after it.
    static void setNextHandler(std::function<void(QDialog *)> handler);
    static int pendingHandlers();
    static int shownCount();
    static QStringList shownNames(); // objectName of each window run, in order
    static void clear();
};

// Switches every scripted layer (message boxes, file dialogs, modal windows,
// progress, password prompts, opened documents, hot keys, tray icon) into
// test mode at once.
void setTestMode(bool on);

// Forgets everything the scripted layers recorded and every queued answer.
void clearTestScripts();

} // namespace quennet::ui
