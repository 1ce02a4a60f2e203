// Text lengths and the GBK form that every export writes.

#include "contacts/Gbk.h"

#include <QtTest>

using namespace quennet;

class GbkTest : public QObject {
    Q_OBJECT

private slots:
    void chineseCharactersCountTwo()
    {
        QCOMPARE(gbk::length(QStringLiteral("张三李四王")), 10);
        QCOMPARE(gbk::encode(QStringLiteral("张三李四王")).size(), 10);
        QCOMPARE(gbk::length(QString()), 0);
        QCOMPARE(gbk::length(QStringLiteral("13800138000")), 11);
        QCOMPARE(gbk::length(QStringLiteral("abc张三 1")), 9);
        QCOMPARE(gbk::length(QStringLiteral("！？“”（）")), 12); // full-width punctuation
    }

    void encodesKnownGbkBytes()
    {
        QCOMPARE(gbk::encode(QStringLiteral("中文")), QByteArray("\xD6\xD0\xCE\xC4"));
        QCOMPARE(gbk::encode(QStringLiteral("A\r\n")), QByteArray("A\r\n"));
        QCOMPARE(gbk::encode(QStringLiteral("通讯录")), QByteArray("\xCD\xA8\xD1\xB6\xC2\xBC"));
    }

    void textOutsideGbkSurvivesTheRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bytes");
        QTest::newRow("emoji") << QStringLiteral("😀") << 4;
        QTest::newRow("extension B") << QStringLiteral("𠀀") << 4;
        QTest::newRow("mixed") << QStringLiteral("张😀a") << 7;
        QTest::newRow("latin accents") << QStringLiteral("Élodie") << 9;
        QTest::newRow("NUL") << QString(QChar(0)) << 1;
    }

    void textOutsideGbkSurvivesTheRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(int, bytes);
        const QByteArray encoded = gbk::encode(text);
        QCOMPARE(encoded.size(), bytes);
        QVERIFY(!encoded.contains('?') || text.contains(QLatin1Char('?')));
        QCOMPARE(gbk::decode(encoded), text);
        QCOMPARE(gbk::length(text), bytes);
    }

    void decodesGbkBytes()
    {
        QCOMPARE(gbk::decode("\xD6\xD0\xCE\xC4"), QStringLiteral("中文"));
        QCOMPARE(gbk::decode(QByteArray()), QString());
    }
};

QTEST_GUILESS_MAIN(GbkTest)
#include "tst_core_gbk.moc"
