// Stores the program cannot write or read as usual: a full disk, a read-only
// file system, a store or directory an ordinary user may not write, a path
// that is a directory or a FIFO, a store locked by another program. The
// window shows its usual failure message, wab says why, and nothing stored
// is lost or changed.

#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "contacts/store/ContactStoreTesting.h"
#include "support/DataRows.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "support/ProgramDirectory.h"
#include "support/RawSqlite.h"
#include "support/StoreFiles.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"

#include <QLineEdit>
#include <QPointer>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quennet;

namespace {

const QString kNewName = QStringLiteral("新联系人");
// What every fault leaves in the store.
const QStringList kStoredNames{QStringLiteral("张三"), QStringLiteral("李四")};
const QString kAddFailed = QStringLiteral("添加联系人失败！");
const QString kLoginFailed = QStringLiteral("登录失败！请检查数据库是否存在！");

struct Run {
    int exitCode = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs))
        process.kill();
    process.waitForFinished();
    const bool normal = process.exitStatus() == QProcess::NormalExit;
    return {normal ? process.exitCode() : -1, QString::fromUtf8(process.readAll())};
}

QString wabBinary()
{
    return qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QStringLiteral("/wab");
}

// wab add as root, or as the user nobody.
Run wabAdd(const QString &store, bool asNobody)
{
    const QStringList args = {QStringLiteral("add"), QStringLiteral("--name"), kNewName, store};
    if (!asNobody)
        return run(wabBinary(), args);
    return run(QStringLiteral("setpriv"),
               QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                           QStringLiteral("--clear-groups"), wabBinary()} +
                   args);
}

bool canRunAsNobody()
{
    return ::geteuid() == 0 &&
           run(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                           QStringLiteral("--clear-groups"), QStringLiteral("true")})
                   .exitCode == 0;
}

// The bytes of a regular file (opening a FIFO would wait for a writer).
QByteArray fileBytes(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Fills the file system that holds dir until no byte is left.
void fillFileSystem(const QString &dir)
{
    QFile filler(dir + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly))
        return;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.write(QByteArray(1, 'x'));
    filler.flush();
}

// A second process that holds a write lock on the whole store file, as
// another program writing it would.
class ForeignLock {
public:
    explicit ForeignLock(const QString &path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        const QByteArray name = QFile::encodeName(path);
        m_child = ::fork();
        if (m_child == 0) {
            ::close(ready[0]);
            const int fd = ::open(name.constData(), O_RDWR);
            struct flock lock = {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET; // from 0 to beyond the end: every lock byte
            const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char answer = 'n';
        m_held = m_child > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~ForeignLock()
    {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
    }
    ForeignLock(const ForeignLock &) = delete;
    ForeignLock &operator=(const ForeignLock &) = delete;
    bool isHeld() const { return m_held; }

private:
    pid_t m_child = -1;
    bool m_held = false;
};

enum class Fault {
    DiskFull,
    ReadOnlyFileSystem,
    ReadOnlyStoreForUser,
    ReadOnlyDirForUser,
    Directory,
    Fifo,
    Locked
};

} // namespace
Q_DECLARE_METATYPE(Fault)

class FaultsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_dir; // the program directory (a mount point where needed)
    bool m_mounted = false;
    std::unique_ptr<ForeignLock> m_lock;

    QString store() const { return m_dir + QStringLiteral("/wab.vdb"); }

    bool mountTmpfs()
    {
        m_mounted = run(QStringLiteral("mount"),
                        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                         QStringLiteral("size=1m,mode=0755"), QStringLiteral("tmpfs"), m_dir})
                        .exitCode == 0;
        return m_mounted;
    }

