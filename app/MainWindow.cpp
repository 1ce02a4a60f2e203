#include "app/MainWindow.h"

#include "app/AboutWindow.h"
#include "app/ContactFileExchange.h"
#include "app/ContactFinder.h"
#include "app/ContactListModel.h"
#include "app/ContactSync.h"
#include "app/MenuPictures.h"
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "contacts/ContactRules.h"
#include "contacts/Session.h"
#include "settings/DataWindow.h"
#include "settings/PasswordWindow.h"
#include "ui/Controls.h"
#include "ui/Memory.h"
#include "ui/MessageBox.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace quennet {

namespace {

const QString kTipTitle = QStringLiteral("温馨提示");

constexpr int kNameColumnWidth = 70;
constexpr int kMobileColumnDesignWidth = 110;
constexpr int kMobileColumnWidthFew = 128;  // up to 7 rows
constexpr int kMobileColumnWidthMany = 112; // from 8 rows, room for the scroll bar
constexpr int kFewRows = 7;

const QRect kListDesignGeometry(229, 58, 107, 38);
const QRect kListGeometry(5, 58, 200, 109);
// How often the idle window looks whether another program changed the store:
// one read of the file header.
constexpr int kFollowIntervalMs = 1000;

QLineEdit *makeEditBox(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    return edit;
}

} // namespace

