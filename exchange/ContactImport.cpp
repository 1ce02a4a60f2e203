#include "exchange/ContactImport.h"

#include "contacts/BatchAdding.h"
#include "contacts/Gbk.h"
#include "contacts/store/ContactStore.h"
#include "exchange/CsvReader.h"
#include "exchange/VCardReader.h"

#include <QFile>
#include <QFileInfo>

namespace quennet::exchange {

namespace {

constexpr int kProgressEvery = 512;

QString reasonText(rules::Check check)
{
    switch (check) {
    case rules::Check::EmptyName:
        return QStringLiteral("没有姓名");
    case rules::Check::DuplicateName:
        return QStringLiteral("已经存在相同姓名的联系人");
    case rules::Check::DuplicatePhone:
        return QStringLiteral("已经存在相同电话的联系人");
    case rules::Check::DuplicateMobile:
        return QStringLiteral("已经存在相同手机的联系人");
    case rules::Check::MobileLength:
        return QStringLiteral("手机号码不是11位");
    case rules::Check::DuplicateQQ:
        return QStringLiteral("已经存在相同QQ的联系人");
    case rules::Check::QQLength:
        return QStringLiteral("QQ号码大于9位");
    case rules::Check::Ok:
        break;
    }
    return QString();
}

bool fitsTheStore(const rules::ContactInput &input)
{
    for (const QString *value :
         {&input.name, &input.phone, &input.mobile, &input.qq, &input.email, &input.address})
        if (value->size() * 3 > kMaxFieldBytes && value->toUtf8().size() > kMaxFieldBytes)
            return false;
    return true;
}

QString listedName(const QString &name)
{
    if (name.size() <= kMaxListedNameLength)
        return name;
    return name.left(kMaxListedNameLength) + QStringLiteral("…");
}

void skip(ImportReport &report, const ReadContact &contact, const QString &reason)
{
    ++report.skippedCount;
    ++report.skippedByReason[reason];
    if (report.skipped.size() < kMaxListedSkipped)
        report.skipped.append({contact.number, listedName(contact.fields.name), reason});
}

// The store holds no mobile but of 11 digits and no QQ of more than 9: the
// contact comes in without such a number, and the report says so.
void leaveOutWhatCannotBeStored(ReadContact &contact, QMap<QString, int> &dropped)
{
    rules::ContactInput &f = contact.fields;
    if (!f.mobile.isEmpty() && gbk::length(f.mobile) != rules::kMobileLength) {
        if (f.phone.isEmpty()) {
            f.phone = f.mobile;
        } else {
            contact.leftOut.prepend(QStringLiteral("手机 ") + f.mobile);
            ++dropped[QStringLiteral("手机")];
        }
        f.mobile.clear();
    }
    if (gbk::length(f.qq) > rules::kMaxQQLength) {
        contact.leftOut.prepend(QStringLiteral("QQ ") + f.qq);
        ++dropped[QStringLiteral("QQ")];
        f.qq.clear();
    }
}

// A hostile card of thousands of properties lists a few of them.
constexpr qsizetype kMaxListedLeftOut = 20;

void notePartly(ImportReport &report, const ReadContact &contact)
{
    if (contact.leftOut.isEmpty())
        return;
    ++report.partlyCount;
    if (report.partly.size() >= kMaxListedPartly)
        return;
    QStringList leftOut = contact.leftOut.mid(0, kMaxListedLeftOut);
    if (contact.leftOut.size() > kMaxListedLeftOut)
        leftOut << QStringLiteral("等 %1 项").arg(contact.leftOut.size());
    report.partly.append({contact.number, listedName(contact.fields.name), leftOut});
}

bool storeHasRoom(const ContactStore &store, const rules::BatchAdding &batch)
{
    return qint64(store.recordCount()) + batch.acceptedCount() < kMaxRecords;
}

QString lines(const QStringList &list)
{
    return list.join(QStringLiteral("\r\n"));
}

} // namespace

bool isContactFileName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard") ||
           suffix == QLatin1String("csv");
}

std::optional<ContactFileKind> contactFileKind(const QString &path, QIODevice &in)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return ContactFileKind::VCard;
    if (suffix == QLatin1String("csv"))
        return ContactFileKind::Csv;
    const QByteArray head = in.peek(4096);
    if (looksLikeVCard(head))
        return ContactFileKind::VCard;
    if (head.contains(',') || head.contains('\t') || head.contains(';'))
        return ContactFileKind::Csv;
    return std::nullopt;
}

