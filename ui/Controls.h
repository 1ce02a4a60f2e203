#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

class QLineEdit;

namespace quennet::ui {

// A picture button with three bitmaps of the control's size: normal, mouse
// over and pressed. The pictures come from the resource ":/buttons/<image>_normal.png",
// "_hover.png" and "_pressed.png" (an image name containing '/' is a path
// prefix instead). A missing hover or pressed picture falls back to the
// normal one; without any picture a plain panel is drawn. Hand cursor unless
// another is set; no keyboard focus unless given one.
class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    ImageButton(QWidget *parent, const QString &name, const QString &image, const QRect &geometry,
                const QString &accessibleName);
    QSize sizeHint() const override;

    bool isHovered() const { return m_hovered; }
    bool hasPictures() const { return !m_normal.isNull(); }
    // The picture for the present state (null when drawn as a plain panel).
    const QPixmap &currentPicture() const;

protected:
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;

private:
    QPixmap m_normal, m_hover, m_pressed;
    bool m_hovered = false;
};

// Text drawn without background over the window's picture; 宋体 unless stated.
// Plain text, top-left aligned; "\r\n" in the text breaks the line.
class TransparentLabel : public QLabel {
    Q_OBJECT
public:
    TransparentLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                     int pixelSize = 12);
};

// A named timer control; like a designed timer it runs from creation when
// the interval is above 0.
QTimer *makeTimer(QObject *parent, const QString &name, int intervalMs);

// Attaches a tool tip to a control; a control without an accessible name
// is named by it.
void setToolTip(QWidget *control, const QString &text);

// Names a control that shows no text of its own (an edit box, a list) by the
// label or check box that captions it, as assistive technology reads it:
// "姓 名：" names it "姓名". A label caption also becomes the control's
// buddy.
void setCaption(QWidget *control, QWidget *caption);

// Empties a password box and overwrites the characters it held: once the
// box let go of its text (setText also drops the edit history), the copy
// taken first is the only one left and can be wiped. Drop every other copy
// of the text before.
void wipeText(QLineEdit *box);

// Simulates one press of a key (Qt::Key_0 ... ) delivered to the control that
// has the keyboard focus, as if typed on the keyboard. Nothing happens when no
// control of the active window has the focus.
void simulateKeyPress(int qtKey, const QString &text);

// Opens a document with the desktop's associated program. In test mode the
// path is only recorded (test targets only, see ui/StandIns.h).
bool openDocument(const QString &path);
QStringList openedDocuments(); // test mode record
void clearOpenedDocuments();

} // namespace quennet::ui
