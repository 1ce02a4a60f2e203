// The window and control layer: message boxes, file dialogs, the modal
// runner, skins, list backgrounds and the small controls.

#include "app/Program.h"
#include "support/DataRows.h"
#include "support/Messages.h"
#include "support/ProgramDirectory.h"
#include "support/StoreFiles.h"
#include "ui/ColorDialog.h"
#include "ui/Controls.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Skin.h"

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

using namespace quennet;
using namespace quennet::ui;

namespace {

const QRgb kMagenta = qRgb(255, 0, 255);

QImage solidImage(const QSize &size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

bool writeBmp(const QString &path, const QImage &image)
{
    return image.save(path, "BMP");
}

QColor pixelOf(QWidget *widget, const QPoint &at)
{
    return widget->grab().toImage().pixelColor(at);
}

// A dialog that counts how often it is shown, and can close itself while
// being shown as a broken window would.
class ProbeDialog : public QDialog {
public:
    int shows = 0;
    bool closeWhileShown = false;

protected:
    void showEvent(QShowEvent *event) override
    {
        ++shows;
        QDialog::showEvent(event);
        if (closeWhileShown)
            done(5);
    }
};

// Fails a test instead of hanging it when a real dialog is left open.
void closeStrayModalsLater()
{
    QTimer::singleShot(10000, qApp, [] {
        while (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
}

QStringList htmFilters()
{
    return FileDialog::nameFilters(
        QStringLiteral("所有文件(*.*)|*.*|网页(*.htm;*.html;*.shtml;*.shtm;*.asp;*.aspx;*.php;)|*.htm;*.html;"
                       "*.shtml;*.shtm;*."
                       "asp;*.aspx;*.php;|HTML 文件(*.htm;*.html)|*.htm;*.html|ASP 文件(*.asp)|*.asp|ASPX "
                       "文件(*.aspx)|*.aspx|"
                       "文本(*.txt)|*.txt|PHP 文件(*.php)|*.php"));
}

} // namespace

class TestUi : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void styleMapping_data();
    void styleMapping();
    void builtBoxCarriesStyle_data() { styleMapping_data(); }
    void builtBoxCarriesStyle();
    void builtBoxAnswersButtonsEnterAndEscape_data() { styleMapping_data(); }
    void builtBoxAnswersButtonsEnterAndEscape();
    void builtBoxBreaksLinesAndKeepsMarkupLiteral();
    void scriptedBoxesRecordAndAnswerInOrder();
    void scriptedBoxAnswersDefaultButton_data() { styleMapping_data(); }
    void scriptedBoxAnswersDefaultButton();

    void nameFiltersOfProgramFilters_data();
    void nameFiltersOfProgramFilters();
    void nameFiltersSelectTheirGlobsInQtDialog();
    void defaultExtension_data();
    void defaultExtension();
    void scriptedFileDialogTakesQueuedNames();
    void scriptedFileDialogCancelKeepsPreset();
    void scriptedFileDialogRecordsSettingsAsShown();
    void realSaveDialogAddsExtensionAndCancelKeepsName();

    void execModalRunsHandlerInsideShownWindow();
    void execModalWithoutHandlerRejectsAfterShowing();
    void execModalNestedMessageBoxAndModal();
    void execModalClosesWindowLeftOpen();
    void execModalEndsWindowClosedWhileShown();
    void execModalWithDeleteOnClose();
    void setTestModeSwitchesEveryLayer();
    void colorDialogAnswersThroughModalScript();
    void qtOwnWordsAreChinese_data();
    void qtOwnWordsAreChinese();

    void imageButtonAttributes();
    void imageButtonClickHoverAndKeyboard();
    void imageButtonDrawsPicturePerState();
    void imageButtonPicturesInResourcesAreComplete();
    void transparentLabelAttributes();
    void transparentLabelShowsWindowThrough();
    void timerControl();
    void simulatedKeyReachesFocusedEditOnly();
    void openDocumentIsRecordedInTestMode();

    void skinMaskExcludesExactlyMagenta();
    void skinPaintsBackgroundUnderControls_data();
    void skinPaintsBackgroundUnderControls();
    void missingOrBrokenSkinLeavesWindowPlain();
    void skinIsReadAgainEachTime();
    void listBackgroundTiledAnchoredAndRemoved();
    void visualStyleFollowsReadOnlyChanges();
    void fontSubstitutesMapWindowsFaces();

private:
    std::unique_ptr<test::TestEnv> m_env;
};

void TestUi::initTestCase()
{
    installFontSubstitutes();
}

void TestUi::init()
{
    m_env = std::make_unique<test::TestEnv>();
    QVERIFY(m_env->isValid());
}

void TestUi::cleanup()
{
    m_env.reset();
    setTestMode(true);
}

// ---- message boxes ----

void TestUi::styleMapping_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<int>("defaultAnswer");
    QTest::addColumn<int>("escapeAnswer");

    const QList<int> ok{AnswerOk}, okCancel{AnswerOk, AnswerCancel}, yesNo{AnswerYes, AnswerNo};
    QTest::newRow("0") << 0x0 << int(StyleInfo::NoIcon) << ok << int(AnswerOk) << int(AnswerOk);
    QTest::newRow("0x10") << 0x10 << int(StyleInfo::Stop) << ok << int(AnswerOk) << int(AnswerOk);
    QTest::newRow("0x20") << 0x20 << int(StyleInfo::Question) << ok << int(AnswerOk) << int(AnswerOk);
    QTest::newRow("0x30") << 0x30 << int(StyleInfo::Exclamation) << ok << int(AnswerOk) << int(AnswerOk);
    QTest::newRow("0x40") << 0x40 << int(StyleInfo::Information) << ok << int(AnswerOk) << int(AnswerOk);
    QTest::newRow("0x24") << 0x24 << int(StyleInfo::Question) << yesNo << int(AnswerYes) << int(AnswerNo);
    QTest::newRow("0x121") << 0x121 << int(StyleInfo::Question) << okCancel << int(AnswerCancel)
                           << int(AnswerCancel);
    QTest::newRow("0x124") << 0x124 << int(StyleInfo::Question) << yesNo << int(AnswerNo) << int(AnswerNo);
    QTest::newRow("0x131") << 0x131 << int(StyleInfo::Exclamation) << okCancel << int(AnswerCancel)
                           << int(AnswerCancel);
}

void TestUi::styleMapping()
{
    QFETCH(int, style);
    QFETCH(int, icon);
    QFETCH(QList<int>, buttons);
    QFETCH(int, defaultAnswer);
    QFETCH(int, escapeAnswer);

    const StyleInfo info = styleInfo(style);
    QCOMPARE(int(info.icon), icon);
    QList<int> shownButtons;
    for (Answer answer : info.buttons)
        shownButtons.append(answer);
    QCOMPARE(shownButtons, buttons);
    QCOMPARE(int(info.defaultButton), defaultAnswer);
    QCOMPARE(int(info.escapeButton), escapeAnswer);
}

void TestUi::builtBoxCarriesStyle()
{
    QFETCH(int, style);
    QFETCH(int, icon);
    QFETCH(QList<int>, buttons);
    QFETCH(int, defaultAnswer);
    QFETCH(int, escapeAnswer);

    const QMap<int, QMessageBox::Icon> qtIcons{{StyleInfo::NoIcon, QMessageBox::NoIcon},
                                               {StyleInfo::Stop, QMessageBox::Critical},
                                               {StyleInfo::Question, QMessageBox::Question},
                                               {StyleInfo::Exclamation, QMessageBox::Warning},
                                               {StyleInfo::Information, QMessageBox::Information}};
    const QMap<int, QString> captions{{AnswerOk, QStringLiteral("确定")},
                                      {AnswerCancel, QStringLiteral("取消")},
                                      {AnswerYes, QStringLiteral("是(&Y)")},
                                      {AnswerNo, QStringLiteral("否(&N)")}};

    std::unique_ptr<QMessageBox> box(
        detail::buildMessageBox(nullptr, QStringLiteral("正文"), QStringLiteral("温馨提示"), style));
    QCOMPARE(box->windowTitle(), QStringLiteral("温馨提示"));
    QCOMPARE(box->icon(), qtIcons.value(icon));
    QCOMPARE(box->buttons().size(), buttons.size());
    for (int answer : buttons) {
        QAbstractButton *button = detail::buttonFor(*box, Answer(answer));
        QVERIFY2(button, qPrintable(QString::number(answer)));
        QCOMPARE(button->text(), captions.value(answer));
    }
    QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()),
             detail::buttonFor(*box, Answer(defaultAnswer)));
    QCOMPARE(box->escapeButton(), detail::buttonFor(*box, Answer(escapeAnswer)));
}

