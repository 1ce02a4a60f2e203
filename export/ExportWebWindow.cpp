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

    选择夹1 = named(new QTabWidget(this), QStringLiteral("选择夹1"));
    选择夹1->setGeometry(6, 6, kWindowWidth - 12, 368);
    buildPageTab();
    buildTableTab();
    buildButtonsAndStatus();
    connectHandlers();
}

void ExportWebWindow::buildPageTab()
{
    分组框1 = tabGroup(选择夹1, QStringLiteral("网页设置"), QStringLiteral("分组框1"));
    编辑框1 = named(new QLineEdit, QStringLiteral("编辑框1"));
    编辑框2 = named(new QLineEdit, QStringLiteral("编辑框2"));
    颜色选择器6 = new ColorPicker(nullptr, QStringLiteral("颜色选择器6"), kColourBlack);
    组合框5 = sizeList(QStringLiteral("组合框5"), kSizeItemOfCaption);
    组合框6 = faceBox(QStringLiteral("组合框6"));
    选择框10 = checkBox(QStringLiteral("选择框10"), QStringLiteral("加粗"), true);
    选择框11 = checkBox(QStringLiteral("选择框11"), QStringLiteral("倾斜"), false);
    颜色选择器1 = new ColorPicker(nullptr, QStringLiteral("颜色选择器1"), kColourWhite);
    选择框1 = checkBox(QStringLiteral("选择框1"), QStringLiteral("背景图片"), false);
    编辑框3 = urlEdit(QStringLiteral("编辑框3"));
    按钮2 = browseButton(QStringLiteral("按钮2"));
    选择框2 = checkBox(QStringLiteral("选择框2"), QStringLiteral("指定上边距："), false);
    编辑框4 = marginBox(QStringLiteral("编辑框4"));
    选择框3 = checkBox(QStringLiteral("选择框3"), QStringLiteral("指定左边距："), false);
    编辑框5 = marginBox(QStringLiteral("编辑框5"));
    选择框13 = checkBox(QStringLiteral("选择框13"), QStringLiteral("折叠列表边框"), false);
    单选框1 = named(new QRadioButton(QStringLiteral("左对齐")), QStringLiteral("单选框1"));
    单选框2 = named(new QRadioButton(QStringLiteral("居中")), QStringLiteral("单选框2"));
    单选框3 = named(new QRadioButton(QStringLiteral("右对齐")), QStringLiteral("单选框3"));
    单选框1->setChecked(true);

    auto *grid = new QGridLayout(分组框1);
    int r = 0;
    grid->addWidget(label(QStringLiteral("网页标题："), 编辑框1), r, 0);
    grid->addWidget(编辑框1, r++, 1);
    grid->addWidget(label(QStringLiteral("列表标题："), 编辑框2), r, 0);
    grid->addWidget(编辑框2, r++, 1);
    // The caption's font: two rows under the caption box.
    grid->addWidget(label(QStringLiteral("文本色："), 颜色选择器6), r, 0);
    grid->addLayout(row({颜色选择器6, label(QStringLiteral("字号："), 组合框5), 组合框5, 选择框10, 选择框11}),
                    r++, 1);
    grid->addWidget(label(QStringLiteral("字体："), 组合框6), r, 0);
    grid->addLayout(row({组合框6}), r++, 1);
    grid->addWidget(label(QStringLiteral("背景颜色："), 颜色选择器1), r, 0);
    grid->addLayout(row({颜色选择器1}), r++, 1);
    grid->addWidget(选择框1, r, 0);
    auto *pictureRow = new QHBoxLayout;
    pictureRow->addWidget(编辑框3, 1);
    pictureRow->addWidget(按钮2);
    grid->addLayout(pictureRow, r++, 1);
    grid->addWidget(选择框2, r, 0);
    grid->addLayout(row({编辑框4, 选择框3, 编辑框5}), r++, 1);
    grid->addWidget(选择框13, r++, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("列表对齐方式：")), r, 0);
    grid->addLayout(row({单选框1, 单选框2, 单选框3}), r++, 1);
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(1, 1);
}

