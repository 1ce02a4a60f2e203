// The password, data management and both export windows as loaded from their
// designs: controls, captions, defaults, and the handlers that need no store.

#include "contacts/Session.h"
#include "export/ColorPicker.h"
#include "export/ExportDataWindow.h"
#include "export/ExportWebWindow.h"
#include "export/UpDownControl.h"
#include "settings/DataWindow.h"
#include "settings/PasswordWindow.h"
#include "support/DataRows.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "support/ProgramDirectory.h"
#include "support/Sessions.h"
#include "ui/Controls.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "support/DesignCheck.h"

using namespace quennet;
using designcheck::Designed;
using designcheck::kImage;
using designcheck::kLabel;
using designcheck::nextTabStop;
using designcheck::verifyControls;
using designcheck::verifyTabOrder;

namespace {

const QString kPasswordHelp =
    QStringLiteral("为了个人的隐私，本软件可设置密码登录！\r\n\r\n如果您还没设置密码，可以在“新密码”后\r\n面"
                   "输入密码！然后在“重复新密码”后面重\r\n复输入新密码！最后按确定即可！\r\n\r\n如果不想设置"
                   "密码，请输入原始密码后，保\r\n留“新密码”和“重复新密码”为空，直接\r\n按确定即可！\r\n\r\n"
                   "注意：\r\n      此密码为登录软件数据库密码，\r\n      若忘记密码则不能打开通讯录！\r\n   "
                   "   所以请一定要谨慎设置密码哦！");

const QString kDataHelp = QStringLiteral(
    "为了满足用户的需求，本软件支持将数据库导出到以下文件：\r\n\r\n（1）导出到Excel文件格式(.xls)"
    "\r\n若存在密码，导出前请先将密码设置为空！否则会导出失败哦！\r\n\r\n（2）导出到高级网页文件("
    "支持html、asp、php等网页格式)\r\n\r\n（3）导出到html网页及txt文本格式(美观性较好！)"
    "\r\n\r\n其它额外功能：\r\n\r\n（4）将数据库文件备份为."
    "bak文件：\r\n若万一数据库损坏，则可用备份文件将数据还原到备份数据时的状态！\r\n恢复时只要进入软件安装目"
    "录，把数据库文件“wab.vdb”文件删除！\r\n然后将“wab.bak”改为“wab.vdb”即可！ "
    "请谨慎使用此功能哦！\r\n\r\n（5）清空通讯录数据库，即删除所有联系人信息！请谨慎使用哦！");

// The frame the password and data management windows share: title, help
// and close buttons, and 确定按钮 at the bottom.
void verifySkinnedFrame(QDialog *window, const QString &name)
{
    designcheck::verifyFrameless(window, name, QString(), QSize(210, 205));
    verifyControls(window, {
                               {"透明标签2", kLabel, QRect(5, 2, 58, 22), QStringLiteral("设置密码")},
                               {"帮助按钮", kImage, QRect(165, 2, 19, 19), QString()},
                               {"关闭按钮", kImage, QRect(185, 2, 19, 19), QString()},
                               {"确定按钮", "QPushButton", QRect(55, 170, 100, 24), QStringLiteral("确  定")},
                           });
    QCOMPARE(window->windowType(), Qt::Dialog);
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QCOMPARE(window->pos(), QPoint(50, 50));
    auto *title = window->findChild<QLabel *>(QStringLiteral("透明标签2"));
    QVERIFY(title);
    QCOMPARE(title->font().pixelSize(), 14);
    auto *help = window->findChild<QWidget *>(QStringLiteral("帮助按钮"));
    QVERIFY(help);
    QCOMPARE(help->cursor().shape(), Qt::WhatsThisCursor);
    QCOMPARE(window->findChild<QWidget *>(QStringLiteral("关闭按钮"))->cursor().shape(),
             Qt::PointingHandCursor);
}

// The tool tips created() gives the frame buttons.
void verifyFrameTips(const ui::SkinnedWindow &window)
{
    QCOMPARE(window.帮助按钮->toolTip(), QStringLiteral("帮助"));
    QCOMPARE(window.关闭按钮->toolTip(), QStringLiteral("关闭"));
}

void verifyFramed(QDialog *window, const QString &name, const QString &caption, const QSize &size)
{
    QCOMPARE(window->objectName(), name);
    QCOMPARE(window->windowTitle(), caption);
    QVERIFY(!window->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(window->size(), size);
    QCOMPARE(window->minimumSize(), size);
    QCOMPARE(window->maximumSize(), size);
}

// The designed controls of the window and of its group boxes must not cover
// each other and must lie inside their parent.
void verifyNoOverlap(QWidget *window)
{
    QList<QWidget *> named;
    for (QWidget *child : window->findChildren<QWidget *>())
        if (!child->objectName().isEmpty() && !child->objectName().startsWith(QLatin1String("qt_")) &&
            (child->parentWidget() == window || child->parentWidget()->inherits("QGroupBox")))
            named << child;
    for (QWidget *a : named) {
        QVERIFY2(a->parentWidget()->rect().contains(a->geometry()), qPrintable(a->objectName()));
        for (QWidget *b : named)
            if (a != b && a->parentWidget() == b->parentWidget() && !a->isAncestorOf(b))
                QVERIFY2(!a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + " / " + b->objectName()));
    }
}

// Clicks the button inside the window's modal loop; the result is what the
// window was closed with (-1 when the click left it open).
int runAndClick(QDialog *window, const QString &buttonName)
{
    return test::runWindow(window, [&] {
        if (auto *button = window->findChild<QAbstractButton *>(buttonName))
            button->click();
    });
}

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

class WindowsSettingsTest : public QObject {
    Q_OBJECT

    test::Sessions m_sessions;

