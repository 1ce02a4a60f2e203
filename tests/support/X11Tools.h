#pragma once

// Helpers for the tests that drive the real program on a real X server with
// xdotool and take screenshots with ImageMagick's import.

#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace x11test {

inline QString runTool(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
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

inline QString xdotool(const QStringList &arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments);
}

inline bool haveXdotool()
{
    int code = -1;
    runTool(QStringLiteral("xdotool"), {QStringLiteral("version")}, &code);
    return code == 0;
}

// What the tests that drive the program here lack; null when nothing.
inline const char *missingForDriving()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return "needs an X server";
    return haveXdotool() ? nullptr : "needs xdotool";
}

// The visible X window whose title is exactly name (empty when none appears).
inline QString findWindow(const QString &name, int attempts = 50)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const QString ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--name"), QLatin1Char('^') + name + QLatin1Char('$')});
        if (!ids.isEmpty())
            return ids.split(QLatin1Char('\n')).last();
        QTest::qWait(100);
    }
    return QString();
}

inline QRect windowGeometry(const QString &id)
{
    const QString text = xdotool({QStringLiteral("getwindowgeometry"), id});
    const QRegularExpressionMatch position =
        QRegularExpression(QStringLiteral("Position: (-?\\d+),(-?\\d+)")).match(text);
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(text);
    if (!position.hasMatch() || !size.hasMatch())
        return QRect(-1, -1, 0, 0);
    return QRect(position.captured(1).toInt(), position.captured(2).toInt(), size.captured(1).toInt(),
                 size.captured(2).toInt());
}

inline QPoint windowPosition(const QString &id)
{
    return windowGeometry(id).topLeft();
}

inline void click(const QPoint &screenPoint, int times = 1, int button = 1)
{
    xdotool({QStringLiteral("mousemove"), QString::number(screenPoint.x()), QString::number(screenPoint.y()),
             QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(times),
             QString::number(button)});
}

// Key names as xdotool knows them ("Return", "Down", "shift+Tab", "y").
inline void keys(const QStringList &names)
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80")} + names);
}

inline void type(const QString &text)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"), text});
}

inline int countPixels(const QImage &image, const QRect &area, const std::function<bool(QRgb)> &test)
{
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += test(image.pixel(x, y)) ? 1 : 0;
    return count;
}

inline int differingPixels(const QImage &a, const QImage &b, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}

// The whole screen; kept in $QUENNET_SCREENSHOT_DIR when that is set.
inline QImage screenshot(const QString &name)
{
    static QTemporaryDir scratch;
    QString dir = qEnvironmentVariable("QUENNET_SCREENSHOT_DIR");
    if (dir.isEmpty())
        dir = scratch.path();
    const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    runTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

} // namespace x11test
