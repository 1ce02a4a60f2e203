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

    // Named for their role; each control's objectName is its design name
    // (编辑框1, 颜色选择器6, ...).
    QTabWidget *tabs;

    // 网页设置
    QGroupBox *pageGroup;
    QLineEdit *pageTitleEdit;
    QLineEdit *captionEdit; // above the table
    ColorPicker *captionTextColorPicker;
    QComboBox *captionSizeBox;
    QComboBox *captionFaceBox;
    QCheckBox *captionBoldCheck;
    QCheckBox *captionItalicCheck;
    ColorPicker *pageColorPicker;
    QCheckBox *pagePictureCheck;
    QLineEdit *pagePictureEdit;
    QPushButton *pagePictureButton;
    QCheckBox *topMarginCheck;
    QSpinBox *topMarginEdit;
    QCheckBox *leftMarginCheck;
    QSpinBox *leftMarginEdit;
    QCheckBox *collapseBordersCheck;
    QRadioButton *alignLeftRadio;
    QRadioButton *alignCenterRadio;
    QRadioButton *alignRightRadio;

    // 表格设置
    QGroupBox *tableGroup;
    ColorPicker *headerColorPicker;
    ColorPicker *headerTextColorPicker;
    QComboBox *headerSizeBox;
    QComboBox *headerFaceBox;
    QCheckBox *headerBoldCheck;
    QCheckBox *headerItalicCheck;
    ColorPicker *rowColorPicker;
    ColorPicker *rowTextColorPicker;
    QComboBox *rowSizeBox;
    QComboBox *rowFaceBox;
    QCheckBox *rowBoldCheck;
    QCheckBox *rowItalicCheck;
    QCheckBox *alternateRowsCheck;
    ColorPicker *alternateRowColorPicker;
    QLineEdit *cellPaddingEdit;
    QLineEdit *cellSpacingEdit;
    QLineEdit *borderWidthEdit;
    ColorPicker *lightBorderColorPicker;
    ColorPicker *darkBorderColorPicker;
    QCheckBox *tablePictureCheck;
    QLineEdit *tablePictureEdit;
    QPushButton *tablePictureButton;
    QCheckBox *headerPictureCheck;
    QLineEdit *headerPictureEdit;
    QPushButton *headerPictureButton;

    QPushButton *saveButton;    // build and save
    QPushButton *previewButton; // build and preview
    QPushButton *cancelButton;
    ui::FileDialog *pictureDialog;
    ui::FileDialog *pageFileDialog;
    QStatusBar *statusBar;
    QProgressBar *progressBar;

    // The two panes of statusBar (0 and 1); the second shows the build progress.
    QLabel *statusPane(int index) const;

    // The window's created handler; call once before showing.
    void created();

    void saveButton_clicked();
    void previewButton_clicked();
    void cancelButton_clicked();
    void pagePictureButton_clicked();
    void tablePictureButton_clicked();
    void headerPictureButton_clicked();
    void pagePictureCheck_clicked();
    void topMarginCheck_clicked();
    void leftMarginCheck_clicked();
    void tablePictureCheck_clicked();
    void headerPictureCheck_clicked();
    void alternateRowsCheck_clicked();

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
