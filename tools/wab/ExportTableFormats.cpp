// The workbook, the text file and the simple web page of "wab export".

#include "ExportFormats.h"

#include "contacts/store/ContactStore.h"
#include "exchange/ExcelDocument.h"
#include "exchange/TextAndHtmlExport.h"

#include <QDate>

namespace wab {

namespace {

using namespace quennet::exchange;

bool writeExcel(QIODevice &out, const ExportJob &job)
{
    return writeExcelDocument(out, job.fieldNames, job.records);
}

bool writeText(QIODevice &out, const ExportJob &job)
{
    TextExportOptions options;
    if (job.args.values.contains(QStringLiteral("separator")))
        options.separator = textSeparator(job.args.values.value(QStringLiteral("separator")));
    options.fieldNameLine = job.args.has(QStringLiteral("header"));
    return writeTextExport(out, job.fieldNames, job.records, options);
}

bool writeHtml(QIODevice &out, const ExportJob &job)
{
    return writeHtmlExport(out, job.fieldNames, job.records, {job.store.storeName(), QDate::currentDate()});
}

const QString kEmptyStore = QStringLiteral("当前库无记录可导出");

[[maybe_unused]] const bool registered =
    registerExportFormat({QStringLiteral("excel"),
                          QStringLiteral("  excel   Excel 工作簿（.xls）。与程序一样不用密码读通讯录文件：\n"
                                         "          有密码的通讯录会被拒绝，请先把密码设为空。"),
                          {},
                          QStringLiteral("导出Excel文件失败！\r\n请确认是否存在密码？\r\n"
                                         "如果存在密码，请先将密码设置为空！"),
                          QString(),
                          writeExcel}) &&
    registerExportFormat(
        {QStringLiteral("text"),
         QStringLiteral("  text    文本文件，每条记录一行。\n"
                        "          --separator S  列间分隔符（缺省或“制表符”为制表符；空值为一个空格）\n"
                        "          --header       第一行写字段名"),
         {{QStringLiteral("separator"), true}, {QStringLiteral("header"), false}},
         QString(),
         kEmptyStore,
         writeText}) &&
    registerExportFormat({QStringLiteral("html"),
                          QStringLiteral("  html    简单网页（表格，带序号列）。"),
                          {},
                          QString(),
                          kEmptyStore,
                          writeHtml});

} // namespace

} // namespace wab
