#include "Commands.h"

#include "Console.h"

#include "contacts/ContactRules.h"
#include "contacts/ContactSearch.h"
#include "contacts/Maintenance.h"
#include "contacts/store/ContactStore.h"
#include "contacts/store/Secret.h"
#include "exchange/ContactText.h"

#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace wab {

namespace {

using quennet::Contact;
using quennet::ContactStore;
namespace rules = quennet::rules;

const QString kDefaultStore = QStringLiteral("./wab.vdb");
const OptionDef kPasswordStdin{QStringLiteral("password-stdin"), false};

QString storePath(const Arguments &args)
{
    return args.positional.isEmpty() ? kDefaultStore : args.positional.first();
}

PasswordSource passwordSource(const Arguments &args)
{
    return PasswordSource(args.has(kPasswordStdin.name));
}

bool exists(const QString &path)
{
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

int refuse(const QString &message)
{
    printErr(message);
    return ExitRefused;
}

int cannotOpen(const QString &message)
{
    printErr(message);
    return ExitCannotOpen;
}

int noTerminal()
{
    return cannotOpen(
        QStringLiteral("需要输入密码，但标准输入不是终端：请在终端上运行，或用 --password-stdin "
                       "从标准输入的第一行读入密码。"));
}

// Tab and line break separate fields and records in the output; inside a
// value they are written as \t, \n, \r (and a backslash as \\), so every
// record stays on one line with exactly six fields.
bool needsEscape(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

QString escaped(const QString &value)
{
    if (std::none_of(value.begin(), value.end(), needsEscape))
        return value;
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString recordLine(const Contact &contact)
{
    QStringList fields = contact.values();
    for (QString &field : fields)
        field = escaped(field);
    return fields.join(QLatin1Char('\t'));
}

// recordLine() of record number, put together in line from the UTF-8 that
// the store holds: no string is made for a value that is valid UTF-8.
void putRecordLine(QByteArray &line, const ContactStore &store, int number)
{
    line.resize(0);
    for (int pos = 1; pos <= store.fieldCount(); ++pos) {
        if (pos > 1)
            line += '\t';
        QByteArray converted;
        const QByteArrayView bytes = quennet::exchange::textUtf8(store.fieldBytesOf(number, pos), &converted);
        quennet::exchange::appendEscapedRuns(line, bytes, [](char c) {
            return c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
        });
    }
}

QString problemList(const QStringList &problems)
{
    QStringList lines;
    for (const QString &problem : problems)
        lines.append(QStringLiteral("  ") + problem);
    return lines.join(QLatin1Char('\n'));
}

// Opens the store, asking for its password when it has one. Returns ExitDone
// or the code to end with (the message is printed; wrongPassword, when given,
// stands for the whole message about a wrong password).
int openStore(ContactStore &store, const QString &path, PasswordSource &passwords,
              const QString &wrongPassword = QString())
{
    QString password;
    const auto cannot = [&](quennet::StoreError why) {
        if (why == quennet::StoreError::WrongPassword && !wrongPassword.isEmpty()) {
            printErr(wrongPassword);
            return ExitCannotOpen;
        }
        printErr(QStringLiteral("无法打开通讯录：%1").arg(path));
        // A damaged store: say what is wrong with it.
        const QStringList problems = why == quennet::StoreError::Damaged
                                         ? ContactStore::check(path, password).problems
                                         : QStringList();
        printErr(problemList(problems.isEmpty() ? QStringList{storeErrorText(why)} : problems));
        return ExitCannotOpen;
    };
    const quennet::FileResult protectedStore = ContactStore::hasPassword(path);
    if (protectedStore.error != quennet::StoreError::None)
        return cannot(protectedStore.error);
    if (protectedStore) {
        std::optional<QString> typed = passwords.ask(QStringLiteral("请输入通讯录密码："));
        if (!typed)
            return noTerminal();
        password = std::move(*typed);
    }
    const int code = store.open(path, password) ? int(ExitDone) : cannot(store.lastError());
    quennet::wipe(password); // the store keeps only the derived key
    return code;
}

// Opens the store named after the command's first positional argument
// (delete N [STORE], backup DEST [STORE]).
int openStoreAfterFirst(ContactStore &store, const Arguments &args)
{
    Arguments storeArgs = args;
    storeArgs.positional.removeFirst();
    PasswordSource passwords = passwordSource(args);
    return openStore(store, storePath(storeArgs), passwords);
}

// A failed write: the refusal and, on the next line, why.
int writeFailed(const QString &message, const ContactStore &store)
{
    return refuse(message + QLatin1Char('\n') + problemList({storeErrorText(store.lastError())}));
}

// A new password typed twice. nullopt after a printed refusal; *exitCode
// tells which.
std::optional<QString> askNewPasswordTwice(PasswordSource &passwords, const QString &prompt,
                                           const QString &nothingDone, int *exitCode)
{
    std::optional<QString> first = passwords.ask(prompt);
    if (!first) {
        *exitCode = noTerminal();
        return std::nullopt;
    }
    std::optional<QString> second = passwords.ask(QStringLiteral("请再输入一次："));
    if (!second) {
        quennet::wipe(*first);
        *exitCode = noTerminal();
        return std::nullopt;
    }
    const bool same = *first == *second;
    quennet::wipe(*second);
    if (!same) {
        quennet::wipe(*first);
        *exitCode = refuse(QStringLiteral("两次输入的密码不一致！") + nothingDone);
        return std::nullopt;
    }
    return first;
}

// --- init -----------------------------------------------------------------

int runInit(const Arguments &args)
{
    const QString path = storePath(args);
    const bool askTwice = args.has(QStringLiteral("password"));
    if (askTwice && args.has(kPasswordStdin.name)) {
        printErr(QStringLiteral("wab: --password 与 --password-stdin 只能选一个"));
        return ExitUsage;
    }
    if (exists(path))
        return refuse(QStringLiteral("通讯录文件已经存在，不会覆盖：%1").arg(path));

    QString password;
    PasswordSource passwords = passwordSource(args);
    if (askTwice) {
        int exitCode = ExitDone;
        std::optional<QString> typed =
            askNewPasswordTwice(passwords, QStringLiteral("新通讯录的密码（留空则不设密码）："),
                                QStringLiteral("通讯录没有创建。"), &exitCode);
        if (!typed)
            return exitCode;
        password = std::move(*typed);
    } else if (passwords.fromStdin()) {
        password = passwords.ask(QString()).value_or(QString());
    }

    const quennet::FileResult created = ContactStore::create(path, password);
    const bool withPassword = !password.isEmpty();
    quennet::wipe(password);
    if (!created)
        return cannotOpen(QStringLiteral("无法创建通讯录文件：%1\n").arg(path) +
                          problemList({storeErrorText(created.error)}));
    printOut(!withPassword ? QStringLiteral("已创建空通讯录（无密码）：%1").arg(path)
                           : QStringLiteral("已创建空通讯录（有密码）：%1").arg(path));
    return ExitDone;
}

// --- list -----------------------------------------------------------------

int runList(const Arguments &args)
{
    ContactStore store;
    PasswordSource passwords = passwordSource(args);
    if (const int code = openStore(store, storePath(args), passwords))
        return code;
    QByteArray line;
    for (int number = 1; number <= store.recordCount(); ++number) {
        putRecordLine(line, store, number);
        printOutLine(line);
    }
    return ExitDone;
}

// --- passwd ---------------------------------------------------------------

// The next password into *typed; false (with *exitCode) when there is no
// terminal to ask on.
bool askInto(PasswordSource &passwords, const QString &prompt, QString *typed, int *exitCode)
{
    std::optional<QString> answer = passwords.ask(prompt);
    if (!answer) {
        *exitCode = noTerminal();
        return false;
    }
    *typed = std::move(*answer);
    return true;
}

int runPasswd(const Arguments &args)
{
    namespace maintenance = quennet::maintenance;
    using maintenance::PasswordOutcome;
    ContactStore store;
    PasswordSource passwords = passwordSource(args);
    const QString path = storePath(args);
    maintenance::PasswordRequest request;
    request.storeHasPassword = ContactStore::hasPassword(path).ok;
    // The old password is the one that opens the store (it keeps only the
    // key derived from it): a wrong one is the rule's first refusal, before
    // the new password is asked for.
    const QString wrongOld = maintenance::passwordMessage(PasswordOutcome::WrongOldPassword, true).text;
    if (const int code = openStore(store, path, passwords, wrongOld))
        return code;
    // Both are read before the rule runs, as the window has both boxes filled.
    int exitCode = ExitDone;
    if (!askInto(passwords, QStringLiteral("新密码（留空则删除密码）："), &request.newPassword, &exitCode) ||
        !askInto(passwords, QStringLiteral("请再输入一次："), &request.repeated, &exitCode)) {
        quennet::wipe(request.newPassword);
        return exitCode;
    }
    const bool removing = request.newPassword.isEmpty();
    const PasswordOutcome outcome = maintenance::changePassword(store, request);
    quennet::wipe(request.newPassword);
    quennet::wipe(request.repeated);
    const QString message = maintenance::passwordMessage(outcome, request.storeHasPassword).text;
    switch (outcome) {
    case PasswordOutcome::Changed:
        printOut(removing ? QStringLiteral("已删除密码。") : QStringLiteral("密码设置成功！"));
        return ExitDone;
    case PasswordOutcome::ChangeFailed:
        return writeFailed(message + QStringLiteral("通讯录没有改变：%1").arg(path), store);
    default:
        return refuse(message + QStringLiteral("密码没有改变。"));
    }
}

// --- backup ---------------------------------------------------------------

int runBackup(const Arguments &args)
{
    if (args.positional.isEmpty()) {
        printErr(QStringLiteral("wab: 缺少备份文件 DEST"));
        return ExitUsage;
    }
    const QString destination = args.positional.first();
    ContactStore store;
    if (const int code = openStoreAfterFirst(store, args))
        return code;
    if (!quennet::maintenance::backUp(store, destination))
        return writeFailed(quennet::maintenance::backupFailed().text + QLatin1Char(' ') + destination, store);
    printOut(quennet::maintenance::backupSucceeded().text + QLatin1Char(' ') + destination);
    return ExitDone;
}

// --- clear ----------------------------------------------------------------

int runClear(const Arguments &args)
{
    if (!args.has(QStringLiteral("yes"))) {
        printErr(QStringLiteral("wab: 清空会删除所有联系人，请用 --yes 确认"));
        return ExitUsage;
    }
    ContactStore store;
    PasswordSource passwords = passwordSource(args);
    if (const int code = openStore(store, storePath(args), passwords))
        return code;
    if (!quennet::maintenance::clearAll(store))
        return writeFailed(quennet::maintenance::clearFailed().text, store);
    printOut(quennet::maintenance::clearSucceeded().text);
    return ExitDone;
}

// --- check ----------------------------------------------------------------

QString syncStateLine(const quennet::SyncSummary &sync)
{
    QString where = QStringLiteral("服务器地址需要密码才能显示");
    if (sync.readable && sync.url.isEmpty())
        where = QStringLiteral("未设置服务器");
    else if (sync.readable)
        where =
            QStringLiteral("服务器 %1%2，通讯录 %3")
                .arg(sync.url, sync.user.isEmpty() ? QString() : QStringLiteral("（用户 %1）").arg(sync.user),
                     sync.book.isEmpty() ? QStringLiteral("未选") : sync.book);
    return QStringLiteral("同步：%1；已同步 %2 张名片，待服务器删除 %3 张。")
        .arg(where)
        .arg(sync.cards - sync.pendingDeletes)
        .arg(sync.pendingDeletes);
}

int runCheck(const Arguments &args)
{
    const QString path = storePath(args);
    // Without a password only the file itself can be verified, not the
    // sealed records.
    QString password;
    PasswordSource passwords = passwordSource(args);
    const bool verifyPassword = ContactStore::hasPassword(path) && passwords.canAsk();
    if (verifyPassword)
        password = passwords.ask(QStringLiteral("请输入通讯录密码：")).value_or(QString());

    const quennet::StoreCheck check = ContactStore::check(path, password);
    quennet::wipe(password);
    if (check.couldNotExamine()) {
        printErr(QStringLiteral("无法打开通讯录：%1").arg(path));
        printErr(problemList({storeErrorText(check.error)}));
        return ExitCannotOpen;
    }
    if (!check.ok) {
        printErr(QStringLiteral("通讯录有问题：%1").arg(path));
        printErr(problemList(check.problems));
        return ExitRefused;
    }
    QString passwordState = QStringLiteral("无密码");
    if (check.hasPassword)
        passwordState = verifyPassword ? QStringLiteral("有密码") : QStringLiteral("有密码（未验证密码）");
    printOut(
        QStringLiteral("正常：%1，共%2条记录，%3。").arg(path).arg(check.recordCount).arg(passwordState));
    if (check.sync.tables)
        printOut(syncStateLine(check.sync));
    return ExitDone;
}

// --- add ------------------------------------------------------------------

// The contact with the fields given as options changed.
Contact withGivenFields(Contact contact, const Arguments &args)
{
    const std::pair<const char *, QString Contact::*> fields[] = {
        {"name", &Contact::name}, {"phone", &Contact::phone}, {"mobile", &Contact::mobile},
        {"qq", &Contact::qq},     {"email", &Contact::email}, {"address", &Contact::address},
    };
    for (const auto &[option, field] : fields) {
        const QString name = QLatin1String(option);
        if (args.values.contains(name))
            contact.*field = args.values.value(name);
    }
    return contact;
}

int runAdd(const Arguments &args)
{
    if (!args.values.contains(QStringLiteral("name"))) {
        printErr(QStringLiteral("wab: 缺少 --name"));
        return ExitUsage;
    }
    const Contact input = withGivenFields(Contact(), args);

    ContactStore store;
    PasswordSource passwords = passwordSource(args);
    if (const int code = openStore(store, storePath(args), passwords))
        return code;
    rules::Check check = rules::Check::Ok;
    if (!rules::addContact(store, input, &check)) {
        if (check != rules::Check::Ok)
            return refuse(rules::checkMessage(check, rules::Branch::Adding).text);
        return writeFailed(rules::addFailed().text, store);
    }
    printOut(rules::addSucceeded().text);
    return ExitDone;
}

// --- find -----------------------------------------------------------------

struct QueryOption {
    const char *name;
    rules::QueryKind kind;
};

constexpr QueryOption kQueryOptions[] = {
    {"name", rules::QueryKind::Name},
    {"phone", rules::QueryKind::Phone},
    {"mobile", rules::QueryKind::Mobile},
    {"qq", rules::QueryKind::QQ},
};

// The hits of search as you type: any field, the digits of numbers, the
// pinyin of names.
int runFindMatching(const Arguments &args)
{
    const QString typed = args.values.value(QStringLiteral("match"));
    if (quennet::search::Query::parse(typed).isEmpty()) {
        printErr(QStringLiteral("wab: --match 需要要查找的文字"));
        return ExitUsage;
    }
    ContactStore store;
    PasswordSource passwords = passwordSource(args);
    if (const int code = openStore(store, storePath(args), passwords))
        return code;
    quennet::search::ContactIndex index;
    index.reserve(store.recordCount());
    for (int number = 1; number <= store.recordCount(); ++number)
        index.append(store.contactAt(number));
    quennet::search::PinyinTable::extend(index.nameCharacters());
    const std::vector<int> hits =
        index.find(quennet::search::Query::parse(typed), *quennet::search::PinyinTable::current());
    if (hits.empty())
        return refuse(rules::nothingFound().text);
    for (const int position : hits)
        printOut(QString::number(position + 1) + QLatin1Char('\t') +
                 recordLine(store.contactAt(position + 1)));
    return ExitDone;
}

int runFind(const Arguments &args)
{
    if (args.values.contains(QStringLiteral("match"))) {
        for (const QueryOption &option : kQueryOptions) {
            if (args.values.contains(QLatin1String(option.name))) {
                printErr(QStringLiteral("wab: --match 不能与 --name、--phone、--mobile、--qq 同时给出"));
                return ExitUsage;
            }
        }
        return runFindMatching(args);
    }
    rules::QueryKind kind = rules::QueryKind::None;
    QString text;
    for (const QueryOption &option : kQueryOptions) {
        const QString name = QLatin1String(option.name);
        if (!args.values.contains(name))
            continue;
        if (kind != rules::QueryKind::None) {
            printErr(QStringLiteral("wab: --name、--phone、--mobile、--qq 只能给一个"));
            return ExitUsage;
        }
        kind = option.kind;
        text = args.values.value(name);
    }
    if (kind == rules::QueryKind::None) {
        printErr(QStringLiteral("wab: 请给出 --name、--phone、--mobile 或 --qq 之一"));
        return ExitUsage;
    }
    if (text.isEmpty())
        return refuse(rules::queryEmptyBox(kind).text.section(QStringLiteral("\r\n"), 0, 0));

    ContactStore store;
    PasswordSource passwords = passwordSource(args);
    if (const int code = openStore(store, storePath(args), passwords))
        return code;
    const QList<int> matches = rules::query(store, kind, text);
    if (matches.isEmpty())
        return refuse(rules::nothingFound().text);
    for (const int number : matches)
        printOut(QString::number(number) + QLatin1Char('\t') + recordLine(store.contactAt(number)));
    return ExitDone;
}

// --- delete ---------------------------------------------------------------

int noSuchRecord(int number, int count)
{
    return refuse(QStringLiteral("对不起！没有第%1条记录！（共%2条记录）").arg(number).arg(count));
}

// Opens the store named after N, the first argument, and checks that record
// N is in it. ExitDone with *number, else the code to end with (the message
// is printed).
int openStoreAtRecord(ContactStore &store, const Arguments &args, int *number)
{
    if (args.positional.isEmpty()) {
        printErr(QStringLiteral("wab: 缺少记录号 N"));
        return ExitUsage;
    }
    bool isNumber = false;
    *number = args.positional.first().toInt(&isNumber);
    if (!isNumber) {
        printErr(QStringLiteral("wab: 记录号不是整数：%1").arg(args.positional.first()));
        return ExitUsage;
    }
    if (const int code = openStoreAfterFirst(store, args))
        return code;
    if (*number < 1 || *number > store.recordCount())
        return noSuchRecord(*number, store.recordCount());
    return ExitDone;
}

int runDelete(const Arguments &args)
{
    int number = 0;
    ContactStore store;
    // Checked again inside the write, on the records as they are then.
    if (const int code = openStoreAtRecord(store, args, &number))
        return code;
    int count = 0;
    switch (rules::deleteRecordNumber(store, number, &count)) {
    case rules::Outcome::Done:
        printOut(rules::deleteSucceeded().text);
        return ExitDone;
    case rules::Outcome::Refused:
        return noSuchRecord(number, count);
    default:
        return writeFailed(rules::deleteFailed().text, store);
    }
}

// --- modify -----------------------------------------------------------------

int runModify(const Arguments &args)
{
    int number = 0;
    ContactStore store;
    if (const int code = openStoreAtRecord(store, args, &number))
        return code;
    const Contact shown = store.contactAt(number);
    rules::Check check = rules::Check::Ok;
    switch (rules::modifyShownContact(store, withGivenFields(shown, args), shown, &check)) {
    case rules::Outcome::Done:
        printOut(rules::modifySucceeded().text);
        return ExitDone;
    case rules::Outcome::Refused:
        return refuse(rules::checkMessage(check, rules::Branch::Modifying).text);
    case rules::Outcome::Stale:
        return refuse(rules::changedElsewhere().text);
    case rules::Outcome::Failed:
        break;
    }
    return writeFailed(rules::modifyFailed().text, store);
}

// --- usage ----------------------------------------------------------------

const QString kStoreNote = QStringLiteral("STORE 缺省为 ./wab.vdb。");
const QString kPasswordNote =
    QStringLiteral("  --password-stdin  从标准输入读密码，每行一个；否则在终端上不回显地询问。");

QString usage(const QString &synopsis, const QString &what, const QString &options = QString())
{
    QString text = QStringLiteral("用法：") + synopsis + QLatin1Char('\n') + what + QLatin1Char('\n');
    if (!options.isEmpty())
        text += options + QLatin1Char('\n');
    return text + kPasswordNote + QLatin1Char('\n') + kStoreNote;
}

QList<Command> buildCommands()
{
    const OptionDef name{QStringLiteral("name"), true};
    const OptionDef phone{QStringLiteral("phone"), true};
    const OptionDef mobile{QStringLiteral("mobile"), true};
    const OptionDef qq{QStringLiteral("qq"), true};
    const OptionDef email{QStringLiteral("email"), true};
    const OptionDef address{QStringLiteral("address"), true};
    const OptionDef password{QStringLiteral("password"), false};

    QList<Command> list;
    list.append({QStringLiteral("init"),
                 usage(QStringLiteral("wab init [STORE] [--password | --password-stdin]"),
                       QStringLiteral("新建一个空通讯录（六个字段：姓名、电话、手机、QQ、Email、地址）。"
                                      "已经存在的文件不会被覆盖。"),
                       QStringLiteral("  --password        在终端上输入两次密码（留空则不设密码）\n"
                                      "  用 --password-stdin 时读第一行作密码，空行或没有输入则不设密码。")),
                 {password, kPasswordStdin},
                 1,
                 runInit});
    list.append({QStringLiteral("list"),
                 usage(QStringLiteral("wab list [STORE]"),
                       QStringLiteral("按记录号顺序列出所有联系人，每行一条，字段之间用制表符分隔。\n"
                                      "值里的制表符、换行、回车和反斜杠写作 \\t、\\n、\\r、\\\\。")),
                 {kPasswordStdin},
                 1,
                 runList});
    list.append({QStringLiteral("passwd"),
                 usage(QStringLiteral("wab passwd [STORE]"),
                       QStringLiteral("设置、修改或删除通讯录密码（新密码留空则删除密码）。\n"
                                      "用 --password-stdin 时依次读：旧密码（仅当通讯录有密码时）、新密码、"
                                      "再一次新密码。")),
                 {kPasswordStdin},
                 1,
                 runPasswd});
    list.append({QStringLiteral("check"),
                 usage(QStringLiteral("wab check [STORE]"),
                       QStringLiteral("检查通讯录文件的完整性、格式版本和密码。\n"
                                      "退出码：0 正常，1 有问题，2 无法打开。")),
                 {kPasswordStdin},
                 1,
                 runCheck});
    list.append({QStringLiteral("add"),
                 usage(QStringLiteral("wab add --name N [--phone P] [--mobile M] [--qq Q] [--email E] "
                                      "[--address A] [STORE]"),
                       QStringLiteral("添加一个联系人，检查与主窗口的添加联系人相同。")),
                 {name, phone, mobile, qq, email, address, kPasswordStdin},
                 1,
                 runAdd});
    list.append({QStringLiteral("find"),
                 usage(QStringLiteral("wab find --name|--phone|--mobile|--qq TEXT [STORE]\n"
                                      "       wab find --match TEXT [STORE]"),
                       QStringLiteral("列出该字段与 TEXT 完全相同的所有联系人，每行以记录号开头。\n"
                                      "--match：与主窗口的查找联系人相同，列出任一字段含有 TEXT、"
                                      "号码含有 TEXT 的数字，\n或姓名的拼音（全拼、首字母或混合）"
                                      "与 TEXT 相符的所有联系人。")),
                 {name, phone, mobile, qq, {QStringLiteral("match"), true}, kPasswordStdin},
                 1,
                 runFind});
    list.append(
        {QStringLiteral("delete"),
         usage(QStringLiteral("wab delete N [STORE]"), QStringLiteral("删除第 N 条记录，其后的记录号减一。")),
         {kPasswordStdin},
         2,
         runDelete});
    list.append(
        {QStringLiteral("modify"),
         usage(QStringLiteral("wab modify N [--name N] [--phone P] [--mobile M] [--qq Q] [--email E] "
                              "[--address A] [STORE]"),
               QStringLiteral("修改第 N 条记录中给出的字段，其余字段不变；检查与主窗口的修改联系人相同。")),
         {name, phone, mobile, qq, email, address, kPasswordStdin},
         2,
         runModify});
    list.append(exportCommand());
    list.append({QStringLiteral("backup"),
                 usage(QStringLiteral("wab backup DEST [STORE]"),
                       QStringLiteral("把通讯录文件原样复制到 DEST（密码保护也一同保留）。\n"
                                      "先写入 DEST 旁边的临时文件，完整写完后才替换 DEST；"
                                      "不能备份到通讯录文件本身。")),
                 {kPasswordStdin},
                 2,
                 runBackup});
    list.append({QStringLiteral("clear"),
                 usage(QStringLiteral("wab clear --yes [STORE]"),
                       QStringLiteral("删除所有联系人（一次完成，文件中不留下原来的文字）。"),
                       QStringLiteral("  --yes             确认清空；没有它什么也不做")),
                 {{QStringLiteral("yes"), false}, kPasswordStdin},
                 1,
                 runClear});
    list.append(importCommand());
    list.append(syncCommand());
    return list;
}

} // namespace

int openStoreAsking(ContactStore &store, const QString &path, PasswordSource &passwords)
{
    return openStore(store, path, passwords);
}

const QList<Command> &commands()
{
    static const QList<Command> list = buildCommands();
    return list;
}

int usageError(const QString &error, const QString &usage)
{
    printErr(QStringLiteral("wab: ") + error);
    printErr(usage);
    return ExitUsage;
}

int withOutputWritten(int code)
{
    if (flushOut())
        return code;
    printErr(QStringLiteral("wab: 写标准输出时出错"));
    return code == ExitDone ? ExitRefused : code;
}

int runCommand(const Command &command, const QStringList &rest)
{
    const Arguments args = parseArguments(rest, command.options);
    if (args.help) {
        printOut(command.usage);
        return ExitDone;
    }
    if (!args.error.isEmpty())
        return usageError(args.error, command.usage);
    if (args.positional.size() > command.maxPositional)
        return usageError(QStringLiteral("多余的参数：%1").arg(args.positional.at(command.maxPositional)),
                          command.usage);
    return command.run(args);
}

QString generalUsage()
{
    return QStringLiteral(
        "用法：wab <命令> [选项] [STORE]\n"
        "通讯录文件的命令行工具。\n"
        "\n"
        "  wab init [STORE] [--password | --password-stdin]   新建空通讯录\n"
        "  wab list [STORE]                                    列出所有联系人\n"
        "  wab passwd [STORE]                                  设置、修改或删除密码\n"
        "  wab check [STORE]                                   检查文件\n"
        "  wab add --name N [--phone P] [--mobile M] [--qq Q] [--email E] [--address A] [STORE]\n"
        "  wab find --name|--phone|--mobile|--qq TEXT [STORE]\n"
        "  wab find --match TEXT [STORE]                       查找联系人（字段、号码、拼音）\n"
        "  wab delete N [STORE]\n"
        "  wab backup DEST [STORE]                             备份通讯录文件\n"
        "  wab clear --yes [STORE]                             清空所有联系人\n"
        "  wab export FORMAT OUT [STORE]                       导出到文件（wab export --help）\n"
        "  wab import FILE [STORE]                             从 vCard 或 CSV 文件导入联系人\n"
        "  wab sync [--url URL] [--user USER] [--book HREF] [STORE]  与 CardDAV 通讯录同步\n"
        "\n"
        "STORE 缺省为 ./wab.vdb。有密码的通讯录在终端上不回显地询问密码，\n"
        "或用 --password-stdin 从标准输入读入（每行一个）。\n"
        "退出码：0 完成，1 被拒绝，2 用法错误或无法打开通讯录。\n"
        "wab <命令> --help 显示该命令的说明。");
}

} // namespace wab
