// wab import FILE [STORE]: the program's import of vCard and CSV files.

#include "Commands.h"
#include "Console.h"

#include "contacts/store/ContactStore.h"
#include "exchange/ContactImport.h"

namespace wab {

namespace {

using namespace quennet::exchange;

int runImport(const Arguments &args)
{
    if (args.positional.isEmpty()) {
        printErr(QStringLiteral("wab: 缺少要导入的文件：wab import FILE [STORE]"));
        return ExitUsage;
    }
    quennet::ContactStore store;
    PasswordSource passwords(args.has(QStringLiteral("password-stdin")));
    if (const int code = openStoreAsking(store, args.positional.value(1, QStringLiteral("./wab.vdb")), passwords))
        return code;
    const ImportReport report = importContactFile(store, args.positional.first());
    if (!report.succeeded()) {
        printErr(importSummaryText(report));
        return ExitRefused;
    }
    printOut(importSummaryText(report));
    const QString details = importDetailsText(report);
    if (!details.isEmpty())
        printOut(details);
    return ExitDone;
}

} // namespace

Command importCommand()
{
    return {QStringLiteral("import"),
            QStringLiteral("用法：wab import FILE [STORE]\n"
                           "从 vCard（.vcf，2.1/3.0/4.0）或 CSV 文件导入联系人，与程序的“导入联系人…”相同：\n"
                           "每个联系人都要通过添加联系人的检查（姓名不能为空、不能与通讯录或文件中前面的联系人重复），\n"
                           "不能作为手机的号码在电话为空时放入电话，其余放不下的号码和大于9位的QQ不导入而列出；\n"
                           "通过的全部在一次写入中加入，失败时什么也不写。\n"
                           "打印导入和跳过的数目及原因、文件的编码，以及跳过的联系人和每个联系人未导入的内容\n"
                           "（各最多列出前1000个）。\n"
                           "  --password-stdin  从标准输入读密码；否则在终端上不回显地询问\n"
                           "STORE 缺省为 ./wab.vdb。退出码：0 完成（也包括没有需要导入的联系人），\n"
                           "1 文件整个被拒绝或写入失败，2 用法错误或无法打开通讯录。"),
            {{QStringLiteral("password-stdin"), false}},
            2,
            runImport};
}

} // namespace wab
