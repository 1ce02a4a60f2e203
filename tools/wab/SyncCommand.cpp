// wab sync: two-way sync of the store with one CardDAV address book. The sync
// itself is the program wab-sync, which links the network and the secret
// service; this tool only hands the command over to it.

#include "Commands.h"
#include "Console.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace wab {

namespace {

// Beside this program (the program directory, the build), or where an
// installation puts the programs it runs itself.
QString syncProgramPath()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString &candidate :
         {dir + QStringLiteral("/wab-sync"), dir + QStringLiteral("/../libexec/quennet/wab-sync")}) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).absoluteFilePath();
    }
    return QString();
}

// Runs wab-sync in place of this process with the arguments after "sync", so
// that it reads the same standard input and its exit code is the command's.
int runSyncProgram(const Arguments &)
{
    const QString program = syncProgramPath();
    if (program.isEmpty()) {
        printErr(
            QStringLiteral("wab: 找不到同步程序 wab-sync：它应在 %1 中，或在其旁边的 ../libexec/quennet/ 中")
                .arg(QCoreApplication::applicationDirPath()));
        return ExitRefused;
    }
    QList<QByteArray> args{QFile::encodeName(program)};
    for (const QString &arg : QCoreApplication::arguments().mid(2))
        args.append(QFile::encodeName(arg));
    QList<char *> argv;
    for (QByteArray &arg : args)
        argv.append(arg.data());
    argv.append(nullptr);
    flushOut();
    execv(argv.first(), argv.data());
    printErr(QStringLiteral("wab: 无法启动同步程序 %1：%2")
                 .arg(program, QString::fromLocal8Bit(std::strerror(errno))));
    return ExitRefused;
}

} // namespace

Command syncCommand()
{
    return {
        QStringLiteral("sync"),
        QStringLiteral(
            "用法：wab sync [--url URL] [--user USER] [--server-password-stdin] [--book HREF] [STORE]\n"
            "与一个 CardDAV 通讯录双向同步（服务器上的联系人按添加联系人的规则加入，本机的联系人上传）。\n"
            "  --url URL                服务器或通讯录的地址（https://，或本机的 "
            "http://；只给域名时按 DNS 的 SRV 记录查找）；之后的同步沿用保存的设置\n"
            "  --user USER              服务器上的用户名\n"
            "  --book HREF              服务器上有几个通讯录时选一个（不给出则列出它们）\n"
            "  --server-password-stdin  从标准输入读服务器密码；否则用桌面密码保管服务中的，\n"
            "                           或有密码的通讯录中保存的，都没有时在终端上询问\n"
            "  --password-stdin         从标准输入读通讯录密码（两者都给出时：先通讯录密码，再服务器密码）\n"
            "设置保存在通讯录中；服务器接受的密码保存在桌面的密码保管服务中，没有时加密保存在有密码的通讯录中"
            "。\n"
            "同一个通讯录同时只能有一个同步（窗口中的或 wab sync）。\n"
            "STORE 缺省为 ./wab.vdb。退出码：0 完成，1 同步出错或被拒绝，2 用法错误或无法打开通讯录。"),
        {{syncoption::url, true},
         {syncoption::user, true},
         {syncoption::book, true},
         {syncoption::serverPasswordStdin, false},
         {QStringLiteral("password-stdin"), false}},
        1,
        runSyncProgram};
}

} // namespace wab
