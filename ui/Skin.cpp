#include "ui/Skin.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBitmap>
#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <QWindow>

namespace quennet::ui {

namespace {

constexpr char kSkinBackgroundName[] = "quennetSkinBackground";
constexpr char kListBackgroundName[] = "quennetListBackground";
constexpr char kCjkFamily[] = "WenQuanYi Micro Hei";
constexpr char kTopStripDragName[] = "quennetTopStripDrag";

// Paints a picture at 0,0 of the window before the window paints itself, so
// every control on top is drawn over it. An event filter rather than a
// palette brush: palettes propagate to child widgets and pop-up menus, which
// would then show pieces of the skin.
class SkinBackground : public QObject {
public:
    SkinBackground(QWidget *window, const QPixmap &picture) : QObject(window), m_picture(picture)
    {
        setObjectName(QLatin1String(kSkinBackgroundName));
        window->installEventFilter(this);
    }
    void setPicture(const QPixmap &picture) { m_picture = picture; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched == parent()) {
            QPainter painter(static_cast<QWidget *>(watched));
            painter.drawPixmap(0, 0, m_picture);
        }
        return false;
    }

private:
    QPixmap m_picture;
};

// The picture behind the rows of a list: painted on the viewport before the
// rows, tiled or with its bottom-left corner at the viewport's. Scrolling
// would otherwise move the painted picture with the rows, so every scroll
// repaints the whole viewport.
class ListBackground : public QObject {
public:
    explicit ListBackground(QAbstractItemView *list) : QObject(list), m_viewport(list->viewport())
    {
        setObjectName(QLatin1String(kListBackgroundName));
        m_viewport->installEventFilter(this);
        auto repaint = [this] { m_viewport->update(); };
        connect(list->horizontalScrollBar(), &QScrollBar::valueChanged, this, repaint);
        connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, repaint);
    }
    ~ListBackground() override
    {
        if (m_viewport)
            m_viewport->removeEventFilter(this);
    }
    void set(const QPixmap &picture, bool tiled)
    {
        m_picture = picture;
        m_tiled = tiled;
        setProperty("tiled", tiled);
        m_viewport->update();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched == m_viewport) {
            QPainter painter(m_viewport);
            if (m_tiled)
                painter.drawTiledPixmap(m_viewport->rect(), m_picture);
            else
                painter.drawPixmap(0, m_viewport->height() - m_picture.height(), m_picture);
        }
        return false;
    }

private:
    QPointer<QWidget> m_viewport;
    QPixmap m_picture;
    bool m_tiled = false;
};

// Borderless windows are moved by dragging their top strip, where the title
// and the small picture buttons sit. The window manager moves the window
// where it offers that; otherwise the window follows the mouse itself.
class TopStripDrag : public QObject {
public:
    explicit TopStripDrag(QWidget *window) : QObject(window), m_window(window)
    {
        setObjectName(QLatin1String(kTopStripDragName));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            return pressed(static_cast<QMouseEvent *>(event));
        case QEvent::MouseMove:
            if (!m_dragging)
                return false;
            m_window->move(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - m_grabOffset);
            return true;
        case QEvent::MouseButtonRelease:
            if (!m_dragging)
                return false;
            m_dragging = false;
            return true;
        default:
            return false;
        }
    }

private:
    bool pressed(QMouseEvent *event)
    {
        if (event->button() != Qt::LeftButton || event->position().y() >= kTopStripHeight)
            return false;
        QWindow *handle = m_window->windowHandle();
        if (handle && handle->startSystemMove())
            return true;
        m_dragging = true;
        m_grabOffset = event->globalPosition().toPoint() - m_window->pos();
        return true;
    }

    QWidget *m_window;
    bool m_dragging = false;
    QPoint m_grabOffset;
};

template <typename T> T *ownHelper(QObject *owner, const char *name)
{
    return dynamic_cast<T *>(owner->findChild<QObject *>(QLatin1String(name), Qt::FindDirectChildrenOnly));
}

QRegion shapeOf(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    // The mask image has bit 1 on magenta and no colour table, so its bit 0
    // reads as black, which a bitmap region counts as inside.
    const QImage mask = rgb.createMaskFromColor(qRgb(255, 0, 255), Qt::MaskInColor);
    return QRegion(QBitmap::fromImage(mask));
}

