#pragma once

#include <QString>

class QIODevice;

namespace quennet {
class ContactStore;
}

namespace quennet::exchange {

enum class ContactFormat { VCard30, VCard21, CsvUtf8, CsvGb18030 };

// Writes every record of the store without the deleted mark, in record
// order. The cursor ends where it was.
bool writeContacts(QIODevice &out, ContactStore &store, ContactFormat format);
// The same into a file, through a temporary file and a rename: on failure
// an existing file stays whole, and *why (when given) tells what the file
// system refused. Only its owner may read the file of a store with a password.
bool exportContacts(const QString &path, ContactStore &store, ContactFormat format, QString *why = nullptr);

// What a file name's extension says: ".vcf" or ".vcard" a vCard 3.0, ".csv"
// a UTF-8 CSV; otherwise fallback.
ContactFormat formatForFileName(const QString &path, ContactFormat fallback);

} // namespace quennet::exchange