void TestUi::builtBoxAnswersButtonsEnterAndEscape()
{
    QFETCH(int, style);
    QFETCH(QList<int>, buttons);
    QFETCH(int, defaultAnswer);
    QFETCH(int, escapeAnswer);

    for (int answer : buttons) {
        std::unique_ptr<QMessageBox> box(detail::buildMessageBox(nullptr, "x", "t", style));
        detail::buttonFor(*box, Answer(answer))->click();
        QCOMPARE(detail::answerOf(*box, style), answer);
    }

    // The answer of a shown box after what the user did to it.
    const auto answerAfter = [style](const std::function<void(QMessageBox *)> &act) {
        std::unique_ptr<QMessageBox> box(detail::buildMessageBox(nullptr, "x", "t", style));
        box->show();
        act(box.get());
        return detail::answerOf(*box, style);
    };
    QCOMPARE(answerAfter([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Return); }), defaultAnswer);
    QCOMPARE(answerAfter([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); }), escapeAnswer);
    QCOMPARE(answerAfter([](QMessageBox *box) { box->close(); }), escapeAnswer);
}

void TestUi::builtBoxBreaksLinesAndKeepsMarkupLiteral()
{
    std::unique_ptr<QMessageBox> box(detail::buildMessageBox(
        nullptr, QStringLiteral("第一行\r\n第二行\r\n\r\n末行\r单独回车"), QStringLiteral("温馨提示"), 0x40));
    QCOMPARE(box->text(), QStringLiteral("第一行\n第二行\n\n末行\n单独回车"));

    std::unique_ptr<QMessageBox> markup(
        detail::buildMessageBox(nullptr, QStringLiteral("<b>张三</b> & 李四"), QStringLiteral("提示"), 0));
    QCOMPARE(markup->textFormat(), Qt::PlainText);
    QCOMPARE(markup->text(), QStringLiteral("<b>张三</b> & 李四"));
}

