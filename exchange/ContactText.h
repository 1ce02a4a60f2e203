#pragma once

#include "contacts/ContactRules.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>

class QIODevice;

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
};

// Called for each contact read; returning false stops the reading.
using ContactSink = std::function<bool(ReadContact &&contact)>;

// What a reader saw in a whole file.
struct ReadSummary {
    bool refused = false;   // the file as a whole is not something we read
    QString refusal;        // why, for the user
    bool stopped = false;   // the sink asked to stop
    int contacts = 0;       // handed to the sink
    QMap<QString, int> dropped; // data without a field here, by property or column name

    int droppedTotal() const;
    // Counts one piece of data without a field, under its name while there
    // are few names, else under one name for all the others.
    void drop(const QString &name);
};

// True when text holds a Chinese (Han) character.
bool hasChinese(const QString &text);
// Family and given name as one name: without a space when either is
// Chinese ("张" + "三" = "张三"), with one otherwise ("Smith" + "John").
QString joinName(const QString &family, const QString &given);
// Splits a stored name back into family and given name for the formats
// that want both (the inverse of joinName where it can tell).
void splitName(const QString &name, QString *family, QString *given);

// A telephone number without spaces, dashes, brackets and a leading +86 or
// 0086: how a mobile number is stored.
QString mobileDigits(const QString &number);
// True for an 11-digit number starting with 1 once written as mobileDigits.
bool looksLikeChineseMobile(const QString &number);

// A read value as it is stored: line breaks become one space, and the
// surrounding white space goes.
QString cleanValue(const QString &value);

// Decodes bytes in the named character set; GB2312 and GBK are read as
// GB18030 (their superset). Unknown names are read as UTF-8. Empty name:
// UTF-8, or GB18030 when the bytes are not valid UTF-8 (old phones).
QString decodeCharset(const QByteArray &bytes, const QByteArray &charset);
bool isValidUtf8(const char *data, qsizetype size, int *pendingBytes = nullptr);

} // namespace quennet::exchange
