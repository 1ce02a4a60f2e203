#pragma once

#include <QSpinBox>

namespace quennet {

// An integer box with spin buttons that can also show no number at all, as
// the designs' boxes with an empty initial text do. Typing or stepping gives
// it a number again; value() keeps the last number meanwhile.
class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget *parent = nullptr);

    void clearText();
    void stepBy(int steps) override;

signals:
    // Each change of the text in the box's editor, also to a number out of
    // range or to no number, which QSpinBox::textChanged does not report.
    // Values set by the program or by the arrows are in range already and
    // are not reported here.
    void editTextChanged(const QString &text);

protected:
    // QAbstractSpinBox writes its value back into the editor at many
    // moments (shown again with its tab, enabled, restyled...); an empty
    // box stays empty through all of them.
    bool event(QEvent *event) override;

private:
    void keepEmpty();

    bool m_empty = false;
};

} // namespace quennet