void TestUi::scriptedBoxesRecordAndAnswerInOrder()
{
    MessageBoxScript::setNextAnswer(AnswerNo);
    MessageBoxScript::setNextAnswer(AnswerCancel);
    MessageBoxScript::setNextAnswer(AnswerYes);
    QCOMPARE(MessageBoxScript::pendingAnswers(), 3);

    QCOMPARE(messageBox(nullptr, QStringLiteral("确定删除？"), QStringLiteral("温馨提示"), 0x24),
             int(AnswerNo));
    QCOMPARE(messageBox(nullptr, QStringLiteral("清空？\r\n不可恢复"), QStringLiteral("温馨提示！"), 0x131),
             int(AnswerCancel));
    QCOMPARE(messageBox(nullptr, QStringLiteral("再问"), QStringLiteral("温馨提示"), 0x124), int(AnswerYes));
    QCOMPARE(messageBox(nullptr, QStringLiteral("添加联系人成功！"), QStringLiteral("温馨提示"), 0x40),
             int(AnswerOk));
    QCOMPARE(MessageBoxScript::pendingAnswers(), 0);

    // Each recorded as given.
    QCOMPARE(test::shownMessages(), (QStringList{test::tip(QStringLiteral("确定删除？"), 0x24),
                                                 test::messageLine(QStringLiteral("清空？\r\n不可恢复"),
                                                                   QStringLiteral("温馨提示！"), 0x131),
                                                 test::tip(QStringLiteral("再问"), 0x124),
                                                 test::tip(QStringLiteral("添加联系人成功！"), 0x40)}));
    QCOMPARE(test::lastMessage(), test::tip(QStringLiteral("添加联系人成功！"), 0x40));

    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        QVERIFY(!qobject_cast<QMessageBox *>(window));

    MessageBoxScript::clear();
    QVERIFY(test::shownMessages().isEmpty());
    QCOMPARE(MessageBoxScript::last().text, QString());
}

void TestUi::scriptedBoxAnswersDefaultButton()
{
    QFETCH(int, style);
    QFETCH(int, defaultAnswer);
    QCOMPARE(messageBox(nullptr, "x", "t", style), defaultAnswer);
}

// ---- file dialogs ----

void TestUi::nameFiltersOfProgramFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("backup") << QStringLiteral("备份文件(*.bak)|*.bak") << QStringList{"备份文件(*.bak)"};
    QTest::newRow("excel") << QStringLiteral("Excel文件(*.xls)|*.xls") << QStringList{"Excel文件(*.xls)"};
    QTest::newRow("text") << QStringLiteral("文本TXT(*.txt)|*.txt") << QStringList{"文本TXT(*.txt)"};
    QTest::newRow("html") << QStringLiteral("网页HTML(*.htm)|*.htm") << QStringList{"网页HTML(*.htm)"};
    QTest::newRow("plain description")
        << QStringLiteral("描述|*.htm;*.html") << QStringList{"描述 (*.htm *.html)"};
    QTest::newRow("web page") << QString()
                              << QStringList{"所有文件(*)",
                                             "网页(*.htm *.html *.shtml *.shtm *.asp *.aspx *.php)",
                                             "HTML 文件(*.htm *.html)",
                                             "ASP 文件(*.asp)",
                                             "ASPX 文件(*.aspx)",
                                             "文本(*.txt)",
                                             "PHP 文件(*.php)"};
    const QString all = QStringLiteral("*.gif *.jpg *.bmp *.png *.tif *.wmf *.ras *.eps *.pcx *.pcd *.tga");
    QTest::newRow("pictures") << QStringLiteral(
                                     "所有文件(*.*)|*.*|所有图片(*.gif;*.jpg;*.bmp;*.png;*.tif;*.wmf;*.ras;*."
                                     "eps;*.pcx;*.pcd;*.tga|*.gif;*."
                                     "jpg;*.bmp;*.png;*.tif;*.wmf;*.ras;*.eps;*.pcx;*.pcd;*.tga|"
                                     "GIF、JPEG和PNG|*.gif;*.jpg;*.bmp;*.png;*."
                                     "tif;*.wmf;*.ras;*.eps;*.pcx;*.pcd;*.tga|GIF、JPEG、PNG(*.gif;*.jpg;*."
                                     "png)|*.gif;*.jpg;*.png|位图(*."
                                     "BMP)|*.bmp|TIFF(*.tif)|*.tif|Windows 图元文件(*.wmf)|*.wmf|SUN "
                                     "Raster(*.ras)|*.ras|PostScript(*.eps)"
                                     "|*.eps|PCX(*.pcx)|*.pcx|Kodak PhotoCD(*.pcd)|*.pcd|Targa(*.tga)|*.tga")
                              << QStringList{"所有文件(*)",
                                             "所有图片(" + all + ")",
                                             "GIF、JPEG和PNG (" + all + ")",
                                             "GIF、JPEG、PNG(*.gif *.jpg *.png)",
                                             "位图(*.bmp)",
                                             "TIFF(*.tif)",
                                             "Windows 图元文件(*.wmf)",
                                             "SUN Raster(*.ras)",
                                             "PostScript(*.eps)",
                                             "PCX(*.pcx)",
                                             "Kodak PhotoCD(*.pcd)",
                                             "Targa(*.tga)"};
}

void TestUi::nameFiltersOfProgramFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(filter.isEmpty() ? htmFilters() : FileDialog::nameFilters(filter), expected);
}

void TestUi::nameFiltersSelectTheirGlobsInQtDialog()
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList filters = htmFilters();
    dialog.setNameFilters(filters);
    auto *model = dialog.findChild<QFileSystemModel *>();
    QVERIFY(model);

    const QList<QStringList> globs{{"*"},
                                   {"*.htm", "*.html", "*.shtml", "*.shtm", "*.asp", "*.aspx", "*.php"},
                                   {"*.htm", "*.html"},
                                   {"*.asp"},
                                   {"*.aspx"},
                                   {"*.txt"},
                                   {"*.php"}};
    QCOMPARE(filters.size(), globs.size());
    for (int i = 0; i < filters.size(); ++i) {
        dialog.selectNameFilter(filters.at(i));
        QCOMPARE(model->nameFilters(), globs.at(i));
    }
}

void TestUi::defaultExtension_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");

    test::addTextRow("star dot", {"*.xls", "/d/通讯录", "/d/通讯录.xls"});
    test::addTextRow("plain", {"txt", "/d/out", "/d/out.txt"});
    test::addTextRow("dot", {".htm", "/d/page", "/d/page.htm"});
    test::addTextRow("own extension kept", {"*.bak", "/d/wab.old", "/d/wab.old"});
    test::addTextRow("same extension", {"htm", "/d/page.htm", "/d/page.htm"});
    test::addTextRow("trailing dot", {"txt", "/d/out.", "/d/out.txt"});
    test::addTextRow("none", {"", "/d/out", "/d/out"});
}

