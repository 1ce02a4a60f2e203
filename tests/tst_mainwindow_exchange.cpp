// Importing and exporting vCard and CSV files in the main window: the two
// menu items, dropped files, the progress with cancel, the report and the
// list refilled afterwards.

#include "app/ContactListModel.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "support/MainWindowFixture.h"
#include "support/Person.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Progress.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QUrl>

using namespace quennet;

namespace {

QByteArray cards(const QStringList &names)
{
    QByteArray out;
    for (const QString &name : names)
        out += QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:%1\r\nEND:VCARD\r\n").arg(name).toUtf8();
    return out;
}

// The main window on a store holding 张三 (no skins).
class Harness : public test::MainWindowFixture {
public:
    Harness() : MainWindowFixture({test::Person(QStringLiteral("张三"))}, false) { ui::clearTestScripts(); }

    QAction *item(const QString &name) { return window->findChild<QAction *>(name); }
    QString file(const QString &name, const QByteArray &bytes)
    {
        QFile f(home.file(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    QString path(const QString &name) const { return home.file(name); }
};

} // namespace

class MainWindowExchangeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::initWindowTests(); }

    void importReportsAndRefillsTheList()
    {
        Harness h;
        QVERIFY(h.ready());
        ui::FileDialog::setNextFileName(h.file(QStringLiteral("phone.vcf"), cards({"李四", "张三", "王五"})));
        h.item(QStringLiteral("导入联系人…"))->trigger();
        QCOMPARE(ui::FileDialog::lastShown()->title, QStringLiteral("导入联系人"));
        const ui::ShownMessage shown = ui::MessageBoxScript::last();
        QCOMPARE(shown.title, QStringLiteral("导入联系人"));
        QCOMPARE(shown.style, ui::Style::OkInformation);
        QVERIFY2(shown.text.startsWith(QStringLiteral("已导入 2 个联系人，跳过 1 个。")),
                 qPrintable(shown.text));
        QCOMPARE(shown.details, QStringLiteral("第 2 个 张三：已经存在相同姓名的联系人"));
        QCOMPARE(h.w().listModel()->rowCount(), 3);
        QVERIFY(h.w().isListView());
        QCOMPARE(ui::Progress::shownTitles(), QStringList{QStringLiteral("导入联系人")});
    }

    void cancelledImportWritesNothing()
    {
        Harness h;
        QStringList names;
        for (int i = 0; i < 1500; ++i)
            names << QStringLiteral("人%1").arg(i);
        ui::Progress::setCancelAt(1);
        ui::FileDialog::setNextFileName(h.file(QStringLiteral("many.vcf"), cards(names)));
        h.item(QStringLiteral("导入联系人…"))->trigger();
        QCOMPARE(ui::MessageBoxScript::last().text, QStringLiteral("导入已取消，没有写入任何联系人。"));
        QCOMPARE(ui::MessageBoxScript::last().style, ui::Style::OkStop);
        QCOMPARE(h.session.store.recordCount(), 1);
    }

    void importIsRefusedWhileAdding()
    {
        Harness h;
        h.w().startAdding();
        ui::clearTestScripts();
        h.item(QStringLiteral("导入联系人…"))->trigger();
        QCOMPARE(ui::FileDialog::shownCount(), 0);
        QVERIFY(ui::MessageBoxScript::last().text.startsWith(QStringLiteral("您正处于添加联系人状态")));
    }

    void droppedFileIsImported()
    {
        Harness h;
        QMimeData mime;
        mime.setUrls(
            {QUrl::fromLocalFile(h.file(QStringLiteral("list.csv"), "姓名,手机\r\n赵六,13900000006\r\n")),
             QUrl::fromLocalFile(h.file(QStringLiteral("note.txt"), "x"))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&h.w(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&h.w(), &drop);
        QCOMPARE(h.session.store.recordCount(), 2);
        QCOMPARE(h.session.store.contactAt(2).values(), QStringList({"赵六", "", "13900000006", "", "", ""}));
        QCOMPARE(ui::MessageBoxScript::shown().size(), 1);
    }

    void exportWritesTheChosenFormat_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("vcard 3.0") << 0 << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\n");
        QTest::newRow("vcard 2.1") << 1 << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\n");
        QTest::newRow("csv") << 2 << QByteArray("\xEF\xBB\xBF姓名,电话,手机,QQ,Email,地址\r\n");
        QTest::newRow("csv gb18030") << 3 << QByteArray("\xD0\xD5\xC3\xFB,");
    }

    void exportWritesTheChosenFormat()
    {
        QFETCH(int, filter);
        QFETCH(QByteArray, start);
        Harness h;
        ui::FileDialog::setNextFileName(h.path(QStringLiteral("out")), filter);
        h.item(QStringLiteral("导出联系人…"))->trigger();
        QVERIFY(ui::FileDialog::lastShownWasSave());
        const QString written = h.path(filter < 2 ? QStringLiteral("out.vcf") : QStringLiteral("out.csv"));
        QFile f(written);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(written));
        QVERIFY(f.readAll().startsWith(start));
        QCOMPARE(ui::MessageBoxScript::last().style, ui::Style::OkInformation);
    }

    void failedExportIsReported()
    {
        Harness h;
        ui::FileDialog::setNextFileName(h.path(QStringLiteral("missing/dir/out.vcf")));
        h.item(QStringLiteral("导出联系人…"))->trigger();
        QCOMPARE(ui::MessageBoxScript::last().style, ui::Style::OkStop);
        QVERIFY(ui::MessageBoxScript::last().text.startsWith(QStringLiteral("导出联系人失败！")));
        QVERIFY(ui::MessageBoxScript::last().text.endsWith(QStringLiteral("\r\n文件夹不存在")));
    }
};

QTEST_MAIN(MainWindowExchangeTest)
#include "tst_mainwindow_exchange.moc"
