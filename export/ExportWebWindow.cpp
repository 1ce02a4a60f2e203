#include "export/ExportWebWindow.h"

#include "contacts/Session.h"
#include "exchange/AtomicFile.h"
#include "exchange/WebPage.h"
#include "export/ColorPicker.h"
#include "export/SpinEdit.h"
#include "ui/Controls.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QApplication>
#include <QBuffer>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace quennet {

namespace {

const int kWindowWidth = 534;
const int kWindowHeight = 447;
const int kStatusHeight = 22;
const int kColourBlack = 0x000000;
const int kColourWhite = 0xFFFFFF;
const int kColourLightGrey = 0xECECEC;
const int kColourSilver = 0xC0C0C0;
const int kColourGrey = 0x808080;
const int kSizeItemOfCaption = 5;
// The build waits this long before it closes the store.
const int kStoreCloseDelayMs = 200;

template <typename T> T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel *label(const QString &text, QWidget *buddy)
{
    auto *result = new QLabel(text);
    result->setBuddy(buddy);
    return result;
}

QCheckBox *checkBox(const QString &name, const QString &text, bool ticked)
{
    auto *box = named(new QCheckBox(text), name);
    box->setChecked(ticked);
    return box;
}

// The HTML font sizes: "普通" (no size attribute) and 1 to 7.
QComboBox *sizeList(const QString &name, int selected)
{
    auto *list = named(new QComboBox, name);
    list->addItem(QStringLiteral("普通"));
    for (int size = 1; size <= 7; ++size)
        list->addItem(QString::number(size));
    list->setCurrentIndex(selected);
    list->setMinimumWidth(64);
    return list;
}

// Filled with the installed faces at load; a typed name is accepted too.
QComboBox *faceBox(const QString &name)
{
    auto *box = named(new QComboBox, name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // Long face names must not widen the window's rows.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(16);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return box;
}

QLineEdit *urlEdit(const QString &name)
{
    auto *edit = named(new QLineEdit, name);
    edit->setEnabled(false);
    return edit;
}

QPushButton *browseButton(const QString &name)
{
    auto *button = named(new QPushButton(QStringLiteral("浏览")), name);
    button->setEnabled(false);
    return button;
}

QLineEdit *integerEdit(const QString &name, const QString &text)
{
    auto *edit = named(new QLineEdit(text), name);
    edit->setValidator(new QIntValidator(0, 9999, edit));
    edit->setFixedWidth(44);
    return edit;
}

// A margin box: empty and disabled until its check box is ticked.
QSpinBox *marginBox(const QString &name)
{
    auto *box = named(new SpinEdit, name);
    box->setRange(0, 9999);
    box->setEnabled(false);
    box->setFixedWidth(64);
    box->clearText();
    return box;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets)
{
    auto *layout = new QHBoxLayout;
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return layout;
}

QGroupBox *tabGroup(QTabWidget *tabs, const QString &tabText, const QString &name)
{
    auto *page = new QWidget;
    auto *pageLayout = new QVBoxLayout(page);
    auto *group = named(new QGroupBox, name);
    pageLayout->addWidget(group);
    tabs->addTab(page, tabText);
    return group;
}

void fillFaces(QComboBox *box, const QStringList &faces)
{
    box->clear();
    box->addItems(faces);
    box->setCurrentIndex(-1);
    box->setEditText(QString());
}

} // namespace

ExportWebWindow::ExportWebWindow(Session &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("导出网页窗口"));
    setWindowTitle(QStringLiteral("导出网页"));
    setFixedSize(kWindowWidth, kWindowHeight);

    tabs = named(new QTabWidget(this), QStringLiteral("选择夹1"));
    tabs->setGeometry(6, 6, kWindowWidth - 12, 368);
    buildPageTab();
    buildTableTab();
    buildButtonsAndStatus();
    connectHandlers();
}

