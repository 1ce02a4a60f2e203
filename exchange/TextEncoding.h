#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringDecoder>

// The character encoding of a whole contact file, found once before it is
// read: a byte order mark, else UTF-16 by its zero bytes, else UTF-8 when
// (nearly) every byte is valid UTF-8, else what ICU's detector says, with
// GB18030 kept for text that reads as common Chinese.

namespace quennet::exchange {

struct FileEncoding {
    QByteArray name = "UTF-8"; // as QStringDecoder and the report name it
    qsizetype bom = 0;         // bytes of a byte order mark at the start

    bool isUtf8() const { return name == "UTF-8"; }
    bool isUtf16() const { return name == "UTF-16LE" || name == "UTF-16BE"; }
};

// Looks at the device from its position and leaves it there. A file is
// scanned in chunks; a stream is judged by what it holds ahead.
FileEncoding detectEncoding(QIODevice &in);
// The same for bytes in memory.
FileEncoding detectEncoding(const QByteArray &bytes);

// True for the encodings whose two-byte characters may end in an ASCII
// byte (GB18030, Big5, Shift_JIS): one stray byte there eats the next
// character, an '@' say.
bool isMultiByteLegacy(const QByteArray &name);
// Decodes runs of bytes above 0x7F on their own and keeps every ASCII byte
// as it is: how an e-mail address is read in such an encoding.
QString decodeKeepingAscii(const QByteArray &bytes, const QByteArray &name);
// The same for text already decoded in that encoding.
QString keepingAscii(const QString &text, const QByteArray &name);

// A UTF-16 file read as UTF-8, in chunks, for the readers that work on
// bytes. Sequential; the source's position tells how far the reading is.
class Utf16AsUtf8 : public QIODevice {
public:
    Utf16AsUtf8(QIODevice &source, const QByteArray &name);
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    bool fill();

    QIODevice &m_source;
    QStringDecoder m_decoder;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_end = false;
};

} // namespace quennet::exchange
