#pragma once

#include <QAbstractTableModel>
#include <QHash>

#include <vector>

namespace quennet {

class ContactStore;

// The rows of the contact list: row i shows 姓名 and 手机 of record i + 1,
// or of the i-th hit while the filter line shows only some.
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
    // Shows every record again after showOnly.
    void fill();
    // Shows only the records at these positions (record number - 1,
    // ascending): the hits of the filter line. fill or showAll ends it.
    void showOnly(std::vector<int> positions);
    void showAll();
    bool isFiltered() const { return m_filtered; }
    // The record number row shows, and the row that shows a record number
    // (-1: none).
    int recordNumber(int row) const;
    int rowOf(int recordNumber) const;

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
    Row readRow(int position) const;

    ContactStore &m_store;
    int m_rowCount = 0;
    int m_recordCount = 0;
    bool m_filtered = false;
    std::vector<int> m_positions;   // while filtered: the record of each row
    mutable QHash<int, Row> m_rows; // by record position, kept through filtering
    mutable Row m_unread;           // handed out for a row that could not be read
};

} // namespace quennet
