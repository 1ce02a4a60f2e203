#pragma once

#include "contacts/store/StoreCredential.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QTabWidget;

namespace quennet::exchange {
enum class FileAccess;
struct WebFont;
struct WebPageOptions;
} // namespace quennet::exchange

namespace quennet {

struct Session;
class ColorPicker;

namespace ui {
class FileDialog;
}

// 导出网页窗口: the options of the styled web page with every contact of the
// store, saved to a file or previewed as source text.
class ExportWebWindow : public QDialog {
    Q_OBJECT
public:
    explicit ExportWebWindow(Session &session, QWidget *parent = nullptr);

    // Builds the window for the store file at storePath (opened by each build
    // with credential), runs its created handler and shows it modally.
    static int run(Session &session, QWidget *parent, const QString &storePath,
                   const StoreCredential &credential);

    // The store the builds read; the caller keeps it closed meanwhile.
    QString storePath;
    StoreCredential storeCredential;

    QTabWidget *选择夹1;

    // 网页设置
    QGroupBox *分组框1;
    QLineEdit *编辑框1; // page title
    QLineEdit *编辑框2; // caption above the table
    ColorPicker *颜色选择器6;
    QComboBox *组合框5;
    QComboBox *组合框6;
    QCheckBox *选择框10;
    QCheckBox *选择框11;
    ColorPicker *颜色选择器1;
    QCheckBox *选择框1;
    QLineEdit *编辑框3;
    QPushButton *按钮2;
    QCheckBox *选择框2;
    QSpinBox *编辑框4;
    QCheckBox *选择框3;
    QSpinBox *编辑框5;
    QCheckBox *选择框13;
    QRadioButton *单选框1;
    QRadioButton *单选框2;
    QRadioButton *单选框3;

    // 表格设置
    QGroupBox *分组框2;
    ColorPicker *颜色选择器2;
    ColorPicker *颜色选择器3;
    QComboBox *组合框1;
    QComboBox *组合框2;
    QCheckBox *选择框4;
    QCheckBox *选择框5;
    ColorPicker *颜色选择器4;
    ColorPicker *颜色选择器5;
    QComboBox *组合框3;
    QComboBox *组合框4;
    QCheckBox *选择框6;
    QCheckBox *选择框7;
    QCheckBox *选择框12;
    ColorPicker *颜色选择器9;
    QLineEdit *编辑框8;  // cellpadding
    QLineEdit *编辑框9;  // cellspacing
    QLineEdit *编辑框10; // border
    ColorPicker *颜色选择器7;
    ColorPicker *颜色选择器8;
    QCheckBox *选择框8;
    QLineEdit *编辑框6;
    QPushButton *按钮3;
    QCheckBox *选择框9;
    QLineEdit *编辑框7;
    QPushButton *按钮4;

    QPushButton *按钮1;          // build and save
    QPushButton *按钮6;          // build and preview
    QPushButton *按钮5;          // cancel
    ui::FileDialog *通用对话框1; // pictures
    ui::FileDialog *通用对话框2; // the page file
    QStatusBar *状态条1;
    QProgressBar *进度条1;

    // The two panes of 状态条1 (0 and 1); the second shows the build progress.
    QLabel *statusPane(int index) const;

    // The window's created handler; call once before showing.
    void created();

    void 按钮1_clicked();
    void 按钮6_clicked();
    void 按钮5_clicked();
    void 按钮2_clicked();
    void 按钮3_clicked();
    void 按钮4_clicked();
    void 选择框1_clicked();
    void 选择框2_clicked();
    void 选择框3_clicked();
    void 选择框8_clicked();
    void 选择框9_clicked();
    void 选择框12_clicked();

    // The URL a background picture at path is written with.
    static QString pictureUrl(const QString &path);

    // Everything the two tabs hold, as the page writer takes it.
    exchange::WebPageOptions pageOptions() const;

    // True while a page is being built (the buttons are disabled meanwhile).
    bool isBuilding() const { return m_building; }

public slots:
    // A build lets events through after each record: the window must not
    // close under it.
    void reject() override;

private:
    enum class BuildMode { Preview, Save };
    void buildAndDeliver(BuildMode mode);
    // Opens the store, writes the page into page and closes the store again;
    // false (with the message shown) when the store did not open.
    bool buildPage(QByteArray &page);
    void setButtonsEnabled(bool enabled);
    void showProgress(int position, int maximum);
    void preview(const QByteArray &page);
    void save(const QByteArray &page);
    // Replaces the file at path with page; a failure leaves it whole and is
    // reported.
    bool writePageFile(const QString &path, const QByteArray &page);
    exchange::WebFont fontOf(ColorPicker *colour, QComboBox *size, QComboBox *face, QCheckBox *bold,
                             QCheckBox *italic) const;
    // Shows the picture dialog: the chosen picture's URL, empty on cancel.
    QString choosePictureUrl();
    void buildPageTab();
    void buildTableTab();
    void buildButtonsAndStatus();
    void connectHandlers();

    QLabel *m_panes[2] = {nullptr, nullptr};
    bool m_building = false;
    exchange::FileAccess m_pageAccess{}; // that of the store the last page was built from
    Session &m_session;
};

} // namespace quennet
