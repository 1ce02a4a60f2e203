// The web-page export window building pages from a real store: the options
// its controls give the page, preview and save, the store it opens and
// closes, failures, and the data management window's web-page option.

#include "contacts/Gbk.h"
#include "contacts/Session.h"
#include "exchange/WebPage.h"
#include "export/ColorPicker.h"
#include "export/ExportWebWindow.h"
#include "settings/DataWindow.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "support/ProgramDirectory.h"
#include "support/Sessions.h"
#include "support/StoreFiles.h"
#include "ui/Controls.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace quennet;
using exchange::WebPageOptions;

namespace {

const QString kPassword = QStringLiteral("口令1");

QList<QStringList> sampleContacts()
{
    return {test::Person("张三").mobile("13900000001"), test::Person("A&B <b>").mobile("  ").phone("010  1"),
            test::Person("王喆").qq("10001").email("w@example.com").address("北京\"东城\"")};
}

// The page the writer gives for the store's contacts under options.
QByteArray expectedPage(const QString &storePath, const QString &password, const WebPageOptions &options)
{
    ContactStore store;
    if (!store.open(storePath, password))
        return QByteArray("store did not open");
    QStringList names;
    for (int pos = 1; pos <= store.fieldCount(); ++pos)
        names << store.fieldName(pos);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    exchange::writeWebPage(buffer, names,
                           {store.recordCount(), [&store](int n) { return store.contactAt(n).values(); }},
                           options);
    return bytes;
}

using test::readAll;
using test::writeAll;

// While alive, this process may not write files beyond a few bytes: every
// larger write fails as on a full disk.
class FileSizeLimit {
public:
    FileSizeLimit()
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit small = m_saved;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

// Sets the five controls of one font as a user would (the boxes by a click).
void setFont(ColorPicker *colour, QComboBox *size, QComboBox *face, QCheckBox *bold, QCheckBox *italic,
             const exchange::WebFont &font)
{
    colour->setValue(font.colour);
    size->setCurrentIndex(font.sizeIndex);
    face->setEditText(font.face);
    if (bold->isChecked() != font.bold)
        bold->click();
    if (italic->isChecked() != font.italic)
        italic->click();
}

struct ControlCase {
    const char *name;
    std::function<void(ExportWebWindow &)> setControls;
    std::function<void(WebPageOptions &)> expectOptions;
};

QList<ControlCase> controlCases()
{
    using W = ExportWebWindow;
    using O = WebPageOptions;
    const exchange::WebFont caption{0x0000FF, 7, QStringLiteral("宋体"), false, true};
    const exchange::WebFont header{0x00FF00, 2, QStringLiteral("黑体"), false, true};
    const exchange::WebFont data{0x808080, 1, QStringLiteral("楷体"), true, true};
    return {
        {"defaults", [](W &) {}, [](O &) {}},
        {"page tab",
         [=](W &w) {
             w.pageTitleEdit->setText(QStringLiteral("我的  通讯录"));
             w.captionEdit->setText(QStringLiteral("<i>名单</i>"));
             setFont(w.captionTextColorPicker, w.captionSizeBox, w.captionFaceBox, w.captionBoldCheck,
                     w.captionItalicCheck, caption);
             w.pageColorPicker->setValue(0x012345);
             w.pagePictureCheck->click();
             ui::FileDialog::setNextFileName(QStringLiteral("/srv/bg.gif"));
             w.pagePictureButton->click();
             w.topMarginCheck->click();
             QTest::keyClicks(w.topMarginEdit, QStringLiteral("12"));
             w.leftMarginCheck->click();
             w.collapseBordersCheck->click();
             w.alignCenterRadio->click();
         },
         [=](O &o) {
             o.title = QStringLiteral("我的  通讯录");
             o.caption = QStringLiteral("<i>名单</i>");
             o.captionFont = caption;
             o.pageColour = 0x012345;
             o.pagePictureOn = true;
             o.pagePicture = QStringLiteral("file:///srv/bg.gif");
             o.topMarginOn = true;
             o.topMargin = QStringLiteral("12");
             o.leftMarginOn = true;
             o.collapseBorders = true;
             o.alignment = exchange::WebAlignment::Center;
         }},
        {"table tab",
         [=](W &w) {
             w.headerColorPicker->setValue(0xFF0000);
             setFont(w.headerTextColorPicker, w.headerSizeBox, w.headerFaceBox, w.headerBoldCheck,
                     w.headerItalicCheck, header);
             w.rowColorPicker->setValue(0xFFFFFF);
             setFont(w.rowTextColorPicker, w.rowSizeBox, w.rowFaceBox, w.rowBoldCheck, w.rowItalicCheck,
                     data);
             w.alternateRowsCheck->click();
             w.alternateRowColorPicker->setValue(0x00FFFF);
             w.cellPaddingEdit->setText(QStringLiteral("5"));
             w.cellSpacingEdit->clear();
             w.borderWidthEdit->setText(QStringLiteral("3"));
             w.lightBorderColorPicker->setValue(0x111111);
             w.darkBorderColorPicker->setValue(0x222222);
             w.tablePictureCheck->click();
             w.headerPictureCheck->click();
             ui::FileDialog::setNextFileName(QStringLiteral("/srv/head.png"));
             w.headerPictureButton->click();
             w.alignRightRadio->click();
         },
         [=](O &o) {
             o.headerBackground = 0xFF0000;
             o.headerFont = header;
             o.dataBackground = 0xFFFFFF;
             o.dataFont = data;
             o.alternateRowsOn = true;
             o.alternateBackground = 0x00FFFF;
             o.cellPadding = QStringLiteral("5");
             o.cellSpacing.clear();
             o.border = QStringLiteral("3");
             o.lightBorder = 0x111111;
             o.darkBorder = 0x222222;
             o.tablePictureOn = true;
             o.headerPictureOn = true;
             o.headerPicture = QStringLiteral("file:///srv/head.png");
             o.alignment = exchange::WebAlignment::Right;
         }},
        {"empty margins after switching tabs",
         [](W &w) {
             w.topMarginCheck->click();
             w.leftMarginCheck->click();
             w.tabs->setCurrentIndex(1);
             w.tabs->setCurrentIndex(0);
         },
         [](O &o) {
             o.topMarginOn = true;
             o.leftMarginOn = true;
         }},
        {"transparent data background chosen again",
         [](W &w) {
             w.rowColorPicker->setValue(0x00FF00);
             w.rowColorPicker->transparentAction()->trigger();
         },
         [](O &) {}},
    };
}

} // namespace

class ExportWebTest : public QObject {
    Q_OBJECT

