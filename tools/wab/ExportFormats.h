#pragma once

#include "Arguments.h"

#include "exchange/RecordSelection.h"

#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

namespace quennet {
class ContactStore;
}

namespace wab {

// What "wab export" hands a format once the store is open and the records
// are chosen (--fields, --range, --include-marked).
struct ExportJob {
    const Arguments &args;
    quennet::ContactStore &store;
    quennet::exchange::RecordSelection selection;
    QStringList fieldNames;                // of the chosen fields, in output order
    quennet::exchange::RecordRows records; // the chosen fields of the chosen records
};

// One entry of the table of "wab export FORMAT". Each format registers
// itself from its own source file:
//   [[maybe_unused]] const bool registered = registerExportFormat({...});
struct ExportFormat {
    QString name;
    QString help;             // its lines in "wab export --help"
    QList<OptionDef> options; // beyond the options every format takes
    // Reads the store file without a password, as the workbook option of
    // the program does; a protected store is refused with this message.
    QString passwordRefusal;
    // An empty store is refused with this message (empty: it is written).
    QString emptyRefusal;
    // Writes the file; false when it could not be written.
    bool (*write)(QIODevice &out, const ExportJob &job) = nullptr;
};

bool registerExportFormat(const ExportFormat &format);
// Sorted by name.
QList<ExportFormat> exportFormats();

} // namespace wab
