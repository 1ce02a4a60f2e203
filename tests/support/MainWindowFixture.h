#pragma once

// The one main-window fixture: a program directory whose store holds the
// given contacts, the store opened as the login leaves it, and the main
// window loaded on it (created, shown and active).
//
//   test::MainWindowFixture f({test::Person("张三")});
//   QVERIFY(f.ready());
//   f->下一条记录按钮->click();

#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "support/ProgramDirectory.h"
#include "ui/Controls.h"

#include <QAction>
#include <QLineEdit>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTest>

#include <algorithm>

namespace quennet::test {

class MainWindowFixture {
public:
    explicit MainWindowFixture(const QList<QStringList> &contacts, bool withSkins = true)
        : home(withSkins), session(home.path())
    {
        m_ready = home.createStore(QString(), contacts) && session.store.open(home.storeFile());
        window = MainWindow::load(session);
        m_ready = m_ready && QTest::qWaitForWindowActive(window.data());
    }
    ~MainWindowFixture() { delete window.data(); }
    MainWindowFixture(const MainWindowFixture &) = delete;
    MainWindowFixture &operator=(const MainWindowFixture &) = delete;

    bool ready() const { return m_ready; }
    MainWindow *operator->() const { return window.data(); }
    MainWindow &w() const { return *window; }
    FormState &form() { return session.form; }
    ContactStore &store() { return session.store; }

    // What the six edit boxes of the form show.
    QStringList shown() const
    {
        QStringList values;
        for (QLineEdit *box : window->editBoxes())
            values << box->text();
        return values;
    }

    QString counter() const { return window->总记录数标签->text(); }

    // 添加, 修改, 删除, 查询 as "1010".
    QString enabledItems() const
    {
        QString items;
        for (const QAction *item :
             {window->添加联系人, window->修改联系人, window->删除联系人, window->查询联系人->menuAction()})
            items += item->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return items;
    }

    // Every box shows a stored record: enabled and read-only.
    bool boxesReadOnly() const
    {
        const QList<QLineEdit *> boxes = window->editBoxes();
        return std::all_of(boxes.cbegin(), boxes.cend(),
                           [](QLineEdit *box) { return box->isReadOnly() && box->isEnabled(); });
    }

    // No adding, modifying or query under way; the form shows a record.
    bool browsing() const
    {
        const FormState &f = session.form;
        return !f.adding && !f.modifying && f.queryKind == rules::QueryKind::None && boxesReadOnly() &&
               enabledItems() == QStringLiteral("1111");
    }

    ProgramDirectory home;
    Session session;
    QPointer<MainWindow> window;

private:
    bool m_ready = false;
};

} // namespace quennet::test
