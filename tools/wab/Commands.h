#pragma once

#include "Arguments.h"

#include <QList>
#include <QString>

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

} // namespace wab
