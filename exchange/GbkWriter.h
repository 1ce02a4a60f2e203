#pragma once

#include <QString>
#include <QStringEncoder>

class QIODevice;

namespace quennet::exchange {

// Writes text to a device as GB18030 bytes (the program's GBK, lossless for
// every other character), in large chunks so long documents stay fast.
class GbkWriter {
public:
    explicit GbkWriter(QIODevice &out);
    GbkWriter(const GbkWriter &) = delete;
    GbkWriter &operator=(const GbkWriter &) = delete;

    void write(const QString &text);
    // text followed by the program's line break "\r\n".
    void line(const QString &text = QString());
    // Writes what is buffered; true when every byte so far reached the device.
    bool finish();

private:
    void flush();

    QIODevice &m_out;
    QString m_buffer;
    QStringEncoder m_encoder;
    bool m_ok = true;
};

} // namespace quennet::exchange
