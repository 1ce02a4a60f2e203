#pragma once

#include <functional>

class QIcon;
class QWidget;

namespace quennet {

class ProgramDir;

// An installed program keeps its store in the user's data directory: on the
// first start there is none yet, and an empty one without password is made
// (the directory only readable by the user). An existing store is never
// touched. False when it could not be made; the login then reports it.
bool provideUserStore(const ProgramDir &dir);

// Ends the process at once with the given exit code (used when another
// instance already runs). Whatever the testing switch collected is written
// out first.
// Closes a window and frees it (also one that was never shown).
void destroyWindow(QWidget *window);

// The application icon in all its sizes, carried by the start and main window.
QIcon applicationIcon();

[[noreturn]] void endProgram(int exitCode);

// Tests that run the start rules in-process replace the real end by their
// own (which must not return normally, e.g. it throws). An empty handler
// restores the real one.
void setEndProgramHandler(std::function<void(int)> handler);

// The testing switch (read by main only in builds with tests).
// QUENNET_TEST_MODE=1: no real message box, file dialog,
// modal window or document is shown (the scripted layers answer at once);
// each top-level window shown is reported on stderr as "window: <name>" and
// every message box as "message: <title>|<style>|<text>". QUENNET_TEST_MODE=
// report: everything is real, only the shown windows are reported.
bool testReportingEnabled();
void enableTestReporting();
void reportShownMessages(); // writes the messages not reported so far

} // namespace quennet
