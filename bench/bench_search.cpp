// Search as you type on a store of 100,000 contacts with Chinese names: how
// soon after the main window shows its list the search is ready (the index
// built on a thread of its own from the fields copied out of the store), how
// long the user-interface thread is held meanwhile, the memory it takes, and
// the time from a key in the filter line to the repainted list.
//   bench_search [DIR]   DIR: where the program directory goes (default: a
//                        temporary directory)
// On the offscreen platform; run it in a fresh process (the readings are
// looked up once per process).

#include "BenchSupport.h"
#include "app/ContactFinder.h"
#include "app/ContactListModel.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace quennet;

namespace {

constexpr int kRecords = 100000;

const char16_t kSurnames[] =
    u"王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程"
    u"苏魏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛闫段雷侯龙史陶黎"
    u"贺顾毛郝龚邵万钱严覃武戴莫孔向汤单解朴乐查仇翟区";
const char16_t kGiven[] =
    u"伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超秀兰霞平刚桂英华玉萍红娥玲芬燕彬鹏辉建国志刚文"
    u"斌宇浩然子轩梓涵一诺欣怡雨萱思远博文嘉怡晨曦俊杰海波晓东永红春梅冬梅丹丹婷婷佳琪"
    u"天宇泽宇皓轩宏伟建华振华德明世杰国强家豪少华立新卫东长江重阳朝阳行健镕基无忌田芳";

QStringList contactOf(QRandomGenerator &random, int n)
{
    const int surnames = int(std::size(kSurnames)) - 1;
    const int given = int(std::size(kGiven)) - 1;
    QString name(QChar(kSurnames[random.bounded(surnames)]));
    const int length = random.bounded(10) < 3 ? 1 : 2;
    for (int i = 0; i < length; ++i)
        name += QChar(kGiven[random.bounded(given)]);
    return {name,
            QStringLiteral("0755-%1 %2")
                .arg(random.bounded(10000), 4, 10, QLatin1Char('0'))
                .arg(n % 10000, 4, 10, QLatin1Char('0')),
            QStringLiteral("13%1").arg(qint64(100000000) + n * 7919 % 900000000, 9, 10, QLatin1Char('0')),
            QString::number(10000 + n * 31),
            QStringLiteral("user%1@example.com.cn").arg(n),
            QStringLiteral("广东省深圳市南山区科技园%1栋").arg(n % 100)};
}

// One key typed into the focused line, as the keyboard sends it.
void typeKey(QWidget *target, QChar ch)
{
    const int key = ch.isDigit()             ? Qt::Key_0 + ch.digitValue()
                    : ch == QLatin1Char(' ') ? int(Qt::Key_Space)
                                             : Qt::Key_A + (ch.toLower().unicode() - 'a');
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
    QCoreApplication::sendEvent(target, &release);
}

bool buildStore(const QString &path)
{
    QFile::remove(path);
    if (!ContactStore::create(path))
        return false;
    ContactStore store;
    QRandomGenerator random(20261209);
    QList<QStringList> rows;
    rows.reserve(kRecords);
    for (int n = 1; n <= kRecords; ++n)
        rows << contactOf(random, n);
    return store.open(path) && ContactStoreTestAccess::appendMany(store, rows);
}

double mb(qint64 kb)
{
    return double(kb) / 1024.0;
}

void report(const char *what, const bench::Stats &stats, double goalMs)
{
    const char *verdict = goalMs <= 0              ? ""
                          : stats.max <= goalMs    ? "ok"
                          : stats.median <= goalMs ? "ok (median)"
                                                   : "over goal";
    printf("%-46s %9.2f %9.2f %9.2f %8.0f  %s\n", what, stats.median, stats.p90, stats.max, goalMs, verdict);
}

} // namespace

// Notes when the list was first painted.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QElapsedTimer &clock) : m_clock(clock) {}
    double ms = -1;
    qint64 rssKb = 0; // as the list is first painted: before the search reads anything

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (ms < 0 && event->type() == QEvent::Paint) {
            ms = bench::msSince(m_clock);
            rssKb = bench::statusKb("VmRSS:");
        }
        return false;
    }

