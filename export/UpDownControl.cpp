#include "export/UpDownControl.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace quennet {

namespace {

QToolButton *makeArrow(QWidget *parent, Qt::ArrowType arrow, const QString &name)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return button;
}

} // namespace

UpDownControl::UpDownControl(QWidget *parent) : QWidget(parent)
{
    m_up = makeArrow(this, Qt::UpArrow, QStringLiteral("up"));
    m_down = makeArrow(this, Qt::DownArrow, QStringLiteral("down"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, &UpDownControl::upPressed);
    connect(m_down, &QToolButton::clicked, this, &UpDownControl::downPressed);
}

} // namespace quennet