void ExportWebWindow::buildPageTab()
{
    pageGroup = tabGroup(tabs, QStringLiteral("网页设置"), QStringLiteral("分组框1"));
    pageTitleEdit = named(new QLineEdit, QStringLiteral("编辑框1"));
    captionEdit = named(new QLineEdit, QStringLiteral("编辑框2"));
    captionTextColorPicker = new ColorPicker(nullptr, QStringLiteral("颜色选择器6"), kColourBlack);
    captionSizeBox = sizeList(QStringLiteral("组合框5"), kSizeItemOfCaption);
    captionFaceBox = faceBox(QStringLiteral("组合框6"));
    captionBoldCheck = checkBox(QStringLiteral("选择框10"), QStringLiteral("加粗"), true);
    captionItalicCheck = checkBox(QStringLiteral("选择框11"), QStringLiteral("倾斜"), false);
    pageColorPicker = new ColorPicker(nullptr, QStringLiteral("颜色选择器1"), kColourWhite);
    pagePictureCheck = checkBox(QStringLiteral("选择框1"), QStringLiteral("背景图片"), false);
    pagePictureEdit = urlEdit(QStringLiteral("编辑框3"));
    pagePictureButton = browseButton(QStringLiteral("按钮2"));
    topMarginCheck = checkBox(QStringLiteral("选择框2"), QStringLiteral("指定上边距："), false);
    topMarginEdit = marginBox(QStringLiteral("编辑框4"));
    leftMarginCheck = checkBox(QStringLiteral("选择框3"), QStringLiteral("指定左边距："), false);
    leftMarginEdit = marginBox(QStringLiteral("编辑框5"));
    collapseBordersCheck = checkBox(QStringLiteral("选择框13"), QStringLiteral("折叠列表边框"), false);
    alignLeftRadio = named(new QRadioButton(QStringLiteral("左对齐")), QStringLiteral("单选框1"));
    alignCenterRadio = named(new QRadioButton(QStringLiteral("居中")), QStringLiteral("单选框2"));
    alignRightRadio = named(new QRadioButton(QStringLiteral("右对齐")), QStringLiteral("单选框3"));
    alignLeftRadio->setChecked(true);

    auto *grid = new QGridLayout(pageGroup);
    int r = 0;
    grid->addWidget(label(QStringLiteral("网页标题："), pageTitleEdit), r, 0);
    grid->addWidget(pageTitleEdit, r++, 1);
    grid->addWidget(label(QStringLiteral("列表标题："), captionEdit), r, 0);
    grid->addWidget(captionEdit, r++, 1);
    // The caption's font: two rows under the caption box.
    grid->addWidget(label(QStringLiteral("文本色："), captionTextColorPicker), r, 0);
    grid->addLayout(row({captionTextColorPicker, label(QStringLiteral("字号："), captionSizeBox),
                         captionSizeBox, captionBoldCheck, captionItalicCheck}),
                    r++, 1);
    grid->addWidget(label(QStringLiteral("字体："), captionFaceBox), r, 0);
    grid->addLayout(row({captionFaceBox}), r++, 1);
    grid->addWidget(label(QStringLiteral("背景颜色："), pageColorPicker), r, 0);
    grid->addLayout(row({pageColorPicker}), r++, 1);
    grid->addWidget(pagePictureCheck, r, 0);
    auto *pictureRow = new QHBoxLayout;
    pictureRow->addWidget(pagePictureEdit, 1);
    pictureRow->addWidget(pagePictureButton);
    grid->addLayout(pictureRow, r++, 1);
    grid->addWidget(topMarginCheck, r, 0);
    grid->addLayout(row({topMarginEdit, leftMarginCheck, leftMarginEdit}), r++, 1);
    grid->addWidget(collapseBordersCheck, r++, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("列表对齐方式：")), r, 0);
    grid->addLayout(row({alignLeftRadio, alignCenterRadio, alignRightRadio}), r++, 1);
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(1, 1);
}

