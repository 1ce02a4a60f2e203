// Where the program finds its skins and help page and where it keeps the
// store: beside a portable program, in the user's data directory when
// installed.

#include "contacts/ProgramDir.h"

#include <QtTest>

using namespace quennet;

class ProgramDirTest : public QObject {
    Q_OBJECT

private slots:
    // Layouts are made under a temporary root: "bin" is the executable's
    // directory; "skin" and "share" say which of its neighbours exist.
    void locatesFilesForTheLayout_data()
    {
        QTest::addColumn<bool>("skinBeside");
        QTest::addColumn<bool>("sharedData");
        QTest::addColumn<QString>("resources");
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("portable");
        QTest::newRow("portable directory") << true << false << "bin" << "bin" << true;
        QTest::newRow("portable beats shared data") << true << true << "bin" << "bin" << true;
        QTest::newRow("installed") << false << true << "share/quennet" << "user" << false;
        QTest::newRow("bare executable") << false << false << "bin" << "user" << false;
    }

    void locatesFilesForTheLayout()
    {
        QFETCH(bool, skinBeside);
        QFETCH(bool, sharedData);
        QFETCH(QString, resources);
        QFETCH(QString, data);
        QFETCH(bool, portable);
        QTemporaryDir root;
        QDir dir(root.path());
        QVERIFY(dir.mkpath(QStringLiteral("bin")));
        if (skinBeside)
            QVERIFY(dir.mkpath(QStringLiteral("bin/skin")));
        if (sharedData)
            QVERIFY(dir.mkpath(QStringLiteral("share/quennet/skin")));

        const ProgramDir found = ProgramDir::forExecutable(dir.filePath(QStringLiteral("bin")),
                                                           dir.filePath(QStringLiteral("user")));
        QCOMPARE(found.resourcePath(), dir.filePath(resources));
        QCOMPARE(found.path(), dir.filePath(data));
        QCOMPARE(found.isPortable(), portable);
        QCOMPARE(found.storeFile(), dir.filePath(data + QStringLiteral("/wab.vdb")));
        QCOMPARE(found.backupFile(), dir.filePath(data + QStringLiteral("/wab.bak")));
        QCOMPARE(found.skinFile(2), dir.filePath(resources + QStringLiteral("/skin/bg02.bmp")));
        QCOMPARE(found.helpFile(), dir.filePath(resources + QStringLiteral("/Help.html")));
    }

    void userDataDirFollowsXdgDataHome_data()
    {
        QTest::addColumn<QByteArray>("xdgDataHome");
        QTest::addColumn<QString>("expected");
        QTest::newRow("set") << QByteArray("/srv/data") << QStringLiteral("/srv/data/quennet");
        QTest::newRow("unset") << QByteArray() << QDir::homePath() + QStringLiteral("/.local/share/quennet");
        QTest::newRow("relative is ignored")
            << QByteArray("data") << QDir::homePath() + QStringLiteral("/.local/share/quennet");
    }

    void userDataDirFollowsXdgDataHome()
    {
        QFETCH(QByteArray, xdgDataHome);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", xdgDataHome);
        const QString found = ProgramDir::userDataDir();
        qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(found, expected);
    }
};

QTEST_GUILESS_MAIN(ProgramDirTest)
#include "tst_core_programdir.moc"