    // A session whose store is open and holds count records.
    std::unique_ptr<Session> openStore(int count)
    {
        return m_sessions.loggedIn(QStringLiteral(""), test::numberedContacts(count));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_sessions.isValid());
        ui::setTestMode(true);
        // The faces the program uses, so that captions measure as on screen.
        ui::installFontSubstitutes();
    }

    void init()
    {
        ui::clearTestScripts();
        ColorPicker::setChooser(nullptr);
    }

    void passwordWindowDesign()
    {
        auto session = m_sessions.make();
        PasswordWindow window(*session);
        verifySkinnedFrame(&window, QStringLiteral("密码设置窗口"));
        verifyControls(&window, {
                                    {"标签1", kLabel, QRect(10, 60, 64, 18), QStringLiteral("原始密码：")},
                                    {"编辑框1", "QLineEdit", QRect(10, 77, 190, 18), QStringLiteral("")},
                                    {"标签2", kLabel, QRect(10, 95, 64, 18), QStringLiteral("新密码：")},
                                    {"编辑框2", "QLineEdit", QRect(10, 112, 190, 18), QStringLiteral("")},
                                    {"标签3", kLabel, QRect(10, 130, 72, 18), QStringLiteral("重复新密码：")},
                                    {"编辑框3", "QLineEdit", QRect(10, 147, 190, 18), QStringLiteral("")},
                                });
        for (QLineEdit *edit :
             {window.oldPasswordEdit, window.newPasswordEdit, window.repeatedPasswordEdit}) {
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            QVERIFY(!edit->isReadOnly());
        }
        verifyTabOrder(
            {window.oldPasswordEdit, window.newPasswordEdit, window.repeatedPasswordEdit, window.确定按钮});
    }

    void passwordBoxesShowStars()
    {
        auto session = m_sessions.make();
        // Opened over a window with the program's visual style, as the
        // main window opens it.
        QWidget opener;
        ui::applyVisualStyle(&opener);
        PasswordWindow window(*session, &opener);
        window.created();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (QLineEdit *edit : {window.newPasswordEdit, window.repeatedPasswordEdit}) {
            QTest::keyClicks(edit, QStringLiteral("aB1"));
            edit->insert(QStringLiteral("中"));
            QCOMPARE(edit->text(), QStringLiteral("aB1中"));
            QCOMPARE(edit->displayText(), QStringLiteral("****"));
        }
    }

    void passwordWindowWithoutStorePassword_data()
    {
        test::addFlagRows("storeExists", "store without password", "no store file");
    }

    void passwordWindowWithoutStorePassword()
    {
        QFETCH(bool, storeExists);
        auto session = m_sessions.make(storeExists ? QStringLiteral("") : QString());
        QVERIFY(session);
        PasswordWindow window(*session);
        window.created();
        QVERIFY(window.oldPasswordEdit->isReadOnly());
        QCOMPARE(window.oldPasswordEdit->echoMode(), QLineEdit::Normal);
        QCOMPARE(window.oldPasswordEdit->text(), QStringLiteral("原始密码为空！请直接输入新密码！"));
        QCOMPARE(window.oldPasswordEdit->displayText(), window.oldPasswordEdit->text());
        // Read from its first character, though wider than the box.
        QCOMPARE(window.oldPasswordEdit->cursorPosition(), 0);
        QCOMPARE(window.focusWidget(), window.newPasswordEdit);
        QCOMPARE(window.newPasswordEdit->echoMode(), QLineEdit::Password);
        QCOMPARE(window.repeatedPasswordEdit->echoMode(), QLineEdit::Password);
        verifyFrameTips(window);
    }

    void passwordWindowWithStorePassword()
    {
        auto session = m_sessions.make(QStringLiteral("Secret"));
        QVERIFY(session);
        PasswordWindow window(*session);
        window.created();
        QVERIFY(!window.oldPasswordEdit->isReadOnly());
        QCOMPARE(window.oldPasswordEdit->echoMode(), QLineEdit::Password);
        QVERIFY(window.oldPasswordEdit->text().isEmpty());
        // The focus is left to the tab order, which starts on the old password.
        QVERIFY(window.focusWidget() == nullptr || window.focusWidget() == window.oldPasswordEdit);
        QCOMPARE(nextTabStop(&window), window.oldPasswordEdit);
        verifyFrameTips(window);
    }

    void helpTexts_data()
    {
        QTest::addColumn<bool>("passwordWindow");
        QTest::addColumn<QString>("text");
        QTest::newRow("密码设置窗口") << true << kPasswordHelp;
        QTest::newRow("数据管理窗口") << false << kDataHelp;
    }

    void helpTexts()
    {
        QFETCH(bool, passwordWindow);
        QFETCH(QString, text);
        auto session = m_sessions.make();
        std::unique_ptr<ui::SkinnedWindow> window;
        if (passwordWindow)
            window = std::make_unique<PasswordWindow>(*session);
        else
            window = std::make_unique<DataWindow>(*session);
        window->帮助按钮->click();
        QCOMPARE(test::shownMessages(),
                 QStringList{test::messageLine(text, QStringLiteral("温馨提示帮助"), 0x20)});
    }

    void closeButtonsCloseTheWindow()
    {
        auto session = m_sessions.make();
        PasswordWindow password(*session);
        password.created();
        QCOMPARE(runAndClick(&password, QStringLiteral("关闭按钮")), int(QDialog::Rejected));
        DataWindow data(*session);
        data.created();
        QCOMPARE(runAndClick(&data, QStringLiteral("关闭按钮")), int(QDialog::Rejected));
        ExportDataWindow exportData(*session);
        QCOMPARE(runAndClick(&exportData, QStringLiteral("取消按钮")), int(QDialog::Rejected));
        ExportWebWindow exportWeb(*session);
        exportWeb.created();
        QCOMPARE(runAndClick(&exportWeb, QStringLiteral("按钮5")), int(QDialog::Rejected));
        QCOMPARE(ui::MessageBoxScript::shown().size(), 0);
        QCOMPARE(ui::ModalScript::shownNames(),
                 QStringList({QStringLiteral("密码设置窗口"), QStringLiteral("数据管理窗口"),
                              QStringLiteral("导出数据窗口"), QStringLiteral("导出网页窗口")}));
    }