void ExportWebWindow::buildTableTab()
{
    tableGroup = tabGroup(tabs, QStringLiteral("表格设置"), QStringLiteral("分组框2"));
    headerColorPicker = new ColorPicker(nullptr, QStringLiteral("颜色选择器2"), kColourLightGrey);
    headerTextColorPicker = new ColorPicker(nullptr, QStringLiteral("颜色选择器3"), kColourBlack);
    headerSizeBox = sizeList(QStringLiteral("组合框1"), 0);
    headerFaceBox = faceBox(QStringLiteral("组合框2"));
    headerBoldCheck = checkBox(QStringLiteral("选择框4"), QStringLiteral("加粗"), true);
    headerItalicCheck = checkBox(QStringLiteral("选择框5"), QStringLiteral("倾斜"), false);
    rowColorPicker = new ColorPicker(nullptr, QStringLiteral("颜色选择器4"), ColorPicker::kTransparent, true);
    rowTextColorPicker = new ColorPicker(nullptr, QStringLiteral("颜色选择器5"), kColourBlack);
    rowSizeBox = sizeList(QStringLiteral("组合框3"), 0);
    rowFaceBox = faceBox(QStringLiteral("组合框4"));
    rowBoldCheck = checkBox(QStringLiteral("选择框6"), QStringLiteral("加粗"), false);
    rowItalicCheck = checkBox(QStringLiteral("选择框7"), QStringLiteral("倾斜"), false);
    alternateRowsCheck = checkBox(QStringLiteral("选择框12"), QStringLiteral("间隔行不同底色"), false);
    alternateRowColorPicker = new ColorPicker(nullptr, QStringLiteral("颜色选择器9"), kColourLightGrey);
    alternateRowColorPicker->setEnabled(false);
    cellPaddingEdit = integerEdit(QStringLiteral("编辑框8"), QStringLiteral("1"));
    cellSpacingEdit = integerEdit(QStringLiteral("编辑框9"), QStringLiteral("2"));
    borderWidthEdit = integerEdit(QStringLiteral("编辑框10"), QStringLiteral("1"));
    lightBorderColorPicker = new ColorPicker(nullptr, QStringLiteral("颜色选择器7"), kColourSilver);
    darkBorderColorPicker = new ColorPicker(nullptr, QStringLiteral("颜色选择器8"), kColourGrey);
    tablePictureCheck = checkBox(QStringLiteral("选择框8"), QStringLiteral("表格背景图："), false);
    tablePictureEdit = urlEdit(QStringLiteral("编辑框6"));
    tablePictureButton = browseButton(QStringLiteral("按钮3"));
    headerPictureCheck = checkBox(QStringLiteral("选择框9"), QStringLiteral("表头背景图："), false);
    headerPictureEdit = urlEdit(QStringLiteral("编辑框7"));
    headerPictureButton = browseButton(QStringLiteral("按钮4"));
    ui::setCaption(pagePictureEdit, pagePictureCheck);
    ui::setCaption(tablePictureEdit, tablePictureCheck);
    ui::setCaption(headerPictureEdit, headerPictureCheck);

    // Columns: section, colour labels and pickers, then bold and italic.
    auto *grid = new QGridLayout(tableGroup);
    auto addFontSection = [grid](int r, const QString &section, ColorPicker *background, ColorPicker *text,
                                 QComboBox *size, QComboBox *face, QCheckBox *bold, QCheckBox *italic) {
        grid->addWidget(new QLabel(section), r, 0);
        grid->addWidget(label(QStringLiteral("背景色："), background), r, 1);
        grid->addWidget(background, r, 2);
        grid->addWidget(label(QStringLiteral("文本色："), text), r, 3);
        grid->addWidget(text, r, 4);
        grid->addWidget(bold, r, 5);
        grid->addWidget(italic, r, 6);
        grid->addWidget(label(QStringLiteral("字号："), size), r + 1, 1);
        grid->addWidget(size, r + 1, 2);
        grid->addWidget(label(QStringLiteral("字体："), face), r + 1, 3);
        grid->addWidget(face, r + 1, 4, 1, 3);
    };
    addFontSection(0, QStringLiteral("表头"), headerColorPicker, headerTextColorPicker, headerSizeBox,
                   headerFaceBox, headerBoldCheck, headerItalicCheck);
    addFontSection(2, QStringLiteral("列表"), rowColorPicker, rowTextColorPicker, rowSizeBox, rowFaceBox,
                   rowBoldCheck, rowItalicCheck);

    int r = 4;
    grid->addLayout(row({alternateRowsCheck, label(QStringLiteral("间隔行底色："), alternateRowColorPicker),
                         alternateRowColorPicker}),
                    r++, 0, 1, 7);
    grid->addLayout(row({label(QStringLiteral("衬距："), cellPaddingEdit), cellPaddingEdit,
                         label(QStringLiteral("间距："), cellSpacingEdit), cellSpacingEdit,
                         label(QStringLiteral("粗细："), borderWidthEdit), borderWidthEdit}),
                    r++, 0, 1, 7);
    grid->addLayout(row({label(QStringLiteral("亮边框："), lightBorderColorPicker), lightBorderColorPicker,
                         label(QStringLiteral("暗边框："), darkBorderColorPicker), darkBorderColorPicker}),
                    r++, 0, 1, 7);
    for (auto [check, edit, button] :
         {std::tuple{tablePictureCheck, tablePictureEdit, tablePictureButton},
          std::tuple{headerPictureCheck, headerPictureEdit, headerPictureButton}}) {
        auto *pictureRow = new QHBoxLayout;
        pictureRow->addWidget(check);
        pictureRow->addWidget(edit, 1);
        pictureRow->addWidget(button);
        grid->addLayout(pictureRow, r++, 0, 1, 7);
    }
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(4, 1);
}

