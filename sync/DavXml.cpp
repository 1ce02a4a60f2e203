#include "sync/DavXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace quennet::sync {

QString dav::name(const QString &ns, const QString &local)
{
    return QLatin1Char('{') + ns + QLatin1Char('}') + local;
}

namespace {

QString nameOf(const QXmlStreamReader &xml)
{
    return dav::name(xml.namespaceUri().toString(), xml.name().toString());
}

bool isDav(const QXmlStreamReader &xml, const char *local)
{
    return xml.namespaceUri() == dav::kDav && xml.name() == QLatin1String(local);
}

QString hrefPath(const QString &text, const QUrl &base)
{
    const QUrl resolved = base.resolved(QUrl(text.trimmed(), QUrl::TolerantMode));
    return resolved.path(QUrl::FullyDecoded);
}

// Reads one property element (the reader is on its start) up to its end.
DavProperty readProperty(QXmlStreamReader &xml, const QUrl &base)
{
    DavProperty property;
    int depth = 1;
    QString href;
    bool inHref = false;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth == 1)
                property.children << nameOf(xml);
            if (isDav(xml, "href")) {
                inHref = true;
                href.clear();
            }
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            if (inHref && isDav(xml, "href")) {
                property.hrefs << hrefPath(href, base);
                inHref = false;
            }
            --depth;
            break;
        case QXmlStreamReader::Characters:
            property.text += xml.text();
            if (inHref)
                href += xml.text();
            break;
        default:
            break;
        }
    }
    property.text = property.text.trimmed();
    return property;
}

// One propstat: its properties go into item when its status is 2xx.
void readPropstat(QXmlStreamReader &xml, const QUrl &base, DavResponseItem *item)
{
    QHash<QString, DavProperty> found;
    int status = 200; // a propstat without status is taken as found
    while (xml.readNextStartElement()) {
        if (isDav(xml, "status")) {
            status = statusCode(xml.readElementText(QXmlStreamReader::IncludeChildElements));
        } else if (isDav(xml, "prop")) {
            while (xml.readNextStartElement()) {
                const QString name = nameOf(xml);
                found.insert(name, readProperty(xml, base));
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    if (status >= 200 && status < 300)
        item->properties.insert(found);
}

DavResponseItem readResponse(QXmlStreamReader &xml, const QUrl &base)
{
    DavResponseItem item;
    while (xml.readNextStartElement()) {
        if (isDav(xml, "href"))
            item.href = hrefPath(xml.readElementText(QXmlStreamReader::IncludeChildElements), base);
        else if (isDav(xml, "status"))
            item.status = statusCode(xml.readElementText(QXmlStreamReader::IncludeChildElements));
        else if (isDav(xml, "propstat"))
            readPropstat(xml, base, &item);
        else
            xml.skipCurrentElement();
    }
    return item;
}

void startDocument(QXmlStreamWriter &xml)
{
    xml.writeStartDocument();
    xml.writeNamespace(dav::kDav, QStringLiteral("d"));
    xml.writeNamespace(dav::kCardDav, QStringLiteral("card"));
    xml.writeNamespace(dav::kCalServer, QStringLiteral("cs"));
}

void writeProperty(QXmlStreamWriter &xml, const QString &qualified)
{
    const qsizetype close = qualified.indexOf(QLatin1Char('}'));
    xml.writeEmptyElement(qualified.mid(1, close - 1), qualified.mid(close + 1));
}

} // namespace

int statusCode(const QString &statusLine)
{
    const QStringList words = statusLine.simplified().split(QLatin1Char(' '));
    return words.size() >= 2 ? words.at(1).toInt() : 0;
}

QUrl urlForPath(const QUrl &base, const QString &path)
{
    QUrl url = base;
    url.setPath(path, QUrl::DecodedMode);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

Multistatus parseMultistatus(const QByteArray &body, const QUrl &base)
{
    Multistatus result;
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || !isDav(xml, "multistatus")) {
        if (!xml.hasError())
            xml.raiseError(QStringLiteral("no multistatus"));
    } else {
        while (xml.readNextStartElement()) {
            if (isDav(xml, "response"))
                result.responses << readResponse(xml, base);
            else if (isDav(xml, "sync-token"))
                result.syncToken = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            else
                xml.skipCurrentElement();
        }
    }
    if (!xml.hasError())
        while (!xml.atEnd())
            xml.readNext();
    if (xml.hasError()) {
        result.responses.clear();
        result.error = xml.errorString();
        result.errorLine = xml.lineNumber();
    }
    return result;
}

bool errorBodyNames(const QByteArray &body, const QString &local)
{
    QXmlStreamReader xml(body);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == local)
            return true;
    return false;
}

QByteArray propfindBody(const QStringList &properties)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    startDocument(xml);
    xml.writeStartElement(dav::kDav, QStringLiteral("propfind"));
    xml.writeStartElement(dav::kDav, QStringLiteral("prop"));
    for (const QString &property : properties)
        writeProperty(xml, property);
    xml.writeEndDocument();
    return out;
}

QByteArray syncCollectionBody(const QString &token)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    startDocument(xml);
    xml.writeStartElement(dav::kDav, QStringLiteral("sync-collection"));
    xml.writeTextElement(dav::kDav, QStringLiteral("sync-token"), token);
    xml.writeTextElement(dav::kDav, QStringLiteral("sync-level"), QStringLiteral("1"));
    xml.writeStartElement(dav::kDav, QStringLiteral("prop"));
    xml.writeEmptyElement(dav::kDav, QStringLiteral("getetag"));
    xml.writeEndDocument();
    return out;
}

QByteArray multigetBody(const QStringList &hrefs)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    startDocument(xml);
    xml.writeStartElement(dav::kCardDav, QStringLiteral("addressbook-multiget"));
    xml.writeStartElement(dav::kDav, QStringLiteral("prop"));
    xml.writeEmptyElement(dav::kDav, QStringLiteral("getetag"));
    xml.writeEmptyElement(dav::kCardDav, QStringLiteral("address-data"));
    xml.writeEndElement();
    for (const QString &href : hrefs)
        xml.writeTextElement(dav::kDav, QStringLiteral("href"),
                             QString::fromLatin1(QUrl::toPercentEncoding(href, "/")));
    xml.writeEndDocument();
    return out;
}

} // namespace quennet::sync