private:
    const QElapsedTimer &m_clock;
};

// In a process of its own (bench_search --after-login DIR): the store opened
// as the login leaves it, then the window; prints when the search was ready
// and the memory before the window and once ready.
int afterLogin(const QString &home)
{
    Session session(home);
    if (!session.store.open(session.dir.file(QStringLiteral("wab.vdb"))))
        return 1;
    const qint64 rssBefore = bench::statusKb("VmRSS:");
    QElapsedTimer sinceShown;
    const double cpuBefore = bench::cpuMs();
    sinceShown.start();
    FirstPaint firstPaint(sinceShown);
    auto *window = new MainWindow(session);
    window->超级列表框->viewport()->installEventFilter(&firstPaint);
    window->created();
    window->show();
    const double shownMs = bench::msSince(sinceShown);
    // The longest the user-interface thread went without handling events
    // after the pass that painted the list first (and started the build,
    // whose copy of the fields is timed below): what a key typed then would
    // wait.
    double longestHold = 0;
    QElapsedTimer sinceLoop;
    sinceLoop.start();
    while (!window->finder()->isReady() && sinceShown.elapsed() < 20000) {
        const bool painted = firstPaint.ms >= 0;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (painted)
            longestHold = std::max(longestHold, bench::msSince(sinceLoop));
        sinceLoop.restart();
    }
    double readyMs = bench::msSince(sinceShown);
    const qint64 rssReady = bench::statusKb("VmRSS:");
    const qint64 rssPeak = bench::statusKb("VmHWM:");
    const qint64 rssWindow = firstPaint.rssKb;
    readyMs -= firstPaint.ms;
    const double cpu = bench::cpuMs() - cpuBefore;
    printf("search ready after the list was first painted: %8.1f ms (goal 300 ms)%s\n", readyMs,
           readyMs <= 300 ? "  ok" : "  over goal");
    printf("  window made and shown %.1f ms, list first painted %.1f ms; longest the UI thread was held "
           "after that pass %.1f ms; CPU time of all threads until ready %.1f ms; load average %s\n",
           shownMs, firstPaint.ms, longestHold, cpu, qPrintable(bench::loadAverage()));
    printf("memory (RSS): %.1f MB with the store open, %.1f MB with the window shown, %.1f MB once the "
           "search is ready: %.1f MB more for the search (goal 30 MB), of which the index %.1f MB; "
           "peak %.1f MB (%.1f MB over the window)\n",
           mb(rssBefore), mb(rssWindow), mb(rssReady), mb(rssReady - rssWindow),
           double(window->finder()->index().memoryBytes()) / 1048576.0, mb(rssPeak), mb(rssPeak - rssWindow));
    delete window;
    return 0;
}