// The picture with every pixel outside shape transparent.
QPixmap transparentOutside(const QImage &image, const QRegion &shape)
{
    QImage clear(image.size(), QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    QPainter painter(&clear);
    painter.setClipRegion(shape);
    painter.drawImage(0, 0, image);
    painter.end();
    return QPixmap::fromImage(clear);
}

void removeSkin(QWidget *window)
{
    delete ownHelper<SkinBackground>(window, kSkinBackgroundName);
    window->clearMask();
    window->update();
}

// Kept small: buttons and edit boxes get a flat, quiet frame; labels are left
// alone so that transparent labels stay transparent over the skins.
// A password box shows one "*" per typed character, not the style's bullet.
// The rule is here, in the window's sheet: a box's own sheet is not
// consulted for it once the window opening the box has a sheet too.
const char kStyleSheet[] = R"(
QPushButton {
    border: 1px solid #8a9bb3;
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfdfe, stop:1 #e8edf3);
    padding: 2px 10px;
    min-height: 16px;
}
QPushButton:hover { border-color: #3a6ea5; background: #eef4fb; }
QPushButton:pressed { background: #d9e4f0; }
QPushButton:default { border-color: #3a6ea5; }
QPushButton:disabled { color: #9aa3ad; border-color: #c5ccd6; background: #f2f4f7; }
QLineEdit {
    lineedit-password-character: 42;
    border: 1px solid #9aabc2;
    border-radius: 2px;
    background: #ffffff;
    padding: 0px 1px;
    selection-background-color: #3a6ea5;
}
QLineEdit:focus { border-color: #3a6ea5; }
QLineEdit[readOnly="true"] { background: #f3f5f8; color: #303a46; }
QLineEdit:disabled { background: #eceef1; color: #9aa3ad; }
)";

// Style sheets read the read-only property only when a widget is polished,
// and the record form switches its edit boxes between read-only and
// editable all the time. One application-wide filter repolishes an edit box
// whenever that happens.
class ReadOnlyRepolisher : public QObject {
public:
    static void installOnce()
    {
        static QPointer<ReadOnlyRepolisher> instance;
        if (!instance) {
            instance = new ReadOnlyRepolisher(qApp);
            qApp->installEventFilter(instance);
        }
    }

protected:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ReadOnlyChange) {
            if (auto *widget = qobject_cast<QWidget *>(watched)) {
                widget->style()->unpolish(widget);
                widget->style()->polish(widget);
                widget->update();
            }
        }
        return false;
    }
};

QString installedCjkFamily()
{
    const QStringList families = QFontDatabase::families();
    if (families.contains(QLatin1String(kCjkFamily)))
        return QLatin1String(kCjkFamily);
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    return chinese.isEmpty() ? QString() : chinese.first();
}

} // namespace

void makeDraggableByTopStrip(QWidget *window)
{
    if (!ownHelper<TopStripDrag>(window, kTopStripDragName))
        new TopStripDrag(window);
}

bool applySkin(QWidget *window, const QString &bitmapPath)
{
    makeDraggableByTopStrip(window);
    const QImage image(bitmapPath);
    if (image.isNull()) {
        removeSkin(window);
        return false;
    }
    // A Wayland compositor knows no window shapes: there the window is
    // transparent itself outside the shape (set before it first shows), and
    // so is its picture.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
        !window->testAttribute(Qt::WA_WState_Created))
        window->setAttribute(Qt::WA_TranslucentBackground);
    const QRegion shape = shapeOf(image);
    window->setMask(shape);
    const QPixmap picture = window->testAttribute(Qt::WA_TranslucentBackground)
                                ? transparentOutside(image, shape)
                                : QPixmap::fromImage(image.convertToFormat(QImage::Format_RGB32));
    if (auto *background = ownHelper<SkinBackground>(window, kSkinBackgroundName))
        background->setPicture(picture);
    else
        new SkinBackground(window, picture);
    window->update();
    return true;
}

void applyVisualStyle(QWidget *window)
{
    if (QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    window->setStyleSheet(QLatin1String(kStyleSheet));
    window->setProperty("quennetVisualStyle", true);
    ReadOnlyRepolisher::installOnce();
}

void setListBackground(QAbstractItemView *list, const QString &picturePath, bool show, bool tile)
{
    auto *background = ownHelper<ListBackground>(list, kListBackgroundName);
    const QPixmap picture = (show && !picturePath.isEmpty()) ? QPixmap(picturePath) : QPixmap();
    if (picture.isNull()) {
        delete background;
        list->viewport()->update();
        return;
    }
    if (!background)
        background = new ListBackground(list);
    background->set(picture, tile);
}

void installFontSubstitutes()
{
    const QString family = installedCjkFamily();
    if (family.isEmpty())
        return;
    static const char *const windowsFaces[] = {
        "宋体",  "SimSun", "新宋体",   "NSimSun",         "宋体-18030", "SimSun-18030",
        "黑体",  "SimHei", "微软雅黑", "Microsoft YaHei", "楷体",       "楷体_GB2312",
        "KaiTi", "仿宋",   "FangSong", "Tahoma"};
    for (const char *face : windowsFaces)
        QFont::insertSubstitution(QString::fromUtf8(face), family);
    QFont font(family);
    font.setPixelSize(12);
    QApplication::setFont(font);
}

} // namespace quennet::ui
