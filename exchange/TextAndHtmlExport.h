#pragma once

#include "exchange/RecordSelection.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

namespace quennet::exchange {

// The text file: one line per record, the values joined by the separator,
// written as stored (no quoting, no escaping), GB18030, "\r\n" after every line.
struct TextExportOptions {
    QString separator = QStringLiteral("\t");
    bool fieldNameLine = false; // a first line of field names
};
// The separator for what the user typed: one blank for nothing, tab (a TAB
// character) for "制表符", anything else used whole.
QString textSeparator(const QString &typed, const QString &tab = QStringLiteral("\t"));
bool writeTextExport(QIODevice &out, const QStringList &fieldNames, const RecordRows &records,
                     const TextExportOptions &options);

// The simple web page: a fixed-style table with a running number column, a
// line with the store name, the number of records written and the date, and
// a closing line. Names and values are HTML-escaped.
struct HtmlExportOptions {
    QString storeName; // "wab" for wab.vdb
    QDate date;
};
bool writeHtmlExport(QIODevice &out, const QStringList &fieldNames, const RecordRows &records,
                     const HtmlExportOptions &options);

// The date as the page's information line spells it: 2026-12-09.
QString htmlExportDate(const QDate &date);

} // namespace quennet::exchange
