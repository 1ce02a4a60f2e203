// What a CardDAV server sends, on arbitrary bytes: a multistatus answer and
// a card. A card read and written back without an edit is the same bytes;
// an edited card reads back as a card.

#include "sync/DavXml.h"
#include "sync/ServerCard.h"

#include <QUrl>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace quennet;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const sync::Multistatus status =
        sync::parseMultistatus(bytes, QUrl(QStringLiteral("https://dav.example.com/b/")));
    if (!status.error.isEmpty() && !status.responses.isEmpty())
        std::abort();

    const sync::ServerCard card = sync::ServerCard::parse(bytes);
    if (!card.isValid())
        return 0;
    const Contact read = card.contact();
    if (card.edited(read, read).bytes() != bytes)
        std::abort();
    Contact now = read;
    now.name = QStringLiteral("张三 Zhang");
    now.email = read.email.isEmpty() ? QStringLiteral("a@b.cn") : QString();
    now.address += QStringLiteral(";,\\ 路");
    if (!sync::ServerCard::parse(card.edited(read, now).bytes()).isValid())
        std::abort();
    return 0;
}
