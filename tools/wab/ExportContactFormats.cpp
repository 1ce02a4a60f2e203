// The vCard and CSV formats of "wab export".

#include "ExportFormats.h"

#include "exchange/CsvWriter.h"
#include "exchange/VCardWriter.h"

#include <type_traits>

namespace wab {

namespace {

using namespace quennet::exchange;
namespace rules = quennet::rules;

// Where each chosen field goes among a contact's six, by name (-1: nowhere);
// a field left out by --fields stays empty.
QList<qsizetype> placesOf(const QStringList &names)
{
    QList<qsizetype> places;
    for (const QString &name : names)
        places << quennet::contactFieldNames().indexOf(name);
    return places;
}

rules::ContactInput contactOf(const QList<qsizetype> &places, const QStringList &record)
{
    rules::ContactInput c;
    QString *targets[] = {&c.name, &c.phone, &c.mobile, &c.qq, &c.email, &c.address};
    for (qsizetype i = 0; i < places.size(); ++i)
        if (places.at(i) >= 0)
            *targets[places.at(i)] = record.value(i);
    return c;
}

template <typename Writer> bool writeWith(Writer &&writer, const ExportJob &job)
{
    const QList<qsizetype> places = placesOf(job.fieldNames);
    bool ok = true;
    for (qsizetype i = 0; ok && i < job.records.size(); ++i)
        ok = writer.write(contactOf(places, job.records.at(i)));
    return writer.finish() && ok;
}

// The row or card of each record from the UTF-8 the store holds.
template <typename Writer> bool writeStoredBytes(Writer &&writer, const ExportJob &job)
{
    const QList<qsizetype> places = placesOf(job.fieldNames);
    bool ok = true;
    for (qsizetype i = 0; ok && i < job.records.size(); ++i) {
        typename std::decay_t<Writer>::Utf8Values values;
        for (qsizetype column = 0; column < places.size(); ++column)
            if (places.at(column) >= 0)
                values[size_t(places.at(column))] = job.records.utf8At(i, column);
        ok = writer.write(values);
    }
    return writer.finish() && ok;
}

bool writeVCard30(QIODevice &out, const ExportJob &job)
{
    return writeStoredBytes(VCardWriter(out, VCardVersion::V30), job);
}

bool writeVCard21(QIODevice &out, const ExportJob &job)
{
    return writeWith(VCardWriter(out, VCardVersion::V21), job);
}

bool writeCsv(QIODevice &out, const ExportJob &job)
{
    const bool gb = job.args.has(QStringLiteral("gb18030"));
    return writeStoredBytes(CsvWriter(out, gb ? CsvEncoding::Gb18030 : CsvEncoding::Utf8Bom), job);
}

[[maybe_unused]] const bool registered =
    registerExportFormat({QStringLiteral("vcard"),
                          QStringLiteral("  vcard   vCard 3.0 名片（.vcf，UTF-8），手机和其他通讯录程序都能读入。"),
                          {},
                          QString(),
                          QString(),
                          writeVCard30}) &&
    registerExportFormat({QStringLiteral("vcard21"),
                          QStringLiteral("  vcard21 vCard 2.1 名片，给老手机（需要时用 quoted-printable，CHARSET=UTF-8）。"),
                          {},
                          QString(),
                          QString(),
                          writeVCard21}) &&
    registerExportFormat({QStringLiteral("csv"),
                          QStringLiteral("  csv     CSV 表格，第一行是字段名；UTF-8 带 BOM（Excel 和 WPS 能正确打开）。\n"
                                         "          --gb18030      改用 GB18030 编码"),
                          {{QStringLiteral("gb18030"), false}},
                          QString(),
                          QString(),
                          writeCsv});

} // namespace

} // namespace wab
