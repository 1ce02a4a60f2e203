#pragma once

#include "contacts/ContactRules.h"
#include "contacts/store/Contact.h"

#include <QList>
#include <QWidget>

class QAction;
class QLineEdit;
class QMenu;
class QTableView;
class QTimer;

namespace quennet {

struct Session;
class ContactFinder;
class ContactListModel;
class MenuPictures;

namespace ui {
class ImageButton;
class TransparentLabel;
} // namespace ui

// The main window: the record form with its keypad, the contact list laid
// over the form, and the two pop-up menus. Every button, menu item and hot
// key runs one of the public operations below.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 210;
    static constexpr int kHeight = 367;

    explicit MainWindow(Session &session, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Creates the window, runs its created handler and shows it.
    static MainWindow *load(Session &session);

    void created();

    // --- operations (buttons, menu items, hot keys) ------------------------
    void about();
    void startAdding();
    // Shows why and returns true while a contact is being added or changed:
    // what refills the list and the form would lose what is typed.
    bool refusedWhileEditing();
    void startModifying();
    void deleteContact();
    void startQuery(rules::QueryKind kind);
    void passwordSettings();
    void dataManagement();
    void help();
    void confirm();
    void open();
    void backToList();
    void previous();
    void next();
    void keypad(int digit);
    // 查找联系人… (Ctrl+F): the filter line over the list; the list shows
    // the contacts that what is typed finds. Esc closes it.
    void startFinding();
    void stopFinding();
    bool isFinding() const;
    void popUpContactsMenu();
    void popUpSettingsMenu();
    void minimizeWindow();    // into the tray, or minimised where there is none
    void restoreMainWindow(); // double click on the tray icon
    void closeWindow();       // 关闭: closes the store, then the window
    void exitProgram();       // 退出

    // --- steps shared by the contact operations ----------------------------
    void showCurrentRecord();
    void fillList(); // the list must be empty (see clearList)
    void clearList();
    void refillList(); // clearList, then fillList
    void showList();
    void hideList();
    bool isListView() const;
    // The unsaved-record prompt; runs confirm on Yes. True when answered Yes.
    bool askToSaveRecord();
    void setRecordCounter(int recordNumber); // "第N条记录"
    void setTotalCounter(int recordCount);   // "共N条记录"
    // 添加联系人, 修改联系人, 删除联系人, 查询联系人 enabled or disabled.
    void setContactItemsEnabled(bool add, bool modify, bool remove, bool query);
    // The six edit boxes in field order 姓名, 电话, 手机, QQ, Email, 地址.
    QList<QLineEdit *> editBoxes() const;
    void registerHotKeys(); // the sixteen global hot keys, in their order

    // Reads the store again when another program changed it, so that the
    // window shows, and writes on the strength of, only what is stored. The
    // form and the list stay on the contacts they showed, wherever these now
    // stand; an unfinished add, change or query keeps what was typed. The
    // window does this by itself every second while it waits for the user.
    void followOtherPrograms();
    // While one lives, the window does not follow by itself: a long step that
    // lets events through (an import) works on the records it read.
    class FollowingPaused {
    public:
        explicit FollowingPaused(MainWindow &window) : m_window(window) { ++m_window.m_followingPaused; }
        ~FollowingPaused() { --m_window.m_followingPaused; }
        FollowingPaused(const FollowingPaused &) = delete;
        FollowingPaused &operator=(const FollowingPaused &) = delete;

    private:
        MainWindow &m_window;
    };

    // The store's contacts were changed by this window: the search reads
    // them again before it answers.
    void contactsChanged();

    Session &session() { return m_session; }
    ContactFinder *finder() const { return m_finder; }
    ContactListModel *listModel() const { return m_listModel; }

    // --- controls -----------------------------------------------------------
    ui::TransparentLabel *titleLabel;
    ui::ImageButton *最小化;
    ui::ImageButton *关闭;
    ui::TransparentLabel *姓名标签;
    QLineEdit *姓名编辑框;
    ui::TransparentLabel *电话标签;
    QLineEdit *电话编辑框;
    ui::TransparentLabel *mobileLabel;
    QLineEdit *手机编辑框;
    ui::TransparentLabel *qqLabel;
    QLineEdit *QQ编辑框;
    ui::TransparentLabel *emailLabel;
    QLineEdit *Email编辑框;
    ui::TransparentLabel *addressLabel;
    QLineEdit *地址编辑框;
    QTableView *超级列表框;
    QLineEdit *查找编辑框; // the filter line, shown over the list while finding
    ui::ImageButton *联系人按钮;
    ui::TransparentLabel *总记录数标签;
    ui::ImageButton *设置按钮;
    ui::ImageButton *打开按钮;
    ui::ImageButton *确定按钮;
    ui::ImageButton *关闭按钮;
    ui::ImageButton *按键1;
    ui::ImageButton *按键2;
    ui::ImageButton *按键3;
    ui::ImageButton *按键4;
    ui::ImageButton *按键5;
    ui::ImageButton *按键6;
    ui::ImageButton *按键7;
    ui::ImageButton *按键8;
    ui::ImageButton *按键9;
    ui::ImageButton *上一条记录按钮;
    ui::ImageButton *按键0;
    ui::ImageButton *下一条记录按钮;
    QTimer *memoryTrimTimer;
    MenuPictures *menuPictures;

    // menu 联系人
    QMenu *联系人;
    QAction *添加联系人;
    QAction *修改联系人;
    QAction *删除联系人;
    QMenu *查询联系人;
    QAction *按姓名查询;
    QAction *按电话查询;
    QAction *按手机查询;
    QAction *按QQ号查询;
    QAction *查找联系人; // "查找联系人…", the menu's last item
    // menu 设置
    QMenu *设置;
    QAction *关于;
    QAction *帮助;
    QAction *密码设置;
    QAction *导出数据;
    QAction *退出;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildTitleBar();
    void buildForm();
    void buildList();
    bool anyOtherWindowShown() const;
    void fitListRows();
    void buildButtons();
    void buildKeypad();
    void buildMenus();
    void buildFinding();
    void applyFilter();
    void openFirstHit();
    bool isFindingKey(QObject *watched, QEvent *event);
    void connectEvents();
    void attachToolTips();
    void enableEnterMovesFocus();
    bool isEnterMovingFocus(QObject *watched, QEvent *event) const;
    ui::ImageButton *addImageButton(const QString &name, const QString &image, const QRect &geometry,
                                    const QString &accessibleName);
    QAction *addMenuItem(QMenu *menu, const QString &caption, int picture);

    void syncWithFile();
    // Where the form and the list stood, by the contacts' row ids.
    struct Position {
        qint64 rowId = 0; // 0: on no record
        int number = 0;
        bool afterLast = false;
    };
    struct Positions {
        Position cursor;
        Position selected;
        bool rowSelected = false;
    };
    Positions positions() const;
    int numberAfterReload(const Position &before) const;
    void followReload(const Positions &before);
    void followByItself();
    // Nothing was written: another program changed or deleted the contact
    // the user was working on. Says so, then shows what is stored.
    void showStoredInstead(qint64 rowId);

    // The branches of confirm, one per form state.
    void confirmAdding();
    void confirmModifying();
    void confirmQuery(rules::QueryKind kind);

    void 超级列表框_selectionChanged();
    void 超级列表框_leftButtonReleased();
    void memoryTrimTimer_fired();

    Session &m_session;
    ContactListModel *m_listModel = nullptr;
    ContactFinder *m_finder = nullptr;
    bool m_finderStarted = false;
    QTimer *m_followTimer = nullptr;
    int m_followingPaused = 0;
    int m_reloadsFollowed = 0;
    // The stored contact the form shows (id 0: none), as it was shown; while
    // modifying, the one being changed.
    Contact m_shown;
    QList<ui::ImageButton *> m_keypad; // index = digit
};

} // namespace quennet
