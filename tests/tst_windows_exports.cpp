// The Excel option and the text / simple web page option of the data
// management window, driven through the windows: files written, messages,
// the store closed and reopened, the cursor put back.

#include "contacts/Gbk.h"
#include "exchange/ExcelDocument.h"
#include "exchange/TextAndHtmlExport.h"
#include "export/ExportDataWindow.h"
#include "export/ExportWebWindow.h"
#include "export/UpDownControl.h"
#include "settings/DataWindow.h"
#include "support/DataRows.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "support/ProgramDirectory.h"
#include "support/Sessions.h"
#include "support/StoreFiles.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace quennet;

namespace {

QByteArray crlfLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines)
        out += gbk::encode(line) + "\r\n";
    return out;
}

QList<QStringList> contacts()
{
    return {test::Person("朱镕基").mobile("13900000001").phone("007"),
            test::Person("<b>王喆").mobile("13900000002").qq("12345").email("a&b@x.cn"),
            test::Person("陈堃").mobile("13900000003").address("北京  \"东城\""),
            test::Person("李四").mobile("13900000004"), test::Person("张三").mobile("13900000005")};
}

// Selects the option in the data management window and presses 确定按钮.
void chooseDataOption(const QString &option)
{
    ui::ModalScript::setNextHandler([option](QDialog *shown) {
        shown->findChild<QRadioButton *>(option)->click();
        shown->findChild<QPushButton *>(QStringLiteral("确定按钮"))->click();
    });
}

} // namespace

class WindowsExportsTest : public QObject {
    Q_OBJECT

    test::Sessions m_sessions;

    // A program directory whose store holds the five contacts, opened as the
    // login leaves it (with loginPassword).
    std::unique_ptr<Session> loggedIn(const QString &loginPassword = QString())
    {
        return m_sessions.loggedIn(loginPassword, contacts());
    }