void TestUi::defaultExtension()
{
    QFETCH(QString, extension);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    QCOMPARE(FileDialog::withDefaultExtension(typed, extension), result);
}

void TestUi::scriptedFileDialogTakesQueuedNames()
{
    FileDialog dialog;
    dialog.filter = QStringLiteral("Excel文件(*.xls)|*.xls");
    dialog.defaultExtension = QStringLiteral("*.xls");
    dialog.initialDirectory = m_env->path();

    FileDialog::setNextFileName(m_env->file("通讯录"));
    FileDialog::setNextFileName(QStringLiteral("相对.xls"));
    QCOMPARE(FileDialog::pendingFileNames(), 2);

    QVERIFY(dialog.showSave(nullptr));
    QCOMPARE(dialog.fileName, m_env->file("通讯录.xls"));
    QVERIFY(dialog.showSave(nullptr));
    QCOMPARE(dialog.fileName, m_env->file("相对.xls"));
    QCOMPARE(FileDialog::shownCount(), 2);
    QCOMPARE(FileDialog::pendingFileNames(), 0);
}

void TestUi::scriptedFileDialogCancelKeepsPreset()
{
    FileDialog dialog;
    dialog.defaultExtension = QStringLiteral("*.bak");
    dialog.fileName = m_env->file("wab.bak");

    FileDialog::setNextFileName(QString()); // the user presses Cancel
    QVERIFY(!dialog.showSave(nullptr));
    QCOMPARE(dialog.fileName, m_env->file("wab.bak"));

    QVERIFY(!dialog.showOpen(nullptr)); // nothing queued: Cancel too
    QCOMPARE(dialog.fileName, m_env->file("wab.bak"));
    QCOMPARE(FileDialog::shownCount(), 2);
    QVERIFY(!FileDialog::lastShownWasSave());
}

void TestUi::scriptedFileDialogRecordsSettingsAsShown()
{
    {
        FileDialog dialog;
        dialog.title = QStringLiteral("输出文件");
        dialog.filter = QStringLiteral("文本TXT(*.txt)|*.txt");
        dialog.defaultExtension = QStringLiteral("txt");
        dialog.initialDirectory = m_env->path();
        dialog.fileName = m_env->file("wab.txt");
        FileDialog::setNextFileName(m_env->file("导出"));
        QVERIFY(dialog.showSave(nullptr));
        dialog.filter = QStringLiteral("网页HTML(*.htm)|*.htm"); // changed after showing
    }
    const FileDialog *shown = FileDialog::lastShown();
    QVERIFY(shown);
    QCOMPARE(shown->title, QStringLiteral("输出文件"));
    QCOMPARE(shown->filter, QStringLiteral("文本TXT(*.txt)|*.txt"));
    QCOMPARE(shown->defaultExtension, QStringLiteral("txt"));
    QCOMPARE(shown->initialDirectory, m_env->path());
    QCOMPARE(shown->fileName, m_env->file("wab.txt")); // the preset, not the answer
    QVERIFY(FileDialog::lastShownWasSave());
}

void TestUi::realSaveDialogAddsExtensionAndCancelKeepsName()
{
    FileDialog::setTestMode(false);
    closeStrayModalsLater();
    FileDialog dialog;
    dialog.title = QStringLiteral("保存");
    dialog.filter = QStringLiteral("Excel文件(*.xls)|*.xls");
    dialog.defaultExtension = QStringLiteral("*.xls");
    dialog.initialDirectory = m_env->path();

    QStringList seenFilters;
    QString seenSuffix, seenTitle;
    QTimer::singleShot(0, this, [&] {
        auto *shown = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!shown)
            return;
        seenFilters = shown->nameFilters();
        seenSuffix = shown->defaultSuffix();
        seenTitle = shown->windowTitle();
        shown->selectFile(QStringLiteral("导出"));
        static_cast<QDialog *>(shown)->accept();
    });
    QVERIFY(dialog.showSave(nullptr));
    QCOMPARE(seenFilters, QStringList{"Excel文件(*.xls)"});
    QCOMPARE(seenSuffix, QStringLiteral("xls"));
    QCOMPARE(seenTitle, QStringLiteral("保存"));
    QCOMPARE(QFileInfo(dialog.fileName).absoluteFilePath(),
             QFileInfo(m_env->file("导出.xls")).absoluteFilePath());

    const QString chosen = dialog.fileName;
    QTimer::singleShot(0, this, [] {
        if (QWidget *shown = QApplication::activeModalWidget())
            static_cast<QDialog *>(shown)->reject();
    });
    QVERIFY(!dialog.showSave(nullptr));
    QCOMPARE(dialog.fileName, chosen);
}

// ---- modal runner ----

void TestUi::execModalRunsHandlerInsideShownWindow()
{
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("密码设置窗口"));
    bool wasVisible = false;
    bool wasActiveModal = false;
    ModalScript::setNextHandler([&](QDialog *shown) {
        wasVisible = shown->isVisible();
        wasActiveModal = QApplication::activeModalWidget() == shown;
        shown->accept();
    });
    QCOMPARE(execModal(&dialog), int(QDialog::Accepted));
    QVERIFY(wasVisible);
    QVERIFY(wasActiveModal);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(ModalScript::shownCount(), 1);
    QCOMPARE(ModalScript::shownNames(), QStringList{"密码设置窗口"});
    QCOMPARE(ModalScript::pendingHandlers(), 0);
}

