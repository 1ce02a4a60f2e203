// vCard and CSV readers and writers: the field mapping of each card shape
// that phones write, the decodings, CSV quoting and encodings, round trips.

#include "contacts/Gbk.h"
#include "exchange/CsvReader.h"
#include "exchange/CsvWriter.h"
#include "exchange/VCardReader.h"
#include "exchange/VCardWriter.h"
#include "support/ContactReading.h"

#include <QBuffer>
#include <QTest>

using namespace quennet;
using namespace quennet::exchange;

Q_DECLARE_METATYPE(rules::ContactInput)

namespace {

rules::ContactInput fields(const QString &name, const QString &phone = {}, const QString &mobile = {},
                           const QString &qq = {}, const QString &email = {}, const QString &address = {})
{
    return {0, name, phone, mobile, qq, email, address};
}

QList<rules::ContactInput> contactsOf(const QList<ReadContact> &read)
{
    QList<rules::ContactInput> out;
    for (const ReadContact &c : read)
        out << c.fields;
    return out;
}

struct Reading {
    ReadSummary summary;
    QList<rules::ContactInput> contacts;
};

Reading readWith(ReadSummary (*reader)(const QByteArray &, const ContactSink &), const QByteArray &bytes)
{
    const test::ReadAll read = test::readAll([&](const ContactSink &sink) { return reader(bytes, sink); });
    return {read.summary, contactsOf(read.contacts)};
}

QByteArray crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

QStringList values(const rules::ContactInput &c)
{
    return c.values();
}

using BytesReader = ReadSummary (*)(const QByteArray &, const ContactSink &);
using DeviceReader = ReadSummary (*)(QIODevice &, const ContactSink &);

QList<bool> cutsOf(const QList<ReadContact> &read)
{
    QList<bool> cuts;
    for (const ReadContact &c : read)
        cuts << c.cut;
    return cuts;
}

} // namespace

class ExchangeVCardTest : public QObject {
    Q_OBJECT

private slots:
    // --- vCard mapping ---------------------------------------------------------

    void mapsCardShapes_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<rules::ContactInput>("expected");
        QTest::addColumn<int>("dropped");