void ExportWebWindow::buildButtonsAndStatus()
{
    const int buttonTop = 382;
    previewButton = named(new QPushButton(QStringLiteral("预览HTML源文件"), this), QStringLiteral("按钮6"));
    previewButton->setGeometry(232, buttonTop, 130, 26);
    saveButton = named(new QPushButton(QStringLiteral("确 定"), this), QStringLiteral("按钮1"));
    saveButton->setGeometry(368, buttonTop, 76, 26);
    saveButton->setDefault(true);
    cancelButton = named(new QPushButton(QStringLiteral("取 消"), this), QStringLiteral("按钮5"));
    cancelButton->setGeometry(450, buttonTop, 76, 26);

    pictureDialog = named(new ui::FileDialog(this), QStringLiteral("通用对话框1"));
    pictureDialog->filter =
        QStringLiteral("所有文件(*.*)|*.*|所有图片(*.gif;*.jpg;*.bmp;*.png;*.tif;*.wmf;*."
                       "ras;*.eps;*.pcx;*.pcd;*.tga|*.gif;*.jpg;*."
                       "bmp;*.png;*.tif;*.wmf;*.ras;*.eps;*.pcx;*.pcd;*.tga|GIF、JPEG和PNG|"
                       "*.gif;*.jpg;*.bmp;*.png;*.tif;*.wmf;*."
                       "ras;*.eps;*.pcx;*.pcd;*.tga|GIF、JPEG、PNG(*.gif;*.jpg;*.png)|*."
                       "gif;*.jpg;*.png|位图(*.BMP)|*.bmp|TIFF(*."
                       "tif)|*.tif|Windows 图元文件(*.wmf)|*.wmf|SUN "
                       "Raster(*.ras)|*.ras|PostScript(*.eps)|*.eps|PCX(*.pcx)|*."
                       "pcx|Kodak PhotoCD(*.pcd)|*.pcd|Targa(*.tga)|*.tga");
    pageFileDialog = named(new ui::FileDialog(this), QStringLiteral("通用对话框2"));
    pageFileDialog->title = QStringLiteral("保存");
    pageFileDialog->defaultExtension = QStringLiteral("htm");
    pageFileDialog->filter =
        QStringLiteral("所有文件(*.*)|*.*|网页(*.htm;*.html;*.shtml;*.shtm;*.asp;*.aspx;*."
                       "php;)|*.htm;*.html;*.shtml;*.shtm;*.asp;"
                       "*.aspx;*.php;|HTML 文件(*.htm;*.html)|*.htm;*.html|ASP "
                       "文件(*.asp)|*.asp|ASPX 文件(*.aspx)|*.aspx|文本(*."
                       "txt)|*.txt|PHP 文件(*.php)|*.php");

    statusBar = named(new QStatusBar(this), QStringLiteral("状态条1"));
    statusBar->setSizeGripEnabled(false);
    statusBar->setGeometry(0, kWindowHeight - kStatusHeight, kWindowWidth, kStatusHeight);
    for (int i = 0; i < 2; ++i) {
        m_panes[i] = named(new QLabel, QStringLiteral("pane%1").arg(i + 1));
        m_panes[i]->setAlignment(Qt::AlignCenter);
    }
    m_panes[1]->setMinimumWidth(80);
    statusBar->addWidget(m_panes[0], 1);
    statusBar->addPermanentWidget(m_panes[1]);

    // Lies over the first pane once the window is loaded.
    progressBar = named(new QProgressBar(this), QStringLiteral("进度条1"));
    progressBar->setGeometry(4, buttonTop + 34, 420, 16);
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
}