    test::Sessions m_sessions;
    std::unique_ptr<Session> m_session;

    // A program directory whose store holds contacts under password.
    void makeStore(const QList<QStringList> &contacts, const QString &password = kPassword)
    {
        m_session = m_sessions.make(password, contacts);
        QVERIFY(m_session);
        m_session->loginCredential =
            ContactStore::credentialFor(m_session->dir.storeFile(), password).credential;
    }

    std::unique_ptr<ExportWebWindow> openWindow(const QString &password = kPassword)
    {
        auto window = std::make_unique<ExportWebWindow>(*m_session);
        window->storePath = m_session->dir.storeFile();
        window->storeCredential =
            ContactStore::credentialFor(m_session->dir.storeFile(), password).credential;
        window->created();
        window->show();
        return window;
    }

private slots:
    void initTestCase() { test::initWindowTests(); }

    void init()
    {
        ui::clearTestScripts();
        QDir::setCurrent(QDir::tempPath());
    }

    void controlsReachThePage_data()
    {
        QTest::addColumn<int>("index");
        const QList<ControlCase> cases = controlCases();
        for (int i = 0; i < cases.size(); ++i)
            QTest::newRow(cases.at(i).name) << i;
    }

    void controlsReachThePage()
    {
        QFETCH(int, index);
        const ControlCase c = controlCases().at(index);
        makeStore(sampleContacts());
        auto window = openWindow();
        c.setControls(*window);
        window->previewButton->click();

        WebPageOptions expected;
        c.expectOptions(expected);
        const QByteArray page = readAll(m_session->dir.previewFile());
        QCOMPARE(page, expectedPage(m_session->dir.storeFile(), kPassword, expected));
        QVERIFY(page.contains(gbk::encode(QStringLiteral("A&amp;B &lt;b&gt;"))));
    }