void TestUi::colorDialogAnswersThroughModalScript()
{
    ModalScript::setNextHandler([](QDialog *shown) {
        auto *dialog = qobject_cast<QColorDialog *>(shown);
        QVERIFY(dialog);
        QCOMPARE(dialog->currentColor(), QColor(Qt::white));
        dialog->setCurrentColor(QColor(69, 35, 1));
        dialog->accept();
    });
    QCOMPARE(chooseColor(nullptr, Qt::white), std::optional<QColor>(QColor(69, 35, 1)));
    // No answer queued: the dialog closes as cancelled.
    QCOMPARE(chooseColor(nullptr, Qt::white), std::nullopt);
    QCOMPARE(ModalScript::shownCount(), 2);
}

// Qt's own words, as its standard windows and menus show them once the
// program loaded Qt's translations.
void TestUi::qtOwnWordsAreChinese_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("expected");
    QTest::newRow("colour dialog title") << "colour dialog"
                                         << "选择颜色";
    QTest::newRow("edit box menu: undo") << "edit menu"
                                         << "撤消(&U)";
    QTest::newRow("edit box menu: copy") << "edit menu"
                                         << "复制(&C)";
    QTest::newRow("edit box menu: paste") << "edit menu"
                                          << "粘贴(&P)";
    QTest::newRow("edit box menu: select all") << "edit menu"
                                               << "全选";
    QTest::newRow("file dialog: replace") << "file dialog"
                                          << "%1 已存在。\n您想要替换它吗？";
    QTest::newRow("file dialog: columns") << "file columns"
                                          << "名称";
}

void TestUi::qtOwnWordsAreChinese()
{
    QFETCH(QString, where);
    QFETCH(QString, expected);
    const std::unique_ptr<QTranslator> translator(installQtTranslations());
    QVERIFY2(translator, "qtbase_zh_CN.qm is missing (qt6-translations-l10n)");
    QStringList shown;
    if (where == QLatin1String("colour dialog")) {
        ModalScript::setNextHandler([&shown](QDialog *dialog) {
            shown << dialog->windowTitle();
            dialog->reject();
        });
        chooseColor(nullptr, Qt::red);
    } else if (where == QLatin1String("edit menu")) {
        QLineEdit edit(QStringLiteral("文字"));
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        for (const QAction *action : menu->actions())
            shown << action->text().section(QLatin1Char('\t'), 0, 0);
    } else if (where == QLatin1String("file dialog")) {
        shown << QFileDialog::tr("%1 already exists.\nDo you want to replace it?");
    } else {
        QFileSystemModel model;
        for (int column = 0; column < model.columnCount(); ++column)
            shown << model.headerData(column, Qt::Horizontal).toString();
    }
    QVERIFY2(shown.contains(expected), qPrintable(shown.join(QLatin1Char('|'))));
}

void TestUi::execModalWithoutHandlerRejectsAfterShowing()
{
    ProbeDialog dialog;
    QCOMPARE(execModal(&dialog), int(QDialog::Rejected));
    QCOMPARE(dialog.shows, 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(ModalScript::shownCount(), 1);
}

void TestUi::execModalNestedMessageBoxAndModal()
{
    // The outer window asks a question from a button, then opens another
    // window; both run from inside the outer window's handler.
    QDialog outer;
    outer.setObjectName(QStringLiteral("数据管理窗口"));
    auto *confirm = new QPushButton(QStringLiteral("确定"), &outer);
    QDialog inner;
    inner.setObjectName(QStringLiteral("导出数据窗口"));
    int innerResult = -1;
    QObject::connect(confirm, &QPushButton::clicked, &outer, [&] {
        if (messageBox(&outer, QStringLiteral("继续吗？"), QStringLiteral("提示"), 0x124) != AnswerYes)
            return;
        innerResult = execModal(&inner);
        outer.accept();
    });

    MessageBoxScript::setNextAnswer(AnswerYes);
    QStringList order;
    ModalScript::setNextHandler([&](QDialog *shown) {
        order << shown->objectName();
        confirm->click();
    });
    ModalScript::setNextHandler([&](QDialog *shown) {
        order << shown->objectName();
        shown->done(7);
    });

    QCOMPARE(execModal(&outer), int(QDialog::Accepted));
    QCOMPARE(innerResult, 7);
    QCOMPARE(order, (QStringList{"数据管理窗口", "导出数据窗口"}));
    QCOMPARE(test::lastMessage(), test::notice(QStringLiteral("继续吗？"), 0x124));
    QCOMPARE(ModalScript::shownNames(), (QStringList{"数据管理窗口", "导出数据窗口"}));
}

void TestUi::execModalClosesWindowLeftOpen()
{
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("关于窗口"));
    bool handled = false;
    ModalScript::setNextHandler([&](QDialog *) { handled = true; });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("left open"));
    QCOMPARE(execModal(&dialog), int(QDialog::Rejected));
    QVERIFY(handled);
    QVERIFY(!dialog.isVisible());
}

void TestUi::execModalEndsWindowClosedWhileShown()
{
    ProbeDialog dialog;
    dialog.closeWhileShown = true;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("closed itself while being shown"));
    QCOMPARE(execModal(&dialog), 5);
    QVERIFY(!dialog.isVisible());
}

void TestUi::execModalWithDeleteOnClose()
{
    QPointer<QDialog> dialog = new QDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    ModalScript::setNextHandler([](QDialog *shown) { shown->accept(); });
    QCOMPARE(execModal(dialog), int(QDialog::Accepted));
    QTRY_VERIFY(dialog.isNull());
}

