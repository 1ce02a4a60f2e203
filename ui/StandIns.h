#pragma once

// Where the scripted layers stand in for the real windows and devices. The
// scripts (the *Script classes, FileDialog's and Progress's scripting and
// the document record declared in the ui headers) are defined in
// ui/*Testing.cpp, which only test targets link; a script switched on puts
// its stand-in here. The programs that are laid out and installed have no
// script, so these stay empty and every window, dialog and device is real.

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QDialog;

namespace quennet::ui {

class FileDialog;
class Progress;
struct ShownMessage;

namespace detail {

class HotKeyBackend;
class TrayHost;

struct StandIns {
    // Answers a message box in its place.
    std::function<int(const ShownMessage &message)> messageBox;
    // Runs a modal window in place of its own event loop; returns its result.
    std::function<int(QDialog *dialog)> modal;
    // Answers an open or save dialog: true for OK, with the dialog's
    // fileName and filterIndex set as the real one would set them.
    std::function<bool(FileDialog &dialog, bool save)> fileDialog;
    std::function<bool(const QString &path)> openDocument;
    // Answers a password prompt: the password typed, or nothing for cancel.
    std::function<std::optional<QString>(const QString &title, const QString &label)> passwordPrompt;
    // A progress with this title starts; each of its updates asks whether
    // to go on.
    std::function<void(Progress *progress, const QString &title)> progressStarted;
    std::function<bool()> progressGoesOn;
    std::function<void(Progress *progress)> progressEnded;
    // Where hot keys are grabbed and the tray icon is shown.
    std::function<std::unique_ptr<HotKeyBackend>()> hotKeys;
    std::function<std::unique_ptr<TrayHost>()> tray;
};

StandIns &standIns();

// The extension of a Qt name filter's first glob: "vCard (*.vcf)" -> "vcf".
QString firstExtensionOf(const QString &nameFilter);

} // namespace detail

} // namespace quennet::ui
