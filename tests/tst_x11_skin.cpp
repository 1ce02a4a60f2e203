// A skinned window on a real X server: the shape cut from the bitmap must
// show the desktop where the bitmap is magenta and the picture elsewhere.

#include "ui/Skin.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

namespace {

const QRgb kMagenta = qRgb(255, 0, 255);
const QColor kPicture(0, 160, 0);

// 120 x 100: picture colour with a magenta band across the top 30 rows and a
// magenta square hole in the middle.
QImage skinImage()
{
    QImage image(120, 100, QImage::Format_RGB32);
    image.fill(kPicture);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 120; ++x) {
            const bool band = y < 30;
            const bool hole = x >= 50 && x < 70 && y >= 55 && y < 75;
            if (band || hole)
                image.setPixel(x, y, kMagenta);
        }
    }
    return image;
}

QColor screenPixel(const QPoint &at)
{
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    return screen.pixelColor(at);
}

} // namespace

class TestX11Skin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void shapedWindowShowsDesktopWhereMagenta();
};

void TestX11Skin::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs the xcb platform on a real X server");
}

void TestX11Skin::shapedWindowShowsDesktopWhereMagenta()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("bg01.bmp"));
    QVERIFY(skinImage().save(path, "BMP"));

    const QPoint origin(200, 150);
    const QPoint inBand = origin + QPoint(60, 10);
    const QPoint inHole = origin + QPoint(60, 65);
    const QPoint inShape = origin + QPoint(20, 80);
    const QColor desktop = screenPixel(inHole);

    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setGeometry(QRect(origin, QSize(120, 100)));
    QVERIFY(quennet::ui::applySkin(&window, path));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The X server draws asynchronously: wait until the picture appears.
    QTRY_COMPARE(screenPixel(inShape), kPicture);
    QCOMPARE(window.geometry(), QRect(origin, QSize(120, 100)));
    for (const QPoint &outside : {inBand, inHole}) {
        const QColor seen = screenPixel(outside);
        QVERIFY2(seen != QColor(kMagenta), qPrintable(seen.name()));
        QCOMPARE(seen, desktop);
    }
}

// Without a reachable X server the test falls back to the offscreen platform
// and skips, instead of aborting in the application's constructor.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (qgetenv("QT_QPA_PLATFORM") == "xcb")
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
    QApplication app(argc, argv);
    TestX11Skin test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_x11_skin.moc"
