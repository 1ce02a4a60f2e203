#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstring>

// The text of contacts as the readers and writers see it: names, telephone
// numbers, values and character sets.

namespace quennet::exchange {

// True when text holds a Chinese (Han) character.
bool hasChinese(const QString &text);
// Family and given name as one name: without a space when either is
// Chinese ("张" + "三" = "张三"), with one otherwise ("Smith" + "John").
QString joinName(const QString &family, const QString &given);
// Splits a stored name back into family and given name for the formats
// that want both (the inverse of joinName where it can tell).
void splitName(const QString &name, QString *family, QString *given);
// The same split of a name's valid UTF-8, as views into it. False, with
// nothing set, for a name splitName must see as text: one with a space that
// is not all ASCII (its given part is trimmed of any white space).
bool splitNameUtf8(QByteArrayView name, QByteArrayView *family, QByteArrayView *given);

// A telephone number without spaces, dashes, dots, brackets and a leading
// +86, 0086 or 86 before an 11-digit mobile; full-width digits become ASCII:
// how a mobile number is stored.
QString mobileDigits(const QString &number);
// True for an 11-digit number starting with 1 once written as mobileDigits.
bool looksLikeChineseMobile(const QString &number);
// The numbers of one value that holds several ("13900000001/13900000002"),
// each of five digits at least: "0123/579" is one number.
QStringList splitNumbers(const QString &value);
bool holdsSeveralNumbers(const QString &value);

// A telephone number as a file gave it, with what the file called it.
struct FoundTelephone {
    QString number;
    bool cell = false; // CELL, "mobile", 手机
    bool fax = false;
};

// The numbers of a contact on its two telephone fields: the first valid
// mobile (a CELL one first) as 手机; as 电话 the first other number that is
// not a fax, else a CELL one that cannot be 手机, else a fax; a value without
// a digit ("Tel privat") only when no number is left. The rest are left out,
// each as "<kind> <number>"; a number given twice counts once.
struct ChosenTelephones {
    QString mobile;
    QString phone;
    QStringList leftOut;
    qsizetype mobileAt = -1, phoneAt = -1; // which of found each is; -1 for none
};
ChosenTelephones chooseTelephones(const QList<FoundTelephone> &found);

// The parts of a postal address, as vCard ADR and the CSV exports name them.
struct AddressParts {
    QString poBox, extended, street, city, region, postcode, country;
};
// One line in the order of the address's script: from the country down for
// Han, Kana and Hangul ("中国浙江杭州文三路90号 310000"), from the street up
// for others ("1 Main St, Springfield IL 62701, USA").
QString joinAddress(const AddressParts &parts);

// A read value as it is stored: line breaks become one space, and the
// surrounding white space goes.
QString cleanValue(const QString &value);
// A formatted address as one line: its lines joined by ", ", or by a space
// when it is written in Han, Kana or Hangul.
QString cleanAddress(const QString &value);
// A value of a file this program wrote, kept as it is; CR LF becomes the LF
// the fields hold.
QString keptValue(const QString &value);
// Text cut to a length for a report line, with "…" when it was longer.
QString shortened(const QString &text, qsizetype length);

// Decodes bytes in the named character set; GB2312 and GBK are read as
// GB18030 (their superset). Unknown names are read as UTF-8. Empty name:
// UTF-8, or unlabelled when the bytes are not valid UTF-8 (old phones).
QString decodeCharset(const QByteArray &bytes, const QByteArray &charset,
                      const QByteArray &unlabelled = "GB18030");
bool isValidUtf8(const char *data, qsizetype size, int *pendingBytes = nullptr);
// Stored bytes as the UTF-8 of their text (QString::fromUtf8(bytes).toUtf8()):
// the bytes themselves when they are valid UTF-8 that does not begin with a
// byte order mark (the conversion drops one there); otherwise *converted,
// which then holds them. How a writer works on the store's bytes and still
// writes what the text would give.
QByteArrayView textUtf8(QByteArrayView bytes, QByteArray *converted);
// True when the eight bytes at bytes are all ASCII: how the scans over a
// file's text skip most of it.
inline bool eightAscii(const unsigned char *bytes)
{
    quint64 word;
    std::memcpy(&word, bytes, 8);
    return (word & 0x8080808080808080ULL) == 0;
}

// True when every byte is ASCII.
inline bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Appends bytes to out with each byte that escape(byte) gives a text for
// replaced by that text ("" drops the byte; nullptr keeps it); the runs
// between them go on whole.
template <typename Escape> void appendEscapedRuns(QByteArray &out, QByteArrayView bytes, Escape &&escape)
{
    qsizetype run = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char *replacement = escape(bytes[i]);
        if (!replacement)
            continue;
        out.append(bytes.data() + run, i - run);
        out.append(replacement);
        run = i + 1;
    }
    out.append(bytes.data() + run, bytes.size() - run);
}

} // namespace quennet::exchange