void ExportWebWindow::connectHandlers()
{
    connect(saveButton, &QPushButton::clicked, this, &ExportWebWindow::saveButton_clicked);
    connect(previewButton, &QPushButton::clicked, this, &ExportWebWindow::previewButton_clicked);
    connect(cancelButton, &QPushButton::clicked, this, &ExportWebWindow::cancelButton_clicked);
    connect(pagePictureButton, &QPushButton::clicked, this, &ExportWebWindow::pagePictureButton_clicked);
    connect(tablePictureButton, &QPushButton::clicked, this, &ExportWebWindow::tablePictureButton_clicked);
    connect(headerPictureButton, &QPushButton::clicked, this, &ExportWebWindow::headerPictureButton_clicked);
    connect(pagePictureCheck, &QCheckBox::clicked, this, &ExportWebWindow::pagePictureCheck_clicked);
    connect(topMarginCheck, &QCheckBox::clicked, this, &ExportWebWindow::topMarginCheck_clicked);
    connect(leftMarginCheck, &QCheckBox::clicked, this, &ExportWebWindow::leftMarginCheck_clicked);
    connect(tablePictureCheck, &QCheckBox::clicked, this, &ExportWebWindow::tablePictureCheck_clicked);
    connect(headerPictureCheck, &QCheckBox::clicked, this, &ExportWebWindow::headerPictureCheck_clicked);
    connect(alternateRowsCheck, &QCheckBox::clicked, this, &ExportWebWindow::alternateRowsCheck_clicked);
}

QLabel *ExportWebWindow::statusPane(int index) const
{
    return (index == 0 || index == 1) ? m_panes[index] : nullptr;
}

int ExportWebWindow::run(Session &session, QWidget *parent, const QString &storePath,
                         const StoreCredential &credential)
{
    ExportWebWindow window(session, parent);
    window.storePath = storePath;
    window.storeCredential = credential;
    window.created();
    return ui::execModal(&window);
}

void ExportWebWindow::created()
{
    progressBar->move(progressBar->x(), statusBar->y() + 3);

    const QRect screenArea = screen()->geometry();
    topMarginEdit->setMaximum(screenArea.height());
    leftMarginEdit->setMaximum(screenArea.width());

    // A fresh list at each opening, each face once.
    QStringList faces = QFontDatabase::families();
    faces.removeDuplicates();
    for (QComboBox *box : {headerFaceBox, rowFaceBox, captionFaceBox})
        fillFaces(box, faces);
}

void ExportWebWindow::saveButton_clicked()
{
    buildAndDeliver(BuildMode::Save);
}

void ExportWebWindow::previewButton_clicked()
{
    buildAndDeliver(BuildMode::Preview);
}

void ExportWebWindow::reject()
{
    if (!m_building)
        QDialog::reject();
}

