#include "settings/DataWindow.h"

#include "contacts/Maintenance.h"
#include "contacts/Session.h"
#include "exchange/AtomicFile.h"
#include "exchange/ExcelDocument.h"
#include "export/ExportDataWindow.h"
#include "export/ExportWebWindow.h"
#include "ui/Controls.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

namespace quennet {

namespace {
const QString kNotTheStoreFile = QStringLiteral("不能导出到通讯录文件本身！\r\n请另选一个文件名。");
}

DataWindow::DataWindow(Session &session, QWidget *parent)
    : ui::SkinnedWindow(session, QStringLiteral("数据管理窗口"), parent)
{
    hintLabel =
        new ui::TransparentLabel(this, QStringLiteral("透明标签1"),
                                 QStringLiteral("使用前最好请点上面的“？”哦！"), QRect(30, 35, 175, 16));
    excelOption = makeOption(QStringLiteral("单选框1"), QStringLiteral("导出通讯录数据到Excel文件"),
                             QRect(7, 58, 196, 21));
    webPageOption = makeOption(QStringLiteral("单选框2"), QStringLiteral("导出通讯录数据到高级网页文件"),
                               QRect(8, 80, 196, 21));
    pageOrTextOption = makeOption(QStringLiteral("单选框3"), QStringLiteral("导出通讯录数据到网页或文本"),
                                  QRect(8, 102, 196, 21));
    backupOption =
        makeOption(QStringLiteral("单选框4"), QStringLiteral("※备份通讯录数据※"), QRect(8, 124, 196, 21));
    clearOption =
        makeOption(QStringLiteral("单选框5"), QStringLiteral("***清空通讯录数据***"), QRect(8, 146, 196, 21));
    确定按钮 = makeConfirmButton();

    通用对话框 = new ui::FileDialog(this);
    通用对话框->setObjectName(QStringLiteral("通用对话框"));

    setTabOrder(excelOption, webPageOption);
    setTabOrder(webPageOption, pageOrTextOption);
    setTabOrder(pageOrTextOption, backupOption);
    setTabOrder(backupOption, clearOption);
    setTabOrder(clearOption, 确定按钮);

    connect(确定按钮, &QPushButton::clicked, this, &DataWindow::确定按钮_clicked);
}

QRadioButton *DataWindow::makeOption(const QString &name, const QString &caption, const QRect &geometry)
{
    // All five share this window as parent, so they exclude each other.
    auto *option = new QRadioButton(caption, this);
    option->setObjectName(name);
    option->setGeometry(geometry);
    return option;
}

int DataWindow::run(Session &session, QWidget *parent)
{
    DataWindow window(session, parent);
    window.created();
    return ui::execModal(&window);
}

void DataWindow::created()
{
    setUpSkinnedWindow();
    excelOption->setChecked(true);
}

void DataWindow::确定按钮_clicked()
{
    // The Excel export lets the window repaint while it writes; an activation
    // that still gets through then (accessibility, say) must not start another.
    if (m_running)
        return;
    const QScopedValueRollback<bool> running(m_running, true);
    if (excelOption->isChecked())
        exportExcelFile();
    else if (webPageOption->isChecked())
        exportWebPage();
    else if (pageOrTextOption->isChecked())
        exportPageOrText();
    else if (backupOption->isChecked())
        backUpStore();
    else if (clearOption->isChecked())
        clearStore();
}

void DataWindow::exportExcelFile()
{
    // The workbook is read from the store file itself, so the store is closed
    // meanwhile; a store with a password cannot be read that way.
    m_session.store.close();
    通用对话框->filter = QStringLiteral("Excel文件(*.xls)|*.xls");
    通用对话框->defaultExtension = QStringLiteral("*.xls");
    通用对话框->initialDirectory = m_session.dir.path();
    if (通用对话框->showSave(this))
        writeWorkbook(通用对话框->fileName);
    reopenStore();
    accept();
}

void DataWindow::writeWorkbook(const QString &destination)
{
    if (exchange::isSameFile(destination, m_session.dir.storeFile())) {
        ui::messageBox(this, kNotTheStoreFile, QStringLiteral("温馨提示"), ui::Style::OkStop);
        return;
    }
    // Repaints between the records; clicks and keys wait until it is done.
    const auto repaint = [](int, int) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    if (exchange::exportStoreToExcel(m_session.dir.storeFile(), destination,
                                     exchange::RecordSelection::wholeStore(), repaint))
        ui::messageBox(this, QStringLiteral("导出Excel文件成功！"), QStringLiteral("温馨提示"),
                       ui::Style::OkInformation);
    else
        ui::messageBox(this,
                       QStringLiteral("导出Excel文件失败！\r\n请确认是否存在密码？\r\n"
                                      "如果存在密码，请先将密码设置为空！"),
                       QStringLiteral("温馨提示"), ui::Style::OkStop);
}

void DataWindow::reopenStore()
{
    if (!m_session.store.isOpen() &&
        !m_session.store.open(m_session.dir.storeFile(), m_session.loginCredential))
        ui::messageBox(this, QStringLiteral("无法重新打开通讯录：%1").arg(m_session.dir.storeFile()),
                       QStringLiteral("温馨提示"), ui::Style::OkStop);
}

void DataWindow::exportWebPage()
{
    // The export window opens the store file itself for each build.
    m_session.store.close();
    ExportWebWindow::run(m_session, this, m_session.dir.storeFile(), m_session.loginCredential);
    reopenStore();
    accept();
}

void DataWindow::exportPageOrText()
{
    ExportDataWindow::run(m_session, this);
    accept();
}

void DataWindow::backUpStore()
{
    通用对话框->filter = maintenance::backupFilter();
    通用对话框->defaultExtension = maintenance::backupDefaultExtension();
    通用对话框->initialDirectory = m_session.dir.path();
    通用对话框->fileName = m_session.dir.backupFile();
    // A cancelled dialog ends the option; the window stays open.
    if (!通用对话框->showSave(this))
        return;
    if (!maintenance::backUp(m_session.store, 通用对话框->fileName)) {
        ui::showMessage(this, maintenance::backupFailed());
        return;
    }
    ui::showMessage(this, maintenance::backupSucceeded());
    finish(OptionDone);
}

void DataWindow::clearStore()
{
    if (ui::showMessage(this, maintenance::clearFirstConfirmation()) != ui::AnswerYes)
        return;
    if (ui::showMessage(this, maintenance::clearSecondConfirmation()) != ui::AnswerOk)
        return;
    if (!maintenance::clearAll(m_session.store)) {
        ui::showMessage(this, maintenance::clearFailed());
        return;
    }
    ui::showMessage(this, maintenance::clearSucceeded());
    finish(StoreCleared);
}

void DataWindow::finish(Outcome outcome)
{
    done(outcome);
}

QString DataWindow::helpText() const
{
    return QStringLiteral("为了满足用户的需求，本软件支持将数据库导出到以下文件：\r\n"
                          "\r\n"
                          "（1）导出到Excel文件格式(.xls)\r\n"
                          "若存在密码，导出前请先将密码设置为空！否则会导出失败哦！\r\n"
                          "\r\n"
                          "（2）导出到高级网页文件(支持html、asp、php等网页格式)\r\n"
                          "\r\n"
                          "（3）导出到html网页及txt文本格式(美观性较好！)\r\n"
                          "\r\n"
                          "其它额外功能：\r\n"
                          "\r\n"
                          "（4）将数据库文件备份为.bak文件：\r\n"
                          "若万一数据库损坏，则可用备份文件将数据还原到备份数据时的状态！\r\n"
                          "恢复时只要进入软件安装目录，把数据库文件“wab.vdb”文件删除！\r\n"
                          "然后将“wab.bak”改为“wab.vdb”即可！ 请谨慎使用此功能哦！\r\n"
                          "\r\n"
                          "（5）清空通讯录数据库，即删除所有联系人信息！请谨慎使用哦！");
}

} // namespace quennet
