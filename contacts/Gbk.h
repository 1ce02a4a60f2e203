#pragma once

#include <QByteArray>
#include <QString>

namespace quennet::gbk {

// The program counts and writes text as GBK. Encoding goes through GB18030,
// which is byte-identical to GBK for every GBK character and lossless for the
// rest, so no contact text is ever turned into '?'.
QByteArray encode(const QString &text);
QString decode(const QByteArray &bytes);
// Byte length of the GBK form: a Chinese character counts 2.
int length(const QString &text);

} // namespace quennet::gbk
