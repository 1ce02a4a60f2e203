#include "contacts/Maintenance.h"

namespace quennet::maintenance {

namespace {

const QString kTitle = QStringLiteral("温馨提示");
// The backup messages alone end their title with a full-width exclamation mark.
const QString kBackupTitle = QStringLiteral("温馨提示！");

} // namespace

PasswordOutcome checkPasswordChange(const PasswordRequest &request)
{
    if (request.storeHasPassword && !request.login.matches(request.typedOld))
        return PasswordOutcome::WrongOldPassword;
    if (request.newPassword != request.repeated)
        return PasswordOutcome::Mismatch;
    return PasswordOutcome::Changed;
}

PasswordOutcome setNewPassword(ContactStore &store, const PasswordRequest &request)
{
    return store.setPassword(request.newPassword) ? PasswordOutcome::Changed : PasswordOutcome::ChangeFailed;
}

PasswordOutcome changePassword(ContactStore &store, const PasswordRequest &request)
{
    const PasswordOutcome outcome = checkPasswordChange(request);
    return outcome == PasswordOutcome::Changed ? setNewPassword(store, request) : outcome;
}

Message passwordMessage(PasswordOutcome outcome, bool storeHadPassword)
{
    switch (outcome) {
    case PasswordOutcome::WrongOldPassword:
        return {QStringLiteral("原始密码错误！"), kTitle, MessageLook::Stop};
    case PasswordOutcome::Mismatch:
        return {QStringLiteral("新密码与重复密码不匹配！"), kTitle, MessageLook::Stop};
    case PasswordOutcome::Changed:
        return {QStringLiteral("密码修改成功！"), kTitle, MessageLook::Information};
    case PasswordOutcome::ChangeFailed:
        break;
    }
    return {QStringLiteral("密码修改失败！"), kTitle,
            storeHadPassword ? MessageLook::Stop : MessageLook::Exclamation};
}

bool backUp(ContactStore &store, const QString &destination)
{
    return store.copyTo(destination);
}

Message backupSucceeded()
{
    return {QStringLiteral("备份成功！"), kBackupTitle, MessageLook::Information};
}

Message backupFailed()
{
    return {QStringLiteral("备份失败！"), kBackupTitle, MessageLook::Stop};
}

QString backupFilter()
{
    return QStringLiteral("备份文件(*.bak)|*.bak");
}

QString backupDefaultExtension()
{
    return QStringLiteral("*.bak");
}

bool clearAll(ContactStore &store)
{
    // The store overwrites freed pages (secure delete), so the text is gone
    // from the file once the transaction committed.
    return store.clear();
}

Message clearFirstConfirmation()
{
    return {QStringLiteral("此选项将删除您通讯录中所有的联系人哦！是否要继续？"), kTitle,
            MessageLook::YesNoDefaultNo};
}

Message clearSecondConfirmation()
{
    return {QStringLiteral("不好意思！您真的确定要清空所有联系人吗？"), kTitle,
            MessageLook::OkCancelExclamationDefaultCancel};
}

Message clearSucceeded()
{
    return {QStringLiteral("清空所有记录成功！"), kTitle, MessageLook::Information};
}

Message clearFailed()
{
    // The same information icon as the success message.
    return {QStringLiteral("清空所有记录失败！"), kTitle, MessageLook::Information};
}

} // namespace quennet::maintenance
