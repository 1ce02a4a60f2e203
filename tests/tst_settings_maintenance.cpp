// The password window and the data management window's backup and clearing,
// driven through their controls with scripted message boxes and file
// dialogs: every message branch, what the boxes and the focus do after it,
// which outcomes close the window, and failing writes that lose nothing.

#include "app/ContactListModel.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "contacts/store/ContactStoreTesting.h"
#include "settings/DataWindow.h"
#include "settings/PasswordWindow.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "support/ProgramDirectory.h"
#include "support/Sessions.h"
#include "support/StoreFiles.h"
#include "ui/Controls.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/WaitCursor.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

using namespace quennet;
using quennet::test::readAll;

namespace {

const QString kNoOldPassword = QStringLiteral("原始密码为空！请直接输入新密码！");
const QString kClearFirst = QStringLiteral("此选项将删除您通讯录中所有的联系人哦！是否要继续？");
const QString kClearSecond = QStringLiteral("不好意思！您真的确定要清空所有联系人吗？");

// Which password opens the file now ("" for none); null when neither does.
QString passwordThatOpens(const QString &path, const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        ContactStore probe;
        if (ContactStore::hasPassword(path).ok == !candidate.isEmpty() && probe.open(path, candidate))
            return candidate;
    }
    return QString();
}

} // namespace

class SettingsMaintenanceTest : public QObject {
    Q_OBJECT

    test::Sessions m_sessions;
    std::unique_ptr<Session> m_session;

    // A program directory whose store holds count contacts, opened with its
    // password as the login leaves it.
    bool openSession(const QString &password, int count = 3)
    {
        m_session = m_sessions.loggedIn(password, test::numberedContacts(count));
        return m_session != nullptr;
    }

private slots:
    void initTestCase() { test::initWindowTests(); }
    void init() { ui::clearTestScripts(); }

    void passwordBranches_data()
    {
        QTest::addColumn<QString>("storePassword");
        QTest::addColumn<QString>("setElsewhere"); // set by another program after the window opened
        QTest::addColumn<QString>("old");
        QTest::addColumn<QString>("typedNew");
        QTest::addColumn<QString>("repeated");
        QTest::addColumn<bool>("failCommit");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QStringList>("boxesAfter"); // the three password boxes while still open
        QTest::addColumn<int>("focusAfter");         // 1..3; 0: left where it was
        QTest::addColumn<QString>("loginAfter");
        const QString wrong = QStringLiteral("原始密码错误！");
        const QString mismatch = QStringLiteral("新密码与重复密码不匹配！");
        const QString ok = QStringLiteral("密码修改成功！");
        const QString failed = QStringLiteral("密码修改失败！");
        const QString none;
        const auto row = [](const char *name, const char *storePassword, const QString &setElsewhere,
                            const char *old, const char *typedNew, const char *repeated, bool failCommit,
                            const QString &message, int style, bool closes, const QStringList &boxesAfter,
                            int focusAfter, const char *loginAfter) {
            QTest::newRow(name) << storePassword << setElsewhere << old << typedNew << repeated << failCommit
                                << message << style << closes << boxesAfter << focusAfter << loginAfter;
        };
        row("wrong old hides the mismatch", "pw", none, "Pw", "a", "b", false, wrong, 0x10, false,
            {"", "a", "b"}, 1, "pw");
        row("mismatch clears both new boxes", "pw", none, "pw", "a", "A", false, mismatch, 0x10, false,
            {"pw", "", ""}, 2, "pw");
        row("change", "pw", none, "pw", "新密码", "新密码", false, ok, 0x40, true, {}, 0, "新密码");
        row("removal", "pw", none, "pw", "", "", false, ok, 0x40, true, {}, 0, "");
        row("failed change, had a password", "pw", none, "pw", "x", "x", true, failed, 0x10, true, {}, 0,
            "pw");
        row("none: mismatch changes no box", "", none, "", "a", "b", false, mismatch, 0x10, false,
            {kNoOldPassword, "a", "b"}, 0, "");
        row("none: set", "", none, "", "abc", "abc", false, ok, 0x40, true, {}, 0, "abc");
        row("none: empty again", "", none, "", "", "", false, ok, 0x40, true, {}, 0, "");
        row("none: failed change", "", none, "", "x", "x", true, failed, 0x30, true, {}, 0, "");
        // The file is asked again at the press: the note is no old password.
        row("password set elsewhere meanwhile", "", QStringLiteral("zz"), "", "a", "a", false, wrong, 0x10,
            false, {"", "a", "a"}, 1, "");
    }

