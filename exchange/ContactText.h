#pragma once

#include <QByteArray>
#include <QString>

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
