#include "app/Program.h"

#include "contacts/ProgramDir.h"
#include "contacts/store/ContactStore.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QEvent>
#include <QIcon>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace quennet {

namespace {

std::function<void(int)> &endHandler()
{
    static std::function<void(int)> handler;
    return handler;
}

bool g_reporting = false;
int g_messagesReported = 0;

void writeLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
    std::fflush(stderr);
}

// Reports each top-level window the first time it is shown, and flushes the
// message boxes shown before it, so a driving test sees them in order.
class ShownWindowReporter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow() && !widget->objectName().isEmpty()) {
                reportShownMessages();
                writeLine(QStringLiteral("window: ") + widget->objectName());
            }
        }
        return false;
    }
};

} // namespace

bool provideUserStore(const ProgramDir &dir)
{
    if (QFile::exists(dir.storeFile()))
        return true;
    if (!QDir().mkpath(dir.path()))
        return false;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return ContactStore::create(dir.storeFile());
}

void destroyWindow(QWidget *window)
{
    // A window that was never shown has no platform window, and closing it
    // would not free it.
    if (window->isVisible()) {
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->close();
    } else {
        window->deleteLater();
    }
}

QIcon applicationIcon()
{
    static const QIcon icon = [] {
        QIcon all;
        for (int size : {16, 20, 24, 32, 40, 48, 64, 256})
            all.addFile(QStringLiteral(":/icons/quennet_%1.png").arg(size), QSize(size, size));
        return all;
    }();
    return icon;
}

void endProgram(int exitCode)
{
    if (endHandler())
        endHandler()(exitCode);
    reportShownMessages();
    std::fflush(stdout);
    // The event loop may not run yet and windows may exist; nothing needs an
    // orderly tear-down, the system frees the instance lock with the process.
    ::_exit(exitCode);
}

void setEndProgramHandler(std::function<void(int)> handler)
{
    endHandler() = std::move(handler);
}

bool testReportingEnabled()
{
    return g_reporting;
}

void enableTestReporting()
{
    if (g_reporting)
        return;
    g_reporting = true;
    qApp->installEventFilter(new ShownWindowReporter(qApp));
    // Messages are reported as they are shown, so a test driving the program
    // from outside sees each one at once.
    ui::MessageBoxScript::setShownListener(reportShownMessages);
}

void reportShownMessages()
{
    if (!g_reporting)
        return;
    const QList<ui::ShownMessage> shown = ui::MessageBoxScript::shown();
    if (shown.size() < g_messagesReported)
        g_messagesReported = 0;
    for (int i = g_messagesReported; i < shown.size(); ++i) {
        const ui::ShownMessage &m = shown.at(i);
        QString text = m.text;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n"));
        writeLine(QStringLiteral("message: %1|%2|%3").arg(m.title).arg(m.style).arg(text));
    }
    g_messagesReported = shown.size();
}

} // namespace quennet