exchange::WebFont ExportWebWindow::fontOf(ColorPicker *colour, QComboBox *size, QComboBox *face,
                                          QCheckBox *bold, QCheckBox *italic) const
{
    return {colour->value(), size->currentIndex(), face->currentText(), bold->isChecked(),
            italic->isChecked()};
}

exchange::WebPageOptions ExportWebWindow::pageOptions() const
{
    exchange::WebPageOptions o;
    o.title = pageTitleEdit->text();
    o.caption = captionEdit->text();
    o.captionFont =
        fontOf(captionTextColorPicker, captionSizeBox, captionFaceBox, captionBoldCheck, captionItalicCheck);
    o.pageColour = pageColorPicker->value();
    o.pagePictureOn = pagePictureCheck->isChecked();
    o.pagePicture = pagePictureEdit->text();
    o.topMarginOn = topMarginCheck->isChecked();
    o.topMargin = topMarginEdit->text();
    o.leftMarginOn = leftMarginCheck->isChecked();
    o.leftMargin = leftMarginEdit->text();
    o.collapseBorders = collapseBordersCheck->isChecked();
    o.alignment = alignCenterRadio->isChecked()  ? exchange::WebAlignment::Center
                  : alignRightRadio->isChecked() ? exchange::WebAlignment::Right
                                                 : exchange::WebAlignment::Left;

    o.headerBackground = headerColorPicker->value();
    o.headerFont =
        fontOf(headerTextColorPicker, headerSizeBox, headerFaceBox, headerBoldCheck, headerItalicCheck);
    o.dataBackground = rowColorPicker->value();
    o.dataFont = fontOf(rowTextColorPicker, rowSizeBox, rowFaceBox, rowBoldCheck, rowItalicCheck);
    o.alternateRowsOn = alternateRowsCheck->isChecked();
    o.alternateBackground = alternateRowColorPicker->value();
    o.cellPadding = cellPaddingEdit->text();
    o.cellSpacing = cellSpacingEdit->text();
    o.border = borderWidthEdit->text();
    o.lightBorder = lightBorderColorPicker->value();
    o.darkBorder = darkBorderColorPicker->value();
    o.tablePictureOn = tablePictureCheck->isChecked();
    o.tablePicture = tablePictureEdit->text();
    o.headerPictureOn = headerPictureCheck->isChecked();
    o.headerPicture = headerPictureEdit->text();
    return o;
}

void ExportWebWindow::buildAndDeliver(BuildMode mode)
{
    if (m_building)
        return;
    QByteArray page;
    m_building = true;
    setButtonsEnabled(false);
    const bool built = buildPage(page);
    setButtonsEnabled(true);
    m_building = false;
    if (!built)
        return;
    if (mode == BuildMode::Preview)
        preview(page);
    else
        save(page);
}

bool ExportWebWindow::buildPage(QByteArray &page)
{
    const exchange::WebPageOptions options = pageOptions();
    ContactStore &store = m_session.store;
    if (!store.open(storePath, storeCredential)) {
        ui::messageBox(this, QStringLiteral("打开数据库“") + storePath + QStringLiteral("”失败！"), QString(),
                       ui::Style::OkStop);
        return false;
    }
    m_pageAccess = exchange::accessFor(store);
    const int count = store.recordCount();
    progressBar->setMaximum(count + 3);

    QStringList fieldNames;
    for (int pos = 1; pos <= store.fieldCount(); ++pos)
        fieldNames << store.fieldName(pos);
    const exchange::WebRecords records{count,
                                       [&store](int number) { return store.contactAt(number).values(); }};

    QBuffer buffer(&page);
    buffer.open(QIODevice::WriteOnly);
    exchange::writeWebPage(buffer, fieldNames, records, options, [this](int position, int maximum) {
        showProgress(position, maximum);
        QApplication::processEvents();
    });

    QEventLoop pause;
    QTimer::singleShot(kStoreCloseDelayMs, &pause, &QEventLoop::quit);
    pause.exec();
    store.close();
    return true;
}