    void passwordBranches()
    {
        QFETCH(QString, storePassword);
        QFETCH(QString, setElsewhere);
        QFETCH(QString, old);
        QFETCH(QString, typedNew);
        QFETCH(QString, repeated);
        QFETCH(bool, failCommit);
        QFETCH(QString, message);
        QFETCH(int, style);
        QFETCH(bool, closes);
        QFETCH(QStringList, boxesAfter);
        QFETCH(int, focusAfter);
        QFETCH(QString, loginAfter);
        QVERIFY(openSession(storePassword));
        const QString path = m_session->dir.storeFile();
        const QByteArray before = readAll(path);

        PasswordWindow window(*m_session);
        window.created();
        QCOMPARE(window.windowTitle(), QStringLiteral("设置密码"));
        if (!setElsewhere.isNull()) {
            ContactStore other;
            QVERIFY(other.open(path, storePassword) && other.setPassword(setElsewhere));
        }
        if (!window.oldPasswordEdit->isReadOnly())
            window.oldPasswordEdit->setText(old);
        window.newPasswordEdit->setText(typedNew);
        window.repeatedPasswordEdit->setText(repeated);
        if (failCommit)
            ContactStoreTestAccess::failNextCommit(m_session->store);
        const int waitCursors = ui::WaitCursor::shownCount();
        QWidget *focusBefore = nullptr;
        QStringList boxes;
        QWidget *focus = nullptr;
        const int result = test::runWindow(
            &window,
            [&] {
                focusBefore = window.focusWidget();
                window.确定按钮->click();
            },
            [&] {
                boxes = QStringList{window.oldPasswordEdit->text(), window.newPasswordEdit->text(),
                                    window.repeatedPasswordEdit->text()};
                focus = window.focusWidget();
            });

        QCOMPARE(test::shownTexts(), QStringList{message});
        QCOMPARE(ui::MessageBoxScript::last().title, QStringLiteral("温馨提示"));
        QCOMPARE(ui::MessageBoxScript::last().style, style);
        QCOMPARE(result != -1, closes);
        QCOMPARE(result == int(QDialog::Accepted), message == QStringLiteral("密码修改成功！"));
        QVERIFY(m_session->loginCredential.matches(loginAfter));
        QCOMPARE(m_session->loginCredential.holdsKey(), !loginAfter.isEmpty());
        // The wait cursor is up exactly while the store is re-sealed.
        QCOMPARE(ui::WaitCursor::shownCount() - waitCursors,
                 int(message.startsWith(QStringLiteral("密码修改"))));
        QVERIFY(!QApplication::overrideCursor());
        if (!closes) {
            QCOMPARE(boxes, boxesAfter);
            QLineEdit *edits[] = {window.oldPasswordEdit, window.newPasswordEdit,
                                  window.repeatedPasswordEdit};
            QCOMPARE(focus, focusAfter ? edits[focusAfter - 1] : focusBefore);
            if (focusAfter == 1)
                QVERIFY(!window.oldPasswordEdit->isReadOnly() &&
                        window.oldPasswordEdit->echoMode() == QLineEdit::Password);
        }
        const QString expectedPassword = setElsewhere.isNull() ? loginAfter : setElsewhere;
        QCOMPARE(passwordThatOpens(path, {storePassword, typedNew, setElsewhere, QString()}),
                 expectedPassword);
        if (failCommit)
            QCOMPARE(readAll(path), before);
        // The open store keeps working under the password it has now.
        if (setElsewhere.isNull())
            QVERIFY(m_session->store.append(test::Person(QStringLiteral("之后"))));
    }

