#pragma once

#include "ui/SkinnedWindow.h"

class QPushButton;
class QRadioButton;

namespace quennet {

namespace ui {
class FileDialog;
}

// 数据管理窗口: the choice between the three exports, the backup and the
// clearing of the store.
class DataWindow : public ui::SkinnedWindow {
    Q_OBJECT
public:
    // What the window reports when it closes; the caller acts on it (after
    // StoreCleared the main window refills its list).
    enum Outcome {
        Closed = 0,       // 关闭按钮: nothing changed
        OptionDone = 1,   // an export or the backup ran
        StoreCleared = 2, // every record was deleted
    };

    explicit DataWindow(Session &session, QWidget *parent = nullptr);

    // Builds the window, runs its created handler and shows it modally;
    // returns the Outcome.
    static int run(Session &session, QWidget *parent);

    ui::TransparentLabel *hintLabel;
    QRadioButton *excelOption;
    QRadioButton *webPageOption;    // styled web page
    QRadioButton *pageOrTextOption; // simple web page or text file
    QRadioButton *backupOption;
    QRadioButton *clearOption;
    QPushButton *确定按钮;
    ui::FileDialog *通用对话框; // shared by the Excel export and the backup

    QString helpText() const override;

    // The window's created handler; call once before showing.
    void created();
    // Runs the first selected option.
    void 确定按钮_clicked();

    // The five options.
    void exportExcelFile();
    void exportWebPage();
    void exportPageOrText();
    void backUpStore();
    void clearStore();

    // Closes the window, reporting the outcome to the caller.
    void finish(Outcome outcome);

private:
    // The workbook of the store file at destination, and the message.
    void writeWorkbook(const QString &destination);
    // Opens the store again with the login password after an option closed it.
    void reopenStore();
    QRadioButton *makeOption(const QString &name, const QString &caption, const QRect &geometry);

    bool m_running = false; // an option is running; the window repaints meanwhile
};

} // namespace quennet