    void previewWritesHtmlTxtAndOpensIt()
    {
        makeStore(sampleContacts());
        writeAll(m_session->dir.previewFile(), QByteArray(200000, 'x'));
        auto window = openWindow();
        QList<int> positions;
        connect(window->progressBar, &QProgressBar::valueChanged, [&](int value) { positions << value; });
        window->previewButton->click();

        QCOMPARE(window->progressBar->maximum(), 3 + 3);
        QCOMPARE(positions, (QList<int>{1, 2, 3, 4, 5, 6, 0}));
        QCOMPARE(window->progressBar->value(), 0);
        QCOMPARE(window->statusPane(1)->text(), QStringLiteral("就绪"));
        QCOMPARE(ui::openedDocuments(), QStringList{m_session->dir.previewFile()});
        QCOMPARE(readAll(m_session->dir.previewFile()),
                 expectedPage(m_session->dir.storeFile(), kPassword, WebPageOptions()));
        QVERIFY(!m_session->store.isOpen());
        QVERIFY(window->isVisible());
        QVERIFY(test::shownMessages().isEmpty());
    }

    void saveThroughTheDialog()
    {
        makeStore(sampleContacts());
        const QString target = m_session->dir.file(QStringLiteral("页面"));
        bool stayedOpenAfterCancel = false;
        QString percentAfterCancel;
        int shownBeforeConfirm = 0;
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *window = qobject_cast<ExportWebWindow *>(shown);
            // A picture from elsewhere first: the page is still offered in
            // the program directory.
            window->pagePictureCheck->click();
            ui::FileDialog::setNextFileName(QDir::tempPath() + QStringLiteral("/bg.gif"));
            window->pagePictureButton->click();
            ui::FileDialog::setNextFileName(QString()); // cancel
            window->saveButton->click();
            stayedOpenAfterCancel = window->isVisible();
            percentAfterCancel = window->statusPane(1)->text();
            shownBeforeConfirm = ui::FileDialog::shownCount();
            ui::FileDialog::setNextFileName(target);
            window->saveButton->click();
        });
        const int result =
            ExportWebWindow::run(*m_session, nullptr, m_session->dir.storeFile(), m_session->loginCredential);

