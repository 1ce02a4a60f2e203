#include "export/ExportDataWindow.h"

#include "contacts/Session.h"
#include "exchange/AtomicFile.h"
#include "exchange/RecordSelection.h"
#include "exchange/TextAndHtmlExport.h"
#include "export/SpinEdit.h"
#include "export/UpDownControl.h"
#include "ui/Controls.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace quennet {

namespace {

const int kWindowWidth = 300;
const int kWindowHeight = 330;
const int kDesignRangeLimit = 100;
// Larger stores open with the range 1 to this number chosen.
const int kDefaultRangeEnd = 200;

template <typename T> T *named(T *widget, const QString &name, const QRect &geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    return named(new QLabel(text, parent), name, geometry);
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    return named(new QPushButton(text, parent), name, geometry);
}

SpinEdit *makeRangeBox(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *box = named(new SpinEdit(parent), name, geometry);
    box->setRange(1, kDesignRangeLimit);
    box->setEnabled(false);
    return box;
}

} // namespace

ExportDataWindow::ExportDataWindow(Session &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("导出数据窗口"));
    setWindowTitle(QStringLiteral("导出数据"));
    setFixedSize(kWindowWidth, kWindowHeight);

    buildFormatGroup();
    buildRangeGroup();
    buildBottomRow();
    setTabOrders();
    connectHandlers();
}

void ExportDataWindow::buildFormatGroup()
{
    formatGroup = named(new QGroupBox(QStringLiteral("输出格式"), this), QStringLiteral("分组框1"),
                        QRect(8, 6, 284, 84));
    typeLabel =
        makeLabel(formatGroup, QStringLiteral("标签1"), QStringLiteral("类型:"), QRect(10, 24, 34, 22));
    类型组合框 = named(new QComboBox(formatGroup), QStringLiteral("类型组合框"), QRect(44, 24, 92, 22));
    类型组合框->addItems({QStringLiteral("文本 TXT"), QStringLiteral("网页 HTML")});
    类型组合框->setCurrentIndex(0);

    分隔符标签 = makeLabel(formatGroup, QStringLiteral("分隔符标签"), QStringLiteral("列间分隔符:"),
                           QRect(142, 24, 66, 22));
    分割组合框 = named(new QComboBox(formatGroup), QStringLiteral("分割组合框"), QRect(208, 24, 66, 22));
    分割组合框->setEditable(true);
    分割组合框->addItems(
        {QStringLiteral("制表符"), QStringLiteral("◇"), QStringLiteral(","), QStringLiteral("|")});
    分割组合框->setEditText(QStringLiteral("制表符"));
    分割组合框->setProperty(kTagProperty, QStringLiteral("\t"));

    pathLabel =
        makeLabel(formatGroup, QStringLiteral("标签2"), QStringLiteral("路径:"), QRect(10, 52, 34, 22));
    路径编辑框 = named(new QLineEdit(formatGroup), QStringLiteral("路径编辑框"), QRect(44, 52, 204, 22));
    路径编辑框->setReadOnly(true);
    打开按钮 = named(new QToolButton(formatGroup), QStringLiteral("打开按钮"), QRect(250, 52, 24, 22));
    打开按钮->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    打开按钮->setToolTip(QStringLiteral("输出文件"));

    保存对话框 = new ui::FileDialog(this);
    保存对话框->setObjectName(QStringLiteral("保存对话框"));
    保存对话框->title = QStringLiteral("输出文件");
    保存对话框->filter = QStringLiteral("文本TXT(*.txt)|*.txt");
    保存对话框->defaultExtension = QStringLiteral("txt");
}

