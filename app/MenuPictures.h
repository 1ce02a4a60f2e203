#pragma once

#include <QIcon>
#include <QList>
#include <QObject>

namespace quennet {

// The main window's menu-picture unit: the nine 16 x 15 pictures that the
// menu items are drawn with, numbered 0 to 8.
class MenuPictures : public QObject {
    Q_OBJECT
public:
    static constexpr int kCount = 9;

    MenuPictures(QObject *parent, const QString &name);

    QIcon picture(int number) const;         // empty icon outside 0..8
    static QString resourcePath(int number); // ":/menu/<number>.png"

private:
    QList<QIcon> m_pictures;
};

} // namespace quennet