        QVERIFY(stayedOpenAfterCancel);
        QCOMPARE(percentAfterCancel, QStringLiteral("100%"));
        QCOMPARE(shownBeforeConfirm, 2);
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(ui::FileDialog::lastShownWasSave());
        QCOMPARE(ui::FileDialog::lastShown()->initialDirectory, m_session->dir.path());
        QCOMPARE(ui::FileDialog::lastShown()->title, QStringLiteral("保存"));
        WebPageOptions withPicture;
        withPicture.pagePictureOn = true;
        withPicture.pagePicture = QStringLiteral("file://") + QDir::tempPath() + QStringLiteral("/bg.gif");
        QCOMPARE(readAll(target + QStringLiteral(".htm")),
                 expectedPage(m_session->dir.storeFile(), kPassword, withPicture));
        QCOMPARE(QDir::currentPath(), m_session->dir.path());
        QVERIFY(test::shownMessages().isEmpty());
        QVERIFY(!QFile::exists(m_session->dir.previewFile()));
    }

    void aStoreThatDoesNotOpenIsReported()
    {
        makeStore(sampleContacts());
        auto window = openWindow(QStringLiteral("错误的密码"));
        window->saveButton->click();
        window->previewButton->click();
        const QString message =
            QStringLiteral("打开数据库“") + m_session->dir.storeFile() + QStringLiteral("”失败！");
        QCOMPARE(test::shownMessages(),
                 QStringList(2, test::messageLine(message, QString(), ui::Style::OkStop)));
        QCOMPARE(ui::FileDialog::shownCount(), 0);
        QCOMPARE(window->progressBar->value(), 0);
        QVERIFY(!QFile::exists(m_session->dir.previewFile()));
        QVERIFY(ui::openedDocuments().isEmpty());
        QVERIFY(!m_session->store.isOpen());
        QVERIFY(window->isVisible());
    }

    void aFailedWriteKeepsTheOldFileAndTheWindow()
    {
        QList<QStringList> many = test::numberedContacts(50);
        makeStore(many);
        const QByteArray old("old page\r\n");
        const QString target = m_session->dir.file(QStringLiteral("page.htm"));
        QVERIFY(writeAll(target, old));
        QVERIFY(writeAll(m_session->dir.previewFile(), old));
        auto window = openWindow();
        {
            const FileSizeLimit full;
            ui::FileDialog::setNextFileName(target);
            window->saveButton->click();
            window->previewButton->click();
        }
        QCOMPARE(test::shownMessages(),
                 QStringList(2, test::notice(QStringLiteral("保存网页失败！"), ui::Style::OkStop)));
        QCOMPARE(readAll(target), old);
        QCOMPARE(readAll(m_session->dir.previewFile()), old);
        QCOMPARE(QDir(m_session->dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
                 3); // no temporary left
        QVERIFY(ui::openedDocuments().isEmpty());
        QVERIFY(window->isVisible());
        QVERIFY(window->saveButton->isEnabled());
    }

    void theStoreFileIsNeverReplaced()
    {
        makeStore(sampleContacts());
        const QByteArray store = readAll(m_session->dir.storeFile());
        auto window = openWindow();
        ui::FileDialog::setNextFileName(m_session->dir.storeFile());
        window->saveButton->click();
        QCOMPARE(test::lastMessage(), test::notice(QStringLiteral("保存网页失败！"), ui::Style::OkStop));
        QCOMPARE(readAll(m_session->dir.storeFile()), store);
        QVERIFY(window->isVisible());
    }

    void buttonsAreLockedWhileBuilding()
    {
        makeStore(test::numberedContacts(5));
        auto window = openWindow();
        QList<bool> enabledDuringBuild;
        bool stillOpen = true;
        connect(window->progressBar, &QProgressBar::valueChanged, window.get(), [&](int value) {
            if (value == 0)
                return;
            for (QPushButton *button : {window->saveButton, window->previewButton, window->cancelButton})
                enabledDuringBuild << button->isEnabled();
            // A click that arrives meanwhile starts nothing; closing waits.
            window->previewButton->click();
            window->reject();
            stillOpen = stillOpen && window->isVisible();
        });
        window->previewButton->click();
        QCOMPARE(enabledDuringBuild.size(), 3 * (5 + 3));
        QVERIFY(!enabledDuringBuild.contains(true));
        QVERIFY(stillOpen);
        QCOMPARE(ui::openedDocuments().size(), 1);
        for (QPushButton *button : {window->saveButton, window->previewButton, window->cancelButton})
            QVERIFY(button->isEnabled());
        window->cancelButton->click();
        QVERIFY(!window->isVisible());
    }

    void dataWindowRunsTheWebExportOnTheClosedStore()
    {
        makeStore(sampleContacts());
        QVERIFY(m_session->store.open(m_session->dir.storeFile(), kPassword));
        m_session->store.goTo(2);
        QString path;
        StoreCredential credential;
        bool storeClosed = false;
        ui::ModalScript::setNextHandler([](QDialog *shown) {
            shown->findChild<QRadioButton *>(QStringLiteral("单选框2"))->click();
            shown->findChild<QPushButton *>(QStringLiteral("确定按钮"))->click();
        });
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *web = qobject_cast<ExportWebWindow *>(shown);
            QVERIFY(web);
            path = web->storePath;
            credential = web->storeCredential;
            storeClosed = !m_session->store.isOpen();
            web->previewButton->click(); // builds with its own open and close
            web->cancelButton->click();
        });
        DataWindow::run(*m_session, nullptr);

        QCOMPARE(ui::ModalScript::shownNames(),
                 (QStringList{QStringLiteral("数据管理窗口"), QStringLiteral("导出网页窗口")}));
        QCOMPARE(path, m_session->dir.storeFile());
        QVERIFY(credential.holdsKey() && credential.matches(kPassword));
        QVERIFY(storeClosed);
        QVERIFY(QFile::exists(m_session->dir.previewFile()));
        QVERIFY(m_session->store.isOpen());
        QCOMPARE(m_session->store.recordCount(), 3);
        QCOMPARE(m_session->store.fieldOf(1, 1), QStringLiteral("张三"));
        QCOMPARE(ui::ModalScript::pendingHandlers(), 0);
    }
};

QTEST_MAIN(ExportWebTest)
#include "tst_export_web.moc"
