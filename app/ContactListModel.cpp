#include "app/ContactListModel.h"

#include "contacts/store/ContactStore.h"

#include <algorithm>

namespace quennet {

ContactListModel::ContactListModel(ContactStore &store, QObject *parent)
    : QAbstractTableModel(parent), m_store(store)
{
}

void ContactListModel::clear()
{
    beginResetModel();
    m_rowCount = 0;
    m_recordCount = 0;
    m_filtered = false;
    m_positions.clear();
    m_rows.clear();
    endResetModel();
}

void ContactListModel::fill()
{
    beginResetModel();
    m_rows.clear();
    m_filtered = false;
    m_positions.clear();
    m_recordCount = m_store.isOpen() ? m_store.recordCount() : 0;
    m_rowCount = m_recordCount;
    endResetModel();
}

void ContactListModel::showOnly(std::vector<int> positions)
{
    beginResetModel();
    m_filtered = true;
    m_positions = std::move(positions);
    // Positions the list was not filled with are not shown.
    while (!m_positions.empty() && m_positions.back() >= m_recordCount)
        m_positions.pop_back();
    m_rowCount = int(m_positions.size());
    endResetModel();
}

void ContactListModel::showAll()
{
    if (!m_filtered)
        return;
    beginResetModel();
    m_filtered = false;
    m_positions.clear();
    m_rowCount = m_recordCount;
    endResetModel();
}

int ContactListModel::recordNumber(int row) const
{
    if (row < 0 || row >= m_rowCount)
        return 0;
    return (m_filtered ? m_positions[size_t(row)] : row) + 1;
}

int ContactListModel::rowOf(int recordNumber) const
{
    const int position = recordNumber - 1;
    if (position < 0 || position >= m_recordCount)
        return -1;
    if (!m_filtered)
        return position;
    const auto it = std::lower_bound(m_positions.begin(), m_positions.end(), position);
    return it != m_positions.end() && *it == position ? int(it - m_positions.begin()) : -1;
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
    const int position = recordNumber(index) - 1;
    auto it = m_rows.constFind(position);
    if (it != m_rows.constEnd())
        return it.value();
    // While the store is closed (an export reopens it around its own work)
    // nothing is remembered, so the row is read again once it is back.
    if (!m_store.isOpen()) {
        m_unread = Row();
        return m_unread;
    }
    return m_rows.insert(position, readRow(position)).value();
}

ContactListModel::Row ContactListModel::readRow(int position) const
{
    // Never moves the shared cursor: the list is painted between any two
    // steps of the contact operations.
    return Row{m_store.fieldOf(position + 1, FieldName), m_store.fieldOf(position + 1, FieldMobile)};
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
