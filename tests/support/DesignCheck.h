#pragma once

// Checks that a window was built from its design: every control once, of its
// kind, at its place, with its caption; and the order Tab walks through them.

#include <QList>
#include <QRect>
#include <QString>
#include <QTest>
#include <QVariant>
#include <QWidget>

namespace designcheck {

// The kinds of the skinned windows' own controls.
inline constexpr const char *kLabel = "quennet::ui::TransparentLabel";
inline constexpr const char *kImage = "quennet::ui::ImageButton";

struct Designed {
    const char *name;
    const char *kind; // class name the control must inherit
    QRect geometry;   // relative to its parent; null when the layout is free
    QString text;     // caption or initial text; null when not checked
};

enum class Shown {
    NotHidden,         // not hidden itself (it may sit on a tab page not shown)
    VisibleAndEnabled, // visible within the window and enabled
};

inline void verifyControls(QWidget *window, const QList<Designed> &controls, Shown shown = Shown::NotHidden)
{
    for (const Designed &expected : controls) {
        const QString name = QString::fromUtf8(expected.name);
        const QList<QWidget *> found = window->findChildren<QWidget *>(name);
        QVERIFY2(found.size() == 1, qPrintable(name));
        QWidget *control = found.first();
        QVERIFY2(control->inherits(expected.kind),
                 qPrintable(name + " is " + control->metaObject()->className()));
        if (!expected.geometry.isNull())
            QCOMPARE(control->geometry(), expected.geometry);
        if (!expected.text.isNull()) {
            const QVariant text = control->property("text");
            QVERIFY2(text.isValid(), qPrintable(name));
            QCOMPARE(text.toString(), expected.text);
        }
        if (shown == Shown::VisibleAndEnabled) {
            QVERIFY2(control->isVisibleTo(window), qPrintable(name));
            QVERIFY2(control->isEnabled(), qPrintable(name));
        } else {
            QVERIFY2(!control->isHidden(), qPrintable(name));
        }
    }
}

// A skinned window without a system frame: its name, caption (null: not
// checked) and size.
inline void verifyFrameless(QWidget *window, const QString &name, const QString &caption, const QSize &size)
{
    QCOMPARE(window->objectName(), name);
    if (!caption.isNull())
        QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(window->size(), size);
    QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
}

// The control the Tab key moves to from widget.
inline QWidget *nextTabStop(QWidget *widget)
{
    QWidget *next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

// Tab walks through the controls in this order.
inline void verifyTabOrder(const QList<QWidget *> &order)
{
    for (int i = 1; i < order.size(); ++i)
        QCOMPARE(nextTabStop(order[i - 1]), order[i]);
}

} // namespace designcheck
