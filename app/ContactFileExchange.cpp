#include "app/ContactFileExchange.h"

#include "app/MainWindow.h"
#include "app/MenuPictures.h"
#include "contacts/ContactRules.h"
#include "contacts/Session.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Progress.h"

#include <QAction>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace quennet {

namespace {

const QString kImportTitle = QStringLiteral("导入联系人");
const QString kExportTitle = QStringLiteral("导出联系人");

// The export dialog's filters, in the order of exportFormats.
const QString kExportFilter =
    QStringLiteral("vCard 3.0 名片（手机、电脑）|*.vcf|vCard 2.1 名片（老手机）|*.vcf|"
                   "CSV 表格（UTF-8，Excel、WPS）|*.csv|CSV 表格（GB18030）|*.csv");
const exchange::ContactFormat kExportFormats[] = {
    exchange::ContactFormat::VCard30, exchange::ContactFormat::VCard21, exchange::ContactFormat::CsvUtf8,
    exchange::ContactFormat::CsvGb18030};

QStringList droppedContactFiles(const QMimeData *mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile() && exchange::isContactFileName(url.toLocalFile()))
            files << url.toLocalFile();
    return files;
}

} // namespace

ContactFileExchange::ContactFileExchange(MainWindow &window) : QObject(&window), m_window(window)
{
    setObjectName(QStringLiteral("联系人文件"));
    QMenu *menu = window.联系人;
    menu->addSeparator();
    导入联系人 = menu->addAction(window.menuPictures->picture(3), QStringLiteral("导入联系人…"));
    导入联系人->setObjectName(QStringLiteral("导入联系人…"));
    导出联系人 = menu->addAction(window.menuPictures->picture(2), QStringLiteral("导出联系人…"));
    导出联系人->setObjectName(QStringLiteral("导出联系人…"));
    connect(导入联系人, &QAction::triggered, this, &ContactFileExchange::importContacts);
    connect(导出联系人, &QAction::triggered, this, &ContactFileExchange::exportContacts);
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

bool ContactFileExchange::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_window)
        return false;
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!droppedContactFiles(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
    } else if (event->type() == QEvent::Drop) {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList files = droppedContactFiles(drop->mimeData());
        if (!files.isEmpty()) {
            drop->acceptProposedAction();
            for (const QString &file : files)
                importFile(file);
            return true;
        }
    }
    return false;
}

void ContactFileExchange::importContacts()
{
    if (m_window.refusedWhileEditing())
        return;
    ui::FileDialog dialog;
    dialog.title = kImportTitle;
    dialog.filter =
        QStringLiteral("名片和表格 (*.vcf;*.vcard;*.csv)|*.vcf;*.vcard;*.csv|"
                       "vCard 名片 (*.vcf;*.vcard)|*.vcf;*.vcard|CSV 表格 (*.csv)|*.csv|所有文件 (*.*)|*.*");
    if (dialog.showOpen(&m_window))
        importFile(dialog.fileName);
}

void ContactFileExchange::importFile(const QString &path)
{
    if (m_window.refusedWhileEditing())
        return;
    Session &session = m_window.session();
    exchange::ImportReport report;
    {
        const MainWindow::FollowingPaused paused(m_window);
        ui::Progress progress(&m_window, kImportTitle,
                              QStringLiteral("正在导入 %1 …").arg(QFileInfo(path).fileName()));
        report = exchange::importContactFile(session.store, path, [&progress](qint64 done, qint64 total) {
            return progress.update(done, total);
        });
    }
    if (report.added > 0) {
        m_window.contactsChanged();
        m_window.refillList();
        m_window.showList();
    }
    ui::messageBoxWithDetails(&m_window, exchange::importSummaryText(report), kImportTitle,
                              report.succeeded() ? ui::Style::OkInformation : ui::Style::OkStop,
                              exchange::importDetailsText(report));
}

void ContactFileExchange::exportContacts()
{
    ui::FileDialog dialog;
    dialog.title = kExportTitle;
    dialog.filter = kExportFilter;
    dialog.defaultExtension = QStringLiteral("vcf");
    dialog.fileName = QStringLiteral("通讯录.vcf");
    if (!dialog.showSave(&m_window))
        return;
    const int index = qBound(0, dialog.filterIndex, int(std::size(kExportFormats)) - 1);
    Session &session = m_window.session();
    QString why;
    if (!exchange::exportContacts(dialog.fileName, session.store, kExportFormats[index], &why)) {
        QString text = QStringLiteral("导出联系人失败！\r\n无法写入文件：%1").arg(dialog.fileName);
        if (!why.isEmpty())
            text += QStringLiteral("\r\n") + why;
        ui::messageBox(&m_window, text, kExportTitle, ui::Style::OkStop);
        return;
    }
    ui::messageBox(
        &m_window,
        QStringLiteral("已导出 %1 个联系人到：\r\n%2").arg(session.store.recordCount()).arg(dialog.fileName),
        kExportTitle, ui::Style::OkInformation);
}

} // namespace quennet
