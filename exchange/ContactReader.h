#pragma once

#include "contacts/ContactRules.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// What the vCard and CSV readers share: the bounds on what they keep, the
// contact they hand on and what they report of a whole file.

namespace quennet::exchange {

// What a reader keeps of one line or field, and of one card or row: far
// beyond what a field of the store holds, and what bounds a reader's memory
// whatever the file. Longer ones are cut, and their contact is marked.
constexpr qsizetype kMaxKeptLine = 1024 * 1024;
constexpr qsizetype kMaxKeptRecord = 4 * kMaxKeptLine;
// Names of dropped data counted one by one; the rest count together.
constexpr qsizetype kMaxDroppedNames = 64;

// One contact as a vCard or CSV reader found it, mapped onto the six fields.
struct ReadContact {
    rules::ContactInput fields;
    int number = 0;   // 1-based position of the card or row in the file
    bool cut = false; // data of it ran past what the reader keeps: too long to store
    // What of it has no field here, one "<what> <value>" each ("电话 010-2",
    // "生日 1990-01-01"), in the order of the file.
    QStringList leftOut;
};

// Called for each contact read; returning false stops the reading.
using ContactSink = std::function<bool(ReadContact &&contact)>;

// What a reader saw in a whole file.
struct ReadSummary {
    bool refused = false;       // the file as a whole is not something we read
    QString refusal;            // why, for the user
    bool stopped = false;       // the sink asked to stop
    int contacts = 0;           // handed to the sink
    QMap<QString, int> dropped; // data without a field here, by property or column name
    QString encoding;           // of the file's text: "UTF-8", "GB18030", "UTF-16LE" ...

    int droppedTotal() const;
    // Counts one piece of data without a field, under its name while there
    // are few names, else under one name for all the others.
    void drop(const QString &name);
};

} // namespace quennet::exchange
