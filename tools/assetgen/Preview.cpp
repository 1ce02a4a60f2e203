#include "Preview.h"

#include "Canvas.h"
#include "Palette.h"

namespace assetgen {
namespace {

namespace pal = palette;

const QImage &button(const AssetSet &assets, const QString &image, ButtonState state = ButtonState::Normal)
{
    for (const ButtonPicture &picture : assets.buttons)
        if (picture.image == image && picture.state == state)
            return picture.picture;
    static const QImage none;
    return none;
}

// Magenta is the window shape's outside: the desktop shows through there.
QImage cutOut(const QImage &skin, const QColor &desktop)
{
    QImage image = skin.convertToFormat(QImage::Format_RGB32);
    const QRgb magenta = pal::kMagenta.rgb();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == magenta)
                image.setPixelColor(x, y, desktop);
    return image;
}

void label(QPainter &p, int x, int y, int w, int h, const QString &text, const QColor &color = Qt::black,
           int pixelSize = 12)
{
    p.setFont(uiFont(pixelSize));
    p.setPen(color);
    p.drawText(QRect(x, y, w, h), Qt::AlignLeft | Qt::AlignVCenter, text);
}

void editBox(QPainter &p, int x, int y, int w, int h, const QString &text = {})
{
    p.fillRect(QRect(x, y, w, h), Qt::white);
    p.setPen(QColor(0x7A, 0x9B, 0xB8));
    p.drawRect(QRect(x, y, w - 1, h - 1));
    label(p, x + 3, y, w - 4, h, text);
}

void pushButton(QPainter &p, int x, int y, int w, int h, const QString &text)
{
    p.setPen(QColor(0x70, 0x80, 0x90));
    p.setBrush(verticalGradient(y, y + h, QColor(0xFA, 0xFA, 0xFA), QColor(0xDD, 0xE1, 0xE6)));
    p.drawRoundedRect(QRectF(x + 0.5, y + 0.5, w - 1, h - 1), 3, 3);
    p.setFont(uiFont(12));
    p.setPen(Qt::black);
    p.drawText(QRect(x, y, w, h), Qt::AlignCenter, text);
}

void radio(QPainter &p, int x, int y, int w, int h, const QString &text, bool checked)
{
    const QPointF centre(x + 7.5, y + h / 2.0);
    p.setPen(QColor(0x60, 0x70, 0x80));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 6, 6);
    if (checked) {
        p.setPen(Qt::NoPen);
        p.setBrush(pal::kInk);
        p.drawEllipse(centre, 3, 3);
    }
    label(p, x + 18, y, w - 18, h, text);
}

void place(QPainter &p, const AssetSet &assets, const QString &image, int x, int y,
           ButtonState state = ButtonState::Normal)
{
    p.drawImage(x, y, button(assets, image, state));
}

void mainButtons(QPainter &p, const AssetSet &assets, ButtonState pressedDemo)
{
    place(p, assets, "min", 165, 2);
    place(p, assets, "close", 185, 2,
          pressedDemo == ButtonState::Normal ? ButtonState::Normal : ButtonState::Hover);
    place(p, assets, "contacts", 6, 171);
    place(p, assets, "settings", 152, 171);
    place(p, assets, "open", 10, 205,
          pressedDemo == ButtonState::Normal ? ButtonState::Normal : ButtonState::Hover);
    place(p, assets, "ok", 86, 205);
    place(p, assets, "back", 122, 205);
    const int xs[] = {10, 74, 137};
    const int ys[] = {241, 272, 301};
    for (int digit = 1; digit <= 9; ++digit)
        place(p, assets, QStringLiteral("key%1").arg(digit), xs[(digit - 1) % 3], ys[(digit - 1) / 3],
              digit == 5 ? pressedDemo : ButtonState::Normal);
    place(p, assets, "prev", 10, 330);
    place(p, assets, "key0", 74, 330);
    place(p, assets, "next", 137, 330);
}

