#pragma once

#include <QObject>
#include <QString>

class QAction;

namespace quennet {

class MainWindow;

// Import and export of vCard and CSV files in the main window: the two items
// at the end of the 联系人 menu, and vCard or CSV files dropped on the window.
class ContactFileExchange : public QObject {
    Q_OBJECT
public:
    explicit ContactFileExchange(MainWindow &window);

    void importContacts();                // 导入联系人…
    void exportContacts();                // 导出联系人…
    void importFile(const QString &path); // with progress, report and list refill

    QAction *导入联系人;
    QAction *导出联系人;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MainWindow &m_window;
};

} // namespace quennet