void ExportDataWindow::buildRangeGroup()
{
    rangeGroup = named(new QGroupBox(QStringLiteral("输出范围"), this), QStringLiteral("分组框2"),
                       QRect(8, 96, 284, 178));
    全部行单选框 = named(new QRadioButton(QStringLiteral("全部记录"), rangeGroup),
                         QStringLiteral("全部行单选框"), QRect(10, 22, 80, 22));
    全部行单选框->setChecked(true);
    指定行单选框 = named(new QRadioButton(QStringLiteral("指定记录"), rangeGroup),
                         QStringLiteral("指定行单选框"), QRect(92, 22, 80, 22));
    首行编辑框 = makeRangeBox(rangeGroup, QStringLiteral("首行编辑框"), QRect(172, 22, 50, 22));
    首行编辑框->setValue(1);
    尾行编辑框 = makeRangeBox(rangeGroup, QStringLiteral("尾行编辑框"), QRect(224, 22, 50, 22));
    尾行编辑框->clearText();

    availableFieldsLabel =
        makeLabel(rangeGroup, QStringLiteral("标签3"), QStringLiteral("可选字段"), QRect(10, 50, 96, 16));
    可选列表框 = named(new QListWidget(rangeGroup), QStringLiteral("可选列表框"), QRect(10, 68, 96, 100));
    增加按钮 =
        makeButton(rangeGroup, QStringLiteral("增加按钮"), QStringLiteral("->"), QRect(112, 68, 46, 22));
    增加按钮->setEnabled(false);
    去除按钮 =
        makeButton(rangeGroup, QStringLiteral("去除按钮"), QStringLiteral("<-"), QRect(112, 94, 46, 22));
    全选按钮 =
        makeButton(rangeGroup, QStringLiteral("全选按钮"), QStringLiteral("全选"), QRect(112, 120, 46, 22));
    全选按钮->setEnabled(false);
    全删按钮 =
        makeButton(rangeGroup, QStringLiteral("全删按钮"), QStringLiteral("全删"), QRect(112, 146, 46, 22));
    chosenFieldsLabel =
        makeLabel(rangeGroup, QStringLiteral("标签6"), QStringLiteral("已选字段"), QRect(164, 50, 90, 16));
    已选列表框 = named(new QListWidget(rangeGroup), QStringLiteral("已选列表框"), QRect(164, 68, 90, 100));
    调节器 = named(new UpDownControl(rangeGroup), QStringLiteral("调节器"), QRect(256, 68, 18, 40));
    ui::setCaption(可选列表框, availableFieldsLabel);
    ui::setCaption(已选列表框, chosenFieldsLabel);
}

void ExportDataWindow::buildBottomRow()
{
    字段选择框 = named(new QCheckBox(QStringLiteral("包括字段名"), this), QStringLiteral("字段选择框"),
                       QRect(14, 278, 104, 20));
    所有选择框 = named(new QCheckBox(QStringLiteral("包括被标记为删除的记录"), this),
                       QStringLiteral("所有选择框"), QRect(120, 278, 172, 20));
    开始按钮 = makeButton(this, QStringLiteral("开始按钮"), QStringLiteral("开始"), QRect(132, 302, 76, 24));
    开始按钮->setDefault(true);
    取消按钮 = makeButton(this, QStringLiteral("取消按钮"), QStringLiteral("取消"), QRect(216, 302, 76, 24));
}

