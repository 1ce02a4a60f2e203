#pragma once

#include "exchange/RecordSelection.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

namespace quennet::exchange {

// The workbook a spreadsheet opens: Office-HTML in GB18030 with "\r\n" after
// every line. A fixed head, one table row of field names, one row per record
// (one cell per field, in the order given) and a fixed tail. Cell texts are
// HTML-escaped; text without & < > " is written unchanged.
// True when every byte reached out.
//
// pace, when given, is called before each record's row and again before each
// of its cells from the second on, with the record's number (1-based) and the
// record count: a caller on the interface thread lets its windows repaint
// there. It must not change what is written.
using ExcelPace = std::function<void(int record, int recordCount)>;
bool writeExcelDocument(QIODevice &out, const QStringList &fieldNames, const RecordRows &records,
                        const ExcelPace &pace = {});

// Reads the store file at storePath without a password and writes its
// records (every field, marked records too, unless selection says otherwise)
// to destination. False when the store has a password or cannot be opened,
// or the destination cannot be written or is the store file itself; an
// existing destination then stays whole.
bool exportStoreToExcel(const QString &storePath, const QString &destination,
                        const RecordSelection &selection = RecordSelection::wholeStore(),
                        const ExcelPace &pace = {});

// The 205 fixed lines before the first row, without line breaks.
QStringList excelHeadLines();

} // namespace quennet::exchange