void TestUi::setTestModeSwitchesEveryLayer()
{
    setTestMode(false);
    QVERIFY(!testMode());
    QVERIFY(!MessageBoxScript::testMode());
    QVERIFY(!FileDialog::testMode());
    QVERIFY(!ModalScript::testMode());
    setTestMode(true);
    QVERIFY(testMode());
    QVERIFY(MessageBoxScript::testMode());
    QVERIFY(FileDialog::testMode());
    QVERIFY(ModalScript::testMode());
    QVERIFY(openDocument(QStringLiteral("/nowhere/Help.html")));
    QCOMPARE(openedDocuments(), QStringList{"/nowhere/Help.html"});

    messageBox(nullptr, "x", "t", 0);
    FileDialog().showSave(nullptr);
    QDialog dialog;
    execModal(&dialog);
    clearTestScripts();
    QVERIFY(test::shownMessages().isEmpty());
    QCOMPARE(FileDialog::shownCount(), 0);
    QCOMPARE(ModalScript::shownCount(), 0);
    QVERIFY(openedDocuments().isEmpty());
}

// ---- controls ----

void TestUi::imageButtonAttributes()
{
    QWidget window;
    window.resize(210, 367);
    auto *button = new ImageButton(&window, QStringLiteral("确定按钮"), QStringLiteral("no_such_picture"),
                                   QRect(86, 205, 36, 36), QStringLiteral("确定"));
    QCOMPARE(window.findChild<ImageButton *>(QStringLiteral("确定按钮")), button);
    QCOMPARE(button->accessibleName(), QStringLiteral("确定"));
    QCOMPARE(button->geometry(), QRect(86, 205, 36, 36));
    QCOMPARE(button->minimumSize(), QSize(36, 36));
    QCOMPARE(button->maximumSize(), QSize(36, 36));
    QCOMPARE(button->sizeHint(), QSize(36, 36));
    QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QVERIFY(!button->hasPictures());

    // Without pictures a panel is still drawn, so the layout is visible.
    const QImage drawn = button->grab().toImage();
    QCOMPARE(drawn.pixelColor(18, 18).alpha(), 255);
    QVERIFY(drawn.pixelColor(0, 0) != drawn.pixelColor(18, 18)); // a border around the face
}

void TestUi::imageButtonClickHoverAndKeyboard()
{
    QWidget window;
    window.resize(100, 100);
    auto *button = new ImageButton(&window, QStringLiteral("按键1"), QString(), QRect(10, 10, 63, 31),
                                   QStringLiteral("1"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);

    const QColor normal = pixelOf(button, {30, 15});
    QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
    QCoreApplication::sendEvent(button, &enter);
    QVERIFY(button->isHovered());
    const QColor hovered = pixelOf(button, {30, 15});
    QVERIFY(hovered != normal);
    button->setDown(true);
    QVERIFY(pixelOf(button, {30, 15}) != hovered);
    button->setDown(false);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    QVERIFY(!button->isHovered());
    QCOMPARE(pixelOf(button, {30, 15}), normal);

    button->setFocusPolicy(Qt::StrongFocus);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(clicked.count(), 2);
}

void TestUi::imageButtonDrawsPicturePerState()
{
    const QString prefix = m_env->file("btn");
    QVERIFY(solidImage({10, 10}, qRgb(255, 0, 0)).save(prefix + "_normal.png"));
    QVERIFY(solidImage({10, 10}, qRgb(0, 255, 0)).save(prefix + "_hover.png"));
    QVERIFY(solidImage({10, 10}, qRgb(0, 0, 255)).save(prefix + "_pressed.png"));
    QVERIFY(solidImage({10, 10}, qRgb(255, 255, 0)).save(m_env->file("half_normal.png")));

    QWidget window;
    auto *button = new ImageButton(&window, "b", prefix, QRect(0, 0, 40, 30), "b");
    auto *half = new ImageButton(&window, "h", m_env->file("half"), QRect(0, 40, 40, 30), "h");
    QVERIFY(button->hasPictures());

    // Each picture fills the whole control, whatever its own size.
    QCOMPARE(pixelOf(button, {39, 29}), QColor(255, 0, 0));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(button, &enter);
    QCOMPARE(pixelOf(button, {20, 15}), QColor(0, 255, 0));
    button->setDown(true);
    QCOMPARE(pixelOf(button, {20, 15}), QColor(0, 0, 255));

    // Only a normal picture: every state shows it.
    QCoreApplication::sendEvent(half, &enter);
    half->setDown(true);
    QCOMPARE(pixelOf(half, {20, 15}), QColor(255, 255, 0));
}

void TestUi::imageButtonPicturesInResourcesAreComplete()
{
    const QStringList normals =
        QDir(QStringLiteral(":/buttons")).entryList({QStringLiteral("*_normal.png")}, QDir::Files);
    if (normals.isEmpty())
        QSKIP("no button pictures compiled in");
    for (const QString &normal : normals) {
        const QString base = QStringLiteral(":/buttons/") + normal.chopped(int(strlen("_normal.png")));
        const QSize size = QImage(base + "_normal.png").size();
        QVERIFY2(!size.isEmpty(), qPrintable(normal));
        for (const char *state : {"_hover.png", "_pressed.png"}) {
            const QImage picture(base + QLatin1String(state));
            QVERIFY2(!picture.isNull(), qPrintable(base + state));
            QCOMPARE(picture.size(), size);
        }
    }
}

void TestUi::transparentLabelAttributes()
{
    QWidget window;
    auto *title = new TransparentLabel(&window, QStringLiteral("透明标签5"), QStringLiteral("Quennet"),
                                       QRect(8, 1, 72, 24), 14);
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("透明标签5")), title);
    QCOMPARE(title->text(), QStringLiteral("Quennet"));
    QCOMPARE(title->geometry(), QRect(8, 1, 72, 24));
    QCOMPARE(title->font().family(), QStringLiteral("宋体"));
    QCOMPARE(title->font().pixelSize(), 14);
    QVERIFY(!title->autoFillBackground());
    QVERIFY(!title->wordWrap());
    QCOMPARE(title->textFormat(), Qt::PlainText);

    auto *plain = new TransparentLabel(&window, "姓名标签", QStringLiteral("姓 名："), QRect(40, 35, 40, 16));
    QCOMPARE(plain->font().pixelSize(), 12);

    auto *lines = new TransparentLabel(&window, "透明标签3", QStringLiteral("版本：1.0.1\r\n\r\n运行平台"),
                                       QRect(137, 123, 191, 159));
    QCOMPARE(lines->text(), QStringLiteral("版本：1.0.1\n\n运行平台"));
    QVERIFY(lines->wordWrap());
}