void contactList(QPainter &p, const AssetSet &assets)
{
    const QRect area(5, 58, 200, 109);
    p.save();
    p.setClipRect(area);
    p.fillRect(area, QBrush(assets.listTile));
    p.fillRect(QRect(5, 58, 200, 19),
               verticalGradient(58, 77, QColor(0xFC, 0xFC, 0xFC), QColor(0xE4, 0xE8, 0xEC)));
    p.setPen(QColor(0xB8, 0xC2, 0xCC));
    p.drawLine(5, 76, 204, 76);
    p.drawLine(75, 58, 75, 76);
    label(p, 9, 58, 64, 18, QStringLiteral("姓  名"));
    label(p, 79, 58, 110, 18, QStringLiteral("手  机"));
    const char *const rows[][2] = {{"张小明", "13800138000"},
                                   {"李华", "13912345678"},
                                   {"王芳", "15011112222"},
                                   {"赵云", "18600001111"},
                                   {"陈静", "13698765432"}};
    for (int i = 0; i < 5; ++i) {
        const int y = 78 + i * 18;
        if (i == 1)
            p.fillRect(QRect(5, y, 200, 18), QColor(0x33, 0x8E, 0xD6));
        const QColor ink = i == 1 ? Qt::white : Qt::black;
        label(p, 9, y, 64, 18, QString::fromUtf8(rows[i][0]), ink);
        label(p, 79, y, 120, 18, QString::fromLatin1(rows[i][1]), ink);
    }
    p.restore();
}

QImage mainWindow(const AssetSet &assets, bool listView, const QColor &desktop)
{
    QImage window = cutOut(assets.mainSkin, desktop);
    QPainter p;
    beginSmooth(p, window);
    label(p, 8, 1, 72, 24, QStringLiteral("Quennet"), QColor(0, 0, 255), 14);
    label(p, 40, 35, 40, 16, QStringLiteral("姓 名："));
    editBox(p, 88, 35, 60, 18, listView ? QStringLiteral("李华") : QStringLiteral("张小明"));
    const char *const captions[] = {"电 话：", "手 机：", " Q Q ：", "Email：", "地 址："};
    const char *const values[] = {"010-62345678", "13800138000", "12345678", "xm@example.com",
                                  "北京市海淀区"};
    for (int row = 0; row < 5; ++row) {
        label(p, 10, 65 + row * 20, 40, 16, QString::fromUtf8(captions[row]));
        editBox(p, 55, 65 + row * 20, 145, 16, QString::fromUtf8(values[row]));
    }
    if (listView)
        contactList(p, assets);
    label(p, 72, 175, 75, 16, listView ? QStringLiteral("共5条记录") : QStringLiteral("第1条记录"));
    mainButtons(p, assets, listView ? ButtonState::Normal : ButtonState::Pressed);
    p.end();
    return window;
}

QImage smallWindow(const AssetSet &assets, bool login, const QColor &desktop)
{
    QImage window = cutOut(assets.smallSkin, desktop);
    QPainter p;
    beginSmooth(p, window);
    if (login) {
        label(p, 10, 1, 62, 24, QStringLiteral("登录窗口"), Qt::black, 14);
        place(p, assets, "min", 160, 2);
        place(p, assets, "close", 185, 2);
        label(p, 15, 70, 120, 18, QStringLiteral("请输入登录密码："));
        editBox(p, 15, 100, 180, 20, QStringLiteral("******"));
        pushButton(p, 60, 170, 80, 24, QStringLiteral("确  定"));
    } else {
        label(p, 5, 2, 58, 22, QStringLiteral("设置密码"), Qt::black, 14);
        place(p, assets, "help", 165, 2, ButtonState::Hover);
        place(p, assets, "close", 185, 2);
        label(p, 30, 35, 175, 16, QStringLiteral("使用前最好请点上面的“？”哦！"));
        const char *const options[] = {"导出通讯录数据到Excel文件", "导出通讯录数据到高级网页文件",
                                       "导出通讯录数据到网页或文本", "※备份通讯录数据※",
                                       "***清空通讯录数据***"};
        for (int i = 0; i < 5; ++i)
            radio(p, i == 0 ? 7 : 8, 58 + i * 22, 196, 21, QString::fromUtf8(options[i]), i == 0);
        pushButton(p, 55, 170, 100, 24, QStringLiteral("确  定"));
    }
    p.end();
    return window;
}

