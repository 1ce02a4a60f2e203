#pragma once

// DNS answers from a script, for the discovery tests: the SRV records and
// TXT strings of each name, and the lookups made, in order.

#include "sync/DnsResolver.h"

#include <QMap>
#include <QStringList>

namespace quennet::test {

class ScriptedResolver : public sync::DnsResolver {
public:
    QMap<QString, QList<Service>> srv;
    QMap<QString, QList<QByteArray>> txt;
    QStringList asked; // "SRV name" and "TXT name"

    QList<Service> services(const QString &name) override
    {
        asked << QStringLiteral("SRV ") + name;
        return srv.value(name);
    }
    QList<QByteArray> texts(const QString &name) override
    {
        asked << QStringLiteral("TXT ") + name;
        return txt.value(name);
    }
};

} // namespace quennet::test