void TestUi::transparentLabelShowsWindowThrough()
{
    QWidget window;
    window.resize(100, 50);
    QPalette red = window.palette();
    red.setColor(QPalette::Window, QColor(255, 0, 0));
    window.setPalette(red);
    window.setAutoFillBackground(true);
    new TransparentLabel(&window, "l", QStringLiteral("字"), QRect(0, 0, 100, 50));
    applyVisualStyle(&window);
    QCOMPARE(pixelOf(&window, {95, 45}), QColor(255, 0, 0));
}

void TestUi::timerControl()
{
    QObject owner;
    QTimer *clock = makeTimer(&owner, QStringLiteral("时钟1"), 200);
    QCOMPARE(owner.findChild<QTimer *>(QStringLiteral("时钟1")), clock);
    QCOMPARE(clock->interval(), 200);
    QVERIFY(clock->isActive());
    QVERIFY(!makeTimer(&owner, "idle", 0)->isActive());
    setToolTip(nullptr == clock ? nullptr : new QWidget, QString()); // exercised below
}

void TestUi::simulatedKeyReachesFocusedEditOnly()
{
    QWidget window;
    auto *editable = new QLineEdit(&window);
    auto *readOnly = new QLineEdit(&window);
    readOnly->setReadOnly(true);
    readOnly->move(0, 30);
    auto *key = new ImageButton(&window, "按键5", QString(), QRect(0, 60, 62, 29), "5");
    QObject::connect(key, &QAbstractButton::clicked,
                     [] { simulateKeyPress(Qt::Key_5, QStringLiteral("5")); });
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    editable->setFocus();
    QTest::mouseClick(key, Qt::LeftButton); // a picture button leaves the focus where it was
    QTest::mouseClick(key, Qt::LeftButton);
    QCOMPARE(editable->text(), QStringLiteral("55"));

    readOnly->setFocus();
    simulateKeyPress(Qt::Key_3, QStringLiteral("3"));
    QCOMPARE(readOnly->text(), QString());
    QCOMPARE(editable->text(), QStringLiteral("55"));

    setToolTip(editable, QStringLiteral("上一条记录 (Alt + ←)"));
    QCOMPARE(editable->toolTip(), QStringLiteral("上一条记录 (Alt + ←)"));
}

void TestUi::openDocumentIsRecordedInTestMode()
{
    QVERIFY(openDocument(m_env->file("Help.html")));
    QVERIFY(openDocument(m_env->file("html.txt")));
    QCOMPARE(openedDocuments(), (QStringList{m_env->file("Help.html"), m_env->file("html.txt")}));
    clearOpenedDocuments();
    QVERIFY(openedDocuments().isEmpty());
}

// ---- skins ----

void TestUi::skinMaskExcludesExactlyMagenta()
{
    QImage image = solidImage({40, 30}, qRgb(0, 128, 0));
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 6; ++x)
            image.setPixel(x, y, kMagenta);
    }
    image.setPixel(20, 15, kMagenta);         // a hole inside
    image.setPixel(30, 5, qRgb(254, 0, 255)); // near magenta stays
    image.setPixel(31, 5, qRgb(255, 1, 255));
    image.setPixel(39, 29, qRgb(255, 255, 255));
    const QString path = m_env->file("skin/bg03.bmp");
    QVERIFY(writeBmp(path, image));

    QWidget window;
    window.resize(40, 30);
    QVERIFY(applySkin(&window, path));
    QCOMPARE(window.size(), QSize(40, 30));
    const QRegion shape = window.mask();
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool magenta = image.pixel(x, y) == kMagenta;
            QVERIFY2(shape.contains(QPoint(x, y)) != magenta,
                     qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
}

void TestUi::skinPaintsBackgroundUnderControls_data()
{
    test::addFlagRows("dialog", "dialog", "widget");
}

void TestUi::skinPaintsBackgroundUnderControls()
{
    QFETCH(bool, dialog);
    QImage image = solidImage({100, 80}, qRgb(0, 0, 200));
    for (int x = 0; x < 100; ++x)
        image.setPixel(x, 0, kMagenta);
    const QString path = m_env->file("skin/bg01.bmp");
    QVERIFY(writeBmp(path, image));

    std::unique_ptr<QWidget> window(dialog ? new QDialog : new QWidget);
    window->setWindowFlags(window->windowFlags() | Qt::FramelessWindowHint);
    window->resize(120, 90);
    auto *edit = new QLineEdit(window.get());
    edit->setGeometry(10, 40, 60, 18);
    auto *label = new TransparentLabel(window.get(), "l", QStringLiteral("姓 名："), QRect(10, 10, 60, 16));
    applyVisualStyle(window.get());
    QVERIFY(applySkin(window.get(), path));
    QCOMPARE(window->size(), QSize(120, 90));

    const QImage drawn = window->grab().toImage();
    QCOMPARE(drawn.pixelColor(90, 70), QColor(0, 0, 200));
    QCOMPARE(drawn.pixelColor(label->x() + 58, label->y() + 14), QColor(0, 0, 200));  // label is clear
    QCOMPARE(drawn.pixelColor(edit->x() + 55, edit->y() + 9), QColor(255, 255, 255)); // edit box on top
}

