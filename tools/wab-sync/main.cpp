// wab-sync: "wab sync" runs this program with the arguments that followed
// "sync"; it takes the same options and gives the same exit codes.

#include "RunSync.h"
#include "tools/wab/Commands.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    wab::Command command = wab::syncCommand();
    command.run = wab::runSync;
    return wab::withOutputWritten(wab::runCommand(command, QCoreApplication::arguments().mid(1)));
}
