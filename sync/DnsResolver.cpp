#include "sync/DnsResolver.h"

#include <QDnsLookup>
#include <QEventLoop>
#include <QTimer>

namespace quennet::sync {

namespace {

// Runs the lookup until it finished or the time is up; false when it failed.
bool lookUp(QDnsLookup &lookup)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&lookup, &QDnsLookup::finished, &loop, &QEventLoop::quit);
    lookup.lookup();
    timer.start(SystemDnsResolver::kTimeoutMs);
    if (!lookup.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!lookup.isFinished()) {
        lookup.abort();
        return false;
    }
    return lookup.error() == QDnsLookup::NoError;
}

} // namespace

QList<DnsResolver::Service> SystemDnsResolver::services(const QString &name)
{
    QDnsLookup lookup(QDnsLookup::SRV, name);
    QList<Service> out;
    if (lookUp(lookup))
        for (const QDnsServiceRecord &record : lookup.serviceRecords())
            out.append({record.target(), record.port(), record.priority(), record.weight()});
    return out;
}

QList<QByteArray> SystemDnsResolver::texts(const QString &name)
{
    QDnsLookup lookup(QDnsLookup::TXT, name);
    QList<QByteArray> out;
    if (lookUp(lookup))
        for (const QDnsTextRecord &record : lookup.textRecords())
            out += record.values();
    return out;
}

} // namespace quennet::sync
