// The store reader on arbitrary bytes: the bytes become wab.vdb, which is
// asked for its password, checked, and opened without and with a password;
// an opened store has every record read.

#include "contacts/store/ContactStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace {

// The password of the seed stores that have one.
const QString kSeedPassword = QStringLiteral("fuzz");

QString workFile()
{
    static const QString path = [] {
        const QString dir = QStringLiteral("%1/quennet-fuzz-%2").arg(QDir::tempPath()).arg(::getpid());
        QDir().mkpath(dir);
        return dir + QStringLiteral("/wab.vdb");
    }();
    return path;
}

void removeStore(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

bool writeStore(const QString &path, const uint8_t *data, size_t size)
{
    removeStore(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size);
}

void readEverything(quennet::ContactStore &store)
{
    size_t total = 0;
    for (int number = 1; number <= store.recordCount(); ++number)
        for (const QString &value : store.contactAt(number).values())
            total += size_t(value.size());
    store.goFirst();
    while (!store.isAfterLast()) {
        total += size_t(store.current().name.size());
        total += store.isMarkedDeleted() ? 1 : 0;
        store.skip();
    }
    (void)total;
}

void openAndRead(const QString &path, const QString &password)
{
    quennet::ContactStore store;
    if (store.open(path, password))
        readEverything(store);
    store.close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = workFile();
    if (!writeStore(path, data, size))
        return 0;
    (void)quennet::ContactStore::hasPassword(path);
    (void)quennet::ContactStore::check(path);
    openAndRead(path, QString());
    openAndRead(path, kSeedPassword);
    removeStore(path);
    return 0;
}