    bool remountReadOnly()
    {
        return run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_dir})
                   .exitCode == 0;
    }

    // A store of two contacts in the program directory.
    bool createStore()
    {
        ContactStore created;
        return ContactStore::create(store()) && created.open(store()) &&
               created.append(test::Person(QStringLiteral("张三"))) &&
               created.append(test::Person(QStringLiteral("李四")));
    }

    // Puts the fault in place; false with *skip set when this machine cannot.
    // A lock is taken only when lockNow.
    bool arrange(Fault fault, QString *skip, bool lockNow = true)
    {
        const bool needsMount = fault == Fault::DiskFull || fault == Fault::ReadOnlyFileSystem;
        const bool needsUser = fault == Fault::ReadOnlyStoreForUser || fault == Fault::ReadOnlyDirForUser;
        if (needsMount && !mountTmpfs()) {
            *skip = QStringLiteral("cannot mount a tmpfs here (needs root)");
            return false;
        }
        if (needsUser && !canRunAsNobody()) {
            *skip = QStringLiteral("needs root and setpriv to run wab as the user nobody");
            return false;
        }
        switch (fault) {
        case Fault::Directory:
            return QDir().mkpath(store());
        case Fault::Fifo:
            return ::mkfifo(QFile::encodeName(store()).constData(), 0600) == 0;
        default:
            break;
        }
        if (!createStore())
            return false;
        switch (fault) {
        case Fault::DiskFull:
            fillFileSystem(m_dir);
            return true;
        case Fault::ReadOnlyFileSystem:
            return remountReadOnly();
        case Fault::ReadOnlyStoreForUser: // root's store, readable by all
            return QFile::setPermissions(store(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                      QFile::ReadOther);
        case Fault::ReadOnlyDirForUser: // the user's store in root's directory
            return ::chown(QFile::encodeName(store()).constData(), 65534, 65534) == 0;
        case Fault::Locked:
            return !lockNow || lockStore();
        default:
            return true;
        }
    }

    bool lockStore()
    {
        m_lock = std::make_unique<ForeignLock>(store());
        return m_lock->isHeld();
    }

private slots:
    void initTestCase()
    {
        test::initWindowTests();
        // The locks here are held for the whole test: waiting out the full
        // busy time in this process would only make it slower.
        ContactStoreTestAccess::setBusyTimeout(300);
    }

    void init()
    {
        ui::clearTestScripts();
        m_dir = m_root.filePath(QStringLiteral("program%1").arg(++m_count));
        QVERIFY(QDir().mkpath(m_dir));
        QVERIFY(QFile::setPermissions(m_root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ExeGroup | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                 QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                 QFile::ExeOther));
    }

    void cleanup()
    {
        m_lock.reset();
        if (m_mounted)
            run(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir});
        m_mounted = false;
    }

    // wab refuses with the reason, and the store keeps every byte.
    void wabSaysWhyAndChangesNothing_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("asNobody");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << Fault::DiskFull << false << storeErrorText(StoreError::DiskFull);
        QTest::newRow("read-only file system")
            << Fault::ReadOnlyFileSystem << false << storeErrorText(StoreError::ReadOnly);
        QTest::newRow("read-only store")
            << Fault::ReadOnlyStoreForUser << true << storeErrorText(StoreError::ReadOnly);
        QTest::newRow("directory not writable")
            << Fault::ReadOnlyDirForUser << true << storeErrorText(StoreError::ReadOnly);
        QTest::newRow("store is a directory")
            << Fault::Directory << false << storeErrorText(StoreError::NotAFile);
        QTest::newRow("store is a FIFO") << Fault::Fifo << false << storeErrorText(StoreError::NotAFile);
        QTest::newRow("locked by another program")
            << Fault::Locked << false << storeErrorText(StoreError::Busy);
    }

    void wabSaysWhyAndChangesNothing()
    {
        QFETCH(Fault, fault);
        QFETCH(bool, asNobody);
        QFETCH(QString, reason);
        QString skip;
        const bool arranged = arrange(fault, &skip);
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
        QVERIFY(arranged);
        const QByteArray before = fileBytes(store());

        const Run add = wabAdd(store(), asNobody);
        QVERIFY2(add.exitCode == 1 || add.exitCode == 2, qPrintable(add.output));
        QVERIFY2(add.output.contains(reason), qPrintable(add.output));
        QCOMPARE(fileBytes(store()), before);

        m_lock.reset(); // everything is still there
        if (!before.isEmpty())
            QCOMPARE(test::storedNames(store()), kStoredNames);
    }

    // The main window's add fails with its usual message; the list and the
    // store keep their two contacts.
    void windowAddFailsAndLosesNothing_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("disk full") << Fault::DiskFull;
        QTest::newRow("read-only file system") << Fault::ReadOnlyFileSystem;
        QTest::newRow("locked by another program") << Fault::Locked;
    }

    void windowAddFailsAndLosesNothing()
    {
        QFETCH(Fault, fault);
        QString skip;
        const bool arranged = arrange(fault, &skip, false);
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
        QVERIFY(arranged);
        Session session(m_dir);
        QVERIFY(session.store.open(session.dir.storeFile()));
        const QByteArray before = fileBytes(store());

        QPointer<MainWindow> window = new MainWindow(session);
        window->created();
        if (fault == Fault::Locked) // another program takes the lock while the window is up
            QVERIFY(lockStore());
        window->startAdding();
        window->姓名编辑框->setText(kNewName);
        window->confirm();
        QVERIFY2(test::shownTexts().contains(kAddFailed),
                 qPrintable(test::shownTexts().join(QLatin1Char('|'))));
        QCOMPARE(fileBytes(store()), before);
        QCOMPARE(session.store.recordCount(), 2); // the window keeps what it showed
        delete window.data();
        session.store.close();

        m_lock.reset();
        QCOMPARE(test::storedNames(store()), kStoredNames);
    }

    // An import that meets another program's write lock writes nothing, and
    // the window and wab import both say why.
    void importMeetingALockSaysWhy_data() { test::addFlagRows("inWindow", "window", "wab import"); }

    void importMeetingALockSaysWhy()
    {
        QFETCH(bool, inWindow);
        QVERIFY(createStore());
        const QString cards = m_dir + QStringLiteral("/new.vcf");
        QVERIFY(test::writeAll(
            cards,
            QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:%1\r\nEND:VCARD\r\n").arg(kNewName).toUtf8()));
        const QByteArray before = fileBytes(store());
        test::RawDb writer(store());
        QVERIFY(writer.exec("BEGIN IMMEDIATE"));

        QString said;
        if (inWindow) {
            Session session(m_dir);
            QVERIFY(session.store.open(session.dir.storeFile()));
            QPointer<MainWindow> window = new MainWindow(session);
            window->created();
            ui::FileDialog::setNextFileName(cards);
            window->findChild<QAction *>(QStringLiteral("导入联系人…"))->trigger();
            said = ui::MessageBoxScript::last().text;
            QCOMPARE(session.store.recordCount(), 2);
            delete window.data();
        } else {
            const Run import = run(wabBinary(), {QStringLiteral("import"), cards, store()});
            QCOMPARE(import.exitCode, 1);
            said = import.output;
        }
        QVERIFY2(said.contains(storeErrorText(StoreError::Busy)), qPrintable(said));
        QVERIFY(writer.exec("ROLLBACK"));
        QCOMPARE(fileBytes(store()), before);
        QCOMPARE(test::storedNames(store()), kStoredNames);
    }

    // A store path that is no file: the login says so and nothing else opens.
    void loginRefusesAStoreThatIsNoFile_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("directory") << Fault::Directory;
        QTest::newRow("FIFO") << Fault::Fifo;
    }

    void loginRefusesAStoreThatIsNoFile()
    {
        QFETCH(Fault, fault);
        QString skip;
        QVERIFY(arrange(fault, &skip));
        Session session(m_dir);
        QPointer<LoginWindow> login = LoginWindow::load(session);
        QCOMPARE(test::shownTexts(), QStringList{kLoginFailed});
        QVERIFY(!session.store.isOpen());
        delete login.data();
    }

private:
    int m_count = 0;
};

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