QImage aboutSample(const AssetSet &assets)
{
    QImage sheet = filledImage(440, 80, pal::kAboutBackground);
    QPainter p;
    beginSmooth(p, sheet);
    label(p, 136, 2, 184, 36, QStringLiteral("Quennet"), Qt::white, 35);
    for (int row = 0; row < 2; ++row) {
        const int y = 44 + row * 18;
        p.drawImage(80, y, assets.stripFrame);
        const int grown = row == 0 ? 118 : 293;
        p.drawImage(QPoint(83, y + 1), assets.stripFill, QRect(0, 0, grown, 13));
    }
    p.end();
    return sheet;
}

QImage smallPictureSheet(const AssetSet &assets)
{
    QImage sheet = filledImage(440, 300, QColor(0xF0, 0xF0, 0xF0));
    QPainter p;
    beginSmooth(p, sheet);
    // menu pictures as a menu shows them
    p.fillRect(QRect(0, 0, 150, 9 * 20 + 4), Qt::white);
    const char *const items[] = {"查询联系人", "删除联系人", "导出数据", "添加联系人", "帮助",
                                 "修改联系人", "密码设置",   "退出",     "关于"};
    for (int i = 0; i < assets.menuPictures.size(); ++i) {
        p.drawImage(4, 4 + i * 20, assets.menuPictures[i]);
        label(p, 26, 4 + i * 20 - 2, 120, 19, QStringLiteral("%1  ").arg(i) + QString::fromUtf8(items[i]));
    }
    // icons at their sizes, on light and dark
    int x = 160;
    for (int size : assets.appIcons.keys()) {
        if (size > 48)
            continue;
        p.fillRect(QRect(x - 2, 0, size + 4, 140), QColor(0x30, 0x30, 0x30));
        p.drawImage(x, 2, assets.appIcons[size]);
        p.fillRect(QRect(x - 2, 70, size + 4, 70), Qt::white);
        p.drawImage(x, 72, assets.appIcons[size]);
        x += size + 6;
    }
    // browse button states on the window grey of the export-data window
    int bx = 4;
    for (ButtonState state : {ButtonState::Normal, ButtonState::Hover, ButtonState::Pressed}) {
        p.drawImage(bx, 200, button(assets, "browse", state));
        bx += 30;
    }
    // title buttons in all states
    bx = 4;
    for (const char *name : {"min", "close", "help"})
        for (ButtonState state : {ButtonState::Normal, ButtonState::Hover, ButtonState::Pressed}) {
            p.fillRect(QRect(bx - 2, 228, 23, 23), pal::kCapTop);
            p.drawImage(bx, 230, button(assets, name, state));
            bx += 24;
        }
    p.drawImage(160, 150, assets.appIcons.value(64));
    p.drawImage(240, 150,
                assets.appIcons.value(256).scaled(128, 128, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    p.end();
    return sheet;
}

} // namespace

QImage composePreview(const AssetSet &assets)
{
    const QColor desktop(0x9A, 0xA7, 0xB3);
    QImage preview = filledImage(900, 707, desktop);
    QPainter p(&preview);
    p.drawImage(10, 10, mainWindow(assets, true, desktop));
    p.drawImage(230, 10, mainWindow(assets, false, desktop));
    p.drawImage(450, 10, smallWindow(assets, true, desktop));
    p.drawImage(670, 10, smallWindow(assets, false, desktop));
    for (int y = 225; y < 353; y += assets.listTile.height())
        for (int x = 450; x < 578; x += assets.listTile.width())
            p.drawImage(x, y, assets.listTile);
    p.drawImage(10, 397, aboutSample(assets));
    p.drawImage(450, 397, smallPictureSheet(assets));
    p.end();
    return preview;
}

} // namespace assetgen
