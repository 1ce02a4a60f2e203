#pragma once

#include <QByteArrayView>

// Reading UTF-8 one code point at a time, as the search and the writers do
// on the store's bytes.

namespace quennet {

inline bool isContinuation(uchar byte)
{
    return (byte & 0xC0) == 0x80;
}

// The code point that starts at i of UTF-8 bytes; i moves past it. A byte
// that starts no well-formed sequence reads as U+FFFD, as QString reads it.
inline char32_t nextCodePoint(QByteArrayView bytes, qsizetype &i)
{
    const auto at = [&bytes](qsizetype k) { return uchar(bytes[k]); };
    const uchar lead = at(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    const int length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead <= 0xF4 ? 4 : 0;
    char32_t c = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    int k = 1;
    while (length && k < length && i + k < bytes.size() && isContinuation(at(i + k))) {
        c = (c << 6) | (at(i + k) & 0x3F);
        ++k;
    }
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (length == 0 || k < length || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return c;
}

} // namespace quennet
