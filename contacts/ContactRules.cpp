#include "contacts/ContactRules.h"

#include "contacts/DuplicateIndex.h"
#include "contacts/Gbk.h"

namespace quennet::rules {

namespace {

// The four finds, each starting where the previous one left the cursor (a
// failed find does not move it); the first success ends the chain. One pass
// over the records.
bool findChain(ContactStore &store, const ContactInput &input)
{
    return store.findFirstOf({{FieldName, input.name},
                              {FieldPhone, input.phone},
                              {FieldMobile, input.mobile},
                              {FieldQQ, input.qq}});
}

FoundValues readFound(const ContactStore &store)
{
    const Contact contact = store.current();
    return {true, store.recordNumber(), contact.name, contact.phone, contact.mobile, contact.qq};
}

bool repeats(const QString &typed, bool same)
{
    return !typed.isEmpty() && same;
}

const QString kTitle = QStringLiteral("温馨提示");

Message info(const QString &text, const QString &title = kTitle)
{
    return {text, title, MessageLook::Information};
}

Message stop(const QString &text)
{
    return {text, kTitle, MessageLook::Stop};
}

} // namespace

bool findFromCursor(ContactStore &store, int pos, const QString &text)
{
    const int found = store.findRecord(pos, text, store.recordNumber());
    if (found != 0)
        store.goTo(found);
    return found != 0;
}

FoundValues findDuplicateForAdding(ContactStore &store, const ContactInput &input)
{
    store.goFirst();
    if (findChain(store, input))
        return readFound(store);
    return {};
}

FoundValues findDuplicateForModifying(ContactStore &store, const ContactInput &input, int selectedRecord)
{
    FoundValues found;
    store.goFirst();
    // Every round skips at least one record, so the loop ends at the last one.
    while (findChain(store, input)) {
        if (store.recordNumber() != selectedRecord) {
            found = readFound(store);
            break;
        }
        store.skip(1);
    }
    store.goTo(selectedRecord);
    return found;
}

Check checkAgainst(const ContactInput &input, const FoundValues &found)
{
    return checkAgainst(input, FoundMatch{input.name == found.name, input.phone == found.phone,
                                          input.mobile == found.mobile, input.qq == found.qq});
}

Check checkAgainst(const ContactInput &input, const FoundMatch &same)
{
    if (same.name)
        return Check::DuplicateName;
    if (repeats(input.phone, same.phone))
        return Check::DuplicatePhone;
    if (repeats(input.mobile, same.mobile))
        return Check::DuplicateMobile;
    if (!input.mobile.isEmpty() && gbk::length(input.mobile) != kMobileLength)
        return Check::MobileLength;
    if (repeats(input.qq, same.qq))
        return Check::DuplicateQQ;
    if (gbk::length(input.qq) > kMaxQQLength)
        return Check::QQLength;
    return Check::Ok;
}

Check checkAdding(ContactStore &store, const ContactInput &input)
{
    if (input.name.isEmpty())
        return Check::EmptyName;
    return checkAgainst(input, findDuplicateForAdding(store, input));
}

Check checkModifying(ContactStore &store, const ContactInput &input, int selectedRecord)
{
    if (input.name.isEmpty())
        return Check::EmptyName;
    return checkAgainst(input, findDuplicateForModifying(store, input, selectedRecord));
}

bool appendContact(ContactStore &store, const ContactInput &input)
{
    if (!store.append(input))
        return false;
    store.goLast();
    return true;
}

namespace {

// The contact still stands in the store as it was shown.
bool holdsAsShown(const ContactStore &store, const Contact &shown)
{
    return store.contactAt(store.numberOf(shown.id)) == shown;
}

Outcome outcomeOf(bool written, bool stale, Check check)
{
    if (stale)
        return Outcome::Stale;
    if (check != Check::Ok)
        return Outcome::Refused;
    return written ? Outcome::Done : Outcome::Failed;
}

// The writes of a contact the user typed or was shown, with the duplicate
// search through index when there is one.
bool addWith(ContactStore &store, DuplicateIndex *index, const ContactInput &input, Check *check)
{
    *check = Check::Ok;
    const bool added = store.appendIf(input, [&](ContactStore &current) {
        if (index)
            index->follow(current);
        *check = index ? index->checkAdding(current, input) : checkAdding(current, input);
        return *check == Check::Ok;
    });
    if (!added)
        return false;
    if (index)
        index->appended(store);
    store.goLast();
    return true;
}

Outcome modifyWith(ContactStore &store, DuplicateIndex *index, const ContactInput &input,
                   const Contact &shown, Check *check)
{
    *check = Check::Ok;
    if (shown.id == 0) {
        *check = checkModifying(store, input, 0);
        return *check == Check::Ok ? Outcome::Failed : Outcome::Refused;
    }
    bool stale = false;
    const bool written = store.replaceIf(shown.id, input, [&](ContactStore &current) {
        stale = !holdsAsShown(current, shown);
        if (stale)
            return false;
        if (index) {
            index->follow(current);
            *check = index->checkModifying(current, input, shown.id);
        } else {
            *check = checkModifying(current, input, current.numberOf(shown.id));
        }
        return *check == Check::Ok;
    });
    stale = stale || store.lastError() == StoreError::ChangedElsewhere;
    if (written && index)
        index->replaced(store, shown.id, shown);
    store.goTo(store.numberOf(shown.id));
    return outcomeOf(written, stale, *check);
}

Outcome deleteWith(ContactStore &store, DuplicateIndex *index, const Contact &shown)
{
    if (shown.id == 0)
        return Outcome::Failed;
    bool stale = false;
    const bool deleted = store.removeIf(shown.id, [&](ContactStore &current) {
        if (index)
            index->follow(current);
        stale = !holdsAsShown(current, shown);
        return !stale;
    });
    stale = stale || store.lastError() == StoreError::ChangedElsewhere;
    if (deleted && index)
        index->removed(store, shown.id, shown);
    return outcomeOf(deleted, stale, Check::Ok);
}

} // namespace

bool addContact(ContactStore &store, const ContactInput &input, Check *check)
{
    return addWith(store, nullptr, input, check);
}

bool addContact(ContactStore &store, DuplicateIndex &index, const ContactInput &input, Check *check)
{
    return addWith(store, &index, input, check);
}

Outcome modifyShownContact(ContactStore &store, const ContactInput &input, const Contact &shown, Check *check)
{
    return modifyWith(store, nullptr, input, shown, check);
}

Outcome modifyShownContact(ContactStore &store, DuplicateIndex &index, const ContactInput &input,
                           const Contact &shown, Check *check)
{
    return modifyWith(store, &index, input, shown, check);
}

Outcome deleteShownContact(ContactStore &store, const Contact &shown)
{
    return deleteWith(store, nullptr, shown);
}

Outcome deleteShownContact(ContactStore &store, DuplicateIndex &index, const Contact &shown)
{
    return deleteWith(store, &index, shown);
}

int queryField(QueryKind kind)
{
    switch (kind) {
    case QueryKind::Name:
        return FieldName;
    case QueryKind::Phone:
        return FieldPhone;
    case QueryKind::Mobile:
        return FieldMobile;
    case QueryKind::QQ:
        return FieldQQ;
    default:
        return 0;
    }
}

QList<int> query(ContactStore &store, QueryKind kind, const QString &text)
{
    QList<int> matches;
    const int field = queryField(kind);
    if (field == 0)
        return matches;
    store.goFirst();
    while (findFromCursor(store, field, text)) {
        matches.append(store.recordNumber());
        store.skip(1);
    }
    return matches;
}

Outcome deleteRecordNumber(ContactStore &store, int number, int *count)
{
    *count = store.recordCount();
    bool exists = true;
    const bool deleted = store.removeNumberIf(number, [&](ContactStore &current) {
        *count = current.recordCount();
        exists = number >= 1 && number <= *count;
        return exists;
    });
    if (deleted)
        return Outcome::Done;
    return exists ? Outcome::Failed : Outcome::Refused;
}

Message checkMessage(Check check, Branch branch)
{
    switch (check) {
    case Check::Ok:
        return {};
    case Check::EmptyName:
        return info(QStringLiteral("对不起！姓名不能为无名氏哦！"));
    case Check::DuplicateName:
        return info(branch == Branch::Adding ? QStringLiteral("对不起！已经存在相同姓名的联系人哦！")
                                             : QStringLiteral("对不起！已经存在同姓名的联系人哦！"));
    case Check::DuplicatePhone:
        return info(QStringLiteral("对不起！已经存在相同电话的联系人哦！"));
    case Check::DuplicateMobile:
        return info(QStringLiteral("对不起！已经存在相同手机的联系人哦！"));
    case Check::MobileLength:
        return info(QStringLiteral("对不起！手机号码是11位数字哦！"));
    case Check::DuplicateQQ:
        return info(QStringLiteral("对不起！已经存在相同QQ的联系人哦！"));
    case Check::QQLength:
        return info(QStringLiteral("对不起！QQ号码不能大于9位数字哦！"));
    }
    return {};
}

Message addSucceeded()
{
    return info(QStringLiteral("添加联系人成功！"));
}

Message addFailed()
{
    return stop(QStringLiteral("添加联系人失败！"));
}

Message modifySucceeded()
{
    return info(QStringLiteral("修改联系人成功！"));
}

Message modifyFailed()
{
    return stop(QStringLiteral("修改联系人失败！"));
}

Message addingStateMessage()
{
    return info(
        QStringLiteral("您正处于添加联系人状态……\r\n请先按确定键（C）确认！\r\n或按关闭键取消当前添加！"));
}

Message modifyingStateMessage()
{
    return info(QStringLiteral(
        "您正处于修改联系人状态……\r\n修改好后请按确定键（C）确认！\r\n若按关闭键则可取消当前修改！"));
}

Message queryPrompt(QueryKind kind)
{
    // All four prompts carry the same title.
    const QString title = QStringLiteral("按姓名查询");
    switch (kind) {
    case QueryKind::Name:
        return info(QStringLiteral("请在姓名后面输入联系人的姓名！\r\n然后按确定键（C）进行查询！"), title);
    case QueryKind::Phone:
        return info(QStringLiteral("请在电话后面输入联系人的电话号码！\r\n然后按确定键（C）进行查询！"),
                    title);
    case QueryKind::Mobile:
        return info(QStringLiteral("请在手机后面输入联系人的手机号码！\r\n然后按确定键（C）进行查询！"),
                    title);
    case QueryKind::QQ:
        return info(QStringLiteral("请在QQ后面输入联系人的QQ号码！\r\n然后按确定键（C）进行查询！"), title);
    default:
        return {};
    }
}

Message queryEmptyBox(QueryKind kind)
{
    // The QQ message shares the 手机 title.
    switch (kind) {
    case QueryKind::Name:
        return info(QStringLiteral(
                        "姓名不能为空哦！\r\n请在姓名后面输入联系人的姓名！\r\n然后按确定键（C）进行查询！"),
                    QStringLiteral("按姓名查询"));
    case QueryKind::Phone:
        return info(
            QStringLiteral(
                "电话号码不能为空哦！\r\n请在电话后面输入联系人的电话号码！\r\n然后按确定键（C）进行查询！"),
            QStringLiteral("按电话查询"));
    case QueryKind::Mobile:
        return info(
            QStringLiteral(
                "手机号码不能为空哦！\r\n请在手机后面输入联系人的手机号码！\r\n然后按确定键（C）进行查询！"),
            QStringLiteral("按手机查询"));
    case QueryKind::QQ:
        return info(
            QStringLiteral(
                "QQ号码不能为空哦！\r\n请在QQ后面输入联系人的QQ号码！\r\n然后按确定键（C）进行查询！"),
            QStringLiteral("按手机查询"));
    default:
        return {};
    }
}

Message nothingFound()
{
    return info(QStringLiteral("对不起！找不到您想要查询的联系人哦！"));
}

QString deleteConfirmationText(const QString &name)
{
    return QStringLiteral("您确定要删除 “") + name + QStringLiteral("” 此条记录吗？");
}

Message deleteConfirmation(const QString &name)
{
    return {deleteConfirmationText(name), kTitle, MessageLook::OkCancelQuestionDefaultCancel};
}

Message deleteSucceeded()
{
    return info(QStringLiteral("删除联系人成功！"));
}

Message deleteFailed()
{
    return info(QStringLiteral("删除联系人失败！"));
}

Message deleteWhileAdding()
{
    return addingStateMessage();
}

Message changedElsewhere()
{
    return {QStringLiteral("该联系人已被其他程序修改或删除，请重新查看！"), kTitle, MessageLook::Exclamation};
}

} // namespace quennet::rules