void ExportWebWindow::buildTableTab()
{
    分组框2 = tabGroup(选择夹1, QStringLiteral("表格设置"), QStringLiteral("分组框2"));
    颜色选择器2 = new ColorPicker(nullptr, QStringLiteral("颜色选择器2"), kColourLightGrey);
    颜色选择器3 = new ColorPicker(nullptr, QStringLiteral("颜色选择器3"), kColourBlack);
    组合框1 = sizeList(QStringLiteral("组合框1"), 0);
    组合框2 = faceBox(QStringLiteral("组合框2"));
    选择框4 = checkBox(QStringLiteral("选择框4"), QStringLiteral("加粗"), true);
    选择框5 = checkBox(QStringLiteral("选择框5"), QStringLiteral("倾斜"), false);
    颜色选择器4 = new ColorPicker(nullptr, QStringLiteral("颜色选择器4"), ColorPicker::kTransparent, true);
    颜色选择器5 = new ColorPicker(nullptr, QStringLiteral("颜色选择器5"), kColourBlack);
    组合框3 = sizeList(QStringLiteral("组合框3"), 0);
    组合框4 = faceBox(QStringLiteral("组合框4"));
    选择框6 = checkBox(QStringLiteral("选择框6"), QStringLiteral("加粗"), false);
    选择框7 = checkBox(QStringLiteral("选择框7"), QStringLiteral("倾斜"), false);
    选择框12 = checkBox(QStringLiteral("选择框12"), QStringLiteral("间隔行不同底色"), false);
    颜色选择器9 = new ColorPicker(nullptr, QStringLiteral("颜色选择器9"), kColourLightGrey);
    颜色选择器9->setEnabled(false);
    编辑框8 = integerEdit(QStringLiteral("编辑框8"), QStringLiteral("1"));
    编辑框9 = integerEdit(QStringLiteral("编辑框9"), QStringLiteral("2"));
    编辑框10 = integerEdit(QStringLiteral("编辑框10"), QStringLiteral("1"));
    颜色选择器7 = new ColorPicker(nullptr, QStringLiteral("颜色选择器7"), kColourSilver);
    颜色选择器8 = new ColorPicker(nullptr, QStringLiteral("颜色选择器8"), kColourGrey);
    选择框8 = checkBox(QStringLiteral("选择框8"), QStringLiteral("表格背景图："), false);
    编辑框6 = urlEdit(QStringLiteral("编辑框6"));
    按钮3 = browseButton(QStringLiteral("按钮3"));
    选择框9 = checkBox(QStringLiteral("选择框9"), QStringLiteral("表头背景图："), false);
    编辑框7 = urlEdit(QStringLiteral("编辑框7"));
    按钮4 = browseButton(QStringLiteral("按钮4"));
    ui::setCaption(编辑框3, 选择框1);
    ui::setCaption(编辑框6, 选择框8);
    ui::setCaption(编辑框7, 选择框9);

    // Columns: section, colour labels and pickers, then bold and italic.
    auto *grid = new QGridLayout(分组框2);
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
    addFontSection(0, QStringLiteral("表头"), 颜色选择器2, 颜色选择器3, 组合框1, 组合框2, 选择框4, 选择框5);
    addFontSection(2, QStringLiteral("列表"), 颜色选择器4, 颜色选择器5, 组合框3, 组合框4, 选择框6, 选择框7);

    int r = 4;
    grid->addLayout(row({选择框12, label(QStringLiteral("间隔行底色："), 颜色选择器9), 颜色选择器9}), r++, 0,
                    1, 7);
    grid->addLayout(
        row({label(QStringLiteral("衬距："), 编辑框8), 编辑框8, label(QStringLiteral("间距："), 编辑框9),
             编辑框9, label(QStringLiteral("粗细："), 编辑框10), 编辑框10}),
        r++, 0, 1, 7);
    grid->addLayout(row({label(QStringLiteral("亮边框："), 颜色选择器7), 颜色选择器7,
                         label(QStringLiteral("暗边框："), 颜色选择器8), 颜色选择器8}),
                    r++, 0, 1, 7);
    for (auto [check, edit, button] :
         {std::tuple{选择框8, 编辑框6, 按钮3}, std::tuple{选择框9, 编辑框7, 按钮4}}) {
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
    按钮6 = named(new QPushButton(QStringLiteral("预览HTML源文件"), this), QStringLiteral("按钮6"));
    按钮6->setGeometry(232, buttonTop, 130, 26);
    按钮1 = named(new QPushButton(QStringLiteral("确 定"), this), QStringLiteral("按钮1"));
    按钮1->setGeometry(368, buttonTop, 76, 26);
    按钮1->setDefault(true);
    按钮5 = named(new QPushButton(QStringLiteral("取 消"), this), QStringLiteral("按钮5"));
    按钮5->setGeometry(450, buttonTop, 76, 26);

    通用对话框1 = named(new ui::FileDialog(this), QStringLiteral("通用对话框1"));
    通用对话框1->filter = QStringLiteral("所有文件(*.*)|*.*|所有图片(*.gif;*.jpg;*.bmp;*.png;*.tif;*.wmf;*."
                                         "ras;*.eps;*.pcx;*.pcd;*.tga|*.gif;*.jpg;*."
                                         "bmp;*.png;*.tif;*.wmf;*.ras;*.eps;*.pcx;*.pcd;*.tga|GIF、JPEG和PNG|"
                                         "*.gif;*.jpg;*.bmp;*.png;*.tif;*.wmf;*."
                                         "ras;*.eps;*.pcx;*.pcd;*.tga|GIF、JPEG、PNG(*.gif;*.jpg;*.png)|*."
                                         "gif;*.jpg;*.png|位图(*.BMP)|*.bmp|TIFF(*."
                                         "tif)|*.tif|Windows 图元文件(*.wmf)|*.wmf|SUN "
                                         "Raster(*.ras)|*.ras|PostScript(*.eps)|*.eps|PCX(*.pcx)|*."
                                         "pcx|Kodak PhotoCD(*.pcd)|*.pcd|Targa(*.tga)|*.tga");
    通用对话框2 = named(new ui::FileDialog(this), QStringLiteral("通用对话框2"));
    通用对话框2->title = QStringLiteral("保存");
    通用对话框2->defaultExtension = QStringLiteral("htm");
    通用对话框2->filter = QStringLiteral("所有文件(*.*)|*.*|网页(*.htm;*.html;*.shtml;*.shtm;*.asp;*.aspx;*."
                                         "php;)|*.htm;*.html;*.shtml;*.shtm;*.asp;"
                                         "*.aspx;*.php;|HTML 文件(*.htm;*.html)|*.htm;*.html|ASP "
                                         "文件(*.asp)|*.asp|ASPX 文件(*.aspx)|*.aspx|文本(*."
                                         "txt)|*.txt|PHP 文件(*.php)|*.php");

    状态条1 = named(new QStatusBar(this), QStringLiteral("状态条1"));
    状态条1->setSizeGripEnabled(false);
    状态条1->setGeometry(0, kWindowHeight - kStatusHeight, kWindowWidth, kStatusHeight);
    for (int i = 0; i < 2; ++i) {
        m_panes[i] = named(new QLabel, QStringLiteral("pane%1").arg(i + 1));
        m_panes[i]->setAlignment(Qt::AlignCenter);
    }
    m_panes[1]->setMinimumWidth(80);
    状态条1->addWidget(m_panes[0], 1);
    状态条1->addPermanentWidget(m_panes[1]);

    // Lies over the first pane once the window is loaded.
    进度条1 = named(new QProgressBar(this), QStringLiteral("进度条1"));
    进度条1->setGeometry(4, buttonTop + 34, 420, 16);
    进度条1->setTextVisible(false);
    进度条1->setRange(0, 100);
    进度条1->setValue(0);
}

void ExportWebWindow::connectHandlers()
{
    connect(按钮1, &QPushButton::clicked, this, &ExportWebWindow::按钮1_clicked);
    connect(按钮6, &QPushButton::clicked, this, &ExportWebWindow::按钮6_clicked);
    connect(按钮5, &QPushButton::clicked, this, &ExportWebWindow::按钮5_clicked);
    connect(按钮2, &QPushButton::clicked, this, &ExportWebWindow::按钮2_clicked);
    connect(按钮3, &QPushButton::clicked, this, &ExportWebWindow::按钮3_clicked);
    connect(按钮4, &QPushButton::clicked, this, &ExportWebWindow::按钮4_clicked);
    connect(选择框1, &QCheckBox::clicked, this, &ExportWebWindow::选择框1_clicked);
    connect(选择框2, &QCheckBox::clicked, this, &ExportWebWindow::选择框2_clicked);
    connect(选择框3, &QCheckBox::clicked, this, &ExportWebWindow::选择框3_clicked);
    connect(选择框8, &QCheckBox::clicked, this, &ExportWebWindow::选择框8_clicked);
    connect(选择框9, &QCheckBox::clicked, this, &ExportWebWindow::选择框9_clicked);
    connect(选择框12, &QCheckBox::clicked, this, &ExportWebWindow::选择框12_clicked);
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
    进度条1->move(进度条1->x(), 状态条1->y() + 3);

    const QRect screenArea = screen()->geometry();
    编辑框4->setMaximum(screenArea.height());
    编辑框5->setMaximum(screenArea.width());

    // A fresh list at each opening, each face once.
    QStringList faces = QFontDatabase::families();
    faces.removeDuplicates();
    for (QComboBox *box : {组合框2, 组合框4, 组合框6})
        fillFaces(box, faces);
}

void ExportWebWindow::按钮1_clicked()
{
    buildAndDeliver(BuildMode::Save);
}

void ExportWebWindow::按钮6_clicked()
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
    o.title = 编辑框1->text();
    o.caption = 编辑框2->text();
    o.captionFont = fontOf(颜色选择器6, 组合框5, 组合框6, 选择框10, 选择框11);
    o.pageColour = 颜色选择器1->value();
    o.pagePictureOn = 选择框1->isChecked();
    o.pagePicture = 编辑框3->text();
    o.topMarginOn = 选择框2->isChecked();
    o.topMargin = 编辑框4->text();
    o.leftMarginOn = 选择框3->isChecked();
    o.leftMargin = 编辑框5->text();
    o.collapseBorders = 选择框13->isChecked();
    o.alignment = 单选框2->isChecked()   ? exchange::WebAlignment::Center
                  : 单选框3->isChecked() ? exchange::WebAlignment::Right
                                         : exchange::WebAlignment::Left;

    o.headerBackground = 颜色选择器2->value();
    o.headerFont = fontOf(颜色选择器3, 组合框1, 组合框2, 选择框4, 选择框5);
    o.dataBackground = 颜色选择器4->value();
    o.dataFont = fontOf(颜色选择器5, 组合框3, 组合框4, 选择框6, 选择框7);
    o.alternateRowsOn = 选择框12->isChecked();
    o.alternateBackground = 颜色选择器9->value();
    o.cellPadding = 编辑框8->text();
    o.cellSpacing = 编辑框9->text();
    o.border = 编辑框10->text();
    o.lightBorder = 颜色选择器7->value();
    o.darkBorder = 颜色选择器8->value();
    o.tablePictureOn = 选择框8->isChecked();
    o.tablePicture = 编辑框6->text();
    o.headerPictureOn = 选择框9->isChecked();
    o.headerPicture = 编辑框7->text();
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
    进度条1->setMaximum(count + 3);

    QStringList fieldNames;
    for (int pos = 1; pos <= store.fieldCount(); ++pos)
        fieldNames << store.fieldName(pos);
    const exchange::WebRecords records{count,
                                       [&store](int number, int pos) { return store.fieldOf(number, pos); }};

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
    for (QPushButton *button : {按钮1, 按钮6, 按钮5})
        button->setEnabled(enabled);
}

