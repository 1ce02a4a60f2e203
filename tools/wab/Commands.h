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

// Runs the command with the arguments that follow its name: its usage for
// --help, a usage error for arguments it does not take.
int runCommand(const Command &command, const QStringList &args);
// Prints the error and the usage; returns ExitUsage.
int usageError(const QString &error, const QString &usage);
// The command's exit code, unless its output could not be written out.
int withOutputWritten(int code);

// Opens the store at path, asking for its password when it has one. Returns
// ExitDone, or the exit code after the reason was printed.
int openStoreAsking(quennet::ContactStore &store, const QString &path, PasswordSource &passwords);

// The command "wab export" (ExportCommand.cpp).
Command exportCommand();
// The command "wab import" (ImportCommand.cpp).
Command importCommand();
// The command "wab sync" (SyncCommand.cpp): runs the program wab-sync, which
// takes the same options.
Command syncCommand();
namespace syncoption {
inline const QString url = QStringLiteral("url");
inline const QString user = QStringLiteral("user");
inline const QString book = QStringLiteral("book");
inline const QString serverPasswordStdin = QStringLiteral("server-password-stdin");
} // namespace syncoption

} // namespace wab
