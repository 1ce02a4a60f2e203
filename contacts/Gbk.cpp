#include "contacts/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace quennet::gbk {

QByteArray encode(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QString decode(const QByteArray &bytes)
{
    QStringDecoder decoder("GB18030");
    return decoder.decode(bytes);
}

int length(const QString &text)
{
    // ASCII is one byte in GBK; only other text needs the encoder.
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return int(encode(text).size());
    return int(text.size());
}

} // namespace quennet::gbk
