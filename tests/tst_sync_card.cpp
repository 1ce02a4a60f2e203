// Server cards and the six fields: what is read of each card in
// tests/data/sync/cards (its .expected), and what the card becomes when some
// fields were edited (its .edited): only those lines change. The importer
// reads each card, before and after the edit, as the sync does.

#include "exchange/VCardReader.h"
#include "sync/ServerCard.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace quennet;
using sync::ServerCard;

namespace {

QString cardsDir()
{
    return QString::fromLocal8Bit(qgetenv("QUENNET_SOURCE_DIR")) + QStringLiteral("/tests/data/sync/cards");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray lf(QByteArray bytes)
{
    return bytes.replace("\r\n", "\n");
}

// The six fields the vCard importer reads of the first card in bytes.
Contact imported(const QByteArray &bytes)
{
    Contact read;
    exchange::readVCardBytes(bytes, [&](exchange::ReadContact &&card) {
        read = card.fields;
        return false;
    });
    return read;
}

Contact contactOf(const QString &tabLine)
{
    return Contact::fromValues(tabLine.split(QLatin1Char('\t')));
}

} // namespace

class TestSyncCard : public QObject {
    Q_OBJECT

private slots:
    void readsAndEditsCards_data()
    {
        QTest::addColumn<QString>("file");
        const QStringList files =
            QDir(cardsDir()).entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        for (const QString &file : files)
            QTest::newRow(qPrintable(file)) << file;
    }

    void readsAndEditsCards()
    {
        QFETCH(QString, file);
        const QString path = cardsDir() + QLatin1Char('/') + file;
        const QByteArray original = readFile(path);
        QStringList lines;
        for (const QString &line :
             QString::fromUtf8(readFile(path + QStringLiteral(".expected"))).split(QLatin1Char('\n')))
            if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
                lines << line;
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[1].startsWith(QLatin1String("edit\t")));

        const ServerCard card = ServerCard::parse(original);
        QVERIFY(card.isValid());
        const Contact read = card.contact();
        QCOMPARE(read.values(), contactOf(lines[0]).values());
        QCOMPARE(imported(original).values(), read.values());
        // Nothing edited: the card goes back byte for byte.
        QCOMPARE(card.edited(read, read).bytes(), original);

        const Contact now = contactOf(lines[1].mid(5));
        const ServerCard edited = card.edited(read, now);
        QCOMPARE(QString::fromUtf8(lf(edited.bytes())),
                 QString::fromUtf8(readFile(path + QStringLiteral(".edited"))));
        QCOMPARE(ServerCard::parse(edited.bytes()).contact().values(), now.values());
        QCOMPARE(imported(edited.bytes()).values(), now.values());
        QCOMPARE(ServerCard::parse(edited.bytes()).uid(), card.uid());
    }

    void newCardsAreVersion30()
    {
        Contact c;
        c.name = QStringLiteral("欧阳修");
        c.phone = QStringLiteral("0791-1234567");
        c.mobile = QStringLiteral("13800138000");
        c.qq = QStringLiteral("10001");
        c.email = QStringLiteral("xiu@example.cn");
        c.address = QStringLiteral("江西省吉安市永丰县; 沙溪镇, 1号");
        const ServerCard card = ServerCard::fromContact(c, QStringLiteral("uid-1"));
        QCOMPARE(card.bytes(),
                 QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Quennet//Quennet//ZH\r\nUID:uid-1\r\n"
                            "FN:欧阳修\r\nN:欧阳;修;;;\r\nTEL;TYPE=CELL:13800138000\r\n"
                            "TEL;TYPE=VOICE:0791-1234567\r\nEMAIL;TYPE=INTERNET:xiu@example.cn\r\n"
                            "ADR:;;江西省吉安市永丰县\\; 沙溪镇\\, 1号;;;;\r\nX-QQ:10001\r\nEND:VCARD\r\n"));
        QCOMPARE(ServerCard::parse(card.bytes()).contact().values(), c.values());
        QCOMPARE(card.uid(), QStringLiteral("uid-1"));
    }

    void longValuesAreFoldedWhole()
    {
        Contact c;
        c.name = QStringLiteral("张三");
        c.address = QString(60, QChar(0x5730)); // 180 octets of 地
        const QByteArray bytes = ServerCard::fromContact(c, QStringLiteral("u")).bytes();
        for (const QByteArray &line : bytes.split('\n'))
            QVERIFY2(line.size() <= 76, line.constData());
        QCOMPARE(ServerCard::parse(bytes).contact().address, c.address);
    }

    void keptLinesKeepTheirBytes()
    {
        // CR LF and LF lines, and a folded line, stay as they were.
        const QByteArray original =
            "BEGIN:VCARD\r\nVERSION:3.0\nFN:A\r\nNOTE:one\r\n  two\nTEL:010-1\r\nEND:VCARD\r\n";
        const ServerCard card = ServerCard::parse(original);
        Contact now = card.contact();
        QCOMPARE(now.phone, QStringLiteral("010-1"));
        now.phone = QStringLiteral("010-2");
        QCOMPARE(
            card.edited(card.contact(), now).bytes(),
            QByteArray("BEGIN:VCARD\r\nVERSION:3.0\nFN:A\r\nNOTE:one\r\n  two\nTEL:010-2\r\nEND:VCARD\r\n"));
    }

    void textThatIsNoCard()
    {
        QVERIFY(!ServerCard::parse("").isValid());
        QVERIFY(!ServerCard::parse("<html>login</html>").isValid());
        QVERIFY(!ServerCard::parse("BEGIN:VCARD\r\nFN:cut off\r\n").isValid());
    }

    // Found by fuzzing: a card whose kept bytes are no UTF-8, and one whose
    // last line has no line end.
    void oddBytesSurviveAnEdit()
    {
        const QByteArray odd =
            "BEGIN:VCARD\r\nN:A;B;" + QByteArray(100, '\xBD') + ";;\r\nFN:B A\r\nEND:VCARD\r\n";
        ServerCard card = ServerCard::parse(odd);
        Contact now = card.contact();
        now.name = QStringLiteral("C D");
        const QByteArray bytes = card.edited(card.contact(), now).bytes();
        for (const QByteArray &line : bytes.split('\n'))
            QVERIFY(line.size() <= 76);
        QCOMPARE(ServerCard::parse(bytes).contact().name, now.name);

        const QByteArray open = "BEGIN:VCARD\r\nFN:A\r\nEND:VCARD";
        card = ServerCard::parse(open);
        QCOMPARE(card.edited(card.contact(), card.contact()).bytes(), open);
    }
};

QTEST_GUILESS_MAIN(TestSyncCard)
#include "tst_sync_card.moc"
