#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

namespace quennet::ui {

// A picture button with three bitmaps of the control's size: normal, mouse
// over and pressed. The pictures come from the resource ":/buttons/<image>_normal.png",
// "_hover.png" and "_pressed.png". Hand cursor unless another is set.
class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    ImageButton(QWidget *parent, const QString &name, const QString &image, const QRect &geometry,
                const QString &accessibleName);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;

private:
    QPixmap m_normal, m_hover, m_pressed;
    bool m_hovered = false;
};

// Text drawn without background over the window's picture; 宋体 unless stated.
class TransparentLabel : public QLabel {
    Q_OBJECT
public:
    TransparentLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                     int pixelSize = 12);
};

// A named timer control.
QTimer *makeTimer(QObject *parent, const QString &name, int intervalMs);

// Attaches a tool tip to a control.
void setToolTip(QWidget *control, const QString &text);

// Simulates one press of a key (Qt::Key_0 ... ) delivered to the control that
// has the keyboard focus, as if typed on the keyboard.
void simulateKeyPress(int qtKey, const QString &text);

// Opens a document with the desktop's associated program. In test mode the
// path is only recorded.
bool openDocument(const QString &path);
QStringList openedDocuments();  // test mode record
void clearOpenedDocuments();

}  // namespace quennet::ui
