#include "app/MenuPictures.h"

namespace quennet {

MenuPictures::MenuPictures(QObject *parent, const QString &name) : QObject(parent)
{
    setObjectName(name);
    for (int i = 0; i < kCount; ++i)
        m_pictures.append(QIcon(resourcePath(i)));
}

QIcon MenuPictures::picture(int number) const
{
    if (number < 0 || number >= m_pictures.size())
        return QIcon();
    return m_pictures.at(number);
}

QString MenuPictures::resourcePath(int number)
{
    return QStringLiteral(":/menu/%1.png").arg(number);
}

} // namespace quennet
