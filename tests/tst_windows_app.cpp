// The start window, the main window and the about window as loaded from
// their designs; the start sequence of the real executable.

#include "app/AboutWindow.h"
#include "app/ContactListModel.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/MenuPictures.h"
#include "contacts/Session.h"
#include "support/Processes.h"
#include "support/ProgramDirectory.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>

#include "support/DesignCheck.h"

using namespace quennet;
using designcheck::Designed;
using designcheck::kImage;
using designcheck::kLabel;
using designcheck::nextTabStop;

namespace {

// The main, login and about windows show every designed control, enabled.
void verifyControls(QWidget *window, const QList<Designed> &controls)
{
    designcheck::verifyControls(window, controls, designcheck::Shown::VisibleAndEnabled);
}

QImage pictureImage(const QIcon &icon)
{
    return icon.pixmap(QSize(16, 15)).toImage().convertToFormat(QImage::Format_ARGB32);
}

struct MenuItem {
    const char *caption;
    int picture; // -1: separator
};

void verifyMenu(QMenu *menu, const QList<MenuItem> &items, const MenuPictures *pictures)
{
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        QAction *action = actions.at(i);
        if (items[i].picture < 0) {
            QVERIFY(action->isSeparator());
            continue;
        }
        QCOMPARE(action->text(), QString::fromUtf8(items[i].caption));
        QVERIFY2(!action->icon().isNull(), items[i].caption);
        QCOMPARE(pictureImage(action->icon()), pictureImage(pictures->picture(items[i].picture)));
        if (action->isVisible())
            QVERIFY(action->isEnabled());
    }
}

template <class W> struct Owned {
    QPointer<W> window;
    explicit Owned(W *w) : window(w) {}
    ~Owned() { delete window.data(); }
    W *operator->() const { return window.data(); }
    W *get() const { return window.data(); }
};

} // namespace