ImportReport importContacts(ContactStore &store, QIODevice &in, ContactFileKind kind,
                            const ImportProgress &progress)
{
    ImportReport report;
    QMap<QString, int> notStored; // numbers the readers gave that the store cannot hold
    rules::BatchAdding batch(store);
    const qint64 total = in.isSequential() ? 0 : in.size();
    const ContactSink sink = [&](ReadContact &&contact) {
        ++report.read;
        if (contact.cut || !fitsTheStore(contact.fields)) {
            skip(report, contact, QStringLiteral("内容过长"));
        } else if (!storeHasRoom(store, batch)) {
            report.writeFailed = true;
            report.writeError = StoreError::OverCapacity;
            return false;
        } else {
            leaveOutWhatCannotBeStored(contact, notStored);
            const rules::Check check = batch.offer(contact.fields);
            if (check != rules::Check::Ok)
                skip(report, contact, reasonText(check));
            else
                notePartly(report, contact);
        }
        if (progress && report.read % kProgressEvery == 0 && !progress(in.pos(), total)) {
            report.cancelled = true;
            return false;
        }
        return true;
    };
    const ReadSummary summary = kind == ContactFileKind::VCard ? readVCards(in, sink) : readCsv(in, sink);
    report.dropped = summary.dropped;
    for (auto it = notStored.cbegin(); it != notStored.cend(); ++it)
        report.dropped[it.key()] += it.value();
    report.encoding = summary.encoding;
    if (summary.refused) {
        report.refused = true;
        report.refusal = summary.refusal;
        return report;
    }
    if (report.writeFailed)
        return report;
    if (report.cancelled || (progress && !progress(total, total))) {
        report.cancelled = true;
        return report;
    }
    if (batch.acceptedCount() > 0 && !batch.commit(store)) {
        report.writeFailed = true;
        report.writeError = store.lastError();
        return report;
    }
    report.added = batch.acceptedCount();
    return report;
}

ImportReport importContactFile(ContactStore &store, const QString &path, const ImportProgress &progress)
{
    ImportReport report;
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        report.refused = true;
        report.refusal = QStringLiteral("无法打开文件：%1").arg(file.errorString());
        return report;
    }
    const std::optional<ContactFileKind> kind = contactFileKind(path, file);
    if (!kind) {
        report.refused = true;
        report.refusal = QStringLiteral("这不是 vCard 或 CSV 文件。");
        return report;
    }
    return importContacts(store, file, *kind, progress);
}

QString importSummaryText(const ImportReport &report)
{
    if (report.refused)
        return QStringLiteral("无法导入联系人：") + report.refusal;
    if (report.cancelled)
        return QStringLiteral("导入已取消，没有写入任何联系人。");
    if (report.writeFailed) {
        // The store's reason on a line of its own: a lock held by another
        // program, say, asks for another try later.
        const QString failed = QStringLiteral("导入联系人失败！写入通讯录时出错，没有写入任何联系人。");
        const QString why = storeErrorText(report.writeError);
        return why.isEmpty() ? failed : lines({failed, why});
    }
    QStringList out;
    out << QStringLiteral("已导入 %1 个联系人，跳过 %2 个。").arg(report.added).arg(report.skippedCount);
    for (auto it = report.skippedByReason.cbegin(); it != report.skippedByReason.cend(); ++it)
        out << QStringLiteral("　%1：%2 个").arg(it.key()).arg(it.value());
    if (!report.dropped.isEmpty()) {
        int total = 0;
        QStringList names;
        for (auto it = report.dropped.cbegin(); it != report.dropped.cend(); ++it) {
            total += it.value();
            names << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        }
        out << QStringLiteral("另有 %1 项内容在通讯录中没有对应的字段，未导入（%2）。")
                   .arg(total)
                   .arg(names.join(QStringLiteral("、")));
    }
    if (!report.encoding.isEmpty())
        out << QStringLiteral("文件编码：%1").arg(report.encoding);
    return lines(out);
}

QString importDetailsText(const ImportReport &report)
{
    QStringList out;
    for (const SkippedContact &s : report.skipped) {
        const QString who = s.name.isEmpty() ? QStringLiteral("（无姓名）") : s.name;
        out << QStringLiteral("第 %1 个 %2：%3").arg(s.number).arg(who, s.reason);
    }
    if (report.skippedCount > report.skipped.size())
        out << QStringLiteral("……另有 %1 个跳过的联系人没有列出。")
                   .arg(report.skippedCount - report.skipped.size());
    for (const PartlyImported &p : report.partly) {
        const QString who = p.name.isEmpty() ? QStringLiteral("（无姓名）") : p.name;
        out << QStringLiteral("第 %1 个 %2：已导入，未导入的内容：%3")
                   .arg(p.number)
                   .arg(who, p.leftOut.join(QStringLiteral("、")));
    }
    if (report.partlyCount > report.partly.size())
        out << QStringLiteral("……另有 %1 个联系人的部分内容未导入，没有列出。")
                   .arg(report.partlyCount - report.partly.size());
    return lines(out);
}

} // namespace quennet::exchange