void ExportDataWindow::setTabOrders()
{
    const QList<QWidget *> order = {类型组合框,   分割组合框, 路径编辑框, 打开按钮,   全部行单选框,
                                    指定行单选框, 首行编辑框, 尾行编辑框, 可选列表框, 增加按钮,
                                    去除按钮,     全选按钮,   全删按钮,   已选列表框, 字段选择框,
                                    所有选择框,   开始按钮,   取消按钮};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void ExportDataWindow::connectHandlers()
{
    connect(类型组合框, &QComboBox::currentIndexChanged, this, &ExportDataWindow::类型组合框_itemSelected);
    connect(打开按钮, &QToolButton::clicked, this, &ExportDataWindow::打开按钮_clicked);
    connect(全部行单选框, &QRadioButton::clicked, this, &ExportDataWindow::全部行单选框_clicked);
    connect(指定行单选框, &QRadioButton::clicked, this, &ExportDataWindow::指定行单选框_clicked);
    connect(首行编辑框, &SpinEdit::editTextChanged, this, &ExportDataWindow::首行编辑框_textChanged);
    connect(尾行编辑框, &SpinEdit::editTextChanged, this, &ExportDataWindow::尾行编辑框_textChanged);
    connect(增加按钮, &QPushButton::clicked, this, &ExportDataWindow::增加按钮_clicked);
    connect(去除按钮, &QPushButton::clicked, this, &ExportDataWindow::去除按钮_clicked);
    connect(全选按钮, &QPushButton::clicked, this, &ExportDataWindow::全选按钮_clicked);
    connect(全删按钮, &QPushButton::clicked, this, &ExportDataWindow::全删按钮_clicked);
    connect(调节器, &UpDownControl::upPressed, this, &ExportDataWindow::调节器_upPressed);
    connect(调节器, &UpDownControl::downPressed, this, &ExportDataWindow::调节器_downPressed);
    connect(开始按钮, &QPushButton::clicked, this, &ExportDataWindow::开始按钮_clicked);
    connect(取消按钮, &QPushButton::clicked, this, &ExportDataWindow::取消按钮_clicked);
}

int ExportDataWindow::run(Session &session, QWidget *parent)
{
    if (session.store.storeName().isEmpty())
        return QDialog::Rejected;
    if (session.store.recordCount() <= 0) {
        ui::messageBox(parent, QStringLiteral("当前库无记录可导出"), QStringLiteral("提示"), ui::Style::Ok);
        return QDialog::Rejected;
    }
    ExportDataWindow window(session, parent);
    window.returnRecord = session.store.recordNumber();
    window.created();
    return ui::execModal(&window);
}

QString ExportDataWindow::withExtension(const QString &path, const QString &extension)
{
    if (path.isEmpty())
        return path;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    // A path without any "." keeps all of its text.
    return (dot < 0 ? path : path.left(dot)) + extension;
}

int ExportDataWindow::recordCount() const
{
    return m_session.store.recordCount();
}

void ExportDataWindow::created()
{
    const ContactStore &store = m_session.store;
    路径编辑框->setText(withExtension(store.filePath(), QStringLiteral(".txt")));
    保存对话框->fileName = 路径编辑框->text();

    const int count = recordCount();
    首行编辑框->setMaximum(count);
    尾行编辑框->setMaximum(count);
    if (count > kDefaultRangeEnd) {
        尾行编辑框->setValue(kDefaultRangeEnd);
        指定行单选框->setChecked(true);
        setRangeEnabled(true);
    } else {
        尾行编辑框->setValue(count);
    }

    for (int position = 1; position <= store.fieldCount(); ++position) {
        addField(可选列表框, store.fieldName(position), position);
        addField(已选列表框, store.fieldName(position), position);
    }
    可选列表框->setCurrentRow(0);
    已选列表框->setCurrentRow(0);
}

void ExportDataWindow::addField(QListWidget *list, const QString &name, int position)
{
    auto *item = new QListWidgetItem(name, list);
    item->setData(kFieldPositionRole, position);
}

void ExportDataWindow::addField(QListWidget *list, const QListWidgetItem *field)
{
    addField(list, field->text(), field->data(kFieldPositionRole).toInt());
}

void ExportDataWindow::setRangeEnabled(bool enabled)
{
    首行编辑框->setEnabled(enabled);
    尾行编辑框->setEnabled(enabled);
}

void ExportDataWindow::setAddButtonsEnabled(bool enabled)
{
    增加按钮->setEnabled(enabled);
    全选按钮->setEnabled(enabled);
}

void ExportDataWindow::setRemoveButtonsEnabled(bool enabled)
{
    去除按钮->setEnabled(enabled);
    全删按钮->setEnabled(enabled);
}

void ExportDataWindow::类型组合框_itemSelected()
{
    const bool text = 类型组合框->currentIndex() == 0;
    分隔符标签->setVisible(text);
    分割组合框->setVisible(text);
    字段选择框->setEnabled(text);
    保存对话框->filter =
        text ? QStringLiteral("文本TXT(*.txt)|*.txt") : QStringLiteral("网页HTML(*.htm)|*.htm");
    保存对话框->defaultExtension = text ? QStringLiteral("txt") : QStringLiteral("htm");
    路径编辑框->setText(
        withExtension(路径编辑框->text(), text ? QStringLiteral(".txt") : QStringLiteral(".htm")));
    保存对话框->fileName = 路径编辑框->text();
}

void ExportDataWindow::打开按钮_clicked()
{
    // The dialog keeps the preset name on cancel, so the path stays as it was.
    保存对话框->showSave(this);
    if (!保存对话框->fileName.isEmpty())
        路径编辑框->setText(保存对话框->fileName);
}

void ExportDataWindow::全部行单选框_clicked()
{
    setRangeEnabled(false);
}

void ExportDataWindow::指定行单选框_clicked()
{
    setRangeEnabled(true);
}

void ExportDataWindow::首行编辑框_textChanged()
{
    const int number = 首行编辑框->text().toInt();
    if (number < 1 || number > recordCount())
        首行编辑框->setValue(1);
}

void ExportDataWindow::尾行编辑框_textChanged()
{
    const int number = 尾行编辑框->text().toInt();
    if (number < 1 || number > recordCount())
        尾行编辑框->setValue(recordCount());
}

void ExportDataWindow::增加按钮_clicked()
{
    const QListWidgetItem *field = 可选列表框->currentItem();
    if (!field || !已选列表框->findItems(field->text(), Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
        return;
    addField(已选列表框, field);
    已选列表框->setCurrentRow(已选列表框->count() - 1);
    if (已选列表框->count() == 可选列表框->count())
        setAddButtonsEnabled(false);
    setRemoveButtonsEnabled(true);
}

void ExportDataWindow::去除按钮_clicked()
{
    // At least one column always stays.
    if (已选列表框->count() <= 1 || 已选列表框->currentRow() < 0)
        return;
    delete 已选列表框->takeItem(已选列表框->currentRow());
    if (!增加按钮->isEnabled())
        setAddButtonsEnabled(true);
    if (已选列表框->count() == 1)
        setRemoveButtonsEnabled(false);
    已选列表框->setCurrentRow(0);
}

void ExportDataWindow::全选按钮_clicked()
{
    已选列表框->clear();
    for (int row = 0; row < 可选列表框->count(); ++row)
        addField(已选列表框, 可选列表框->item(row));
    已选列表框->setCurrentRow(0);
    setRemoveButtonsEnabled(true);
    setAddButtonsEnabled(false);
}

void ExportDataWindow::全删按钮_clicked()
{
    if (可选列表框->count() == 0)
        return;
    已选列表框->clear();
    addField(已选列表框, 可选列表框->item(0));
    已选列表框->setCurrentRow(0);
    setRemoveButtonsEnabled(false);
    setAddButtonsEnabled(true);
}

void ExportDataWindow::moveSelectedField(int offset)
{
    const int from = 已选列表框->currentRow();
    const int to = from + offset;
    if (from < 0 || to < 0 || to >= 已选列表框->count())
        return;
    已选列表框->insertItem(to, 已选列表框->takeItem(from));
    已选列表框->setCurrentRow(to);
}

void ExportDataWindow::调节器_upPressed()
{
    moveSelectedField(-1);
}

void ExportDataWindow::调节器_downPressed()
{
    moveSelectedField(1);
}

void ExportDataWindow::开始按钮_clicked()
{
    if (exchange::isSameFile(路径编辑框->text(), m_session.store.filePath())) {
        ui::messageBox(this, QStringLiteral("不能导出到通讯录文件本身！\r\n请另选一个文件名。"),
                       QStringLiteral("提示"), ui::Style::OkStop);
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written = writeOutputFile();
    QGuiApplication::restoreOverrideCursor();
    m_session.store.goTo(returnRecord);
    if (!written) {
        // The old file, if any, is still whole; the user may pick another path.
        ui::messageBox(this, QStringLiteral("数据导出失败！"), QStringLiteral("提示"), ui::Style::OkStop);
        return;
    }
    if (ui::messageBox(this, QStringLiteral("数据导出成功"), QStringLiteral("提示"), ui::Style::Ok) ==
        ui::AnswerOk)
        accept();
}

QString ExportDataWindow::separator() const
{
    return exchange::textSeparator(分割组合框->currentText(), 分割组合框->property(kTagProperty).toString());
}

bool ExportDataWindow::writeOutputFile()
{
    exchange::RecordSelection selection;
    for (int row = 0; row < 已选列表框->count(); ++row)
        selection.fields << 已选列表框->item(row)->data(kFieldPositionRole).toInt();
    if (指定行单选框->isChecked()) {
        selection.first = std::max(1, 首行编辑框->value());
        selection.last = std::max(1, 尾行编辑框->value());
    }
    selection.includeMarked = 所有选择框->isChecked();

    ContactStore &store = m_session.store;
    const QStringList names = exchange::selectedFieldNames(store, selection);
    const exchange::RecordRows records(store, selection);
    const exchange::FileAccess access = exchange::accessFor(store);
    if (类型组合框->currentIndex() == 0) {
        const exchange::TextExportOptions options{separator(), 字段选择框->isChecked()};
        return exchange::writeFileAtomically(
            路径编辑框->text(),
            [&](QIODevice &out) { return exchange::writeTextExport(out, names, records, options); }, access);
    }
    const exchange::HtmlExportOptions options{store.storeName(), QDate::currentDate()};
    return exchange::writeFileAtomically(
        路径编辑框->text(),
        [&](QIODevice &out) { return exchange::writeHtmlExport(out, names, records, options); }, access);
}

void ExportDataWindow::取消按钮_clicked()
{
    reject();
}

} // namespace quennet