    void backupBranches_data()
    {
        QTest::addColumn<QString>("chosen"); // null: the dialog is cancelled
        QTest::addColumn<bool>("failHalfWay");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("written"); // the file that must hold the copy
        const QString none;
        const QString ok = QStringLiteral("备份成功！");
        const QString failed = QStringLiteral("备份失败！");
        QTest::newRow("cancelled") << none << false << none << none;
        QTest::newRow("offered name") << "wab.bak" << false << ok << "wab.bak";
        QTest::newRow("name without extension") << "mine" << false << ok << "mine.bak";
        QTest::newRow("the store itself") << "wab.vdb" << false << failed << none;
        QTest::newRow("missing directory") << "nowhere/x.bak" << false << failed << none;
        QTest::newRow("fails half way over a backup") << "wab.bak" << true << failed << none;
    }

    void backupBranches()
    {
        QFETCH(QString, chosen);
        QFETCH(bool, failHalfWay);
        QFETCH(QString, message);
        QFETCH(QString, written);
        QVERIFY(openSession(QStringLiteral("备份密码")));
        const QString backup = m_session->dir.backupFile();
        // An earlier backup of an older state, which a failure must not harm.
        QVERIFY(m_session->store.copyTo(backup));
        const QByteArray oldBackup = readAll(backup);
        QVERIFY(m_session->store.append(test::Person(QStringLiteral("新来的"))));
        const QByteArray storeBytes = readAll(m_session->dir.storeFile());

        DataWindow window(*m_session);
        window.created();
        QCOMPARE(window.windowTitle(), QStringLiteral("设置密码"));
        window.backupOption->setChecked(true);
        if (!chosen.isNull())
            ui::FileDialog::setNextFileName(chosen);
        if (failHalfWay)
            ContactStoreTestAccess::failCopyAfter(m_session->store, storeBytes.size() / 2);
        const int result = test::runWindow(&window, [&] { window.确定按钮->click(); });

        // The dialog is set up as offered, in the program directory.
        QCOMPARE(ui::FileDialog::shownCount(), 1);
        QVERIFY(ui::FileDialog::lastShownWasSave());
        const ui::FileDialog *dialog = ui::FileDialog::lastShown();
        QCOMPARE(dialog->filter, QStringLiteral("备份文件(*.bak)|*.bak"));
        QCOMPARE(dialog->defaultExtension, QStringLiteral("*.bak"));
        QCOMPARE(dialog->initialDirectory, m_session->dir.path());
        QCOMPARE(dialog->fileName, backup);

        QCOMPARE(test::shownTexts(), message.isNull() ? QStringList() : QStringList{message});
        if (!message.isNull()) {
            QCOMPARE(ui::MessageBoxScript::last().title, QStringLiteral("温馨提示！"));
            QCOMPARE(ui::MessageBoxScript::last().style, written.isNull() ? 0x10 : 0x40);
        }
        QCOMPARE(result, written.isNull() ? -1 : int(DataWindow::OptionDone));
        QCOMPARE(readAll(m_session->dir.storeFile()), storeBytes);
        if (!written.isNull()) {
            QCOMPARE(readAll(m_session->dir.file(written)), storeBytes);
            ContactStore restored;
            QVERIFY(restored.open(m_session->dir.file(written), QStringLiteral("备份密码")));
            QCOMPARE(restored.recordCount(), 4);
        } else {
            QCOMPARE(readAll(backup), oldBackup);
        }
        QCOMPARE(QDir(m_session->dir.path()).entryList(QDir::Files).size(),
                 written.isNull() || written == "wab.bak" ? 2 : 3);
        QVERIFY(m_session->store.isOpen());
    }