class TestWindowsApp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        test::initWindowTests();
        for (int i = 0; i < MenuPictures::kCount; ++i)
            QVERIFY2(!QPixmap(MenuPictures::resourcePath(i)).isNull(),
                     qPrintable(MenuPictures::resourcePath(i)));
    }

    void init() { ui::clearTestScripts(); }

    void loginWindowDesign()
    {
        test::SessionHome home;
        Owned<LoginWindow> window(new LoginWindow(home.session));
        designcheck::verifyFrameless(window.get(), QStringLiteral("登录窗口"), QStringLiteral("登录窗口"),
                                     QSize(210, 205));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        verifyControls(window.get(),
                       {
                           {"透明标签2", kLabel, QRect(10, 1, 62, 24), QStringLiteral("登录窗口")},
                           {"透明标签1", kLabel, QRect(15, 70, 120, 18), QStringLiteral("请输入登录密码：")},
                           {"密码编辑框", "QLineEdit", QRect(15, 100, 180, 20), QString("")},
                           {"确定按钮", "QPushButton", QRect(60, 170, 80, 24), QStringLiteral("确  定")},
                           {"最小化", kImage, QRect(160, 2, 19, 19), QString()},
                           {"关闭按钮", kImage, QRect(185, 2, 19, 19), QString()},
                       });
        QCOMPARE(window->titleLabel->font().pixelSize(), 14);
        QCOMPARE(window->密码编辑框->echoMode(), QLineEdit::Password);
        const int maskChar = window->密码编辑框->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter,
                                                                    nullptr, window->密码编辑框);
        QCOMPARE(maskChar, int('*'));
        QCOMPARE(nextTabStop(window->密码编辑框), window->确定按钮);
        QCOMPARE(window->memoryTrimTimer->objectName(), QStringLiteral("时钟1"));
        QCOMPARE(window->memoryTrimTimer->interval(), 200);
        QVERIFY(window->memoryTrimTimer->isActive());
        QVERIFY(!window->windowIcon().isNull());
    }

    void mainWindowDesign()
    {
        test::SessionHome home;
        Owned<MainWindow> window(new MainWindow(home.session));
        designcheck::verifyFrameless(window.get(), QStringLiteral("主窗口"), QStringLiteral("通讯录"),
                                     QSize(360, 367));
        verifyControls(window.get(),
                       {
                           {"透明标签5", kLabel, QRect(8, 1, 72, 24), QStringLiteral("Quennet")},
                           {"最小化", kImage, QRect(165, 2, 19, 19), QString()},
                           {"关闭", kImage, QRect(185, 2, 19, 19), QString()},
                           {"姓名标签", kLabel, QRect(40, 35, 40, 16), QStringLiteral("姓 名：")},
                           {"姓名编辑框", "QLineEdit", QRect(88, 35, 60, 18), QString("")},
                           {"电话标签", kLabel, QRect(10, 65, 40, 16), QStringLiteral("电 话：")},
                           {"电话编辑框", "QLineEdit", QRect(55, 65, 145, 16), QString("")},
                           {"透明标签1", kLabel, QRect(10, 85, 40, 16), QStringLiteral("手 机：")},
                           {"手机编辑框", "QLineEdit", QRect(55, 85, 145, 16), QString("")},
                           {"透明标签2", kLabel, QRect(10, 105, 40, 16), QStringLiteral(" Q Q ：")},
                           {"QQ编辑框", "QLineEdit", QRect(55, 105, 145, 16), QString("")},
                           {"透明标签3", kLabel, QRect(10, 125, 40, 16), QStringLiteral("Email：")},
                           {"Email编辑框", "QLineEdit", QRect(55, 125, 145, 16), QString("")},
                           {"透明标签4", kLabel, QRect(10, 145, 40, 16), QStringLiteral("地 址：")},
                           {"地址编辑框", "QLineEdit", QRect(55, 145, 145, 16), QString("")},
                           {"超级列表框", "QTableView", QRect(229, 58, 107, 38), QString()},
                           {"联系人按钮", kImage, QRect(6, 171, 61, 22), QString()},
                           {"总记录数标签", kLabel, QRect(72, 175, 75, 16), QString()},
                           {"设置按钮", kImage, QRect(152, 171, 51, 22), QString()},
                           {"打开按钮", kImage, QRect(10, 205, 77, 36), QString()},
                           {"确定按钮", kImage, QRect(86, 205, 36, 36), QString()},
                           {"关闭按钮", kImage, QRect(122, 205, 77, 36), QString()},
                           {"按键1", kImage, QRect(10, 241, 63, 31), QString()},
                           {"按键2", kImage, QRect(74, 241, 62, 31), QString()},
                           {"按键3", kImage, QRect(137, 241, 63, 31), QString()},
                           {"按键4", kImage, QRect(10, 272, 63, 29), QString()},
                           {"按键5", kImage, QRect(74, 272, 62, 29), QString()},
                           {"按键6", kImage, QRect(137, 272, 63, 29), QString()},
                           {"按键7", kImage, QRect(10, 301, 63, 29), QString()},
                           {"按键8", kImage, QRect(74, 301, 62, 29), QString()},
                           {"按键9", kImage, QRect(137, 301, 63, 29), QString()},
                           {"上一条记录按钮", kImage, QRect(10, 330, 63, 28), QString()},
                           {"按键0", kImage, QRect(74, 330, 62, 28), QString()},
                           {"下一条记录按钮", kImage, QRect(137, 330, 63, 28), QString()},
                       });
        QCOMPARE(window->titleLabel->font().pixelSize(), 14);
        for (auto *button : window->findChildren<ui::ImageButton *>())
            QVERIFY2(button->focusPolicy() == Qt::NoFocus, qPrintable(button->objectName()));
        // The edit boxes follow each other in tab order, then the list.
        designcheck::verifyTabOrder({window->姓名编辑框, window->电话编辑框, window->手机编辑框,
                                     window->QQ编辑框, window->Email编辑框, window->地址编辑框,
                                     window->超级列表框});
        QCOMPARE(window->memoryTrimTimer->interval(), 200);
        QVERIFY(window->memoryTrimTimer->isActive());
        QCOMPARE(window->menuPictures->objectName(), QStringLiteral("超级菜单1"));
    }

    void contactListDesign()
    {
        test::SessionHome home;
        Owned<MainWindow> window(new MainWindow(home.session));
        QTableView *list = window->超级列表框;
        QCOMPARE(list->model()->columnCount(), 2);
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("姓  名"));
        QCOMPARE(list->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("手  机"));
        QCOMPARE(list->horizontalHeader()->sectionSize(0), 70);
        QCOMPARE(list->horizontalHeader()->sectionSize(1), 110);
        QVERIFY(!list->horizontalHeader()->isHidden());
        QVERIFY(list->verticalHeader()->isHidden());
        QVERIFY(!list->showGrid());
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void mainWindowMenus()
    {
        test::SessionHome home;
        Owned<MainWindow> window(new MainWindow(home.session));
        const MenuPictures *pictures = window->menuPictures;
        QCOMPARE(window->联系人->objectName(), QStringLiteral("联系人"));
        QCOMPARE(window->设置->objectName(), QStringLiteral("设置"));
        QVERIFY(!window->联系人->isVisible());
        QVERIFY(!window->设置->isVisible());
        verifyMenu(window->联系人,
                   {{"添加联系人", 3},
                    {"修改联系人", 5},
                    {"删除联系人", 1},
                    {"查询联系人", 0},
                    {"", -1},
                    {"导入联系人…", 3},
                    {"导出联系人…", 2},
                    {"查找联系人…", 0}},
                   pictures);
        QCOMPARE(window->联系人->actions().at(3)->menu(), window->查询联系人);
        verifyMenu(window->查询联系人,
                   {{"按姓名查询", 0}, {"按电话查询", 0}, {"按手机查询", 0}, {"按QQ号查询", 0}}, pictures);
        verifyMenu(window->设置,
                   {{"关于", 8},
                    {"帮助", 4},
                    {"", -1},
                    {"密码设置", 6},
                    {"导出数据", 2},
                    {"", -1},
                    {"退出", 7},
                    {"", -1},
                    {"同步设置…", 6},
                    {"立即同步", 2}},
                   pictures);
        QVERIFY(!window->退出->isVisible());
        for (QAction *item : window->设置->actions())
            if (item != window->退出)
                QVERIFY(item->isVisible());
        // Each picture is a different one of the nine.
        QImage first = pictureImage(pictures->picture(0));
        QVERIFY(!first.isNull());
        QVERIFY(pictureImage(pictures->picture(8)) != first);
        QVERIFY(pictures->picture(9).isNull());
    }

    void mainWindowCreated()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QString(), test::numberedContacts(3)));
        QVERIFY(home.session.store.open(home.storeFile()));
        Owned<MainWindow> window(new MainWindow(home.session));
        window->created();
        QCOMPARE(window->size(), QSize(210, 367));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->超级列表框->geometry(), QRect(5, 58, 200, 109));
        QVERIFY(window->isListView());
        // The list covers the rows from 电话 to 地址, the name row stays free.
        for (QLineEdit *box : window->editBoxes().mid(1))
            QVERIFY(window->超级列表框->geometry().contains(box->geometry()));
        QVERIFY(!window->超级列表框->geometry().intersects(window->姓名编辑框->geometry()));
        QVERIFY(!window->超级列表框->geometry().intersects(window->总记录数标签->geometry()));

        const QList<QPair<QWidget *, QString>> tips{
            {window->关闭, QStringLiteral("关闭")},
            {window->最小化, QStringLiteral("最小化")},
            {window->打开按钮, QStringLiteral("打开 / 查看所选联系人 (Shift + 回车键)")},
            {window->确定按钮, QStringLiteral("确  定 (Ctrl + 回车键)")},
            {window->关闭按钮, QStringLiteral("关闭 / 查看所有联系人 (Win + 回车键)")},
            {window->上一条记录按钮, QStringLiteral("上一条记录 (Alt + ←)")},
            {window->下一条记录按钮, QStringLiteral("下一条记录 (Alt + →)")},
            {window->超级列表框, QStringLiteral("双击联系人查看具体信息")},
        };
        for (const auto &tip : tips)
            QCOMPARE(tip.first->toolTip(), tip.second);
        QCOMPARE(window->总记录数标签->text(), QStringLiteral("共3条记录"));
    }

    void mainWindowWithoutSkins()
    {
        test::SessionHome home(false);
        QVERIFY(home.createStore(QString(), test::numberedContacts(2)));
        QVERIFY(home.session.store.open(home.storeFile()));
        Owned<MainWindow> window(new MainWindow(home.session));
        window->created();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), QSize(210, 367));
        QVERIFY(window->mask().isEmpty());
        QCOMPARE(window->超级列表框->model()->rowCount(), 2);
    }

    void aboutWindowDesign()
    {
        test::SessionHome home;
        AboutWindow window(home.session);
        designcheck::verifyFrameless(&window, QStringLiteral("关于窗口"), QString(), QSize(440, 400));
        QCOMPARE(window.palette().color(QPalette::Window), QColor(0x3A, 0x6E, 0xA5));
        verifyControls(&window, {
                                    {"透明标签1", kLabel, QRect(8, 8, 430, 360), QString()},
                                    {"透明标签2", kLabel, QRect(136, 81, 184, 36), QStringLiteral("Quennet")},
                                    {"透明标签3", kLabel, QRect(137, 123, 191, 159), QString()},
                                    {"图片框2", "QLabel", QRect(80, 373, 300, 16), QString()},
                                    {"图片框1", "QLabel", QRect(3, 1, 1, 13), QString()},
                                });
        QCOMPARE(window.nameLabel->font().pixelSize(), 35);
        QCOMPARE(window.strip->parentWidget(), window.stripFrame);
        QVERIFY(!window.stripFrame->pixmap().isNull());
        QCOMPARE(window.stripFrame->pixmap().size(), QSize(300, 16));
        QCOMPARE(window.strip->pixmap().size(), QSize(293, 13));
        const QStringList info = window.infoLabel->text().split(QLatin1Char('\n'));
        QCOMPARE(info.value(0), QStringLiteral("版本：1.0.1"));
        QCOMPARE(info.value(1), QString());
        QCOMPARE(info.value(2), QStringLiteral("运行平台 ：Linux 桌面（X11）"));
        QCOMPARE(info.mid(info.size() - 2), QStringList({QStringLiteral("欢迎提点建议或指出错误！"),
                                                         QStringLiteral("您的支持是我最好的动力！")}));
        QCOMPARE(window.stripTimer->interval(), 200);
    }

    // 98 growth steps of 3 px, then the next tick closes the window.
    void aboutStripClosesAfterGrowing()
    {
        test::SessionHome home;
        AboutWindow window(home.session);
        window.created();
        QList<int> widths;
        bool openAfterLastStep = false;
        bool closedByTick = false;
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *about = static_cast<AboutWindow *>(shown);
            about->stripTimer->stop(); // the ticks are driven here
            for (int i = 0; i < 98; ++i) {
                QMetaObject::invokeMethod(about->stripTimer, "timeout");
                widths << about->strip->width();
            }
            openAfterLastStep = about->isVisible();
            QMetaObject::invokeMethod(about->stripTimer, "timeout");
            closedByTick = !about->isVisible();
        });
        ui::execModal(&window);
        QCOMPARE(widths.first(), 4);
        QCOMPARE(widths.at(96), 292);
        QCOMPARE(widths.last(), 295);
        QVERIFY(openAfterLastStep);
        QVERIFY(closedByTick);
        QCOMPARE(window.strip->height(), 13);
    }

    void aboutDoubleClickOnStripCloses_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::newRow("图片框1") << QStringLiteral("图片框1");
        QTest::newRow("图片框2") << QStringLiteral("图片框2");
    }

    void aboutDoubleClickOnStripCloses()
    {
        QFETCH(QString, picture);
        test::SessionHome home;
        AboutWindow window(home.session);
        window.created();
        bool closed = false;
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *target = shown->findChild<QLabel *>(picture);
            QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(0, 0));
            closed = !shown->isVisible();
        });
        ui::execModal(&window);
        QVERIFY(closed);
        QCOMPARE(ui::ModalScript::shownNames(), QStringList{QStringLiteral("关于窗口")});
    }

    void processShowsOneWindow_data()
    {
        QTest::addColumn<QString>("storePassword"); // null: no store
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("store with password")
            << QStringLiteral("secret") << QStringLiteral("登录窗口") << QStringList();
        QTest::newRow("store without password")
            << QStringLiteral("") << QStringLiteral("主窗口") << QStringList();
        QTest::newRow("no store") << QString() << QStringLiteral("登录窗口")
                                  << QStringList{
                                         QStringLiteral("温馨提示|48|登录失败！请检查数据库是否存在！")};
    }

    // The real executable shows the start window or the main window, only
    // that one, and runs until it is ended.
    void processShowsOneWindow()
    {
        QFETCH(QString, storePassword);
        QFETCH(QString, window);
        QFETCH(QStringList, messages);
        test::ProgramDirectory home;
        if (!storePassword.isNull())
            QVERIFY(home.createStore(storePassword, test::numberedContacts(2)));
        test::QuennetRun run(home.path());
        QVERIFY2(run.waitFor(QStringLiteral("window: ") + window), run.log.constData());
        QCOMPARE(run.process->state(), QProcess::Running);
        QVERIFY(run.stop());
        QCOMPARE(test::reportedLines(run.log, QStringLiteral("window: ")), QStringList{window});
        QCOMPARE(test::reportedLines(run.log, QStringLiteral("message: ")), messages);
    }

    void processHelpOption()
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(test::quennetBinary(), {QStringLiteral("--help")});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().contains("--home"));
    }
};

QTEST_MAIN(TestWindowsApp)
#include "tst_windows_app.moc"
