#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace quennet::sync {

// The DNS records a client finds a CardDAV server by (RFC 6764): the SRV
// records of a service name and its TXT strings. Every call waits for its
// answer; a failed lookup is no records.
class DnsResolver {
public:
    struct Service {
        QString host; // "." when the domain offers no such service
        quint16 port = 0;
        quint16 priority = 0;
        quint16 weight = 0;
    };

    virtual ~DnsResolver() = default;
    virtual QList<Service> services(const QString &name) = 0;
    virtual QList<QByteArray> texts(const QString &name) = 0;
};

// The system's resolver through QDnsLookup, waited for in a local event loop.
class SystemDnsResolver : public DnsResolver {
public:
    QList<Service> services(const QString &name) override;
    QList<QByteArray> texts(const QString &name) override;

    static constexpr int kTimeoutMs = 10000;
};

} // namespace quennet::sync
