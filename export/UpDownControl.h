#pragma once

#include <QWidget>

class QToolButton;

namespace quennet {

// A pair of arrow buttons, one above the other, that only reports which arrow
// was pressed: it has no value of its own. Held arrows repeat.
class UpDownControl : public QWidget {
    Q_OBJECT
public:
    explicit UpDownControl(QWidget *parent = nullptr);

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

signals:
    void upPressed();
    void downPressed();

private:
    QToolButton *m_up;
    QToolButton *m_down;
};

} // namespace quennet
