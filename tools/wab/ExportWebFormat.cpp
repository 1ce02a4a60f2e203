// The styled web page of "wab export": the export window's defaults, with
// the page title and the caption line from the command line.

#include "ExportFormats.h"

#include "exchange/WebPage.h"

namespace wab {

namespace {

using namespace quennet::exchange;

bool writeWeb(QIODevice &out, const ExportJob &job)
{
    WebPageOptions options;
    options.title = job.args.values.value(QStringLiteral("title"));
    options.caption = job.args.values.value(QStringLiteral("caption"));
    const RecordRows &rows = job.records;
    const WebRecords records{int(rows.size()), [&rows](int number) { return rows.at(number - 1); }};
    return writeWebPage(out, job.fieldNames, records, options);
}

[[maybe_unused]] const bool registered =
    registerExportFormat({QStringLiteral("web"),
                          QStringLiteral("  web     带样式的网页，设置与导出网页窗口的默认设置相同。\n"
                                         "          --title T      网页标题\n"
                                         "          --caption C    表格上方的列表标题"),
                          {{QStringLiteral("title"), true}, {QStringLiteral("caption"), true}},
                          QString(),
                          QString(),
                          writeWeb});

} // namespace

} // namespace wab