    void clearingBranches_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<QList<int>>("answers"); // the rest take the default button
        QTest::addColumn<bool>("failCommit");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("cleared");
        const QString ok = QStringLiteral("清空所有记录成功！");
        const QString failed = QStringLiteral("清空所有记录失败！");
        const QList<int> yesOk{ui::AnswerYes, ui::AnswerOk};
        QTest::newRow("Enter at the first question")
            << 3 << QList<int>{} << false << QStringList{kClearFirst} << false;
        QTest::newRow("No") << 3 << QList<int>{ui::AnswerNo} << false << QStringList{kClearFirst} << false;
        QTest::newRow("Yes, then Enter")
            << 3 << QList<int>{ui::AnswerYes} << false << QStringList{kClearFirst, kClearSecond} << false;
        QTest::newRow("Yes, then Cancel") << 3 << QList<int>{ui::AnswerYes, ui::AnswerCancel} << false
                                          << QStringList{kClearFirst, kClearSecond} << false;
        QTest::newRow("Yes, OK") << 3 << yesOk << false << QStringList{kClearFirst, kClearSecond, ok} << true;
        QTest::newRow("empty store asks both")
            << 0 << yesOk << false << QStringList{kClearFirst, kClearSecond, ok} << true;
        QTest::newRow("failing write")
            << 3 << yesOk << true << QStringList{kClearFirst, kClearSecond, failed} << false;
    }

    void clearingBranches()
    {
        QFETCH(int, records);
        QFETCH(QList<int>, answers);
        QFETCH(bool, failCommit);
        QFETCH(QStringList, messages);
        QFETCH(bool, cleared);
        QVERIFY(openSession(QString(), records));
        const QByteArray before = readAll(m_session->dir.storeFile());
        DataWindow window(*m_session);
        window.created();
        window.clearOption->setChecked(true);
        for (int answer : answers)
            ui::MessageBoxScript::setNextAnswer(answer);
        if (failCommit)
            ContactStoreTestAccess::failNextCommit(m_session->store);
        const int result = test::runWindow(&window, [&] { window.确定按钮->click(); });

        QCOMPARE(test::shownTexts(), messages);
        const QList<int> styles{0x124, 0x131, 0x40};
        for (int i = 0; i < messages.size(); ++i) {
            QCOMPARE(ui::MessageBoxScript::shown().at(i).style, styles.at(i));
            QCOMPARE(ui::MessageBoxScript::shown().at(i).title, QStringLiteral("温馨提示"));
        }
        QCOMPARE(result, cleared ? int(DataWindow::StoreCleared) : -1);
        QCOMPARE(m_session->store.recordCount(), cleared ? 0 : records);
        if (!cleared)
            QCOMPARE(readAll(m_session->dir.storeFile()), before);
        ContactStore reopened;
        QVERIFY(reopened.open(m_session->dir.storeFile()));
        QCOMPARE(reopened.recordCount(), cleared ? 0 : records);
    }

    void onlyTheFirstSelectedOptionRuns()
    {
        QVERIFY(openSession(QString()));
        DataWindow window(*m_session);
        window.created();
        QVERIFY(window.excelOption->isChecked());
        // One group: selecting the backup unselects the rest.
        window.backupOption->setChecked(true);
        const QList<QRadioButton *> options{window.excelOption, window.webPageOption, window.pageOrTextOption,
                                            window.backupOption, window.clearOption};
        for (QRadioButton *option : options)
            QCOMPARE(option->isChecked(), option == window.backupOption);
        window.确定按钮->click();
        QCOMPARE(ui::FileDialog::shownCount(), 1);
        QCOMPARE(ui::MessageBoxScript::shown().size(), 0);
    }

    // 设置 › 导出数据 › clearing: the main window empties its list itself.
    void mainWindowRefillsAfterClearing()
    {
        QVERIFY(openSession(QString(), 4));
        MainWindow main(*m_session);
        main.created();
        QCOMPARE(main.总记录数标签->text(), QStringLiteral("共4条记录"));
        ui::ModalScript::setNextHandler([](QDialog *shown) {
            auto *window = qobject_cast<DataWindow *>(shown);
            QVERIFY(window);
            window->clearOption->setChecked(true);
            ui::MessageBoxScript::setNextAnswer(ui::AnswerYes);
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
            window->确定按钮->click();
        });
        main.导出数据->trigger();
        QCOMPARE(ui::ModalScript::shownNames(), QStringList{QStringLiteral("数据管理窗口")});
        QCOMPARE(main.总记录数标签->text(), QStringLiteral("共0条记录"));
        QCOMPARE(main.listModel()->rowCount(), 0);
        for (QLineEdit *box : main.editBoxes())
            QCOMPARE(box->text(), QString());
    }
};

QTEST_MAIN(SettingsMaintenanceTest)
#include "tst_settings_maintenance.moc"