int main(int argc, char **argv)
{
    QTemporaryDir runtime;
    bench::prepareWindowPlatform(runtime);
    QApplication app(argc, argv);
    ui::setTestMode(true);
    if (argc == 3 && QByteArray(argv[1]) == "--after-login")
        return afterLogin(QString::fromLocal8Bit(argv[2]));

    QTemporaryDir temp(bench::programDirTemplate(argc, argv, QStringLiteral("bench-search")));
    if (!bench::isProgramDirReady(temp))
        return 1;
    Session session(temp.path());
    const QString path = session.dir.file(QStringLiteral("wab.vdb"));
    if (!buildStore(path) || !session.store.open(path)) {
        fprintf(stderr, "could not build the store\n");
        return 1;
    }
    printf("store: %d contacts in %s; load average %s\n", session.store.recordCount(), qPrintable(path),
           qPrintable(bench::loadAverage()));

    // A fresh process, as after a login: the readings are looked up once
    // per process.
    fflush(stdout);
    {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--after-login"), temp.path()});
        child.waitForFinished(60000);
    }
    MainWindow *window = MainWindow::load(session);
    ContactFinder *finder = window->finder();
    QElapsedTimer waiting;
    waiting.start();
    while (!finder->isReady() && waiting.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    printf("readings of %d characters\n", search::PinyinTable::current()->characterCount());

    // The part on the user-interface thread, again (the readings are known now).
    const bench::Stats read = bench::repeat(5, [&] {
        finder->invalidate();
        finder->prepare();
    });
    printf("%-46s %9s %9s %9s %8s\n", "step (ms)", "median", "p90", "max", "goal");
    report("index read on the UI thread (5 runs)", read, 0);
    std::vector<double> copies, builds;
    for (int run = 0; run < 5; ++run) {
        finder->invalidate();
        QElapsedTimer build;
        build.start();
        finder->prepareInBackground();
        copies.push_back(bench::msSince(build));
        while (!finder->isReady() && build.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        builds.push_back(bench::msSince(build));
    }
    report("index built in the background until ready", bench::statsOf(builds), 300);
    report("  of which on the UI thread: copying the fields", bench::statsOf(copies), 0);
    const bench::Stats fieldsOnly = bench::repeat(5, [&] {
        qsizetype total = 0;
        for (int number = 1; number <= session.store.recordCount(); ++number)
            for (int pos = 1; pos <= 6; ++pos)
                total += session.store.fieldBytesOf(number, pos).size();
        if (total == 0)
            printf("empty\n");
    });
    report("  of which: the six fields' bytes", fieldsOnly, 0);
    const bench::Stats characters = bench::repeat(5, [&] { (void)finder->index().nameCharacters(); });
    report("  of which: the names' characters", characters, 0);

    const qint64 rssBefore = bench::statusKb("VmRSS:");
    window->startFinding();
    QLineEdit *line = window->查找编辑框;
    QTableView *list = window->超级列表框;
    // Each typed key by key from an empty line; the time is from the key to
    // the repainted list.
    const QStringList typings = {"zhang",   "zs",      "wangxiaoming", "lwj",  "13900",
                                 "0755 12", "user999", "shantf",       "piao", "zengzw",
                                 "liu",     "chenjh",  "yueqi",        "gt",   "huangjh"};
    std::vector<double> firstKeys, laterKeys;
    int hits = 0;
    for (const QString &typed : typings) {
        line->clear();
        for (int i = 0; i < typed.size(); ++i) {
            QElapsedTimer key;
            key.start();
            typeKey(line, typed.at(i));
            list->viewport()->repaint();
            (i == 0 ? firstKeys : laterKeys).push_back(bench::msSince(key));
        }
        hits += window->listModel()->rowCount();
    }
    report("key to painted list: first key (whole store)", bench::statsOf(firstKeys), 10);
    report("key to painted list: later keys (among hits)", bench::statsOf(laterKeys), 10);
    printf("memory: %.1f MB more after the typing (the list's rows read)\n",
           mb(bench::statusKb("VmRSS:") - rssBefore));
    std::vector<double> scans;
    for (const QString &typed : typings) {
        finder->invalidate();
        finder->prepare();
        QElapsedTimer scan;
        scan.start();
        (void)finder->find(typed.left(1));
        scans.push_back(bench::msSince(scan));
    }
    report("  of which: the search of a first key", bench::statsOf(scans), 0);
    std::vector<double> refinements;
    for (const QString &typed : typings) {
        (void)finder->find(typed.left(1));
        for (int i = 2; i <= typed.size(); ++i) {
            QElapsedTimer scan;
            scan.start();
            (void)finder->find(typed.left(i));
            refinements.push_back(bench::msSince(scan));
        }
    }
    report("  of which: the search of a later key", bench::statsOf(refinements), 0);
    const QString typedHan = QStringLiteral("张伟");
    std::vector<double> hanKeys;
    for (int run = 0; run < 10; ++run) {
        line->clear();
        QElapsedTimer key;
        key.start();
        line->insert(typedHan);
        list->viewport()->repaint();
        hanKeys.push_back(bench::msSince(key));
    }
    report("characters to painted list (\"张伟\")", bench::statsOf(hanKeys), 10);
    printf("hits after the last key of the %d typings: %d in all\n", int(typings.size()), hits);
    delete window;
    return 0;
}
