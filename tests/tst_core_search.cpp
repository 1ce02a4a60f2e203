// Search as you type: the hits of what is typed, read from
// tests/data/search (contacts.tsv, and queries.tsv with the names each
// query finds), and the readings behind the pinyin.

#include "contacts/ContactSearch.h"

#include <QFile>
#include <QtTest>

using namespace quennet;
using namespace quennet::search;

namespace {

QString dataFile(const QString &name)
{
    return qEnvironmentVariable("QUENNET_SOURCE_DIR") + QStringLiteral("/tests/data/search/") + name;
}

// The lines of a data file without its comment lines, split at TABs.
QList<QStringList> rowsOf(const QString &name)
{
    QFile file(dataFile(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QStringList> rows;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            rows << line.split(QLatin1Char('\t'));
    }
    return rows;
}

QList<Contact> contacts()
{
    QList<Contact> all;
    for (const QStringList &row : rowsOf(QStringLiteral("contacts.tsv")))
        all << Contact::fromValues(row, all.size() + 1);
    return all;
}

QStringList namesAt(const QList<Contact> &all, const std::vector<int> &positions)
{
    QStringList names;
    for (const int position : positions)
        names << all.at(position).name;
    return names;
}

} // namespace

class SearchTest : public QObject {
    Q_OBJECT

    QList<Contact> m_contacts;
    ContactIndex m_index;
    std::shared_ptr<const PinyinTable> m_table;

private slots:
    void initTestCase()
    {
        m_contacts = contacts();
        QCOMPARE(m_contacts.size(), 11);
        for (const Contact &contact : m_contacts)
            m_index.append(contact);
        PinyinTable::extend(m_index.nameCharacters());
        // The index spells the names from what it noted; matches() looks
        // each reading up in the table.
        m_table = PinyinTable::current();
        m_index.noteInitials(m_table);
    }

    void queries_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        const QList<QStringList> rows = rowsOf(QStringLiteral("queries.tsv"));
        QVERIFY(rows.size() > 40);
        for (const QStringList &row : rows) {
            QCOMPARE(row.size(), 2);
            const QStringList expected =
                row.at(1) == QLatin1String("-") ? QStringList() : row.at(1).split(QLatin1Char(','));
            QTest::newRow(qPrintable(row.at(0))) << row.at(0) << expected;
        }
    }

    // The whole index, one contact at a time, and typed key by key (each
    // key looking only among the hits of the keys before when it may).
    void queries()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        const std::shared_ptr<const PinyinTable> table = m_table;
        const Query query = Query::parse(typed);
        QCOMPARE(namesAt(m_contacts, m_index.find(query, *table)), expected);

        QStringList oneByOne;
        for (const Contact &contact : m_contacts) {
            if (matches(typed, contact))
                oneByOne << contact.name;
        }
        QCOMPARE(oneByOne, expected);

        Query previous;
        std::vector<int> hits;
        for (int length = 1; length <= typed.size(); ++length) {
            const Query now = Query::parse(typed.left(length));
            hits = now.narrows(previous) ? m_index.find(now, *table, &hits) : m_index.find(now, *table);
            previous = now;
        }
        QCOMPARE(namesAt(m_contacts, hits), expected);
    }

    void readings_data()
    {
        QTest::addColumn<QString>("character");
        QTest::addColumn<QStringList>("readings");
        QTest::newRow("surname 单") << "单" << QStringList{"shan", "dan"};
        QTest::newRow("surname 曾") << "曾" << QStringList{"zeng", "ceng"};
        QTest::newRow("surname 解") << "解" << QStringList{"xie", "jie"};
        QTest::newRow("surname 朴") << "朴" << QStringList{"pu", "piao"};
        QTest::newRow("polyphonic 乐") << "乐" << QStringList{"yue", "le"};
        QTest::newRow("ü as v and u") << "吕" << QStringList{"lv", "lu"};
        QTest::newRow("one reading") << "镕" << QStringList{"rong"};
    }

    void readings()
    {
        QFETCH(QString, character);
        QFETCH(QStringList, readings);
        const char32_t c = character.toUcs4().value(0);
        PinyinTable::extend({c});
        const QStringList found = PinyinTable::current()->readingTexts(c);
        for (const QString &reading : readings)
            QVERIFY2(found.contains(reading), qPrintable(found.join(QLatin1Char(' '))));
    }

    void queryForms_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("digits");
        QTest::addColumn<QByteArray>("letters");
        QTest::newRow("number with separators")
            << " 139-1234 " << QByteArray("139-1234") << QByteArray("1391234") << QByteArray();
        QTest::newRow("pinyin with blanks")
            << "Zhu Rong" << QByteArray("zhu rong") << QByteArray() << QByteArray("zhurong");
        QTest::newRow("mixed") << "li3" << QByteArray("li3") << QByteArray() << QByteArray();
        QTest::newRow("han") << "朱" << QByteArray("朱") << QByteArray() << QByteArray();
        QTest::newRow("blank") << "   " << QByteArray() << QByteArray() << QByteArray();
    }

    void queryForms()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, digits);
        QFETCH(QByteArray, letters);
        const Query query = Query::parse(typed);
        QCOMPARE(query.text, text);
        QCOMPARE(query.digits, digits);
        QCOMPARE(query.letters, letters);
    }

    void narrowing_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("narrows");
        QTest::newRow("a key more") << "zhu"
                                    << "zhur" << true;
        QTest::newRow("a blank more") << "zhu"
                                      << "zhu " << true;
        QTest::newRow("a key less") << "zhur"
                                    << "zhu" << false;
        QTest::newRow("number becomes text") << "139"
                                             << "139a" << true;
        QTest::newRow("text becomes pinyin") << "z1"
                                             << "z1z" << true;
        QTest::newRow("from nothing") << ""
                                      << "z" << false;
        QTest::newRow("another start") << "zhu"
                                       << "rong" << false;
    }

    void narrowing()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(bool, narrows);
        QCOMPARE(Query::parse(after).narrows(Query::parse(before)), narrows);
    }
};

QTEST_GUILESS_MAIN(SearchTest)
#include "tst_core_search.moc"
