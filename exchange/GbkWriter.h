#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <QStringEncoder>

class QIODevice;

namespace quennet::exchange {

// Writes text to a device as GB18030 bytes (the program's GBK, lossless for
// every other character), in large chunks. ASCII text skips the encoder, so
// documents made mostly of fixed markup stay fast.
class GbkWriter {
public:
    explicit GbkWriter(QIODevice &out);
    GbkWriter(const GbkWriter &) = delete;
    GbkWriter &operator=(const GbkWriter &) = delete;

    void write(QStringView text);
    // Markup known to be ASCII.
    void write(QLatin1String ascii);
    // Bytes already in GB18030.
    void writeEncoded(const QByteArray &bytes);
    // text followed by the program's line break "\r\n".
    void line(QStringView text = {});
    void line(QLatin1String ascii);
    // Writes what is buffered; true when every byte so far reached the device.
    bool finish();

private:
    void lineBreak();
    void flushIfFull();
    void flush();

    QIODevice &m_out;
    QByteArray m_buffer;
    QStringEncoder m_encoder;
    bool m_ok = true;
};

} // namespace quennet::exchange
