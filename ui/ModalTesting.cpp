// The scripted modal runner, the record of opened documents and the switch
// of every scripted layer: linked only into test targets (see ui/StandIns.h).
#include "ui/Modal.h"

#include "ui/Controls.h"
#include "ui/FileDialog.h"
#include "ui/HotKeys.h"
#include "ui/MessageBox.h"
#include "ui/PasswordPrompt.h"
#include "ui/Progress.h"
#include "ui/StandIns.h"
#include "ui/Tray.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace quennet::ui {

namespace {

using Handler = std::function<void(QDialog *)>;

struct Script {
    QList<Handler> handlers;
    int shown = 0;
    QStringList names;
};

Script &script()
{
    static Script s;
    return s;
}

// Opened documents are only recorded.
QStringList &openedPaths()
{
    static QStringList paths;
    return paths;
}

bool recordDocument(const QString &path)
{
    openedPaths().append(path);
    return true;
}

void setDocumentTestMode(bool on)
{
    detail::standIns().openDocument = on ? std::function<bool(const QString &)>(recordDocument) : nullptr;
}

// Runs inside the dialog's own event loop: the window is shown and its
// set-up code has run. Whatever the handler does, the loop must end, or the
// test would wait forever on a window nobody sees.
void driveScripted(QDialog *dialog, const Handler &handler, const std::shared_ptr<bool> &finished)
{
    QPointer<QDialog> guard(dialog);
    if (handler)
        handler(dialog);
    if (!guard || *finished || !guard->isVisible())
        return;
    if (handler)
        qWarning("modal window '%s' was left open by its test handler; closing it",
                 qPrintable(guard->objectName()));
    guard->reject();
}

// A window that closes itself while it is being shown leaves exec() waiting
// on an invisible window (so it would in real use too). Showing it again
// inside the loop lets the same closing code end the loop this time.
void endStuckLoop(QDialog *dialog)
{
    qWarning("modal window '%s' closed itself while being shown", qPrintable(dialog->objectName()));
    QPointer<QDialog> guard(dialog);
    const int result = dialog->result();
    dialog->show();
    if (guard && guard->isVisible())
        guard->done(result);
}

int execScripted(QDialog *dialog)
{
    Script &s = script();
    ++s.shown;
    s.names.append(dialog->objectName());
    const Handler handler = s.handlers.isEmpty() ? Handler() : s.handlers.takeFirst();
    auto finished = std::make_shared<bool>(false);
    auto running = std::make_shared<bool>(true);
    const QMetaObject::Connection watch =
        QObject::connect(dialog, &QDialog::finished, dialog, [finished] { *finished = true; });
    QTimer::singleShot(0, dialog, [dialog, handler, finished, running] {
        if (!*running)
            return;
        if (*finished)
            endStuckLoop(dialog);
        else
            driveScripted(dialog, handler, finished);
    });
    QPointer<QDialog> guard(dialog);
    const int result = dialog->exec();
    *running = false;
    if (guard)
        QObject::disconnect(watch);
    return result;
}

} // namespace

void ModalScript::setTestMode(bool on)
{
    detail::standIns().modal = on ? std::function<int(QDialog *)>(execScripted) : nullptr;
}

bool ModalScript::testMode()
{
    return bool(detail::standIns().modal);
}

void ModalScript::setNextHandler(std::function<void(QDialog *)> handler)
{
    script().handlers.append(std::move(handler));
}

int ModalScript::pendingHandlers()
{
    return script().handlers.size();
}

int ModalScript::shownCount()
{
    return script().shown;
}

QStringList ModalScript::shownNames()
{
    return script().names;
}

void ModalScript::clear()
{
    script().handlers.clear();
    script().shown = 0;
    script().names.clear();
}

void setTestMode(bool on)
{
    MessageBoxScript::setTestMode(on);
    FileDialog::setTestMode(on);
    ModalScript::setTestMode(on);
    HotKeyScript::setTestMode(on);
    TrayScript::setTestMode(on);
    Progress::setTestMode(on);
    PasswordPromptScript::setTestMode(on);
    setDocumentTestMode(on);
}

void clearTestScripts()
{
    MessageBoxScript::clear();
    FileDialog::clearScript();
    ModalScript::clear();
    HotKeyScript::clear();
    TrayScript::clear();
    Progress::clearScript();
    PasswordPromptScript::clear();
    clearOpenedDocuments();
}

QStringList openedDocuments()
{
    return openedPaths();
}

void clearOpenedDocuments()
{
    openedPaths().clear();
}

} // namespace quennet::ui
