#include "app/Program.h"

#include "contacts/ProgramDir.h"
#include "contacts/Session.h"
#include "contacts/store/ContactStore.h"
#include "sync/StoreSync.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
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

SyncStoreFactory &syncStoreFactory()
{
    static SyncStoreFactory factory;
    return factory;
}

std::unique_ptr<sync::SyncStore> programSyncStore(Session &session)
{
    return std::make_unique<sync::StoreSync>(session.store);
}

} // namespace

bool provideUserStore(const ProgramDir &dir)
{
    if (QFile::exists(dir.storeFile()))
        return true;
    if (!QDir().mkpath(dir.path()))
        return false;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return ContactStore::create(dir.storeFile()).ok;
}

QTranslator *installQtTranslations()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    // The interface is Chinese whatever the user's locale says.
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
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
    std::fflush(stdout);
    // The event loop may not run yet and windows may exist; nothing needs an
    // orderly tear-down, the system frees the instance lock with the process.
    ::_exit(exitCode);
}

void setEndProgramHandler(std::function<void(int)> handler)
{
    endHandler() = std::move(handler);
}

std::unique_ptr<sync::SyncStore> makeSyncStore(Session &session)
{
    if (syncStoreFactory())
        return syncStoreFactory()(session);
    return programSyncStore(session);
}

void setSyncStoreFactory(SyncStoreFactory factory)
{
    syncStoreFactory() = std::move(factory);
}

} // namespace quennet