void TestUi::missingOrBrokenSkinLeavesWindowPlain()
{
    QWidget window;
    window.resize(60, 40);
    const QColor plain = pixelOf(&window, {30, 20});
    QVERIFY(!applySkin(&window, m_env->file("skin/bg01.bmp")));
    QVERIFY(window.mask().isEmpty());
    QCOMPARE(pixelOf(&window, {30, 20}), plain);

    QImage image = solidImage({60, 40}, qRgb(0, 200, 0));
    image.setPixel(0, 0, kMagenta);
    QVERIFY(writeBmp(m_env->file("skin/bg03.bmp"), image));
    QVERIFY(applySkin(&window, m_env->file("skin/bg03.bmp")));
    QVERIFY(!window.mask().isEmpty());

    QVERIFY(test::writeAll(m_env->file("skin/bg03.bmp"), "BM not really a bitmap"));
    QTest::failOnWarning(QRegularExpression(".*"));
    QVERIFY(!applySkin(&window, m_env->file("skin/bg03.bmp")));
    QVERIFY(window.mask().isEmpty());
    QCOMPARE(pixelOf(&window, {30, 20}), plain);
    QCOMPARE(window.size(), QSize(60, 40));
}

void TestUi::skinIsReadAgainEachTime()
{
    const QString path = m_env->file("skin/bg01.bmp");
    QVERIFY(writeBmp(path, solidImage({50, 50}, qRgb(0, 200, 0))));
    QWidget window;
    window.resize(50, 50);
    QVERIFY(applySkin(&window, path));
    QCOMPARE(pixelOf(&window, {25, 25}), QColor(0, 200, 0));

    QImage changed = solidImage({50, 50}, qRgb(200, 0, 0));
    changed.setPixel(49, 49, kMagenta);
    QVERIFY(writeBmp(path, changed));
    QVERIFY(applySkin(&window, path));
    QCOMPARE(pixelOf(&window, {25, 25}), QColor(200, 0, 0));
    QVERIFY(!window.mask().contains(QPoint(49, 49)));
    QVERIFY(window.mask().contains(QPoint(48, 49)));
}

void TestUi::listBackgroundTiledAnchoredAndRemoved()
{
    QTreeWidget list;
    list.setColumnCount(2);
    list.setHeaderLabels({QStringLiteral("姓  名"), QStringLiteral("手  机")});
    list.addTopLevelItem(
        new QTreeWidgetItem(QStringList{QStringLiteral("张三"), QStringLiteral("13800000000")}));
    list.resize(200, 109);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QWidget *viewport = list.viewport();
    const QRect row = list.visualItemRect(list.topLevelItem(0));
    const QPoint inRow(viewport->width() - 3, row.center().y());
    const QPoint below(viewport->width() - 3, viewport->height() - 3);
    const QPoint bottomLeft(3, viewport->height() - 3);
    const QColor base = pixelOf(viewport, below);

    const QString tile = m_env->file("skin/bg02.bmp");
    QVERIFY(writeBmp(tile, solidImage({16, 16}, qRgb(200, 0, 0))));
    setListBackground(&list, tile, true, true);
    QCOMPARE(pixelOf(viewport, below), QColor(200, 0, 0));
    QCOMPARE(pixelOf(viewport, inRow), QColor(200, 0, 0)); // no text background over the picture

    const QString corner = m_env->file("corner.bmp");
    QVERIFY(writeBmp(corner, solidImage({20, 20}, qRgb(0, 0, 200))));
    setListBackground(&list, corner, true, false);
    QCOMPARE(pixelOf(viewport, bottomLeft), QColor(0, 0, 200));
    QCOMPARE(pixelOf(viewport, below), base);
    QCOMPARE(pixelOf(viewport, QPoint(25, viewport->height() - 3)), base);

    setListBackground(&list, tile, false, true);
    QCOMPARE(pixelOf(viewport, bottomLeft), base);
    setListBackground(&list, tile, true, true);
    setListBackground(&list, QString(), true, true);
    QCOMPARE(pixelOf(viewport, below), base);
    setListBackground(&list, m_env->file("missing.bmp"), true, true);
    QCOMPARE(pixelOf(viewport, below), base);
}

void TestUi::visualStyleFollowsReadOnlyChanges()
{
    QWidget window;
    window.resize(200, 60);
    auto *editable = new QLineEdit(&window);
    editable->setGeometry(0, 0, 145, 16);
    auto *readOnly = new QLineEdit(&window);
    readOnly->setGeometry(0, 30, 145, 16);
    readOnly->setReadOnly(true);
    applyVisualStyle(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QColor editableFace = pixelOf(editable, {140, 8});
    const QColor readOnlyFace = pixelOf(readOnly, {140, 8});
    QVERIFY(editableFace != readOnlyFace);

    editable->setReadOnly(true);
    readOnly->setReadOnly(false);
    QCOMPARE(pixelOf(editable, {140, 8}), readOnlyFace);
    QCOMPARE(pixelOf(readOnly, {140, 8}), editableFace);
}

void TestUi::fontSubstitutesMapWindowsFaces()
{
    const QString family = QApplication::font().family();
    QCOMPARE(family, QStringLiteral("WenQuanYi Micro Hei"));
    QCOMPARE(QApplication::font().pixelSize(), 12);
    for (const char *face : {"宋体", "SimSun", "新宋体", "宋体-18030", "Tahoma", "Microsoft YaHei"})
        QCOMPARE(QFont::substitute(QString::fromUtf8(face)).toLower(), family.toLower());
    QCOMPARE(QFontInfo(QFont(QStringLiteral("宋体"))).family(), family);
}

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
