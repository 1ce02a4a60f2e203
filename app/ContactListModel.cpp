#include "app/ContactListModel.h"

#include "contacts/store/ContactStore.h"

namespace quennet {

ContactListModel::ContactListModel(ContactStore &store, QObject *parent)
    : QAbstractTableModel(parent), m_store(store)
{
}

void ContactListModel::clear()
{
    beginResetModel();
    m_rowCount = 0;
    m_rows.clear();
    endResetModel();
}

void ContactListModel::fill()
{
    beginResetModel();
    m_rows.clear();
    m_rowCount = m_store.isOpen() ? m_store.recordCount() : 0;
    endResetModel();
}

QString ContactListModel::name(int index) const
{
    return row(index).name;
}

QString ContactListModel::mobile(int index) const
{
    return row(index).mobile;
}

const ContactListModel::Row &ContactListModel::row(int index) const
{
    if (index < 0 || index >= m_rowCount) {
        m_unread = Row();
        return m_unread;
    }
    auto it = m_rows.constFind(index);
    if (it != m_rows.constEnd())
        return it.value();
    // While the store is closed (an export reopens it around its own work)
    // nothing is remembered, so the row is read again once it is back.
    if (!m_store.isOpen()) {
        m_unread = Row();
        return m_unread;
    }
    return m_rows.insert(index, readRow(index)).value();
}

ContactListModel::Row ContactListModel::readRow(int index) const
{
    // Never moves the shared cursor: the list is painted between any two
    // steps of the contact operations.
    return Row{m_store.fieldOf(index + 1, FieldName), m_store.fieldOf(index + 1, FieldMobile)};
}

int ContactListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int ContactListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant ContactListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    const Row &r = row(index.row());
    return index.column() == NameColumn ? r.name : r.mobile;
}

QVariant ContactListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == NameColumn)
        return QStringLiteral("姓  名");
    if (section == MobileColumn)
        return QStringLiteral("手  机");
    return QVariant();
}

} // namespace quennet
