#include "exchange/ContactExport.h"

#include "contacts/store/ContactStore.h"
#include "exchange/AtomicFile.h"
#include "exchange/CsvWriter.h"
#include "exchange/VCardWriter.h"

#include <QFileInfo>

#include <array>

namespace quennet::exchange {

namespace {

// The six values of record number as the store holds them (the CSV and
// vCard writers take the same).
std::array<QByteArrayView, 6> storedValues(ContactStore &store, int number)
{
    std::array<QByteArrayView, 6> values;
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = store.fieldBytesOf(number, int(i) + 1);
    return values;
}

template <typename Writer> bool writeAll(Writer &writer, ContactStore &store)
{
    const int cursor = store.recordNumber();
    bool ok = true;
    for (int number = 1; ok && number <= store.recordCount(); ++number) {
        store.goTo(number);
        if (!store.isMarkedDeleted())
            ok = writer.write(storedValues(store, number));
    }
    store.goTo(cursor);
    return writer.finish() && ok;
}

} // namespace

bool writeContacts(QIODevice &out, ContactStore &store, ContactFormat format)
{
    switch (format) {
    case ContactFormat::VCard30:
    case ContactFormat::VCard21: {
        VCardWriter writer(out, format == ContactFormat::VCard21 ? VCardVersion::V21 : VCardVersion::V30);
        return writeAll(writer, store);
    }
    case ContactFormat::CsvUtf8:
    case ContactFormat::CsvGb18030: {
        CsvWriter writer(out,
                         format == ContactFormat::CsvGb18030 ? CsvEncoding::Gb18030 : CsvEncoding::Utf8Bom);
        return writeAll(writer, store);
    }
    }
    return false;
}

bool exportContacts(const QString &path, ContactStore &store, ContactFormat format, QString *why)
{
    return writeFileAtomically(
        path, [&](QIODevice &out) { return writeContacts(out, store, format); }, accessFor(store), why);
}

ContactFormat formatForFileName(const QString &path, ContactFormat fallback)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return ContactFormat::VCard30;
    if (suffix == QLatin1String("csv"))
        return ContactFormat::CsvUtf8;
    return fallback;
}

} // namespace quennet::exchange
