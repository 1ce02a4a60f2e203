// wab export FORMAT OUT [STORE]: the formats come from the table that each
// format fills (ExportFormats.h); this file only parses, opens and writes.

#include "Commands.h"
#include "ExportFormats.h"

#include "contacts/store/ContactStore.h"
#include "exchange/AtomicFile.h"

#include <QFileInfo>
#include <QMap>

#include <algorithm>
#include <optional>

namespace wab {

namespace {

using quennet::ContactStore;
using quennet::exchange::RecordSelection;

QMap<QString, ExportFormat> &formatTable()
{
    static QMap<QString, ExportFormat> table;
    return table;
}

QList<OptionDef> commonOptions()
{
    return {{QStringLiteral("fields"), true},
            {QStringLiteral("range"), true},
            {QStringLiteral("include-marked"), false},
            {QStringLiteral("password-stdin"), false}};
}

int usageError(const QString &message)
{
    printErr(QStringLiteral("wab: ") + message);
    return ExitUsage;
}

// An option that belongs to another format.
std::optional<QString> foreignOption(const Arguments &args, const ExportFormat &format)
{
    QStringList given = args.values.keys();
    for (const QString &flag : args.flags)
        given << flag;
    const QList<OptionDef> allowed = commonOptions() + format.options;
    for (const QString &name : given) {
        const bool known = std::any_of(allowed.begin(), allowed.end(),
                                       [&](const OptionDef &def) { return def.name == name; });
        if (!known)
            return name;
    }
    return std::nullopt;
}

// --fields 姓名,手机: positions by the names the store reports, order kept.
std::optional<QList<int>> fieldPositions(const ContactStore &store, const QString &list, QString *error)
{
    QList<int> positions;
    for (const QString &name : list.split(QLatin1Char(','))) {
        int found = 0;
        for (int pos = 1; pos <= store.fieldCount(); ++pos)
            if (store.fieldName(pos) == name.trimmed())
                found = pos;
        if (found == 0) {
            *error = QStringLiteral("没有这个字段：%1（可用：%2）")
                         .arg(name, quennet::contactFieldNames().join(QLatin1Char(',')));
            return std::nullopt;
        }
        if (positions.contains(found)) {
            *error = QStringLiteral("字段重复：%1").arg(name);
            return std::nullopt;
        }
        positions << found;
    }
    return positions;
}

// --range A-B, record numbers from 1; a range given backwards is swapped.
bool parseRange(const QString &text, int count, RecordSelection &selection, QString *error)
{
    const QStringList ends = text.split(QLatin1Char('-'));
    bool firstOk = false;
    bool lastOk = false;
    const int first = ends.value(0).toInt(&firstOk);
    const int last = ends.value(1).toInt(&lastOk);
    if (ends.size() != 2 || !firstOk || !lastOk) {
        *error = QStringLiteral("--range 应为 A-B（两个记录号）：%1").arg(text);
        return false;
    }
    if (std::min(first, last) < 1 || std::max(first, last) > count) {
        *error = QStringLiteral("--range %1 超出记录号 1-%2").arg(text).arg(count);
        return false;
    }
    selection.first = first;
    selection.last = last;
    return true;
}

int openForFormat(ContactStore &store, const QString &path, const ExportFormat &format, const Arguments &args)
{
    if (format.passwordRefusal.isEmpty()) {
        PasswordSource passwords(args.has(QStringLiteral("password-stdin")));
        return openStoreAsking(store, path, passwords);
    }
    if (!QFileInfo::exists(path)) {
        printErr(QStringLiteral("找不到通讯录文件：%1").arg(path));
        return ExitCannotOpen;
    }
    if (ContactStore::hasPassword(path) || !store.open(path)) {
        printErr(format.passwordRefusal);
        return ExitRefused;
    }
    return ExitDone;
}

int runExport(const Arguments &args)
{
    if (args.positional.size() < 2)
        return usageError(QStringLiteral("缺少格式或输出文件：wab export FORMAT OUT [STORE]"));
    const QString name = args.positional.at(0);
    const QString out = args.positional.at(1);
    const QString path = args.positional.value(2, QStringLiteral("./wab.vdb"));
    if (!formatTable().contains(name))
        return usageError(QStringLiteral("未知的导出格式：%1（可用：%2）")
                              .arg(name, QStringList(formatTable().keys()).join(QLatin1Char('|'))));
    const ExportFormat format = formatTable().value(name);
    if (const std::optional<QString> option = foreignOption(args, format))
        return usageError(QStringLiteral("选项 --%1 不适用于 %2").arg(*option, name));

    if (quennet::exchange::isSameFile(out, path)) {
        printErr(QStringLiteral("不能导出到通讯录文件本身：%1").arg(out));
        return ExitRefused;
    }
    ContactStore store;
    if (const int code = openForFormat(store, path, format, args))
        return code;
    if (store.recordCount() == 0 && !format.emptyRefusal.isEmpty()) {
        printErr(format.emptyRefusal);
        return ExitRefused;
    }

    RecordSelection selection;
    selection.includeMarked = args.has(QStringLiteral("include-marked"));
    QString error;
    if (args.values.contains(QStringLiteral("fields"))) {
        const std::optional<QList<int>> positions =
            fieldPositions(store, args.values.value(QStringLiteral("fields")), &error);
        if (!positions)
            return usageError(error);
        selection.fields = *positions;
    }
    if (args.values.contains(QStringLiteral("range")) &&
        !parseRange(args.values.value(QStringLiteral("range")), store.recordCount(), selection, &error)) {
        printErr(QStringLiteral("wab: ") + error);
        return ExitRefused;
    }

    ExportJob job{args, store, selection, quennet::exchange::selectedFieldNames(store, selection),
                  quennet::exchange::RecordRows(store, selection)};
    QString why;
    if (!quennet::exchange::writeFileAtomically(
            out, [&](QIODevice &device) { return format.write(device, job); },
            quennet::exchange::accessFor(store), &why)) {
        printErr(QStringLiteral("无法写入文件（原有文件保持不变）：%1").arg(out));
        if (!why.isEmpty())
            printErr(QStringLiteral("  ") + why);
        return ExitRefused;
    }
    printOut(QStringLiteral("已导出%1条记录：%2").arg(job.records.size()).arg(out));
    return ExitDone;
}

QString exportUsage()
{
    QString text = QStringLiteral("用法：wab export FORMAT OUT [STORE] [选项]\n"
                                  "把通讯录导出到文件 OUT（先写临时文件再改名，失败时原有文件保持不变）。\n"
                                  "所有格式都可用：\n"
                                  "  --fields 姓名,手机,…  只导出这些字段，按给出的顺序（缺省：全部字段）\n"
                                  "  --range A-B           只导出第 A 到第 B 条记录\n"
                                  "  --include-marked      也导出标记为删除的记录\n"
                                  "  --password-stdin      从标准输入读密码；否则在终端上不回显地询问\n"
                                  "格式：\n");
    for (const ExportFormat &format : exportFormats())
        text += format.help + QLatin1Char('\n');
    return text +
           QStringLiteral(
               "STORE 缺省为 ./wab.vdb。退出码：0 完成，1 被拒绝或写入失败，2 用法错误或无法打开通讯录。");
}

} // namespace

bool registerExportFormat(const ExportFormat &format)
{
    formatTable().insert(format.name, format);
    return true;
}

QList<ExportFormat> exportFormats()
{
    return formatTable().values();
}

Command exportCommand()
{
    QList<OptionDef> options = commonOptions();
    for (const ExportFormat &format : exportFormats())
        for (const OptionDef &option : format.options)
            if (std::none_of(options.begin(), options.end(),
                             [&](const OptionDef &known) { return known.name == option.name; }))
                options << option;
    return {QStringLiteral("export"), exportUsage(), options, 3, runExport};
}

} // namespace wab
