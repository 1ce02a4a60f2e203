#pragma once

#include <QAbstractTableModel>
#include <QHash>

namespace quennet {

class ContactStore;

// The rows of the contact list: row i shows 姓名 and 手机 of record i + 1.
// Filling only takes the record count; a row is read from the store the
// first time it is asked for and kept until the next refill, so a store of
// any size fills at once and the list keeps showing what it was filled with.
class ContactListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, MobileColumn = 1 };

    explicit ContactListModel(ContactStore &store, QObject *parent = nullptr);

    void clear();
    // Takes the store's record count as the row count. The cursor is not moved.
    void fill();

    QString name(int row) const;
    QString mobile(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        QString name;
        QString mobile;
    };
    const Row &row(int index) const;
    Row readRow(int index) const;

    ContactStore &m_store;
    int m_rowCount = 0;
    mutable QHash<int, Row> m_rows;
    mutable Row m_unread; // handed out for a row that could not be read
};

} // namespace quennet