    static QByteArray expectedExcel(const ContactStore &store)
    {
        QStringList names;
        for (int pos = 1; pos <= store.fieldCount(); ++pos)
            names << store.fieldName(pos);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        exchange::writeExcelDocument(buffer, names, contacts());
        return buffer.data();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_sessions.isValid());
        test::initWindowTests();
    }

    void init() { ui::clearTestScripts(); }

    void excelOption_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("chosen");  // empty: the dialog is cancelled
        QTest::addColumn<QString>("message"); // empty: none
        QTest::addColumn<int>("style");
        const QString failed = QStringLiteral(
            "导出Excel文件失败！\r\n请确认是否存在密码？\r\n如果存在密码，请先将密码设置为空！");
        QTest::newRow("written") << QString() << QStringLiteral("通讯录")
                                 << QStringLiteral("导出Excel文件成功！") << 0x40;
        QTest::newRow("store with a password")
            << QStringLiteral("pw") << QStringLiteral("通讯录.xls") << failed << 0x10;
        QTest::newRow("cancelled") << QString() << QString() << QString() << 0;
        QTest::newRow("destination cannot be written")
            << QString() << QStringLiteral("wab.vdb/x.xls") << failed << 0x10;
        QTest::newRow("the store file itself")
            << QString() << QStringLiteral("wab.vdb")
            << QStringLiteral("不能导出到通讯录文件本身！\r\n请另选一个文件名。") << 0x10;
    }

    void excelOption()
    {
        QFETCH(QString, password);
        QFETCH(QString, chosen);
        QFETCH(QString, message);
        QFETCH(int, style);
        const bool written = style == 0x40;
        auto session = loggedIn(password);
        QVERIFY(session);
        const QByteArray expected = expectedExcel(session->store);
        session->store.goTo(4);

        chooseDataOption(QStringLiteral("单选框1"));
        ui::FileDialog::setNextFileName(chosen);
        QCOMPARE(DataWindow::run(*session, nullptr), int(QDialog::Accepted));

        const ui::FileDialog *dialog = ui::FileDialog::lastShown();
        QVERIFY(ui::FileDialog::lastShownWasSave());
        QCOMPARE(dialog->filter, QStringLiteral("Excel文件(*.xls)|*.xls"));
        QCOMPARE(dialog->initialDirectory, session->dir.path());
        QCOMPARE(dialog->fileName, QString());

        const QString destination = session->dir.file(QStringLiteral("通讯录.xls"));
        QCOMPARE(QFile::exists(destination), written);
        if (written)
            QCOMPARE(test::readAll(destination), expected);
        QCOMPARE(test::shownMessages(),
                 message.isEmpty() ? QStringList() : QStringList{test::tip(message, style)});
        // Reopened with the login password in every case; nothing left beside it.
        QVERIFY(session->store.isOpen());
        QCOMPARE(session->store.recordCount(), 5);
        QCOMPARE(session->store.recordNumber(), 1);
        QCOMPARE(QDir(session->dir.path()).entryList(QDir::Files).size(), written ? 2 : 1);
    }

    void excelOptionKeepsAnExistingFileOnFailure()
    {
        auto session = loggedIn(QStringLiteral("pw"));
        QVERIFY(session);
        const QString destination = session->dir.file(QStringLiteral("old.xls"));
        QVERIFY(test::writeAll(destination, "old workbook"));
        chooseDataOption(QStringLiteral("单选框1"));
        ui::FileDialog::setNextFileName(destination);
        DataWindow::run(*session, nullptr);
        QCOMPARE(test::readAll(destination), QByteArray("old workbook"));
    }

    void dataExport_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("nameLine");
        QTest::addColumn<int>("first"); // 0: all records
        QTest::addColumn<int>("last");
        QTest::addColumn<bool>("includeMarked");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("tab, all, marked left out")
            << 0 << QStringLiteral("制表符") << false << 0 << 0 << false
            << QStringList{QStringLiteral("朱镕基\t007\t13900000001\t\t\t"),
                           QStringLiteral("<b>王喆\t\t13900000002\t12345\ta&b@x.cn\t"),
                           QStringLiteral("李四\t\t13900000004\t\t\t"),
                           QStringLiteral("张三\t\t13900000005\t\t\t")};
        QTest::newRow("empty separator, names, backwards range, marked included")
            << 0 << QString() << true << 4 << 2 << true
            << QStringList{QStringLiteral("姓名 电话 手机 QQ Email 地址"),
                           QStringLiteral("<b>王喆  13900000002 12345 a&b@x.cn "),
                           QStringLiteral("陈堃  13900000003   北京  \"东城\""),
                           QStringLiteral("李四  13900000004   ")};
        QTest::newRow("typed separator used whole")
            << 0 << QStringLiteral("--") << false << 1 << 1 << false
            << QStringList{QStringLiteral("朱镕基--007--13900000001------")};
        QTest::newRow("html, range") << 1 << QString() << true << 2 << 3 << false
                                     << QStringList{QStringLiteral("&lt;b&gt;王喆")};
    }

    void dataExport()
    {
        QFETCH(int, type);
        QFETCH(QString, separator);
        QFETCH(bool, nameLine);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(bool, includeMarked);
        QFETCH(QStringList, lines);
        auto session = loggedIn();
        QVERIFY(session);
        session->store.goTo(3);
        QVERIFY(session->store.markDeleted());
        session->store.goTo(2);
        const QString output =
            session->dir.file(type == 0 ? QStringLiteral("wab.txt") : QStringLiteral("wab.htm"));
        // A longer old file leaves nothing behind.
        QVERIFY(test::writeAll(output, QByteArray(5000, 'x')));

        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *window = qobject_cast<ExportDataWindow *>(shown);
            window->类型组合框->setCurrentIndex(type);
            window->分割组合框->setEditText(separator);
            window->字段选择框->setChecked(nameLine);
            window->所有选择框->setChecked(includeMarked);
            if (first > 0) {
                window->指定行单选框->click();
                window->首行编辑框->setValue(first);
                window->尾行编辑框->setValue(last);
            }
            window->开始按钮->click();
        });
        QCOMPARE(ExportDataWindow::run(*session, nullptr), int(QDialog::Accepted));
        QCOMPARE(test::lastMessage(), test::notice(QStringLiteral("数据导出成功")));
        QCOMPARE(session->store.recordNumber(), 2);

        const QByteArray bytes = test::readAll(output);
        if (type == 0) {
            QCOMPARE(bytes, crlfLines(lines));
            return;
        }
        // The page: the information line counts written records, the 序号
        // column stays consecutive over the left-out marked record.
        QVERIFY(bytes.startsWith("<html>\r\n"));
        QVERIFY(bytes.endsWith("</body></html>\r\n"));
        QVERIFY(bytes.contains(gbk::encode(QStringLiteral("输出记录:1条&nbsp; &nbsp; &nbsp; 生成日期:") +
                                           exchange::htmlExportDate(QDate::currentDate()) + "\r\n")));
        QVERIFY(bytes.contains(gbk::encode(lines.first())));
        QVERIFY(bytes.contains("<td bgcolor=#A8B5FD align=center>1</td>"));
        QVERIFY(!bytes.contains("<td bgcolor=#A8B5FD align=center>2</td>"));
        QVERIFY(!bytes.contains("xxx"));
    }

    void dataExportWritesTheChosenFieldsInListOrder()
    {
        auto session = loggedIn();
        QVERIFY(session);
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *window = qobject_cast<ExportDataWindow *>(shown);
            window->全删按钮->click();
            window->可选列表框->setCurrentRow(2);
            window->增加按钮->click();
            window->调节器->upButton()->click(); // 手机 before 姓名
            window->字段选择框->setChecked(true);
            window->分割组合框->setEditText(QStringLiteral(","));
            window->开始按钮->click();
        });
        QCOMPARE(ExportDataWindow::run(*session, nullptr), int(QDialog::Accepted));
        QCOMPARE(test::readAll(session->dir.file(QStringLiteral("wab.txt"))),
                 crlfLines({QStringLiteral("手机,姓名"), QStringLiteral("13900000001,朱镕基"),
                            QStringLiteral("13900000002,<b>王喆"), QStringLiteral("13900000003,陈堃"),
                            QStringLiteral("13900000004,李四"), QStringLiteral("13900000005,张三")}));
    }

    void dataExportFailureKeepsTheWindowOpen_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("message");
        QTest::newRow("cannot be written")
            << QStringLiteral("wab.vdb/out.txt") << QStringLiteral("数据导出失败！");
        QTest::newRow("the store file itself")
            << QStringLiteral("wab.vdb")
            << QStringLiteral("不能导出到通讯录文件本身！\r\n请另选一个文件名。");
    }

    void dataExportFailureKeepsTheWindowOpen()
    {
        QFETCH(QString, output);
        QFETCH(QString, message);
        auto session = loggedIn();
        QVERIFY(session);
        session->store.goTo(5);
        bool stillOpen = false;
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *window = qobject_cast<ExportDataWindow *>(shown);
            window->路径编辑框->setText(session->dir.file(output));
            window->开始按钮->click();
            stillOpen = window->isVisible();
            window->取消按钮->click();
        });
        ExportDataWindow::run(*session, nullptr);
        QVERIFY(stillOpen);
        QCOMPARE(test::lastMessage(), test::notice(message, 0x10));
        QCOMPARE(session->store.recordNumber(), 5);
        session->store.close();
        QVERIFY(session->store.open(session->dir.storeFile()));
        QCOMPARE(session->store.recordCount(), 5);
    }

    void exportsOfAProtectedStoreArePrivate_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("how");
        for (const char *how : {"text", "html", "web page saved", "web page previewed"}) {
            QTest::addRow("%s, password", how) << QStringLiteral("pw") << QString::fromLatin1(how);
            QTest::addRow("%s, no password", how) << QString() << QString::fromLatin1(how);
        }
    }

    // Under umask 000: 0600 with a password, 0666 without.
    void exportsOfAProtectedStoreArePrivate()
    {
        QFETCH(QString, password);
        QFETCH(QString, how);
        const test::UmaskScope scope(0);
        auto session = loggedIn(password);
        QVERIFY(session);
        QString written =
            session->dir.file(how == "html" ? QStringLiteral("wab.htm") : QStringLiteral("wab.txt"));
        if (how == "text" || how == "html") {
            ui::ModalScript::setNextHandler([&](QDialog *shown) {
                auto *window = qobject_cast<ExportDataWindow *>(shown);
                window->类型组合框->setCurrentIndex(how == "html" ? 1 : 0);
                window->开始按钮->click();
            });
            ExportDataWindow::run(*session, nullptr);
        } else {
            const bool saved = how == "web page saved";
            written = saved ? session->dir.file(QStringLiteral("page.htm")) : session->dir.previewFile();
            ui::FileDialog::setNextFileName(written);
            ui::ModalScript::setNextHandler([&](QDialog *shown) {
                auto *window = qobject_cast<ExportWebWindow *>(shown);
                (saved ? window->saveButton : window->previewButton)->click();
                if (!saved)
                    window->cancelButton->click();
            });
            session->store.close();
            ExportWebWindow::run(*session, nullptr, session->dir.storeFile(), session->loginCredential);
        }
        QCOMPARE(test::permissionsOf(written), password.isEmpty() ? 0666u : 0600u);
    }

    void textOptionClosesTheDataWindow_data() { test::addFlagRows("empty", "no records", "records"); }

    void textOptionClosesTheDataWindow()
    {
        QFETCH(bool, empty);
        auto session = loggedIn();
        QVERIFY(session);
        if (empty)
            QVERIFY(session->store.clear());
        chooseDataOption(QStringLiteral("单选框3"));
        QCOMPARE(DataWindow::run(*session, nullptr), int(QDialog::Accepted));
        QCOMPARE(ui::ModalScript::shownNames(),
                 empty ? QStringList{QStringLiteral("数据管理窗口")}
                       : (QStringList{QStringLiteral("数据管理窗口"), QStringLiteral("导出数据窗口")}));
        QCOMPARE(ui::MessageBoxScript::shown().size(), empty ? 1 : 0);
        QVERIFY(session->store.isOpen());
    }
};

QTEST_MAIN(WindowsExportsTest)
#include "tst_windows_exports.moc"
