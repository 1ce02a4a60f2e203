// wab-sync: the program behind "wab sync", which alone links the network
// and the secret service, so that the other commands start without them.

#include "RunSync.h"

#include "contacts/store/ContactStore.h"
#include "contacts/store/Secret.h"
#include "sync/CardDavClient.h"
#include "sync/ServerPassword.h"
#include "sync/StoreSync.h"
#include "sync/SyncEngine.h"
#include "sync/SyncLock.h"
#include "tools/wab/Commands.h"
#include "tools/wab/Console.h"

#include <optional>

namespace wab {

using namespace quennet::sync;

namespace {

// The server password, and whether it was given (typed or read from standard
// input): such a one is kept for the next sync once a sync with it went through.
struct ServerSecret {
    QString password;
    bool given = false;
};

// The settings to sync with: those saved, changed by what the command gives.
SyncSettings settingsFor(const Arguments &args, const SyncSettings &saved)
{
    SyncSettings s = saved;
    const auto take = [&](const QString &option, QString *field) {
        if (args.values.contains(option))
            *field = args.values.value(option);
    };
    take(syncoption::url, &s.url);
    take(syncoption::user, &s.user);
    // The book saved belongs to the server and user saved.
    if (s.url != saved.url || s.user != saved.user)
        s.book.clear();
    take(syncoption::book, &s.book);
    return s;
}

// The server password: from standard input, else the secret service, else
// the one sealed in the store, else typed on the terminal. nullopt after the
// reason was printed.
std::optional<ServerSecret> serverPassword(const Arguments &args, const SyncSettings &s, StoreSync &sync)
{
    if (s.user.isEmpty())
        return ServerSecret{};
    PasswordSource fromStdin(true);
    if (args.has(syncoption::serverPasswordStdin))
        return ServerSecret{fromStdin.ask(QString()).value_or(QString()), true};
    QString password, why;
    if (ServerPassword::read(ServerPassword::keyFor(s.url, s.user), &password, &why) == ServerPassword::Ok)
        return ServerSecret{password, false};
    // The copy sealed in the store is the saved account's: never sent elsewhere.
    const SyncSettings saved = sync.settings();
    if (ServerPassword::keyFor(saved.url, saved.user) == ServerPassword::keyFor(s.url, s.user))
        password = sync.keptPassword();
    if (!password.isEmpty())
        return ServerSecret{password, false};
    PasswordSource terminal(false);
    if (!terminal.canAsk()) {
        printErr(QStringLiteral("没有 %1 在 %2 的服务器密码：桌面的密码保管服务中没有，通讯录中也没有保存。\n"
                                "请用 --server-password-stdin 从标准输入读入，或在终端上运行以输入密码。")
                     .arg(s.user, s.url));
        return std::nullopt;
    }
    std::optional<QString> typed = terminal.ask(QStringLiteral("%1 在服务器上的密码：").arg(s.user));
    return ServerSecret{typed.value_or(QString()), true};
}

// Keeps a password the server took: in the secret service, else sealed in a
// protected store; else it is asked again next time.
void keepServerPassword(const SyncSettings &s, ServerSecret &secret, StoreSync &sync)
{
    if (!secret.given || secret.password.isEmpty())
        return;
    QString why;
    if (ServerPassword::store(ServerPassword::keyFor(s.url, s.user), secret.password, &why) ==
        ServerPassword::Ok)
        printOut(QStringLiteral("服务器密码已保存在桌面的密码保管服务中。"));
    else if (sync.canKeepPassword() && sync.keepPassword(secret.password, &why))
        printOut(QStringLiteral("服务器密码已加密保存在通讯录中。"));
    else
        printErr(QStringLiteral("服务器密码没有保存（%1），下次同步时需要再给出。").arg(why));
}

// The book to sync: the one given or saved, else the only one the URL leads to.
// Empty after the reason (or the list to choose from) was printed; *code says how to end.
// A server the domain's DNS named becomes the settings' address.
QString chooseBook(CardDavClient &client, SyncSettings *s, int *code)
{
    if (!s->book.isEmpty())
        return s->book;
    QList<AddressBook> books;
    if (const DavError e = client.discover(&books); !e.ok()) {
        printErr(QStringLiteral("找不到通讯录：%1").arg(e.message));
        *code = ExitRefused;
        return QString();
    }
    if (const QUrl found = client.transport().account().url; found != CardDavClient::accountUrl(s->url))
        s->url = found.toString();
    if (books.size() == 1)
        return books.first().href;
    QString list = QStringLiteral("服务器上有 %1 个通讯录，请用 --book 选出一个：").arg(books.size());
    for (const AddressBook &book : books)
        list += QStringLiteral("\n  %1  %2").arg(book.href, book.displayName);
    printErr(list);
    *code = ExitUsage;
    return QString();
}

} // namespace

int runSync(const Arguments &args)
{
    quennet::ContactStore store;
    PasswordSource passwords(args.has(QStringLiteral("password-stdin")));
    if (const int code =
            openStoreAsking(store, args.positional.value(0, QStringLiteral("./wab.vdb")), passwords))
        return code;
    // Before anything is read or saved: a sync running elsewhere owns the store.
    SyncLock lock(store.filePath());
    QString why;
    if (!lock.tryLock(&why)) {
        printErr(why);
        return ExitRefused;
    }
    StoreSync sync(store);
    // The kept cards are verified when the sync needs them.
    if (!sync.verifyValues(&why)) {
        printErr(why);
        return ExitRefused;
    }
    SyncSettings settings = settingsFor(args, sync.settings());
    if (!settings.isSet()) {
        printErr(QStringLiteral("wab: 还没有设置同步：第一次同步请用 --url 给出服务器或通讯录的地址"));
        return ExitUsage;
    }
    if (const DavError bad = DavTransport::checkUrl(CardDavClient::accountUrl(settings.url)); !bad.ok()) {
        printErr(bad.message);
        return ExitUsage;
    }
    std::optional<ServerSecret> secret = serverPassword(args, settings, sync);
    if (!secret)
        return ExitRefused;
    CardDavClient client({CardDavClient::accountUrl(settings.url), settings.user, secret->password});
    int code = ExitDone;
    settings.book = chooseBook(client, &settings, &code);
    // Settings naming another account, once saved, take the old account's
    // password out of the secret service.
    QString notForgotten;
    const bool saved = ServerPassword::saveSettings(sync, settings, &why, &notForgotten);
    if (!notForgotten.isEmpty())
        printErr(notForgotten);
    if (settings.book.isEmpty()) { // the address saved, so that --book alone chooses next time
        quennet::wipe(secret->password);
        return code;
    }
    if (!saved) {
        quennet::wipe(secret->password);
        printErr(QStringLiteral("无法保存同步设置：%1").arg(why));
        return ExitRefused;
    }
    const SyncReport report = SyncEngine(client, settings.book, sync.contacts(), sync.state()).run();
    for (const QString &line : report.lines())
        printOut(line);
    if (report.error.ok())
        keepServerPassword(settings, *secret, sync);
    quennet::wipe(secret->password);
    return report.error.ok() ? ExitDone : ExitRefused;
}

} // namespace wab
