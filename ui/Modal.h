#pragma once

#include <functional>

class QDialog;
class QWidget;

namespace quennet::ui {

// Runs a window modally and returns when it is closed. All modal windows of
// the program go through here so tests can drive them: a queued handler is
// called once the window is shown (inside its event loop) and must close it.
// In test mode with no handler queued the window is closed at once.
int execModal(QDialog *dialog);

class ModalScript {
public:
    static void setTestMode(bool on);
    static void setNextHandler(std::function<void(QDialog *)> handler);
    static int shownCount();
    static void clear();
};

// Switches every scripted layer (message boxes, file dialogs, modal windows,
// opened documents) into test mode at once.
void setTestMode(bool on);

}  // namespace quennet::ui
