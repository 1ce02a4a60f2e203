// Times the maintenance functions on a store of 100,000 contacts as the user
// runs them from their windows: a password change in the password window
// (re-sealing every record), a backup from the data management window, and
// a clearing with the main window's refill.
//   bench_maintenance [DIR]   DIR: where the program directory goes (default:
//                             a temporary directory)
// Message boxes and the save dialog are scripted (answered at once), on the
// offscreen platform. Password figures need a build without tests (the test
// build derives keys at the smallest cost).

#include "BenchSupport.h"
#include "app/ContactListModel.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "settings/DataWindow.h"
#include "settings/PasswordWindow.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/WaitCursor.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quennet;
using bench::measure;
using bench::Stats;

namespace {

constexpr int kRecords = 100000;

bool lastMessageIs(const QString &text)
{
    return ui::MessageBoxScript::last().text == text;
}

void report(const char *what, const Stats &stats, double goalMs, bool ok)
{
    const char *verdict = !ok ? "FAILED" : goalMs <= 0 ? "" : stats.median <= goalMs ? "ok" : "over goal";
    printf("%-46s %9.1f %9.1f %9.1f %8.0f  %s\n", what, stats.median, stats.p90, stats.max, goalMs, verdict);
}

// Presses 确定按钮 of the password window with the given texts typed.
bool changePasswordInWindow(Session &session, const QString &from, const QString &to)
{
    PasswordWindow window(session);
    window.created();
    window.oldPasswordEdit->setText(from);
    window.newPasswordEdit->setText(to);
    window.repeatedPasswordEdit->setText(to);
    window.确定按钮->click();
    return lastMessageIs(QStringLiteral("密码修改成功！")) && session.loginCredential.matches(to);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir runtime;
    bench::prepareWindowPlatform(runtime);
    QApplication app(argc, argv);
    ui::setTestMode(true);

    QTemporaryDir temp(bench::programDirTemplate(argc, argv, QStringLiteral("bench-maintenance")));
    if (!bench::isProgramDirReady(temp))
        return 1;
    Session session(temp.path());
    const QString path = session.dir.storeFile();
    const QString pristine = session.dir.file(QStringLiteral("pristine.vdb"));
    if (!bench::createStore(pristine, kRecords, QStringLiteral("old")) || !QFile::copy(pristine, path) ||
        !session.store.open(path, QStringLiteral("old"))) {
        fprintf(stderr, "could not build the store\n");
        return 1;
    }
    session.loginCredential = session.store.credential();
    printf("store: %d contacts, %.1f MB, in %s\n", session.store.recordCount(),
           double(QFileInfo(path).size()) / 1e6, qPrintable(path));
    printf("%-46s %9s %9s %9s %8s\n", "operation (ms)", "median", "p90", "max", "goal");

    bool ok = true;
    const int cursorsBefore = ui::WaitCursor::shownCount();
    const QStringList passwords{QStringLiteral("old"), QStringLiteral("新密码"), QStringLiteral("old")};
    const Stats change = measure(
        4, [&](int) {},
        [&](int i) { ok = changePasswordInWindow(session, passwords[i % 2], passwords[i % 2 + 1]) && ok; });
    report("password change in the window (re-seal)", change, 1500,
           ok && ui::WaitCursor::shownCount() - cursorsBefore == 4);

    const Stats backup = measure(
        10, [&](int) { ui::FileDialog::setNextFileName(session.dir.backupFile()); },
        [&](int) {
            DataWindow window(session);
            window.created();
            window.backupOption->setChecked(true);
            window.确定按钮->click();
        });
    ok = lastMessageIs(QStringLiteral("备份成功！")) &&
         QFileInfo(session.dir.backupFile()).size() == QFileInfo(path).size();
    report("backup from the window (copy, fsync, rename)", backup, 150, ok);

    MainWindow main(session);
    main.created();
    main.show();
    const Stats clearing = measure(
        5,
        [&](int) {
            // A full store again, shown in the list.
            session.store.close();
            QFile::remove(path);
            ok = QFile::copy(pristine, path) && session.store.open(path, QStringLiteral("old")) && ok;
            session.loginCredential = session.store.credential();
            main.refillList();
            ui::ModalScript::setNextHandler([](QDialog *shown) {
                auto *window = static_cast<DataWindow *>(shown);
                window->clearOption->setChecked(true);
                ui::MessageBoxScript::setNextAnswer(ui::AnswerYes);
                ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
                window->确定按钮->click();
            });
        },
        [&](int) { main.导出数据->trigger(); });
    ok = ok && lastMessageIs(QStringLiteral("清空所有记录成功！")) && session.store.recordCount() == 0 &&
         main.listModel()->rowCount() == 0;
    report("clearing with the list refill", clearing, 300, ok);
    return 0;
}