        // Android contacts export: 2.1, quoted-printable UTF-8 with a soft break.
        QTest::newRow("android 2.1 qp")
            << crlf("BEGIN:VCARD\n"
                    "VERSION:2.1\n"
                    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0;=E4=B8=89;;;\n"
                    "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0=E4=B8=89=\n"
                    "=E4=B8=B0\n"
                    "TEL;CELL:139-0000-0044\n"
                    "TEL;HOME:010-6666 8888\n"
                    "EMAIL;HOME:zhang@example.cn\n"
                    "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;=E4=B8=AD=E5=85=B3=E6=9D=91=E5=A4=A7="
                    "E8=A1=97=31=\n"
                    "=E5=8F=B7;=E5=8C=97=E4=BA=AC;;;=E4=B8=AD=E5=9B=BD\n"
                    "NOTE:met at work\n"
                    "END:VCARD\n")
            << fields("张三丰", "010-6666 8888", "13900000044", {}, "zhang@example.cn",
                      "中国北京中关村大街1号")
            << 1;
        // Old feature phones: 2.1 in GB2312 with bare type words, LF only.
        QTest::newRow("2.1 gb2312") << (QByteArray("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=GB2312:") +
                                        gbk::encode(QStringLiteral("李;四")) +
                                        "\nTEL;WORK;VOICE:+86 21 5555 1234\nTEL;PREF;CELL:+86 138 0013 8000\n"
                                        "X-QQ:12345678\nEND:VCARD\n")
                                    << fields("李四", "+86 21 5555 1234", "13800138000", "12345678") << 0;
        QTest::newRow("2.1 big5 qp") << crlf("BEGIN:VCARD\nVERSION:2.1\n"
                                             "FN;CHARSET=BIG5;ENCODING=QUOTED-PRINTABLE:=B3=AF=A4=AD\n"
                                             "END:VCARD\n")
                                     << fields("陳五") << 0;
        // iPhone export: 3.0 with item groups and X-ABLabel, escapes, folding.
        QTest::newRow("iphone 3.0")
            << crlf("BEGIN:VCARD\n"
                    "VERSION:3.0\n"
                    "PRODID:-//Apple Inc.//iPhone OS 17.1//EN\n"
                    "N:Wang;Xiao Ming;;;\n"
                    "FN:Xiao Ming Wang\n"
                    "ORG:Example\\, Ltd.;\n"
                    "item1.TEL;type=pref:0086 150-1234-5678\n"
                    "item1.X-ABLabel:_$!<Mobile>!$_\n"
                    "TEL;type=WORK;type=VOICE:+1 (415) 555-0100\n"
                    "item2.EMAIL;type=INTERNET;type=pref:xm@example.com\n"
                    "item2.X-ABLabel:_$!<Other>!$_\n"
                    "item3.ADR;type=HOME;type=pref:;;1 Infinite\\nLoop;Cupertino;CA;95014\n"
                    " ;USA\n"
                    "item3.X-ABADR:us\n"
                    "IMPP;X-SERVICE-TYPE=QQ;type=HOME:x-apple:87654321\n"
                    "END:VCARD\n")
            << fields("Xiao Ming Wang", "+1 (415) 555-0100", "15012345678", "87654321", "xm@example.com",
                      "USA CA Cupertino 1 Infinite Loop")
            << 2;
        QTest::newRow("3.0 type list, name from N")
            << crlf("BEGIN:VCARD\nVERSION:3.0\n"
                    "N:赵;六;;;\n"
                    "TEL;TYPE=cell,voice:(+86) 186 1111 2222\n"
                    "IMPP:qq:10001\n"
                    "LABEL:广州市天河区\n"
                    "END:VCARD\n")
            << fields("赵六", {}, "18611112222", "10001", {}, "广州市天河区") << 0;
        QTest::newRow("4.0 quoted type, tel uri")
            << crlf("BEGIN:VCARD\nVERSION:4.0\n"
                    "FN:Anna Li\n"
                    "N:Li;Anna;;;\n"
                    "TEL;VALUE=uri;TYPE=\"cell\":tel:+86-135-0000-9999\n"
                    "TEL;VALUE=uri;TYPE=\"home,voice\":tel:+86-10-1234-5678\n"
                    "EMAIL;TYPE=work:anna@example.org\n"
                    "END:VCARD\n")
            << fields("Anna Li", "+86-10-1234-5678", "13500009999", {}, "anna@example.org") << 0;
        QTest::newRow("untyped mobile-looking tel") << crlf("BEGIN:VCARD\nVERSION:3.0\nFN:钱七\n"
                                                            "TEL:0571-8888 0000\nTEL:+86 137 1234 0000\n"
                                                            "TEL:0571-8888 0001\nEND:VCARD\n")
                                                    << fields("钱七", "0571-8888 0000", "13712340000") << 1;
        QTest::newRow("bom, nested agent card") << QByteArray("\xEF\xBB\xBF"
                                                              "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:A\r\n"
                                                              "AGENT:\r\nBEGIN:VCARD\r\nFN:B\r\nEND:VCARD\r\n"
                                                              "TEL;CELL:13000000000\r\nEND:VCARD\r\n")
                                                << fields("A", {}, "13000000000") << 0;
        QTest::newRow("no name") << crlf("BEGIN:VCARD\nVERSION:3.0\nTEL;TYPE=CELL:13000000001\nEND:VCARD\n")
                                 << fields({}, {}, "13000000001") << 0;
    }

    void mapsCardShapes()
    {
        QFETCH(QByteArray, card);
        QFETCH(rules::ContactInput, expected);
        QFETCH(int, dropped);
        const Reading read = readWith(readVCardBytes, card);
        QVERIFY(!read.summary.refused);
        QCOMPARE(read.contacts.size(), 1);
        QCOMPARE(values(read.contacts.first()), values(expected));
        QCOMPARE(read.summary.droppedTotal(), dropped);
    }

    void readsSeveralCardsAndRefusesOtherFiles()
    {
        const QByteArray two = "BEGIN:VCARD\nVERSION:3.0\nFN:甲\nEND:VCARD\n\n"
                               "begin:vcard\nversion:3.0\nfn:乙\nend:vcard\n";
        const Reading read = readWith(readVCardBytes, two);
        QCOMPARE(read.contacts.size(), 2);
        QCOMPARE(read.contacts.at(1).name, QStringLiteral("乙"));
        for (const QByteArray &other : {QByteArray(), QByteArray("姓名,手机\n"), QByteArray("\x89PNG\r\n")})
            QVERIFY(readWith(readVCardBytes, other).summary.refused);
        // A soft break at the end of a card does not swallow its end.
        const QByteArray cut =
            "BEGIN:VCARD\nVERSION:2.1\nFN;ENCODING=QUOTED-PRINTABLE:=E7=94=B2=\nEND:VCARD\n"
            "BEGIN:VCARD\nFN:乙\nEND:VCARD\n";
        const Reading soft = readWith(readVCardBytes, cut);
        QCOMPARE(soft.contacts.size(), 2);
        QCOMPARE(soft.contacts.at(0).name, QStringLiteral("甲"));
    }

    void sinkStopsReading()
    {
        int seen = 0;
        const ReadSummary summary = readVCardBytes(QByteArray("BEGIN:VCARD\nFN:a\nEND:VCARD\n").repeated(5),
                                                   [&seen](ReadContact &&) { return ++seen < 2; });
        QVERIFY(summary.stopped);
        QCOMPARE(seen, 2);
    }

    // --- CSV ---------------------------------------------------------------------

    void readsCsv_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<rules::ContactInput>>("expected");
        const QString header = QStringLiteral("姓名,电话,手机,QQ,Email,地址\r\n");
        const QString row = QStringLiteral("张三,010-1,139 0000 0001,123,z@x.cn,\"北京,海淀\"\r\n");
        const QList<rules::ContactInput> zhang = {
            fields("张三", "010-1", "13900000001", "123", "z@x.cn", "北京,海淀")};
        QTest::newRow("utf-8 bom") << ("\xEF\xBB\xBF" + (header + row).toUtf8()) << zhang;
        QTest::newRow("utf-8") << (header + row).toUtf8() << zhang;
        QTest::newRow("gb18030") << gbk::encode(header + row) << zhang;
        QTest::newRow("utf-16 tab") << ([] {
            const QString tsv = QStringLiteral("姓名\t电话\t手机\tQQ\tEmail\t地址\r\n"
                                               "张三\t010-1\t139 0000 0001\t123\tz@x.cn\t北京,海淀\r\n");
            return QByteArray("\xFF\xFE") +
                   QByteArray(reinterpret_cast<const char *>(tsv.utf16()), tsv.size() * 2);
        }()) << zhang;
        QTest::newRow("english headers, semicolons, reordered")
            << QByteArray("E-mail;Name;Mobile Phone;Company\n"
                          "a@b.c;\"Smith; John\";+86 139-0000-0002;ACME\n")
            << QList<rules::ContactInput>{fields("Smith; John", {}, "13900000002", {}, "a@b.c")};
        QTest::newRow("quotes and line breaks")
            << QByteArray("Name,Address\n\"He said \"\"hi\"\"\",\"line1\nline2\"\n\n,\n")
            << QList<rules::ContactInput>{fields("He said \"hi\"", {}, {}, {}, {}, "line1 line2")};
        QTest::newRow("no header: field order")
            << QByteArray("王五,021-2,13900000003\r\n赵六\r\n")
            << QList<rules::ContactInput>{fields("王五", "021-2", "13900000003"), fields("赵六")};
        QTest::newRow("family and given columns")
            << QByteArray("姓,名,手机\n欧阳,修,13900000004\nDoe,Jane,\n")
            << QList<rules::ContactInput>{fields("欧阳修", {}, "13900000004"), fields("Jane Doe")};
    }

    void readsCsv()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<rules::ContactInput>, expected);
        const Reading read = readWith(readCsvBytes, file);
        QVERIFY(!read.summary.refused);
        QCOMPARE(read.contacts.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QCOMPARE(values(read.contacts.at(i)), values(expected.at(i)));
    }

    void emptyCsvIsRefusedButHeaderOnlyIsNot()
    {
        QVERIFY(readWith(readCsvBytes, QByteArray()).summary.refused);
        QVERIFY(readWith(readCsvBytes, QByteArray("\n\n")).summary.refused);
        QVERIFY(!readWith(readCsvBytes, QByteArray("姓名,手机\r\n")).summary.refused);
    }

    // --- inputs the fuzzer found ---------------------------------------------------

    // Read whole and one byte per read, each gives the same contacts.
    void readsTheSameInPieces_data()
    {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArray>("file");
        // The BOM was missed when the first read gave less than three bytes.
        QTest::newRow("csv bom in short reads")
            << true
            << QByteArray("\xEF\xBB\xBF\xE5\xA7\x93\xE5\x90\x8D,\xE6\x89\x8B\xE6\x9C\xBA,\xE9\x82\xAE\xE7PN"
                          "\xF2\xF5\xE6\x9D\x8E\xE5\x9B\x9B,13900000002,l@x.cn\r\n");
        // A broken UTF-8 sequence split between two reads lost the byte after it.
        QTest::newRow("csv broken utf-8 across reads")
            << true
            << QByteArray("\xEF\xBB\xBF\xE5\xA7\x93\xE5\x65\x90\x8D,\xE7\x94\xB5\xE8\xAF\x9D\r\n"
                          "'=1+1,'-\r\n");
        // A broken GB18030 sequence split between two reads resynchronised
        // elsewhere than in one piece.
        QTest::newRow("csv broken gb18030 across reads")
            << true
            << QByteArray("\xD0\x61\xC3\xFB\x2C\xB5\xE7\xBB\xB0\x7E\x2C\xCA\x7C\xD6\xBB\xFA\x2C\xB5\xD8\xD6"
                          "\x30\x30\x00\x00\x00\x00\x00\x00\x00\x00\xD0\x95\x32\x82\x36\xC2\xB7\x0D\x0A",
                          39);
        // The separator was judged on the first line end, though inside
        // quotes, when reading in pieces, and on more text read whole.
        QTest::newRow("csv quoted line end in the first record")
            << true
            << QByteArray(
                   "\x00\x30\x30\x30\x30\x33\x2C\x7A\x43\x43\x40\x01\x00\x00\x00\x00\x10\x00\x00\x22\x0D\x0A"
                   "\xA3\xCA\x6F\x6E\x65\x3B\x43\x6F\x6D\x70\x61\x6E\x79\x0A\x61\x40\x62\x2E\x63\x3B\x22\x53"
                   "\x6D\x69\x74\x68\x3B\x20\x4A\x6F\x68\x6E\x22\x3B\x2B\x38\x36\x20\xD0\x95\x31\x82\x36\xC2"
                   "\xB7\x79\x0A\x61\x40\x62\x2E\x63\x3B\x22\x53\x6D\x69\x74\x68\x3B\x0D\x0A",
                   84);
    }

    void readsTheSameInPieces()
    {
        QFETCH(bool, csv);
        QFETCH(QByteArray, file);
        const BytesReader whole = csv ? readCsvBytes : readVCardBytes;
        const DeviceReader pieces = csv ? readCsv : readVCards;
        const test::ReadAll one = test::readAll([&](const ContactSink &sink) { return whole(file, sink); });
        test::TrickleDevice device(file, 1);
        const test::ReadAll other =
            test::readAll([&](const ContactSink &sink) { return pieces(device, sink); });
        QCOMPARE(other.summary.refused, one.summary.refused);
        QCOMPARE(other.summary.dropped, one.summary.dropped);
        QCOMPARE(other.contacts.size(), one.contacts.size());
        for (qsizetype i = 0; i < one.contacts.size(); ++i)
            QCOMPARE(values(other.contacts.at(i).fields), values(one.contacts.at(i).fields));
    }

    // A line, field, card or row longer than a reader keeps is cut, its
    // contact is marked, and reading goes on with the next one.
    void cutsWhatIsTooLongToKeep_data()
    {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<bool>>("cuts");
        const QByteArray over(kMaxKeptLine + 1, 'a');
        const QByteArray next = "BEGIN:VCARD\nFN:last\nEND:VCARD\n";
        QTest::newRow("vcard long name")
            << false << "BEGIN:VCARD\nFN:" + over + "\nEND:VCARD\n" + next << QList<bool>{true, false};
        QTest::newRow("vcard long dropped photo")
            << false << "BEGIN:VCARD\nFN:x\nPHOTO;ENCODING=BASE64:" + over + "\r\nEND:VCARD\r\n" + next
            << QList<bool>{false, false};
        QTest::newRow("vcard long folded name")
            << false
            << "BEGIN:VCARD\nFN:" + QByteArray("\r\n a").repeated(kMaxKeptLine) + "\nEND:VCARD\n" + next
            << QList<bool>{true, false};
        QTest::newRow("vcard long soft breaks")
            << false
            << "BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:" +
                   QByteArray("=41=\n").repeated(kMaxKeptLine / 2) + "=41\nEND:VCARD\n" + next
            << QList<bool>{true, false};
        QTest::newRow("vcard too many lines")
            << false
            << "BEGIN:VCARD\nFN:x\n" + QByteArray("NOTE:x\n").repeated(kMaxKeptRecord / 64) + "END:VCARD\n" +
                   next
            << QList<bool>{true, false};
        QTest::newRow("csv long quoted field") << true << "姓名,地址\nx,\"" + over + "\"\nlast,y\n"
                                               << QList<bool>{true, false};
        QTest::newRow("csv too many fields") << true << "x" + QByteArray(kMaxKeptRecord / 8, ',') + "\nlast\n"
                                             << QList<bool>{true, false};
        QTest::newRow("csv one endless line") << true << over << QList<bool>{true};
    }

    void cutsWhatIsTooLongToKeep()
    {
        QFETCH(bool, csv);
        QFETCH(QByteArray, file);
        QFETCH(QList<bool>, cuts);
        const BytesReader read = csv ? readCsvBytes : readVCardBytes;
        const test::ReadAll found = test::readAll([&](const ContactSink &sink) { return read(file, sink); });
        QCOMPARE(cutsOf(found.contacts), cuts);
        if (cuts.size() > 1)
            QCOMPARE(found.contacts.last().fields.name, QStringLiteral("last"));
    }

    void countsFewDroppedNames()
    {
        QByteArray card = "BEGIN:VCARD\nFN:x\nX-" + QByteArray(1000, 'N') + ":v\n";
        for (int i = 0; i < 2 * kMaxDroppedNames; ++i)
            card += "X-N" + QByteArray::number(i) + ":v\n";
        const Reading read = readWith(readVCardBytes, card + "END:VCARD\n");
        QCOMPARE(read.summary.dropped.size(), kMaxDroppedNames + 1);
        QCOMPARE(read.summary.droppedTotal(), 2 * kMaxDroppedNames + 1);
        QVERIFY(read.summary.dropped.contains(QStringLiteral("X-") + QString(62, QLatin1Char('N'))));
    }

    // --- writers -----------------------------------------------------------------

    void vcard30FoldsAndEscapes()
    {
        const QString longAddress = QString(40, QChar(0x8DEF)) + QStringLiteral("; 1, 2\\");
        const QByteArray card = VCardWriter::card(
            fields("张三", "010-1", "13900000001", "123", {}, longAddress), VCardVersion::V30);
        QVERIFY(card.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\nN:张;三;;;\r\nFN:张三\r\nUID:"));
        // The same contact gets the same UID in every export.
        QCOMPARE(card.mid(card.indexOf("UID:"), 41),
                 VCardWriter::card(fields("张三"), VCardVersion::V30).mid(card.indexOf("UID:"), 41));
        QVERIFY(card.contains("TEL;TYPE=CELL:13900000001\r\n"));
        QVERIFY(card.contains("TEL;TYPE=HOME:010-1\r\n"));
        QVERIFY(card.contains("X-QQ:123\r\n"));
        QVERIFY(!card.contains("EMAIL"));
        for (const QByteArray &line : card.split('\n')) {
            QVERIFY2(line.size() <= 76, line.constData());     // 75 octets and the CR
            QVERIFY(QString::fromUtf8(line).toUtf8() == line); // no UTF-8 sequence cut
        }
        QVERIFY(QByteArray(card).replace("\r\n ", "").contains("\\; 1\\, 2\\\\;;;;"));
    }

    void vcard21UsesQuotedPrintableWhereNeeded()
    {
        const QByteArray card = VCardWriter::card(
            fields("Li Si", {}, "13900000001", {}, "li@x.cn", QStringLiteral("上海")), VCardVersion::V21);
        QVERIFY(card.contains("VERSION:2.1\r\n"));
        QVERIFY(card.contains("FN:Li Si\r\n"));
        QVERIFY(card.contains("TEL;CELL:13900000001\r\n"));
        QVERIFY(
            card.contains("ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;=E4=B8=8A=E6=B5=B7;;;;\r\n"));
    }

    void csvWriterQuotesAndGuardsFormulas()
    {
        QCOMPARE(csvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
        QCOMPARE(csvField(QStringLiteral("say \"x\"")), QStringLiteral("\"say \"\"x\"\"\""));
        QCOMPARE(csvField(QStringLiteral("=HYPERLINK(1)")), QStringLiteral("'=HYPERLINK(1)"));
        QCOMPARE(csvField(QStringLiteral("+86 139 0000 0000")), QStringLiteral("+86 139 0000 0000"));
        QCOMPARE(csvField(QStringLiteral("-cmd")), QStringLiteral("'-cmd"));
    }

    void roundTripKeepsTheSixFields_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("vcard 3.0") << 0;
        QTest::newRow("vcard 2.1") << 1;
        QTest::newRow("csv utf-8") << 2;
        QTest::newRow("csv gb18030") << 3;
    }

    void roundTripKeepsTheSixFields()
    {
        QFETCH(int, format);
        const QList<rules::ContactInput> contacts = {
            fields("张三", "010-6666 8888", "13900000001", "12345", "z@x.cn", "北京市海淀区; 中关村, 1号"),
            fields("欧阳娜娜", {}, "13900000002"),
            fields("John Smith", "+1 415 555 0100", {}, {}, "j@x.com", "1 Main St\\Apt 2"),
            fields("=1+1", "-", {}, {}, {}, QString(50, QChar(0x5730)) + QStringLiteral("=末尾 ")),
            fields("Ｘ"),
        };
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        bool ok = true;
        if (format < 2) {
            VCardWriter writer(buffer, format == 0 ? VCardVersion::V30 : VCardVersion::V21);
            for (const auto &c : contacts)
                ok = writer.write(c) && ok;
            ok = writer.finish() && ok;
        } else {
            CsvWriter writer(buffer, format == 2 ? CsvEncoding::Utf8Bom : CsvEncoding::Gb18030);
            for (const auto &c : contacts)
                ok = writer.write(c) && ok;
            ok = writer.finish() && ok;
        }
        QVERIFY(ok);
        const Reading read = readWith(format < 2 ? readVCardBytes : readCsvBytes, buffer.data());
        QCOMPARE(read.contacts.size(), contacts.size());
        for (qsizetype i = 0; i < contacts.size(); ++i) {
            QStringList want = values(contacts.at(i));
            want.last() = want.last().trimmed();
            QCOMPARE(values(read.contacts.at(i)), want);
        }
        QCOMPARE(read.summary.droppedTotal(), 0);
    }
};

QTEST_GUILESS_MAIN(ExchangeVCardTest)
#include "tst_exchange_vcard.moc"
