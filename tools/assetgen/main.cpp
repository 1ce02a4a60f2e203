// Draws every design picture of the program: skins, image buttons, menu
// pictures, the about window's progress strip and the application icon.
//
//   assetgen <source-dir> [--preview <file.png>]
//
// The output is deterministic, so redrawing leaves unchanged files unchanged.

#include "Buttons.h"
#include "Pictures.h"
#include "Preview.h"
#include "Skins.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>

namespace {

using namespace assetgen;

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool save(const QImage &image, const QString &path, const char *format)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // PNGs keep their alpha; skins are stored as 24-bit bitmaps without it
    const QImage out = qstrcmp(format, "BMP") == 0 ? image.convertToFormat(QImage::Format_RGB888)
                       : image.hasAlphaChannel()   ? image.convertToFormat(QImage::Format_ARGB32)
                                                   : image.convertToFormat(QImage::Format_RGB32);
    if (!out.save(path, format)) {
        err() << "cannot write " << path << Qt::endl;
        return false;
    }
    return true;
}

AssetSet drawAll()
{
    AssetSet assets;
    assets.mainSkin = drawMainSkin();
    assets.listTile = drawListTile();
    assets.smallSkin = drawSmallSkin();
    assets.buttons = drawButtons();
    assets.menuPictures = drawMenuPictures();
    for (int size : appIconSizes())
        assets.appIcons.insert(size, drawAppIcon(size));
    assets.stripFrame = drawStripFrame();
    assets.stripFill = drawStripFill();
    return assets;
}

bool checkSkins(const AssetSet &assets)
{
    bool clean = true;
    const std::pair<const char *, const QImage *> skins[] = {{"bg01", &assets.mainSkin},
                                                             {"bg03", &assets.smallSkin}};
    for (const auto &[name, skin] : skins) {
        const QString fault = checkSkinEdge(*skin);
        if (!fault.isEmpty()) {
            err() << name << ": " << fault << Qt::endl;
            clean = false;
        }
    }
    return clean;
}

bool saveAll(const AssetSet &assets, const QDir &source)
{
    bool ok = true;
    ok &= save(assets.mainSkin, source.filePath("skin/bg01.bmp"), "BMP");
    ok &= save(assets.listTile, source.filePath("skin/bg02.bmp"), "BMP");
    ok &= save(assets.smallSkin, source.filePath("skin/bg03.bmp"), "BMP");
    for (const ButtonPicture &b : assets.buttons)
        ok &= save(
            b.picture,
            source.filePath(QStringLiteral("assets/buttons/%1_%2.png").arg(b.image, stateSuffix(b.state))),
            "PNG");
    for (int i = 0; i < assets.menuPictures.size(); ++i)
        ok &=
            save(assets.menuPictures[i], source.filePath(QStringLiteral("assets/menu/%1.png").arg(i)), "PNG");
    for (auto it = assets.appIcons.cbegin(); it != assets.appIcons.cend(); ++it)
        ok &= save(it.value(), source.filePath(QStringLiteral("assets/icons/quennet_%1.png").arg(it.key())),
                   "PNG");
    ok &= save(assets.stripFrame, source.filePath("assets/about/frame.png"), "PNG");
    ok &= save(assets.stripFill, source.filePath("assets/about/strip.png"), "PNG");
    return ok;
}

bool savePreview(const AssetSet &assets, const QString &path)
{
    const QImage preview = composePreview(assets);
    QString doubled = path;
    doubled.replace(QRegularExpression(QStringLiteral("\\.png$")), QStringLiteral("_2x.png"));
    return save(preview, path, "PNG") &&
           save(preview.scaled(preview.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation), doubled,
                "PNG");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    QString previewPath;
    const int previewAt = args.indexOf(QStringLiteral("--preview"));
    if (previewAt >= 0 && previewAt + 1 < args.size()) {
        previewPath = args.at(previewAt + 1);
        args.remove(previewAt, 2);
    }
    if (args.size() != 1) {
        err() << "usage: assetgen <source-dir> [--preview <file.png>]" << Qt::endl;
        return 2;
    }
    const QDir source(args.first());
    const AssetSet assets = drawAll();
    if (!checkSkins(assets))
        return 1;
    if (!saveAll(assets, source))
        return 1;
    if (!previewPath.isEmpty() && !savePreview(assets, previewPath))
        return 1;
    return 0;
}
