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
    return int(encode(text).size());
}

} // namespace quennet::gbk
