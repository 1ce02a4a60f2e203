#pragma once

#include "Arguments.h"
#include "Console.h"

#include <QList>
#include <QString>

namespace quennet {
class ContactStore;
}

namespace wab {

struct Command {
    QString name;
    QString usage; // shown by "wab <command> --help" and after a usage error
    QList<OptionDef> options;
    int maxPositional = 1; // the store path, unless the command takes more
    int (*run)(const Arguments &args) = nullptr;
};

const QList<Command> &commands();
QString generalUsage();

// Opens the store at path, asking for its password when it has one. Returns
// ExitDone, or the exit code after the reason was printed.
int openStoreAsking(quennet::ContactStore &store, const QString &path, PasswordSource &passwords);

// The command "wab export" (ExportCommand.cpp).
Command exportCommand();
// The command "wab import" (ImportCommand.cpp).
Command importCommand();
// The command "wab sync" (SyncCommand.cpp).
Command syncCommand();

} // namespace wab
