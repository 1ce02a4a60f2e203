#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace wab {

struct OptionDef {
    QString name; // without the leading "--"
    bool takesValue = false;
};

// The arguments after the command name. Options may come anywhere, as
// "--opt VALUE" or "--opt=VALUE"; after "--" everything is positional, so a
// value or a store path may start with "-".
struct Arguments {
    QMap<QString, QString> values;
    QSet<QString> flags;
    QStringList positional;
    bool help = false;
    QString error; // non-empty: a usage error, in Chinese

    bool has(const QString &option) const { return flags.contains(option) || values.contains(option); }
};

Arguments parseArguments(const QStringList &args, const QList<OptionDef> &defs);

} // namespace wab
