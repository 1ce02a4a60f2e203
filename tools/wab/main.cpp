// wab: the command-line tool for the contact store.

#include "Commands.h"
#include "Console.h"

#include <QCoreApplication>

namespace {

const wab::Command *findCommand(const QString &name)
{
    for (const wab::Command &command : wab::commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return wab::usageError(QStringLiteral("缺少命令"), wab::generalUsage());
    const QString &name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        wab::printOut(wab::generalUsage());
        return wab::ExitDone;
    }
    const wab::Command *command = findCommand(name);
    if (!command)
        return wab::usageError(QStringLiteral("未知的命令：%1").arg(name), wab::generalUsage());
    return wab::withOutputWritten(wab::runCommand(*command, args.mid(1)));
}