MainWindow::MainWindow(Session &session, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_session(session)
{
    setObjectName(QStringLiteral("主窗口"));
    setWindowTitle(QStringLiteral("通讯录"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(applicationIcon());
    resize(360, kHeight);

    buildTitleBar();
    buildForm();
    buildList();
    buildButtons();
    buildKeypad();
    memoryTrimTimer = ui::makeTimer(this, QStringLiteral("时钟1"), 200);
    m_followTimer = ui::makeTimer(this, QStringLiteral("followTimer"), kFollowIntervalMs);
    menuPictures = new MenuPictures(this, QStringLiteral("超级菜单1"));
    buildMenus();
    connectEvents();
    new ContactFileExchange(*this);
    buildFinding();
    new ContactSync(*this);
}

MainWindow::~MainWindow() = default;

MainWindow *MainWindow::load(Session &session)
{
    auto *window = new MainWindow(session);
    window->created();
    window->show();
    window->activateWindow();
    return window;
}

// --- design ----------------------------------------------------------------

ui::ImageButton *MainWindow::addImageButton(const QString &name, const QString &image, const QRect &geometry,
                                            const QString &accessibleName)
{
    auto *button = new ui::ImageButton(this, name, image, geometry, accessibleName);
    // Picture buttons never take the focus: the keypad types into the box
    // that had it, and Enter walks the edit boxes only.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void MainWindow::buildTitleBar()
{
    titleLabel = new ui::TransparentLabel(this, QStringLiteral("透明标签5"), QStringLiteral("Quennet"),
                                          QRect(8, 1, 72, 24), 14);
    titleLabel->setStyleSheet(QStringLiteral("color: #0000FF;"));
    最小化 = addImageButton(QStringLiteral("最小化"), QStringLiteral("min"), QRect(165, 2, 19, 19),
                            QStringLiteral("最小化"));
    关闭 = addImageButton(QStringLiteral("关闭"), QStringLiteral("close"), QRect(185, 2, 19, 19),
                          QStringLiteral("关闭"));
}

void MainWindow::buildForm()
{
    姓名标签 = new ui::TransparentLabel(this, QStringLiteral("姓名标签"), QStringLiteral("姓 名："),
                                        QRect(40, 35, 40, 16));
    姓名编辑框 = makeEditBox(this, QStringLiteral("姓名编辑框"), QRect(88, 35, 60, 18));
    电话标签 = new ui::TransparentLabel(this, QStringLiteral("电话标签"), QStringLiteral("电 话："),
                                        QRect(10, 65, 40, 16));
    电话编辑框 = makeEditBox(this, QStringLiteral("电话编辑框"), QRect(55, 65, 145, 16));
    mobileLabel = new ui::TransparentLabel(this, QStringLiteral("透明标签1"), QStringLiteral("手 机："),
                                           QRect(10, 85, 40, 16));
    手机编辑框 = makeEditBox(this, QStringLiteral("手机编辑框"), QRect(55, 85, 145, 16));
    qqLabel = new ui::TransparentLabel(this, QStringLiteral("透明标签2"), QStringLiteral(" Q Q ："),
                                       QRect(10, 105, 40, 16));
    QQ编辑框 = makeEditBox(this, QStringLiteral("QQ编辑框"), QRect(55, 105, 145, 16));
    emailLabel = new ui::TransparentLabel(this, QStringLiteral("透明标签3"), QStringLiteral("Email："),
                                          QRect(10, 125, 40, 16));
    Email编辑框 = makeEditBox(this, QStringLiteral("Email编辑框"), QRect(55, 125, 145, 16));
    addressLabel = new ui::TransparentLabel(this, QStringLiteral("透明标签4"), QStringLiteral("地 址："),
                                            QRect(10, 145, 40, 16));
    地址编辑框 = makeEditBox(this, QStringLiteral("地址编辑框"), QRect(55, 145, 145, 16));
    const QList<ui::TransparentLabel *> captions = {姓名标签, 电话标签,   mobileLabel,
                                                    qqLabel,  emailLabel, addressLabel};
    for (int i = 0; i < captions.size(); ++i)
        ui::setCaption(editBoxes().at(i), captions.at(i));
}

void MainWindow::buildList()
{
    m_listModel = new ContactListModel(m_session.store, this);
    超级列表框 = new QTableView(this);
    超级列表框->setObjectName(QStringLiteral("超级列表框"));
    超级列表框->setGeometry(kListDesignGeometry);
    超级列表框->setModel(m_listModel);
    超级列表框->setSelectionBehavior(QAbstractItemView::SelectRows);
    超级列表框->setSelectionMode(QAbstractItemView::SingleSelection);
    超级列表框->setEditTriggers(QAbstractItemView::NoEditTriggers);
    超级列表框->setShowGrid(false);
    超级列表框->setWordWrap(false);
    超级列表框->setCornerButtonEnabled(false);
    // Tab leaves the list. Moving between cells with it would also move the
    // selection whenever the list hides while it has the focus.
    超级列表框->setTabKeyNavigation(false);
    超级列表框->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    超级列表框->verticalHeader()->hide();
    // Fixed row heights let the view place any of 100,000 rows without
    // measuring them (see fitListRows).
    超级列表框->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // A one-pixel frame: the columns fill the list's width exactly.
    超级列表框->setStyleSheet(QStringLiteral("QTableView { border: 1px solid #8a9bb3; }"));
    QHeaderView *header = 超级列表框->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(1);
    header->resizeSection(ContactListModel::NameColumn, kNameColumnWidth);
    header->resizeSection(ContactListModel::MobileColumn, kMobileColumnDesignWidth);
}

// Rows as high as the list's font needs and a header one line higher. The
// column widths rely on seven rows fitting the list without a scroll bar, so
// a taller font is held to what seven rows leave.
void MainWindow::fitListRows()
{
    超级列表框->ensurePolished();
    const QFontMetrics metrics(超级列表框->font());
    const int needed = metrics.tightBoundingRect(QStringLiteral("姓名手机0123456789")).height() + 1;
    const int headerExtra = 3;
    const int inside = kListGeometry.height() - 2 * 超级列表框->frameWidth();
    const int rowHeight = std::min(needed, (inside - headerExtra) / (kFewRows + 1));
    超级列表框->verticalHeader()->setMinimumSectionSize(1);
    超级列表框->verticalHeader()->setDefaultSectionSize(rowHeight);
    超级列表框->horizontalHeader()->setFixedHeight(inside - kFewRows * rowHeight);
}

void MainWindow::buildButtons()
{
    联系人按钮 = addImageButton(QStringLiteral("联系人按钮"), QStringLiteral("contacts"),
                                QRect(6, 171, 61, 22), QStringLiteral("联系人"));
    总记录数标签 =
        new ui::TransparentLabel(this, QStringLiteral("总记录数标签"), QString(), QRect(72, 175, 75, 16));
    设置按钮 = addImageButton(QStringLiteral("设置按钮"), QStringLiteral("settings"), QRect(152, 171, 51, 22),
                              QStringLiteral("设置"));
    打开按钮 = addImageButton(QStringLiteral("打开按钮"), QStringLiteral("open"), QRect(10, 205, 77, 36),
                              QStringLiteral("打开"));
    确定按钮 = addImageButton(QStringLiteral("确定按钮"), QStringLiteral("ok"), QRect(86, 205, 36, 36),
                              QStringLiteral("确定"));
    关闭按钮 = addImageButton(QStringLiteral("关闭按钮"), QStringLiteral("back"), QRect(122, 205, 77, 36),
                              QStringLiteral("返回列表"));
}

void MainWindow::buildKeypad()
{
    struct Key {
        ui::ImageButton **member;
        const char16_t *name;
        const char *image;
        QRect geometry;
        const char16_t *accessibleName;
    };
    const Key keys[] = {
        {&按键1, u"按键1", "key1", QRect(10, 241, 63, 31), u"1"},
        {&按键2, u"按键2", "key2", QRect(74, 241, 62, 31), u"2"},
        {&按键3, u"按键3", "key3", QRect(137, 241, 63, 31), u"3"},
        {&按键4, u"按键4", "key4", QRect(10, 272, 63, 29), u"4"},
        {&按键5, u"按键5", "key5", QRect(74, 272, 62, 29), u"5"},
        {&按键6, u"按键6", "key6", QRect(137, 272, 63, 29), u"6"},
        {&按键7, u"按键7", "key7", QRect(10, 301, 63, 29), u"7"},
        {&按键8, u"按键8", "key8", QRect(74, 301, 62, 29), u"8"},
        {&按键9, u"按键9", "key9", QRect(137, 301, 63, 29), u"9"},
        {&上一条记录按钮, u"上一条记录按钮", "prev", QRect(10, 330, 63, 28), u"上一条记录"},
        {&按键0, u"按键0", "key0", QRect(74, 330, 62, 28), u"0"},
        {&下一条记录按钮, u"下一条记录按钮", "next", QRect(137, 330, 63, 28), u"下一条记录"},
    };
    for (const Key &key : keys)
        *key.member = addImageButton(QString::fromUtf16(key.name), QString::fromLatin1(key.image),
                                     key.geometry, QString::fromUtf16(key.accessibleName));
    m_keypad = {按键0, 按键1, 按键2, 按键3, 按键4, 按键5, 按键6, 按键7, 按键8, 按键9};
}

QAction *MainWindow::addMenuItem(QMenu *menu, const QString &caption, int picture)
{
    QAction *item = menu->addAction(menuPictures->picture(picture), caption);
    item->setObjectName(caption);
    return item;
}

void MainWindow::buildMenus()
{
    联系人 = new QMenu(QStringLiteral("联系人"), this);
    联系人->setObjectName(QStringLiteral("联系人"));
    添加联系人 = addMenuItem(联系人, QStringLiteral("添加联系人"), 3);
    修改联系人 = addMenuItem(联系人, QStringLiteral("修改联系人"), 5);
    删除联系人 = addMenuItem(联系人, QStringLiteral("删除联系人"), 1);
    查询联系人 = 联系人->addMenu(menuPictures->picture(0), QStringLiteral("查询联系人"));
    查询联系人->setObjectName(QStringLiteral("查询联系人"));
    查询联系人->menuAction()->setObjectName(QStringLiteral("查询联系人"));
    按姓名查询 = addMenuItem(查询联系人, QStringLiteral("按姓名查询"), 0);
    按电话查询 = addMenuItem(查询联系人, QStringLiteral("按电话查询"), 0);
    按手机查询 = addMenuItem(查询联系人, QStringLiteral("按手机查询"), 0);
    按QQ号查询 = addMenuItem(查询联系人, QStringLiteral("按QQ号查询"), 0);

    设置 = new QMenu(QStringLiteral("设置"), this);
    设置->setObjectName(QStringLiteral("设置"));
    关于 = addMenuItem(设置, QStringLiteral("关于"), 8);
    帮助 = addMenuItem(设置, QStringLiteral("帮助"), 4);
    设置->addSeparator();
    密码设置 = addMenuItem(设置, QStringLiteral("密码设置"), 6);
    导出数据 = addMenuItem(设置, QStringLiteral("导出数据"), 2);
    设置->addSeparator();
    退出 = addMenuItem(设置, QStringLiteral("退出"), 7);
    // Offered only while the window sits in the notification area.
    退出->setVisible(false);
}

void MainWindow::connectEvents()
{
    connect(最小化, &QAbstractButton::clicked, this, &MainWindow::minimizeWindow);
    connect(关闭, &QAbstractButton::clicked, this, &MainWindow::closeWindow);
    connect(联系人按钮, &QAbstractButton::clicked, this, &MainWindow::popUpContactsMenu);
    connect(设置按钮, &QAbstractButton::clicked, this, &MainWindow::popUpSettingsMenu);
    connect(打开按钮, &QAbstractButton::clicked, this, &MainWindow::open);
    connect(确定按钮, &QAbstractButton::clicked, this, &MainWindow::confirm);
    connect(关闭按钮, &QAbstractButton::clicked, this, &MainWindow::backToList);
    connect(上一条记录按钮, &QAbstractButton::clicked, this, &MainWindow::previous);
    connect(下一条记录按钮, &QAbstractButton::clicked, this, &MainWindow::next);
    for (int digit = 0; digit < m_keypad.size(); ++digit)
        connect(m_keypad.at(digit), &QAbstractButton::clicked, this, [this, digit] { keypad(digit); });

    connect(添加联系人, &QAction::triggered, this, &MainWindow::startAdding);
    connect(修改联系人, &QAction::triggered, this, &MainWindow::startModifying);
    connect(删除联系人, &QAction::triggered, this, &MainWindow::deleteContact);
    connect(按姓名查询, &QAction::triggered, this, [this] { startQuery(rules::QueryKind::Name); });
    connect(按电话查询, &QAction::triggered, this, [this] { startQuery(rules::QueryKind::Phone); });
    connect(按手机查询, &QAction::triggered, this, [this] { startQuery(rules::QueryKind::Mobile); });
    connect(按QQ号查询, &QAction::triggered, this, [this] { startQuery(rules::QueryKind::QQ); });
    connect(关于, &QAction::triggered, this, &MainWindow::about);
    connect(帮助, &QAction::triggered, this, &MainWindow::help);
    connect(密码设置, &QAction::triggered, this, &MainWindow::passwordSettings);
    connect(导出数据, &QAction::triggered, this, &MainWindow::dataManagement);
    connect(退出, &QAction::triggered, this, &MainWindow::exitProgram);

    connect(超级列表框->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::超级列表框_selectionChanged);
    超级列表框->viewport()->installEventFilter(this);
    connect(memoryTrimTimer, &QTimer::timeout, this, &MainWindow::memoryTrimTimer_fired);
    connect(m_followTimer, &QTimer::timeout, this, &MainWindow::followByItself);
}

void MainWindow::buildFinding()
{
    m_finder = new ContactFinder(m_session.store, this);
    查找编辑框 = makeEditBox(this, QStringLiteral("查找编辑框"), QRect(5, 36, 200, 20));
    查找编辑框->setPlaceholderText(QStringLiteral("输入姓名、拼音或号码查找"));
    查找编辑框->setAccessibleName(QStringLiteral("查找联系人"));
    查找编辑框->hide();
    查找联系人 = addMenuItem(联系人, QStringLiteral("查找联系人…"), 0);
    查找联系人->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_F));
    // The key works in the window, not system-wide like the hot keys.
    查找联系人->setShortcutContext(Qt::WindowShortcut);
    addAction(查找联系人);
    connect(查找联系人, &QAction::triggered, this, &MainWindow::startFinding);
    connect(查找编辑框, &QLineEdit::textChanged, this, &MainWindow::applyFilter);
    connect(m_finder, &ContactFinder::ready, this, [this] {
        if (isFinding())
            applyFilter();
    });
}

// --- created -----------------------------------------------------------------

void MainWindow::created()
{
    if (!acquireSingleInstance(QStringLiteral("通讯录"))) {
        ui::messageBox(nullptr, QStringLiteral("应用程序已经运行！"), QStringLiteral("提示"),
                       ui::Style::OkInformation);
        endProgram(0);
    }
    ui::applySkin(this, m_session.dir.skinFile(1));
    ui::applyVisualStyle(this);
    ui::setListBackground(超级列表框, m_session.dir.skinFile(2), true, true);
    fitListRows();
    enableEnterMovesFocus();
    fillList();
    setFixedSize(kWidth, kHeight);
    超级列表框->setGeometry(kListGeometry);
    attachToolTips();
    registerHotKeys();
    if (!memoryTrimTimer->isActive())
        memoryTrimTimer->start();
}

void MainWindow::enableEnterMovesFocus()
{
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

void MainWindow::attachToolTips()
{
    ui::setToolTip(关闭, QStringLiteral("关闭"));
    ui::setToolTip(最小化, QStringLiteral("最小化"));
    ui::setToolTip(打开按钮, QStringLiteral("打开 / 查看所选联系人 (Shift + 回车键)"));
    ui::setToolTip(确定按钮, QStringLiteral("确  定 (Ctrl + 回车键)"));
    ui::setToolTip(关闭按钮, QStringLiteral("关闭 / 查看所有联系人 (Win + 回车键)"));
    ui::setToolTip(上一条记录按钮, QStringLiteral("上一条记录 (Alt + ←)"));
    ui::setToolTip(下一条记录按钮, QStringLiteral("下一条记录 (Alt + →)"));
    ui::setToolTip(超级列表框, QStringLiteral("双击联系人查看具体信息"));
}

// --- events --------------------------------------------------------------------

bool MainWindow::isEnterMovingFocus(QObject *watched, QEvent *event) const
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    // Ctrl, Shift and Win with Enter are the confirm, open and back hot keys.
    const Qt::KeyboardModifiers hotKeyModifiers = Qt::ControlModifier | Qt::ShiftModifier | Qt::MetaModifier;
    if (key->modifiers() & hotKeyModifiers)
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    return widget != this && isAncestorOf(widget) && widget->hasFocus();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_finderStarted && watched == 超级列表框->viewport() && event->type() == QEvent::Paint) {
        // The search index is built once the list has been painted, so the
        // first sight of the window does not wait for it.
        m_finderStarted = true;
        QTimer::singleShot(0, m_finder, &ContactFinder::prepareInBackground);
    }
    if (isFindingKey(watched, event))
        return true;
    if (isEnterMovingFocus(watched, event)) {
        focusNextChild();
        return true;
    }
    if (watched == 超级列表框->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        超级列表框_leftButtonReleased();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::超级列表框_selectionChanged()
{
    const QModelIndexList rows = 超级列表框->selectionModel()->selectedRows(ContactListModel::NameColumn);
    if (rows.isEmpty())
        return;
    const int row = rows.first().row();
    姓名编辑框->setText(m_listModel->name(row));
    m_session.form.selectedRecord = m_listModel->recordNumber(row);
}

void MainWindow::超级列表框_leftButtonReleased()
{
    open();
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        syncWithFile();
    QWidget::changeEvent(event);
}

void MainWindow::followOtherPrograms()
{
    syncWithFile();
}

void MainWindow::followByItself()
{
    // Not while a dialog, menu or long step of ours is open: the operation
    // that opened it goes on with the records it read.
    if (m_followingPaused > 0 || QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
        anyOtherWindowShown())
        return;
    syncWithFile();
}

void MainWindow::syncWithFile()
{
    ContactStore &store = m_session.store;
    if (!store.isOpen())
        return;
    const Positions before = positions();
    bool reloaded = false;
    store.refresh(&reloaded);
    // A write also reads in what others committed before it goes on.
    if (!reloaded && store.reloadCount() == m_reloadsFollowed)
        return;
    followReload(before);
}

MainWindow::Positions MainWindow::positions() const
{
    const ContactStore &store = m_session.store;
    auto at = [&store](int number) {
        return Position{store.rowIdAt(number), number, number > store.recordCount()};
    };
    return {at(store.recordNumber()), at(m_session.form.selectedRecord),
            超级列表框->selectionModel()->hasSelection()};
}

int MainWindow::numberAfterReload(const Position &before) const
{
    const ContactStore &store = m_session.store;
    if (const int now = store.numberOf(before.rowId); now > 0)
        return now;
    if (before.afterLast)
        return store.recordCount() + 1;
    // Gone: the record that took its place, as after a delete of our own.
    return before.rowId == 0 ? before.number : std::min(before.number, std::max(store.recordCount(), 1));
}

void MainWindow::followReload(const Positions &before)
{
    ContactStore &store = m_session.store;
    FormState &form = m_session.form;
    m_reloadsFollowed = store.reloadCount();
    form.selectedRecord = numberAfterReload(before.selected);
    const int cursor = numberAfterReload(before.cursor);
    const bool browsing = !form.adding && !form.modifying && form.queryKind == rules::QueryKind::None;
    if (!browsing) {
        // What is typed stays in the boxes; the list shows the records as stored.
        m_listModel->fill();
        store.goTo(cursor);
        return;
    }
    if (isListView()) {
        const int selected = form.selectedRecord;
        refillList();
        if (before.rowSelected && store.numberOf(before.selected.rowId) > 0 &&
            m_listModel->rowOf(selected) >= 0)
            超级列表框->selectRow(m_listModel->rowOf(selected));
        return;
    }
    m_listModel->fill();
    store.goTo(cursor);
    showCurrentRecord();
}

void MainWindow::showStoredInstead(qint64 rowId)
{
    ui::showMessage(this, rules::changedElsewhere());
    syncWithFile();
    ContactStore &store = m_session.store;
    const int number = store.numberOf(rowId);
    if (number == 0 || isListView()) {
        refillList();
        showList();
        return;
    }
    m_session.form.selectedRecord = number;
    store.goTo(number);
    showCurrentRecord();
}

void MainWindow::memoryTrimTimer_fired()
{
    ui::trimMemory();
}

// --- frame commands ----------------------------------------------------------------

void MainWindow::about()
{
    AboutWindow::load(m_session, this);
}

void MainWindow::help()
{
    ui::openDocument(m_session.dir.helpFile());
}

void MainWindow::passwordSettings()
{
    PasswordWindow::run(m_session, this);
}

void MainWindow::dataManagement()
{
    // After a clearing the list still shows the records that were deleted.
    if (DataWindow::run(m_session, this) == DataWindow::StoreCleared) {
        contactsChanged();
        refillList();
    }
}

void MainWindow::popUpContactsMenu()
{
    联系人->popup(QCursor::pos());
}

void MainWindow::popUpSettingsMenu()
{
    设置->popup(QCursor::pos());
}

void MainWindow::closeWindow()
{
    m_session.store.close();
    destroyWindow(this);
}

// --- record form -------------------------------------------------------------------

QList<QLineEdit *> MainWindow::editBoxes() const
{
    return {姓名编辑框, 电话编辑框, 手机编辑框, QQ编辑框, Email编辑框, 地址编辑框};
}

void MainWindow::setRecordCounter(int recordNumber)
{
    总记录数标签->setText(QStringLiteral("第%1条记录").arg(recordNumber));
}

void MainWindow::setTotalCounter(int recordCount)
{
    总记录数标签->setText(QStringLiteral("共%1条记录").arg(recordCount));
}

void MainWindow::setContactItemsEnabled(bool add, bool modify, bool remove, bool query)
{
    添加联系人->setEnabled(add);
    修改联系人->setEnabled(modify);
    删除联系人->setEnabled(remove);
    查询联系人->menuAction()->setEnabled(query);
}

void MainWindow::showCurrentRecord()
{
    ContactStore &store = m_session.store;
    const QList<QLineEdit *> boxes = editBoxes();
    m_shown = store.current();
    const QStringList values = m_shown.values();
    for (int i = 0; i < boxes.size(); ++i)
        boxes.at(i)->setText(values.at(i));
    setRecordCounter(store.recordNumber());
    for (QLineEdit *box : boxes) {
        box->setReadOnly(true);
        box->setEnabled(true);
    }
    m_session.form.adding = false;
    m_session.form.modifying = false;
    setContactItemsEnabled(true, true, true, true);
    m_session.form.queryKind = rules::QueryKind::None;
}

bool MainWindow::askToSaveRecord()
{
    const int answer =
        ui::messageBox(this, QStringLiteral("您还没保存当前记录呢！\r\n是否要保存当前记录吗？"), kTipTitle,
                       ui::Style::YesNoQuestion);
    if (answer != ui::AnswerYes)
        return false;
    confirm();
    return true;
}

void MainWindow::previous()
{
    syncWithFile();
    FormState &form = m_session.form;
    ContactStore &store = m_session.store;
    if (form.adding || form.modifying)
        askToSaveRecord();
    store.skip(-1);
    if (store.isBeforeFirst()) {
        ui::messageBox(this, QStringLiteral("这已经是第一条记录了！"), kTipTitle, ui::Style::Ok);
        store.goFirst();
    } else {
        showCurrentRecord();
    }
    form.selectedRecord = store.recordNumber();
    setRecordCounter(form.selectedRecord);
}

void MainWindow::next()
{
    syncWithFile();
    FormState &form = m_session.form;
    ContactStore &store = m_session.store;
    if (form.adding || form.modifying)
        askToSaveRecord();
    store.skip(1);
    if (store.isAfterLast()) {
        ui::messageBox(this, QStringLiteral("这已经是最后一条记录了！"), kTipTitle, ui::Style::Ok);
        store.goLast();
    } else {
        showCurrentRecord();
    }
    form.selectedRecord = store.recordNumber();
    setRecordCounter(form.selectedRecord);
}

void MainWindow::confirm()
{
    syncWithFile();
    // Each test is made afresh: a branch that ends by showing a record resets
    // the state, so the later branches do not run.
    if (m_session.form.adding)
        confirmAdding();
    if (m_session.form.modifying)
        confirmModifying();
    if (m_session.form.queryKind != rules::QueryKind::None)
        confirmQuery(m_session.form.queryKind);
}

void MainWindow::open()
{
    syncWithFile();
    const FormState &form = m_session.form;
    if (form.adding || form.modifying || form.queryKind != rules::QueryKind::None) {
        confirm();
        return;
    }
    m_session.store.goTo(form.selectedRecord);
    showCurrentRecord();
    setRecordCounter(m_session.store.recordNumber());
    hideList();
}

void MainWindow::backToList()
{
    syncWithFile();
    const FormState &form = m_session.form;
    if ((form.adding || form.modifying) && askToSaveRecord())
        return;
    refillList();
    showList();
}

void MainWindow::keypad(int digit)
{
    ui::simulateKeyPress(Qt::Key_0 + digit, QString::number(digit));
}

// --- contact list ----------------------------------------------------------------------

bool MainWindow::isListView() const
{
    return !超级列表框->isHidden();
}

void MainWindow::showList()
{
    超级列表框->show();
}

void MainWindow::hideList()
{
    if (isFinding()) {
        const QSignalBlocker quiet(查找编辑框);
        查找编辑框->clear();
        查找编辑框->hide();
    }
    超级列表框->hide();
}

void MainWindow::clearList()
{
    m_listModel->clear();
}

void MainWindow::fillList()
{
    ContactStore &store = m_session.store;
    store.goFirst();
    showCurrentRecord();
    const int count = store.recordCount();
    setTotalCounter(count);
    m_listModel->fill();
    if (count > 0) {
        const int width = count <= kFewRows ? kMobileColumnWidthFew : kMobileColumnWidthMany;
        超级列表框->horizontalHeader()->resizeSection(ContactListModel::MobileColumn, width);
        // The rows were read one after the other; the cursor ends after the last.
        store.goLast();
        store.skip(1);
    }
    // A refill while finding shows the hits among the records as they now are.
    if (isFinding())
        applyFilter();
}

// --- finding -----------------------------------------------------------------------

void MainWindow::contactsChanged()
{
    m_finder->invalidate();
}

bool MainWindow::isFinding() const
{
    return !查找编辑框->isHidden();
}

void MainWindow::startFinding()
{
    if (!isListView()) {
        backToList();
        // An unsaved record answered Yes stays in the form.
        if (!isListView())
            return;
    }
    查找编辑框->show();
    查找编辑框->raise();
    查找编辑框->setFocus();
    查找编辑框->selectAll();
    applyFilter();
}

void MainWindow::stopFinding()
{
    {
        const QSignalBlocker quiet(查找编辑框);
        查找编辑框->clear();
    }
    查找编辑框->hide();
    m_listModel->showAll();
    超级列表框->setFocus();
}

void MainWindow::applyFilter()
{
    const QString typed = 查找编辑框->text();
    if (typed.trimmed().isEmpty()) {
        m_listModel->showAll();
        return;
    }
    if (!m_finder->isReady()) {
        // Built in the background, or the readings still being looked up:
        // ready() filters again.
        if (!m_finder->isComing())
            m_finder->prepare();
        if (!m_finder->isReady())
            return;
    }
    m_listModel->showOnly(m_finder->find(typed));
}

void MainWindow::openFirstHit()
{
    if (m_listModel->rowCount() == 0)
        return;
    if (!超级列表框->selectionModel()->hasSelection())
        超级列表框->selectRow(0);
    open();
}

// Esc, Enter and ↓ in the filter line; Esc and Enter on the list while it
// shows hits.
bool MainWindow::isFindingKey(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !isFinding())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::MetaModifier | Qt::AltModifier))
        return false;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == 查找编辑框) {
        if (key->key() == Qt::Key_Escape) {
            stopFinding();
        } else if (enter) {
            openFirstHit();
        } else if (key->key() == Qt::Key_Down && m_listModel->rowCount() > 0) {
            超级列表框->setFocus();
            if (!超级列表框->selectionModel()->hasSelection())
                超级列表框->selectRow(0);
        } else {
            return false;
        }
        return true;
    }
    if (watched == 超级列表框) {
        if (key->key() == Qt::Key_Escape)
            stopFinding();
        else if (enter)
            open();
        else
            return false;
        return true;
    }
    return false;
}

void MainWindow::refillList()
{
    clearList();
    fillList();
}

} // namespace quennet