    void runShowsTheCreatedWindowModally()
    {
        auto session = m_sessions.make(QStringLiteral("pw"));
        QWidget owner;
        QString seen;
        bool createdRan = false;
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            seen = shown->objectName();
            createdRan =
                shown->findChild<QWidget *>(QStringLiteral("帮助按钮"))->toolTip() == QStringLiteral("帮助");
            QCOMPARE(shown->parentWidget(), &owner);
            shown->findChild<QAbstractButton *>(QStringLiteral("关闭按钮"))->click();
        });
        QCOMPARE(PasswordWindow::run(*session, &owner), int(QDialog::Rejected));
        QCOMPARE(seen, QStringLiteral("密码设置窗口"));
        QVERIFY(createdRan);

        bool firstOptionSelected = false;
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            seen = shown->objectName();
            firstOptionSelected = shown->findChild<QRadioButton *>(QStringLiteral("单选框1"))->isChecked();
            shown->findChild<QAbstractButton *>(QStringLiteral("关闭按钮"))->click();
        });
        QCOMPARE(DataWindow::run(*session, &owner), int(QDialog::Rejected));
        QCOMPARE(seen, QStringLiteral("数据管理窗口"));
        QVERIFY(firstOptionSelected);

        QString path;
        StoreCredential credential;
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *web = qobject_cast<ExportWebWindow *>(shown);
            QVERIFY(web);
            path = web->storePath;
            credential = web->storeCredential;
            shown->reject();
        });
        ExportWebWindow::run(
            *session, &owner, session->dir.storeFile(),
            ContactStore::credentialFor(session->dir.storeFile(), QStringLiteral("pw")).credential);
        QCOMPARE(path, session->dir.storeFile());
        QVERIFY(credential.holdsKey() && credential.matches(QStringLiteral("pw")));
        QCOMPARE(ui::ModalScript::shownCount(), 3);
    }

    void dataWindowDesign()
    {
        auto session = m_sessions.make();
        DataWindow window(*session);
        verifySkinnedFrame(&window, QStringLiteral("数据管理窗口"));
        verifyControls(
            &window,
            {
                {"透明标签1", kLabel, QRect(30, 35, 175, 16), QStringLiteral("使用前最好请点上面的“？”哦！")},
                {"单选框1", "QRadioButton", QRect(7, 58, 196, 21),
                 QStringLiteral("导出通讯录数据到Excel文件")},
                {"单选框2", "QRadioButton", QRect(8, 80, 196, 21),
                 QStringLiteral("导出通讯录数据到高级网页文件")},
                {"单选框3", "QRadioButton", QRect(8, 102, 196, 21),
                 QStringLiteral("导出通讯录数据到网页或文本")},
                {"单选框4", "QRadioButton", QRect(8, 124, 196, 21), QStringLiteral("※备份通讯录数据※")},
                {"单选框5", "QRadioButton", QRect(8, 146, 196, 21), QStringLiteral("***清空通讯录数据***")},
            });
        // The hint shows whole, its last "！" too, in its place.
        const QFontMetrics hintMetrics(window.hintLabel->font());
        QVERIFY2(hintMetrics.horizontalAdvance(window.hintLabel->text()) <=
                     window.hintLabel->contentsRect().width(),
                 qPrintable(QString::number(hintMetrics.horizontalAdvance(window.hintLabel->text()))));
        auto *dialog = window.findChild<ui::FileDialog *>(QStringLiteral("通用对话框"));
        QVERIFY(dialog);
        QCOMPARE(dialog, window.通用对话框);
        verifyTabOrder({window.excelOption, window.webPageOption, window.pageOrTextOption,
                        window.backupOption, window.clearOption, window.确定按钮});

        window.created();
        verifyFrameTips(window);
        const QList<QRadioButton *> options = {window.excelOption, window.webPageOption,
                                               window.pageOrTextOption, window.backupOption,
                                               window.clearOption};
        QVERIFY(window.excelOption->isChecked());
        // One group: choosing any option clears every other.
        for (QRadioButton *chosen : options) {
            chosen->click();
            for (QRadioButton *option : options)
                QCOMPARE(option->isChecked(), option == chosen);
        }
    }

    void exportDataWindowDesign()
    {
        auto session = m_sessions.make();
        ExportDataWindow window(*session);
        verifyFramed(&window, QStringLiteral("导出数据窗口"), QStringLiteral("导出数据"), QSize(300, 330));
        const QRect free;
        verifyControls(&window,
                       {
                           {"分组框1", "QGroupBox", free, QString()},
                           {"标签1", "QLabel", free, QStringLiteral("类型:")},
                           {"类型组合框", "QComboBox", free, QString()},
                           {"分隔符标签", "QLabel", free, QStringLiteral("列间分隔符:")},
                           {"分割组合框", "QComboBox", free, QString()},
                           {"标签2", "QLabel", free, QStringLiteral("路径:")},
                           {"路径编辑框", "QLineEdit", free, QStringLiteral("")},
                           {"打开按钮", "QAbstractButton", free, QString()},
                           {"分组框2", "QGroupBox", free, QString()},
                           {"全部行单选框", "QRadioButton", free, QStringLiteral("全部记录")},
                           {"指定行单选框", "QRadioButton", free, QStringLiteral("指定记录")},
                           {"首行编辑框", "QSpinBox", free, QStringLiteral("1")},
                           {"尾行编辑框", "QSpinBox", free, QStringLiteral("")},
                           {"标签3", "QLabel", free, QStringLiteral("可选字段")},
                           {"可选列表框", "QListWidget", free, QString()},
                           {"标签6", "QLabel", free, QStringLiteral("已选字段")},
                           {"已选列表框", "QListWidget", free, QString()},
                           {"增加按钮", "QPushButton", free, QStringLiteral("->")},
                           {"去除按钮", "QPushButton", free, QStringLiteral("<-")},
                           {"全选按钮", "QPushButton", free, QStringLiteral("全选")},
                           {"全删按钮", "QPushButton", free, QStringLiteral("全删")},
                           {"调节器", "quennet::UpDownControl", free, QString()},
                           {"字段选择框", "QCheckBox", free, QStringLiteral("包括字段名")},
                           {"所有选择框", "QCheckBox", free, QStringLiteral("包括被标记为删除的记录")},
                           {"开始按钮", "QPushButton", free, QStringLiteral("开始")},
                           {"取消按钮", "QPushButton", free, QStringLiteral("取消")},
                       });
        QCOMPARE(window.formatGroup->title(), QStringLiteral("输出格式"));
        QCOMPARE(window.rangeGroup->title(), QStringLiteral("输出范围"));
        QVERIFY(!window.类型组合框->isEditable());
        QCOMPARE(itemTexts(window.类型组合框),
                 QStringList({QStringLiteral("文本 TXT"), QStringLiteral("网页 HTML")}));
        QCOMPARE(window.类型组合框->currentIndex(), 0);
        QVERIFY(window.分割组合框->isEditable());
        QCOMPARE(itemTexts(window.分割组合框), QStringList({QStringLiteral("制表符"), QStringLiteral("◇"),
                                                            QStringLiteral(","), QStringLiteral("|")}));
        QCOMPARE(window.分割组合框->currentText(), QStringLiteral("制表符"));
        QCOMPARE(window.分割组合框->property(ExportDataWindow::kTagProperty).toString(),
                 QStringLiteral("\t"));
        QVERIFY(window.路径编辑框->isReadOnly());

        auto *save = window.findChild<ui::FileDialog *>(QStringLiteral("保存对话框"));
        QVERIFY(save);
        QCOMPARE(save->title, QStringLiteral("输出文件"));
        QCOMPARE(save->filter, QStringLiteral("文本TXT(*.txt)|*.txt"));
        QCOMPARE(save->defaultExtension, QStringLiteral("txt"));

        QVERIFY(window.全部行单选框->isChecked());
        QVERIFY(!window.指定行单选框->isChecked());
        for (QSpinBox *box : {window.首行编辑框, window.尾行编辑框}) {
            QVERIFY(!box->isEnabled());
            QCOMPARE(box->minimum(), 1);
            QCOMPARE(box->maximum(), 100);
        }
        QCOMPARE(window.可选列表框->count(), 0);
        QCOMPARE(window.已选列表框->count(), 0);
        QVERIFY(!window.增加按钮->isEnabled());
        QVERIFY(window.去除按钮->isEnabled());
        QVERIFY(!window.全选按钮->isEnabled());
        QVERIFY(window.全删按钮->isEnabled());
        QVERIFY(!window.字段选择框->isChecked());
        QVERIFY(!window.所有选择框->isChecked());
        QVERIFY(window.开始按钮->isEnabled());
        QCOMPARE(window.returnRecord, 0);
        verifyNoOverlap(&window);
    }

    void exportWebWindowDesign()
    {
        auto session = m_sessions.make();
        ExportWebWindow window(*session);
        verifyFramed(&window, QStringLiteral("导出网页窗口"), QStringLiteral("导出网页"), QSize(534, 447));
        const QRect free;
        verifyControls(&window, {
                                    {"选择夹1", "QTabWidget", free, QString()},
                                    {"编辑框1", "QLineEdit", free, QStringLiteral("")},
                                    {"编辑框2", "QLineEdit", free, QStringLiteral("")},
                                    {"组合框5", "QComboBox", free, QString()},
                                    {"组合框6", "QComboBox", free, QString()},
                                    {"选择框10", "QCheckBox", free, QStringLiteral("加粗")},
                                    {"选择框11", "QCheckBox", free, QStringLiteral("倾斜")},
                                    {"选择框1", "QCheckBox", free, QStringLiteral("背景图片")},
                                    {"编辑框3", "QLineEdit", free, QStringLiteral("")},
                                    {"按钮2", "QPushButton", free, QStringLiteral("浏览")},
                                    {"选择框2", "QCheckBox", free, QStringLiteral("指定上边距：")},
                                    {"选择框3", "QCheckBox", free, QStringLiteral("指定左边距：")},
                                    {"选择框13", "QCheckBox", free, QStringLiteral("折叠列表边框")},
                                    {"单选框1", "QRadioButton", free, QStringLiteral("左对齐")},
                                    {"单选框2", "QRadioButton", free, QStringLiteral("居中")},
                                    {"单选框3", "QRadioButton", free, QStringLiteral("右对齐")},
                                    {"组合框1", "QComboBox", free, QString()},
                                    {"组合框2", "QComboBox", free, QString()},
                                    {"选择框4", "QCheckBox", free, QStringLiteral("加粗")},
                                    {"选择框5", "QCheckBox", free, QStringLiteral("倾斜")},
                                    {"组合框3", "QComboBox", free, QString()},
                                    {"组合框4", "QComboBox", free, QString()},
                                    {"选择框6", "QCheckBox", free, QStringLiteral("加粗")},
                                    {"选择框7", "QCheckBox", free, QStringLiteral("倾斜")},
                                    {"选择框12", "QCheckBox", free, QStringLiteral("间隔行不同底色")},
                                    {"编辑框8", "QLineEdit", free, QStringLiteral("1")},
                                    {"编辑框9", "QLineEdit", free, QStringLiteral("2")},
                                    {"编辑框10", "QLineEdit", free, QStringLiteral("1")},
                                    {"选择框8", "QCheckBox", free, QStringLiteral("表格背景图：")},
                                    {"编辑框6", "QLineEdit", free, QStringLiteral("")},
                                    {"按钮3", "QPushButton", free, QStringLiteral("浏览")},
                                    {"选择框9", "QCheckBox", free, QStringLiteral("表头背景图：")},
                                    {"编辑框7", "QLineEdit", free, QStringLiteral("")},
                                    {"按钮4", "QPushButton", free, QStringLiteral("浏览")},
                                    {"按钮1", "QPushButton", free, QStringLiteral("确 定")},
                                    {"按钮6", "QPushButton", free, QStringLiteral("预览HTML源文件")},
                                    {"按钮5", "QPushButton", free, QStringLiteral("取 消")},
                                    {"状态条1", "QStatusBar", free, QString()},
                                    {"进度条1", "QProgressBar", free, QString()},
                                });
        // The edit boxes with spin buttons start empty.
        verifyControls(&window, {{"编辑框4", "QSpinBox", free, QStringLiteral("")},
                                 {"编辑框5", "QSpinBox", free, QStringLiteral("")}});
        QCOMPARE(window.tabs->count(), 2);
        QCOMPARE(window.tabs->tabText(0), QStringLiteral("网页设置"));
        QCOMPARE(window.tabs->tabText(1), QStringLiteral("表格设置"));
        QVERIFY(
            window.tabs->widget(0)->isAncestorOf(window.findChild<QGroupBox *>(QStringLiteral("分组框1"))));
        QVERIFY(
            window.tabs->widget(1)->isAncestorOf(window.findChild<QGroupBox *>(QStringLiteral("分组框2"))));
        QVERIFY(window.pageGroup->isAncestorOf(window.alignRightRadio));
        QVERIFY(window.tableGroup->isAncestorOf(window.headerPictureButton));

        const QList<std::pair<const char *, quint32>> colours = {
            {"颜色选择器6", 0x000000}, {"颜色选择器1", 0xFFFFFF},   {"颜色选择器2", 0xECECEC},
            {"颜色选择器3", 0x000000}, {"颜色选择器4", 0xFF000000}, {"颜色选择器5", 0x000000},
            {"颜色选择器9", 0xECECEC}, {"颜色选择器7", 0xC0C0C0},   {"颜色选择器8", 0x808080}};
        for (const auto &[name, value] : colours) {
            auto *colour = window.findChild<ColorPicker *>(QString::fromUtf8(name));
            QVERIFY2(colour, name);
            QCOMPARE(colour->value(), value);
            QCOMPARE(colour->offersTransparent(), value == ColorPicker::kTransparent);
            QCOMPARE(colour->isEnabled(), QString::fromUtf8(name) != QStringLiteral("颜色选择器9"));
        }

        const QStringList sizes = {QStringLiteral("普通"), "1", "2", "3", "4", "5", "6", "7"};
        for (QComboBox *box : {window.headerSizeBox, window.rowSizeBox, window.captionSizeBox}) {
            QVERIFY(!box->isEditable());
            QCOMPARE(itemTexts(box), sizes);
        }
        QCOMPARE(window.captionSizeBox->currentText(), QStringLiteral("5"));
        QCOMPARE(window.headerSizeBox->currentIndex(), 0);
        QCOMPARE(window.rowSizeBox->currentIndex(), 0);
        for (QComboBox *box : {window.headerFaceBox, window.rowFaceBox, window.captionFaceBox}) {
            QVERIFY(box->isEditable());
            QVERIFY(box->currentText().isEmpty());
        }

        const QList<std::pair<QCheckBox *, bool>> ticks = {
            {window.captionBoldCheck, true},    {window.captionItalicCheck, false},
            {window.pagePictureCheck, false},   {window.topMarginCheck, false},
            {window.leftMarginCheck, false},    {window.collapseBordersCheck, false},
            {window.headerBoldCheck, true},     {window.headerItalicCheck, false},
            {window.rowBoldCheck, false},       {window.rowItalicCheck, false},
            {window.alternateRowsCheck, false}, {window.tablePictureCheck, false},
            {window.headerPictureCheck, false}};
        for (const auto &[box, ticked] : ticks)
            QVERIFY2(box->isChecked() == ticked, qPrintable(box->objectName()));
        QVERIFY(window.alignLeftRadio->isChecked());
        for (QWidget *off : std::initializer_list<QWidget *>{
                 window.pagePictureEdit, window.pagePictureButton, window.topMarginEdit,
                 window.leftMarginEdit, window.tablePictureEdit, window.tablePictureButton,
                 window.headerPictureEdit, window.headerPictureButton})
            QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));

        QCOMPARE(window.pageFileDialog->title, QStringLiteral("保存"));
        QCOMPARE(window.pageFileDialog->defaultExtension, QStringLiteral("htm"));
        QCOMPARE(window.pageFileDialog->filter,
                 QStringLiteral(
                     "所有文件(*.*)|*.*|网页(*.htm;*.html;*.shtml;*.shtm;*.asp;*.aspx;*.php;)|*.htm;*.html;*."
                     "shtml;*.shtm;*.asp;*.aspx;*.php;|HTML 文件(*.htm;*.html)|*.htm;*.html|ASP "
                     "文件(*.asp)|*.asp|ASPX 文件(*.aspx)|*.aspx|文本(*.txt)|*.txt|PHP 文件(*.php)|*.php"));
        QCOMPARE(
            window.pictureDialog->filter,
            QStringLiteral(
                "所有文件(*.*)|*.*|所有图片(*.gif;*.jpg;*.bmp;*.png;*.tif;*.wmf;*.ras;*.eps;*.pcx;*.pcd;*."
                "tga|*.gif;*.jpg;*.bmp;*.png;*.tif;*.wmf;*.ras;*.eps;*.pcx;*.pcd;*.tga|GIF、JPEG和PNG|*.gif;*"
                ".jpg;*.bmp;*.png;*.tif;*.wmf;*.ras;*.eps;*.pcx;*.pcd;*.tga|GIF、JPEG、PNG(*.gif;*.jpg;*.png)"
                "|*.gif;*.jpg;*.png|位图(*.BMP)|*.bmp|TIFF(*.tif)|*.tif|Windows 图元文件(*.wmf)|*.wmf|SUN "
                "Raster(*.ras)|*.ras|PostScript(*.eps)|*.eps|PCX(*.pcx)|*.pcx|Kodak "
                "PhotoCD(*.pcd)|*.pcd|Targa(*.tga)|*.tga"));
        QVERIFY(window.statusPane(0) && window.statusPane(1));
        QVERIFY(window.statusBar->isAncestorOf(window.statusPane(1)));
    }

    void exportWebWindowLoad()
    {
        auto session = m_sessions.make();
        QStringList faces = QFontDatabase::families();
        faces.removeDuplicates();
        // Each opening lists each face once, however often the window opened.
        for (int opening = 0; opening < 2; ++opening) {
            ExportWebWindow window(*session);
            window.created();
            QCOMPARE(window.progressBar->y(), window.statusBar->y() + 3);
            const QSize screen = window.screen()->geometry().size();
            QCOMPARE(window.topMarginEdit->maximum(), screen.height());
            QCOMPARE(window.leftMarginEdit->maximum(), screen.width());
            for (QComboBox *box : {window.headerFaceBox, window.rowFaceBox, window.captionFaceBox}) {
                QCOMPARE(itemTexts(box), faces);
                QVERIFY(box->currentText().isEmpty());
            }
        }
    }

    void exportDataWindowLoad_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("ranged");
        QTest::addColumn<QString>("lastRecord");
        QTest::newRow("5 records") << 5 << false << QStringLiteral("5");
        QTest::newRow("200 records") << 200 << false << QStringLiteral("200");
        QTest::newRow("250 records") << 250 << true << QStringLiteral("200");
    }

    void exportDataWindowLoad()
    {
        QFETCH(int, records);
        QFETCH(bool, ranged);
        QFETCH(QString, lastRecord);
        auto session = openStore(records);
        QVERIFY(session);
        session->store.goTo(3);

        bool checked = false;
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *window = qobject_cast<ExportDataWindow *>(shown);
            QVERIFY(window);
            QCOMPARE(window->returnRecord, 3);
            const QString path = session->dir.file(QStringLiteral("wab.txt"));
            QCOMPARE(window->路径编辑框->text(), path);
            QCOMPARE(window->保存对话框->fileName, path);
            QCOMPARE(window->首行编辑框->maximum(), records);
            QCOMPARE(window->尾行编辑框->maximum(), records);
            QCOMPARE(window->首行编辑框->text(), QStringLiteral("1"));
            QCOMPARE(window->尾行编辑框->text(), lastRecord);
            QCOMPARE(window->指定行单选框->isChecked(), ranged);
            QCOMPARE(window->全部行单选框->isChecked(), !ranged);
            QCOMPARE(window->首行编辑框->isEnabled(), ranged);
            QCOMPARE(window->尾行编辑框->isEnabled(), ranged);
            for (QListWidget *list : {window->可选列表框, window->已选列表框}) {
                QCOMPARE(list->count(), session->store.fieldCount());
                for (int row = 0; row < list->count(); ++row) {
                    QCOMPARE(list->item(row)->text(), session->store.fieldName(row + 1));
                    QCOMPARE(list->item(row)->data(ExportDataWindow::kFieldPositionRole).toInt(), row + 1);
                }
                QCOMPARE(list->currentRow(), 0);
            }
            checked = true;
            window->取消按钮->click();
        });
        QCOMPARE(ExportDataWindow::run(*session, nullptr), int(QDialog::Rejected));
        QVERIFY(checked);
        // Closing without an export leaves the cursor alone.
        QCOMPARE(session->store.recordNumber(), 3);
    }

    void exportDataWindowRefusesAStoreWithoutRecords()
    {
        auto empty = openStore(0);
        QVERIFY(empty);
        QCOMPARE(ExportDataWindow::run(*empty, nullptr), int(QDialog::Rejected));
        QCOMPARE(ui::ModalScript::shownCount(), 0);
        const QStringList refused{test::notice(QStringLiteral("当前库无记录可导出"))};
        QCOMPARE(test::shownMessages(), refused);

        // Without an open store nothing at all happens.
        auto closed = m_sessions.make(QStringLiteral(""));
        QVERIFY(closed);
        QCOMPARE(ExportDataWindow::run(*closed, nullptr), int(QDialog::Rejected));
        QCOMPARE(ui::ModalScript::shownCount(), 0);
        QCOMPARE(test::shownMessages(), refused);
    }

    void exportDataFieldLists()
    {
        auto session = openStore(5);
        QVERIFY(session);
        ExportDataWindow window(*session);
        window.created();
        auto columns = [&] {
            QStringList texts;
            for (int row = 0; row < window.已选列表框->count(); ++row)
                texts << window.已选列表框->item(row)->text() +
                             QString::number(window.已选列表框->item(row)
                                                 ->data(ExportDataWindow::kFieldPositionRole)
                                                 .toInt());
            return texts;
        };
        auto buttons = [&] {
            return QList<bool>{window.增加按钮->isEnabled(), window.去除按钮->isEnabled(),
                               window.全选按钮->isEnabled(), window.全删按钮->isEnabled()};
        };
        const QString name = session->store.fieldName(1);
        const QString mobile = session->store.fieldName(3);
        const QString qq = session->store.fieldName(4);

        window.全删按钮->click();
        QCOMPARE(columns(), QStringList{name + "1"});
        QCOMPARE(buttons(), (QList<bool>{true, false, true, false}));
        window.增加按钮->click(); // the first field is there already
        QCOMPARE(columns(), QStringList{name + "1"});
        window.可选列表框->setCurrentRow(2);
        window.增加按钮->click();
        window.可选列表框->setCurrentRow(3);
        window.增加按钮->click();
        QCOMPARE(columns(), (QStringList{name + "1", mobile + "3", qq + "4"}));
        QCOMPARE(window.已选列表框->currentRow(), 2);
        QCOMPARE(buttons(), (QList<bool>{true, true, true, true}));

        window.调节器->downButton()->click(); // last one: stays
        QCOMPARE(columns(), (QStringList{name + "1", mobile + "3", qq + "4"}));
        window.调节器->upButton()->click();
        window.调节器->upButton()->click();
        QCOMPARE(columns(), (QStringList{qq + "4", name + "1", mobile + "3"}));
        QCOMPARE(window.已选列表框->currentRow(), 0);
        window.调节器->upButton()->click(); // first one: stays
        QCOMPARE(columns(), (QStringList{qq + "4", name + "1", mobile + "3"}));
        window.调节器->downButton()->click();
        QCOMPARE(columns(), (QStringList{name + "1", qq + "4", mobile + "3"}));
        QCOMPARE(window.已选列表框->currentRow(), 1);

        window.去除按钮->click();
        QCOMPARE(columns(), (QStringList{name + "1", mobile + "3"}));
        QCOMPARE(window.已选列表框->currentRow(), 0);
        window.去除按钮->click();
        QCOMPARE(columns(), (QStringList{mobile + "3"}));
        QCOMPARE(buttons(), (QList<bool>{true, false, true, false}));

        window.全选按钮->click();
        QCOMPARE(window.已选列表框->count(), session->store.fieldCount());
        QCOMPARE(window.已选列表框->item(5)->text(), session->store.fieldName(6));
        QCOMPARE(buttons(), (QList<bool>{false, true, false, true}));
        // Adding the last missing field also disables adding.
        window.已选列表框->setCurrentRow(5);
        window.去除按钮->click();
        QCOMPARE(buttons(), (QList<bool>{true, true, true, true}));
        window.可选列表框->setCurrentRow(5);
        window.增加按钮->click();
        QCOMPARE(buttons(), (QList<bool>{false, true, false, true}));
    }

    void exportDataRangeAndFormat()
    {
        auto session = openStore(5);
        QVERIFY(session);
        ExportDataWindow window(*session);
        window.created();
        window.指定行单选框->click();
        QVERIFY(window.首行编辑框->isEnabled() && window.尾行编辑框->isEnabled());
        window.全部行单选框->click();
        QVERIFY(!window.首行编辑框->isEnabled() && !window.尾行编辑框->isEnabled());

        // Out-of-range numbers are replaced as soon as they are typed.
        auto type = [](QSpinBox *box, const QString &text) { box->findChild<QLineEdit *>()->setText(text); };
        type(window.首行编辑框, QStringLiteral("0"));
        QCOMPARE(window.首行编辑框->text(), QStringLiteral("1"));
        type(window.首行编辑框, QStringLiteral("4"));
        QCOMPARE(window.首行编辑框->text(), QStringLiteral("4"));
        type(window.尾行编辑框, QStringLiteral("9"));
        QCOMPARE(window.尾行编辑框->text(), QStringLiteral("5"));
        type(window.尾行编辑框, QString());
        QCOMPARE(window.尾行编辑框->text(), QStringLiteral("5"));

        const QString stem = session->dir.file(QStringLiteral("wab"));
        window.类型组合框->setCurrentIndex(1);
        QCOMPARE(window.路径编辑框->text(), stem + ".htm");
        QCOMPARE(window.保存对话框->fileName, stem + ".htm");
        QCOMPARE(window.保存对话框->filter, QStringLiteral("网页HTML(*.htm)|*.htm"));
        QCOMPARE(window.保存对话框->defaultExtension, QStringLiteral("htm"));
        QVERIFY(window.分隔符标签->isHidden() && window.分割组合框->isHidden());
        QVERIFY(!window.字段选择框->isEnabled());
        window.类型组合框->setCurrentIndex(0);
        QCOMPARE(window.路径编辑框->text(), stem + ".txt");
        QCOMPARE(window.保存对话框->filter, QStringLiteral("文本TXT(*.txt)|*.txt"));
        QCOMPARE(window.保存对话框->defaultExtension, QStringLiteral("txt"));
        QVERIFY(!window.分隔符标签->isHidden() && !window.分割组合框->isHidden());
        QVERIFY(window.字段选择框->isEnabled());

        // Cut at the last "." of the whole path, even in a directory name.
        QCOMPARE(ExportDataWindow::withExtension("/home/a.b/out", ".htm"), QStringLiteral("/home/a.htm"));
        QCOMPARE(ExportDataWindow::withExtension("/home/a/out.x.txt", ".htm"),
                 QStringLiteral("/home/a/out.x.htm"));
        QCOMPARE(ExportDataWindow::withExtension("out", ".htm"), QStringLiteral("out.htm"));

        // The chosen file becomes the path; a cancel keeps it.
        const QString chosen = session->dir.file(QStringLiteral("liste.txt"));
        ui::FileDialog::setNextFileName(chosen);
        window.打开按钮->click();
        QCOMPARE(window.路径编辑框->text(), chosen);
        QCOMPARE(ui::FileDialog::lastShown()->title, QStringLiteral("输出文件"));
        QVERIFY(ui::FileDialog::lastShownWasSave());
        window.打开按钮->click();
        QCOMPARE(window.路径编辑框->text(), chosen);
    }

    void emptyNumberBoxesStayEmptyWhenShown()
    {
        auto session = m_sessions.make();
        ExportDataWindow data(*session);
        data.show();
        QCOMPARE(data.尾行编辑框->text(), QString());
        data.hide();
        ExportWebWindow web(*session);
        web.created();
        web.show();
        web.tabs->setCurrentIndex(0);
        QCOMPARE(web.topMarginEdit->text(), QString());
        QCOMPARE(web.leftMarginEdit->text(), QString());
        web.hide();
    }

    void exportWebEnablingRules()
    {
        auto session = m_sessions.make();
        ExportWebWindow window(*session);
        window.created();
        const QList<std::pair<QCheckBox *, QList<QWidget *>>> rules = {
            {window.pagePictureCheck, {window.pagePictureEdit, window.pagePictureButton}},
            {window.topMarginCheck, {window.topMarginEdit}},
            {window.leftMarginCheck, {window.leftMarginEdit}},
            {window.tablePictureCheck, {window.tablePictureEdit, window.tablePictureButton}},
            {window.headerPictureCheck, {window.headerPictureEdit, window.headerPictureButton}},
            {window.alternateRowsCheck, {window.alternateRowColorPicker}}};
        for (const auto &[box, controls] : rules) {
            for (bool ticked : {true, false}) {
                box->click();
                QCOMPARE(box->isChecked(), ticked);
                for (QWidget *control : controls)
                    QVERIFY2(control->isEnabled() == ticked, qPrintable(control->objectName()));
            }
        }
    }

    void exportWebPictureChoice()
    {
        auto session = m_sessions.make();
        ExportWebWindow window(*session);
        window.created();
        QCOMPARE(ExportWebWindow::pictureUrl(QStringLiteral("C:\\pics\\bg.gif")),
                 QStringLiteral("file:///C:/pics/bg.gif"));
        QCOMPARE(ExportWebWindow::pictureUrl(QStringLiteral("/srv/pics/bg.gif")),
                 QStringLiteral("file:///srv/pics/bg.gif"));

        const QString before = QDir::currentPath();
        window.tablePictureCheck->click();
        QDir::setCurrent(QDir::tempPath());
        ui::FileDialog::setNextFileName(QStringLiteral("/srv/图片/表格.png"));
        window.tablePictureButton->click();
        QCOMPARE(window.tablePictureEdit->text(), QStringLiteral("file:///srv/图片/表格.png"));
        QVERIFY(!ui::FileDialog::lastShownWasSave());
        QCOMPARE(ui::FileDialog::lastShown()->filter, window.pictureDialog->filter);
        QCOMPARE(QDir::currentPath(), session->dir.path());
        // Cancelling clears the box.
        window.tablePictureButton->click();
        QCOMPARE(window.tablePictureEdit->text(), QString());
        QDir::setCurrent(before);
    }

    void colorPicker()
    {
        ColorPicker plain(nullptr, QStringLiteral("p"), 0x0000FF);
        QCOMPARE(plain.objectName(), QStringLiteral("p"));
        QCOMPARE(ColorPicker::toColor(plain.value()), QColor(255, 0, 0));
        QCOMPARE(ColorPicker::fromColor(QColor(69, 35, 1)), quint32(0x012345));
        QVERIFY(plain.transparentAction() == nullptr);
        QSignalSpy changes(&plain, &ColorPicker::changed);
        plain.setValue(0x0000FF);
        QCOMPARE(changes.size(), 0);
        plain.setValue(ColorPicker::kTransparent); // not offered: the colour part only
        QCOMPARE(plain.value(), quint32(0));
        QCOMPARE(changes.size(), 1);

        // A click asks the chooser; a cancel keeps the colour.
        int asked = 0;
        std::optional<quint32> answer = 0x00FF00;
        ColorPicker::setChooser([&](ColorPicker *) {
            ++asked;
            return answer;
        });
        plain.click();
        QCOMPARE(plain.value(), quint32(0x00FF00));
        answer.reset();
        plain.click();
        QCOMPARE(asked, 2);
        QCOMPARE(plain.value(), quint32(0x00FF00));
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.last().first().toUInt(), quint32(0x00FF00));

        ColorPicker clear(nullptr, QStringLiteral("t"), 0xFFFFFF, true);
        QVERIFY(clear.transparentAction());
        QCOMPARE(clear.transparentAction()->text(), QStringLiteral("透明"));
        clear.transparentAction()->trigger();
        QCOMPARE(clear.value(), ColorPicker::kTransparent);
        QVERIFY(clear.isTransparent());
        QCOMPARE(clear.toolTip(), QStringLiteral("透明"));
        clear.setValue(0xECECEC);
        QVERIFY(!clear.isTransparent());
        QCOMPARE(clear.toolTip(), QStringLiteral("#ECECEC"));
    }

    void colorPickerNeverOpensADialogInTestMode()
    {
        ColorPicker picker(nullptr, QStringLiteral("p"), 0x123456);
        picker.click();
        QCOMPARE(picker.value(), quint32(0x123456));
    }

    void upDownControl()
    {
        UpDownControl control;
        QSignalSpy ups(&control, &UpDownControl::upPressed);
        QSignalSpy downs(&control, &UpDownControl::downPressed);
        control.upButton()->click();
        control.downButton()->click();
        control.downButton()->click();
        QCOMPARE(ups.size(), 1);
        QCOMPARE(downs.size(), 2);
    }
};

QTEST_MAIN(WindowsSettingsTest)
#include "tst_windows_settings.moc"
