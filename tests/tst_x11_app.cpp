// The real executable on a real X server: windows found and clicked like a
// user would, shapes of the skinned windows, screenshots for a look.

#include "AppTestSupport.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString runTool(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished();
    }
    if (exitCode)
        *exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// The X window of the program whose title is exactly name (0 when none).
QString findWindow(const QString &name)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const QString ids = runTool(QStringLiteral("xdotool"),
                                    {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--name"), QLatin1Char('^') + name + QLatin1Char('$')});
        if (!ids.isEmpty())
            return ids.split(QLatin1Char('\n')).last();
        QTest::qWait(100);
    }
    return QString();
}

QPoint windowPosition(const QString &id)
{
    const QString geometry = runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), id});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Position: (\\d+),(\\d+)")).match(geometry);
    return m.hasMatch() ? QPoint(m.captured(1).toInt(), m.captured(2).toInt()) : QPoint(-1, -1);
}

void click(const QPoint &screenPoint)
{
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(screenPoint.x()), QString::number(screenPoint.y()),
             QStringLiteral("click"), QStringLiteral("1")});
}

} // namespace

class TestX11App : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server");
        int code = -1;
        runTool(QStringLiteral("xdotool"), {QStringLiteral("version")}, &code);
        if (code != 0)
            QSKIP("needs xdotool");
    }

    // A user closes the start window with its close button: the process ends
    // with exit code 0.
    void closingLoginWindowWithTheMouse()
    {
        apptest::ProgramDirectory home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        QTemporaryDir runtime;
        auto process = apptest::startQuennet(home.path(), runtime.path(), QStringLiteral("xcb"));
        QByteArray log;
        QVERIFY2(apptest::waitForLine(*process, QStringLiteral("window: 登录窗口"), log), log.constData());
        const QString id = findWindow(QStringLiteral("登录窗口"));
        QVERIFY(!id.isEmpty());
        const QPoint origin = windowPosition(id);
        QVERIFY(origin.x() >= 0);
        click(origin + QPoint(185 + 9, 2 + 9));
        QVERIFY(process->waitForFinished(10000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
    }
};

QTEST_MAIN(TestX11App)
#include "tst_x11_app.moc"
