#pragma once

#include "ui/SkinnedWindow.h"

#include <QList>
#include <QPair>
#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quennet {

namespace sync {
class SyncStore;
struct SyncSettings;
} // namespace sync

// 同步设置窗口: the CardDAV server, the account, the address book found on
// it and the interval of the automatic sync; saves them to the store and
// syncs on request.
class SyncWindow : public ui::SkinnedWindow {
    Q_OBJECT
public:
    // What the window reports when it closes; the caller acts on it.
    enum Outcome {
        Closed = 0,          // nothing saved
        Saved = 1,           // the settings changed (the timer follows them)
        ContactsChanged = 2, // a sync changed the store's contacts (the list is refilled)
    };

    SyncWindow(Session &session, sync::SyncStore &store, QWidget *parent = nullptr);

    // Builds the window, runs its created handler and shows it modally;
    // returns the Outcome.
    static int run(Session &session, sync::SyncStore &store, QWidget *parent);

    ui::TransparentLabel *serverLabel;
    QLineEdit *服务器编辑框;
    ui::TransparentLabel *userLabel;
    QLineEdit *用户名编辑框;
    ui::TransparentLabel *passwordLabel;
    QLineEdit *密码编辑框;
    QPushButton *测试连接按钮;
    QComboBox *通讯簿选择框; // the books 测试连接 found
    ui::TransparentLabel *intervalLabel;
    QSpinBox *间隔调节框; // minutes between automatic syncs; 0 = off
    ui::TransparentLabel *minutesLabel;
    ui::TransparentLabel *状态标签; // what the last step found
    QPushButton *保存按钮;
    QPushButton *立即同步按钮;

    QString helpText() const override;

    // The window's created handler; call once before showing.
    void created();
    void 测试连接按钮_clicked();
    void 保存按钮_clicked();
    void 立即同步按钮_clicked();

private:
    sync::SyncSettings typedSettings() const;
    // Checks and saves the typed settings and password; false (with a
    // message) when they cannot be.
    bool save();
    void keepTypedPassword(const sync::SyncSettings &settings);
    // The password for the typed account: the one typed, else the one kept
    // or asked. False when the user cancelled.
    bool passwordFor(const sync::SyncSettings &settings, QString *password);
    // Fills 通讯簿选择框 with the books the typed account leads to; the
    // number found, 0 after a message when none could be.
    int discoverBooks();
    void showBooks(const QList<QPair<QString, QString>> &books, const QString &chosen);
    void showProblem(const QString &text);
    ui::TransparentLabel *addLabel(const QString &name, const QString &text, const QRect &geometry);
    QLineEdit *addEditBox(const QString &name, const QRect &geometry);

    sync::SyncStore &m_store;
    int m_outcome = Closed;
    bool m_busy = false; // a connection test or a sync runs; its progress lets events through
};

} // namespace quennet
