#pragma once

class QApplication;

namespace quennet {

// What main does around the run besides the run itself. The program that is
// laid out and installed does nothing more (ProgramRelease.cpp) and never
// changes its behaviour because of the environment; the copy of it that
// tests and benchmarks start reads their switches (ProgramTesting.cpp).
void prepareRun(QApplication &app); // the application object exists, no window yet
void finishRun();                   // the event loop has ended

} // namespace quennet
