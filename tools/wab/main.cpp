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

int usageError(const QString &error, const QString &usage)
{
    wab::printErr(QStringLiteral("wab: ") + error);
    wab::printErr(usage);
    return wab::ExitUsage;
}

// The command's exit code, unless its output could not be written out.
int withOutputWritten(int code)
{
    if (wab::flushOut())
        return code;
    wab::printErr(QStringLiteral("wab: 写标准输出时出错"));
    return code == wab::ExitDone ? wab::ExitRefused : code;
}

int runCommand(const wab::Command &command, const QStringList &rest)
{
    const wab::Arguments args = wab::parseArguments(rest, command.options);
    if (args.help) {
        wab::printOut(command.usage);
        return wab::ExitDone;
    }
    if (!args.error.isEmpty())
        return usageError(args.error, command.usage);
    if (args.positional.size() > command.maxPositional)
        return usageError(QStringLiteral("多余的参数：%1").arg(args.positional.at(command.maxPositional)),
                          command.usage);
    return command.run(args);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return usageError(QStringLiteral("缺少命令"), wab::generalUsage());
    const QString &name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        wab::printOut(wab::generalUsage());
        return wab::ExitDone;
    }
    const wab::Command *command = findCommand(name);
    if (!command)
        return usageError(QStringLiteral("未知的命令：%1").arg(name), wab::generalUsage());
    return withOutputWritten(runCommand(*command, args.mid(1)));
}