void ExportWebWindow::setButtonsEnabled(bool enabled)
{
    for (QPushButton *button : {saveButton, previewButton, cancelButton})
        button->setEnabled(enabled);
}

void ExportWebWindow::showProgress(int position, int maximum)
{
    progressBar->setValue(position);
    const QString percentage = QString::number(qRound(100.0 * position / maximum)) + QLatin1Char('%');
    // Repainting the pane for every record would cost more than the record.
    if (m_panes[1]->text() != percentage)
        m_panes[1]->setText(percentage);
}

void ExportWebWindow::preview(const QByteArray &page)
{
    const QString path = m_session.dir.previewFile();
    if (!writePageFile(path, page))
        return;
    progressBar->setValue(0);
    m_panes[1]->setText(QStringLiteral("就绪"));
    ui::openDocument(path);
}

void ExportWebWindow::save(const QByteArray &page)
{
    // In the program directory, not where the last picture was chosen.
    pageFileDialog->initialDirectory = m_session.dir.path();
    const bool chosen = pageFileDialog->showSave(this);
    QDir::setCurrent(m_session.dir.path());
    if (!chosen)
        return;
    if (writePageFile(pageFileDialog->fileName, page))
        accept();
}

bool ExportWebWindow::writePageFile(const QString &path, const QByteArray &page)
{
    // A page chosen over the store file would destroy every contact.
    const bool written =
        !exchange::isSameFile(path, storePath) &&
        exchange::writeFileAtomically(
            path, [&page](QIODevice &file) { return file.write(page) == page.size(); }, m_pageAccess);
    if (!written)
        ui::messageBox(this, QStringLiteral("保存网页失败！"), QStringLiteral("提示"), ui::Style::OkStop);
    return written;
}

void ExportWebWindow::cancelButton_clicked()
{
    reject();
}

void ExportWebWindow::pagePictureButton_clicked()
{
    pagePictureEdit->setText(choosePictureUrl());
}

void ExportWebWindow::tablePictureButton_clicked()
{
    tablePictureEdit->setText(choosePictureUrl());
}

void ExportWebWindow::headerPictureButton_clicked()
{
    headerPictureEdit->setText(choosePictureUrl());
}

QString ExportWebWindow::pictureUrl(const QString &path)
{
    QString url = path;
    url.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // "C:/pics/bg.gif" needs all three slashes; a rooted path brings one.
    return (url.startsWith(QLatin1Char('/')) ? QStringLiteral("file://") : QStringLiteral("file:///")) + url;
}

QString ExportWebWindow::choosePictureUrl()
{
    const bool chosen = pictureDialog->showOpen(this);
    const QString url = chosen ? pictureUrl(pictureDialog->fileName) : QString();
    // The dialog may have moved the process's directory; relative store and
    // preview paths depend on it.
    QDir::setCurrent(m_session.dir.path());
    return url;
}

void ExportWebWindow::pagePictureCheck_clicked()
{
    pagePictureEdit->setEnabled(pagePictureCheck->isChecked());
    pagePictureButton->setEnabled(pagePictureCheck->isChecked());
}

void ExportWebWindow::topMarginCheck_clicked()
{
    topMarginEdit->setEnabled(topMarginCheck->isChecked());
}

void ExportWebWindow::leftMarginCheck_clicked()
{
    leftMarginEdit->setEnabled(leftMarginCheck->isChecked());
}

void ExportWebWindow::tablePictureCheck_clicked()
{
    tablePictureEdit->setEnabled(tablePictureCheck->isChecked());
    tablePictureButton->setEnabled(tablePictureCheck->isChecked());
}

void ExportWebWindow::headerPictureCheck_clicked()
{
    headerPictureEdit->setEnabled(headerPictureCheck->isChecked());
    headerPictureButton->setEnabled(headerPictureCheck->isChecked());
}

void ExportWebWindow::alternateRowsCheck_clicked()
{
    alternateRowColorPicker->setEnabled(alternateRowsCheck->isChecked());
}

} // namespace quennet
