#pragma once

#include "export/SpinEdit.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace quennet {

struct Session;
class UpDownControl;

namespace ui {
class FileDialog;
}

// 导出数据窗口: writes chosen fields of all or a range of contacts to a text
// file or a simple web page.
class ExportDataWindow : public QDialog {
    Q_OBJECT
public:
    explicit ExportDataWindow(Session &session, QWidget *parent = nullptr);

    // Builds the window on the open store, runs its created handler and shows
    // it modally. Does nothing without an open store; an empty store is
    // refused with a message.
    static int run(Session &session, QWidget *parent);

    // The separator 分割组合框 stands for while it reads "制表符" is kept in
    // this property of the box.
    static constexpr const char *kTagProperty = "tag";
    // Each field list item keeps the field's position in the store here.
    static constexpr int kFieldPositionRole = Qt::UserRole;

    QGroupBox *formatGroup;
    QLabel *typeLabel;
    QComboBox *类型组合框;
    QLabel *分隔符标签;
    QComboBox *分割组合框;
    QLabel *pathLabel;
    QLineEdit *路径编辑框;
    QToolButton *打开按钮;
    ui::FileDialog *保存对话框;

    QGroupBox *rangeGroup;
    QRadioButton *全部行单选框;
    QRadioButton *指定行单选框;
    SpinEdit *首行编辑框;
    SpinEdit *尾行编辑框;
    QLabel *availableFieldsLabel;
    QListWidget *可选列表框;
    QLabel *chosenFieldsLabel;
    QListWidget *已选列表框;
    QPushButton *增加按钮;
    QPushButton *去除按钮;
    QPushButton *全选按钮;
    QPushButton *全删按钮;
    UpDownControl *调节器;

    QCheckBox *字段选择框;
    QCheckBox *所有选择框;
    QPushButton *开始按钮;
    QPushButton *取消按钮;

    // The record under the store cursor when the window was opened; every
    // export ends there.
    int returnRecord = 0;

    // The window's created handler; call once before showing.
    void created();

    void 类型组合框_itemSelected();
    void 打开按钮_clicked();
    void 全部行单选框_clicked();
    void 指定行单选框_clicked();
    void 首行编辑框_textChanged();
    void 尾行编辑框_textChanged();
    void 增加按钮_clicked();
    void 去除按钮_clicked();
    void 全选按钮_clicked();
    void 全删按钮_clicked();
    void 调节器_upPressed();
    void 调节器_downPressed();
    void 开始按钮_clicked();
    void 取消按钮_clicked();

    // path with the text after its last "." replaced by extension (".txt").
    static QString withExtension(const QString &path, const QString &extension);

    // The column separator the text file uses: TAB for "制表符", one blank
    // for an empty box, otherwise the box's text whole.
    QString separator() const;

private:
    // Writes the chosen records and fields; false when the file could not be
    // written (an existing file then stays as it was).
    bool writeOutputFile();
    int recordCount() const;
    static void addField(QListWidget *list, const QString &name, int position);
    static void addField(QListWidget *list, const QListWidgetItem *field);
    void setRangeEnabled(bool enabled);
    void setAddButtonsEnabled(bool enabled);
    void setRemoveButtonsEnabled(bool enabled);
    void moveSelectedField(int offset);
    void buildFormatGroup();
    void buildRangeGroup();
    void buildBottomRow();
    void setTabOrders();
    void connectHandlers();

    Session &m_session;
};

} // namespace quennet
