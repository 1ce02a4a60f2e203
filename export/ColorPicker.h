#pragma once

#include <QToolButton>

#include <functional>
#include <optional>

class QAction;

namespace quennet {

// A colour choice shown as a swatch button. The value is a 32-bit colour
// with red in the low byte, green in the next and blue in the third; the
// high byte is 0 except for the transparent value, which only pickers made
// with offersTransparent accept (offered from the button's menu as "透明").
class ColorPicker : public QToolButton {
    Q_OBJECT
public:
    static constexpr quint32 kTransparent = 0xFF000000u;

    ColorPicker(QWidget *parent, const QString &name, quint32 value, bool offersTransparent = false);

    quint32 value() const { return m_value; }
    // Values with a high byte are taken as transparent when this picker
    // offers it, otherwise the high byte is dropped.
    void setValue(quint32 value);
    bool offersTransparent() const { return m_offersTransparent; }
    bool isTransparent() const { return m_value == kTransparent; }
    QAction *transparentAction() const { return m_transparentAction; }

    static QColor toColor(quint32 value);
    static quint32 fromColor(const QColor &color);

    // How the button asks the user for a colour: returns the chosen value,
    // or nothing when cancelled. The default shows the colour dialog
    // (ui::chooseColor, answered by the modal script in tests); tests may
    // install their own answer here.
    using Chooser = std::function<std::optional<quint32>(ColorPicker *)>;
    static void setChooser(Chooser chooser);

    // Asks for a colour (the button's click) and takes the answer.
    void choose();

signals:
    void changed(quint32 value);

private:
    void updateSwatch();

    quint32 m_value = 0;
    bool m_offersTransparent = false;
    QAction *m_transparentAction = nullptr;
};

} // namespace quennet
