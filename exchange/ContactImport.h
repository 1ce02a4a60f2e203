#pragma once

#include "contacts/store/StoreError.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QIODevice;

namespace quennet {
class ContactStore;
}

namespace quennet::exchange {

enum class ContactFileKind { VCard, Csv };

// ".vcf"/".vcard" and ".csv" by name; otherwise by the first bytes.
std::optional<ContactFileKind> contactFileKind(const QString &path, QIODevice &in);
// True for the names that dropping a file on the window imports.
bool isContactFileName(const QString &path);

struct SkippedContact {
    int number = 0; // position of the card or row in the file
    QString name;
    QString reason;
};

// A contact that came in without some of what the file held for it.
struct PartlyImported {
    int number = 0;
    QString name;
    QStringList leftOut; // "<what> <value>", as the reader gave them
};

constexpr int kMaxListedSkipped = 1000;
constexpr int kMaxListedPartly = 1000;
constexpr int kMaxListedNameLength = 40;

struct ImportReport {
    bool refused = false; // the file as a whole: nothing was read from it
    QString refusal;
    bool cancelled = false;
    bool writeFailed = false;
    StoreError writeError = StoreError::None; // why, when writeFailed
    int read = 0;
    int added = 0;
    int skippedCount = 0;
    // The first kMaxListedSkipped of them, names shortened: a file of
    // millions of refused rows cannot fill the memory with its report.
    QList<SkippedContact> skipped;
    QMap<QString, int> skippedByReason;
    QMap<QString, int> dropped; // data without a field, by property or column
    // The first kMaxListedPartly contacts added without some of their data.
    QList<PartlyImported> partly;
    int partlyCount = 0;
    QString encoding; // of the file's text, as it was read

    // Something was added, or nothing needed to be.
    bool succeeded() const { return !refused && !cancelled && !writeFailed; }
};

// Called now and then with the bytes read and the file size (0 when not
// known); returning false cancels the import, and nothing is written.
using ImportProgress = std::function<bool(qint64 done, qint64 total)>;

// Reads every contact, passes each through the adding rules (against the
// store and the contacts accepted before it) and writes all accepted ones
// in one transaction. A failed or cancelled import writes nothing. Reading
// stops, and nothing is written, as soon as the accepted contacts would take
// the store beyond the records it holds (OverCapacity).
ImportReport importContacts(ContactStore &store, QIODevice &in, ContactFileKind kind,
                            const ImportProgress &progress = {});
ImportReport importContactFile(ContactStore &store, const QString &path, const ImportProgress &progress = {});

// The report for the user: the counts by reason and the file's encoding,
// then (details) one line per skipped contact and one per contact that came
// in without some of its data. Lines end in "\r\n".
QString importSummaryText(const ImportReport &report);
QString importDetailsText(const ImportReport &report);

} // namespace quennet::exchange
