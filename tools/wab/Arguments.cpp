#include "Arguments.h"

namespace wab {

namespace {

const OptionDef *findDef(const QList<OptionDef> &defs, const QString &name)
{
    for (const OptionDef &def : defs) {
        if (def.name == name)
            return &def;
    }
    return nullptr;
}

QString repeated(const QString &name)
{
    return QStringLiteral("选项 --%1 只能给一次").arg(name);
}

} // namespace

Arguments parseArguments(const QStringList &args, const QList<OptionDef> &defs)
{
    Arguments parsed;
    bool optionsEnded = false;
    for (int i = 0; i < args.size() && parsed.error.isEmpty(); ++i) {
        const QString &arg = args.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
            parsed.positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (arg == QLatin1String("--help")) {
            parsed.help = true;
            continue;
        }
        const int equals = arg.indexOf(QLatin1Char('='));
        const QString name = arg.mid(2, equals < 0 ? -1 : equals - 2);
        const OptionDef *def = findDef(defs, name);
        if (!def) {
            parsed.error = QStringLiteral("未知的选项：%1").arg(arg);
        } else if (parsed.has(name)) {
            parsed.error = repeated(name);
        } else if (!def->takesValue) {
            if (equals >= 0)
                parsed.error = QStringLiteral("选项 --%1 不带值").arg(name);
            else
                parsed.flags.insert(name);
        } else if (equals >= 0) {
            parsed.values.insert(name, arg.mid(equals + 1));
        } else if (i + 1 < args.size()) {
            parsed.values.insert(name, args.at(++i));
        } else {
            parsed.error = QStringLiteral("选项 --%1 缺少值").arg(name);
        }
    }
    return parsed;
}

} // namespace wab
