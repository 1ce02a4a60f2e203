// Times the contact operations of the main window on a store of 100,000
// contacts and prints a table: a confirmed add, a query, a delete in record
// view and a delete in list view with its refill.
//   bench_contacts [DIR]   DIR: where the program directory goes (default: a
//                          temporary directory)
// Message boxes are scripted (answered at once); each sample includes the
// events the operation leaves pending (the repaint), on the offscreen platform.

#include "BenchSupport.h"
#include "app/MainWindow.h"
#include "contacts/ContactRules.h"
#include "contacts/Session.h"
#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
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
constexpr int kSamples = 25;

void type(MainWindow &window, const QStringList &values)
{
    const QList<QLineEdit *> boxes = window.editBoxes();
    for (int i = 0; i < boxes.size(); ++i)
        boxes.at(i)->setText(values.value(i));
}

rules::ContactInput inputOf(const QStringList &v)
{
    return Contact::fromValues(v);
}

bool lastMessageIs(const QString &text)
{
    return ui::MessageBoxScript::last().text == text;
}

// goalMs 0: one part of the operation above, without a goal of its own.
void report(const char *what, const Stats &stats, double goalMs, bool ok)
{
    const char *verdict = !ok ? "FAILED" : goalMs <= 0 ? "" : stats.median <= goalMs ? "ok" : "over goal";
    printf("%-44s %9.3f %9.3f %9.3f %8.0f  %s\n", what, stats.median, stats.p90, stats.max, goalMs, verdict);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir runtime;
    bench::prepareWindowPlatform(runtime);
    QApplication app(argc, argv);
    ui::setTestMode(true);

    QTemporaryDir temp(bench::programDirTemplate(argc, argv, QStringLiteral("bench-contacts")));
    if (!bench::isProgramDirReady(temp))
        return 1;
    Session session(temp.path());
    const QString path = session.dir.file(QStringLiteral("wab.vdb"));
    if (!bench::createStore(path, kRecords) || !session.store.open(path)) {
        fprintf(stderr, "could not build the store\n");
        return 1;
    }
    MainWindow window(session);
    window.created();
    window.show();
    QCoreApplication::processEvents();
    printf("store: %d contacts in %s\n", session.store.recordCount(), qPrintable(path));
    printf("%-44s %9s %9s %9s %8s\n", "operation (ms)", "median", "p90", "max", "goal");

    bool ok = true;
    const Stats add = measure(
        kSamples,
        [&](int i) {
            window.startAdding();
            // Nothing repeats, so the duplicate search runs through the
            // whole store.
            type(window, bench::contactOf(kRecords + 1 + i));
        },
        [&](int) { window.confirm(); });
    ok = lastMessageIs(QStringLiteral("添加联系人成功！"));
    report("confirmed add (duplicate search + append)", add, 5, ok);

    // The two halves of an add, measured on their own.
    const Stats search = measure(
        kSamples, [&](int) {},
        [&](int i) { rules::checkAdding(session.store, inputOf(bench::contactOf(2 * kRecords + i))); });
    report("  of which: duplicate search (one pass)", search, 0, true);
    // The same search as four finds one after the other, each through the
    // whole store: how the search ran before it became one pass.
    const Stats fourFinds = measure(
        kSamples, [&](int) {},
        [&](int i) {
            const rules::ContactInput input = inputOf(bench::contactOf(2 * kRecords + i));
            session.store.goFirst();
            ContactStore &store = session.store;
            ok = !(rules::findFromCursor(store, FieldName, input.name) ||
                   rules::findFromCursor(store, FieldPhone, input.phone) ||
                   rules::findFromCursor(store, FieldMobile, input.mobile) ||
                   rules::findFromCursor(store, FieldQQ, input.qq));
        });
    report("  the same search as four finds", fourFinds, 0, ok);
    const Stats append = measure(
        kSamples, [&](int) {},
        [&](int i) {
            ok = rules::appendContact(session.store, inputOf(bench::contactOf(3 * kRecords + i)));
        });
    report("  of which: durable append", append, 0, ok);

    const Stats query = measure(
        kSamples, [&](int) {},
        [&](int i) {
            window.startQuery(rules::QueryKind::Name);
            window.姓名编辑框->setText(bench::contactOf(kRecords / 2 + i).first());
            window.confirm();
        });
    ok = session.form.selectedRecord == kRecords / 2 + kSamples - 1 &&
         session.form.queryKind == rules::QueryKind::None;
    report("query by name (whole store)", query, 5, ok);

    const int countBeforeRecordView = session.store.recordCount();
    const Stats recordView = measure(
        kSamples,
        [&](int i) {
            window.超级列表框->selectRow(kRecords / 2 - i);
            window.open();
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
        },
        [&](int) { window.deleteContact(); });
    ok = lastMessageIs(QStringLiteral("删除联系人成功！")) &&
         session.store.recordCount() == countBeforeRecordView - kSamples;
    report("delete in record view (mark, purge, show)", recordView, 20, ok);

    window.backToList();
    const int countBeforeListView = session.store.recordCount();
    const Stats listView = measure(
        kSamples,
        [&](int i) {
            window.超级列表框->selectRow(kRecords / 3 + i);
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
        },
        [&](int) { window.deleteContact(); });
    ok = lastMessageIs(QStringLiteral("删除联系人成功！")) &&
         session.store.recordCount() == countBeforeListView - kSamples && window.isListView();
    report("delete in list view (with the refill)", listView, 60, ok);
    return 0;
}