void ExportWebWindow::showProgress(int position, int maximum)
{
    进度条1->setValue(position);
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
    进度条1->setValue(0);
    m_panes[1]->setText(QStringLiteral("就绪"));
    ui::openDocument(path);
}

void ExportWebWindow::save(const QByteArray &page)
{
    const bool chosen = 通用对话框2->showSave(this);
    QDir::setCurrent(m_session.dir.path());
    if (!chosen)
        return;
    if (writePageFile(通用对话框2->fileName, page))
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

void ExportWebWindow::按钮5_clicked()
{
    reject();
}

void ExportWebWindow::按钮2_clicked()
{
    编辑框3->setText(choosePictureUrl());
}

void ExportWebWindow::按钮3_clicked()
{
    编辑框6->setText(choosePictureUrl());
}

void ExportWebWindow::按钮4_clicked()
{
    编辑框7->setText(choosePictureUrl());
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
    const bool chosen = 通用对话框1->showOpen(this);
    const QString url = chosen ? pictureUrl(通用对话框1->fileName) : QString();
    // The dialog may have moved the process's directory; relative store and
    // preview paths depend on it.
    QDir::setCurrent(m_session.dir.path());
    return url;
}

void ExportWebWindow::选择框1_clicked()
{
    编辑框3->setEnabled(选择框1->isChecked());
    按钮2->setEnabled(选择框1->isChecked());
}

void ExportWebWindow::选择框2_clicked()
{
    编辑框4->setEnabled(选择框2->isChecked());
}

void ExportWebWindow::选择框3_clicked()
{
    编辑框5->setEnabled(选择框3->isChecked());
}

void ExportWebWindow::选择框8_clicked()
{
    编辑框6->setEnabled(选择框8->isChecked());
    按钮3->setEnabled(选择框8->isChecked());
}

void ExportWebWindow::选择框9_clicked()
{
    编辑框7->setEnabled(选择框9->isChecked());
    按钮4->setEnabled(选择框9->isChecked());
}

void ExportWebWindow::选择框12_clicked()
{
    颜色选择器9->setEnabled(选择框12->isChecked());
}

} // namespace quennet
